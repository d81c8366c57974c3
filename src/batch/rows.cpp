#include "batch/rows.hpp"

#include <array>
#include <cmath>
#include <utility>

namespace ketrovane::batch {

namespace {

using S = Scale;

// Rows of a field solution, a few milliseconds each, go to the threads one
// at a time.
constexpr std::int64_t kFieldRowsPerBlock = 1;

std::int64_t rows_per_block(Solver solver) {
  return solver == Solver::model ? RowSource::kModelRowsPerBlock : kFieldRowsPerBlock;
}

// Writes the cells of one row from the first column on.
class CellWriter {
 public:
  explicit CellWriter(std::span<Cell> cells) : cells_(cells) {}

  void numbers(std::initializer_list<float> values) {
    for (const float v : values) cells_[next_++] = number_cell(v);
  }
  void empty(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) cells_[next_++] = Cell{};
  }
  void status(RowStatus s) { cells_[next_++] = text_cell(status_name(s)); }

 private:
  std::span<Cell> cells_;
  std::size_t next_ = 0;
};

// ---- The comparison with the field, for both ----

constexpr std::array kComparisonColumns = {
    Column{"zoe_field_ohm", S::none, "Zoe field", "ohm", 3},
    Column{"zoo_field_ohm", S::none, "Zoo field", "ohm", 3},
    Column{"zo_field_ohm", S::none, "Zo field", "ohm", 3},
    Column{"coupling_field_db", S::none, "Co field", "dB", 3},
    Column{"zoe_model_error_pct", S::none, "Zoe error", "%", 2},
    Column{"zoo_model_error_pct", S::none, "Zoo error", "%", 2},
};

void write_comparison(CellWriter& out, const std::optional<FieldComparison>& f) {
  if (!f) return out.empty(kComparisonColumns.size());
  out.numbers({f->zoe, f->zoo, f->zo, f->coupling_db, f->zoe_error_pct, f->zoo_error_pct});
}

// Columns of a command with those that follow them for both.
template <std::size_t N, std::size_t M>
constexpr std::array<Column, N + M> joined(const std::array<Column, N>& a,
                                           const std::array<Column, M>& b) {
  std::array<Column, N + M> all{};
  for (std::size_t i = 0; i < N; ++i) all.at(i) = a.at(i);
  for (std::size_t i = 0; i < M; ++i) all.at(N + i) = b.at(i);
  return all;
}

// A grid command's rows: the model's are noted against the map of its
// error.
class GridRows : public RowSource {
 public:
  GridRows(const Grid& grid, Solver solver) : grid_(grid), solver_(solver) {}
  [[nodiscard]] std::int64_t rows() const override { return grid_.rows(); }
  [[nodiscard]] std::int64_t rows_per_block() const override {
    return batch::rows_per_block(solver_);
  }

 protected:
  [[nodiscard]] const Grid& grid() const { return grid_; }
  [[nodiscard]] Solver solver() const { return solver_; }
  void tally(RowTally& t, const CrossSection& x, RowStatus status, bool with_loss) const {
    if (is_failure(status)) ++t.failed;
    if (solver_ != Solver::field) t.accuracy.note(x, with_loss);
  }

 private:
  Grid grid_;
  Solver solver_;
};

// ---- analyse ----

constexpr std::array kAnalyseColumns = {
    Column{"w", S::length, "W", "", 4},
    Column{"s", S::length, "S", "", 4},
    Column{"w_over_b", S::none, "W/B", "", 3},
    Column{"s_over_b", S::none, "S/B", "", 3},
    Column{"zo_ohm", S::none, "Zo", "ohm", 3},
    Column{"zoe_ohm", S::none, "Zoe", "ohm", 3},
    Column{"zoo_ohm", S::none, "Zoo", "ohm", 3},
    Column{"coupling_db", S::none, "Co", "dB", 3},
    Column{"loss_even_db_per", S::per_length, "Loss even", "", 3},
    Column{"loss_odd_db_per", S::per_length, "Loss odd", "", 3},
    kStatusColumn,
};

constexpr std::array kLossComparisonColumns = {
    Column{"loss_even_field_db_per", S::per_length, "Loss even field", "", 3},
    Column{"loss_odd_field_db_per", S::per_length, "Loss odd field", "", 3},
    Column{"loss_even_model_error_pct", S::none, "Loss even error", "%", 2},
    Column{"loss_odd_model_error_pct", S::none, "Loss odd error", "%", 2},
};

constexpr auto kAnalyseWithField =
    joined(joined(kAnalyseColumns, kComparisonColumns), kLossComparisonColumns);

class AnalyseRows final : public GridRows {
 public:
  explicit AnalyseRows(const AnalyseRequest& q) : GridRows(q.grid, q.solver), q_(q) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return analyse_columns({solver(), false});
  }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& t) const override {
    const AnalysisRow r = analysis_row(grid().at(index), q_.materials, q_.f_mhz, solver());
    const CouplerImpedances& z = r.impedances;
    CellWriter out(cells);
    out.numbers({r.x.w, r.x.s, grid().w_over_b(r.x.w), grid().s_over_b(r.x.s), z.zo, z.zoe, z.zoo,
                 z.coupling_db, -r.attenuation.even_db_per_inch, -r.attenuation.odd_db_per_inch});
    out.status(r.status);
    if (solver() == Solver::both) {
      write_comparison(out, r.field);
      const LossComparison& l = *r.field_loss;
      out.numbers({-l.even_db_per_inch, -l.odd_db_per_inch, l.even_error_pct, l.odd_error_pct});
    }
    tally(t, r.x, r.status, with_loss_);
  }

 private:
  AnalyseRequest q_;
  bool with_loss_ = q_.materials.conductor.resistivity_ohm_inch > 0.0F && q_.f_mhz > 0.0F;
};

