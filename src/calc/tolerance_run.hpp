// The run of the tolerance command: the samples computed in order on every
// core, each written to --samples-output and kept for the statistics; then
// the statistics table, and the histograms of --plot.
#pragma once

#include <string_view>

#include "batch/option_values.hpp"
#include "batch/requests.hpp"
#include "calc/run.hpp"
#include "calc/writers.hpp"

namespace ketrovane::calc {

struct ToleranceOutputs {
  Format format;
  batch::LengthUnit unit;
  const batch::Echo* echo;
};

RunResult run_tolerance(batch::TextValues& values, const batch::ToleranceRequest& request,
                        const ToleranceOutputs& outputs);

}  // namespace ketrovane::calc
