// What each varied input costs a tolerance run: every sample is evaluated
// again with that one input at its nominal value and every other as drawn
// (paired, so that the differences are not noise), giving
//  - the yield with the input held nominal, and
//  - its share of each limited outcome's variance: the variance of the
//    paired differences y - y_held over the variance of y.  For an outcome
//    that is a sum of the inputs' separate effects, y - y_held is the input's
//    own effect and the shares sum to 1 within the sampling error of the
//    covariances between the effects; a sum clearly above or below 1 says
//    that the inputs act together.
// Accumulated in sample order in double precision: any split into threads
// gives the same numbers.  No input or output.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "design/tolerance.hpp"
#include "design/tolerance_statistics.hpp"

namespace ketrovane {

// A sample's outcome as attribution needs it: whether it was computed,
// whether it met every limit, its outcomes.
struct PairedOutcome {
  bool ok = false;
  bool passed = false;
  std::array<float, kOutcomeCount> outcomes{};
};

// Running sums of values taken in order, about the first one.
struct RunningVariance {
  std::int64_t count = 0;
  double shift = 0.0;
  double sum = 0.0;
  double squares = 0.0;
  void add(double v);
  // With n - 1; NaN below two values.
  [[nodiscard]] double variance() const;
};

struct InputAttribution {
  std::string name;           // "w", "etch", "er2"
  YieldEstimate held_yield;   // every sample with the input nominal
  std::vector<double> share;  // per limit, in the order of the limits: NaN when undefined
};

class AttributionTally {
 public:
  AttributionTally(std::span<const std::string> inputs, std::span<const Limit> limits);
  // The limited outcomes given by their places in PairedOutcome::outcomes,
  // in the order of the limits (a multi-section coupler's band outcomes).
  AttributionTally(std::span<const std::string> inputs, std::vector<std::size_t> limited);
  // One sample: as drawn, and with each input held nominal in turn.
  void add(const PairedOutcome& drawn, std::span<const PairedOutcome> held);
  [[nodiscard]] std::vector<InputAttribution> result() const;

 private:
  std::vector<std::string> names_;
  std::vector<std::size_t> limited_;  // per limit, the outcome it limits
  std::int64_t samples_ = 0;
  std::vector<std::int64_t> held_passed_;     // per input
  std::vector<RunningVariance> total_;        // per limit
  std::vector<RunningVariance> differences_;  // per input, per limit
};

}  // namespace ketrovane
