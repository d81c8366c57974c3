// Gauss-Legendre rules on [-1, 1] and the Lagrange basis on their nodes.
#pragma once

#include <vector>

namespace ketrovane::field {

// The n-point Gauss-Legendre rule, exact for polynomials of degree 2n - 1.
struct GaussRule {
  std::vector<double> nodes;  // ascending
  std::vector<double> weights;
};

// Nodes by Newton's iteration on P_n from Tricomi's initial guesses; n >= 1.
GaussRule gauss_legendre(int n);

// A panel of the reference interval [-1, 1] carrying the Gauss nodes, and the
// expansion of each node's Lagrange polynomial in Legendre polynomials:
// L_m(tau) = sum over k of lagrange_to_legendre[m * n + k] P_k(tau).
struct ReferencePanel {
  GaussRule rule;
  std::vector<double> lagrange_to_legendre;  // n x n, row per node
  [[nodiscard]] int size() const { return static_cast<int>(rule.nodes.size()); }
};

ReferencePanel reference_panel(int n);

// P_0(x) ... P_{n-1}(x) by the three-term recurrence.
void legendre_polynomials(double x, int n, double* values);

}  // namespace ketrovane::field
