// Numbers a front end already holds are read as the command line reads the
// same values' texts: the same single-precision value, the same checks in
// the same order and the same message, word for word.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "commands/call_values.hpp"
#include "commands/command_table.hpp"
#include "commands/input_error.hpp"
#include "commands/quantities.hpp"
#include "commands/requests.hpp"

namespace ketrovane::commands {
namespace {

constexpr Quantity kWidth{"strip width W", Dimension::length, 0.0, false, 1000.0};
constexpr Quantity kFrequency{"frequency", Dimension::frequency, 0.0, false, 1.0e6};
constexpr Quantity kCoupling{"coupling", Dimension::coupling, 0.0, false, 60.0, true};
constexpr Quantity kPure{"relative permittivity Er", Dimension::pure, 1.0, true, 1000.0};

std::string shortest_text(double x) {
  std::array<char, 32> buffer{};
  auto* const end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x).ptr;
  return {buffer.data(), end};
}

// Written out between 0.0001 and 1e16, as Python writes a float (without
// its ".0").
std::string script_text(double x) {
  const bool plain = x == 0 || (std::fabs(x) >= 1e-4 && std::fabs(x) < 1e16);
  std::array<char, 64> buffer{};
  auto* const end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                  plain ? std::chars_format::fixed : std::chars_format::scientific)
                        .ptr;
  return {buffer.data(), end};
}

// The value read, or the message.
struct Outcome {
  std::optional<float> value;
  std::string message;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << (o.value ? std::to_string(*o.value) : o.message);
}

template <typename Read>
Outcome outcome_of(const Read& read) {
  try {
    return {read(), ""};
  } catch (const InputError& e) {
    return {std::nullopt, e.what()};
  }
}

// The text a number in `unit` stands for: a unit named as the base unit is
// left out, as a bare number means the base unit.
Outcome from_text(double number, const std::string& unit, const Quantity& q) {
  std::string lower = unit;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool base = lower == "in" || lower == "mhz";
  const std::string text = script_text(number) + (base ? "" : unit);
  return outcome_of([&] { return parse_quantity("--w", text, q); });
}

Outcome from_number(double number, const std::string& unit, const Quantity& q) {
  return outcome_of([&] { return quantity_value("--w", number, unit, q); });
}

// A double exactly halfway between two floats: converting it to float
// rounds to even, while its shortest decimal text lies just to one side and
// reads as the other float.
TEST(NumberValues, ReadAsTheirShortestDecimalTextReads) {
  const double halfway = 1.0 + std::ldexp(1.0, -24);
  ASSERT_NE(static_cast<float>(halfway), std::strtof(shortest_text(halfway).c_str(), nullptr));
  const float tenth = 0.1F;
  const double halfway_small =
      (static_cast<double>(tenth) + static_cast<double>(std::nextafter(tenth, 1.0F))) / 2.0;
  const std::vector<double> numbers = {0.1,   0.168, 0.0014,  2.2,     1e-3,   1000.0,
                                       25.4,  0.3,   1.0 / 3, halfway, 6.35,   2540.0,
                                       1e-40, 1e300, 1000.01, -0.1,    -1e-30, halfway_small};
  for (const double x : numbers) {
    for (const char* unit : {"", "in", "mil", "mm", "um", "uin", "IN"}) {
      EXPECT_EQ(from_number(x, unit, kWidth), from_text(x, unit, kWidth)) << x << unit;
    }
    for (const char* unit : {"", "Hz", "kHz", "MHz", "GHz", "ghz"}) {
      EXPECT_EQ(from_number(x, unit, kFrequency), from_text(x, unit, kFrequency)) << x << unit;
    }
    EXPECT_EQ(from_number(x, "", kPure), from_text(x, "", kPure)) << x;
    EXPECT_EQ(from_number(x, "", kCoupling), from_text(x, "", kCoupling)) << x;
  }
}

