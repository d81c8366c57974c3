#include "commands/call_values.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

#include "commands/input_error.hpp"
#include "commands/mode_note.hpp"
#include "commands/option_values.hpp"
#include "commands/quantities.hpp"
#include "design/tolerance.hpp"
#include "frequency/scattering_matrix.hpp"

namespace ketrovane::commands {

namespace {

// The message of a reading that failed, or the value read.
template <typename Read>
void try_read(Call::Slot& slot, const Read& read) {
  try {
    read();
  } catch (const InputError& e) {
    slot.error = e.refusal();
  }
}

// The defaults, read once for every call.
float default_of(const OptionSpec& o) {
  static const std::array<float, kOptionCount> defaults = [] {
    std::array<float, kOptionCount> d{};
    for (const OptionSpec& entry : options()) {
      if (entry.has_default() && entry.kind == ValueKind::quantity) {
        d.at(static_cast<std::size_t>(entry.id)) =
            parse_quantity(dashed(entry), entry.fallback, *entry.quantity);
      }
    }
    return d;
  }();
  if (!o.has_default()) reject_missing(o);
  return defaults.at(static_cast<std::size_t>(o.id));
}

float read_once(const Call::Slot& s) {
  if (s.error) throw InputError(*s.error);
  return *s.value;
}

// The value of a text of a quantity or a resistivity, as the command line
// reads it with --units naming the call's units (a single value: a range is
// the call's arrays' business).
float text_value(const OptionSpec& o, Command command, std::string_view text, const Units& units) {
  if (text.empty()) reject_missing_value(o, command);
  if (o.kind == ValueKind::resistivity) {
    const std::optional<float> metal = metal_resistivity(text);
    return metal ? *metal : resistivity_number(text);
  }
  if (text.find(':') != std::string_view::npos) {
    if (!o.ranges.has(command)) reject_range(o, text);
    reject(o, text, "expected a single value; give several values as an array");
  }
  return parse_quantity(dashed(o), text, with_bare_unit(*o.quantity, units));
}

// Every element's row: its request read from its own values, its row from
// the command's rows.
class ElementRows final : public RowSource {
 public:
  explicit ElementRows(const Call& call)
      : call_(call), command_(command(call.command())), columns_(columns_of(call)) {}

  [[nodiscard]] std::span<const Column> columns() const override { return columns_; }
  [[nodiscard]] std::int64_t rows() const override { return call_.elements(); }
  [[nodiscard]] std::int64_t rows_per_block() const override { return per_block_; }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& tally) const override {
    ElementValues values(call_, index);
    const Request request = command_.read(values);
    const RowTally::TroubleCounts before = tally.trouble_counts();
    command_.rows(request)->fill(0, cells, tally);
    tally.number_new_troubles(before, index);
    watch_higher_mode(request, tally.higher_mode);
  }

 private:
  // The columns of the call's solver (the model's when the call's solver is
  // refused: its element says why).
  static std::span<const Column> columns_of(const Call& call) {
    const CommandSpec& c = command(call.command());
    ElementValues values(call, 0);
    try {
      return c.columns(column_choice(call.command(), values));
    } catch (const InputError&) {
      return c.columns({});
    }
  }

  const Call& call_;
  const CommandSpec& command_;
  std::span<const Column> columns_;
  std::int64_t per_block_ = call_.slot(Opt::solver).choice == "field" ||
                                    call_.slot(Opt::solver).choice == "both" ||
                                    call_.command() == Command::field
                                ? 1
                                : kModelRowsPerBlock;
};

constexpr std::array<Column, kScatteringCells> kScatteringColumns = [] {
  std::array<Column, kScatteringCells> c{};
  for (Column& column : c) column = {"s", Scale::none, "", "", 0};
  return c;
}();

// As the response command forms the matrix of each frequency for its
// Touchstone file: the request first, then the reference.
class ScatteringRows final : public RowSource {
 public:
  explicit ScatteringRows(const Call& call) : call_(call) {}

  [[nodiscard]] std::span<const Column> columns() const override { return kScatteringColumns; }
  [[nodiscard]] std::int64_t rows() const override { return call_.elements(); }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& /*tally*/) const override {
    ElementValues values(call_, index);
    const ResponseRequest q = read_response(values);
    const float reference = values.number(Opt::ref);
    const float f = q.f.value(0);
    const ScatteringMatrix m =
        response_scattering_matrix(coupler_of(q), f, {.source = reference, .load = reference});
    std::size_t k = 0;
    for (int row = 1; row <= kScatteringPorts; ++row) {
      for (int column = 1; column <= kScatteringPorts; ++column) {
        cells[k++] = number_cell(m(row, column).real());
        cells[k++] = number_cell(m(row, column).imag());
      }
    }
    cells[k++] = number_cell(f);
    cells[k] = number_cell(reference);
  }

