// Even- and odd-mode impedances of the coupled strips from the closed-form
// model: Cohn's split of each strip's capacitance into parallel-plate,
// outer-fringing and inner-fringing parts.
#pragma once

#include "model/cross_section.hpp"

namespace ketrovane {

// Capacitances per unit length divided by the permittivity of the medium,
// per strip and ground plane: pure numbers of the geometry.
struct Capacitances {
  float parallel_plate;       // 2 w / (b - t)
  float outer_fringing;       // at the strip's outer edge
  float inner_fringing_even;  // at the facing edge, even mode
  float inner_fringing_odd;   // at the facing edge, odd mode
};

struct ModeImpedances {
  float zoe;  // even-mode impedance, ohms
  float zoo;  // odd-mode impedance, ohms
  Capacitances capacitances;
  // True when the zero-thickness solution could not be evaluated (a modulus
  // rounds to 1: very wide strips or a vanishing gap) and the thick-strip
  // fits alone gave the result, even for t = 0.
  bool zero_thickness_abandoned;
};

ModeImpedances mode_impedances(const CrossSection& x);

}  // namespace ketrovane
