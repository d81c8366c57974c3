// Width and spacing on the field solution: the design it returns meets both
// targets on an independent, tightly converged field solution; a target the
// solver's domain cannot reach ends unconverged with a reason; unusable
// starts and targets are refused without a solution.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "field/field_solver.hpp"
#include "field/field_synthesis.hpp"

namespace ketrovane::field {
namespace {

constexpr double kTolerance = 2e-4;  // the default of synthesise()

// A coupler of impedance zo and the given coupling, dB:
// Zoe = zo sqrt((1 + C)/(1 - C)), Zoo = zo^2/Zoe, C = 10^(-dB/20).
SynthesisGoal coupler(double b, double t, double db, double w0, double s0) {
  const double c = std::pow(10.0, -db / 20.0);
  const double zoe = 50.0 * std::sqrt((1.0 + c) / (1.0 - c));
  return {b, t, 2.2, zoe, 50.0 * 50.0 / zoe, w0, s0};
}

FieldSolution tightly_solved(const SynthesisGoal& g, double w, double s) {
  const FieldResult f = solve({g.b, g.t, w, s, g.er}, {1e-9, 8});
  EXPECT_TRUE(f.ok()) << f.message;
  return f.solution.value_or(FieldSolution{});
}

// From one crude start (w = b/2, s = b/10) for every coupling and copper.
TEST(FieldSynthesis, MeetsBothTargetsOnTheFieldFromACrudeStart) {
  for (const double db : {3.0, 10.0, 20.0}) {
    for (const double t : {0.0, 0.0014, 0.025}) {
      const SynthesisGoal goal = coupler(0.25, t, db, 0.125, 0.025);
      const SynthesisResult r = synthesise(goal);
      ASSERT_TRUE(r.converged) << db << " dB, t " << t << ": " << r.message;
      EXPECT_TRUE(r.message.empty()) << r.message;
      const FieldSolution f = tightly_solved(goal, r.w, r.s);
      EXPECT_NEAR(f.even.impedance / goal.zoe, 1.0, kTolerance) << db << " dB, t " << t;
      EXPECT_NEAR(f.odd.impedance / goal.zoo, 1.0, kTolerance) << db << " dB, t " << t;
      // What it reports is the field at the design, solved to a tenth of the tolerance.
      EXPECT_NEAR(r.zoe / f.even.impedance, 1.0, kTolerance / 10) << db << " dB, t " << t;
      EXPECT_NEAR(r.zoo / f.odd.impedance, 1.0, kTolerance / 10) << db << " dB, t " << t;
      EXPECT_NEAR(r.worst_error,
                  std::max(std::abs(r.zoe / goal.zoe - 1.0), std::abs(r.zoo / goal.zoo - 1.0)),
                  1e-12);
      EXPECT_GE(r.solves, 4);  // the start, two differences and a verifying solution
    }
  }
}

TEST(FieldSynthesis, MeetsATighterToleranceWhenAskedTo) {
  const SynthesisGoal goal = coupler(0.25, 0.0014, 10.0, 0.125, 0.025);
  const SynthesisResult r = synthesise(goal, 1e-6);
  ASSERT_TRUE(r.converged) << r.message;
  const FieldSolution f = tightly_solved(goal, r.w, r.s);
  EXPECT_NEAR(f.even.impedance / goal.zoe, 1.0, 1e-6);
  EXPECT_NEAR(f.odd.impedance / goal.zoo, 1.0, 1e-6);
}

// On a board 100 wide, a 50-ohm coupler of 1.4 dB needs a gap below 1e-6 b,
// which the solver does not take: started from its converged 1.45 dB
// neighbour, the iteration ends unconverged, says why, and leaves its last
// iterate and that iterate's error.
TEST(FieldSynthesis, ATargetBeyondTheLeastGapEndsUnconvergedWithAReason) {
  const SynthesisResult neighbour = synthesise(coupler(100.0, 0.0, 1.45, 15.0, 1.0));
  ASSERT_TRUE(neighbour.converged) << neighbour.message;
  const SynthesisResult r = synthesise(coupler(100.0, 0.0, 1.4, neighbour.w, neighbour.s));
  EXPECT_FALSE(r.converged);
  EXPECT_FALSE(r.message.empty());
  EXPECT_GT(r.worst_error, 0.01);
  EXPECT_GE(r.s, 1e-6 * 100.0);
  EXPECT_GT(r.w, 0.0);
  EXPECT_GT(r.solves, 0);
}

TEST(FieldSynthesis, RefusesAStartOrTargetsThatAreNotPositiveAndFinite) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const SynthesisGoal fine = coupler(0.25, 0.0014, 10.0, 0.125, 0.025);
  SynthesisGoal no_width = fine;
  no_width.w0 = 0.0;
  SynthesisGoal no_gap = fine;
  no_gap.s0 = nan;
  SynthesisGoal no_target = fine;
  no_target.zoo = -25.0;
  for (const auto& [goal, says] :
       {std::pair{no_width, "the start w = 0, s = 0.025"}, std::pair{no_gap, "s = nan"},
        std::pair{no_target, "Zoo = -25 are not positive"}}) {
    const SynthesisResult r = synthesise(goal);
    EXPECT_FALSE(r.converged) << says;
    EXPECT_NE(r.message.find(says), std::string::npos) << r.message;
    EXPECT_EQ(r.solves, 0) << says;
  }
}

}  // namespace
}  // namespace ketrovane::field

