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

// Starts ketrovane-calc, interrupts it with `signal` after `delay_ms`, and
// gives its exit status as a shell shows it (128 + signal when it died of it).
int interrupt_calc(const fs::path& dir, const std::vector<std::string>& args, int signal,
                   int delay_ms);

// The lines of a text, without their line ends.
std::vector<std::string> lines_of(const std::string& text);

// The comma-separated fields of a CSV line.
std::vector<std::string> fields_of(const std::string& line);

}  // namespace ketrovane::calc_test
