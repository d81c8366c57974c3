#include "design/tolerance_centre.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include <nlopt.hpp>

namespace ketrovane {

namespace {

// The box searched: from a tenth of each start value (or the fab's least)
// to four times it, which keeps every candidate physical and the quadratic
// models of the search on the scale of the coupler.
constexpr double kLowestShare = 0.1;
constexpr double kHighestMultiple = 4.0;
// The first step of a dimension not varied, as a share of its value.
constexpr double kStepShare = 0.05;

const Variation* variation_of(const ToleranceDesign& d, Varied v) {
  const auto it = std::ranges::find(d.variations, v, &Variation::quantity);
  return it == d.variations.end() ? nullptr : &*it;
}

struct Box {
  std::vector<double> lower;
  std::vector<double> upper;
  std::vector<double> step;
};

// The bounds of each searched dimension and its first step: its own
// variation's half-width, so the search starts on the scale of the
// tolerances.
Box search_box(const ToleranceDesign& d, const std::array<const StripDimension*, 2>& dims,
               const CentreSetup& setup) {
  Box box;
  const double width = strip_width().of(d.nominal);
  for (std::size_t i = 0; i < dims.size(); ++i) {
    const StripDimension* x = dims.at(i);
    const double value = x->of(d.nominal);
    const double scale = value > 0.0 ? value : width;
    double least = x->sign_mirrors ? 0.0 : kLowestShare * value;
    if (x == &strip_width()) least = std::max(least, setup.min_width);
    if (x->limited_gap) least = std::max(least, setup.min_gap);
    if (setup.held.at(i)) {
      box.lower.push_back(value);
      box.upper.push_back(value);
    } else {
      box.lower.push_back(least);
      box.upper.push_back(std::max(kHighestMultiple * scale, least + scale));
    }
    const Variation* v = variation_of(d, varied_of(*x));
    box.step.push_back(v != nullptr && v->half_width > 0.0 ? v->half_width : kStepShare * scale);
  }
  return box;
}

ToleranceDesign with_nominal(const ToleranceDesign& d,
                             const std::array<const StripDimension*, 2>& dims,
                             std::span<const double> x) {
  ToleranceDesign moved = d;
  for (std::size_t i = 0; i < dims.size(); ++i)
    dims.at(i)->in(moved.nominal) = static_cast<float>(x[i]);
  return moved;
}

// The logistics' widths: a share of each limited outcome's standard
// deviation over the samples that were computed (a spread of zero takes a
// millionth of the outcome's size, so the width is never zero).
std::vector<double> logistic_widths(std::span<const ToleranceSample> samples,
                                    std::span<const Limit> limits, double smoothing) {
  std::vector<double> widths;
  for (const Limit& l : limits) {
    const auto o = static_cast<std::size_t>(l.quantity);
    double sum = 0.0;
    double squares = 0.0;
    double n = 0.0;
    for (const ToleranceSample& s : samples) {
      if (s.status != SampleStatus::ok) continue;
      const double v = s.outcomes.at(o);
      sum += v;
      squares += v * v;
      n += 1.0;
    }
    const double mean = n > 0.0 ? sum / n : 0.0;
    const double spread =
        n > 1.0 ? std::sqrt(std::max(0.0, (squares - n * mean * mean) / (n - 1.0))) : 0.0;
    widths.push_back(smoothing * std::max(spread, 1e-6 * std::max(std::fabs(mean), 1.0)));
  }
  return widths;
}

// The margin of `v` inside `l`: negative outside, infinite without a bound.
double margin(const Limit& l, double v) {
  return std::min(v - l.low, l.high - v);
}

std::int64_t passed_count(std::span<const ToleranceSample> samples, std::span<const Limit> limits) {
  return std::ranges::count_if(samples,
                               [&](const ToleranceSample& s) { return passes(s, limits); });
}

class Search {
 public:
  Search(const ToleranceDesign& d, std::span<const Limit> limits, const CentreSetup& setup)
      : design_(d),
        limits_(limits),
        setup_(setup),
        dims_(centred_dimensions(d.nominal)),
        samples_(setup.samples) {}

  // The samples of the start, which fix the logistics' widths.
  void start(CentreResult& r) {
    compute(design_);
    widths_ = logistic_widths(samples_, limits_, setup_.smoothing);
    r.searched = dims_;
    for (std::size_t i = 0; i < dims_.size(); ++i) r.start.at(i) = dims_.at(i)->of(design_.nominal);
    r.start_yield =
        yield_of(passed_count(samples_, limits_), static_cast<std::int64_t>(samples_.size()));
    r.start_smoothed = smoothed_yield(samples_, limits_, widths_);
  }

