#include <cmath>
#include <limits>

#include "design/field_analysis.hpp"
#include "design/row_kernel.hpp"
#include "model/loss_formulas.hpp"

namespace ketrovane {

namespace {

CoupledSection lossless_section(const CouplerImpedances& z, float length_inch) {
  return {z.zoe, z.zoo, z.eeff_even, z.eeff_odd, length_inch, 0.0F, 0.0F};
}

ModeAttenuation attenuation_at(const ResponseCoupler& c, const StripPair& pair, float f_mhz,
                               bool on_the_field) {
  const Materials& m = c.materials;
  if (on_the_field) return field_attenuation(pair, m, f_mhz);
  if (c.model_loss) return mode_attenuation(*c.model_loss, m.conductor, m.loss_tangent, f_mhz);
  return mode_attenuation(pair.x, m.conductor, m.loss_tangent, f_mhz);
}

void set_attenuation(CoupledSection& section, const ModeAttenuation& a) {
  section.even_attenuation_db_inch = a.even_db_per_inch;
  section.odd_attenuation_db_inch = a.odd_db_per_inch;
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The impedances and sections of a coupler given by its dimensions;
// FieldFailure when the field solver cannot solve its cross-section.
void build_coupler(ResponseCoupler& c, float length_inch) {
  const CrossSection& x = c.dimensions->x;
  c.impedances = c.solver == Solver::field ? field_impedances(*c.dimensions) : model_impedances(x);
  c.section = lossless_section(c.impedances, length_inch);
  if (c.solver == Solver::field) {
    if (!std::isfinite(c.impedances.zoe) || !std::isfinite(c.impedances.zoo)) {
      c.status = RowStatus::not_finite;
    }
    return;
  }
  c.model_loss = wheeler_factors(x);
  const CouplerImpedances& z = c.impedances;
  if (!std::isfinite(z.zoe) || !std::isfinite(z.zoo)) {
    c.status = RowStatus::not_finite;
  } else if (z.zero_thickness_abandoned) {
    c.status = RowStatus::zero_thickness_abandoned;
  }
  if (c.solver == Solver::both) {
    c.field = compare_with_field(x, z.zoe, z.zoo);
    c.field_section = {c.field->zoe, c.field->zoo, x.board.er, x.board.er, length_inch, 0.0F, 0.0F};
    if (c.field->uncoupled && !is_failure(c.status)) {
      c.status = RowStatus::uncoupled;
      c.field->coupling_db = kNaN;
      c.failure = c.field->uncoupled;
    }
  }
}

}  // namespace

bool all_finite(const FourPortResponse& r) {
  bool all = std::isfinite(r.input_vswr) && std::isfinite(r.phase_difference_deg) &&
             std::isfinite(r.quadrature_error_deg) && std::isfinite(r.total_loss_db) &&
             std::isfinite(r.ohmic_loss_db);
  for (const Port p : kPorts) {
    all = all && std::isfinite(r.amplitude_db[p]) && std::isfinite(r.phase_deg[p]);
  }
  return all;
}

ResponseCoupler coupler_of_dimensions(const StripPair& pair, const Materials& materials,
                                      float length_inch, Solver solver) {
  if (!pair.placement.is_edge()) solver = Solver::field;
  ResponseCoupler c{};
  c.dimensions = pair;
  c.materials = materials;
  c.solver = solver;
  c.status = RowStatus::ok;
  try {
    build_coupler(c, length_inch);
  } catch (const FieldFailure& failure) {
    c.status = failure_status(failure);
    c.failure = failure;
    c.field.reset();
    c.field_section.reset();
    if (solver == Solver::field) {
      c.impedances = {kNaN, kNaN, kNaN, kNaN, Capacitances{}, false, kNaN, kNaN};
      c.section = {kNaN, kNaN, pair.x.board.er, pair.x.board.er, length_inch, 0.0F, 0.0F};
    }
  }
  return c;
}

ResponseCoupler coupler_of_impedances(float zoe, float zoo, float er, float length_inch) {
  ResponseCoupler c{};
  c.impedances = {zoe, zoo, 0.0F, 0.0F, Capacitances{}, false, er, er};
  c.section = lossless_section(c.impedances, length_inch);
  c.solver = Solver::model;
  c.status = std::isfinite(zoe) && std::isfinite(zoo) ? RowStatus::ok : RowStatus::not_finite;
  return c;
}

CoupledSection section_at(const ResponseCoupler& c, float f_mhz) {
  CoupledSection section = c.section;
  const bool on_the_field = c.solver == Solver::field;
  // Without its field solution a section has no field loss either.
  if (c.dimensions && !(on_the_field && is_failure(c.status))) {
    set_attenuation(section, attenuation_at(c, *c.dimensions, f_mhz, on_the_field));
  }
  return section;
}

std::optional<LossParts> loss_parts(const ResponseCoupler& c, float f_mhz, bool on_the_field) {
  if (!c.dimensions) return std::nullopt;
  const Materials& m = c.materials;
  if (on_the_field) {
    try {
      return field_loss_parts(*c.dimensions, m, f_mhz);
    } catch (const FieldFailure&) {
      return LossParts{{kNaN, kNaN}, {kNaN, kNaN}};
    }
  }
  // The model's conductor term alone, as mode_attenuation adds it to the
  // dielectric term.
  const ModeAttenuation conductor =
      c.model_loss ? mode_attenuation(*c.model_loss, m.conductor, 0.0F, f_mhz)
                   : mode_attenuation(c.dimensions->x, m.conductor, 0.0F, f_mhz);
  const float er = c.dimensions->x.board.er;
  const float dielectric = f_mhz > 0.0F ? dielectric_loss(er, f_mhz, m.loss_tangent) : 0.0F;
  return LossParts{conductor, {dielectric, dielectric}};
}

std::optional<CoupledSection> field_section_at(const ResponseCoupler& c, float f_mhz) {
  if (!c.field_section) return std::nullopt;
  CoupledSection on_the_field = *c.field_section;
  set_attenuation(on_the_field, attenuation_at(c, *c.dimensions, f_mhz, true));
  return on_the_field;
}

ResponseRow response_row(const ResponseCoupler& c, float f_mhz, Terminations terminations) {
  ResponseRow row{f_mhz, c.section, {}, c.status, std::nullopt, c.failure};
  try {
    row.section = section_at(c, f_mhz);
    if (const std::optional<CoupledSection> on_the_field = field_section_at(c, f_mhz)) {
      row.field_response = four_port_response(*on_the_field, f_mhz, terminations);
    }
  } catch (const FieldFailure& failure) {
    row.status = failure_status(failure);
    row.failure = failure;
    row.field_response.reset();
    if (c.solver == Solver::field) set_attenuation(row.section, {kNaN, kNaN});
  }
  row.response = four_port_response(row.section, f_mhz, terminations);
  if (!is_failure(row.status) && !all_finite(row.response)) row.status = RowStatus::not_finite;
  return row;
}

ScatteringMatrix response_scattering_matrix(const ResponseCoupler& coupler, float f_mhz,
                                            Terminations references) {
  return scattering_matrix(response_row(coupler, f_mhz, references).section, f_mhz, references);
}

}  // namespace ketrovane
