// Width and spacing on the field solution: from a start the caller gives
// (the closed-form synthesis, say), a two-dimensional Newton iteration on the
// field solver's mode impedances in (ln w, ln s) corrects the dimensions
// until both targets are met.  The first Jacobian comes from differences,
// later ones from Broyden's update along each step taken.
//
// Double precision; nothing here does input or output or keeps state between
// calls.
#pragma once

#include <string>

namespace ketrovane::field {

struct SynthesisGoal {
  double b, t, er;  // the board (any one length unit, as Geometry)
  double zoe, zoo;  // targets, ohms
  double w0, s0;    // the start, e.g. the closed-form synthesis
};

struct SynthesisResult {
  bool converged = false;
  double w = 0, s = 0;      // the last iterate (the design when converged)
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
