// The synthesis inverts the zero-thickness relations for a start, then
// alternates a step-and-bisect search on S, which matches Zoe - Zoo, with a
// multiplicative correction of W, which matches sqrt(Zoe*Zoo).  Where that
// search cannot close, or stops at a floor on its way, a safeguarded
// bracketing solve on the same model takes over.
//
// Sources of the start:
//   [1] S. B. Cohn, "Shielded coupled-strip transmission line", IRE Trans.
//       MTT-3, pp. 29-38, Oct. 1955: the zero-thickness relations
//       Zoe sqrt(er) = (eta/4) K(ke')/K(ke), ke = tanh(a) tanh(c), and Zoo
//       likewise with ko = tanh(a)/tanh(c), a = pi w/2b, c = pi (w + s)/2b.
//   [2] W. Hilberg, "From approximations to exact relations for
//       characteristic impedances", IEEE Trans. MTT-17, pp. 259-265, May
//       1969: K(k)/K(k') in elementary functions.
#include "synthesis/width_spacing_synthesis.hpp"

#include <algorithm>
#include <cmath>
#include <optional>

#include "common/constants.hpp"
#include "model/mode_impedances.hpp"
#include "synthesis/safeguarded_solve.hpp"

namespace ketrovane {

namespace {

constexpr float kEta = kFreeSpaceImpedance;

// The search starts no narrower and no closer than this, inch: a clamp
// that keeps the first steps of the search away from the floors.
constexpr float kStartFloor = 0.0005F;
// The spacing tolerance starts coarse, since early passes only need to
// steer the width, and tightens by one step per width correction down to
// the final 0.05 % after eight corrections.
constexpr float kFirstTolerance = 0.1005F;
constexpr float kToleranceStep = 0.0125F;
constexpr int kLastTightening = 8;
// Fraction of S per step of a fresh spacing search.
constexpr float kRetreat = 0.06F;

// Modulus k with K(k')/K(k) = x, exact for Hilberg's logarithmic forms of
// that ratio [2], which the zero-thickness model uses: for x > 1,
// x = (1/pi) ln(2 (1 + sqrt(k'))/(1 - sqrt(k'))); otherwise
// 1/x = (1/pi) ln(2 (1 + sqrt(k))/(1 - sqrt(k))).
float modulus(float x) {
  if (x > 1.0F) {
    const float p = std::exp(kPi * x);
    const float u = (p - 2.0F) / (p + 2.0F);
    const float u2 = u * u;
    return std::sqrt(1.0F - u2 * u2);
  }
  const float p = std::exp(kPi / x);
  const float u = (p - 2.0F) / (p + 2.0F);
  return u * u;
}

// (b/pi)*ln((1 + r)/(1 - r)), the inverse of tanh(pi*x/(2*b)) = r.  With
// r = sqrt(ke ko) = tanh(a) it gives w; with
// r = ((1 - ko)/(1 - ke)) sqrt(ke/ko) = tanh(c - a) it gives s [1].
float inverse_tanh_length(float b, float r) {
  return (b / kPi) * std::log((1.0F + r) / (1.0F - r));
}

using Ending = std::optional<SynthesisOutcome>;

class Search {
 public:
  explicit Search(const SynthesisTarget& x)
      : x_(x), dz_(x.zoe - x.zoo), zod_(std::sqrt(x.zoe * x.zoo)) {}

  WidthSpacing run(const ClosedFormStart& start) {
    w_ = std::max(start.w, kStartFloor);
    s_ = std::max(start.s, kStartFloor);
    if (!std::isfinite(w_) || !std::isfinite(s_)) {
      return finish(SynthesisOutcome::not_representable);
    }
    ds_ = 2.0F * s_;
    for (;;) {
      if (const Ending end = search_spacing()) return finish(*end);
      if (const Ending end = correct_width()) return finish(*end);
    }
  }

 private:
  // One analysis of the current geometry; false once the bound is reached.
  bool analyse() {
    if (evaluations_ == kMaxSearchEvaluations) return false;
    ++evaluations_;
    const ModeImpedances m = mode_impedances({.board = x_.board, .w = w_, .s = s_});
    zoea_ = m.zoe;
    zooa_ = m.zoo;
    return true;
  }

