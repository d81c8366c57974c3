#include "field/panels.hpp"

#include <algorithm>
#include <cmath>

namespace ketrovane::field {
namespace {

double distance(SurfacePoint a, SurfacePoint b) {
  return std::hypot(b.xi - a.xi, b.y - a.y);
}

SurfacePoint along(const Segment& segment, double fraction) {
  return {segment.start.xi + fraction * (segment.end.xi - segment.start.xi),
          segment.start.y + fraction * (segment.end.y - segment.start.y)};
}

// Distances from a corner of the panel ends on a stretch of the given length:
// a geometric sequence from the corner panel up to the far end, with a ratio
// no coarser than the grading asks.
std::vector<double> graded_from_corner(double length, double smallest, const MeshParameters& mesh) {
  std::vector<double> ends{0.0};
  if (smallest < length) {
    const int steps =
        static_cast<int>(std::ceil(std::log(length / smallest) / -std::log(mesh.grading)));
    const double ratio = std::pow(length / smallest, 1.0 / steps);
    for (int k = 0; k < steps; ++k) ends.push_back(smallest * std::pow(ratio, k));
  }
  ends.push_back(length);
  return ends;
}

// Splits every panel longer than the limit into equal parts.
std::vector<double> capped(const std::vector<double>& ends, double max_length) {
  std::vector<double> result{ends.front()};
  for (std::size_t k = 1; k < ends.size(); ++k) {
    const double span = ends[k] - ends[k - 1];
    const int parts = std::max(1, static_cast<int>(std::ceil(span / max_length)));
    for (int j = 1; j <= parts; ++j) result.push_back(ends[k - 1] + span * j / parts);
  }
  return result;
}

}  // namespace

std::vector<double> segment_breakpoints(const Segment& segment, CornerPanels corners,
                                        const MeshParameters& mesh) {
  const double length = distance(segment.start, segment.end);
  std::vector<double> ends;
  if (corners.start > 0.0 && corners.end > 0.0) {
    const std::vector<double> lower = graded_from_corner(length / 2, corners.start, mesh);
    const std::vector<double> upper = graded_from_corner(length / 2, corners.end, mesh);
    ends = lower;
    for (auto k = upper.size() - 1; k-- > 0;) ends.push_back(length - upper[k]);
  } else if (corners.start > 0.0) {
    ends = graded_from_corner(length, corners.start, mesh);
  } else {
    for (const double d : graded_from_corner(length, corners.end, mesh)) ends.push_back(length - d);
    std::reverse(ends.begin(), ends.end());
  }
  std::vector<double> fractions;
  for (const double d : capped(ends, mesh.max_panel_length)) fractions.push_back(d / length);
  fractions.back() = 1.0;
  return fractions;
}

namespace {

// Length of the panels that touch a corner.  The charge varies over the
// smallest of the lengths that meet there -- the thickness, the gap to the
// twin (inner corners), the gap to the planes, half the width -- and the
// panels reach corner_layers grading steps below it; knife edges, whose
// density r^(-1/2) is the harder to resolve, two steps more.  A thin strip is
// never cut finer than a knife edge: its corners, smaller than the knife
// edge's first panel, sit in that panel as the knife edge would.
double corner_panel(const Shape& shape, bool inner, const MeshParameters& mesh) {
  const double gap = (1.0 - shape.t) / 2;
  const double knife_scale = std::min({gap, shape.w / 2, inner ? shape.s : gap});
  return corner_panel_length(knife_scale, shape.t, mesh);
}

}  // namespace

double corner_panel_length(double knife_scale, double t, const MeshParameters& mesh) {
  const double knife_panel = knife_scale * std::pow(mesh.grading, mesh.corner_layers + 2);
  if (t == 0.0) return knife_panel;
  const double corner_scale = std::min(knife_scale, t);
  return std::max(knife_panel, corner_scale * std::pow(mesh.grading, mesh.corner_layers));
}

std::vector<Segment> charged_segments(const Shape& shape) {
  if (shape.t == 0.0) return {{{0.0, 0.0}, {shape.w, 0.0}}};
  const double top = shape.t / 2;
  return {{{0.0, 0.0}, {0.0, top}}, {{0.0, top}, {shape.w, top}}, {{shape.w, top}, {shape.w, 0.0}}};
}

PanelLayout panel_layout(const Shape& shape, const MeshParameters& mesh) {
  const double inner = corner_panel(shape, true, mesh);
  const double outer = corner_panel(shape, false, mesh);
  const std::vector<Segment> segments = charged_segments(shape);
  const std::vector<CornerPanels> corners =
      shape.t == 0.0 ? std::vector<CornerPanels>{{inner, outer}}
                     : std::vector<CornerPanels>{{0.0, inner}, {inner, outer}, {outer, 0.0}};
  PanelLayout layout;
  for (std::size_t i = 0; i < segments.size(); ++i)
    layout.breakpoints.push_back(segment_breakpoints(segments[i], corners[i], mesh));
  return layout;
}

std::vector<Panel> panels_of(const Shape& shape, const PanelLayout& layout) {
  return panels_on(charged_segments(shape), layout);
}

std::vector<Panel> panels_on(const std::vector<Segment>& segments, const PanelLayout& layout) {
  std::vector<Panel> panels;
  for (std::size_t i = 0; i < segments.size() && i < layout.breakpoints.size(); ++i) {
    const auto& fractions = layout.breakpoints[i];
    for (std::size_t k = 1; k < fractions.size(); ++k) {
      const SurfacePoint a = along(segments[i], fractions[k - 1]);
      const SurfacePoint b = along(segments[i], fractions[k]);
      panels.push_back({a, b, distance(a, b)});
    }
  }
  return panels;
}

}  // namespace ketrovane::field
