#include "batch/rows.hpp"

#include <array>
#include <cmath>
#include <memory>
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
  void maybe(const std::optional<float>& value) {
    cells_[next_++] = value ? number_cell(*value) : Cell{};
  }

 private:
  std::span<Cell> cells_;
  std::size_t next_ = 0;
};

// ---- Where the strips stand: the dimensions of each arrangement ----

constexpr Column kWidth{"w", S::length, "W", "", 4};
constexpr Column kGap{"s", S::length, "S", "", 4};
constexpr Column kHeight{"h", S::length, "H", "", 4};
constexpr Column kVerticalGap{"sv", S::length, "SV", "", 4};
constexpr Column kOffset{"wo", S::length, "WO", "", 4};
constexpr Column kWidthRatio{"w_over_b", S::none, "W/B", "", 3};
constexpr Column kGapRatio{"s_over_b", S::none, "S/B", "", 3};
constexpr Column kHeightRatio{"h_over_b", S::none, "H/B", "", 3};
constexpr Column kVerticalGapRatio{"sv_over_b", S::none, "SV/B", "", 3};
constexpr Column kOffsetRatio{"wo_over_b", S::none, "WO/B", "", 3};

constexpr std::array kEdgeDimensions = {kWidth, kGap, kWidthRatio, kGapRatio};
constexpr std::array kOffsetDimensions = {kWidth,      kGap,      kHeight,
                                          kWidthRatio, kGapRatio, kHeightRatio};
constexpr std::array kBroadsideDimensions = {kWidth,      kVerticalGap,      kOffset,
                                             kWidthRatio, kVerticalGapRatio, kOffsetRatio};

// The lengths of a pair its arrangement has, in the order of its columns:
// W, S; W, S, H; W, SV, WO.  Absent ones (a row not built) stay empty.
struct PairLengths {
  std::array<std::optional<float>, 3> length;
  std::size_t count;
};

PairLengths lengths_of(const StripPair& p) {
  switch (p.placement.arrangement) {
    case Arrangement::edge_offset:
      return {{p.x.w, p.x.s, p.placement.h}, 3};
    case Arrangement::broadside:
      return {{p.x.w, p.placement.sv, p.placement.wo}, 3};
    case Arrangement::edge:
      break;
  }
  return {{p.x.w, p.x.s, std::nullopt}, 2};
}

// The ratio to B of each length as a grid prints it.
std::array<float, 3> grid_ratios(const Grid& g, const PairLengths& l) {
  const auto at = [&l](std::size_t i) { return l.length.at(i).value_or(0.0F); };
  switch (g.arrangement) {
    case Arrangement::edge_offset:
      return {g.w_over_b(at(0)), g.s_over_b(at(1)), g.h_over_b(at(2))};
    case Arrangement::broadside:
      return {g.w_over_b(at(0)), g.sv_over_b(at(1)), g.wo_over_b(at(2))};
    case Arrangement::edge:
      break;
  }
  return {g.w_over_b(at(0)), g.s_over_b(at(1)), 0.0F};
}

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

// The lengths of a pair and then their ratios to B.
void write_dimensions(CellWriter& out, const PairLengths& l, const std::array<float, 3>& ratios) {
  for (std::size_t i = 0; i < l.count; ++i) out.maybe(l.length.at(i));
  for (std::size_t i = 0; i < l.count; ++i) {
    out.maybe(l.length.at(i) ? std::optional<float>(ratios.at(i)) : std::nullopt);
  }
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
  void tally(RowTally& t, const StripPair& pair, RowStatus status, bool with_loss) const {
    if (is_failure(status)) ++t.failed;
    if (solver_ != Solver::field) t.accuracy.note(pair.x, with_loss);
  }

 private:
  Grid grid_;
  Solver solver_;
};

// ---- analyse ----

