#include "commands/rows.hpp"

#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "commands/dimension_words.hpp"
#include "commands/number_format.hpp"
#include "design/line.hpp"
#include "design/quarter_wave.hpp"

namespace ketrovane::commands {

namespace {

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

std::optional<float> finite(float value) {
  return std::isfinite(value) ? std::optional(value) : std::nullopt;
}

// ---- Where the strips stand: the dimensions of each arrangement ----

using Columns = std::vector<Column>;

// A text made for a column ("wo_over_b", "Zoe:WO"), kept for the program's
// life as the columns' views need.
std::string_view kept(std::string text) {
  static std::mutex guard;
  static std::set<std::string, std::less<>> texts;
  const std::scoped_lock lock(guard);
  return *texts.insert(std::move(text)).first;
}

Column length_column(const StripDimension& d, int decimals) {
  return in_length_unit(d.name, d.symbol, decimals);
}

// W/B
Column ratio_column(const StripDimension& d) {
  return unitless(kept(std::string(d.name) + "_over_b"), kept(std::string(d.symbol) + "/B"), 3);
}

// The arrangement's lengths, then their ratios to B: w, s, w_over_b, s_over_b.
Columns dimension_columns(const ArrangementSpec& a) {
  Columns c;
  for (const StripDimension* d : a.dimensions) c.push_back(length_column(*d, 4));
  for (const StripDimension* d : a.dimensions) c.push_back(ratio_column(*d));
  return c;
}

Columns operator+(Columns a, std::span<const Column> b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The columns of a command for each arrangement, made once, in the order
// of the arrangements.
struct PerArrangement {
  std::vector<Columns> of;

  template <typename Make>
  explicit PerArrangement(Make make) {
    for (const ArrangementSpec& a : arrangements()) of.push_back(make(a));
  }
  [[nodiscard]] std::span<const Column> operator[](Arrangement a) const {
    return of.at(static_cast<std::size_t>(a));
  }
};

bool on_model(Arrangement a) {
  return arrangement_spec(a).on_model;
}

// The lengths of a pair its arrangement has, in the order of its columns:
// W, S; W, S, H; W, SV, WO.  Absent ones (a row not built) stay empty.
struct PairLengths {
  std::array<std::optional<float>, kDimensionCount> length;
  std::size_t count;
};

PairLengths lengths_of(const StripPair& p) {
  PairLengths l{{}, 0};
  for (const StripDimension* d : arrangement_spec(p.placement.arrangement).dimensions) {
    l.length.at(l.count++) = d->of(p);
  }
  return l;
}

// The ratio to B of each length as a grid prints it.
std::array<float, kDimensionCount> grid_ratios(const Grid& g, const PairLengths& l) {
  std::array<float, kDimensionCount> ratios{};
  const auto d = arrangement_spec(g.arrangement).dimensions;
  for (std::size_t i = 0; i < l.count; ++i) {
    ratios.at(i) = g.over_b(*d[i], l.length.at(i).value_or(0.0F));
  }
  return ratios;
}

// ---- The modes' effective permittivities ----

// Both the board's Er in one dielectric; the field's of each mode in a
// stack of layers.
constexpr Column kEeffEven = unitless("eeff_even", "Eeff even", 4);
constexpr Column kEeffOdd = unitless("eeff_odd", "Eeff odd", 4);

// ---- The comparison with the field, for both ----

constexpr std::array kComparisonColumns = {
    in_ohms("zoe_field_ohm", "Zoe field", 3),
    in_ohms("zoo_field_ohm", "Zoo field", 3),
    in_ohms("zo_field_ohm", "Zo field", 3),
    in_decibels("coupling_field_db", "Co field", 3),
    in_percent("zoe_model_error_pct", "Zoe error", 2),
    in_percent("zoo_model_error_pct", "Zoo error", 2),
};

void write_comparison(CellWriter& out, const std::optional<FieldComparison>& f) {
  if (!f) return out.empty(kComparisonColumns.size());
  out.numbers({f->zoe, f->zoo, f->zo, f->coupling_db, f->zoe_error_pct, f->zoo_error_pct});
}

// The lengths of a pair and then their ratios to B.
void write_dimensions(CellWriter& out, const PairLengths& l,
                      const std::array<float, kDimensionCount>& ratios) {
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
    return commands::rows_per_block(solver_);
  }

 protected:
  [[nodiscard]] const Grid& grid() const { return grid_; }
  [[nodiscard]] Solver solver() const { return solver_; }
  template <class Row>
  void tally(RowTally& t, std::int64_t index, const Row& row, bool with_loss) const {
    t.count(index, row.status, row.failure);
    if (solver_ != Solver::field) t.accuracy.note(row.pair.x, with_loss);
  }

 private:
  Grid grid_;
  Solver solver_;
};

// ---- analyse ----

constexpr std::array kAnalyseFigures = {
    in_ohms("zo_ohm", "Zo", 3),
    in_ohms("zoe_ohm", "Zoe", 3),
    in_ohms("zoo_ohm", "Zoo", 3),
    in_decibels("coupling_db", "Co", 3),
    kEeffEven,
    kEeffOdd,
    per_length_unit("loss_even_db_per", "Loss even", 3),
    per_length_unit("loss_odd_db_per", "Loss odd", 3),
    kStatusColumn,
};

constexpr std::array kLossComparisonColumns = {
    per_length_unit("loss_even_field_db_per", "Loss even field", 3),
    per_length_unit("loss_odd_field_db_per", "Loss odd field", 3),
    in_percent("loss_even_model_error_pct", "Loss even error", 2),
    in_percent("loss_odd_model_error_pct", "Loss odd error", 2),
};

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
    out.numbers({z.zo, z.zoe, z.zoo, z.coupling_db, z.eeff_even, z.eeff_odd,
                 -r.attenuation.even_db_per_inch, -r.attenuation.odd_db_per_inch});
    out.status(r.status);
    if (solver() == Solver::both) {
      write_comparison(out, r.field);
      if (const std::optional<LossComparison>& l = r.field_loss) {
        out.numbers(
            {-l->even_db_per_inch, -l->odd_db_per_inch, l->even_error_pct, l->odd_error_pct});
      } else {
        out.empty(kLossComparisonColumns.size());
      }
    }
    tally(t, index, r, with_loss_);
  }

