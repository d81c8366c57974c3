#include "field/exact_broadside.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <string>

#include "field/domain.hpp"

namespace ketrovane::field {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kLog2 = std::numbers::ln2;

// A sum of signed exponentials, kept as its logarithm: sum of sign_n exp(e_n).
class LogSum {
 public:
  void add(double exponent, double sign) {
    if (count_ < terms_.size()) terms_[count_++] = {exponent, sign};
  }
  [[nodiscard]] double log() const {
    double largest = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < count_; ++i) largest = std::max(largest, terms_[i].exponent);
    double sum = 0.0;
    for (std::size_t i = 0; i < count_; ++i)
      sum += terms_[i].sign * std::exp(terms_[i].exponent - largest);
    return largest + std::log(sum);
  }

 private:
  struct Term {
    double exponent;
    double sign;
  };
  std::array<Term, 40> terms_{};
  std::size_t count_ = 0;
};

// Terms smaller than the largest by this factor (in the exponent) are dropped.
constexpr double kNegligible = 45.0;
constexpr int kMostTerms = 39;

// ln cosh(x) and ln sinh(x), x >= 0 (x > 0 for sinh), without overflow.
double log_cosh(double x) {
  return x - kLog2 + std::log1p(std::exp(-2.0 * x));
}
double log_sinh(double x) {
  if (x < 1.0) return std::log(std::sinh(x));
  return x - kLog2 + std::log1p(-std::exp(-2.0 * x));
}

enum class Theta { one, two, three, four };

// ln theta_j(z | q), q = exp(-pi kappa), kappa >= 1: the defining series.
double log_theta_direct(Theta kind, double z, double kappa) {
  const bool half = kind == Theta::one || kind == Theta::two;
  double sum = half ? 0.0 : 1.0;
  for (int n = half ? 0 : 1; n <= kMostTerms; ++n) {
    const double m = half ? n + 0.5 : n;
    const double weight = 2.0 * std::exp(-kPi * kappa * m * m);
    if (weight < 1e-18 * std::abs(sum)) break;
    const double alternate = (kind == Theta::one || kind == Theta::four) && n % 2 == 1 ? -1.0 : 1.0;
    const double wave = kind == Theta::one ? std::sin(2.0 * m * z) : std::cos(2.0 * m * z);
    sum += alternate * weight * wave;
  }
  return std::log(sum);
}

// ln theta_j(z | q), kappa < 1, by Jacobi's imaginary transformation:
// theta_j(z | tau) = kappa^(-1/2) exp(-z^2/(pi kappa)) theta_j'(i z/kappa | -1/tau)
// with (1, 2, 3, 4) -> (1, 4, 3, 2), in the nome q' = exp(-pi/kappa).
double log_theta_transformed(Theta kind, double z, double kappa) {
  const double u = std::abs(z) / kappa;
  const bool half = kind == Theta::one || kind == Theta::four;
  const bool alternating = kind == Theta::one || kind == Theta::two;
  LogSum sum;
  double largest = -std::numeric_limits<double>::infinity();
  if (!half) {
    sum.add(0.0, 1.0);
    largest = 0.0;
  }
  for (int n = half ? 0 : 1; n <= kMostTerms; ++n) {
    const double m = half ? n + 0.5 : n;
    const double wave = kind == Theta::one ? log_sinh(2.0 * m * u) : log_cosh(2.0 * m * u);
    const double exponent = kLog2 - kPi * m * m / kappa + wave;
    // Past the peak of the terms, at m = u kappa/pi, they fall like a Gaussian.
    if (m > u * kappa / kPi && exponent < largest - kNegligible) break;
    largest = std::max(largest, exponent);
    sum.add(exponent, alternating && n % 2 == 1 ? -1.0 : 1.0);
  }
  return -0.5 * std::log(kappa) - z * z / (kPi * kappa) + sum.log();
}

double log_theta(Theta kind, double z, double kappa) {
  return kappa >= 1.0 ? log_theta_direct(kind, z, kappa) : log_theta_transformed(kind, z, kappa);
}

// ln[theta4(y + delta)/theta4(y - delta)]: how far the top side of the
// rectangle has carried the map from the strip's centre, in units of H/pi.
double reach(double y, double delta, double kappa) {
  return log_theta(Theta::four, y + delta, kappa) - log_theta(Theta::four, y - delta, kappa);
}

// The tip: the largest reach over 0 < y < pi/2, by golden-section search.
// The value is stationary there, so locating y to 1e-9 gives it to rounding.
double tip_reach(double delta, double kappa) {
  const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
  double low = 0.0;
  double high = kPi / 2.0;
  double left = high - ratio * (high - low);
  double right = low + ratio * (high - low);
  double f_left = reach(left, delta, kappa);
  double f_right = reach(right, delta, kappa);
  while (high - low > 1e-9) {
    if (f_left < f_right) {
      low = left;
      left = right;
      f_left = f_right;
      right = low + ratio * (high - low);
      f_right = reach(right, delta, kappa);
    } else {
      high = right;
      right = left;
      f_right = f_left;
      left = high - ratio * (high - low);
      f_left = reach(left, delta, kappa);
    }
  }
  return std::max(f_left, f_right);
}

