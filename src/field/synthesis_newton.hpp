// Newton's method on the field solver's mode impedances for the two
// unknowns of a synthesis (field_synthesis.hpp): the first Jacobian from
// differences, later ones from Broyden's update along each step taken; the
// field solved to the target tolerance until the residual is within a few
// tolerances, then to a tenth of it, so that meeting the targets is verified
// beyond the field's own error.
#pragma once

#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "field/field_solver.hpp"
#include "field/field_synthesis.hpp"

namespace ketrovane::field {

// Newton's coordinates: ln w and the second unknown, which is ln s, ln sv,
// or wo in units of a fixed width (wo may be zero).
struct Point {
  double ln_w;
  double v;
};

struct Residual {
  double even;  // ln(Zoe / target)
  double odd;   // ln(Zoo / target)
  double zoe;
  double zoo;
};

using Jacobian = std::array<std::array<double, 2>, 2>;  // d(even, odd)/d(ln w, v)

// How Newton's coordinates map onto a cross-section, and the box they are
// kept in (the solver's domain).
struct DesignSpace {
  SynthesisGoal goal;
  double offset_unit = 1.0;  // wo = v offset_unit when solving for wo
  double least_ln_w = 0.0;
  double most_ln_w = std::numeric_limits<double>::infinity();
  double least_v = 0.0;
  double most_v = std::numeric_limits<double>::infinity();

  [[nodiscard]] bool solves_offset() const {
    return goal.unknowns == SynthesisUnknowns::width_and_offset;
  }
  [[nodiscard]] Geometry geometry(Point p) const;
  [[nodiscard]] bool at_boundary(Point p) const;
};

// The space of the goal's unknowns; offset_unit only matters for wo.
DesignSpace space_of(const SynthesisGoal& goal, double offset_unit);

class FieldNewton {
 public:
  FieldNewton(const DesignSpace& space, double tolerance)
      : space_(space), goal_(space.goal), tolerance_(tolerance), options_{.tolerance = tolerance} {}

  SynthesisResult run(Point start);

  // Both mode impedances at a cross-section, at the current tolerance,
  // counted among the solves; none (and the solver's message kept) when the
  // solver fails.
  std::optional<Residual> residual_at(const Geometry& g);
  // Changes the unit of the offset coordinate (before run()).
  void set_offset_unit(double unit) { space_.offset_unit = unit; }
  // Keeps a cross-section and its residual as the last iterate.
  void record_design(const Geometry& g, const Residual& r);
  // Ends the synthesis without a design.
  SynthesisResult fail(SynthesisFailure failure, std::string message);

 private:
  std::optional<Residual> residual(Point p) { return residual_at(space_.geometry(p)); }
  bool difference_jacobian(Point p, const Residual& at);
  [[nodiscard]] std::optional<Point> newton_step(Point p, const Residual& r) const;
  void broyden_update(Point from, Point to, const Residual& before, const Residual& after);
  void record(Point p, const Residual& r);
  SynthesisResult gave_up(Point last);

  [[nodiscard]] bool fine() const { return options_.tolerance < tolerance_; }
  [[nodiscard]] double accepted() const;

  DesignSpace space_;
  SynthesisGoal goal_;
  double tolerance_;
  Options options_;
  Jacobian jacobian_{};
  SynthesisResult result_;
};

}  // namespace ketrovane::field
