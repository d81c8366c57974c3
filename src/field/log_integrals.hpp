// Logarithmic potentials of polynomial densities on a straight panel, in
// closed form.  With the panel mapped onto [-1, 1] and the field point at z:
//
//   integral of P_0(tau) ln|z - tau| = Re[(z+1) ln(z+1) - (z-1) ln(z-1)] - 2,
//   integral of P_k(tau) ln|z - tau| = 2/(2k+1) Re[Q_{k+1}(z) - Q_{k-1}(z)],
//
// for k >= 1, Q_n being Legendre functions of the second kind (integrate by
// parts with (2k+1) P_k = P'_{k+1} - P'_{k-1}, then Neumann's integral
// Q_n(z) = 1/2 integral of P_n(t)/(z - t)).  The forward recurrence for Q_n
// loses about log10(rho^n) digits at a point on the Bernstein ellipse rho, so
// it is meant for points within a few half-lengths of the panel.
#pragma once

#include <complex>
#include <vector>

#include "field/gauss_legendre.hpp"

namespace ketrovane::field {

// Highest panel order the closed forms are used for.
inline constexpr int kMaxPanelOrder = 24;

// integral over [-1, 1] of P_k(tau) ln|z - tau| dtau for k = 0 .. n - 1,
// 1 <= n <= kMaxPanelOrder.  z must not be an end point (+-1); it may lie on
// the interval.
void legendre_log_moments(std::complex<double> z, int n, double* moments);

// Integrals of the Lagrange polynomials of the reference panel times
// ln|tau_i - tau| over [-1, 1], at its own nodes tau_i: row i, column m.  The
// same for every panel, so computed once per solution.
std::vector<double> self_integrals(const ReferencePanel& reference);

// Integrals over [-1, 1] of each Lagrange polynomial of the reference panel
// times ln|z - tau|.
void lagrange_log_integrals(const ReferencePanel& reference, std::complex<double> z,
                            double* integrals);

}  // namespace ketrovane::field
