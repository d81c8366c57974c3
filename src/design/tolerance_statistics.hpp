// The statistics of a tolerance run: per quantity the mean, the standard
// deviation and the percentiles of its samples, and the yield, the share of
// samples meeting every limit, with its 95 % confidence interval.  The
// results depend on the values alone, never on the order they were
// computed in, so any split of the samples gives the same statistics once
// the values are put back in sample order.  No input or output, no state.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "design/tolerance.hpp"

namespace ketrovane {

// The percentiles reported, in per cent.
inline constexpr std::array<double, 7> kPercentiles = {0.1, 1.0, 5.0, 50.0, 95.0, 99.0, 99.9};

struct QuantityStatistics {
  std::int64_t count = 0;  // the samples that have the quantity
  double mean = 0.0;
  double standard_deviation = 0.0;  // of the samples, with n - 1; 0 for one sample
  // Linear interpolation between the order statistics bracketing
  // (n - 1) p / 100 (the "linear" rule of numpy's percentile).
  std::array<double, kPercentiles.size()> percentiles{};
};

// The statistics of `values`, which it reorders.  Without values, every
// number is NaN and the count 0.
QuantityStatistics statistics_of(std::span<float> values);

// A limit on an outcome: low <= value <= high, in the outcome's own sign
// (the coupling negative: -10.5 to -9.5 holds -10 dB); an open side is
// infinite.
struct Limit {
  Outcome quantity;
  double low;
  double high;
};

bool within(const Limit& limit, float value);

// The limit on `outcome` among `limits`, or null.
const Limit* limit_on(std::span<const Limit> limits, Outcome outcome);

// A sample that could be computed and meets every limit.
bool passes(const ToleranceSample& sample, std::span<const Limit> limits);

struct YieldEstimate {
  std::int64_t passed = 0;
  std::int64_t samples = 0;
  double share = 0.0;  // passed / samples
  // Wilson's score interval at 95 %: never outside [0, 1], and meaningful
  // at a yield of 0 or 100 %.
  double low = 0.0;
  double high = 0.0;
};

YieldEstimate yield_of(std::int64_t passed, std::int64_t samples);

}  // namespace ketrovane
