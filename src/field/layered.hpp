// Strips in a stack of dielectric layers: the solution of section.hpp with
// the bound (polarisation) charge of each horizontal interface between
// layers of different permittivity as further unknowns.
//
// All charge, free and bound, radiates through the parallel-plate Green's
// function of empty space (plane_green.hpp).  On the strips the potential is
// matched; on an interface with er_a above and er_b below the normal
// displacement is continuous,
//
//   (er_a + er_b)/2 sigma + (er_a - er_b) E_avg = 0,
//
// E_avg the normal field of all other charge there (normal_field.hpp).  The
// free charge of a strip face is its total charge times the permittivity of
// the layer it touches; a sheet of zero thickness on an interface carries
// (er_a + er_b)/2 sigma + (er_a - er_b) E_avg.  Each interface is cut into
// panels graded toward the strips' corners (or the feet of them) and reaches
// as far sideways as the field does: it decays as exp(-k|x|), k at least
// pi sqrt(er_min/er_max) in units of 1/b.
//
// The capacitance is homogeneous of degree one in the permittivities, and
// its derivative with respect to a layer's permittivity is that layer's
// share of the field energy (the variational principle), so
// er_j dC/der_j / C is the mode's energy fraction in layer j, taken from the
// adjoint of the discrete system: exactly what the discrete capacitance
// does, summing to one.
//
// Lengths in units of b.  Strips side by side are solved on one half (the
// mirror x -> -x holds in every stack); one above the other need a stack
// mirror-symmetric about the centre plane, whose point reflection halves the
// problem.  The copper lies within one layer, its faces on interfaces at
// most (domain.cpp refuses other stacks).
#pragma once

#include <array>
#include <vector>

#include "field/field_solver.hpp"
#include "field/refinement.hpp"

namespace ketrovane::field {

struct UnitLayer {
  double bottom;
  double top;
  double er;
};

// The stack of a geometry in units of b.
std::vector<UnitLayer> unit_layers(const Geometry& g);

// A mode's free charge (C/eps0 of one strip at unit potential), the same
// with the dielectrics taken away, and each layer's share of its energy
// (summing to one).
struct LayeredMode {
  double capacitance = 0.0;
  double air_capacitance = 0.0;
  std::vector<double> energy_share;
};

struct LayeredLevel {
  LayeredMode even;
  LayeredMode odd;
  int unknowns;
};

// The strips cut down as in one dielectric (refinement.hpp), unless the
// permittivities differ so much that the fringing reaches beyond the cut.
ReducedSection layered_reduction(const Section& whole, const std::vector<UnitLayer>& layers);

// On the given cut of the strips (the air solution's, at this level).  The
// first level (0), never the one a solution reports, carries no energy
// shares (all zero).
LayeredLevel layered_level(const ReducedSection& strips, const Section& whole,
                           const std::vector<UnitLayer>& layers, const PanelLayout& layout,
                           int level);

}  // namespace ketrovane::field