constexpr std::array kAnalyseFigures = {
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

constexpr auto kAnalyseColumns = joined(kEdgeDimensions, kAnalyseFigures);
constexpr auto kAnalyseOffsetColumns = joined(kOffsetDimensions, kAnalyseFigures);
constexpr auto kAnalyseBroadsideColumns = joined(kBroadsideDimensions, kAnalyseFigures);
constexpr auto kAnalyseWithField =
    joined(joined(kAnalyseColumns, kComparisonColumns), kLossComparisonColumns);

class AnalyseRows final : public GridRows {
 public:
  explicit AnalyseRows(const AnalyseRequest& q) : GridRows(q.grid, q.solver), q_(q) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return analyse_columns({solver(), false, grid().arrangement});
  }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& t) const override {
    const AnalysisRow r = analysis_row(grid().pair_at(index), q_.materials, q_.f_mhz, solver());
    const CouplerImpedances& z = r.impedances;
    CellWriter out(cells);
    const PairLengths lengths = lengths_of(r.pair);
    write_dimensions(out, lengths, grid_ratios(grid(), lengths));
    out.numbers({z.zo, z.zoe, z.zoo, z.coupling_db, -r.attenuation.even_db_per_inch,
                 -r.attenuation.odd_db_per_inch});
    out.status(r.status);
    if (solver() == Solver::both) {
      write_comparison(out, r.field);
      const LossComparison& l = *r.field_loss;
      out.numbers({-l.even_db_per_inch, -l.odd_db_per_inch, l.even_error_pct, l.odd_error_pct});
    }
    tally(t, r.pair, r.status, with_loss_);
  }

 private:
  AnalyseRequest q_;
  bool with_loss_ = q_.materials.conductor.resistivity_ohm_inch > 0.0F && q_.f_mhz > 0.0F;
};

// ---- synthesise ----

constexpr std::array kSynthesisTargetColumns = {
    Column{"zo_ohm", S::none, "Zo", "ohm", 2},
    Column{"zoe_ohm", S::none, "Zoe", "ohm", 3},
    Column{"zoo_ohm", S::none, "Zoo", "ohm", 3},
    Column{"coupling_db", S::none, "Co", "dB", 3},
};
constexpr auto kSynthesisDesignColumns = joined(kEdgeDimensions, kSynthesisTargetColumns);

constexpr Column kLengthColumn{"length", S::length, "Length", "", 4};

constexpr auto kSynthesisColumns = joined(kSynthesisDesignColumns, std::array{kStatusColumn});
// With --f0: the length of each design, a quarter wave there.
constexpr auto kSynthesisWithLengthColumns =
    joined(kSynthesisDesignColumns, std::array{kLengthColumn, kStatusColumn});

constexpr auto kSynthesisWithField = joined(kSynthesisColumns, kComparisonColumns);

// Strips off the centre plane or one above the other, on the field alone.
template <std::size_t N>
constexpr auto synthesis_columns_of(const std::array<Column, N>& dimensions) {
  return joined(dimensions, kSynthesisTargetColumns);
}
constexpr auto kSynthesisOffsetColumns =
    joined(synthesis_columns_of(kOffsetDimensions), std::array{kStatusColumn});
constexpr auto kSynthesisOffsetWithLengthColumns =
    joined(synthesis_columns_of(kOffsetDimensions), std::array{kLengthColumn, kStatusColumn});
constexpr auto kSynthesisBroadsideColumns =
    joined(synthesis_columns_of(kBroadsideDimensions), std::array{kStatusColumn});
constexpr auto kSynthesisBroadsideWithLengthColumns =
    joined(synthesis_columns_of(kBroadsideDimensions), std::array{kLengthColumn, kStatusColumn});

