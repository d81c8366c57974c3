// The artwork measured on its own outlines, case by case: what an engineer
// would check with a ruler on the etched copper.
#include "artwork_cases.hpp"
#include "layout/files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <set>
#include <utility>

namespace ketrovane::layout {
namespace {

using testing::ArtworkCase;

// Lengths that are sums and differences of the inputs hold to this (inches).
constexpr double kExact = 1e-10;

struct Box {
  double x0, y0, x1, y1;
};

Box box_of(const Outline& outline) {
  Box box{1e300, 1e300, -1e300, -1e300};
  for (const Point& p : outline) {
    box = {std::min(box.x0, p.x), std::min(box.y0, p.y), std::max(box.x1, p.x),
           std::max(box.y1, p.y)};
  }
  return box;
}

double area_of(const Outline& outline) {
  double twice = 0.0;
  for (std::size_t i = 0; i < outline.size(); ++i) {
    const Point& a = outline[i];
    const Point& b = outline[(i + 1) % outline.size()];
    twice += a.x * b.y - b.x * a.y;
  }
  return twice / 2;
}

double cross(Point o, Point a, Point b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool edges_cross(Point a, Point b, Point c, Point d) {
  const double d1 = cross(c, d, a);
  const double d2 = cross(c, d, b);
  const double d3 = cross(a, b, c);
  const double d4 = cross(a, b, d);
  return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0)) && d1 != 0 && d2 != 0 && d3 != 0 &&
         d4 != 0;
}

// Counter-clockwise, no edge shorter than a nanometre, no two edges that
// are not neighbours crossing or touching.
void expect_simple_and_counter_clockwise(const Outline& outline) {
  ASSERT_GE(outline.size(), 4u);
  EXPECT_GT(area_of(outline), 0.0);
  const std::size_t n = outline.size();
  for (std::size_t i = 0; i < n; ++i) {
    const Point a = outline[i];
    const Point b = outline[(i + 1) % n];
    ASSERT_GT(std::hypot(b.x - a.x, b.y - a.y), 1e-9 / 25.4) << "edge " << i;
    for (std::size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) continue;
      ASSERT_FALSE(edges_cross(a, b, outline[j], outline[(j + 1) % n]))
          << "edges " << i << " and " << j;
    }
  }
}

bool strip_a(PortRole role) {
  return role == PortRole::input || role == PortRole::through;
}
bool at_minus_x(PortRole role) {
  return role == PortRole::input || role == PortRole::coupled;
}

// Where each strip and each lead lies among the layers' outlines.
const Outline& strip_outline(const Artwork& artwork, const ArtworkInputs& in, std::size_t section,
                             bool a) {
  if (in.one_above_the_other) return artwork.layers[a ? 0 : 1].outlines[section];
  return artwork.layers[0].outlines[2 * section + (a ? 0 : 1)];
}

const Outline& lead_outline(const Artwork& artwork, const ArtworkInputs& in, PortRole role) {
  const std::size_t n = in.sections.size();
  const auto r = static_cast<std::size_t>(role);
  if (!in.one_above_the_other) return artwork.layers[0].outlines[2 * n + r];
  return strip_a(role) ? artwork.layers[0].outlines[n + r] : artwork.layers[1].outlines[n + r - 2];
}

// The points of an outline on the vertical line x (its end faces).
std::vector<Point> on_line(const Outline& outline, double x) {
  std::vector<Point> points;
  for (const Point& p : outline) {
    if (std::abs(p.x - x) < kExact) points.push_back(p);
  }
  return points;
}

// The two edges that end on the face at x, their lengths averaged: the
// centre line's straight there (a mitre's edges differ from it equally).
double straight_into(const Outline& outline, double x) {
  const std::size_t n = outline.size();
  double total = 0.0;
  int edges = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const Point a = outline[i];
    const Point b = outline[(i + 1) % n];
    const bool a_on = std::abs(a.x - x) < kExact;
    const bool b_on = std::abs(b.x - x) < kExact;
    if (a_on != b_on) {
      total += std::hypot(b.x - a.x, b.y - a.y);
      ++edges;
    }
  }
  EXPECT_EQ(edges, 2);
  return total / 2;
}

double distance_to_segment(Point p, Point a, Point b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double along =
      std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(p.x - a.x - along * dx, p.y - a.y - along * dy);
}

