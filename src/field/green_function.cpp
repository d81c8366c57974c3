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

std::vector<LogSingularity> singularitiesOf(bool zeroThickness) {
  std::vector<LogSingularity> list;
  for (const bool mirrorX : {false, true}) {
    if (zeroThickness) {
      list.push_back({mirrorX, false, 0.0, 1.0});
      list.push_back({mirrorX, true, 1.0, -1.0});
      list.push_back({mirrorX, true, -1.0, -1.0});
      continue;
    }
    for (const bool mirrorY : {false, true}) {
      list.push_back({mirrorX, mirrorY, 0.0, 1.0});
      // y -> 1 - y and y -> -1 - y are the reflections in the planes y = +-1/2.
      list.push_back({mirrorX, !mirrorY, 1.0, -1.0});
      list.push_back({mirrorX, !mirrorY, -1.0, -1.0});
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

Heights heightsOf(const FieldPoint& field, const FieldPoint& source) {
  const double sm = field.halfSin * source.halfCos - field.halfCos * source.halfSin;
  const double sp = field.halfSin * source.halfCos + field.halfCos * source.halfSin;
  return {sm * sm, sp * sp, field.fullCos * source.fullCos};
}

// 1 - q with q = exp(-pi separation), from expm1 where q is close to 1.
double oneMinus(double q, double separation) {
  return separation < kCloseSeparation ? -std::expm1(-kPi * separation) : 1.0 - q;
}

double pairOfSheets(double q, double d, const Heights& h) {
  const double d2 = d * d;
  const double numerator = 8.0 * q * (1.0 + q * q) * h.cc;
  return kQuarterOverPi * std::log1p(numerator / ((d2 + 4.0 * q * h.sm2) * (d2 + 4.0 * q * h.sp2)));
}

double singleSheet(double q, double d) {
  return kQuarterOverPi * std::log1p(4.0 * q / (d * d));
}

}  // namespace

FieldPoint fieldPoint(double xi, double y) {
  const double half = 0.5 * kPi * y;
  return {xi,
          y,
          std::sin(half),
          std::cos(half),
          std::cos(kPi * y),
          std::exp(kPi * xi),
          std::exp(-kPi * xi)};
}

GreenFunction::GreenFunction(double s, bool zeroThickness)
    : s_(s),
      gapDecay_(std::exp(-kPi * s)),
      zeroThickness_(zeroThickness),
      singularities_(singularitiesOf(zeroThickness)) {}

// q = exp(-pi |xi - xi0|) = exp(pi min(xi, xi0)) exp(-pi max(xi, xi0)).
GreenFunction::Potentials GreenFunction::potentials(const FieldPoint& field,
                                                    const FieldPoint& source) const {
  const double separation = std::abs(field.xi - source.xi);
  const double q = field.xi < source.xi ? field.growth * source.decay : source.growth * field.decay;
  const double d = oneMinus(q, separation);
  const double twinSeparation = field.xi + source.xi + s_;
  const double qt = twinDecay(field, source);
  const double dt = oneMinus(qt, twinSeparation);
  if (zeroThickness_) return {singleSheet(q, d), singleSheet(qt, dt)};
  const Heights h = heightsOf(field, source);
  return {pairOfSheets(q, d, h), pairOfSheets(qt, dt, h)};
}

double GreenFunction::twin(const FieldPoint& field, const FieldPoint& source) const {
  const double separation = field.xi + source.xi + s_;
  const double q = twinDecay(field, source);
  const double d = oneMinus(q, separation);
  if (zeroThickness_) return singleSheet(q, d);
  return pairOfSheets(q, d, heightsOf(field, source));
}

// Near the source cosh(pi dx) - cos(pi dy) -> (pi r)^2/2, which leaves
// ln(2 cos(pi y)/(pi sin(pi y)))/(2 pi) from the pair, or ln(2/pi)/(2 pi) from
// a single sheet.
double GreenFunction::directRegularPart(const FieldPoint& p) const {
  if (zeroThickness_) return kHalfOverPi * std::log(2.0 / kPi);
  const double sinFull = 2.0 * p.halfSin * p.halfCos;  // sin(pi y)
  return kHalfOverPi * std::log(2.0 * p.fullCos / (kPi * std::abs(sinFull)));
}

}  // namespace ketrovane::field
