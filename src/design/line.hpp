// A single strip between the ground planes: the feed line of a coupler's
// artwork, of the impedance asked, on the same board as the coupler's pair.
#pragma once

#include <optional>

#include "design/row_kernel.hpp"
#include "design/strip_pair.hpp"

namespace ketrovane {

struct FeedLine {
  double width_inch;
  double zo;
  double eeff;
};

// The single strip of impedance zo standing where one strip of `pair`
// stands: side by side at the pair's height (centred, or at H) on its board
// or stack; one above the other at the height of the upper strip (the stack
// being its own mirror image, the lower strip's line is the same).  On the
// model (Solver::model) only where the model knows the pair (centred, one
// dielectric); otherwise, and for Solver::field or both, the field
// solution.  None when no width gives zo.
std::optional<FeedLine> feed_line_for(float zo, const StripPair& pair, Solver solver);

}  // namespace ketrovane
