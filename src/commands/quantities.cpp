#include "commands/quantities.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "commands/input_error.hpp"
#include "common/constants.hpp"

namespace ketrovane::commands {

namespace {

struct Unit {
  std::string_view name;
  double to_base;   // base units per unit
  double per_base;  // units per base unit, for the units outputs are written in; 0 otherwise
};

constexpr double kMicroInch = -1.0;  // scaled in single precision, as the roughness menu does
constexpr double kMicrometresPerInch = kMillimetresPerInch * 1000.0;

constexpr std::array kLengthUnits = {Unit{"in", 1.0, 1.0}, Unit{"mil", 1.0e-3, 1000.0},
                                     Unit{"uin", kMicroInch, 0.0},
                                     Unit{"mm", 1.0 / kMillimetresPerInch, kMillimetresPerInch},
                                     Unit{"um", 1.0 / kMicrometresPerInch, kMicrometresPerInch}};
constexpr std::array kFrequencyUnits = {Unit{"MHz", 1.0, 0.0}, Unit{"Hz", 1.0e-6, 0.0},
                                        Unit{"kHz", 1.0e-3, 0.0}, Unit{"GHz", 1.0e3, 0.0}};
constexpr std::array kImpedanceUnits = {Unit{"ohm", 1.0, 0.0}, Unit{"ohms", 1.0, 0.0}};
constexpr std::array kCouplingUnits = {Unit{"dB", 1.0, 0.0}};

// What the messages call a dimension, its base unit and the units its
// values may name.
struct DimensionUnits {
  std::string_view name;
  std::string_view base;
  std::span<const Unit> units;
  std::string_view listed;  // for messages
};

// In the order of Dimension.
constexpr std::array kDimensions = {
    DimensionUnits{"length", "in", kLengthUnits, "in, mil, uin, mm or um"},
    DimensionUnits{"frequency", "MHz", kFrequencyUnits, "Hz, kHz, MHz or GHz"},
    DimensionUnits{"impedance", "ohm", kImpedanceUnits, "ohm"},
    DimensionUnits{"coupling", "dB", kCouplingUnits, "dB"},
    DimensionUnits{"number", "", {}, "no unit"},
};
static_assert(kDimensions.size() == static_cast<std::size_t>(Dimension::pure) + 1);

const DimensionUnits& units_of(Dimension d) {
  return kDimensions.at(static_cast<std::size_t>(d));
}

// The unit named by `name` (letter case ignored; mils is mil), or null.
const Unit* find_unit(Dimension d, std::string_view name) {
  if (d == Dimension::length && equal_ignoring_case(name, "mils")) name = "mil";
  for (const Unit& u : units_of(d).units) {
    if (equal_ignoring_case(u.name, name)) return &u;
  }
  return nullptr;
}

std::string number_text(double v) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v);
  return {buffer.data(), result.ptr};
}

// The shortest decimal as scripts print numbers: 0 and magnitudes from
// 0.0001 up to 1e16 written out, others with an exponent.
std::string script_number_text(double v) {
  constexpr double kLeastPlain = 1e-4;
  constexpr double kMostPlain = 1e16;
  const double magnitude = std::fabs(v);
  const bool plain = magnitude == 0.0 || (magnitude >= kLeastPlain && magnitude < kMostPlain);
  std::array<char, 64> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), v,
                    plain ? std::chars_format::fixed : std::chars_format::scientific);
  return {buffer.data(), result.ptr};
}

std::string with_unit(double v, Dimension d) {
  std::string text = number_text(v);
  const std::string_view unit = base_unit(d);
  if (!unit.empty()) {
    text += ' ';
    text += unit;
  }
  return text;
}

// The unit a bare number of the quantity is read in.
std::string_view bare_unit_of(const Quantity& q) {
  return q.bare_unit.empty() ? base_unit(q.dimension) : q.bare_unit;
}

// "a strip width W", "an etch bias half-width": the quantity with its article.
std::string with_article(std::string_view what) {
  const bool vowel =
      !what.empty() && std::string_view("aeiou").find(what.front()) != std::string_view::npos;
  return (vowel ? "an " : "a ") + std::string(what);
}

// "expected a strip width W above 0 in and at most 1000 in"
std::string expected_range(const Quantity& q) {
  return "expected " + with_article(q.what) + (q.signless ? " magnitude " : " ") + range_text(q);
}

