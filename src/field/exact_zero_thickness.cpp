#include "field/exact_zero_thickness.hpp"

#include <cmath>
#include <numbers>

namespace ketrovane::field {
namespace {

double arithmeticGeometricMean(double a, double g) {
  for (int iteration = 0; iteration < 64 && std::abs(a - g) > 1e-16 * a; ++iteration) {
    const double next = 0.5 * (a + g);
    g = std::sqrt(a * g);
    a = next;
  }
  return 0.5 * (a + g);
}

// K(k) for k' below this is ln(4/k') to within k'^2 ln(1/k') relative, and the
// AGM would underflow its way there.
constexpr double kTinyComplement = 1e-150;

// K(k) from its complementary modulus k'.
double ellipticKFromComplement(double kComplement) {
  if (kComplement < kTinyComplement) return std::log(4.0) - std::log(kComplement);
  return std::numbers::pi / (2.0 * arithmeticGeometricMean(1.0, kComplement));
}

// ln sech(x) = ln 2 - x - ln(1 + exp(-2x)), exact for any x >= 0.
double logSech(double x) {
  return std::log(2.0) - x - std::log1p(std::exp(-2.0 * x));
}
// ln sinh(x) = x - ln 2 + ln(1 - exp(-2x)), x > 0.
double logSinh(double x) {
  return x - std::log(2.0) + std::log(-std::expm1(-2.0 * x));
}

// Natural logarithms of k' for the two modes, formed without cancellation and
// without overflow however wide the strips.
double logEvenComplement(double a, double c) {
  // k_e'^2 = sech^2 a (1 + tanh^2 a sech^2 c / sech^2 a)
  const double ratio = std::exp(2.0 * (logSech(c) - logSech(a)));
  return logSech(a) + 0.5 * std::log1p(std::tanh(a) * std::tanh(a) * ratio);
}

double logOddComplement(double a, double c) {
  const double logCoshA = a - std::log(2.0) + std::log1p(std::exp(-2.0 * a));
  return 0.5 * (logSinh(c - a) + logSinh(c + a)) - logCoshA - logSinh(c);
}

double capacitanceFromModulus(double k, double logComplement) {
  const double kComplement = std::exp(logComplement);
  if (kComplement < kTinyComplement) {
    return 4.0 * (std::log(4.0) - logComplement) / (std::numbers::pi / 2.0);
  }
  return 4.0 * ellipticRatio(k, kComplement);
}

}  // namespace

double ellipticRatio(double k, double kComplement) {
  return ellipticKFromComplement(kComplement) / ellipticKFromComplement(k);
}

ExactCapacitances zeroThicknessCapacitances(double w, double s) {
  const double a = std::numbers::pi * w / 2.0;
  const double c = std::numbers::pi * (w + s) / 2.0;
  const double ke = std::tanh(a) * std::tanh(c);
  const double ko = std::tanh(a) / std::tanh(c);
  return {capacitanceFromModulus(ke, logEvenComplement(a, c)),
          capacitanceFromModulus(ko, logOddComplement(a, c))};
}

}  // namespace ketrovane::field
