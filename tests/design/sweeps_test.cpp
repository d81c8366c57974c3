// Rows of the impedance, frequency and sensitivity sweeps: each from its own
// evaluation of the model at the row's value.
#include <gtest/gtest.h>

#include "design/frequency_sweep.hpp"
#include "design/impedance_sweep.hpp"
#include "design/quarter_wave.hpp"
#include "design/sensitivity_sweep.hpp"
#include "model/coupling.hpp"

namespace ketrovane {
namespace {

constexpr CrossSection kNominal{
    .board = {.b = 0.25F, .t = 0.0014F, .er = 2.2F}, .w = 0.17F, .s = 0.011F};
constexpr Conductor kCopper{1.7F * 3.9370079e-7F, 5.0e-6F};

TEST(ImpedanceSweep, RowsOfWidthsAndOfSpacings) {
  const ImpedanceSweep widths(
      {kNominal, SweptDimension::width, {0.1F, 0.2F, 0.02F}, kCopper, 0.0009F, 1000.0F});
  ASSERT_EQ(widths.rows(), 6);
  for (std::int64_t i = 0; i < widths.rows(); ++i) {
    const ImpedanceRow row = widths.row(i);
    EXPECT_EQ(row.geometry.s, kNominal.s);
    EXPECT_EQ(row.swept_value, row.geometry.w);
    const ModeImpedances m = mode_impedances(row.geometry);
    EXPECT_EQ(row.analysis.zoe, m.zoe);
    EXPECT_EQ(row.analysis.zoo, m.zoo);
    EXPECT_EQ(row.analysis.zo, coupler_from_modes({m.zoe, m.zoo}).zo);
    const ModeAttenuation a = mode_attenuation(row.geometry, kCopper, 0.0009F, 1000.0F);
    EXPECT_EQ(row.attenuation.odd_db_per_inch, a.odd_db_per_inch);
  }
  EXPECT_EQ(widths.row(5).geometry.w, 0.2F);

  const ImpedanceSweep spacings(
      {kNominal, SweptDimension::spacing, {0.01F, 0.16F, 0.01F}, kCopper, 0.0009F, 1000.0F});
  ASSERT_EQ(spacings.rows(), 16);
  EXPECT_EQ(spacings.row(15).geometry.s, 0.16F);
  EXPECT_EQ(spacings.row(15).geometry.w, kNominal.w);
  EXPECT_EQ(spacings.row(15).ratio_to_b, (1.0F / 0.25F) * 0.16F);
}

TEST(ImpedanceSweep, AMaximumBelowTheMinimumGivesNoRows) {
  const ImpedanceSweep none(
      {kNominal, SweptDimension::width, {0.2F, 0.1F, 0.02F}, kCopper, 0.0F, 1000.0F});
  EXPECT_EQ(none.rows(), 0);
}

TEST(FrequencySweep, LosslessFromImpedancesAndLossyFromDimensions) {
  const ModesOfCoupler modes = modes_from_coupler({50.0F, -10.0F});
  const float length = quarter_wave_length(1000.0F, 2.2F);
  FrequencySweepInput input{.zoe = modes.zoe,
                            .zoo = modes.zoo,
                            .er = 2.2F,
                            .length_inch = length,
                            .terminations = {50.0F, 50.0F},
                            .losses = std::nullopt,
                            .f_first_mhz = 800.0F,
                            .f_step_mhz = 100.0F,
                            .step_count = 4};
  const FrequencySweep lossless(input);
  ASSERT_EQ(lossless.rows(), 5);
  const FrequencyRow centre = lossless.row(2);
  EXPECT_EQ(centre.f_mhz, 1000.0F);
  EXPECT_EQ(centre.attenuation.even_db_per_inch, 0.0F);
  EXPECT_NEAR(centre.response.amplitude_db[Port::coupled], -10.0F, 1e-3F);
  EXPECT_NEAR(centre.response.ohmic_loss_db, 0.0F, 1e-5F);

  input.losses = LossyCoupler{kNominal, kCopper, 0.0009F};
  const FrequencyRow lossy = FrequencySweep(input).row(2);
  EXPECT_EQ(lossy.attenuation.even_db_per_inch,
            mode_attenuation(kNominal, kCopper, 0.0009F, 1000.0F).even_db_per_inch);
  EXPECT_LT(lossy.response.ohmic_loss_db, 0.0F);
  input.step_count = -1;
  EXPECT_EQ(FrequencySweep(input).rows(), 0);
}

TEST(QuarterWave, LengthAndFrequencyAreInverse) {
  EXPECT_NEAR(quarter_wave_length(1000.0F, 2.2F), 1.98937F, 5e-5F);
  EXPECT_NEAR(quarter_wave_frequency(2.0F, 2.2F), 994.685F, 5e-4F);
}

TEST(SensitivitySweep, RowsAtTheRangeValues) {
  const SensitivitySweep sweep({kNominal, SweptDimension::spacing, {0.01F, 0.05F, 0.01F}, 4});
  ASSERT_EQ(sweep.rows(), 5);
  const SensitivityRow row = sweep.row(3);
  EXPECT_EQ(row.geometry.s, 0.04F);
  EXPECT_EQ(row.sensitivities.even.b, impedance_sensitivities(row.geometry).even.b);
}

}  // namespace
}  // namespace ketrovane
