// Internal to the synthesis: the convergence test shared by the alternating
// search and the safeguarded solve, and the solve itself.
#pragma once

#include <cmath>

#include "synthesis/width_spacing_synthesis.hpp"

namespace ketrovane {

inline constexpr float kConverged = 0.0005F;  // relative, both targets

// The convergence test: the relative errors of Zoe - Zoo and of
// sqrt(Zoe*Zoo) both below 0.05 %.
inline bool meets_targets(float difference_error, float mean_error) {
  return std::fabs(difference_error) < kConverged && std::fabs(mean_error) < kConverged;
}

struct SafeguardedResult {
  WidthSpacing result;
  // True when the solve bracketed the target difference between two
  // spacings at or above the floors, each with a width at or above its
  // floor: a design lies above both floors, found or not.
  bool bracketed;
};

// The bracketing solve that takes over where the alternating search cannot
// close.  Targets must be usable (finite, Zoe > Zoo > 0).
SafeguardedResult safeguarded_solve(const SynthesisTarget& target);

}  // namespace ketrovane