TEST(NumberValues, MistakesQuoteTheNumberWithItsUnit) {
  EXPECT_EQ(from_number(-1, "", kWidth).message,
            "--w '-1': expected a strip width W above 0 in and at most 1000 in");
  EXPECT_EQ(from_number(-1, "in", kWidth).message, from_number(-1, "", kWidth).message);
  EXPECT_EQ(from_number(-1, "mm", kWidth).message,
            "--w '-1mm': expected a strip width W above 0 in and at most 1000 in");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(from_number(nan, "", kWidth).message, "--w 'nan': expected a finite strip width W");
  EXPECT_EQ(from_number(-inf, "GHz", kFrequency).message,
            "--w '-infGHz': expected a finite frequency");
  EXPECT_EQ(from_number(2, "ft", kWidth).message,
            "--w '2ft': unknown length unit 'ft' (expected in, mil, uin, mm or um)");
  EXPECT_EQ(number_as_text(0.25, "mm", Dimension::length), "0.25mm");
  EXPECT_EQ(number_as_text(1000, "MHz", Dimension::frequency), "1000");
  EXPECT_EQ(number_as_text(1e5, "", Dimension::impedance), "100000");
  EXPECT_EQ(number_as_text(1e-4, "", Dimension::length), "0.0001");
  EXPECT_EQ(number_as_text(-1e-5, "", Dimension::length), "-1e-05");
  EXPECT_EQ(number_as_text(1e16, "", Dimension::length), "1e+16");
  EXPECT_EQ(number_as_text(0.1 + 0.2, "", Dimension::length), "0.30000000000000004");
}

// One command's values, given both ways: as the command line's texts and
// as a script's numbers.
struct Given {
  const char* name;
  double number;
  const char* text;  // the same value as the command line takes it
};

Opt id_of(const char* name) {
  return option_named(name)->id;
}

class Pair {
 public:
  explicit Pair(std::vector<Given> given) : given_(std::move(given)) {
    for (const Given& g : given_) texts_.set(id_of(g.name), g.text);
  }
  TextValues& texts() { return texts_; }
  // Element 0 of a call of one element.
  template <typename Read>
  auto from_numbers(Command command, const Read& read, std::string_view length_unit = "in",
                    std::string_view frequency_unit = "MHz") const {
    std::vector<Argument> arguments;
    for (const Given& g : given_) {
      arguments.push_back({id_of(g.name), std::nullopt, &g.number, false});
    }
    const Call call(command, arguments, length_unit, frequency_unit, 1);
    ElementValues values(call, 0);
    return read(values);
  }

 private:
  std::vector<Given> given_;
  TextValues texts_;
};

template <typename Request>
std::string message_of(const Request& read) {
  try {
    read();
  } catch (const InputError& e) {
    return e.what();
  }
  return "accepted";
}

// A 10 dB coupler on a 0.25-inch board.
std::vector<Given> coupler() {
  return {{"b", 0.25, "0.25"},
          {"t", 0.0014, "0.0014"},
          {"er", 2.2, "2.2"},
          {"w", 0.168, "0.168"},
          {"s", 0.011, "0.011"}};
}

std::vector<Given> with(std::vector<Given> given, const Given& change) {
  for (Given& g : given) {
    if (std::string_view(g.name) == change.name) {
      g = change;
      return given;
    }
  }
  given.push_back(change);
  return given;
}

std::vector<Given> without(std::vector<Given> given, std::string_view name) {
  std::erase_if(given, [&](const Given& g) { return g.name == name; });
  return given;
}

constexpr auto kAnalyse = [](OptionValues& v) { return read_analyse(v); };
constexpr auto kSensitivity = [](OptionValues& v) { return read_sensitivity(v); };
constexpr auto kSynthesise = [](OptionValues& v) { return read_synthesise(v); };
constexpr auto kResponse = [](OptionValues& v) { return read_response(v); };

TEST(OptionValues, AnalyseRequestsAreThoseOfTheTexts) {
  Pair p(with(with(coupler(), {"rho", 2.5, "2.5"}), {"f", 3000, "3000"}));
  const AnalyseRequest a = read_analyse(p.texts());
  const AnalyseRequest b = p.from_numbers(Command::analyse, kAnalyse);
  EXPECT_EQ(b.grid.board.b, a.grid.board.b);
  EXPECT_EQ(b.grid.board.t, a.grid.board.t);
  EXPECT_EQ(b.grid.board.er, a.grid.board.er);
  EXPECT_EQ(b.grid.w.value(0), a.grid.w.value(0));
  EXPECT_EQ(b.grid.s.value(0), a.grid.s.value(0));
  EXPECT_EQ(b.materials.conductor.resistivity_ohm_inch, a.materials.conductor.resistivity_ohm_inch);
  EXPECT_EQ(b.materials.conductor.roughness_inch, a.materials.conductor.roughness_inch);
  EXPECT_EQ(b.materials.loss_tangent, a.materials.loss_tangent);
  EXPECT_EQ(b.f_mhz, a.f_mhz);
}

