// The even- and odd-mode chains of a coupled-line cascade in double
// precision.  One section goes through the single-section code so that a
// one-section cascade prints exactly as the single coupler does.
#include "frequency/cascade.hpp"

#include <cmath>
#include <complex>
#include <vector>

#include "common/constants.hpp"

namespace ketrovane {

namespace {

using ComplexD = std::complex<double>;

struct ChainD {
  ComplexD a{1.0};
  ComplexD b{0.0};
  ComplexD c{0.0};
  ComplexD d{1.0};
};

// p q + r s, written out: std::complex's operator* guards against
// infinities and NaN at several times the cost, and the chain has neither.
ComplexD sum_of_products(ComplexD p, ComplexD q, ComplexD r, ComplexD s) {
  return {p.real() * q.real() - p.imag() * q.imag() + r.real() * s.real() - r.imag() * s.imag(),
          p.real() * q.imag() + p.imag() * q.real() + r.real() * s.imag() + r.imag() * s.real()};
}

ChainD operator*(const ChainD& p, const ChainD& q) {
  return {sum_of_products(p.a, q.a, p.b, q.c), sum_of_products(p.a, q.b, p.b, q.d),
          sum_of_products(p.c, q.a, p.d, q.c), sum_of_products(p.c, q.b, p.d, q.d)};
}

struct Phase {
  double cos_theta;
  double sin_theta;
};

// Chain matrix of a uniform line of impedance z (ohms) whose propagation
// exponent is sigma + j theta (nepers, radians), with cosh and sinh of the
// exponent written out from its parts.
ChainD line_chain(double z, Phase phase, double sigma) {
  const double ch = std::cosh(sigma);
  const double sh = std::sinh(sigma);
  const ComplexD cosh_gl{ch * phase.cos_theta, sh * phase.sin_theta};
  const ComplexD sinh_gl{sh * phase.cos_theta, ch * phase.sin_theta};
  return {cosh_gl, z * sinh_gl, sinh_gl / z, cosh_gl};
}

// Electrical length in radians at f MHz of a mode of effective permittivity
// eeff along a section.
double electrical_length(const CoupledSection& s, float eeff, double f_mhz) {
  if (f_mhz == 0.0) return 0.0;
  const double wavelength_inch = static_cast<double>(kSpeedOfLightInchMHz) / f_mhz;
  return 2.0 * std::acos(-1.0) * static_cast<double>(s.length_inch) *
         std::sqrt(static_cast<double>(eeff)) / wavelength_inch;
}

Phase phase_of(double theta) {
  return {std::cos(theta), std::sin(theta)};
}

struct ModeWaves {
  ComplexD transmission;
  ComplexD reflection;
};

// One mode of the cascade between the terminations, as between_terminations
// forms it: power-wave transmission, reflection seen at the source.
ModeWaves mode_waves(const ChainD& m, double load, double source) {
  const ComplexD top = m.a + m.b / load - m.c * source - m.d * source / load;
  const ComplexD bottom = m.a + m.b / load + m.c * source + m.d * source / load;
  return {2.0 * std::sqrt(source / load) / bottom, top / bottom};
}

struct ModeChains {
  ChainD even;
  ChainD odd;
};

ModeChains mode_chains(std::span<const CoupledSection> sections, double f_mhz) {
  ModeChains chains;
  for (const CoupledSection& s : sections) {
    const Phase even = phase_of(electrical_length(s, s.eeff_even, f_mhz));
    const Phase odd = phase_of(electrical_length(s, s.eeff_odd, f_mhz));
    const double per_neper = static_cast<double>(s.length_inch) / kDbPerNeper;
    const double sigma_even = static_cast<double>(s.even_attenuation_db_inch) * per_neper;
    const double sigma_odd = static_cast<double>(s.odd_attenuation_db_inch) * per_neper;
    chains.even = chains.even * line_chain(s.zoe, even, sigma_even);
    chains.odd = chains.odd * line_chain(s.zoo, odd, sigma_odd);
  }
  return chains;
}

Complex to_single(ComplexD z) {
  return {static_cast<float>(z.real()), static_cast<float>(z.imag())};
}

}  // namespace

PortValues<Complex> cascade_port_waves(std::span<const CoupledSection> sections, float f_mhz,
                                       Terminations terminations) {
  if (sections.size() == 1) return port_waves(sections.front(), f_mhz, terminations);
  const ModeChains chains = mode_chains(sections, f_mhz);
  const double load = terminations.load;
  const double source = terminations.source;
  const ModeWaves even = mode_waves(chains.even, load, source);
  const ModeWaves odd = mode_waves(chains.odd, load, source);
  PortValues<Complex> port;
  port[Port::reflected] = to_single(0.5 * (even.reflection + odd.reflection));
  port[Port::coupled] = to_single(0.5 * (even.reflection - odd.reflection));
  port[Port::isolated] = to_single(0.5 * (even.transmission - odd.transmission));
  port[Port::through] = to_single(0.5 * (even.transmission + odd.transmission));
  return port;
}

FourPortResponse cascade_response(std::span<const CoupledSection> sections, float f_mhz,
                                  Terminations terminations) {
  return response_from_waves(cascade_port_waves(sections, f_mhz, terminations));
}

ScatteringMatrix cascade_scattering_matrix(std::span<const CoupledSection> sections, float f_mhz,
                                           Terminations references) {
  const std::vector<CoupledSection> reversed(sections.rbegin(), sections.rend());
  const PortValues<Complex> from_source = cascade_port_waves(sections, f_mhz, references);
  const PortValues<Complex> from_load =
      cascade_port_waves(reversed, f_mhz, {.source = references.load, .load = references.source});
  return scattering_matrix_from_waves(from_source, from_load);
}

}  // namespace ketrovane
