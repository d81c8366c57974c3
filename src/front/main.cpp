// Ketrovane: design of single-section, edge-coupled stripline directional
// couplers.  Command-line arguments are accepted and ignored.
#include <unistd.h>

#include <iostream>

#include "front/driver.hpp"

int main() {
  using namespace ketrovane;
  text::DescriptorLineReader console_in(STDIN_FILENO, "standard input");
  text::DescriptorChannel console_out(STDOUT_FILENO, "standard output");
  PosixFileSystem files;
  // A person at a terminal is asked again after a mistake; a script fails.
  const Mistakes mistakes =
      ::isatty(STDIN_FILENO) == 1 ? Mistakes::ask_again : Mistakes::end_the_program;
  Environment env{console_in,
                  console_out,
                  std::cerr,
                  files,
                  local_date_time,
                  mistakes,
                  KETROVANE_SAMPLE_DEFAULTS};
  return run_program(env);
}