  // Step-and-bisect on S: the step keeps its size until the error changes
  // sign, then the search returns to the point before and halves it.
  Ending search_spacing() {
    for (;;) {
      if (!analyse()) return SynthesisOutcome::not_representable;
      float e = (dz_ - (zoea_ - zooa_)) / dz_;  // > 0: too loosely coupled
      if (std::fabs(e) < tol_) {
        e_ = e;
        return std::nullopt;
      }
      if (e1_ == 0.0F && e > 0.0F) ds_ = -(kRetreat * s_);
      if (e1_ / e < 0.0F) {
        s_ = s_ - ds_;
        e = e1_;
        ds_ = ds_ / 2.0F;
      }
      s_ = s_ + ds_;
      if (s_ < kSpacingFloor) return SynthesisOutcome::spacing_floor;
      e1_ = e;
    }
  }

  // W scaled by the ratio of the analysed to the target mean, at most by a
  // factor 1.5 up or 2 down per correction.
  Ending correct_width() {
    const float zo = std::sqrt(zoea_ * zooa_);
    const float zw = (zod_ - zo) / zod_;
    if (meets_targets(e_, zw)) return SynthesisOutcome::converged_by_search;
    ++corrections_;
    const float g = std::clamp(1.0F - zw, 0.5F, 1.5F);
    w_ = w_ * g;
    if (w_ < kWidthFloor) return SynthesisOutcome::width_floor;
    // A correction that leaves W unchanged: the mean matches, but the
    // spacing error may still be as large as the coarse tolerance.  The
    // tolerance drops to its final value for good and the spacing search
    // starts afresh; only the convergence test ends the search converged.
    if (w_ == previous_w_) corrections_ = kLastTightening;
    const int j = std::min(corrections_, kLastTightening);
    tol_ = kFirstTolerance - kToleranceStep * static_cast<float>(j);
    previous_w_ = w_;
    ds_ = kRetreat * s_;
    e1_ = 0.0F;  // marks a fresh start of the spacing search
    return std::nullopt;
  }

  [[nodiscard]] WidthSpacing finish(SynthesisOutcome outcome) const {
    return {w_, s_, outcome, evaluations_};
  }

  SynthesisTarget x_;
  float dz_, zod_;
  float w_ = 0, s_ = 0, ds_ = 0;
  float zoea_ = 0, zooa_ = 0;
  float e_ = 0, e1_ = 0;
  float tol_ = kFirstTolerance;
  float previous_w_ = 0;
  int corrections_ = 0;
  int evaluations_ = 0;
};

// Targets a coupler can have: finite, Zoe > Zoo > 0.
bool usable(const SynthesisTarget& x) {
  return std::isfinite(x.zoe) && std::isfinite(x.zoo) && x.zoo > 0.0F && x.zoe > x.zoo;
}

bool at_a_floor(SynthesisOutcome outcome) {
  return outcome == SynthesisOutcome::spacing_floor || outcome == SynthesisOutcome::width_floor;
}

}  // namespace

ClosedFormStart closed_form_start(float b, float er, float zoe, float zoo) {
  ClosedFormStart start{};
  const float sqrt_er = std::sqrt(er);
  start.xe = zoe * sqrt_er * 4.0F / kEta;
  start.xo = zoo * sqrt_er * 4.0F / kEta;
  start.ke = modulus(start.xe);
  start.ko = modulus(start.xo);
  const float r = std::sqrt(start.ke * start.ko);
  start.w = inverse_tanh_length(b, r);
  const float q = ((1.0F - start.ko) / (1.0F - start.ke)) * std::sqrt(start.ke / start.ko);
  start.s = inverse_tanh_length(b, q);
  return start;
}

WidthSpacing synthesise_width_and_spacing(const SynthesisTarget& target) {
  if (!usable(target)) return {0.0F, 0.0F, SynthesisOutcome::unusable_targets, 0};
  const WidthSpacing searched = Search(target).run(
      closed_form_start(target.board.b, target.board.er, target.zoe, target.zoo));
  if (searched.outcome == SynthesisOutcome::converged_by_search) return searched;
  // The search cannot close, or stopped at a floor: its stepping can drive S
  // or W below a floor on the way to a design that lies above both.  The
  // bracketing solve takes over.  A floor the search reached stands, with its
  // own message, unless the solve finds a design or shows that one lies above
  // both floors.
  const SafeguardedResult solved = safeguarded_solve(target);
  const bool floor_refuted = solved.result.converged() || solved.bracketed;
  WidthSpacing result = at_a_floor(searched.outcome) && !floor_refuted ? searched : solved.result;
  result.evaluations = searched.evaluations + solved.result.evaluations;
  return result;
}

float target_error(const SynthesisTarget& target, float w, float s) {
  const ModeImpedances m = mode_impedances({.board = target.board, .w = w, .s = s});
  return std::fmax(std::fabs((m.zoe - target.zoe) / target.zoe),
                   std::fabs((m.zoo - target.zoo) / target.zoo));
}

namespace {

// A design within a few hundredths of a per cent is finished by Newton
// steps; where they stop further off, the model jumps between neighbouring
// floats nearby, and the safeguarded solve's brackets find the nearest
// design it has.
constexpr float kFinishedError = 0.00001F;
constexpr int kMaxNewtonSteps = 8;
constexpr int kMaxStepHalvings = 6;
constexpr double kLogDifference = 0.001;  // of W and S for the Jacobian

// Newton steps on ln W and ln S toward the targets' ln Zoe and ln Zoo, from
// the design the search found: the Jacobian by forward differences, each
// step halved until it lowers the larger error.  Ends where no step lowers
// it, at the resolution of the single-precision model.
class NewtonFinish {
 public:
  explicit NewtonFinish(const SynthesisTarget& x) : x_(x) {}

