// The rows of a tolerance run: one per sample (its drawn inputs, its
// outcomes, whether it meets every limit, its status), and the statistics
// of the samples taken in order, one row per outcome and one for the yield.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "commands/columns.hpp"
#include "commands/requests.hpp"
#include "commands/row_runner.hpp"
#include "commands/rows.hpp"
#include "design/tolerance_attribution.hpp"
#include "design/tolerance_centre.hpp"

namespace ketrovane::commands {

// A limit on the run's outcome number `outcome` (in the order of the
// sample rows' outcome columns): low <= value <= high, an open side
// infinite.
struct OutcomeLimit {
  std::size_t outcome;
  double low;
  double high;
};

// The run's limits in the order given: on one coupler's outcomes, or on a
// multi-section coupler's band outcomes.
std::vector<OutcomeLimit> tolerance_limits(const ToleranceRequest& request);

// How many outcomes each sample has, and the stem of outcome i's column
// ("zo_ohm", "least_directivity_db").
std::size_t tolerance_outcome_count(const ToleranceRequest& request);
std::string_view tolerance_outcome_stem(const ToleranceRequest& request, std::size_t outcome);

// The samples of the request's slice; row i is sample start + i.
//
// Columns: the drawn dimensions the geometry has (w, s, h or sv, wo; then
// t, b, er, and etch when it varies), zoe_ohm, zoo_ohm, zo_ohm,
// coupling_db, with --f0 coupling_f0_db, return_loss_db, isolation_db and
// directivity_db, then pass (1 or 0) and status.
//
// A multi-section coupler's samples: each section's drawn W and S (w1,
// s1, w2, ...), then t, b, er, and etch when it varies,
// coupling_deviation_db, least_directivity_db, least_return_loss_db, pass
// and status.
//
// With attribution, hidden columns follow, which no output shows: for each
// varied input, the sample with that input nominal: pass, then its value of
// each limited outcome (empty when it was not computed).
std::unique_ptr<RowSource> tolerance_sample_rows(const ToleranceRequest& request);

// How many of the sample rows' columns are shown (all but the hidden ones).
std::size_t tolerance_sample_width(const ToleranceRequest& request);

// What the samples came to, and the statistics rows made of it.
struct ToleranceOutcome {
  std::int64_t samples = 0;
  std::array<std::int64_t, 5> by_status{};     // indexed by SampleStatus
  std::vector<QuantityStatistics> statistics;  // per outcome
  std::vector<YieldEstimate> within;           // per outcome: the share within its limit
  YieldEstimate yield;
  ToleranceSample nominal;
  std::vector<InputAttribution> attribution;  // with --attribution: per varied input
  // With --lot-size: each lot's yield over its samples in the slice, from
  // lot start / lot_size on.
  std::vector<YieldEstimate> lot_yields;
  // With --centre: where the search started and the centred design the
  // samples were drawn about.
  std::optional<CentreResult> centring;

  [[nodiscard]] std::int64_t failed() const { return samples - by_status[0]; }
};

// The statistics of samples already computed: `values` holds each
// outcome's values over the samples that have it, in sample order (it is
// reordered); `passed` counts the samples meeting every limit, `by_status`
// every sample by its status.
ToleranceOutcome tolerance_outcome(const ToleranceRequest& request,
                                   std::vector<std::vector<float>>& values, std::int64_t passed,
                                   const std::array<std::int64_t, 5>& by_status);

// Takes the sample rows' blocks in order and keeps what the statistics need:
// 4 bytes per sample per outcome.
class ToleranceCollector {
 public:
  explicit ToleranceCollector(const ToleranceRequest& request);
  void take(const RowBlock& block);
  // The statistics of every sample taken.
  ToleranceOutcome finish();
  // The values of an outcome over the samples that have it, in an order of
  // their own once finish has found the percentiles.
  [[nodiscard]] std::span<const float> values(Outcome o) const {
    return values_.at(static_cast<std::size_t>(o));
  }
  [[nodiscard]] std::span<const float> values(std::size_t outcome) const {
    return values_.at(outcome);
  }

 private:
  const ToleranceRequest& request_;
  std::size_t outcomes_;
  std::size_t first_outcome_column_;
  std::vector<OutcomeLimit> limits_;
  std::vector<std::vector<float>> values_;
  std::int64_t passed_ = 0;
  std::array<std::int64_t, 5> by_status_{};
  std::optional<AttributionTally> attribution_;
  std::vector<std::int64_t> lot_passed_;
  std::vector<std::int64_t> lot_samples_;
  void take_lot(std::uint64_t sample, bool passed);
  void take_attribution(std::span<const Cell> cells, std::size_t shown, bool ok);
};

// Columns of the statistics: quantity, samples, nominal, mean, std, the
// percentiles p0_1 ... p99_9, limit_low, limit_high, within_pct,
// within_low_pct and within_high_pct.
std::span<const Column> tolerance_statistics_columns();

// The statistics rows: one per outcome, then all_limits with the yield.
std::unique_ptr<RowSource> tolerance_statistics_rows(const ToleranceRequest& request,
                                                     const ToleranceOutcome& outcome);

// Columns of the attribution: quantity, held_yield_pct, held_low_pct,
// held_high_pct, yield_gain_pct (the held yield less the run's), then the
// share of each limited outcome's variance, <outcome>_share_pct, in the
// order of the limits.  A row per varied input, then "sum" with the shares'
// sums.
std::vector<Column> tolerance_attribution_columns(const ToleranceRequest& request);
std::unique_ptr<RowSource> tolerance_attribution_rows(const ToleranceRequest& request,
                                                      const ToleranceOutcome& outcome);

// With --lot-size: a row per lot (lot, first_sample, samples, passed,
// yield_pct), and the spread of the lots' yields in one row (lots,
// mean_pct, std_pct with n - 1, min_pct, max_pct).
std::unique_ptr<RowSource> tolerance_lot_rows(const ToleranceRequest& request,
                                              const ToleranceOutcome& outcome);
std::unique_ptr<RowSource> tolerance_lot_spread_rows(const ToleranceOutcome& outcome);

// "9 of the 10000 samples could not be computed: 7 not_positive, 2
// field_failed"; empty when every sample was.
std::string failed_samples_line(const ToleranceOutcome& outcome);

}  // namespace ketrovane::commands