// The dimensions of a synthesis row: the solved ones when it was built or
// refused for a fab limit (what the design needs), the given ones always.
PairLengths synthesised_lengths(const SynthesisRow& r, const SynthesisSetup& setup) {
  PairLengths l = lengths_of(StripPair({{}, r.w, r.s}, r.placement));
  if (gives_dimensions(r)) return l;
  l.length.at(0).reset();
  // W and S, or W and SV, are the first two; W and WO the first and last.
  const bool offset_solved = setup.unknowns == field::SynthesisUnknowns::width_and_offset &&
                             r.placement.arrangement == Arrangement::broadside;
  l.length.at(offset_solved ? 2 : 1).reset();
  return l;
}
constexpr auto kSynthesisWithLengthAndField =
    joined(kSynthesisWithLengthColumns, kComparisonColumns);

class SynthesiseRows final : public RowSource {
 public:
  explicit SynthesiseRows(const SynthesiseRequest& q) : q_(q) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return synthesise_columns(
        {q_.solver, q_.length_inch.has_value(), q_.setup.placement.arrangement});
  }
  [[nodiscard]] std::int64_t rows() const override { return q_.targets.rows; }
  [[nodiscard]] std::int64_t rows_per_block() const override {
    return batch::rows_per_block(q_.solver);
  }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& t) const override {
    const float target = q_.targets.value(index);
    const SynthesisTargets targets = q_.by_coupling ? targets_of_coupling(q_.zo, -std::fabs(target))
                                                    : targets_of_even_mode(q_.zo, target);
    const SynthesisRow r = synthesis_row(q_.board, targets, q_.solver, q_.setup);
    CellWriter out(cells);
    const PairLengths lengths = synthesised_lengths(r, q_.setup);
    std::array<float, 3> ratios{};
    for (std::size_t i = 0; i < lengths.count; ++i) {
      ratios.at(i) = ratio_to_b(lengths.length.at(i).value_or(0.0F), q_.board.b);
    }
    write_dimensions(out, lengths, ratios);
    // A design of the model gives what the model makes of its own W and S.
    const SynthesisTargets& shown = r.achieved.value_or(targets);
    out.numbers({shown.zo, shown.zoe, shown.zoo, shown.coupling_db});
    if (q_.length_inch) out.numbers({*q_.length_inch});
    out.status(r.status);
    if (q_.solver == Solver::both) write_comparison(out, r.field);
    if (is_failure(r.status)) ++t.failed;
    if (r.status == RowStatus::gap_below_limit) t.note_below_gap_limit(targets);
    if (r.status == RowStatus::needs_thinner_core) ++t.core_too_thick;
    if (r.built && q_.solver != Solver::field && r.placement.is_edge()) {
      t.accuracy.note({q_.board, r.w, r.s}, false);
    }
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
      t.accuracy.note(q_.dimensions->x, q_.materials.conductor.resistivity_ohm_inch > 0.0F);
    }
  }

 private:
  ResponseRequest q_;
  ResponseCoupler coupler_;
};

// ---- sensitivity ----

constexpr Column kSensitivityWidth{"w", S::length, "W", "", 5};
constexpr Column kSensitivityGap{"s", S::length, "S", "", 5};
constexpr Column kSensitivityHeight{"h", S::length, "H", "", 5};
constexpr Column kSensitivityVerticalGap{"sv", S::length, "SV", "", 5};
constexpr Column kSensitivityOffset{"wo", S::length, "WO", "", 5};
constexpr std::array kNominalImpedances = {Column{"zoe_ohm", S::none, "Zoe", "ohm", 2},
                                           Column{"zoo_ohm", S::none, "Zoo", "ohm", 2}};

// (x/Z) dZ/dx of each mode to each dimension the arrangement has.
constexpr std::array kSensitivityColumns = joined(
    joined(std::array{kSensitivityWidth, kSensitivityGap}, kNominalImpedances),
    std::array{Column{"szoe_er", S::none, "Zoe:Er", "", 3},
               Column{"szoe_b", S::none, "Zoe:B", "", 3}, Column{"szoe_s", S::none, "Zoe:S", "", 3},
               Column{"szoe_t", S::none, "Zoe:T", "", 3}, Column{"szoe_w", S::none, "Zoe:W", "", 3},
               Column{"szoo_er", S::none, "Zoo:Er", "", 3},
               Column{"szoo_b", S::none, "Zoo:B", "", 3}, Column{"szoo_s", S::none, "Zoo:S", "", 3},
               Column{"szoo_t", S::none, "Zoo:T", "", 3}, Column{"szoo_w", S::none, "Zoo:W", "", 3},
               kStatusColumn});

