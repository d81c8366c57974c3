// The values of a scripting call, and its rows: one row of a batch command
// per element of the call's broadcast arguments.  The call's texts and
// single numbers are read and checked once; each element then converts only
// its own numbers, and its request and row come from the same readers and
// row functions as the command line's, with the same checks in the same
// order and the same messages.  Nothing here knows Python: a binding hands
// in plain buffers and takes the rows through the row runner.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/command_table.hpp"
#include "commands/input_error.hpp"
#include "commands/option_values.hpp"
#include "commands/rows.hpp"
#include "design/band_summary.hpp"

namespace ketrovane::commands {

// Texts of an argument, one per element: element i reads texts[text_of[i]].
struct ElementTexts {
  std::span<const std::string_view> texts;
  const std::int64_t* text_of = nullptr;

  [[nodiscard]] std::string_view of(std::int64_t element) const {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-pointer-arithmetic)
    return texts[static_cast<std::size_t>(text_of[element])];
  }
};

// One side of the value of an item: a text, a number, or neither (a
// limit's open side).
struct ItemSide {
  std::optional<std::string_view> text;
  std::optional<double> number;
};

// One NAME=VALUE item of an option of items (the varied quantities, the
// limits) as a script gives it: one side, the value (a varied length's
// number in the call's length unit), or a limit's two, LO and HI.
struct Item {
  std::string_view name;
  std::vector<ItemSide> sides;
};

// One argument of a call, by its option: a text, or numbers in the call's
// units, either one for every element or one per element, or texts one per
// element, or the items of an option of items.
struct Argument {
  Opt option;
  std::optional<std::string_view> text;
  const double* numbers = nullptr;
  bool per_element = false;
  const ElementTexts* texts = nullptr;       // per element, instead of numbers
  const std::vector<Item>* items = nullptr;  // instead of a text
};

// A float as a script writes it (Python's repr): its shortest decimal that
// reads back, written out from 0.0001 up to 1e16 with at least one
// decimal ("1.0", "0.0005"), with an exponent of two digits or more beyond
// ("1e-05", "1e+16").
std::string script_float_text(double number);

// The arguments of a call, read once.
class Call {
 public:
  // Lengths in `length_unit`, frequencies in `frequency_unit` (as the
  // texts name them).  Nothing is refused here: a value the command would
  // refuse is refused by the element that reads it, in the command's order.
  Call(Command command, const std::vector<Argument>& arguments, std::string_view length_unit,
       std::string_view frequency_unit, std::int64_t elements);

  [[nodiscard]] Command command() const { return command_; }
  [[nodiscard]] std::int64_t elements() const { return elements_; }

  // What an element reads of option `id`.
  struct Slot {
    bool given = false;
    const double* numbers = nullptr;  // per element; null for a value read once
    std::optional<float> value;       // read once
    std::string_view choice;          // a choice read once (the table's own text)
    std::optional<Refusal> error;     // why the reading failed, when it did
    // What was given once, for messages: a text, or a number.
    std::optional<std::string_view> text;
    double number = 0.0;
    const ElementTexts* texts = nullptr;  // per element; null for numbers or a value read once
    // Items given, as the option's text reads them: "w=0.0005in,er=2%".
    std::optional<std::string> items;
  };
  [[nodiscard]] const Slot& slot(Opt id) const { return slots_.at(static_cast<std::size_t>(id)); }
  [[nodiscard]] std::string_view unit_of(Dimension d) const;
  // The units of its bare numbers and texts, as --units names them.
  [[nodiscard]] Units units() const;

 private:
  void read_once(Slot& slot, const OptionSpec& o, const Argument& a) const;

  Command command_;
  std::string length_unit_;
  std::string frequency_unit_;
  std::int64_t elements_;
  std::array<Slot, kOptionCount> slots_;
};

// The option values of element `index` of a call.
class ElementValues final : public OptionValues {
 public:
  ElementValues(const Call& call, std::int64_t index) : call_(call), index_(index) {}

  [[nodiscard]] bool has(Opt id) const override { return call_.slot(id).given; }
  float number(Opt id) override;
  Axis axis(Opt id, Quotient quotient) override;
  float resistivity() override;
  std::string_view choice(Opt id) override;
  [[nodiscard]] std::string shown(Opt id) const override;
  // A bare text in the call's units, as the command line's under --units.
  Quantity read_as(const Quantity& quantity) override;

 private:
  const Call& call_;
  std::int64_t index_;
};

// Element i of a call as the command's rows: one row per element.
std::unique_ptr<RowSource> element_rows(const Call& call);

// The band summary of a response call that sweeps one coupler: f given per
// element and increasing from element to element, every other argument
// given once; none otherwise.
std::optional<BandSummary> call_band_summary(const Call& call);

// Element i's scattering matrix with every port referenced to the option
// ref: 32 cells, S(row, column) at 2 ((row - 1) 4 + column - 1) (real
// part) and the next (imaginary part), then its frequency in MHz and the
// reference resistance.
std::unique_ptr<RowSource> scattering_rows(const Call& call);
inline constexpr std::size_t kScatteringCells = 34;

}  // namespace ketrovane::commands
