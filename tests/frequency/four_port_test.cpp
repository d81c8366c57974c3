#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
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
constexpr CoupledSection kWorked{69.3713F, 36.0380F, 2.2F, 2.2F, 1.98937F, 0.05F, 0.04F};

TEST(FourPort, WorkedValuesAt1000And1200MHz) {
  const FourPortResponse a = four_port_response(kWorked, 1000.0F, {.source = 50.0F, .load = 50.0F});
  ExpectPrints(a.amplitude_db[Port::coupled], -10.085, 3);
  ExpectPrints(a.amplitude_db[Port::through], -0.543, 3);
  ExpectPrints(a.phase_deg[Port::coupled], 0.000, 3);
  ExpectPrints(a.phase_deg[Port::through], -90.000, 3);
  ExpectPrints(a.quadrature_error_deg, 0.000, 3);
  ExpectPrints(a.input_vswr, 1.0007, 4);
  ExpectPrints(a.ohmic_loss_db, -0.0849, 4);
  ExpectPrints(a.total_loss_db, -0.0849, 4);
  ExpectPrints(a.amplitude_db[Port::reflected], -69.46, 2);
  ExpectPrints(a.amplitude_db[Port::isolated], -59.81, 2);

  const FourPortResponse b = four_port_response(kWorked, 1200.0F, {.source = 50.0F, .load = 50.0F});
  ExpectPrints(b.amplitude_db[Port::coupled], -10.479, 3);
  ExpectPrints(b.amplitude_db[Port::through], -0.502, 3);
  ExpectPrints(b.phase_deg[Port::coupled], -16.957, 3);
  ExpectPrints(b.phase_deg[Port::through], -107.149, 3);
  ExpectPrints(b.phase_difference_deg, 90.192, 3);
  ExpectPrints(b.quadrature_error_deg, 0.192, 3);
  ExpectPrints(b.input_vswr, 1.0007, 4);
  ExpectPrints(b.ohmic_loss_db, -0.0857, 4);
  ExpectPrints(b.total_loss_db, -0.0857, 4);
}

TEST(FourPort, ZeroFrequencyLosslessPassesStraightThrough) {
  const CoupledSection lossless{69.3713F, 36.0380F, 2.2F, 2.2F, 1.98937F, 0.0F, 0.0F};
  const FourPortResponse r = four_port_response(lossless, 0.0F, {.source = 50.0F, .load = 50.0F});
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(r.amplitude_db.values[i], -90.0F) << "port " << i + 1;
    EXPECT_EQ(r.phase_deg.values[i], 0.0F) << "port " << i + 1;
  }
  EXPECT_EQ(r.amplitude_db[Port::through], 0.0F);
  EXPECT_EQ(r.phase_deg[Port::through], 0.0F);
  EXPECT_EQ(r.phase_difference_deg, 0.0F);
  EXPECT_EQ(r.quadrature_error_deg, -90.0F);
  EXPECT_EQ(r.input_vswr, 1.0F);
  EXPECT_EQ(r.ohmic_loss_db, 0.0F);
  EXPECT_EQ(r.total_loss_db, 0.0F);
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
    const FourPortResponse r =
        four_port_response({zoe, zoo, er, er, l, 0.0F, 0.0F}, f, {.source = zo, .load = zo});
    SCOPED_TRACE(coupling_db);
    const float c = (zoe - zoo) / (zoe + zoo);
    EXPECT_NEAR(r.amplitude_db[Port::coupled], 20.0F * std::log10(c), 1e-3F);
    EXPECT_NEAR(r.phase_deg[Port::coupled], 0.0F, 1e-3F);
    EXPECT_NEAR(r.amplitude_db[Port::through], 10.0F * std::log10(1.0F - c * c), 1e-3F);
    EXPECT_NEAR(r.phase_deg[Port::through], -90.0F, 1e-3F);
    EXPECT_NEAR(r.quadrature_error_deg, 0.0F, 1e-3F);
    EXPECT_NEAR(r.input_vswr, 1.0F, 1e-4F);
    EXPECT_EQ(r.amplitude_db[Port::reflected], -90.0F);
    EXPECT_EQ(r.amplitude_db[Port::isolated], -90.0F);
  }
}

// Even mode with loss and below the terminations, odd mode lossless: at
// f = 0 the even mode reflects a negative real and transmits less than the
// odd mode, so ports 1 to 3 are negative reals and port 4 a positive one.
// Coupled and through are a half turn apart, which the report folds to 0.
TEST(FourPort, HalfTurnIsOneEightyAndFoldsToZero) {
  const FourPortResponse r = four_port_response({40.0F, 36.0F, 2.2F, 2.2F, 2.0F, 1.0F, 0.0F}, 0.0F,
                                                {.source = 50.0F, .load = 50.0F});
  EXPECT_EQ(r.phase_deg.values, (std::array{180.0F, 180.0F, 180.0F, 0.0F}));
  EXPECT_EQ(r.phase_difference_deg, 180.0F);
  EXPECT_EQ(r.quadrature_error_deg, 90.0F);
  EXPECT_EQ(r.folded_phase_difference_deg, 0.0F);
  EXPECT_EQ(r.folded_quadrature_error_deg, -90.0F);
}

