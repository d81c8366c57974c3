// Tolerance samples of a multi-section coupler: each section's W and S
// drawn from streams of its own, the board's quantities one draw for every
// section and the same as a single coupler's, a quantity held nominal in
// every section, and the band's outcomes of the drawn cascade.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "design/multisection_row.hpp"
#include "design/tolerance.hpp"
#include "design/tolerance_multisection.hpp"

namespace ketrovane {
namespace {

constexpr Board kBoard{.b = 0.062F, .t = 0.00137F, .er = 3.66F};
constexpr Materials kCopper{{1.7F * 3.9370079e-7F, 5.0e-6F}, 0.0009F};

// A three-section 10 dB equal-ripple coupler over 2 to 6 GHz on the README's
// board, W and S +-1 mil, B +-3 mil, Er +-0.05 and the etch +-0.5 mil.
MultisectionToleranceDesign three_sections() {
  const MultisectionDesign profile = design_equal_ripple(3, 10.0, 2000.0, 6000.0);
  const MultisectionBuild build{.zo = 50.0F,
                                .er = kBoard.er,
                                .board = kBoard,
                                .materials = kCopper,
                                .solver = Solver::model,
                                .setup = {}};
  MultisectionToleranceDesign d;
  d.nominal = multisection_coupler(profile, build);
  d.coupling_db = -10.0F;
  d.band_mhz =
      band_frequencies(static_cast<float>(profile.f1_mhz), static_cast<float>(profile.f2_mhz),
                       static_cast<float>(profile.f0_mhz));
  d.variations = {{Varied::w, 0.001},
                  {Varied::s, 0.001},
                  {Varied::b, 0.003},
                  {Varied::er, 0.05},
                  {Varied::etch, 0.0005}};
  d.seed = 9;
  return d;
}

// Section k's (from 0) nominal W.
float section_pair_w(const MultisectionToleranceDesign& d, std::size_t k) {
  return d.nominal.sections.at(k).coupler.dimensions->x.w;
}

float board_value(const MultisectionToleranceSample& s, Varied v) {
  return s.board.at(static_cast<std::size_t>(v));
}

// Faults, one per row of checks:
//  - every section drawing from one stream (the sections' W moving
//    together), or a section's stream depending on how many sections there
//    are;
//  - the board drawn per section, or from other streams than a single
//    coupler's (the same seed no longer the same board);
//  - a held quantity left drawn in some section, or the other quantities
//    drawn again when one is held.
TEST(MultisectionTolerance, EachSectionDrawsItsOwnAndTheBoardIsShared) {
  const MultisectionToleranceDesign d = three_sections();
  ASSERT_TRUE(d.nominal.built());
  ASSERT_EQ(d.nominal.sections.size(), 3U);
  MultisectionToleranceDesign five = d;
  five.nominal = multisection_coupler(design_equal_ripple(5, 10.0, 2000.0, 6000.0),
                                      {50.0F, kBoard.er, kBoard, kCopper, Solver::model, {}});
  ToleranceDesign single;
  single.nominal = StripPair(CrossSection{kBoard, 0.0248F, 0.0064F});
  single.variations = {{Varied::b, 0.003}, {Varied::er, 0.05}, {Varied::etch, 0.0005}};
  single.seed = d.seed;
  for (std::uint64_t i = 0; i < 50; ++i) {
    const MultisectionToleranceSample s = multisection_tolerance_sample(d, i);
    const MultisectionToleranceSample again = multisection_tolerance_sample(d, i);
    ASSERT_EQ(s.sections, again.sections);
    ASSERT_EQ(s.outcomes, again.outcomes);
    // Sections 1 and 3 share their nominal W and S but not their draws.
    EXPECT_EQ(section_pair_w(d, 0), section_pair_w(d, 2));
    const float w1 = s.sections[0][0] - section_pair_w(d, 0);
    EXPECT_NE(s.sections[0][0], s.sections[2][0]) << i;
    EXPECT_NE(s.sections[0][1], s.sections[2][1]) << i;
    // Section 1's draw is the same in a coupler of five.
    const MultisectionToleranceSample s5 = multisection_tolerance_sample(five, i);
    EXPECT_NEAR(s5.sections[0][0] - section_pair_w(five, 0), w1, 1e-8) << i;  // a float of W
    // The board's draws are a single coupler's.
    const ToleranceSample one = tolerance_sample(single, i);
    for (const Varied v : {Varied::b, Varied::er, Varied::etch}) {
      EXPECT_FLOAT_EQ(board_value(s, v), one.inputs.at(static_cast<std::size_t>(v))) << i;
    }
  }
}

// Fault: a held quantity left drawn in some section, or the others drawn
// again: the held sample would differ from the sample of the design
// without that variation.
TEST(MultisectionTolerance, AHeldQuantityIsNominalInEverySection) {
  const MultisectionToleranceDesign d = three_sections();
  for (std::size_t k = 0; k < d.variations.size(); ++k) {
    MultisectionToleranceDesign without = d;
    without.variations.erase(without.variations.begin() + static_cast<std::ptrdiff_t>(k));
    for (std::uint64_t i = 0; i < 20; ++i) {
      const MultisectionToleranceSample held =
          multisection_tolerance_sample(d, i, d.variations[k].quantity);
      const MultisectionToleranceSample direct = multisection_tolerance_sample(without, i);
      ASSERT_EQ(held.board, direct.board) << k << " " << i;
      ASSERT_EQ(held.sections, direct.sections) << k << " " << i;
      ASSERT_EQ(held.outcomes, direct.outcomes) << k << " " << i;
    }
  }
}

// Faults: the outcomes taken at f0 alone or off the band, the deviation
// taken from the nominal response instead of the profile's coupling (zero
// for the nominal coupler), the least directivity or return loss taken as
// the largest, or the drawn values not reaching the cascade (the spread of
// the outcomes not growing with the tolerances).
TEST(MultisectionTolerance, TheBandsOutcomesOfTheCascade) {
  const MultisectionToleranceDesign d = three_sections();
  EXPECT_EQ(d.band_mhz.size(), 9U);  // the ends, and f0 among the seven inside
  EXPECT_EQ(d.band_mhz.front(), 2000.0F);
  EXPECT_EQ(d.band_mhz.back(), 6000.0F);
  const MultisectionToleranceSample nominal = multisection_nominal_sample(d);
  ASSERT_EQ(nominal.status, SampleStatus::ok);
  float deviation = 0.0F;
  float directivity = 1e9F;
  for (const float f : d.band_mhz) {
    const ResponseRow row = multisection_response_row(d.nominal, f, d.terminations);
    deviation = std::max(deviation, std::fabs(row.response.amplitude_db[Port::coupled] + 10.0F));
    directivity = std::min(directivity, directivity_db(row.response));
  }
  const auto outcome = [](const MultisectionToleranceSample& s, BandOutcome o) {
    return s.outcomes.at(static_cast<std::size_t>(o));
  };
  EXPECT_EQ(outcome(nominal, BandOutcome::coupling_deviation), deviation);
  EXPECT_GT(deviation, 0.05F);  // the equal ripple, and the loss
  EXPECT_EQ(outcome(nominal, BandOutcome::least_directivity), directivity);
  EXPECT_GT(outcome(nominal, BandOutcome::least_return_loss), 15.0F);
  // The worst over the band, whatever the order of its frequencies.
  MultisectionToleranceDesign reversed = d;
  std::ranges::reverse(reversed.band_mhz);
  EXPECT_EQ(multisection_nominal_sample(reversed).outcomes, nominal.outcomes);
  // The mean deviation grows with the tolerances.
  MultisectionToleranceDesign tight = d;
  for (Variation& v : tight.variations) v.half_width /= 5.0;
  double loose_sum = 0.0;
  double tight_sum = 0.0;
  for (std::uint64_t i = 0; i < 200; ++i) {
    loose_sum += outcome(multisection_tolerance_sample(d, i), BandOutcome::coupling_deviation);
    tight_sum += outcome(multisection_tolerance_sample(tight, i), BandOutcome::coupling_deviation);
  }
  EXPECT_GT(loose_sum, tight_sum + 200 * 0.05);
  EXPECT_GT(tight_sum, 200 * 0.5 * deviation);
}

// Faults: a limit's side taken the wrong way round (at most for at least),
// an open side not open, or a sample that could not be computed passing.
TEST(MultisectionTolerance, BandLimits) {
  const MultisectionToleranceDesign d = three_sections();
  const MultisectionToleranceSample nominal = multisection_nominal_sample(d);
  const auto at = [&nominal](BandOutcome o) {
    return static_cast<double>(nominal.outcomes.at(static_cast<std::size_t>(o)));
  };
  constexpr double kOpen = std::numeric_limits<double>::infinity();
  struct Case {
    BandLimit limit;
    bool passes;
  };
  const std::array<Case, 6> cases = {{
      {{BandOutcome::coupling_deviation, -kOpen, at(BandOutcome::coupling_deviation) + 0.01}, true},
      {{BandOutcome::coupling_deviation, -kOpen, at(BandOutcome::coupling_deviation) - 0.01},
       false},
      {{BandOutcome::least_directivity, at(BandOutcome::least_directivity) - 0.1, kOpen}, true},
      {{BandOutcome::least_directivity, at(BandOutcome::least_directivity) + 0.1, kOpen}, false},
      {{BandOutcome::least_return_loss, at(BandOutcome::least_return_loss) - 0.1, kOpen}, true},
      {{BandOutcome::least_return_loss, at(BandOutcome::least_return_loss) + 0.1, kOpen}, false},
  }};
  for (const Case& c : cases) {
    const std::array<BandLimit, 1> one = {c.limit};
    EXPECT_EQ(passes(nominal, one), c.passes) << band_outcome_name(c.limit.outcome);
    MultisectionToleranceSample failed = nominal;
    failed.status = SampleStatus::model_failed;
    EXPECT_FALSE(passes(failed, one));
  }
}

}  // namespace
}  // namespace ketrovane