 private:
  AnalyseRequest q_;
  bool with_loss_ = q_.materials.conductor.resistivity_ohm_inch > 0.0F && q_.f_mhz > 0.0F;
};

// ---- synthesise ----

constexpr std::array kSynthesisTargetColumns = {
    in_ohms("zo_ohm", "Zo", 2),
    in_ohms("zoe_ohm", "Zoe", 3),
    in_ohms("zoo_ohm", "Zoo", 3),
    in_decibels("coupling_db", "Co", 3),
    kEeffEven,
    kEeffOdd,
};
constexpr Column kLengthColumn = in_length_unit("length", "Length", 4);

// The dimensions of a synthesis row: the solved ones when it was built or
// refused for a fab limit (what the design needs), the given ones always.
PairLengths synthesised_lengths(const SynthesisRow& r, const SynthesisSetup& setup) {
  PairLengths l = lengths_of(StripPair({{}, r.w, r.s}, r.placement));
  if (gives_dimensions(r)) return l;
  const ArrangementSpec& a = arrangement_spec(r.placement.arrangement);
  const StripDimension& solved = a.solved(setup.unknowns);
  for (std::size_t i = 0; i < a.dimensions.size(); ++i) {
    if (a.dimensions[i] == &strip_width() || a.dimensions[i] == &solved) l.length.at(i).reset();
  }
  return l;
}

