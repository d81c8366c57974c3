#include "field/field_solver.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "field/domain.hpp"
#include "field/exact_zero_thickness.hpp"
#include "field/layered.hpp"
#include "field/refinement.hpp"

namespace ketrovane::field {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

double impedance(double capacitance, double er) {
  return kFreeSpaceImpedance / (std::sqrt(er) * capacitance);
}

double coupling_db(double zoe, double zoo) {
  if (!(zoe > zoo)) return -kInfinity;
  return 20.0 * std::log10((zoe - zoo) / (zoe + zoo));
}

// Relative change of an impedance (inversely proportional to C) between levels.
double relative_change(double capacitance, double before) {
  return std::abs(capacitance / before - 1.0);
}

// The values of the finer level.  Both modes are solved on one discretisation
// and share its error; each carries the larger of the two modes' changes from
// the coarser level, which keeps the estimate honest where one mode's change
// happens to pass through zero.
FieldSolution field_solution(const LevelSolution& finer, const LevelSolution& coarser, double er,
                             int refinements) {
  const ModeCapacitances& c = finer.capacitance;
  const ModeCapacitances& before = coarser.capacitance;
  const double estimate =
      std::max(relative_change(c.even, before.even), relative_change(c.odd, before.odd));
  const ModeSolution even{c.even,       impedance(c.even, er), estimate,
                          finer.panels, finer.unknowns,        er};
  const ModeSolution odd{c.odd, impedance(c.odd, er), estimate, finer.panels, finer.unknowns, er};
  const double zo = std::sqrt(even.impedance * odd.impedance);
  const double coupling = coupling_db(even.impedance, odd.impedance);
  const double coupling_before = coupling_db(impedance(before.even, er), impedance(before.odd, er));
  const double coupling_change = std::isfinite(coupling) && std::isfinite(coupling_before)
                                     ? std::abs(coupling - coupling_before)
                                     : kInfinity;
  return {even, odd, zo, coupling, coupling_change, refinements};
}

bool finite_and_positive(const ModeCapacitances& c) {
  return positive_finite(c.even) && positive_finite(c.odd);
}

FieldResult not_converged(const Options& options, double estimate) {
  return {FieldStatus::not_converged, not_converged_message(options, estimate), estimate,
          std::nullopt};
}

// Climbs the levels until both modes change by less than the tolerance.
template <typename SolveLevel>
FieldResult refined(double er, const Options& options, SolveLevel solve_level_of) {
  LevelSolution coarser = solve_level_of(0);
  double estimate = kInfinity;
  for (int level = 1; level <= options.max_refinements; ++level) {
    const LevelSolution finer = solve_level_of(level);
    if (!finite_and_positive(finer.capacitance) || !finite_and_positive(coarser.capacitance)) break;
    const FieldSolution solution = field_solution(finer, coarser, er, level);
    estimate = std::max(solution.even.error_estimate, solution.odd.error_estimate);
    if (estimate <= options.tolerance) return {FieldStatus::ok, "", estimate, solution};
    coarser = finer;
  }
  return not_converged(options, estimate);
}

FieldResult solve_homogeneous(const Geometry& geometry, const Options& options) {
  if (geometry.arrangement == Arrangement::edge) {
    const ReducedShape reduced = reduced_shape(normalised_shape(geometry));
    return refined(geometry.er, options, [&](int level) { return solve_level(reduced, level); });
  }
  const ReducedSection reduced = reduced_section(section_of(geometry));
  SectionStorage storage = storage_for(reduced, 1);
  return refined(geometry.er, options,
                 [&](int level) { return solve_section_level(reduced, level, storage); });
}

// The solution on a stack at one level: the strips in air and in the
// layers, on one cut.
struct StackLevel {
  ModeCapacitances air;
  LayeredLevel filled;
  int panels;
};

double stack_loss_tangent(const Stack& stack, const LayeredMode& mode) {
  double sum = 0.0;
  for (int i = 0; i < stack.count; ++i)
    sum += mode.energy_share[static_cast<std::size_t>(i)] *
           stack.layers[static_cast<std::size_t>(i)].loss_tangent;
  return sum;
}

ModeSolution stack_mode(double air, const LayeredMode& filled, const Stack& stack, double estimate,
                        const StackLevel& level) {
  return {air,
          kFreeSpaceImpedance / std::sqrt(air * filled.capacitance),
          estimate,
          level.panels,
          level.filled.unknowns,
          filled.capacitance / air,
          stack_loss_tangent(stack, filled)};
}

// The estimate covers the capacitances with and without the dielectrics and
// their ratio, the effective permittivity, in both modes.
double stack_estimate(const StackLevel& finer, const StackLevel& coarser) {
  const auto eeff = [](double filled, double air) { return filled / air; };
  const LayeredLevel& f = finer.filled;
  const LayeredLevel& c = coarser.filled;
  return std::max({relative_change(finer.air.even, coarser.air.even),
                   relative_change(finer.air.odd, coarser.air.odd),
                   relative_change(f.even.capacitance, c.even.capacitance),
                   relative_change(f.odd.capacitance, c.odd.capacitance),
                   relative_change(eeff(f.even.capacitance, finer.air.even),
                                   eeff(c.even.capacitance, coarser.air.even)),
                   relative_change(eeff(f.odd.capacitance, finer.air.odd),
                                   eeff(c.odd.capacitance, coarser.air.odd))});
}

FieldSolution stack_solution(const StackLevel& finer, const StackLevel& coarser, const Stack& stack,
                             int refinements) {
  const double estimate = stack_estimate(finer, coarser);
  const ModeSolution even = stack_mode(finer.air.even, finer.filled.even, stack, estimate, finer);
  const ModeSolution odd = stack_mode(finer.air.odd, finer.filled.odd, stack, estimate, finer);
  const double coupling = coupling_db(even.impedance, odd.impedance);
  const auto z = [](double air, double filled) {
    return kFreeSpaceImpedance / std::sqrt(air * filled);
  };
  const double coupling_before = coupling_db(z(coarser.air.even, coarser.filled.even.capacitance),
                                             z(coarser.air.odd, coarser.filled.odd.capacitance));
  const double coupling_change = std::isfinite(coupling) && std::isfinite(coupling_before)
                                     ? std::abs(coupling - coupling_before)
                                     : kInfinity;
  return {even,       odd, std::sqrt(even.impedance * odd.impedance), coupling, coupling_change,
          refinements};
}

bool finite_and_positive(const StackLevel& l) {
  return finite_and_positive(l.air) && positive_finite(l.filled.even.capacitance) &&
         positive_finite(l.filled.odd.capacitance);
}

// Strips in a stack of different dielectrics (layered.hpp), on the section
// path whatever the arrangement.
FieldResult solve_layered(const Geometry& geometry, const Options& options) {
  Geometry placed = geometry;
  if (placed.arrangement == Arrangement::edge) placed.h = placed.b / 2;
  const Section whole = section_of(placed);
  const std::vector<UnitLayer> layers = unit_layers(geometry);
  const ReducedSection reduced = layered_reduction(whole, layers);
  const auto solve_level_of = [&](int level) {
    const PanelLayout layout = section_layout(reduced.section, mesh_at_level(level));
    int panels = 0;
    for (const auto& fractions : layout.breakpoints)
      panels += static_cast<int>(fractions.size()) - 1;
    LayeredLevel filled = layered_level(reduced, whole, layers, layout, level);
    const ModeCapacitances air{filled.even.air_capacitance, filled.odd.air_capacitance};
    return StackLevel{air, std::move(filled), panels};
  };
  StackLevel coarser = solve_level_of(0);
  double estimate = kInfinity;
  for (int level = 1; level <= options.max_refinements; ++level) {
    StackLevel finer = solve_level_of(level);
    if (!finite_and_positive(finer) || !finite_and_positive(coarser)) break;
    const FieldSolution solution = stack_solution(finer, coarser, geometry.stack, level);
    estimate = solution.even.error_estimate;
    if (estimate <= options.tolerance) return {FieldStatus::ok, "", estimate, solution};
    coarser = std::move(finer);
  }
  return not_converged(options, estimate);
}

FieldResult solve_stack(const Geometry& geometry, const Options& options) {
  const std::optional<Geometry> flat = one_dielectric(geometry);
  if (!flat) return solve_layered(geometry, options);
  FieldResult result = solve_homogeneous(*flat, options);
  if (result.solution) {
    const double loss_tangent = geometry.stack.layers[0].loss_tangent;
    result.solution->even.loss_tangent = loss_tangent;
    result.solution->odd.loss_tangent = loss_tangent;
  }
  return result;
}

}  // namespace

