// Each batch command against the interactive program's report for the same
// inputs: the interactive program runs with a scripted dialogue, and every
// row of its table must be the batch command's CSV row rendered with the
// report's own row layout (src/text), to every printed digit; a synthesis,
// which the batch command finishes further, to the tolerance of its case.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "calc_runner.hpp"
#include "e2e/program_runner.hpp"
#include "text/layout.hpp"

namespace ketrovane::calc_test {
namespace {

using Args = std::vector<std::string>;
using Names = std::vector<std::string>;

// The row layouts of the interactive reports (src/reports).
constexpr const char* kImpedanceRow = "(9X,F8.4,F7.3,F8.3,2(F8.3),F9.3,F8.3,F8.3)";
constexpr const char* kSynthesisRow = "(10X,2(F8.4,F7.3),2X,F6.2,F9.3,F8.3,F9.3)";
constexpr const char* kSensitivityRow = "(4X,2(1X,F8.5),1X,2(1X,F7.2),2(1X,F6.3),3(1X,F7.3))";
constexpr const char* kMagnitudeRow =
    "(4X,F10.3,1X,F7.2,1X,F7.2,1X,F7.3,2X,F6.2,2(1X,F7.2), 1X,F7.3,1X,F7.2)";
constexpr const char* kVswrRow =
    "(4X,F10.3,1X,F6.3,1X,F8.3,1X,F6.1,1X,F7.3,2(1X,F7.2), 1X,F8.4,1X,F7.4)";

struct ParityCase {
  const char* name;
  const char* dialogue;       // the interactive program's standard input
  Args args;                  // the batch command, less --format
  const char* layout;         // the report's row layout
  std::vector<Names> tables;  // per report table, the CSV columns of its fields
  bool reversed = false;      // the report runs the rows the other way
  // The batch command finishes a synthesis to the model's resolution where
  // the interactive table keeps the search's design (within 0.05 % of the
  // impedances, up to about 0.2 % of W and S): the impedances within one
  // unit in their last printed place, W and S and their ratios within
  // 0.3 % more.
  bool finished = false;
};

void PrintTo(const ParityCase& c, std::ostream* os) {
  *os << c.name;
}

bool is_number(const std::string& token) {
  char* end = nullptr;
  std::strtod(token.c_str(), &end);
  return !token.empty() && *end == '\0';
}

// The table rows of a report: lines of five or more numbers and nothing else.
std::vector<std::string> report_rows(const std::string& transcript) {
  std::vector<std::string> rows;
  for (const std::string& line : lines_of(transcript)) {
    std::istringstream in(line);
    std::vector<std::string> tokens;
    for (std::string t; in >> t;) tokens.push_back(t);
    if (tokens.size() >= 5 && std::all_of(tokens.begin(), tokens.end(), is_number)) {
      rows.push_back(line);
    }
  }
  return rows;
}

std::string interactive_transcript(const ParityCase& c) {
  const e2e::TemporaryDirectory tmp;
  const fs::path work = tmp.path() / "work";
  fs::create_directory(work);
  fs::copy_file(KETROVANE_SHIPPED_DEF, work / "Ketrovane.DEF");
  e2e::write_file(tmp.path() / "input.txt", c.dialogue);
  const e2e::Outcome o = e2e::run_in(work, tmp.path() / "input.txt");
  EXPECT_EQ(o.status, 0) << o.err;
  return o.out;
}

// The CSV rows of the batch command rendered with the report's layout.
std::vector<std::string> batch_rows(const ParityCase& c) {
  const e2e::TemporaryDirectory tmp;
  Args args = c.args;
  args.insert(args.end(), {"--format", "csv"});
  const CalcOutcome o = run_calc(tmp.path(), args);
  EXPECT_EQ(o.status, 0) << o.err;
  const std::vector<std::string> lines = lines_of(o.out);
  if (lines.empty()) return {};
  std::map<std::string, std::size_t> column;
  const std::vector<std::string> header = fields_of(lines[0]);
  for (std::size_t i = 0; i < header.size(); ++i) column[header[i]] = i;

  const text::Layout layout(c.layout);
  std::vector<std::string> rendered;
  for (const Names& table : c.tables) {
    std::vector<std::string> rows;
    for (std::size_t r = 1; r < lines.size(); ++r) {
      const std::vector<std::string> fields = fields_of(lines[r]);
      std::vector<text::Value> values;
      for (const std::string& name : table) {
        EXPECT_TRUE(column.contains(name)) << name;
        values.emplace_back(std::strtof(fields.at(column[name]).c_str(), nullptr));
      }
      std::string line;
      layout.render(line, values);
      while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
      rows.push_back(line);
    }
    if (c.reversed) std::reverse(rows.begin(), rows.end());
    rendered.insert(rendered.end(), rows.begin(), rows.end());
  }
  return rendered;
}

class Parity : public ::testing::TestWithParam<ParityCase> {};

std::vector<std::string> tokens_of(const std::string& row) {
  std::istringstream in(row);
  std::vector<std::string> tokens;
  for (std::string t; in >> t;) tokens.push_back(t);
  return tokens;
}

// Every number of `got` within one unit in the last printed place of the
// same number of `expected`, the first `dimensions` within 0.3 % more.
void expect_within_last_place(const std::string& got, const std::string& expected,
                              std::size_t dimensions) {
  const std::vector<std::string> g = tokens_of(got);
  const std::vector<std::string> e = tokens_of(expected);
  ASSERT_EQ(g.size(), e.size()) << got << "\n" << expected;
  for (std::size_t i = 0; i < e.size(); ++i) {
    const std::size_t point = e[i].find('.');
    const auto places = point == std::string::npos ? 0 : e[i].size() - point - 1;
    const double value = std::strtod(e[i].c_str(), nullptr);
    const double slack = i < dimensions ? 0.003 * std::fabs(value) : 0.0;
    const double unit = std::pow(10.0, -static_cast<double>(places));
    EXPECT_LE(std::fabs(std::strtod(g[i].c_str(), nullptr) - value), 1.0001 * unit + slack)
        << got << "\n"
        << expected;
  }
}

TEST_P(Parity, EveryRowPrintsAsTheInteractiveReport) {
  const ParityCase& c = GetParam();
  const std::vector<std::string> expected = report_rows(interactive_transcript(c));
  const std::vector<std::string> got = batch_rows(c);
  ASSERT_FALSE(expected.empty());
  if (!c.finished) {
    EXPECT_EQ(got, expected);
    return;
  }
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t r = 0; r < got.size(); ++r) expect_within_last_place(got[r], expected[r], 4);
}

const Names kImpedanceOverWidths = {"w_in",
                                    "w_over_b",
                                    "zo_ohm",
                                    "zoe_ohm",
                                    "zoo_ohm",
                                    "coupling_db",
                                    "loss_even_db_per_in",
                                    "loss_odd_db_per_in"};
const Names kImpedanceOverSpacings = {"s_in",
                                      "s_over_b",
                                      "zo_ohm",
                                      "zoe_ohm",
                                      "zoo_ohm",
                                      "coupling_db",
                                      "loss_even_db_per_in",
                                      "loss_odd_db_per_in"};
const Names kSynthesis = {"w_in",   "w_over_b", "s_in",    "s_over_b",
                          "zo_ohm", "zoe_ohm",  "zoo_ohm", "coupling_db"};
const Names kEvenSensitivity = {"w_in",   "s_in",   "zoe_ohm", "zoo_ohm", "szoe_er",
                                "szoe_b", "szoe_s", "szoe_w",  "szoe_t"};
const Names kOddSensitivity = {"w_in",   "s_in",   "zoe_ohm", "zoo_ohm", "szoo_er",
                               "szoo_b", "szoo_s", "szoo_w",  "szoo_t"};
const Names kMagnitudeAndPhase = {"f_mhz",  "s11_db",  "s11_deg", "s41_db", "s41_deg",
                                  "s31_db", "s31_deg", "s21_db",  "s21_deg"};
// The report folds |coupled - through| into [0, 180) where the batch gives
// arg(S41/S21) with its sign; the two agree where, as in the case below, the
// coupled wave leads by less than a half turn and neither phase crosses the
// +-180 cut.  The report's "I2R loss" is the batch's power leaving the four
// ports, its "Tot loss" the power reaching the thru and coupled ports.
const Names kVswrAndLosses = {"f_mhz",
                              "vswr",
                              "s41_db",
                              "s31_db",
                              "s21_db",
                              "phase_difference_deg",
                              "phase_error_deg",
                              "loss_dissipated_db",
                              "thru_and_coupled_db"};

const ParityCase kCases[] = {
    {"ImpedanceOverWidthsGoldTenMicroInchAt2500MHz",
     "1\n1\n1\n0.3\n0.05\n0.25\n0.025\n0.02\n0.002\n3\n2\n3.0\n0.002\n2500\n\n\n",
     {"analyse", "--b", "0.3", "--t", "0.002", "--er", "3", "--w", "0.05:0.25:0.025", "--s", "0.02",
      "--rho", "gold", "--roughness", "10uin", "--tand", "0.002", "--f", "2.5GHz"},
     kImpedanceRow,
     {kImpedanceOverWidths}},
    {"ImpedanceOverSpacingsSilverOneMicroInchInMils",
     "1\n1\n2\n0.25\n0.168\n0.005\n0.1\n0.005\n0.0014\n1\n4\n2.2\n0.0009\n1000\n\n\n",
     {"analyse", "--b", "250mil", "--t", "1.4mil", "--er", "2.2", "--w", "0.168", "--s",
      "0.005:0.1:0.005", "--rho", "silver", "--roughness", "1uin"},
     kImpedanceRow,
     {kImpedanceOverSpacings}},
    {"ImpedanceLossless",
     "1\n1\n1\n0.25\n0.1\n0.2\n0.02\n0.011\n0.0014\n6\n5\n2.2\n0.0009\n1000\n\n\n",
     {"analyse", "--b", "0.25", "--t", "0.0014", "--er", "2.2", "--w", "0.1:0.2:0.02", "--s",
      "0.011", "--rho", "lossless", "--roughness", "0"},
     kImpedanceRow,
     {kImpedanceOverWidths}},
    {"SynthesisOverCouplingLevels",
     "2\n1\n0.25\n0.0014\n2.2\n50\n6\n20\n1\n\n\n",
     {"synthesise", "--b", "0.25", "--t", "0.0014", "--er", "2.2", "--zo", "50", "--coupling",
      "6:20:1"},
     kSynthesisRow,
     {kSynthesis},
     true,
     true},
    {"SynthesisOverNegativeCouplingLevelsThickStrips",
     "2\n1\n0.25\n0.04\n2.2\n50\n6\n20\n2\n\n\n",
     {"synthesise", "--b", "0.25", "--t", "0.04", "--er", "2.2", "--zo", "50", "--coupling",
      "-20:-6:2"},
     kSynthesisRow,
     {kSynthesis},
     false,
     true},
    {"SensitivityOverWidthsBothModes",
     "1\n3\n1\n3\n0.3\n0.05\n0.25\n0.025\n0.02\n0.002\n3.0\n\n\n",
     {"sensitivity", "--b", "0.3", "--t", "0.002", "--er", "3", "--w", "0.05:0.25:0.025", "--s",
      "0.02"},
     kSensitivityRow,
     {kEvenSensitivity, kOddSensitivity}},
    {"ResponseFromZoAndCoupling",
     "1\n2\n1\n50\n10\n2.2\n2\n500\n1500\n50\n1000\n\n\n\n\n\n",
     {"response", "--zo", "50", "--coupling", "10", "--er", "2.2", "--f0", "1000", "--f",
      "500:1500:50"},
     kMagnitudeRow,
     {kMagnitudeAndPhase}},
    {"ResponseFromDimensionsMagnitudeAndPhase",
     "1\n2\n2\n1\n0.25\n0.168\n0.011\n0.0014\n4\n1\n2.2\n0.0009\n1."
     "9894\n700\n1300\n25\n40\n60\n1\n\n\n",
     {"response", "--b", "0.25",        "--t",   "0.0014",    "--er",        "2.2",   "--w",
      "0.168",    "--s", "0.011",       "--rho", "aluminium", "--roughness", "20uin", "--length",
      "1.9894",   "--f", "700:1300:25", "--rs",  "40",        "--rl",        "60"},
     kMagnitudeRow,
     {kMagnitudeAndPhase}},
    {"ResponseFromDimensionsVswrAndLosses",
     "1\n2\n2\n1\n0.25\n0.168\n0.011\n0.0014\n5\n2\n2.2\n0.0009\n1."
     "9894\n700\n1300\n25\n\n\n2\n\n\n",
     {"response", "--b", "0.25", "--t", "0.0014", "--er", "2.2", "--w", "0.168", "--s", "0.011",
      "--rho", "brass", "--roughness", "10uin", "--length", "1.9894", "--f", "700MHz:1.3GHz:25MHz"},
     kVswrRow,
     {kVswrAndLosses}},
};

INSTANTIATE_TEST_SUITE_P(Reports, Parity, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ParityCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace ketrovane::calc_test