// kappa = K'/K of the odd-mode rectangle: the root of tip_reach = pi w/b,
// which falls as kappa grows.  Bracketed, then bisected on ln kappa.
double rectangle_aspect(double w, double delta) {
  const double target = kPi * w;
  double low = 1.0;
  double high = 1.0;
  while (tip_reach(delta, low) < target && low > 1e-300) low /= 4.0;
  while (tip_reach(delta, high) > target && high < 1e300) high *= 4.0;
  for (int i = 0; i < 200 && high - low > 4e-16 * high; ++i) {
    const double middle = std::sqrt(low * high);
    if (tip_reach(delta, middle) > target) {
      low = middle;
    } else {
      high = middle;
    }
  }
  return std::sqrt(low * high);
}

// K(k)/K(k') from ln k and ln k'; either may be far below the smallest double.
double elliptic_ratio_from_logs(double log_k, double log_complement) {
  constexpr double kTiny = -600.0;
  if (log_complement < kTiny) return (2.0 * std::log(2.0) - log_complement) / (kPi / 2.0);
  if (log_k < kTiny) return (kPi / 2.0) / (2.0 * std::log(2.0) - log_k);
  return elliptic_ratio(std::exp(log_k), std::exp(log_complement));
}

double even_capacitance(double delta, double kappa) {
  const double log_theta3 = log_theta(Theta::three, 0.0, kappa);
  const double log_denominator = log_theta3 + log_theta(Theta::four, delta, kappa);
  const double log_k =
      log_theta(Theta::two, 0.0, kappa) + log_theta(Theta::one, delta, kappa) - log_denominator;
  const double log_complement =
      log_theta(Theta::four, 0.0, kappa) + log_theta(Theta::three, delta, kappa) - log_denominator;
  return 2.0 * elliptic_ratio_from_logs(log_k, log_complement);
}

std::optional<std::string> broadside_error(const Geometry& g) {
  if (g.arrangement != Arrangement::broadside)
    return std::string("the exact map is for strips one above the other");
  if (!positive_finite(g.b))
    return "b = " + format_number(g.b) + " is not a positive finite length";
  if (!positive_finite(g.w))
    return "w = " + format_number(g.w) + " is not a positive finite length";
  if (g.t != 0.0) return "t = " + format_number(g.t) + " is not zero";
  if (g.wo != 0.0) return "wo = " + format_number(g.wo) + " is not zero";
  if (!(g.sv > 0.0 && g.sv < g.b))
    return "sv = " + format_number(g.sv) + " is not between 0 and b = " + format_number(g.b);
  if (!std::isfinite(g.er) || g.er < 1.0)
    return "er = " + format_number(g.er) + " is not a finite permittivity of 1 or more";
  if (!std::isfinite(g.w / g.b)) return "w/b = " + format_number(g.w / g.b) + " is not finite";
  return std::nullopt;
}

double impedance(double capacitance, double er) {
  return kFreeSpaceImpedance / (std::sqrt(er) * capacitance);
}

FieldSolution solution_of(const ExactCapacitances& c, double er, double estimate) {
  const ModeSolution even{c.even, impedance(c.even, er), estimate, 0, 0};
  const ModeSolution odd{c.odd, impedance(c.odd, er), estimate, 0, 0};
  const double difference = even.impedance - odd.impedance;
  const double sum = even.impedance + odd.impedance;
  const bool resolved = difference > 0.0;
  const double coupling =
      resolved ? 20.0 * std::log10(difference / sum) : -std::numeric_limits<double>::infinity();
  // The rounding of each impedance, magnified where the two come close.
  const double coupling_error = resolved ? 20.0 / std::log(10.0) * estimate * sum / difference
                                         : std::numeric_limits<double>::infinity();
  return {even, odd, std::sqrt(even.impedance * odd.impedance), coupling, coupling_error, 0};
}

}  // namespace

ExactCapacitances broadside_capacitances(double w, double sv) {
  const double delta = kPi * sv / 2.0;
  const double kappa = rectangle_aspect(w, delta);
  return {even_capacitance(delta, kappa), 2.0 / kappa};
}

FieldResult exact_broadside_zero_thickness(const Geometry& g) {
  if (auto error = broadside_error(g)) return invalid_input(*error);
  const ExactCapacitances c = broadside_capacitances(g.w / g.b, g.sv / g.b);
  // Root and maximum found to a few units of rounding; the logarithms of the
  // theta functions lose up to two digits for the widest strips.  Close to
  // the planes the strip's distance from its plane, b - sv, is known only to
  // the rounding of sv.
  const double estimate = std::max(1e-13, 4e-16 * g.b / (g.b - g.sv));
  return {FieldStatus::ok, "", estimate, solution_of(c, g.er, estimate)};
}

}  // namespace ketrovane::field
