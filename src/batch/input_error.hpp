// A mistake in the input of a batch command: one line that names the option
// and the value and says what is expected, without the program's name.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace ketrovane::batch {

class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The value as a message shows it: quoted, with anything that is not
// printable ASCII escaped and a long value cut short, so that the message
// stays one line of readable text whatever was given.
std::string quoted(std::string_view value);

// "--b '-1': " followed by what is expected.
[[noreturn]] void reject(std::string_view option, std::string_view value,
                         std::string_view expected);

}  // namespace ketrovane::batch
