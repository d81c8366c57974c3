// The per-row physics of the batch commands behind one seam: the mode
// impedances, the attenuation and the sensitivities of a cross-section.
// The closed-form model fills every column today; another solver can fill
// the same columns without the rows, writers or checks knowing.
#pragma once

#include <cstdint>
#include <stdexcept>
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

// The two-dimensional field solution (boundary elements), each value
// verified to 0.01 %; loss by Wheeler's rule on the field solution,
// sensitivities by central differences of field solutions.  A cross-section
// it cannot solve throws SolverError.
const CrossSectionSolver& field_solution();

class SolverError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a command computes with: the model, the field solution in the same
// columns, or both (the model's columns and the field solution's beside
// them, with the model's error).
enum class SolverChoice : std::uint8_t { model, field, both };

// The choice a front end names ("model", "field", "both"), or an
// InputError for --solver.
SolverChoice solver_choice(std::string_view name);

// The solver of the usual columns: the model for both.
const CrossSectionSolver& solver_for(SolverChoice choice);

// The solver a front end names, for the usual columns.
const CrossSectionSolver& solver_named(std::string_view name);

}  // namespace ketrovane::batch
