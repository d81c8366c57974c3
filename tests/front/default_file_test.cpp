#include "front/default_file.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "support/memory_environment.hpp"

namespace ketrovane {
namespace {

using testing::TextLineReader;

std::vector<std::string> shipped_lines() {
  std::vector<std::string> lines;
  std::istringstream in(testing::shipped_defaults());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  return text;
}

struct Reading {
  bool ok;
  std::string console;
  DesignRecord record;
};

Reading read(const std::string& text) {
  TextLineReader file(text);
  text::StringChannel console;
  Reading r{false, "", {}};
  r.ok = read_default_values(file, r.record, console);
  r.console = console.text();
  return r;
}

// The file with line n (1-based) replaced.
Reading read_with(std::size_t n, const std::string& line) {
  auto lines = shipped_lines();
  lines.at(n - 1) = line;
  return read(joined(lines));
}

std::string missing(std::string_view label) {
  return "      End of file in STRIPLINE COUPLER default value\n"
         "      data file (Ketrovane.DEF). Entry missing for variable " +
         std::string(label) + "\n";
}

std::string rejected(std::string_view label) {
  return "      Error exists in STRIPLINE COUPLER default value\n"
         "      data file (Ketrovane.DEF). Fix entry for variable " +
         std::string(label) + "\n";
}

TEST(DefaultFile, TheShippedFileIsAccepted) {
  const Reading r = read(testing::shipped_defaults());
  ASSERT_TRUE(r.ok) << r.console;
  EXPECT_EQ(r.console, "");
  EXPECT_EQ(r.record.defaults.b, 0.25F);
  EXPECT_EQ(r.record.defaults.coupling_db, -10.0F);
  EXPECT_EQ(r.record.storage_name, "coupler.txt         ");
  EXPECT_EQ(r.record.w, r.record.defaults.w);
  EXPECT_EQ(r.record.f_start, r.record.defaults.f_min);
  EXPECT_EQ(r.record.f_step, r.record.defaults.f_step);
  EXPECT_EQ(r.record.fo, r.record.defaults.fo);
}

TEST(DefaultFile, ShortFilesNameTheMissingEntry) {
  EXPECT_EQ(read("").console, missing("1st line.  "));
  EXPECT_EQ(read("title only\n").console, missing("B.         "));
  auto lines = shipped_lines();
  lines.resize(8);
  EXPECT_EQ(read(joined(lines)).console, missing("Coupling:KO"));
  lines = shipped_lines();
  lines.resize(32);
  EXPECT_EQ(read(joined(lines)).console, missing("Filename:FN"));
}

TEST(DefaultFile, ABlankValueReadsAsZero) {
  EXPECT_EQ(read_with(2, "").console, rejected("B.         "));
  for (const std::size_t n : {4, 6, 10, 11, 12, 14, 15, 22, 29, 30, 31}) {
    const Reading r = read_with(n, "             blank");
    EXPECT_TRUE(r.ok) << "line " << n << ": " << r.console;
  }
  // A zero stop frequency is accepted; the start frequency above it is not.
  EXPECT_EQ(read_with(5, "").console, rejected("FMINDEF.   "));
}

TEST(DefaultFile, MalformedNumbersAreRejectedByLabel) {
  EXPECT_EQ(read_with(3, "2.2.2").console, rejected("ER.        "));
  EXPECT_EQ(read_with(17, "fifty").console, rejected("Source Impe"));
  EXPECT_EQ(read_with(27, "1e99").console, rejected("Coupler Imp"));
}

TEST(DefaultFile, EveryRejectionTestNamesItsLine) {
  EXPECT_EQ(read_with(3, "0.99").console, rejected("ER.        "));
  EXPECT_EQ(read_with(4, "-0.001").console, rejected("DLTAN.     "));
  EXPECT_EQ(read_with(6, "2000").console, rejected("FMINDEF.   "));
  EXPECT_EQ(read_with(7, "0").console, rejected("FSTEPDEF.  "));
  EXPECT_EQ(read_with(13, "-1").console, rejected("Length:L.  "));
  EXPECT_EQ(read_with(20, "0.06").console, rejected("MIN Spacing"));
  EXPECT_EQ(read_with(25, "0.3").console, rejected("MIN Strip W"));
  EXPECT_EQ(read_with(33, "           ").console, rejected("Filename:FN"));
}

TEST(DefaultFile, CouplingIsHeldNegativeAndItsRangeAsMagnitudes) {
  EXPECT_EQ(read_with(9, "0.5").console, rejected("Coupling:KO"));
  EXPECT_EQ(read_with(9, "-20").record.defaults.coupling_db, -20.0F);
  EXPECT_EQ(read_with(9, "20").record.defaults.coupling_db, -20.0F);
  auto lines = shipped_lines();
  lines[9] = "-20";
  lines[10] = "6";
  lines[11] = "-2";
  const Reading r = read(joined(lines));
  EXPECT_EQ(r.record.defaults.strongest_db, 6.0F);
  EXPECT_EQ(r.record.defaults.weakest_db, 20.0F);
  EXPECT_EQ(r.record.defaults.level_step_db, 2.0F);
}

TEST(DefaultFile, RangesAreOrderedAfterReading) {
  auto lines = shipped_lines();
  lines[28] = "40";
  lines[29] = "90";
  const Reading r = read(joined(lines));
  EXPECT_EQ(r.record.defaults.zoe_max, 90.0F);
  EXPECT_EQ(r.record.defaults.zoe_min, 40.0F);
}

TEST(DefaultFile, ThicknessMayReachEightTenthsOfB) {
  EXPECT_TRUE(read_with(22, "0.2").ok);
  EXPECT_EQ(read_with(22, "0.2000001").console, rejected("Strip Thick"));
}

TEST(DefaultFile, OddModeMustStayBelowEvenMode) {
  EXPECT_EQ(read_with(32, "69.37").console, rejected("Odd-Mode:ZO"));
  EXPECT_TRUE(read_with(32, "69.36").ok);
}

TEST(DefaultFile, ReservedNamesAreRejectedExactly) {
  for (const char* name : {"Ketrovane.DEF", "Ketrovane.EXE", "Ketrovane.DEF      x"}) {
    const Reading r = read_with(33, name);
    if (std::string_view(name).size() > 13) {
      EXPECT_TRUE(r.ok) << name;  // the 20 columns hold more than the name
    } else {
      EXPECT_EQ(r.console, rejected("Filename:FN")) << name;
    }
  }
  EXPECT_EQ(read_with(33, "Ketrovane.EXE   ").console, rejected("Filename:FN"));
  EXPECT_TRUE(read_with(33, "KETROVANE.DEF").ok);
  EXPECT_TRUE(read_with(33, " Ketrovane.DEF").ok);
  EXPECT_EQ(read_with(33, "a-rather-long-file-name.txt").record.storage_name,
            "a-rather-long-file-n");
}

TEST(DefaultFile, ExtraLinesAndWindowsLineEndsAreHarmless) {
  auto lines = shipped_lines();
  lines.push_back("not a number at all");
  EXPECT_TRUE(read(joined(lines)).ok);
  std::string crlf;
  for (const auto& l : shipped_lines()) crlf += l + "\r\n";
  const Reading r = read(crlf);
  EXPECT_TRUE(r.ok) << r.console;
  EXPECT_EQ(r.record.storage_name, "coupler.txt         ");
}

}  // namespace
}  // namespace ketrovane
