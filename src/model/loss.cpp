// Attenuation of the even and odd modes of the coupled stripline: conductor
// loss by Wheeler's incremental-inductance rule with Hammerstad's roughness
// correction, plus dielectric loss.
//
// Sources:
//   [1] H. A. Wheeler, "Formulas for the skin effect", Proc. IRE 30,
//       pp. 412-424, Sept. 1942: the incremental-inductance rule.
//   [2] E. O. Hammerstad and F. Bekkadal, "Microstrip Handbook", ELAB report
//       STF44 A74169, 1975: the roughness factor (loss_formulas.hpp).
//
// The derivatives of the air-filled impedances come from one-sided finite
// differences over the impedance model, each dimension stepped up by 0.1 %.
#include <cmath>

#include "common/constants.hpp"
#include "model/loss.hpp"
#include "model/loss_formulas.hpp"
#include "model/mode_impedances.hpp"

namespace ketrovane {
namespace {

constexpr float kEta = kFreeSpaceImpedance;
// Relative step of the finite differences: small enough for a derivative,
// large enough that the single-precision impedances still change.
constexpr float kStep = 1.001F;

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

}  // namespace

// Wheeler's rule [1]: the series resistance is R = (Rs/mu0) dL/dn, the change
// of the inductance L of the air-filled line as every conductor surface
// recedes by n.  With L = Z/c for the air-filled impedance Z and
// alpha = R/(2 Z/sqrt(er)), alpha = sqrt(er) Rs dZ/dn / (2 eta Z).  As the
// surfaces recede, the gap and b grow by 2n, t and w shrink by 2n, and the
// derivative in b is eliminated because Z depends only on ratios to b:
//   alpha = (sqrt(er) Rs / (eta Z)) [(1 - s/b) dZ/ds - (1 + t/b) dZ/dt - (1 + w/b) dZ/dw]
// nepers per unit length.  Everything but Rs is the cross-section's alone.
WheelerFactors wheeler_factors(const CrossSection& x) {
  CrossSection air = x;
  air.board.er = 1.0F;
  const ModeImpedances air_nominal = mode_impedances(air);

  CrossSection perturbed = air;
  perturbed.s = x.s * kStep;
  const ImpedanceSlopes dzds = slopes(mode_impedances(perturbed), air_nominal, perturbed.s - x.s);

  ImpedanceSlopes dzdt{0.0F, 0.0F};
  if (x.board.t != 0.0F) {  // strips of zero thickness have no thickness term
    perturbed = air;
    perturbed.board.t = x.board.t * kStep;
    dzdt = slopes(mode_impedances(perturbed), air_nominal, perturbed.board.t - x.board.t);
  }

  perturbed = air;
  perturbed.w = x.w * kStep;
  const ImpedanceSlopes dzdw = slopes(mode_impedances(perturbed), air_nominal, perturbed.w - x.w);

  const float weight_s = 1.0F - x.s / x.board.b;
  const float weight_t = 1.0F + x.board.t / x.board.b;
  const float weight_w = 1.0F + x.w / x.board.b;
  return {x.board.er, air_nominal.zoe, air_nominal.zoo,
          weight_s * dzds.even - weight_t * dzdt.even - weight_w * dzdw.even,
          weight_s * dzds.odd - weight_t * dzdt.odd - weight_w * dzdw.odd};
}

namespace {

// The conductor loss for the surface resistance rs, dB per inch.
ModeAttenuation conductor_loss(const WheelerFactors& w, float rs) {
  const float sqrt_er = std::sqrt(w.er);
  const float alpha_even =
      (sqrt_er * rs * kDbPerNeper / (w.air_zoe * kEta)) * w.even_receding_slope;
  const float alpha_odd = (sqrt_er * rs * kDbPerNeper / (w.air_zoo * kEta)) * w.odd_receding_slope;
  return {alpha_even, alpha_odd};
}

}  // namespace

ModeAttenuation mode_attenuation(const CrossSection& x, const Conductor& conductor,
                                 float loss_tangent, float f_mhz) {
  const bool lossy_conductor = f_mhz > 0.0F && !(conductor.resistivity_ohm_inch <= 0.0F);
  // Without a conductor term only the permittivity is needed.
  const WheelerFactors factors =
      lossy_conductor ? wheeler_factors(x) : WheelerFactors{x.board.er, 0.0F, 0.0F, 0.0F, 0.0F};
  return mode_attenuation(factors, conductor, loss_tangent, f_mhz);
}

ModeAttenuation mode_attenuation(const WheelerFactors& factors, const Conductor& conductor,
                                 float loss_tangent, float f_mhz) {
  const float f = f_mhz;
  if (f <= 0.0F) return {0.0F, 0.0F};

  ModeAttenuation conductor_part{0.0F, 0.0F};
  const float resistivity = conductor.resistivity_ohm_inch;
  if (!(resistivity <= 0.0F)) {  // a lossless conductor has no conductor term
    float rs = surface_resistance(f, resistivity);
    const float roughness = conductor.roughness_inch;
    if (roughness > 0.0F) rs = rs * roughness_factor(f, resistivity, roughness);
    conductor_part = conductor_loss(factors, rs);
  }

  const float dielectric_part = dielectric_loss(factors.er, f, loss_tangent);
  return {conductor_part.even_db_per_inch + dielectric_part,
          conductor_part.odd_db_per_inch + dielectric_part};
}

}  // namespace ketrovane
