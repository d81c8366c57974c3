#include "batch/rows.hpp"

#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "batch/input_error.hpp"
#include "batch/number_format.hpp"
#include "design/dimension_analysis.hpp"
#include "design/field_synthesis.hpp"
#include "field/field_solver.hpp"
#include "field/model_accuracy.hpp"
#include "model/coupling.hpp"

namespace ketrovane::batch {

namespace {

using S = Scale;

// The ratio to B as the reports print it: (1/B) x for a swept dimension,
// x/B for a fixed one.
float ratio_as_printed(float x, float b, bool swept) {
  return swept ? ratio_to_b(x, b) : x / b;
}

constexpr std::array kComparisonColumns = {
    Column{"zoe_field_ohm", S::none, "Zoe field", "ohm", 3},
    Column{"zoo_field_ohm", S::none, "Zoo field", "ohm", 3},
    Column{"zo_field_ohm", S::none, "Zo field", "ohm", 3},
    Column{"coupling_field_db", S::none, "Co field", "dB", 3},
    Column{"zoe_model_error_pct", S::none, "Zoe error", "%", 2},
    Column{"zoo_model_error_pct", S::none, "Zoo error", "%", 2},
};
using Comparison = std::array<float, kComparisonColumns.size()>;

// A command's columns followed by those of the comparison with the field.
template <std::size_t N>
constexpr std::array<Column, N + kComparisonColumns.size()> with_comparison(
    const std::array<Column, N>& base) {
  std::array<Column, N + kComparisonColumns.size()> all{};
  for (std::size_t i = 0; i < N; ++i) all.at(i) = base.at(i);
  for (std::size_t i = 0; i < kComparisonColumns.size(); ++i) {
    all.at(N + i) = kComparisonColumns.at(i);
  }
  return all;
}

// The field solution of a cross-section beside the model's impedances: the
// model's error in per cent.
Comparison field_comparison(const CrossSection& x, float model_zoe, float model_zoo) {
  const DimensionAnalysis f = field_solution().impedances(x);
  return {f.zoe,
          f.zoo,
          f.zo,
          f.coupling_db,
          100.0F * (model_zoe / f.zoe - 1.0F),
          100.0F * (model_zoo / f.zoo - 1.0F)};
}

// Numbers into the cells from `first` on.
void put_numbers(std::span<Cell> cells, std::size_t first, std::span<const float> values) {
  for (std::size_t i = 0; i < values.size(); ++i) cells[first + i] = number_cell(values[i]);
}

void empty_comparison(std::span<Cell> cells, std::size_t first) {
  for (std::size_t i = 0; i < kComparisonColumns.size(); ++i) cells[first + i] = Cell{};
}

// Rows of the product of a width axis (outer) and a spacing axis (inner).
class GridRows : public RowSource {
 public:
  GridRows(const SweepAxis& w, const SweepAxis& s) : w_(w), s_(s) {}
  [[nodiscard]] std::int64_t rows() const override { return w_.rows * s_.rows; }

 protected:
  // The width and spacing of the next row; false after the last.
  bool next_dimensions(float& w, float& s) {
    if (index_ >= rows()) return false;
    w = w_.value(index_ / s_.rows);
    s = s_.value(index_ % s_.rows);
    ++index_;
    return true;
  }
  [[nodiscard]] bool w_swept() const { return w_.swept; }
  [[nodiscard]] bool s_swept() const { return s_.swept; }

 private:
  SweepAxis w_;
  SweepAxis s_;
  std::int64_t index_ = 0;
};

// Grid rows of a command whose columns come from a cross-section solver:
// with both, the field solution's comparison follows them; rows from the
// model are noted against the map of its error.
class SolvedGridRows : public GridRows {
 public:
  SolvedGridRows(Command command, const SweepAxis& w, const SweepAxis& s,
                 const CrossSectionSolver& solver, SolverChoice choice)
      : GridRows(w, s), command_(command), choice_(choice), solver_(solver) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return command_columns(command_, choice_);
  }

