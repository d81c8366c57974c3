#include "design/sensitivity_sweep.hpp"

namespace ketrovane {

SensitivityRow SensitivitySweep::row(std::int64_t index) const {
  CrossSection x = input_.nominal;
  (input_.swept == SweptDimension::width ? x.w : x.s) =
      row_value(input_.range.min, index, input_.range.step);
  return {x, impedance_sensitivities(x)};
}

}  // namespace ketrovane
