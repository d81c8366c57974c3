// Runs the real ketrovane-calc with an argument list in a working
// directory, standard input from /dev/null, and collects its outputs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ketrovane::calc_test {

namespace fs = std::filesystem;

struct CalcOutcome {
  std::string out;
  std::string err;
  int status = -1;
};

// `env` replaces the environment; empty keeps PATH=/usr/bin:/bin.
CalcOutcome run_calc(const fs::path& dir, const std::vector<std::string>& args,
                     const std::vector<std::string>& env = {});

// The lines of a text, without their line ends.
std::vector<std::string> lines_of(const std::string& text);

// The comma-separated fields of a CSV line.
std::vector<std::string> fields_of(const std::string& line);

}  // namespace ketrovane::calc_test
