// Exact capacitances of two strips of zero thickness one directly above the
// other (broadside, no sideways offset), centred between grounded planes b
// apart, for any width, by a Schwarz-Christoffel map.
//
// Symmetry.  The centre plane is a magnetic wall in the even mode and an
// electric wall in the odd mode, so each mode is one strip of width w in the
// channel 0 < y < H = b/2 between the wall (y = 0) and a ground plane
// (y = H), at height d = sv/2 above the wall.  The vertical line through the
// strip's centre is a magnetic wall in both modes: only the quarter Q =
// {x > 0, 0 < y < H} cut by the half-strip {y = d, 0 < x < w/2} is needed.
//
// The map.  Q is a degenerate polygon with vertices A = 0, the channel end
// P at x = +infinity, D = iH, E = id (upper face), the tip F = w/2 + id and
// E' = id (lower face).  A, D, E and E' are right angles.  Let u run over the
// rectangle R = [0, K] x [0, K'] of the Jacobi functions of modulus k, nome
// q = exp(-pi K'/K), and send the corners 0, K, K + iK', iK' of R to A, D,
// E, E'.  The map z(u) is conformal at these corners, and dz/du is real on
// all four sides (each side of R goes to a horizontal or a vertical segment),
// so by reflection dz/du is an elliptic function with periods 2K and 2iK':
// simple poles at u = +-p on the real axis (P and its mirror) and zeros at
// +-f + iK' (F).  With theta functions of argument v = pi u / 2K,
//
//   z(u) = (H/pi) ln[theta1(v_p + v) / theta1(v_p - v)],  v_p = pi p / 2K,
//
// is the map: on the real axis it is real up to the pole and jumps by iH
// past it (the residue H/pi is the channel's width over pi), and no linear
// term is allowed because D must lie on x = 0.  On the left side u = iy the
// ratio has modulus 1, so z climbs the axis x = 0 to z(iK') = iH (1 -
// 2 v_p/pi) = id: hence v_p = pi/2 - delta with delta = pi d / 2H = pi sv/2b.
// On the top side u = x + iK' the identities theta1(v + pi tau/2) =
// i q^(-1/4) exp(-iv) theta4(v) give, with y = pi/2 - pi x / 2K,
//
//   z = id + (H/pi) ln[theta4(y + delta) / theta4(y - delta)],
//
// which runs out to the tip and back.  The tip is the largest value, so the
// width fixes the nome through
//
//   max over 0 < y < pi/2 of ln[theta4(y + delta)/theta4(y - delta)] = pi w/b.
//
// Odd mode.  In Q the ground (the channel's floor and roof with P between
// them) is the side [A, D] of R, the strip [E, E'] the opposite side, and
// the axis x = 0 the two others: C/eps of Q is K/K', of the strip
//
//   C_odd = 2 K/K' = 2 pi / ln(1/q).
//
// Even mode.  The floor [A, P] is now part of the magnetic wall, so the
// corners of the capacitor are P, D, E, E'.  sn^2 sends R onto the upper
// half plane with A, P, D, E, E' at 0, sn^2 p, 1, 1/k^2, infinity; the cross
// ratio of P, D, E, E' gives the capacitor's modulus k_e = k cd(p) = k sn(K -
// p), k_e' = dn(K - p), K - p = 2K delta/pi, that is, in theta functions,
//
//   k_e  = theta2(0) theta1(delta) / (theta3(0) theta4(delta)),
//   k_e' = theta4(0) theta3(delta) / (theta3(0) theta4(delta)),
//
//   C_even = 2 K(k_e) / K(k_e').
//
// Checks: sv = b/2 puts the strip midway in the odd mode and the width
// condition becomes k' = exp(-pi w/H), the Landen transform of Cohn's
// tanh(pi w/2H), so C_odd = 4 K(k0)/K(k0') as for a centred strip.
//
// Numerics.  For K'/K >= 1 the theta series in q converge at least as fast
// as exp(-pi n^2); below, Jacobi's imaginary transformation gives series in
// q' = exp(-pi K/K') with the Gaussian factor taken out in logarithms, so
// strips thousands of gaps wide keep their digits.
#pragma once

#include "field/exact_zero_thickness.hpp"
#include "field/field_solver.hpp"

namespace ketrovane::field {

// C/eps of one strip in each mode; w and sv in units of b, 0 < sv < 1.
ExactCapacitances broadside_capacitances(double w, double sv);

// The map's answer as a FieldResult, with an error estimate of 1e-13, more
// where sv is so close to b that b - sv keeps few of its digits.
// Requires arrangement broadside, t = 0, wo = 0, 0 < sv < b, w > 0 and
// otherwise the dimensions solve() accepts.
FieldResult exact_broadside_zero_thickness(const Geometry& g);

}  // namespace ketrovane::field
