// Cohn's exact solution for coupled strips of zero thickness (S. B. Cohn,
// "Shielded coupled-strip transmission line", IRE Trans. MTT-3, 1955), by
// conformal mapping: per strip C/eps = 4 K(k)/K(k') with
//
//   k_e = tanh(pi w / 2b) tanh(pi (w + s) / 2b),
//   k_o = tanh(pi w / 2b) / tanh(pi (w + s) / 2b).
//
// The complementary moduli come from the hyperbolic identities, never from
// sqrt(1 - k^2), so narrow gaps and wide strips keep their digits:
//
//   k_e'^2 = sech^2(a) + sech^2(c) tanh^2(a),
//   k_o'^2 = sinh(c - a) sinh(c + a) / (cosh^2(a) sinh^2(c)),
//
// with a = pi w / 2b, c = pi (w + s) / 2b.
#pragma once

namespace ketrovane::field {

// Normalised capacitances C/eps of one strip of zero thickness; w and s in
// units of b.
struct ExactCapacitances {
  double even;
  double odd;
};

ExactCapacitances zero_thickness_capacitances(double w, double s);

// K(k)/K(k') from the modulus and its complement, both given accurately;
// by the arithmetic-geometric mean, K(k) = pi / (2 AGM(1, k')).
double elliptic_ratio(double k, double k_complement);

}  // namespace ketrovane::field