// ---- synthesise ----

constexpr std::array kSynthesisDesignColumns = {
    Column{"w", S::length, "W", "", 4},          Column{"s", S::length, "S", "", 4},
    Column{"w_over_b", S::none, "W/B", "", 3},   Column{"s_over_b", S::none, "S/B", "", 3},
    Column{"zo_ohm", S::none, "Zo", "ohm", 2},   Column{"zoe_ohm", S::none, "Zoe", "ohm", 3},
    Column{"zoo_ohm", S::none, "Zoo", "ohm", 3}, Column{"coupling_db", S::none, "Co", "dB", 3},
};

constexpr Column kLengthColumn{"length", S::length, "Length", "", 4};

constexpr auto kSynthesisColumns = joined(kSynthesisDesignColumns, std::array{kStatusColumn});
// With --f0: the length of each design, a quarter wave there.
constexpr auto kSynthesisWithLengthColumns =
    joined(kSynthesisDesignColumns, std::array{kLengthColumn, kStatusColumn});

constexpr auto kSynthesisWithField = joined(kSynthesisColumns, kComparisonColumns);
constexpr auto kSynthesisWithLengthAndField =
    joined(kSynthesisWithLengthColumns, kComparisonColumns);

class SynthesiseRows final : public RowSource {
 public:
  explicit SynthesiseRows(const SynthesiseRequest& q) : q_(q) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return synthesise_columns({q_.solver, q_.length_inch.has_value()});
  }
  [[nodiscard]] std::int64_t rows() const override { return q_.targets.rows; }
  [[nodiscard]] std::int64_t rows_per_block() const override {
    return batch::rows_per_block(q_.solver);
  }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& t) const override {
    const float target = q_.targets.value(index);
    const SynthesisTargets targets = q_.by_coupling ? targets_of_coupling(q_.zo, -std::fabs(target))
                                                    : targets_of_even_mode(q_.zo, target);
    const SynthesisRow r = synthesis_row(q_.board, targets, q_.solver);
    CellWriter out(cells);
    if (r.built) {
      out.numbers({r.w, r.s, ratio_to_b(r.w, q_.board.b), ratio_to_b(r.s, q_.board.b)});
    } else {
      out.empty(4);
    }
    out.numbers({targets.zo, targets.zoe, targets.zoo, targets.coupling_db});
    if (q_.length_inch) out.numbers({*q_.length_inch});
    out.status(r.status);
    if (q_.solver == Solver::both) write_comparison(out, r.field);
    if (is_failure(r.status)) ++t.failed;
    if (r.built && q_.solver != Solver::field) t.accuracy.note({q_.board, r.w, r.s}, false);
  }

 private:
  SynthesiseRequest q_;
};

// ---- response ----

constexpr std::array kResponseColumns = {
    Column{"f_mhz", S::none, "f", "MHz", 3},
    Column{"s11_db", S::none, "S11", "dB", 2},
    Column{"s11_deg", S::none, "S11", "deg", 2},
    Column{"s21_db", S::none, "S21", "dB", 3},
    Column{"s21_deg", S::none, "S21", "deg", 2},
    Column{"s31_db", S::none, "S31", "dB", 2},
    Column{"s31_deg", S::none, "S31", "deg", 2},
    Column{"s41_db", S::none, "S41", "dB", 3},
    Column{"s41_deg", S::none, "S41", "deg", 2},
    Column{"vswr", S::none, "VSWR", "", 3},
    Column{"phase_difference_deg", S::none, "S41-S21", "deg", 2},
    Column{"phase_error_deg", S::none, "Quad err", "deg", 2},
    Column{"loss_conductor_db", S::none, "I2R loss", "dB", 4},
    Column{"loss_total_db", S::none, "Tot loss", "dB", 4},
    Column{"return_loss_db", S::none, "Ret loss", "dB", 2},
    Column{"directivity_db", S::none, "Directivity", "dB", 2},
    kLengthColumn,
    kStatusColumn,
};