double distance_to_chain(Point p, const std::vector<Point>& chain) {
  double nearest = 1e300;
  for (std::size_t i = 1; i < chain.size(); ++i) {
    nearest = std::min(nearest, distance_to_segment(p, chain[i - 1], chain[i]));
  }
  return nearest;
}

// A lead's two edges: the outline's runs from one end face to the other.
std::pair<std::vector<Point>, std::vector<Point>> edges_of(const Outline& outline, double face,
                                                           double pad) {
  const std::size_t n = outline.size();
  auto on = [&](std::size_t i, double x) { return std::abs(outline[i % n].x - x) < kExact; };
  std::size_t start = 0;  // the last face vertex before the run to the pad
  while (!(on(start, face) && !on(start + 1, face))) ++start;
  std::vector<Point> first;
  std::size_t i = start;
  for (; !on(i, pad); ++i) first.push_back(outline[i % n]);
  first.push_back(outline[i % n]);
  while (on(i + 1, pad)) ++i;
  std::vector<Point> second;
  for (; !on(i, face); ++i) second.push_back(outline[i % n]);
  second.push_back(outline[i % n]);
  return {first, second};
}

class ArtworkTest : public ::testing::TestWithParam<ArtworkCase> {
 protected:
  [[nodiscard]] static const ArtworkInputs& in() { return GetParam().inputs; }
  Artwork artwork = make_artwork(GetParam().inputs);
};

// Catches strips of the wrong width, gap or offset, sections that overlap
// or leave a slit between them, a whole not centred on x = 0, a strip on
// the wrong layer.
TEST_P(ArtworkTest, SectionsHaveTheirWidthsGapsAndLengthsAndAbut) {
  ASSERT_EQ(artwork.layers.size(), in().one_above_the_other ? 2u : 1u);
  double total = 0.0;
  for (const SectionShape& section : in().sections) total += section.length;
  EXPECT_NEAR(artwork.coupled_length, total, kExact);
  double x = -total / 2;
  for (std::size_t i = 0; i < in().sections.size(); ++i) {
    const SectionShape& section = in().sections[i];
    const Box a = box_of(strip_outline(artwork, in(), i, true));
    const Box b = box_of(strip_outline(artwork, in(), i, false));
    for (const Box& strip : {a, b}) {
      EXPECT_NEAR(strip.x0, x, kExact);
      EXPECT_NEAR(strip.x1 - strip.x0, section.length, kExact);
      EXPECT_NEAR(strip.y1 - strip.y0, section.w, kExact);
    }
    if (in().one_above_the_other) {
      EXPECT_NEAR((a.y0 + a.y1) / 2 - (b.y0 + b.y1) / 2, section.wo, kExact);
      EXPECT_NEAR((a.y0 + a.y1) / 2, section.wo / 2, kExact);
    } else {
      EXPECT_NEAR(a.y0 - b.y1, section.s, kExact);
      EXPECT_NEAR(a.y0, section.s / 2, kExact);
    }
    expect_simple_and_counter_clockwise(strip_outline(artwork, in(), i, true));
    x += section.length;
  }
}

