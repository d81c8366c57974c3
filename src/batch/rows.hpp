// The rows of each batch command, computed one at a time as they are
// written, so that no table is ever held whole.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "batch/columns.hpp"
#include "batch/commands.hpp"
#include "batch/requests.hpp"
#include "batch/solver.hpp"
#include "frequency/scattering_matrix.hpp"
#include "synthesis/width_spacing_synthesis.hpp"

namespace ketrovane::batch {

// The worst bound on the closed-form model's error among the rows seen.
struct ModelAccuracy {
  double worst_bound = 0.0;  // relative; infinity outside the map
  CrossSection where{};      // the row of the worst bound
  bool seen = false;

  void note(const CrossSection& x);
};

class RowSource {
 public:
  RowSource() = default;
  RowSource(const RowSource&) = delete;
  RowSource& operator=(const RowSource&) = delete;
  RowSource(RowSource&&) = delete;
  RowSource& operator=(RowSource&&) = delete;
  virtual ~RowSource() = default;

  [[nodiscard]] virtual std::span<const Column> columns() const = 0;
  [[nodiscard]] virtual std::int64_t rows() const = 0;
  // The cells of the next row (one per column); false after the last row.
  virtual bool next(std::span<Cell> cells) = 0;
  // Rows whose status says they could not be built.
  [[nodiscard]] virtual std::int64_t unbuilt_rows() const { return 0; }
  // The row where the closed-form model is least sure, by the map of its
  // error against the field solution (when the rows come from the model).
  [[nodiscard]] virtual const ModelAccuracy& model_accuracy() const { return accuracy_; }

 protected:
  void note_geometry(const CrossSection& x) { accuracy_.note(x); }

 private:
  ModelAccuracy accuracy_;
};

// Every command's columns come from the model or from the field solution;
// with both, the model's columns are followed by the field solution's
// zoe_field_ohm, zoo_field_ohm, zo_field_ohm, coupling_field_db and the
// model's error zoe_model_error_pct, zoo_model_error_pct.

// Columns: w, s, w_over_b, s_over_b, zo_ohm, zoe_ohm, zoo_ohm, coupling_db,
// loss_even_db_per, loss_odd_db_per (negative dB, as the impedance report
// prints them).
std::unique_ptr<RowSource> analyse_rows(const AnalyseRequest& request, SolverChoice solver);
// The same columns from any solver (no comparison).
std::unique_ptr<RowSource> analyse_rows(const AnalyseRequest& request,
                                        const CrossSectionSolver& solver);

// Columns: w, s, w_over_b, s_over_b, zo_ohm, zoe_ohm, zoo_ohm, coupling_db,
// status.  A row that cannot be built keeps its targets, leaves its
// dimensions empty and says why in its status.  On the field solution the
// closed-form synthesis is corrected until the field meets both targets
// within 0.02 %.
std::unique_ptr<RowSource> synthesise_rows(const SynthesiseRequest& request,
                                           SolverChoice solver = SolverChoice::model);

// Columns: f_mhz, the amplitude and phase of S11, S21, S31, S41 (ports 1
// input, 2 thru, 3 isolated, 4 coupled), vswr, phase_difference_deg,
// phase_error_deg, loss_conductor_db, loss_total_db.
class ResponseRows : public RowSource {
 public:
  ResponseRows(ResponseRequest request, SolverChoice solver);
  // The columns of the choice, the usual ones from the solver given.
  ResponseRows(ResponseRequest request, const CrossSectionSolver& solver,
               SolverChoice choice = SolverChoice::model);

  [[nodiscard]] std::span<const Column> columns() const override;
  [[nodiscard]] std::int64_t rows() const override { return request_.f.rows; }
  bool next(std::span<Cell> cells) override;
  // The next frequency without its row: section() and last_frequency()
  // move on as next() moves them; false after the last.
  bool advance();

  // The section whose response the rows give: its impedances, length and
  // the attenuation at the last row's frequency.
  [[nodiscard]] const CoupledSection& section() const { return section_; }
  [[nodiscard]] float last_frequency() const { return f_; }

 private:
  ResponseRequest request_;
  SolverChoice choice_;
  const CrossSectionSolver& solver_;
  std::array<float, 6> comparison_{};  // the section's, for both
  CoupledSection section_{};
  float f_ = 0.0F;
  std::int64_t index_ = 0;
};

// Columns: w, s, zoe_ohm, zoo_ohm, then szoe_er, szoe_b, szoe_s, szoe_t,
// szoe_w and the same for szoo.
std::unique_ptr<RowSource> sensitivity_rows(const SensitivityRequest& request, SolverChoice solver);
std::unique_ptr<RowSource> sensitivity_rows(const SensitivityRequest& request,
                                            const CrossSectionSolver& solver);

// The columns of each command's rows, known before any row is computed.
std::span<const Column> command_columns(Command command, SolverChoice solver = SolverChoice::model);

// Columns: w, s, w_over_b, s_over_b, zo_ohm, zoe_ohm, zoo_ohm, coupling_db,
// c_even, c_odd (capacitance per unit length over the permittivity, per
// strip, of each mode), error_estimate (relative), panels.
std::unique_ptr<RowSource> field_rows(const FieldRequest& request);

// Status names of a synthesis outcome.
std::string_view status_name(SynthesisOutcome outcome);

}  // namespace ketrovane::batch
