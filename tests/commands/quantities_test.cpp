#include "commands/quantities.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "commands/input_error.hpp"
#include "commands/option_values.hpp"
#include "commands/options.hpp"
#include "commands/sweep_axis.hpp"
#include "common/constants.hpp"

namespace ketrovane::commands {
namespace {

constexpr Quantity kLength{.what = "strip width W",
                           .dimension = Dimension::length,
                           .least = 0.0,
                           .least_allowed = false,
                           .most = 1000.0};
constexpr Quantity kFrequency{.what = "frequency",
                              .dimension = Dimension::frequency,
                              .least = 0.0,
                              .least_allowed = false,
                              .most = 1.0e6};
constexpr Quantity kCoupling{.what = "coupling",
                             .dimension = Dimension::coupling,
                             .least = 0.0,
                             .least_allowed = false,
                             .most = 60.0,
                             .signless = true};
constexpr Quantity kPure{.what = "relative permittivity Er",
                         .dimension = Dimension::pure,
                         .least = 1.0,
                         .least_allowed = true,
                         .most = 1000.0};

float length(const char* text) {
  return parse_quantity("--w", text, kLength);
}

std::string message_of(const char* text, const Quantity& q) {
  try {
    parse_quantity("--w", text, q);
  } catch (const InputError& e) {
    return e.what();
  }
  return "accepted";
}

// A bare number reads as the interactive program's reply reader reads it.
TEST(Units, BareNumbersReadAsStrtofDoes) {
  for (const char* text : {"0.1", "0.168", "0.0014", "1e-3", "+0.25", "2.54"}) {
    EXPECT_EQ(length(text), std::strtof(text, nullptr)) << text;
  }
  EXPECT_EQ(parse_quantity("--er", "2.2", kPure), 2.2F);
}

TEST(Units, LengthUnitsConvertToInches) {
  EXPECT_EQ(length("100mil"), 0.1F);
  EXPECT_EQ(length("100 mil"), 0.1F);
  EXPECT_EQ(length("2.54mm"), 0.1F);
  EXPECT_EQ(length("2540um"), 0.1F);
  EXPECT_EQ(length("0.1in"), 0.1F);
  EXPECT_EQ(length("0.1IN"), 0.1F);  // letter case ignored
  // Micro-inches scale as the interactive roughness menu scales them.
  EXPECT_EQ(length("5uin"), 5.0F * kInchPerMicroInch);
  EXPECT_EQ(length("20uin"), 20.0F * kInchPerMicroInch);
}

TEST(Units, FrequencyUnitsConvertToMegahertz) {
  EXPECT_EQ(parse_quantity("--f", "1000", kFrequency), 1000.0F);
  EXPECT_EQ(parse_quantity("--f", "2.5GHz", kFrequency), 2500.0F);
  EXPECT_EQ(parse_quantity("--f", "2.5ghz", kFrequency), 2500.0F);
  EXPECT_EQ(parse_quantity("--f", "750kHz", kFrequency), 0.75F);
  EXPECT_EQ(parse_quantity("--f", "1e9Hz", kFrequency), 1000.0F);
  EXPECT_EQ(parse_quantity("--f", "900MHz", kFrequency), 900.0F);
}

// A unit named in any letter case is the unit the texts list.
TEST(Units, UnitNamesAreSpelledAsTheTextsListThem) {
  EXPECT_EQ(unit_spelling(Dimension::frequency, "ghz"), "GHz");
  EXPECT_EQ(unit_spelling(Dimension::frequency, "KHZ"), "kHz");
  EXPECT_EQ(unit_spelling(Dimension::frequency, "Hz"), "Hz");
  EXPECT_EQ(unit_spelling(Dimension::length, "MIL"), "mil");
  EXPECT_EQ(unit_spelling(Dimension::length, "Um"), "um");
  EXPECT_EQ(unit_spelling(Dimension::length, "GHz"), "");
  EXPECT_EQ(unit_spelling(Dimension::frequency, "THz"), "");
}

TEST(Units, CouplingIgnoresItsSign) {
  EXPECT_EQ(parse_quantity("--coupling", "10", kCoupling), 10.0F);
  EXPECT_EQ(parse_quantity("--coupling", "-10dB", kCoupling), -10.0F);
  EXPECT_EQ(parse_quantity("--coupling", "-60", kCoupling), -60.0F);
  EXPECT_EQ(message_of("0", kCoupling).find("magnitude above 0 dB") != std::string::npos, true);
  EXPECT_NE(message_of("-60.5", kCoupling), "accepted");
}

TEST(Units, MistakesNameTheOptionTheValueAndWhatIsExpected) {
  EXPECT_EQ(message_of("1ft", kLength),
            "--w '1ft': unknown length unit 'ft' (expected in, mil, uin, mm or um)");
  EXPECT_EQ(message_of("wide", kLength),
            "--w 'wide': expected a strip width W: a number with an optional unit (in, mil, uin, "
            "mm or um; bare numbers are in)");
  EXPECT_EQ(message_of("-1", kLength),
            "--w '-1': expected a strip width W above 0 in and at most 1000 in");
  EXPECT_EQ(message_of("inf", kLength), "--w 'inf': expected a finite strip width W");
  EXPECT_EQ(message_of("nan", kLength), "--w 'nan': expected a finite strip width W");
  EXPECT_EQ(message_of("1e999", kLength), "--w '1e999': expected a finite strip width W");
  EXPECT_EQ(message_of("0.5", kPure),
            "--w '0.5': expected a relative permittivity Er of at least 1 and at most 1000");
  EXPECT_EQ(message_of("2.2x", kPure).find("expected a relative permittivity Er: a number"), 12U);
  EXPECT_EQ(message_of("++1", kLength).find("--w '++1': expected"), 0U);
  EXPECT_EQ(message_of("", kLength).find("--w '': expected"), 0U);
}

// 1e-50 inches is a number, too small a width, not a malformed value.
TEST(Units, UnderflowIsOutOfRangeNotMalformed) {
  EXPECT_EQ(message_of("1e-50", kLength),
            "--w '1e-50': expected a strip width W above 0 in and at most 1000 in");
}

TEST(Units, MessagesStayOneLineWhateverTheValue) {
  const std::string m = message_of("1\n2\x01'", kLength);
  EXPECT_EQ(m.find('\n'), std::string::npos) << m;
  EXPECT_EQ(m.rfind("--w '1\\x0a2\\x01\\'': unknown length unit '\\x0a2\\x01\\''", 0), 0U) << m;
  EXPECT_LT(message_of(std::string(500, '9').c_str(), kLength).size(), 200U);
}

// Row counts and values are those of the design layer's ranges.
TEST(Ranges, RowsFollowTheStepCountOfTheRange) {
  const Axis single = parse_axis("--w", "0.1", kLength, Quotient::single_precision);
  EXPECT_EQ(single.rows, 1);
  EXPECT_FALSE(single.swept);
  EXPECT_EQ(single.value(0), 0.1F);

  for (const Quotient q : {Quotient::single_precision, Quotient::double_precision}) {
    const Axis a = parse_axis("--w", "0.1:0.2:0.02", kLength, q);
    EXPECT_EQ(a.rows, step_count({0.1F, 0.2F, 0.02F}, q) + 1);
    EXPECT_EQ(a.rows, 6);
    EXPECT_EQ(a.value(5), row_value(0.1F, 5, 0.02F));
  }
  // Units per field.
  const Axis mm = parse_axis("--w", "2.54mm:5.08mm:0.508mm", kLength, Quotient::double_precision);
  EXPECT_EQ(mm.range.min, 0.1F);
  EXPECT_EQ(mm.rows, 6);
  // A stop that the steps do not reach is not a row.
  EXPECT_EQ(parse_axis("--w", "0.1:0.25:0.1", kLength, Quotient::single_precision).rows, 2);
  // Equal ends: one row.
  EXPECT_EQ(parse_axis("--w", "0.1:0.1:0.01", kLength, Quotient::single_precision).rows, 1);
}

TEST(Ranges, SignedCouplingRangesRunUpward) {
  const Axis a = parse_axis("--coupling", "-20:-6:2", kCoupling, Quotient::single_precision);
  EXPECT_EQ(a.rows, 8);
  EXPECT_EQ(a.value(0), -20.0F);
}

std::string range_message(const char* text, const Quantity& q = kLength) {
  try {
    parse_axis("--w", text, q, Quotient::single_precision);
  } catch (const InputError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(Ranges, BadRangesAreRefused) {
  EXPECT_EQ(range_message("0.1:0.2:0"),
            "--w '0.1:0.2:0': the step 0 must be above 0 and at most 1000 in (ranges run upward, "
            "start:stop:step)");
  EXPECT_NE(range_message("0.1:0.2:-0.01").find("the step -0.01 must be above 0"),
            std::string::npos);
  EXPECT_NE(range_message("0.1:0.2:nan").find("finite"), std::string::npos);
  EXPECT_EQ(
      range_message("0.2:0.1:0.01"),
      "--w '0.2:0.1:0.01': the stop lies below the start (ranges run upward, start:stop:step)");
  EXPECT_EQ(range_message("0.1:0.2"),
            "--w '0.1:0.2': expected a single value or a range start:stop:step");
  EXPECT_EQ(range_message("0.1:0.2:0.01:1"),
            "--w '0.1:0.2:0.01:1': expected a single value or a range start:stop:step");
  EXPECT_EQ(range_message("-5:5:1", kCoupling), "--w '-5:5:1': the range crosses 0 dB");
}

TEST(Ranges, AtMostAHundredMillionRows) {
  const Axis most = parse_axis("--w", "0.001:1000:0.00001", kLength, Quotient::double_precision);
  EXPECT_LE(most.rows, kMostRows);
  EXPECT_GT(most.rows, kMostRows - 1000);
  EXPECT_EQ(range_message("0.001:1000:0.000009")
                .rfind("--w '0.001:1000:0.000009': the range has 1111", 0),
            0U);
  EXPECT_NE(range_message("0.001:1000:0.000009").find("rows, more than 100000000"),
            std::string::npos);
  // A step far too small to count is refused, not saturated.
  EXPECT_NE(range_message("0.001:1000:1e-30").find("more than 100000000"), std::string::npos);
}

// The limit is the rows the range gives, counted as the rows are: near 10^8
// the step count is a multiple of 8 in single precision, so the last table
// under the limit has 99999993 rows and the next 100000001.
TEST(Ranges, TheLimitCountsTheRowsTheRangeGives) {
  constexpr Quantity kCount{.what = "count",
                            .dimension = Dimension::pure,
                            .least = 0.0,
                            .least_allowed = true,
                            .most = 1.0e9};
  const Axis most = parse_axis("--n", "8:100000000:1", kCount, Quotient::double_precision);
  EXPECT_EQ(most.rows, 99999993);
  // (10^8 - 1)/1 steps, one row fewer than the limit, round to 10^8 steps.
  EXPECT_EQ(range_message("1:100000000:1", kCount),
            "--w '1:100000000:1': the range has 100000001 rows, more than 100000000");
  EXPECT_EQ(range_message("0:100000000:1", kCount),
            "--w '0:100000000:1': the range has 100000001 rows, more than 100000000");
}

// The defaults are those of the shipped default-value file and menus.
TEST(Defaults, AreThoseOfTheShippedFile) {
  std::ifstream in(KETROVANE_SHIPPED_DEF);
  std::string line;
  std::getline(in, line);  // title
  std::map<std::string, float> value;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    float v = 0;
    std::string name;
    if (fields >> v >> name) value[name] = v;
  }
  const auto fallback = [](Opt id) {
    const OptionSpec& o = option(id);
    return parse_quantity(dashed(o), o.fallback, *o.quantity);
  };
  EXPECT_EQ(value.at("DLTAN."), fallback(Opt::tand));
  EXPECT_EQ(value.at("FoDEF."), fallback(Opt::f));
  EXPECT_EQ(*metal_resistivity(option(Opt::rho).fallback), value.at("Resistivity:RES."));
  EXPECT_EQ(value.at("Surface") * kInchPerMicroInch, fallback(Opt::roughness));
  EXPECT_EQ(value.at("Load"), fallback(Opt::rl));
  EXPECT_EQ(value.at("Source"), fallback(Opt::rs));
}

}  // namespace
}  // namespace ketrovane::commands
