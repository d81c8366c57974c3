#include "batch/input_error.hpp"

#include <array>
#include <cstddef>

namespace ketrovane::batch {

namespace {

constexpr std::size_t kShownCharacters = 60;

void append_escaped(std::string& out, char c) {
  constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                         '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
  const auto u = static_cast<unsigned char>(c);
  if (u >= 0x20 && u < 0x7f && c != '\\' && c != '\'') {
    out += c;
    return;
  }
  if (c == '\\' || c == '\'') {
    out += '\\';
    out += c;
    return;
  }
  out += "\\x";
  out += kHex.at(u >> 4U);
  out += kHex.at(u & 0x0fU);
}

}  // namespace

std::string quoted(std::string_view value) {
  std::string out = "'";
  for (std::size_t i = 0; i < value.size() && i < kShownCharacters; ++i) {
    append_escaped(out, value[i]);
  }
  if (value.size() > kShownCharacters) out += "...";
  out += '\'';
  return out;
}

void reject(std::string_view option, std::string_view value, std::string_view expected) {
  std::string message(option);
  message += ' ';
  message += quoted(value);
  message += ": ";
  message += expected;
  throw InputError(message);
}

}  // namespace ketrovane::batch