 protected:
  [[nodiscard]] const CrossSectionSolver& solver() const { return solver_; }

  // The row's own values, then what the choice adds for its cross-section.
  void put_row(std::span<Cell> cells, std::span<const float> values, const CrossSection& x,
               float zoe, float zoo) {
    put_numbers(cells, 0, values);
    if (choice_ == SolverChoice::both) {
      put_numbers(cells, values.size(), field_comparison(x, zoe, zoo));
    }
    if (&solver_ == &closed_form_model()) note_geometry(x);
  }

 private:
  Command command_;
  SolverChoice choice_;
  const CrossSectionSolver& solver_;
};

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
};

constexpr auto kAnalyseWithField = with_comparison(kAnalyseColumns);

class AnalyseRows final : public SolvedGridRows {
 public:
  AnalyseRows(const AnalyseRequest& q, const CrossSectionSolver& solver, SolverChoice choice)
      : SolvedGridRows(Command::analyse, q.w, q.s, solver, choice), q_(q) {}

  bool next(std::span<Cell> cells) override {
    CrossSection x{.board = {.b = q_.b, .t = q_.t, .er = q_.er}, .w = 0, .s = 0};
    if (!next_dimensions(x.w, x.s)) return false;
    const DimensionAnalysis a = solver().impedances(x);
    const ModeAttenuation loss =
        solver().attenuation(x, q_.materials.conductor, q_.materials.loss_tangent, q_.f_mhz);
    const std::array values = {x.w,
                               x.s,
                               ratio_as_printed(x.w, x.board.b, w_swept()),
                               ratio_as_printed(x.s, x.board.b, s_swept()),
                               a.zo,
                               a.zoe,
                               a.zoo,
                               a.coupling_db,
                               -loss.even_db_per_inch,
                               -loss.odd_db_per_inch};
    put_row(cells, values, x, a.zoe, a.zoo);
    return true;
  }

 private:
  AnalyseRequest q_;
};

constexpr std::array kSynthesisColumns = {
    Column{"w", S::length, "W", "", 4},          Column{"s", S::length, "S", "", 4},
    Column{"w_over_b", S::none, "W/B", "", 3},   Column{"s_over_b", S::none, "S/B", "", 3},
    Column{"zo_ohm", S::none, "Zo", "ohm", 2},   Column{"zoe_ohm", S::none, "Zoe", "ohm", 3},
    Column{"zoo_ohm", S::none, "Zoo", "ohm", 3}, Column{"coupling_db", S::none, "Co", "dB", 3},
    Column{"status", S::none, "Status", "", 0},
};

constexpr auto kSynthesisWithField = with_comparison(kSynthesisColumns);

// The width and spacing of one target, on the model or on the field.
struct BuiltDimensions {
  bool built;
  float w;
  float s;
  std::string_view status;
};

BuiltDimensions build(const SynthesisTarget& target, SolverChoice choice) {
  if (choice != SolverChoice::field) {
    const WidthSpacing d = synthesise_width_and_spacing(target);
    return {d.converged(), d.w, d.s, status_name(d.outcome)};
  }
  const FieldWidthSpacing f = synthesise_on_field(target);
  if (!f.start.converged()) return {false, 0.0F, 0.0F, status_name(f.start.outcome)};
  if (!f.converged) return {false, 0.0F, 0.0F, "field_not_converged"};
  return {true, static_cast<float>(f.w), static_cast<float>(f.s), "converged"};
}

class SynthesiseRows final : public RowSource {
 public:
  SynthesiseRows(SynthesiseRequest q, SolverChoice choice) : q_(std::move(q)), choice_(choice) {}