constexpr std::array kSensitivityOffsetColumns = joined(
    joined(std::array{kSensitivityWidth, kSensitivityGap, kSensitivityHeight}, kNominalImpedances),
    std::array{Column{"szoe_er", S::none, "Zoe:Er", "", 3},
               Column{"szoe_b", S::none, "Zoe:B", "", 3}, Column{"szoe_s", S::none, "Zoe:S", "", 3},
               Column{"szoe_t", S::none, "Zoe:T", "", 3}, Column{"szoe_w", S::none, "Zoe:W", "", 3},
               Column{"szoe_h", S::none, "Zoe:H", "", 3},
               Column{"szoo_er", S::none, "Zoo:Er", "", 3},
               Column{"szoo_b", S::none, "Zoo:B", "", 3}, Column{"szoo_s", S::none, "Zoo:S", "", 3},
               Column{"szoo_t", S::none, "Zoo:T", "", 3}, Column{"szoo_w", S::none, "Zoo:W", "", 3},
               Column{"szoo_h", S::none, "Zoo:H", "", 3}, kStatusColumn});

constexpr std::array kSensitivityBroadsideColumns = joined(
    joined(std::array{kSensitivityWidth, kSensitivityVerticalGap, kSensitivityOffset},
           kNominalImpedances),
    std::array{
        Column{"szoe_er", S::none, "Zoe:Er", "", 3}, Column{"szoe_b", S::none, "Zoe:B", "", 3},
        Column{"szoe_t", S::none, "Zoe:T", "", 3}, Column{"szoe_w", S::none, "Zoe:W", "", 3},
        Column{"szoe_sv", S::none, "Zoe:SV", "", 3}, Column{"szoe_wo", S::none, "Zoe:WO", "", 3},
        Column{"szoo_er", S::none, "Zoo:Er", "", 3}, Column{"szoo_b", S::none, "Zoo:B", "", 3},
        Column{"szoo_t", S::none, "Zoo:T", "", 3}, Column{"szoo_w", S::none, "Zoo:W", "", 3},
        Column{"szoo_sv", S::none, "Zoo:SV", "", 3}, Column{"szoo_wo", S::none, "Zoo:WO", "", 3},
        kStatusColumn});

constexpr auto kSensitivityWithField = joined(kSensitivityColumns, kComparisonColumns);

// The sensitivities of one mode to what its arrangement has.
void write_mode_sensitivities(CellWriter& out, Arrangement a, const ModeSensitivities& m,
                              float to_h, float to_sv, float to_wo) {
  switch (a) {
    case Arrangement::edge_offset:
      return out.numbers({m.er, m.b, m.s, m.t, m.w, to_h});
    case Arrangement::broadside:
      return out.numbers({m.er, m.b, m.t, m.w, to_sv, to_wo});
    case Arrangement::edge:
      break;
  }
  out.numbers({m.er, m.b, m.s, m.t, m.w});
}

class SensitivityRows final : public GridRows {
 public:
  explicit SensitivityRows(const SensitivityRequest& q) : GridRows(q.grid, q.solver) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return sensitivity_columns({solver(), false, grid().arrangement});
  }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& t) const override {
    const SensitivityRow r = sensitivity_row(grid().pair_at(index), solver());
    const ImpedanceSensitivities& z = r.sensitivities;
    const PlacementSensitivities& p = r.placement;
    const Arrangement a = r.pair.placement.arrangement;
    CellWriter out(cells);
    const PairLengths lengths = lengths_of(r.pair);
    for (std::size_t i = 0; i < lengths.count; ++i) out.maybe(lengths.length.at(i));
    out.numbers({z.zoe, z.zoo});
    write_mode_sensitivities(out, a, z.even, p.h_even, p.sv_even, p.wo_even);
    write_mode_sensitivities(out, a, z.odd, p.h_odd, p.sv_odd, p.wo_odd);
    out.status(r.status);
    if (solver() == Solver::both) write_comparison(out, r.field);
    tally(t, r.pair, r.status, false);
  }
};

