// Width and spacing on the field solution: from a start the caller gives
// (the closed-form synthesis, say), a two-dimensional Newton iteration on the
// field solver's mode impedances in (ln w, ln s) corrects the dimensions
// until both targets are met.  The first Jacobian comes from differences,
// later ones from Broyden's update along each step taken.
//
// Double precision; nothing here does input or output or keeps state between
// calls.
#pragma once

#include <cstdint>
#include <string>

#include "field/field_solver.hpp"

namespace ketrovane::field {

// The two dimensions a synthesis solves for; the arrangement's other
// dimensions are given.
enum class SynthesisUnknowns : std::uint8_t {
  width_and_gap,           // w and s: edge, edge_offset (h given)
  width_and_offset,        // w and wo: broadside (sv given)
  width_and_vertical_gap,  // w and sv: broadside (wo given)
};

struct SynthesisGoal {
  double b, t, er;  // the board (any one length unit, as Geometry)
  double zoe, zoo;  // targets, ohms
  double w0, s0;    // the start, e.g. the closed-form synthesis (edge); for the
                    // other arrangements 0, 0 lets the synthesis find its own
  Arrangement arrangement = Arrangement::edge;
  double h = 0.0, sv = 0.0, wo = 0.0;  // as Geometry: the given ones
  SynthesisUnknowns unknowns = SynthesisUnknowns::width_and_gap;
};

// Why a synthesis has no design.
enum class SynthesisFailure : std::uint8_t {
  none,
  not_converged,        // the iteration did not meet the targets
  needs_thinner_core,   // broadside, w and wo: even with wo = 0 the strips couple
                        // too weakly at this sv
  not_representable,    // the design would leave the solver's domain
};

struct SynthesisResult {
  bool converged = false;
  SynthesisFailure failure = SynthesisFailure::none;
  // The last iterate (the design when converged): the two solved for and
  // the given ones, as Geometry.
  double w = 0, s = 0, sv = 0, wo = 0;
  double zoe = 0, zoo = 0;  // field solution there
  double worst_error = 0;   // relative, of the two mode impedances against their targets
  int solves = 0;           // field solutions computed
  std::string message;      // why it did not converge; empty when it did
};

// Both mode impedances of the field solution within `tolerance` (relative) of
// the targets; the field is solved to a tenth of that tolerance before
// convergence is declared.  The iterates keep w and s at 1e-6 b or more, the
// least the solver takes.  A start or targets that are not positive and
// finite give converged = false with a message, without a field solution.
SynthesisResult synthesise(const SynthesisGoal& goal, double tolerance = 2e-4);

}  // namespace ketrovane::field