  [[nodiscard]] std::span<const Column> columns() const override {
    return command_columns(Command::synthesise, choice_);
  }
  [[nodiscard]] std::int64_t rows() const override { return q_.targets.rows; }
  [[nodiscard]] std::int64_t unbuilt_rows() const override { return unbuilt_; }

  bool next(std::span<Cell> cells) override {
    if (index_ >= rows()) return false;
    const float target = q_.targets.value(index_++);
    float zo = q_.zo;
    float coupling = 0;
    float zoe = 0;
    float zoo = 0;
    if (q_.by_coupling) {
      coupling = -std::fabs(target);
      const ModesOfCoupler modes = modes_from_coupler({q_.zo, coupling});
      zoe = modes.zoe;
      zoo = modes.zoo;
    } else {
      zoe = target;
      zoo = q_.zo * q_.zo / zoe;
      const CouplerImpedance coupler = coupler_from_modes({zoe, zoo});
      zo = coupler.zo;
      coupling = coupler.coupling_db;
    }
    const BuiltDimensions d = build({{q_.b, q_.t, q_.er}, zoe, zoo}, choice_);
    if (d.built) {
      cells[0] = number_cell(d.w);
      cells[1] = number_cell(d.s);
      cells[2] = number_cell(ratio_to_b(d.w, q_.b));
      cells[3] = number_cell(ratio_to_b(d.s, q_.b));
    } else {
      ++unbuilt_;
      for (std::size_t i = 0; i < 4; ++i) cells[i] = Cell{};
    }
    cells[4] = number_cell(zo);
    cells[5] = number_cell(zoe);
    cells[6] = number_cell(zoo);
    cells[7] = number_cell(coupling);
    cells[8] = text_cell(d.status);
    const CrossSection x{.board = {.b = q_.b, .t = q_.t, .er = q_.er}, .w = d.w, .s = d.s};
    if (choice_ == SolverChoice::both) {
      if (d.built) {
        const DimensionAnalysis model = analyse_dimensions(x);
        put_numbers(cells, kSynthesisColumns.size(), field_comparison(x, model.zoe, model.zoo));
      } else {
        empty_comparison(cells, kSynthesisColumns.size());
      }
    }
    if (d.built && choice_ != SolverChoice::field) note_geometry(x);
    return true;
  }

 private:
  SynthesiseRequest q_;
  SolverChoice choice_;
  std::int64_t index_ = 0;
  std::int64_t unbuilt_ = 0;
};

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
};

constexpr auto kResponseWithField = with_comparison(kResponseColumns);

constexpr std::array kSensitivityColumns = {
    Column{"w", S::length, "W", "", 5},          Column{"s", S::length, "S", "", 5},
    Column{"zoe_ohm", S::none, "Zoe", "ohm", 2}, Column{"zoo_ohm", S::none, "Zoo", "ohm", 2},
    Column{"szoe_er", S::none, "Zoe:Er", "", 3}, Column{"szoe_b", S::none, "Zoe:B", "", 3},
    Column{"szoe_s", S::none, "Zoe:S", "", 3},   Column{"szoe_t", S::none, "Zoe:T", "", 3},
    Column{"szoe_w", S::none, "Zoe:W", "", 3},   Column{"szoo_er", S::none, "Zoo:Er", "", 3},
    Column{"szoo_b", S::none, "Zoo:B", "", 3},   Column{"szoo_s", S::none, "Zoo:S", "", 3},
    Column{"szoo_t", S::none, "Zoo:T", "", 3},   Column{"szoo_w", S::none, "Zoo:W", "", 3},
};

constexpr auto kSensitivityWithField = with_comparison(kSensitivityColumns);

class SensitivityRows final : public SolvedGridRows {
 public:
  SensitivityRows(const SensitivityRequest& q, const CrossSectionSolver& solver,
                  SolverChoice choice)
      : SolvedGridRows(Command::sensitivity, q.w, q.s, solver, choice), q_(q) {}

