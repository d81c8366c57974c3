// What a report shows comes from its own pass: the dialogue asks again, or
// the run sets, every value a report prints, so nothing an earlier pass left
// in the design shows through.
#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/memory_environment.hpp"

namespace ketrovane {
namespace {

using testing::Session;

struct Design {
  const char* name;
  const char* function;  // reply to the function menu
  const char* entry;     // from the option menu to the last datum
};

// One design of every function, option and suboption, each with data of
// its own; where a design takes a default (the materials and the loss
// tangent of the impedance analysis over spacings), others enter another
// value.
constexpr std::array kDesigns = std::to_array<Design>({
    {"ImpedanceOverWidths", "1\n", "1\n1\n.3\n.05\n.09\n.02\n.02\n.005\n1\n1\n3\n.002\n3000\n"},
    {"ImpedanceOverSpacings", "1\n", "1\n2\n.2\n.15\n.01\n.03\n.01\n.003\n\n\n2.5\n\n1500\n"},
    {"FrequencyFromDimensions", "1\n",
     "2\n2\n1\n.35\n.2\n.03\n.012\n3\n4\n2.7\n.0015\n1.5\n800\n1200\n200\n40\n60\n2\n"},
    {"FrequencyFromZoAndCoupling", "1\n",
     "2\n1\n60\n15\n3\n2\n1000\n3000\n1000\n2000\n45\n55\n1\n"},
    {"SensitivityOverSpacingsBothModes", "1\n", "3\n2\n3\n.4\n.25\n.02\n.02\n.06\n.02\n2.4\n"},
    {"SensitivityOverWidthsOddMode", "1\n", "3\n1\n2\n.22\n.1\n.2\n.05\n.045\n.007\n3.2\n"},
    {"SynthesisOverCouplingLevels", "2\n", "1\n.28\n.0028\n2.1\n40\n10\n12\n1\n"},
    {"SynthesisOverEvenModeImpedances", "2\n", "2\n.3\n.005\n2.3\n55\n100\n60\n20\n"},
});

void PrintTo(const Design& d, std::ostream* os) {
  *os << d.name;
}

std::string stored_in(const std::string& name) {
  return "1\n" + name + "\n";
}

// The report of `later`, stored in later.txt, when it is the first design
// of a run.
std::string report_alone(const Design& later) {
  Session s(testing::shipped_defaults(),
            std::string(later.function) + later.entry + stored_in("later.txt") + "3\n");
  EXPECT_EQ(s.status, 0) << s.errors.str();
  return s.files.files["later.txt"];
}

// The same after `earlier`: a new option when both are of one function,
// else a new coupler.
std::string report_after(const Design& earlier, const Design& later) {
  const bool same_function = std::string(earlier.function) == later.function;
  const std::string next = same_function ? "1\n" : std::string("2\n") + later.function;
  Session s(testing::shipped_defaults(), std::string(earlier.function) + earlier.entry +
                                             stored_in("earlier.txt") + next + later.entry +
                                             stored_in("later.txt") + "3\n");
  EXPECT_EQ(s.status, 0) << s.errors.str();
  EXPECT_FALSE(s.files.files["earlier.txt"].empty());
  return s.files.files["later.txt"];
}

class AfterAnEarlierPass : public ::testing::TestWithParam<Design> {};

TEST_P(AfterAnEarlierPass, ReportIsTheOneItsOwnDataGive) {
  const Design& later = GetParam();
  const std::string alone = report_alone(later);
  ASSERT_FALSE(alone.empty());
  for (const Design& earlier : kDesigns) {
    EXPECT_EQ(report_after(earlier, later), alone) << "after " << earlier.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Designs, AfterAnEarlierPass, ::testing::ValuesIn(kDesigns),
                         [](const ::testing::TestParamInfo<Design>& info) {
                           return std::string(info.param.name);
                         });

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A frequency analysis from Zo and coupling knows no dimensions and no
// materials: after one from dimensions (copper, 20 micro-inch roughness,
// DLTAN 0.0009, B 0.25, T 0.01, S 0.04, W 0.2) its header shows zeros for
// all of them, and its coupler is lossless.
TEST(FrequencyFromZoAndCoupling, ShowsZerosForTheDimensionsOfAnEarlierPass) {
  const std::string dimensions =
      "1\n2\n2\n1\n.25\n.2\n.04\n.01\n2\n1\n2.2\n.0009\n2\n900\n1100\n100\n\n\n1\n";
  const std::string from_zo = "2\n1\n50\n10\n2.2\n2\n900\n1100\n100\n1000\n\n\n1\n";
  Session s(testing::shipped_defaults(),
            dimensions + stored_in("dims.txt") + "1\n" + from_zo + stored_in("zo.txt") + "3\n");
  ASSERT_EQ(s.status, 0);
  const std::vector<std::string> dims = lines_of(s.files.files["dims.txt"]);
  const std::vector<std::string> zo = lines_of(s.files.files["zo.txt"]);
  ASSERT_GT(dims.size(), 20U);
  ASSERT_GT(zo.size(), 20U);
  // The earlier header, which the later one must not repeat.
  EXPECT_EQ(dims[6], "          Zoe = 54.217 Ohms      Frequency Analysis         RES = 1.7000");
  EXPECT_EQ(dims[7], "          Zoo = 36.738 Ohms     ====================        SR  = 20.00u\"");
  EXPECT_EQ(dims[8], "          Zo  = 44.630 Ohms         (Option 2.1)            B   = 0.2500\"");
  EXPECT_EQ(dims[9], "          Rl  = 50.00 Ohms                                  T   = 0.01000\"");
  EXPECT_EQ(dims[10],
            "          Rs  = 50.00 Ohms           Er =  2.20             S   = 0.04000\"");
  EXPECT_EQ(dims[11],
            "          Co  =-14.33 dB          DLTAN = 0.00090           W   = 0.20000\"");

  EXPECT_EQ(zo[6], "          Zoe = 69.371 Ohms      Frequency Analysis         RES = 0.0000");
  EXPECT_EQ(zo[7], "          Zoo = 36.038 Ohms     ====================        SR  =  0.00u\"");
  EXPECT_EQ(zo[8], "          Zo  = 50.000 Ohms         (Option 2.2)            B   = 0.0000\"");
  EXPECT_EQ(zo[9], "          Rl  = 50.00 Ohms                                  T   = 0.00000\"");
  EXPECT_EQ(zo[10], "          Rs  = 50.00 Ohms           Er =  2.20             S   = 0.00000\"");
  EXPECT_EQ(zo[11], "          Co  =-10.00 dB          DLTAN = 0.00000           W   = 0.00000\"");
  EXPECT_EQ(zo[12], "          Fo  =  1000.000 MHz                          Length   = 1.9894\"");
}

}  // namespace
}  // namespace ketrovane
