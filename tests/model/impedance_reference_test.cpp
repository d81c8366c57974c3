// The impedance model against an independent double-precision evaluation of
// its formulas (reference_model.py), point by point: every gap band alone,
// every blend across a band edge, zero thickness, thin strips blended with
// the zero-thickness solution, and thick strips up to t/b = 0.8, where the
// high powers of t/b in the fit tables count.  Narrow strips (w/b = 0.2)
// take the other form of Hilberg's approximation in the zero-thickness
// solution, and three points lie just above the band edges at s/b = 0.2,
// 0.25 and 1.5.
//
// Each expected value comes with its tolerance: six standard deviations of
// the error that single-precision rounding adds to that value at that point,
// as the reference estimates it (from a few parts in 10^7 of the value up to
// 1.5e-2 of a capacitance where the band-2 fits cancel at t/b = 0.8).  A wrong
// digit in a fit coefficient or a blend constant fails wherever it moves a
// result by more than rounding would.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "model/stripline_model.hpp"

namespace ketrovane {
namespace {

struct Expected {
  double value;
  double tolerance;  // six standard deviations of the single-precision rounding error
};

struct Point {
  const char* name;
  float b, er, s, t, w;
  Expected zoe, zoo, cf, cfe, cfo, cpa;
};

void PrintTo(const Point& p, std::ostream* os) {
  *os << p.name;
}

constexpr Point kPoints[] = {
#include "impedance_reference_points.inc"
};

class ReferencePoint : public testing::TestWithParam<Point> {};

void expect_within(float actual, const Expected& e, const char* what) {
  EXPECT_NEAR(actual, e.value, e.tolerance) << what;
}

TEST_P(ReferencePoint, MatchesTheDoublePrecisionReference) {
  const Point& p = GetParam();
  const ModeImpedances m =
      mode_impedances({.board = {.b = p.b, .t = p.t, .er = p.er}, .w = p.w, .s = p.s});
  EXPECT_FALSE(m.zero_thickness_abandoned);
  expect_within(m.zoe, p.zoe, "zoe");
  expect_within(m.zoo, p.zoo, "zoo");
  expect_within(m.capacitances.outer_fringing, p.cf, "cf");
  expect_within(m.capacitances.inner_fringing_even, p.cfe, "cfe");
  expect_within(m.capacitances.inner_fringing_odd, p.cfo, "cfo");
  expect_within(m.capacitances.parallel_plate, p.cpa, "cpa");
}

INSTANTIATE_TEST_SUITE_P(Points, ReferencePoint, testing::ValuesIn(kPoints),
                         [](const testing::TestParamInfo<Point>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace ketrovane