 private:
  const Call& call_;
};

// A layer's thickness of a stack, "d2".
bool layer_thickness(std::string_view name) {
  return name.size() > 1 && name.front() == 'd' &&
         std::ranges::all_of(name.substr(1), [](char c) { return c >= '0' && c <= '9'; });
}

// Whether an item names a varied length (anything varied but Er, and a
// layer's thickness).
bool varied_length(std::string_view name) {
  if (layer_thickness(name)) return true;
  for (std::size_t q = 0; q < kVariedCount; ++q) {
    const auto varied = static_cast<Varied>(q);
    if (varied != Varied::er && varied_name(varied) == name) return true;
  }
  return false;
}

// The layers of a stack as --layers reads them, D:ER[:TAND] separated by
// commas, a thickness given as a number followed by the call's length unit.
std::string layers_text(const std::vector<Item>& layers, std::string_view length_unit) {
  std::string text;
  for (const Item& layer : layers) {
    if (!text.empty()) text += ',';
    for (std::size_t k = 0; k < layer.sides.size(); ++k) {
      const ItemSide& side = layer.sides[k];
      if (k > 0) text += ':';
      if (side.text) text += *side.text;
      if (side.number) {
        text += script_float_text(*side.number) + (k == 0 ? std::string(length_unit) : "");
      }
    }
  }
  return text;
}

// The items as the option's text reads them, each NAME=VALUE or
// NAME=LO:HI: "w=0.0005in,er=2%", "coupling=9.5:10.5,zo=:52.0".  A
// number is written as a script writes it, a varied length's followed by
// the call's length unit.
std::string items_text(Opt id, const std::vector<Item>& items, std::string_view length_unit) {
  if (id == Opt::layers) return layers_text(items, length_unit);
  std::string text;
  for (const Item& item : items) {
    if (!text.empty()) text += ',';
    text += std::string(item.name) + "=";
    const bool length = id == Opt::vary && varied_length(item.name);
    for (std::size_t k = 0; k < item.sides.size(); ++k) {
      const ItemSide& side = item.sides[k];
      if (k > 0) text += ':';
      if (side.text) text += *side.text;
      if (side.number)
        text += script_float_text(*side.number) + (length ? std::string(length_unit) : "");
    }
  }
  return text;
}

}  // namespace

std::string script_float_text(double number) {
  std::array<char, 40> buffer{};
  char* end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), number,
                            std::chars_format::scientific)
                  .ptr;
  std::string written(buffer.data(), end);     // "-1.25e+03"
  if (!std::isfinite(number)) return written;  // "inf", "-inf", "nan" alike
  const bool negative = written.front() == '-';
  const std::size_t e = written.find('e');
  std::string digits = written.substr(negative ? 1 : 0, e - (negative ? 1 : 0));
  std::erase(digits, '.');
  const int exponent = std::atoi(written.c_str() + e + 1);
  const std::string sign = negative ? "-" : "";
  constexpr int kLeastPlain = -4;
  constexpr int kMostPlain = 16;
  if (exponent < kLeastPlain || exponent >= kMostPlain) {
    const std::string power = std::to_string(std::abs(exponent));
    return sign + digits.substr(0, 1) + (digits.size() > 1 ? "." + digits.substr(1) : "") +
           (exponent < 0 ? "e-" : "e+") + (power.size() < 2 ? "0" : "") + power;
  }
  if (exponent < 0) {
    return sign + "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  }
  const auto whole = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() < whole) digits.append(whole - digits.size(), '0');
  const std::string fraction = digits.substr(whole);
  return sign + digits.substr(0, whole) + "." + (fraction.empty() ? "0" : fraction);
}

float ElementValues::number(Opt id) {
  const Call::Slot& s = call_.slot(id);
  const OptionSpec& o = option(id);
  if (!s.given) return default_of(o);
  if (s.texts != nullptr) return text_value(o, call_.command(), s.texts->of(index_), call_.units());
  if (s.numbers == nullptr) return read_once(s);
  // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-pointer-arithmetic)
  const double number = s.numbers[index_];
  return quantity_value(dashed(o), number, call_.unit_of(o.quantity->dimension), *o.quantity);
}

Axis ElementValues::axis(Opt id, Quotient /*quotient*/) {
  return single_value(number(id));
}