// Catches a lead that starts off the strip's edge or centre line, reaches
// into the coupled section, turns toward its neighbour, stops short of or
// beyond the lead spacing, or whose last straight is not the lead length.
TEST_P(ArtworkTest, LeadsLeaveTheFaceAndRunParallelAtTheLeadSpacing) {
  const double half = artwork.coupled_length / 2;
  std::map<PortRole, Box> at_pad;
  for (int r = 0; r < kPortCount; ++r) {
    const auto role = static_cast<PortRole>(r);
    const double width = in().feed_width[static_cast<std::size_t>(r)];
    const Outline& lead = lead_outline(artwork, in(), role);
    expect_simple_and_counter_clockwise(lead);
    const double face = at_minus_x(role) ? -half : half;
    const SectionShape& end = at_minus_x(role) ? in().sections.front() : in().sections.back();
    const Box junction = box_of(on_line(lead, face));
    EXPECT_NEAR(junction.y1 - junction.y0, width, kExact) << "width at the face";
    const double sign = strip_a(role) ? 1.0 : -1.0;
    if (in().one_above_the_other) {
      EXPECT_NEAR(sign * (junction.y0 + junction.y1) / 2, end.wo / 2, kExact);
    } else {
      EXPECT_NEAR(strip_a(role) ? junction.y0 : -junction.y1, end.s / 2, kExact);
    }
    for (const Point& p : lead) EXPECT_GE(std::abs(p.x), half - 1e-15) << "inside the section";
    const Pad& pad = artwork.pads[static_cast<std::size_t>(r)];
    const Box end_face = box_of(on_line(lead, pad.centre.x));
    EXPECT_NEAR(end_face.y1 - end_face.y0, width, kExact) << "width at the pad";
    EXPECT_NEAR((end_face.y0 + end_face.y1) / 2, pad.centre.y, kExact);
    EXPECT_GE(sign * ((end_face.y0 + end_face.y1) / 2 - (junction.y0 + junction.y1) / 2), -kExact)
        << "turned toward its neighbour";
    EXPECT_NEAR(straight_into(lead, pad.centre.x), in().lead_length, kExact);
    at_pad[role] = end_face;
  }
  for (int side = 0; side < 2; ++side) {
    const Box a = at_pad[side == 0 ? PortRole::input : PortRole::through];
    const Box b = at_pad[side == 0 ? PortRole::coupled : PortRole::isolated];
    const SectionShape& end = side == 0 ? in().sections.front() : in().sections.back();
    const double spacing = in().lead_spacing[static_cast<std::size_t>(side)];
    const double apart =
        in().one_above_the_other ? (a.y0 + a.y1) / 2 - (b.y0 + b.y1) / 2 : a.y0 - b.y1;
    const double already = in().one_above_the_other ? end.wo : end.s;
    EXPECT_NEAR(apart, std::max(spacing, already), kExact) << "end " << side;
  }
}

// The centre line's length worked from the inputs: a mitre's first straight
// (w/2 tan 22.5 degrees), diagonal and lead length; arcs of radius 2 w
// through 45 degrees (less where they need not rise that far) and the
// diagonal between them.
double worked_lead_out(const ArtworkInputs& in, PortRole role) {
  const double width = in.feed_width[static_cast<std::size_t>(role)];
  const SectionShape& end = at_minus_x(role) ? in.sections.front() : in.sections.back();
  const double apart = in.one_above_the_other ? end.wo : end.s;
  const double rise = (in.lead_spacing[at_minus_x(role) ? 0 : 1] - apart) / 2;
  if (rise <= 0) return in.lead_length;
  if (in.bend == Bend::mitre) {
    return width / 2 * std::tan(std::numbers::pi / 8) + rise * std::sqrt(2.0) + in.lead_length;
  }
  const double radius = 2 * width;
  const double full_rise = 2 * radius * (1 - std::cos(std::numbers::pi / 4));
  if (rise < full_rise) return 2 * radius * std::acos(1 - rise / (2 * radius)) + in.lead_length;
  return 2 * radius * std::numbers::pi / 4 + (rise - full_rise) * std::sqrt(2.0) + in.lead_length;
}

// Catches a lead-out length that is not the drawn centre line's (a bend's
// or the diagonal's length miscounted) and mitre joins that are not true
// offsets: a mitred lead's area is its width times its centre line exactly,
// an arc's falls short by no more than its chords cut off.  And catches a
// bend of the wrong radius, or a diagonal of the wrong length.
TEST_P(ArtworkTest, LeadAreaIsWidthTimesLeadOutLength) {
  for (int r = 0; r < kPortCount; ++r) {
    const auto role = static_cast<PortRole>(r);
    const double width = in().feed_width[static_cast<std::size_t>(r)];
    const double length = artwork.lead_out_length[static_cast<std::size_t>(r)];
    const double area = area_of(lead_outline(artwork, in(), role));
    EXPECT_NEAR(length, worked_lead_out(in(), role), kExact) << "port role " << r;
    if (in().bend == Bend::mitre) {
      EXPECT_NEAR(area, width * length, 1e-12 * width * length) << "port role " << r;
    } else {
      EXPECT_LE(area, width * length + 1e-15) << "port role " << r;
      EXPECT_GE(area, width * length - width * kArcSagitta) << "port role " << r;
    }
  }
}

