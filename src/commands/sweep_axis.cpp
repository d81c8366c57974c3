#include "commands/sweep_axis.hpp"

#include <cmath>
#include <string>
#include <vector>

#include "commands/input_error.hpp"

namespace ketrovane::commands {

namespace {

std::vector<std::string_view> fields_of(std::string_view text) {
  std::vector<std::string_view> fields;
  for (;;) {
    const std::size_t colon = text.find(':');
    fields.push_back(text.substr(0, colon));
    if (colon == std::string_view::npos) return fields;
    text.remove_prefix(colon + 1);
  }
}

std::string text_of(std::int64_t n) {
  return std::to_string(n);
}

void check_direction(std::string_view option, std::string_view text, const Quantity& q,
                     const Range& r) {
  if (r.max < r.min) {
    reject(named(option), text,
           "the stop lies below the start (ranges run upward, start:stop:step)");
  }
  if (q.signless && (r.min < 0.0F) != (r.max < 0.0F)) {
    reject(named(option), text, "the range crosses 0 " + std::string(base_unit(q.dimension)));
  }
}

// A count of rows as a message gives it: exactly while a double holds it
// exactly, else its power of ten ("about 10^43").
std::string count_text(double rows) {
  constexpr double kExactUpTo = 1e15;
  if (rows <= kExactUpTo) return text_of(static_cast<std::int64_t>(rows));
  return "about 10^" + text_of(static_cast<std::int64_t>(std::floor(std::log10(rows))));
}

// The rows of a range as its step count gives them, at most kMostRows.  A
// range whose step count saturates (billions of rows and more) is counted
// in double precision instead; either way the message gives the count that
// was compared.
std::int64_t checked_rows(std::string_view option, std::string_view text, const Range& r,
                          Quotient quotient) {
  const double steps = (static_cast<double>(r.max) - static_cast<double>(r.min)) / r.step;
  const std::int64_t rows = std::int64_t{step_count(r, quotient)} + 1;
  constexpr double kSaturating = 1e9;  // far below the int's limit, far above kMostRows
  const double counted = steps < kSaturating ? static_cast<double>(rows) : std::floor(steps) + 1.0;
  if (counted > static_cast<double>(kMostRows)) {
    reject(named(option), text,
           "the range has " + count_text(counted) + " rows, more than " + text_of(kMostRows));
  }
  return rows;
}

}  // namespace

Axis parse_axis(std::string_view option, std::string_view text, const Quantity& quantity,
                Quotient quotient) {
  const std::vector<std::string_view> fields = fields_of(text);
  if (fields.size() == 1) {
    return single_value(parse_quantity(option, text, quantity));
  }
  if (fields.size() != 3) {
    reject(named(option), text, "expected a single value or a range start:stop:step");
  }
  Range r{};
  r.min = parse_quantity(option, fields[0], quantity);
  r.max = parse_quantity(option, fields[1], quantity);
  r.step = parse_step(option, text, fields[2], quantity);
  check_direction(option, text, quantity, r);
  return {r, checked_rows(option, text, r, quotient), true};
}

std::int64_t product_rows(const Phrase& options, const Axis& a, const Axis& b) {
  const std::int64_t rows = a.rows * b.rows;  // each at most kMostRows: no overflow
  if (rows > kMostRows) {
    refuse(options,
           "the ranges give " + text_of(rows) + " rows together, more than " + text_of(kMostRows));
  }
  return rows;
}

std::int64_t product_rows(const Phrase& options, const Axis& a, const Axis& b, const Axis& c) {
  // Each product stays at most kMostRows squared before it is checked.
  const Axis first_two{{}, product_rows(options, a, b), true};
  return product_rows(options, first_two, c);
}

std::int64_t product_rows(const Phrase& options, std::span<const Axis* const> axes) {
  Axis product = *axes.front();
  for (const Axis* axis : axes.subspan(1))
    product = {{}, product_rows(options, product, *axis), true};
  return product.rows;
}

}  // namespace ketrovane::commands
