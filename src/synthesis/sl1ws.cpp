// The synthesis inverts the zero-thickness relations for a start, then
// alternates a step-and-bisect search on S, which matches Zoe - Zoo, with a
// multiplicative correction of W, which matches sqrt(Zoe*Zoo).  Where that
// search cannot close, a safeguarded bracketing solve on the same model takes
// over.
#include <algorithm>
#include <cmath>

#include "model/stripline_model.hpp"
#include "synthesis/safeguarded_solve.hpp"
#include "synthesis/synthesis.hpp"

namespace ketrovane {

namespace {

constexpr float kEta = 376.73047F;
constexpr float kPi = 3.1415927F;

constexpr float kStartFloor = 0.0005F;  // least start W and S, inch
constexpr float kFirstTolerance = 0.1005F;
constexpr float kToleranceStep = 0.0125F;
constexpr int kLastTightening = 8;
constexpr float kRetreat = 0.06F;  // fraction of S per step of a fresh search

// Modulus k with K'(k)/K(k) = x, for the logarithmic approximation of that
// ratio.
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

// (b/pi)*ln((1 + r)/(1 - r)), the inverse of tanh(pi*x/(2*b)) = r.
float inverse_tanh_length(float b, float r) {
  return (b / kPi) * std::log((1.0F + r) / (1.0F - r));
}

// The alternating search.  Its S tolerance starts coarse (0.1005) and
// tightens by 0.0125 with each width correction, down to the final 0.0005
// after eight: early passes need only steer the width.
class Search {
 public:
  Search(float b, float er, float t, float zoe, float zoo)
      : b_(b), er_(er), t_(t), dz_(zoe - zoo), zod_(std::sqrt(zoe * zoo)) {}

  SynthesisResult run(SynthesisStart start) {
    w_ = std::max(start.w, kStartFloor);
    s_ = std::max(start.s, kStartFloor);
    if (!std::isfinite(w_) || !std::isfinite(s_)) return finish(kSynthesisFailed);
    ds_ = 2.0F * s_;
    for (;;) {
      if (const int status = search_spacing(); status >= 0) return finish(status);
      if (const int status = correct_width(); status >= 0) return finish(status);
    }
  }

 private:
  static constexpr int kGoOn = -1;

  // One analysis of the current geometry; false once the bound is reached.
  bool analyse() {
    if (evaluations_ == kMaxSynthesisEvaluations) return false;
    ++evaluations_;
    const ModeImpedances m = sl1imp(CrossSection{b_, er_, s_, t_, w_});
    zoea_ = m.zoe;
    zooa_ = m.zoo;
    return true;
  }

  int search_spacing() {
    for (;;) {
      if (!analyse()) return kSynthesisFailed;
      float e = (dz_ - (zoea_ - zooa_)) / dz_;
      if (std::fabs(e) < tol_) {
        e_ = e;
        return kGoOn;
      }
      if (e1_ == 0.0F && e > 0.0F) ds_ = -(kRetreat * s_);
      if (e1_ / e < 0.0F) {
        s_ = s_ - ds_;
        e = e1_;
        ds_ = ds_ / 2.0F;
      }
      s_ = s_ + ds_;
      if (s_ < kSpacingFloor) return kSpacingBelowFloor;
      e1_ = e;
    }
  }

  int correct_width() {
    const float zo = std::sqrt(zoea_ * zooa_);
    const float zw = (zod_ - zo) / zod_;
    if (meets_targets(e_, zw)) return kSynthesisConverged;
    ++corrections_;
    const float g = std::clamp(1.0F - zw, 0.5F, 1.5F);
    w_ = w_ * g;
    if (w_ < kWidthFloor) return kWidthBelowFloor;
    // A correction that leaves W unchanged: the mean matches, but the
    // spacing error may still be as large as the coarse tolerance.  The
    // tolerance drops to its final value for good and the spacing search
    // starts afresh; only the convergence test ends the call with status 0.
    if (w_ == previous_w_) corrections_ = kLastTightening;
    const int j = std::min(corrections_, kLastTightening);
    tol_ = kFirstTolerance - kToleranceStep * static_cast<float>(j);
    previous_w_ = w_;
    ds_ = kRetreat * s_;
    e1_ = 0.0F;
    return kGoOn;
  }

  [[nodiscard]] SynthesisResult finish(int status) const {
    return {status, s_, w_, evaluations_, outcome_of(status)};
  }

  static SynthesisOutcome outcome_of(int status) {
    switch (status) {
      case kSynthesisConverged:
        return SynthesisOutcome::converged_by_search;
      case kSpacingBelowFloor:
        return SynthesisOutcome::spacing_floor;
      case kWidthBelowFloor:
        return SynthesisOutcome::width_floor;
      default:
        return SynthesisOutcome::not_representable;
    }
  }

  float b_, er_, t_;
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
bool usable(float zoe, float zoo) {
  return std::isfinite(zoe) && std::isfinite(zoo) && zoo > 0.0F && zoe > zoo;
}

}  // namespace

SynthesisStart synthesis_start(float b, float er, float zoe, float zoo) {
  SynthesisStart start{};
  const float sqrter = std::sqrt(er);
  start.xe = zoe * sqrter * 4.0F / kEta;
  start.xo = zoo * sqrter * 4.0F / kEta;
  start.ke = modulus(start.xe);
  start.ko = modulus(start.xo);
  const float r = std::sqrt(start.ke * start.ko);
  start.w = inverse_tanh_length(b, r);
  const float q = ((1.0F - start.ko) / (1.0F - start.ke)) * std::sqrt(start.ke / start.ko);
  start.s = inverse_tanh_length(b, q);
  return start;
}

SynthesisResult sl1ws(float b, float er, float t, float zoe, float zoo) {
  if (!usable(zoe, zoo)) {
    return {kSynthesisFailed, 0.0F, 0.0F, 0, SynthesisOutcome::unusable_targets};
  }
  Search search(b, er, t, zoe, zoo);
  const SynthesisResult searched = search.run(synthesis_start(b, er, zoe, zoo));
  if (searched.isyn == kSynthesisConverged) return searched;
  // The search cannot close, or stopped at a floor: its stepping can drive S
  // or W below a floor on the way to a design that lies above both.  The
  // bracketing solve takes over.  A floor the search reached stands, with its
  // own message, unless the solve finds a design or shows that one lies above
  // both floors.
  const SafeguardedResult solved = safeguarded_solve(b, er, t, zoe, zoo);
  const int evaluations = searched.evaluations + solved.result.evaluations;
  const bool search_at_a_floor = searched.isyn != kSynthesisFailed;
  const bool floor_refuted = solved.result.isyn == kSynthesisConverged || solved.bracketed;
  SynthesisResult result = search_at_a_floor && !floor_refuted ? searched : solved.result;
  result.evaluations = evaluations;
  return result;
}

}  // namespace ketrovane
