// Strips of zero thickness, where Cohn's conformal mapping gives the exact
// answer: the solver must meet it to 0.01 % in both modes everywhere, and its
// error estimate must cover what it misses.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "field/field_solver.hpp"
#include "references.hpp"

namespace ketrovane::field {
namespace {

using testing::log_spaced;

using testing::cohn_isolated_strip;
using testing::cohn_zero_thickness;
using testing::impedance_of;

constexpr double kExactTarget = 1e-4;  // 0.01 % of each mode impedance

#ifdef NDEBUG
constexpr int kSamples = 9;  // per axis
#else
constexpr int kSamples = 4;  // the sanitizer build is some fifty times slower
#endif

TEST(ZeroThickness, MatchesCohnWithinTheTargetAndTheEstimate) {
  for (const double w : log_spaced(0.1, 3.0, kSamples)) {
    for (const double s : log_spaced(0.005, 2.0, kSamples)) {
      const FieldResult r = solve({1.0, 0.0, w, s, 1.0});
      ASSERT_TRUE(r.ok()) << r.message;
      const auto exact = cohn_zero_thickness(w, s);
      const double even_error = r.solution->even.impedance / impedance_of(exact.even, 1.0) - 1.0;
      const double odd_error = r.solution->odd.impedance / impedance_of(exact.odd, 1.0) - 1.0;
      EXPECT_LT(std::abs(even_error), kExactTarget) << "w/b " << w << " s/b " << s;
      EXPECT_LT(std::abs(odd_error), kExactTarget) << "w/b " << w << " s/b " << s;
      EXPECT_LE(std::abs(even_error), r.solution->even.error_estimate)
          << "w/b " << w << " s/b " << s;
      EXPECT_LE(std::abs(odd_error), r.solution->odd.error_estimate) << "w/b " << w << " s/b " << s;
    }
  }
}

// The library's own exact solution, written with an AGM and logarithms that
// survive any width, against Cohn's formula evaluated with 50 digits.  (The
// textbook form with std::comp_ellint_1 would not do as the reference here:
// where a modulus nears 1 it sees k rounded, which costs it eps/k'^2 in K(k),
// 5e-7 of the odd mode at w = 6b, s = 1e-4 b.)
struct HighPrecisionCase {
  double w, s;       // units of b
  double even, odd;  // C/eps
};

TEST(ZeroThickness, ExactSolutionMatchesFiftyDigitValues) {
  const HighPrecisionCase cases[] = {
      {0.01, 0.0001, 0.64884238116276875, 8.5176659786024387},
      {1, 0.1, 5.0668550351519545, 7.432298959648884},
      {3, 0.0001, 12.882742384902643, 24.034739011063187},
      {6, 0.0001, 24.882742384902643, 36.034739019352444},
      {6, 2, 25.762709316638683, 25.767464726033679},
  };
  for (const HighPrecisionCase& c : cases) {
    const FieldResult r = exact_zero_thickness({0.25, 0.0, 0.25 * c.w, 0.25 * c.s, 2.2});
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_NEAR(r.solution->even.capacitance / c.even, 1.0, 1e-12) << c.w << " " << c.s;
    EXPECT_NEAR(r.solution->odd.capacitance / c.odd, 1.0, 1e-12) << c.w << " " << c.s;
    EXPECT_NEAR(r.solution->even.impedance, impedance_of(c.even, 2.2), 1e-12 * 100.0);
  }
}

// Strips hundreds of b wide, where sech^2 underflows and comp_ellint_1 cannot
// be asked: the capacitance is the parallel plate plus the fringing of the
// edges, 4w/b + 8 ln 2/pi for a lone strip.
TEST(ZeroThickness, ExactSolutionOfVeryWideStrips) {
  const FieldResult r = exact_zero_thickness({1.0, 0.0, 500.0, 400.0, 1.0});
  ASSERT_TRUE(r.ok()) << r.message;
  const double parallel_plus_fringing = 4.0 * 500.0 + 8.0 * std::log(2.0) / std::numbers::pi;
  EXPECT_NEAR(r.solution->even.capacitance, parallel_plus_fringing, 1e-9);
  EXPECT_NEAR(r.solution->odd.capacitance, parallel_plus_fringing, 1e-9);
}

// Far apart, each strip is alone: both modes tend to Cohn's isolated strip,
// the even mode from above and the odd from below, and the coupling falls as
// exp(-pi s/b), the decay of the lowest mode between the planes.
TEST(ZeroThickness, DistantStripsApproachTheIsolatedStrip) {
  const double w = 0.6;
  const double isolated = impedance_of(cohn_isolated_strip(w), 1.0);
  double previous_split = 0.0;
  for (const double s : {1.0, 2.0, 3.0, 4.0}) {
    const FieldResult r = solve({1.0, 0.0, w, s, 1.0}, {1e-9, 8});
    ASSERT_TRUE(r.ok()) << r.message;
    const double zoe = r.solution->even.impedance;
    const double zoo = r.solution->odd.impedance;
    EXPECT_GT(zoe, isolated);
    EXPECT_LT(zoo, isolated);
    const double split = (zoe - zoo) / isolated;
    if (previous_split > 0.0) {
      EXPECT_NEAR(split / previous_split, std::exp(-std::numbers::pi), 0.01);
    }
    previous_split = split;
  }
  const FieldResult far = solve({1.0, 0.0, w, 30.0, 1.0}, {1e-9, 8});
  ASSERT_TRUE(far.ok()) << far.message;
  EXPECT_NEAR(far.solution->even.impedance / isolated, 1.0, 1e-8);
  EXPECT_NEAR(far.solution->odd.impedance / isolated, 1.0, 1e-8);
}

}  // namespace
}  // namespace ketrovane::field
