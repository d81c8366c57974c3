// Width and spacing on the field solution: the closed-form synthesis gives
// the start, and a two-dimensional Newton iteration on the field solver's
// impedances corrects it until both targets are met.
#pragma once

#include <string>

#include "synthesis/width_spacing_synthesis.hpp"

namespace ketrovane {

struct FieldWidthSpacing {
  bool converged = false;
  double w = 0;    // inches
  double s = 0;    // inches
  double zoe = 0;  // field solution at (w, s), ohms
  double zoo = 0;
  double worst_error = 0;  // relative, of the two mode impedances against their targets
  int solves = 0;          // field solutions computed
  WidthSpacing start{};    // the closed-form synthesis it started from
  std::string message;     // why it did not converge; empty when it did
};

// Both mode impedances of the field solution within `tolerance` (relative)
// of the targets.  The field solver is asked for a tenth of that tolerance.
FieldWidthSpacing synthesise_on_field(const SynthesisTarget& target, double tolerance = 2e-4);

}  // namespace ketrovane
