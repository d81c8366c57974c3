#include "design/tolerance_attribution.hpp"

#include <limits>

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

AttributionTally::AttributionTally(std::span<const std::string> inputs,
                                   std::span<const Limit> limits)
    : names_(inputs.begin(), inputs.end()),
      limits_(limits.begin(), limits.end()),
      held_passed_(inputs.size(), 0),
      total_(limits.size()),
      differences_(inputs.size() * limits.size()) {}

void AttributionTally::add(const PairedOutcome& drawn, std::span<const PairedOutcome> held) {
  ++samples_;
  for (std::size_t k = 0; k < held.size(); ++k) {
    if (held[k].passed) ++held_passed_.at(k);
  }
  if (!drawn.ok) return;
  for (std::size_t l = 0; l < limits_.size(); ++l) {
    const auto o = static_cast<std::size_t>(limits_[l].quantity);
    const double y = drawn.outcomes.at(o);
    total_[l].add(y);
    for (std::size_t k = 0; k < held.size(); ++k) {
      if (held[k].ok) differences_.at(k * limits_.size() + l).add(y - held[k].outcomes.at(o));
    }
  }
}

std::vector<InputAttribution> AttributionTally::result() const {
  std::vector<InputAttribution> r;
  for (std::size_t k = 0; k < names_.size(); ++k) {
    InputAttribution a{names_[k], yield_of(held_passed_[k], samples_), {}};
    for (std::size_t l = 0; l < limits_.size(); ++l) {
      const double total = total_[l].variance();
      a.share.push_back(total > 0.0 ? differences_[k * limits_.size() + l].variance() / total
                                    : std::numeric_limits<double>::quiet_NaN());
    }
    r.push_back(std::move(a));
  }
  return r;
}

}  // namespace ketrovane
