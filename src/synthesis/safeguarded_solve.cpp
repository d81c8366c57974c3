// The safeguarded solve: two nested bracketing searches on the impedance
// model, which cannot circle the answer as the alternating search can for
// tightly coupled and for narrow high-impedance strips.
//
//   inner: for a spacing S, the width W(S) whose geometric-mean impedance
//          sqrt(Zoe*Zoo) is the target (it falls as W grows);
//   outer: the spacing whose Zoe - Zoo, with W(S), is the target difference
//          (it falls as S grows).
//
// Both bracket by doubling and then bisect on a logarithmic scale until the
// bracket's ends are neighbouring single-precision values.  Every loop is
// bounded, so the solve ends for any input.
#include <array>
#include <cmath>
#include <cstdint>

#include "model/mode_impedances.hpp"
#include "synthesis/safeguarded_solve.hpp"

namespace ketrovane {

namespace {

// Doublings from the floors reach past any length a float can hold.
constexpr int kMaxDoublings = 160;
// A bracket of positive floats narrows to neighbours in well under 64 halvings
// of its logarithm.
constexpr int kMaxBisections = 64;

// Geometric midpoint of a bracket of positive lengths, formed in double so
// that it can fall strictly between two floats one step apart.
float log_midpoint(float lo, float hi) {
  return static_cast<float>(std::sqrt(static_cast<double>(lo) * static_cast<double>(hi)));
}

// One analysed geometry.
struct Point {
  float w = 0;
  float s = 0;
  float difference = 0;  // Zoe - Zoo
  float mean = 0;        // sqrt(Zoe*Zoo)
};

// The width of a spacing, or why there is none.
struct Width {
  enum class Kind : std::uint8_t { found, below_floor, undefined } kind;
  Point at;
};

class SafeguardedSolve {
 public:
  explicit SafeguardedSolve(const SynthesisTarget& x)
      : board_(x.board), dz_(x.zoe - x.zoo), zod_(std::sqrt(x.zoe * x.zoo)) {}

  WidthSpacing run();
  [[nodiscard]] bool bracketed() const { return bracketed_; }

 private:
  Point analyse(float w, float s) {
    ++evaluations_;
    const ModeImpedances m = mode_impedances({.board = board_, .w = w, .s = s});
    return {w, s, m.zoe - m.zoo, std::sqrt(m.zoe * m.zoo)};
  }

  // True when even the floor width gives a mean below the target.
  bool width_below_floor(float s) { return !(analyse(kWidthFloor, s).mean >= zod_); }

  Width width_for_mean(float s);
  float width_floor_boundary(float above, float below);
  float least_spacing_above_width_floor();
  Width width_inside(float lo, float hi);
  WidthSpacing solve_spacing(const Point& start);

  [[nodiscard]] float difference_error(const Point& p) const { return (dz_ - p.difference) / dz_; }
  [[nodiscard]] float mean_error(const Point& p) const { return (zod_ - p.mean) / zod_; }
  [[nodiscard]] float worst_error(const Point& p) const {
    return std::fmax(std::fabs(difference_error(p)), std::fabs(mean_error(p)));
  }

  [[nodiscard]] WidthSpacing finish(SynthesisOutcome outcome, const Point& p) const {
    return {p.w, p.s, outcome, evaluations_};
  }

