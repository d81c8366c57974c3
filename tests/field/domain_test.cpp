// Inputs outside the solver's domain give a clear error naming the quantity,
// and a tolerance the solver cannot reach gives a failure carrying its last
// estimate, never a value it could not verify.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "field/field_loss.hpp"
#include "field/field_solver.hpp"

namespace ketrovane::field {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr Geometry kCoupler{0.25, 0.01, 0.2, 0.04, 2.2};

struct BadGeometry {
  Geometry g;
  std::string says;  // part of the message
};

TEST(Domain, EveryOutOfDomainGeometryIsRefusedByName) {
  const BadGeometry cases[] = {
      {{0.0, 0.0, 0.2, 0.04, 2.2}, "b = 0 is not a positive finite length"},
      {{-1.0, 0.0, 0.2, 0.04, 2.2}, "b = -1"},
      {{kInf, 0.0, 0.2, 0.04, 2.2}, "b = inf"},
      {{0.25, 0.0, kNaN, 0.04, 2.2}, "w = nan"},
      {{0.25, 0.0, 0.0, 0.04, 2.2}, "w = 0"},
      {{0.25, 0.0, 0.2, -0.04, 2.2}, "s = -0.04"},
      {{0.25, -0.01, 0.2, 0.04, 2.2}, "t = -0.01 is not a finite length of zero or more"},
      {{0.25, kNaN, 0.2, 0.04, 2.2}, "t = nan"},
      {{0.25, 0.25, 0.2, 0.04, 2.2}, "t = 0.25 is not below b = 0.25"},
      {{0.25, 0.3, 0.2, 0.04, 2.2}, "t = 0.3 is not below b"},
      {{0.25, 0.01, 0.2, 0.04, 0.5}, "er = 0.5 is not a finite permittivity of 1 or more"},
      {{0.25, 0.01, 0.2, 0.04, kInf}, "er = inf"},
      {{0.25, 0.01, 0.2, 0.04, kNaN}, "er = nan"},
      {{1.0, 0.01, 1e-9, 0.04, 2.2}, "w/b = 1e-09 is below the solver's range"},
      {{1.0, 0.01, 0.2, 1e-7, 2.2}, "s/b = 1e-07"},
      {{1.0, 1e-8, 0.2, 0.04, 2.2}, "give t = 0 for strips this thin"},
      {{1e-300, 0.0, 1e300, 0.04, 2.2}, "w/b = inf is not a finite ratio"},
      {{1e-300, 0.0, 0.2, 1e300, 2.2}, "s/b = inf is not a finite ratio"},
  };
  for (const BadGeometry& c : cases) {
    const FieldResult r = solve(c.g);
    EXPECT_EQ(r.status, FieldStatus::invalid_input) << c.says;
    EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
    EXPECT_FALSE(r.solution.has_value());
    EXPECT_EQ(exact_zero_thickness(c.g).status, FieldStatus::invalid_input) << c.says;
    EXPECT_EQ(field_loss(c.g, {1000.0, 6.7e-7, 0.0, 0.001}).status, FieldStatus::invalid_input);
  }
}

Geometry offset_at(double h, double t = 0.01) {
  return {0.25, t, 0.2, 0.04, 2.2, Arrangement::edge_offset, h};
}

Geometry stacked_at(double sv, double wo, double t = 0.01) {
  return {0.25, t, 0.2, 0.0, 2.2, Arrangement::broadside, 0.0, sv, wo};
}

// Off the centre plane the strips must clear both planes; one above the
// other they must fit between them, and s means nothing.
TEST(Domain, ArrangementsRefuseTheirOwnDimensionsByName) {
  const BadGeometry cases[] = {
      {offset_at(0.005),
       "h = 0.005 puts the strips against the lower plane (h must lie between "
       "t/2 and b - t/2)"},
      {offset_at(0.0, 0.0), "h = 0 puts the strips against the lower plane"},
      {offset_at(0.246), "h = 0.246 puts the strips against the upper plane"},
      {offset_at(kNaN), "h = nan is not a finite height"},
      {offset_at(0.005 + 1e-8),
       "the gap below the strips, (h - t/2)/b = 4e-08, is below the "
       "solver's range"},
      {{0.25, 0.01, 0.2, 0.0, 2.2, Arrangement::edge_offset, 0.1}, "s = 0 is not a positive"},
      {stacked_at(0.0, 0.0), "sv = 0 is not a positive finite length"},
      {stacked_at(kInf, 0.0), "sv = inf"},
      {stacked_at(0.23, 0.0),
       "sv = 0.23 and t = 0.01 do not fit between the planes: sv + 2t "
       "must be below b = 0.25"},
      {stacked_at(0.05, -0.1), "wo = -0.1 is not a finite offset of zero or more"},
      {stacked_at(0.05, kNaN), "wo = nan"},
      {stacked_at(1e-8, 0.0), "sv/b = 4e-08 is below the solver's range"},
      {stacked_at(0.23 - 2e-8, 0.0),
       "the gap between the strips and the planes, (b - sv - 2t)/2b = 4e-08, is below"},
      {{0.25, 0.01, 30.0, 0.0, 2.2, Arrangement::broadside, 0.0, 0.05, 0.0},
       "w/b = 120 is beyond the solver's range for strips one above the other"},
  };
  for (const BadGeometry& c : cases) {
    const FieldResult r = solve(c.g);
    EXPECT_EQ(r.status, FieldStatus::invalid_input) << c.says;
    EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
    EXPECT_EQ(field_loss(c.g, {1000.0, 6.7e-7, 0.0, 0.001}).status, FieldStatus::invalid_input);
  }
  // One above the other, s is not looked at; the exact solution is the
  // centred pair's alone.
  const Geometry no_gap = stacked_at(0.05, 0.0);
  EXPECT_TRUE(solve(no_gap).ok()) << solve(no_gap).message;
  for (const Geometry& g : {no_gap, offset_at(0.1, 0.0)}) {
    const FieldResult exact = exact_zero_thickness(g);
    EXPECT_EQ(exact.status, FieldStatus::invalid_input);
    EXPECT_NE(exact.message.find("side by side and centred only"), std::string::npos);
  }
}

TEST(Domain, UnusableOptionsAreRefused) {
  for (const double tolerance : {0.0, -1e-4, kNaN, kInf}) {
    const FieldResult r = solve(kCoupler, {tolerance, 8});
    EXPECT_EQ(r.status, FieldStatus::invalid_input);
    EXPECT_NE(r.message.find("tolerance = "), std::string::npos) << r.message;
  }
  for (const int refinements : {0, -3, 10, 1000000}) {
    const FieldResult r = solve(kCoupler, {1e-4, refinements});
    EXPECT_EQ(r.status, FieldStatus::invalid_input);
    EXPECT_NE(r.message.find("max_refinements = " + std::to_string(refinements)), std::string::npos)
        << r.message;
  }
}

TEST(Domain, ExactSolutionIsForZeroThicknessOnly) {
  const FieldResult r = exact_zero_thickness(kCoupler);
  EXPECT_EQ(r.status, FieldStatus::invalid_input);
  EXPECT_NE(r.message.find("t = 0.01 is not zero"), std::string::npos) << r.message;
}

// Double precision cannot reach 1e-14: after the allowed refinements the
// solver says so, with the estimate it got to, and returns no solution.
TEST(Domain, UnreachableToleranceFailsWithTheLastEstimate) {
  const FieldResult r = solve({1.0, 0.0, 0.5, 0.1, 1.0}, {1e-14, 3});
  EXPECT_EQ(r.status, FieldStatus::not_converged);
  EXPECT_FALSE(r.solution.has_value());
  EXPECT_GT(r.error_estimate, 1e-14);
  EXPECT_LT(r.error_estimate, 1e-4);  // it did converge, only not that far
  EXPECT_NE(r.message.find("tolerance of 1e-14 within 3 refinements"), std::string::npos)
      << r.message;

  // One refinement still compares two levels: the estimate is their change,
  // a finite number, not the infinity of no comparison at all.
  const FieldResult once = solve(kCoupler, {1e-9, 1});
  EXPECT_EQ(once.status, FieldStatus::not_converged);
  EXPECT_GT(once.error_estimate, 1e-9);
  EXPECT_LT(once.error_estimate, 0.1);
  const ConductorLossFactorResult loss = conductor_loss_factor(kCoupler, {1e-12, 1});
  EXPECT_EQ(loss.status, FieldStatus::not_converged);
  EXPECT_GT(loss.error_estimate, 1e-12);
  EXPECT_LT(loss.error_estimate, 0.1);
}

// A tolerance first met at refinement n is met when n refinements are
// allowed: the last allowed level is solved, and the answer is the same.
TEST(Domain, TheLastAllowedRefinementIsSolved) {
  const FieldResult free = solve(kCoupler, {1e-6, 8});
  ASSERT_TRUE(free.ok()) << free.message;
  const int needed = free.solution->refinements;
  ASSERT_GE(needed, 2);
  const FieldResult capped = solve(kCoupler, {1e-6, needed});
  ASSERT_TRUE(capped.ok()) << capped.message;
  EXPECT_EQ(capped.solution->refinements, needed);
  EXPECT_EQ(capped.solution->even.impedance, free.solution->even.impedance);
  EXPECT_EQ(solve(kCoupler, {1e-6, needed - 1}).status, FieldStatus::not_converged);

  // A tolerance the first comparison meets needs one refinement and no more.
  const FieldResult first = solve(kCoupler, {0.1, 1});
  ASSERT_TRUE(first.ok()) << first.message;
  EXPECT_EQ(first.solution->refinements, 1);
  const ConductorLossFactorResult loss = conductor_loss_factor(kCoupler, {0.1, 1});
  EXPECT_TRUE(loss.ok()) << loss.message;
}

TEST(Domain, LossInputsOutsideTheirDomainAreRefused) {
  const LossInputs fine{1000.0, 6.7e-7, 5e-6, 0.001};
  const auto refused = [](LossInputs in, const std::string& says) {
    const FieldLossResult r = field_loss(kCoupler, in);
    EXPECT_EQ(r.status, FieldStatus::invalid_input) << says;
    EXPECT_NE(r.message.find(says), std::string::npos) << r.message;
    EXPECT_FALSE(r.loss.has_value());
  };
  refused({-1.0, fine.resistivity, fine.roughness, fine.loss_tangent}, "frequency = -1 MHz");
  refused({kNaN, fine.resistivity, fine.roughness, fine.loss_tangent}, "frequency = nan");
  refused({fine.frequency_mhz, -1e-7, fine.roughness, fine.loss_tangent}, "resistivity = -1e-07");
  refused({fine.frequency_mhz, fine.resistivity, kInf, fine.loss_tangent}, "roughness = inf");
  refused({fine.frequency_mhz, fine.resistivity, fine.roughness, -0.1}, "loss tangent = -0.1");
  EXPECT_EQ(field_loss(kCoupler, fine, {1e-4, 0}).status, FieldStatus::invalid_input);
}

}  // namespace
}  // namespace ketrovane::field
