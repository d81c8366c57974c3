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

// How a run is started and ended from outside.
struct Interruption {
  int signal = 0;  // sent once `ready` exists (else after delay_ms); 0 for none
  int delay_ms = 300;
  fs::path ready;                     // a file whose appearance sends the signal
  bool signal_ignored = false;        // the signal inherited as ignored, as under nohup
  bool output_closed = false;         // standard output a pipe that nobody reads
  unsigned long file_size_limit = 0;  // RLIMIT_FSIZE in bytes, as ulimit -f sets it; 0 for none
  std::vector<std::string> env;       // as for run_calc
  unsigned user = 0;  // run as this user and group id (the tests run as root); 0 for the same
};

// Runs ketrovane-calc as `how` says; the status as a shell shows it (128 +
// the signal when it died of one).
CalcOutcome run_interrupted(const fs::path& dir, const std::vector<std::string>& args,
                            const Interruption& how);

// The lines of a text, without their line ends.
std::vector<std::string> lines_of(const std::string& text);

// The comma-separated fields of a CSV line.
std::vector<std::string> fields_of(const std::string& line);

}  // namespace ketrovane::calc_test
