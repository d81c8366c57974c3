// The batch commands, one entry each: its name and summary, how its
// request is read from the option values, its columns, how its rows are
// made and what its chart shows.  The options each command takes are those
// of the option table that name it.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "batch/chart.hpp"
#include "batch/columns.hpp"
#include "batch/options.hpp"
#include "batch/requests.hpp"
#include "batch/rows.hpp"

namespace ketrovane::batch {

struct CommandSpec {
  Command id;
  std::string_view name;
  std::string_view summary;
  Request (*read)(OptionValues& values);
  std::span<const Column> (*columns)(Solver solver);
  std::unique_ptr<RowSource> (*rows)(const Request& request);
  // The chart of --plot, for the commands that draw one (null otherwise);
  // the echo of the inputs names the fixed ones in the title.
  ChartLayout (*chart)(const Request& request, const Echo& inputs, LengthUnit unit);
};

std::span<const CommandSpec> commands();
const CommandSpec& command(Command id);
// The command named `name`, or null.
const CommandSpec* command_named(std::string_view name);

// "analyse, synthesise, response, sensitivity, field"
std::string command_names();

// The solver a request's rows are computed with.
Solver solver_of(const Request& request);

// The coupler of a response as its Touchstone file and chart describe it:
// "Zoe = ... ohm, Zoo = ... ohm, Er = ..., length = ... in, Rs = ... ohm,
// Rl = ... ohm", each number as `digits` significant digits (0: shortest).
std::string coupler_description(const ResponseRequest& q, std::string_view length_name, int digits);

// "no field solution at W 0.1 in, S 0.01 in, T 0.0014 in, B 0.25 in, Er 2.2:
// " followed by what the solver said.
std::string failure_message(const FieldFailure& failure);

// Exit statuses of the batch program.
inline constexpr int kSuccess = 0;
inline constexpr int kRowsNotBuilt = 1;  // the table is written; some rows could not be computed
inline constexpr int kFailure = 2;       // bad input, or an output that could not be written

}  // namespace ketrovane::batch
