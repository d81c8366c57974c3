#include "layered_fourier.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "field/gauss_legendre.hpp"

namespace ketrovane::field::testing {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kSame = 1e-12;

struct Band {
  double bottom;
  double top;
  double er;
};

std::vector<Band> bands_of(const std::vector<FourierLayer>& layers) {
  std::vector<Band> bands;
  double y = 0.0;
  for (const FourierLayer& l : layers) {
    bands.push_back({y, y + l.thickness, l.er});
    y += l.thickness;
  }
  bands.back().top = 1.0;
  return bands;
}

// phi and er dphi/dn carried from a plane (phi = 0, er dphi/dn = 1) through
// the layers to the distance `to` from it; `from_top` walks down from y = 1.
struct State {
  double phi;
  double flux;
};

State carried(const std::vector<Band>& bands, double k, double to, bool from_top) {
  State s{0.0, 1.0};
  double walked = 0.0;
  const auto step = [&](double er, double thickness) {
    const double c = std::cosh(k * thickness);
    const double sh = std::sinh(k * thickness);
    s = {s.phi * c + s.flux / er * sh / k, s.phi * er * k * sh + s.flux * c};
  };
  const auto n = bands.size();
  for (std::size_t i = 0; i < n && walked < to; ++i) {
    const Band& b = from_top ? bands[n - 1 - i] : bands[i];
    const double thickness = std::min(b.top - b.bottom, to - walked);
    step(b.er, thickness);
    walked += thickness;
  }
  return s;
}

// G(k; y, y0) for y >= y0.
double fourier_green(const std::vector<Band>& bands, double k, double y, double y0) {
  const State low = carried(bands, k, y0, false);
  const State high_at_source = carried(bands, k, 1.0 - y0, true);
  const State high = carried(bands, k, 1.0 - y, true);
  // er (phi_low' phi_up - phi_low phi_up') at y0, the upward derivative of
  // the upper solution being -flux.
  const double wronskian = low.flux * high_at_source.phi + low.phi * high_at_source.flux;
  return low.phi * high.phi / wronskian;
}

// The one-dielectric parallel-plate function on its source's height.
double plate_green(double k, double y0, double er) {
  const double num = -std::expm1(-2.0 * k * y0) * -std::expm1(-2.0 * k * (1.0 - y0));
  return num / (2.0 * er * k * -std::expm1(-2.0 * k));
}

double er_around(const std::vector<Band>& bands, double y) {
  double below = bands.front().er;
  double above = bands.back().er;
  for (const Band& b : bands) {
    if (b.bottom < y - kSame && b.top > y - kSame) below = b.er;
    if (b.bottom < y + kSame && b.top > y + kSame) above = b.er;
  }
  return 0.5 * (below + above);
}

// Distance from the strips' height to the nearest change of medium.
double nearest_change(const std::vector<Band>& bands, double y0) {
  double d = std::min(y0, 1.0 - y0);
  for (std::size_t i = 0; i + 1 < bands.size(); ++i) {
    if (bands[i].er == bands[i + 1].er) continue;
    const double gap = std::abs(bands[i].top - y0);
    if (gap > kSame) d = std::min(d, gap);
  }
  return d;
}

double chebyshev(int n, double u) {
  return std::cos(n * std::acos(std::clamp(u, -1.0, 1.0)));
}

// The one-dielectric potential between the planes of a unit line charge
// horizontally dx away on the same height y0, over eps.
double plate_potential(double dx, double y0) {
  const double ch = std::cosh(kPi * dx);
  return std::log((ch - std::cos(2.0 * kPi * y0)) / (ch - 1.0)) / (4.0 * kPi);
}

// The same less the source's -ln|dx|/(2 pi).
double plate_potential_smooth(double dx, double y0) {
  const double near =
      dx == 0.0 ? 2.0 / (kPi * kPi) : dx * dx / (2.0 * std::pow(std::sinh(kPi * dx / 2), 2));
  return (std::log(std::cosh(kPi * dx) - std::cos(2.0 * kPi * y0)) + std::log(near)) / (4.0 * kPi);
}

// Galerkin entries of the one-dielectric plates (er = 1), in space.
Eigen::MatrixXd plate_matrix(const FourierPair& p, int modes, double sign) {
  constexpr int kNodes = 96;
  const double a = p.w / 2;
  Eigen::MatrixXd m = Eigen::MatrixXd::Zero(modes, modes);
  // The logarithm: int int T_m T_n ln|a(u - u')| / sqrt sqrt.
  for (int n = 0; n < modes; ++n) {
    const double log_part =
        n == 0 ? kPi * kPi * (std::log(a) - std::log(2.0)) : -kPi * kPi / (2 * n);
    m(n, n) += -a * a * log_part / (2.0 * kPi);
  }
  std::vector<double> u(kNodes);
  for (int i = 0; i < kNodes; ++i) u[i] = std::cos((2.0 * i + 1.0) * kPi / (2.0 * kNodes));
  const double weight = kPi / kNodes;
  Eigen::MatrixXd t(modes, kNodes);
  for (int n = 0; n < modes; ++n)
    for (int i = 0; i < kNodes; ++i) t(n, i) = chebyshev(n, u[i]);
  Eigen::MatrixXd kernel(kNodes, kNodes);
  for (int i = 0; i < kNodes; ++i) {
    for (int j = 0; j < kNodes; ++j) {
      double g = plate_potential_smooth(a * (u[i] - u[j]), p.height);
      if (!p.one_above_other)
        g += sign * plate_potential(2.0 * p.centre + a * (u[i] + u[j]), p.height);
      kernel(i, j) = g;
    }
  }
  m += a * a * weight * weight * t * kernel * t.transpose();
  return m;
}

int power_sign(int half) {
  return half % 2 == 0 ? 1 : -1;
}

}  // namespace

