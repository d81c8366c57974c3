#include "batch/solver.hpp"

#include <array>

#include "batch/input_error.hpp"

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

}  // namespace

const CrossSectionSolver& closed_form_model() {
  static const ClosedFormModel model;
  return model;
}

const CrossSectionSolver& solver_named(std::string_view name) {
  const std::array solvers = {&closed_form_model()};
  std::string known;
  for (const CrossSectionSolver* solver : solvers) {
    if (solver->name() == name) return *solver;
    known += known.empty() ? "" : ", ";
    known += solver->name();
  }
  reject("--solver", name, "unknown solver (expected " + known + ")");
}

}  // namespace ketrovane::batch
