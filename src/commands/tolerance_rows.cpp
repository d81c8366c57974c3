#include "commands/tolerance_rows.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

namespace ketrovane::commands {

namespace {

// The drawn values besides the strip pair's dimensions.
constexpr std::array kBoardInputColumns = {
    in_length_unit("t", "T", 5),
    in_length_unit("b", "B", 5),
    unitless("er", "Er", 4),
    in_length_unit("etch", "Etch", 5),
};

// The column of a drawn value: a dimension's length, or the board's and the
// etch's.
Column input_column(Varied v) {
  if (const StripDimension* d = dimension_varied(v)) return in_length_unit(d->name, d->symbol, 5);
  for (const Column& c : kBoardInputColumns) {
    if (c.stem == varied_name(v)) return c;
  }
  throw std::logic_error("no column for the drawn " + std::string(varied_name(v)));
}

constexpr std::array<Column, kOutcomeCount> kOutcomeColumns = {
    in_ohms("zoe_ohm", "Zoe", 3),
    in_ohms("zoo_ohm", "Zoo", 3),
    in_ohms("zo_ohm", "Zo", 3),
    in_decibels("coupling_db", "Co", 3),
    in_decibels("coupling_f0_db", "Co at f0", 3),
    in_decibels("return_loss_db", "Ret loss", 2),
    in_decibels("isolation_db", "Isolation", 2),
    in_decibels("directivity_db", "Directivity", 2),
};

constexpr Column kPassColumn = unitless("pass", "Pass", 0);

// The hidden columns of attribution, which no output shows.
constexpr Column kHeldPassColumn = unitless("held_pass", "Held pass", 0);
constexpr Column kHeldValueColumn = unitless("held", "Held", 3);

// The drawn dimensions a geometry has, in the order of the columns.
std::vector<Varied> input_quantities(const ToleranceDesign& d) {
  std::vector<Varied> q;
  for (const StripDimension* x : arrangement_spec(d.nominal.placement.arrangement).dimensions) {
    q.push_back(varied_of(*x));
  }
  q.insert(q.end(), {Varied::t, Varied::b, Varied::er});
  const bool etched = std::ranges::any_of(
      d.variations, [](const Variation& v) { return v.quantity == Varied::etch; });
  if (etched) q.push_back(Varied::etch);
  return q;
}

// A column's name kept for the program's life, as the columns' views need.
std::string_view kept_name(const std::string& name) {
  static std::mutex guard;
  static std::set<std::string, std::less<>> names;
  const std::scoped_lock lock(guard);
  return *names.insert(name).first;
}

// The drawn layers of a stack: "er2" (Er2), "d1" (d1, a length).
Column layer_column(const LayerVariation& l) {
  const std::string_view stem = kept_name((l.thickness ? "d" : "er") + std::to_string(l.layer));
  const std::string_view label = kept_name((l.thickness ? "d" : "Er") + std::to_string(l.layer));
  return l.thickness ? in_length_unit(stem, label, 5) : unitless(stem, label, 4);
}

// Section k's drawn W or S: "w2" (W2), "s2" (S2).
Column section_column(std::size_t k, Varied v) {
  const std::string n = std::to_string(k);
  const bool width = v == Varied::w;
  return in_length_unit(kept_name((width ? "w" : "s") + n), kept_name((width ? "W" : "S") + n), 5);
}

constexpr std::array<Column, kBandOutcomeCount> kBandOutcomeColumns = {
    in_decibels("coupling_deviation_db", "Co deviation", 3),
    in_decibels("least_directivity_db", "Least dir", 2),
    in_decibels("least_return_loss_db", "Least ret loss", 2),
};

// The board's drawn values of a multi-section coupler: t, b, er, and the
// etch when it varies.
std::vector<Varied> board_quantities(const MultisectionToleranceDesign& d) {
  std::vector<Varied> q = {Varied::t, Varied::b, Varied::er};
  if (std::ranges::any_of(d.variations,
                          [](const Variation& v) { return v.quantity == Varied::etch; })) {
    q.push_back(Varied::etch);
  }
  return q;
}

std::size_t outcome_count(const ToleranceRequest& q) {
  if (q.multisection) return kBandOutcomeCount;
  return q.design.at_f0 ? kOutcomeCount : kImpedanceOutcomes;
}

// The drawn values' columns before the outcomes'.
std::size_t input_width(const ToleranceRequest& q) {
  if (q.multisection) {
    return 2 * q.multisection->nominal.sections.size() + board_quantities(*q.multisection).size();
  }
  return input_quantities(q.design).size() + q.design.layer_variations.size();
}

std::size_t shown_width(const ToleranceRequest& q) {
  return input_width(q) + outcome_count(q) + 2;
}

std::size_t varied_count(const ToleranceRequest& q) {
  return q.multisection ? q.multisection->variations.size() : varied_input_count(q.design);
}

std::vector<std::string> input_names(const ToleranceRequest& q) {
  std::vector<std::string> names;
  for (std::size_t k = 0; k < varied_count(q); ++k) {
    names.push_back(q.multisection
                        ? std::string(varied_name(q.multisection->variations[k].quantity))
                        : varied_input_name(q.design, k));
  }
  return names;
}

const OutcomeLimit* limit_of(std::span<const OutcomeLimit> limits, std::size_t outcome) {
  const auto it = std::ranges::find(limits, outcome, &OutcomeLimit::outcome);
  return it == limits.end() ? nullptr : &*it;
}

class SampleRows final : public RowSource {
 public:
  explicit SampleRows(ToleranceRequest q) : q_(std::move(q)), inputs_(input_quantities(q_.design)) {
    for (const Varied v : inputs_) columns_.push_back(input_column(v));
    for (const LayerVariation& l : q_.design.layer_variations) columns_.push_back(layer_column(l));
    for (std::size_t i = 0; i < outcome_count(q_); ++i) columns_.push_back(kOutcomeColumns.at(i));
    columns_.push_back(kPassColumn);
    columns_.push_back(kStatusColumn);
    if (!q_.attribution) return;
    for (std::size_t k = 0; k < varied_input_count(q_.design); ++k) {
      columns_.push_back(kHeldPassColumn);
      for (std::size_t l = 0; l < q_.limits.size(); ++l) columns_.push_back(kHeldValueColumn);
    }
  }