FieldResult solve(const Geometry& geometry, const Options& options) {
  if (auto error = geometry_error(geometry)) return invalid_input(*error);
  if (auto error = options_error(options, kLevelCount)) return invalid_input(*error);
  if (!geometry.stack.empty()) return solve_stack(geometry, options);
  return solve_homogeneous(geometry, options);
}

FieldResult exact_zero_thickness(const Geometry& geometry) {
  if (auto error = geometry_error(geometry)) return invalid_input(*error);
  if (geometry.arrangement != Arrangement::edge)
    return invalid_input("the exact solution is for strips side by side and centred only");
  if (geometry.t != 0.0) return invalid_input("t = " + format_number(geometry.t) + " is not zero");
  const ExactCapacitances c =
      zero_thickness_capacitances(geometry.w / geometry.b, geometry.s / geometry.b);
  // A few units of rounding through the hyperbolic functions and the AGM.
  constexpr double kRounding = 1e-14;
  const ModeSolution even{c.even, impedance(c.even, geometry.er), kRounding, 0, 0, geometry.er};
  const ModeSolution odd{c.odd, impedance(c.odd, geometry.er), kRounding, 0, 0, geometry.er};
  const double coupling = coupling_db(even.impedance, odd.impedance);
  // The coupling's rounding error grows as the modes approach each other.
  const double coupling_error = std::isfinite(coupling) ? 20.0 / std::log(10.0) * kRounding *
                                                              (even.impedance + odd.impedance) /
                                                              (even.impedance - odd.impedance)
                                                        : kInfinity;
  const double zo = std::sqrt(even.impedance * odd.impedance);
  const FieldSolution solution{even, odd, zo, coupling, coupling_error, 0};
  return {FieldStatus::ok, "", kRounding, solution};
}

}  // namespace ketrovane::field
