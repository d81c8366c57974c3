// Conductor and dielectric loss.
#include <gtest/gtest.h>

#include <cmath>

#include "model/stripline_model.hpp"

namespace ketrovane {
namespace {

constexpr CrossSection kCoupler{0.25F, 2.2F, 0.04F, 0.01F, 0.2F};
constexpr float kCopper = 1.7F * 3.937008e-07F;  // ohm-inch
constexpr float kRoughness = 5e-6F;              // inch
// One unit in the last printed digit (dB per inch, five decimals)... plus one.
constexpr float kLoss = 0.00002F;

// Dielectric loss alone, dB per inch: 8.686 pi sqrt(er) tan(delta) f/c.
float dielectricLoss(float er, float f, float tlos) {
  return std::sqrt(er) * 3.1415927F * 8.686F * tlos * f / 11802.8545F;
}

TEST(Loss, CopperCouplerAtOneGigahertz) {
  const Attenuation a = sl1los(kCoupler, 1000.0F, kCopper, kRoughness, 0.0009F);
  EXPECT_NEAR(a.ate, 0.00637F, kLoss);
  EXPECT_NEAR(a.ato, 0.00855F, kLoss);
}

TEST(Loss, NoFrequencyNoLoss) {
  for (const float f : {0.0F, -100.0F}) {
    const Attenuation a = sl1los(kCoupler, f, kCopper, kRoughness, 0.0009F);
    EXPECT_EQ(a.ate, 0.0F);
    EXPECT_EQ(a.ato, 0.0F);
  }
}

TEST(Loss, LosslessConductorLeavesTheDielectricTerm) {
  for (const float res : {0.0F, -1e-6F}) {
    const Attenuation a = sl1los(kCoupler, 2500.0F, res, kRoughness, 0.002F);
    EXPECT_NEAR(a.ate, dielectricLoss(2.2F, 2500.0F, 0.002F), 1e-7F);
    EXPECT_EQ(a.ato, a.ate);
  }
}

// Hammerstad's factor: 1 for a smooth surface, nearly 2 for a roughness far
// beyond the skin depth (0.08 mil for copper at 1 GHz).
TEST(Loss, RoughnessRaisesConductorLossUpToTwofold) {
  const Attenuation smooth = sl1los(kCoupler, 1000.0F, kCopper, 0.0F, 0.0F);
  const Attenuation negative = sl1los(kCoupler, 1000.0F, kCopper, -1.0F, 0.0F);
  const Attenuation rough = sl1los(kCoupler, 1000.0F, kCopper, 1e-2F, 0.0F);
  EXPECT_EQ(negative.ate, smooth.ate);
  EXPECT_NEAR(rough.ate / smooth.ate, 2.0F, 1e-4F);
  EXPECT_NEAR(rough.ato / smooth.ato, 2.0F, 1e-4F);
  EXPECT_GT(smooth.ato, smooth.ate);  // the odd mode crowds the current into the gap
}

// Strips of zero thickness lose the thickness term, and the conductor loss
// grows as the square root of the frequency.
TEST(Loss, ZeroThicknessAndSkinEffectScaling) {
  CrossSection thin = kCoupler;
  thin.t = 0.0F;
  const Attenuation at1 = sl1los(thin, 1000.0F, kCopper, 0.0F, 0.0F);
  const Attenuation at4 = sl1los(thin, 4000.0F, kCopper, 0.0F, 0.0F);
  EXPECT_GT(at1.ate, 0.0F);
  EXPECT_NEAR(at4.ate / at1.ate, 2.0F, 1e-5F);
  EXPECT_NEAR(at4.ato / at1.ato, 2.0F, 1e-5F);
}

// The result depends on the arguments alone: no evaluation of the impedance
// model in between, of any geometry, changes it.
TEST(Loss, DependsOnItsArgumentsAlone) {
  const Attenuation first = sl1los(kCoupler, 1000.0F, kCopper, kRoughness, 0.0009F);
  (void)sl1imp({1.0F, 10.0F, 0.001F, 0.5F, 9.0F});
  (void)sl1sen({0.1F, 3.0F, 0.5F, 0.0F, 0.01F});
  const Attenuation second = sl1los(kCoupler, 1000.0F, kCopper, kRoughness, 0.0009F);
  EXPECT_EQ(first.ate, second.ate);
  EXPECT_EQ(first.ato, second.ato);
}

}  // namespace
}  // namespace ketrovane
