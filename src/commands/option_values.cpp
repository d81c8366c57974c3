#include "commands/option_values.hpp"

#include <algorithm>

#include "commands/input_error.hpp"
#include "commands/number_format.hpp"
#include "commands/quantities.hpp"
#include "commands/sweep_axis.hpp"
#include "design/conductor_menus.hpp"

namespace ketrovane::commands {

namespace {

// "table, csv or json"
std::string listed(std::string_view choices) {
  std::vector<std::string_view> names;
  for (;;) {
    const std::size_t bar = choices.find('|');
    names.push_back(choices.substr(0, bar));
    if (bar == std::string_view::npos) break;
    choices.remove_prefix(bar + 1);
  }
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += list_separator(i, names.size(), " or ");
    text += names[i];
  }
  return text;
}

}  // namespace

void reject_missing(const OptionSpec& o) {
  const std::string_view what = o.quantity != nullptr ? o.quantity->what : o.help;
  refuse(o, "missing; expected a " + std::string(what));
}

void reject_missing_value(const OptionSpec& o, Command command) {
  Phrase expected{"the value is missing; expected " + value_name(o, command) + ", "};
  const Phrase help = prose(help_text(o, command));
  for (const Piece& piece : help.pieces()) expected += piece;
  refuse(o, expected);
}

std::string_view checked_choice(const OptionSpec& o, std::string_view text) {
  // A unit's name is read as in the values' texts: whatever its case, mils
  // for mil.
  const bool unit = o.id == Opt::length_unit;
  const std::string_view spelled = unit ? bare_unit_spelling(Dimension::length, text) : text;
  std::string_view choices = o.choices;
  for (;;) {
    const std::size_t bar = choices.find('|');
    const std::string_view choice = choices.substr(0, bar);
    if (choice == text || (unit && choice == spelled)) return choice;
    if (bar == std::string_view::npos) break;
    choices.remove_prefix(bar + 1);
  }
  reject(o, text, "expected " + listed(o.choices));
}

void reject_range(const OptionSpec& o, std::string_view text) {
  reject(o, text,
         "expected one " + std::string(o.quantity->what) +
             ", not a range: this command takes a single value");
}

std::optional<float> metal_resistivity(std::string_view name) {
  if (name == "aluminum") name = "aluminium";
  for (const ConductorChoice& c : kConductorMenu) {
    if (c.name == name) return c.resistivity_uohm_cm;
  }
  return std::nullopt;
}

float resistivity_number(std::string_view text) {
  const OptionSpec& rho = option(Opt::rho);
  const NumberAndUnit n = split_number(text);
  if (!n.has_number || !n.unit.empty()) {
    reject(rho, text,
           "expected a resistivity in micro-ohm-cm or silver, copper, gold, aluminium, brass "
           "or lossless");
  }
  return parse_quantity(dashed(rho), text, *rho.quantity);
}

std::string_view TextValues::text_or_default(const OptionSpec& o, bool& given) const {
  const std::optional<std::string>& t = texts_.at(index(o.id));
  given = t.has_value();
  if (given) return *t;
  if (!o.has_default()) reject_missing(o);
  return o.fallback;
}

void TextValues::record(const OptionSpec& o, std::string_view given, std::string_view unit,
                        const Axis& a) {
  echo_.push_back({std::string(o.name), std::string(given), std::string(unit), a});
}

float TextValues::number(Opt id) {
  const OptionSpec& o = option(id);
  bool given = false;
  const std::string_view text = text_or_default(o, given);
  if (text.find(':') != std::string_view::npos) reject_range(o, text);
  const float v = parse_quantity(dashed(o), text, given_as(o, given));
  record(o, given ? text : "", base_unit(o.quantity->dimension), single_value(v));
  return v;
}

Axis TextValues::axis(Opt id, Quotient quotient) {
  const OptionSpec& o = option(id);
  bool given = false;
  const std::string_view text = text_or_default(o, given);
  const Axis a = parse_axis(dashed(o), text, given_as(o, given), quotient);
  record(o, given ? text : "", base_unit(o.quantity->dimension), a);
  return a;
}

