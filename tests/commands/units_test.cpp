// Bare numbers under --units: read exactly as the same numbers with their
// units written out, by every reader of a length or a frequency; the unit
// the lengths are written out in; and the note on bare numbers read as
// inches or MHz beside values given in other units.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "commands/input_error.hpp"
#include "commands/option_values.hpp"
#include "commands/quantities.hpp"
#include "commands/requests.hpp"

namespace ketrovane::commands {
namespace {

using Texts = std::vector<std::pair<std::string, std::string>>;

void set_all(TextValues& values, const Texts& texts) {
  for (const auto& [name, text] : texts) values.set(option_named(name)->id, text);
}

// Every value a reader read, in the base unit, as the outputs' headers
// echo it (the texts given left out).
std::vector<std::string> values_read(const Texts& texts,
                                     const std::function<void(OptionValues&)>& read) {
  TextValues values;
  set_all(values, texts);
  read(values);
  std::vector<std::string> read_values;
  for (const InputEcho& e : values.echo()) read_values.push_back(e.name + " " + echo_value_text(e));
  return read_values;
}

struct BareCase {
  const char* name;
  std::function<void(OptionValues&)> read;
  const char* units;
  Texts bare;     // read in --units
  Texts written;  // the same numbers with their units
};

// Fault: a reader that reads its number with the option's own quantity,
// not the one of --units (a range's fields, a band's edges, a varied
// half-width, the etch, a stack's layers and a varied layer's thickness),
// --units applied to a dimension it does not name,
// or to a default's text (--f 1000 is MHz whatever --units says).
TEST(BareUnits, ReadAsTheSameNumbersWithTheirUnitsWritten) {
  const Texts board = {{"er", "3.66"}, {"tand", "0.002"}, {"rho", "1.72"}};
  const auto joined = [&board](Texts texts) {
    texts.insert(texts.end(), board.begin(), board.end());
    return texts;
  };
  const std::vector<BareCase> cases = {
      {"analyse", [](OptionValues& v) { read_analyse(v); }, "mm,GHz",
       joined({{"b", "1.6"},
               {"t", "0.035"},
               {"w", "0.4:0.6:0.1"},
               {"s", "0.2"},
               {"roughness", "0.0005"},
               {"f", "2.4"}}),
       joined({{"b", "1.6mm"},
               {"t", "0.035mm"},
               {"w", "0.4mm:0.6mm:0.1mm"},
               {"s", "0.2mm"},
               {"roughness", "0.0005mm"},
               {"f", "2.4GHz"}})},
      {"defaults in their own units",
       [](OptionValues& v) { read_analyse(v); },
       "um,GHz",
       {{"b", "1600"}, {"t", "35"}, {"er", "3.66"}, {"w", "500"}, {"s", "200"}},
       {{"b", "1600um"}, {"t", "35um"}, {"er", "3.66"}, {"w", "500um"}, {"s", "200um"}}},
      {"response in mils", [](OptionValues& v) { read_response(v); }, "MILS",
       joined({{"b", "62"},
               {"t", "1.4"},
               {"w", "24"},
               {"s", "6"},
               {"f0", "2000"},
               {"f", "1000:3000:500"}}),
       joined({{"b", "62mil"},
               {"t", "1.4mil"},
               {"w", "24mil"},
               {"s", "6mil"},
               {"f0", "2000"},
               {"f", "1000:3000:500"}})},
      {"multisection band",
       [](OptionValues& v) { read_multisection(v); },
       "GHz",
       {{"zo", "50"}, {"coupling", "10"}, {"sections", "3"}, {"band", "2:6"}, {"er", "2.2"}},
       {{"zo", "50"}, {"coupling", "10"}, {"sections", "3"}, {"band", "2GHz:6GHz"}, {"er", "2.2"}}},
      {"tolerance half-widths", [](OptionValues& v) { read_tolerance(v); }, "kHz,um",
       joined({{"b", "1600"},
               {"t", "35"},
               {"w", "1200"},
               {"s", "150"},
               {"vary", "w=+-10,b=5%,er=0.05"},
               {"etch", "+-3"},
               {"f0", "2000000"},
               {"samples", "10"}}),
       joined({{"b", "1600um"},
               {"t", "35um"},
               {"w", "1200um"},
               {"s", "150um"},
               {"vary", "w=+-10um,b=5%,er=0.05"},
               {"etch", "+-3um"},
               {"f0", "2000000kHz"},
               {"samples", "10"}})},
      {"a stack's layers and a varied layer", [](OptionValues& v) { read_tolerance(v); }, "um",
       {{"layers", "800:3.66,800:3.0"},
        {"strips-on", "1"},
        {"t", "35"},
        {"w", "700"},
        {"s", "200"},
        {"solver", "field"},
        {"vary", "d1=+-50,er2=0.05"},
        {"samples", "10"}},
       {{"layers", "800um:3.66,800um:3.0"},
        {"strips-on", "1"},
        {"t", "35um"},
        {"w", "700um"},
        {"s", "200um"},
        {"solver", "field"},
        {"vary", "d1=+-50um,er2=0.05"},
        {"samples", "10"}}},
  };
  for (const BareCase& c : cases) {
    Texts bare = c.bare;
    bare.emplace_back("units", c.units);
    EXPECT_EQ(values_read(bare, c.read), values_read(c.written, c.read)) << c.name;
  }
  // Impedances, dB and pure numbers keep their units whatever --units says.
  const Texts lossless = {{"zo", "50"}, {"coupling", "10"}, {"er", "2.2"}, {"f0", "1000"},
                          {"f", "900"}, {"rs", "40"},       {"rl", "60"}};
  Texts under_units = lossless;
  under_units.emplace_back("units", "mm,GHz");
  const std::vector<std::string> read =
      values_read(under_units, [](OptionValues& v) { read_response(v); });
  EXPECT_NE(std::ranges::find(read, "zo 50 ohm"), read.end());
  EXPECT_NE(std::ranges::find(read, "rs 40 ohm"), read.end());
  EXPECT_NE(std::ranges::find(read, "er 2.2"), read.end());
  EXPECT_NE(std::ranges::find(read, "f0 1000000 MHz"), read.end());
}

// Fault: a unit --units takes refused, a second unit of one dimension or a
// unit the outputs cannot be written in accepted.
TEST(BareUnits, UnitsNameALengthAFrequencyOrOneOfEach) {
  struct Case {
    const char* text;
    const char* read;  // "length frequency", or the message
  };
  const std::string expected =
      "expected a length unit (in, mil, mm or um), a frequency unit (Hz, kHz, MHz or GHz), or "
      "one of each as mm,GHz";
  const std::vector<Case> cases = {
      {"mm", "mm MHz"},   {"GHz", "in GHz"},    {"mils,ghz", "mil GHz"},
      {"Hz,UM", "um Hz"}, {"in,MHz", "in MHz"}, {"uin", ""},
      {"mm,mil", ""},     {"GHz,kHz", ""},      {"mm,GHz,", ""},
      {"", ""},           {"oz", ""},           {"mm GHz", ""},
  };
  for (const Case& c : cases) {
    std::string read;
    try {
      const Units u = parse_units("--units", c.text);
      read = std::string(u.length) + " " + std::string(u.frequency);
    } catch (const InputError& e) {
      read = e.what();
    }
    const std::string want = *c.read != '\0' ? std::string(c.read)
                                             : "--units '" + std::string(c.text) + "': " + expected;
    EXPECT_EQ(read, want) << c.text;
  }
  // mils is mil wherever mil is: a value's unit and the outputs' unit.
  EXPECT_EQ(parse_quantity("--w", "20mils", {"w", Dimension::length, 0.0, false, 1000.0}),
            parse_quantity("--w", "20mil", {"w", Dimension::length, 0.0, false, 1000.0}));
  EXPECT_EQ(parse_length_unit("--length-unit", "Mils").name, "mil");
}

// Fault: the outputs' unit taken from one length's unit whatever the
// others' (a bare length, another unit), or --length-unit overridden.
TEST(BareUnits, LengthsWrittenInTheOneUnitTheyAreGivenIn) {
  struct Case {
    Texts texts;
    const char* unit;
  };
  const std::vector<Case> cases = {
      {{{"b", "0.062"}, {"w", "0.02"}}, "in"},
      {{{"b", "62mil"}, {"w", "20mil"}, {"t", "1oz"}, {"roughness", "5uin"}}, "mil"},
      {{{"b", "1.6mm"}, {"w", "0.4mm:0.6mm:0.1mm"}, {"f", "2GHz"}}, "mm"},
      {{{"b", "62MILS"}, {"w", "0.5mm"}}, "in"},
      {{{"b", "1.6mm"}, {"w", "0.02"}}, "in"},
      {{{"b", "0.062in"}, {"w", "0.02"}}, "in"},
      {{{"b", "1.6mm"}, {"w", "0.4"}, {"units", "mm"}}, "mm"},
      {{{"b", "62mil"}, {"units", "um,GHz"}}, "um"},
      {{{"b", "62mil"}, {"units", "GHz"}}, "mil"},
      {{{"b", "1.6mm"}, {"length-unit", "UM"}}, "um"},
      {{{"b", "1.6mm"}, {"length-unit", "Mils"}}, "mil"},
      {{{"b", "1.6"}, {"units", "mm"}, {"length-unit", "in"}}, "in"},
      {{{"b", "1.6mm"}, {"vary", "w=0.01,er=0.1"}}, "in"},
      {{{"b", "1.6mm"}, {"vary", "w=1%,er=0.1"}, {"etch", "+-0.01mm"}}, "mm"},
      // A stack's thicknesses are lengths like any other.
      {{{"layers", "31mil:3.66:0.0037,31mil:3.0"}, {"t", "1oz"}, {"w", "25mil"}}, "mil"},
      {{{"layers", "31:3.66,31mil:3.0"}, {"w", "25mil"}}, "in"},
  };
  for (const Case& c : cases) {
    TextValues values;
    set_all(values, c.texts);
    EXPECT_EQ(output_length_unit(values).name, c.unit) << c.texts.front().second;
  }
}

// Fault: bare numbers read as inches or MHz beside other units without a
// word, a note where nothing is mixed (all bare, all in one unit, inches
// written beside bare inches, a copper weight, --units given), or the
// wrong options named.
TEST(BareUnits, TheNoteNamesBareNumbersBesideOtherUnits) {
  const std::string hint = "; --units sets the unit of bare numbers";
  struct Case {
    Texts texts;
    std::string note;
  };
  const std::vector<Case> cases = {
      {{{"b", "1.6"}, {"t", "0.035"}, {"f0", "2.4"}}, ""},
      {{{"b", "1.6mm"}, {"t", "0.035mm"}, {"f0", "2.4GHz"}}, ""},
      {{{"b", "0.062in"}, {"t", "0.0014"}, {"f", "1GHz:2GHz:0.5GHz"}, {"f0", "1500MHz"}}, ""},
      {{{"b", "0.062"}, {"t", "1oz"}, {"roughness", "5uin"}}, ""},
      {{{"b", "1.6mm"}, {"t", "0.035"}, {"units", "mm"}}, ""},
      // Zero is zero in every unit (counting it would note every sheet of --t 0).
      {{{"b", "62mil"}, {"t", "0"}, {"w", "20mil"}}, ""},
      {{{"b", "1.6mm"}, {"t", "0.035"}, {"w", "0.5mm"}, {"s", "0.2"}},
       "note: bare lengths are read as inches (--t, --s) beside lengths given in mm" + hint},
      {{{"b", "62mil"}, {"t", "1oz"}, {"w", "0.5mm"}, {"s", "0.01:0.02:0.01"}},
       "note: bare lengths are read as inches (--s) beside lengths given in mil and mm" + hint},
      {{{"b", "1.6mm"}, {"t", "0.035"}, {"f0", "2.4"}, {"f", "1000:2000:500"}},
       "note: bare lengths are read as inches (--t) beside lengths given in mm, bare frequencies "
       "as MHz (--f, --f0)" +
           hint},
      {{{"b", "0.062"}, {"f0", "2.4"}, {"f", "1GHz:3GHz:1GHz"}},
       "note: bare frequencies are read as MHz (--f0) beside frequencies given in GHz" + hint},
      {{{"b", "1.6mm"}, {"t", "0.035"}, {"f0", "2.4"}, {"f", "1GHz:3GHz:1GHz"}, {"units", "GHz"}},
       "note: bare lengths are read as inches (--t) beside lengths given in mm" + hint},
      {{{"layers", "0.8:4.4,0.8mm:4.2"}, {"w", "0.3mm"}},
       "note: bare lengths are read as inches (--layers) beside lengths given in mm" + hint},
      {{{"w", "0.5mm"}, {"vary", "w=0.001,er=0.1"}},
       "note: bare lengths are read as inches (--vary) beside lengths given in mm" + hint},
  };
  for (const Case& c : cases) {
    TextValues values;
    set_all(values, c.texts);
    EXPECT_EQ(bare_numbers_note(values), c.note) << c.texts.front().second;
  }
}

}  // namespace
}  // namespace ketrovane::commands
