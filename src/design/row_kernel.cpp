#include "design/row_kernel.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

#include "design/field_analysis.hpp"
#include "model/coupling.hpp"

namespace ketrovane {

namespace {

bool all_finite(std::initializer_list<float> values) {
  return std::ranges::all_of(values, [](float v) { return std::isfinite(v); });
}

// A model row's own status: its numbers, then whether the model left its
// zero-thickness solution for it.
RowStatus model_status(bool finite, bool abandoned) {
  if (!finite) return RowStatus::not_finite;
  return abandoned ? RowStatus::zero_thickness_abandoned : RowStatus::ok;
}

bool finite_impedances(const CouplerImpedances& z) {
  return all_finite({z.zoe, z.zoo, z.zo, z.coupling_db});
}

}  // namespace

std::string_view status_name(RowStatus status) {
  switch (status) {
    case RowStatus::ok:
      return "ok";
    case RowStatus::zero_thickness_abandoned:
      return "zero_thickness_abandoned";
    case RowStatus::not_finite:
      return "not_finite";
    case RowStatus::converged:
      return "converged";
    case RowStatus::spacing_floor:
      return "spacing_floor";
    case RowStatus::width_floor:
      return "width_floor";
    case RowStatus::unusable:
      return "unusable";
    case RowStatus::not_representable:
      return "not_representable";
    case RowStatus::field_not_converged:
      return "field_not_converged";
    case RowStatus::needs_thinner_core:
      return "needs_thinner_core";
    case RowStatus::gap_below_limit:
      return "gap_below_limit";
    case RowStatus::width_below_limit:
      return "width_below_limit";
    case RowStatus::no_field_solution:
      return "no_field_solution";
    case RowStatus::no_field_loss:
      break;
  }
  return "no_field_loss";
}

bool is_failure(RowStatus status) {
  return status != RowStatus::ok && status != RowStatus::zero_thickness_abandoned &&
         status != RowStatus::converged;
}

CouplerImpedances model_impedances(const CrossSection& x) {
  const ModeImpedances modes = mode_impedances(x);
  const CouplerImpedance coupler = coupler_from_modes({modes.zoe, modes.zoo});
  return {modes.zoe,           modes.zoo,          coupler.zo,
          coupler.coupling_db, modes.capacitances, modes.zero_thickness_abandoned};
}

RowStatus failure_status(const FieldFailure& failure) {
  return failure.of_loss() ? RowStatus::no_field_loss : RowStatus::no_field_solution;
}

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

void analyse_on_field(AnalysisRow& row, const Materials& materials, float f_mhz) {
  row.impedances = field_impedances(row.pair);
  row.attenuation = field_attenuation(row.pair, materials, f_mhz);
  const ModeAttenuation& a = row.attenuation;
  const CouplerImpedances& z = row.impedances;
  // Strips too far apart to couple have no coupling in dB, and are computed.
  if (!all_finite({z.zoe, z.zoo, z.zo, a.even_db_per_inch, a.odd_db_per_inch})) {
    row.status = RowStatus::not_finite;
  }
}

void analyse_on_model(AnalysisRow& row, const Materials& materials, float f_mhz, Solver solver) {
  const CrossSection& x = row.pair.x;
  row.impedances = model_impedances(x);
  row.attenuation = mode_attenuation(x, materials.conductor, materials.loss_tangent, f_mhz);
  const ModeAttenuation& a = row.attenuation;
  row.status = model_status(
      finite_impedances(row.impedances) && all_finite({a.even_db_per_inch, a.odd_db_per_inch}),
      row.impedances.zero_thickness_abandoned);
  if (solver == Solver::both) {
    row.field = compare_with_field(x, row.impedances.zoe, row.impedances.zoo);
    row.field_loss = compare_loss_with_field(x, materials, f_mhz, row.attenuation);
  }
}

}  // namespace

AnalysisRow analysis_row(const StripPair& pair, const Materials& materials, float f_mhz,
                         Solver solver) {
  AnalysisRow row{pair, {}, {}, RowStatus::ok, std::nullopt, std::nullopt};
  const bool on_the_field = solver == Solver::field || !pair.placement.is_edge();
  try {
    if (on_the_field) {
      analyse_on_field(row, materials, f_mhz);
    } else {
      analyse_on_model(row, materials, f_mhz, solver);
    }
  } catch (const FieldFailure& failure) {
    row.status = failure_status(failure);
    row.field.reset();
    row.field_loss.reset();
    if (on_the_field) {
      row.impedances = {kNaN, kNaN, kNaN, kNaN, Capacitances{}, false};
      row.attenuation = {kNaN, kNaN};
    }
  }
  return row;
}

namespace {

SensitivityRow sensitivities_on_model(const StripPair& pair, Solver solver) {
  const CrossSection& x = pair.x;
  SensitivityRow row{pair, impedance_sensitivities(x), {}, RowStatus::ok, std::nullopt};
  const ImpedanceSensitivities& z = row.sensitivities;
  bool finite = all_finite({z.zoe, z.zoo});
  for (const ModeSensitivities& m : {z.even, z.odd}) {
    finite = finite && all_finite({m.er, m.b, m.s, m.t, m.w});
  }
  row.status = model_status(finite, mode_impedances(x).zero_thickness_abandoned);
  if (solver == Solver::both) {
    try {
      row.field = compare_with_field(x, z.zoe, z.zoo);
    } catch (const FieldFailure& failure) {
      row.status = failure_status(failure);
    }
  }
  return row;
}

}  // namespace

SensitivityRow sensitivity_row(const StripPair& pair, Solver solver) {
  if (solver != Solver::field && pair.placement.is_edge()) {
    return sensitivities_on_model(pair, solver);
  }
  try {
    const FieldSensitivities f = field_sensitivities(pair);
    const ImpedanceSensitivities& z = f.impedances;
    const bool finite = all_finite({z.zoe, z.zoo}) &&
                        all_finite({z.even.b, z.even.s, z.even.t, z.even.w}) &&
                        all_finite({z.odd.b, z.odd.s, z.odd.t, z.odd.w});
    return {pair, z, f.placement, finite ? RowStatus::ok : RowStatus::not_finite, std::nullopt};
  } catch (const FieldFailure& failure) {
    const ModeSensitivities none{kNaN, kNaN, kNaN, kNaN, kNaN};
    return {pair, {kNaN, kNaN, none, none}, {}, failure_status(failure), std::nullopt};
  }
}

FieldRow field_row(const StripPair& pair, double tolerance) {
  const field::FieldResult f = field::solve(field_geometry(pair), {.tolerance = tolerance});
  if (!f.ok()) throw FieldFailure(pair, f.message, false);
  const field::FieldSolution& z = *f.solution;
  return {pair,          z.even.impedance,   z.odd.impedance,   z.zo,
          z.coupling_db, z.even.capacitance, z.odd.capacitance, f.error_estimate,
          z.even.panels};
}

}  // namespace ketrovane