constexpr std::array kFieldResponseColumns = {
    Column{"s11_field_db", S::none, "S11 field", "dB", 2},
    Column{"s11_field_deg", S::none, "S11 field", "deg", 2},
    Column{"s21_field_db", S::none, "S21 field", "dB", 3},
    Column{"s21_field_deg", S::none, "S21 field", "deg", 2},
    Column{"s31_field_db", S::none, "S31 field", "dB", 2},
    Column{"s31_field_deg", S::none, "S31 field", "deg", 2},
    Column{"s41_field_db", S::none, "S41 field", "dB", 3},
    Column{"s41_field_deg", S::none, "S41 field", "deg", 2},
    Column{"vswr_field", S::none, "VSWR field", "", 3},
    Column{"phase_difference_field_deg", S::none, "S41-S21 field", "deg", 2},
    Column{"phase_error_field_deg", S::none, "Quad err field", "deg", 2},
    Column{"loss_conductor_field_db", S::none, "I2R loss field", "dB", 4},
    Column{"loss_total_field_db", S::none, "Tot loss field", "dB", 4},
    Column{"return_loss_field_db", S::none, "Ret loss field", "dB", 2},
    Column{"directivity_field_db", S::none, "Directivity field", "dB", 2},
};

constexpr auto kResponseWithField =
    joined(joined(kResponseColumns, kComparisonColumns), kFieldResponseColumns);

// Every column of a response but the frequency and the length: the
// amplitudes as the reports print them, down to -90 dB, and the return loss
// and the directivity (isolation less coupling) from them.
void write_response(CellWriter& out, const FourPortResponse& r) {
  const auto& db = r.amplitude_db;
  const auto& deg = r.phase_deg;
  out.numbers({db[Port::reflected], deg[Port::reflected], db[Port::through], deg[Port::through],
               db[Port::isolated], deg[Port::isolated], db[Port::coupled], deg[Port::coupled],
               r.input_vswr, r.phase_difference_deg, r.quadrature_error_deg, r.ohmic_loss_db,
               r.total_loss_db, return_loss_db(r), directivity_db(r)});
}

class ResponseRows final : public RowSource {
 public:
  explicit ResponseRows(const ResponseRequest& q) : q_(q), coupler_(coupler_of(q_)) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return response_columns({q_.solver, true});
  }
  [[nodiscard]] std::int64_t rows() const override { return q_.f.rows; }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& t) const override {
    const ResponseRow r = response_row(coupler_, q_.f.value(index), q_.terminations);
    CellWriter out(cells);
    out.numbers({r.f_mhz});
    write_response(out, r.response);
    out.numbers({q_.length_inch});
    out.status(r.status);
    if (q_.solver == Solver::both) {
      write_comparison(out, coupler_.field);
      write_response(out, *r.field_response);
    }
    if (is_failure(r.status)) ++t.failed;
    if (q_.dimensions && q_.solver != Solver::field) {
      t.accuracy.note(*q_.dimensions, q_.materials.conductor.resistivity_ohm_inch > 0.0F);
    }
  }

 private:
  ResponseRequest q_;
  ResponseCoupler coupler_;
};

// ---- sensitivity ----

constexpr std::array kSensitivityColumns = {
    Column{"w", S::length, "W", "", 5},
    Column{"s", S::length, "S", "", 5},
    Column{"zoe_ohm", S::none, "Zoe", "ohm", 2},
    Column{"zoo_ohm", S::none, "Zoo", "ohm", 2},
    Column{"szoe_er", S::none, "Zoe:Er", "", 3},
    Column{"szoe_b", S::none, "Zoe:B", "", 3},
    Column{"szoe_s", S::none, "Zoe:S", "", 3},
    Column{"szoe_t", S::none, "Zoe:T", "", 3},
    Column{"szoe_w", S::none, "Zoe:W", "", 3},
    Column{"szoo_er", S::none, "Zoo:Er", "", 3},
    Column{"szoo_b", S::none, "Zoo:B", "", 3},
    Column{"szoo_s", S::none, "Zoo:S", "", 3},
    Column{"szoo_t", S::none, "Zoo:T", "", 3},
    Column{"szoo_w", S::none, "Zoo:W", "", 3},
    kStatusColumn,
};

