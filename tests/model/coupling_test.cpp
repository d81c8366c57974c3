// Conversion between (Zo, Co) and (Zoe, Zoo).
#include <gtest/gtest.h>

#include <cmath>

#include "model/stripline_model.hpp"

namespace ketrovane {
namespace {

TEST(Coupling, TwentyDecibelCouplerOnFiftyOhms) {
  const ModesFromCoupler modes = sl1zo(CouplerSpec{50.0F, -20.0F});
  EXPECT_NEAR(modes.cc, 0.1F, 1e-7F);
  EXPECT_NEAR(modes.zoe, 55.277F, 0.0005F);
  EXPECT_NEAR(modes.zoo, 45.227F, 0.0005F);

  const CouplerFromModes back = sl1zo(ModePair{modes.zoe, modes.zoo});
  EXPECT_NEAR(back.zo, 50.0F, 1e-5F);
  EXPECT_NEAR(back.ko, -20.0F, 1e-4F);
  EXPECT_NEAR(back.cc, 0.1F, 1e-6F);
}

// Mode 1 then mode 2 gives back Zo and Co over the couplings the program
// designs (3 to 30 dB) and a range of coupler impedances.
TEST(Coupling, RoundTripFromCouplerToModesAndBack) {
  for (float zo = 10.0F; zo <= 150.0F; zo += 10.0F) {
    for (float ko = -30.0F; ko <= -3.0F; ko += 0.5F) {
      const ModesFromCoupler modes = sl1zo(CouplerSpec{zo, ko});
      EXPECT_GT(modes.zoe, zo);
      EXPECT_LT(modes.zoo, zo);
      const CouplerFromModes back = sl1zo(ModePair{modes.zoe, modes.zoo});
      EXPECT_NEAR(back.zo, zo, 4e-7F * zo) << zo << " ohms, " << ko << " dB";
      EXPECT_NEAR(back.ko, ko, 2e-4F) << zo << " ohms, " << ko << " dB";
    }
  }
}

TEST(Coupling, PairsWithoutPositiveCouplingGetTheSentinel) {
  const CouplerFromModes equal = sl1zo(ModePair{50.0F, 50.0F});
  EXPECT_EQ(equal.cc, 0.0F);
  EXPECT_EQ(equal.ko, kNoCoupling);
  EXPECT_EQ(equal.zo, 50.0F);

  const CouplerFromModes inverted = sl1zo(ModePair{45.0F, 55.0F});
  EXPECT_LT(inverted.cc, 0.0F);
  EXPECT_EQ(inverted.ko, kNoCoupling);
  EXPECT_NEAR(inverted.zo, std::sqrt(45.0F * 55.0F), 1e-5F);
}

}  // namespace
}  // namespace ketrovane
