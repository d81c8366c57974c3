// Tolerance draws as boards vary: a quantity's own law (a normal truncated
// at K standard deviations), its bias and asymmetric bounds, correlated
// quantities and a share drawn once per lot.  Each statistic is checked
// within four of its standard errors over 40,000 samples.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "design/tolerance.hpp"

namespace ketrovane {
namespace {

const CrossSection kCoupler{{0.062F, 0.00137F, 3.66F}, 0.0248F, 0.0064F};
constexpr std::uint64_t kSamples = 40000;

ToleranceDesign design_of(std::vector<Variation> variations) {
  ToleranceDesign d;
  d.nominal = StripPair(kCoupler);
  d.variations = std::move(variations);
  d.seed = 11;
  return d;
}

// The drawn values of `q` over the samples, as offsets from `nominal`.
std::vector<double> offsets(const ToleranceDesign& d, Varied q, double nominal) {
  std::vector<double> v;
  for (std::uint64_t i = 0; i < kSamples; ++i) {
    v.push_back(tolerance_sample(d, i).inputs.at(static_cast<std::size_t>(q)) - nominal);
  }
  return v;
}

struct Moments {
  double mean = 0.0;
  double variance = 0.0;
};

Moments moments_of(const std::vector<double>& v) {
  Moments m;
  for (const double x : v) m.mean += x;
  m.mean /= static_cast<double>(v.size());
  for (const double x : v) m.variance += (x - m.mean) * (x - m.mean);
  m.variance /= static_cast<double>(v.size() - 1);
  return m;
}

// Faults: truncation by rejection (a draw count that varies) or none at all
// (draws past X), the standard deviation taken as X/3 whatever K, and an
// inverse distribution that is off.  No draw lies past X, and the variance
// is the truncated normal law's: sigma^2 (1 - 2 K phi(K) / (2 Phi(K) - 1)),
// sigma = X / K.
TEST(ToleranceLaws, ATruncatedNormalStaysWithinXWithTheTruncatedVariance) {
  constexpr double kX = 0.001;
  for (const double k : {1.0, 2.0, 3.0}) {
    const ToleranceDesign d =
        design_of({{Varied::w, kX, 0.0, std::nullopt, Law{Spread::normal, k}}});
    const std::vector<double> v = offsets(d, Varied::w, kCoupler.w);
    for (const double x : v) ASSERT_LE(std::fabs(x), kX * (1.0 + 1e-6)) << k;
    const double sigma = kX / k;
    const double phi = std::exp(-k * k / 2.0) / std::sqrt(2.0 * std::numbers::pi);
    const double expected = sigma * sigma * (1.0 - 2.0 * k * phi / (2.0 * normal_cdf(k) - 1.0));
    EXPECT_NEAR(moments_of(v).variance, expected, 4.0 * expected * std::sqrt(2.0 / kSamples))
        << "K " << k;
  }
  for (const double p : {1e-9, 0.01, 0.3, 0.5, 0.97, 1.0 - 1e-9}) {
    EXPECT_NEAR(normal_cdf(normal_quantile(p)), p, 1e-14 + 1e-12 * p);
  }
}

// Faults: the bias not added (or added twice), the bounds of +X/-Y swapped
// or taken as symmetric.  The means of the draws: nominal + bias; uniform
// within [-Y, X]: (X - Y) / 2; normal with X/3 above and Y/3 below:
// (X - Y) / 3 / sqrt(2 pi).
TEST(ToleranceLaws, BiasAndAsymmetricBoundsMoveTheMean) {
  struct Case {
    Variation v;
    double mean;
    double sd;  // of one draw, for the standard error
  };
  const double x = 0.0001;  // +10 % of T
  const double y = 0.00005;
  const std::vector<Case> cases = {
      {{Varied::etch, 0.0005, -0.0003}, -0.0003, 0.0005 / 3.0},
      {{Varied::t, x, 0.0, y, Law{Spread::uniform, 0.0}}, (x - y) / 2.0, (x + y) / std::sqrt(12.0)},
      {{Varied::t, x, 0.0, y}, (x - y) / 3.0 / std::sqrt(2.0 * std::numbers::pi), x / 3.0},
  };
  for (const Case& c : cases) {
    const double nominal = c.v.quantity == Varied::t ? kCoupler.board.t : 0.0;
    const Moments m = moments_of(offsets(design_of({c.v}), c.v.quantity, nominal));
    EXPECT_NEAR(m.mean, c.mean, 4.0 * c.sd / std::sqrt(kSamples) + 1e-9)
        << varied_name(c.v.quantity);
  }
}

// Faults: the Cholesky factor applied transposed or not at all, or the
// correlated quantities' normal numbers taken from the wrong streams.  The
// sample correlation of each pair is the requested one within four of its
// standard errors, (1 - r^2) / sqrt(n).
TEST(ToleranceCorrelation, DrawsHaveTheRequestedCorrelation) {
  ToleranceDesign d = design_of({{Varied::b, 0.003}, {Varied::er, 0.05}, {Varied::w, 0.001}});
  d.correlations = {{Varied::b, Varied::er, 0.6}, {Varied::er, Varied::w, -0.3}};
  ASSERT_EQ(correlation_factor(d), "");
  const std::vector<double> b = offsets(d, Varied::b, kCoupler.board.b);
  const std::vector<double> er = offsets(d, Varied::er, kCoupler.board.er);
  const std::vector<double> w = offsets(d, Varied::w, kCoupler.w);
  const auto correlation = [](const std::vector<double>& p, const std::vector<double>& q) {
    const Moments mp = moments_of(p);
    const Moments mq = moments_of(q);
    double c = 0.0;
    for (std::size_t i = 0; i < p.size(); ++i) c += (p[i] - mp.mean) * (q[i] - mq.mean);
    return c / static_cast<double>(p.size() - 1) / std::sqrt(mp.variance * mq.variance);
  };
  const double n = std::sqrt(static_cast<double>(kSamples));
  EXPECT_NEAR(correlation(b, er), 0.6, 4.0 * (1.0 - 0.36) / n);
  EXPECT_NEAR(correlation(er, w), -0.3, 4.0 * (1.0 - 0.09) / n);
  EXPECT_NEAR(correlation(b, w), 0.0, 4.0 / n);  // none asked
  // Not positive definite: every pair named.
  d.correlations = {
      {Varied::b, Varied::er, 0.9}, {Varied::b, Varied::w, 0.9}, {Varied::er, Varied::w, -0.9}};
  EXPECT_EQ(correlation_factor(d), "b,er and b,w and er,w");
}

// Faults: the lot drawn per sample, from the sample's stream, or its index
// not i / N.  With no spread of its own, Er is the same within each lot of
// N consecutive samples and changes from one lot to the next.
TEST(ToleranceLots, ALotShareIsConstantWithinALot) {
  ToleranceDesign d = design_of({{Varied::er, 0.0, 0.0, std::nullopt, std::nullopt, 0.04}});
  d.lot_size = 37;
  float previous_lot = 0.0F;
  for (std::uint64_t i = 0; i < 37U * 20U; ++i) {
    const float er = tolerance_sample(d, i).inputs.at(static_cast<std::size_t>(Varied::er));
    if (i % 37 == 0) {
      EXPECT_NE(er, previous_lot) << "lot " << i / 37;
      previous_lot = er;
    }
    ASSERT_EQ(er, previous_lot) << "sample " << i;
  }
}

}  // namespace
}  // namespace ketrovane
