// Ranges of table rows: the step count and the value of each row.
#pragma once

#include <cstdint>

namespace ketrovane {

// Step count of a range as the runs form it: (max - min)/step + 0.0001
// evaluated in double precision, rounded to single precision and truncated;
// saturates at the int range instead of overflowing (NaN gives 0).
int run_step_count(float min, float max, float step);

// The value of row ii, min + ii*step, computed from the index (not
// accumulated) in double precision and stored in single precision.
inline float row_value(float min, std::int64_t ii, float step) {
  return static_cast<float>(static_cast<double>(min) +
                            static_cast<double>(ii) * static_cast<double>(step));
}

}  // namespace ketrovane
