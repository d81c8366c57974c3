#include "field/refinement.hpp"

#include <algorithm>
#include <array>

#include "field/log_integrals.hpp"
#include "field/section_elements.hpp"

namespace ketrovane::field {
namespace {

// Panel order and depth of the corner grading per refinement level.  Each
// level cuts the error by a factor of ten or more, so the change from the
// previous level bounds the error of the new one.  Raising the order by two
// with each layer keeps the error of the corners and that of the panels
// between them falling at about the same rate, so the sequence converges
// monotonically instead of passing through accidental agreements.
struct Level {
  int order;
  int corner_layers;
};
// clang-format off
constexpr std::array<Level, kLevelCount> kLevels = {{
    {6, 1}, {8, 2}, {10, 3}, {12, 4}, {14, 5}, {16, 6}, {18, 7}, {20, 8}, {22, 9}, {24, 10},
}};
// clang-format on
static_assert(std::all_of(kLevels.begin(), kLevels.end(),
                          [](const Level& l) { return l.order <= kMaxPanelOrder; }),
              "the closed-form near field is written for panels up to kMaxPanelOrder nodes");
constexpr double kGrading = 0.15;        // neighbouring panels differ by 1/0.15 at most
constexpr double kMaxPanelLength = 2.0;  // b

// Beyond this width the middle of a face carries the uniform parallel-plate
// charge: the fringing fields of the two edges reach each other only through
// the gap g = (b - t)/2 between face and plane, where they decay as
// exp(-pi x / g), e^-50 across 16 g.
constexpr double kWidestSolvedInGaps = 16.0;

}  // namespace

MeshParameters mesh_at_level(int level) {
  return {kGrading, kLevels[level].corner_layers, kMaxPanelLength};
}

int panel_order_at_level(int level) {
  return kLevels[level].order;
}

Shape normalised_shape(const Geometry& g) {
  return {g.w / g.b, g.s / g.b, g.t / g.b};
}

// Two faces, each with the parallel-plate C/eps = 1/g per unit width.
ReducedShape reduced_shape(const Shape& shape) {
  const double gap = (1.0 - shape.t) / 2;
  const double widest = kWidestSolvedInGaps * gap;
  if (shape.w <= widest) return {shape, 0.0};
  return {{widest, shape.s, shape.t}, 2.0 * (shape.w - widest) / gap};
}

LevelSolution solve_on_layout(const ReducedShape& reduced, const PanelLayout& layout, int level) {
  const ModeCapacitances c =
      mode_capacitances(reduced.shape, layout, reference_panel(panel_order_at_level(level)));
  int panels = 0;
  for (const auto& fractions : layout.breakpoints) panels += static_cast<int>(fractions.size()) - 1;
  return {{c.even + reduced.cut_capacitance, c.odd + reduced.cut_capacitance},
          panels,
          panels * panel_order_at_level(level)};
}

LevelSolution solve_level(const ReducedShape& reduced, int level) {
  return solve_on_layout(reduced, panel_layout(reduced.shape, mesh_at_level(level)), level);
}

namespace {

int panel_count(const PanelLayout& layout) {
  int panels = 0;
  for (const auto& fractions : layout.breakpoints) panels += static_cast<int>(fractions.size()) - 1;
  return panels;
}

// Side by side: both faces see their plane across a uniform gap.
ReducedSection reduced_side_by_side(const Section& x) {
  const double below = x.mid - x.t / 2;
  const double above = 1.0 - x.mid - x.t / 2;
  const double widest = kWidestSolvedInGaps * std::max(below, above);
  if (x.w <= widest) return {x, {0.0, 0.0}};
  const double inner_edge = x.centre - x.w / 2;
  const double cut = (x.w - widest) * (1.0 / below + 1.0 / above);
  return {{widest, x.t, inner_edge + widest / 2, x.mid, x.symmetry}, {cut, cut}};
}

// One above the other: where the strips overlap, the outer face sees its
// plane across g and, in the odd mode, the inner face the twin at the
// opposite potential across sv.  Cutting the same width from the middle of
// the overlap narrows both strips and leaves their offset.
ReducedSection reduced_one_above_other(const Section& x) {
  const double plane_gap = 1.0 - x.mid - x.t / 2;
  const double twin_gap = 2.0 * (x.mid - x.t / 2) - 1.0;
  const double overlap = x.w - 2.0 * x.centre;
  const double widest = kWidestSolvedInGaps * std::max(plane_gap, twin_gap);
  if (overlap <= widest) return {x, {0.0, 0.0}};
  const double cut = overlap - widest;
  const double even = cut / plane_gap;
  Section reduced = x;
  reduced.w = x.w - cut;
  return {reduced, {even, even + 2.0 * cut / twin_gap}};
}

}  // namespace

Section section_of(const Geometry& g) {
  const double w = g.w / g.b;
  const double t = g.t / g.b;
  if (g.arrangement == Arrangement::broadside) {
    const double sv = g.sv / g.b;
    return {w, t, g.wo / g.b / 2, 0.5 + sv / 2 + t / 2, TwinSymmetry::point};
  }
  return {w, t, (g.s / g.b + w) / 2, g.h / g.b, TwinSymmetry::mirror};
}

ReducedSection reduced_section(const Section& section) {
  return section.symmetry == TwinSymmetry::point ? reduced_one_above_other(section)
                                                 : reduced_side_by_side(section);
}

SectionStorage storage_for(const ReducedSection& reduced, int level) {
  const PanelLayout layout = section_layout(reduced.section, mesh_at_level(level));
  const auto unknowns = static_cast<std::size_t>(panel_count(layout)) *
                        static_cast<std::size_t>(panel_order_at_level(level));
  SectionStorage storage;
  storage.even.reserve(system_size(unknowns));
  storage.odd.reserve(system_size(unknowns));
  return storage;
}

LevelSolution solve_section_on_layout(const ReducedSection& reduced, const PanelLayout& layout,
                                      int level, SectionStorage& storage) {
  const ModeCapacitances c = section_capacitances(
      reduced.section, layout, reference_panel(panel_order_at_level(level)), storage);
  const int panels = panel_count(layout);
  return {{c.even + reduced.cut.even, c.odd + reduced.cut.odd},
          panels,
          panels * panel_order_at_level(level)};
}

LevelSolution solve_section_level(const ReducedSection& reduced, int level,
                                  SectionStorage& storage) {
  return solve_section_on_layout(reduced, section_layout(reduced.section, mesh_at_level(level)),
                                 level, storage);
}

}  // namespace ketrovane::field
