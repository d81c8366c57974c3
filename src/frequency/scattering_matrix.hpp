// The full scattering matrix of a coupled-line section with every port
// referenced to one resistance.
//
// Ports are numbered as the Touchstone file and the batch command number
// them: 1 input, 2 thru, 3 isolated, 4 coupled.  Ports 1 and 4 are at one end
// of the section (strips 1 and 2), ports 2 and 3 at the other.
#pragma once

#include <array>

#include "frequency/four_port.hpp"

namespace ketrovane {

inline constexpr int kScatteringPorts = 4;

struct ScatteringMatrix {
  std::array<std::array<Complex, kScatteringPorts>, kScatteringPorts> s{};

  // S(row, column) with ports numbered from 1: the wave leaving port `row`
  // for a unit wave into port `column`.
  [[nodiscard]] Complex operator()(int row, int column) const {
    return s.at(static_cast<std::size_t>(row - 1)).at(static_cast<std::size_t>(column - 1));
  }
};

// The matrix at f_mhz.  Its first column is the port_waves of the section
// between source and load resistances both equal to reference_ohm: S11 the
// reflected wave, S21 the through, S31 the isolated, S41 the coupled.
ScatteringMatrix scattering_matrix(const CoupledSection& section, float f_mhz, float reference_ohm);

// The matrix with ports 1 and 4 (the source end) referenced to
// references.source and ports 2 and 3 (the load end) to references.load,
// power waves: its first column is the port_waves of the section between
// those terminations, the response's rows.
ScatteringMatrix scattering_matrix(const CoupledSection& section, float f_mhz,
                                   Terminations references);

// The matrix of a four-port with the mirror symmetry of a coupled-line
// section from strip 1 to strip 2, from the port waves for a unit wave into
// port 1 (from_source_end, the section as given) and into port 2
// (from_load_end, the section turned end for end with its terminations
// swapped).
ScatteringMatrix scattering_matrix_from_waves(const PortValues<Complex>& from_source_end,
                                              const PortValues<Complex>& from_load_end);

}  // namespace ketrovane