  [[nodiscard]] std::span<const Column> columns() const override { return columns_; }
  [[nodiscard]] std::int64_t rows() const override { return static_cast<std::int64_t>(q_.count); }
  [[nodiscard]] std::int64_t rows_per_block() const override {
    const bool field = q_.design.solver == Solver::field || !q_.design.nominal.placement.is_edge();
    return field ? 16 : kModelRowsPerBlock;
  }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& tally) const override {
    const ToleranceSample s =
        tolerance_sample(q_.design, q_.start + static_cast<std::uint64_t>(index));
    std::size_t k = 0;
    for (const Varied v : inputs_)
      cells[k++] = number_cell(s.inputs.at(static_cast<std::size_t>(v)));
    for (const LayerVariation& l : q_.design.layer_variations) {
      cells[k++] = number_cell(s.layer_inputs.at(layer_input_index(l.layer, l.thickness)));
    }
    const bool ok = s.status == SampleStatus::ok;
    for (std::size_t i = 0; i < outcome_count(q_); ++i) {
      cells[k++] = ok ? number_cell(s.outcomes.at(i)) : Cell{};
    }
    cells[k++] = number_cell(passes(s, q_.limits) ? 1.0F : 0.0F);
    cells[k++] = text_cell(sample_status_name(s.status));
    if (!ok) ++tally.failed;
    if (q_.attribution) fill_held(s, cells.subspan(k));
  }

 private:
  // Each varied input held nominal in turn: pass, and the limited outcomes.
  void fill_held(const ToleranceSample& drawn, std::span<Cell> cells) const {
    std::size_t k = 0;
    for (std::size_t input = 0; input < varied_input_count(q_.design); ++input) {
      const ToleranceSample h = held_sample(q_.design, drawn, input);
      cells[k++] = number_cell(passes(h, q_.limits) ? 1.0F : 0.0F);
      for (const Limit& l : q_.limits) {
        cells[k++] = h.status == SampleStatus::ok
                         ? number_cell(h.outcomes.at(static_cast<std::size_t>(l.quantity)))
                         : Cell{};
      }
    }
  }

