#include "field/plane_green.hpp"

#include <cmath>
#include <numbers>

namespace ketrovane::field {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kQuarterOverPi = 1.0 / (4.0 * kPi);
constexpr double kHalfOverPi = 1.0 / (2.0 * kPi);
// Closer than this (q above exp(-0.1)) 1 - q is taken from expm1.
constexpr double kCloseSeparation = 0.1 / kPi;
// exp(2 pi centre) is kept only while it is representable with room to spare.
constexpr double kLargestGrowingCentre = 100.0;

std::vector<PlaneSingularity> singularities_of(TwinSymmetry symmetry) {
  // The reflections in the planes y = 0 and y = 1 are y -> -y and y -> 2 - y.
  std::vector<PlaneSingularity> list{
      {false, 1.0, 1.0, 0.0, 1.0}, {false, 1.0, -1.0, 0.0, -1.0}, {false, 1.0, -1.0, 2.0, -1.0}};
  if (symmetry == TwinSymmetry::none) return list;
  if (symmetry == TwinSymmetry::mirror) {
    list.push_back({true, -1.0, 1.0, 0.0, 1.0});
    list.push_back({true, -1.0, -1.0, 0.0, -1.0});
    list.push_back({true, -1.0, -1.0, 2.0, -1.0});
  } else {
    // The twin at (-x, 1 - y); its reflections at (-x, y - 1) and (-x, 1 + y).
    list.push_back({true, -1.0, -1.0, 1.0, 1.0});
    list.push_back({true, -1.0, 1.0, -1.0, -1.0});
    list.push_back({true, -1.0, 1.0, 1.0, -1.0});
  }
  return list;
}

// 1 - q with q = exp(-pi separation), from expm1 where q is close to 1.
double one_minus(double q, double separation) {
  return separation < kCloseSeparation ? -std::expm1(-kPi * separation) : 1.0 - q;
}

// The kernel from q, the sine of half the height difference and the product
// of the sines of the two heights.
double kernel(double q, double separation, double sm, double sine_product) {
  const double d = one_minus(q, separation);
  return kQuarterOverPi * std::log1p(4.0 * q * sine_product / (d * d + 4.0 * q * sm * sm));
}

}  // namespace

PlanePoint plane_point(double x, double centre, double y) {
  const double u = x - centre;
  const double half = 0.5 * kPi * y;
  return {x,
          u,
          y,
          std::exp(kPi * u),
          std::exp(-kPi * u),
          std::sin(half),
          std::cos(half),
          std::sin(kPi * y)};
}

PlaneGreen::PlaneGreen(double centre, TwinSymmetry symmetry)
    : centre_(centre),
      twin_decay_(std::exp(-2.0 * kPi * centre)),
      twin_growth_(centre < kLargestGrowingCentre ? std::exp(2.0 * kPi * centre) : 0.0),
      symmetry_(symmetry),
      singularities_(singularities_of(symmetry)) {}

// q = exp(-pi |u - u0|) = exp(pi min(u, u0)) exp(-pi max(u, u0)).
double PlaneGreen::direct(const PlanePoint& field, const PlanePoint& source) {
  const double separation = std::abs(field.u - source.u);
  const double q = field.u < source.u ? field.growth * source.decay : source.growth * field.decay;
  const double sm = field.half_sin * source.half_cos - field.half_cos * source.half_sin;
  return kernel(q, separation, sm, field.full_sin * source.full_sin);
}

// The twin's image of the source lies at x = -x0, so dx = u + u0 + 2 centre;
// under the point reflection its height is 1 - y0, whose half-angle sine and
// cosine are the source's cosine and sine, and sin(pi (1 - y0)) = sin(pi y0).
double PlaneGreen::twin(const PlanePoint& field, const PlanePoint& source) const {
  if (symmetry_ == TwinSymmetry::none) return 0.0;
  const double dx = field.u + source.u + 2.0 * centre_;
  const double q = dx >= 0.0 ? field.decay * source.decay * twin_decay_
                             : field.growth * source.growth * twin_growth_;
  const bool mirror = symmetry_ == TwinSymmetry::mirror;
  const double source_sin = mirror ? source.half_sin : source.half_cos;
  const double source_cos = mirror ? source.half_cos : source.half_sin;
  const double sm = field.half_sin * source_cos - field.half_cos * source_sin;
  return kernel(q, std::abs(dx), sm, field.full_sin * source.full_sin);
}

double PlaneGreen::direct_regular_part(const PlanePoint& p) {
  return kHalfOverPi * std::log(2.0 * p.full_sin / kPi);
}

}  // namespace ketrovane::field
