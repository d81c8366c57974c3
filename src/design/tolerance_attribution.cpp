#include "design/tolerance_attribution.hpp"

#include <limits>
#include <utility>

namespace ketrovane {

void RunningVariance::add(double v) {
  if (count == 0) shift = v;
  ++count;
  sum += v - shift;
  squares += (v - shift) * (v - shift);
}

double RunningVariance::variance() const {
  if (count < 2) return std::numeric_limits<double>::quiet_NaN();
  const auto n = static_cast<double>(count);
  return (squares - sum * sum / n) / (n - 1.0);
}

namespace {

std::vector<std::size_t> limited_outcomes(std::span<const Limit> limits) {
  std::vector<std::size_t> limited;
  for (const Limit& l : limits) limited.push_back(static_cast<std::size_t>(l.quantity));
  return limited;
}

}  // namespace

AttributionTally::AttributionTally(std::span<const std::string> inputs,
                                   std::span<const Limit> limits)
    : AttributionTally(inputs, limited_outcomes(limits)) {}

AttributionTally::AttributionTally(std::span<const std::string> inputs,
                                   std::vector<std::size_t> limited)
    : names_(inputs.begin(), inputs.end()),
      limited_(std::move(limited)),
      held_passed_(inputs.size(), 0),
      total_(limited_.size()),
      differences_(inputs.size() * limited_.size()) {}

void AttributionTally::add(const PairedOutcome& drawn, std::span<const PairedOutcome> held) {
  ++samples_;
  for (std::size_t k = 0; k < held.size(); ++k) {
    if (held[k].passed) ++held_passed_.at(k);
  }
  if (!drawn.ok) return;
  for (std::size_t l = 0; l < limited_.size(); ++l) {
    const std::size_t o = limited_[l];
    const double y = drawn.outcomes.at(o);
    total_[l].add(y);
    for (std::size_t k = 0; k < held.size(); ++k) {
      if (held[k].ok) differences_.at(k * limited_.size() + l).add(y - held[k].outcomes.at(o));
    }
  }
}

std::vector<InputAttribution> AttributionTally::result() const {
  std::vector<InputAttribution> r;
  for (std::size_t k = 0; k < names_.size(); ++k) {
    InputAttribution a{names_[k], yield_of(held_passed_[k], samples_), {}};
    for (std::size_t l = 0; l < limited_.size(); ++l) {
      const double total = total_[l].variance();
      a.share.push_back(total > 0.0 ? differences_[k * limited_.size() + l].variance() / total
                                    : std::numeric_limits<double>::quiet_NaN());
    }
    r.push_back(std::move(a));
  }
  return r;
}

}  // namespace ketrovane
