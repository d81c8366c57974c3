#include "design/row_kernel.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

#include "design/field_analysis.hpp"
#include "field/domain.hpp"
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
      return "no_field_loss";
    case RowStatus::uncoupled:
      break;
  }
  return "uncoupled";
}

bool is_failure(RowStatus status) {
  return status != RowStatus::ok && status != RowStatus::zero_thickness_abandoned &&
         status != RowStatus::converged;
}

CouplerImpedances model_impedances(const CrossSection& x) {
  const ModeImpedances modes = mode_impedances(x);
  const CouplerImpedance coupler = coupler_from_modes({modes.zoe, modes.zoo});
  return {modes.zoe,           modes.zoo,          coupler.zo,
          coupler.coupling_db, modes.capacitances, modes.zero_thickness_abandoned,
          x.board.er,          x.board.er};
}

RowStatus failure_status(const FieldFailure& failure) {
  return failure.status();
}

std::optional<FieldFailure> uncoupled(const StripPair& pair, double zoe, double zoo,
                                      double error_estimate) {
  // Each impedance is known to its relative estimate, and so is the
  // coupling factor (Zoe - Zoo)/(Zoe + Zoo): one no larger than that is
  // none the solution can tell from zero, and at most twice it.
  const double resolution = std::max(error_estimate, std::numeric_limits<double>::epsilon());
  if (!std::isfinite(zoe) || !std::isfinite(zoo) || (zoe - zoo) / (zoe + zoo) > resolution) {
    return std::nullopt;
  }
  const double bound_db = 20.0 * std::log10(2.0 * resolution);
  return FieldFailure(pair,
                      "the strips couple more weakly than " +
                          field::format_number(std::ceil(bound_db)) +
                          " dB, the field solution's resolution",
                      RowStatus::uncoupled);
}

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

void analyse_on_field(AnalysisRow& row, const Materials& materials, float f_mhz) {
  FieldCoupler c = field_coupler(row.pair);
  row.impedances = c.impedances;
  row.attenuation = field_attenuation(row.pair, materials, f_mhz);
  const ModeAttenuation& a = row.attenuation;
  const CouplerImpedances& z = row.impedances;
  if (!all_finite({z.zoe, z.zoo, z.zo, a.even_db_per_inch, a.odd_db_per_inch})) {
    row.status = RowStatus::not_finite;
  } else if (c.uncoupled) {
    row.status = RowStatus::uncoupled;
    row.impedances.coupling_db = kNaN;  // no number the solution resolves
    row.failure = std::move(c.uncoupled);
  }
}

// With both: the field's comparison may find strips it cannot tell apart.
void note_uncoupled(RowStatus& status, std::optional<FieldFailure>& failure,
                    std::optional<FieldComparison>& field) {
  if (!field || !field->uncoupled || is_failure(status)) return;
  status = RowStatus::uncoupled;
  field->coupling_db = kNaN;
  failure = field->uncoupled;
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
    note_uncoupled(row.status, row.failure, row.field);
  }
}

}  // namespace

AnalysisRow analysis_row(const StripPair& pair, const Materials& materials, float f_mhz,
                         Solver solver) {
  AnalysisRow row{pair, {}, {}, RowStatus::ok, std::nullopt, std::nullopt, std::nullopt};
  const bool on_the_field = solver == Solver::field || !pair.placement.is_edge();
  try {
    if (on_the_field) {
      analyse_on_field(row, materials, f_mhz);
    } else {
      analyse_on_model(row, materials, f_mhz, solver);
    }
  } catch (const FieldFailure& failure) {
    row.status = failure_status(failure);
    row.failure = failure;
    row.field.reset();
    row.field_loss.reset();
    if (on_the_field) {
      row.impedances = {kNaN, kNaN, kNaN, kNaN, Capacitances{}, false, kNaN, kNaN};
      row.attenuation = {kNaN, kNaN};
    }
  }
  return row;
}

namespace {

SensitivityRow sensitivities_on_model(const StripPair& pair, Solver solver) {
  const CrossSection& x = pair.x;
  SensitivityRow row{pair,         impedance_sensitivities(x),
                     {},           RowStatus::ok,
                     std::nullopt, std::nullopt,
                     x.board.er,   x.board.er};
  const ImpedanceSensitivities& z = row.sensitivities;
  bool finite = all_finite({z.zoe, z.zoo});
  for (const ModeSensitivities& m : {z.even, z.odd}) {
    finite = finite && all_finite({m.er, m.b, m.s, m.t, m.w});
  }
  row.status = model_status(finite, mode_impedances(x).zero_thickness_abandoned);
  if (solver == Solver::both) {
    try {
      row.field = compare_with_field(x, z.zoe, z.zoo);
      note_uncoupled(row.status, row.failure, row.field);
    } catch (const FieldFailure& failure) {
      row.status = failure_status(failure);
      row.failure = failure;
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
    return {pair,         z,
            f.placement,  finite ? RowStatus::ok : RowStatus::not_finite,
            std::nullopt, std::nullopt,
            f.eeff_even,  f.eeff_odd};
  } catch (const FieldFailure& failure) {
    const ModeSensitivities none{kNaN, kNaN, kNaN, kNaN, kNaN};
    return {
        pair, {kNaN, kNaN, none, none}, {}, failure_status(failure), std::nullopt, failure, kNaN,
        kNaN};
  }
}

FieldRow field_row(const StripPair& pair, double tolerance) {
  const field::FieldResult f = field::solve(field_geometry(pair), {.tolerance = tolerance});
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  if (!f.ok()) {
    return {pair,
            kNone,
            kNone,
            kNone,
            kNone,
            kNone,
            kNone,
            kNone,
            0,
            RowStatus::no_field_solution,
            FieldFailure(pair, f.message, RowStatus::no_field_solution),
            kNone,
            kNone};
  }
  const field::FieldSolution& z = *f.solution;
  FieldRow row{pair,
               z.even.impedance,
               z.odd.impedance,
               z.zo,
               z.coupling_db,
               z.even.capacitance,
               z.odd.capacitance,
               f.error_estimate,
               z.even.panels,
               RowStatus::ok,
               std::nullopt,
               z.even.effective_permittivity,
               z.odd.effective_permittivity};
  row.failure = uncoupled(pair, z.even.impedance, z.odd.impedance, f.error_estimate);
  if (row.failure) {
    row.status = RowStatus::uncoupled;
    row.coupling_db = kNone;
  } else if (!std::isfinite(z.zo) || !std::isfinite(z.coupling_db)) {
    row.status = RowStatus::not_finite;
  }
  return row;
}

}  // namespace ketrovane
