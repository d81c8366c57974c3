#include "field/single_strip.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "field/domain.hpp"
#include "field/exact_zero_thickness.hpp"
#include "field/layered.hpp"
#include "field/refinement.hpp"
#include "model/loss_formulas.hpp"

namespace ketrovane::field {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kDbPerNeper = ModelFigure<double>::db_per_neper;
// As the pair's central difference: a fraction of the smallest dimension.
constexpr double kRecessionStep = 1e-4;

double height_of(const StripGeometry& g) {
  return g.h.value_or(g.b / 2);
}

// The pair off the centre plane whose domain the strip shares: the checks
// of the gaps, the copper and the stack are the pair's, the twin a width
// away where it can offend nothing.
Geometry pair_for_checks(const StripGeometry& g) {
  Geometry pair{g.b, g.t, g.w, g.w, g.er, Arrangement::edge_offset};
  pair.h = height_of(g);
  pair.stack = g.stack;
  return pair;
}

// In units of b, the strip's centre line at x = 0.
Section section_in_units_of_b(double b, double t, double w, double h) {
  return {w / b, t / b, 0.0, h / b, TwinSymmetry::none};
}

Section section_of(const StripGeometry& g) {
  return section_in_units_of_b(g.b, g.t, g.w, height_of(g));
}

double relative_change(double now, double before) {
  return std::abs(now / before - 1.0);
}

StripResult not_converged(const Options& options, double estimate) {
  return {FieldStatus::not_converged, not_converged_message(options, estimate), estimate,
          std::nullopt};
}

// One level's capacitances in air and in the dielectric (C/eps0), and the
// energy-weighted loss tangent.
struct StripLevel {
  double air;
  double filled;
  double loss_tangent;
  int panels;
  int unknowns;
};

bool usable(const StripLevel& l) {
  return positive_finite(l.air) && positive_finite(l.filled);
}

// Climbs the levels until the capacitances (and their ratio) settle.
template <typename SolveLevel>
StripResult refined(const Options& options, SolveLevel solve_level_of) {
  StripLevel coarser = solve_level_of(0);
  double estimate = kInfinity;
  for (int level = 1; level <= options.max_refinements; ++level) {
    const StripLevel finer = solve_level_of(level);
    if (!usable(finer) || !usable(coarser)) break;
    estimate = std::max({relative_change(finer.air, coarser.air),
                         relative_change(finer.filled, coarser.filled),
                         relative_change(finer.filled / finer.air, coarser.filled / coarser.air)});
    if (estimate <= options.tolerance) {
      const StripSolution s{finer.air,
                            kFreeSpaceImpedance / std::sqrt(finer.air * finer.filled),
                            finer.filled / finer.air,
                            finer.loss_tangent,
                            estimate,
                            finer.panels,
                            finer.unknowns,
                            level};
      return {FieldStatus::ok, "", estimate, s};
    }
    coarser = finer;
  }
  return not_converged(options, estimate);
}

StripResult solve_homogeneous(const StripGeometry& g, double er, double loss_tangent,
                              const Options& options) {
  const ReducedSection reduced = reduced_section(section_of(g));
  SectionStorage storage = storage_for(reduced, 1);
  return refined(options, [&](int level) {
    const LevelSolution l = solve_section_level(reduced, level, storage);
    return StripLevel{l.capacitance.even, er * l.capacitance.even, loss_tangent, l.panels,
                      l.unknowns};
  });
}

double weighted_loss_tangent(const Stack& stack, const std::vector<double>& share) {
  double sum = 0.0;
  for (int i = 0; i < stack.count; ++i)
    sum +=
        share[static_cast<std::size_t>(i)] * stack.layers[static_cast<std::size_t>(i)].loss_tangent;
  return sum;
}

StripResult solve_layered(const StripGeometry& g, const Options& options) {
  const Section whole = section_of(g);
  const std::vector<UnitLayer> layers = unit_layers(pair_for_checks(g));
  const ReducedSection reduced = layered_reduction(whole, layers);
  return refined(options, [&](int level) {
    const PanelLayout layout = section_layout(reduced.section, mesh_at_level(level));
    int panels = 0;
    for (const auto& fractions : layout.breakpoints)
      panels += static_cast<int>(fractions.size()) - 1;
    const LayeredLevel l = layered_level(reduced, whole, layers, layout, level);
    return StripLevel{l.even.air_capacitance, l.even.capacitance,
                      weighted_loss_tangent(g.stack, l.even.energy_share), panels, l.unknowns};
  });
}

std::optional<std::string> strip_error(const StripGeometry& g) {
  return geometry_error(pair_for_checks(g));
}

// The slope d(ln C0)/dn in air, n in units of b, on one cut of the nominal
// strip at this level.
double log_slope(const StripGeometry& unit, int level) {
  const double h = height_of(unit);
  const double smallest =
      std::min({1.0, unit.w, unit.t == 0.0 ? 1.0 : unit.t, h - unit.t / 2, 1.0 - h - unit.t / 2});
  const double step = kRecessionStep * smallest;
  const auto receded = [&](double n) {
    const double t = unit.t == 0.0 ? 0.0 : unit.t - 2.0 * n;
    return reduced_section(section_in_units_of_b(1.0 + 2.0 * n, t, unit.w - 2.0 * n, h + n));
  };
  const PanelLayout layout =
      section_layout(reduced_section(section_of(unit)).section, mesh_at_level(level));
  SectionStorage storage;
  const double plus =
      solve_section_on_layout(receded(step), layout, level, storage).capacitance.even;
  const double minus =
      solve_section_on_layout(receded(-step), layout, level, storage).capacitance.even;
  return std::log(plus / minus) / (2.0 * step);
}

struct SlopeResult {
  std::optional<double> slope;
  double estimate;
};

SlopeResult refined_slope(const StripGeometry& unit, const Options& options) {
  double before = log_slope(unit, 0);
  double estimate = kInfinity;
  for (int level = 1; level <= options.max_refinements; ++level) {
    const double slope = log_slope(unit, level);
    estimate = std::abs(slope - before) / std::abs(slope);
    if (estimate <= options.tolerance) return {slope, estimate};
    before = slope;
  }
  return {std::nullopt, estimate};
}

StripGeometry in_units_of_b(const StripGeometry& g) {
  StripGeometry x = g;
  x.b = 1.0;
  x.t = g.t / g.b;
  x.w = g.w / g.b;
  x.h = height_of(g) / g.b;
  x.stack = {};
  return x;
}

StripLossResult loss_failure(FieldStatus status, std::string message, double estimate = 0.0) {
  return {status, std::move(message), estimate, std::nullopt};
}

}  // namespace