constexpr auto kSensitivityWithField = joined(kSensitivityColumns, kComparisonColumns);

class SensitivityRows final : public GridRows {
 public:
  explicit SensitivityRows(const SensitivityRequest& q) : GridRows(q.grid, q.solver) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return sensitivity_columns({solver(), false});
  }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& t) const override {
    const SensitivityRow r = sensitivity_row(grid().at(index), solver());
    const ImpedanceSensitivities& z = r.sensitivities;
    CellWriter out(cells);
    out.numbers({r.x.w, r.x.s, z.zoe, z.zoo, z.even.er, z.even.b, z.even.s, z.even.t, z.even.w,
                 z.odd.er, z.odd.b, z.odd.s, z.odd.t, z.odd.w});
    out.status(r.status);
    if (solver() == Solver::both) write_comparison(out, r.field);
    tally(t, r.x, r.status, false);
  }
};

// ---- field ----

constexpr std::array kFieldColumns = {
    Column{"w", S::length, "W", "", 4},
    Column{"s", S::length, "S", "", 4},
    Column{"w_over_b", S::none, "W/B", "", 3},
    Column{"s_over_b", S::none, "S/B", "", 3},
    Column{"zo_ohm", S::none, "Zo", "ohm", 4},
    Column{"zoe_ohm", S::none, "Zoe", "ohm", 4},
    Column{"zoo_ohm", S::none, "Zoo", "ohm", 4},
    Column{"coupling_db", S::none, "Co", "dB", 4},
    Column{"c_even", S::none, "C/eps even", "", 5},
    Column{"c_odd", S::none, "C/eps odd", "", 5},
    Column{"error_estimate", S::none, "Estimate", "", 7},
    Column{"panels", S::none, "Panels", "", 0},
};

class FieldRows final : public RowSource {
 public:
  explicit FieldRows(const FieldRequest& q) : q_(q) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return field_columns({Solver::field, false});
  }
  [[nodiscard]] std::int64_t rows() const override { return q_.grid.rows(); }
  [[nodiscard]] std::int64_t rows_per_block() const override { return kFieldRowsPerBlock; }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& /*tally*/) const override {
    const FieldRow r = field_row(q_.grid.at(index), q_.tolerance);
    const auto f = [](double v) { return static_cast<float>(v); };
    CellWriter out(cells);
    out.numbers({r.x.w, r.x.s, q_.grid.w_over_b(r.x.w), q_.grid.s_over_b(r.x.s), f(r.zo), f(r.zoe),
                 f(r.zoo), f(r.coupling_db), f(r.c_even), f(r.c_odd), f(r.error_estimate),
                 static_cast<float>(r.panels)});
  }

 private:
  FieldRequest q_;
};

}  // namespace

std::span<const Column> analyse_columns(const ColumnChoice& c) {
  if (c.solver == Solver::both) return kAnalyseWithField;
  return kAnalyseColumns;
}

std::span<const Column> synthesise_columns(const ColumnChoice& c) {
  if (c.with_length) {
    if (c.solver == Solver::both) return kSynthesisWithLengthAndField;
    return kSynthesisWithLengthColumns;
  }
  if (c.solver == Solver::both) return kSynthesisWithField;
  return kSynthesisColumns;
}

std::span<const Column> response_columns(const ColumnChoice& c) {
  if (c.solver == Solver::both) return kResponseWithField;
  return kResponseColumns;
}

std::span<const Column> sensitivity_columns(const ColumnChoice& c) {
  if (c.solver == Solver::both) return kSensitivityWithField;
  return kSensitivityColumns;
}

std::span<const Column> field_columns(const ColumnChoice& /*choice*/) {
  return kFieldColumns;
}

std::unique_ptr<RowSource> analyse_rows(const Request& request) {
  return std::make_unique<AnalyseRows>(std::get<AnalyseRequest>(request));
}

std::unique_ptr<RowSource> synthesise_rows(const Request& request) {
  return std::make_unique<SynthesiseRows>(std::get<SynthesiseRequest>(request));
}

std::unique_ptr<RowSource> response_rows(const Request& request) {
  return std::make_unique<ResponseRows>(std::get<ResponseRequest>(request));
}

std::unique_ptr<RowSource> sensitivity_rows(const Request& request) {
  return std::make_unique<SensitivityRows>(std::get<SensitivityRequest>(request));
}

std::unique_ptr<RowSource> field_rows(const Request& request) {
  return std::make_unique<FieldRows>(std::get<FieldRequest>(request));
}

}  // namespace ketrovane::batch
