// The batch commands: their options (for any front end to register) and
// the run of one command from its option texts to its written outputs.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "batch/requests.hpp"

namespace ketrovane::batch {

enum class Command : std::uint8_t { analyse, synthesise, response, sensitivity, field };

struct OptionEntry {
  std::string_view name;        // without the dashes
  std::string_view value_name;  // "L[:L:L]"
  std::string_view help;
};

struct CommandEntry {
  Command command;
  std::string_view name;
  std::string_view summary;
  std::span<const OptionEntry> options;
};

std::span<const CommandEntry> command_entries();

// Exit statuses of the batch program.
inline constexpr int kSuccess = 0;
inline constexpr int kRowsNotBuilt = 1;  // the table is written; some rows could not be built
inline constexpr int kFailure = 2;       // bad input, or an output that could not be written

struct RunResult {
  int status;
  std::string error;  // one line, without the program's name; empty on success
  std::int64_t rows_not_built;
  std::string note = {};  // one line for the error stream, or empty
};

// Reads and checks the inputs, computes the rows and writes every output
// asked for.  `command_line` is recorded in the Touchstone file's comments.
RunResult run_command(Command command, const OptionTexts& texts, std::string_view command_line);

}  // namespace ketrovane::batch
