// Ketrovane: design of single-section, edge-coupled stripline directional
// couplers.  Command-line arguments are accepted and ignored.
#include <unistd.h>

#include <iostream>

#include "front/driver.hpp"

int main() {
  ketrovane::text::DescriptorLineReader console_in(STDIN_FILENO, "standard input");
  ketrovane::text::DescriptorChannel console_out(STDOUT_FILENO, "standard output");
  ketrovane::PosixFileSystem files;
  ketrovane::Environment env{console_in, console_out, std::cerr, files, ketrovane::local_date_time};
  return ketrovane::run_program(env);
}