// Catches a bend that narrows or widens its line: a corner offset along the
// wrong direction, an arc's inner edge not concentric, chords too coarse.
// Every vertex of each edge stands the feed width off the other edge (to
// 0.1 um), or at a mitre's outer corner no more than the corner's diagonal.
TEST_P(ArtworkTest, FeedLinesKeepTheirWidthThroughTheBends) {
  constexpr double kTenthMicron = 1e-4 / 25.4;
  const double half = artwork.coupled_length / 2;
  for (int r = 0; r < kPortCount; ++r) {
    const auto role = static_cast<PortRole>(r);
    const double width = in().feed_width[static_cast<std::size_t>(r)];
    const double widest = in().bend == Bend::mitre ? width / std::cos(std::numbers::pi / 8) : width;
    const auto [one, other] =
        edges_of(lead_outline(artwork, in(), role), at_minus_x(role) ? -half : half,
                 artwork.pads[static_cast<std::size_t>(r)].centre.x);
    for (const auto& [edge, opposite] : {std::pair{one, other}, std::pair{other, one}}) {
      for (const Point& p : edge) {
        const double across = distance_to_chain(p, opposite);
        EXPECT_GE(across, width - kTenthMicron) << "port role " << r;
        EXPECT_LE(across, widest + kTenthMicron) << "port role " << r;
      }
    }
  }
}

// Catches pads numbered by role instead of by the port they stand for, on
// the wrong layer, or not the feed line's width.
TEST_P(ArtworkTest, PadsCarryThePortNumbersOnTheirLinesLayers) {
  ASSERT_EQ(artwork.pads.size(), static_cast<std::size_t>(kPortCount));
  for (int r = 0; r < kPortCount; ++r) {
    const Pad& pad = artwork.pads[static_cast<std::size_t>(r)];
    const auto role = static_cast<PortRole>(r);
    EXPECT_EQ(pad.role, role);
    EXPECT_EQ(pad.number, in().port_number[static_cast<std::size_t>(r)]);
    EXPECT_EQ(pad.layer, in().one_above_the_other && !strip_a(role) ? 1 : 0);
    EXPECT_EQ(pad.size_x, in().feed_width[static_cast<std::size_t>(r)]);
    EXPECT_EQ(pad.size_y, pad.size_x);
    EXPECT_EQ(pad.centre.x < 0, at_minus_x(role));
  }
}

// Catches a dimension missing, misnamed or drawn between the wrong points.
TEST_P(ArtworkTest, DimensionsMeasureWhatTheyName) {
  std::map<std::string, double> expected;
  const bool one = in().one_above_the_other;
  for (std::size_t i = 0; i < in().sections.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    const SectionShape& section = in().sections[i];
    expected["W" + n] = section.w;
    expected[(one ? "WO" : "S") + n] = one ? section.wo : section.s;
    expected["L" + n] = section.length;
  }
  for (int r = 0; r < kPortCount; ++r) {
    expected["WF" + std::to_string(in().port_number[static_cast<std::size_t>(r)])] =
        in().feed_width[static_cast<std::size_t>(r)];
  }
  expected["LL"] = in().lead_length;
  const double already = one ? in().sections.front().wo : in().sections.front().s;
  const double already_at_end = one ? in().sections.back().wo : in().sections.back().s;
  const std::string spacing = one ? "D" : "G";
  if (in().lead_spacing[0] > already) expected[spacing] = in().lead_spacing[0];
  if (in().lead_spacing[1] > already_at_end && in().lead_spacing[1] != in().lead_spacing[0]) {
    expected[spacing + (expected.contains(spacing) ? "2" : "")] = in().lead_spacing[1];
  }
  std::map<std::string, double> measured;
  for (const Dimension& dimension : artwork.dimensions) {
    measured[dimension.label] =
        std::hypot(dimension.to.x - dimension.from.x, dimension.to.y - dimension.from.y);
  }
  for (const auto& [label, length] : expected) {
    ASSERT_TRUE(measured.contains(label)) << label;
    EXPECT_NEAR(measured[label], length, kExact) << label;
  }
}

