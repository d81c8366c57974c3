#include <cmath>
#include <limits>
#include <optional>

#include "design/arrangements.hpp"
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

RowStatus status_of(field::SynthesisFailure failure) {
  switch (failure) {
    case field::SynthesisFailure::needs_thinner_core:
      return RowStatus::needs_thinner_core;
    case field::SynthesisFailure::not_representable:
      return RowStatus::not_representable;
    case field::SynthesisFailure::none:
    case field::SynthesisFailure::not_converged:
      break;
  }
  return RowStatus::field_not_converged;
}

bool usable(const SynthesisTargets& t) {
  return std::isfinite(t.zoe) && std::isfinite(t.zoo) && t.zoe > t.zoo && t.zoo > 0.0F;
}

// The mean of the layers' permittivities weighted by their thickness.
float thickness_weighted_er(const field::Stack& stack) {
  double sum = 0.0;
  double thickness = 0.0;
  for (const field::DielectricLayer& layer : stack.view()) {
    sum += layer.er * layer.thickness;
    thickness += layer.thickness;
  }
  return static_cast<float>(sum / thickness);
}

// Where the field synthesis of strips side by side on a stack starts: the
// model's design on one dielectric of the layers' mean Er by thickness.  A
// stripline's field fills the whole height between the planes, so every
// layer weighs by its share of it; the Er of the layer the strips stand on
// alone starts far off where that layer is thin (a 10.2 film between 2.2
// cores).  Measured over 3 to 30 dB: strips at the middle of the stack
// take a fifth less time than from the field's own start, strips a sixth
// of the way up (whose height the field's start knows) a tenth more.  None
// where the model finds no design (the field then finds its own start).
std::optional<WidthSpacing> model_start(const Board& board, const SynthesisTargets& targets,
                                        const LayerStack& stack) {
  const Board mean{board.b, board.t, thickness_weighted_er(stack.layers)};
  const WidthSpacing start = synthesise_width_and_spacing({mean, targets.zoe, targets.zoo});
  if (!start.converged()) return std::nullopt;
  return start;
}

// The field synthesis's goal for the board and what the setup gives: the
// strips placed in a stack as the field solution of a row places them.
field::SynthesisGoal field_goal(const Board& board, const SynthesisTargets& targets,
                                const SynthesisSetup& setup) {
  const field::Geometry g =
      field_geometry(StripPair(CrossSection{board, 0.0F, 0.0F}, setup.placement));
  field::SynthesisGoal goal{.b = g.b,
                            .t = g.t,
                            .er = g.er,
                            .zoe = targets.zoe,
                            .zoo = targets.zoo,
                            .w0 = 0.0,
                            .s0 = 0.0,
                            .arrangement = g.arrangement,
                            .h = g.h,
                            .sv = g.sv,
                            .wo = g.wo,
                            .unknowns = setup.unknowns,
                            .stack = g.stack};
  if (g.stack.empty() || g.arrangement == Arrangement::broadside) return goal;
  if (const auto start = model_start(board, targets, setup.placement.stack)) {
    goal.w0 = start->w;
    goal.s0 = start->s;
  }
  return goal;
}

// Each mode's effective permittivity of a design on a stack, from its
// field solution as analyse finds it; NaN without a design.  A design
// whose cross-section the solver then fails is no design.
void set_mode_permittivities(SynthesisRow& row, const Board& board) {
  row.eeff_even = std::numeric_limits<float>::quiet_NaN();
  row.eeff_odd = row.eeff_even;
  if (!row.built) return;
  try {
    const CouplerImpedances z = field_impedances(StripPair({board, row.w, row.s}, row.placement));
    row.eeff_even = z.eeff_even;
    row.eeff_odd = z.eeff_odd;
  } catch (const FieldFailure& failure) {
    row.built = false;
    row.status = failure_status(failure);
    row.failure = failure;
  }
}