float ElementValues::resistivity() {
  const Call::Slot& s = call_.slot(Opt::rho);
  if (s.given && (s.numbers != nullptr || s.texts != nullptr)) return number(Opt::rho);
  if (!s.given) return *metal_resistivity(option(Opt::rho).fallback);
  return read_once(s);
}

std::string_view ElementValues::choice(Opt id) {
  const Call::Slot& s = call_.slot(id);
  if (!s.given) return option(id).fallback;
  if (s.error) throw InputError(*s.error);
  return s.choice;
}

std::string ElementValues::shown(Opt id) const {
  const Call::Slot& s = call_.slot(id);
  if (s.items) return *s.items;
  if (s.text) return std::string(*s.text);
  if (s.texts != nullptr) return std::string(s.texts->of(index_));
  const OptionSpec& o = option(id);
  // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-pointer-arithmetic)
  const double number = s.numbers == nullptr ? s.number : s.numbers[index_];
  return number_as_text(number, call_.unit_of(o.quantity->dimension), o.quantity->dimension);
}

Call::Call(Command command, const std::vector<Argument>& arguments, std::string_view length_unit,
           std::string_view frequency_unit, std::int64_t elements)
    : command_(command),
      length_unit_(length_unit),
      frequency_unit_(frequency_unit),
      elements_(elements) {
  for (const Argument& a : arguments) {
    const OptionSpec& o = option(a.option);
    Slot& s = slots_.at(static_cast<std::size_t>(a.option));
    s.given = true;
    if (a.items != nullptr) {
      s.items = items_text(a.option, *a.items, length_unit_);
    } else if (a.per_element && a.texts != nullptr) {
      s.texts = a.texts;
    } else if (a.per_element) {
      s.numbers = a.numbers;
    } else {
      read_once(s, o, a);
    }
  }
}

void Call::read_once(Slot& s, const OptionSpec& o, const Argument& a) const {
  if (a.text) {
    s.text = a.text;
    // Items and whole numbers are read from the text by the request's reader.
    if (o.kind == ValueKind::items || o.kind == ValueKind::whole || o.kind == ValueKind::file ||
        o.kind == ValueKind::layers) {
      return;
    }
    try_read(s, [&] {
      const std::string_view text = *a.text;
      if (o.kind != ValueKind::choice) {
        s.value = text_value(o, command_, text, units());
        return;
      }
      if (text.empty()) reject_missing_value(o, command_);
      s.choice = checked_choice(o, text);
    });
    return;
  }
  const double number = *a.numbers;
  const Dimension d = o.quantity->dimension;
  s.number = number;
  try_read(s, [&] { s.value = quantity_value(dashed(o), number, unit_of(d), *o.quantity); });
}

Units Call::units() const {
  return {.length = length_unit_, .frequency = frequency_unit_};
}

Quantity ElementValues::read_as(const Quantity& quantity) {
  return with_bare_unit(quantity, call_.units());
}

std::string_view Call::unit_of(Dimension d) const {
  if (d == Dimension::length) return length_unit_;
  if (d == Dimension::frequency) return frequency_unit_;
  return {};
}

std::unique_ptr<RowSource> element_rows(const Call& call) {
  return std::make_unique<ElementRows>(call);
}

std::unique_ptr<RowSource> scattering_rows(const Call& call) {
  return std::make_unique<ScatteringRows>(call);
}

namespace {

// Frequencies per element and everything else once.
bool one_coupler_swept(const Call& call) {
  const Call::Slot& f = call.slot(Opt::f);
  if (call.elements() < 2 || (f.numbers == nullptr && f.texts == nullptr)) return false;
  return std::ranges::all_of(options(), [&call](const OptionSpec& o) {
    const Call::Slot& s = call.slot(o.id);
    return o.id == Opt::f || (s.numbers == nullptr && s.texts == nullptr);
  });
}

}  // namespace

std::optional<BandSummary> call_band_summary(const Call& call) {
  if (call.command() != Command::response || !one_coupler_swept(call)) {
    return std::nullopt;
  }
  std::vector<float> f(static_cast<std::size_t>(call.elements()));
  try {
    for (std::int64_t i = 0; i < call.elements(); ++i) {
      ElementValues values(call, i);
      f[static_cast<std::size_t>(i)] = values.number(Opt::f);
      if (i > 0 && !(f[static_cast<std::size_t>(i)] > f[static_cast<std::size_t>(i - 1)])) {
        return std::nullopt;
      }
    }
    ElementValues first(call, 0);
    const ResponseRequest q = read_response(first);
    return band_summary(coupler_of(q), q.terminations, f, q.f0_mhz, q.flatness_db);
  } catch (const InputError&) {
    return std::nullopt;
  }
}

}  // namespace ketrovane::commands
