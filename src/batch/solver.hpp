// The per-row physics of the batch commands behind one seam: the mode
// impedances, the attenuation and the sensitivities of a cross-section.
// The closed-form model fills every column today; another solver can fill
// the same columns without the rows, writers or checks knowing.
#pragma once

#include <string_view>

#include "design/dimension_analysis.hpp"
#include "model/cross_section.hpp"
#include "model/loss.hpp"
#include "model/sensitivity.hpp"

namespace ketrovane::batch {

class CrossSectionSolver {
 public:
  CrossSectionSolver() = default;
  CrossSectionSolver(const CrossSectionSolver&) = delete;
  CrossSectionSolver& operator=(const CrossSectionSolver&) = delete;
  CrossSectionSolver(CrossSectionSolver&&) = delete;
  CrossSectionSolver& operator=(CrossSectionSolver&&) = delete;
  virtual ~CrossSectionSolver() = default;

  [[nodiscard]] virtual std::string_view name() const = 0;
  [[nodiscard]] virtual DimensionAnalysis impedances(const CrossSection& x) const = 0;
  [[nodiscard]] virtual ModeAttenuation attenuation(const CrossSection& x,
                                                    const Conductor& conductor, float loss_tangent,
                                                    float f_mhz) const = 0;
  [[nodiscard]] virtual ImpedanceSensitivities sensitivities(const CrossSection& x) const = 0;
};

// The closed-form single-precision model of the interactive program.
const CrossSectionSolver& closed_form_model();

// The solver a front end names ("model"), or an InputError for --solver.
const CrossSectionSolver& solver_named(std::string_view name);

}  // namespace ketrovane::batch
