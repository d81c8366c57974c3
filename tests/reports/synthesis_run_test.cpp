// Synthesis run: which rows a range prints and how its table ends.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/memory_environment.hpp"

namespace ketrovane {
namespace {

using testing::Session;

const std::string kRule = std::string(6, ' ') + std::string(72, '-');

// Design entry of a synthesis over coupling levels on the shipped B and Er,
// with strips 0.0028" thick, stored in out.txt.  A level outside 6 to 20 dB
// draws a warning whose reply 0 keeps the value.
std::string over_levels(const std::string& strongest, const std::string& weakest,
                        const std::string& step) {
  auto level = [](const std::string& db) {
    const double value = std::stod(db);
    return db + "\n" + (value < 6 || value > 20 ? "0\n" : "");
  };
  return "2\n1\n\n.0028\n\n\n" + level(strongest) + level(weakest) + step + "\n1\nout.txt\n\n";
}

// Design entry of a synthesis over even-mode impedances for Zo = 45 ohms.
std::string over_impedances(const std::string& zoemax, const std::string& zoemin,
                            const std::string& step) {
  return "2\n2\n\n\n\n45\n" + zoemax + "\n" + zoemin + "\n" + step + "\n1\nout.txt\n\n";
}

// The table rows of a text: 74 columns of numbers led by 10 blanks.
std::vector<std::string> rows(const std::string& text) {
  std::vector<std::string> found;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() != 74 || !line.starts_with(std::string(10, ' '))) continue;
    if (line.find('.') != std::string::npos &&
        line.find_first_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ") ==
            std::string::npos)
      found.push_back(line);
  }
  return found;
}

// The coupling column of a row.
std::string level(const std::string& row) {
  return row.substr(65);
}

bool ends_with_rule(const std::string& stored) {
  return stored.ends_with(kRule + "\n");
}

// The storage file ends with the "stored in" line after the table.
std::string table_of(const std::string& stored) {
  return stored.substr(0, stored.rfind("      Output Data stored"));
}

TEST(SynthesisRun, LevelsRunFromTheWeakestToTheFirstAtOrBelowTheStrongest) {
  Session s(testing::shipped_defaults(), over_levels("3", "20", "1"));
  const std::vector<std::string> printed = rows(s.out());
  ASSERT_EQ(printed.size(), 18U);
  EXPECT_EQ(level(printed.front()), "  -20.000");
  EXPECT_EQ(level(printed.back()), "   -3.000");
  EXPECT_TRUE(ends_with_rule(table_of(s.files.files["out.txt"])));
}

TEST(SynthesisRun, AStrongestLevelBeyondTheWeakestGivesOneRow) {
  Session s(testing::shipped_defaults(), over_levels("12", "10", "1"));
  const std::vector<std::string> printed = rows(s.out());
  ASSERT_EQ(printed.size(), 1U);
  EXPECT_EQ(level(printed.front()), "  -10.000");
}

TEST(SynthesisRun, AStepPastZeroDecibelsEndsWithoutTheClosingRuleInTheFile) {
  Session s(testing::shipped_defaults(), over_levels("1", "10", "6"));
  const std::vector<std::string> printed = rows(s.out());
  ASSERT_EQ(printed.size(), 2U);
  EXPECT_EQ(level(printed.back()), "   -4.000");
  const std::string stored = table_of(s.files.files["out.txt"]);
  EXPECT_FALSE(ends_with_rule(stored));
  EXPECT_TRUE(stored.ends_with(printed.back() + "\n"));
  EXPECT_NE(s.out().find(printed.back() + "\n" + kRule + "\n"), std::string::npos);
}

TEST(SynthesisRun, AStepTooSmallToMoveTheLevelEndsAfterOneRow) {
  Session levels(testing::shipped_defaults(), over_levels("10", "20", "1e-7"));
  EXPECT_EQ(rows(levels.out()).size(), 1U);
  EXPECT_FALSE(ends_with_rule(table_of(levels.files.files["out.txt"])));
  Session impedances(testing::shipped_defaults(), over_impedances("80", "60", "1e-6"));
  EXPECT_EQ(rows(impedances.out()).size(), 1U);
  EXPECT_FALSE(ends_with_rule(table_of(impedances.files.files["out.txt"])));
}

TEST(SynthesisRun, UnrealisableTargetsStopTheTableAndStayOffTheFile) {
  // No design of the model gives 50 ohms at 0.5 dB.
  Session s(testing::shipped_defaults(), over_levels("0.5", "0.5", "1"));
  EXPECT_TRUE(rows(s.out()).empty());
  EXPECT_NE(s.out().find("                                     50.00  294.76    8.48   -0.50\n"
                         "                 ERROR DETECTED:\n"),
            std::string::npos);
  const std::string stored = table_of(s.files.files["out.txt"]);
  EXPECT_EQ(stored.find("ERROR"), std::string::npos);
  EXPECT_TRUE(ends_with_rule(stored));
}

// The re-analysis lines of diagnostic mode.
std::vector<std::string> analysis_lines(const std::string& text) {
  std::vector<std::string> found;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("       Analysis ")) found.push_back(line);
  }
  return found;
}

TEST(SynthesisRun, DiagnosticModeAddsAnalysisLinesAndChangesNoRow) {
  const std::string b_t_er = "\n.0014\n2.2\n";  // the shipped B, T and Er
  const std::string plain = "2\n2\n" + b_t_er + "50\n80\n60\n5\n\n\n";
  const std::string diagnostic = "2\n2\n" + b_t_er + "50\n80\n60\n5\n-473\n\n\n";
  Session without(testing::shipped_defaults(), plain);
  Session with(testing::shipped_defaults(), diagnostic);
  const std::vector<std::string> rows_without = rows(without.out());
  ASSERT_EQ(rows_without.size(), 5U);
  EXPECT_NE(rows_without.front().find(" 60.000 "), std::string::npos);
  EXPECT_NE(rows_without.back().find(" 80.000 "), std::string::npos);
  EXPECT_EQ(rows(with.out()), rows_without);
  EXPECT_EQ(analysis_lines(with.out()).size(), 5U);
  EXPECT_TRUE(analysis_lines(without.out()).empty());
}

}  // namespace
}  // namespace ketrovane