// ---- field ----

constexpr std::array kFieldFigures = {
    Column{"zo_ohm", S::none, "Zo", "ohm", 4},
    Column{"zoe_ohm", S::none, "Zoe", "ohm", 4},
    Column{"zoo_ohm", S::none, "Zoo", "ohm", 4},
    Column{"coupling_db", S::none, "Co", "dB", 4},
    Column{"c_even", S::none, "C/eps even", "", 5},
    Column{"c_odd", S::none, "C/eps odd", "", 5},
    Column{"error_estimate", S::none, "Estimate", "", 7},
    Column{"panels", S::none, "Panels", "", 0},
};

constexpr auto kFieldColumns = joined(kEdgeDimensions, kFieldFigures);
constexpr auto kFieldOffsetColumns = joined(kOffsetDimensions, kFieldFigures);
constexpr auto kFieldBroadsideColumns = joined(kBroadsideDimensions, kFieldFigures);

class FieldRows final : public RowSource {
 public:
  explicit FieldRows(const FieldRequest& q) : q_(q) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return field_columns({Solver::field, false, q_.grid.arrangement});
  }
  [[nodiscard]] std::int64_t rows() const override { return q_.grid.rows(); }
  [[nodiscard]] std::int64_t rows_per_block() const override { return kFieldRowsPerBlock; }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& /*tally*/) const override {
    const FieldRow r = field_row(q_.grid.pair_at(index), q_.tolerance);
    const auto f = [](double v) { return static_cast<float>(v); };
    CellWriter out(cells);
    const PairLengths lengths = lengths_of(r.pair);
    write_dimensions(out, lengths, grid_ratios(q_.grid, lengths));
    out.numbers({f(r.zo), f(r.zoe), f(r.zoo), f(r.coupling_db), f(r.c_even), f(r.c_odd),
                 f(r.error_estimate), static_cast<float>(r.panels)});
  }

 private:
  FieldRequest q_;
};

// ---- multisection ----

constexpr std::array kSectionHeadColumns = {
    Column{"section", S::none, "Section", "", 0},
    Column{"coupling_db", S::none, "Co", "dB", 3},
    Column{"zoe_ohm", S::none, "Zoe", "ohm", 3},
    Column{"zoo_ohm", S::none, "Zoo", "ohm", 3},
};
constexpr auto kSectionTailColumns = std::array{kLengthColumn, kStatusColumn};
constexpr auto kIdealSectionColumns = joined(kSectionHeadColumns, kSectionTailColumns);
constexpr auto kEdgeSectionColumns =
    joined(joined(kSectionHeadColumns, kEdgeDimensions), kSectionTailColumns);
constexpr auto kOffsetSectionColumns =
    joined(joined(kSectionHeadColumns, kOffsetDimensions), kSectionTailColumns);
constexpr auto kBroadsideSectionColumns =
    joined(joined(kSectionHeadColumns, kBroadsideDimensions), kSectionTailColumns);

// The columns of the section table: the dimensions of the board's
// arrangement, none for ideal sections.
std::span<const Column> section_columns(const MultisectionBuild& b) {
  if (!b.board) return kIdealSectionColumns;
  switch (b.setup.placement.arrangement) {
    case Arrangement::edge_offset:
      return kOffsetSectionColumns;
    case Arrangement::broadside:
      return kBroadsideSectionColumns;
    case Arrangement::edge:
      break;
  }
  return kEdgeSectionColumns;
}

