#include "calc/writers.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <vector>

#include "calc/plot.hpp"
#include "calc/touchstone.hpp"
#include "commands/number_format.hpp"

namespace ketrovane::calc {
namespace {

using namespace commands;  // NOLINT(google-build-using-namespace): the test reads the library's
                           // names

constexpr std::array kColumns = {
    Column{"w", Scale::length, "W", "", 4},
    Column{"zoe_ohm", Scale::none, "Zoe", "ohm", 3},
    Column{"loss_even_db_per", Scale::per_length, "Loss even", "", 3},
    Column{"status", Scale::none, "Status", "", 0},
};

std::string contents(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// The text a writer gives for the rows.
std::string written(Format format, LengthUnit unit, const std::vector<std::vector<Cell>>& rows,
                    const Echo& echo = {}) {
  TemporaryFile file("writer-test");
  {
    auto writer = make_writer(format, {"analyse", &echo, kColumns, unit}, file.sink());
    for (const auto& row : rows) writer->row(row);
    writer->finish();
  }
  file.sink().flush();
  return contents(file.path());
}

const std::vector<std::vector<Cell>> kRows = {
    {number_cell(0.168F), number_cell(69.298355F), number_cell(-0.0061F), text_cell("converged")},
    {Cell{}, number_cell(std::numeric_limits<float>::quiet_NaN()), number_cell(0.0F),
     text_cell("spacing_floor")},
};

TEST(Numbers, ShortestDecimalsReadBackAsTheSameFloat) {
  std::mt19937 gen(11);
  std::uniform_int_distribution<std::uint32_t> bits;
  int checked = 0;
  while (checked < 200000) {
    const std::uint32_t b = bits(gen);
    float v = 0;
    std::memcpy(&v, &b, sizeof v);
    if (!std::isfinite(v)) continue;
    const std::string text = shortest(v);
    ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
    ASSERT_EQ(std::strtof(text.c_str(), nullptr), v) << text;
    ++checked;
  }
  EXPECT_EQ(shortest(0.1F), "0.1");
  EXPECT_EQ(shortest(1.0e-5F), "0.00001");
  EXPECT_EQ(shortest(std::numeric_limits<float>::infinity()), "inf");
}

TEST(Csv, HeaderNamesFollowTheLengthUnitAndValuesAreScaled) {
  const std::vector<std::string> in = lines(written(Format::csv, kInches, kRows));
  ASSERT_EQ(in.size(), 3U);
  EXPECT_EQ(in[0], "w_in,zoe_ohm,loss_even_db_per_in,status");
  EXPECT_EQ(in[1], "0.168,69.298355,-0.0061,converged");
  EXPECT_EQ(in[2], ",,0,spacing_floor");  // what is not finite is an empty cell, as in JSON

  const std::vector<std::string> mm = lines(written(Format::csv, {"mm", 25.4}, kRows));
  EXPECT_EQ(mm[0], "w_mm,zoe_ohm,loss_even_db_per_mm,status");
  EXPECT_EQ(mm[1], shortest(static_cast<float>(0.168 * 25.4)) + ",69.298355," +
                       shortest(static_cast<float>(-0.0061F / 25.4)) + ",converged");
}

TEST(Json, ParsesBackWithInputsColumnsAndNullsForWhatIsNotANumber) {
  const Echo echo = {{"w", "100mil", "in", {{0.1F, 0.1F, 0.0F}, 1, false}},
                     {"s", "", "in", {{0.01F, 0.02F, 0.005F}, 3, true}}};
  const nlohmann::json j =
      nlohmann::json::parse(written(Format::json, {"mil", 1000.0}, kRows, echo));
  EXPECT_EQ(j["program"], "ketrovane-calc");
  EXPECT_EQ(j["command"], "analyse");
  EXPECT_EQ(j["length_unit"], "mil");
  EXPECT_EQ(j["inputs"]["w"]["given"], "100mil");
  EXPECT_EQ(j["inputs"]["w"]["value"], 0.1);
  EXPECT_TRUE(j["inputs"]["s"]["given"].is_null());
  EXPECT_EQ(j["inputs"]["s"]["step"], 0.005);
  EXPECT_EQ(j["inputs"]["s"]["rows"], 3);
  EXPECT_EQ(j["columns"], nlohmann::json({"w_mil", "zoe_ohm", "loss_even_db_per_mil", "status"}));
  ASSERT_EQ(j["rows"].size(), 2U);
  EXPECT_EQ(j["rows"][0]["w_mil"].get<double>(), std::strtod(shortest(168.0F).c_str(), nullptr));
  EXPECT_EQ(j["rows"][0]["status"], "converged");
  EXPECT_TRUE(j["rows"][1]["w_mil"].is_null());
  EXPECT_TRUE(j["rows"][1]["zoe_ohm"].is_null());
  EXPECT_EQ(j["rows"][1]["loss_even_db_per_mil"], 0);
}

TEST(Json, AnEmptyTableIsStillADocument) {
  const nlohmann::json j = nlohmann::json::parse(written(Format::json, kInches, {}));
  EXPECT_TRUE(j["rows"].empty());
}

TEST(Table, ColumnsAlignWithTheirHeadingsAndUnits) {
  const std::vector<std::string> t = lines(written(Format::table, {"mm", 25.4}, kRows));
  ASSERT_EQ(t.size(), 5U);
  EXPECT_NE(t[1].find("(mm)"), std::string::npos);
  EXPECT_NE(t[1].find("(dB/mm)"), std::string::npos);
  // Right-aligned numbers end where their headings end.
  const std::size_t zoe_end = t[0].find("Zoe") + 3;
  EXPECT_EQ(t[3].substr(zoe_end - 6, 6), "69.298");
  EXPECT_EQ(t[4].substr(zoe_end - 3, 3), "nan");
  // 4 places in inches are 3 in millimetres.
  EXPECT_NE(t[3].find(" 4.267 "), std::string::npos) << t[3];
  EXPECT_NE(t[4].find("spacing_floor"), std::string::npos);
  EXPECT_EQ(t[3].back(), 'd');  // no blanks after the last column
}

TEST(Touchstone, OptionLineAndFourMatrixRowsPerFrequency) {
  TemporaryFile file("touchstone-test");
  {
    TouchstoneLayout layout;
    layout.format = PairFormat::db;
    layout.references.fill(50.0F);
    TouchstoneWriter w(file.sink(), {"first comment", "second"}, layout);
    ScatteringMatrix m;
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) {
        m.s.at(i).at(j) = Complex{0.1F * static_cast<float>(i + 1), 0.0F};
      }
    }
    m.s[0][0] = Complex{0.0F, 0.0F};
    w.frequency(1000.0F, m);
    w.frequency(1250.5F, m);
  }
  file.sink().flush();
  const std::vector<std::string> t = lines(contents(file.path()));
  ASSERT_EQ(t.size(), 11U);
  EXPECT_EQ(t[0], "! first comment");
  EXPECT_EQ(t[2], "# MHz S DB R 50");
  EXPECT_EQ(t[3].substr(0, 5), "1000 ");
  // An exact zero is floored at 1e-10 (-200 dB); |0.2| is -13.979 dB at 0 degrees.
  EXPECT_EQ(t[3].substr(5, 9), "-200 0 -2");
  EXPECT_EQ(t[4].substr(0, 1), " ");
  EXPECT_NE(t[4].find(shortest(20.0F * std::log10(0.2F)) + " 0"), std::string::npos);
  EXPECT_EQ(t[7].substr(0, 7), "1250.5 ");
  for (std::size_t i = 3; i < t.size(); ++i) {
    std::istringstream in(t[i]);
    std::vector<double> numbers;
    for (double x = 0; in >> x;) numbers.push_back(x);
    EXPECT_EQ(numbers.size(), (i - 3) % 4 == 0 ? 9U : 8U) << t[i];
  }
}

// A matrix whose entry (i, j) is (i + j/10) in real-imaginary pairs, so that
// each position in the file names the ports it came from.
ScatteringMatrix numbered_matrix() {
  ScatteringMatrix m;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      m.s.at(i).at(j) = Complex{static_cast<float>(i + 1), static_cast<float>(j + 1)};
    }
  }
  return m;
}

