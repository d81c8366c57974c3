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
GaussRule gaussLegendre(int n);

// A panel of the reference interval [-1, 1] carrying the Gauss nodes, and the
// expansion of each node's Lagrange polynomial in Legendre polynomials:
// L_m(tau) = sum over k of lagrangeToLegendre[m * n + k] P_k(tau).
struct ReferencePanel {
  GaussRule rule;
  std::vector<double> lagrangeToLegendre;  // n x n, row per node
  [[nodiscard]] int size() const { return static_cast<int>(rule.nodes.size()); }
};

ReferencePanel referencePanel(int n);

// P_0(x) ... P_{n-1}(x) by the three-term recurrence.
void legendrePolynomials(double x, int n, double* values);

}  // namespace ketrovane::field