class SynthesiseRows final : public RowSource {
 public:
  explicit SynthesiseRows(const SynthesiseRequest& q) : q_(q) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return synthesise_columns({q_.solver, q_.f0_mhz.has_value(), q_.setup.placement.arrangement});
  }
  [[nodiscard]] std::int64_t rows() const override { return q_.targets.rows; }
  [[nodiscard]] std::int64_t rows_per_block() const override {
    return commands::rows_per_block(q_.solver);
  }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& t) const override {
    const float target = q_.targets.value(index);
    const SynthesisTargets targets = q_.by_coupling ? targets_of_coupling(q_.zo, -std::fabs(target))
                                                    : targets_of_even_mode(q_.zo, target);
    const SynthesisRow r = synthesis_row(q_.board, targets, q_.solver, q_.setup);
    CellWriter out(cells);
    const PairLengths lengths = synthesised_lengths(r, q_.setup);
    std::array<float, kDimensionCount> ratios{};
    for (std::size_t i = 0; i < lengths.count; ++i) {
      ratios.at(i) = ratio_to_b(lengths.length.at(i).value_or(0.0F), q_.board.b);
    }
    write_dimensions(out, lengths, ratios);
    // A design of the model gives what the model makes of its own W and S.
    const SynthesisTargets& shown = r.achieved.value_or(targets);
    out.numbers({shown.zo, shown.zoe, shown.zoo, shown.coupling_db});
    out.maybe(finite(r.eeff_even));
    out.maybe(finite(r.eeff_odd));
    if (q_.f0_mhz) out.maybe(length_of(r));
    out.status(r.status);
    if (q_.solver == Solver::both) write_comparison(out, r.field);
    t.count(index, r.status, r.failure);
    if (r.status == RowStatus::gap_below_limit) t.note_below_gap_limit(targets);
    if (r.status == RowStatus::needs_thinner_core) ++t.core_too_thick;
    if (r.built && q_.solver != Solver::field && r.placement.is_edge()) {
      t.accuracy.note({q_.board, r.w, r.s}, false);
    }
  }

 private:
  // A quarter wave at f0: in one dielectric every row's, on a stack at the
  // mean of the design's own modes' velocities (none without a design).
  [[nodiscard]] std::optional<float> length_of(const SynthesisRow& r) const {
    if (q_.length_inch) return q_.length_inch;
    return finite(quarter_wave_length(*q_.f0_mhz, r.eeff_even, r.eeff_odd));
  }

  SynthesiseRequest q_;
};

// ---- response ----

// What a response shows of a frequency besides the frequency itself.
constexpr std::array kResponseFigures = {
    in_decibels("s11_db", "S11", 2),
    in_degrees("s11_deg", "S11", 2),
    in_decibels("s21_db", "S21", 3),
    in_degrees("s21_deg", "S21", 2),
    in_decibels("s31_db", "S31", 2),
    in_degrees("s31_deg", "S31", 2),
    in_decibels("s41_db", "S41", 3),
    in_degrees("s41_deg", "S41", 2),
    unitless("vswr", "VSWR", 3),
    in_degrees("phase_difference_deg", "S41-S21", 2),
    in_degrees("phase_error_deg", "Quad err", 2),
    in_decibels("amplitude_balance_db", "Balance", 3),
    in_decibels("loss_dissipated_db", "Dissipated", 4),
    in_decibels("thru_and_coupled_db", "Thru+coupled", 4),
    in_decibels("return_loss_db", "Ret loss", 2),
    in_decibels("directivity_db", "Directivity", 2),
};

// Each mode's attenuation in its parts, of a coupler given by its
// dimensions (negative dB, as analyse prints the whole).
constexpr std::array kModeLossColumns = {
    per_length_unit("loss_even_conductor_db_per", "Cond even", 4),
    per_length_unit("loss_even_dielectric_db_per", "Diel even", 4),
    per_length_unit("loss_odd_conductor_db_per", "Cond odd", 4),
    per_length_unit("loss_odd_dielectric_db_per", "Diel odd", 4),
};

constexpr std::array kFrequencyColumn = {in_megahertz("f_mhz", "f", 3)};
constexpr std::array kResponseTail = {kLengthColumn, kStatusColumn};

constexpr auto kResponseColumns = joined(joined(kFrequencyColumn, kResponseFigures), kResponseTail);
constexpr auto kResponseOfDimensions =
    joined(joined(joined(kFrequencyColumn, kResponseFigures), kModeLossColumns), kResponseTail);

constexpr std::array kFieldResponseFigures = {
    in_decibels("s11_field_db", "S11 field", 2),
    in_degrees("s11_field_deg", "S11 field", 2),
    in_decibels("s21_field_db", "S21 field", 3),
    in_degrees("s21_field_deg", "S21 field", 2),
    in_decibels("s31_field_db", "S31 field", 2),
    in_degrees("s31_field_deg", "S31 field", 2),
    in_decibels("s41_field_db", "S41 field", 3),
    in_degrees("s41_field_deg", "S41 field", 2),
    unitless("vswr_field", "VSWR field", 3),
    in_degrees("phase_difference_field_deg", "S41-S21 field", 2),
    in_degrees("phase_error_field_deg", "Quad err field", 2),
    in_decibels("amplitude_balance_field_db", "Balance field", 3),
    in_decibels("loss_dissipated_field_db", "Dissipated field", 4),
    in_decibels("thru_and_coupled_field_db", "Thru+coupled field", 4),
    in_decibels("return_loss_field_db", "Ret loss field", 2),
    in_decibels("directivity_field_db", "Directivity field", 2),
};

