// The tests of design values that the default-value file and the data
// entry share.
#pragma once

namespace ketrovane {

// Lengths, frequencies, impedances and steps must be above zero.
inline bool is_positive(float v) {
  return v > 0.0F;
}

// A relative permittivity is at least 1.
inline bool is_permittivity(float v) {
  return v >= 1.0F;
}

// Strips may be as thick as 0.8 B, not thicker.
inline bool thicker_than_allowed(float t, float b) {
  return t > 0.8F * b;
}

// A spacing above 1.5 B couples so weakly that the analysis may fail.
inline bool coupling_very_weak(float s, float b) {
  return s / b > 1.5F;
}

// The synthesis is known to converge for coupling levels from 6 to 20 dB
// (magnitudes).
inline bool coupling_level_in_synthesis_range(float magnitude_db) {
  return magnitude_db >= 6.0F && magnitude_db <= 20.0F;
}

}  // namespace ketrovane
