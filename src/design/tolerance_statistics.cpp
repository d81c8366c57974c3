#include "design/tolerance_statistics.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace ketrovane {

namespace {

// Puts the order statistics `ranks` (ascending) of values[first, last) in
// place, halving the range at the middle rank each time.
void select_ranks(std::span<float> values, std::size_t first, std::size_t last,
                  std::span<const std::size_t> ranks) {
  if (ranks.empty() || first >= last) return;
  const std::size_t middle = ranks.size() / 2;
  const std::size_t k = ranks[middle];
  const auto begin = values.begin();
  std::nth_element(begin + static_cast<std::ptrdiff_t>(first),
                   begin + static_cast<std::ptrdiff_t>(k),
                   begin + static_cast<std::ptrdiff_t>(last));
  select_ranks(values, first, k, ranks.first(middle));
  select_ranks(values, k + 1, last, ranks.subspan(middle + 1));
}

struct Bracket {
  std::size_t below;
  double fraction;
};

Bracket bracket(std::size_t n, double percent) {
  const double position = static_cast<double>(n - 1) * percent / 100.0;
  const double below = std::floor(position);
  return {static_cast<std::size_t>(below), position - below};
}

void add_percentiles(std::span<float> values, QuantityStatistics& s) {
  const std::size_t n = values.size();
  std::vector<std::size_t> ranks;
  for (const double p : kPercentiles) {
    const Bracket b = bracket(n, p);
    ranks.push_back(b.below);
    if (b.below + 1 < n) ranks.push_back(b.below + 1);
  }
  std::sort(ranks.begin(), ranks.end());
  ranks.erase(std::unique(ranks.begin(), ranks.end()), ranks.end());
  select_ranks(values, 0, n, ranks);
  for (std::size_t i = 0; i < kPercentiles.size(); ++i) {
    const Bracket b = bracket(n, kPercentiles.at(i));
    const double low = values[b.below];
    const double high = b.below + 1 < n ? values[b.below + 1] : low;
    s.percentiles.at(i) = low + b.fraction * (high - low);
  }
}

}  // namespace

QuantityStatistics statistics_of(std::span<float> values) {
  QuantityStatistics s;
  s.count = static_cast<std::int64_t>(values.size());
  if (values.empty()) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    s.mean = nan;
    s.standard_deviation = nan;
    s.percentiles.fill(nan);
    return s;
  }
  double sum = 0.0;
  for (const float v : values) sum += v;
  s.mean = sum / static_cast<double>(values.size());
  double squares = 0.0;
  for (const float v : values) squares += (v - s.mean) * (v - s.mean);
  if (values.size() > 1)
    s.standard_deviation = std::sqrt(squares / static_cast<double>(values.size() - 1));
  add_percentiles(values, s);
  return s;
}

bool within(const Limit& limit, float value) {
  const auto v = static_cast<double>(value);
  return v >= limit.low && v <= limit.high;
}

const Limit* limit_on(std::span<const Limit> limits, Outcome outcome) {
  const auto it =
      std::ranges::find_if(limits, [outcome](const Limit& l) { return l.quantity == outcome; });
  return it == limits.end() ? nullptr : &*it;
}

bool passes(const ToleranceSample& sample, std::span<const Limit> limits) {
  if (sample.status != SampleStatus::ok) return false;
  return std::ranges::all_of(limits, [&sample](const Limit& l) {
    return within(l, sample.outcomes.at(static_cast<std::size_t>(l.quantity)));
  });
}

YieldEstimate yield_of(std::int64_t passed, std::int64_t samples) {
  YieldEstimate y{passed, samples, 0.0, 0.0, 1.0};
  if (samples <= 0) return y;
  constexpr double kZ = 1.959963984540054;  // the two-sided 95 % point of the normal law
  const auto n = static_cast<double>(samples);
  const double p = static_cast<double>(passed) / n;
  const double z2 = kZ * kZ;
  const double denominator = 1.0 + z2 / n;
  const double centre = (p + z2 / (2.0 * n)) / denominator;
  const double half = kZ * std::sqrt(p * (1.0 - p) / n + z2 / (4.0 * n * n)) / denominator;
  y.share = p;
  // The interval reaches 0 at no sample passing and 1 at every one.
  y.low = passed == 0 ? 0.0 : std::max(0.0, centre - half);
  y.high = passed == samples ? 1.0 : std::min(1.0, centre + half);
  return y;
}

}  // namespace ketrovane
