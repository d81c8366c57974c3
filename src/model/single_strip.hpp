// One strip centred between the ground planes in one dielectric, by the
// closed form the coupled model's mode impedances tend to as the strips
// draw apart: Cohn's split of the strip's capacitance into the parallel
// plate 2 Cp and the fringing of its two edges to both planes, 4 C'f,
//
//   Zo = (eta / sqrt(er)) / (2 Cp/eps + 4 C'f/eps),  Cp/eps = 2w/(b - t),
//
// C'f the thick edge's fringing of mode_impedances.cpp (S. B. Cohn,
// "Characteristic impedance of the shielded-strip transmission line", IRE
// Trans. MTT-2, 1954), which holds while the fringing fields of the two
// edges do not interact: w/(b - t) of 0.35 and more.  A sheet (t = 0) is
// exact by conformal mapping, Zo = (eta/(4 sqrt(er))) K(k')/K(k),
// k = tanh(pi w / 2b), with Hilberg's K/K' as the coupled model's (k' =
// sech(pi w / 2b) kept to its digits for narrow sheets); below
// t/b = 0.025 the edges' fringing blends linearly from the sheet's to the
// thick edge's, as the coupled model's inner fringing does.
//
// Against the field solution (measured over t/b 0 to 0.4, w/b 0.1 to 3):
// a sheet within 1e-4 (the modulus near 1 rounded in float for w/b of 3
// and more, as in the coupled model; 3e-6 below); t/b of 0.025 and more
// within 1 % for w/(b - t) of 0.35 and more (0.01 % from w/(b - t) = 1);
// the thin-strip blend within 1.5 % there; narrower strips low, by up to
// 8 % at w/b = 0.1.
//
// Single precision, as the coupled model; lengths in inches for the loss.
#pragma once

#include "model/cross_section.hpp"
#include "model/loss.hpp"

namespace ketrovane {

// The strips' width at and above which Cohn's thick-strip formula holds
// within about 1 %: w/(b - t) >= 0.35.
inline constexpr float kStripWideEnough = 0.35F;

struct StripImpedance {
  float zo;                       // ohms
  bool zero_thickness_abandoned;  // the sheet's modulus rounded to 1 (very wide strips)
};

// The strip of width w on the board.
StripImpedance strip_impedance(const Board& board, float w);

struct StripAttenuation {
  float conductor_db_per_inch;
  float dielectric_db_per_inch;
  float total_db_per_inch;
};

// Wheeler's rule on the closed form, as mode_attenuation has it for the
// pair without the gap's term: alpha = (sqrt(er) Rs / (eta Z))
// [-(1 + t/b) dZ/dt - (1 + w/b) dZ/dw] for the air-filled Z.
StripAttenuation strip_attenuation(const Board& board, float w, const Conductor& conductor,
                                   float loss_tangent, float f_mhz);

}  // namespace ketrovane
