// Normalised sensitivities (x/Z)(dZ/dx) of the even- and odd-mode impedances
// to the dielectric constant and the four lengths of the cross-section.
//
// S, T and W by one-sided differences over the impedance model (S stepped up
// by 0.1 %, T and W down); Er exactly, since Z is proportional to 1/sqrt(er);
// B from Euler's relation for a function of the ratios s/b, t/b, w/b alone:
// the four length sensitivities sum to zero.
#include "model/sensitivity.hpp"
#include "model/mode_impedances.hpp"

namespace ketrovane {
namespace {

constexpr float kStep = 1.001F;  // relative step of the finite differences
constexpr float kPermittivitySensitivity = -0.5F;

// One quantity's sensitivity in both modes.
struct BothModes {
  float even;
  float odd;
};

// (x/Z)(dZ/dx) from the nominal and one perturbed evaluation.
BothModes normalised_sensitivity(const ModeImpedances& perturbed, const ModeImpedances& nominal,
                                 float x, float perturbed_x) {
  const float step = perturbed_x - x;
  return {((perturbed.zoe - nominal.zoe) * x) / (step * nominal.zoe),
          ((perturbed.zoo - nominal.zoo) * x) / (step * nominal.zoo)};
}

}  // namespace

ImpedanceSensitivities impedance_sensitivities(const CrossSection& x) {
  const ModeImpedances nominal = mode_impedances(x);

  // Deliberate: S is stepped up, T and W down (the loss model steps all
  // three up); the printed sensitivities depend on it (pinned by
  // Sensitivity.CouplerOfTheWorkedExample).
  CrossSection perturbed = x;
  perturbed.s = x.s * kStep;
  const BothModes spacing =
      normalised_sensitivity(mode_impedances(perturbed), nominal, x.s, perturbed.s);

  BothModes thickness{0.0F, 0.0F};
  if (x.board.t != 0.0F) {
    perturbed = x;
    perturbed.board.t = x.board.t / kStep;
    thickness =
        normalised_sensitivity(mode_impedances(perturbed), nominal, x.board.t, perturbed.board.t);
  }

  perturbed = x;
  perturbed.w = x.w / kStep;
  const BothModes width =
      normalised_sensitivity(mode_impedances(perturbed), nominal, x.w, perturbed.w);

  // B from Euler's relation: Z depends on the lengths only through their
  // ratios to b, so the four length sensitivities sum to zero.
  const auto mode = [](float s, float t, float w) {
    return ModeSensitivities{kPermittivitySensitivity, -s - t - w, s, t, w};
  };
  return {nominal.zoe, nominal.zoo, mode(spacing.even, thickness.even, width.even),
          mode(spacing.odd, thickness.odd, width.odd)};
}

}  // namespace ketrovane