  double objective(std::span<const double> x) {
    ++evaluations_;
    compute(with_nominal(design_, dims_, x));
    const double y = smoothed_yield(samples_, limits_, widths_);
    if (y > best_) {
      best_ = y;
      std::ranges::copy(x, best_x_.begin());
    }
    return y;
  }

  void finish(CentreResult& r) {
    if (best_ < r.start_smoothed) best_x_ = r.start;  // never worse than the start
    r.centred = best_x_;
    compute(with_nominal(design_, dims_, r.centred));
    r.centred_yield =
        yield_of(passed_count(samples_, limits_), static_cast<std::int64_t>(samples_.size()));
    r.centred_smoothed = smoothed_yield(samples_, limits_, widths_);
    r.evaluations = evaluations_;
  }

  [[nodiscard]] const std::array<const StripDimension*, 2>& dims() const { return dims_; }

 private:
  void compute(const ToleranceDesign& d) {
    if (setup_.batch) {
      setup_.batch(d, samples_);
      return;
    }
    for (std::size_t i = 0; i < samples_.size(); ++i) samples_[i] = tolerance_sample(d, i);
  }

  const ToleranceDesign& design_;
  std::span<const Limit> limits_;
  const CentreSetup& setup_;
  std::array<const StripDimension*, 2> dims_;
  std::vector<ToleranceSample> samples_;
  std::vector<double> widths_;
  double best_ = -1.0;
  std::array<double, 2> best_x_{};
  int evaluations_ = 0;
};

double search_objective(const std::vector<double>& x, std::vector<double>& /*gradient*/,
                        void* data) {
  return static_cast<Search*>(data)->objective(x);
}

}  // namespace

std::array<const StripDimension*, 2> centred_dimensions(const StripPair& pair) {
  const ArrangementSpec& a = arrangement_spec(pair.placement.arrangement);
  // On a stack, the core fixes the gap of strips one above the other.
  const field::SynthesisUnknowns unknowns = pair.placement.stack.empty()
                                                ? field::SynthesisUnknowns::width_and_gap
                                                : field::SynthesisUnknowns::width_and_offset;
  return {&strip_width(), &a.solved(unknowns)};
}

double smoothed_yield(std::span<const ToleranceSample> samples, std::span<const Limit> limits,
                      std::span<const double> widths) {
  if (samples.empty()) return 0.0;
  double sum = 0.0;
  for (const ToleranceSample& s : samples) {
    if (s.status != SampleStatus::ok) continue;
    double pass = 1.0;
    for (std::size_t l = 0; l < limits.size(); ++l) {
      const double m =
          margin(limits[l], s.outcomes.at(static_cast<std::size_t>(limits[l].quantity)));
      if (std::isinf(m) && m > 0.0) continue;
      pass /= 1.0 + std::exp(-m / widths[l]);
    }
    sum += pass;
  }
  return sum / static_cast<double>(samples.size());
}

CentreResult centre_design(const ToleranceDesign& design, std::span<const Limit> limits,
                           const CentreSetup& setup) {
  if (limits.empty()) throw std::invalid_argument("centring needs a limit to yield against");
  if (setup.samples == 0) throw std::invalid_argument("centring needs samples");
  CentreResult r;
  Search search(design, limits, setup);
  search.start(r);
  const Box box = search_box(design, search.dims(), setup);
  nlopt::opt method(nlopt::LN_BOBYQA, 2);
  method.set_lower_bounds(box.lower);
  method.set_upper_bounds(box.upper);
  method.set_initial_step(box.step);
  std::vector<double> tolerance;
  for (const double s : box.step) tolerance.push_back(setup.step_tolerance * s);
  method.set_xtol_abs(tolerance);
  method.set_maxeval(setup.most_evaluations);
  method.set_max_objective(search_objective, &search);
  std::vector<double> x;
  for (std::size_t i = 0; i < r.start.size(); ++i) {
    x.push_back(std::clamp(r.start.at(i), box.lower.at(i), box.upper.at(i)));
  }
  double best = 0.0;
  try {
    method.optimize(x, best);
  } catch (const nlopt::roundoff_limited&) {
    // The best point met so far stands.
  }
  search.finish(r);
  return r;
}

ToleranceDesign centred_design(const ToleranceDesign& design, const CentreResult& r) {
  return with_nominal(design, r.searched, r.centred);
}

}  // namespace ketrovane
