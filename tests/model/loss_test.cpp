// Conductor and dielectric loss.
#include <gtest/gtest.h>

#include <cmath>

#include "model/stripline_model.hpp"

namespace ketrovane {
namespace {

constexpr CrossSection kCoupler{
    .board = {.b = 0.25F, .t = 0.01F, .er = 2.2F}, .w = 0.2F, .s = 0.04F};
constexpr float kCopper = 1.7F * 3.937008e-07F;  // ohm-inch
constexpr float kRoughness = 5e-6F;              // inch
// One unit in the last printed digit (dB per inch, five decimals)... plus one.
constexpr float kLoss = 0.00002F;

// Dielectric loss alone, dB per inch: 8.686 pi sqrt(er) tan(delta) f/c.
float dielectric_loss(float er, float f, float loss_tangent) {
  return std::sqrt(er) * 3.1415927F * 8.686F * loss_tangent * f / 11802.8545F;
}

TEST(Loss, CopperCouplerAtOneGigahertz) {
  const ModeAttenuation a = mode_attenuation(kCoupler, {kCopper, kRoughness}, 0.0009F, 1000.0F);
  EXPECT_NEAR(a.even_db_per_inch, 0.00637F, kLoss);
  EXPECT_NEAR(a.odd_db_per_inch, 0.00855F, kLoss);
}

// A sweep works out the cross-section's part once: the same bits at every
// frequency, metal and loss tangent, zero thickness included.
TEST(Loss, FactorsOnceGiveTheSameBitsAsTheCrossSection) {
  CrossSection thin = kCoupler;
  thin.board.t = 0.0F;
  for (const CrossSection& x : {kCoupler, thin}) {
    const WheelerFactors factors = wheeler_factors(x);
    for (const Conductor metal :
         {Conductor{kCopper, kRoughness}, Conductor{kCopper, 0.0F}, Conductor{0.0F, 0.0F}}) {
      for (const float f : {-1.0F, 0.0F, 1.0F, 997.0F, 18000.0F}) {
        const ModeAttenuation direct = mode_attenuation(x, metal, 0.0009F, f);
        const ModeAttenuation swept = mode_attenuation(factors, metal, 0.0009F, f);
        EXPECT_EQ(swept.even_db_per_inch, direct.even_db_per_inch) << f;
        EXPECT_EQ(swept.odd_db_per_inch, direct.odd_db_per_inch) << f;
      }
    }
  }
}

TEST(Loss, NoFrequencyNoLoss) {
  for (const float f : {0.0F, -100.0F}) {
    const ModeAttenuation a = mode_attenuation(kCoupler, {kCopper, kRoughness}, 0.0009F, f);
    EXPECT_EQ(a.even_db_per_inch, 0.0F);
    EXPECT_EQ(a.odd_db_per_inch, 0.0F);
  }
}

TEST(Loss, LosslessConductorLeavesTheDielectricTerm) {
  for (const float res : {0.0F, -1e-6F}) {
    const ModeAttenuation a = mode_attenuation(kCoupler, {res, kRoughness}, 0.002F, 2500.0F);
    EXPECT_NEAR(a.even_db_per_inch, dielectric_loss(2.2F, 2500.0F, 0.002F), 1e-7F);
    EXPECT_EQ(a.odd_db_per_inch, a.even_db_per_inch);
  }
}

// Hammerstad's factor: 1 for a smooth surface, nearly 2 for a roughness far
// beyond the skin depth (0.08 mil for copper at 1 GHz).
TEST(Loss, RoughnessRaisesConductorLossUpToTwofold) {
  const ModeAttenuation smooth = mode_attenuation(kCoupler, {kCopper, 0.0F}, 0.0F, 1000.0F);
  const ModeAttenuation negative = mode_attenuation(kCoupler, {kCopper, -1.0F}, 0.0F, 1000.0F);
  const ModeAttenuation rough = mode_attenuation(kCoupler, {kCopper, 1e-2F}, 0.0F, 1000.0F);
  EXPECT_EQ(negative.even_db_per_inch, smooth.even_db_per_inch);
  EXPECT_NEAR(rough.even_db_per_inch / smooth.even_db_per_inch, 2.0F, 1e-4F);
  EXPECT_NEAR(rough.odd_db_per_inch / smooth.odd_db_per_inch, 2.0F, 1e-4F);
  EXPECT_GT(smooth.odd_db_per_inch,
            smooth.even_db_per_inch);  // the odd mode crowds the current into the gap
}

// Strips of zero thickness lose the thickness term, and the conductor loss
// grows as the square root of the frequency.
TEST(Loss, ZeroThicknessAndSkinEffectScaling) {
  CrossSection thin = kCoupler;
  thin.board.t = 0.0F;
  const ModeAttenuation at1 = mode_attenuation(thin, {kCopper, 0.0F}, 0.0F, 1000.0F);
  const ModeAttenuation at4 = mode_attenuation(thin, {kCopper, 0.0F}, 0.0F, 4000.0F);
  EXPECT_GT(at1.even_db_per_inch, 0.0F);
  EXPECT_NEAR(at4.even_db_per_inch / at1.even_db_per_inch, 2.0F, 1e-5F);
  EXPECT_NEAR(at4.odd_db_per_inch / at1.odd_db_per_inch, 2.0F, 1e-5F);
}

// The result depends on the arguments alone: no evaluation of the impedance
// model in between, of any geometry, changes it.
TEST(Loss, DependsOnItsArgumentsAlone) {
  const ModeAttenuation first = mode_attenuation(kCoupler, {kCopper, kRoughness}, 0.0009F, 1000.0F);
  (void)mode_impedances({.board = {.b = 1.0F, .t = 0.5F, .er = 10.0F}, .w = 9.0F, .s = 0.001F});
  (void)impedance_sensitivities(
      {.board = {.b = 0.1F, .t = 0.0F, .er = 3.0F}, .w = 0.01F, .s = 0.5F});
  const ModeAttenuation second =
      mode_attenuation(kCoupler, {kCopper, kRoughness}, 0.0009F, 1000.0F);
  EXPECT_EQ(first.even_db_per_inch, second.even_db_per_inch);
  EXPECT_EQ(first.odd_db_per_inch, second.odd_db_per_inch);
}

}  // namespace
}  // namespace ketrovane
