// The solver's parts that have exact answers of their own: the Green's
// function against its Fourier series, near the source and far from it; the
// closed-form logarithmic integrals against brute-force quadrature; the Gauss
// rules.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "field/gauss_legendre.hpp"
#include "field/green_function.hpp"
#include "field/log_integrals.hpp"
#include "references.hpp"

namespace ketrovane::field {
namespace {

using testing::fourier_series;

constexpr double kPi = std::numbers::pi;

// The source on the right-hand strip at height y0 above the centre plane, and
// its centre-plane mirror; for a sheet (zero thickness) the source alone.
double direct_by_series(double dx, double y, double y0, bool sheet) {
  const double single = fourier_series(dx, y + 0.5, y0 + 0.5);
  return sheet ? single : single + fourier_series(dx, y + 0.5, -y0 + 0.5);
}

TEST(GreenFunction, AgreesWithTheFourierSeries) {
  const double s = 0.07;
  const GreenFunction pair(s, false);
  const GreenFunction sheet(s, true);
  const double points[][4] = {
      // xi, y, xi0, y0 (units of b)
      {0.3, 0.05, 0.1, 0.05},
      {0.0, 0.01, 0.9, 0.1},
      {2.0, 0.2, 0.05, -0.3},
      {0.02, 0.45, 0.03, 0.4},
  };
  for (const auto& p : points) {
    const FieldPoint field = field_point(p[0], p[1]);
    const FieldPoint source = field_point(p[2], p[3]);
    const GreenFunction::Potentials v = pair.potentials(field, source);
    EXPECT_NEAR(v.direct, direct_by_series(p[0] - p[2], p[1], p[3], false), 1e-13);
    EXPECT_NEAR(v.twin, direct_by_series(p[0] + p[2] + s, p[1], p[3], false), 1e-13);
    EXPECT_EQ(pair.twin(field, source), v.twin);
    const FieldPoint on_sheet = field_point(p[0], 0.0);
    const FieldPoint sheet_source = field_point(p[2], 0.0);
    const GreenFunction::Potentials u = sheet.potentials(on_sheet, sheet_source);
    EXPECT_NEAR(u.direct, direct_by_series(p[0] - p[2], 0.0, 0.0, true), 1e-13);
    EXPECT_NEAR(u.twin, direct_by_series(p[0] + p[2] + s, 0.0, 0.0, true), 1e-13);
  }
}

// Hundreds of b away cosh overflows; the potential must come out as the
// exponentially small first term of the series, and underflow to 0 after.
TEST(GreenFunction, FarAwayItDecaysWithoutOverflow) {
  const GreenFunction green(100.0, false);
  const FieldPoint field = field_point(0.0, 0.1);
  // First series term, source and its mirror: 2 cos(pi y) cos(pi y0) q/pi.
  const auto leading = [](double dx) {
    return 2.0 * std::cos(kPi * 0.1) * std::cos(kPi * 0.2) * std::exp(-kPi * dx) / kPi;
  };
  for (const double dx : {20.0, 200.0}) {
    EXPECT_NEAR(green.potentials(field, field_point(dx, 0.2)).direct / leading(dx), 1.0, 1e-12);
  }
  EXPECT_NEAR(green.potentials(field, field_point(0.5, 0.2)).twin / leading(100.5), 1.0, 1e-12);
  EXPECT_EQ(green.potentials(field, field_point(300.0, 0.2)).direct, 0.0);
  EXPECT_EQ(GreenFunction(300.0, false).twin(field, field_point(0.5, 0.2)), 0.0);
}

// Close to the source the kernel is -ln(r)/(2 pi) plus its regular part; the
// difference must not lose digits however close the points come.
TEST(GreenFunction, NearTheSourceItIsTheLogarithmPlusTheRegularPart) {
  for (const bool sheet : {false, true}) {
    const GreenFunction green(0.1, sheet);
    const double y = sheet ? 0.0 : 0.03;
    const FieldPoint p = field_point(0.4, y);
    for (const double r : {1e-3, 1e-6, 1e-9}) {
      const FieldPoint near = field_point(0.4 + r, y);
      const double regular = green.potentials(p, near).direct + std::log(r) / (2.0 * kPi);
      // The regular part changes linearly away from the source.
      EXPECT_NEAR(regular, green.direct_regular_part(p), 10.0 * r) << r;
    }
  }
}

// Brute force: composite Gauss-Legendre, split below the (near-)singular
// point and graded toward it; good to about 1e-12 (the last piece at a
// singular point, 1e-11 long, is left to the plain rule).
double brute_log_moment(std::complex<double> z, int k) {
  const GaussRule g = gauss_legendre(20);
  std::vector<double> cuts{-1.0};
  if (std::abs(z.real()) < 1.0) cuts.push_back(z.real());
  cuts.push_back(1.0);
  std::vector<double> p(static_cast<std::size_t>(k) + 1);
  double sum = 0.0;
  for (std::size_t c = 1; c < cuts.size(); ++c) {
    // Geometric subdivision toward both ends resolves the logarithm.
    std::vector<double> ends{cuts[c - 1]};
    const double mid = 0.5 * (cuts[c - 1] + cuts[c]);
    for (int j = 30; j >= 1; --j)
      ends.push_back(cuts[c - 1] + (mid - cuts[c - 1]) * std::pow(0.5, j));
    for (int j = 0; j <= 30; ++j) ends.push_back(cuts[c] - (cuts[c] - mid) * std::pow(0.5, j));
    ends.push_back(cuts[c]);
    for (std::size_t e = 1; e < ends.size(); ++e) {
      const double half = 0.5 * (ends[e] - ends[e - 1]);
      for (std::size_t i = 0; i < g.nodes.size(); ++i) {
        const double tau = ends[e - 1] + half * (1.0 + g.nodes[i]);
        legendre_polynomials(tau, k + 1, p.data());
        sum += half * g.weights[i] * p[k] * std::log(std::abs(z - tau));
      }
    }
  }
  return sum;
}

TEST(LogIntegrals, ClosedFormsMatchQuadratureOnAndNearThePanel) {
  const std::complex<double> points[] = {{0.3, 0.0},   {-0.97, 0.0}, {1.7, 0.0}, {0.2, 0.05},
                                         {-1.1, -0.3}, {1.0, 1e-3},  {0.0, -1.9}};
  constexpr int kOrder = 12;
  std::vector<double> moments(kOrder);
  for (const std::complex<double> z : points) {
    legendre_log_moments(z, kOrder, moments.data());
    for (int k = 0; k < kOrder; ++k)
      EXPECT_NEAR(moments[k], brute_log_moment(z, k), 1e-11) << "z " << z << " k " << k;
  }
}

TEST(GaussLegendre, RulesIntegrateTheirPolynomialsExactly) {
  for (int n = 1; n <= kMaxPanelOrder; ++n) {
    const GaussRule g = gauss_legendre(n);
    for (int degree = 0; degree <= 2 * n - 1; ++degree) {
      double sum = 0.0;
      for (int i = 0; i < n; ++i) sum += g.weights[i] * std::pow(g.nodes[i], degree);
      const double exact = degree % 2 == 1 ? 0.0 : 2.0 / (degree + 1);
      EXPECT_NEAR(sum, exact, 1e-14) << "n " << n << " degree " << degree;
    }
  }
}

}  // namespace
}  // namespace ketrovane::field
