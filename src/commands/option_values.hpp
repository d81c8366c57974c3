// The values of one request's options as the readers of the commands ask
// for them, whether they come from the command line's texts or from a
// scripting front end's numbers: the same conversions, checks and messages.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commands/options.hpp"
#include "design/ranges.hpp"

namespace ketrovane::commands {

struct InputEcho;

class OptionValues {
 public:
  OptionValues() = default;
  OptionValues(const OptionValues&) = delete;
  OptionValues& operator=(const OptionValues&) = delete;
  OptionValues(OptionValues&&) = delete;
  OptionValues& operator=(OptionValues&&) = delete;
  virtual ~OptionValues() = default;

  [[nodiscard]] virtual bool has(Opt id) const = 0;
  // A single value of the option's quantity in its base unit; the default
  // when not given, an InputError when there is none.
  virtual float number(Opt id) = 0;
  // A range or a single value (a front end gives single values only).
  virtual Axis axis(Opt id, Quotient quotient) = 0;
  // The resistivity in micro-ohm-cm, given as a number or a metal's name.
  virtual float resistivity() = 0;
  // One of the option's choices, or its default.
  virtual std::string_view choice(Opt id) = 0;
  // The value as a message quotes it.
  [[nodiscard]] virtual std::string shown(Opt id) const = 0;
  // Two values F1:F2 of the option's quantity in its base unit, the second
  // above the first: a band.  An InputError when not given.
  virtual std::pair<float, float> pair(Opt id);
  // An input read from a text its reader parses itself (the items of
  // --vary and --limit, a whole number), for the outputs' headers.
  virtual void record_input(InputEcho entry);
  // The quantity as the values' bare numbers read: in its base unit unless
  // the values name other units for them.
  virtual Quantity read_as(const Quantity& quantity) { return quantity; }
};

// "--s: missing; expected a strip spacing S"
[[noreturn]] void reject_missing(const OptionSpec& o);

// "--w: the value is missing; expected L[:L:L], strip width W, ...": an
// option given an empty value.
[[noreturn]] void reject_missing_value(const OptionSpec& o, Command command);

// A range given where one value is taken.
[[noreturn]] void reject_range(const OptionSpec& o, std::string_view text);

// The choice `text` names, or an InputError naming the option.
std::string_view checked_choice(const OptionSpec& o, std::string_view text);

// The resistivity in micro-ohm-cm of a metal named as the conductor menu
// names it (or aluminium's American spelling), if it is one.
std::optional<float> metal_resistivity(std::string_view name);

// A resistivity text that names no metal: a number, or an InputError.
float resistivity_number(std::string_view text);

// One input as given and as used, for the headers of the command line's
// outputs.
struct InputEcho {
  InputEcho(std::string name_, std::string given_, std::string unit_, Axis axis_)
      : name(std::move(name_)), given(std::move(given_)), unit(std::move(unit_)), axis(axis_) {}

  std::string name;   // option name, "w"
  std::string given;  // the text given; empty for a default
  std::string unit;   // unit of the values: "in", "MHz", "ohm", "dB", "uohm_cm", ""
  Axis axis;          // the value, or the range, in that unit
  // A whole number echoed exactly (a seed past 2^53), and a limit's low and
  // high (an open side infinite), echoed as such rather than as the axis.
  std::optional<std::uint64_t> whole;
  std::optional<std::array<double, 2>> bounds;
};
using Echo = std::vector<InputEcho>;

// The command line's option texts, each read when a reader asks for it and
// recorded in the echo.
class TextValues final : public OptionValues {
 public:
  void set(Opt id, std::string text) { texts_.at(index(id)) = std::move(text); }

  [[nodiscard]] bool has(Opt id) const override { return texts_.at(index(id)).has_value(); }
  float number(Opt id) override;
  Axis axis(Opt id, Quotient quotient) override;
  float resistivity() override;
  std::string_view choice(Opt id) override;
  void record_input(InputEcho entry) override { echo_.push_back(std::move(entry)); }
  [[nodiscard]] std::string shown(Opt id) const override;
  // Recorded in the echo as the range F1:F2:(F2 - F1) of two rows.
  std::pair<float, float> pair(Opt id) override;
  // Bare numbers in the units of --units.
  Quantity read_as(const Quantity& quantity) override;
  // The units of --units, or inches and MHz.
  const Units& units();

  // The text given, if any.
  [[nodiscard]] const std::optional<std::string>& text(Opt id) const {
    return texts_.at(index(id));
  }
  [[nodiscard]] const Echo& echo() const { return echo_; }

 private:
  static std::size_t index(Opt id) { return static_cast<std::size_t>(id); }
  // The text given, or the default's text; given is false for a default.
  [[nodiscard]] std::string_view text_or_default(const OptionSpec& o, bool& given) const;
  void record(const OptionSpec& o, std::string_view given, std::string_view unit, const Axis& a);
  // The option's quantity as a value given reads it; a default keeps the
  // unit of its own text.
  Quantity given_as(const OptionSpec& o, bool given);

  std::array<std::optional<std::string>, kOptionCount> texts_;
  std::optional<Units> units_;
  Echo echo_;
};

}  // namespace ketrovane::commands

namespace ketrovane::commands {

// An input's value as the headers show it: "0.25 in", "0.1:0.2:0.02 in".
std::string echo_value_text(const InputEcho& e);

// How the values given of one dimension, the lengths or the frequencies,
// name their units: the options given bare numbers, and the units named
// (as --units spells them: "mil" for "mils"; the copper weight and
// micro-inches are no such unit).
struct UnitsGiven {
  std::vector<Opt> bare;
  std::vector<std::string_view> named;  // each once, in the order of the options
};
UnitsGiven units_given(const TextValues& values, Dimension dimension);

// The unit of the lengths written out: --length-unit's, else the length
// unit of --units, else the one unit every length given names when none
// is bare, else inches.
LengthUnit output_length_unit(TextValues& values);

// "note: bare lengths are read as inches (--t) beside lengths given in mm,
// bare frequencies as MHz (--f0); --units sets the unit of bare numbers":
// where bare numbers of a dimension whose unit --units does not name stand
// beside values given in another unit (the bare frequencies named too when
// the lengths are), or empty.
std::string bare_numbers_note(TextValues& values);

// The echo of the input named `name`, or null.
const InputEcho* find_echo(const Echo& echo, std::string_view name);

}  // namespace ketrovane::commands
