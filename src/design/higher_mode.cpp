#include "design/higher_mode.hpp"

#include <cmath>
#include <numbers>

namespace ketrovane {

namespace {

// 299792458 m/s in inches per microsecond: c/f in inches for f in MHz.
constexpr double kSpeedOfLightInchMHz = 299792458.0 / 0.0254 * 1.0E-6;

// The frequency whose half wavelength in the dielectric is `half_wave`.
double half_wave_frequency(double half_wave, double er) {
  return kSpeedOfLightInchMHz / (2.0 * half_wave * std::sqrt(er));
}

}  // namespace

double parallel_plate_cutoff_mhz(double b, double er) {
  return half_wave_frequency(b, er);
}

double strip_te_cutoff_mhz(double b, double w, double er) {
  return half_wave_frequency(w + std::numbers::pi * b / 4.0, er);
}

HigherModeCutoff first_higher_mode(double b, double w, double er) {
  const double plates = parallel_plate_cutoff_mhz(b, er);
  const double strip = strip_te_cutoff_mhz(b, w, er);
  if (strip < plates) return {strip, HigherMode::strip_te};
  return {plates, HigherMode::parallel_plate};
}

}  // namespace ketrovane
