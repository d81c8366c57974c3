// The coupled length the diverging feed lines add at each end: against the
// straight run it must equal, against an independent walk over the copper
// the artwork draws, its convergence as the legs run further apart, and
// the sections that compensation shortens.
#include "design/junction_length.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
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
// twice, and the integral taken over anything but the distance along x:
// legs that never part couple exactly as much as the section over their
// run.
TEST(JunctionLength, LegsThatNeverPartCoupleTheirStraightLength) {
  struct Case {
    std::string name;
    StripPair pair;
    double gap;
  };
  const Case cases[] = {
      {"side by side", side_by_side(0.0248F, 0.0064F), 0.0064F},
      {"one above the other", one_above_the_other(0.03F, 0.008F, 0.01F), 0.01F},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const double gap = c.gap;
    const std::vector<LegStretch> straight = {{0.01, [gap](double) { return gap; }},
                                              {0.025, [gap](double) { return gap; }}};
    const JunctionLength j = coupled_length_along(c.pair, c.pair.x.w, straight);
    ASSERT_TRUE(j.length) << j.message;
    EXPECT_NEAR(*j.length, 0.035, 1e-12);
  }
}

// The facing edge of the input port's feed line on the copper drawn: the
// lowest y of its outline at a distance u out from the section's end face.
double facing_edge(const layout::Outline& lead, double face, double u) {
  const double x = face - u;
  double lowest = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < lead.size(); ++i) {
    const layout::Point a = lead[i];
    const layout::Point b = lead[(i + 1) % lead.size()];
    if ((a.x - x) * (b.x - x) > 0 || a.x == b.x) continue;
    lowest = std::min(lowest, a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x));
  }
  return lowest;
}

// The legs' coupled length walked independently: the gap read off the
// artwork's outlines at fine steps, the field's coupling at each, summed
// by trapezoids until the gap is the lead spacing.
double walked_on_the_copper(const StripPair& pair, double feed, double spacing, layout::Bend bend) {
  layout::ArtworkInputs in;
  in.sections = {{.length = 0.5, .w = pair.x.w, .s = pair.x.s}};
  in.feed_width.fill(feed);
  in.lead_spacing.fill(spacing);
  in.lead_length = 0.1;
  in.bend = bend;
  const layout::Artwork art = layout::make_artwork(in);
  const layout::Outline& input_lead = art.layers[0].outlines[2];  // after the section's two strips
  const LeadPair leads{pair, feed, 0.0F};
  const auto k = [&](double gap) { return std::pow(10.0, *lead_coupling_db(leads, gap) / 20.0); };
  const double k_section = std::pow(10.0, *lead_coupling_db({pair, pair.x.w, 0.0F}, pair.x.s) / 20);
  constexpr double kStep = 0.1e-3;
  double sum = 0.0;
  double before = k(pair.x.s);
  for (double u = kStep;; u += kStep) {
    const double gap = std::min(2 * facing_edge(input_lead, -0.25, u), spacing);
    const double now = k(gap);
    sum += kStep * (before + now) / 2;
    before = now;
    if (gap >= spacing) break;
  }
  return sum / k_section;
}

// Catches a wrong geometry of the legs: the mitre's corner on the centre
// line instead of the facing edge, the gap growing by one leg's move
// instead of both, an arc's radius or the outer and inner edge radii
// swapped, a diagonal's slope, the walk stopping short of the spacing or
// running past it; and a quadrature that has not converged.
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

// Catches, one above the other, the mitre's corner put at the facing edge
// (the strips do not face each other sideways: the centre line turns) and
// the centre lines' distance growing by one leg's move: against the corner
// at W/2 tan 22.5 degrees and half the integral over the distance D of
// k(D) dD / k(WO), by trapezoids.
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
  const double expected = feed / 2 * std::tan(std::numbers::pi / 8) + sum / 2 / k(wo);
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