  ToleranceRequest q_;
  std::vector<Varied> inputs_;
  std::vector<Column> columns_;
};

// The samples of a multi-section coupler.
class SectionSampleRows final : public RowSource {
 public:
  explicit SectionSampleRows(ToleranceRequest q)
      : q_(std::move(q)), d_(*q_.multisection), board_(board_quantities(d_)) {
    for (std::size_t k = 1; k <= d_.nominal.sections.size(); ++k) {
      columns_.push_back(section_column(k, Varied::w));
      columns_.push_back(section_column(k, Varied::s));
    }
    for (const Varied v : board_) columns_.push_back(input_column(v));
    columns_.insert(columns_.end(), kBandOutcomeColumns.begin(), kBandOutcomeColumns.end());
    columns_.push_back(kPassColumn);
    columns_.push_back(kStatusColumn);
    if (!q_.attribution) return;
    for (std::size_t k = 0; k < d_.variations.size(); ++k) {
      columns_.push_back(kHeldPassColumn);
      for (std::size_t l = 0; l < q_.band_limits.size(); ++l) columns_.push_back(kHeldValueColumn);
    }
  }

  [[nodiscard]] std::span<const Column> columns() const override { return columns_; }
  [[nodiscard]] std::int64_t rows() const override { return static_cast<std::int64_t>(q_.count); }
  // A sample is a cascade's response at every frequency of the band.
  [[nodiscard]] std::int64_t rows_per_block() const override {
    return d_.solver == Solver::field ? 4 : kModelRowsPerBlock / 32;
  }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& tally) const override {
    const std::uint64_t i = q_.start + static_cast<std::uint64_t>(index);
    const MultisectionToleranceSample s = multisection_tolerance_sample(d_, i);
    std::size_t k = 0;
    for (const std::array<float, 2>& section : s.sections) {
      cells[k++] = number_cell(section[0]);
      cells[k++] = number_cell(section[1]);
    }
    for (const Varied v : board_) cells[k++] = number_cell(s.board.at(static_cast<std::size_t>(v)));
    const bool ok = s.status == SampleStatus::ok;
    for (const float x : s.outcomes) cells[k++] = ok ? number_cell(x) : Cell{};
    cells[k++] = number_cell(passes(s, q_.band_limits) ? 1.0F : 0.0F);
    cells[k++] = text_cell(sample_status_name(s.status));
    if (!ok) ++tally.failed;
    if (q_.attribution) fill_held(i, cells.subspan(k));
  }

 private:
  // Each varied quantity held nominal in every section in turn: pass, and
  // the limited outcomes.
  void fill_held(std::uint64_t i, std::span<Cell> cells) const {
    std::size_t k = 0;
    for (const Variation& v : d_.variations) {
      const MultisectionToleranceSample h = multisection_tolerance_sample(d_, i, v.quantity);
      cells[k++] = number_cell(passes(h, q_.band_limits) ? 1.0F : 0.0F);
      for (const BandLimit& l : q_.band_limits) {
        cells[k++] = h.status == SampleStatus::ok
                         ? number_cell(h.outcomes.at(static_cast<std::size_t>(l.outcome)))
                         : Cell{};
      }
    }
  }

  ToleranceRequest q_;
  const MultisectionToleranceDesign& d_;
  std::vector<Varied> board_;
  std::vector<Column> columns_;
};

// ---- Statistics ----

constexpr std::array<std::string_view, kOutcomeCount + 1> kQuantityNames = {
    "zoe_ohm",        "zoo_ohm",      "zo_ohm",         "coupling_db", "coupling_f0_db",
    "return_loss_db", "isolation_db", "directivity_db", "all_limits"};

