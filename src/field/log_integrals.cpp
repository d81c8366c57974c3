#include "field/log_integrals.hpp"

#include <array>
#include <cmath>
#include <cstddef>

namespace ketrovane::field {
namespace {

// Plain complex arithmetic: the library's operators check every product for
// infinities, which the points used here never produce.
struct Cplx {
  double re;
  double im;
};

Cplx operator+(Cplx a, Cplx b) {
  return {a.re + b.re, a.im + b.im};
}
Cplx operator-(Cplx a, Cplx b) {
  return {a.re - b.re, a.im - b.im};
}
Cplx operator*(Cplx a, Cplx b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
Cplx operator*(double a, Cplx b) {
  return {a * b.re, a * b.im};
}

// Principal logarithm.
Cplx log_of(Cplx a) {
  return {0.5 * std::log(a.re * a.re + a.im * a.im), std::atan2(a.im, a.re)};
}

}  // namespace

void legendre_log_moments(std::complex<double> z, int n, double* moments) {
  if (n <= 0 || n > kMaxPanelOrder) return;
  const Cplx x{z.real(), z.imag()};
  const Cplx zp = x + Cplx{1.0, 0.0};
  const Cplx zm = x - Cplx{1.0, 0.0};
  const Cplx lp = log_of(zp);
  const Cplx lm = log_of(zm);
  moments[0] = (zp * lp - zm * lm).re - 2.0;
  if (n == 1) return;

  // Q_0 ... Q_n; the principal branches give the right real parts on the
  // interval and on either side of it.
  std::array<Cplx, kMaxPanelOrder + 1> q{};
  q[0] = 0.5 * (lp - lm);
  q[1] = x * q[0] - Cplx{1.0, 0.0};
  for (int k = 1; k < n; ++k) {
    q[k + 1] =
        (1.0 / (k + 1.0)) * ((2.0 * k + 1.0) * (x * q[k]) - static_cast<double>(k) * q[k - 1]);
  }
  for (int k = 1; k < n; ++k) moments[k] = 2.0 / (2.0 * k + 1.0) * (q[k + 1].re - q[k - 1].re);
}

std::vector<double> self_integrals(const ReferencePanel& reference) {
  const int order = reference.size();
  std::vector<double> table(static_cast<std::size_t>(order) * order);
  std::array<double, kMaxPanelOrder> moments{};
  for (int i = 0; i < order; ++i) {
    legendre_log_moments(reference.rule.nodes[i], order, moments.data());
    for (int m = 0; m < order; ++m) {
      double sum = 0.0;
      for (int k = 0; k < order; ++k)
        sum += reference.lagrange_to_legendre[static_cast<std::size_t>(m) * order + k] * moments[k];
      table[static_cast<std::size_t>(i) * order + m] = sum;
    }
  }
  return table;
}

void lagrange_log_integrals(const ReferencePanel& reference, std::complex<double> z,
                            double* integrals) {
  const int order = reference.size();
  std::array<double, kMaxPanelOrder> moments{};
  legendre_log_moments(z, order, moments.data());
  for (int m = 0; m < order; ++m) {
    const double* row = &reference.lagrange_to_legendre[static_cast<std::size_t>(m) * order];
    double sum = 0.0;
    for (int k = 0; k < order; ++k) sum += row[k] * moments[k];
    integrals[m] = sum;
  }
}

}  // namespace ketrovane::field