  bool next(std::span<Cell> cells) override {
    CrossSection x{.board = {.b = q_.b, .t = q_.t, .er = q_.er}, .w = 0, .s = 0};
    if (!next_dimensions(x.w, x.s)) return false;
    const ImpedanceSensitivities z = solver().sensitivities(x);
    const std::array values = {x.w,      x.s,      z.zoe,    z.zoo,   z.even.er, z.even.b, z.even.s,
                               z.even.t, z.even.w, z.odd.er, z.odd.b, z.odd.s,   z.odd.t,  z.odd.w};
    put_row(cells, values, x, z.zoe, z.zoo);
    return true;
  }

 private:
  SensitivityRequest q_;
};

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

class FieldRows final : public GridRows {
 public:
  explicit FieldRows(const FieldRequest& q) : GridRows(q.w, q.s), q_(q) {}

  [[nodiscard]] std::span<const Column> columns() const override { return kFieldColumns; }

  bool next(std::span<Cell> cells) override {
    CrossSection x{.board = {.b = q_.b, .t = q_.t, .er = q_.er}, .w = 0, .s = 0};
    if (!next_dimensions(x.w, x.s)) return false;
    const field::FieldResult f =
        field::solve({x.board.b, x.board.t, x.w, x.s, x.board.er}, {.tolerance = q_.tolerance});
    if (!f.ok()) {
      throw SolverError("no field solution at W " + shortest(x.w) + " in, S " + shortest(x.s) +
                        " in: " + f.message);
    }
    const field::FieldSolution& z = *f.solution;
    const std::array values = {x.w,
                               x.s,
                               ratio_as_printed(x.w, x.board.b, w_swept()),
                               ratio_as_printed(x.s, x.board.b, s_swept()),
                               static_cast<float>(z.zo),
                               static_cast<float>(z.even.impedance),
                               static_cast<float>(z.odd.impedance),
                               static_cast<float>(z.coupling_db),
                               static_cast<float>(z.even.capacitance),
                               static_cast<float>(z.odd.capacitance),
                               static_cast<float>(f.error_estimate),
                               static_cast<float>(z.even.panels)};
    put_numbers(cells, 0, values);
    return true;
  }

 private:
  FieldRequest q_;
};

}  // namespace

std::unique_ptr<RowSource> field_rows(const FieldRequest& request) {
  return std::make_unique<FieldRows>(request);
}

std::string_view status_name(SynthesisOutcome outcome) {
  switch (outcome) {
    case SynthesisOutcome::converged_by_search:
    case SynthesisOutcome::solved_by_safeguard:
      return "converged";
    case SynthesisOutcome::spacing_floor:
      return "spacing_floor";
    case SynthesisOutcome::width_floor:
      return "width_floor";
    case SynthesisOutcome::unusable_targets:
      return "unusable";
    case SynthesisOutcome::not_representable:
      break;
  }
  return "not_representable";
}

std::span<const Column> command_columns(Command command, SolverChoice solver) {
  const bool both = solver == SolverChoice::both;
  switch (command) {
    case Command::analyse:
      if (both) return kAnalyseWithField;
      return kAnalyseColumns;
    case Command::synthesise:
      if (both) return kSynthesisWithField;
      return kSynthesisColumns;
    case Command::response:
      if (both) return kResponseWithField;
      return kResponseColumns;
    case Command::field:
      return kFieldColumns;
    case Command::sensitivity:
      break;
  }
  if (both) return kSensitivityWithField;
  return kSensitivityColumns;
}

void ModelAccuracy::note(const CrossSection& x) {
  const double bound = field::model_relative_error_bound(
      static_cast<double>(x.w) / x.board.b, static_cast<double>(x.s) / x.board.b,
      static_cast<double>(x.board.t) / x.board.b);
  if (!seen || bound > worst_bound) {
    worst_bound = bound;
    where = x;
  }
  seen = true;
}

