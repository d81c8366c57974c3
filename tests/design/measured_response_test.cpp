// A measured four-port read as a response: the ideal section sampled as a
// full-wave run samples it must read back as the ideal section, its
// summary within the interpolation's error, its coupling peak at f0.
#include "design/measured_response.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace ketrovane {
namespace {

// The README's 10 dB coupler, lossless: a quarter wave at 2000 MHz in Er 2.2.
constexpr float kF0 = 2000.0F;
ResponseCoupler ten_db() {
  return coupler_of_impedances(69.37129F, 36.037964F, 2.2F, 0.99468535F);
}
constexpr Terminations kFifty{.source = 50.0F, .load = 50.0F};

// The section's matrix at `step` MHz from 1003 MHz (2000 MHz not a sample).
MeasuredSweep sampled(float step) {
  MeasuredSweep s;
  for (float f = 1003.0F; f <= 3000.0F; f += step) {
    s.f_mhz.push_back(f);
    s.s.push_back(response_scattering_matrix(ten_db(), f, kFifty));
  }
  return s;
}

// Between samples 10 MHz apart the chord of a quarter-wave section's
// coupling departs from it by well under 0.01 dB (the band's edges by well
// under 1 MHz); a mapping of the wrong element (S31 for S41, a row for a
// column) or the wrong neighbour is off by decibels.  Fails with the
// matrix's rows read as its columns, the coupled port read from S31, or an
// interpolation between the wrong samples.
TEST(MeasuredResponse, IdealSectionSampledReadsBackAsItsSummary) {
  std::vector<float> f;
  for (int i = 0; i <= 400; ++i) f.push_back(1000.0F + 5.0F * static_cast<float>(i));
  const MeasuredSweep sweep = sampled(10.0F);
  const std::vector<float> within = frequencies_within(f, sweep);
  ASSERT_GT(within.size(), 390U);
  EXPECT_GE(within.front(), sweep.f_mhz.front());
  EXPECT_LE(within.back(), sweep.f_mhz.back());
  const BandSummary ideal = band_summary(ten_db(), kFifty, within, kF0, 0.5F);
  const BandSummary read = band_summary(measured_response(sweep), within, kF0, 0.5F);
  EXPECT_NEAR(read.coupling_at_f0_db, ideal.coupling_at_f0_db, 0.01F);
  ASSERT_TRUE(read.low && read.high && ideal.low && ideal.high);
  EXPECT_NEAR(read.low->f_mhz, ideal.low->f_mhz, 1.0F);
  EXPECT_NEAR(read.high->f_mhz, ideal.high->f_mhz, 1.0F);
  EXPECT_NEAR(read.least_amplitude_balance_db, ideal.least_amplitude_balance_db, 0.01F);
  EXPECT_NEAR(read.worst_quadrature_error_deg, ideal.worst_quadrature_error_deg, 0.5F);
  EXPECT_GT(read.worst_directivity_db, 60.0F);  // the ideal's S31 vanishes between samples too
  // At a sample the matrix is the sample's.
  const ScatteringMatrix at = measured_matrix(sweep, sweep.f_mhz[7]);
  EXPECT_EQ(at(4, 1), sweep.s[7](4, 1));
  EXPECT_EQ(at(2, 3), sweep.s[7](2, 3));
}

// A quarter-wave section's coupling peaks at f0 exactly; samples 70 MHz
// apart straddle it unevenly.  Fails with the vertex's offset of the wrong
// sign or taken from the wrong neighbours (tens of MHz off), or the largest
// sample returned as it is (27 MHz off).
TEST(MeasuredResponse, CouplingPeakThroughTheLargestSampleAndItsNeighbours) {
  const MeasuredSweep sweep = sampled(70.0F);
  const std::optional<CouplingPeak> peak = coupling_peak(measured_response(sweep), sweep.f_mhz);
  ASSERT_TRUE(peak);
  EXPECT_NEAR(peak->f_mhz, kF0, 2.0F);
  EXPECT_NEAR(peak->coupling_db, -10.0F, 0.01F);
  // A peak at the sweep's end is the end sample.
  const std::vector<float> rising = {1500.0F, 1600.0F, 1700.0F};
  const ResponseCoupler coupler = ten_db();
  const ResponseAt ideal = [&](float f) { return response_row(coupler, f, kFifty).response; };
  EXPECT_EQ(coupling_peak(ideal, rising)->f_mhz, 1700.0F);
  EXPECT_FALSE(coupling_peak(ideal, std::vector<float>{}));
}

// The lossless ideal section is reciprocal and passive to rounding; an
// element changed shows by exactly its change.  Fails with the column power
// summed along a row or the reciprocity compared with the element itself.
TEST(MeasuredResponse, ReciprocityAndColumnPower) {
  MeasuredSweep sweep = sampled(100.0F);
  const MatrixChecks ideal = matrix_checks(sweep);
  EXPECT_LT(ideal.reciprocity, 1e-6);
  EXPECT_NEAR(ideal.column_power, 1.0, 1e-5);
  sweep.s[3].s[1][0] += Complex(0.25F, 0.0F);  // S21 alone, now 0.25 more than S12
  const MatrixChecks changed = matrix_checks(sweep);
  EXPECT_NEAR(changed.reciprocity, 0.25, 1e-6);
  EXPECT_GT(changed.column_power, 1.05);
}

}  // namespace
}  // namespace ketrovane
