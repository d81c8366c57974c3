// The kernel between the planes without the centre-plane pairing, against the
// Fourier series of a line charge between grounded planes: for the strip's
// own charge and the twin's under either symmetry, far away, close to a
// plane and close to the source, and its regular part at the source.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "field/plane_green.hpp"
#include "references.hpp"

namespace ketrovane::field {
namespace {

using testing::fourier_series;

constexpr double kPi = std::numbers::pi;

struct Pair {
  double x, y, x0, y0;
};

constexpr double kCentre = 0.4;

// Far apart, a plane's width from the source, beside a plane, and close.
constexpr Pair kPairs[] = {
    {0.3, 0.55, 0.7, 0.5},   {0.1, 0.2, 1.4, 0.9},    {0.5, 0.003, 0.52, 0.002},
    {0.45, 0.6, 0.46, 0.61}, {0.2, 0.97, 0.6, 0.999}, {3.0, 0.5, 0.25, 0.3},
};

TEST(PlaneGreen, OwnChargeAgreesWithTheFourierSeries) {
  const PlaneGreen green(kCentre, TwinSymmetry::mirror);
  for (const Pair& p : kPairs) {
    const double g =
        PlaneGreen::direct(plane_point(p.x, kCentre, p.y), plane_point(p.x0, kCentre, p.y0));
    const double series = fourier_series(p.x - p.x0, p.y, p.y0);
    EXPECT_NEAR(g / series, 1.0, 1e-12) << p.x << " " << p.y << " " << p.x0 << " " << p.y0;
  }
}

// The twin's image of the source: (-x0, y0) by the mirror, (-x0, 1 - y0) by
// the point reflection; the kernel is symmetric in its two points.
TEST(PlaneGreen, TwinChargeAgreesWithTheFourierSeries) {
  const double centre = 0.1;  // the twins overlap under the point reflection
  const PlaneGreen mirror(kCentre, TwinSymmetry::mirror);
  const PlaneGreen point(centre, TwinSymmetry::point);
  for (const Pair& p : kPairs) {
    const PlanePoint f = plane_point(p.x, kCentre, p.y);
    const PlanePoint s = plane_point(p.x0, kCentre, p.y0);
    EXPECT_NEAR(mirror.twin(f, s) / fourier_series(p.x + p.x0, p.y, p.y0), 1.0, 1e-12);
    EXPECT_EQ(mirror.twin(f, s), mirror.twin(s, f));
    const PlanePoint fp = plane_point(p.x - 0.45, centre, p.y);
    const PlanePoint sp = plane_point(p.x0 - 0.45, centre, p.y0);
    const double series = fourier_series(p.x + p.x0 - 0.9, p.y, 1.0 - p.y0);
    EXPECT_NEAR(point.twin(fp, sp) / series, 1.0, 1e-11) << p.x << " " << p.x0;
    EXPECT_NEAR(point.twin(fp, sp), point.twin(sp, fp), 1e-15);
  }
}

// Far down the line the kernel falls as sin(pi y) sin(pi y0) exp(-pi dx)/pi
// without overflow, and underflows to zero rather than to NaN.
TEST(PlaneGreen, FarAwayItDecaysWithoutOverflow) {
  const PlaneGreen green(0.0, TwinSymmetry::point);
  const PlanePoint a = plane_point(-40.0, 0.0, 0.5);
  const PlanePoint b = plane_point(40.0, 0.0, 0.5);
  const double g = PlaneGreen::direct(a, b);
  EXPECT_NEAR(g / (std::exp(-80.0 * kPi) / kPi), 1.0, 1e-12);
  const PlanePoint c = plane_point(-200.0, 0.0, 0.5);
  const PlanePoint d = plane_point(200.0, 0.0, 0.5);
  EXPECT_EQ(PlaneGreen::direct(c, d), 0.0);
  EXPECT_EQ(green.twin(d, d), 0.0);
}

// Less the source's logarithm, the kernel tends to ln(2 sin(pi y)/pi)/(2 pi).
TEST(PlaneGreen, RegularPartIsTheLimitAtTheSource) {
  const PlaneGreen green(kCentre, TwinSymmetry::mirror);
  for (const double y : {0.001, 0.3, 0.5, 0.9}) {
    const PlanePoint p = plane_point(0.5, kCentre, y);
    const double r = 1e-7 * y;
    const PlanePoint q = plane_point(0.5 + 0.6 * r, kCentre, y + 0.8 * r);
    const double limit = PlaneGreen::direct(p, q) + std::log(r) / (2.0 * kPi);
    EXPECT_NEAR(PlaneGreen::direct_regular_part(p), limit, 1e-6) << "y " << y;
  }
}

}  // namespace
}  // namespace ketrovane::field