[[noreturn]] void reject_form(std::string_view option, std::string_view text, const Quantity& q) {
  std::string expected = "expected " + with_article(q.what) + ": a number";
  if (q.dimension != Dimension::pure) {
    expected += " with an optional unit (" + std::string(units_of(q.dimension).listed) +
                "; bare numbers are " + std::string(bare_unit_of(q)) + ")";
  }
  reject(named(option), text, expected);
}

// Single precision of a number in the base unit, exactly as the interactive
// program's reply reader reads it (strtof; the syntax is already checked).
float single_of(std::string_view number) {
  const std::string copy(number);
  return std::strtof(copy.c_str(), nullptr);
}

// Single precision of a number held as a double, as strtof reads its
// shortest decimal text: the plain conversion gives the same float except
// for a double exactly halfway between two floats, where the text may lie on
// either side of the halfway point.
float single_of_number(double x) {
  const auto f = static_cast<float>(x);
  if (static_cast<double>(f) == x || !std::isfinite(f)) return f;
  const float other = std::nextafter(f, static_cast<double>(f) < x ? HUGE_VALF : -HUGE_VALF);
  if ((static_cast<double>(f) + static_cast<double>(other)) / 2.0 != x) return f;
  return single_of(number_text(x));
}

// A value read from a text carries the number's text; a number a front end
// holds has none.
float in_base_unit(const NumberAndUnit& n, const Unit& unit) {
  if (unit.to_base == kMicroInch) return static_cast<float>(n.number) * kInchPerMicroInch;
  if (unit.to_base == 1.0) {
    return n.number_text.empty() ? single_of_number(n.number) : single_of(n.number_text);
  }
  return static_cast<float>(n.number * unit.to_base);
}

// Zero without its sign: "-0" is 0, and is written so.
float unsigned_zero(float value) {
  return value == 0.0F ? 0.0F : value;
}

bool within(const Quantity& q, float value) {
  const double v = q.signless ? std::fabs(value) : value;
  const bool above_least = q.least_allowed ? v >= q.least : v > q.least;
  return above_least && v <= q.most;
}

// The value of a number and unit in the base unit, or an InputError quoting
// the value as shown(): the text given, or the text of a number, formed only
// for a message.
template <typename Shown>
float converted(std::string_view option, const Shown& shown, const NumberAndUnit& n,
                const Quantity& q) {
  if (!std::isfinite(n.number)) {
    reject(named(option), shown(), "expected a finite " + std::string(q.what));
  }
  if (n.unit.empty()) {
    const Unit* bare = q.bare_unit.empty() ? nullptr : find_unit(q.dimension, q.bare_unit);
    return in_base_unit(n, bare == nullptr ? Unit{base_unit(q.dimension), 1.0, 1.0} : *bare);
  }
  if (q.dimension == Dimension::pure) reject_form(option, shown(), q);
  if (q.copper_weight && equal_ignoring_case(n.unit, "oz")) {
    return static_cast<float>(n.number * kInchesPerCopperOunce);
  }
  const Unit* unit = find_unit(q.dimension, n.unit);
  if (unit == nullptr) {
    reject(named(option), shown(),
           "unknown " + std::string(units_of(q.dimension).name) + " unit " + quoted(n.unit) +
               " (expected " + std::string(units_of(q.dimension).listed) +
               (q.copper_weight ? ", or oz of copper" : "") + ")");
  }
  return in_base_unit(n, *unit);
}

// The number and unit of a text, or an InputError.
float converted(std::string_view option, std::string_view text, const Quantity& q) {
  const NumberAndUnit n = split_number(text);
  if (!n.has_number) reject_form(option, text, q);
  return converted(
      option, [text] { return text; }, n, q);
}

// A unit named as the base unit is no unit: the number is bare.
std::string_view unless_base(std::string_view unit, Dimension d) {
  return equal_ignoring_case(unit, base_unit(d)) ? std::string_view() : unit;
}

}  // namespace

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string_view base_unit(Dimension d) {
  return units_of(d).base;
}

std::string_view units_listed(Dimension d) {
  return units_of(d).listed;
}

std::string range_text(const Quantity& q) {
  std::string text = q.least_allowed ? "of at least " : "above ";
  text += with_unit(q.least, q.dimension);
  text += " and at most ";
  text += with_unit(q.most, q.dimension);
  return text;
}

LengthUnit parse_length_unit(std::string_view option, std::string_view text) {
  if (const Unit* u = find_unit(Dimension::length, text); u != nullptr && u->per_base != 0.0) {
    return {u->name, u->per_base};
  }
  reject(named(option), text,
         "expected a length unit: " + std::string(output_length_units_listed()));
}

