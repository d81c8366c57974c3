// Closed-form answers the field solver is held against, written out here
// independently of the library, in the forms the papers print.
#pragma once

#include <cmath>
#include <numbers>
#include <vector>

#include "field/field_solver.hpp"

namespace ketrovane::field::testing {

// Per strip, C/eps = 4 K(k)/K(k') (S. B. Cohn, IRE Trans. MTT-3, 1955), with
// the complementary modulus handed in so that it keeps its digits.
inline double capacitance_from_modulus(double k, double k_complement) {
  return 4.0 * std::comp_ellint_1(k) / std::comp_ellint_1(k_complement);
}

struct ModeCapacitancePair {
  double even;
  double odd;
};

// Coupled strips of zero thickness, w and s in units of b:
// k_e = tanh(a) tanh(c), k_o = tanh(a)/tanh(c), a = pi w/2b, c = pi (w+s)/2b;
// 1 - k_e^2 = sech^2 a + sech^2 c tanh^2 a and
// 1 - k_o^2 = (sech^2 a - sech^2 c)/tanh^2 c, sech^2 a - sech^2 c =
// sinh(c - a) sinh(c + a)/(cosh^2 a cosh^2 c).
inline ModeCapacitancePair cohn_zero_thickness(double w, double s) {
  const double a = std::numbers::pi * w / 2.0;
  const double c = std::numbers::pi * (w + s) / 2.0;
  const double sech2a = 1.0 / (std::cosh(a) * std::cosh(a));
  const double sech2c = 1.0 / (std::cosh(c) * std::cosh(c));
  const double ke = std::tanh(a) * std::tanh(c);
  const double ko = std::tanh(a) / std::tanh(c);
  const double ke_complement = std::sqrt(sech2a + sech2c * std::tanh(a) * std::tanh(a));
  const double sech_difference = std::sinh(c - a) * std::sinh(c + a) * sech2a * sech2c;
  const double ko_complement = std::sqrt(sech_difference) / std::tanh(c);
  return {capacitance_from_modulus(ke, ke_complement), capacitance_from_modulus(ko, ko_complement)};
}

// One strip of zero thickness alone between the planes: k = tanh(pi w/2b).
inline double cohn_isolated_strip(double w) {
  const double a = std::numbers::pi * w / 2.0;
  return capacitance_from_modulus(std::tanh(a), 1.0 / std::cosh(a));
}

// Fringing capacitance per plane of the edge of a semi-infinite plate of
// thickness t centred between the planes, exact by conformal mapping
// (S. B. Cohn, IRE Trans. MTT-2, 1954):
// C'f/eps = (1/pi) [2/(1 - t/b) ln(1/(1 - t/b) + 1) - (1/(1 - t/b) - 1) ln(1/(1 - t/b)^2 - 1)].
inline double cohn_edge_fringing(double tb) {
  const double x = 1.0 / (1.0 - tb);
  const double second = tb == 0.0 ? 0.0 : (x - 1.0) * std::log(x * x - 1.0);
  return (2.0 * x * std::log(x + 1.0) - second) / std::numbers::pi;
}

// Strips of zero thickness one above the other, right above each other, s
// apart (S. B. Cohn, IRE Trans. MTT-8, 1960), parametrised by the modulus
// k > s/b: the width
//   w/b = (1/pi) [ln((1 + R)/(1 - R)) - (s/b) ln((1 + R/k)/(1 - R/k))],
//   R = sqrt((k b/s - 1)/(b/(k s) - 1)),
// and per strip C_even/eps = 2 K(k)/K(k'), C_odd/eps = (4/pi) artanh(k) b/s.
// Exact as the strips widen (the error falls exponentially in w/s).
struct StackedSheets {
  double w;  // units of b
  ModeCapacitancePair capacitance;
};

inline StackedSheets cohn_stacked_sheets(double s, double k) {
  const double r = std::sqrt((k / s - 1.0) / (1.0 / (k * s) - 1.0));
  const double w = (std::log((1.0 + r) / (1.0 - r)) - s * std::log((1.0 + r / k) / (1.0 - r / k))) /
                   std::numbers::pi;
  const double k_complement = std::sqrt((1.0 - k) * (1.0 + k));
  return {w,
          {2.0 * std::comp_ellint_1(k) / std::comp_ellint_1(k_complement),
           4.0 / std::numbers::pi * std::atanh(k) / s}};
}

inline double impedance_of(double capacitance, double er) {
  return kFreeSpaceImpedance / (std::sqrt(er) * capacitance);
}

// Potential of a unit line charge between planes at 0 and 1 (absolute
// heights), by its Fourier series (1/pi) sum sin(m pi y) sin(m pi y0)
// exp(-m pi |dx|)/m: independent of the closed forms, converging
// geometrically for dx != 0.
inline double fourier_series(double dx, double y, double y0) {
  constexpr double kPi = std::numbers::pi;
  long double sum = 0.0L;
  const long double q = std::exp(-kPi * std::abs(dx));
  long double qm = 1.0L;
  for (int m = 1; m < 200000; ++m) {
    qm *= q;
    sum += std::sin(m * kPi * y) * std::sin(m * kPi * y0) * qm / m;
    if (qm < 1e-24L) break;
  }
  return static_cast<double>(sum / kPi);
}

// Log-spaced values from first to last, inclusive.
inline std::vector<double> log_spaced(double first, double last, int count) {
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    values.push_back(first * std::pow(last / first, static_cast<double>(i) / (count - 1)));
  return values;
}

}  // namespace ketrovane::field::testing
