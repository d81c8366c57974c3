// The sequence of ever finer discretisations the solver climbs, and the
// capacitances of the cross-section at one of them.
#pragma once

#include "field/boundary_elements.hpp"
#include "field/field_solver.hpp"
#include "field/panels.hpp"

namespace ketrovane::field {

// Number of refinement levels, the first included.
inline constexpr int kLevelCount = 10;

MeshParameters mesh_at_level(int level);
int panel_order_at_level(int level);

// The cross-section in units of b, with the face of very wide strips cut
// down; cut_capacitance is the parallel-plate charge of the part cut away,
// to be added to each mode.
struct ReducedShape {
  Shape shape;
  double cut_capacitance;
};

ReducedShape reduced_shape(const Shape& shape);
Shape normalised_shape(const Geometry& g);

struct LevelSolution {
  ModeCapacitances capacitance;  // the cut part included
  int panels;
  int unknowns;
};

// On the given cut of the reduced shape, which need not be the one the level
// would choose for it (a slightly perturbed cross-section keeps its
// neighbour's cut).
LevelSolution solve_on_layout(const ReducedShape& reduced, const PanelLayout& layout, int level);
LevelSolution solve_level(const ReducedShape& reduced, int level);

}  // namespace ketrovane::field
