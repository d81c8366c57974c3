// Four-port response of a coupled-line section by even/odd-mode
// decomposition: each mode is one lossy line between the source and load
// resistances, and the ports are half sums and differences of the modes.
#include "frequency/four_port.hpp"

#include <cmath>

#include "common/constants.hpp"
#include "common/saturating.hpp"
#include "frequency/line_section.hpp"

namespace ketrovane {

namespace {

constexpr float kFloorMagnitude = 1.0E-10F;  // stands in for an exactly-zero response
constexpr float kFloorDb = -90.0F;

// Electrical length in radians at f MHz of a mode of effective permittivity
// eeff along the section, the same for both modes in a homogeneous
// dielectric; c/f is the free-space wavelength in inches.
float electrical_length(const CoupledSection& s, float eeff, float f) {
  if (f == 0.0F) return 0.0F;
  const float wl = kSpeedOfLightInchMHz / f;
  return (kPi + kPi) * s.length_inch * std::sqrt(eeff) / wl;
}

// Both sums are formed part by part, as the coefficients are.
Complex half_sum(Complex p, Complex q) {
  return {(p.real() + q.real()) * 0.5F, (p.imag() + q.imag()) * 0.5F};
}
Complex half_difference(Complex p, Complex q) {
  return {(p.real() - q.real()) * 0.5F, (p.imag() - q.imag()) * 0.5F};
}

// |p|, with an exact zero raised to the floor so that its logarithm exists.
float floored_magnitude(Complex p) {
  const float m = std::sqrt(p.real() * p.real() + p.imag() * p.imag());
  return m == 0.0F ? kFloorMagnitude : m;
}

float amplitude_db(float magnitude) {
  const float db = 20.0F * std::log10(magnitude);
  return db < kFloorDb ? kFloorDb : db;
}

// Phase difference of the coupled and through ports folded into [0, 180).
float folded_phase(float coupled_deg, float through_deg) {
  const float phi = std::fabs(coupled_deg - through_deg);
  const float quotient = phi / 180.0F;  // rounded to single before truncation
  const int n = saturating_int(std::trunc(static_cast<double>(quotient)));
  return phi - 180.0F * static_cast<float>(n);
}

// An angle in degrees from (-360, 360) brought into (-180, 180].
float principal_angle(float deg) {
  if (deg > 180.0F) return deg - 360.0F;
  if (deg <= -180.0F) return deg + 360.0F;
  return deg;
}

}  // namespace

PortValues<Complex> port_waves(const CoupledSection& section, float f_mhz,
                               Terminations terminations) {
  const CoupledSection& s = section;
  const float theta_even = electrical_length(s, s.eeff_even, f_mhz);
  const float theta_odd = electrical_length(s, s.eeff_odd, f_mhz);
  const float sigmae = s.even_attenuation_db_inch * (s.length_inch / kDbPerNeper);
  const float sigmao = s.odd_attenuation_db_inch * (s.length_inch / kDbPerNeper);

  const TransmissionReflection even = between_terminations(lossy_line(s.zoe, theta_even, sigmae),
                                                           terminations.load, terminations.source);
  const TransmissionReflection odd = between_terminations(lossy_line(s.zoo, theta_odd, sigmao),
                                                          terminations.load, terminations.source);

  PortValues<Complex> port;
  port[Port::reflected] = half_sum(even.reflection, odd.reflection);
  port[Port::coupled] = half_difference(even.reflection, odd.reflection);
  port[Port::isolated] = half_difference(even.transmission, odd.transmission);
  port[Port::through] = half_sum(even.transmission, odd.transmission);
  return port;
}

FourPortResponse four_port_response(const CoupledSection& section, float f_mhz,
                                    Terminations terminations) {
  return response_from_waves(port_waves(section, f_mhz, terminations));
}

FourPortResponse response_from_waves(const PortValues<Complex>& port) {
  const float deg_per_rad = 180.0F / kPi;
  FourPortResponse r{};
  PortValues<float> magnitude;
  for (const Port p : kPorts) {
    magnitude[p] = floored_magnitude(port[p]);
    r.phase_deg[p] = phase_angle(port[p].real(), port[p].imag()) * deg_per_rad;
    r.amplitude_db[p] = amplitude_db(magnitude[p]);
  }

  const float coupled = r.phase_deg[Port::coupled];
  const float through = r.phase_deg[Port::through];
  r.phase_difference_deg = principal_angle(coupled - through);
  r.quadrature_error_deg = principal_angle(r.phase_difference_deg - 90.0F);
  r.folded_phase_difference_deg = folded_phase(coupled, through);
  r.folded_quadrature_error_deg = r.folded_phase_difference_deg - 90.0F;

  // Power delivered to the coupled and through ports, and to all four.
  const float a1 = magnitude[Port::reflected];
  const float a2 = magnitude[Port::coupled];
  const float a3 = magnitude[Port::isolated];
  const float a4 = magnitude[Port::through];
  const float temp = a2 * a2 + a4 * a4;
  r.ohmic_loss_db = 10.0F * std::log10(a1 * a1 + a3 * a3 + temp);
  r.total_loss_db = 10.0F * std::log10(temp);

  r.input_vswr = (a1 + 1.0F) / (1.0F - a1);
  return r;
}

}  // namespace ketrovane
