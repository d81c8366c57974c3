#include "field/refinement.hpp"

#include <algorithm>
#include <array>

#include "field/log_integrals.hpp"

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

}  // namespace ketrovane::field
