#include "field/field_loss.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "field/domain.hpp"
#include "field/refinement.hpp"
#include "model/loss_formulas.hpp"

namespace ketrovane::field {
namespace {

// dB per neper as the model's loss has it, so that the two losses differ by
// their solutions alone.
constexpr double kDbPerNeper = ModelFigure<double>::db_per_neper;

// Recession step of the central difference, as a fraction of the smallest
// dimension it changes: small enough that the truncation error (step^2) is
// below 1e-8, large enough that rounding in the solution (1e-14) stays below
// 1e-9 of the slope.
constexpr double kRecessionStep = 1e-4;

}  // namespace

std::optional<std::string> loss_input_error(const LossInputs& in) {
  const auto non_negative = [](double x) { return std::isfinite(x) && x >= 0.0; };
  if (!non_negative(in.frequency_mhz))
    return "frequency = " + format_number(in.frequency_mhz) + " MHz is not finite and 0 or more";
  if (!non_negative(in.resistivity))
    return "resistivity = " + format_number(in.resistivity) +
           " ohm-inch is not finite and 0 or more";
  if (!non_negative(in.roughness))
    return "roughness = " + format_number(in.roughness) + " inch is not finite and 0 or more";
  if (!non_negative(in.loss_tangent))
    return "loss tangent = " + format_number(in.loss_tangent) + " is not finite and 0 or more";
  return std::nullopt;
}

namespace {

// The surface resistance with Hammerstad's roughness factor, ohms.
double rough_surface_resistance(const LossInputs& in) {
  const double rs = surface_resistance(in.frequency_mhz, in.resistivity);
  if (in.roughness == 0.0) return rs;
  return rs * roughness_factor(in.frequency_mhz, in.resistivity, in.roughness);
}

// The cross-section in units of b after every surface recedes by n (in units
// of the original b).
Shape receded(const Shape& x, double n) {
  const double b = 1.0 + 2.0 * n;
  const double t = x.t == 0.0 ? 0.0 : (x.t - 2.0 * n) / b;
  return {(x.w - 2.0 * n) / b, (x.s + 2.0 * n) / b, t};
}

struct LogSlopes {
  double even;  // d(ln C)/dn, n in units of b
  double odd;
};

double recession_step(const Shape& x) {
  const double smallest = std::min({1.0, x.w, x.s, x.t == 0.0 ? 1.0 : x.t});
  return kRecessionStep * smallest;
}

// Both perturbed cross-sections are cut like the nominal one at this level,
// so the difference sees the change of geometry, not a change of mesh.
LogSlopes log_slopes(const Shape& nominal, int level) {
  const double step = recession_step(nominal);
  const ReducedShape plus = reduced_shape(receded(nominal, step));
  const ReducedShape minus = reduced_shape(receded(nominal, -step));
  const PanelLayout layout = panel_layout(reduced_shape(nominal).shape, mesh_at_level(level));
  const ModeCapacitances cp = solve_on_layout(plus, layout, level).capacitance;
  const ModeCapacitances cm = solve_on_layout(minus, layout, level).capacitance;
  return {std::log(cp.even / cm.even) / (2.0 * step), std::log(cp.odd / cm.odd) / (2.0 * step)};
}

// The same for strips off the centre plane or one above the other, from the
// geometry in units of b: the lower plane recedes by n too, so the strips'
// mid-plane rises by n (side by side), and the gap between strips one above
// the other grows by 2n while their offset stays; the centre line of each
// strip stays where it was.
Geometry receded(const Geometry& unit, double n) {
  Geometry x = unit;
  x.b = 1.0 + 2.0 * n;
  x.w -= 2.0 * n;
  if (x.t != 0.0) x.t -= 2.0 * n;
  x.s += 2.0 * n;
  x.h += n;
  x.sv += 2.0 * n;
  return x;
}

double section_recession_step(const Geometry& unit) {
  double smallest = std::min({1.0, unit.w, unit.t == 0.0 ? 1.0 : unit.t});
  if (unit.arrangement == Arrangement::broadside) {
    smallest = std::min({smallest, unit.sv, (1.0 - unit.sv - 2.0 * unit.t) / 2});
  } else {
    smallest = std::min({smallest, unit.s, unit.h - unit.t / 2, 1.0 - unit.h - unit.t / 2});
  }
  return kRecessionStep * smallest;
}

// The section moved by a recession, split where the nominal one is.
ReducedSection receded_section(const Geometry& unit, double n, const std::array<bool, 2>& feet) {
  Section moved = section_of(receded(unit, n));
  moved.feet = feet;
  return reduced_section(moved);
}

LogSlopes section_log_slopes(const Geometry& unit, int level) {
  const double step = section_recession_step(unit);
  const ReducedSection nominal = reduced_section(section_of(unit));
  const std::array<bool, 2> feet = twin_feet(nominal.section);
  const ReducedSection plus = receded_section(unit, step, feet);
  const ReducedSection minus = receded_section(unit, -step, feet);
  const PanelLayout layout = section_layout(nominal.section, mesh_at_level(level));
  SectionStorage storage;
  const ModeCapacitances cp = solve_section_on_layout(plus, layout, level, storage).capacitance;
  const ModeCapacitances cm = solve_section_on_layout(minus, layout, level, storage).capacitance;
  return {std::log(cp.even / cm.even) / (2.0 * step), std::log(cp.odd / cm.odd) / (2.0 * step)};
}

Geometry in_units_of_b(const Geometry& g) {
  Geometry x = g;
  x.b = 1.0;
  x.t = g.t / g.b;
  x.w = g.w / g.b;
  x.s = g.s / g.b;
  x.h = g.h / g.b;
  x.sv = g.sv / g.b;
  x.wo = g.wo / g.b;
  return x;
}

double relative_change(double now, double before) {
  return std::abs(now - before) / std::abs(now);
}

// Np per inch per unit d(ln C)/dn with n in inches, per ohm of surface
// resistance: -sqrt(er)/(2 eta0), in dB.
ConductorLossFactor factor_of(const Geometry& g, const LogSlopes& slopes) {
  const double per_ohm = -kDbPerNeper * std::sqrt(g.er) / (2.0 * kFreeSpaceImpedance) / g.b;
  return {per_ohm * slopes.even, per_ohm * slopes.odd};
}

// The same cross-section with the dielectrics taken away.
Geometry in_air(const Geometry& g) {
  Geometry air = g;
  air.er = 1.0;
  air.stack = {};
  return air;
}

FieldLossResult failure(FieldStatus status, std::string message, double estimate = 0.0) {
  return {status, std::move(message), estimate, std::nullopt};
}

}  // namespace

namespace {

// In a stack of different dielectrics: the air-filled cross-section's
// factor (the inductance does not see the dielectric), times each mode's
// sqrt(eeff).
ConductorLossFactorResult stack_factor(const Geometry& given, const Options& options) {
  ConductorLossFactorResult air = conductor_loss_factor(in_air(given), options);
  if (!air.ok()) return air;
  const FieldResult field = solve(given, options);
  if (!field.ok()) return {field.status, field.message, field.error_estimate, std::nullopt};
  const FieldSolution& modes = *field.solution;
  const ConductorLossFactor factor{air.factor->even * std::sqrt(modes.even.effective_permittivity),
                                   air.factor->odd * std::sqrt(modes.odd.effective_permittivity)};
  return {FieldStatus::ok, "", std::max(air.error_estimate, field.error_estimate), factor};
}

}  // namespace

FieldLoss loss_from_factor(const ConductorLossFactor& factor, double er, const LossInputs& inputs,
                           double error_estimate) {
  const ModeMedium medium{er, inputs.loss_tangent};
  return loss_from_factor(factor, medium, medium, inputs, error_estimate);
}

FieldLoss loss_from_factor(const ConductorLossFactor& factor, const ModeMedium& even,
                           const ModeMedium& odd, const LossInputs& inputs, double error_estimate) {
  const bool lossless = inputs.frequency_mhz == 0.0 || inputs.resistivity == 0.0;
  const double rs = lossless ? 0.0 : rough_surface_resistance(inputs);
  const auto mode = [&](double per_ohm, const ModeMedium& medium) {
    const double conductor = per_ohm * rs;
    const double dielectric = inputs.frequency_mhz == 0.0
                                  ? 0.0
                                  : dielectric_loss(medium.effective_permittivity,
                                                    inputs.frequency_mhz, medium.loss_tangent);
    return ModeLoss{conductor, dielectric, conductor + dielectric, error_estimate};
  };
  return {mode(factor.even, even), mode(factor.odd, odd)};
}

ConductorLossFactorResult conductor_loss_factor(const Geometry& inches, const Options& options) {
  if (auto error = geometry_error(inches)) {
    return {FieldStatus::invalid_input, *error, 0.0, std::nullopt};
  }
  if (auto error = options_error(options, kLevelCount)) {
    return {FieldStatus::invalid_input, *error, 0.0, std::nullopt};
  }
  const std::optional<Geometry> flat = one_dielectric(inches);
  if (!flat) return stack_factor(inches, options);
  const Geometry& one = *flat;
  const Shape nominal = normalised_shape(one);
  const Geometry unit = in_units_of_b(one);
  const bool centred = one.arrangement == Arrangement::edge;
  const auto slopes_at = [&](int level) {
    return centred ? log_slopes(nominal, level) : section_log_slopes(unit, level);
  };
  LogSlopes before = slopes_at(0);
  double estimate = std::numeric_limits<double>::infinity();
  for (int level = 1; level <= options.max_refinements; ++level) {
    const LogSlopes slopes = slopes_at(level);
    estimate = std::max(relative_change(slopes.even, before.even),
                        relative_change(slopes.odd, before.odd));
    if (estimate <= options.tolerance) {
      return {FieldStatus::ok, "", estimate, factor_of(one, slopes)};
    }
    before = slopes;
  }
  return {FieldStatus::not_converged,
          "the conductor loss did not converge to a relative tolerance of " +
              format_number(options.tolerance) + " within " +
              std::to_string(options.max_refinements) + " refinements; last estimate " +
              format_number(estimate),
          estimate, std::nullopt};
}

namespace {

// Each mode's dielectric loss from its own effective permittivity and
// energy-weighted loss tangent.
FieldLossResult stack_loss(const Geometry& given, const LossInputs& inputs,
                           const Options& options) {
  if (auto error = options_error(options, kLevelCount))
    return failure(FieldStatus::invalid_input, *error);
  LossInputs checked = inputs;
  checked.loss_tangent = 0.0;
  if (auto error = loss_input_error(checked)) return failure(FieldStatus::invalid_input, *error);
  const FieldResult field = solve(given, options);
  if (!field.ok()) return failure(field.status, field.message, field.error_estimate);
  const FieldSolution& modes = *field.solution;
  const ModeMedium even{modes.even.effective_permittivity, modes.even.loss_tangent};
  const ModeMedium odd{modes.odd.effective_permittivity, modes.odd.loss_tangent};
  if (inputs.frequency_mhz == 0.0 || inputs.resistivity == 0.0)
    return {FieldStatus::ok, "", 0.0, loss_from_factor({0.0, 0.0}, even, odd, inputs, 0.0)};
  const ConductorLossFactorResult factor = conductor_loss_factor(given, options);
  if (!factor.ok()) return failure(factor.status, factor.message, factor.error_estimate);
  return {FieldStatus::ok, "", factor.error_estimate,
          loss_from_factor(*factor.factor, even, odd, inputs, factor.error_estimate)};
}

}  // namespace

FieldLossResult field_loss(const Geometry& inches, const LossInputs& inputs,
                           const Options& options) {
  if (auto error = geometry_error(inches)) return failure(FieldStatus::invalid_input, *error);
  const std::optional<Geometry> flat = one_dielectric(inches);
  if (!flat) return stack_loss(inches, inputs, options);
  const Geometry& one = *flat;
  LossInputs one_inputs = inputs;
  if (!inches.stack.empty()) one_inputs.loss_tangent = inches.stack.layers[0].loss_tangent;
  if (auto error = options_error(options, kLevelCount))
    return failure(FieldStatus::invalid_input, *error);
  if (auto error = loss_input_error(one_inputs)) return failure(FieldStatus::invalid_input, *error);
  // No frequency, or a perfect conductor: no conductor loss to solve for.
  if (one_inputs.frequency_mhz == 0.0 || one_inputs.resistivity == 0.0) {
    return {FieldStatus::ok, "", 0.0, loss_from_factor({0.0, 0.0}, one.er, one_inputs, 0.0)};
  }
  const ConductorLossFactorResult factor = conductor_loss_factor(one, options);
  if (!factor.ok()) return failure(factor.status, factor.message, factor.error_estimate);
  return {FieldStatus::ok, "", factor.error_estimate,
          loss_from_factor(*factor.factor, one.er, one_inputs, factor.error_estimate)};
}

}  // namespace ketrovane::field