// Each case has more than one mistake where the order matters: the message
// is the one the command line gives first.
TEST(OptionValues, MistakesAreTheCommandLinesInItsOrder) {
  const std::vector<std::vector<Given>> cases = {
      with(coupler(), {"b", -1, "-1"}),
      with(with(coupler(), {"b", -1, "-1"}), {"w", -1, "-1"}),
      with(coupler(), {"t", 0.3, "0.3"}),
      with(with(coupler(), {"t", 0.3, "0.3"}), {"er", 0.5, "0.5"}),
      with(coupler(), {"er", 0.5, "0.5"}),
      with(coupler(), {"s", 0, "0"}),
      with(coupler(), {"rho", -1, "-1"}),
      with(coupler(), {"roughness", 0.01, "0.01"}),
      with(coupler(), {"tand", 2, "2"}),
      with(coupler(), {"f", 0, "0"}),
      without(coupler(), "s"),
  };
  for (const std::vector<Given>& c : cases) {
    Pair p(c);
    const std::string expected = message_of([&] { return read_analyse(p.texts()); });
    EXPECT_NE(expected, "accepted");
    EXPECT_EQ(message_of([&] { return p.from_numbers(Command::analyse, kAnalyse); }), expected);
    Pair q(c);
    EXPECT_EQ(message_of([&] { return q.from_numbers(Command::sensitivity, kSensitivity); }),
              message_of([&] { return read_sensitivity(q.texts()); }));
  }
}

TEST(OptionValues, SynthesisMistakesAreTheCommandLines) {
  const std::vector<Given> base = {
      {"b", 0.25, "0.25"}, {"t", 0.0014, "0.0014"}, {"er", 2.2, "2.2"}, {"zo", 50, "50"}};
  const std::vector<std::vector<Given>> cases = {
      base,
      with(with(base, {"coupling", 10, "10"}), {"zoe", 70, "70"}),
      with(base, {"coupling", 0, "0"}),
      with(base, {"coupling", -61, "-61"}),
      with(base, {"zoe", 40, "40"}),
      with(with(base, {"zo", -50, "-50"}), {"zoe", 40, "40"}),
  };
  for (const std::vector<Given>& c : cases) {
    Pair p(c);
    const std::string expected = message_of([&] { return read_synthesise(p.texts()); });
    EXPECT_NE(expected, "accepted");
    EXPECT_EQ(message_of([&] { return p.from_numbers(Command::synthesise, kSynthesise); }),
              expected);
  }
  const Pair p(with(base, {"coupling", -10, "-10"}));
  EXPECT_EQ(p.from_numbers(Command::synthesise, kSynthesise).targets.value(0), -10.0F);
}

TEST(OptionValues, ResponseFormsAndMistakesAreTheCommandLines) {
  const std::vector<Given> lossless = {{"zo", 50, "50"},
                                       {"coupling", 10, "10"},
                                       {"er", 2.2, "2.2"},
                                       {"f0", 1000, "1000"},
                                       {"f", 900, "900"}};
  const std::vector<std::vector<Given>> cases = {
      with(lossless, {"b", 0.25, "0.25"}),
      with(lossless, {"tand", 0.001, "0.001"}),
      without(lossless, "coupling"),
      without(lossless, "f0"),
      with(lossless, {"length", 1, "1"}),
      with(lossless, {"rs", 0, "0"}),
      with(with(without(without(lossless, "zo"), "coupling"), {"b", 0.25, "0.25"}),
           {"t", 0.3, "0.3"}),
  };
  for (const std::vector<Given>& c : cases) {
    Pair p(c);
    const std::string expected = message_of([&] { return read_response(p.texts()); });
    EXPECT_NE(expected, "accepted");
    EXPECT_EQ(message_of([&] { return p.from_numbers(Command::response, kResponse); }), expected);
  }
  Pair q(with(with(coupler(), {"f0", 1000, "1000"}), {"f", 500, "500"}));
  const ResponseRequest a = read_response(q.texts());
  const ResponseRequest b = q.from_numbers(Command::response, kResponse);
  ASSERT_TRUE(b.dimensions.has_value());
  EXPECT_EQ(b.dimensions->x.w, a.dimensions->x.w);
  EXPECT_EQ(b.length_inch, a.length_inch);
  EXPECT_EQ(b.f.value(0), a.f.value(0));
  EXPECT_EQ(b.coupling_db, a.coupling_db);
}

