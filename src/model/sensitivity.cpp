// Normalised sensitivities (x/Z)(dZ/dx) of the even- and odd-mode impedances
// to the dielectric constant and the four lengths of the cross-section.
//
// S, T and W by one-sided differences over the impedance model (S stepped up
// by 0.1 %, T and W down); Er exactly, since Z is proportional to 1/sqrt(er);
// B from Euler's relation for a function of the ratios s/b, t/b, w/b alone:
// the four length sensitivities sum to zero.
#include "model/stripline_model.hpp"

namespace ketrovane {
namespace {

constexpr float kStep = 1.001F;  // relative step of the finite differences
constexpr float kPermittivitySensitivity = -0.5F;

struct ModeSensitivities {
  float even;
  float odd;
};

// (x/Z)(dZ/dx) from the nominal and one perturbed evaluation.
ModeSensitivities normalisedSensitivity(const ModeImpedances& perturbed,
                                        const ModeImpedances& nominal, float x, float perturbedX) {
  const float step = perturbedX - x;
  return {((perturbed.zoe - nominal.zoe) * x) / (step * nominal.zoe),
          ((perturbed.zoo - nominal.zoo) * x) / (step * nominal.zoo)};
}

}  // namespace

Sensitivities sl1sen(const CrossSection& x) {
  const ModeImpedances nominal = sl1imp(x);

  CrossSection perturbed = x;
  perturbed.s = x.s * kStep;
  const ModeSensitivities spacing =
      normalisedSensitivity(sl1imp(perturbed), nominal, x.s, perturbed.s);

  ModeSensitivities thickness{0.0F, 0.0F};
  if (x.t != 0.0F) {
    perturbed = x;
    perturbed.t = x.t / kStep;
    thickness = normalisedSensitivity(sl1imp(perturbed), nominal, x.t, perturbed.t);
  }

  perturbed = x;
  perturbed.w = x.w / kStep;
  const ModeImpedances last = sl1imp(perturbed);
  const ModeSensitivities width = normalisedSensitivity(last, nominal, x.w, perturbed.w);

  slsen1 even{};
  even.szoeer = kPermittivitySensitivity;
  even.szoes = spacing.even;
  even.szoet = thickness.even;
  even.szoew = width.even;
  even.szoeb = -even.szoes - even.szoet - even.szoew;

  slsen2 odd{};
  odd.szooer = kPermittivitySensitivity;
  odd.szoos = spacing.odd;
  odd.szoot = thickness.odd;
  odd.szoow = width.odd;
  odd.szoob = -odd.szoos - odd.szoot - odd.szoow;

  return {nominal.zoe, nominal.zoo, even, odd, last.cap};
}

}  // namespace ketrovane
