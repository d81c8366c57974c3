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

}  // namespace ketrovane
