// A second, independent way to the capacitances of two equal strips of zero
// thickness between grounded planes: Galerkin's method of moments with the
// exact potential of a line charge between the planes and a Chebyshev basis
// that carries the inverse-square-root charge at the strips' edges.
//
// The potential at (x, y) of a unit line charge at (x0, y0) between planes at
// y = 0 and y = b, over eps, is the sum of its images,
//
//   G = (1/4 pi) ln[(cosh(pi dx/b) - cos(pi (y + y0)/b)) /
//                   (cosh(pi dx/b) - cos(pi (y - y0)/b))].
//
// On a strip of half-width a centred at c, x = c + a xi, the charge is
// sum c_n T_n(xi)/sqrt(1 - xi^2) d xi.  The logarithm of the nearest source
// and of its nearest image is integrated exactly against each basis function:
// with zeta off or on [-1, 1] and rho = zeta + sqrt(zeta^2 - 1), |rho| >= 1,
//
//   int ln|zeta - xi| T_n(xi)/sqrt(1 - xi^2) d xi
//     = pi ln|rho/2|  (n = 0),   -pi Re(rho^-n)/n  (n >= 1),
//
// from ln(1 - 2 xi t + t^2) = -2 sum T_n(xi) t^n/n.  What remains of G is
// analytic within b of the real axis and goes to Gauss-Chebyshev quadrature.
// The test functions are the basis functions, so the capacitance, stationary
// in the charge, is in error by the square of the charge's error.
//
// All lengths in units of b.  Nothing is kept between calls.
#pragma once

namespace ketrovane::field::testing {

struct MomentCapacitances {
  double even;  // C/eps of one strip
  double odd;
  int modes;  // Chebyshev functions per strip
};

// One strip above the other, the pair centred between the planes: vertical
// gap sv between them, centre lines wo apart sideways.  modes = 0 chooses the
// number of basis functions from how close the strips come.
MomentCapacitances broadside_moments(double w, double sv, double wo, int modes = 0);

// Side by side with edge gap s, both at height h above the lower plane.
MomentCapacitances edge_offset_moments(double w, double s, double h, int modes = 0);

}  // namespace ketrovane::field::testing
