// The other three columns follow from the first by the two mirror
// symmetries of the section (strip 1 to strip 2, one end to the other) once
// all four ports see the same resistance.
#include "frequency/scattering_matrix.hpp"

namespace ketrovane {

ScatteringMatrix scattering_matrix(const CoupledSection& section, float f_mhz,
                                   float reference_ohm) {
  const PortValues<Complex> w =
      port_waves(section, f_mhz, {.source = reference_ohm, .load = reference_ohm});
  const Complex reflected = w[Port::reflected];
  const Complex through = w[Port::through];
  const Complex isolated = w[Port::isolated];
  const Complex coupled = w[Port::coupled];
  // Each port sees its own reflection, its strip's other end as the through
  // port, the other strip at its own end as the coupled port and the other
  // strip at the far end as the isolated port.
  ScatteringMatrix m;
  m.s = {{{reflected, through, isolated, coupled},
          {through, reflected, coupled, isolated},
          {isolated, coupled, reflected, through},
          {coupled, isolated, through, reflected}}};
  return m;
}

}  // namespace ketrovane
