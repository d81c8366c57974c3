// Capacitances of the even and odd modes by a boundary-element (Nystrom)
// solution for the surface charge: on each panel the charge density is the
// polynomial through its values at the panel's Gauss nodes, the potential is
// matched at the same nodes, and the integrals that the Gauss rule cannot do
// -- those of the logarithmic singularities of the Green's function on the
// panel itself and on panels close by -- are done in closed form, leaving a
// smooth remainder to the Gauss rule (singularity subtraction, as in
// J. Helsing and R. Ojala, J. Comput. Phys. 227, 2008).
//
// This is the centred pair's own path, on a quarter of one strip's surface
// with the kernel of green_function.hpp; section_elements.hpp solves every
// arrangement on the whole surface, the centred pair included (h = b/2).
// It stays because the general path is no substitute: over the 2268
// cross-sections of the accuracy map's benchmark grid it takes 4.2 times as
// long (median 3.7 ms against 0.86 ms; as long for strips of zero thickness,
// three to five times as long for thick ones), and its impedances, equal to
// rounding for most, differ by up to 6e-8 for some (bench/field_bench.cpp,
// BM_SolveMapGrid against BM_SolveMapGridOnTheGeneralPath).
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
