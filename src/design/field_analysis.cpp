#include "design/field_analysis.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "field/field_loss.hpp"

namespace ketrovane {

namespace {

field::FieldSolution solved(const CrossSection& x, double tolerance) {
  const field::FieldResult f = field::solve(field_geometry(x), {.tolerance = tolerance});
  if (!f.ok()) throw FieldFailure(x, f.message, false);
  return *f.solution;
}

// Central differences in the logarithm of one dimension, on field solutions
// ten times tighter than the step: (x/Z) dZ/dx = d ln Z / d ln x.
constexpr double kLogStep = 1e-3;
constexpr double kDifferenceTolerance = 1e-7;

struct BothModes {
  float even;
  float odd;
};

// `dimension` picks the length a cross-section is stepped in.
template <class Dimension>
BothModes log_slopes(const CrossSection& x, Dimension dimension) {
  CrossSection up = x;
  CrossSection down = x;
  const float nominal = dimension(up);
  dimension(up) = static_cast<float>(nominal * std::exp(kLogStep));
  dimension(down) = static_cast<float>(nominal * std::exp(-kLogStep));
  const double step = std::log(static_cast<double>(dimension(up)) / dimension(down));
  const field::FieldSolution u = solved(up, kDifferenceTolerance);
  const field::FieldSolution d = solved(down, kDifferenceTolerance);
  return {static_cast<float>(std::log(u.even.impedance / d.even.impedance) / step),
          static_cast<float>(std::log(u.odd.impedance / d.odd.impedance) / step)};
}

bool same(const CrossSection& a, const CrossSection& b) {
  return a.board.b == b.board.b && a.board.t == b.board.t && a.board.er == b.board.er &&
         a.w == b.w && a.s == b.s;
}

const field::ConductorLossFactor& loss_factor(const CrossSection& x) {
  thread_local std::optional<std::pair<CrossSection, field::ConductorLossFactor>> last;
  if (!last || !same(last->first, x)) {
    const field::ConductorLossFactorResult r = field::conductor_loss_factor(field_geometry(x));
    if (!r.ok()) throw FieldFailure(x, r.message, true);
    last.emplace(x, *r.factor);
  }
  return last->second;
}

float percent_error(float model, float field) {
  return 100.0F * (model / field - 1.0F);
}

}  // namespace

field::Geometry field_geometry(const CrossSection& x) {
  return {.b = x.board.b, .t = x.board.t, .w = x.w, .s = x.s, .er = x.board.er};
}

CouplerImpedances field_impedances(const CrossSection& x) {
  const field::FieldSolution f = solved(x, field::Options{}.tolerance);
  return {static_cast<float>(f.even.impedance),
          static_cast<float>(f.odd.impedance),
          static_cast<float>(f.zo),
          static_cast<float>(f.coupling_db),
          Capacitances{},
          false};
}

ModeAttenuation field_attenuation(const CrossSection& x, const Materials& materials, float f_mhz) {
  const Conductor& c = materials.conductor;
  const field::FieldLoss loss = field::loss_from_factor(
      loss_factor(x), x.board.er,
      {.frequency_mhz = std::max(0.0, static_cast<double>(f_mhz)),
       .resistivity = std::max(0.0, static_cast<double>(c.resistivity_ohm_inch)),
       .roughness = std::max(0.0, static_cast<double>(c.roughness_inch)),
       .loss_tangent = std::max(0.0, static_cast<double>(materials.loss_tangent))},
      0.0);
  return {static_cast<float>(loss.even.total), static_cast<float>(loss.odd.total)};
}

ImpedanceSensitivities field_sensitivities(const CrossSection& x) {
  const field::FieldSolution nominal = solved(x, field::Options{}.tolerance);
  const BothModes s = log_slopes(x, [](CrossSection& c) -> float& { return c.s; });
  const BothModes w = log_slopes(x, [](CrossSection& c) -> float& { return c.w; });
  const BothModes t = x.board.t == 0.0F
                          ? BothModes{0.0F, 0.0F}
                          : log_slopes(x, [](CrossSection& c) -> float& { return c.board.t; });
  // Er exactly, B from Euler's relation: the four length sensitivities sum
  // to zero.
  const auto mode = [](float ds, float dt, float dw) {
    return ModeSensitivities{-0.5F, -ds - dt - dw, ds, dt, dw};
  };
  return {static_cast<float>(nominal.even.impedance), static_cast<float>(nominal.odd.impedance),
          mode(s.even, t.even, w.even), mode(s.odd, t.odd, w.odd)};
}

FieldComparison compare_with_field(const CrossSection& x, float model_zoe, float model_zoo) {
  const CouplerImpedances f = field_impedances(x);
  return {f.zoe,
          f.zoo,
          f.zo,
          f.coupling_db,
          percent_error(model_zoe, f.zoe),
          percent_error(model_zoo, f.zoo)};
}

LossComparison compare_loss_with_field(const CrossSection& x, const Materials& materials,
                                       float f_mhz, const ModeAttenuation& model) {
  const ModeAttenuation f = field_attenuation(x, materials, f_mhz);
  return {f.even_db_per_inch, f.odd_db_per_inch,
          percent_error(model.even_db_per_inch, f.even_db_per_inch),
          percent_error(model.odd_db_per_inch, f.odd_db_per_inch)};
}

}  // namespace ketrovane
