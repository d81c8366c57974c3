// Width and spacing synthesis: the closed-form start, the convergence
// guarantee of every status-0 return, the floors, and that every call ends
// with a status that tells the truth.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "model/stripline_model.hpp"
#include "synthesis/safeguarded_solve.hpp"
#include "synthesis/width_spacing_synthesis.hpp"

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

Deviation deviation(float b, float er, float t, const WidthSpacing& r, float zoe, float zoo) {
  const ModeImpedances m =
      mode_impedances(CrossSection{.board = {.b = b, .t = t, .er = er}, .w = r.w, .s = r.s});
  const float dz = zoe - zoo;
  const float zod = std::sqrt(zoe * zoo);
  return {std::fabs((dz - (m.zoe - m.zoo)) / dz),
          std::fabs((zod - std::sqrt(m.zoe * m.zoo)) / zod)};
}

TEST(ClosedFormStart, WorkedEstimateForATenDecibelPair) {
  const ClosedFormStart start = closed_form_start(kB, kEr, kZoe, kZoo);
  EXPECT_NEAR(start.xe, 1.09250F, 0.00001F);
  EXPECT_NEAR(start.xo, 0.567546F, 0.000001F);
  EXPECT_NEAR(start.ke, 0.635736F, 0.000002F);
  EXPECT_NEAR(start.ko, 0.968935F, 0.000002F);
  EXPECT_NEAR(start.w, 0.168366F, 0.000002F);
  EXPECT_NEAR(start.s, 0.0110118F, 0.0000002F);
}

TEST(Synthesis, ZeroThicknessStartIsTheAnswer) {
  const WidthSpacing r = synthesise_width_and_spacing(
      {.board = {.b = kB, .t = 0.0F, .er = kEr}, .zoe = kZoe, .zoo = kZoo});
  const ClosedFormStart start = closed_form_start(kB, kEr, kZoe, kZoo);
  EXPECT_TRUE(r.converged());
  EXPECT_EQ(r.evaluations, 1);
  EXPECT_EQ(r.w, start.w);
  EXPECT_EQ(r.s, start.s);
}

TEST(Synthesis, ThickStripsConvergeOnTheTargets) {
  const WidthSpacing r = synthesise_width_and_spacing(
      {.board = {.b = kB, .t = 0.0014F, .er = kEr}, .zoe = kZoe, .zoo = kZoo});
  ASSERT_TRUE(r.converged());
  EXPECT_EQ(r.outcome, SynthesisOutcome::converged_by_search);
  const Deviation d = deviation(kB, kEr, 0.0014F, r, kZoe, kZoo);
  EXPECT_LT(d.difference, 0.0005F);
  EXPECT_LT(d.mean, 0.0005F);
  // Thickness narrows the strips and widens the gap against the thin start.
  EXPECT_LT(r.w, 0.168366F);
}

TEST(Synthesis, AWidthThatStopsChangingDoesNotEndTheSearch) {
  // 20 ohms at 40 dB in air with T/B 0.05: after nine evaluations a width
  // correction leaves W unchanged while the spacing error is still above
  // 0.05 %; the search goes on with the final tolerance.
  const ModesOfCoupler pair = modes_from_coupler(CouplerTarget{20.0F, -40.0F});
  const WidthSpacing r = synthesise_width_and_spacing(
      {.board = {.b = kB, .t = 0.0125F, .er = 1.0F}, .zoe = pair.zoe, .zoo = pair.zoo});
  ASSERT_TRUE(r.converged());
  EXPECT_EQ(r.outcome, SynthesisOutcome::converged_by_search);
  EXPECT_GT(r.evaluations, 9);
  const Deviation d = deviation(kB, 1.0F, 0.0125F, r, pair.zoe, pair.zoo);
  EXPECT_LT(d.difference, 0.0005F);
  EXPECT_LT(d.mean, 0.0005F);
}

TEST(Synthesis, TightCouplingEndsAtTheSpacingFloor) {
  const ModesOfCoupler pair = modes_from_coupler(CouplerTarget{50.0F, -1.0F});
  const WidthSpacing r = synthesise_width_and_spacing(
      {.board = {.b = kB, .t = 0.0F, .er = kEr}, .zoe = pair.zoe, .zoo = pair.zoo});
  EXPECT_EQ(r.outcome, SynthesisOutcome::spacing_floor);
  EXPECT_LT(r.s, 0.00001F);
}

