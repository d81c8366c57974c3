// Ranges of table rows: how many steps a range has, the value of each row,
// and the axis a table runs along.
#pragma once

#include <cstdint>

namespace ketrovane {

struct Range {
  float min;
  float max;
  float step;
};

// Where the quotient (max - min)/step is formed: the dialogue forms it in
// single precision, the impedance analysis in double precision rounded to
// single.  The two can differ in the last place, so each keeps its own.
enum class Quotient : std::uint8_t { single_precision, double_precision };

// Step count of a range: (max - min)/step + 0.0001, truncated; a range has
// step count + 1 rows.  The added 0.0001 keeps an end point that is a whole
// number of steps from the start when rounding leaves the quotient just
// below it.  Saturates at the int range instead of overflowing; NaN gives 0.
int step_count(const Range& range, Quotient quotient);

// The value of row index, min + index*step, computed from the index (not
// accumulated) in double precision and stored in single precision.
float row_value(float min, std::int64_t index, float step);

// One input of a table: a single value, or a range swept row by row.
struct Axis {
  Range range;  // a single value has min == max and step 0
  std::int64_t rows;
  bool swept;

  [[nodiscard]] float value(std::int64_t index) const {
    return swept ? row_value(range.min, index, range.step) : range.min;
  }
};

inline Axis single_value(float v) {
  return {{v, v, 0.0F}, 1, false};
}

// A swept range of step_count + 1 rows; none for a negative step count.
inline Axis swept_range(const Range& range, int step_count) {
  return {range, step_count < 0 ? 0 : step_count + std::int64_t{1}, true};
}

}  // namespace ketrovane
