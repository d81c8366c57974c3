// One strip of a pair whose only symmetry carries one strip onto the other
// (strips off the centre plane, or one above the other), and the panels on
// its whole surface.
//
// Lengths in units of b, the planes at y = 0 and y = 1, x = 0 on the axis
// (mirror) or through the centre (point reflection) of the symmetry; in
// Segment and Panel the coordinate xi is this absolute x.  A strip of
// thickness t > 0 carries charge on its four sides, the sides cut at the
// strip's mid-plane (so that at mid-height between the planes the cut is the
// mirror image of the quarter that panels.hpp cuts); a strip of zero
// thickness is one sheet carrying the charge of both faces.
//
// Panels are graded geometrically toward the corners as in panels.hpp, the
// charge's scale at each corner being the least of the gaps to the planes,
// half the width and the distance to the twin strip.  Where a corner of the
// twin stands over the middle of the face that looks at it (one strip above
// the other, offset sideways), the charge varies over the gap between them
// there: the face is split below that corner and graded toward it too.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "field/panels.hpp"
#include "field/plane_green.hpp"

namespace ketrovane::field {

struct Section {
  double w;
  double t;
  double centre;  // x of the strip's centre line
  double mid;     // height of the strip's mid-plane
  TwinSymmetry symmetry;
  // Which of the twin's corners (left, right) split the face that looks at
  // the twin; when absent, those whose feet are farther from the face's
  // ends than the gap across.  A section moved a little is given the
  // decision of the one it was moved from, so that both are cut alike.
  std::optional<std::array<bool, 2>> feet = std::nullopt;
};

// The rectangle a strip fills (a sheet's has no height), in units of b.
struct Box {
  double left;
  double right;
  double bottom;
  double top;
};

Box box_of(const Section& s);
// The twin's rectangle: the strip's mirror image, or its point reflection
// through the centre of the cross-section.
Box twin_box(const Section& s);

// The section's own decision on the feet of the twin's corners.
std::array<bool, 2> twin_feet(const Section& section);

// Where a segment end needs small panels, and over what scale the charge
// varies there; scale 0 for an end that needs none.
struct EndGrading {
  double scale = 0.0;
  bool corner = false;  // a corner of the strip (else the foot of the twin's corner)
};

struct SectionSegment {
  Segment segment;
  EndGrading start;
  EndGrading end;
};

std::vector<SectionSegment> section_segments(const Section& section);

// The cut of the whole surface; a slightly different section (the same
// segments, moved a little) may be cut by the same fractions.
PanelLayout section_layout(const Section& section, const MeshParameters& mesh);

// Panels of the layout laid on the section; empty when the section has a
// different number of segments from the layout.
std::vector<Panel> section_panels(const Section& section, const PanelLayout& layout);

}  // namespace ketrovane::field
