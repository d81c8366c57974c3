// The coupled length the diverging feed lines add at each end of a
// coupler: the legs go on coupling after the section's end face until they
// run straight apart, and that coupling counts as a length of the section.
// Walked along the legs on the field solution: at each distance x from the
// end face the local cross-section is the two feed lines at the local gap,
// its coupling k = (Zoe - Zoo)/(Zoe + Zoo), and the extra length is the
// integral of k over x divided by the end section's own k.  Lengths in
// inches, double precision; no input or output, no state.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "design/strip_pair.hpp"
#include "layout/artwork.hpp"

namespace ketrovane {

// The two feed lines at one end of a coupler, as the artwork draws them.
struct DivergingLegs {
  StripPair section;  // the end section: the board, where the strips stand, its W and S
  double feed_width;  // of each of the two lines at that end
  // Where they run straight apart: side by side the edge gap, one above
  // the other the sideways distance of their centre lines.
  double spacing;
  layout::Bend bend = layout::Bend::mitre;
};

// One stretch of the walk: `reach` along x, and the gap (edge gap, or the
// centre lines' sideways distance) at a distance into the stretch.
struct LegStretch {
  double reach;
  std::function<double(double)> gap;
};

// The stretches of the legs from the end face to where they run straight:
// a mitre's corner (the gap still the section's up to the edge's corner,
// then growing by twice the distance), or an arc's two turns and the
// diagonal between them.  None when the lines run straight from the face.
std::vector<LegStretch> leg_stretches(const DivergingLegs& legs);

struct JunctionLength {
  std::optional<double> length;  // none when a cross-section has no field solution
  double error = 0.0;            // the quadrature's estimate of its error
  int solutions = 0;             // field solutions the walk took
  std::string message;           // why there is no length
};

// The integral of k(gap(x)) over the stretches, against the section's own
// k on the field solution (a coupling the field cannot resolve counts as
// none), by adaptive Simpson on each stretch to kJunctionTolerance of the
// board's B, the error estimated from the halvings.
JunctionLength coupled_length_along(const StripPair& section, double feed_width,
                                    std::span<const LegStretch> stretches);

// The same over the legs' own stretches.
JunctionLength junction_length(const DivergingLegs& legs);

// The quadrature's tolerance on the extra length, against B.
inline constexpr double kJunctionTolerance = 1e-4;

}  // namespace ketrovane
