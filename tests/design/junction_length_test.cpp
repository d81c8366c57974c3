// The coupled length the diverging feed lines add at each end: against legs
// at a fixed gap and angle, against an independent walk along the centre
// line of the copper the artwork draws, one above the other, its
// convergence as the legs run further apart, and the sections that
// compensation shortens.
#include "design/junction_length.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "design/artwork_plan.hpp"

namespace ketrovane {
namespace {

constexpr Board kBoard{.b = 0.062F, .t = 0.00137F, .er = 3.66F};

StripPair side_by_side(float w, float s) {
  return StripPair(CrossSection{kBoard, w, s});
}

StripPair one_above_the_other(float w, float sv, float wo) {
  return {CrossSection{kBoard, w, 0.0F},
          Placement{.arrangement = Arrangement::broadside, .sv = sv, .wo = wo}};
}

// Catches the integral divided by a coupling other than the section's own
// (the feed's, or one solved at another gap), a stretch dropped or counted
// twice, and the direction taken wrongly: legs that never part couple as
// much as the section over their run, and legs running 45 degrees off x,
// at right angles to each other, half as much per unit of their path (the
// capacitive half of k whole, the inductive half gone), over a path
// sqrt(2) times their reach along x.  The inductive half kept, the whole k
// scaled by the cosine, or the integral taken over x instead of the path
// each miss the second.
TEST(JunctionLength, LegsAtAFixedGapCoupleByTheirAngleOverTheirPath) {
  struct Case {
    std::string name;
    StripPair pair;
    double gap;
    double angle;
    double length;
  };
  const double across = std::numbers::pi / 4;
  const Case cases[] = {
      {"side by side, parallel", side_by_side(0.0248F, 0.0064F), 0.0064F, 0.0, 0.035},
      {"one above the other, parallel", one_above_the_other(0.03F, 0.008F, 0.01F), 0.01F, 0.0,
       0.035},
      {"side by side, at right angles", side_by_side(0.0248F, 0.0064F), 0.0064F, across,
       0.035 * std::numbers::sqrt2 / 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const double gap = c.gap;
    const double angle = c.angle;
    const auto at_gap = [gap](double) { return gap; };
    const auto at_angle = [angle](double) { return angle; };
    const std::vector<LegStretch> stretches = {{0.01, at_gap, at_angle}, {0.025, at_gap, at_angle}};
    const JunctionLength j = coupled_length_along(c.pair, c.pair.x.w, stretches);
    ASSERT_TRUE(j.length) << j.message;
    EXPECT_NEAR(*j.length, c.length, 1e-12);
  }
}

// A point across the input port's feed line on the board, in its own frame:
// u out from the section's end face (at x = face, the line running to -x),
// v across (y).
struct Local {
  double u;
  double v;
};

// The outer edge (away from its twin) of the input port's feed line on the
// copper drawn, from the end face (at x = face) to the pad's end.
std::vector<Local> outer_edge_drawn(const layout::Outline& lead, double face) {
  std::vector<Local> p;
  for (const layout::Point& q : lead) p.push_back({face - q.x, q.y});
  const std::size_t n = p.size();
  if (n < 4) return {};
  const auto on_face = [&](std::size_t i) { return std::fabs(p[i].u) < 1e-12; };
  double far_u = 0.0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < n; ++i) {
    far_u = std::max(far_u, p[i].u);
    if (on_face(i) && (!on_face(start) || p[i].v > p[start].v)) start = i;
  }
  // Away from the face's other corner, round to the pad's end.
  const std::size_t step = on_face((start + 1) % n) ? n - 1 : 1;
  std::vector<Local> edge{p[start]};
  for (std::size_t i = (start + step) % n; edge.back().u < far_u - 1e-12; i = (i + step) % n) {
    edge.push_back(p[i]);
  }
  return edge;
}

// The centre line of a feed line `width` wide recovered from its outer
// edge: each straight run of the edge offset half a width toward the twin,
// consecutive offsets joined where they meet, from the middle of the end
// face to the pad's end.  A mitre's inner corner, on the outer edge, stays
// on the face; the centre line turns where that edge's diagonal, offset,
// meets the face's straight.
std::vector<Local> centre_line_of(const std::vector<Local>& edge, double width) {
  if (edge.size() < 2) return {};
  // Lines as a point and a direction: the face's straight, then each offset.
  std::vector<std::pair<Local, Local>> lines{{{0.0, edge.front().v - width / 2}, {1.0, 0.0}}};
  for (std::size_t i = 1; i < edge.size(); ++i) {
    const double du = edge[i].u - edge[i - 1].u;
    const double dv = edge[i].v - edge[i - 1].v;
    const double length = std::hypot(du, dv);
    const Local toward_twin{dv / length * width / 2, -du / length * width / 2};
    lines.push_back({{edge[i].u + toward_twin.u, edge[i].v + toward_twin.v}, {du, dv}});
  }
  std::vector<Local> centre{lines.front().first};
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const auto& [a, da] = lines[i - 1];
    const auto& [b, db] = lines[i];
    const double cross = da.u * db.v - da.v * db.u;
    if (std::fabs(cross) < 1e-12 * std::hypot(da.u, da.v) * std::hypot(db.u, db.v)) continue;
    const double t = ((b.u - a.u) * db.v - (b.v - a.v) * db.u) / cross;
    centre.push_back({a.u + t * da.u, a.v + t * da.v});
  }
  const auto& [last, along] = lines.back();
  const double end = edge.back().u;
  centre.push_back({end, last.v + (end - last.u) * along.v / along.u});
  return centre;
}

// The legs' coupled length walked independently: the centre line read off
// the artwork's outline, at fine steps along x the gap between two feed
// lines on it and its mirror (twice its distance from the axis less a
// width), the field's coupling there by (1 + cos of the legs' angle to
// each other)/2 per unit of path, 1/cos of a leg's angle off x per unit x,
// summed at the middles of the steps until the gap is the lead spacing.
double walked_on_the_copper(const StripPair& pair, double feed, double spacing, layout::Bend bend) {
  layout::ArtworkInputs in;
  in.sections = {{.length = 0.5, .w = pair.x.w, .s = pair.x.s}};
  in.feed_width.fill(feed);
  in.lead_spacing.fill(spacing);
  in.lead_length = 0.1;
  in.bend = bend;
  const layout::Artwork art = layout::make_artwork(in);
  const layout::Outline& input_lead = art.layers[0].outlines[2];  // after the section's two strips
  const std::vector<Local> centre = centre_line_of(outer_edge_drawn(input_lead, -0.25), feed);
  if (centre.size() < 2) return 0.0;
  const LeadPair leads{pair, feed, 0.0F};
  const auto k = [&](double gap) { return std::pow(10.0, *lead_coupling_db(leads, gap) / 20.0); };
  const double k_section = std::pow(10.0, *lead_coupling_db({pair, pair.x.w, 0.0F}, pair.x.s) / 20);
  constexpr double kStep = 0.1e-3;
  double sum = 0.0;
  std::size_t i = 1;
  for (int step = 0;; ++step) {
    const double u = (step + 0.5) * kStep;
    if (u >= centre.back().u) break;
    while (centre[i].u < u) ++i;
    const Local a = centre[i - 1];
    const Local b = centre[i];
    const double gap = 2 * (a.v + (b.v - a.v) * (u - a.u) / (b.u - a.u)) - feed;
    if (gap >= spacing * (1 - 1e-9)) break;
    const double theta = std::atan2(b.v - a.v, b.u - a.u);
    sum += kStep * k(gap) * (1 + std::cos(2 * theta)) / 2 / std::cos(theta);
  }
  return sum / k_section;
}

// Catches a wrong geometry of the legs: the mitre's corner at the facing
// edge's corner (the copper's outer corner) instead of the centre line's,
// the gap growing by one leg's move instead of both, an arc's radius taken
// at an edge instead of the centre line, a diagonal's slope, an arc's
// angle run the wrong way through a turn, the walk stopping short of the
// spacing or running past it; and a quadrature that has not converged.
TEST(JunctionLength, AgreesWithAWalkOverTheCopperDrawn) {
  struct Case {
    std::string name;
    double feed;
    layout::Bend bend;
  };
  const StripPair pair = side_by_side(0.0248F, 0.0064F);
  const Case cases[] = {
      {"mitre, the section's width", 0.0248, layout::Bend::mitre},
      {"mitre, a wider feed", 0.03093, layout::Bend::mitre},
      {"arc, a wider feed", 0.03093, layout::Bend::arc},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const double spacing = *lead_spacing({pair, c.feed, 40.0F}).spacing;
    const JunctionLength j = junction_length({pair, c.feed, spacing, c.bend});
    ASSERT_TRUE(j.length) << j.message;
    const double walked = walked_on_the_copper(pair, c.feed, spacing, c.bend);
    EXPECT_NEAR(*j.length, walked, 2e-3 * walked);
    EXPECT_LT(j.error, 1e-4 * kBoard.b);
  }
}

// Catches, one above the other, the mitre's corner put anywhere but the
// centre line's, the centre lines' distance growing by one leg's move, and
// the diagonal's direction left out: against the corner at W/2 tan 22.5
// degrees and half the integral over the distance D of k(D) dD / k(WO), by
// trapezoids, times what is left of k at right angles, half of it per unit
// of path, over sqrt(2) of path per unit x.
TEST(JunctionLength, OneAboveTheOtherIsTheCentreLinesCornerAndHalfTheIntegralOverTheOffset) {
  const StripPair pair = one_above_the_other(0.03F, 0.008F, 0.01F);
  const double wo = pair.placement.wo;
  const double feed = pair.x.w;
  const double spacing = *lead_spacing({pair, feed, 40.0F}).spacing;
  const JunctionLength j = junction_length({pair, feed, spacing, layout::Bend::mitre});
  ASSERT_TRUE(j.length) << j.message;
  const LeadPair leads{pair, feed, 0.0F};
  const auto k = [&](double d) { return std::pow(10.0, *lead_coupling_db(leads, d) / 20.0); };
  constexpr int kSteps = 100;
  const double step = (spacing - wo) / kSteps;
  double sum = 0.0;
  double before = k(wo);
  for (int i = 1; i <= kSteps; ++i) {
    const double now = k(wo + i * step);
    sum += step * (before + now) / 2;
    before = now;
  }
  const double at_right_angles = (1 + std::cos(std::numbers::pi / 2)) / 2 * std::numbers::sqrt2;
  const double expected =
      feed / 2 * std::tan(std::numbers::pi / 8) + at_right_angles * sum / 2 / k(wo);
  EXPECT_NEAR(*j.length, expected, 1e-3 * expected);
}

// Catches a walk whose length does not settle as the legs run further
// apart (a tail counted wrongly, or a quadrature tolerance that grows with
// the reach), and one end's length found with the other end's feed.
TEST(JunctionLength, SettlesAsTheLegsRunFurtherApartAndIsTheSameAtEqualEnds) {
  const StripPair pair = side_by_side(0.0248F, 0.0064F);
  std::vector<double> lengths;
  for (const float isolation : {40.0F, 50.0F, 60.0F}) {
    const double spacing = *lead_spacing({pair, 0.03093, isolation}).spacing;
    lengths.push_back(*junction_length({pair, 0.03093, spacing, layout::Bend::mitre}).length);
  }
  EXPECT_LT(std::fabs(lengths[2] - lengths[1]), std::fabs(lengths[1] - lengths[0]));
  EXPECT_LT(std::fabs(lengths[2] - lengths[1]), 5e-3 * lengths[2]);
  ArtworkDesign d;
  d.sections = {{pair, 0.77}};
  d.source_feed = {0.03093, 50.0, 3.66};
  d.load_feed = d.source_feed;
  d.lead_length = 0.1;
  d.compensate = true;
  const PlannedArtwork planned = plan_artwork(d);
  ASSERT_TRUE(planned.plan) << planned.message;
  const Compensation& c = *planned.plan->compensation;
  EXPECT_EQ(*c.ends[0].length, *c.ends[1].length);
  EXPECT_EQ(*c.ends[0].length, lengths[0]);
}

// Catches the wrong section shortened (a middle one, or the first by the
// +x end's length), the ends swapped, a single section shortened by one
// end only, the drawn inputs left at the designed lengths, and a plan
// without compensation touched.
TEST(PlanArtwork, CompensationShortensTheEndSectionsByTheirOwnEnds) {
  ArtworkDesign d;
  d.sections = {{side_by_side(0.04F, 0.012F), 0.5},
                {side_by_side(0.03F, 0.004F), 0.55},
                {side_by_side(0.046F, 0.02F), 0.6}};
  d.source_feed = {0.046, 50.0, 3.66};
  d.load_feed = {0.02, 75.0, 3.66};
  d.lead_length = 0.1;
  d.isolation_db = 30.0F;
  const PlannedArtwork plain = plan_artwork(d);
  ASSERT_TRUE(plain.plan);
  EXPECT_FALSE(plain.plan->compensation);
  EXPECT_EQ(plain.plan->inputs.sections[0].length, 0.5);
  d.compensate = true;
  const PlannedArtwork planned = plan_artwork(d);
  ASSERT_TRUE(planned.plan) << planned.message;
  const layout::ArtworkInputs& in = planned.plan->inputs;
  const Compensation& c = *planned.plan->compensation;
  const double source_end =
      *junction_length({d.sections[0].pair, 0.046, in.lead_spacing[0], d.bend}).length;
  const double load_end =
      *junction_length({d.sections[2].pair, 0.02, in.lead_spacing[1], d.bend}).length;
  EXPECT_NE(source_end, load_end);
  EXPECT_EQ(in.sections[0].length, 0.5 - source_end);
  EXPECT_EQ(in.sections[1].length, 0.55);
  EXPECT_EQ(in.sections[2].length, 0.6 - load_end);
  EXPECT_EQ(c.designed, (std::vector<double>{0.5, 0.55, 0.6}));
  d.sections = {d.sections[0]};
  d.load_feed = d.source_feed;
  const PlannedArtwork single = plan_artwork(d);
  ASSERT_TRUE(single.plan) << single.message;
  const Compensation& s = *single.plan->compensation;
  EXPECT_EQ(single.plan->inputs.sections[0].length, 0.5 - *s.ends[0].length - *s.ends[1].length);
}

// Catches a coupler whose legs couple more than its section is long drawn
// with no length (or a negative one) instead of failing the plan.
TEST(PlanArtwork, CompensationLongerThanTheSectionFailsThePlan) {
  ArtworkDesign d;
  d.sections = {{side_by_side(0.0248F, 0.0064F), 0.01}};
  d.source_feed = {0.03093, 50.0, 3.66};
  d.load_feed = d.source_feed;
  d.lead_length = 0.1;
  d.compensate = true;
  const PlannedArtwork planned = plan_artwork(d);
  EXPECT_FALSE(planned.plan);
  EXPECT_TRUE(planned.by_compensation);
  EXPECT_NE(planned.message.find("section 1"), std::string::npos);
}

}  // namespace
}  // namespace ketrovane
