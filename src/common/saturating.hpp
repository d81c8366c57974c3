// Conversion of a real to a 32-bit integer that no input can make undefined:
// out-of-range values saturate at the limits and NaN gives 0.
#pragma once

#include <climits>
#include <cmath>

namespace ketrovane {

inline int saturating_int(double x) {
  if (std::isnan(x)) return 0;
  if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (x <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(x);
}

// Nearest integer, halves away from zero.
inline int nearest_int(float x) {
  return saturating_int(std::round(static_cast<double>(x)));
}

// Integer part, truncated toward zero.
inline int truncated_int(float x) {
  return saturating_int(std::trunc(static_cast<double>(x)));
}

}  // namespace ketrovane