TEST(Synthesis, HighImpedanceEndsAtTheWidthFloor) {
  const ModesOfCoupler pair = modes_from_coupler(CouplerTarget{340.0F, -20.0F});
  const WidthSpacing r = synthesise_width_and_spacing(
      {.board = {.b = 0.0625F, .t = 0.0F, .er = kEr}, .zoe = pair.zoe, .zoo = pair.zoo});
  EXPECT_EQ(r.outcome, SynthesisOutcome::width_floor);
  EXPECT_LT(r.w, 0.0001F);
}

// The bracketing solve on its own names each floor: the tightly coupled
// pair is too loosely coupled even at the spacing floor, with a width above
// its floor; the 150-ohm pair on strips a tenth of b thick needs a width
// below its floor wherever it is coupled tightly enough.
TEST(Synthesis, TheSafeguardedSolveNamesEachFloor) {
  const ModesOfCoupler tight = modes_from_coupler(CouplerTarget{50.0F, -1.0F});
  const SafeguardedResult at_spacing_floor = safeguarded_solve(
      {.board = {.b = kB, .t = 0.0F, .er = kEr}, .zoe = tight.zoe, .zoo = tight.zoo});
  EXPECT_EQ(at_spacing_floor.result.outcome, SynthesisOutcome::spacing_floor);
  EXPECT_GE(at_spacing_floor.result.w, kWidthFloor);

  const ModesOfCoupler high = modes_from_coupler(CouplerTarget{150.0F, -20.0F});
  const SafeguardedResult at_width_floor = safeguarded_solve(
      {.board = {.b = kB, .t = 0.025F, .er = kEr}, .zoe = high.zoe, .zoo = high.zoo});
  EXPECT_EQ(at_width_floor.result.outcome, SynthesisOutcome::width_floor);
  EXPECT_GE(at_width_floor.result.s, kSpacingFloor);
}

TEST(Synthesis, UnusableTargetsFailAtOnce) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float zoe, zoo;
  } bad[] = {{36.0F, 69.0F}, {50.0F, 50.0F}, {50.0F, 0.0F}, {50.0F, -10.0F},
             {nan, 30.0F},   {60.0F, nan},   {inf, 30.0F},  {-5.0F, -10.0F}};
  for (const auto& target : bad) {
    const WidthSpacing r = synthesise_width_and_spacing(
        {.board = {.b = kB, .t = 0.0014F, .er = kEr}, .zoe = target.zoe, .zoo = target.zoo});
    EXPECT_EQ(r.outcome, SynthesisOutcome::unusable_targets) << target.zoe << " " << target.zoo;
    EXPECT_EQ(r.evaluations, 0) << target.zoe << " " << target.zoo;
  }
}

TEST(Synthesis, TheSafeguardedSolveClosesWhereTheSearchCircles) {
  // With thin strips the width and spacing corrections of a 3 dB, 50-ohm
  // pair chase each other without settling until the evaluation bound.
  const ModesOfCoupler pair = modes_from_coupler(CouplerTarget{50.0F, -3.0F});
  const WidthSpacing r = synthesise_width_and_spacing(
      {.board = {.b = kB, .t = 0.0014F, .er = kEr}, .zoe = pair.zoe, .zoo = pair.zoo});
  ASSERT_TRUE(r.converged());
  EXPECT_EQ(r.outcome, SynthesisOutcome::solved_by_safeguard);
  EXPECT_GT(r.evaluations, kMaxSearchEvaluations);
  const Deviation d = deviation(kB, kEr, 0.0014F, r, pair.zoe, pair.zoo);
  EXPECT_LT(d.difference, 0.0005F);
  EXPECT_LT(d.mean, 0.0005F);
}

TEST(Synthesis, AStartThatIsNotFiniteIsLeftToTheSafeguardedSolve) {
  // Zoe sqrt(er) below about 15 ohms: the even-mode modulus rounds to 1.
  const ClosedFormStart start = closed_form_start(kB, kEr, 5.0F, 4.0F);
  ASSERT_FALSE(std::isfinite(start.w) && std::isfinite(start.s));
  const WidthSpacing r = synthesise_width_and_spacing(
      {.board = {.b = kB, .t = 0.0F, .er = kEr}, .zoe = 5.0F, .zoo = 4.0F});
  EXPECT_EQ(r.evaluations > 0, true);
  EXPECT_NE(r.outcome, SynthesisOutcome::converged_by_search);
  if (r.converged()) {
    const Deviation d = deviation(kB, kEr, 0.0F, r, 5.0F, 4.0F);
    EXPECT_LT(d.difference, 0.0005F);
    EXPECT_LT(d.mean, 0.0005F);
  }
}

