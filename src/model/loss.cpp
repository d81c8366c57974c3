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

#include "model/stripline_model.hpp"

namespace ketrovane {
namespace {

constexpr float kPi = 3.1415927F;
constexpr float kEta = 376.73046875F;       // wave impedance of free space, ohms
constexpr float kLightSpeed = 11802.8545F;  // inches per microsecond
constexpr float kMu0 = 0.03191858F;         // henries per inch, times 1e6 (f in MHz)
constexpr float kDbPerNeper = 8.686F;
constexpr float kStep = 1.001F;  // relative step of the finite differences

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
  return 1.0F + (2.0F / kPi) * std::atan(1.4F * (ratio * ratio));
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
Attenuation conductorLoss(const CrossSection& x, float rs) {
  CrossSection air = x;
  air.er = 1.0F;
  const ModeImpedances tp = sl1imp(air);

  CrossSection perturbed = air;
  perturbed.s = x.s * kStep;
  const ImpedanceSlopes dzds = slopes(sl1imp(perturbed), tp, perturbed.s - x.s);

  ImpedanceSlopes dzdt{0.0F, 0.0F};
  if (x.t != 0.0F) {  // strips of zero thickness have no thickness term
    perturbed = air;
    perturbed.t = x.t * kStep;
    dzdt = slopes(sl1imp(perturbed), tp, perturbed.t - x.t);
  }

  perturbed = air;
  perturbed.w = x.w * kStep;
  const ImpedanceSlopes dzdw = slopes(sl1imp(perturbed), tp, perturbed.w - x.w);

  const float tps = 1.0F - x.s / x.b;
  const float tpt = 1.0F + x.t / x.b;
  const float tpw = 1.0F + x.w / x.b;
  const float sqrter = std::sqrt(x.er);
  const float ace = (sqrter * rs * kDbPerNeper / (tp.zoe * kEta)) *
                    (tps * dzds.even - tpt * dzdt.even - tpw * dzdw.even);
  const float aco = (sqrter * rs * kDbPerNeper / (tp.zoo * kEta)) *
                    (tps * dzds.odd - tpt * dzdt.odd - tpw * dzdw.odd);
  return {ace, aco};
}

// Dielectric loss of a TEM line, dB per inch: pi sqrt(er) tan(delta)/wavelength.
float dielectricLoss(float er, float f, float tlos) {
  const float wl = kLightSpeed / f;
  return std::sqrt(er) * kPi * kDbPerNeper * tlos / wl;
}

}  // namespace

Attenuation sl1los(const CrossSection& x, float f, float res, float sr, float tlos) {
  if (f <= 0.0F) return {0.0F, 0.0F};

  Attenuation conductor{0.0F, 0.0F};
  if (!(res <= 0.0F)) {  // a lossless conductor has no conductor term
    float rs = surfaceResistance(f, res);
    if (sr > 0.0F) rs = rs * roughnessFactor(f, res, sr);
    conductor = conductorLoss(x, rs);
  }

  const float ad = dielectricLoss(x.er, f, tlos);
  return {conductor.ate + ad, conductor.ato + ad};
}

}  // namespace ketrovane
