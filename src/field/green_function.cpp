#include "field/green_function.hpp"

#include <cmath>
#include <numbers>

namespace ketrovane::field {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kQuarterOverPi = 1.0 / (4.0 * kPi);
constexpr double kHalfOverPi = 1.0 / (2.0 * kPi);
// Closer than this (q above exp(-0.1)) 1 - q is taken from expm1.
constexpr double kCloseSeparation = 0.1 / kPi;

std::vector<LogSingularity> singularities_of(bool zero_thickness) {
  std::vector<LogSingularity> list;
  for (const bool mirror_x : {false, true}) {
    if (zero_thickness) {
      list.push_back({mirror_x, false, 0.0, 1.0});
      list.push_back({mirror_x, true, 1.0, -1.0});
      list.push_back({mirror_x, true, -1.0, -1.0});
      continue;
    }
    for (const bool mirror_y : {false, true}) {
      list.push_back({mirror_x, mirror_y, 0.0, 1.0});
      // y -> 1 - y and y -> -1 - y are the reflections in the planes y = +-1/2.
      list.push_back({mirror_x, !mirror_y, 1.0, -1.0});
      list.push_back({mirror_x, !mirror_y, -1.0, -1.0});
    }
  }
  return list;
}

// Heights enter through the two half-angle sines and the product of the
// cosines, the same for the direct and the twin term.
struct Heights {
  double sm2;  // sin^2(pi (y - y0)/2)
  double sp2;  // sin^2(pi (y + y0)/2)
  double cc;   // cos(pi y) cos(pi y0)
};

Heights heights_of(const FieldPoint& field, const FieldPoint& source) {
  const double sm = field.half_sin * source.half_cos - field.half_cos * source.half_sin;
  const double sp = field.half_sin * source.half_cos + field.half_cos * source.half_sin;
  return {sm * sm, sp * sp, field.full_cos * source.full_cos};
}

// 1 - q with q = exp(-pi separation), from expm1 where q is close to 1.
double one_minus(double q, double separation) {
  return separation < kCloseSeparation ? -std::expm1(-kPi * separation) : 1.0 - q;
}

double pair_of_sheets(double q, double d, const Heights& h) {
  const double d2 = d * d;
  const double numerator = 8.0 * q * (1.0 + q * q) * h.cc;
  return kQuarterOverPi * std::log1p(numerator / ((d2 + 4.0 * q * h.sm2) * (d2 + 4.0 * q * h.sp2)));
}

double single_sheet(double q, double d) {
  return kQuarterOverPi * std::log1p(4.0 * q / (d * d));
}

}  // namespace

FieldPoint field_point(double xi, double y) {
  const double half = 0.5 * kPi * y;
  return {xi,
          y,
          std::sin(half),
          std::cos(half),
          std::cos(kPi * y),
          std::exp(kPi * xi),
          std::exp(-kPi * xi)};
}

GreenFunction::GreenFunction(double s, bool zero_thickness)
    : s_(s),
      gap_decay_(std::exp(-kPi * s)),
      zero_thickness_(zero_thickness),
      singularities_(singularities_of(zero_thickness)) {}

// q = exp(-pi |xi - xi0|) = exp(pi min(xi, xi0)) exp(-pi max(xi, xi0)).
GreenFunction::Potentials GreenFunction::potentials(const FieldPoint& field,
                                                    const FieldPoint& source) const {
  const double separation = std::abs(field.xi - source.xi);
  const double q = field.xi < source.xi ? field.growth * source.decay : source.growth * field.decay;
  const double d = one_minus(q, separation);
  const double twin_separation = field.xi + source.xi + s_;
  const double qt = twin_decay(field, source);
  const double dt = one_minus(qt, twin_separation);
  if (zero_thickness_) return {single_sheet(q, d), single_sheet(qt, dt)};
  const Heights h = heights_of(field, source);
  return {pair_of_sheets(q, d, h), pair_of_sheets(qt, dt, h)};
}

double GreenFunction::twin(const FieldPoint& field, const FieldPoint& source) const {
  const double separation = field.xi + source.xi + s_;
  const double q = twin_decay(field, source);
  const double d = one_minus(q, separation);
  if (zero_thickness_) return single_sheet(q, d);
  return pair_of_sheets(q, d, heights_of(field, source));
}

// Near the source cosh(pi dx) - cos(pi dy) -> (pi r)^2/2, which leaves
// ln(2 cos(pi y)/(pi sin(pi y)))/(2 pi) from the pair, or ln(2/pi)/(2 pi) from
// a single sheet.
double GreenFunction::direct_regular_part(const FieldPoint& p) const {
  if (zero_thickness_) return kHalfOverPi * std::log(2.0 / kPi);
  const double sin_full = 2.0 * p.half_sin * p.half_cos;  // sin(pi y)
  return kHalfOverPi * std::log(2.0 * p.full_cos / (kPi * std::abs(sin_full)));
}

}  // namespace ketrovane::field