constexpr std::array kStatisticsColumns = {
    unitless("quantity", "Quantity", 0),
    unitless("samples", "Samples", 0),
    unitless("nominal", "Nominal", 4),
    unitless("mean", "Mean", 4),
    unitless("std", "Std dev", 5),
    unitless("p0_1", "0.1 %", 4),
    unitless("p1", "1 %", 4),
    unitless("p5", "5 %", 4),
    unitless("p50", "50 %", 4),
    unitless("p95", "95 %", 4),
    unitless("p99", "99 %", 4),
    unitless("p99_9", "99.9 %", 4),
    unitless("limit_low", "Limit low", 3),
    unitless("limit_high", "Limit high", 3),
    in_percent("within_pct", "Within", 3),
    in_percent("within_low_pct", "95 % from", 3),
    in_percent("within_high_pct", "95 % to", 3),
};

Cell finite_or_empty(double v) {
  return std::isfinite(v) ? number_cell(static_cast<float>(v)) : Cell{};
}

void write_share(std::span<Cell> cells, std::size_t at, const YieldEstimate& y) {
  cells[at] = number_cell(static_cast<float>(100.0 * y.share));
  cells[at + 1] = number_cell(static_cast<float>(100.0 * y.low));
  cells[at + 2] = number_cell(static_cast<float>(100.0 * y.high));
}

class StatisticsRows final : public RowSource {
 public:
  StatisticsRows(const ToleranceRequest& q, ToleranceOutcome outcome)
      : q_(q), limits_(tolerance_limits(q)), outcome_(std::move(outcome)) {}

  [[nodiscard]] std::span<const Column> columns() const override { return kStatisticsColumns; }
  [[nodiscard]] std::int64_t rows() const override {
    return static_cast<std::int64_t>(outcome_.statistics.size()) + 1;
  }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& /*tally*/) const override {
    std::ranges::fill(cells, Cell{});
    const auto i = static_cast<std::size_t>(index);
    if (i == outcome_.statistics.size()) {
      cells[0] = text_cell(kQuantityNames.back());
      cells[1] = number_cell(static_cast<float>(outcome_.samples));
      write_share(cells, 14, outcome_.yield);
      return;
    }
    const QuantityStatistics& s = outcome_.statistics[i];
    cells[0] = text_cell(tolerance_outcome_stem(q_, i));
    cells[1] = number_cell(static_cast<float>(s.count));
    const bool nominal_ok = outcome_.nominal.status == SampleStatus::ok;
    cells[2] = nominal_ok ? number_cell(outcome_.nominal.outcomes.at(i)) : Cell{};
    cells[3] = finite_or_empty(s.mean);
    cells[4] = finite_or_empty(s.standard_deviation);
    for (std::size_t p = 0; p < kPercentiles.size(); ++p) {
      cells[5 + p] = finite_or_empty(s.percentiles.at(p));
    }
    if (const OutcomeLimit* l = limit_of(limits_, i)) {
      cells[12] = finite_or_empty(l->low);
      cells[13] = finite_or_empty(l->high);
      write_share(cells, 14, outcome_.within.at(i));
    }
  }

 private:
  const ToleranceRequest& q_;
  std::vector<OutcomeLimit> limits_;
  ToleranceOutcome outcome_;
};

// ---- Attribution ----

constexpr std::array kAttributionColumns = {
    unitless("quantity", "Quantity", 0),        in_percent("held_yield_pct", "Yield held", 3),
    in_percent("held_low_pct", "95 % from", 3), in_percent("held_high_pct", "95 % to", 3),
    in_percent("yield_gain_pct", "Gain", 3),
};

constexpr std::array<Column, kOutcomeCount> kShareColumns = {
    in_percent("zoe_ohm_share_pct", "Zoe share", 2),
    in_percent("zoo_ohm_share_pct", "Zoo share", 2),
    in_percent("zo_ohm_share_pct", "Zo share", 2),
    in_percent("coupling_db_share_pct", "Co share", 2),
    in_percent("coupling_f0_db_share_pct", "Co at f0 share", 2),
    in_percent("return_loss_db_share_pct", "Ret loss share", 2),
    in_percent("isolation_db_share_pct", "Isolation share", 2),
    in_percent("directivity_db_share_pct", "Directivity share", 2),
};

