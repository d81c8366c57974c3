// The run of one command of ketrovane-calc: its request read from the
// option texts, its rows computed and written to every output asked for,
// the outputs put in place together.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "commands/command_table.hpp"
#include "commands/option_values.hpp"

namespace ketrovane::calc {

struct RunResult {
  int status;
  std::string error;  // one line, without the program's name; empty on success
  std::int64_t rows_failed = 0;
  std::string failed_rows_line = {};    // for the error stream when rows failed
  std::vector<std::string> notes = {};  // lines for the error stream
};

// The text given for option `id`, or null when it was not given.
const std::string* given_text(const commands::TextValues& values, commands::Opt id);

// Whether the file name ends in `extension` (".s4p"), whatever its case.
bool has_extension(std::string_view path, std::string_view extension);

// `command_line` is recorded in the Touchstone file's comments.
RunResult run_command(const commands::CommandSpec& command, commands::TextValues& values,
                      std::string_view command_line);

}  // namespace ketrovane::calc
