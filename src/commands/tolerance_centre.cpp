#include "commands/tolerance_centre.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "commands/columns.hpp"

namespace ketrovane::commands {

namespace {

// The search judges every candidate on the run's first samples, at most
// this many: enough for a yield's interval of a few tenths of a per cent,
// and a search of some tens of candidates within memory and a minute.
constexpr std::uint64_t kMostSearchSamples = 20000;

constexpr Column kComputedColumn = unitless("computed", "Computed", 0);

// Samples 0 .. out.size() - 1 of a design, each written to its place in
// `out` by whichever worker computes it.
class SearchSamples final : public RowSource {
 public:
  SearchSamples(const ToleranceDesign& design, std::span<ToleranceSample> out)
      : design_(design), out_(out) {}

  [[nodiscard]] std::span<const Column> columns() const override { return {&kComputedColumn, 1}; }
  [[nodiscard]] std::int64_t rows() const override {
    return static_cast<std::int64_t>(out_.size());
  }
  [[nodiscard]] std::int64_t rows_per_block() const override {
    const bool field = design_.solver == Solver::field || !design_.nominal.placement.is_edge();
    return field ? 16 : kModelRowsPerBlock;
  }
  void fill(std::int64_t index, std::span<Cell> cells, RowTally& /*tally*/) const override {
    const auto i = static_cast<std::size_t>(index);
    out_[i] = tolerance_sample(design_, i);
    cells[0] = number_cell(1.0F);
  }

 private:
  const ToleranceDesign& design_;
  std::span<ToleranceSample> out_;
};

constexpr std::array kYieldColumns = {
    in_percent("yield_pct", "Yield", 3),
    in_percent("yield_low_pct", "95 % from", 3),
    in_percent("yield_high_pct", "95 % to", 3),
    in_percent("smoothed_yield_pct", "Smoothed", 3),
};

class CentreRows final : public RowSource {
 public:
  explicit CentreRows(const CentreResult& r) : r_(r) {
    columns_.push_back(unitless("design", "Design", 0));
    for (const StripDimension* d : r_.searched)
      columns_.push_back(in_length_unit(d->name, d->symbol, 5));
    std::ranges::copy(kYieldColumns, std::back_inserter(columns_));
  }
  [[nodiscard]] std::span<const Column> columns() const override { return columns_; }
  [[nodiscard]] std::int64_t rows() const override { return 2; }
  void fill(std::int64_t index, std::span<Cell> cells, RowTally& /*tally*/) const override {
    const bool centred = index == 1;
    const std::array<double, 2>& at = centred ? r_.centred : r_.start;
    const YieldEstimate& y = centred ? r_.centred_yield : r_.start_yield;
    std::size_t k = 0;
    cells[k++] = text_cell(centred ? "centred" : "start");
    for (const double x : at) cells[k++] = number_cell(static_cast<float>(x));
    cells[k++] = number_cell(static_cast<float>(100.0 * y.share));
    cells[k++] = number_cell(static_cast<float>(100.0 * y.low));
    cells[k++] = number_cell(static_cast<float>(100.0 * y.high));
    cells[k++] = number_cell(
        static_cast<float>(100.0 * (centred ? r_.centred_smoothed : r_.start_smoothed)));
  }

 private:
  const CentreResult& r_;
  std::vector<Column> columns_;
};

}  // namespace

CentreResult centre_request(ToleranceRequest& request, const RunOptions& run) {
  CentreSetup setup;
  setup.samples = std::min(request.samples, kMostSearchSamples);
  setup.min_width = request.min_width;
  setup.min_gap = request.min_gap;
  setup.batch = [&run](const ToleranceDesign& design, std::span<ToleranceSample> out) {
    const SearchSamples rows(design, out);
    run_rows(
        rows, [](const RowBlock& /*block*/) {}, run);
  };
  const CentreResult r = centre_design(request.design, request.limits, setup);
  request.design = centred_design(request.design, r);
  return r;
}

std::unique_ptr<RowSource> tolerance_centre_rows(const CentreResult& result) {
  return std::make_unique<CentreRows>(result);
}

}  // namespace ketrovane::commands
