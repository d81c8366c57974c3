// Four-port response of a cascade of symmetric coupled-line sections, such as
// a broadband multi-section coupler, by even/odd-mode decomposition.
//
// The sections are listed from the source end (the driven and coupled ports)
// to the load end (the isolated and through ports); strip 1 of each section
// joins strip 1 of the next.  Each section keeps its own mode impedances,
// modes' effective permittivities (each mode travels its own electrical
// length), length and mode attenuations.  In each mode the cascade is
// the product of the sections' chain matrices, and the ports are the half
// sums and differences of the two modes' reflections and transmissions, as
// for one section:
//   reflected = (Ge + Go)/2, coupled = (Ge - Go)/2,
//   through = (Te + To)/2,   isolated = (Te - To)/2.
//
// A single section gives exactly (to the last bit) port_waves and
// four_port_response of four_port.hpp; longer cascades multiply the chain
// matrices in double precision and round the port waves to single once.
// Every function is pure and thread-safe.
#pragma once

#include <span>

#include "frequency/four_port.hpp"
#include "frequency/scattering_matrix.hpp"

namespace ketrovane {

// The complex waves leaving each port for a unit wave into the driven port
// at f_mhz (MHz), between terminations.source (ohms, driven and coupled
// ports) and terminations.load (ohms, isolated and through ports): power
// waves, as port_waves.  An empty cascade is a plain pair of through lines.
PortValues<Complex> cascade_port_waves(std::span<const CoupledSection> sections, float f_mhz,
                                       Terminations terminations);

// The response rows (amplitudes in dB, phases in degrees, VSWR, losses) of
// the cascade at f_mhz, as four_port_response gives them for one section.
FourPortResponse cascade_response(std::span<const CoupledSection> sections, float f_mhz,
                                  Terminations terminations);

// The full 4x4 scattering matrix of the cascade at f_mhz, ports numbered as
// in scattering_matrix.hpp (1 input, 2 thru, 3 isolated, 4 coupled), ports 1
// and 4 referenced to references.source and ports 2 and 3 to
// references.load.  The columns of the load end come from the cascade turned
// end for end.
ScatteringMatrix cascade_scattering_matrix(std::span<const CoupledSection> sections, float f_mhz,
                                           Terminations references);

}  // namespace ketrovane
