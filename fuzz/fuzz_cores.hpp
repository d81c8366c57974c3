// The fuzz cores: each runs the code under test on one input and aborts with
// a message on the error stream when an invariant does not hold.  The
// libFuzzer entry points and the regression replay of the test suite both
// call them, so a failing input found by one is replayed by the other.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ketrovane::fuzz {

// The bytes as reply lines for the reply reader, the name reader and the
// stream line reader.
int fuzz_reply_reader(const std::uint8_t* data, std::size_t size);

// The bytes as the default-value file.
int fuzz_default_file(const std::uint8_t* data, std::size_t size);

// The bytes as the console input of a whole run of the program on the
// shipped default-value file.
int fuzz_dialogue(const std::uint8_t* data, std::size_t size);

// The bytes as the options of a batch command: the first byte picks the
// command, then lines of "name=value".
int fuzz_calc_options(const std::uint8_t* data, std::size_t size);

}  // namespace ketrovane::fuzz
