#include "batch/solver.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "batch/input_error.hpp"
#include "batch/number_format.hpp"
#include "field/field_loss.hpp"
#include "field/field_solver.hpp"

namespace ketrovane::batch {

namespace {

class ClosedFormModel final : public CrossSectionSolver {
 public:
  [[nodiscard]] std::string_view name() const override { return "model"; }
  [[nodiscard]] DimensionAnalysis impedances(const CrossSection& x) const override {
    return analyse_dimensions(x);
  }
  [[nodiscard]] ModeAttenuation attenuation(const CrossSection& x, const Conductor& conductor,
                                            float loss_tangent, float f_mhz) const override {
    return mode_attenuation(x, conductor, loss_tangent, f_mhz);
  }
  [[nodiscard]] ImpedanceSensitivities sensitivities(const CrossSection& x) const override {
    return impedance_sensitivities(x);
  }
};

// The field solver's view of a cross-section.
field::Geometry geometry_of(const CrossSection& x) {
  return {x.board.b, x.board.t, x.w, x.s, x.board.er};
}

std::string where(const CrossSection& x) {
  return "W " + shortest(x.w) + " in, S " + shortest(x.s) + " in, T " + shortest(x.board.t) +
         " in, B " + shortest(x.board.b) + " in, Er " + shortest(x.board.er);
}

field::FieldSolution solved(const CrossSection& x, double tolerance) {
  const field::FieldResult f = field::solve(geometry_of(x), {.tolerance = tolerance});
  if (!f.ok()) throw SolverError("no field solution at " + where(x) + ": " + f.message);
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

class FieldSolution final : public CrossSectionSolver {
 public:
  [[nodiscard]] std::string_view name() const override { return "field"; }

  [[nodiscard]] DimensionAnalysis impedances(const CrossSection& x) const override {
    const field::FieldSolution f = solved(x, field::Options{}.tolerance);
    return {static_cast<float>(f.even.impedance), static_cast<float>(f.odd.impedance),
            static_cast<float>(f.zo), static_cast<float>(f.coupling_db), Capacitances{}};
  }

  // The field is solved once per cross-section; the frequency, resistivity
  // and roughness only scale its conductor-loss factor.
  [[nodiscard]] ModeAttenuation attenuation(const CrossSection& x, const Conductor& conductor,
                                            float loss_tangent, float f_mhz) const override {
    thread_local std::optional<std::pair<CrossSection, field::ConductorLossFactor>> last;
    const field::Geometry g = geometry_of(x);
    if (!last || !same(last->first, x)) {
      const field::ConductorLossFactorResult r = field::conductor_loss_factor(g);
      if (!r.ok()) throw SolverError("no field loss at " + where(x) + ": " + r.message);
      last.emplace(x, *r.factor);
    }
    const field::FieldLoss loss = field::loss_from_factor(
        last->second, g.er,
        {.frequency_mhz = std::max(0.0, static_cast<double>(f_mhz)),
         .resistivity = std::max(0.0, static_cast<double>(conductor.resistivity_ohm_inch)),
         .roughness = std::max(0.0, static_cast<double>(conductor.roughness_inch)),
         .loss_tangent = std::max(0.0, static_cast<double>(loss_tangent))},
        0.0);
    return {static_cast<float>(loss.even.total), static_cast<float>(loss.odd.total)};
  }

  [[nodiscard]] ImpedanceSensitivities sensitivities(const CrossSection& x) const override {
    const field::FieldSolution nominal = solved(x, field::Options{}.tolerance);
    const BothModes s = log_slopes(x, [](CrossSection& c) -> float& { return c.s; });
    const BothModes w = log_slopes(x, [](CrossSection& c) -> float& { return c.w; });
    const BothModes t = x.board.t == 0.0F
                            ? BothModes{0.0F, 0.0F}
                            : log_slopes(x, [](CrossSection& c) -> float& { return c.board.t; });
    const auto mode = [](float ds, float dt, float dw) {
      return ModeSensitivities{-0.5F, -ds - dt - dw, ds, dt, dw};
    };
    return {static_cast<float>(nominal.even.impedance), static_cast<float>(nominal.odd.impedance),
            mode(s.even, t.even, w.even), mode(s.odd, t.odd, w.odd)};
  }

 private:
  static bool same(const CrossSection& a, const CrossSection& b) {
    return a.board.b == b.board.b && a.board.t == b.board.t && a.w == b.w && a.s == b.s &&
           a.board.er == b.board.er;
  }
};

}  // namespace

const CrossSectionSolver& field_solution() {
  static const FieldSolution solver;
  return solver;
}

SolverChoice solver_choice(std::string_view name) {
  if (name == "model") return SolverChoice::model;
  if (name == "field") return SolverChoice::field;
  if (name == "both") return SolverChoice::both;
  reject("--solver", name, "expected model, field or both");
}

const CrossSectionSolver& solver_for(SolverChoice choice) {
  return choice == SolverChoice::field ? field_solution() : closed_form_model();
}

const CrossSectionSolver& closed_form_model() {
  static const ClosedFormModel model;
  return model;
}

const CrossSectionSolver& solver_named(std::string_view name) {
  return solver_for(solver_choice(name));
}

}  // namespace ketrovane::batch
