// Capacitances of the even and odd modes by a boundary-element (Nystrom)
// solution for the surface charge: on each panel the charge density is the
// polynomial through its values at the panel's Gauss nodes, the potential is
// matched at the same nodes, and the integrals that the Gauss rule cannot do
// -- those of the logarithmic singularities of the Green's function on the
// panel itself and on panels close by -- are done in closed form, leaving a
// smooth remainder to the Gauss rule (singularity subtraction, as in
// J. Helsing and R. Ojala, J. Comput. Phys. 227, 2008).
#pragma once

#include "field/gauss_legendre.hpp"
#include "field/panels.hpp"

namespace ketrovane::field {

// Capacitance per unit length of one strip, divided by the permittivity, with
// the twin strip at the same potential (even) or the opposite one (odd).
struct ModeCapacitances {
  double even;
  double odd;
};

// Shape in units of b; the order of the reference panel is the number of
// Gauss nodes per panel.
ModeCapacitances mode_capacitances(const Shape& shape, const PanelLayout& layout,
                                   const ReferencePanel& reference);

}  // namespace ketrovane::field