constexpr std::array kFieldModeLossColumns = {
    per_length_unit("loss_even_conductor_field_db_per", "Cond even field", 4),
    per_length_unit("loss_even_dielectric_field_db_per", "Diel even field", 4),
    per_length_unit("loss_odd_conductor_field_db_per", "Cond odd field", 4),
    per_length_unit("loss_odd_dielectric_field_db_per", "Diel odd field", 4),
};

constexpr auto kFieldResponseColumns = joined(kFieldResponseFigures, kFieldModeLossColumns);

constexpr auto kResponseWithField =
    joined(joined(kResponseOfDimensions, kComparisonColumns), kFieldResponseColumns);

// A multi-section coupler's response beside the field's cascade of the
// same sections.
constexpr auto kCascadeWithField = joined(kResponseColumns, kFieldResponseFigures);

// Every figure of a response: the amplitudes as the reports print them,
// down to -90 dB, and the return loss, the directivity (isolation less
// coupling) and the amplitude balance from them.
void write_response(CellWriter& out, const FourPortResponse& r) {
  const auto& db = r.amplitude_db;
  const auto& deg = r.phase_deg;
  out.numbers({db[Port::reflected], deg[Port::reflected], db[Port::through], deg[Port::through],
               db[Port::isolated], deg[Port::isolated], db[Port::coupled], deg[Port::coupled],
               r.input_vswr, r.phase_difference_deg, r.quadrature_error_deg,
               amplitude_balance_db(r), r.ohmic_loss_db, r.total_loss_db, return_loss_db(r),
               directivity_db(r)});
}

// Each mode's conductor and dielectric loss per inch, negative.
void write_loss_parts(CellWriter& out, const LossParts& p) {
  out.numbers({-p.conductor.even_db_per_inch, -p.dielectric.even_db_per_inch,
               -p.conductor.odd_db_per_inch, -p.dielectric.odd_db_per_inch});
}

class ResponseRows final : public RowSource {
 public:
  explicit ResponseRows(const ResponseRequest& q) : q_(q), coupler_(coupler_of(q_)) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return response_columns(
        {.solver = q_.solver, .with_length = true, .from_dimensions = q_.dimensions.has_value()});
  }
  [[nodiscard]] std::int64_t rows() const override { return q_.f.rows; }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& t) const override {
    const ResponseRow r = response_row(coupler_, q_.f.value(index), q_.terminations);
    CellWriter out(cells);
    out.numbers({r.f_mhz});
    write_response(out, r.response);
    const float f = r.f_mhz;
    if (const auto parts = loss_parts(coupler_, f, q_.solver == Solver::field)) {
      write_loss_parts(out, *parts);
    }
    out.numbers({q_.length_inch});
    out.status(r.status);
    if (q_.solver == Solver::both) {
      write_comparison(out, coupler_.field);
      if (r.field_response) {
        write_response(out, *r.field_response);
        write_loss_parts(out, loss_parts(coupler_, f, true).value());
      } else {
        out.empty(kFieldResponseColumns.size());
      }
    }
    t.count(index, r.status, r.failure);
    if (q_.dimensions && q_.solver != Solver::field) {
      t.accuracy.note(q_.dimensions->x, q_.materials.conductor.resistivity_ohm_inch > 0.0F);
    }
  }

 private:
  ResponseRequest q_;
  ResponseCoupler coupler_;
};

// ---- sensitivity ----

constexpr std::array kNominalImpedances = {in_ohms("zoe_ohm", "Zoe", 2),
                                           in_ohms("zoo_ohm", "Zoo", 2), kEeffEven, kEeffOdd};

// What the sensitivities are to, in the order of their columns: Er, B, S
// where the arrangement has it, T and W as the model's, then the
// dimensions of the placement.
struct SensitivityTo {
  std::string_view name;
  std::string_view symbol;
};

