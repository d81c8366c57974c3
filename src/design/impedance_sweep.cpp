#include "design/impedance_sweep.hpp"

#include <algorithm>

namespace ketrovane {

ImpedanceSweep::ImpedanceSweep(const ImpedanceSweepInput& input)
    : input_(input),
      step_count_(std::max(ketrovane::step_count(input.range, Quotient::double_precision), -1)) {}

ImpedanceRow ImpedanceSweep::row(std::int64_t index) const {
  CrossSection x = input_.nominal;
  const float value = row_value(input_.range.min, index, input_.range.step);
  (input_.swept == SweptDimension::width ? x.w : x.s) = value;
  const DimensionAnalysis analysis = analyse_dimensions(x);
  const ModeAttenuation attenuation =
      mode_attenuation(x, input_.conductor, input_.loss_tangent, input_.f_mhz);
  return {x, value, ratio_to_b(value, x.board.b), analysis, attenuation};
}

}  // namespace ketrovane
