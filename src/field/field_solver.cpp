#include "field/field_solver.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "field/domain.hpp"
#include "field/exact_zero_thickness.hpp"
#include "field/refinement.hpp"

namespace ketrovane::field {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

double impedance(double capacitance, double er) {
  return kFreeSpaceImpedance / (std::sqrt(er) * capacitance);
}

double couplingDb(double zoe, double zoo) {
  if (!(zoe > zoo)) return -kInfinity;
  return 20.0 * std::log10((zoe - zoo) / (zoe + zoo));
}

// Relative change of an impedance (inversely proportional to C) between levels.
double relativeChange(double capacitance, double before) {
  return std::abs(capacitance / before - 1.0);
}

// The values of the finer level.  Both modes are solved on one discretisation
// and share its error; each carries the larger of the two modes' changes from
// the coarser level, which keeps the estimate honest where one mode's change
// happens to pass through zero.
FieldSolution fieldSolution(const LevelSolution& finer, const LevelSolution& coarser, double er,
                            int refinements) {
  const ModeCapacitances& c = finer.capacitance;
  const ModeCapacitances& before = coarser.capacitance;
  const double estimate =
      std::max(relativeChange(c.even, before.even), relativeChange(c.odd, before.odd));
  const ModeSolution even{c.even, impedance(c.even, er), estimate, finer.panels, finer.unknowns};
  const ModeSolution odd{c.odd, impedance(c.odd, er), estimate, finer.panels, finer.unknowns};
  const double zo = std::sqrt(even.impedance * odd.impedance);
  const double coupling = couplingDb(even.impedance, odd.impedance);
  const double couplingBefore = couplingDb(impedance(before.even, er), impedance(before.odd, er));
  const double couplingChange = std::isfinite(coupling) && std::isfinite(couplingBefore)
                                    ? std::abs(coupling - couplingBefore)
                                    : kInfinity;
  // |dZo/Zo| <= (|dZoe/Zoe| + |dZoo/Zoo|)/2 <= the modes' estimate.
  return {even, odd, zo, estimate, coupling, couplingChange, refinements};
}

bool finiteAndPositive(const ModeCapacitances& c) {
  return positiveFinite(c.even) && positiveFinite(c.odd);
}

FieldResult notConverged(const Options& options, double estimate) {
  return {FieldStatus::notConverged,
          "no convergence to a relative tolerance of " + formatNumber(options.tolerance) +
              " within " + std::to_string(options.maxRefinements) + " refinements; last estimate " +
              formatNumber(estimate),
          estimate, std::nullopt};
}

}  // namespace

FieldResult solve(const Geometry& geometry, const Options& options) {
  if (auto error = geometryError(geometry)) return invalidInput(*error);
  if (auto error = optionsError(options, kLevelCount)) return invalidInput(*error);

  const ReducedShape reduced = reducedShape(normalisedShape(geometry));
  LevelSolution coarser = solveLevel(reduced, 0);
  double estimate = kInfinity;
  for (int level = 1; level <= options.maxRefinements; ++level) {
    const LevelSolution finer = solveLevel(reduced, level);
    if (!finiteAndPositive(finer.capacitance) || !finiteAndPositive(coarser.capacitance)) break;
    const FieldSolution solution = fieldSolution(finer, coarser, geometry.er, level);
    estimate = std::max(solution.even.errorEstimate, solution.odd.errorEstimate);
    if (estimate <= options.tolerance) return {FieldStatus::ok, "", estimate, solution};
    coarser = finer;
  }
  return notConverged(options, estimate);
}

FieldResult exactZeroThickness(const Geometry& geometry) {
  if (auto error = geometryError(geometry)) return invalidInput(*error);
  if (geometry.t != 0.0) return invalidInput("t = " + formatNumber(geometry.t) + " is not zero");
  const ExactCapacitances c =
      zeroThicknessCapacitances(geometry.w / geometry.b, geometry.s / geometry.b);
  // A few units of rounding through the hyperbolic functions and the AGM.
  constexpr double kRounding = 1e-14;
  const ModeSolution even{c.even, impedance(c.even, geometry.er), kRounding, 0, 0};
  const ModeSolution odd{c.odd, impedance(c.odd, geometry.er), kRounding, 0, 0};
  const double coupling = couplingDb(even.impedance, odd.impedance);
  // The coupling's rounding error grows as the modes approach each other.
  const double couplingError = std::isfinite(coupling) ? 20.0 / std::log(10.0) * kRounding *
                                                             (even.impedance + odd.impedance) /
                                                             (even.impedance - odd.impedance)
                                                       : kInfinity;
  const double zo = std::sqrt(even.impedance * odd.impedance);
  const FieldSolution solution{even, odd, zo, kRounding, coupling, couplingError, 0};
  return {FieldStatus::ok, "", kRounding, solution};
}

}  // namespace ketrovane::field
