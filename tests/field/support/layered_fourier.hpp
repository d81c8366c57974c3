// A second way to the mode capacitances of two equal strips of zero
// thickness in a stack of dielectric layers: Galerkin's method with the
// layered medium's Green's function in the Fourier domain.
//
// A sheet of charge cos(kx) at height y0 between the grounded planes has the
// potential G(k; y, y0) cos(kx), G found by carrying (phi, er dphi/dy) through
// the layers from each plane (cosh and sinh in each layer) and joining the
// two solutions at y0 with the unit jump of er dphi/dy.  On a strip of
// half-width a centred at c the free charge is sum alpha_n T_n(u)/sqrt(1-u^2),
// u = (x - c)/a, whose transform is a pi (-i)^n J_n(ka) e^(-ikc); with the
// twin (mirror or point image, even or odd) the Galerkin matrix is
//
//   M_mn = a^2 pi integral over k > 0 of J_m J_n [G_own s_mn + G_twin t_mn(k)],
//
// s and t the phase factors of the two strips.  G_own falls as 1/(k(er_a +
// er_b)); so that the integral converges fast, the same integral with the
// one-dielectric parallel-plate function of er = (er_a + er_b)/2 is taken
// away and that part done in space instead, where the logarithm of the
// source is integrated exactly against the Chebyshev basis and the rest by
// Gauss-Chebyshev quadrature.  What is left decays as exp(-2 k d), d the
// distance from the strips to the nearest other interface or plane.
//
// Lengths in units of b; layers bottom to top.  Nothing is kept between calls.
#pragma once

#include <vector>

namespace ketrovane::field::testing {

struct FourierLayer {
  double thickness;
  double er;
};

struct FourierPair {
  double w;
  double height;         // of the strips (side by side) or of the upper one (one above the other)
  double centre;         // of the strip at x > 0: (s + w)/2 side by side, wo/2 one above the other
  bool one_above_other;  // the twin is the point image (else the mirror image)
};

struct FourierCapacitances {
  double even;  // free charge C/eps0 of one strip at unit potential
  double odd;
};

FourierCapacitances fourier_capacitances(const std::vector<FourierLayer>& layers,
                                         const FourierPair& pair, int modes = 12);

}  // namespace ketrovane::field::testing
