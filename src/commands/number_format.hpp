// Numbers as the writers print them: the shortest plain decimal that reads
// back as the same single-precision value, or a fixed number of places.
#pragma once

#include <string>

namespace ketrovane::commands {

// Longest text either writer can produce: the widest plain decimal of a
// float has 39 digits before the point and 45 places after it.
inline constexpr int kNumberChars = 96;

// Plain decimal, no exponent; "nan", "inf" and "-inf" for what is not finite.
char* write_shortest(char* first, float value);
char* write_fixed(char* first, float value, int decimals);

std::string shortest(float value);

// At most `digits` significant digits, for titles and labels.
std::string significant(float value, int digits);

// A fraction as per cent: two significant digits, whole per cents from 10
// up ("0.58 %", "38 %", "120 %").
std::string percent(double fraction);

}  // namespace ketrovane::commands
