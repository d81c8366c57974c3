#include "design/field_synthesis.hpp"

#include <array>
#include <cmath>
#include <optional>

#include "field/field_solver.hpp"

namespace ketrovane {

namespace {

// Newton steps on (ln W, ln S); the first Jacobian by differences, then
// Broyden's update from each step taken.
constexpr int kMaxSteps = 30;
constexpr double kDifferenceStep = 2e-3;  // relative, in W and S
constexpr double kLeastDimension = 1e-6;  // relative to b: the solver's domain
constexpr double kCloseEnough = 5.0;      // tolerances of residual before the fine solutions

struct Residual {
  double even;  // ln(Zoe / target)
  double odd;   // ln(Zoo / target)
  double zoe;
  double zoo;
};

using Jacobian = std::array<std::array<double, 2>, 2>;  // d(even, odd)/d(ln w, ln s)

class FieldNewton {
 public:
  // The first steps solve the field to the target tolerance itself; once
  // the residual is within a few tolerances, to a tenth of it, so that
  // meeting the targets is verified beyond the field's own error.
  FieldNewton(const SynthesisTarget& target, double tolerance)
      : target_(target), tolerance_(tolerance), options_{.tolerance = tolerance} {}

  FieldWidthSpacing run(const WidthSpacing& start);

 private:
  std::optional<Residual> residual(double ln_w, double ln_s) {
    ++result_.solves;
    const field::FieldResult f = field::solve(
        {target_.board.b, target_.board.t, std::exp(ln_w), std::exp(ln_s), target_.board.er},
        options_);
    if (!f.ok()) {
      result_.message = f.message;
      return std::nullopt;
    }
    const double zoe = f.solution->even.impedance;
    const double zoo = f.solution->odd.impedance;
    return Residual{std::log(zoe / target_.zoe), std::log(zoo / target_.zoo), zoe, zoo};
  }

  [[nodiscard]] double worst(const Residual& r) const {
    return std::max(std::abs(std::expm1(r.even)), std::abs(std::expm1(r.odd)));
  }
  [[nodiscard]] bool fine() const { return options_.tolerance < tolerance_; }

  bool difference_jacobian(double ln_w, double ln_s, const Residual& at);

  SynthesisTarget target_;
  double tolerance_;
  field::Options options_;
  Jacobian jacobian_{};
  FieldWidthSpacing result_;
};

bool FieldNewton::difference_jacobian(double ln_w, double ln_s, const Residual& at) {
  const std::optional<Residual> wider = residual(ln_w + kDifferenceStep, ln_s);
  const std::optional<Residual> apart = residual(ln_w, ln_s + kDifferenceStep);
  if (!wider || !apart) return false;
  jacobian_ = {
      {{(wider->even - at.even) / kDifferenceStep, (apart->even - at.even) / kDifferenceStep},
       {(wider->odd - at.odd) / kDifferenceStep, (apart->odd - at.odd) / kDifferenceStep}}};
  return true;
}

FieldWidthSpacing FieldNewton::run(const WidthSpacing& start) {
  result_.start = start;
  const double least = std::log(kLeastDimension * static_cast<double>(target_.board.b));
  double ln_w = std::log(static_cast<double>(start.w));
  double ln_s = std::log(static_cast<double>(start.s));
  std::optional<Residual> r = residual(ln_w, ln_s);
  if (!r || !difference_jacobian(ln_w, ln_s, *r)) return result_;
  for (int step = 0; step < kMaxSteps; ++step) {
    result_.w = std::exp(ln_w);
    result_.s = std::exp(ln_s);
    result_.zoe = r->zoe;
    result_.zoo = r->zoo;
    result_.worst_error = worst(*r);
    if (!fine() && result_.worst_error < kCloseEnough * tolerance_) {
      options_.tolerance = tolerance_ / 10.0;
      r = residual(ln_w, ln_s);
      if (!r) return result_;
      continue;
    }
    if (fine() && result_.worst_error < tolerance_) {
      result_.converged = true;
      return result_;
    }
    const Jacobian& j = jacobian_;
    const double det = j[0][0] * j[1][1] - j[0][1] * j[1][0];
    if (!(std::abs(det) > 0.0) || !std::isfinite(det)) break;
    // The Newton step, limited to a factor of two in either dimension.
    double dw = -(j[1][1] * r->even - j[0][1] * r->odd) / det;
    double ds = -(-j[1][0] * r->even + j[0][0] * r->odd) / det;
    const double largest = std::max(std::abs(dw), std::abs(ds));
    if (largest > std::log(2.0)) {
      dw *= std::log(2.0) / largest;
      ds *= std::log(2.0) / largest;
    }
    const double next_w = std::max(ln_w + dw, least);
    const double next_s = std::max(ln_s + ds, least);
    const std::optional<Residual> next = residual(next_w, next_s);
    if (!next) return result_;
    // Broyden's update from the step actually taken.
    const double step_w = next_w - ln_w;
    const double step_s = next_s - ln_s;
    const double norm = step_w * step_w + step_s * step_s;
    if (norm > 0.0) {
      const double ye = (next->even - r->even) - (j[0][0] * step_w + j[0][1] * step_s);
      const double yo = (next->odd - r->odd) - (j[1][0] * step_w + j[1][1] * step_s);
      jacobian_[0][0] += ye * step_w / norm;
      jacobian_[0][1] += ye * step_s / norm;
      jacobian_[1][0] += yo * step_w / norm;
      jacobian_[1][1] += yo * step_s / norm;
    }
    ln_w = next_w;
    ln_s = next_s;
    r = next;
  }
  if (result_.message.empty()) {
    result_.message = "the field solution did not meet both targets within " +
                      std::to_string(kMaxSteps) + " Newton steps";
  }
  return result_;
}

}  // namespace

FieldWidthSpacing synthesise_on_field(const SynthesisTarget& target, double tolerance) {
  const WidthSpacing start = synthesise_width_and_spacing(target);
  if (!start.converged()) {
    FieldWidthSpacing result;
    result.start = start;
    result.message = "the closed-form synthesis gives no start";
    return result;
  }
  return FieldNewton(target, tolerance).run(start);
}

}  // namespace ketrovane
