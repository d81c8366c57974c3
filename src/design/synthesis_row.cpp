#include <cmath>

#include "design/field_analysis.hpp"
#include "design/row_kernel.hpp"
#include "field/field_synthesis.hpp"
#include "model/coupling.hpp"

namespace ketrovane {

namespace {

RowStatus status_of(SynthesisOutcome outcome) {
  switch (outcome) {
    case SynthesisOutcome::converged_by_search:
    case SynthesisOutcome::solved_by_safeguard:
      return RowStatus::converged;
    case SynthesisOutcome::spacing_floor:
      return RowStatus::spacing_floor;
    case SynthesisOutcome::width_floor:
      return RowStatus::width_floor;
    case SynthesisOutcome::unusable_targets:
      return RowStatus::unusable;
    case SynthesisOutcome::not_representable:
      break;
  }
  return RowStatus::not_representable;
}

// The closed-form design corrected until the field meets both targets
// within 0.02 %.
void correct_on_the_field(SynthesisRow& row, const Board& board) {
  const field::SynthesisResult f = field::synthesise({.b = board.b,
                                                      .t = board.t,
                                                      .er = board.er,
                                                      .zoe = row.targets.zoe,
                                                      .zoo = row.targets.zoo,
                                                      .w0 = row.model.w,
                                                      .s0 = row.model.s});
  if (!f.converged) {
    row.built = false;
    row.status = RowStatus::field_not_converged;
    return;
  }
  row.w = static_cast<float>(f.w);
  row.s = static_cast<float>(f.s);
}

}  // namespace

SynthesisTargets targets_of_coupling(float zo, float coupling_db) {
  const ModesOfCoupler modes = modes_from_coupler({zo, coupling_db});
  return {coupling_db, zo, modes.zoe, modes.zoo};
}

SynthesisTargets targets_of_even_mode(float zo, float zoe) {
  const float zoo = zo * zo / zoe;
  const CouplerImpedance coupler = coupler_from_modes({zoe, zoo});
  return {coupler.coupling_db, coupler.zo, zoe, zoo};
}

SynthesisRow synthesis_row(const Board& board, const SynthesisTargets& targets, Solver solver) {
  const WidthSpacing model = synthesise_width_and_spacing({board, targets.zoe, targets.zoo});
  SynthesisRow row{targets, model.converged(),        model.w,     model.s,
                   model,   status_of(model.outcome), std::nullopt};
  if (!row.built) return row;
  if (solver == Solver::field) correct_on_the_field(row, board);
  if (solver == Solver::both) {
    const CrossSection x{board, row.w, row.s};
    const CouplerImpedances z = model_impedances(x);
    row.field = compare_with_field(x, z.zoe, z.zoo);
  }
  return row;
}

}  // namespace ketrovane