std::unique_ptr<RowSource> analyse_rows(const AnalyseRequest& request, SolverChoice solver) {
  return std::make_unique<AnalyseRows>(request, solver_for(solver), solver);
}

std::unique_ptr<RowSource> analyse_rows(const AnalyseRequest& request,
                                        const CrossSectionSolver& solver) {
  return std::make_unique<AnalyseRows>(request, solver, SolverChoice::model);
}

std::unique_ptr<RowSource> synthesise_rows(const SynthesiseRequest& request, SolverChoice solver) {
  return std::make_unique<SynthesiseRows>(request, solver);
}

std::unique_ptr<RowSource> sensitivity_rows(const SensitivityRequest& request,
                                            SolverChoice solver) {
  return std::make_unique<SensitivityRows>(request, solver_for(solver), solver);
}

std::unique_ptr<RowSource> sensitivity_rows(const SensitivityRequest& request,
                                            const CrossSectionSolver& solver) {
  return std::make_unique<SensitivityRows>(request, solver, SolverChoice::model);
}

ResponseRows::ResponseRows(ResponseRequest request, SolverChoice solver)
    : ResponseRows(std::move(request), solver_for(solver), solver) {}

ResponseRows::ResponseRows(ResponseRequest request, const CrossSectionSolver& solver,
                           SolverChoice choice)
    : request_(std::move(request)), choice_(choice), solver_(solver) {
  const ResponseRequest& q = request_;
  section_.er = q.er;
  section_.length_inch = q.length_inch;
  if (!q.dimensions && choice_ != SolverChoice::model) {
    reject("--solver", choice_ == SolverChoice::field ? "field" : "both",
           "expected model for a coupler given by Zo and coupling (field and both need its "
           "dimensions: --b --t --w --s)");
  }
  if (q.dimensions) {
    const DimensionAnalysis a = solver_.impedances(*q.dimensions);
    section_.zoe = a.zoe;
    section_.zoo = a.zoo;
    if (choice_ == SolverChoice::both) comparison_ = field_comparison(*q.dimensions, a.zoe, a.zoo);
    if (&solver_ == &closed_form_model()) note_geometry(*q.dimensions);
  } else {
    const ModesOfCoupler modes = modes_from_coupler({q.zo, q.coupling_db});
    section_.zoe = modes.zoe;
    section_.zoo = modes.zoo;
  }
}

std::span<const Column> ResponseRows::columns() const {
  return command_columns(Command::response, choice_);
}

bool ResponseRows::advance() {
  if (index_ >= rows()) return false;
  const ResponseRequest& q = request_;
  f_ = q.f.value(index_++);
  if (q.dimensions) {
    const ModeAttenuation loss =
        solver_.attenuation(*q.dimensions, q.materials.conductor, q.materials.loss_tangent, f_);
    section_.even_attenuation_db_inch = loss.even_db_per_inch;
    section_.odd_attenuation_db_inch = loss.odd_db_per_inch;
  }
  return true;
}

bool ResponseRows::next(std::span<Cell> cells) {
  if (!advance()) return false;
  const ResponseRequest& q = request_;
  const FourPortResponse r = four_port_response(section_, f_, {.source = q.rs, .load = q.rl});
  const auto& db = r.amplitude_db;
  const auto& deg = r.phase_deg;
  const std::array values = {f_,
                             db[Port::reflected],
                             deg[Port::reflected],
                             db[Port::through],
                             deg[Port::through],
                             db[Port::isolated],
                             deg[Port::isolated],
                             db[Port::coupled],
                             deg[Port::coupled],
                             r.input_vswr,
                             r.phase_difference_deg,
                             r.quadrature_error_deg,
                             r.ohmic_loss_db,
                             r.total_loss_db};
  put_numbers(cells, 0, values);
  if (choice_ == SolverChoice::both) put_numbers(cells, values.size(), comparison_);
  return true;
}

}  // namespace ketrovane::batch
