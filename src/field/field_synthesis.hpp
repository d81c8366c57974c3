// Width and spacing on the field solution: from a start the caller gives
// (the closed-form synthesis, say), a two-dimensional Newton iteration on the
// field solver's mode impedances in (ln w, ln s) corrects the dimensions
// until both targets are met.  The first Jacobian comes from differences,
// later ones from Broyden's update along each step taken.
//
// The other arrangements may find their own start.  Side by side off the
// centre plane: parallel plates and knife-edge fringing give the width, the
// exponential decay of the coupling the gap.  One above the other, for w and
// sv: parallel plates over the overlap give both.  For w and wo the width
// that meets sqrt(Zoe Zoo) with the strips right above each other comes
// first, which also gives (nearly) the strongest coupling the core allows;
// if even that is too weak the synthesis reports needs_thinner_core, else
// the offset is bracketed going outward, following the width, and
// interpolated in the logarithm of the coupling before Newton's method in
// (ln w, wo) finishes.
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
  double w0, s0;    // the start, e.g. the closed-form synthesis (edge): w and
                    // the second unknown (s, wo or sv); for the other
                    // arrangements 0, 0 lets the synthesis find its own
  Arrangement arrangement = Arrangement::edge;
  double h = 0.0, sv = 0.0, wo = 0.0;  // as Geometry: the given ones
  SynthesisUnknowns unknowns = SynthesisUnknowns::width_and_gap;
  // When not empty, the layers between the planes (as Geometry::stack; b is
  // their sum, er not looked at).  On a stack, strips one above the other
  // are synthesised for w and wo only: the gap between them is the core's
  // thickness, which the stack fixes.
  Stack stack{};
};

// Why a synthesis has no design.
enum class SynthesisFailure : std::uint8_t {
  none,
  not_converged,       // the iteration did not meet the targets
  needs_thinner_core,  // broadside, w and wo: even with wo = 0 the strips couple
                       // too weakly at this sv
  not_representable,   // the design would leave the solver's domain
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
// convergence is declared (beside the centred pair, the residual must also
// leave room for that tenth).  The iterates keep w, s and sv at 1e-6 b or
// more, the least the solver takes, and sv + 2t at least 2e-6 b below b.  A
// start or targets that are not positive and finite give converged = false
// with a message, without a field solution (failure = not_converged); given
// dimensions outside the solver's domain, or unknowns that do not belong to
// the arrangement, give not_representable without one; an iteration that
// ends pressed against the domain's edge gives not_representable too.
SynthesisResult synthesise(const SynthesisGoal& goal, double tolerance = 2e-4);

}  // namespace ketrovane::field
