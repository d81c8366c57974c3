// A multi-section coupler as rows: each section of a profile dimensioned as
// a single coupler would be, and the cascade's response.
#include "design/multisection_row.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "design/band_summary.hpp"
#include "design/quarter_wave.hpp"

namespace ketrovane {
namespace {

constexpr Board kBoard{.b = 0.062F, .t = 0.00137F, .er = 3.66F};
constexpr Materials kCopper{{1.7F * 3.9370079e-7F, 5.0e-6F}, 0.0009F};
constexpr Terminations kFifty{50.0F, 50.0F};

MultisectionBuild ideal_build() {
  return {.zo = 50.0F,
          .er = 3.66F,
          .board = std::nullopt,
          .materials = {},
          .solver = Solver::model,
          .setup = {}};
}

MultisectionBuild board_build() {
  MultisectionBuild b = ideal_build();
  b.board = kBoard;
  b.materials = kCopper;
  return b;
}

double db(Complex v) {
  return 20.0 * std::log10(std::abs(v));
}

// The ideal sections: symmetric, matched, a quarter wave at f0, and a
// cascade whose coupling stays within the ripple over the band while the
// input and the isolated port stay dark at every frequency.
TEST(MultisectionRow, IdealSectionsHoldTheRippleAndStayMatchedAndIsolated) {
  const MultisectionDesign d = design_equal_ripple(5, 10.0, 2000.0, 18000.0);
  ASSERT_TRUE(d.ok) << d.message;
  const MultisectionCoupler c = multisection_coupler(d, ideal_build());
  ASSERT_TRUE(c.built());
  ASSERT_EQ(c.sections.size(), 5U);
  for (const SectionRow& s : c.sections) {
    EXPECT_NEAR(s.zoe * s.zoo, 2500.0F, 0.01F);
    EXPECT_EQ(s.length_inch, quarter_wave_length(10000.0F, 3.66F));
    EXPECT_EQ(s.coupling_db, c.sections[4 - (s.index - 1)].coupling_db);
    EXPECT_FALSE(s.synthesis.has_value());
  }
  EXPECT_GT(c.sections[2].coupling_db, c.sections[0].coupling_db);  // tightest in the middle
  for (float f = 500.0F; f <= 30000.0F; f += 500.0F) {
    const ScatteringMatrix m = multisection_scattering_matrix(c, f, kFifty);
    EXPECT_LT(db(m(1, 1)), -100.0) << f;
    EXPECT_LT(db(m(3, 1)), -100.0) << f;
    if (f < 2000.0F || f > 18000.0F) continue;
    const ResponseRow row = multisection_response_row(c, f, kFifty);
    EXPECT_NEAR(row.response.amplitude_db[Port::coupled], -10.0, d.ripple_db + 1e-4) << f;
    EXPECT_EQ(row.status, RowStatus::ok);
  }
}

// One section on a board is the single coupler of the same dimensions, to
// the last bit, losses included.
TEST(MultisectionRow, OneSectionOnABoardIsTheSingleCoupler) {
  const MultisectionDesign d = design_maximally_flat(1, 10.0, 3000.0);
  const MultisectionCoupler c = multisection_coupler(d, board_build());
  ASSERT_TRUE(c.built());
  const SectionRow& s = c.sections.front();
  ASSERT_TRUE(s.synthesis.has_value());
  EXPECT_EQ(s.status, RowStatus::converged);
  const StripPair pair{CrossSection{kBoard, s.synthesis->w, s.synthesis->s}};
  const ResponseCoupler single =
      coupler_of_dimensions(pair, kCopper, quarter_wave_length(3000.0F, 3.66F), Solver::model);
  for (const float f : {1000.0F, 3000.0F, 5500.0F}) {
    const ResponseRow a = multisection_response_row(c, f, kFifty);
    const ResponseRow b = response_row(single, f, kFifty);
    EXPECT_EQ(a.response.amplitude_db.values, b.response.amplitude_db.values);
    EXPECT_EQ(a.response.phase_deg.values, b.response.phase_deg.values);
    EXPECT_EQ(a.response.ohmic_loss_db, b.response.ohmic_loss_db);
    EXPECT_LT(a.response.ohmic_loss_db, 0.0F);
  }
}

// A section the fab cannot make keeps its place and says why; the coupler
// is then not built.  A 3 dB middle section side by side needs a gap of a
// fraction of a mil on this board.
TEST(MultisectionRow, ASectionBelowTheFabsLeastGapLeavesTheCouplerUnbuilt) {
  const MultisectionDesign d = design_equal_ripple(3, 3.0, 2000.0, 6000.0);
  ASSERT_TRUE(d.ok) << d.message;
  MultisectionBuild b = board_build();
  b.setup.limits.min_gap = 0.003F;
  const MultisectionCoupler c = multisection_coupler(d, b);
  EXPECT_FALSE(c.built());
  EXPECT_EQ(c.sections[1].status, RowStatus::gap_below_limit);
  EXPECT_EQ(c.sections[0].status, RowStatus::converged);
}

// Ideal lossless sections realise the profile's ripple: over the band the
// coupling reaches the ripple's size about the nominal coupling at the
// band's ends and f0 and nowhere passes it.  Catches a realised ripple
// measured from another reference than the nominal coupling, or over
// another band.
TEST(MultisectionRow, IdealSectionsRealiseTheIdealRipple) {
  const MultisectionDesign d = design_equal_ripple(5, 10.0, 2000.0, 18000.0);
  ASSERT_TRUE(d.ok) << d.message;
  const MultisectionCoupler c = multisection_coupler(d, ideal_build());
  const ResponseAt response = [&c](float f) {
    return multisection_response_row(c, f, kFifty).response;
  };
  const Axis f = swept_range({1000.0F, 19000.0F, 100.0F}, 180);
  const ProfileSummary p = profile_summary(response, f, d);
  ASSERT_TRUE(p.realised_ripple_db.has_value());
  EXPECT_NEAR(*p.realised_ripple_db, d.ripple_db, 1e-4);
  EXPECT_EQ(p.nominal_coupling_db, -10.0F);
  EXPECT_EQ(p.band.low->f_mhz, 2000.0F);
  EXPECT_EQ(p.band.high->f_mhz, 18000.0F);
  EXPECT_EQ(p.swept_in_band, 161);
  // Matched and isolated sections: the floors of the amplitudes.
  EXPECT_GE(p.band.worst_isolation_db, 90.0F);
}

TEST(MultisectionRow, ARefusedDesignHasNoSections) {
  MultisectionDesign refused;
  EXPECT_TRUE(multisection_coupler(refused, ideal_build()).sections.empty());
  EXPECT_FALSE(multisection_coupler(refused, ideal_build()).built());
}

}  // namespace
}  // namespace ketrovane
