// The run of the tolerance command: the samples computed in order on every
// core, each written to --samples-output and kept for the statistics; then
// the statistics table, and the histograms of --plot.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "calc/output_file.hpp"

#include "calc/run.hpp"
#include "calc/writers.hpp"
#include "commands/option_values.hpp"
#include "commands/requests.hpp"
#include "commands/tolerance_rows.hpp"

namespace ketrovane::calc {

struct ToleranceOutputs {
  Format format;
  commands::LengthUnit unit;
  const commands::Echo* echo;
};

RunResult run_tolerance(commands::TextValues& values, const commands::ToleranceRequest& asked,
                        const ToleranceOutputs& style);

// The statistics of a run, or of slices put together, and what they end in:
// the table in the format asked, the histograms of --plot, the result with
// its line on the samples that could not be computed and the model's note.
void write_statistics(const commands::ToleranceRequest& request,
                      const commands::ToleranceOutcome& outcome, const ToleranceOutputs& o,
                      Sink& sink);
// An outcome's values over the samples that have it.
using OutcomeValues = std::function<std::span<const float>(std::size_t)>;
void draw_histograms(const std::string& path, OutputFile& image,
                     const commands::ToleranceRequest& q, const OutcomeValues& samples,
                     const commands::ToleranceOutcome& r, const commands::Echo* echo,
                     commands::LengthUnit unit = commands::kInches);
RunResult tolerance_result(const commands::ToleranceRequest& request,
                           const commands::ToleranceOutcome& outcome, commands::LengthUnit unit);

// --combine: the statistics of the whole run from its slices' samples files.
RunResult run_tolerance_combine(commands::TextValues& values, const ToleranceOutputs& outputs);

}  // namespace ketrovane::calc
