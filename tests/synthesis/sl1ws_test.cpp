// Width and spacing synthesis: the closed-form start, the convergence
// guarantee of every status-0 return, the floors, and that every call ends
// with a status that tells the truth.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "model/stripline_model.hpp"
#include "synthesis/synthesis.hpp"

namespace ketrovane {
namespace {

constexpr float kB = 0.25F;
constexpr float kEr = 2.2F;
// A 50-ohm pair with 10 dB coupling.
constexpr float kZoe = 69.3713F;
constexpr float kZoo = 36.0380F;

// Relative deviation of the analysed pair from the targets, in the
// difference and in the geometric mean.
struct Deviation {
  float difference;
  float mean;
};

Deviation deviation(float b, float er, float t, const SynthesisResult& r, float zoe, float zoo) {
  const ModeImpedances m = sl1imp(CrossSection{b, er, r.s, t, r.w});
  const float dz = zoe - zoo;
  const float zod = std::sqrt(zoe * zoo);
  return {std::fabs((dz - (m.zoe - m.zoo)) / dz),
          std::fabs((zod - std::sqrt(m.zoe * m.zoo)) / zod)};
}

TEST(SynthesisStart, WorkedEstimateForATenDecibelPair) {
  const SynthesisStart start = synthesis_start(kB, kEr, kZoe, kZoo);
  EXPECT_NEAR(start.xe, 1.09250F, 0.00001F);
  EXPECT_NEAR(start.xo, 0.567546F, 0.000001F);
  EXPECT_NEAR(start.ke, 0.635736F, 0.000002F);
  EXPECT_NEAR(start.ko, 0.968935F, 0.000002F);
  EXPECT_NEAR(start.w, 0.168366F, 0.000002F);
  EXPECT_NEAR(start.s, 0.0110118F, 0.0000002F);
}

TEST(Synthesis, ZeroThicknessStartIsTheAnswer) {
  const SynthesisResult r = sl1ws(kB, kEr, 0.0F, kZoe, kZoo);
  const SynthesisStart start = synthesis_start(kB, kEr, kZoe, kZoo);
  EXPECT_EQ(r.isyn, kSynthesisConverged);
  EXPECT_EQ(r.evaluations, 1);
  EXPECT_EQ(r.w, start.w);
  EXPECT_EQ(r.s, start.s);
}

TEST(Synthesis, ThickStripsConvergeOnTheTargets) {
  const SynthesisResult r = sl1ws(kB, kEr, 0.0014F, kZoe, kZoo);
  ASSERT_EQ(r.isyn, kSynthesisConverged);
  EXPECT_FALSE(r.stalled);
  const Deviation d = deviation(kB, kEr, 0.0014F, r, kZoe, kZoo);
  EXPECT_LT(d.difference, 0.0005F);
  EXPECT_LT(d.mean, 0.0005F);
  // Thickness narrows the strips and widens the gap against the thin start.
  EXPECT_LT(r.w, 0.168366F);
}

TEST(Synthesis, TightCouplingEndsAtTheSpacingFloor) {
  const ModesFromCoupler pair = sl1zo(CouplerSpec{50.0F, -1.0F});
  const SynthesisResult r = sl1ws(kB, kEr, 0.0F, pair.zoe, pair.zoo);
  EXPECT_EQ(r.isyn, kSpacingBelowFloor);
  EXPECT_LT(r.s, 0.00001F);
}

TEST(Synthesis, HighImpedanceEndsAtTheWidthFloor) {
  const ModesFromCoupler pair = sl1zo(CouplerSpec{340.0F, -20.0F});
  const SynthesisResult r = sl1ws(0.0625F, kEr, 0.0F, pair.zoe, pair.zoo);
  EXPECT_EQ(r.isyn, kWidthBelowFloor);
  EXPECT_LT(r.w, 0.0001F);
}

TEST(Synthesis, TargetsItCannotInvertFailAtOnce) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float zoe, zoo;
  } bad[] = {{36.0F, 69.0F}, {50.0F, 50.0F}, {50.0F, 0.0F}, {50.0F, -10.0F}, {nan, 30.0F},
             {60.0F, nan},   {inf, 30.0F},   {5.0F, 4.0F}};  // the last: no finite start
  for (const auto& target : bad) {
    const SynthesisResult r = sl1ws(kB, kEr, 0.0014F, target.zoe, target.zoo);
    EXPECT_EQ(r.isyn, kSynthesisFailed) << target.zoe << " " << target.zoo;
    EXPECT_EQ(r.evaluations, 0) << target.zoe << " " << target.zoo;
  }
}