constexpr std::array<Column, kBandOutcomeCount> kBandShareColumns = {
    in_percent("coupling_deviation_db_share_pct", "Co dev share", 2),
    in_percent("least_directivity_db_share_pct", "Least dir share", 2),
    in_percent("least_return_loss_db_share_pct", "Least RL share", 2),
};

class AttributionRows final : public RowSource {
 public:
  AttributionRows(const ToleranceRequest& q, const ToleranceOutcome& outcome)
      : columns_(tolerance_attribution_columns(q)), outcome_(outcome) {}

  [[nodiscard]] std::span<const Column> columns() const override { return columns_; }
  [[nodiscard]] std::int64_t rows() const override {
    return static_cast<std::int64_t>(outcome_.attribution.size()) + 1;
  }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& /*tally*/) const override {
    std::ranges::fill(cells, Cell{});
    const auto i = static_cast<std::size_t>(index);
    const std::size_t first_share = kAttributionColumns.size();
    if (i == outcome_.attribution.size()) {
      cells[0] = text_cell("sum");
      for (std::size_t l = 0; l + first_share < cells.size(); ++l) {
        double sum = 0.0;
        for (const InputAttribution& a : outcome_.attribution) sum += a.share.at(l);
        cells[first_share + l] = finite_or_empty(100.0 * sum);
      }
      return;
    }
    const InputAttribution& a = outcome_.attribution[i];
    cells[0] = text_cell(a.name);
    write_share(cells, 1, a.held_yield);
    cells[4] = number_cell(static_cast<float>(100.0 * (a.held_yield.share - outcome_.yield.share)));
    for (std::size_t l = 0; l < a.share.size(); ++l) {
      cells[first_share + l] = finite_or_empty(100.0 * a.share[l]);
    }
  }

 private:
  std::vector<Column> columns_;
  const ToleranceOutcome& outcome_;
};

// ---- Lots ----

constexpr std::array kLotColumns = {
    unitless("lot", "Lot", 0),           unitless("first_sample", "First sample", 0),
    unitless("samples", "Samples", 0),   unitless("passed", "Passed", 0),
    in_percent("yield_pct", "Yield", 3),
};

constexpr std::array kLotSpreadColumns = {
    unitless("lots", "Lots", 0),         in_percent("mean_pct", "Mean yield", 3),
    in_percent("std_pct", "Std dev", 3), in_percent("min_pct", "Least", 3),
    in_percent("max_pct", "Most", 3),
};

class LotRows final : public RowSource {
 public:
  LotRows(const ToleranceRequest& q, const ToleranceOutcome& outcome) : q_(q), outcome_(outcome) {}
  [[nodiscard]] std::span<const Column> columns() const override { return kLotColumns; }
  [[nodiscard]] std::int64_t rows() const override {
    return static_cast<std::int64_t>(outcome_.lot_yields.size());
  }
  void fill(std::int64_t index, std::span<Cell> cells, RowTally& /*tally*/) const override {
    const std::uint64_t size = q_.design.lot_size;
    const std::uint64_t lot = q_.start / size + static_cast<std::uint64_t>(index);
    const YieldEstimate& y = outcome_.lot_yields.at(static_cast<std::size_t>(index));
    cells[0] = number_cell(static_cast<float>(lot));
    cells[1] = number_cell(static_cast<float>(std::max(lot * size, q_.start)));
    cells[2] = number_cell(static_cast<float>(y.samples));
    cells[3] = number_cell(static_cast<float>(y.passed));
    cells[4] = number_cell(static_cast<float>(100.0 * y.share));
  }

 private:
  const ToleranceRequest& q_;
  const ToleranceOutcome& outcome_;
};

class LotSpreadRows final : public RowSource {
 public:
  explicit LotSpreadRows(const ToleranceOutcome& outcome) : outcome_(outcome) {}
  [[nodiscard]] std::span<const Column> columns() const override { return kLotSpreadColumns; }
  [[nodiscard]] std::int64_t rows() const override { return 1; }
  void fill(std::int64_t /*index*/, std::span<Cell> cells, RowTally& /*tally*/) const override {
    std::vector<float> shares;
    for (const YieldEstimate& y : outcome_.lot_yields) {
      shares.push_back(static_cast<float>(100.0 * y.share));
    }
    const auto [least, most] = std::ranges::minmax(shares);
    const QuantityStatistics s = statistics_of(shares);
    cells[0] = number_cell(static_cast<float>(shares.size()));
    cells[1] = finite_or_empty(s.mean);
    cells[2] = finite_or_empty(s.standard_deviation);
    cells[3] = number_cell(least);
    cells[4] = number_cell(most);
  }

