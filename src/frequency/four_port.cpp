// Four-port response of a coupled-line section by even/odd-mode
// decomposition: each mode is one lossy line between the source and load
// resistances, and the ports are half sums and differences of the modes.
#include <cmath>
#include <limits>

#include "frequency/four_port.hpp"

namespace ketrovane {

namespace {

constexpr float kPi = 3.1415927F;
constexpr float kLightSpeed = 11802.8545F;  // inches per microsecond
constexpr float kDbPerNeper = 8.686F;
constexpr float kFloorMagnitude = 1.0E-10F;  // stands in for an exactly-zero response
constexpr float kFloorDb = -90.0F;

// Electrical length in radians of the section at f MHz, the same for both
// modes in a homogeneous dielectric; c/f is the free-space wavelength in inches.
float electrical_length(const CoupledSection& s, float f) {
  if (f == 0.0F) return 0.0F;
  const float wl = kLightSpeed / f;
  return (kPi + kPi) * s.l * std::sqrt(s.er) / wl;
}

// Both sums are formed part by part, as the coefficients are.
Complex half_sum(Complex p, Complex q) {
  return Complex{(p.re + q.re) * 0.5F, (p.im + q.im) * 0.5F};
}
Complex half_difference(Complex p, Complex q) {
  return Complex{(p.re - q.re) * 0.5F, (p.im - q.im) * 0.5F};
}

// |p|, with an exact zero raised to the floor so that its logarithm exists.
float floored_magnitude(Complex p) {
  const float m = std::sqrt(p.re * p.re + p.im * p.im);
  return m == 0.0F ? kFloorMagnitude : m;
}

float amplitude_db(float magnitude) {
  const float db = 20.0F * std::log10(magnitude);
  return db < kFloorDb ? kFloorDb : db;
}

// Integer part of q by truncation; saturates at the 32-bit limits and gives
// 0 for NaN, so no input makes the conversion undefined.
int truncated(float q) {
  constexpr float kLimit = 2147483648.0F;  // 2^31, exactly representable
  if (std::isnan(q)) return 0;
  if (q >= kLimit) return std::numeric_limits<int>::max();
  if (q <= -kLimit) return std::numeric_limits<int>::min();
  return static_cast<int>(q);
}

// Phase difference of the coupled and through ports folded into [0, 180).
float folded_phase(float ang_coupled, float ang_through) {
  const float phi = std::fabs(ang_coupled - ang_through);
  const float quotient = phi / 180.0F;
  const int n = truncated(quotient);
  return phi - 180.0F * static_cast<float>(n);
}

}  // namespace

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the interface is fixed
FourPortResponse sl1fa(const CoupledSection& section, float f, float rl, float rs) {
  const CoupledSection& s = section;
  const float theta = electrical_length(s, f);
  const float sigmae = s.ate * (s.l / kDbPerNeper);
  const float sigmao = s.ato * (s.l / kDbPerNeper);

  const TauGamma even = taugam(xline(s.zoe, theta, sigmae), rl, rs);
  const TauGamma odd = taugam(xline(s.zoo, theta, sigmao), rl, rs);

  const std::array<Complex, 4> port{
      half_sum(even.gamma, odd.gamma),         // 1: reflected
      half_difference(even.gamma, odd.gamma),  // 2: coupled
      half_difference(even.tau, odd.tau),      // 3: isolated
      half_sum(even.tau, odd.tau),             // 4: through
  };

  const float deg_per_rad = 180.0F / kPi;
  FourPortResponse r{};
  std::array<float, 4> a{};
  for (std::size_t i = 0; i < port.size(); ++i) {
    a[i] = floored_magnitude(port[i]);
    r.ang[i] = atn2(port[i].re, port[i].im) * deg_per_rad;
    r.mag[i] = amplitude_db(a[i]);
  }

  r.phi = folded_phase(r.ang[1], r.ang[3]);
  r.error90 = r.phi - 90.0F;

  // Power delivered to the coupled and through ports, and to all four.
  const float temp = a[1] * a[1] + a[3] * a[3];
  r.atot = 10.0F * std::log10(a[0] * a[0] + a[2] * a[2] + temp);
  r.loss = 10.0F * std::log10(temp);

  r.vswr = (a[0] + 1.0F) / (1.0F - a[0]);
  return r;
}

}  // namespace ketrovane
