// The method of moments that the broadside and offset references lean on,
// held against what is known without it: Cohn's exact answer for the centred
// side-by-side pair, lone strips off centre from the exact broadside map, the
// symmetries of the channel, and its own convergence where the strips come
// closest.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "field/exact_broadside.hpp"
#include "field/field_solver.hpp"
#include "field/support/moments.hpp"

namespace ketrovane::field {
namespace {

using testing::broadside_moments;
using testing::edge_offset_moments;

constexpr double kMomentsTarget = 1e-5;

TEST(Moments, CentredSideBySidePairMatchesCohn) {
  for (const double w : {0.1, 0.5, 1.5, 3.0}) {
    for (const double s : {0.01, 0.1, 0.5, 2.0}) {
      const auto m = edge_offset_moments(w, s, 0.5);
      const FieldResult exact = exact_zero_thickness({1.0, 0.0, w, s, 1.0});
      ASSERT_TRUE(exact.ok()) << exact.message;
      EXPECT_NEAR(m.even / exact.solution->even.capacitance, 1.0, kMomentsTarget)
          << "w/b " << w << " s/b " << s;
      EXPECT_NEAR(m.odd / exact.solution->odd.capacitance, 1.0, kMomentsTarget)
          << "w/b " << w << " s/b " << s;
    }
  }
}

// Turning the cross-section upside down changes nothing; the images of the
// two planes enter through different branches of the kernel, so a slip in
// either shows here.
TEST(Moments, MirrorImagesAcrossTheCentrePlaneAgree) {
  for (const double h : {0.1, 0.3}) {
    const auto low = edge_offset_moments(1.2, 0.2, h);
    const auto high = edge_offset_moments(1.2, 0.2, 1.0 - h);
    EXPECT_NEAR(low.even / high.even, 1.0, 1e-12) << "h/b " << h;
    EXPECT_NEAR(low.odd / high.odd, 1.0, 1e-12) << "h/b " << h;
  }
}

// Far apart, side-by-side strips off the centre plane are lone strips at
// height h: the odd mode of the exact broadside map in a channel 2b high
// with sv = 2h.
TEST(Moments, SideBySideStripsFarApartAreAlone) {
  for (const double h : {0.2, 0.35}) {
    const double w = 0.9;
    const double lone = broadside_capacitances(w / 2.0, h).odd;
    const auto apart = edge_offset_moments(w, 8.0, h);
    EXPECT_NEAR(apart.even / lone, 1.0, 1e-9) << "h/b " << h;
    EXPECT_NEAR(apart.odd / lone, 1.0, 1e-9) << "h/b " << h;
  }
}

// Off centre a strip sees more of the nearer plane: both modes gain
// capacitance as the pair moves down, and neither of them falls below the
// centred pair's.
TEST(Moments, PairOffCentreGainsCapacitance) {
  const double w = 0.8;
  const double s = 0.3;
  double previous_even = 0.0;
  double previous_odd = 0.0;
  for (const double h : {0.5, 0.4, 0.3, 0.2}) {
    const auto m = edge_offset_moments(w, s, h);
    EXPECT_GT(m.even, previous_even) << "h/b " << h;
    EXPECT_GT(m.odd, previous_odd) << "h/b " << h;
    previous_even = m.even;
    previous_odd = m.odd;
  }
}

// Pulled far apart sideways, broadside strips are two lone strips at
// height (b + sv)/2, and the two modes merge as exp(-pi wo/b), the decay of
// the lowest mode between the planes.  A lone strip at height y0 is the odd
// mode of the exact broadside map in a channel 2b high with sv = 2 y0.
TEST(Moments, BroadsideStripsFarApartAreAlone) {
  const double w = 0.7;
  const double sv = 0.3;
  const auto near = broadside_moments(w, sv, 4.0);
  const auto far = broadside_moments(w, sv, 5.0);
  EXPECT_NEAR((far.odd / far.even - 1.0) / (near.odd / near.even - 1.0),
              std::exp(-std::numbers::pi), 0.01);
  const double lone = broadside_capacitances(w / 2.0, (1.0 + sv) / 2.0).odd;
  const auto apart = broadside_moments(w, sv, 8.0);
  EXPECT_NEAR(apart.even / lone, 1.0, 1e-9);
  EXPECT_NEAR(apart.odd / lone, 1.0, 1e-9);
}

// Where the edge of one strip faces the middle of the other across a narrow
// gap the charge bends sharply and the basis has to be large; the default
// choice must be converged well inside the target.
TEST(Moments, ChosenBasisIsConvergedWhereTheStripsComeClosest) {
  struct Case {
    double w, sv, wo;
  };
  for (const Case& c : {Case{1.0, 0.02, 0.5}, Case{1.0, 0.02, 0.25}, Case{3.0, 0.05, 0.0}}) {
    const auto chosen = broadside_moments(c.w, c.sv, c.wo);
    const auto finer = broadside_moments(c.w, c.sv, c.wo, chosen.modes * 3 / 2);
    EXPECT_NEAR(chosen.even / finer.even, 1.0, 1e-3 * kMomentsTarget) << c.w << " " << c.wo;
    EXPECT_NEAR(chosen.odd / finer.odd, 1.0, 1e-3 * kMomentsTarget) << c.w << " " << c.wo;
  }
}

}  // namespace
}  // namespace ketrovane::field
