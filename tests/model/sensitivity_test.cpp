// Normalised impedance sensitivities.
#include <gtest/gtest.h>

#include "model/stripline_model.hpp"

namespace ketrovane {
namespace {

constexpr float kSensitivity = 0.002F;  // tolerance of the worked values

TEST(Sensitivity, CouplerOfTheWorkedExample) {
  const CrossSection x{.board = {.b = 0.25F, .t = 0.01F, .er = 2.2F}, .w = 0.2F, .s = 0.04F};
  const ImpedanceSensitivities sen = impedance_sensitivities(x);
  EXPECT_NEAR(sen.zoe, 54.22F, 0.01F);
  EXPECT_NEAR(sen.zoo, 36.74F, 0.01F);
  EXPECT_NEAR(sen.even.b, 0.798F, kSensitivity);
  EXPECT_NEAR(sen.even.s, -0.030F, kSensitivity);
  EXPECT_NEAR(sen.even.t, -0.057F, kSensitivity);
  EXPECT_NEAR(sen.even.w, -0.712F, kSensitivity);
  EXPECT_NEAR(sen.odd.b, 0.386F, kSensitivity);
  EXPECT_NEAR(sen.odd.s, 0.201F, kSensitivity);
  EXPECT_NEAR(sen.odd.t, -0.105F, kSensitivity);
  EXPECT_NEAR(sen.odd.w, -0.482F, kSensitivity);
  EXPECT_EQ(sen.even.er, -0.5F);
  EXPECT_EQ(sen.odd.er, -0.5F);

  // The nominal impedances, not those of the last perturbed evaluation.
  const ModeImpedances nominal = mode_impedances(x);
  EXPECT_EQ(sen.zoe, nominal.zoe);
  EXPECT_EQ(sen.zoo, nominal.zoo);
}

// Z depends on the lengths only through their ratios to b, so the four
// length sensitivities of each mode sum to zero, in every band.
TEST(Sensitivity, LengthSensitivitiesSumToZero) {
  for (const float t : {0.0F, 0.0025F, 0.05F}) {
    for (const float s : {0.002F, 0.0075F, 0.04F, 0.06F, 0.15F, 0.37F, 0.5F}) {
      const ImpedanceSensitivities sen =
          impedance_sensitivities({.board = {.b = 0.25F, .t = t, .er = 2.2F}, .w = 0.2F, .s = s});
      const ModeSensitivities& e = sen.even;
      const ModeSensitivities& o = sen.odd;
      EXPECT_NEAR(e.b + e.s + e.t + e.w, 0.0F, 1e-6F) << s << " " << t;
      EXPECT_NEAR(o.b + o.s + o.t + o.w, 0.0F, 1e-6F) << s << " " << t;
      EXPECT_EQ(e.er, -0.5F);
      EXPECT_EQ(o.er, -0.5F);
    }
  }
}

TEST(Sensitivity, ZeroThicknessHasNoThicknessTerm) {
  const ImpedanceSensitivities sen = impedance_sensitivities(
      {.board = {.b = 0.25F, .t = 0.0F, .er = 2.2F}, .w = 0.2F, .s = 0.04F});
  EXPECT_EQ(sen.even.t, 0.0F);
  EXPECT_EQ(sen.odd.t, 0.0F);
  EXPECT_EQ(sen.even.b, -sen.even.s - sen.even.w);
  EXPECT_EQ(sen.odd.b, -sen.odd.s - sen.odd.w);
}

// Wider gaps and narrower strips raise both impedances, the odd one more.
TEST(Sensitivity, SignsOfACoupledPair) {
  const ImpedanceSensitivities sen = impedance_sensitivities(
      {.board = {.b = 0.25F, .t = 0.02F, .er = 10.0F}, .w = 0.15F, .s = 0.06F});
  EXPECT_GT(sen.odd.s, 0.0F);
  EXPECT_LT(sen.even.s, 0.0F);
  EXPECT_LT(sen.even.w, 0.0F);
  EXPECT_LT(sen.odd.w, 0.0F);
  EXPECT_GT(sen.even.b, 0.0F);
  EXPECT_GT(sen.odd.b, 0.0F);
}

}  // namespace
}  // namespace ketrovane