// The picture's key: a line per section with its W, S or WO and L, then
// the feed lines' values, each dimension's value once.  Catches a feed
// line's dimension taken for a section's (the second end's spacing G2 or D2
// read as section 2) and a value left out of the key or given twice.
TEST_P(ArtworkTest, PictureKeyHasALinePerSectionThenTheFeeds) {
  std::map<std::string, std::string> labels;
  for (const Dimension& d : artwork.dimensions) labels[d.label] = d.label + " = v";
  const std::string script = picture_script(artwork, labels, {"title"}, "set terminal svg", "p");
  const std::size_t at = script.find("\" at graph 0.5, graph 0");
  ASSERT_NE(at, std::string::npos);
  const std::size_t start = script.rfind("set label \"", at) + 11;
  std::vector<std::string> lines;
  for (std::size_t from = start;;) {
    const std::size_t end = std::min(script.find("\\n", from), at);
    lines.push_back(script.substr(from, end - from));
    if (end == at) break;
    from = end + 2;
  }
  // Line i (from 0) holds section i + 1's dimensions and nothing else; the
  // feed lines' lines hold none of a section's.
  const std::size_t sections = in().sections.size();
  ASSERT_GT(lines.size(), sections);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    const std::set<std::string> own =
        i < sections ? std::set<std::string>{"W" + n, "S" + n, "WO" + n, "L" + n}
                     : std::set<std::string>{};
    std::size_t from = 0;
    for (std::size_t comma = 0; comma != std::string::npos; from = comma + 2) {
      comma = lines[i].find(", ", from);
      const std::string item = lines[i].substr(from, comma - from);
      const std::string label = item.substr(0, item.find(" = "));
      const bool of_a_section = label.find_first_of("0123456789") != std::string::npos &&
                                label.rfind("WF", 0) != 0 && label.rfind("G", 0) != 0 &&
                                label.rfind("D", 0) != 0;
      EXPECT_EQ(own.contains(label), i < sections) << lines[i];
      if (i >= sections) {
        EXPECT_FALSE(of_a_section) << lines[i];
      }
    }
  }
  for (const Dimension& d : artwork.dimensions) {
    const std::string value = d.label + " = v";
    std::size_t count = 0;
    for (const std::string& line : lines) {
      for (std::size_t p = line.find(value); p != std::string::npos; p = line.find(value, p + 1)) {
        const bool whole = (p == 0 || line[p - 1] == ' ') &&
                           (p + value.size() == line.size() || line[p + value.size()] == ',');
        count += whole ? 1 : 0;
      }
    }
    EXPECT_EQ(count, 1U) << d.label;
  }
}

// Catches NaN, crossing outlines or edges that vanish at the files'
// nanometre grid where the geometry changes form: no rise, rises about
// the file grid, arcs that just do or just do not reach 45 degrees, feed
// lines far narrower or wider than their strips, the shortest lead.
TEST(ArtworkThresholds, OutlinesStaySimpleAndFiniteOnTheFileGrid) {
  constexpr double kNanometre = 1e-6 / 25.4;
  const double w = 0.02;
  const double full_arc_rise = 2 * 2 * w * (1 - std::cos(std::numbers::pi / 4));
  for (const bool stacked : {false, true}) {
    for (const Bend bend : {Bend::mitre, Bend::arc}) {
      for (const double feed : {0.3 * w, w, 3 * w}) {
        const double full = full_arc_rise * feed / w;
        for (const double rise : {0.0, 0.3 * kNanometre, 1.3 * kNanometre, 2.5 * kNanometre,
                                  full * (1 - 1e-12), full, full * (1 + 1e-12), 0.5}) {
          for (const double lead : {3 * w / 2, 1.0}) {
            ArtworkInputs in;
            in.one_above_the_other = stacked;
            in.sections = {{0.4, w, 0.004, 0.006}};
            in.feed_width = {feed, feed, feed, feed};
            const double apart = stacked ? 0.006 : 0.004;
            in.lead_spacing = {apart + 2 * rise, apart + 2 * rise};
            in.lead_length = lead;
            in.bend = bend;
            const Artwork artwork = make_artwork(in);
            for (const CopperLayer& layer : artwork.layers) {
              for (const Outline& outline : layer.outlines) {
                SCOPED_TRACE(::testing::Message()
                             << "stacked " << stacked << " bend " << static_cast<int>(bend)
                             << " feed " << feed << " rise " << rise << " lead " << lead);
                expect_simple_and_counter_clockwise(outline);
                for (std::size_t i = 0; i < outline.size(); ++i) {
                  const Point a = outline[i];
                  const Point b = outline[(i + 1) % outline.size()];
                  ASSERT_TRUE(std::isfinite(a.x) && std::isfinite(a.y));
                  ASSERT_FALSE(std::llround(a.x / kNanometre) == std::llround(b.x / kNanometre) &&
                               std::llround(a.y / kNanometre) == std::llround(b.y / kNanometre))
                      << "edge " << i << " vanishes on the grid";
                }
              }
            }
          }
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ArtworkTest, ::testing::ValuesIn(testing::artwork_cases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace ketrovane::layout