  Board board_;
  float dz_, zod_;
  int evaluations_ = 0;
  bool bracketed_ = false;
};

Width SafeguardedSolve::width_for_mean(float s) {
  Point lo = analyse(kWidthFloor, s);
  if (std::isnan(lo.mean)) return {Width::Kind::undefined, lo};
  if (lo.mean < zod_) return {Width::Kind::below_floor, lo};
  Point hi = lo;
  for (int k = 0;; ++k) {
    if (k == kMaxDoublings || !std::isfinite(hi.w)) return {Width::Kind::undefined, hi};
    hi = analyse(hi.w * 2.0F, s);
    if (std::isnan(hi.mean)) return {Width::Kind::undefined, hi};
    if (hi.mean < zod_) break;
    lo = hi;
  }
  for (int k = 0; k < kMaxBisections; ++k) {
    const float w = log_midpoint(lo.w, hi.w);
    if (!(w > lo.w && w < hi.w)) break;
    const Point mid = analyse(w, s);
    (mid.mean >= zod_ ? lo : hi) = mid;
  }
  const Point& best = std::fabs(mean_error(lo)) <= std::fabs(mean_error(hi)) ? lo : hi;
  // The mean jumps across the target between neighbouring widths: the model
  // cannot represent this spacing's width.
  if (!(std::fabs(mean_error(best)) < kConverged)) return {Width::Kind::undefined, best};
  return {Width::Kind::found, best};
}

// The spacing next to the boundary of the width floor: bisects between a
// spacing whose width is at or above the floor and one whose width is below
// it, and returns the first kind.
float SafeguardedSolve::width_floor_boundary(float above, float below) {
  for (int k = 0; k < kMaxBisections; ++k) {
    const float s = log_midpoint(std::fmin(above, below), std::fmax(above, below));
    if (s == above || s == below) break;
    (width_below_floor(s) ? below : above) = s;
  }
  return above;
}

// The least spacing at which some width at or above the floor reaches the
// target mean; infinity when none does.
float SafeguardedSolve::least_spacing_above_width_floor() {
  float below = kSpacingFloor;
  for (int k = 0;; ++k) {
    if (k == kMaxDoublings || !std::isfinite(below)) return INFINITY;
    const float s = below * 2.0F;
    if (!width_below_floor(s)) return width_floor_boundary(s, below);
    below = s;
  }
}

WidthSpacing SafeguardedSolve::run() {
  Width start = width_for_mean(kSpacingFloor);
  if (start.kind == Width::Kind::below_floor) {
    const float s = least_spacing_above_width_floor();
    if (!std::isfinite(s)) return finish(SynthesisOutcome::width_floor, start.at);
    start = width_for_mean(s);
    // Already too loosely coupled where the width reaches its floor.
    if (start.kind == Width::Kind::found && start.at.difference < dz_) {
      return finish(SynthesisOutcome::width_floor, start.at);
    }
  } else if (start.kind == Width::Kind::found && start.at.difference < dz_) {
    // Already too loosely coupled at the spacing floor.
    return finish(SynthesisOutcome::spacing_floor, start.at);
  }
  // No width the model can represent where the bracket starts: the first
  // spacing above it that has one, if that is still coupled too tightly.
  // Small steps, so as not to step over a design just above the floor.
  constexpr float kEighthOctave = 1.0905077F;  // 2^(1/8)
  for (int k = 0; start.kind == Width::Kind::undefined && k < 8 * kMaxDoublings; ++k) {
    start = width_for_mean(start.at.s * kEighthOctave);
  }
  if (start.kind != Width::Kind::found || start.at.difference < dz_) {
    return finish(SynthesisOutcome::not_representable, start.at);
  }
  return solve_spacing(start.at);
}

// The width of a spacing inside the bracket (lo, hi): at its logarithmic
// middle, or, where the model cannot represent that spacing's width, at the
// first of a few other points of the bracket that it can.
Width SafeguardedSolve::width_inside(float lo, float hi) {
  static constexpr std::array kFractions = {0.5, 0.25, 0.75, 0.125, 0.875, 0.375, 0.625};
  Width first{Width::Kind::undefined, {}};
  for (const double fraction : kFractions) {
    const auto s =
        static_cast<float>(std::exp(std::log(static_cast<double>(lo)) * (1.0 - fraction) +
                                    std::log(static_cast<double>(hi)) * fraction));
    if (!(s > lo && s < hi)) continue;
    const Width at = width_for_mean(s);
    if (at.kind != Width::Kind::undefined) return at;
    if (fraction == kFractions.front()) first = at;
  }
  return first;
}

// From a start that is coupled too tightly, the spacing where Zoe - Zoo
// falls to its target: doubling to a bracket, then bisection.
WidthSpacing SafeguardedSolve::solve_spacing(const Point& start) {
  Point lo = start;
  Point hi{};
  float s = start.s;
  for (int k = 0;; ++k) {
    s = s * 2.0F;
    if (k == kMaxDoublings || !std::isfinite(s)) {
      return finish(SynthesisOutcome::not_representable, lo);
    }
    Width next = width_for_mean(s);
    if (next.kind == Width::Kind::below_floor) {
      // The width falls below its floor before the coupling loosens to the
      // target: the target is reached before that boundary, or not at all.
      next = width_for_mean(width_floor_boundary(lo.s, s));
      if (next.kind == Width::Kind::found && !(next.at.difference < dz_)) {
        return finish(SynthesisOutcome::width_floor, next.at);
      }
    }
    if (next.kind != Width::Kind::found) continue;  // no width here: look further
    if (next.at.difference < dz_) {
      hi = next.at;
      bracketed_ = true;
      break;
    }
    lo = next.at;
  }
  for (int k = 0; k < kMaxBisections; ++k) {
    const Width mid = width_inside(lo.s, hi.s);
    if (mid.kind != Width::Kind::found) break;
    (mid.at.difference >= dz_ ? lo : hi) = mid.at;
  }
  const Point& best = worst_error(lo) <= worst_error(hi) ? lo : hi;
  if (meets_targets(difference_error(best), mean_error(best))) {
    return finish(SynthesisOutcome::solved_by_safeguard, best);
  }
  return finish(SynthesisOutcome::not_representable, best);
}

}  // namespace

SafeguardedResult safeguarded_solve(const SynthesisTarget& target) {
  SafeguardedSolve solve(target);
  const WidthSpacing result = solve.run();
  return {result, solve.bracketed()};
}

}  // namespace ketrovane
