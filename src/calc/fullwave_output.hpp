// A response's --fullwave model run (--run on): the model's progress on the
// error stream, then the coupler as laid out beside the ideal section: the
// band summary of each as a table (--output, --format), the laid-out
// four-port as a Touchstone file, a chart of both (--plot).  Only a run that
// settled is a result.
#pragma once

#include <string_view>

#include "calc/run.hpp"
#include "calc/writers.hpp"
#include "commands/fullwave_run.hpp"
#include "commands/requests.hpp"

namespace ketrovane::calc {

struct FullwaveOutputs {
  Format format;
  commands::LengthUnit unit;
  const commands::Echo* echo;
  std::string_view command_line;
};

// The model's section drawn `drawn_inch` long (after any compensation);
// with `redraw` (--compensate measured) the length searched instead, the
// model redrawn for each run.  `interpreter` stands in for Debian's Python
// in tests.
RunResult run_fullwave(commands::TextValues& values, const commands::ResponseRequest& request,
                       double drawn_inch, const FullwaveOutputs& outputs,
                       const commands::Interpreter& interpreter = commands::kDebianPython,
                       const commands::Redraw& redraw = {});

}  // namespace ketrovane::calc
