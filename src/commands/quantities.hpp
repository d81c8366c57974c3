// Numbers with units as the batch commands take them: lengths in inches by
// default (or in, mil, uin, mm, um; mils is mil), frequencies in MHz by
// default (or Hz, kHz, MHz, GHz), impedances in ohms, coupling in dB, and
// pure numbers.  A call may read its bare lengths and frequencies in other
// units (Units).
// Each quantity has the range a design can use; anything else is an
// InputError naming the option and the value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ketrovane::commands {

enum class Dimension : std::uint8_t { length, frequency, impedance, coupling, pure };

// A kind of input value and the values it may take, in the base unit of its
// dimension (inches, MHz, ohms, dB).
struct Quantity {
  std::string_view what;  // "ground-plane spacing B", for messages
  Dimension dimension;
  double least;
  bool least_allowed;  // the least value itself is allowed (else it must be above it)
  double most;
  bool signless = false;       // the sign is ignored for the range (coupling: 10 or -10 dB)
  bool copper_weight = false;  // a thickness: also in ounces of copper per square foot
  // The unit of a bare number as the texts name it; empty: the base unit.
  std::string_view bare_unit = {};
};

// Copper weight: the thickness of one ounce per square foot as plated
// copper is usually taken, 1.37 mil.
inline constexpr double kInchesPerCopperOunce = 1.37e-3;

// Whether two names are the same but for the case of ASCII letters.
bool equal_ignoring_case(std::string_view a, std::string_view b);

// The base unit of a dimension as the messages and column names write it.
std::string_view base_unit(Dimension dimension);

// The units a dimension's values may name, as messages list them: "in, mil,
// uin, mm or um".
std::string_view units_listed(Dimension dimension);

// "above 0 in and at most 1000 in", "of at least 1 and at most 1000".
std::string range_text(const Quantity& quantity);

// The value of `text` in the base unit, rounded once to single precision
// (a zero without its sign): a
// bare number in the base unit reads exactly as the interactive program reads
// it, a micro-inch value is scaled as its roughness menu scales it.
float parse_quantity(std::string_view option, std::string_view text, const Quantity& quantity);

// A number a front end already holds (a script's argument) in `unit`, a unit
// of the quantity's dimension as a text would name it (empty, or the base
// unit, for a bare number): converted and checked exactly as parse_quantity
// converts and checks the number's shortest decimal text followed by the
// unit, and a mistake quotes the value as that text.
float quantity_value(std::string_view option, double number, std::string_view unit,
                     const Quantity& quantity);

// That text: the number's shortest decimal (written out from 0.0001 up to
// 1e16, as scripts print numbers, with an exponent beyond), then the unit
// unless it is the base unit of `dimension` ("-1", "6.35mm", "100000",
// "1e-05").
std::string number_as_text(double number, std::string_view unit, Dimension dimension);

// Whether `name` is a unit of `dimension` as the values' texts take them
// (letter case ignored).
bool is_unit_of(Dimension dimension, std::string_view name);

// That unit as the texts list it ("GHz" for "ghz"); empty when `name`
// names no unit of `dimension`.
std::string_view unit_spelling(Dimension dimension, std::string_view name);

// The same for a step of a range: any finite value above 0 and at most the
// quantity's greatest value.
float parse_step(std::string_view option, std::string_view range_text, std::string_view text,
                 const Quantity& quantity);

// A number followed by a unit, split: the number's text and what follows it
// (blanks between them skipped).
struct NumberAndUnit {
  double number;
  bool has_number;
  std::string_view number_text;
  std::string_view unit;
};
NumberAndUnit split_number(std::string_view text);

// The parts of a text between separators ("a,b" -> "a", "b"; "" -> "").
std::vector<std::string_view> split_at(std::string_view text, char separator);

// A half-width as engineers write it: a leading +- or the plus-minus sign
// is the same number.
std::string_view without_plus_minus(std::string_view text);

// The units a call reads its bare lengths and frequencies in, spelled as
// the texts spell them ("mm", "GHz"): inches and MHz unless it says.
struct Units {
  std::string_view length = "in";
  std::string_view frequency = "MHz";
  bool length_named = false;  // the call named the length unit
  bool frequency_named = false;
};

// The unit `name` as a call's bare numbers of `dimension` may be read in
// ("mil" for "MILS"): any frequency unit, a length unit the outputs can be
// written in; empty for any other name.
std::string_view bare_unit_spelling(Dimension dimension, std::string_view name);

// The units named by `text`: a length unit the outputs can be written in,
// a frequency unit, or one of each separated by a comma ("mm,GHz"), letter
// case ignored; an InputError for `option` otherwise.
Units parse_units(std::string_view option, std::string_view text);

// The quantity with its bare numbers read in `units`.
Quantity with_bare_unit(const Quantity& quantity, const Units& units);

// A unit the lengths of the outputs can be written in.
struct LengthUnit {
  std::string_view name;  // "in", "mil", "mm", "um"
  double per_inch;
};

inline constexpr LengthUnit kInches{"in", 1.0};

// The output unit named by `text` (in, mil, mm, um, letter case ignored as
// in the values' units), or an InputError for `option`.
LengthUnit parse_length_unit(std::string_view option, std::string_view text);

// "in, mil, mm or um"
std::string_view output_length_units_listed();

}  // namespace ketrovane::commands