std::vector<SensitivityTo> sensitivities_to(const ArrangementSpec& a) {
  const StripDimension& s = strip_spacing();
  const StripDimension& w = strip_width();
  std::vector<SensitivityTo> to{{"er", "Er"}, {"b", "B"}};
  if (a.has(s)) to.push_back({s.name, s.symbol});
  to.insert(to.end(), {{"t", "T"}, {w.name, w.symbol}});
  for (const StripDimension* d : a.dimensions) {
    if (d->of_placement()) to.push_back({d->name, d->symbol});
  }
  return to;
}

// (x/Z) dZ/dx of each mode to each dimension the arrangement has.
Columns sensitivity_columns_of(const ArrangementSpec& a) {
  Columns c;
  for (const StripDimension* d : a.dimensions) c.push_back(length_column(*d, 5));
  c = c + kNominalImpedances;
  for (const auto& [name, mode] : {std::pair{"szoe_", "Zoe:"}, std::pair{"szoo_", "Zoo:"}}) {
    for (const SensitivityTo& to : sensitivities_to(a)) {
      c.push_back(
          unitless(kept(name + std::string(to.name)), kept(mode + std::string(to.symbol)), 3));
    }
  }
  c.push_back(kStatusColumn);
  return c;
}

// The sensitivities of one mode in the order of sensitivities_to.
void write_mode_sensitivities(CellWriter& out, const ArrangementSpec& a, const ModeSensitivities& m,
                              const PlacementSensitivities& p,
                              float PlacementSensitivities::*StripDimension::*slope) {
  out.numbers({m.er, m.b});
  if (a.has(strip_spacing())) out.numbers({m.s});
  out.numbers({m.t, m.w});
  for (const StripDimension* d : a.dimensions) {
    if (d->of_placement()) out.numbers({p.*(d->*slope)});
  }
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
    const ArrangementSpec& a = arrangement_spec(r.pair.placement.arrangement);
    CellWriter out(cells);
    const PairLengths lengths = lengths_of(r.pair);
    for (std::size_t i = 0; i < lengths.count; ++i) out.maybe(lengths.length.at(i));
    out.numbers({z.zoe, z.zoo, r.eeff_even, r.eeff_odd});
    write_mode_sensitivities(out, a, z.even, p, &StripDimension::even_slope);
    write_mode_sensitivities(out, a, z.odd, p, &StripDimension::odd_slope);
    out.status(r.status);
    if (solver() == Solver::both) write_comparison(out, r.field);
    tally(t, index, r, false);
  }
};

// ---- field ----

constexpr std::array kFieldFigures = {
    in_ohms("zo_ohm", "Zo", 4),
    in_ohms("zoe_ohm", "Zoe", 4),
    in_ohms("zoo_ohm", "Zoo", 4),
    in_decibels("coupling_db", "Co", 4),
    kEeffEven,
    kEeffOdd,
    unitless("c_even", "C/eps even", 5),
    unitless("c_odd", "C/eps odd", 5),
    unitless("error_estimate", "Estimate", 7),
    unitless("panels", "Panels", 0),
    kStatusColumn,
};

class FieldRows final : public RowSource {
 public:
  explicit FieldRows(const FieldRequest& q) : q_(q) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return field_columns({Solver::field, false, q_.grid.arrangement});
  }
  [[nodiscard]] std::int64_t rows() const override { return q_.grid.rows(); }
  [[nodiscard]] std::int64_t rows_per_block() const override { return kFieldRowsPerBlock; }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& t) const override {
    const FieldRow r = field_row(q_.grid.pair_at(index), q_.tolerance);
    const auto f = [](double v) { return static_cast<float>(v); };
    CellWriter out(cells);
    const PairLengths lengths = lengths_of(r.pair);
    write_dimensions(out, lengths, grid_ratios(q_.grid, lengths));
    out.numbers({f(r.zo), f(r.zoe), f(r.zoo), f(r.coupling_db), f(r.eeff_even), f(r.eeff_odd),
                 f(r.c_even), f(r.c_odd), f(r.error_estimate)});
    // A cross-section without a solution has no panels either.
    out.maybe(r.status == RowStatus::no_field_solution
                  ? std::nullopt
                  : std::optional(static_cast<float>(r.panels)));
    out.status(r.status);
    t.count(index, r.status, r.failure);
  }

 private:
  FieldRequest q_;
};

// ---- multisection ----

