// The run of the tolerance command: the samples computed in order on every
// core, each written to --samples-output and kept for the statistics; then
// the statistics table, and the histograms of --plot.
#pragma once

#include <string_view>

#include "calc/run.hpp"
#include "calc/writers.hpp"
#include "commands/option_values.hpp"
#include "commands/requests.hpp"

namespace ketrovane::calc {

struct ToleranceOutputs {
  Format format;
  commands::LengthUnit unit;
  const commands::Echo* echo;
};

RunResult run_tolerance(commands::TextValues& values, const commands::ToleranceRequest& request,
                        const ToleranceOutputs& outputs);

}  // namespace ketrovane::calc
