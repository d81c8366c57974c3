// The sequence of ever finer discretisations the solver climbs, and the
// capacitances of the cross-section at one of them.
#pragma once

#include "field/boundary_elements.hpp"
#include "field/field_solver.hpp"
#include "field/panels.hpp"
#include "field/section.hpp"
#include "field/section_elements.hpp"

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

// Strips off the centre plane or one above the other: the whole surface of
// one strip (section.hpp).  The uniform middle of very wide strips is cut
// away as for the centred pair, where the field has settled into the
// parallel-plate gaps: side by side, the face between the two planes; one
// above the other, the part where the strips overlap, whose charge differs
// between the modes (the gap between the strips holds field only in the odd
// mode).
struct ReducedSection {
  Section section;
  ModeCapacitances cut;  // the parallel-plate charge of the part cut away
};

// The section of a geometry outside the centred side-by-side arrangement, in
// units of b: the right-hand strip side by side, the upper strip one above
// the other.
Section section_of(const Geometry& g);
ReducedSection reduced_section(const Section& section);

// The storage reused by the solutions of one cross-section, reserved for
// the given level (levels beyond it enlarge it as they come).
SectionStorage storage_for(const ReducedSection& reduced, int level);

LevelSolution solve_section_on_layout(const ReducedSection& reduced, const PanelLayout& layout,
                                      int level, SectionStorage& storage);
LevelSolution solve_section_level(const ReducedSection& reduced, int level,
                                  SectionStorage& storage);

}  // namespace ketrovane::field
