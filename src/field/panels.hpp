// The strip surface that carries the unknown charge, cut into straight panels
// graded geometrically toward the corners.
//
// By the symmetries about x = 0 (the twin strip) and y = 0 (the centre plane)
// only a quarter of the surface of the pair needs unknowns: on a strip of
// thickness t > 0 the inner side from the centre plane up to the corner, the
// upper face, and the outer side from its corner down to the centre plane; a
// strip of zero thickness is one sheet on the centre plane, carrying the
// charge of both faces.  Lengths are in units of b; xi is measured from the
// inner edge.
//
// The charge density is singular at the corners, as r^(-1/3) at the 90 degree
// corners of a thick strip and as r^(-1/2) at a knife edge, so panels shrink
// geometrically toward them (Babuska and Guo's geometric mesh, which with
// panels of fixed order converges exponentially in the number of unknowns).
#pragma once

#include <vector>

namespace ketrovane::field {

// Cross-section of the pair in units of b.
struct Shape {
  double w;
  double s;
  double t;
};

struct SurfacePoint {
  double xi;
  double y;
};

// How finely to cut.
struct MeshParameters {
  double grading;           // ratio of neighbouring panel lengths toward a corner
  int corner_layers;        // panels between a corner's scale and the corner;
                            // knife edges get two more
  double max_panel_length;  // in units of b
};

// One straight edge of the charged surface.
struct Segment {
  SurfacePoint start;
  SurfacePoint end;
};

// Inner side (from the centre plane up), upper face, outer side (down to the
// centre plane); or the single sheet when t = 0.
std::vector<Segment> charged_segments(const Shape& shape);

// Panel end points along each segment as fractions of its length, so that the
// same cut can be laid on a slightly different cross-section.
struct PanelLayout {
  std::vector<std::vector<double>> breakpoints;  // per segment, 0 ... 1 ascending
};

PanelLayout panel_layout(const Shape& shape, const MeshParameters& mesh);

struct Panel {
  SurfacePoint start;
  SurfacePoint end;
  double length;
};

std::vector<Panel> panels_of(const Shape& shape, const PanelLayout& layout);

}  // namespace ketrovane::field