void tally_section(const SectionRow& s, RowTally& t) {
  if (is_failure(s.status)) ++t.failed;
  if (s.status == RowStatus::gap_below_limit) t.note_below_gap_limit(s.synthesis->targets);
  if (s.status == RowStatus::needs_thinner_core) ++t.core_too_thick;
}

class SectionRows final : public RowSource {
 public:
  explicit SectionRows(MultisectionRequest q) : q_(std::move(q)) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return section_columns(q_.build);
  }
  [[nodiscard]] std::int64_t rows() const override {
    return static_cast<std::int64_t>(q_.coupler->sections.size());
  }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& t) const override {
    const SectionRow& s = q_.coupler->sections.at(static_cast<std::size_t>(index));
    CellWriter out(cells);
    out.numbers({static_cast<float>(s.index), s.coupling_db, s.zoe, s.zoo});
    if (s.synthesis) write_section_dimensions(out, *s.synthesis);
    out.numbers({s.length_inch});
    out.status(s.status);
    tally_section(s, t);
    if (s.synthesis && s.synthesis->built && q_.build.solver == Solver::model &&
        s.synthesis->placement.is_edge()) {
      t.accuracy.note({*q_.build.board, s.synthesis->w, s.synthesis->s}, false);
    }
  }

 private:
  void write_section_dimensions(CellWriter& out, const SynthesisRow& r) const {
    const PairLengths lengths = synthesised_lengths(r, q_.build.setup);
    std::array<float, 3> ratios{};
    for (std::size_t i = 0; i < lengths.count; ++i) {
      ratios.at(i) = ratio_to_b(lengths.length.at(i).value_or(0.0F), q_.build.board->b);
    }
    write_dimensions(out, lengths, ratios);
  }

  MultisectionRequest q_;
};

// The first section that could not be built: what every response row of
// an unbuilt coupler says.
RowStatus unbuilt_status(const MultisectionCoupler& c) {
  for (const SectionRow& s : c.sections) {
    if (is_failure(s.status)) return s.status;
  }
  return RowStatus::unusable;
}

class MultisectionResponseRows final : public RowSource {
 public:
  explicit MultisectionResponseRows(MultisectionRequest q) : q_(std::move(q)) {}

  [[nodiscard]] std::span<const Column> columns() const override { return kResponseColumns; }
  [[nodiscard]] std::int64_t rows() const override { return q_.f->rows; }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& t) const override {
    const float f = q_.f->value(index);
    CellWriter out(cells);
    out.numbers({f});
    if (!q_.coupler->built()) {
      out.empty(kResponseColumns.size() - 2);
      out.status(unbuilt_status(*q_.coupler));
      ++t.failed;
      return;
    }
    const ResponseRow r = multisection_response_row(*q_.coupler, f, q_.terminations);
    write_response(out, r.response);
    out.numbers({total_length()});
    out.status(r.status);
    if (is_failure(r.status)) ++t.failed;
  }

 private:
  [[nodiscard]] float total_length() const {
    float length = 0.0F;
    for (const SectionRow& s : q_.coupler->sections) length += s.length_inch;
    return length;
  }

  MultisectionRequest q_;
};

}  // namespace

std::span<const Column> analyse_columns(const ColumnChoice& c) {
  if (c.arrangement == Arrangement::edge_offset) return kAnalyseOffsetColumns;
  if (c.arrangement == Arrangement::broadside) return kAnalyseBroadsideColumns;
  if (c.solver == Solver::both) return kAnalyseWithField;
  return kAnalyseColumns;
}

