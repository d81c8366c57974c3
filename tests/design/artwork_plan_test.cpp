// What the artwork is drawn from: the feed lines' spacing on the field
// solution, and the coupler's sections, feeds and port numbers handed to
// the geometry.
#include "design/artwork_plan.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace ketrovane {
namespace {

using layout::PortRole;

constexpr Board kBoard{.b = 0.062F, .t = 0.00137F, .er = 3.66F};

StripPair side_by_side(float w, float s) {
  return StripPair(CrossSection{kBoard, w, s});
}

StripPair off_centre(float w, float s, float h) {
  return {CrossSection{kBoard, w, s}, Placement{.arrangement = Arrangement::edge_offset, .h = h}};
}

StripPair one_above_the_other(float w, float sv, float wo) {
  return {CrossSection{kBoard, w, 0.0F},
          Placement{.arrangement = Arrangement::broadside, .sv = sv, .wo = wo}};
}

struct SpacingCase {
  std::string name;
  StripPair coupler;
  double feed_width;
  float isolation_db;
};

// Catches a spacing on the wrong side of the bisection (coupling just above
// the isolation), one stopped far short of the smallest (0.98 of it still
// isolated), and the spacing put in the wrong dimension of the pair (the
// gap of strips one above the other, or B's height for a pair off the
// centre plane).
TEST(LeadSpacing, IsTheSmallestThatCouplesLessThanTheIsolation) {
  const SpacingCase cases[] = {
      {"side by side, 40 dB", side_by_side(0.045F, 0.006F), 0.0465, 40.0F},
      {"side by side, 20 dB, narrow feed", side_by_side(0.045F, 0.006F), 0.02, 20.0F},
      {"off the centre plane", off_centre(0.03F, 0.006F, 0.02F), 0.035, 40.0F},
      {"one above the other", one_above_the_other(0.03F, 0.008F, 0.01F), 0.03, 30.0F},
  };
  for (const SpacingCase& c : cases) {
    SCOPED_TRACE(c.name);
    const LeadPair leads{c.coupler, c.feed_width, c.isolation_db};
    const LeadSpacing found = lead_spacing(leads);
    ASSERT_TRUE(found.spacing) << found.message;
    const std::optional<double> at = lead_coupling_db(leads, *found.spacing);
    const std::optional<double> closer = lead_coupling_db(leads, 0.98 * *found.spacing);
    ASSERT_TRUE(at && closer);
    EXPECT_LE(*at, -c.isolation_db);
    EXPECT_GT(*closer, -c.isolation_db);
  }
}

// Catches a failed field solution taken for an isolated spacing (a strip
// thicker than the board has no solution).
TEST(LeadSpacing, WithoutAFieldSolutionSaysWhy) {
  StripPair thick = side_by_side(0.045F, 0.006F);
  thick.x.board.t = 0.07F;
  const LeadSpacing found = lead_spacing({thick, 0.04, 40.0F});
  EXPECT_FALSE(found.spacing);
  EXPECT_FALSE(found.message.empty());
}

// Catches feeds swapped between the ends (Rs belongs at the input and
// coupled ports, Rl at the through and isolated ones), each end's spacing
// found for the other end's lines or section, the sections out of order, and
// the coupled-third numbering not applied to the pads.
TEST(PlanArtwork, FeedsSpacingsAndPadsFollowTheirPorts) {
  ArtworkDesign d;
  d.sections = {{side_by_side(0.04F, 0.004F), 0.5}, {side_by_side(0.046F, 0.02F), 0.6}};
  d.source_feed = {0.046, 50.0, 3.66};
  d.load_feed = {0.02, 75.0, 3.66};
  d.lead_length = 0.1;
  d.bend = layout::Bend::arc;
  d.isolation_db = 30.0F;
  d.numbering = PortNumbering::coupled_third;
  const PlannedArtwork planned = plan_artwork(d);
  ASSERT_TRUE(planned.plan) << planned.message;
  const layout::ArtworkInputs& in = planned.plan->inputs;
  const auto role = [](PortRole r) { return static_cast<std::size_t>(r); };
  EXPECT_EQ(in.feed_width.at(role(PortRole::input)), 0.046);
  EXPECT_EQ(in.feed_width.at(role(PortRole::coupled)), 0.046);
  EXPECT_EQ(in.feed_width.at(role(PortRole::through)), 0.02);
  EXPECT_EQ(in.feed_width.at(role(PortRole::isolated)), 0.02);
  EXPECT_EQ(planned.plan->feeds.at(role(PortRole::isolated)).zo, 75.0);
  const std::array<int, layout::kPortCount> numbers{1, 2, 4, 3};
  EXPECT_EQ(in.port_number, numbers);
  ASSERT_EQ(in.sections.size(), 2U);
  EXPECT_FLOAT_EQ(static_cast<float>(in.sections[0].s), 0.004F);
  EXPECT_EQ(in.sections[1].length, 0.6);
  EXPECT_FALSE(in.one_above_the_other);
  EXPECT_EQ(in.bend, layout::Bend::arc);
  const LeadSpacing source_end = lead_spacing({d.sections[0].pair, 0.046, 30.0F});
  const LeadSpacing load_end = lead_spacing({d.sections[1].pair, 0.02, 30.0F});
  EXPECT_EQ(in.lead_spacing[0], *source_end.spacing);
  EXPECT_EQ(in.lead_spacing[1], *load_end.spacing);
}

// Catches a wrong speed of light or a missing square root: a line a quarter
// wave long at f0 in its own medium is 90 degrees.
TEST(PlanArtwork, ElectricalLengthOfAQuarterWaveIsNinetyDegrees) {
  const double f0 = 2000.0;
  const double eeff = 3.66;
  const double quarter = 11802.8545 / (4.0 * f0 * std::sqrt(eeff));
  EXPECT_NEAR(electrical_degrees(quarter, eeff, f0), 90.0, 1e-9);
}

}  // namespace
}  // namespace ketrovane