// Strips off the centre plane, one above the other, or on a stack of
// layers: the field alone, from a start of its own or, side by side on a
// stack, the model's.
SynthesisRow field_synthesis_row(const Board& board, const SynthesisTargets& targets,
                                 const SynthesisSetup& setup) {
  const Placement& given = setup.placement;
  SynthesisRow row{targets,
                   false,
                   0.0F,
                   0.0F,
                   given,
                   WidthSpacing{},
                   RowStatus::unusable,
                   std::nullopt,
                   std::nullopt,
                   std::nullopt,
                   board.er,
                   board.er};
  if (!usable(targets)) return row;
  const field::SynthesisResult f = field::synthesise(field_goal(board, targets, setup));
  row.w = static_cast<float>(f.w);
  row.s = static_cast<float>(f.s);
  // The given dimension stays as given.
  if (setup.unknowns == field::SynthesisUnknowns::width_and_vertical_gap) {
    row.placement.sv = static_cast<float>(f.sv);
  } else if (setup.unknowns == field::SynthesisUnknowns::width_and_offset) {
    row.placement.wo = static_cast<float>(f.wo);
  }
  row.built = f.converged;
  row.status = f.converged ? RowStatus::converged : status_of(f.failure);
  if (!given.stack.empty()) set_mode_permittivities(row, board);
  return row;
}

// The gap a fab limit applies to: S of strips side by side, SV of strips one
// above the other when it is solved for (a given SV is the stackup's).
std::optional<float> limited_gap(const SynthesisRow& row, const SynthesisSetup& setup) {
  const StripDimension& solved = arrangement_spec(row.placement.arrangement).solved(setup.unknowns);
  if (!solved.limited_gap) return std::nullopt;
  return solved.of(StripPair({{}, row.w, row.s}, row.placement));
}

void apply_limits(SynthesisRow& row, const SynthesisSetup& setup) {
  if (!row.built) return;
  const FabLimits& limits = setup.limits;
  const std::optional<float> gap = limited_gap(row, setup);
  if (gap && *gap < limits.min_gap) {
    row.status = RowStatus::gap_below_limit;
  } else if (row.w < limits.min_width) {
    row.status = RowStatus::width_below_limit;
  } else {
    return;
  }
  row.built = false;
}

// The model's design: finished to the model's resolution where the row
// prints it, as the search left it where the field corrects it or the
// interactive table shows it.
WidthSpacing model_design(const Board& board, const SynthesisTargets& targets, Solver solver,
                          const SynthesisSetup& setup) {
  const SynthesisTarget target{board, targets.zoe, targets.zoo};
  if (solver == Solver::field || !setup.to_resolution) return synthesise_width_and_spacing(target);
  return synthesise_to_resolution(target);
}

// What the model gives for the row's own W and S.
SynthesisTargets achieved(const Board& board, const SynthesisRow& row) {
  const CouplerImpedances z = model_impedances({board, row.w, row.s});
  return {z.coupling_db, z.zo, z.zoe, z.zoo};
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

SynthesisRow synthesis_row(const Board& board, const SynthesisTargets& targets, Solver solver,
                           const SynthesisSetup& setup) {
  if (!setup.placement.is_edge()) {
    SynthesisRow row = field_synthesis_row(board, targets, setup);
    apply_limits(row, setup);
    return row;
  }
  const WidthSpacing model = model_design(board, targets, solver, setup);
  SynthesisRow row{targets,
                   model.converged(),
                   model.w,
                   model.s,
                   {},
                   model,
                   status_of(model.outcome),
                   std::nullopt,
                   std::nullopt,
                   std::nullopt,
                   board.er,
                   board.er};
  if (!row.built) return row;
  if (solver == Solver::field) correct_on_the_field(row, board);
  if (solver != Solver::field && setup.to_resolution) row.achieved = achieved(board, row);
  apply_limits(row, setup);
  if (!row.built) return row;
  if (solver == Solver::both) {
    const CrossSection x{board, row.w, row.s};
    const CouplerImpedances z = model_impedances(x);
    try {
      row.field = compare_with_field(x, z.zoe, z.zoo);
    } catch (const FieldFailure& failure) {
      row.status = failure_status(failure);  // the model's design stands, unverified
      row.failure = failure;
    }
  }
  return row;
}

bool gives_dimensions(const SynthesisRow& row) {
  return row.built || row.status == RowStatus::gap_below_limit ||
         row.status == RowStatus::width_below_limit;
}

bool admits_broadside(const Board& board, const SynthesisTargets& targets,
                      const FabLimits& limits) {
  SynthesisSetup setup;
  setup.placement = {.arrangement = Arrangement::broadside, .h = 0.0F, .sv = 0.0F, .wo = 0.0F};
  setup.unknowns = field::SynthesisUnknowns::width_and_vertical_gap;
  setup.limits = limits;
  return synthesis_row(board, targets, Solver::field, setup).built;
}

}  // namespace ketrovane