std::string_view output_length_units_listed() {
  return "in, mil, mm or um";
}

Units parse_units(std::string_view option, std::string_view text) {
  const std::string expected = "expected a length unit (" +
                               std::string(output_length_units_listed()) + "), a frequency unit (" +
                               std::string(units_listed(Dimension::frequency)) +
                               "), or one of each as mm,GHz";
  Units units;
  for (std::string_view rest = text;;) {
    const std::size_t comma = rest.find(',');
    const std::string_view name = rest.substr(0, comma);
    const std::string_view length = bare_unit_spelling(Dimension::length, name);
    const std::string_view frequency = bare_unit_spelling(Dimension::frequency, name);
    if (!length.empty() && !units.length_named) {
      units.length = length;
      units.length_named = true;
    } else if (!frequency.empty() && !units.frequency_named) {
      units.frequency = frequency;
      units.frequency_named = true;
    } else {
      reject(named(option), text, expected);
    }
    if (comma == std::string_view::npos) return units;
    rest.remove_prefix(comma + 1);
  }
}

std::string_view bare_unit_spelling(Dimension dimension, std::string_view name) {
  if (dimension != Dimension::length && dimension != Dimension::frequency) return {};
  const Unit* unit = find_unit(dimension, name);
  if (unit == nullptr || (dimension == Dimension::length && unit->per_base == 0.0)) return {};
  return unit->name;
}

Quantity with_bare_unit(const Quantity& quantity, const Units& units) {
  Quantity q = quantity;
  if (q.dimension == Dimension::length) q.bare_unit = units.length;
  if (q.dimension == Dimension::frequency) q.bare_unit = units.frequency;
  return q;
}

std::vector<std::string_view> split_at(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

std::string_view without_plus_minus(std::string_view text) {
  for (const std::string_view sign : {std::string_view("\u00b1"), std::string_view("+-")}) {
    if (text.starts_with(sign)) return text.substr(sign.size());
  }
  return text;
}

NumberAndUnit split_number(std::string_view text) {
  NumberAndUnit n{0.0, false, {}, {}};
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);  // from_chars takes no plus sign
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) return n;
  }
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const auto result = std::from_chars(first, last, n.number);
  if (result.ec == std::errc::invalid_argument) return n;
  n.has_number = true;
  n.number_text = std::string_view(first, static_cast<std::size_t>(result.ptr - first));
  if (result.ec == std::errc::result_out_of_range) {
    // Overflow or underflow: strtod gives the infinity or the zero.
    n.number = std::strtod(std::string(n.number_text).c_str(), nullptr);
  }
  std::string_view rest(result.ptr, static_cast<std::size_t>(last - result.ptr));
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  n.unit = rest;
  return n;
}

float parse_quantity(std::string_view option, std::string_view text, const Quantity& quantity) {
  const float value = unsigned_zero(converted(option, text, quantity));
  if (!within(quantity, value)) reject(named(option), text, expected_range(quantity));
  return value;
}

float quantity_value(std::string_view option, double number, std::string_view unit,
                     const Quantity& quantity) {
  const NumberAndUnit n{number, true, {}, unless_base(unit, quantity.dimension)};
  const auto shown = [&] { return number_as_text(number, unit, quantity.dimension); };
  const float value = unsigned_zero(converted(option, shown, n, quantity));
  if (!within(quantity, value)) reject(named(option), shown(), expected_range(quantity));
  return value;
}

std::string number_as_text(double number, std::string_view unit, Dimension dimension) {
  return script_number_text(number) + std::string(unless_base(unit, dimension));
}

bool is_unit_of(Dimension dimension, std::string_view name) {
  return find_unit(dimension, name) != nullptr;
}

std::string_view unit_spelling(Dimension dimension, std::string_view name) {
  const Unit* unit = find_unit(dimension, name);
  return unit == nullptr ? std::string_view() : unit->name;
}

float parse_step(std::string_view option, std::string_view range_text, std::string_view text,
                 const Quantity& quantity) {
  Quantity step = quantity;
  step.least = 0.0;
  step.least_allowed = false;
  step.signless = false;
  const float value = converted(option, text, step);
  if (!within(step, value)) {
    reject(named(option), range_text,
           "the step " + std::string(text) + " must be above 0 and at most " +
               with_unit(quantity.most, quantity.dimension) +
               " (ranges run upward, start:stop:step)");
  }
  return value;
}

}  // namespace ketrovane::commands