FourierCapacitances fourier_capacitances(const std::vector<FourierLayer>& layers,
                                         const FourierPair& p, int modes) {
  const std::vector<Band> bands = bands_of(layers);
  const double a = p.w / 2;
  const double er_ref = er_around(bands, p.height);
  const double twin_height = 1.0 - p.height;
  double d = nearest_change(bands, p.height);
  if (p.one_above_other) d = std::min(d, (2.0 * p.height - 1.0) / 2);
  const double top = std::min(18.0 / d, 600.0);  // exp(-36) of the difference left
  const GaussRule rule = gauss_legendre(16);
  constexpr double kPanel = 1.0;
  FourierCapacitances result{};
  for (const double sign : {1.0, -1.0}) {
    Eigen::MatrixXd m = plate_matrix(p, modes, sign) / er_ref;
    std::vector<double> j(static_cast<std::size_t>(modes));
    const int panels = static_cast<int>(std::ceil(top / kPanel));
    for (int panel = 0; panel < panels; ++panel) {
      const double k0 = panel * kPanel;
      for (std::size_t q = 0; q < rule.nodes.size(); ++q) {
        const double k = k0 + kPanel * (1.0 + rule.nodes[q]) / 2;
        const double wk = kPanel / 2 * rule.weights[q];
        for (int n = 0; n < modes; ++n)
          j[static_cast<std::size_t>(n)] = std::cyl_bessel_j(n, k * a);
        const double own =
            fourier_green(bands, k, p.height, p.height) - plate_green(k, p.height, er_ref);
        const double twin =
            p.one_above_other ? fourier_green(bands, k, p.height, twin_height) : own;
        for (int mm = 0; mm < modes; ++mm) {
          for (int n = 0; n < modes; ++n) {
            double phase = 0.0;
            if ((mm + n) % 2 == 0) {
              phase = own * power_sign(std::abs(mm - n) / 2) +
                      sign * twin * power_sign((mm + n) / 2) * std::cos(2.0 * k * p.centre);
            } else {
              phase = sign * twin * power_sign((mm + n + 1) / 2) * std::sin(2.0 * k * p.centre);
            }
            m(mm, n) += a * a * kPi * wk * j[static_cast<std::size_t>(mm)] *
                        j[static_cast<std::size_t>(n)] * phase;
          }
        }
      }
    }
    Eigen::VectorXd right = Eigen::VectorXd::Zero(modes);
    right(0) = a * kPi;
    const Eigen::VectorXd alpha = m.partialPivLu().solve(right);
    (sign > 0 ? result.even : result.odd) = a * kPi * alpha(0);
  }
  return result;
}

}  // namespace ketrovane::field::testing
