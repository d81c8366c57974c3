// The last row of a range whose step count, formed from single-precision
// values, lands just below a whole number (14.999999 for W from 0.01 to
// 0.16 by 0.01): the 0.0001 added before truncation keeps it in every run
// that takes a range.  The ranges come from near_whole_ranges.py, which
// says in which form of the quotient each one falls short.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/memory_environment.hpp"

namespace ketrovane {
namespace {

using testing::Session;

struct Range {
  const char* min;
  const char* max;
  const char* step;
  std::size_t rows;
  const char* last;  // the varied dimension or frequency of the last row, as printed
};

// Short in the single-precision quotient of the dialogue only.
constexpr Range kWidthsShortInSingle{"0.01", "0.16", "0.01", 16, "0.16"};
// Short in both forms of the quotient.
constexpr Range kWidthsShortInBoth{"0.09", "0.24", "0.01", 16, "0.24"};
constexpr Range kSpacingsShortInBoth{"0.002", "0.030", "0.002", 15, "0.03"};
constexpr Range kFrequenciesShortInBoth{"900", "900.8", "0.2", 5, "900.8"};
// Short in both forms, but the 0.0001 reaches the whole number only in the
// impedance run's double-precision quotient: 74 rows there (the dialogue's
// single-precision count would give 73).
constexpr Range kFineStepsShortInBoth{"0.1208", "0.1281", "0.0001", 74, "0.1281"};

bool is_number(const std::string& token) {
  char* end = nullptr;
  std::strtod(token.c_str(), &end);
  return !token.empty() && *end == '\0';
}

// The tables of a report: runs of consecutive lines made of five or more
// numbers and nothing else, each line split into its numbers.
using Table = std::vector<std::vector<std::string>>;
std::vector<Table> tables_of(const std::string& report) {
  std::vector<Table> tables;
  bool in_table = false;
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::vector<std::string> numbers;
    bool all_numbers = true;
    for (std::string word; words >> word;) {
      all_numbers = all_numbers && is_number(word);
      numbers.push_back(word);
    }
    if (!all_numbers || numbers.size() < 5) {
      in_table = false;
      continue;
    }
    if (!in_table) tables.emplace_back();
    in_table = true;
    tables.back().push_back(numbers);
  }
  return tables;
}

// Runs one design stored in out.txt and returns its tables.
std::vector<Table> tables_after(const std::string& entry) {
  Session s(testing::shipped_defaults(), entry + "1\nout.txt\n3\n");
  EXPECT_EQ(s.status, 0) << s.errors.str();
  return tables_of(s.files.files["out.txt"]);
}

// Every table runs over the whole range: its row count, and the value in
// the given column of its last row.
void expect_whole_range(const std::vector<Table>& tables, std::size_t count, std::size_t column,
                        const Range& r) {
  ASSERT_EQ(tables.size(), count);
  for (const Table& table : tables) {
    ASSERT_EQ(table.size(), r.rows) << "from " << r.min << " to " << r.max << " by " << r.step;
    EXPECT_DOUBLE_EQ(std::stod(table.back().at(column)), std::stod(r.last));
  }
}

std::string lines(const Range& r) {
  return std::string(r.min) + "\n" + r.max + "\n" + r.step + "\n";
}

TEST(RangeEnd, ImpedanceAnalysisOverWidths) {
  for (const Range& r : {kWidthsShortInSingle, kWidthsShortInBoth, kFineStepsShortInBoth}) {
    // B, the range, S, T, RES, SR, Er, DLTAN and Fo.
    expect_whole_range(tables_after("1\n1\n1\n\n" + lines(r) + std::string(7, '\n')), 1, 0, r);
  }
}

TEST(RangeEnd, ImpedanceAnalysisOverSpacings) {
  for (const Range& r : {kSpacingsShortInBoth, kFineStepsShortInBoth}) {
    // B, W, the range, T, RES, SR, Er, DLTAN and Fo.
    expect_whole_range(tables_after("1\n1\n2\n\n\n" + lines(r) + std::string(6, '\n')), 1, 0, r);
  }
}

// Both modes: the even- and the odd-mode table each cover the whole range.
TEST(RangeEnd, SensitivityAnalysisOverWidthsInBothModes) {
  for (const Range& r : {kWidthsShortInSingle, kWidthsShortInBoth}) {
    // B, the range, S, T and Er.
    expect_whole_range(tables_after("1\n3\n1\n3\n\n" + lines(r) + "\n\n\n"), 2, 0, r);
  }
}

TEST(RangeEnd, SensitivityAnalysisOverSpacingsInBothModes) {
  // B, W, T, the range and Er.
  expect_whole_range(tables_after("1\n3\n2\n3\n\n\n\n" + lines(kSpacingsShortInBoth) + "\n"), 2, 1,
                     kSpacingsShortInBoth);
}

TEST(RangeEnd, FrequencyAnalysis) {
  // Zo, Co, Er, the length mode, the range, Fo, Rs, Rl and the print format.
  expect_whole_range(
      tables_after("1\n2\n1\n\n\n\n\n" + lines(kFrequenciesShortInBoth) + "\n\n\n\n"), 1, 0,
      kFrequenciesShortInBoth);
}

}  // namespace
}  // namespace ketrovane