constexpr std::array kSectionHeadColumns = {
    unitless("section", "Section", 0),
    in_decibels("coupling_db", "Co", 3),
    in_ohms("zoe_ohm", "Zoe", 3),
    in_ohms("zoo_ohm", "Zoo", 3),
};
constexpr auto kSectionTailColumns = std::array{kLengthColumn, kStatusColumn};
constexpr auto kIdealSectionColumns = joined(kSectionHeadColumns, kSectionTailColumns);

// The columns of the section table: the dimensions of the board's
// arrangement, none for ideal sections.
std::span<const Column> section_columns(const MultisectionBuild& b) {
  return multisection_columns({b.solver, b.board.has_value(), b.setup.placement.arrangement});
}

// Strips side by side on a board, with both: the field's figures of the
// model's dimensions beside the model's.
bool field_beside(const MultisectionBuild& b) {
  return b.solver == Solver::both && b.board && on_model(b.setup.placement.arrangement);
}

void tally_section(const SectionRow& s, std::int64_t index, RowTally& t) {
  t.count(index, s.status, s.synthesis ? s.synthesis->failure : std::nullopt);
  if (s.status == RowStatus::gap_below_limit) t.note_below_gap_limit(s.synthesis->targets);
  if (s.status == RowStatus::needs_thinner_core) ++t.core_too_thick;
}

// A section built on the model's cross-section, noted against the map of
// the model's error (with its conductor loss where the rows have one).
void note_model_section(const MultisectionRequest& q, const SectionRow& s, bool with_loss,
                        AccuracyWatch& watch) {
  if (q.build.solver == Solver::field || !s.synthesis || !s.synthesis->built) return;
  if (!s.synthesis->placement.is_edge()) return;
  watch.note({*q.build.board, s.synthesis->w, s.synthesis->s}, with_loss);
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
    if (field_beside(q_.build)) {
      write_comparison(out, s.synthesis ? s.synthesis->field : std::nullopt);
    }
    tally_section(s, index, t);
    note_model_section(q_, s, false, t.accuracy);
  }

 private:
  void write_section_dimensions(CellWriter& out, const SynthesisRow& r) const {
    const PairLengths lengths = synthesised_lengths(r, q_.build.setup);
    std::array<float, kDimensionCount> ratios{};
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

  [[nodiscard]] std::span<const Column> columns() const override {
    if (with_field()) return kCascadeWithField;
    return kResponseColumns;
  }
  [[nodiscard]] std::int64_t rows() const override { return q_.f->rows; }
  [[nodiscard]] std::int64_t rows_per_block() const override {
    return commands::rows_per_block(q_.build.solver);
  }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& t) const override {
    const float f = q_.f->value(index);
    // Every row is the whole cascade: its sections are noted once.
    if (index == 0) {
      const bool with_loss = q_.build.materials.conductor.resistivity_ohm_inch > 0.0F;
      for (const SectionRow& s : q_.coupler->sections) {
        note_model_section(q_, s, with_loss, t.accuracy);
      }
    }
    CellWriter out(cells);
    out.numbers({f});
    if (!q_.coupler->built()) {
      out.empty(kResponseColumns.size() - 2);
      out.status(unbuilt_status(*q_.coupler));
      if (with_field()) out.empty(kFieldResponseFigures.size());
      ++t.failed;
      return;
    }
    const ResponseRow r = multisection_response_row(*q_.coupler, f, q_.terminations);
    write_response(out, r.response);
    out.numbers({total_length()});
    out.status(r.status);
    if (with_field()) {
      if (r.field_response) {
        write_response(out, *r.field_response);
      } else {
        out.empty(kFieldResponseFigures.size());
      }
    }
    t.count(index, r.status, r.failure);
  }

 private:
  [[nodiscard]] bool with_field() const { return field_beside(q_.build); }

  [[nodiscard]] float total_length() const {
    float length = 0.0F;
    for (const SectionRow& s : q_.coupler->sections) length += s.length_inch;
    return length;
  }

  MultisectionRequest q_;
};

}  // namespace

std::span<const Column> analyse_columns(const ColumnChoice& c) {
  static const PerArrangement plain(
      [](const ArrangementSpec& a) { return dimension_columns(a) + kAnalyseFigures; });
  static const PerArrangement with_field([](const ArrangementSpec& a) {
    return dimension_columns(a) + kAnalyseFigures + kComparisonColumns + kLossComparisonColumns;
  });
  if (c.solver == Solver::both && on_model(c.arrangement)) return with_field[c.arrangement];
  return plain[c.arrangement];
}