TEST(Synthesis, ASearchThatCannotCloseStopsAtTheEvaluationBound) {
  // With thick strips the width and spacing corrections of a 3 dB, 50-ohm
  // pair chase each other without settling.
  const ModesFromCoupler pair = sl1zo(CouplerSpec{50.0F, -3.0F});
  const SynthesisResult r = sl1ws(kB, kEr, 0.0014F, pair.zoe, pair.zoo);
  EXPECT_EQ(r.isyn, kSynthesisFailed);
  EXPECT_EQ(r.evaluations, kMaxSynthesisEvaluations);
}

TEST(Synthesis, NonFiniteGeometryNeverHangs) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const float b : {nan, 0.0F, -0.25F}) {
    const SynthesisResult r = sl1ws(b, kEr, 0.0014F, kZoe, kZoo);
    EXPECT_NE(r.isyn, kSynthesisConverged) << b;
    EXPECT_LE(r.evaluations, kMaxSynthesisEvaluations);
  }
  EXPECT_EQ(sl1ws(kB, nan, 0.0F, kZoe, kZoo).isyn, kSynthesisFailed);
}

// Random targets over the whole range a user can ask for: each call ends
// within the bound, and its status is borne out by the geometry it returns.
TEST(Synthesis, EveryStatusTellsTheTruth) {
  std::mt19937 random(20261207);
  std::uniform_real_distribution<float> zo_ohms(5.0F, 150.0F);
  std::uniform_real_distribution<float> coupling_db(0.5F, 40.0F);
  std::uniform_real_distribution<float> permittivity(1.0F, 12.0F);
  std::uniform_real_distribution<float> thickness_ratio(0.0F, 0.8F);
  int converged = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    const float er = permittivity(random);
    const float t = thickness_ratio(random) * kB;
    const ModesFromCoupler pair = sl1zo(CouplerSpec{zo_ohms(random), -coupling_db(random)});
    const SynthesisResult r = sl1ws(kB, er, t, pair.zoe, pair.zoo);
    SCOPED_TRACE(testing::Message() << "er " << er << " t " << t << " zoe " << pair.zoe << " zoo "
                                    << pair.zoo << " status " << r.isyn);
    ASSERT_LE(r.evaluations, kMaxSynthesisEvaluations);
    switch (r.isyn) {
      case kSynthesisConverged: {
        const Deviation d = deviation(kB, er, t, r, pair.zoe, pair.zoo);
        if (r.stalled) {
          EXPECT_LT(d.difference, 0.1005F);
        } else {
          EXPECT_LT(d.difference, 0.0005F);
          ++converged;
        }
        EXPECT_LT(d.mean, 0.0005F);
        break;
      }
      case kSpacingBelowFloor:
        EXPECT_LT(r.s, 0.00001F);
        break;
      case kWidthBelowFloor:
        EXPECT_LT(r.w, 0.0001F);
        break;
      case kSynthesisFailed:
        EXPECT_TRUE(r.evaluations == 0 || r.evaluations == kMaxSynthesisEvaluations);
        break;
      default:
        ADD_FAILURE() << "unknown status";
    }
  }
  // Most random targets are unrealisable (high Zo on a high Er, very thick
  // strips); a healthy search still closes on a good share of them.
  EXPECT_GT(converged, 300);
}

}  // namespace
}  // namespace ketrovane