 private:
  const ToleranceOutcome& outcome_;
};

}  // namespace

std::vector<OutcomeLimit> tolerance_limits(const ToleranceRequest& request) {
  std::vector<OutcomeLimit> limits;
  for (const Limit& l : request.limits) {
    limits.push_back({static_cast<std::size_t>(l.quantity), l.low, l.high});
  }
  for (const BandLimit& l : request.band_limits) {
    limits.push_back({static_cast<std::size_t>(l.outcome), l.low, l.high});
  }
  return limits;
}

std::size_t tolerance_outcome_count(const ToleranceRequest& request) {
  return outcome_count(request);
}

std::string_view tolerance_outcome_stem(const ToleranceRequest& request, std::size_t outcome) {
  if (request.multisection) return kBandOutcomeColumns.at(outcome).stem;
  return kQuantityNames.at(outcome);
}

std::unique_ptr<RowSource> tolerance_sample_rows(const ToleranceRequest& request) {
  if (request.multisection) return std::make_unique<SectionSampleRows>(request);
  return std::make_unique<SampleRows>(request);
}

std::size_t tolerance_sample_width(const ToleranceRequest& request) {
  return shown_width(request);
}

namespace {

// The nominal coupler's outcomes; a multi-section coupler's band outcomes
// in the first places.
ToleranceSample nominal_of(const ToleranceRequest& q) {
  if (!q.multisection) return nominal_sample(q.design);
  const MultisectionToleranceSample m = multisection_nominal_sample(*q.multisection);
  ToleranceSample s;
  s.status = m.status;
  std::ranges::copy(m.outcomes, s.outcomes.begin());
  return s;
}

}  // namespace

ToleranceOutcome tolerance_outcome(const ToleranceRequest& request,
                                   std::vector<std::vector<float>>& values, std::int64_t passed,
                                   const std::array<std::int64_t, 5>& by_status) {
  ToleranceOutcome r;
  r.by_status = by_status;
  for (const std::int64_t n : by_status) r.samples += n;
  const std::vector<OutcomeLimit> limits = tolerance_limits(request);
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::int64_t within_limit = 0;
    if (const OutcomeLimit* l = limit_of(limits, i)) {
      within_limit = std::ranges::count_if(values[i], [l](float v) {
        const auto x = static_cast<double>(v);
        return x >= l->low && x <= l->high;
      });
    }
    r.within.push_back(yield_of(within_limit, r.samples));
    r.statistics.push_back(statistics_of(values[i]));
  }
  r.yield = yield_of(passed, r.samples);
  r.nominal = nominal_of(request);
  return r;
}

ToleranceCollector::ToleranceCollector(const ToleranceRequest& request)
    : request_(request),
      outcomes_(outcome_count(request)),
      first_outcome_column_(input_width(request)),
      limits_(tolerance_limits(request)),
      values_(outcomes_) {
  for (std::vector<float>& v : values_) v.reserve(request.count);
  if (request.attribution) {
    const std::vector<std::string> names = input_names(request);
    std::vector<std::size_t> limited;
    for (const OutcomeLimit& l : limits_) limited.push_back(l.outcome);
    attribution_.emplace(names, std::move(limited));
  }
}

void ToleranceCollector::take_attribution(std::span<const Cell> cells, std::size_t shown, bool ok) {
  const std::size_t limits = limits_.size();
  PairedOutcome drawn{ok, cells[shown - 2].number == 1.0F, {}};
  for (const OutcomeLimit& l : limits_) {
    drawn.outcomes.at(l.outcome) = cells[first_outcome_column_ + l.outcome].number;
  }
  std::vector<PairedOutcome> held(varied_count(request_));
  std::size_t at = shown;
  for (PairedOutcome& h : held) {
    h.passed = cells[at++].number == 1.0F;
    h.ok = limits == 0 || cells[at].kind == CellKind::number;
    for (const OutcomeLimit& l : limits_) h.outcomes.at(l.outcome) = cells[at++].number;
  }
  attribution_->add(drawn, held);
}

