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

// Lengths of the panels at the two ends of a segment; zero where the end is
// not a corner.
struct CornerPanels {
  double start;
  double end;
};

// Length of the panels that touch a corner of a strip of thickness t whose
// charge varies over knife_scale (the least of the gaps and lengths that meet
// there): corner_layers grading steps below the scale, two more at a knife
// edge, and never finer than a knife edge.
double corner_panel_length(double knife_scale, double t, const MeshParameters& mesh);

// Panel end points along one segment as fractions of its length: geometric
// toward each end that has a corner panel, none longer than the mesh allows.
std::vector<double> segment_breakpoints(const Segment& segment, CornerPanels corners,
                                        const MeshParameters& mesh);

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
std::vector<Panel> panels_on(const std::vector<Segment>& segments, const PanelLayout& layout);

}  // namespace ketrovane::field
