// Impedance model: worked values of every regime, continuity across the band
// edges and in thickness, and the invariants of Cohn's capacitance split.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

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

void PrintTo(const Regime& r, std::ostream* os) { *os << r.name; }

class WorkedRegime : public testing::TestWithParam<Regime> {};

TEST_P(WorkedRegime, MatchesHandValues) {
  const Regime& r = GetParam();
  const ModeImpedances m = sl1imp({0.25F, 2.2F, r.s, r.t, r.w});
  EXPECT_NEAR(m.zoe, r.zoe, kOhms);
  EXPECT_NEAR(m.zoo, r.zoo, kOhms);
  EXPECT_NEAR(m.cap.cf, r.cf, kCapacitance);
  EXPECT_NEAR(m.cap.cfe, r.cfe, kCapacitance);
  EXPECT_NEAR(m.cap.cfo, r.cfo, kCapacitance);
  EXPECT_NEAR(m.cap.cpa, r.cp, kCapacitance);
  EXPECT_NEAR(m.cap.cpb, r.cp, kCapacitance);
  EXPECT_EQ(m.j, 0);
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
void ExpectClose(const ModeImpedances& a, const ModeImpedances& b, const std::string& where) {
  SCOPED_TRACE(where);
  constexpr float kRelative = 1e-4F;
  EXPECT_NEAR(a.zoe, b.zoe, kRelative * b.zoe);
  EXPECT_NEAR(a.zoo, b.zoo, kRelative * b.zoo);
  EXPECT_NEAR(a.cap.cfe, b.cap.cfe, kRelative * b.cap.cfo);
  EXPECT_NEAR(a.cap.cfo, b.cap.cfo, kRelative * b.cap.cfo);
}

// Edges of the gap bands in s/b.  With b = 1 the spacing is s/b itself.
TEST(ImpedanceModel, ContinuousAcrossEveryBandEdge) {
  for (const float tb : {0.01F, 0.025F, 0.05F, 0.2F, 0.5F}) {
    for (const float edge : {0.01F, 0.05F, 0.2F, 0.25F, 1.45F, 1.5F}) {
      const ModeImpedances at = sl1imp({1.0F, 2.2F, edge, tb, 0.8F});
      const std::string where = "t/b " + std::to_string(tb) + ", s/b " + std::to_string(edge);
      ExpectClose(sl1imp({1.0F, 2.2F, edge * (1.0F - 1e-5F), tb, 0.8F}), at, where + " below");
      ExpectClose(sl1imp({1.0F, 2.2F, edge * (1.0F + 1e-5F), tb, 0.8F}), at, where + " above");
    }
  }
}

// At 0.01, 0.2 and 1.45 the blend weight is 0: the value is the limit from
// below to within rounding, not a step towards the upper band.
TEST(ImpedanceModel, LowerBandAtTheStartOfEachBlend) {
  for (const float edge : {0.01F, 0.2F, 1.45F}) {
    const ModeImpedances at = sl1imp({1.0F, 1.0F, edge, 0.3F, 0.5F});
    const ModeImpedances below = sl1imp({1.0F, 1.0F, std::nextafter(edge, 0.0F), 0.3F, 0.5F});
    EXPECT_NEAR(at.cap.cfo, below.cap.cfo, 1e-5F * at.cap.cfo) << "s/b " << edge;
    EXPECT_NEAR(at.cap.cfe, below.cap.cfe, 1e-5F * at.cap.cfo) << "s/b " << edge;
  }
}

TEST(ImpedanceModel, ContinuousInThicknessAtZeroAndAtTheThinStripLimit) {
  for (const float s : {0.005F, 0.03F, 0.16F, 0.6F, 2.0F}) {
    const std::string where = "s/b " + std::to_string(s);
    ExpectClose(sl1imp({1.0F, 2.2F, s, 1e-7F, 0.8F}), sl1imp({1.0F, 2.2F, s, 0.0F, 0.8F}),
                where + ", t/b to 0");
    const ModeImpedances at = sl1imp({1.0F, 2.2F, s, 0.025F, 0.8F});
    ExpectClose(sl1imp({1.0F, 2.2F, s, 0.025F * (1.0F - 1e-6F), 0.8F}), at, where + " below");
    ExpectClose(sl1imp({1.0F, 2.2F, s, 0.025F * (1.0F + 1e-6F), 0.8F}), at, where + " above");
  }
}

TEST(ImpedanceModel, WideGapsDecoupleTheModes) {
  for (const float t : {0.0F, 0.01F, 0.025F, 0.1F, 0.5F}) {
    const ModeImpedances m = sl1imp({1.0F, 1.0F, 100.0F, t, 0.5F});
    EXPECT_NEAR(m.zoo, m.zoe, 1e-4F * m.zoe) << "t/b " << t;
    // The thick-strip fits tend to the isolated strip's outer fringing.
    if (t >= 0.025F) {
      EXPECT_NEAR(m.cap.cfe, m.cap.cf, 1e-3F * m.cap.cf) << "t/b " << t;
      EXPECT_NEAR(m.cap.cfo, m.cap.cf, 1e-3F * m.cap.cf) << "t/b " << t;
    }
  }
}

// Strips several times wider than b: tanh rounds to 1, the zero-thickness
// solution is abandoned and the thick-strip fits alone give the inner
// fringing, which then depends only on s/b and t/b, not on the width.
TEST(ImpedanceModel, VeryWideStripsUseTheThickStripFitsAlone) {
  for (const float t : {0.0F, 0.01F}) {
    const ModeImpedances wide = sl1imp({1.0F, 1.0F, 0.1F, t, 7.0F});
    const ModeImpedances wider = sl1imp({1.0F, 1.0F, 0.1F, t, 12.0F});
    ASSERT_EQ(wide.j, 1);
    ASSERT_EQ(wider.j, 1);
    EXPECT_EQ(wide.cap.cfe, wider.cap.cfe);
    EXPECT_EQ(wide.cap.cfo, wider.cap.cfo);
    EXPECT_LT(wide.zoo, wide.zoe);
    EXPECT_GT(wide.zoo, 0.0F);
  }
  // The recomputed even-mode modulus can round to 1 while the first one did
  // not; Zoe must not collapse to 0.
  const ModeImpedances m = sl1imp({1.0F, 1.0F, 0.5037758F, 0.0F, 5.0996995F});
  EXPECT_EQ(m.j, 1);
  EXPECT_GT(m.zoe, m.zoo);
  EXPECT_TRUE(std::isfinite(m.cap.cfe));
}

// Over a grid of every band and thickness regime, the even mode never has
// more inner fringing than the odd one and both strips have the same plate.
TEST(ImpedanceModel, CapacitanceSplitInvariants) {
  for (float w = 0.01F; w < 12.0F; w *= 1.7F) {
    for (float s = 0.001F; s < 5.0F; s *= 1.3F) {
      for (const float t : {0.0F, 0.001F, 0.0249F, 0.025F, 0.1F, 0.5F, 0.8F}) {
        const ModeImpedances m = sl1imp({1.0F, 3.0F, s, t, w});
        ASSERT_LE(m.cap.cfe, m.cap.cfo) << "w " << w << " s " << s << " t " << t;
        ASSERT_EQ(m.cap.cpb, m.cap.cpa);
        ASSERT_GE(m.zoe, m.zoo) << "w " << w << " s " << s << " t " << t;
      }
    }
  }
  // Zero thickness, gap so wide that tanh(pi (w+s)/2b) rounds to 1.
  const ModeImpedances m = sl1imp({1.0F, 1.0F, 5.2185278F, 0.0F, 0.56124336F});
  EXPECT_LE(m.cap.cfe, m.cap.cfo);
  EXPECT_GE(m.zoe, m.zoo);
}

// The capacitances are those of the geometry; the medium scales only the
// impedances, by 1/sqrt(er).
TEST(ImpedanceModel, PermittivityScalesImpedancesOnly) {
  for (const float t : {0.0F, 0.0025F, 0.05F}) {
    for (const float s : {0.002F, 0.04F, 0.1F, 0.37F, 0.5F}) {
      const ModeImpedances air = sl1imp({0.25F, 1.0F, s, t, 0.2F});
      const ModeImpedances dielectric = sl1imp({0.25F, 2.2F, s, t, 0.2F});
      const float scale = 1.0F / std::sqrt(2.2F);
      EXPECT_NEAR(dielectric.zoe, air.zoe * scale, 1e-6F * air.zoe);
      EXPECT_NEAR(dielectric.zoo, air.zoo * scale, 1e-6F * air.zoo);
      EXPECT_NEAR(dielectric.cap.cfe, air.cap.cfe, 1e-5F);
      EXPECT_NEAR(dielectric.cap.cfo, air.cap.cfo, 1e-5F);
      EXPECT_EQ(dielectric.cap.cf, air.cap.cf);
      EXPECT_EQ(dielectric.cap.cpa, air.cap.cpa);
    }
  }
}

// Only ratios to b matter: scaling every length leaves everything unchanged.
TEST(ImpedanceModel, DependsOnlyOnRatiosToB) {
  const ModeImpedances inches = sl1imp({0.25F, 2.2F, 0.04F, 0.01F, 0.2F});
  const ModeImpedances quarters = sl1imp({1.0F, 2.2F, 0.16F, 0.04F, 0.8F});
  EXPECT_NEAR(quarters.zoe, inches.zoe, 1e-5F * inches.zoe);
  EXPECT_NEAR(quarters.zoo, inches.zoo, 1e-5F * inches.zoo);
}

}  // namespace
}  // namespace ketrovane
