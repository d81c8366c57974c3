// Ranges of table rows: how many steps a range has and the value of each row.
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

}  // namespace ketrovane
