// The rows of each batch command as cells, computed by the design layer's
// row functions.  Any row can be computed on its own, in any order and on
// any thread, so the rows of a table can be shared among threads and still
// come out in order.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "commands/columns.hpp"
#include "commands/requests.hpp"
#include "design/accuracy_watch.hpp"
#include "design/band_summary.hpp"
#include "design/higher_mode.hpp"

namespace ketrovane::commands {

// The rows of one kind of field failure (no_field_solution, no_field_loss,
// uncoupled) and the first of them, whose reason the note gives.
struct FieldTroubles {
  std::int64_t rows = 0;
  std::int64_t first_index = 0;  // the row's, or the element's in Python
  std::optional<FieldFailure> first;

  // The rows of a tally come in order: the first noted is the first.
  void note(std::int64_t index, const FieldFailure& failure) {
    if (rows++ == 0) {
      first_index = index;
      first = failure;
    }
  }
  void merge(const FieldTroubles& later) {
    if (later.first && (!first || later.first_index < first_index)) {
      first_index = later.first_index;
      first = later.first;
    }
    rows += later.rows;
  }
};

// What the rows of a block say about themselves besides their cells.
struct RowTally {
  std::int64_t failed = 0;           // rows whose status says they could not be computed
  AccuracyWatch accuracy;            // rows computed on the closed-form model
  HigherModeReach higher_mode;       // of the rows of a scripting call
  std::int64_t below_gap_limit = 0;  // syntheses that need a gap below the fab's least
  std::int64_t core_too_thick = 0;   // strips one above the other that cannot couple enough
  // Of the syntheses below the gap limit, the loosest coupling: the one
  // strips one above the other would meet with the thickest core.
  std::optional<SynthesisTargets> loosest_below_gap_limit;

  void note_below_gap_limit(const SynthesisTargets& targets) {
    ++below_gap_limit;
    keep_loosest(targets);
  }
  void keep_loosest(const SynthesisTargets& targets) {
    if (!loosest_below_gap_limit || targets.coupling_db < loosest_below_gap_limit->coupling_db) {
      loosest_below_gap_limit = targets;
    }
  }

  FieldTroubles no_field_solution;
  FieldTroubles no_field_loss;
  FieldTroubles uncoupled;

  // A row of `status`, with why the field failed it where it did.
  void count(std::int64_t index, RowStatus status, const std::optional<FieldFailure>& failure) {
    if (is_failure(status)) ++failed;
    if (!failure) return;
    if (failure->status() == RowStatus::no_field_solution) no_field_solution.note(index, *failure);
    if (failure->status() == RowStatus::no_field_loss) no_field_loss.note(index, *failure);
    if (failure->status() == RowStatus::uncoupled) uncoupled.note(index, *failure);
  }

  // A row computed on its own as row 0 of its own source (a scripting
  // call's element) is row `index`: the first failure it added is there.
  struct TroubleCounts {
    std::int64_t no_field_solution, no_field_loss, uncoupled;
  };
  [[nodiscard]] TroubleCounts trouble_counts() const {
    return {no_field_solution.rows, no_field_loss.rows, uncoupled.rows};
  }
  void number_new_troubles(const TroubleCounts& before, std::int64_t index) {
    if (before.no_field_solution == 0 && no_field_solution.rows > 0) {
      no_field_solution.first_index = index;
    }
    if (before.no_field_loss == 0 && no_field_loss.rows > 0) no_field_loss.first_index = index;
    if (before.uncoupled == 0 && uncoupled.rows > 0) uncoupled.first_index = index;
  }

  // The rows of `later` follow these.
  void merge(const RowTally& later) {
    no_field_solution.merge(later.no_field_solution);
    no_field_loss.merge(later.no_field_loss);
    uncoupled.merge(later.uncoupled);
    failed += later.failed;
    accuracy.merge(later.accuracy);
    higher_mode.merge(later.higher_mode);
    below_gap_limit += later.below_gap_limit;
    if (later.loosest_below_gap_limit) keep_loosest(*later.loosest_below_gap_limit);
    core_too_thick += later.core_too_thick;
  }
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
  // The cells of row `index` (one per column).
  virtual void fill(std::int64_t index, std::span<Cell> cells, RowTally& tally) const = 0;
  // Rows of a field solution take milliseconds each, the model's a
  // microsecond: how many rows are worth a block of their own.
  [[nodiscard]] virtual std::int64_t rows_per_block() const { return kModelRowsPerBlock; }