  WidthSpacing run(const WidthSpacing& start) {
    Point p = at(start.w, start.s);
    for (int k = 0; k < kMaxNewtonSteps; ++k) {
      const std::optional<Point> next = step_from(p);
      if (!next) break;
      p = *next;
    }
    return {p.w, p.s, start.outcome, evaluations_};
  }

 private:
  struct Point {
    float w, s;
    double even, odd;  // ln(Z/Z target) of each mode
    [[nodiscard]] double error() const { return std::fmax(std::fabs(even), std::fabs(odd)); }
  };

  Point at(float w, float s) {
    ++evaluations_;
    const ModeImpedances m = mode_impedances({.board = x_.board, .w = w, .s = s});
    return {w, s, std::log(static_cast<double>(m.zoe) / x_.zoe),
            std::log(static_cast<double>(m.zoo) / x_.zoo)};
  }

  static float scaled(float length, double log_change) {
    return static_cast<float>(static_cast<double>(length) * std::exp(log_change));
  }

  std::optional<Point> step_from(const Point& p) {
    const Point dw = at(scaled(p.w, kLogDifference), p.s);
    const Point ds = at(p.w, scaled(p.s, kLogDifference));
    const double hw = std::log(static_cast<double>(dw.w) / p.w);
    const double hs = std::log(static_cast<double>(ds.s) / p.s);
    // The Jacobian [even_w even_s; odd_w odd_s] of the logarithms.
    const double even_w = (dw.even - p.even) / hw;
    const double even_s = (ds.even - p.even) / hs;
    const double odd_w = (dw.odd - p.odd) / hw;
    const double odd_s = (ds.odd - p.odd) / hs;
    const double det = even_w * odd_s - even_s * odd_w;
    if (!std::isfinite(det) || det == 0.0) return std::nullopt;
    const double du = -(odd_s * p.even - even_s * p.odd) / det;
    const double dv = -(even_w * p.odd - odd_w * p.even) / det;
    double t = 1.0;
    for (int k = 0; k < kMaxStepHalvings; ++k, t *= 0.5) {
      const float w = scaled(p.w, t * du);
      const float s = scaled(p.s, t * dv);
      if (!(w >= kWidthFloor && s >= kSpacingFloor)) continue;
      const Point q = at(w, s);
      if (q.error() < p.error()) return q;
    }
    return std::nullopt;
  }

  SynthesisTarget x_;
  int evaluations_ = 0;
};

}  // namespace

WidthSpacing synthesise_to_resolution(const SynthesisTarget& target) {
  const WidthSpacing searched = synthesise_width_and_spacing(target);
  if (searched.outcome != SynthesisOutcome::converged_by_search) return searched;
  WidthSpacing result = NewtonFinish(target).run(searched);
  result.evaluations += searched.evaluations;
  const float finished = target_error(target, result.w, result.s);
  if (finished < kFinishedError) return result;
  const SafeguardedResult solved = safeguarded_solve(target);
  if (solved.result.converged() &&
      target_error(target, solved.result.w, solved.result.s) < finished) {
    const int evaluations = result.evaluations;
    result = solved.result;
    result.evaluations += evaluations;
  } else {
    result.evaluations += solved.result.evaluations;
  }
  return result;
}

}  // namespace ketrovane
