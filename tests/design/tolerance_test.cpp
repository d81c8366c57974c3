// Tolerance samples and their statistics: the draws (the same numbers on
// every machine and for any split of the run), the spread they give
// against the sensitivities' linear estimate, and the statistics and yield
// against hand-worked values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <string_view>
#include <vector>

#include "design/tolerance.hpp"
#include "design/tolerance_statistics.hpp"
#include "model/sensitivity.hpp"

namespace ketrovane {
namespace {

// The README's 10 dB coupler: 62 mil board, 1 oz copper, Er 3.66.
const CrossSection kCoupler{{0.062F, 0.00137F, 3.66F}, 0.0248F, 0.0064F};

ToleranceDesign design_of(std::vector<Variation> variations, Spread spread = Spread::normal) {
  ToleranceDesign d;
  d.nominal = StripPair(kCoupler);
  d.variations = std::move(variations);
  d.spread = spread;
  d.seed = 1;
  return d;
}

float drawn(const ToleranceSample& s, Varied v) {
  return s.inputs.at(static_cast<std::size_t>(v));
}

// ---- The draws ----

// Fault: a dimension's quantity taking another stream (a new dimension put
// before the board's, or the table reordered), which changes every stored
// run's samples; or a dimension and its varied quantity not found from each
// other.
TEST(ToleranceDraws, EachQuantityKeepsItsStream) {
  const std::vector<std::string_view> by_stream = {"w", "s",  "t",  "b",   "er",
                                                   "h", "sv", "wo", "etch"};
  ASSERT_EQ(by_stream.size(), kVariedCount);
  for (std::size_t i = 0; i < kVariedCount; ++i) {
    const auto v = static_cast<Varied>(i);
    EXPECT_EQ(varied_name(v), by_stream[i]);
    const StripDimension* d = dimension_varied(v);
    if (d == nullptr) continue;
    EXPECT_EQ(d->name, by_stream[i]);
    EXPECT_EQ(varied_of(*d), v);
  }
  for (const StripDimension* d : dimensions()) EXPECT_EQ(dimension_varied(varied_of(*d)), d);
}

// Pinned values: a change of the generator, the bits taken, the mapping to
// (0, 1) or the normal transform changes every run's samples.
TEST(ToleranceDraws, AreTheSameOnEveryMachine) {
  const ToleranceDesign d = design_of({{Varied::w, 0.0005}, {Varied::er, 0.04}});
  const ToleranceSample first = tolerance_sample(d, 0);
  const ToleranceSample far = tolerance_sample(d, 123456789012ULL);
  EXPECT_FLOAT_EQ(drawn(first, Varied::w), 0.024731018F);
  EXPECT_FLOAT_EQ(drawn(first, Varied::er), 3.6475749F);
  EXPECT_FLOAT_EQ(drawn(far, Varied::w), 0.02499407F);
  EXPECT_FLOAT_EQ(drawn(far, Varied::er), 3.6645498F);
}

TEST(ToleranceDraws, UniformNumbersLieInsideTheUnitIntervalAndDifferByStream) {
  const std::array<double, 2> a = uniform_pair(7, 0, 0);
  EXPECT_EQ(a, uniform_pair(7, 0, 0));
  EXPECT_NE(a, uniform_pair(7, 1, 0));
  EXPECT_NE(a, uniform_pair(7, 0, 1));
  EXPECT_NE(a, uniform_pair(8, 0, 0));
  EXPECT_NE(a, uniform_pair(7, 1ULL << 32U, 0));  // the index's high word counts
  for (std::uint64_t i = 0; i < 10000; ++i) {
    for (const double u : uniform_pair(3, i, 2)) {
      ASSERT_GT(u, 0.0);
      ASSERT_LT(u, 1.0);
    }
  }
}

TEST(ToleranceDraws, BoxMullerGivesTheStandardNormalLaw) {
  EXPECT_NEAR(standard_normal(std::exp(-0.5), 0.0), 1.0, 1e-15);
  EXPECT_NEAR(standard_normal(std::exp(-2.0), 0.5), -2.0, 1e-15);
  constexpr int kDraws = 200000;
  double sum = 0.0;
  double squares = 0.0;
  int beyond_three = 0;
  for (int i = 0; i < kDraws; ++i) {
    const std::array<double, 2> u = uniform_pair(11, static_cast<std::uint64_t>(i), 0);
    const double z = standard_normal(u[0], u[1]);
    sum += z;
    squares += z * z;
    if (std::fabs(z) > 3.0) ++beyond_three;
  }
  const double mean = sum / kDraws;
  EXPECT_NEAR(mean, 0.0, 4.0 / std::sqrt(kDraws));
  EXPECT_NEAR(squares / kDraws - mean * mean, 1.0, 4.0 * std::sqrt(2.0 / kDraws));
  // P(|z| > 3) = 0.0027: 540 expected, sd 23.
  EXPECT_NEAR(beyond_three, 540, 100);
}

// ---- The samples ----

// A quantity's draws belong to it: adding another varied quantity, or
// computing the sample alone, leaves them as they were.
TEST(ToleranceSamples, EachQuantityHasItsOwnStream) {
  const ToleranceDesign alone = design_of({{Varied::w, 0.0005}});
  const ToleranceDesign with_others =
      design_of({{Varied::t, 0.0001}, {Varied::w, 0.0005}, {Varied::etch, 0.0005}});
  for (std::uint64_t i = 0; i < 50; ++i) {
    EXPECT_EQ(drawn(tolerance_sample(alone, i), Varied::w),
              drawn(tolerance_sample(with_others, i), Varied::w));
  }
}

TEST(ToleranceSamples, UniformDrawsStayWithinTheirBounds) {
  const ToleranceDesign d =
      design_of({{Varied::w, 0.001}, {Varied::b, 0.002}, {Varied::er, 0.1}}, Spread::uniform);
  float least = 1.0F;
  float most = 0.0F;
  for (std::uint64_t i = 0; i < 20000; ++i) {
    const ToleranceSample s = tolerance_sample(d, i);
    ASSERT_EQ(s.status, SampleStatus::ok);
    least = std::min(least, drawn(s, Varied::w));
    most = std::max(most, drawn(s, Varied::w));
    ASSERT_LE(std::fabs(drawn(s, Varied::b) - 0.062F), 0.002F * 1.000001F);
    ASSERT_LE(std::fabs(drawn(s, Varied::er) - 3.66F), 0.1F * 1.000001F);
  }
  // Reaching close to both ends: a uniform law, not a normal one.
  EXPECT_LT(least, 0.0248F - 0.00099F);
  EXPECT_GT(most, 0.0248F + 0.00099F);
}

// The etch bias widens the strips and narrows the gap by twice itself.
TEST(ToleranceSamples, EtchMovesEveryEdgeByTheBias) {
  const ToleranceDesign etched = design_of({{Varied::etch, 0.0005}});
  ToleranceDesign by_hand = design_of({});
  for (std::uint64_t i = 0; i < 5; ++i) {
    const ToleranceSample s = tolerance_sample(etched, i);
    const float bias = drawn(s, Varied::etch);
    by_hand.nominal.x.w = kCoupler.w + 2.0F * bias;
    by_hand.nominal.x.s = kCoupler.s - 2.0F * bias;
    EXPECT_EQ(s.outcomes, nominal_sample(by_hand).outcomes) << i;
  }
}

// Small tolerances: the spread of Zoe and Zoo is the linear one,
// sqrt(sum (S_x sigma_x / x)^2) Z, within the statistical error of a
// standard deviation over 20000 samples (0.5 %) and the curvature.
TEST(ToleranceSamples, SmallSpreadsAgreeWithTheSensitivities) {
  const double pct = 0.005;  // each quantity +-0.5 %, three standard deviations
  const ToleranceDesign d = design_of({{Varied::w, pct * kCoupler.w},
                                       {Varied::s, pct * kCoupler.s},
                                       {Varied::t, pct * kCoupler.board.t},
                                       {Varied::b, pct * kCoupler.board.b},
                                       {Varied::er, pct * kCoupler.board.er}});
  const ImpedanceSensitivities sens = impedance_sensitivities(kCoupler);
  const auto linear = [&](const ModeSensitivities& m, float z) {
    const double relative = pct / 3.0;
    return z * relative * std::sqrt(m.w * m.w + m.s * m.s + m.t * m.t + m.b * m.b + m.er * m.er);
  };
  std::vector<float> zoe;
  std::vector<float> zoo;
  for (std::uint64_t i = 0; i < 20000; ++i) {
    const ToleranceSample s = tolerance_sample(d, i);
    zoe.push_back(s.outcomes[0]);
    zoo.push_back(s.outcomes[1]);
  }
  const double even = statistics_of(zoe).standard_deviation;
  const double odd = statistics_of(zoo).standard_deviation;
  EXPECT_NEAR(even / linear(sens.even, sens.zoe), 1.0, 0.03);
  EXPECT_NEAR(odd / linear(sens.odd, sens.zoo), 1.0, 0.03);
}

TEST(ToleranceSamples, ADimensionDrawnBelowZeroIsNamedNotComputed) {
  ToleranceDesign d = design_of({{Varied::s, 0.0064 * 1.2}}, Spread::uniform);
  int not_positive = 0;
  for (std::uint64_t i = 0; i < 2000; ++i) {
    const ToleranceSample s = tolerance_sample(d, i);
    if (s.status == SampleStatus::not_positive) ++not_positive;
    if (drawn(s, Varied::s) <= 0.0F) {
      EXPECT_EQ(s.status, SampleStatus::not_positive);
    }
  }
  // S below zero for (1.2 - 1)/(2 x 1.2) = 8.3 % of the samples.
  EXPECT_NEAR(not_positive, 167, 40);
}

TEST(ToleranceSamples, ShareBelowAFloorFollowsTheLaw) {
  EXPECT_DOUBLE_EQ(share_at_or_below(Spread::uniform, 1.0, 2.0, 0.0), 0.25);
  EXPECT_DOUBLE_EQ(share_at_or_below(Spread::uniform, 1.0, 0.5, 0.0), 0.0);
  EXPECT_NEAR(share_at_or_below(Spread::normal, 1.0, 1.0, 0.0), 0.0013499, 1e-6);
  EXPECT_DOUBLE_EQ(share_at_or_below(Spread::normal, 1.0, 0.0, 0.0), 0.0);
}

// The share at or below a floor of a value drawn as the sum of two draws
// (a dimension's own and its etch's), against the share of a million
// sums of the draws themselves, within four standard errors.  Catches two
// uniform half-widths added into one uniform, and normal ones not added in
// quadrature.
TEST(ToleranceSamples, ShareOfASumIsOfTheSumsLaw) {
  struct Case {
    double nominal;
    SpreadTerm own;
    SpreadTerm etch;
  };
  const std::vector<Case> cases = {
      {6.4, {Spread::uniform, 6.4}, {Spread::uniform, 0.033}},  // 0.0645 %, not 0.256 %
      {1.0, {Spread::uniform, 0.9}, {Spread::uniform, 0.5}},    // across the flat top
      {1.0, {Spread::uniform, 0.5}, {Spread::uniform, 1.5}},    // the etch the wider
      {1.0, {Spread::normal, 2.0}, {Spread::normal, 1.5}},
      {1.0, {Spread::uniform, 1.0}, {Spread::normal, 0.9}},  // mixed, either order
      {1.0, {Spread::normal, 0.9}, {Spread::uniform, 1.2}},
      {-0.2, {Spread::uniform, 1.0}, {Spread::uniform, 0.4}},  // nominal below the floor
  };
  constexpr int kDraws = 1000000;
  for (const Case& c : cases) {
    int below = 0;
    for (int i = 0; i < kDraws; ++i) {
      const auto draw = [i](const SpreadTerm& t, std::uint32_t slot) {
        const std::array<double, 2> u = uniform_pair(7, static_cast<std::uint64_t>(i), slot);
        return t.spread == Spread::uniform ? t.half_width * (2.0 * u[0] - 1.0)
                                           : t.half_width / 3.0 * standard_normal(u[0], u[1]);
      };
      if (c.nominal + draw(c.own, 0) + draw(c.etch, 1) <= 0.0) ++below;
    }
    const double drawn = static_cast<double>(below) / kDraws;
    const double share = share_of_sum_at_or_below(c.nominal, {c.own, c.etch}, 0.0);
    const double error = std::sqrt(std::max(share * (1.0 - share), 1e-6) / kDraws);
    EXPECT_NEAR(share, drawn, 4.0 * error) << c.nominal << " " << c.own.half_width;
  }
  EXPECT_NEAR(
      share_of_sum_at_or_below(6.4, {{{Spread::uniform, 6.4}, {Spread::uniform, 0.033}}}, 0.0),
      0.033 / (8.0 * 6.4), 1e-15);
}

// ---- Statistics and yield ----

TEST(ToleranceStatistics, OfOneToHundredAndOne) {
  std::vector<float> v(101);
  std::iota(v.begin(), v.end(), 1.0F);
  std::reverse(v.begin(), v.end());
  const QuantityStatistics s = statistics_of(v);
  EXPECT_EQ(s.count, 101);
  EXPECT_DOUBLE_EQ(s.mean, 51.0);
  EXPECT_NEAR(s.standard_deviation, std::sqrt(101.0 * 102.0 / 12.0), 1e-12);
  // Linear between order statistics at (n - 1) p: 0.1 % is 1.1, 99.9 % 100.9.
  const std::array<double, 7> expected = {1.1, 2.0, 6.0, 51.0, 96.0, 100.0, 100.9};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(s.percentiles.at(i), expected.at(i), 1e-12) << kPercentiles.at(i);
  }
}

TEST(ToleranceStatistics, OneValueAndNone) {
  std::vector<float> one = {2.5F};
  const QuantityStatistics s = statistics_of(one);
  EXPECT_EQ(s.standard_deviation, 0.0);
  for (const double p : s.percentiles) EXPECT_EQ(p, 2.5);
  std::vector<float> none;
  EXPECT_TRUE(std::isnan(statistics_of(none).mean));
}

// Wilson's interval: at 50 of 100 it is 0.4038 to 0.5962; at 0 and at
// every sample it stays inside [0, 1] with a width of about 3.84/n.
TEST(ToleranceStatistics, YieldIntervalIsWilsons) {
  const YieldEstimate half = yield_of(50, 100);
  EXPECT_DOUBLE_EQ(half.share, 0.5);
  EXPECT_NEAR(half.low, 0.40383, 1e-5);
  EXPECT_NEAR(half.high, 0.59617, 1e-5);
  const YieldEstimate none = yield_of(0, 1000);
  EXPECT_EQ(none.low, 0.0);
  EXPECT_NEAR(none.high, 3.8415 / 1003.8415, 1e-6);
  const YieldEstimate all = yield_of(1000, 1000);
  EXPECT_EQ(all.high, 1.0);
  EXPECT_NEAR(all.low, 1000.0 / 1003.8415, 1e-6);
}

// Limits hold the value in its own sign; an open side is infinite.
TEST(ToleranceStatistics, LimitsHoldTheValueInItsSign) {
  ToleranceSample s;
  s.outcomes.at(static_cast<std::size_t>(Outcome::coupling)) = -10.2F;
  s.outcomes.at(static_cast<std::size_t>(Outcome::zo)) = 50.5F;
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(within({Outcome::coupling, -10.5, -9.5}, -10.2F));
  EXPECT_FALSE(within({Outcome::coupling, -10.0, inf}, -10.2F));  // at least -10 dB
  EXPECT_TRUE(within({Outcome::coupling, -inf, -10.0}, -10.2F));  // at most -10 dB
  const std::vector<Limit> limits = {{Outcome::coupling, -10.5, -9.5}, {Outcome::zo, 48.0, 52.0}};
  EXPECT_TRUE(passes(s, limits));
  s.outcomes.at(static_cast<std::size_t>(Outcome::zo)) = 52.5F;
  EXPECT_FALSE(passes(s, limits));
  s.outcomes.at(static_cast<std::size_t>(Outcome::zo)) = 50.0F;
  s.status = SampleStatus::field_failed;
  EXPECT_FALSE(passes(s, limits));
}

}  // namespace
}  // namespace ketrovane
