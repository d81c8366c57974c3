#include "field/gauss_legendre.hpp"

#include <cmath>
#include <numbers>

namespace ketrovane::field {
namespace {

// P_n(x) and its derivative.
struct LegendreValue {
  double p;
  double dp;
};

LegendreValue legendre_with_derivative(int n, double x) {
  double previous = 1.0;
  double current = x;
  for (int k = 1; k < n; ++k) {
    const double next = ((2.0 * k + 1.0) * x * current - k * previous) / (k + 1.0);
    previous = current;
    current = next;
  }
  // n P_{n-1} = n x P_n - (1 - x^2) P'_n, nodes never reach x = +-1.
  const double derivative = n * (x * current - previous) / (x * x - 1.0);
  return {current, derivative};
}

double newton_node(int n, int i) {
  // Tricomi's asymptotic guess for the i-th largest root.
  const double theta = std::numbers::pi * (i + 0.75) / (n + 0.5);
  double x = std::cos(theta);
  for (int iteration = 0; iteration < 100; ++iteration) {
    const LegendreValue v = legendre_with_derivative(n, x);
    const double step = v.p / v.dp;
    x -= step;
    if (std::abs(step) < 1e-16) break;
  }
  return x;
}

}  // namespace

GaussRule gauss_legendre(int n) {
  if (n == 1) return {{0.0}, {2.0}};
  GaussRule rule;
  rule.nodes.resize(n);
  rule.weights.resize(n);
  for (int i = 0; i < n; ++i) {
    const double x = newton_node(n, i);
    const double dp = legendre_with_derivative(n, x).dp;
    rule.nodes[n - 1 - i] = x;  // the guesses descend
    rule.weights[n - 1 - i] = 2.0 / ((1.0 - x * x) * dp * dp);
  }
  return rule;
}

void legendre_polynomials(double x, int n, double* values) {
  if (n <= 0) return;
  values[0] = 1.0;
  if (n == 1) return;
  values[1] = x;
  for (int k = 1; k + 1 < n; ++k)
    values[k + 1] = ((2.0 * k + 1.0) * x * values[k] - k * values[k - 1]) / (k + 1.0);
}

// The n-point rule integrates L_m P_k (degree <= 2n - 2) exactly, so the
// Legendre coefficients of L_m are (2k + 1)/2 w_m P_k(tau_m).
ReferencePanel reference_panel(int n) {
  ReferencePanel panel{gauss_legendre(n), std::vector<double>(static_cast<std::size_t>(n) * n)};
  std::vector<double> p(n);
  for (int m = 0; m < n; ++m) {
    legendre_polynomials(panel.rule.nodes[m], n, p.data());
    for (int k = 0; k < n; ++k)
      panel.lagrange_to_legendre[static_cast<std::size_t>(m) * n + k] =
          (2.0 * k + 1.0) / 2.0 * panel.rule.weights[m] * p[k];
  }
  return panel;
}

}  // namespace ketrovane::field
