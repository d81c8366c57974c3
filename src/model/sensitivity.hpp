// Normalised sensitivities (x/Z)(dZ/dx) of the even- and odd-mode impedances
// to the dielectric constant and the four lengths of the cross-section.
#pragma once

#include "model/cross_section.hpp"

namespace ketrovane {

// Sensitivities of one mode's impedance; -0.7 means that a 1 % increase of
// the quantity lowers the impedance by about 0.7 %.
struct ModeSensitivities {
  float er;  // dielectric constant, always -0.5
  float b;   // ground-plane spacing: minus the sum of the other three
  float s;   // strip spacing
  float t;   // strip thickness; 0 for strips of zero thickness
  float w;   // strip width
};

struct ImpedanceSensitivities {
  float zoe;  // nominal even-mode impedance, ohms
  float zoo;  // nominal odd-mode impedance, ohms
  ModeSensitivities even;
  ModeSensitivities odd;
};

ImpedanceSensitivities impedance_sensitivities(const CrossSection& x);

}  // namespace ketrovane
