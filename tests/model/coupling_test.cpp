// Conversion between (Zo, Co) and (Zoe, Zoo).
#include <gtest/gtest.h>

#include <cmath>

#include "model/stripline_model.hpp"

namespace ketrovane {
namespace {

TEST(Coupling, TwentyDecibelCouplerOnFiftyOhms) {
  const ModesOfCoupler modes = modes_from_coupler(CouplerTarget{50.0F, -20.0F});
  EXPECT_NEAR(modes.coupling_factor, 0.1F, 1e-7F);
  EXPECT_NEAR(modes.zoe, 55.277F, 0.0005F);
  EXPECT_NEAR(modes.zoo, 45.227F, 0.0005F);

  const CouplerImpedance back = coupler_from_modes(ModePair{modes.zoe, modes.zoo});
  EXPECT_NEAR(back.zo, 50.0F, 1e-5F);
  EXPECT_NEAR(back.coupling_db, -20.0F, 1e-4F);
  EXPECT_NEAR(back.coupling_factor, 0.1F, 1e-6F);
}

// Mode 1 then mode 2 gives back Zo and Co over the couplings the program
// designs (3 to 30 dB) and a range of coupler impedances.
TEST(Coupling, RoundTripFromCouplerToModesAndBack) {
  for (float zo = 10.0F; zo <= 150.0F; zo += 10.0F) {
    for (float ko = -30.0F; ko <= -3.0F; ko += 0.5F) {
      const ModesOfCoupler modes = modes_from_coupler(CouplerTarget{zo, ko});
      EXPECT_GT(modes.zoe, zo);
      EXPECT_LT(modes.zoo, zo);
      const CouplerImpedance back = coupler_from_modes(ModePair{modes.zoe, modes.zoo});
      EXPECT_NEAR(back.zo, zo, 4e-7F * zo) << zo << " ohms, " << ko << " dB";
      EXPECT_NEAR(back.coupling_db, ko, 2e-4F) << zo << " ohms, " << ko << " dB";
    }
  }
}

TEST(Coupling, PairsWithoutPositiveCouplingGetTheSentinel) {
  const CouplerImpedance equal = coupler_from_modes(ModePair{50.0F, 50.0F});
  EXPECT_EQ(equal.coupling_factor, 0.0F);
  EXPECT_EQ(equal.coupling_db, kNoCoupling);
  EXPECT_EQ(equal.zo, 50.0F);

  const CouplerImpedance inverted = coupler_from_modes(ModePair{45.0F, 55.0F});
  EXPECT_LT(inverted.coupling_factor, 0.0F);
  EXPECT_EQ(inverted.coupling_db, kNoCoupling);
  EXPECT_NEAR(inverted.zo, std::sqrt(45.0F * 55.0F), 1e-5F);
}

}  // namespace
}  // namespace ketrovane
