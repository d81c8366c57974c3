// The coupled length the diverging feed lines add at each end of a
// coupler: the legs go on coupling after the section's end face until they
// run straight apart, and that coupling counts as a length of the section.
// Walked along the legs on the field solution, each leg taken as its centre
// line, the path its current follows (a mitre's current cuts the inside of
// the bend and leaves the outer corner nearly bare): at a distance x from
// the end face the local cross-section is two feed lines of their own width
// whose centre lines are the legs' at x, so the gap is the centre lines'
// distance across x less one width side by side (one above the other the
// centre lines' sideways distance), and k(gap) = (Zoe - Zoo)/(Zoe + Zoo) is
// the coupling per unit of each leg's own length.  Where each leg runs at
// theta off x the two run at alpha = 2 theta to each other: their mutual
// capacitance is as at that gap, their mutual inductance goes as cos alpha,
// so of k = (kC + kL)/2 the part (1 + cos alpha)/2 is left, over the leg's
// path ds = dx / cos theta.  Per unit x that is k cos theta: at 45 degrees
// the legs at right angles couple half as much per unit of path, 0.707 per
// unit x.  The extra length is the integral over x divided by the end
// section's own k.  Lengths in inches, double precision; no input or
// output, no state.
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

// One stretch of the walk: `reach` along x, and at a distance into the
// stretch the gap (the centre-line strips' edge gap, or the centre lines'
// sideways distance) and each leg's angle off x (radians, the twin's the
// mirror of it).
struct LegStretch {
  double reach;
  std::function<double(double)> gap;
  std::function<double(double)> angle;
};

// The stretches of the legs' centre lines from the end face to where they
// run straight: a mitre's straight up to the centre line's corner, W/2 tan
// 22.5 degrees of the feed's width W (the gap the section's), then its
// 45-degree diagonal (the gap growing by twice the distance); or an arc's
// two turns of centre-line radius and the diagonal between them.  None
// when the lines run straight from the face.
std::vector<LegStretch> leg_stretches(const DivergingLegs& legs);

struct JunctionLength {
  std::optional<double> length;  // none when a cross-section has no field solution
  double error = 0.0;            // the quadrature's estimate of its error
  int solutions = 0;             // field solutions the walk took
  std::string message;           // why there is no length
};

// The integral of k(gap(x)) cos(angle(x)) over the stretches, against the
// section's own k on the field solution (a coupling the field cannot resolve counts as
// none), by adaptive Simpson on each stretch to kJunctionTolerance of the
// board's B, the error estimated from the halvings.
JunctionLength coupled_length_along(const StripPair& section, double feed_width,
                                    std::span<const LegStretch> stretches);

// The same over the legs' own stretches.
JunctionLength junction_length(const DivergingLegs& legs);

// The quadrature's tolerance on the extra length, against B.
inline constexpr double kJunctionTolerance = 1e-4;

}  // namespace ketrovane
