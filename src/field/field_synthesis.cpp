#include "field/field_synthesis.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "field/domain.hpp"
#include "field/field_solver.hpp"

namespace ketrovane::field {
namespace {

// Newton steps on (ln w, ln s); the first Jacobian by differences, then
// Broyden's update from each step taken.
constexpr int kMaxSteps = 30;
constexpr double kDifferenceStep = 2e-3;  // relative, in w and s
constexpr double kLeastDimension = 1e-6;  // relative to b: the solver's domain
constexpr double kCloseEnough = 5.0;      // tolerances of residual before the fine solutions

struct Point {
  double ln_w;
  double ln_s;
};

struct Residual {
  double even;  // ln(Zoe / target)
  double odd;   // ln(Zoo / target)
  double zoe;
  double zoo;
};

using Jacobian = std::array<std::array<double, 2>, 2>;  // d(even, odd)/d(ln w, ln s)

std::optional<std::string> goal_error(const SynthesisGoal& goal) {
  if (!positive_finite(goal.w0) || !positive_finite(goal.s0))
    return "the start w = " + format_number(goal.w0) + ", s = " + format_number(goal.s0) +
           " is not a pair of positive finite lengths";
  if (!positive_finite(goal.zoe) || !positive_finite(goal.zoo))
    return "the targets Zoe = " + format_number(goal.zoe) + ", Zoo = " + format_number(goal.zoo) +
           " are not positive finite impedances";
  return std::nullopt;
}

class FieldNewton {
 public:
  // The first steps solve the field to the target tolerance itself; once the
  // residual is within a few tolerances, to a tenth of it, so that meeting
  // the targets is verified beyond the field's own error.
  FieldNewton(const SynthesisGoal& goal, double tolerance)
      : goal_(goal),
        tolerance_(tolerance),
        least_(std::log(kLeastDimension * goal.b)),
        options_{.tolerance = tolerance} {}

  SynthesisResult run();

 private:
  std::optional<Residual> residual(Point p);
  bool difference_jacobian(Point p, const Residual& at);
  [[nodiscard]] std::optional<Point> newton_step(Point p, const Residual& r) const;
  void broyden_update(Point from, Point to, const Residual& before, const Residual& after);
  void record(Point p, const Residual& r);
  SynthesisResult gave_up();

  [[nodiscard]] bool fine() const { return options_.tolerance < tolerance_; }

  SynthesisGoal goal_;
  double tolerance_;
  double least_;  // ln of the least w and s
  Options options_;
  Jacobian jacobian_{};
  SynthesisResult result_;
};

double worst_of(const Residual& r) {
  return std::max(std::abs(std::expm1(r.even)), std::abs(std::expm1(r.odd)));
}

std::optional<Residual> FieldNewton::residual(Point p) {
  ++result_.solves;
  const FieldResult f =
      solve({goal_.b, goal_.t, std::exp(p.ln_w), std::exp(p.ln_s), goal_.er}, options_);
  if (!f.ok()) {
    result_.message = f.message;
    return std::nullopt;
  }
  const double zoe = f.solution->even.impedance;
  const double zoo = f.solution->odd.impedance;
  return Residual{std::log(zoe / goal_.zoe), std::log(zoo / goal_.zoo), zoe, zoo};
}

bool FieldNewton::difference_jacobian(Point p, const Residual& at) {
  const std::optional<Residual> wider = residual({p.ln_w + kDifferenceStep, p.ln_s});
  const std::optional<Residual> apart = residual({p.ln_w, p.ln_s + kDifferenceStep});
  if (!wider || !apart) return false;
  jacobian_ = {
      {{(wider->even - at.even) / kDifferenceStep, (apart->even - at.even) / kDifferenceStep},
       {(wider->odd - at.odd) / kDifferenceStep, (apart->odd - at.odd) / kDifferenceStep}}};
  return true;
}

// The Newton step, limited to a factor of two in either dimension and kept
// within the solver's domain; none when the Jacobian is singular.
std::optional<Point> FieldNewton::newton_step(Point p, const Residual& r) const {
  const Jacobian& j = jacobian_;
  const double det = j[0][0] * j[1][1] - j[0][1] * j[1][0];
  if (!(std::abs(det) > 0.0) || !std::isfinite(det)) return std::nullopt;
  double dw = -(j[1][1] * r.even - j[0][1] * r.odd) / det;
  double ds = -(-j[1][0] * r.even + j[0][0] * r.odd) / det;
  const double largest = std::max(std::abs(dw), std::abs(ds));
  if (largest > std::log(2.0)) {
    dw *= std::log(2.0) / largest;
    ds *= std::log(2.0) / largest;
  }
  return Point{std::max(p.ln_w + dw, least_), std::max(p.ln_s + ds, least_)};
}

// Broyden's update from the step actually taken.
void FieldNewton::broyden_update(Point from, Point to, const Residual& before,
                                 const Residual& after) {
  const double step_w = to.ln_w - from.ln_w;
  const double step_s = to.ln_s - from.ln_s;
  const double norm = step_w * step_w + step_s * step_s;
  if (!(norm > 0.0)) return;
  Jacobian& j = jacobian_;
  const double ye = (after.even - before.even) - (j[0][0] * step_w + j[0][1] * step_s);
  const double yo = (after.odd - before.odd) - (j[1][0] * step_w + j[1][1] * step_s);
  j[0][0] += ye * step_w / norm;
  j[0][1] += ye * step_s / norm;
  j[1][0] += yo * step_w / norm;
  j[1][1] += yo * step_s / norm;
}

void FieldNewton::record(Point p, const Residual& r) {
  result_.w = std::exp(p.ln_w);
  result_.s = std::exp(p.ln_s);
  result_.zoe = r.zoe;
  result_.zoo = r.zoo;
  result_.worst_error = worst_of(r);
}

SynthesisResult FieldNewton::gave_up() {
  if (result_.message.empty()) {
    result_.message = "the field solution did not meet both targets within " +
                      std::to_string(kMaxSteps) + " Newton steps";
  }
  return result_;
}

SynthesisResult FieldNewton::run() {
  Point p{std::log(goal_.w0), std::log(goal_.s0)};
  std::optional<Residual> r = residual(p);
  if (!r || !difference_jacobian(p, *r)) return result_;
  for (int step = 0; step < kMaxSteps; ++step) {
    record(p, *r);
    if (!fine() && result_.worst_error < kCloseEnough * tolerance_) {
      options_.tolerance = tolerance_ / 10.0;
      r = residual(p);
      if (!r) return result_;
      continue;
    }
    if (fine() && result_.worst_error < tolerance_) {
      result_.converged = true;
      return result_;
    }
    const std::optional<Point> next = newton_step(p, *r);
    if (!next) break;
    const std::optional<Residual> there = residual(*next);
    if (!there) return result_;
    broyden_update(p, *next, *r, *there);
    p = *next;
    r = there;
  }
  return gave_up();
}

}  // namespace

SynthesisResult synthesise(const SynthesisGoal& goal, double tolerance) {
  if (auto error = goal_error(goal)) {
    SynthesisResult refused;
    refused.message = *error;
    return refused;
  }
  return FieldNewton(goal, tolerance).run();
}

}  // namespace ketrovane::field
