#include "commands/number_format.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

namespace ketrovane::commands {

namespace {

char* write_not_finite(char* first, float value) {
  const std::string_view text = std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
  return std::copy(text.begin(), text.end(), first);
}

}  // namespace

char* write_shortest(char* first, float value) {
  if (!std::isfinite(value)) return write_not_finite(first, value);
  return std::to_chars(first, first + kNumberChars, value, std::chars_format::fixed).ptr;
}

char* write_fixed(char* first, float value, int decimals) {
  if (!std::isfinite(value)) return write_not_finite(first, value);
  return std::to_chars(first, first + kNumberChars, value, std::chars_format::fixed, decimals).ptr;
}

std::string shortest(float value) {
  std::array<char, kNumberChars> buffer{};
  return {buffer.data(), write_shortest(buffer.data(), value)};
}

std::string significant(float value, int digits) {
  std::array<char, kNumberChars> buffer{};
  if (!std::isfinite(value)) return {buffer.data(), write_not_finite(buffer.data(), value)};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::general, digits);
  return {buffer.data(), result.ptr};
}

std::string percent(double fraction) {
  const double pct = 100.0 * fraction;
  constexpr double kWhole = 10.0;
  if (std::isfinite(pct) && std::fabs(pct) >= kWhole)
    return std::to_string(std::llround(pct)) + " %";
  return significant(static_cast<float>(pct), 2) + " %";
}

}  // namespace ketrovane::commands
