#include "batch/rows.hpp"

#include <array>
#include <cmath>
#include <utility>

#include "model/coupling.hpp"

namespace ketrovane::batch {

namespace {

using S = Scale;

// The ratio to B as the reports print it: (1/B) x for a swept dimension,
// x/B for a fixed one.
float ratio_to_b(float x, float b, bool swept) {
  return swept ? (1.0F / b) * x : x / b;
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

class AnalyseRows final : public GridRows {
 public:
  AnalyseRows(const AnalyseRequest& q, const CrossSectionSolver& solver)
      : GridRows(q.w, q.s), q_(q), solver_(solver) {}

  [[nodiscard]] std::span<const Column> columns() const override { return kAnalyseColumns; }

  bool next(std::span<Cell> cells) override {
    CrossSection x{.b = q_.b, .t = q_.t, .w = 0, .s = 0, .er = q_.er};
    if (!next_dimensions(x.w, x.s)) return false;
    const DimensionAnalysis a = solver_.impedances(x);
    const ModeAttenuation loss =
        solver_.attenuation(x, q_.materials.conductor, q_.materials.loss_tangent, q_.f_mhz);
    const std::array values = {x.w,
                               x.s,
                               ratio_to_b(x.w, x.b, w_swept()),
                               ratio_to_b(x.s, x.b, s_swept()),
                               a.zo,
                               a.zoe,
                               a.zoo,
                               a.coupling_db,
                               -loss.even_db_per_inch,
                               -loss.odd_db_per_inch};
    for (std::size_t i = 0; i < values.size(); ++i) cells[i] = number_cell(values.at(i));
    return true;
  }

 private:
  AnalyseRequest q_;
  const CrossSectionSolver& solver_;
};

constexpr std::array kSynthesisColumns = {
    Column{"w", S::length, "W", "", 4},          Column{"s", S::length, "S", "", 4},
    Column{"w_over_b", S::none, "W/B", "", 3},   Column{"s_over_b", S::none, "S/B", "", 3},
    Column{"zo_ohm", S::none, "Zo", "ohm", 2},   Column{"zoe_ohm", S::none, "Zoe", "ohm", 3},
    Column{"zoo_ohm", S::none, "Zoo", "ohm", 3}, Column{"coupling_db", S::none, "Co", "dB", 3},
    Column{"status", S::none, "Status", "", 0},
};

class SynthesiseRows final : public RowSource {
 public:
  explicit SynthesiseRows(SynthesiseRequest q) : q_(std::move(q)) {}

  [[nodiscard]] std::span<const Column> columns() const override { return kSynthesisColumns; }
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
    const WidthSpacing d = synthesise_width_and_spacing({q_.b, q_.t, q_.er, zoe, zoo});
    if (d.converged()) {
      cells[0] = number_cell(d.w);
      cells[1] = number_cell(d.s);
      cells[2] = number_cell((1.0F / q_.b) * d.w);
      cells[3] = number_cell((1.0F / q_.b) * d.s);
    } else {
      ++unbuilt_;
      for (std::size_t i = 0; i < 4; ++i) cells[i] = Cell{};
    }
    cells[4] = number_cell(zo);
    cells[5] = number_cell(zoe);
    cells[6] = number_cell(zoo);
    cells[7] = number_cell(coupling);
    cells[8] = text_cell(status_name(d.outcome));
    return true;
  }

 private:
  SynthesiseRequest q_;
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

constexpr std::array kSensitivityColumns = {
    Column{"w", S::length, "W", "", 5},          Column{"s", S::length, "S", "", 5},
    Column{"zoe_ohm", S::none, "Zoe", "ohm", 2}, Column{"zoo_ohm", S::none, "Zoo", "ohm", 2},
    Column{"szoe_er", S::none, "Zoe:Er", "", 3}, Column{"szoe_b", S::none, "Zoe:B", "", 3},
    Column{"szoe_s", S::none, "Zoe:S", "", 3},   Column{"szoe_t", S::none, "Zoe:T", "", 3},
    Column{"szoe_w", S::none, "Zoe:W", "", 3},   Column{"szoo_er", S::none, "Zoo:Er", "", 3},
    Column{"szoo_b", S::none, "Zoo:B", "", 3},   Column{"szoo_s", S::none, "Zoo:S", "", 3},
    Column{"szoo_t", S::none, "Zoo:T", "", 3},   Column{"szoo_w", S::none, "Zoo:W", "", 3},
};

class SensitivityRows final : public GridRows {
 public:
  SensitivityRows(const SensitivityRequest& q, const CrossSectionSolver& solver)
      : GridRows(q.w, q.s), q_(q), solver_(solver) {}

  [[nodiscard]] std::span<const Column> columns() const override { return kSensitivityColumns; }

  bool next(std::span<Cell> cells) override {
    CrossSection x{.b = q_.b, .t = q_.t, .w = 0, .s = 0, .er = q_.er};
    if (!next_dimensions(x.w, x.s)) return false;
    const ImpedanceSensitivities z = solver_.sensitivities(x);
    const std::array values = {x.w,      x.s,      z.zoe,    z.zoo,   z.even.er, z.even.b, z.even.s,
                               z.even.t, z.even.w, z.odd.er, z.odd.b, z.odd.s,   z.odd.t,  z.odd.w};
    for (std::size_t i = 0; i < values.size(); ++i) cells[i] = number_cell(values.at(i));
    return true;
  }

 private:
  SensitivityRequest q_;
  const CrossSectionSolver& solver_;
};

}  // namespace

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

std::span<const Column> command_columns(Command command) {
  switch (command) {
    case Command::analyse:
      return kAnalyseColumns;
    case Command::synthesise:
      return kSynthesisColumns;
    case Command::response:
      return kResponseColumns;
    case Command::sensitivity:
      break;
  }
  return kSensitivityColumns;
}

std::unique_ptr<RowSource> analyse_rows(const AnalyseRequest& request,
                                        const CrossSectionSolver& solver) {
  return std::make_unique<AnalyseRows>(request, solver);
}

std::unique_ptr<RowSource> synthesise_rows(const SynthesiseRequest& request) {
  return std::make_unique<SynthesiseRows>(request);
}

std::unique_ptr<RowSource> sensitivity_rows(const SensitivityRequest& request,
                                            const CrossSectionSolver& solver) {
  return std::make_unique<SensitivityRows>(request, solver);
}

ResponseRows::ResponseRows(ResponseRequest request, const CrossSectionSolver& solver)
    : request_(std::move(request)), solver_(solver) {
  const ResponseRequest& q = request_;
  section_.er = q.er;
  section_.length_inch = q.length_inch;
  if (q.dimensions) {
    const DimensionAnalysis a = solver_.impedances(*q.dimensions);
    section_.zoe = a.zoe;
    section_.zoo = a.zoo;
  } else {
    const ModesOfCoupler modes = modes_from_coupler({q.zo, q.coupling_db});
    section_.zoe = modes.zoe;
    section_.zoo = modes.zoo;
  }
}

std::span<const Column> ResponseRows::columns() const {
  return kResponseColumns;
}

bool ResponseRows::next(std::span<Cell> cells) {
  if (index_ >= rows()) return false;
  const ResponseRequest& q = request_;
  f_ = q.f.value(index_++);
  if (q.dimensions) {
    const ModeAttenuation loss =
        solver_.attenuation(*q.dimensions, q.materials.conductor, q.materials.loss_tangent, f_);
    section_.even_attenuation_db_inch = loss.even_db_per_inch;
    section_.odd_attenuation_db_inch = loss.odd_db_per_inch;
  }
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
  for (std::size_t i = 0; i < values.size(); ++i) cells[i] = number_cell(values.at(i));
  return true;
}

}  // namespace ketrovane::batch