  static constexpr std::int64_t kModelRowsPerBlock = 2048;
};

// The columns and the rows of each command.
//
// analyse: w, s, w_over_b, s_over_b, zo_ohm, zoe_ohm, zoo_ohm, coupling_db,
// loss_even_db_per, loss_odd_db_per (negative dB, as the impedance report
// prints them), status; with both, the field solution's zoe_field_ohm,
// zoo_field_ohm, zo_field_ohm, coupling_field_db, the model's error
// zoe_model_error_pct, zoo_model_error_pct, and the field's losses
// loss_even_field_db_per, loss_odd_field_db_per with the model's error
// loss_even_model_error_pct, loss_odd_model_error_pct.
std::span<const Column> analyse_columns(const ColumnChoice& choice);
std::unique_ptr<RowSource> analyse_rows(const Request& request);

// synthesise: w, s, w_over_b, s_over_b, zo_ohm, zoe_ohm, zoo_ohm,
// coupling_db, length (with --f0), status, and the comparison with the
// field for both.  A row
// that cannot be built keeps its targets, leaves its dimensions empty and
// says why in its status.
std::span<const Column> synthesise_columns(const ColumnChoice& choice);
std::unique_ptr<RowSource> synthesise_rows(const Request& request);

// Strips side by side whose designs need a gap the fab cannot make: the
// note that points to strips one above the other ("note: ..."), or empty.
std::string gap_limit_note(const RowTally& tally, const Request& request);

// Strips one above the other that cannot couple as tightly as asked across
// the given core: the note that says what to change, or empty.
std::string core_note(const RowTally& tally, const Request& request);

// A multi-section coupler's sections that couple more weakly than
// kWeakestCoupledSectionDb: the note that names them ("note: sections 1
// (-45.2 dB) and 7 (-45.2 dB) couple more weakly than -40 dB: ..."), or
// empty.
std::string weak_sections_note(const Request& request);

// response: f_mhz, the amplitude and phase of S11, S21, S31, S41 (ports 1
// input, 2 thru, 3 isolated, 4 coupled), vswr, phase_difference_deg
// (arg(S41/S21)), phase_error_deg (from 90), amplitude_balance_db
// (|S41| - |S21|), loss_dissipated_db (10 log10 of the power leaving the
// four ports), thru_and_coupled_db (10 log10(|S21|^2 + |S41|^2)),
// return_loss_db, directivity_db, for a coupler given by its dimensions
// each mode's conductor and dielectric loss per length
// (loss_even_conductor_db_per, ...), length, status; with both, the
// comparison of the section's impedances with the field and the response
// of the field's section, each column named with "_field".
std::span<const Column> response_columns(const ColumnChoice& choice);
std::unique_ptr<RowSource> response_rows(const Request& request);

// multisection: the section table, section, coupling_db, zoe_ohm,
// zoo_ohm, the dimensions of the arrangement and their ratios to B (on a
// board; with_length of the choice stands for one), length, status; or,
// with --table response, the response's columns for the whole cascade, its
// length the sum of the sections'.  A section that cannot be built says why
// in its status, and every response row then carries that status.
std::span<const Column> multisection_columns(const ColumnChoice& choice);
std::unique_ptr<RowSource> multisection_rows(const Request& request);

// What the response rows of a built multi-section coupler come to over its
// profile's band (design/band_summary.hpp); none without --table response
// or for a coupler that could not be built.
std::optional<ProfileSummary> multisection_summary(const MultisectionRequest& q);
// The same of the response at frequencies listed in increasing order (a
// scripting call's); none for a coupler that could not be built.
std::optional<ProfileSummary> multisection_summary(const MultisectionRequest& q,
                                                   std::span<const float> f_mhz);

// sensitivity: w, s, zoe_ohm, zoo_ohm, then szoe_er, szoe_b, szoe_s,
// szoe_t, szoe_w and the same for szoo, status; the comparison for both.
std::span<const Column> sensitivity_columns(const ColumnChoice& choice);
std::unique_ptr<RowSource> sensitivity_rows(const Request& request);

// field: w, s, w_over_b, s_over_b, zo_ohm, zoe_ohm, zoo_ohm, coupling_db,
// c_even, c_odd (capacitance per unit length over the permittivity, per
// strip, of each mode), error_estimate (relative), panels, status.
std::span<const Column> field_columns(const ColumnChoice& choice);
std::unique_ptr<RowSource> field_rows(const Request& request);

// line: w, w_over_b, zo_ohm, eeff, loss_conductor_db_per,
// loss_dielectric_db_per, loss_db_per (negative dB, as analyse prints
// them), length_per_deg (the guided wavelength over 360 at --f), status;
// with both, the field's zo_field_ohm and the model's zo_model_error_pct.
// A row of --zo is the line of the width found; one no width gives has an
// empty width and says why in its status.
std::span<const Column> line_columns(const ColumnChoice& choice);
std::unique_ptr<RowSource> line_rows(const Request& request);

}  // namespace ketrovane::commands
