// ketrovane-calc: the batch commands of Ketrovane for scripts and the shell.
// Options are recognised here (CLI11); their values are read, checked and
// acted on by the batch library.
#include <malloc.h>

#include <cstdio>
#include <exception>

#include "calc/command_line.hpp"
#include "calc/signals.hpp"
#include "commands/command_table.hpp"

namespace {

// A field solution allocates its matrices afresh for every cross-section,
// on every worker thread.  Left to itself the allocator hands the freed
// memory back to the system after each one and faults it in again for the
// next (64 page faults a cross-section, half the time of a tolerance run
// on the field); kept, it is reused.
void keep_freed_memory() {
  constexpr int kKeptBytes = 256 << 20;
  constexpr int kLargestFromTheHeap = 32 << 20;  // glibc's greatest mmap threshold
  mallopt(M_TRIM_THRESHOLD, kKeptBytes);
  mallopt(M_MMAP_THRESHOLD, kLargestFromTheHeap);
}

}  // namespace

int main(int argc, char** argv) {
  keep_freed_memory();
  ketrovane::calc::clean_up_on_signals();
  try {
    return ketrovane::calc::run_program(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ketrovane-calc: %s\n", e.what());
    return ketrovane::commands::kFailure;
  }
}
