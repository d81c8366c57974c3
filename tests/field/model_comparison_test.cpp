// The field solver beside the closed-form model: the map of the model's error
// must bound what the model actually misses, and where the model is accurate
// (wide strips, moderate gaps) the two losses agree.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "field/field_loss.hpp"
#include "field/field_solver.hpp"
#include "field/model_accuracy.hpp"
#include "model/loss.hpp"
#include "model/mode_impedances.hpp"

namespace ketrovane::field {
namespace {

constexpr double kB = 0.25;  // inches

CrossSection model_section(double w, double s, double t, double er) {
  return {.board = {.b = static_cast<float>(kB),
                    .t = static_cast<float>(t * kB),
                    .er = static_cast<float>(er)},
          .w = static_cast<float>(w * kB),
          .s = static_cast<float>(s * kB)};
}

// The worse of the model's Zoe and Zoo relative errors; w, s, t in units of b.
double model_error(double w, double s, double t) {
  const FieldResult f = solve({kB, t * kB, w * kB, s * kB, 2.2});
  EXPECT_TRUE(f.ok()) << f.message;
  const ModeImpedances m = mode_impedances(model_section(w, s, t, 2.2));
  return std::max(std::abs(m.zoe / f.solution->even.impedance - 1.0),
                  std::abs(m.zoo / f.solution->odd.impedance - 1.0));
}

#ifdef NDEBUG
constexpr int kOffGridPoints = 60;
#else
constexpr int kOffGridPoints = 8;
#endif

// Points between the grid lines, thicknesses anywhere from 0 to 0.2 b.
TEST(ModelAccuracyMap, BoundsTheModelsErrorBetweenTheGridLines) {
  std::mt19937 random(20261207);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < kOffGridPoints; ++i) {
    const double w = 0.1 * std::pow(30.0, unit(random));
    const double s = 0.01 * std::pow(200.0, unit(random));
    const double t = 0.2 * unit(random);
    EXPECT_LE(model_error(w, s, t), model_relative_error_bound(w, s, t))
        << "w/b " << w << " s/b " << s << " t/b " << t;
  }
}

TEST(ModelAccuracyMap, ReadsAsTheMapShows) {
  EXPECT_LT(model_relative_error_bound(0.5, 0.1, 0.0), 1e-3);     // Cohn's exact solution
  EXPECT_LT(model_relative_error_bound(1.0, 0.5, 0.1), 0.01);     // wide strips, wide gap
  EXPECT_GT(model_relative_error_bound(0.5, 0.012, 0.01), 0.03);  // thin copper, narrowest gaps
  EXPECT_EQ(model_relative_error_bound(0.1, 0.01, 0.0), model_relative_error_bound(0.1, 0.01, 0.0));
}

TEST(ModelAccuracyMap, VouchesForNothingOutsideTheGrid) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(model_relative_error_bound(0.09, 0.1, 0.05), kInf);
  EXPECT_EQ(model_relative_error_bound(3.1, 0.1, 0.05), kInf);
  EXPECT_EQ(model_relative_error_bound(1.0, 0.009, 0.05), kInf);
  EXPECT_EQ(model_relative_error_bound(1.0, 2.5, 0.05), kInf);
  EXPECT_EQ(model_relative_error_bound(1.0, 0.1, 0.25), kInf);
  EXPECT_EQ(model_relative_error_bound(1.0, 0.1, -0.01), kInf);
  EXPECT_EQ(model_relative_error_bound(nan, 0.1, 0.05), kInf);
  EXPECT_LT(model_relative_error_bound(3.0, 2.0, 0.2), kInf);  // the corners are on the grid
  EXPECT_LT(model_relative_error_bound(0.1, 0.01, 0.0), kInf);
}

// A 10 dB coupler of thin copper, where the model is known to be off: the
// converged field solution couples 0.4 dB harder and has a Zo 2.6 % lower.
TEST(ModelComparison, TenDecibelCouplerOfThinCopper) {
  const double w = 0.672;
  const double s = 0.048;
  const double t = 0.008;
  const FieldResult f = solve({kB, t * kB, w * kB, s * kB, 2.2}, {1e-7, 8});
  ASSERT_TRUE(f.ok()) << f.message;
  const ModeImpedances m = mode_impedances(model_section(w, s, t, 2.2));
  const double model_coupling = 20.0 * std::log10((m.zoe - m.zoo) / (m.zoe + m.zoo));
  EXPECT_NEAR(f.solution->coupling_db - model_coupling, 0.4, 0.02);
  EXPECT_NEAR(f.solution->zo / std::sqrt(m.zoe * m.zoo) - 1.0, -0.026, 0.002);
}

// Where the model's impedances are within half a per cent, Wheeler's rule on
// either gives the same loss within a few per cent.
TEST(ModelComparison, LossAgreesWithTheModelWhereTheModelIsAccurate) {
  const double copper = 1.7 * 3.937008e-07;  // ohm-inch
  const double sections[][3] = {
      {0.8, 0.4, 0.0}, {1.2, 0.5, 0.05}, {1.6, 0.3, 0.1}, {2.0, 1.0, 0.2}};
  for (const auto& x : sections) {
    const double w = x[0];
    const double s = x[1];
    const double t = x[2];
    const ModeAttenuation model = mode_attenuation(
        model_section(w, s, t, 2.2), {static_cast<float>(copper), 5e-6F}, 0.0009F, 3000.0F);
    const FieldLossResult field =
        field_loss({kB, t * kB, w * kB, s * kB, 2.2}, {3000.0, copper, 5e-6, 0.0009});
    ASSERT_TRUE(field.ok()) << field.message;
    EXPECT_NEAR(field.loss->even.total / model.even_db_per_inch, 1.0, 0.03)
        << "w/b " << w << " t/b " << t;
    EXPECT_NEAR(field.loss->odd.total / model.odd_db_per_inch, 1.0, 0.03)
        << "w/b " << w << " t/b " << t;
  }
}

}  // namespace
}  // namespace ketrovane::field