float TextValues::resistivity() {
  const OptionSpec& o = option(Opt::rho);
  bool given = false;
  const std::string_view text = text_or_default(o, given);
  const std::string_view shown_given = given ? text : "";
  if (const std::optional<float> metal = metal_resistivity(text)) {
    record(o, shown_given, "uohm_cm", single_value(*metal));
    return *metal;
  }
  const float v = resistivity_number(text);
  record(o, shown_given, base_unit(o.quantity->dimension), single_value(v));
  return v;
}

std::string_view TextValues::choice(Opt id) {
  const OptionSpec& o = option(id);
  bool given = false;
  return checked_choice(o, text_or_default(o, given));
}

void OptionValues::record_input(InputEcho /*entry*/) {}

std::pair<float, float> OptionValues::pair(Opt id) {
  const OptionSpec& o = option(id);
  if (!has(id)) reject_missing(o);
  const std::string text = shown(id);
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos) {
    reject(o, text, "expected F1:F2, the two edges of the band");
  }
  const Quantity q = read_as(*o.quantity);
  const float first = parse_quantity(dashed(o), std::string_view(text).substr(0, colon), q);
  const float second = parse_quantity(dashed(o), std::string_view(text).substr(colon + 1), q);
  if (!(second > first)) reject(o, text, "expected F1:F2 with F2 above F1");
  return {first, second};
}

std::pair<float, float> TextValues::pair(Opt id) {
  const auto [first, second] = OptionValues::pair(id);
  Axis a = single_value(first);
  a.swept = true;
  a.range.max = second;
  a.range.step = second - first;
  a.rows = 2;
  const OptionSpec& o = option(id);
  record(o, *texts_.at(index(id)), base_unit(o.quantity->dimension), a);
  return {first, second};
}

Quantity TextValues::given_as(const OptionSpec& o, bool given) {
  return given ? read_as(*o.quantity) : *o.quantity;
}

Quantity TextValues::read_as(const Quantity& quantity) {
  return with_bare_unit(quantity, units());
}

const Units& TextValues::units() {
  if (!units_) {
    const std::optional<std::string>& t = texts_.at(index(Opt::units));
    units_ = t ? parse_units(dashed(option(Opt::units)), *t) : Units{};
  }
  return *units_;
}

std::string TextValues::shown(Opt id) const {
  const std::optional<std::string>& t = texts_.at(index(id));
  return t ? *t : std::string(option(id).fallback);
}

}  // namespace ketrovane::commands

