// Attenuation of the even and odd modes of the coupled stripline: conductor
// loss by Wheeler's incremental-inductance rule with Hammerstad's roughness
// correction, plus dielectric loss.
//
//   H. A. Wheeler, "Formulas for the skin effect", Proc. IRE 30, 1942;
//   E. O. Hammerstad and F. Bekkadal, "Microstrip Handbook", ELAB report
//   STF44 A74169, 1975 (roughness factor).
//
// The derivatives of the air-filled impedances come from one-sided finite
// differences over the impedance model, each dimension stepped up by 0.1 %.
#include <cmath>

#include "common/constants.hpp"
#include "model/loss.hpp"
#include "model/mode_impedances.hpp"

namespace ketrovane {
namespace {

constexpr float kEta = kFreeSpaceImpedance;
constexpr float kMu0 = kMu0HenryPerInchMHz;
// Relative step of the finite differences: small enough for a derivative,
// large enough that the single-precision impedances still change.
constexpr float kStep = 1.001F;
// Hammerstad's roughness constant.
constexpr float kRoughnessConstant = 1.4F;

// Surface resistance of a smooth conductor, ohms: sqrt(pi f mu0 rho).
float surfaceResistance(float f, float res) {
  return std::sqrt(f * kPi * kMu0 * res);
}

// Hammerstad's factor for RMS roughness sr: 1 + (2/pi) atan(1.4 (sr/skin depth)^2),
// from 1 for a smooth surface towards 2.
float roughnessFactor(float f, float res, float sr) {
  const float om = 2.0F * kPi * f;
  const float sd = std::sqrt(2.0F * res / (om * kMu0));
  const float ratio = sr / sd;
  return 1.0F + (2.0F / kPi) * std::atan(kRoughnessConstant * (ratio * ratio));
}

// Derivatives of the air-filled mode impedances with respect to one
// dimension, ohms per inch.
struct ImpedanceSlopes {
  float even;
  float odd;
};

// One-sided difference over a step that is the perturbed minus the nominal
// value as stored.
ImpedanceSlopes slopes(const ModeImpedances& perturbed, const ModeImpedances& nominal, float step) {
  return {(perturbed.zoe - nominal.zoe) / step, (perturbed.zoo - nominal.zoo) / step};
}

// Wheeler's rule: the loss is the change of impedance when every conductor
// surface recedes by half a skin depth.  The gap and b grow, t and w shrink,
// and the derivative in b is eliminated because Z depends only on ratios to b:
// dZ/dn = (1 - s/b) dZ/ds - (1 + t/b) dZ/dt - (1 + w/b) dZ/dw.
ModeAttenuation conductorLoss(const CrossSection& x, float rs) {
  CrossSection air = x;
  air.board.er = 1.0F;
  const ModeImpedances tp = mode_impedances(air);

  CrossSection perturbed = air;
  perturbed.s = x.s * kStep;
  const ImpedanceSlopes dzds = slopes(mode_impedances(perturbed), tp, perturbed.s - x.s);

  ImpedanceSlopes dzdt{0.0F, 0.0F};
  if (x.board.t != 0.0F) {  // strips of zero thickness have no thickness term
    perturbed = air;
    perturbed.board.t = x.board.t * kStep;
    dzdt = slopes(mode_impedances(perturbed), tp, perturbed.board.t - x.board.t);
  }

  perturbed = air;
  perturbed.w = x.w * kStep;
  const ImpedanceSlopes dzdw = slopes(mode_impedances(perturbed), tp, perturbed.w - x.w);

  const float tps = 1.0F - x.s / x.board.b;
  const float tpt = 1.0F + x.board.t / x.board.b;
  const float tpw = 1.0F + x.w / x.board.b;
  const float sqrter = std::sqrt(x.board.er);
  const float ace = (sqrter * rs * kDbPerNeper / (tp.zoe * kEta)) *
                    (tps * dzds.even - tpt * dzdt.even - tpw * dzdw.even);
  const float aco = (sqrter * rs * kDbPerNeper / (tp.zoo * kEta)) *
                    (tps * dzds.odd - tpt * dzdt.odd - tpw * dzdw.odd);
  return {ace, aco};
}

// Dielectric loss of a TEM line, dB per inch: pi sqrt(er) tan(delta)/wavelength.
float dielectricLoss(float er, float f, float tlos) {
  const float wl = kSpeedOfLightInchMHz / f;
  return std::sqrt(er) * kPi * kDbPerNeper * tlos / wl;
}

}  // namespace

ModeAttenuation mode_attenuation(const CrossSection& x, const Conductor& conductor,
                                 float loss_tangent, float f_mhz) {
  const float f = f_mhz;
  if (f <= 0.0F) return {0.0F, 0.0F};

  ModeAttenuation conductor_loss{0.0F, 0.0F};
  const float res = conductor.resistivity_ohm_inch;
  if (!(res <= 0.0F)) {  // a lossless conductor has no conductor term
    float rs = surfaceResistance(f, res);
    const float sr = conductor.roughness_inch;
    if (sr > 0.0F) rs = rs * roughnessFactor(f, res, sr);
    conductor_loss = conductorLoss(x, rs);
  }

  const float ad = dielectricLoss(x.board.er, f, loss_tangent);
  return {conductor_loss.even_db_per_inch + ad, conductor_loss.odd_db_per_inch + ad};
}

}  // namespace ketrovane
