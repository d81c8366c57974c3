// Impedance model: worked values of every regime, continuity across the band
// edges and in thickness, and the invariants of Cohn's capacitance split.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "model/stripline_model.hpp"

namespace ketrovane {
namespace {

// Tolerances of the worked values: one unit in the last printed digit.
constexpr float kOhms = 0.01F;
constexpr float kCapacitance = 0.0002F;

struct Regime {
  std::string name;
  float s, t, w;
  float zoe, zoo, cf, cfe, cfo, cp;
};

void PrintTo(const Regime& r, std::ostream* os) {
  *os << r.name;
}

class WorkedRegime : public testing::TestWithParam<Regime> {};

TEST_P(WorkedRegime, MatchesHandValues) {
  const Regime& r = GetParam();
  const ModeImpedances m =
      mode_impedances({.board = {.b = 0.25F, .t = r.t, .er = 2.2F}, .w = r.w, .s = r.s});
  EXPECT_NEAR(m.zoe, r.zoe, kOhms);
  EXPECT_NEAR(m.zoo, r.zoo, kOhms);
  EXPECT_NEAR(m.capacitances.outer_fringing, r.cf, kCapacitance);
  EXPECT_NEAR(m.capacitances.inner_fringing_even, r.cfe, kCapacitance);
  EXPECT_NEAR(m.capacitances.inner_fringing_odd, r.cfo, kCapacitance);
  EXPECT_NEAR(m.capacitances.parallel_plate, r.cp, kCapacitance);
  EXPECT_NEAR(m.capacitances.parallel_plate, r.cp, kCapacitance);
  EXPECT_FALSE(m.zero_thickness_abandoned);
}

// b = 0.25, er = 2.2.
INSTANTIATE_TEST_SUITE_P(
    Regimes, WorkedRegime,
    testing::Values(
        Regime{"ZeroThickness", 0.04F, 0.0F, 0.2F, 58.22F, 41.35F, 0.4413F, 0.1399F, 1.0298F, 1.6F},
        Regime{"ThinStripBlend", 0.04F, 0.0025F, 0.2F, 57.69F, 40.84F, 0.4615F, 0.1239F, 1.0322F,
               1.6162F},
        Regime{"Band1", 0.002F, 0.01F, 0.2F, 58.23F, 12.72F, 0.5060F, 0.0083F, 7.8102F, 1.6667F},
        Regime{"Bands1And2", 0.0075F, 0.01F, 0.2F, 57.37F, 23.07F, 0.5060F, 0.0408F, 3.3311F,
               1.6667F},
        Regime{"Band2", 0.04F, 0.01F, 0.2F, 54.22F, 36.74F, 0.5060F, 0.1697F, 1.2841F, 1.6667F},
        Regime{"Bands2And3", 0.06F, 0.01F, 0.2F, 53.13F, 39.75F, 0.5060F, 0.2175F, 1.0219F,
               1.6667F},
        Regime{"Band3", 0.15F, 0.01F, 0.2F, 49.34F, 45.32F, 0.5060F, 0.4013F, 0.6297F, 1.6667F},
        Regime{"Bands3And4", 0.37F, 0.01F, 0.2F, 47.62F, 47.38F, 0.5060F, 0.4941F, 0.5074F,
               1.6667F},
        Regime{"Band4", 0.5F, 0.01F, 0.2F, 47.52F, 47.39F, 0.5060F, 0.4996F, 0.5070F, 1.6667F},
        Regime{"ThickStripsBand2", 0.04F, 0.05F, 0.2F, 43.30F, 25.91F, 0.6911F, 0.2418F, 2.2111F,
               2.0F}),
    [](const testing::TestParamInfo<Regime>& info) { return info.param.name; });

// Two evaluations agree within 0.01 % in every impedance and capacitance.
void expect_close(const ModeImpedances& a, const ModeImpedances& b, const std::string& where) {
  SCOPED_TRACE(where);
  constexpr float kRelative = 1e-4F;
  EXPECT_NEAR(a.zoe, b.zoe, kRelative * b.zoe);
  EXPECT_NEAR(a.zoo, b.zoo, kRelative * b.zoo);
  EXPECT_NEAR(a.capacitances.inner_fringing_even, b.capacitances.inner_fringing_even,
              kRelative * b.capacitances.inner_fringing_odd);
  EXPECT_NEAR(a.capacitances.inner_fringing_odd, b.capacitances.inner_fringing_odd,
              kRelative * b.capacitances.inner_fringing_odd);
}

// Edges of the gap bands in s/b.  With b = 1 the spacing is s/b itself.
TEST(ImpedanceModel, ContinuousAcrossEveryBandEdge) {
  for (const float tb : {0.01F, 0.025F, 0.05F, 0.2F, 0.5F}) {
    for (const float edge : {0.01F, 0.05F, 0.2F, 0.25F, 1.45F, 1.5F}) {
      const ModeImpedances at =
          mode_impedances({.board = {.b = 1.0F, .t = tb, .er = 2.2F}, .w = 0.8F, .s = edge});
      const std::string where = "t/b " + std::to_string(tb) + ", s/b " + std::to_string(edge);
      expect_close(
          mode_impedances(
              {.board = {.b = 1.0F, .t = tb, .er = 2.2F}, .w = 0.8F, .s = edge * (1.0F - 1e-5F)}),
          at, where + " below");
      expect_close(
          mode_impedances(
              {.board = {.b = 1.0F, .t = tb, .er = 2.2F}, .w = 0.8F, .s = edge * (1.0F + 1e-5F)}),
          at, where + " above");
    }
  }
}

// At 0.01, 0.2 and 1.45 the blend weight is 0: the value is the limit from
// below to within rounding, not a step towards the upper band.
TEST(ImpedanceModel, LowerBandAtTheStartOfEachBlend) {
  for (const float edge : {0.01F, 0.2F, 1.45F}) {
    const ModeImpedances at =
        mode_impedances({.board = {.b = 1.0F, .t = 0.3F, .er = 1.0F}, .w = 0.5F, .s = edge});
    const ModeImpedances below = mode_impedances(
        {.board = {.b = 1.0F, .t = 0.3F, .er = 1.0F}, .w = 0.5F, .s = std::nextafter(edge, 0.0F)});
    EXPECT_NEAR(at.capacitances.inner_fringing_odd, below.capacitances.inner_fringing_odd,
                1e-5F * at.capacitances.inner_fringing_odd)
        << "s/b " << edge;
    EXPECT_NEAR(at.capacitances.inner_fringing_even, below.capacitances.inner_fringing_even,
                1e-5F * at.capacitances.inner_fringing_odd)
        << "s/b " << edge;
  }
}

TEST(ImpedanceModel, ContinuousInThicknessAtZeroAndAtTheThinStripLimit) {
  for (const float s : {0.005F, 0.03F, 0.16F, 0.6F, 2.0F}) {
    const std::string where = "s/b " + std::to_string(s);
    expect_close(mode_impedances({.board = {.b = 1.0F, .t = 1e-7F, .er = 2.2F}, .w = 0.8F, .s = s}),
                 mode_impedances({.board = {.b = 1.0F, .t = 0.0F, .er = 2.2F}, .w = 0.8F, .s = s}),
                 where + ", t/b to 0");
    const ModeImpedances at =
        mode_impedances({.board = {.b = 1.0F, .t = 0.025F, .er = 2.2F}, .w = 0.8F, .s = s});
    expect_close(
        mode_impedances(
            {.board = {.b = 1.0F, .t = 0.025F * (1.0F - 1e-6F), .er = 2.2F}, .w = 0.8F, .s = s}),
        at, where + " below");
    expect_close(
        mode_impedances(
            {.board = {.b = 1.0F, .t = 0.025F * (1.0F + 1e-6F), .er = 2.2F}, .w = 0.8F, .s = s}),
        at, where + " above");
  }
}

TEST(ImpedanceModel, WideGapsDecoupleTheModes) {
  for (const float t : {0.0F, 0.01F, 0.025F, 0.1F, 0.5F}) {
    const ModeImpedances m =
        mode_impedances({.board = {.b = 1.0F, .t = t, .er = 1.0F}, .w = 0.5F, .s = 100.0F});
    EXPECT_NEAR(m.zoo, m.zoe, 1e-4F * m.zoe) << "t/b " << t;
    // The thick-strip fits tend to the isolated strip's outer fringing.
    if (t >= 0.025F) {
      EXPECT_NEAR(m.capacitances.inner_fringing_even, m.capacitances.outer_fringing,
                  1e-3F * m.capacitances.outer_fringing)
          << "t/b " << t;
      EXPECT_NEAR(m.capacitances.inner_fringing_odd, m.capacitances.outer_fringing,
                  1e-3F * m.capacitances.outer_fringing)
          << "t/b " << t;
    }
  }
}

// Strips several times wider than b: tanh rounds to 1, the zero-thickness
// solution is abandoned and the thick-strip fits alone give the inner
// fringing, which then depends only on s/b and t/b, not on the width.
TEST(ImpedanceModel, VeryWideStripsUseTheThickStripFitsAlone) {
  for (const float t : {0.0F, 0.01F}) {
    const ModeImpedances wide =
        mode_impedances({.board = {.b = 1.0F, .t = t, .er = 1.0F}, .w = 7.0F, .s = 0.1F});
    const ModeImpedances wider =
        mode_impedances({.board = {.b = 1.0F, .t = t, .er = 1.0F}, .w = 12.0F, .s = 0.1F});
    ASSERT_TRUE(wide.zero_thickness_abandoned);
    ASSERT_TRUE(wider.zero_thickness_abandoned);
    EXPECT_EQ(wide.capacitances.inner_fringing_even, wider.capacitances.inner_fringing_even);
    EXPECT_EQ(wide.capacitances.inner_fringing_odd, wider.capacitances.inner_fringing_odd);
    EXPECT_LT(wide.zoo, wide.zoe);
    EXPECT_GT(wide.zoo, 0.0F);
  }
  // The recomputed even-mode modulus can round to 1 while the first one did
  // not; Zoe must not collapse to 0.
  const ModeImpedances m = mode_impedances(
      {.board = {.b = 1.0F, .t = 0.0F, .er = 1.0F}, .w = 5.0996995F, .s = 0.5037758F});
  EXPECT_TRUE(m.zero_thickness_abandoned);
  EXPECT_GT(m.zoe, m.zoo);
  EXPECT_TRUE(std::isfinite(m.capacitances.inner_fringing_even));
}

// first, first * ratio, ... up to below end, each one multiplication on.
std::vector<float> geometric_steps(float first, float ratio, float end) {
  std::vector<float> steps{first};
  while (steps.back() * ratio < end) steps.push_back(steps.back() * ratio);
  return steps;
}

// Over a grid of every band and thickness regime, the even mode never has
// more inner fringing than the odd one and both strips have the same plate.
TEST(ImpedanceModel, CapacitanceSplitInvariants) {
  for (const float w : geometric_steps(0.01F, 1.7F, 12.0F)) {
    for (const float s : geometric_steps(0.001F, 1.3F, 5.0F)) {
      for (const float t : {0.0F, 0.001F, 0.0249F, 0.025F, 0.1F, 0.5F, 0.8F}) {
        const ModeImpedances m =
            mode_impedances({.board = {.b = 1.0F, .t = t, .er = 3.0F}, .w = w, .s = s});
        ASSERT_LE(m.capacitances.inner_fringing_even, m.capacitances.inner_fringing_odd)
            << "w " << w << " s " << s << " t " << t;
        ASSERT_EQ(m.capacitances.parallel_plate, m.capacitances.parallel_plate);
        ASSERT_GE(m.zoe, m.zoo) << "w " << w << " s " << s << " t " << t;
      }
    }
  }
  // Zero thickness, gap so wide that tanh(pi (w+s)/2b) rounds to 1.
  const ModeImpedances m = mode_impedances(
      {.board = {.b = 1.0F, .t = 0.0F, .er = 1.0F}, .w = 0.56124336F, .s = 5.2185278F});
  EXPECT_LE(m.capacitances.inner_fringing_even, m.capacitances.inner_fringing_odd);
  EXPECT_GE(m.zoe, m.zoo);
}

// The capacitances are those of the geometry; the medium scales only the
// impedances, by 1/sqrt(er).
TEST(ImpedanceModel, PermittivityScalesImpedancesOnly) {
  for (const float t : {0.0F, 0.0025F, 0.05F}) {
    for (const float s : {0.002F, 0.04F, 0.1F, 0.37F, 0.5F}) {
      const ModeImpedances air =
          mode_impedances({.board = {.b = 0.25F, .t = t, .er = 1.0F}, .w = 0.2F, .s = s});
      const ModeImpedances dielectric =
          mode_impedances({.board = {.b = 0.25F, .t = t, .er = 2.2F}, .w = 0.2F, .s = s});
      const float scale = 1.0F / std::sqrt(2.2F);
      EXPECT_NEAR(dielectric.zoe, air.zoe * scale, 1e-6F * air.zoe);
      EXPECT_NEAR(dielectric.zoo, air.zoo * scale, 1e-6F * air.zoo);
      EXPECT_NEAR(dielectric.capacitances.inner_fringing_even, air.capacitances.inner_fringing_even,
                  1e-5F);
      EXPECT_NEAR(dielectric.capacitances.inner_fringing_odd, air.capacitances.inner_fringing_odd,
                  1e-5F);
      EXPECT_EQ(dielectric.capacitances.outer_fringing, air.capacitances.outer_fringing);
      EXPECT_EQ(dielectric.capacitances.parallel_plate, air.capacitances.parallel_plate);
    }
  }
}

// Only ratios to b matter: scaling every length leaves everything unchanged.
TEST(ImpedanceModel, DependsOnlyOnRatiosToB) {
  const ModeImpedances inches =
      mode_impedances({.board = {.b = 0.25F, .t = 0.01F, .er = 2.2F}, .w = 0.2F, .s = 0.04F});
  const ModeImpedances quarters =
      mode_impedances({.board = {.b = 1.0F, .t = 0.04F, .er = 2.2F}, .w = 0.8F, .s = 0.16F});
  EXPECT_NEAR(quarters.zoe, inches.zoe, 1e-5F * inches.zoe);
  EXPECT_NEAR(quarters.zoo, inches.zoo, 1e-5F * inches.zoo);
}

}  // namespace
}  // namespace ketrovane