namespace ketrovane::commands {

std::string echo_value_text(const InputEcho& e) {
  const Axis& a = e.axis;
  std::string text =
      a.swept ? shortest(a.range.min) + ":" + shortest(a.range.max) + ":" + shortest(a.range.step)
              : shortest(a.range.min);
  if (!e.unit.empty()) text += " " + e.unit;
  return text;
}

const InputEcho* find_echo(const Echo& echo, std::string_view name) {
  for (const InputEcho& e : echo) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

}  // namespace ketrovane::commands

namespace ketrovane::commands {

namespace {

// The numbers of an option's text that are of `dimension`: the fields of a
// range or a band, the varied lengths of --vary (not Er, not a percentage).
std::vector<std::string_view> numbers_of(const OptionSpec& o, std::string_view text,
                                         Dimension dimension) {
  if (o.kind == ValueKind::items && o.id == Opt::vary && dimension == Dimension::length) {
    std::vector<std::string_view> lengths;
    for (const std::string_view item : split_at(text, ',')) {
      const std::size_t equals = item.find('=');
      const std::string_view value =
          equals == std::string_view::npos ? "" : item.substr(equals + 1);
      if (item.substr(0, equals) != "er" && !value.ends_with('%')) {
        lengths.push_back(without_plus_minus(value));
      }
    }
    return lengths;
  }
  if (o.kind == ValueKind::layers && dimension == Dimension::length && !text.starts_with('@')) {
    // Each layer's thickness, the first field of D:ER[:TAND].
    std::vector<std::string_view> thicknesses;
    for (const std::string_view layer : split_at(text, ',')) {
      thicknesses.push_back(layer.substr(0, layer.find(':')));
    }
    return thicknesses;
  }
  if (o.kind != ValueKind::quantity || o.quantity->dimension != dimension) return {};
  return split_at(without_plus_minus(text), ':');
}

void add_once(std::vector<std::string_view>& units, std::string_view unit) {
  if (std::ranges::find(units, unit) == units.end()) units.push_back(unit);
}

std::string options_listed(const std::vector<Opt>& ids) {
  std::string text;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    text += (i == 0 ? "" : ", ") + dashed(option(ids[i]));
  }
  return text;
}

std::string units_named(const std::vector<std::string_view>& units) {
  std::string text;
  for (std::size_t i = 0; i < units.size(); ++i) {
    text += list_separator(i, units.size(), " and ");
    text += units[i];
  }
  return text;
}

// "bare lengths are read as inches (--t, --s) beside lengths given in mm"
std::string bare_part(std::string_view what, std::string_view unit, const UnitsGiven& given,
                      bool first) {
  std::string text = "bare " + std::string(what) + (first ? " are read as " : " as ") +
                     std::string(unit) + " (" + options_listed(given.bare) + ")";
  if (!given.named.empty()) {
    text += " beside " + std::string(what) + " given in " + units_named(given.named);
  }
  return text;
}

}  // namespace

UnitsGiven units_given(const TextValues& values, Dimension dimension) {
  UnitsGiven given;
  for (const OptionSpec& o : options()) {
    const std::optional<std::string>& text = values.text(o.id);
    if (!text) continue;
    bool bare = false;
    for (const std::string_view number : numbers_of(o, *text, dimension)) {
      const NumberAndUnit n = split_number(number);
      // Zero is zero in every unit: a bare 0 (--t 0) is no reading to note.
      if (!n.has_number || n.number == 0.0) continue;
      if (n.unit.empty()) {
        bare = true;
      } else if (const std::string_view unit = bare_unit_spelling(dimension, n.unit);
                 !unit.empty()) {
        add_once(given.named, unit);
      }
    }
    if (bare) given.bare.push_back(o.id);
  }
  return given;
}

LengthUnit output_length_unit(TextValues& values) {
  const OptionSpec& o = option(Opt::length_unit);
  if (values.has(Opt::length_unit)) return parse_length_unit(dashed(o), values.choice(o.id));
  const Units& units = values.units();
  if (units.length_named) return parse_length_unit(dashed(option(Opt::units)), units.length);
  const UnitsGiven given = units_given(values, Dimension::length);
  if (!given.bare.empty() || given.named.size() != 1) return kInches;
  return parse_length_unit(dashed(o), given.named.front());
}

std::string bare_numbers_note(TextValues& values) {
  const Units& units = values.units();
  // Bare numbers beside values in their own unit are no surprise.
  const auto others = [&values](Dimension d) {
    UnitsGiven given = units_given(values, d);
    std::erase(given.named, base_unit(d));
    return given;
  };
  const UnitsGiven lengths = others(Dimension::length);
  const UnitsGiven frequencies = others(Dimension::frequency);
  const bool lengths_mixed = !units.length_named && !lengths.bare.empty() && !lengths.named.empty();
  const bool frequencies_mixed =
      !units.frequency_named && !frequencies.bare.empty() && !frequencies.named.empty();
  const bool frequencies_named =
      frequencies_mixed || (lengths_mixed && !units.frequency_named && !frequencies.bare.empty());
  if (!lengths_mixed && !frequencies_named) return "";
  std::string text = "note: ";
  if (lengths_mixed) text += bare_part("lengths", "inches", lengths, true);
  if (frequencies_named) {
    text +=
        (lengths_mixed ? ", " : "") + bare_part("frequencies", "MHz", frequencies, !lengths_mixed);
  }
  return text + "; " + dashed(option(Opt::units)) + " sets the unit of bare numbers";
}

}  // namespace ketrovane::commands