// Numbers of lengths take the length unit, numbers of frequencies the
// frequency unit, and nothing else takes either.
TEST(OptionValues, UnitsApplyByDimension) {
  Pair mm({{"b", 6.35, "6.35mm"},
           {"t", 0.035, "0.035mm"},
           {"er", 2.2, "2.2"},
           {"w", 4.2, "4.2mm"},
           {"s", 0.28, "0.28mm"},
           {"roughness", 0.000127, "0.000127mm"},
           {"tand", 0.0009, "0.0009"},
           {"f", 2.5, "2.5GHz"}});
  const AnalyseRequest a = read_analyse(mm.texts());
  const AnalyseRequest b = mm.from_numbers(Command::analyse, kAnalyse, "mm", "GHz");
  EXPECT_EQ(b.grid.board.b, a.grid.board.b);
  EXPECT_EQ(b.grid.board.t, a.grid.board.t);
  EXPECT_EQ(b.grid.w.value(0), a.grid.w.value(0));
  EXPECT_EQ(b.materials.conductor.roughness_inch, a.materials.conductor.roughness_inch);
  EXPECT_EQ(b.materials.loss_tangent, 0.0009F);
  EXPECT_EQ(b.f_mhz, 2500.0F);
  EXPECT_EQ(b.grid.board.er, 2.2F);

  Pair bad({{"b", -6.35, "-6.35mm"}});
  EXPECT_EQ(message_of([&] { return bad.from_numbers(Command::analyse, kAnalyse, "mm", "GHz"); }),
            message_of([&] { return read_analyse(bad.texts()); }));
}

// A text of a call is one value read once as the command line reads it,
// never a range; a mistake in it is refused where the command reads it.
TEST(CallValues, TextsAreSingleValuesReadOnce) {
  const double b_mil = 250;
  const double er = 2.2;
  const double s = 0.011;
  std::vector<Argument> arguments = {{Opt::b, std::nullopt, &b_mil, false},
                                     {Opt::t, std::string_view("35um"), nullptr, false},
                                     {Opt::er, std::nullopt, &er, false},
                                     {Opt::w, std::string_view("0.1:0.2:0.02"), nullptr, false},
                                     {Opt::s, std::nullopt, &s, false},
                                     {Opt::rho, std::string_view("gold"), nullptr, false}};
  const Call ranged(Command::analyse, arguments, "mil", "MHz", 1);
  ElementValues ranged_values(ranged, 0);
  EXPECT_EQ(message_of([&] { return read_analyse(ranged_values); }),
            "--w '0.1:0.2:0.02': expected a single value; give several values as an array");
  arguments[3].text = "4mm";
  const Call call(Command::analyse, arguments, "mil", "MHz", 1);
  ElementValues values(call, 0);
  const AnalyseRequest q = read_analyse(values);
  EXPECT_EQ(q.grid.board.t, parse_quantity("--t", "35um", kWidth));
  EXPECT_EQ(q.grid.w.value(0), parse_quantity("--w", "4mm", kWidth));
  EXPECT_EQ(q.grid.board.b, parse_quantity("--b", "250mil", kWidth));
  EXPECT_EQ(q.materials.conductor.resistivity_ohm_inch, 2.5F * 3.9370079e-7F);
}

// Every element reads its own numbers; the call's single values are shared.
TEST(CallValues, EachElementItsOwnNumbers) {
  const std::array<double, 3> widths = {0.1, -0.2, 0.3};
  const double b = 0.25;
  const double t = 0.0014;
  const double er = 2.2;
  const double s = 0.011;
  const std::vector<Argument> arguments = {{Opt::b, std::nullopt, &b, false},
                                           {Opt::t, std::nullopt, &t, false},
                                           {Opt::er, std::nullopt, &er, false},
                                           {Opt::w, std::nullopt, widths.data(), true},
                                           {Opt::s, std::nullopt, &s, false}};
  const Call call(Command::analyse, arguments, "in", "MHz", 3);
  ElementValues third(call, 2);
  EXPECT_EQ(read_analyse(third).grid.w.value(0), 0.3F);
  ElementValues second(call, 1);
  EXPECT_EQ(message_of([&] { return read_analyse(second); }),
            "--w '-0.2': expected a strip width W above 0 in and at most 1000 in");
}

