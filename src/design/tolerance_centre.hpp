// Design centring: the nominal dimensions a synthesis solves for (W and S
// side by side; W and WO, or W and SV, one above the other) moved to where
// the tolerance run's yield is largest, under the same variations, limits
// and solver.
//
// Every candidate is judged on the same samples (common random numbers:
// samples 0 .. n - 1 of the design's seed), so two candidates differ only
// by their nominal values.  The yield of a finite sample is piecewise
// constant, which a derivative-free local method reads as flat steps; the
// search maximises a smoothed yield instead: each sample's pass is the
// product over the limits of a logistic function of its margin to the
// limit, in units of a fraction of the outcome's spread at the start.  Its
// maximum lies where the hard yield's does for a symmetric limit about a
// monotone outcome, and near it otherwise.
//
// The method is NLopt's BOBYQA: bounded, derivative-free, and modelling the
// objective by quadratics, so a smooth objective of two variables is
// maximised in some tens of evaluations, each a whole set of samples.
//
// Lengths in inches.  No input or output; thread-safe.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "design/tolerance.hpp"
#include "design/tolerance_statistics.hpp"

namespace ketrovane {

// Computes samples 0 .. out.size() - 1 of `design` into `out`; by default
// one after the other (a front end passes its threads).
using SampleBatch =
    std::function<void(const ToleranceDesign& design, std::span<ToleranceSample> out)>;

struct CentreSetup {
  std::uint64_t samples = 0;  // the common samples every candidate is judged on
  double min_width = 0.0;     // the fab's least W, 0 for none
  double min_gap = 0.0;       // its least gap (S, or SV), 0 for none
  // The logistic's width, as a share of each limited outcome's standard
  // deviation over the start's samples.
  double smoothing = 0.2;
  // The search stops when a step changes no dimension by more than this
  // share of its first step.
  double step_tolerance = 1e-2;
  int most_evaluations = 120;
  // A searched dimension kept at its start value (the width, the second).
  std::array<bool, 2> held{};
  SampleBatch batch = nullptr;  // null: one after the other
};

// The dimensions searched of a strip pair: the width, and what synthesis
// solves for beside it by default.
std::array<const StripDimension*, 2> centred_dimensions(const StripPair& pair);

struct CentreResult {
  std::array<const StripDimension*, 2> searched{};
  std::array<double, 2> start{};    // the nominal values searched from
  std::array<double, 2> centred{};  // and those found
  YieldEstimate start_yield;        // on the common samples
  YieldEstimate centred_yield;
  double start_smoothed = 0.0;  // the smoothed yields the search compared
  double centred_smoothed = 0.0;
  int evaluations = 0;
};

// The smoothed yield of `samples` against `limits`, each logistic's width
// `widths[l]` (of limit l, in its outcome's unit).
double smoothed_yield(std::span<const ToleranceSample> samples, std::span<const Limit> limits,
                      std::span<const double> widths);

// Searches the nominal of `design` for the largest smoothed yield; the
// centred design is `design` with result.centred put in (centred_design).
// Throws std::invalid_argument when there is no limit or no sample.
CentreResult centre_design(const ToleranceDesign& design, std::span<const Limit> limits,
                           const CentreSetup& setup);

ToleranceDesign centred_design(const ToleranceDesign& design, const CentreResult& r);

}  // namespace ketrovane
