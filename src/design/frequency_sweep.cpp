#include "design/frequency_sweep.hpp"

#include "design/ranges.hpp"

namespace ketrovane {

FrequencyRow FrequencySweep::row(std::int64_t index) const {
  const float f = row_value(input_.f_first_mhz, index, input_.f_step_mhz);
  ModeAttenuation attenuation{0.0F, 0.0F};
  if (input_.losses) {
    const LossyCoupler& c = *input_.losses;
    attenuation = mode_attenuation(c.geometry, c.conductor, c.loss_tangent, f);
  }
  const CoupledSection section{input_.zoe,
                               input_.zoo,
                               input_.er,
                               input_.length_inch,
                               attenuation.even_db_per_inch,
                               attenuation.odd_db_per_inch};
  return {f, attenuation, four_port_response(section, f, input_.terminations)};
}

}  // namespace ketrovane