StripResult solve_strip(const StripGeometry& geometry, const Options& options) {
  if (auto error = strip_error(geometry)) return {FieldStatus::invalid_input, *error, 0.0, {}};
  if (auto error = options_error(options, kLevelCount))
    return {FieldStatus::invalid_input, *error, 0.0, {}};
  if (geometry.stack.empty()) return solve_homogeneous(geometry, geometry.er, 0.0, options);
  const std::optional<Geometry> flat = one_dielectric(pair_for_checks(geometry));
  if (!flat) return solve_layered(geometry, options);
  StripGeometry one = geometry;
  one.stack = {};
  return solve_homogeneous(one, flat->er, geometry.stack.layers[0].loss_tangent, options);
}

StripResult exact_strip(const StripGeometry& geometry) {
  if (auto error = strip_error(geometry)) return {FieldStatus::invalid_input, *error, 0.0, {}};
  if (geometry.t != 0.0)
    return {
        FieldStatus::invalid_input, "t = " + format_number(geometry.t) + " is not zero", 0.0, {}};
  if (geometry.h && *geometry.h != geometry.b / 2)
    return {FieldStatus::invalid_input,
            "h = " + format_number(*geometry.h) +
                " is not centred (b/2 = " + format_number(geometry.b / 2) + ")",
            0.0,
            {}};
  if (!geometry.stack.empty())
    return {FieldStatus::invalid_input, "the exact solution is for one dielectric only", 0.0, {}};
  const double a = std::numbers::pi * geometry.w / (2.0 * geometry.b);
  const double c = 4.0 / elliptic_ratio(1.0 / std::cosh(a), std::tanh(a));
  constexpr double kRounding = 1e-14;
  const StripSolution s{
      c, kFreeSpaceImpedance / (std::sqrt(geometry.er) * c), geometry.er, 0.0, kRounding, 0, 0, 0};
  return {FieldStatus::ok, "", kRounding, s};
}

StripLossResult strip_loss(const StripGeometry& inches, const LossInputs& inputs,
                           const Options& options) {
  if (auto error = loss_input_error(inputs))
    return loss_failure(FieldStatus::invalid_input, *error);
  const StripResult field = solve_strip(inches, options);
  if (!field.ok()) return loss_failure(field.status, field.message, field.error_estimate);
  const SlopeResult slope = refined_slope(in_units_of_b(inches), options);
  if (!slope.slope)
    return loss_failure(FieldStatus::not_converged,
                        "the conductor loss did not converge to a relative tolerance of " +
                            format_number(options.tolerance) + " within " +
                            std::to_string(options.max_refinements) +
                            " refinements; last estimate " + format_number(slope.estimate),
                        slope.estimate);
  const StripSolution& s = *field.solution;
  const double per_ohm = -kDbPerNeper * std::sqrt(s.effective_permittivity) /
                         (2.0 * kFreeSpaceImpedance) / inches.b * *slope.slope;
  const ModeMedium medium{s.effective_permittivity,
                          inches.stack.empty() ? inputs.loss_tangent : s.loss_tangent};
  const FieldLoss loss =
      loss_from_factor({per_ohm, per_ohm}, medium, medium, inputs, slope.estimate);
  return {FieldStatus::ok, "", slope.estimate, loss.even};
}

}  // namespace ketrovane::field
