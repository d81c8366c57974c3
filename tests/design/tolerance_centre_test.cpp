// Design centring: the search finds the nominal whose outcomes sit in the
// middle of limits symmetric about them, keeps to the fab's least width,
// and never ends below the yield it started from.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "design/arrangements.hpp"
#include "design/tolerance.hpp"
#include "design/tolerance_centre.hpp"
#include "design/tolerance_statistics.hpp"

namespace ketrovane {
namespace {

// The README's 10 dB coupler: 62 mil board, 1 oz copper, Er 3.66; its W
// and S are where the limits below are centred.
const CrossSection kCentre{{0.062F, 0.00137F, 3.66F}, 0.0248F, 0.0064F};
constexpr double kMil = 0.001;

// The limits on the coupling and Zo, each symmetric about the centre's
// value by `half` of it in dB and `zo_half` in ohm.
std::vector<Limit> limits_about_centre(const ToleranceDesign& d, double half, double zo_half) {
  ToleranceDesign at_centre = d;
  at_centre.nominal = StripPair(kCentre);
  const ToleranceSample c = nominal_sample(at_centre);
  const double coupling = c.outcomes.at(static_cast<std::size_t>(Outcome::coupling));
  const double zo = c.outcomes.at(static_cast<std::size_t>(Outcome::zo));
  return {{Outcome::coupling, coupling - half, coupling + half},
          {Outcome::zo, zo - zo_half, zo + zo_half}};
}

// The coupling of the nominal design at gap `s`.
double coupling_at(ToleranceDesign d, double s) {
  d.nominal.x.s = static_cast<float>(s);
  return nominal_sample(d).outcomes.at(static_cast<std::size_t>(Outcome::coupling));
}

// The gap where the coupling is `target`, by bisection: the coupling grows
// in magnitude (weakens) as the gap opens.
double gap_of_coupling(const ToleranceDesign& d, double target) {
  double narrow = 0.002;
  double wide = 0.02;
  for (int i = 0; i < 60; ++i) {
    const double mid = 0.5 * (narrow + wide);
    (std::fabs(coupling_at(d, mid)) < std::fabs(target) ? narrow : wide) = mid;
  }
  return 0.5 * (narrow + wide);
}

struct Case {
  std::string name;
  std::vector<Variation> variations;
  bool hold_width;
  double w_offset;  // the start's W and S from the centre's (inches)
  double s_offset;
  double min_width;  // the fab's least W, 0 for none
};

// Faults, each of which leaves the centred design away from the known
// optimum, or its yield below the start's:
//  - the hard yield searched instead of a smoothed one (flat steps: the
//    search stays at the start);
//  - the candidates judged on samples of their own instead of the same
//    ones (the search follows noise, and two starts end apart);
//  - a searched value written into the other dimension, or the
//    arrangement's second dimension taken for the gap;
//  - the fab's least width, or a held dimension, not kept as a bound;
TEST(ToleranceCentre, FindsTheKnownOptimum) {
  const std::vector<Variation> gap_only = {{Varied::s, 0.001}};
  const std::vector<Variation> three = {{Varied::w, 0.001}, {Varied::s, 0.001}, {Varied::er, 0.05}};
  const std::array<Case, 4> cases = {{
      // Only S varied, a coupling limit about the centre's, W held: the
      // best nominal S is the middle of the gaps whose coupling meets the
      // limit, since a symmetric law puts most draws in an interval
      // centred on the nominal.
      {"only the gap, from closer", gap_only, true, 0.0, -0.9 * kMil, 0.0},
      {"only the gap, from farther", gap_only, true, 0.0, 1.2 * kMil, 0.0},
      // W, S and Er varied, Zo limited too: two starts end at one design
      // near the centre's (the outcomes' curvature moves it a little).
      {"from wider and closer", three, false, 2.0 * kMil, -0.8 * kMil, 0.0},
      {"from narrower and farther", three, false, -1.5 * kMil, 0.7 * kMil, 0.0},
  }};
  ToleranceDesign board;
  board.nominal = StripPair(kCentre);
  const double coupling = coupling_at(board, kCentre.s);
  const double s_best =
      0.5 * (gap_of_coupling(board, coupling - 0.3) + gap_of_coupling(board, coupling + 0.3));
  std::vector<std::array<double, 2>> ends;
  for (const Case& c : cases) {
    ToleranceDesign d;
    d.variations = c.variations;
    d.seed = 11;
    std::vector<Limit> limits = limits_about_centre(d, 0.3, 1.5);
    if (c.hold_width) limits.pop_back();
    CrossSection start = kCentre;
    start.w += static_cast<float>(c.w_offset);
    start.s += static_cast<float>(c.s_offset);
    d.nominal = StripPair(start);
    CentreSetup setup;
    setup.samples = 2000;
    setup.held = {c.hold_width, false};
    const CentreResult r = centre_design(d, limits, setup);
    ASSERT_EQ(r.searched[0], &strip_width()) << c.name;
    ASSERT_EQ(r.searched[1], &strip_spacing()) << c.name;
    EXPECT_NEAR(r.start[1], start.s, 1e-9) << c.name;
    if (c.hold_width) {
      EXPECT_EQ(r.centred[0], r.start[0]) << c.name;
      EXPECT_NEAR(r.centred[1], s_best, 0.01 * kMil) << c.name;
    } else {
      EXPECT_NEAR(r.centred[0], kCentre.w, 0.3 * kMil) << c.name;
      EXPECT_NEAR(r.centred[1], kCentre.s, 0.1 * kMil) << c.name;
      ends.push_back(r.centred);
    }
    EXPECT_GE(r.centred_smoothed, r.start_smoothed) << c.name;
    EXPECT_GT(r.centred_yield.share, r.start_yield.share) << c.name;
    // The centred design is the design with the centred values put in.
    const ToleranceDesign centred = centred_design(d, r);
    EXPECT_EQ(centred.nominal.x.w, static_cast<float>(r.centred[0])) << c.name;
    EXPECT_EQ(centred.nominal.x.s, static_cast<float>(r.centred[1])) << c.name;
  }
  ASSERT_EQ(ends.size(), 2U);
  EXPECT_NEAR(ends[0][0], ends[1][0], 0.01 * kMil);
  EXPECT_NEAR(ends[0][1], ends[1][1], 0.01 * kMil);
}

// Fault: the fab's least width not a bound of the search, or the start
// moved into the bounds after it was reported.
TEST(ToleranceCentre, KeepsTheFabsLeastWidth) {
  ToleranceDesign d;
  d.variations = {{Varied::w, 0.001}, {Varied::s, 0.001}, {Varied::er, 0.05}};
  d.seed = 5;
  const std::vector<Limit> limits = limits_about_centre(d, 0.3, 1.5);
  CrossSection start = kCentre;
  start.w += static_cast<float>(2.0 * kMil);
  d.nominal = StripPair(start);
  CentreSetup setup;
  setup.samples = 1000;
  setup.min_width = kCentre.w + 0.5 * kMil;
  const CentreResult r = centre_design(d, limits, setup);
  EXPECT_EQ(r.start[0], static_cast<double>(start.w));
  EXPECT_GE(r.centred[0], setup.min_width);
  EXPECT_NEAR(r.centred[0], setup.min_width, 0.01 * kMil);
}

// Fault: a sample that could not be computed counted as a pass, or a
// logistic of the wrong sign (a sample far outside counting most): the
// smoothed yield leaves [0, 1] or stops tending to the hard yield as the
// logistics narrow.
TEST(ToleranceCentre, TheSmoothedYieldTendsToTheYieldAsItNarrows) {
  ToleranceDesign d;
  d.nominal = StripPair(kCentre);
  d.variations = {{Varied::w, 0.001}, {Varied::s, 0.001}, {Varied::er, 0.05}};
  d.seed = 3;
  const std::vector<Limit> limits = limits_about_centre(d, 0.2, 1.0);
  std::vector<ToleranceSample> samples;
  for (std::uint64_t i = 0; i < 4000; ++i) samples.push_back(tolerance_sample(d, i));
  samples.at(17).status = SampleStatus::model_failed;
  std::int64_t passed = 0;
  for (const ToleranceSample& s : samples) passed += passes(s, limits) ? 1 : 0;
  const double yield = static_cast<double>(passed) / static_cast<double>(samples.size());
  const std::array<double, 2> narrow = {1e-7, 1e-5};
  const std::array<double, 2> wide = {0.05, 0.3};
  EXPECT_NEAR(smoothed_yield(samples, limits, narrow), yield, 1.0 / 4000.0);
  const double smooth = smoothed_yield(samples, limits, wide);
  EXPECT_GT(smooth, 0.0);
  EXPECT_LT(smooth, 1.0);
}

}  // namespace
}  // namespace ketrovane
