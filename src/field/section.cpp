#include "field/section.hpp"

#include <algorithm>
#include <cmath>

namespace ketrovane::field {

Box box_of(const Section& s) {
  return {s.centre - s.w / 2, s.centre + s.w / 2, s.mid - s.t / 2, s.mid + s.t / 2};
}

Box twin_box(const Section& s) {
  const Box b = box_of(s);
  if (s.symmetry == TwinSymmetry::mirror) return {-b.right, -b.left, b.bottom, b.top};
  return {-b.right, -b.left, 1.0 - b.top, 1.0 - b.bottom};
}

namespace {

double distance_to(const Box& b, SurfacePoint p) {
  const double dx = std::max({b.left - p.xi, 0.0, p.xi - b.right});
  const double dy = std::max({b.bottom - p.y, 0.0, p.y - b.top});
  return std::hypot(dx, dy);
}

EndGrading corner_at(const Section& s, SurfacePoint p) {
  const Box b = box_of(s);
  const double gap = std::min(b.bottom, 1.0 - b.top);
  if (s.symmetry == TwinSymmetry::none) return {std::min(gap, s.w / 2), true};
  return {std::min({gap, s.w / 2, distance_to(twin_box(s), p)}), true};
}

constexpr EndGrading kPlain{};

// Whether each of the twin's corners (left, right) stands over the face
// from `from` to `to` farther from its ends than the gap across.
std::array<bool, 2> clear_feet(const Section& s, double from, double to, double gap) {
  const Box twin = twin_box(s);
  std::array<bool, 2> clear{};
  const std::array<double, 2> corners{twin.left, twin.right};
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const double x = corners.at(i);
    clear.at(i) = std::min(std::abs(x - from), std::abs(x - to)) > gap;
  }
  return clear;
}

// The feet of the twin's corners on a face that looks at the twin across the
// centre plane, in the order met going from `from` to `to`; feet closer to
// an end of the face than the gap are left to that end's grading, unless the
// section carries another decision.
std::vector<double> feet_on_face(const Section& s, double from, double to, double gap) {
  const Box twin = twin_box(s);
  const std::array<bool, 2> chosen = s.feet ? *s.feet : clear_feet(s, from, to, gap);
  const std::array<double, 2> corners{twin.left, twin.right};
  std::vector<double> feet;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const double x = corners.at(i);
    if (chosen.at(i) && (x - from) * (x - to) < 0.0) feet.push_back(x);
  }
  std::sort(feet.begin(), feet.end(),
            [&](double a, double b) { return std::abs(a - from) < std::abs(b - from); });
  return feet;
}

// A horizontal face from corner to corner, split at the feet of the twin's
// corners when it looks at the twin (one strip above the other).
void add_face(const Section& s, SurfacePoint from, SurfacePoint to,
              std::vector<SectionSegment>& segments) {
  const EndGrading first = corner_at(s, from);
  const EndGrading last = corner_at(s, to);
  const double gap = std::abs(2.0 * from.y - 1.0);  // to the twin's facing face
  const bool faces_twin = s.symmetry == TwinSymmetry::point &&
                          (s.t == 0.0 || std::abs(from.y - 0.5) < std::abs(s.mid - 0.5));
  const std::vector<double> feet =
      faces_twin ? feet_on_face(s, from.xi, to.xi, gap) : std::vector<double>{};
  SurfacePoint start = from;
  EndGrading start_grading = first;
  for (const double x : feet) {
    const SurfacePoint foot{x, from.y};
    const EndGrading at_foot{gap, false};
    segments.push_back({{start, foot}, start_grading, at_foot});
    start = foot;
    start_grading = at_foot;
  }
  segments.push_back({{start, to}, start_grading, last});
}

double end_panel(const EndGrading& end, double t, const MeshParameters& mesh) {
  if (end.scale == 0.0) return 0.0;
  if (end.corner) return corner_panel_length(end.scale, t, mesh);
  return end.scale * mesh.grading;
}

}  // namespace

// Round the strip: the left side up from its lower corner, the top face, the
// right side down, the bottom face back; each side in two halves.
std::vector<SectionSegment> section_segments(const Section& s) {
  const Box b = box_of(s);
  std::vector<SectionSegment> segments;
  if (s.t == 0.0) {
    add_face(s, {b.left, s.mid}, {b.right, s.mid}, segments);
    return segments;
  }
  const SurfacePoint bottom_left{b.left, b.bottom};
  const SurfacePoint top_left{b.left, b.top};
  const SurfacePoint top_right{b.right, b.top};
  const SurfacePoint bottom_right{b.right, b.bottom};
  segments.push_back({{bottom_left, {b.left, s.mid}}, corner_at(s, bottom_left), kPlain});
  segments.push_back({{{b.left, s.mid}, top_left}, kPlain, corner_at(s, top_left)});
  add_face(s, top_left, top_right, segments);
  segments.push_back({{top_right, {b.right, s.mid}}, corner_at(s, top_right), kPlain});
  segments.push_back({{{b.right, s.mid}, bottom_right}, kPlain, corner_at(s, bottom_right)});
  add_face(s, bottom_right, bottom_left, segments);
  return segments;
}

std::array<bool, 2> twin_feet(const Section& s) {
  if (s.symmetry != TwinSymmetry::point) return {false, false};
  const Box b = box_of(s);
  // The face nearer the centre plane, or the sheet.
  const double y = s.t == 0.0 ? s.mid : (s.mid > 0.5 ? b.bottom : b.top);
  return clear_feet(s, b.left, b.right, std::abs(2.0 * y - 1.0));
}

PanelLayout section_layout(const Section& section, const MeshParameters& mesh) {
  PanelLayout layout;
  for (const SectionSegment& piece : section_segments(section)) {
    const CornerPanels ends{end_panel(piece.start, section.t, mesh),
                            end_panel(piece.end, section.t, mesh)};
    layout.breakpoints.push_back(segment_breakpoints(piece.segment, ends, mesh));
  }
  return layout;
}

std::vector<Panel> section_panels(const Section& section, const PanelLayout& layout) {
  std::vector<Segment> segments;
  for (const SectionSegment& piece : section_segments(section)) segments.push_back(piece.segment);
  if (segments.size() != layout.breakpoints.size()) return {};
  return panels_on(segments, layout);
}

}  // namespace ketrovane::field
