#include "layout/artwork.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>

namespace ketrovane::layout {
namespace {

// Points closer than this (2 nm, in inches) are one point: the files round
// to whole nanometres, and two points kept stay two there.
constexpr double kSamePoint = 2e-6 / 25.4;

// A feed line is drawn in its own frame: u along the line away from the
// section's end face (u = 0), v across it, the line turning toward +v.
// The frame maps onto the board by x = face + x_sign u, y = y_sign v.
struct LeadFrame {
  double face;
  double x_sign;
  double y_sign;
};

Point to_board(const LeadFrame& frame, Point local) {
  return {frame.face + frame.x_sign * std::max(local.x, 0.0), frame.y_sign * local.y};
}

struct Lead {
  std::vector<Point> centre_line;  // in the lead's frame, from the face to the pad
  double length;                   // of the true centre line (arcs as arcs)
  bool bends;
};

double polyline_length(const std::vector<Point>& points) {
  double length = 0.0;
  for (std::size_t i = 1; i < points.size(); ++i) {
    length += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
  }
  return length;
}

// Mitred: a straight just long enough to keep the inner corner on the face,
// the 45-degree diagonal, the straight to the pad.
Lead mitred_lead(double width, double v0, double rise, double lead_length) {
  const double before = width / 2 * std::tan(std::numbers::pi / 8);
  const std::vector<Point> path{{0.0, v0},
                                {before, v0},
                                {before + rise, v0 + rise},
                                {before + rise + lead_length, v0 + rise}};
  return {path, polyline_length(path), true};
}

// The chord angle of an arc of centre-line radius `radius` whose outer edge
// (radius + half_width) stands off its chords by at most kArcSagitta.
// (A line of no width, which the caller never asks for, gets one chord.)
int chords_for(double radius, double half_width, double angle) {
  constexpr double kMostChords = 1e6;
  const double outer = radius + half_width;
  if (!(outer > kArcSagitta)) return 1;
  const double step = 2 * std::acos(1 - kArcSagitta / outer);
  return static_cast<int>(std::clamp(std::ceil(angle / step), 1.0, kMostChords));
}

// Arcs tangent at the face: a left turn through `angle`, the diagonal, a
// right turn back, the straight to the pad.  Where two full 45-degree arcs
// would rise too far, both turn through less and no diagonal is left.
Lead arc_lead(double width, double v0, double rise, double lead_length) {
  const double radius = kArcRadiusPerWidth * width;
  const double full = std::numbers::pi / 4;
  const double full_rise = 2 * radius * (1 - std::cos(full));
  const double angle = rise >= full_rise ? full : std::acos(1 - rise / (2 * radius));
  const double diagonal = rise >= full_rise ? (rise - full_rise) / std::sin(full) : 0.0;
  const int chords = chords_for(radius, width / 2, angle);
  std::vector<Point> path;
  for (int k = 0; k <= chords; ++k) {  // centred at (0, v0 + radius)
    const double a = angle * k / chords;
    path.push_back({radius * std::sin(a), v0 + radius * (1 - std::cos(a))});
  }
  const Point end_first = path.back();
  const Point start_second{end_first.x + diagonal * std::cos(angle),
                           end_first.y + diagonal * std::sin(angle)};
  // The second arc turns right, its centre to the right of the diagonal.
  const Point centre_second{start_second.x + radius * std::sin(angle),
                            start_second.y - radius * std::cos(angle)};
  for (int k = diagonal > 0 ? chords : chords - 1; k >= 0; --k) {
    const double a = angle * k / chords;
    path.push_back(
        {centre_second.x - radius * std::sin(a), centre_second.y + radius * std::cos(a)});
  }
  path.back() = {centre_second.x, v0 + rise};
  path.push_back({centre_second.x + lead_length, v0 + rise});
  return {path, 2 * radius * angle + diagonal + lead_length, true};
}

Lead make_lead(Bend bend, double width, double v0, double rise, double lead_length) {
  if (rise <= kSamePoint) {
    return {{{0.0, v0}, {lead_length, v0}}, lead_length, false};
  }
  return bend == Bend::mitre ? mitred_lead(width, v0, rise, lead_length)
                             : arc_lead(width, v0, rise, lead_length);
}

std::vector<Point> without_repeats(const std::vector<Point>& points) {
  std::vector<Point> kept;
  for (const Point& p : points) {
    if (kept.empty() || std::hypot(p.x - kept.back().x, p.y - kept.back().y) > kSamePoint) {
      kept.push_back(p);
    }
  }
  while (kept.size() > 1 &&
         std::hypot(kept.front().x - kept.back().x, kept.front().y - kept.back().y) <= kSamePoint) {
    kept.pop_back();
  }
  return kept;
}

Point left_normal(Point from, Point to) {
  const double length = std::hypot(to.x - from.x, to.y - from.y);
  return {-(to.y - from.y) / length, (to.x - from.x) / length};
}

// The offset of a lead's centre line's vertex by `distance` to its left,
// with mitre joins: on the offset line of each segment meeting there.  The
// line leaves the face and enters the pad along u, so its ends are offset
// square to u, whatever the chord next to them.
Point offset_vertex(const std::vector<Point>& path, std::size_t i, double distance) {
  constexpr Point kAlongU{0.0, 1.0};
  const Point before = i == 0 ? kAlongU : left_normal(path[i - 1], path[i]);
  const Point after = i + 1 == path.size() ? kAlongU : left_normal(path[i], path[i + 1]);
  const double scale = distance / (1 + before.x * after.x + before.y * after.y);
  return {path[i].x + scale * (before.x + after.x), path[i].y + scale * (before.y + after.y)};
}

double signed_area(const Outline& outline) {
  double twice = 0.0;
  for (std::size_t i = 0; i < outline.size(); ++i) {
    const Point& a = outline[i];
    const Point& b = outline[(i + 1) % outline.size()];
    twice += a.x * b.y - b.x * a.y;
  }
  return twice / 2;
}

// The copper of a lead on the board: the centre line offset to both sides.
// Its ends are square across u: the face, the pad's centre line.
Outline lead_outline(const std::vector<Point>& path, double width, const LeadFrame& frame) {
  const double half = width / 2;
  const Point start = path.front();
  const Point end = path.back();
  Outline outline{to_board(frame, {start.x, start.y - half})};
  for (std::size_t i = 0; i < path.size(); ++i) {
    outline.push_back(to_board(frame, offset_vertex(path, i, -half)));
  }
  outline.push_back(to_board(frame, {end.x, end.y - half}));
  outline.push_back(to_board(frame, {end.x, end.y + half}));
  for (std::size_t i = path.size(); i-- > 0;) {
    outline.push_back(to_board(frame, offset_vertex(path, i, half)));
  }
  outline.push_back(to_board(frame, {start.x, start.y + half}));
  if (signed_area(outline) < 0) std::reverse(outline.begin(), outline.end());
  return without_repeats(outline);
}

Outline rectangle(double x0, double y0, double x1, double y1) {
  return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

bool strip_a(PortRole role) {
  return role == PortRole::input || role == PortRole::through;
}
bool at_minus_x(PortRole role) {
  return role == PortRole::input || role == PortRole::coupled;
}

std::string numbered(const std::string& name, std::size_t index) {
  return name + std::to_string(index + 1);
}

// The strips of the sections, abutting, the whole centred on x = 0.
void add_sections(const ArtworkInputs& inputs, Artwork& artwork) {
  double x = -artwork.coupled_length / 2;
  const bool stacked = inputs.one_above_the_other;
  for (std::size_t i = 0; i < inputs.sections.size(); ++i) {
    const SectionShape& section = inputs.sections[i];
    const double end = x + section.length;
    const double mid = x + section.length / 2;
    const double low = stacked ? section.wo / 2 - section.w / 2 : section.s / 2;
    const double high = low + section.w;
    artwork.layers[0].outlines.push_back(rectangle(x, low, end, high));
    artwork.layers[stacked ? 1 : 0].outlines.push_back(rectangle(x, -high, end, -low));
    // The width a quarter along, the gap or offset halfway, apart on the picture.
    const double quarter = x + section.length / 4;
    artwork.dimensions.push_back({numbered("W", i), {quarter, low}, {quarter, high}, 0});
    if (stacked) {
      artwork.dimensions.push_back(
          {numbered("WO", i), {mid, -section.wo / 2}, {mid, section.wo / 2}, 0});
    } else {
      artwork.dimensions.push_back({numbered("S", i), {mid, -low}, {mid, low}, 0});
    }
    artwork.dimensions.push_back({numbered("L", i), {x, high}, {end, high}, 0});
    x = end;
  }
}

// Where a lead's centre line starts, across the line (v, away from the
// other strip): side by side its inner edge continues the section's, one
// above the other its centre line does.
double lead_start(const ArtworkInputs& inputs, const SectionShape& end, double width) {
  return inputs.one_above_the_other ? end.wo / 2 : end.s / 2 + width / 2;
}

// How far each lead of an end moves away from the other before it runs
// parallel to x.
double lead_rise(const ArtworkInputs& inputs, const SectionShape& end, double spacing) {
  return (spacing - (inputs.one_above_the_other ? end.wo : end.s)) / 2;
}

void add_lead(const ArtworkInputs& inputs, PortRole role, Artwork& artwork) {
  const auto index = static_cast<std::size_t>(role);
  const bool minus_x = at_minus_x(role);
  const SectionShape& end = minus_x ? inputs.sections.front() : inputs.sections.back();
  const double width = inputs.feed_width[index];
  const double v0 = lead_start(inputs, end, width);
  const double rise = lead_rise(inputs, end, inputs.lead_spacing[minus_x ? 0 : 1]);
  const Lead lead = make_lead(inputs.bend, width, v0, rise, inputs.lead_length);
  const LeadFrame frame{(minus_x ? -1 : 1) * artwork.coupled_length / 2, minus_x ? -1.0 : 1.0,
                        strip_a(role) ? 1.0 : -1.0};
  const int layer = inputs.one_above_the_other && !strip_a(role) ? 1 : 0;
  artwork.layers[static_cast<std::size_t>(layer)].outlines.push_back(
      lead_outline(lead.centre_line, width, frame));
  artwork.lead_out_length[index] = lead.length;
  const Point pad = to_board(frame, lead.centre_line.back());
  artwork.pads.push_back({inputs.port_number[index], role, layer, pad, width, width});
  // The feed width across the straight before the pad, nearer the pad.
  const Point across = to_board(frame, {lead.centre_line.back().x - inputs.lead_length / 4, v0});
  const double edge = frame.y_sign * (rise > kSamePoint ? rise : 0.0);
  artwork.dimensions.push_back({"WF" + std::to_string(inputs.port_number[index]),
                                {across.x, across.y + edge - width / 2},
                                {across.x, across.y + edge + width / 2},
                                layer});
  if (role == PortRole::input) {
    const Point last_bend = to_board(frame, lead.centre_line[lead.centre_line.size() - 2]);
    artwork.dimensions.push_back({"LL", last_bend, pad, layer});
  }
}

// The spacing of the leads once they run parallel, where they bend: "G"
// (or "D") at the first end that bends, "G2" at the other if it differs.
void add_lead_spacing(const ArtworkInputs& inputs, Artwork& artwork) {
  const std::string name = inputs.one_above_the_other ? "D" : "G";
  bool drawn = false;
  for (std::size_t side = 0; side < 2; ++side) {
    const SectionShape& end = side == 0 ? inputs.sections.front() : inputs.sections.back();
    const double spacing = inputs.lead_spacing[side];
    if (lead_rise(inputs, end, spacing) <= kSamePoint) continue;
    if (drawn && spacing == inputs.lead_spacing[0]) continue;
    const auto a = static_cast<std::size_t>(side == 0 ? PortRole::input : PortRole::through);
    const auto b = static_cast<std::size_t>(side == 0 ? PortRole::coupled : PortRole::isolated);
    // Side by side the edge gap, one above the other the centre lines'.
    const double edges = inputs.one_above_the_other ? 0.0 : 0.5;
    const Point pad_a = artwork.pads[a].centre;
    const Point pad_b = artwork.pads[b].centre;
    // Halfway along the straight runs, clear of the pads' numbers.
    const double x = pad_a.x + (side == 0 ? 0.5 : -0.5) * inputs.lead_length;
    artwork.dimensions.push_back({drawn ? name + "2" : name,
                                  {x, pad_b.y + edges * inputs.feed_width[b]},
                                  {x, pad_a.y - edges * inputs.feed_width[a]},
                                  0});
    drawn = true;
  }
}

}  // namespace

Artwork make_artwork(const ArtworkInputs& inputs) {
  assert(!inputs.sections.empty() && inputs.lead_length > 0);
  Artwork artwork;
  artwork.layers.resize(inputs.one_above_the_other ? 2 : 1);
  for (const SectionShape& section : inputs.sections) {
    assert(section.length > 0 && section.w > 0);
    artwork.coupled_length += section.length;
  }
  add_sections(inputs, artwork);
  for (int role = 0; role < kPortCount; ++role) {
    assert(inputs.feed_width[static_cast<std::size_t>(role)] > 0);
    add_lead(inputs, static_cast<PortRole>(role), artwork);
  }
  add_lead_spacing(inputs, artwork);
  return artwork;
}

}  // namespace ketrovane::layout
