// The invariant check of the fuzz cores: a broken invariant is reported on
// the error stream and aborts, which both libFuzzer and the test runner
// record as a failure of the input.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace ketrovane::fuzz {

[[noreturn]] inline void invariant_broken(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::fflush(stderr);
  std::abort();
}

}  // namespace ketrovane::fuzz

#define KETROVANE_FUZZ_CHECK(condition) \
  ((condition) ? void() : ::ketrovane::fuzz::invariant_broken(#condition, __FILE__, __LINE__))
