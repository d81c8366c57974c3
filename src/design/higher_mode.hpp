// Where the quasi-TEM analysis of a stripline ends: the cut-off of its first
// higher-order mode.  Two modes bound it (Pozar, Microwave Engineering,
// 4th ed., sec. 3.7): the parallel-plate mode between the ground planes,
// whose half wavelength in the dielectric is B, and the strip's own TE mode
// across its width, whose half wavelength is W plus the fringing field's
// share of the planes, pi B/4.
#pragma once

#include <cstdint>

namespace ketrovane {

enum class HigherMode : std::uint8_t { parallel_plate, strip_te };

struct HigherModeCutoff {
  double f_mhz;
  HigherMode mode;  // the lower of the two
};

// Lengths in inches.
double parallel_plate_cutoff_mhz(double b, double er);
double strip_te_cutoff_mhz(double b, double w, double er);
HigherModeCutoff first_higher_mode(double b, double w, double er);

}  // namespace ketrovane
