#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>

#include "frequency/four_port.hpp"

namespace ketrovane {
namespace {

// The report shows `decimals` places; equal after rounding is equal.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters)
void ExpectPrints(float got, double shown, int decimals) {
  const double scale = std::pow(10.0, decimals);
  EXPECT_EQ(std::round(got * scale), std::round(shown * scale)) << got << " vs " << shown;
}

// Zoe = 69.3713, Zoo = 36.0380 (10 dB at 50 ohms), Er 2.2, a quarter wave at
// 1000 MHz, with conductor and dielectric loss.
constexpr CoupledSection kWorked{69.3713F, 36.0380F, 2.2F, 1.98937F, 0.05F, 0.04F};

TEST(FourPort, WorkedValuesAt1000And1200MHz) {
  const FourPortResponse a = sl1fa(kWorked, 1000.0F, 50.0F, 50.0F);
  ExpectPrints(a.mag[1], -10.085, 3);
  ExpectPrints(a.mag[3], -0.543, 3);
  ExpectPrints(a.ang[1], 0.000, 3);
  ExpectPrints(a.ang[3], -90.000, 3);
  ExpectPrints(a.error90, 0.000, 3);
  ExpectPrints(a.vswr, 1.0007, 4);
  ExpectPrints(a.atot, -0.0849, 4);
  ExpectPrints(a.loss, -0.0849, 4);
  ExpectPrints(a.mag[0], -69.46, 2);
  ExpectPrints(a.mag[2], -59.81, 2);

  const FourPortResponse b = sl1fa(kWorked, 1200.0F, 50.0F, 50.0F);
  ExpectPrints(b.mag[1], -10.479, 3);
  ExpectPrints(b.mag[3], -0.502, 3);
  ExpectPrints(b.ang[1], -16.957, 3);
  ExpectPrints(b.ang[3], -107.149, 3);
  ExpectPrints(b.phi, 90.192, 3);
  ExpectPrints(b.error90, 0.192, 3);
  ExpectPrints(b.vswr, 1.0007, 4);
  ExpectPrints(b.atot, -0.0857, 4);
  ExpectPrints(b.loss, -0.0857, 4);
}

TEST(FourPort, ZeroFrequencyLosslessPassesStraightThrough) {
  const CoupledSection lossless{69.3713F, 36.0380F, 2.2F, 1.98937F, 0.0F, 0.0F};
  const FourPortResponse r = sl1fa(lossless, 0.0F, 50.0F, 50.0F);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(r.mag[i], -90.0F) << "port " << i + 1;
    EXPECT_EQ(r.ang[i], 0.0F) << "port " << i + 1;
  }
  EXPECT_EQ(r.mag[3], 0.0F);
  EXPECT_EQ(r.ang[3], 0.0F);
  EXPECT_EQ(r.phi, 0.0F);
  EXPECT_EQ(r.error90, -90.0F);
  EXPECT_EQ(r.vswr, 1.0F);
  EXPECT_EQ(r.atot, 0.0F);
  EXPECT_EQ(r.loss, 0.0F);
}

// Quarter wave, Zoe*Zoo = Rs*Rl = Zo^2: the ideal coupler.
TEST(FourPort, LosslessDesignCase) {
  const float zo = 50.0F;
  const float f = 2000.0F;
  const float er = 4.5F;
  const float l = 11802.8545F / f / (4.0F * std::sqrt(er));
  for (const float coupling_db : {-3.0F, -6.0F, -10.0F, -20.0F, -30.0F}) {
    const float k = std::pow(10.0F, coupling_db / 20.0F);
    const float zoe = zo * std::sqrt((1.0F + k) / (1.0F - k));
    const float zoo = zo * std::sqrt((1.0F - k) / (1.0F + k));
    const FourPortResponse r = sl1fa({zoe, zoo, er, l, 0.0F, 0.0F}, f, zo, zo);
    SCOPED_TRACE(coupling_db);
    const float c = (zoe - zoo) / (zoe + zoo);
    EXPECT_NEAR(r.mag[1], 20.0F * std::log10(c), 1e-3F);
    EXPECT_NEAR(r.ang[1], 0.0F, 1e-3F);
    EXPECT_NEAR(r.mag[3], 10.0F * std::log10(1.0F - c * c), 1e-3F);
    EXPECT_NEAR(r.ang[3], -90.0F, 1e-3F);
    EXPECT_NEAR(r.error90, 0.0F, 1e-3F);
    EXPECT_NEAR(r.vswr, 1.0F, 1e-4F);
    EXPECT_EQ(r.mag[0], -90.0F);
    EXPECT_EQ(r.mag[2], -90.0F);
  }
}

// Even mode with loss and below the terminations, odd mode lossless: at
// f = 0 the even mode reflects a negative real and transmits less than the
// odd mode, so ports 1 to 3 are negative reals and port 4 a positive one.
// Coupled and through are 180 degrees apart, which folds to 0.
TEST(FourPort, HalfTurnFoldsToZero) {
  const FourPortResponse r = sl1fa({40.0F, 36.0F, 2.2F, 2.0F, 1.0F, 0.0F}, 0.0F, 50.0F, 50.0F);
  EXPECT_EQ(r.ang, (std::array{180.0F, 180.0F, 180.0F, 0.0F}));
  EXPECT_EQ(r.phi, 0.0F);
  EXPECT_EQ(r.error90, -90.0F);
}

// Random couplers over a wide range of frequencies and terminations.
TEST(FourPort, ConservesPowerWithoutLossAndLosesItWithLoss) {
  std::mt19937 gen(2024);
  auto uniform = [&gen](float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(gen);
  };
  for (int i = 0; i < 5000; ++i) {
    const float zoo = uniform(10.0F, 100.0F);
    CoupledSection s{zoo * uniform(1.02F, 8.0F), zoo,  uniform(1.0F, 12.0F),
                     uniform(0.05F, 10.0F),      0.0F, 0.0F};
    const float f = uniform(0.0F, 20000.0F);
    const float rl = uniform(10.0F, 200.0F);
    const float rs = uniform(10.0F, 200.0F);
    SCOPED_TRACE(testing::Message() << "case " << i << " f " << f);

    const FourPortResponse r = sl1fa(s, f, rl, rs);
    ASSERT_NEAR(r.atot, 0.0F, 1e-4F);
    const float d = std::fabs(r.ang[1] - r.ang[3]);
    ASSERT_TRUE(r.phi >= 0.0F && r.phi < 180.0F) << r.phi;
    ASSERT_NEAR(r.phi, d >= 180.0F ? d - 180.0F : d, 1e-4F);
    ASSERT_EQ(r.error90, r.phi - 90.0F);

    s.ate = uniform(0.005F, 1.0F);
    s.ato = uniform(0.005F, 1.0F);
    const FourPortResponse lossy = sl1fa(s, f, rl, rs);
    ASSERT_LT(lossy.atot, 0.0F);
    ASSERT_LE(lossy.loss, lossy.atot);
    for (const float m : lossy.mag) ASSERT_GE(m, -90.0F);
  }
}

TEST(FourPort, NonFiniteInputsGiveValuesNotCrashes) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const float bad : {nan, kInf, -kInf}) {
    for (int field = 0; field < 9; ++field) {
      std::array<float, 9> v{69.3713F, 36.0380F, 2.2F,  1.98937F, 0.05F,
                             0.04F,    1000.0F,  50.0F, 50.0F};
      v[field] = bad;
      const FourPortResponse r = sl1fa({v[0], v[1], v[2], v[3], v[4], v[5]}, v[6], v[7], v[8]);
      // Phases stay within a half turn or are NaN; amplitudes keep their floor.
      EXPECT_FALSE(r.phi < 0.0F || r.phi >= 180.0F) << bad << " in field " << field;
      for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(std::fabs(r.ang[i]) > 180.0F) << bad << " in field " << field;
        EXPECT_FALSE(r.mag[i] < -90.0F) << bad << " in field " << field;
      }
    }
  }
}

}  // namespace
}  // namespace ketrovane