namespace ketrovane::field {
namespace {

SynthesisGoal side_by_side_goal(double t, double db, double h) {
  SynthesisGoal goal = coupler(0.25, t, db, 0.0, 0.0);
  goal.arrangement = Arrangement::edge_offset;
  goal.h = h;
  return goal;
}

SynthesisGoal stacked_goal(double t, double db, SynthesisUnknowns unknowns, double given) {
  SynthesisGoal goal = coupler(0.25, t, db, 0.0, 0.0);
  goal.arrangement = Arrangement::broadside;
  goal.unknowns = unknowns;
  (unknowns == SynthesisUnknowns::width_and_offset ? goal.sv : goal.wo) = given;
  return goal;
}

Geometry design_of(const SynthesisGoal& goal, const SynthesisResult& r) {
  return {goal.b, goal.t, r.w, r.s, goal.er, goal.arrangement, goal.h, r.sv, r.wo};
}

// The design meets both targets on an independent, tightly converged field
// solution, and keeps the dimensions it was given.
void expect_round_trip(const SynthesisGoal& goal, const std::string& what) {
  const SynthesisResult r = synthesise(goal);
  ASSERT_TRUE(r.converged) << what << ": " << r.message;
  EXPECT_EQ(r.failure, SynthesisFailure::none) << what;
  const FieldResult f = solve(design_of(goal, r), {1e-8, 9});
  ASSERT_TRUE(f.ok()) << what << ": " << f.message;
  EXPECT_NEAR(f.solution->even.impedance / goal.zoe, 1.0, kTolerance) << what;
  EXPECT_NEAR(f.solution->odd.impedance / goal.zoo, 1.0, kTolerance) << what;
  if (goal.unknowns == SynthesisUnknowns::width_and_offset) {
    EXPECT_EQ(r.sv, goal.sv) << what;
  }
  if (goal.unknowns == SynthesisUnknowns::width_and_vertical_gap) {
    EXPECT_EQ(r.wo, goal.wo) << what;
  }
}

TEST(FieldSynthesis, StripsOffTheCentrePlaneFindTheirOwnStart) {
  for (const double db : {3.0, 10.0, 25.0}) {
    for (const double t : {0.0, 0.0014}) {
      expect_round_trip(side_by_side_goal(t, db, 0.07),
                        std::to_string(db) + " dB, t " + std::to_string(t));
    }
  }
  SynthesisGoal started = side_by_side_goal(0.0014, 10.0, 0.07);
  started.w0 = 0.1;
  started.s0 = 0.02;
  expect_round_trip(started, "from a given start");
}

TEST(FieldSynthesis, StackedStripsForWidthAndGap) {
  for (const double db : {3.0, 8.0, 20.0}) {
    for (const double wo : {0.0, 0.05}) {
      expect_round_trip(stacked_goal(0.0014, db, SynthesisUnknowns::width_and_vertical_gap, wo),
                        std::to_string(db) + " dB, wo " + std::to_string(wo));
    }
  }
}

TEST(FieldSynthesis, StackedStripsForWidthAndOffset) {
  for (const double db : {6.0, 10.0, 20.0}) {
    for (const double t : {0.0, 0.0014}) {
      expect_round_trip(stacked_goal(t, db, SynthesisUnknowns::width_and_offset, 0.02),
                        std::to_string(db) + " dB, t " + std::to_string(t));
    }
  }
}

// A core too thick for the coupling even with the strips right above each
// other: the synthesis says so and how much coupling the core allows.
TEST(FieldSynthesis, AThickCoreCannotCoupleThreeDecibels) {
  const SynthesisResult r =
      synthesise(stacked_goal(0.0014, 3.0, SynthesisUnknowns::width_and_offset, 0.05));
  EXPECT_FALSE(r.converged);
  EXPECT_EQ(r.failure, SynthesisFailure::needs_thinner_core);
  EXPECT_NE(r.message.find("at sv = 0.05 the strips couple by only -"), std::string::npos)
      << r.message;
  EXPECT_NE(r.message.find("dB even with wo = 0"), std::string::npos) << r.message;
  EXPECT_GT(r.solves, 0);
}

TEST(FieldSynthesis, DesignsOutsideTheDomainAreNotRepresentable) {
  SynthesisGoal no_room = stacked_goal(0.02, 10.0, SynthesisUnknowns::width_and_offset, 0.22);
  SynthesisGoal against_plane = side_by_side_goal(0.02, 10.0, 0.005);
  SynthesisGoal too_thick =
      stacked_goal(0.13, 10.0, SynthesisUnknowns::width_and_vertical_gap, 0.0);
  SynthesisGoal wrong_unknowns = side_by_side_goal(0.0, 10.0, 0.1);
  wrong_unknowns.unknowns = SynthesisUnknowns::width_and_offset;
  for (const auto& [goal, says] :
       {std::pair{no_room, "sv + 2t must be below b = 0.25"},
        std::pair{against_plane, "h = 0.005 puts the strips against the lower plane"},
        std::pair{too_thick, "2t must be below b"},
        std::pair{wrong_unknowns, "side by side are synthesised for w and s"}}) {
    const SynthesisResult r = synthesise(goal);
    EXPECT_FALSE(r.converged) << says;
    EXPECT_EQ(r.failure, SynthesisFailure::not_representable) << says;
    EXPECT_NE(r.message.find(says), std::string::npos) << r.message;
    EXPECT_EQ(r.solves, 0) << says;
  }
}

}  // namespace
}  // namespace ketrovane::field
