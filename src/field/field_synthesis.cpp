#include "field/field_synthesis.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>

#include "field/domain.hpp"
#include "field/field_solver.hpp"
#include "field/synthesis_newton.hpp"

namespace ketrovane::field {
namespace {

// Per-strip C/eps of a line of impedance z.
double capacitance_for(double z, double er) {
  return kFreeSpaceImpedance / (std::sqrt(er) * z);
}

// 20 log10 of the coupling (Zoe - Zoo)/(Zoe + Zoo), from k = Zoo/Zoe.
double coupling_db_of(double k) {
  return 20.0 * std::log10((1.0 - k) / (1.0 + k));
}

std::optional<std::string> goal_error(const SynthesisGoal& goal) {
  if (!positive_finite(goal.w0) || !positive_finite(goal.s0))
    return "the start w = " + format_number(goal.w0) + ", s = " + format_number(goal.s0) +
           " is not a pair of positive finite lengths";
  if (!positive_finite(goal.zoe) || !positive_finite(goal.zoo))
    return "the targets Zoe = " + format_number(goal.zoe) + ", Zoo = " + format_number(goal.zoo) +
           " are not positive finite impedances";
  return std::nullopt;
}

SynthesisResult refused(SynthesisFailure failure, std::string message) {
  SynthesisResult r;
  r.failure = failure;
  r.message = std::move(message);
  return r;
}

SynthesisResult synthesise_centred(const SynthesisGoal& goal, double tolerance) {
  if (auto error = goal_error(goal)) return refused(SynthesisFailure::not_converged, *error);
  const DesignSpace space = space_of(goal, 1.0);
  return FieldNewton(space, tolerance).run({std::log(goal.w0), std::log(goal.s0)});
}

// The starts of the arrangements that may find their own, in units of b.
// Fringing of the two knife edges of a lone centred strip, C/eps: 8 ln 2/pi.
constexpr double kEdgeFringing = 8.0 * std::numbers::ln2 / std::numbers::pi;
// d ln(zo)/d ln(w) of a strip of moderate width, for the first step in w.
constexpr double kMeanSlope = -0.8;
constexpr int kMeanSteps = 8;
constexpr double kMeanTolerance = 1e-2;
// Offsets tried, in widths, while looking for the one that weakens the
// coupling to the target: from the parallel plates' guess (at least 1/4)
// outward by half again each time, 12 times; while looking for a stronger
// coupling than at full overlap, 1/4 and 1/2.
constexpr double kFirstOffset = 0.25;
constexpr double kOffsetGrowth = 1.5;
constexpr int kOffsetTrials = 12;

// The permittivity the starts assume: on a stack, the layers' mean by
// thickness.
double start_er(const SynthesisGoal& goal) {
  if (goal.stack.empty()) return goal.er;
  double sum = 0.0;
  double thickness = 0.0;
  for (const DielectricLayer& layer : goal.stack.view()) {
    sum += layer.er * layer.thickness;
    thickness += layer.thickness;
  }
  return sum / thickness;
}

std::optional<std::string> unknowns_error(const SynthesisGoal& goal) {
  const bool side_by_side = goal.arrangement != Arrangement::broadside;
  const bool gap = goal.unknowns == SynthesisUnknowns::width_and_gap;
  if (side_by_side && !gap) return "strips side by side are synthesised for w and s";
  if (!side_by_side && gap)
    return "strips one above the other are synthesised for w and wo or w and sv";
  if (!goal.stack.empty() && goal.unknowns == SynthesisUnknowns::width_and_vertical_gap)
    return "on a stack the gap between strips one above the other is the core layer's "
           "thickness: synthesise w and wo";
  return std::nullopt;
}

std::optional<std::string> targets_error(const SynthesisGoal& goal) {
  if (!positive_finite(goal.zoe) || !positive_finite(goal.zoo))
    return "the targets Zoe = " + format_number(goal.zoe) + ", Zoo = " + format_number(goal.zoo) +
           " are not positive finite impedances";
  if (!(goal.zoo < goal.zoe))
    return "the targets Zoe = " + format_number(goal.zoe) + ", Zoo = " + format_number(goal.zoo) +
           " do not couple: Zoo must be below Zoe";
  const bool no_start = goal.w0 == 0.0 && goal.s0 == 0.0;
  if (!no_start && (!positive_finite(goal.w0) || !positive_finite(goal.s0)))
    return "the start w = " + format_number(goal.w0) + ", s = " + format_number(goal.s0) +
           " is neither a pair of positive finite lengths nor 0, 0";
  return std::nullopt;
}

// The dimensions given, with the unknowns at harmless values: whether the
// cross-section can exist at all.
std::optional<std::string> given_dimensions_error(const SynthesisGoal& goal) {
  if (goal.arrangement == Arrangement::broadside && !(2.0 * goal.t < goal.b))
    return "t = " + format_number(goal.t) +
           " leaves no room for two strips between planes b = " + format_number(goal.b) +
           " apart: 2t must be below b";
  Geometry g{goal.b,           goal.t, goal.b / 2, goal.b / 2, goal.er,
             goal.arrangement, goal.h, goal.sv,    goal.wo};
  g.stack = goal.stack;
  if (goal.unknowns == SynthesisUnknowns::width_and_offset) g.wo = 0.0;
  if (goal.unknowns == SynthesisUnknowns::width_and_vertical_gap)
    g.sv = (goal.b - 2.0 * goal.t) / 2;
  return geometry_error(g);
}

struct Targets {
  double zo;     // sqrt(Zoe Zoo)
  double ratio;  // Zoo/Zoe
};

Targets targets_of(const SynthesisGoal& goal) {
  return {std::sqrt(goal.zoe * goal.zoo), goal.zoo / goal.zoe};
}

// Side by side: the width whose faces and edges give the mean impedance, and
// a gap from the exponential decay of the coupling, exp(-pi s/b).
Point side_by_side_start(const SynthesisGoal& goal) {
  if (goal.w0 > 0.0) return {std::log(goal.w0), std::log(goal.s0)};
  const Targets x = targets_of(goal);
  const double t = goal.t / goal.b;
  const double h = goal.h / goal.b;
  const double faces = 1.0 / (h - t / 2) + 1.0 / (1.0 - h - t / 2);
  const double w = std::max(0.05, (capacitance_for(x.zo, start_er(goal)) - kEdgeFringing) / faces);
  const double coupling = (1.0 - x.ratio) / (1.0 + x.ratio);
  const double s = std::clamp(-std::log(2.0 * coupling) / std::numbers::pi, 0.01, 1.0);
  return {std::log(w * goal.b), std::log(s * goal.b)};
}

// One above the other, overlapping by the fraction `overlap` of the width:
// with parallel plates and a unit of fringing per mode, C_even = w/g + 1 and
// C_odd = w/g + 2 overlap w/sv + 1, g = (1 - sv - 2t)/2; the width whose
// mean capacitance gives the mean impedance (units of b).
double stacked_width(const SynthesisGoal& goal, double sv, double overlap) {
  const double t = goal.t / goal.b;
  const double g = (1.0 - sv - 2.0 * t) / 2;
  const double c = capacitance_for(targets_of(goal).zo, start_er(goal));
  const double a = (1.0 / g) * (1.0 / g + 2.0 * overlap / sv);
  const double b = 2.0 / g + 2.0 * overlap / sv;
  const double w = (-b + std::sqrt(b * b - 4.0 * a * (1.0 - c * c))) / (2.0 * a);
  return w > 0.02 ? w : 0.02;  // also when the impedance is beyond the plates' reach
}

// The same plates give Zoe/Zoo = 1 + 2 g overlap/sv, so
// sv = (1 - 2t) overlap/(Zoe/Zoo - 1 + overlap).
Point stacked_gap_start(const SynthesisGoal& goal) {
  if (goal.w0 > 0.0) return {std::log(goal.w0), std::log(goal.s0)};
  const double t = goal.t / goal.b;
  const double rho = goal.zoe / goal.zoo;
  const auto gap = [&](double overlap) {
    return std::clamp((1.0 - 2.0 * t) * overlap / (rho - 1.0 + overlap), 1e-3,
                      0.9 * (1.0 - 2.0 * t));
  };
  double sv = gap(1.0);
  double w = stacked_width(goal, sv, 1.0);
  const double overlap = std::clamp(1.0 - goal.wo / goal.b / w, 0.1, 1.0);
  sv = gap(overlap);
  w = stacked_width(goal, sv, overlap);
  return {std::log(w * goal.b), std::log(sv * goal.b)};
}

SynthesisResult synthesise_side_by_side(const SynthesisGoal& goal, double tolerance) {
  return FieldNewton(space_of(goal, 1.0), tolerance).run(side_by_side_start(goal));
}

SynthesisResult synthesise_stacked_gap(const SynthesisGoal& goal, double tolerance) {
  return FieldNewton(space_of(goal, 1.0), tolerance).run(stacked_gap_start(goal));
}

// A width at a given offset, the residual there, and how the residual
// changes with ln w.
struct Probe {
  double ln_w;
  Residual residual;
  std::array<double, 2> per_ln_w;  // d(even, odd)/d(ln w)
};

double mean_of(const Residual& r) {
  return (r.even + r.odd) / 2;
}

double ratio_of(const Residual& r) {
  return r.zoo / r.zoe;
}

// The width whose mean impedance meets the target, by the secant method on
// ln w at a fixed offset, to 1 % (Newton's method finishes the job).
std::optional<Probe> width_for_mean(FieldNewton& newton, const DesignSpace& space, Point p) {
  std::optional<Residual> before = newton.residual_at(space.geometry(p));
  if (!before) return std::nullopt;
  double x_before = p.ln_w;
  double x = x_before - mean_of(*before) / kMeanSlope;
  std::array<double, 2> per_ln_w{kMeanSlope, kMeanSlope};
  for (int step = 0; step < kMeanSteps && std::abs(mean_of(*before)) >= kMeanTolerance; ++step) {
    x = std::clamp(x, space.least_ln_w, space.most_ln_w);
    if (x == x_before) break;
    const std::optional<Residual> r = newton.residual_at(space.geometry({x, p.v}));
    if (!r) return std::nullopt;
    per_ln_w = {(r->even - before->even) / (x - x_before), (r->odd - before->odd) / (x - x_before)};
    x_before = x;
    before = r;
    const double slope = (per_ln_w[0] + per_ln_w[1]) / 2;
    x -= mean_of(*r) / (slope < 0.0 ? slope : kMeanSlope);
  }
  return Probe{x_before, *before, per_ln_w};
}

// A probe at an offset; ln_w is the width it was solved at, next_ln_w the
// width that its residual says meets the mean impedance.
struct OffsetProbe {
  double v;
  double ln_w;
  double next_ln_w;
  Residual residual;
};

// ln of the coupling (Zoe - Zoo)/(Zoe + Zoo) from k = Zoo/Zoe, which falls
// about linearly with the offset once the strips no longer overlap.
double log_coupling(double k) {
  return std::log((1.0 - k) / (1.0 + k));
}

// Where the straight line between two probes, in the logarithm of the
// coupling, meets the target; the width meeting the mean impedance there.
Point crossing(const OffsetProbe& a, const OffsetProbe& b, double target) {
  const double ca = log_coupling(ratio_of(a.residual));
  const double cb = log_coupling(ratio_of(b.residual));
  const double f = (log_coupling(target) - ca) / (cb - ca);
  return {a.next_ln_w + f * (b.next_ln_w - a.next_ln_w), a.v + f * (b.v - a.v)};
}

std::string needs_thinner_core(const SynthesisGoal& goal, double ratio_at_zero) {
  return "at sv = " + format_number(goal.sv) + " the strips couple by only " +
         format_number(coupling_db_of(ratio_at_zero)) + " dB even with wo = 0; the targets need " +
         format_number(coupling_db_of(goal.zoo / goal.zoe)) + " dB: a thinner core is needed";
}

// Over the overlap the plates give Zoe/Zoo - 1 in proportion to the
// overlapping fraction of the width: the offset, in widths, that leaves the
// fraction the target needs of the excess at full overlap (k = Zoo/Zoe).
double plates_offset(double ratio_at_zero, double target) {
  const double fraction = (1.0 / target - 1.0) / (1.0 / ratio_at_zero - 1.0);
  return std::max(kFirstOffset, 1.0 - fraction);
}

// The first offset, going out from full overlap and following the width
// that keeps the mean impedance (one step of the secant per offset), whose
// ratio lies on the other side of the target (weaker when `weaker`); the
// last probe short of it is left in `before`.
std::optional<OffsetProbe> offset_beyond(FieldNewton& newton, const DesignSpace& space,
                                         const Probe& at_zero, bool weaker, OffsetProbe& before) {
  const double target = space.goal.zoo / space.goal.zoe;
  const double slope = std::min((at_zero.per_ln_w[0] + at_zero.per_ln_w[1]) / 2, kMeanSlope / 4);
  const int trials = weaker ? kOffsetTrials : 2;
  const double growth = weaker ? kOffsetGrowth : 2.0;
  double v = weaker ? plates_offset(ratio_of(at_zero.residual), target) : kFirstOffset;
  double ln_w = at_zero.ln_w;
  for (int k = 0; k < trials; ++k, v *= growth) {
    const std::optional<Residual> r = newton.residual_at(space.geometry({ln_w, v}));
    if (!r) return std::nullopt;
    const OffsetProbe probe{v, ln_w, ln_w - mean_of(*r) / slope, *r};
    if ((ratio_of(*r) > target) == weaker) return probe;
    before = probe;
    ln_w = probe.next_ln_w;
  }
  return std::nullopt;
}

// w and wo: the width that meets the mean impedance with the strips
// overlapping fully, which also gives the strongest coupling the core
// allows (or nearly: with wo the coupling need not fall at once, so two
// small offsets are tried before giving up); then the offset that weakens
// the coupling to the target, bracketed and interpolated; then Newton's
// method in (ln w, wo), wo in units of the offset found.
SynthesisResult synthesise_stacked_offset(const SynthesisGoal& goal, double tolerance) {
  const double sv = goal.sv / goal.b;
  const double width = stacked_width(goal, sv, 1.0) * goal.b;
  const DesignSpace space = space_of(goal, width);
  FieldNewton newton(space, tolerance);
  const double start_w = goal.w0 > 0.0 ? goal.w0 : width;
  const std::optional<Probe> at_zero = width_for_mean(newton, space, {std::log(start_w), 0.0});
  if (!at_zero)
    return newton.fail(SynthesisFailure::not_converged, "no width meets the mean impedance");
  const double target = goal.zoo / goal.zoe;
  const double ratio_at_zero = ratio_of(at_zero->residual);
  const bool too_strong = ratio_at_zero < target;
  OffsetProbe before{0.0, at_zero->ln_w, at_zero->ln_w, at_zero->residual};
  const std::optional<OffsetProbe> beyond =
      offset_beyond(newton, space, *at_zero, too_strong, before);
  if (!beyond && !too_strong) {
    newton.record_design(space.geometry({at_zero->ln_w, 0.0}), at_zero->residual);
    return newton.fail(SynthesisFailure::needs_thinner_core,
                       needs_thinner_core(goal, ratio_at_zero));
  }
  if (!beyond)
    return newton.fail(SynthesisFailure::not_converged,
                       "no offset weakens the coupling to the target");
  const Point start = crossing(before, *beyond, target);
  const double unit = std::max(start.v, kFirstOffset) * width;
  newton.set_offset_unit(unit);
  return newton.run({start.ln_w, start.v * width / unit});
}

}  // namespace

SynthesisResult synthesise(const SynthesisGoal& goal, double tolerance) {
  if (goal.arrangement == Arrangement::edge) return synthesise_centred(goal, tolerance);
  if (auto error = unknowns_error(goal))
    return refused(SynthesisFailure::not_representable, *error);
  if (auto error = targets_error(goal)) return refused(SynthesisFailure::not_converged, *error);
  if (auto error = given_dimensions_error(goal))
    return refused(SynthesisFailure::not_representable, *error);
  switch (goal.unknowns) {
    case SynthesisUnknowns::width_and_gap:
      return synthesise_side_by_side(goal, tolerance);
    case SynthesisUnknowns::width_and_offset:
      return synthesise_stacked_offset(goal, tolerance);
    case SynthesisUnknowns::width_and_vertical_gap:
      break;
  }
  return synthesise_stacked_gap(goal, tolerance);
}

}  // namespace ketrovane::field