// Random couplers over a wide range of frequencies and terminations.
TEST(FourPort, ConservesPowerWithoutLossAndLosesItWithLoss) {
  std::mt19937 gen(2024);
  auto uniform = [&gen](float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(gen);
  };
  for (int i = 0; i < 5000; ++i) {
    const float zoo = uniform(10.0F, 100.0F);
    const float er = uniform(1.0F, 12.0F);
    CoupledSection s{zoo * uniform(1.02F, 8.0F), zoo, er, er, uniform(0.05F, 10.0F), 0.0F, 0.0F};
    const float f = uniform(0.0F, 20000.0F);
    const float rl = uniform(10.0F, 200.0F);
    const float rs = uniform(10.0F, 200.0F);
    SCOPED_TRACE(testing::Message() << "case " << i << " f " << f);

    const FourPortResponse r = four_port_response(s, f, {.source = rs, .load = rl});
    ASSERT_NEAR(r.ohmic_loss_db, 0.0F, 1e-4F);
    const float d = std::fabs(r.phase_deg[Port::coupled] - r.phase_deg[Port::through]);
    ASSERT_TRUE(r.folded_phase_difference_deg >= 0.0F && r.folded_phase_difference_deg < 180.0F)
        << r.folded_phase_difference_deg;
    ASSERT_NEAR(r.folded_phase_difference_deg, d >= 180.0F ? d - 180.0F : d, 1e-4F);
    ASSERT_EQ(r.folded_quadrature_error_deg, r.folded_phase_difference_deg - 90.0F);

    s.even_attenuation_db_inch = uniform(0.005F, 1.0F);
    s.odd_attenuation_db_inch = uniform(0.005F, 1.0F);
    const FourPortResponse lossy = four_port_response(s, f, {.source = rs, .load = rl});
    ASSERT_LT(lossy.ohmic_loss_db, 0.0F);
    ASSERT_LE(lossy.total_loss_db, lossy.ohmic_loss_db);
    for (const float m : lossy.amplitude_db.values) ASSERT_GE(m, -90.0F);
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
      const FourPortResponse r = four_port_response({v[0], v[1], v[2], v[2], v[3], v[4], v[5]},
                                                    v[6], {.source = v[8], .load = v[7]});
      // Phases stay within a half turn or are NaN; amplitudes keep their floor.
      EXPECT_FALSE(r.folded_phase_difference_deg < 0.0F || r.folded_phase_difference_deg >= 180.0F)
          << bad << " in field " << field;
      EXPECT_FALSE(r.phase_difference_deg <= -180.0F || r.phase_difference_deg > 180.0F)
          << bad << " in field " << field;
      for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(std::fabs(r.phase_deg.values[i]) > 180.0F) << bad << " in field " << field;
        EXPECT_FALSE(r.amplitude_db.values[i] < -90.0F) << bad << " in field " << field;
      }
    }
  }
}

// arg(S41/S21) of the waves themselves, in double, in (-180, 180].
double true_phase_difference_deg(const PortValues<Complex>& w) {
  const std::complex<double> coupled(w[Port::coupled].real(), w[Port::coupled].imag());
  const std::complex<double> through(w[Port::through].real(), w[Port::through].imag());
  return std::arg(coupled / through) * 180.0 / std::numbers::pi;
}

// The distance between two angles in degrees, whatever turn each is on.
double angle_apart(double a, double b) {
  return std::fabs(std::remainder(a - b, 360.0));
}

// The phase difference is arg(S41/S21) with its sign, on every side of the
// +-180 cut of either port's phase: a fold of |coupled - through| into
// [0, 180) reads +144 for -144 above 2 f0 and 90.13 for 89.87 when the
// through port's phase straddles the cut.  The quadrature error is that
// angle less 90, in (-180, 180].
TEST(FourPort, PhaseDifferenceIsTheSignedAngleOfCoupledOverThrough) {
  std::mt19937 gen(29);
  auto uniform = [&gen](float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(gen);
  };
  int below_zero = 0;
  for (int i = 0; i < 5000; ++i) {
    const float zoo = uniform(10.0F, 100.0F);
    const float er = uniform(1.0F, 12.0F);
    const CoupledSection s{
        zoo * uniform(1.02F, 8.0F), zoo, er, er, uniform(0.05F, 10.0F), uniform(0.0F, 1.0F),
        uniform(0.0F, 1.0F)};
    const float f = uniform(1.0F, 20000.0F);
    const Terminations t{.source = uniform(10.0F, 200.0F), .load = uniform(10.0F, 200.0F)};
    SCOPED_TRACE(testing::Message() << "case " << i << " f " << f);
    const FourPortResponse r = four_port_response(s, f, t);
    const double truth = true_phase_difference_deg(port_waves(s, f, t));
    ASSERT_TRUE(r.phase_difference_deg > -180.0F && r.phase_difference_deg <= 180.0F);
    ASSERT_LT(angle_apart(r.phase_difference_deg, truth), 1e-3);
    ASSERT_TRUE(r.quadrature_error_deg > -180.0F && r.quadrature_error_deg <= 180.0F);
    ASSERT_LT(angle_apart(r.quadrature_error_deg, truth - 90.0), 1e-3);
    if (r.phase_difference_deg < 0.0F) ++below_zero;
  }
  EXPECT_GT(below_zero, 1000);  // the sign is kept, not folded away

  // Above 2 f0 the coupled wave lags the through wave: 1.2 x 2 f0 here.
  const FourPortResponse above = four_port_response(kWorked, 2400.0F, {50.0F, 50.0F});
  const double truth = true_phase_difference_deg(port_waves(kWorked, 2400.0F, {50.0F, 50.0F}));
  EXPECT_LT(truth, -80.0);
  EXPECT_LT(angle_apart(above.phase_difference_deg, truth), 1e-3);
  EXPECT_GT(above.folded_phase_difference_deg, 80.0F);  // the report's figure, folded
}

}  // namespace
}  // namespace ketrovane
