#include "design/quarter_wave.hpp"

#include <cmath>

#include "common/constants.hpp"

namespace ketrovane {

float quarter_wave_length(float fo_mhz, float er) {
  return kSpeedOfLightInchMHz / (4.0F * fo_mhz * std::sqrt(er));
}

float quarter_wave_frequency(float length_inch, float er) {
  return kSpeedOfLightInchMHz / (4.0F * length_inch * std::sqrt(er));
}

namespace {

// 2/(sqrt(eeff_even) + sqrt(eeff_odd)): the mean phase velocity over c.
float mean_velocity_factor(float eeff_even, float eeff_odd) {
  return 2.0F / (std::sqrt(eeff_even) + std::sqrt(eeff_odd));
}

}  // namespace

float quarter_wave_length(float fo_mhz, float eeff_even, float eeff_odd) {
  if (eeff_even == eeff_odd) return quarter_wave_length(fo_mhz, eeff_even);
  return kSpeedOfLightInchMHz / (4.0F * fo_mhz) * mean_velocity_factor(eeff_even, eeff_odd);
}

float quarter_wave_frequency(float length_inch, float eeff_even, float eeff_odd) {
  if (eeff_even == eeff_odd) return quarter_wave_frequency(length_inch, eeff_even);
  return kSpeedOfLightInchMHz / (4.0F * length_inch) * mean_velocity_factor(eeff_even, eeff_odd);
}

}  // namespace ketrovane
