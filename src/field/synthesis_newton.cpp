#include "field/synthesis_newton.hpp"

#include <algorithm>
#include <cmath>

#include "field/domain.hpp"

namespace ketrovane::field {
namespace {

// Newton steps on (ln w, v); the first Jacobian by differences, then
// Broyden's update from each step taken.
constexpr int kMaxSteps = 30;
constexpr double kDifferenceStep = 2e-3;  // in ln w and v
constexpr double kLeastDimension = 1e-6;  // relative to b: the solver's domain
constexpr double kCloseEnough = 5.0;      // tolerances of residual before the fine solutions
constexpr double kSolutionMargin = 0.9;   // of the tolerance, beside the centred pair
// Steps pressed against the edge of the domain before the design is taken
// to lie beyond it (beside the centred pair).
constexpr int kStepsAtTheEdge = 4;
// Widest strips one above the other that the solver takes, in units of b.
constexpr double kWidestStacked = 100.0;

double worst_of(const Residual& r) {
  return std::max(std::abs(std::expm1(r.even)), std::abs(std::expm1(r.odd)));
}

std::string design_of(const SynthesisResult& r, Arrangement arrangement) {
  if (arrangement != Arrangement::broadside)
    return "w = " + format_number(r.w) + ", s = " + format_number(r.s);
  return "w = " + format_number(r.w) + ", sv = " + format_number(r.sv) +
         ", wo = " + format_number(r.wo);
}

}  // namespace

namespace {

Geometry unstacked_geometry(const SynthesisGoal& g, Point p, bool solves_offset,
                            double offset_unit) {
  const double w = std::exp(p.ln_w);
  switch (g.arrangement) {
    case Arrangement::edge:
      return {g.b, g.t, w, std::exp(p.v), g.er};
    case Arrangement::edge_offset:
      return {g.b, g.t, w, std::exp(p.v), g.er, Arrangement::edge_offset, g.h};
    case Arrangement::broadside:
      break;
  }
  if (solves_offset) {
    return {g.b, g.t, w, 0.0, g.er, Arrangement::broadside, 0.0, g.sv, p.v * offset_unit};
  }
  return {g.b, g.t, w, 0.0, g.er, Arrangement::broadside, 0.0, std::exp(p.v), g.wo};
}

}  // namespace

Geometry DesignSpace::geometry(Point p) const {
  Geometry g = unstacked_geometry(goal, p, solves_offset(), offset_unit);
  g.stack = goal.stack;
  return g;
}

bool DesignSpace::at_boundary(Point p) const {
  return p.ln_w <= least_ln_w || p.ln_w >= most_ln_w || p.v <= least_v || p.v >= most_v;
}

DesignSpace space_of(const SynthesisGoal& goal, double offset_unit) {
  DesignSpace space{goal, offset_unit};
  const double least = std::log(kLeastDimension * goal.b);
  space.least_ln_w = least;
  space.least_v = least;
  if (goal.arrangement != Arrangement::broadside) return space;
  space.most_ln_w = std::log(kWidestStacked * goal.b);
  if (space.solves_offset()) {
    space.least_v = 0.0;
  } else {
    // The outer gaps (b - sv - 2t)/2 stay at 1e-6 b or more.
    space.most_v = std::log(goal.b - 2.0 * goal.t - 2.0 * kLeastDimension * goal.b);
  }
  return space;
}

std::optional<Residual> FieldNewton::residual_at(const Geometry& g) {
  ++result_.solves;
  const FieldResult f = solve(g, options_);
  if (!f.ok()) {
    result_.message = f.message;
    return std::nullopt;
  }
  const double zoe = f.solution->even.impedance;
  const double zoo = f.solution->odd.impedance;
  return Residual{std::log(zoe / goal_.zoe), std::log(zoo / goal_.zoo), zoe, zoo};
}

void FieldNewton::record_design(const Geometry& g, const Residual& r) {
  result_.w = g.w;
  result_.s = g.s;
  result_.sv = g.sv;
  result_.wo = g.wo;
  result_.zoe = r.zoe;
  result_.zoo = r.zoo;
  result_.worst_error = worst_of(r);
}

SynthesisResult FieldNewton::fail(SynthesisFailure failure, std::string message) {
  result_.converged = false;
  result_.failure = failure;
  result_.message = std::move(message);
  return result_;
}

bool FieldNewton::difference_jacobian(Point p, const Residual& at) {
  const std::optional<Residual> wider = residual({p.ln_w + kDifferenceStep, p.v});
  const std::optional<Residual> apart = residual({p.ln_w, p.v + kDifferenceStep});
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
  double dv = -(-j[1][0] * r.even + j[0][0] * r.odd) / det;
  const double largest = std::max(std::abs(dw), std::abs(dv));
  if (largest > std::log(2.0)) {
    dw *= std::log(2.0) / largest;
    dv *= std::log(2.0) / largest;
  }
  return Point{std::clamp(p.ln_w + dw, space_.least_ln_w, space_.most_ln_w),
               std::clamp(p.v + dv, space_.least_v, space_.most_v)};
}

// Broyden's update from the step actually taken.
void FieldNewton::broyden_update(Point from, Point to, const Residual& before,
                                 const Residual& after) {
  const double step_w = to.ln_w - from.ln_w;
  const double step_v = to.v - from.v;
  const double norm = step_w * step_w + step_v * step_v;
  if (!(norm > 0.0)) return;
  Jacobian& j = jacobian_;
  const double ye = (after.even - before.even) - (j[0][0] * step_w + j[0][1] * step_v);
  const double yo = (after.odd - before.odd) - (j[1][0] * step_w + j[1][1] * step_v);
  j[0][0] += ye * step_w / norm;
  j[0][1] += ye * step_v / norm;
  j[1][0] += yo * step_w / norm;
  j[1][1] += yo * step_v / norm;
}

void FieldNewton::record(Point p, const Residual& r) {
  record_design(space_.geometry(p), r);
}

// An iteration that ends against the edge of the domain wants a design the
// solver cannot represent; one that ends inside it did not converge.
// The centred pair accepts a residual below the tolerance; the others leave
// room for the error of the fine field solution itself (a tenth of it).
double FieldNewton::accepted() const {
  return goal_.arrangement == Arrangement::edge ? tolerance_ : tolerance_ * kSolutionMargin;
}

SynthesisResult FieldNewton::gave_up(Point last) {
  const bool outside =
      goal_.arrangement != Arrangement::edge && space_.at_boundary(last) && result_.solves > 0;
  result_.failure = outside ? SynthesisFailure::not_representable : SynthesisFailure::not_converged;
  if (outside) {
    result_.message =
        "the targets need a design outside the solver's domain; the iteration "
        "ended at its edge with " +
        design_of(result_, goal_.arrangement);
  } else if (result_.message.empty()) {
    result_.message = "the field solution did not meet both targets within " +
                      std::to_string(kMaxSteps) + " Newton steps";
  }
  return result_;
}

SynthesisResult FieldNewton::run(Point start) {
  Point p = start;
  std::optional<Residual> r = residual(p);
  if (!r || !difference_jacobian(p, *r)) return gave_up(p);
  int steps_at_the_edge = 0;
  for (int step = 0; step < kMaxSteps; ++step) {
    record(p, *r);
    if (!fine() && result_.worst_error < kCloseEnough * tolerance_) {
      options_.tolerance = tolerance_ / 10.0;
      r = residual(p);
      if (!r) return gave_up(p);
      continue;
    }
    if (fine() && result_.worst_error < accepted()) {
      result_.converged = true;
      result_.message.clear();
      return result_;
    }
    const std::optional<Point> next = newton_step(p, *r);
    if (!next) break;
    steps_at_the_edge = space_.at_boundary(*next) ? steps_at_the_edge + 1 : 0;
    if (goal_.arrangement != Arrangement::edge && steps_at_the_edge > kStepsAtTheEdge) break;
    const std::optional<Residual> there = residual(*next);
    if (!there) return gave_up(p);
    broyden_update(p, *next, *r, *there);
    p = *next;
    r = there;
  }
  return gave_up(p);
}

}  // namespace ketrovane::field
