// The batch commands, one entry each: its name and summary, how its
// request is read from the option values, its columns, how its rows are
// made and what its chart shows.  The options each command takes are those
// of the option table that name it.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/chart.hpp"
#include "commands/columns.hpp"
#include "commands/options.hpp"
#include "commands/requests.hpp"
#include "commands/rows.hpp"
#include "design/band_summary.hpp"

namespace ketrovane::commands {

// What a chart is drawn with besides the request.
struct ChartContext {
  LengthUnit unit;
  const BandSummary* band = nullptr;        // a response's
  const ProfileSummary* profile = nullptr;  // a multi-section coupler's response's
};

struct CommandSpec {
  Command id;
  std::string_view name;
  std::string_view alias;  // the American spelling, where there is one
  std::string_view summary;
  Request (*read)(OptionValues& values);
  std::span<const Column> (*columns)(const ColumnChoice& choice);
  std::unique_ptr<RowSource> (*rows)(const Request& request);
  // The chart of --plot, for the commands that draw one (null otherwise).
  ChartLayout (*chart)(const Request& request, const ChartContext& context);
  // What the help says after the options, if anything.
  std::string_view help_footer = {};
};

std::span<const CommandSpec> all_commands();
const CommandSpec& command(Command id);
// The command named `name`, or null.
const CommandSpec* command_named(std::string_view name);

// "analyse, synthesise, response, sensitivity, field"
std::string command_names();

// The solver a request's rows are computed with.
Solver solver_of(const Request& request);

// What the coupler of a response or of a multi-section coupler is, as its
// Touchstone file's first line says: "single-section broadside-coupled
// stripline directional coupler", "5-section edge-coupled ...", or for a
// coupler without dimensions "... (ideal: lossless, ...)".
std::string coupler_kind(const ResponseRequest& q);
std::string coupler_kind(const MultisectionRequest& q);

// The coupler of a response as its Touchstone file describes it: "Zoe =
// ... ohm, Zoo = ... ohm, Er = ..., length = ... mm, Rs = ... ohm, Rl = ...
// ohm", each number the shortest that reads back.
std::string coupler_description(const ResponseRequest& q, LengthUnit unit);

// The sections of a multi-section coupler as its Touchstone file describes
// them: "section 1: Zoe = ... ohm, Zoo = ... ohm; section 2: ...; Er = ...,
// section length = ... mm, Rs = ... ohm, Rl = ... ohm"; on a stack of layers
// each section with its modes' Eeff and its own length.
std::string multisection_description(const MultisectionRequest& q, LengthUnit unit);

// Every fixed input of a response, as its chart's title names them: "W =
// 24.8 mil, S = 6.4 mil, B = 62 mil, T = 1.37 mil, Er = 3.66, L = 771.2 mil,
// Rs = Rl = 50 ohm".
std::string coupler_title(const ResponseRequest& q, LengthUnit unit);

// "no field solution at W 0.1 in, S 0.01 in, T 0.0014 in, B 0.25 in, Er 2.2:
// " followed by what the solver said ("no field loss at", "no coupling
// resolved at" for those).
std::string failure_message(const FieldFailure& failure);

// Rows the field solution failed, a note for each kind: "note: 3 rows have
// no field solution; the first, at W 0.1 in, S 1e-07 in, T ..., B ..., Er
// 3.66: " followed by what the solver said; with_element names the first
// row's element (Python's index) instead.
std::vector<std::string> field_failure_notes(const RowTally& tally, LengthUnit unit,
                                             bool with_element);

// Exit statuses of the batch program.
inline constexpr int kSuccess = 0;
inline constexpr int kRowsNotBuilt = 1;  // the table is written; some rows could not be computed
inline constexpr int kFailure = 2;       // bad input, or an output that could not be written

}  // namespace ketrovane::commands