std::span<const Column> synthesise_columns(const ColumnChoice& c) {
  const auto make = [](bool with_length, bool with_field) {
    return PerArrangement([=](const ArrangementSpec& a) {
      Columns columns = dimension_columns(a) + kSynthesisTargetColumns;
      if (with_length) columns.push_back(kLengthColumn);
      columns.push_back(kStatusColumn);
      if (with_field) columns = columns + kComparisonColumns;
      return columns;
    });
  };
  static const std::array<PerArrangement, 4> tables{make(false, false), make(false, true),
                                                    make(true, false), make(true, true)};
  const bool with_field = c.solver == Solver::both && on_model(c.arrangement);
  return tables.at((c.with_length ? 2U : 0U) + (with_field ? 1U : 0U))[c.arrangement];
}

std::span<const Column> response_columns(const ColumnChoice& c) {
  if (c.solver == Solver::both) return kResponseWithField;
  if (c.from_dimensions) return kResponseOfDimensions;
  return kResponseColumns;
}

std::span<const Column> multisection_columns(const ColumnChoice& c) {
  static const PerArrangement on_board([](const ArrangementSpec& a) {
    return Columns(kSectionHeadColumns.begin(), kSectionHeadColumns.end()) + dimension_columns(a) +
           kSectionTailColumns;
  });
  static const PerArrangement with_field([](const ArrangementSpec& a) {
    return Columns(kSectionHeadColumns.begin(), kSectionHeadColumns.end()) + dimension_columns(a) +
           kSectionTailColumns + kComparisonColumns;
  });
  if (!c.with_length) return kIdealSectionColumns;
  if (c.solver == Solver::both && on_model(c.arrangement)) return with_field[c.arrangement];
  return on_board[c.arrangement];
}

std::unique_ptr<RowSource> multisection_rows(const Request& request) {
  const auto& q = std::get<MultisectionRequest>(request);
  if (q.response_table) return std::make_unique<MultisectionResponseRows>(q);
  return std::make_unique<SectionRows>(q);
}

namespace {

ResponseAt cascade_response_of(const MultisectionRequest& q) {
  return
      [&q](float f) { return multisection_response_row(*q.coupler, f, q.terminations).response; };
}

}  // namespace

std::optional<ProfileSummary> multisection_summary(const MultisectionRequest& q) {
  if (!q.response_table || !q.f || !q.coupler->built()) return std::nullopt;
  return profile_summary(cascade_response_of(q), *q.f, q.design);
}

std::optional<ProfileSummary> multisection_summary(const MultisectionRequest& q,
                                                   std::span<const float> f_mhz) {
  if (!q.coupler->built()) return std::nullopt;
  return profile_summary(cascade_response_of(q), f_mhz, q.design);
}

std::span<const Column> sensitivity_columns(const ColumnChoice& c) {
  static const PerArrangement plain(sensitivity_columns_of);
  static const PerArrangement with_field(
      [](const ArrangementSpec& a) { return sensitivity_columns_of(a) + kComparisonColumns; });
  if (c.solver == Solver::both && on_model(c.arrangement)) return with_field[c.arrangement];
  return plain[c.arrangement];
}

