// The libFuzzer entry point of one target; KETROVANE_FUZZ_CORE names its
// core function.
#include "fuzz_cores.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return ketrovane::fuzz::KETROVANE_FUZZ_CORE(data, size);
}