std::vector<std::string> touchstone_lines(const TouchstoneLayout& layout) {
  TemporaryFile file("touchstone-layout");
  {
    TouchstoneWriter w(file.sink(), {"comment"}, layout);
    w.frequency(2000.0F, numbered_matrix());
    w.finish();
  }
  file.sink().flush();
  return lines(contents(file.path()));
}

TEST(Touchstone, VersionTwoNamesEveryKeywordAndEachPortsReference) {
  TouchstoneLayout layout;
  layout.format = PairFormat::ri;
  layout.version_2 = true;
  layout.references = {50.0F, 50.0F, 75.0F, 25.0F};
  layout.frequencies = 1;
  const std::vector<std::string> t = touchstone_lines(layout);
  ASSERT_EQ(t.size(), 13U);
  EXPECT_EQ(t[1], "[Version] 2.0");
  EXPECT_EQ(t[2], "# MHz S RI R 50");
  EXPECT_EQ(t[3], "[Number of Ports] 4");
  EXPECT_EQ(t[4], "[Number of Frequencies] 1");
  EXPECT_EQ(t[5], "[Reference]");
  EXPECT_EQ(t[6], "50 50 75 25");
  EXPECT_EQ(t[7], "[Network Data]");
  EXPECT_EQ(t[8], "2000 1 1 1 2 1 3 1 4");
  EXPECT_EQ(t[12], "[End]");
}

TEST(Touchstone, VersionOneHasNoKeywords) {
  TouchstoneLayout layout;
  layout.format = PairFormat::ri;
  layout.references.fill(50.0F);
  const std::vector<std::string> t = touchstone_lines(layout);
  ASSERT_EQ(t.size(), 6U);
  EXPECT_EQ(t[1], "# MHz S RI R 50");
  EXPECT_EQ(t[2], "2000 1 1 1 2 1 3 1 4");
  EXPECT_EQ(t[5], "  4 1 4 2 4 3 4 4");
}

TEST(Touchstone, CoupledThirdSwapsTheLastTwoRowsColumnsAndReferences) {
  TouchstoneLayout layout;
  layout.format = PairFormat::ri;
  layout.version_2 = true;
  layout.order = PortOrder::coupled_third;
  layout.references = {50.0F, 50.0F, 75.0F, 25.0F};
  layout.frequencies = 1;
  const std::vector<std::string> t = touchstone_lines(layout);
  ASSERT_EQ(t.size(), 13U);
  EXPECT_EQ(t[6], "50 50 25 75");
  EXPECT_EQ(t[8], "2000 1 1 1 2 1 4 1 3");
  EXPECT_EQ(t[9], "  2 1 2 2 2 4 2 3");
  EXPECT_EQ(t[10], "  4 1 4 2 4 4 4 3");
  EXPECT_EQ(t[11], "  3 1 3 2 3 4 3 3");
}

}  // namespace
}  // namespace ketrovane::calc