void ToleranceCollector::take_lot(std::uint64_t sample, bool passed) {
  const std::uint64_t size = request_.design.lot_size;
  const auto at = static_cast<std::size_t>(sample / size - request_.start / size);
  if (at >= lot_samples_.size()) {
    lot_samples_.resize(at + 1, 0);
    lot_passed_.resize(at + 1, 0);
  }
  ++lot_samples_[at];
  if (passed) ++lot_passed_[at];
}

void ToleranceCollector::take(const RowBlock& block) {
  const std::size_t shown = shown_width(request_);
  for (std::int64_t r = 0; r < block.count; ++r) {
    const std::span<const Cell> cells = block.row(r);
    if (request_.design.lot_size > 0) {
      take_lot(request_.start + static_cast<std::uint64_t>(block.first + r),
               cells[shown - 2].number == 1.0F);
    }
    const std::string_view status = cells[shown - 1].text;
    std::size_t code = 0;
    while (code + 1 < by_status_.size() &&
           sample_status_name(static_cast<SampleStatus>(code)) != status) {
      ++code;
    }
    ++by_status_.at(code);
    if (cells[shown - 2].number == 1.0F) ++passed_;
    if (attribution_) take_attribution(cells, shown, code == 0);
    if (code != 0) continue;
    for (std::size_t i = 0; i < outcomes_; ++i) {
      values_[i].push_back(cells[first_outcome_column_ + i].number);
    }
  }
}

ToleranceOutcome ToleranceCollector::finish() {
  ToleranceOutcome r = tolerance_outcome(request_, values_, passed_, by_status_);
  if (attribution_) r.attribution = attribution_->result();
  for (std::size_t i = 0; i < lot_samples_.size(); ++i) {
    r.lot_yields.push_back(yield_of(lot_passed_[i], lot_samples_[i]));
  }
  return r;
}

std::span<const Column> tolerance_statistics_columns() {
  return kStatisticsColumns;
}

std::unique_ptr<RowSource> tolerance_statistics_rows(const ToleranceRequest& request,
                                                     const ToleranceOutcome& outcome) {
  return std::make_unique<StatisticsRows>(request, outcome);
}

std::vector<Column> tolerance_attribution_columns(const ToleranceRequest& request) {
  std::vector<Column> c(kAttributionColumns.begin(), kAttributionColumns.end());
  for (const OutcomeLimit& l : tolerance_limits(request)) {
    c.push_back(request.multisection ? kBandShareColumns.at(l.outcome)
                                     : kShareColumns.at(l.outcome));
  }
  return c;
}

std::unique_ptr<RowSource> tolerance_attribution_rows(const ToleranceRequest& request,
                                                      const ToleranceOutcome& outcome) {
  return std::make_unique<AttributionRows>(request, outcome);
}

std::unique_ptr<RowSource> tolerance_lot_rows(const ToleranceRequest& request,
                                              const ToleranceOutcome& outcome) {
  return std::make_unique<LotRows>(request, outcome);
}

std::unique_ptr<RowSource> tolerance_lot_spread_rows(const ToleranceOutcome& outcome) {
  return std::make_unique<LotSpreadRows>(outcome);
}

std::string failed_samples_line(const ToleranceOutcome& outcome) {
  if (outcome.failed() == 0) return "";
  std::string line = std::to_string(outcome.failed()) + " of the " +
                     std::to_string(outcome.samples) + " samples could not be computed:";
  const char* separator = " ";
  for (std::size_t code = 1; code < outcome.by_status.size(); ++code) {
    if (outcome.by_status.at(code) == 0) continue;
    line += separator + std::to_string(outcome.by_status.at(code)) + " " +
            std::string(sample_status_name(static_cast<SampleStatus>(code)));
    separator = ", ";
  }
  return line + " (see their status in --samples-output; they count against the yield)";
}

}  // namespace ketrovane::commands