TEST(Synthesis, AFloorTheSearchReachedOnTheWayIsNotReported) {
  // The search's 6 % steps drive S below its floor at a width that is still
  // far off; a design with S = 0.000024" exists.
  const ModesOfCoupler pair = modes_from_coupler(CouplerTarget{5.0F, -1.0F});
  const WidthSpacing r = synthesise_width_and_spacing(
      {.board = {.b = kB, .t = 0.0025F, .er = 10.0F}, .zoe = pair.zoe, .zoo = pair.zoo});
  ASSERT_TRUE(r.converged());
  EXPECT_EQ(r.outcome, SynthesisOutcome::solved_by_safeguard);
  EXPECT_GT(r.s, 0.00001F);
}

TEST(Synthesis, StrangeInputsNeverHangAndNeverClaimConvergence) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float huge = std::numeric_limits<float>::max();
  const struct {
    float b, er, t, zoe, zoo;
  } cases[] = {
      {nan, kEr, 0.0014F, kZoe, kZoo},    {0.0F, kEr, 0.0014F, kZoe, kZoo},
      {-0.25F, kEr, 0.0014F, kZoe, kZoo}, {kB, nan, 0.0F, kZoe, kZoo},
      {kB, 0.0F, 0.0F, kZoe, kZoo},       {kB, kEr, 0.3F, kZoe, kZoo},
      {kB, kEr, nan, kZoe, kZoo},         {inf, kEr, 0.0F, kZoe, kZoo},
      {kB, kEr, 0.0F, huge, 1.0F},        {kB, kEr, 0.0F, 1e30F, 1e29F},
      {kB, kEr, 0.0F, 1e-30F, 1e-31F},    {kB, kEr, 0.0014F, 1000.0F, 999.9F},
  };
  for (const auto& c : cases) {
    const WidthSpacing r = synthesise_width_and_spacing(
        {.board = {.b = c.b, .t = c.t, .er = c.er}, .zoe = c.zoe, .zoo = c.zoo});
    SCOPED_TRACE(testing::Message() << c.b << " " << c.er << " " << c.t << " " << c.zoe << " "
                                    << c.zoo << " -> outcome " << static_cast<int>(r.outcome));
    if (r.converged()) {
      const Deviation d = deviation(c.b, c.er, c.t, r, c.zoe, c.zoo);
      EXPECT_LT(d.difference, 0.0005F);
      EXPECT_LT(d.mean, 0.0005F);
    }
  }
}

// The alternating search tests Zoe - Zoo and sqrt(Zoe Zoo), so each of Zoe
// and Zoo can lie up to about 0.1 % off (50 ohm, 9 dB on 62 mil: Zoo 0.079 %
// off).  Finished to resolution, every design of a grid of boards, Er, Zo and
// coupling (348 targets) meets each target within 0.03 % (most within 0.001 %;
// the rest where the model jumps between neighbouring floats), and the search's
// own design where it is nearer.
TEST(SynthesisToResolution, EachModeImpedanceMeetsItsTarget) {
  struct Board62 {
    float b, t;
  };
  int finished = 0;
  for (const Board62 board : {Board62{0.062F, 0.00137F}, Board62{0.25F, 0.0014F}}) {
    for (const float er : {2.2F, 3.66F, 10.2F}) {
      for (const float zo : {50.0F, 75.0F}) {
        for (int db = 3; db <= 31; ++db) {
          const ModesOfCoupler p = modes_from_coupler({zo, -static_cast<float>(db)});
          const SynthesisTarget x{{board.b, board.t, er}, p.zoe, p.zoo};
          const WidthSpacing searched = synthesise_width_and_spacing(x);
          const WidthSpacing r = synthesise_to_resolution(x);
          SCOPED_TRACE(testing::Message() << board.b << " " << er << " " << zo << " " << db);
          ASSERT_EQ(r.converged(), searched.converged());
          if (!r.converged()) continue;
          ++finished;
          EXPECT_LT(target_error(x, r.w, r.s), 0.0003F);
          EXPECT_LE(target_error(x, r.w, r.s), target_error(x, searched.w, searched.s));
        }
      }
    }
  }
  EXPECT_GT(finished, 300);
  // The case that was found 0.079 % off meets Zoo to a few units in the
  // last place.
  const ModesOfCoupler nine = modes_from_coupler({50.0F, -9.0F});
  const SynthesisTarget x{{0.062F, 0.00137F, 3.66F}, nine.zoe, nine.zoo};
  EXPECT_GT(target_error(x, synthesise_width_and_spacing(x).w, synthesise_width_and_spacing(x).s),
            0.0007F);
  const WidthSpacing r = synthesise_to_resolution(x);
  EXPECT_LT(target_error(x, r.w, r.s), 2e-6F);
}

}  // namespace
}  // namespace ketrovane
