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

// Of rows each at one frequency and one cross-section, the lowest frequency
// at or above its cut-off, and where (of rows at that frequency, the one of
// the lowest cut-off).
struct HigherModeReach {
  bool reached = false;
  float f_mhz = 0.0F;
  HigherModeCutoff cutoff{};
  float b = 0.0F;
  float w = 0.0F;
  float er = 0.0F;

  void take(float f, float b_inch, float w_inch, float dielectric) {
    const HigherModeCutoff c = first_higher_mode(b_inch, w_inch, dielectric);
    if (f < c.f_mhz) return;
    merge({true, f, c, b_inch, w_inch, dielectric});
  }
  void merge(const HigherModeReach& other) {
    if (!other.reached) return;
    if (reached &&
        (other.f_mhz > f_mhz || (other.f_mhz == f_mhz && other.cutoff.f_mhz >= cutoff.f_mhz))) {
      return;
    }
    *this = other;
  }
};

}  // namespace ketrovane
