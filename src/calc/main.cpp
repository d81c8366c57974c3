// ketrovane-calc: the batch commands of Ketrovane for scripts and the shell.
// Options are recognised here (CLI11); their values are read, checked and
// acted on by the batch library.
#include <cstdio>
#include <exception>

#include "batch/commands.hpp"
#include "calc/command_line.hpp"
#include "calc/output_file.hpp"

int main(int argc, char** argv) {
  ketrovane::calc::remove_temporaries_on_interrupt();
  try {
    return ketrovane::calc::run_program(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ketrovane-calc: %s\n", e.what());
    return ketrovane::batch::kFailure;
  }
}
