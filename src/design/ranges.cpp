#include "design/ranges.hpp"

#include "common/saturating.hpp"

namespace ketrovane {

int step_count(const Range& range, Quotient quotient) {
  float q = 0.0F;
  if (quotient == Quotient::single_precision) {
    q = (range.max - range.min) / range.step + 0.0001F;
  } else {
    q = static_cast<float>((static_cast<double>(range.max) - static_cast<double>(range.min)) /
                               static_cast<double>(range.step) +
                           0.0001);
  }
  return truncated_int(q);
}

float row_value(float min, std::int64_t index, float step) {
  return static_cast<float>(static_cast<double>(min) +
                            static_cast<double>(index) * static_cast<double>(step));
}

}  // namespace ketrovane
