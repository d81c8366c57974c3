#include "reports/row_range.hpp"

#include <climits>
#include <cmath>

namespace ketrovane {

int run_step_count(float min, float max, float step) {
  const auto quotient = static_cast<float>(
      (static_cast<double>(max) - static_cast<double>(min)) / static_cast<double>(step) + 0.0001);
  if (std::isnan(quotient)) return 0;
  if (quotient >= static_cast<float>(INT_MAX)) return INT_MAX;
  if (quotient <= static_cast<float>(INT_MIN)) return INT_MIN;
  return static_cast<int>(quotient);
}

}  // namespace ketrovane
