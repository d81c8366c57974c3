#include "field/exact_zero_thickness.hpp"

#include <cmath>
#include <numbers>

namespace ketrovane::field {
namespace {

double arithmetic_geometric_mean(double a, double g) {
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
double elliptic_k_from_complement(double k_complement) {
  if (k_complement < kTinyComplement) return std::log(4.0) - std::log(k_complement);
  return std::numbers::pi / (2.0 * arithmetic_geometric_mean(1.0, k_complement));
}

// ln sech(x) = ln 2 - x - ln(1 + exp(-2x)), exact for any x >= 0.
double log_sech(double x) {
  return std::log(2.0) - x - std::log1p(std::exp(-2.0 * x));
}
// ln sinh(x) = x - ln 2 + ln(1 - exp(-2x)), x > 0.
double log_sinh(double x) {
  return x - std::log(2.0) + std::log(-std::expm1(-2.0 * x));
}

// Natural logarithms of k' for the two modes, formed without cancellation and
// without overflow however wide the strips.
double log_even_complement(double a, double c) {
  // k_e'^2 = sech^2 a (1 + tanh^2 a sech^2 c / sech^2 a)
  const double ratio = std::exp(2.0 * (log_sech(c) - log_sech(a)));
  return log_sech(a) + 0.5 * std::log1p(std::tanh(a) * std::tanh(a) * ratio);
}

double log_odd_complement(double a, double c) {
  const double log_cosh_a = a - std::log(2.0) + std::log1p(std::exp(-2.0 * a));
  return 0.5 * (log_sinh(c - a) + log_sinh(c + a)) - log_cosh_a - log_sinh(c);
}

double capacitance_from_modulus(double k, double log_complement) {
  const double k_complement = std::exp(log_complement);
  if (k_complement < kTinyComplement) {
    return 4.0 * (std::log(4.0) - log_complement) / (std::numbers::pi / 2.0);
  }
  return 4.0 * elliptic_ratio(k, k_complement);
}

}  // namespace

double elliptic_ratio(double k, double k_complement) {
  return elliptic_k_from_complement(k_complement) / elliptic_k_from_complement(k);
}

ExactCapacitances zero_thickness_capacitances(double w, double s) {
  const double a = std::numbers::pi * w / 2.0;
  const double c = std::numbers::pi * (w + s) / 2.0;
  const double ke = std::tanh(a) * std::tanh(c);
  const double ko = std::tanh(a) / std::tanh(c);
  return {capacitance_from_modulus(ke, log_even_complement(a, c)),
          capacitance_from_modulus(ko, log_odd_complement(a, c))};
}

}  // namespace ketrovane::field
