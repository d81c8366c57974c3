// The columns of the ports at one end follow from each other by the mirror
// symmetry of the section from strip 1 to strip 2; a port at the other end
// is driven as the section turned end for end, with the terminations
// swapped.
#include "frequency/scattering_matrix.hpp"

namespace ketrovane {

ScatteringMatrix scattering_matrix(const CoupledSection& section, float f_mhz,
                                   float reference_ohm) {
  return scattering_matrix(section, f_mhz, {.source = reference_ohm, .load = reference_ohm});
}

ScatteringMatrix scattering_matrix(const CoupledSection& section, float f_mhz,
                                   Terminations references) {
  // Driven at the source end (ports 1 and 4), and at the load end (2 and 3).
  const PortValues<Complex> a = port_waves(section, f_mhz, references);
  const PortValues<Complex> b =
      port_waves(section, f_mhz, {.source = references.load, .load = references.source});
  return scattering_matrix_from_waves(a, b);
}

ScatteringMatrix scattering_matrix_from_waves(const PortValues<Complex>& from_source_end,
                                              const PortValues<Complex>& from_load_end) {
  const PortValues<Complex>& a = from_source_end;
  const PortValues<Complex>& b = from_load_end;
  // Each port sees its own reflection, its strip's other end as the through
  // port, the other strip at its own end as the coupled port and the other
  // strip at the far end as the isolated port.  Columns are the driven port.
  const auto r = [](const PortValues<Complex>& w) { return w[Port::reflected]; };
  const auto t = [](const PortValues<Complex>& w) { return w[Port::through]; };
  const auto i = [](const PortValues<Complex>& w) { return w[Port::isolated]; };
  const auto c = [](const PortValues<Complex>& w) { return w[Port::coupled]; };
  ScatteringMatrix m;
  m.s = {{{r(a), t(b), i(b), c(a)},
          {t(a), r(b), c(b), i(a)},
          {i(a), c(b), r(b), t(a)},
          {c(a), i(b), t(b), r(a)}}};
  return m;
}

}  // namespace ketrovane