std::span<const Column> field_columns(const ColumnChoice& c) {
  static const PerArrangement tables(
      [](const ArrangementSpec& a) { return dimension_columns(a) + kFieldFigures; });
  return tables[c.arrangement];
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

namespace {

// A synthesis whose strips stand in a stack of layers.
bool synthesised_on_stack(const Request& request) {
  if (const auto* q = std::get_if<SynthesiseRequest>(&request)) {
    return !q->setup.placement.stack.empty();
  }
  const auto& q = std::get<MultisectionRequest>(request);
  return !q.build.setup.placement.stack.empty();
}

}  // namespace

std::string core_note(const RowTally& tally, const Request& request) {
  const bool synthesised = std::holds_alternative<SynthesiseRequest>(request) ||
                           std::holds_alternative<MultisectionRequest>(request);
  if (!synthesised || tally.core_too_thick == 0) return "";
  const std::string need = "note: " + std::to_string(tally.core_too_thick) +
                           " of the designs need a thinner core: even directly above each other "
                           "(WO = 0) the strips couple less than asked across ";
  // On a stack SV is the core layer's thickness, not solved for.
  if (synthesised_on_stack(request)) {
    return need + "the core layer of --layers; give a thinner core layer";
  }
  return need +
         "this --sv; give a smaller --sv, or --solve w,sv to find the gap that couples as asked";
}

std::string weak_sections_note(const Request& request) {
  const auto* q = std::get_if<MultisectionRequest>(&request);
  if (q == nullptr) return "";
  const std::vector<const SectionRow*> weak = weakly_coupled_sections(*q->coupler);
  if (weak.empty()) return "";
  std::vector<std::string> names;
  names.reserve(weak.size());
  for (const SectionRow* s : weak) {
    names.push_back(std::to_string(s->index) + " (" + significant(s->coupling_db, 4) + " dB)");
  }
  const bool one = weak.size() == 1;
  return std::string("note: ") + (one ? "section " : "sections ") + listed(names) +
         (one ? " couples" : " couple") + " more weakly than " +
         significant(kWeakestCoupledSectionDb, 3) + " dB: in effect uncoupled lines, " +
         (one ? "it adds" : "they add") + " length and loss but next to no coupling";
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

// ---- line ----

namespace {

// Its losses negative dB per length, as analyse prints the modes'.
constexpr std::array kLineColumns = {
    in_length_unit("w", "W", 4),
    unitless("w_over_b", "W/B", 3),
    in_ohms("zo_ohm", "Zo", 3),
    unitless("eeff", "Eeff", 4),
    per_length_unit("loss_conductor_db_per", "Cond loss", 4),
    per_length_unit("loss_dielectric_db_per", "Diel loss", 4),
    per_length_unit("loss_db_per", "Loss", 4),
    in_length_unit("length_per_deg", "L/deg", 5),
    kStatusColumn,
};

constexpr std::array kLineComparisonColumns = {
    in_ohms("zo_field_ohm", "Zo field", 3),
    in_percent("zo_model_error_pct", "Zo error", 2),
};

constexpr auto kLineColumnsWithField = joined(kLineColumns, kLineComparisonColumns);

class LineRows final : public RowSource {
 public:
  explicit LineRows(const LineRequest& q) : q_(q) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return line_columns({q_.solver, false, Arrangement::edge});
  }
  [[nodiscard]] std::int64_t rows() const override { return q_.values.rows; }
  [[nodiscard]] std::int64_t rows_per_block() const override {
    return line_on_model(q_.where) && q_.solver != Solver::field
               ? commands::rows_per_block(Solver::model)
               : kFieldRowsPerBlock;
  }

  void fill(std::int64_t index, std::span<Cell> cells, RowTally& t) const override {
    const LineRow r = row_at(index);
    const float w = r.strip.x.w;
    CellWriter out(cells);
    out.maybe(finite(w));
    out.maybe(finite(ratio_to_b(w, r.strip.x.board.b)));
    out.numbers({r.zo, r.eeff, -r.loss.conductor_db_per_inch, -r.loss.dielectric_db_per_inch,
                 -r.loss.total_db_per_inch, r.inch_per_degree});
    out.status(r.status);
    if (q_.solver == Solver::both) {
      if (r.field) {
        out.numbers({r.field->zo, r.field->zo_error_pct});
      } else {
        out.empty(kLineComparisonColumns.size());
      }
    }
    t.count(index, r.status, r.failure);
  }

 private:
  [[nodiscard]] LineRow row_at(std::int64_t index) const {
    const float value = q_.values.value(index);
    if (q_.by_impedance) {
      return line_width_for(value, q_.where, q_.materials, q_.f_mhz, q_.solver).row;
    }
    StripPair strip = q_.where;
    strip.x.w = value;
    return line_row(strip, q_.materials, q_.f_mhz, q_.solver);
  }

  LineRequest q_;
};

}  // namespace

std::span<const Column> line_columns(const ColumnChoice& choice) {
  if (choice.solver == Solver::both) return kLineColumnsWithField;
  return kLineColumns;
}

std::unique_ptr<RowSource> line_rows(const Request& request) {
  return std::make_unique<LineRows>(std::get<LineRequest>(request));
}

}  // namespace ketrovane::commands