std::span<const Column> synthesise_columns(const ColumnChoice& c) {
  if (c.arrangement == Arrangement::edge_offset) {
    if (c.with_length) return kSynthesisOffsetWithLengthColumns;
    return kSynthesisOffsetColumns;
  }
  if (c.arrangement == Arrangement::broadside) {
    if (c.with_length) return kSynthesisBroadsideWithLengthColumns;
    return kSynthesisBroadsideColumns;
  }
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

std::span<const Column> multisection_columns(const ColumnChoice& c) {
  if (!c.with_length) return kIdealSectionColumns;
  if (c.arrangement == Arrangement::edge_offset) return kOffsetSectionColumns;
  if (c.arrangement == Arrangement::broadside) return kBroadsideSectionColumns;
  return kEdgeSectionColumns;
}

std::unique_ptr<RowSource> multisection_rows(const Request& request) {
  const auto& q = std::get<MultisectionRequest>(request);
  if (q.response_table) return std::make_unique<MultisectionResponseRows>(q);
  return std::make_unique<SectionRows>(q);
}

std::span<const Column> sensitivity_columns(const ColumnChoice& c) {
  if (c.arrangement == Arrangement::edge_offset) return kSensitivityOffsetColumns;
  if (c.arrangement == Arrangement::broadside) return kSensitivityBroadsideColumns;
  if (c.solver == Solver::both) return kSensitivityWithField;
  return kSensitivityColumns;
}

std::span<const Column> field_columns(const ColumnChoice& c) {
  if (c.arrangement == Arrangement::edge_offset) return kFieldOffsetColumns;
  if (c.arrangement == Arrangement::broadside) return kFieldBroadsideColumns;
  return kFieldColumns;
}

std::unique_ptr<RowSource> analyse_rows(const Request& request) {
  return std::make_unique<AnalyseRows>(std::get<AnalyseRequest>(request));
}

std::unique_ptr<RowSource> synthesise_rows(const Request& request) {
  return std::make_unique<SynthesiseRows>(std::get<SynthesiseRequest>(request));
}

// A synthesis of strips side by side: of synthesise, or of the sections of
// a multi-section coupler on a board.
bool synthesised_side_by_side(const Request& request) {
  if (const auto* q = std::get_if<SynthesiseRequest>(&request)) {
    return q->setup.placement.is_edge();
  }
  if (const auto* q = std::get_if<MultisectionRequest>(&request)) {
    return q->build.board && q->build.setup.placement.is_edge();
  }
  return false;
}

// Whether strips one above the other on the request's board meet the
// loosest of the targets refused for their gap, within the fab's limits.
bool broadside_admitted(const RowTally& tally, const Request& request) {
  if (!tally.loosest_below_gap_limit) return false;
  if (const auto* q = std::get_if<SynthesiseRequest>(&request)) {
    return admits_broadside(q->board, *tally.loosest_below_gap_limit, q->setup.limits);
  }
  const auto& q = std::get<MultisectionRequest>(request);
  return admits_broadside(*q.build.board, *tally.loosest_below_gap_limit, q.build.setup.limits);
}

std::string gap_limit_note(const RowTally& tally, const Request& request) {
  if (tally.below_gap_limit == 0 || !synthesised_side_by_side(request)) return "";
  const std::string refused = "note: " + std::to_string(tally.below_gap_limit) +
                              " of the designs need a gap S below --min-gap";
  if (!broadside_admitted(tally, request)) {
    return refused +
           " (each row gives the gap it needs); strips one above the other on this "
           "board meet none of them within --min-gap and --min-width either";
  }
  return refused +
         "; strips one above the other across a thin core couple that tightly with no narrow "
         "gap: try --geometry broadside --sv L --solver field";
}

std::string core_note(const RowTally& tally, const Request& request) {
  const bool synthesised = std::holds_alternative<SynthesiseRequest>(request) ||
                           std::holds_alternative<MultisectionRequest>(request);
  if (!synthesised || tally.core_too_thick == 0) return "";
  return "note: " + std::to_string(tally.core_too_thick) +
         " of the designs need a thinner core: even directly above each other (WO = 0) the "
         "strips couple less than asked across this --sv; give a smaller --sv, or --solve w,sv "
         "to find the gap that couples as asked";
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
