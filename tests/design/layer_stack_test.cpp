// A strip pair in a stack of dielectric layers as the field solver sees
// it, and the quarter-wave length where the two modes travel at their own
// speeds.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "design/field_analysis.hpp"
#include "design/quarter_wave.hpp"
#include "design/tolerance.hpp"

namespace ketrovane {
namespace {

field::Stack stack_of(std::initializer_list<field::DielectricLayer> layers) {
  field::Stack s;
  for (const field::DielectricLayer& l : layers)
    s.layers.at(static_cast<std::size_t>(s.count++)) = l;
  return s;
}

// Fault: the length at one mode's velocity, at the mean of the
// permittivities rather than of the velocities, or a modes-alike length
// that is not the one dielectric's to the bit.
TEST(QuarterWaveOnAStack, IsAtTheMeanOfTheModesPhaseVelocities) {
  struct Case {
    float f0_mhz, eeff_even, eeff_odd;
  };
  constexpr double kC = 11802.8545;  // inches per microsecond
  for (const Case c :
       {Case{1000.0F, 3.31F, 3.27F}, Case{2450.0F, 2.2F, 6.0F}, Case{500.0F, 4.1F, 3.9F},
        Case{1000.0F, 2.2F, 2.2F}, Case{3000.0F, 3.66F, 3.66F}}) {
    SCOPED_TRACE(testing::Message() << c.eeff_even << "/" << c.eeff_odd);
    const float length = quarter_wave_length(c.f0_mhz, c.eeff_even, c.eeff_odd);
    const double expected = kC / (4.0 * c.f0_mhz) * 2.0 /
                            (std::sqrt(double{c.eeff_even}) + std::sqrt(double{c.eeff_odd}));
    EXPECT_NEAR(length, expected, 2e-6 * expected);
    EXPECT_NEAR(quarter_wave_frequency(length, c.eeff_even, c.eeff_odd), c.f0_mhz, 2e-6 * c.f0_mhz);
    if (c.eeff_even == c.eeff_odd) {
      EXPECT_EQ(length, quarter_wave_length(c.f0_mhz, c.eeff_even));
      EXPECT_EQ(quarter_wave_frequency(2.0F, c.eeff_even, c.eeff_odd),
                quarter_wave_frequency(2.0F, c.eeff_even));
    }
  }
}

// Fault: the strips placed on the wrong face of their layer, without the
// copper's half thickness, B not the layers' sum, SV not the core's
// thickness, or the layers not handed to the solver.
TEST(StripPairOnAStack, FieldGeometryPlacesTheStripsInTheStack) {
  const field::Stack three =
      stack_of({{0.010, 3.66, 0.0037}, {0.004, 3.52, 0.002}, {0.010, 3.66, 0.0037}});
  struct Case {
    Arrangement arrangement;
    int layer;
    float sv;  // the placement's SV: the core's thickness
    Arrangement solved_as;
    double h;
    double core;
  };
  const float t = 0.0007F;
  for (const Case c :
       {Case{Arrangement::edge, 1, 0.0F, Arrangement::edge_offset, 0.010 + t / 2.0, 0.004},
        Case{Arrangement::edge, 2, 0.0F, Arrangement::edge_offset, 0.014 + t / 2.0, 0.004},
        Case{Arrangement::broadside, 2, 0.004F, Arrangement::broadside, 0.0, 0.004F},
        Case{Arrangement::broadside, 2, 0.005F, Arrangement::broadside, 0.0, 0.005F}}) {
    SCOPED_TRACE(testing::Message() << "layer " << c.layer << " sv " << c.sv);
    const Placement where{.arrangement = c.arrangement, .sv = c.sv, .stack = {three, c.layer}};
    const StripPair pair(CrossSection{{0.024F, t, 3.66F}, 0.01F, 0.005F}, where);
    EXPECT_FALSE(pair.placement.is_edge());
    const field::Geometry g = field_geometry(pair);
    EXPECT_EQ(g.arrangement, c.solved_as);
    ASSERT_EQ(g.stack.count, 3);
    EXPECT_DOUBLE_EQ(g.stack.layers[1].thickness, c.core);
    EXPECT_DOUBLE_EQ(g.b, 0.020 + c.core);
    EXPECT_EQ(g.stack.layers[1].er, 3.52);
    if (c.arrangement == Arrangement::broadside) {
      EXPECT_EQ(g.sv, static_cast<double>(c.sv));
    } else {
      EXPECT_NEAR(g.h, c.h, 1e-12);
    }
  }
}

// Fault: a layer's drawn thickness not reaching the cross-section (B not
// the drawn sum, the strips not riding on the layers below), or drawn from
// another quantity's stream: each sample of a stack of one dielectric with
// its upper layer varied is that dielectric's cross-section of the drawn
// thickness, and the draws follow the seed alone.
TEST(ToleranceOnAStack, AVariedLayerIsTheCrossSectionOfItsDrawnThickness) {
  const float t = 0.0014F;
  const field::Stack two = stack_of({{0.1, 2.2, 0.0}, {0.15, 2.2, 0.0}});
  ToleranceDesign d;
  d.nominal = StripPair(CrossSection{{0.25F, t, 2.2F}, 0.168F, 0.011F},
                        Placement{.arrangement = Arrangement::edge, .stack = {two, 1}});
  d.solver = Solver::field;
  d.layer_variations = {{2, true, 0.03}, {1, false, 0.0}};
  d.seed = 7;
  float first_drawn = 0.0F;
  for (std::uint64_t i = 0; i < 3; ++i) {
    const ToleranceSample s = tolerance_sample(d, i);
    ASSERT_EQ(s.status, SampleStatus::ok);
    const float drawn = s.layer_inputs.at(layer_input_index(2, true));
    EXPECT_NE(drawn, 0.15F);
    EXPECT_EQ(s.layer_inputs.at(layer_input_index(1, true)), 0.1F);
    if (i == 0) first_drawn = drawn;
    const StripPair one(
        CrossSection{{static_cast<float>(0.1 + double{drawn}), t, 2.2F}, 0.168F, 0.011F},
        Placement{.arrangement = Arrangement::edge_offset, .h = static_cast<float>(0.1 + t / 2.0)});
    const CouplerImpedances z = field_impedances(one);
    EXPECT_NEAR(s.outcomes[0], z.zoe, 2e-5 * z.zoe) << i;
    EXPECT_NEAR(s.outcomes[1], z.zoo, 2e-5 * z.zoo) << i;
  }
  d.variations = {{Varied::w, 0.001}};  // another quantity varies too
  EXPECT_EQ(tolerance_sample(d, 0).layer_inputs.at(layer_input_index(2, true)), first_drawn);
}

}  // namespace
}  // namespace ketrovane
