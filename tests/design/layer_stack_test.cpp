// A strip pair in a stack of dielectric layers as the field solver sees
// it, and the quarter-wave length where the two modes travel at their own
// speeds.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "design/field_analysis.hpp"
#include "design/quarter_wave.hpp"

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

}  // namespace
}  // namespace ketrovane