// An array of texts: every element reads its own text as the command line
// reads it, whatever the call's units, and a mistake quotes that text.
TEST(CallValues, EachElementItsOwnText) {
  const std::array<std::string_view, 3> width_texts = {"100mil", "2.54mm", "4ft"};
  const std::array<std::int64_t, 4> width_of = {1, 0, 2, 0};
  const ElementTexts widths{width_texts, width_of.data()};
  const std::array<std::string_view, 2> metal_texts = {"gold", "1.7"};
  const std::array<std::int64_t, 4> metal_of = {0, 1, 0, 1};
  const ElementTexts metals{metal_texts, metal_of.data()};
  const double b = 6.35;
  const double t = 0.035;
  const double er = 2.2;
  const double s = 0.3;
  std::vector<Argument> arguments = {
      {Opt::b, std::nullopt, &b, false},   {Opt::t, std::nullopt, &t, false},
      {Opt::er, std::nullopt, &er, false}, {Opt::w, std::nullopt, nullptr, true, &widths},
      {Opt::s, std::nullopt, &s, false},   {Opt::rho, std::nullopt, nullptr, true, &metals}};
  const Call call(Command::analyse, arguments, "mm", "MHz", 4);
  const auto element = [&call](std::int64_t i) {
    ElementValues values(call, i);
    return read_analyse(values);
  };
  EXPECT_EQ(element(0).grid.w.value(0), parse_quantity("--w", "2.54mm", kWidth));
  EXPECT_EQ(element(1).grid.w.value(0), parse_quantity("--w", "100mil", kWidth));
  EXPECT_EQ(element(0).materials.conductor.resistivity_ohm_inch, 2.5F * 3.9370079e-7F);
  EXPECT_EQ(element(1).materials.conductor.resistivity_ohm_inch, 1.7F * 3.9370079e-7F);
  EXPECT_EQ(message_of([&] { return element(2); }),
            "--w '4ft': unknown length unit 'ft' (expected in, mil, uin, mm or um)");
}

TEST(OptionValues, ReferenceResistance) {
  TextValues none;
  EXPECT_EQ(none.number(Opt::ref), 50.0F);
  Pair bad({{"ref", 0, "0"}});
  EXPECT_EQ(message_of([&] { return bad.texts().number(Opt::ref); }),
            "--ref '0': expected a reference resistance above 0 ohm and at most 10000 ohm");
  EXPECT_EQ(message_of([&] {
              return bad.from_numbers(Command::response,
                                      [](OptionValues& v) { return v.number(Opt::ref); });
            }),
            message_of([&] { return bad.texts().number(Opt::ref); }));
}

TEST(OptionValues, ChoicesAreCheckedAgainstTheTable) {
  TextValues t;
  t.set(Opt::solver, "fem");
  EXPECT_EQ(message_of([&] { return read_solver(t); }),
            "--solver 'fem': expected model, field or both");
  TextValues defaults;
  EXPECT_EQ(read_solver(defaults), Solver::model);
  EXPECT_EQ(defaults.choice(Opt::format), "table");
}

// The columns known before any row are those of each command's rows.
TEST(Columns, KnownBeforeTheRows) {
  for (const CommandSpec& c : all_commands()) {
    for (const Solver s : {Solver::model, Solver::both}) {
      EXPECT_FALSE(c.columns({s, false}).empty());
    }
  }
  Pair p(coupler());
  const Request analysed = command(Command::analyse).read(p.texts());
  EXPECT_EQ(command(Command::analyse).columns({}).data(),
            command(Command::analyse).rows(analysed)->columns().data());
}

}  // namespace
}  // namespace ketrovane::commands

namespace ketrovane::commands {
namespace {

std::string band_message(std::string_view text) {
  TextValues v;
  v.set(Opt::band, std::string(text));
  try {
    v.pair(Opt::band);
  } catch (const InputError& e) {
    return e.what();
  }
  return "accepted";
}

// A band is two edges, each with its own unit, the second above the first;
// the echo keeps the text as given.
TEST(BandValues, TwoEdgesEachWithItsUnitEchoedAsGiven) {
  TextValues v;
  v.set(Opt::band, "2GHz:18000");
  const auto [f1, f2] = v.pair(Opt::band);
  EXPECT_EQ(f1, 2000.0F);
  EXPECT_EQ(f2, 18000.0F);
  const InputEcho* echo = find_echo(v.echo(), "band");
  ASSERT_NE(echo, nullptr);
  EXPECT_EQ(echo->given, "2GHz:18000");
  EXPECT_EQ(echo->axis.rows, 2);
  EXPECT_EQ(echo->axis.range.max, 18000.0F);

  EXPECT_NE(band_message("18GHz:2GHz").find("F2 above F1"), std::string::npos);
  EXPECT_NE(band_message("2GHz:2GHz").find("F2 above F1"), std::string::npos);
  EXPECT_NE(band_message("1:2:3").find("expected F1:F2"), std::string::npos);
  EXPECT_NE(band_message("2GHz").find("expected F1:F2"), std::string::npos);
  EXPECT_EQ(band_message("2GHz:-1").rfind("--band", 0), 0U);
  EXPECT_EQ(band_message("2 parsecs:3GHz").rfind("--band", 0), 0U);
  TextValues none;
  EXPECT_THROW(none.pair(Opt::band), InputError);
}

}  // namespace
}  // namespace ketrovane::commands
