// Normalised impedance sensitivities.
#include <gtest/gtest.h>

#include "model/stripline_model.hpp"

namespace ketrovane {
namespace {

constexpr float kSensitivity = 0.002F;  // tolerance of the worked values

TEST(Sensitivity, CouplerOfTheWorkedExample) {
  const CrossSection x{0.25F, 2.2F, 0.04F, 0.01F, 0.2F};
  const Sensitivities sen = sl1sen(x);
  EXPECT_NEAR(sen.zoe, 54.22F, 0.01F);
  EXPECT_NEAR(sen.zoo, 36.74F, 0.01F);
  EXPECT_NEAR(sen.even.szoeb, 0.798F, kSensitivity);
  EXPECT_NEAR(sen.even.szoes, -0.030F, kSensitivity);
  EXPECT_NEAR(sen.even.szoet, -0.057F, kSensitivity);
  EXPECT_NEAR(sen.even.szoew, -0.712F, kSensitivity);
  EXPECT_NEAR(sen.odd.szoob, 0.386F, kSensitivity);
  EXPECT_NEAR(sen.odd.szoos, 0.201F, kSensitivity);
  EXPECT_NEAR(sen.odd.szoot, -0.105F, kSensitivity);
  EXPECT_NEAR(sen.odd.szoow, -0.482F, kSensitivity);
  EXPECT_EQ(sen.even.szoeer, -0.5F);
  EXPECT_EQ(sen.odd.szooer, -0.5F);

  // The nominal impedances, and the record of the last (width) evaluation.
  const ModeImpedances nominal = sl1imp(x);
  EXPECT_EQ(sen.zoe, nominal.zoe);
  EXPECT_EQ(sen.zoo, nominal.zoo);
  CrossSection narrower = x;
  narrower.w = x.w / 1.001F;
  EXPECT_EQ(sen.cap.cpa, sl1imp(narrower).cap.cpa);
  EXPECT_NE(sen.cap.cpa, nominal.cap.cpa);
}

// Z depends on the lengths only through their ratios to b, so the four
// length sensitivities of each mode sum to zero, in every band.
TEST(Sensitivity, LengthSensitivitiesSumToZero) {
  for (const float t : {0.0F, 0.0025F, 0.05F}) {
    for (const float s : {0.002F, 0.0075F, 0.04F, 0.06F, 0.15F, 0.37F, 0.5F}) {
      const Sensitivities sen = sl1sen({0.25F, 2.2F, s, t, 0.2F});
      const slsen1& e = sen.even;
      const slsen2& o = sen.odd;
      EXPECT_NEAR(e.szoeb + e.szoes + e.szoet + e.szoew, 0.0F, 1e-6F) << s << " " << t;
      EXPECT_NEAR(o.szoob + o.szoos + o.szoot + o.szoow, 0.0F, 1e-6F) << s << " " << t;
      EXPECT_EQ(e.szoeer, -0.5F);
      EXPECT_EQ(o.szooer, -0.5F);
    }
  }
}

TEST(Sensitivity, ZeroThicknessHasNoThicknessTerm) {
  const Sensitivities sen = sl1sen({0.25F, 2.2F, 0.04F, 0.0F, 0.2F});
  EXPECT_EQ(sen.even.szoet, 0.0F);
  EXPECT_EQ(sen.odd.szoot, 0.0F);
  EXPECT_EQ(sen.even.szoeb, -sen.even.szoes - sen.even.szoew);
  EXPECT_EQ(sen.odd.szoob, -sen.odd.szoos - sen.odd.szoow);
}

// Wider gaps and narrower strips raise both impedances, the odd one more.
TEST(Sensitivity, SignsOfACoupledPair) {
  const Sensitivities sen = sl1sen({0.25F, 10.0F, 0.06F, 0.02F, 0.15F});
  EXPECT_GT(sen.odd.szoos, 0.0F);
  EXPECT_LT(sen.even.szoes, 0.0F);
  EXPECT_LT(sen.even.szoew, 0.0F);
  EXPECT_LT(sen.odd.szoow, 0.0F);
  EXPECT_GT(sen.even.szoeb, 0.0F);
  EXPECT_GT(sen.odd.szoob, 0.0F);
}

}  // namespace
}  // namespace ketrovane
