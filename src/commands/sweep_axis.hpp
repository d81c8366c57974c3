// A swept input as a text: start:stop:step, or a single value as a one-row range.
// Row counts and row values are those of the interactive program's ranges.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "commands/input_error.hpp"
#include "commands/quantities.hpp"
#include "design/ranges.hpp"

namespace ketrovane::commands {

// No table may have more rows than this.
inline constexpr std::int64_t kMostRows = 100'000'000;

// The axis of `text`, with the step count formed as `quotient` says (the
// impedance analysis in double precision, the other ranges in single).
Axis parse_axis(std::string_view option, std::string_view text, const Quantity& quantity,
                Quotient quotient);

// rows(a) * rows(b), or an InputError naming both options when the product
// passes kMostRows.
std::int64_t product_rows(const Phrase& options, const Axis& a, const Axis& b);
// Of three axes.
std::int64_t product_rows(const Phrase& options, const Axis& a, const Axis& b, const Axis& c);
// Of any number of axes, one at least.
std::int64_t product_rows(const Phrase& options, std::span<const Axis* const> axes);

}  // namespace ketrovane::commands
