// Four-port response of a single-section coupled-line coupler between a
// source and a load resistance, by even/odd-mode decomposition.
#pragma once

#include <array>
#include <cstddef>

#include "frequency/line_section.hpp"

namespace ketrovane {

// The four ports of the response, in the order the reports print them.
// The driven port and the coupled port are at the source end, the isolated
// and through ports at the load end.
enum class Port : std::size_t {
  reflected = 0,  // port 1, "S11"
  coupled = 1,    // port 2 of the report, "S41"
  isolated = 2,   // port 3, "S31"
  through = 3,    // port 4 of the report, "S21"
};

// A value per port.
template <typename T>
struct PortValues {
  std::array<T, 4> values{};
  T& operator[](Port p) { return values[static_cast<std::size_t>(p)]; }
  const T& operator[](Port p) const { return values[static_cast<std::size_t>(p)]; }
};

inline constexpr std::array kPorts = {Port::reflected, Port::coupled, Port::isolated,
                                      Port::through};

struct CoupledSection {
  float zoe;  // even-mode impedance, ohms
  float zoo;  // odd-mode impedance, ohms
  // Each mode's effective permittivity: both the dielectric's Er in one
  // dielectric, apart in a stack of layers, where each mode travels its own
  // electrical length.
  float eeff_even;
  float eeff_odd;
  float length_inch;               // physical length
  float even_attenuation_db_inch;  // dB per inch, positive
  float odd_attenuation_db_inch;
};

struct Terminations {
  float source;  // ohms, at the driven and coupled ports
  float load;    // ohms, at the isolated and through ports
};

struct FourPortResponse {
  PortValues<float> amplitude_db;  // never below -90
  PortValues<float> phase_deg;     // in (-180, 180]
  // arg(S41/S21), the coupled port's phase less the through port's, in
  // (-180, 180]: near +90 in the band of a quarter-wave section, near -90
  // between 2 f0 and 4 f0.
  float phase_difference_deg;
  // The phase difference less 90, as an angle in (-180, 180].
  float quadrature_error_deg;
  // The interactive report's figure, which its stored reports carry:
  // |coupled - through| folded into [0, 180).  It drops the sign and folds a
  // half turn, so 89.87 reads 90.13 when the phases straddle the +-180 cut.
  float folded_phase_difference_deg;
  float folded_quadrature_error_deg;  // the folded difference - 90
  float input_vswr;
  // 10 log10 of the power reaching the coupled and through ports,
  // |S21|^2 + |S41|^2: what the mismatch, the isolated port and the
  // dissipation leave (negative dB).  The interactive report's "Tot loss".
  float total_loss_db;
  // 10 log10 of the power leaving all four ports: less than 0 dB by the
  // power dissipated in the conductors and the dielectric, 0 for a lossless
  // coupler (negative dB).  The interactive report's "I2R loss".
  float ohmic_loss_db;
};

// The response at frequency f_mhz.
FourPortResponse four_port_response(const CoupledSection& section, float f_mhz,
                                    Terminations terminations);

// The complex waves leaving each port for a unit wave into the driven port,
// from which four_port_response takes its amplitudes and phases.
PortValues<Complex> port_waves(const CoupledSection& section, float f_mhz,
                               Terminations terminations);

// The response rows of the waves leaving the ports for a unit wave into the
// driven port (port_waves of one section, or of a cascade): amplitudes,
// phases, the phase difference, VSWR and the losses.
FourPortResponse response_from_waves(const PortValues<Complex>& port);

}  // namespace ketrovane
