#include "field/support/moments.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace ketrovane::field::testing {
namespace {

using Complex = std::complex<double>;
using Eigen::MatrixXd;
using Eigen::VectorXd;

constexpr double kPi = std::numbers::pi;

struct Strip {
  double centre;
  double height;
};

// Two strips of equal half-width; the pair's symmetry (mirror or point)
// carries xi on the first to -xi on the second.
struct Pair {
  Strip first;
  Strip second;
  double half_width;
};

// Gauss-Chebyshev nodes xi_i = cos(theta_i), each of weight pi/count.
std::vector<double> node_angles(int count) {
  std::vector<double> angles(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) angles[static_cast<std::size_t>(i)] = (i + 0.5) * kPi / count;
  return angles;
}

// T_n(xi_i) = cos(n theta_i).
MatrixXd chebyshev_values(const std::vector<double>& angles, int modes) {
  MatrixXd values(static_cast<Eigen::Index>(angles.size()), modes);
  for (Eigen::Index i = 0; i < values.rows(); ++i)
    for (int n = 0; n < modes; ++n)
      values(i, n) = std::cos(n * angles[static_cast<std::size_t>(i)]);
  return values;
}

// Height differences between planes y and y0 reduced to [-1, 1] modulo 2: the
// nearest zero of cosh(pi X) - cos(pi Y) lies at X + iY = 0.
double reduced(double y) {
  return y > 1.0 ? y - 2.0 : y;
}

// ln(cosh(pi X) - cos(pi Y)) - ln(pi^2/2) - ln(X^2 + Y^2), analytic for
// |Im X| < 2 - |Y|; cosh - cos = 2 sinh^2(pi X/2) + 2 sin^2(pi Y/2) keeps the
// digits near the origin, where the limit is pi^2 (X^2 - Y^2)/12.
double smooth_log(double x, double y) {
  const double r2 = x * x + y * y;
  if (r2 < 1e-12) return kPi * kPi * (x * x - y * y) / 12.0;
  const double sh = std::sinh(kPi * x / 2.0);
  const double sn = std::sin(kPi * y / 2.0);
  return std::log(4.0 / (kPi * kPi)) + std::log((sh * sh + sn * sn) / r2);
}

// (1/2 pi) times the integral of ln|zeta - xi| against each T_n/sqrt(1 - xi^2).
void add_log_moments(Complex zeta, double sign, double* row, Eigen::Index stride, int modes) {
  const Complex rho = zeta + std::sqrt(zeta - 1.0) * std::sqrt(zeta + 1.0);
  row[0] += sign * 0.5 * std::log(std::abs(rho) / 2.0);
  const Complex inverse = 1.0 / rho;
  Complex power = inverse;
  for (int n = 1; n < modes; ++n) {
    row[n * stride] -= sign * 0.5 * power.real() / n;
    power *= inverse;
  }
}

// Exactly integrated part of the potential on field strip j at its nodes from
// the basis functions of source strip k: the source and its nearest image.
MatrixXd singular_part(const Strip& field, const Strip& source, double a,
                       const std::vector<double>& angles, int modes) {
  const auto count = static_cast<Eigen::Index>(angles.size());
  MatrixXd values = MatrixXd::Zero(count, modes);
  const double direct = field.height - source.height;
  const double image = reduced(field.height + source.height);
  for (Eigen::Index i = 0; i < count; ++i) {
    const double x = field.centre + a * std::cos(angles[static_cast<std::size_t>(i)]);
    const double offset = (x - source.centre) / a;
    add_log_moments({offset, image / a}, 1.0, &values(i, 0), count, modes);
    add_log_moments({offset, direct / a}, -1.0, &values(i, 0), count, modes);
  }
  return values;
}

// Galerkin matrix of the analytic remainder of 4 pi G, from its values on a
// coarse grid of nodes: its Chebyshev coefficients beyond the grid vanish.
MatrixXd smooth_part(const Strip& field, const Strip& source, double a, int modes) {
  const int count = std::min(modes, 40 + static_cast<int>(40.0 * a));
  const std::vector<double> angles = node_angles(count);
  const double direct = field.height - source.height;
  const double image = reduced(field.height + source.height);
  MatrixXd kernel(count, count);
  for (int i = 0; i < count; ++i) {
    for (int l = 0; l < count; ++l) {
      const double dx = field.centre - source.centre +
                        a * (std::cos(angles[static_cast<std::size_t>(i)]) -
                             std::cos(angles[static_cast<std::size_t>(l)]));
      kernel(i, l) = (smooth_log(dx, image) - smooth_log(dx, direct)) / (4.0 * kPi);
    }
  }
  const MatrixXd values = chebyshev_values(angles, count);
  const double weight = kPi / count;
  MatrixXd block = MatrixXd::Zero(modes, modes);
  block.topLeftCorner(count, count) = weight * weight * values.transpose() * kernel * values;
  return block;
}

MatrixXd interaction(const Strip& field, const Strip& source, double a, int modes) {
  const int count = 2 * modes + 16;
  const std::vector<double> angles = node_angles(count);
  const MatrixXd tests = chebyshev_values(angles, modes);
  const MatrixXd potentials = singular_part(field, source, a, angles, modes);
  return (kPi / count) * tests.transpose() * potentials + smooth_part(field, source, a, modes);
}

// Chebyshev coefficients of the charge decay like rho^-n, rho of the
// Bernstein ellipse through the nearest edge (or edge image) of a source
// other than the strip's own ends; the capacitance's error falls like
// rho^-2n with a modest factor.  rho^-n = exp(-5) has been found to leave
// less than 1e-8 of either mode across the cases the tests sample.
double slowest_decay(const Pair& p) {
  const double a = p.half_width;
  double decay = 1e300;
  for (const Strip* source : {&p.first, &p.second}) {
    const double direct = p.first.height - source->height;
    const double image = reduced(p.first.height + source->height);
    for (const double y : {direct, image}) {
      if (source == &p.first && y == direct) continue;
      for (const double edge : {-a, a}) {
        const Complex z{(source->centre + edge - p.first.centre) / a, y / a};
        const Complex rho = z + std::sqrt(z - 1.0) * std::sqrt(z + 1.0);
        decay = std::min(decay, std::log(std::abs(rho)));
      }
    }
  }
  return decay;
}

int chosen_modes(const Pair& p) {
  constexpr double kLogTarget = 5.0;
  const double modes = kLogTarget / std::max(slowest_decay(p), 1e-3) + 12.0;
  return static_cast<int>(std::clamp(std::ceil(modes / 8.0) * 8.0, 16.0, 2000.0));
}

// The symmetric pair: charge on the second strip is +-(-1)^n c_n.
MomentCapacitances solve_pair(const Pair& p, int modes) {
  if (modes <= 0) modes = chosen_modes(p);
  const MatrixXd self = interaction(p.first, p.first, p.half_width, modes);
  MatrixXd mutual = interaction(p.first, p.second, p.half_width, modes);
  for (int n = 1; n < modes; n += 2) mutual.col(n) *= -1.0;
  VectorXd load = VectorXd::Zero(modes);
  load(0) = kPi;
  const VectorXd even = (self + mutual).partialPivLu().solve(load);
  const VectorXd odd = (self - mutual).partialPivLu().solve(load);
  return {kPi * even(0), kPi * odd(0), modes};
}

}  // namespace

MomentCapacitances broadside_moments(double w, double sv, double wo, int modes) {
  const Pair p{{wo / 2.0, 0.5 + sv / 2.0}, {-wo / 2.0, 0.5 - sv / 2.0}, w / 2.0};
  return solve_pair(p, modes);
}

MomentCapacitances edge_offset_moments(double w, double s, double h, int modes) {
  const double centre = (s + w) / 2.0;
  const Pair p{{centre, h}, {-centre, h}, w / 2.0};
  return solve_pair(p, modes);
}

}  // namespace ketrovane::field::testing
