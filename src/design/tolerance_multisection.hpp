// Tolerance analysis of a multi-section coupler: Monte Carlo samples of its
// sections as the board shop makes them, each the response of the whole
// cascade over the band, judged by its worst coupling deviation, its least
// directivity and its least return loss there.
//
// Each section's W and S have streams of their own (section k's W is not
// section 1's); the board's T, B and Er and the etch bias are the board's,
// one draw shared by every section, from the same streams as a single
// coupler's.  Sample i is still a function of the seed and i alone.  The
// sections keep their nominal lengths: the artwork fixes them.
//
// Lengths in inches, frequencies in MHz, dB.  No input or output, no state;
// thread-safe.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "design/multisection_row.hpp"
#include "design/tolerance.hpp"

namespace ketrovane {

// What the band's response comes to, in the order of their columns.
enum class BandOutcome : std::uint8_t {
  coupling_deviation,  // the largest |C(f) - C| over the band, C the profile's coupling
  least_directivity,
  least_return_loss,
};
inline constexpr std::size_t kBandOutcomeCount = 3;

// "coupling_deviation", "least_directivity", "least_return_loss"
std::string_view band_outcome_name(BandOutcome o);

// The frequencies the band's outcomes are taken at: its ends, f0, and
// kBandPointsInside evenly spaced inside, in order, each once.
inline constexpr int kBandPointsInside = 7;
std::vector<float> band_frequencies(float low_mhz, float high_mhz, float f0_mhz);

struct MultisectionToleranceDesign {
  MultisectionCoupler nominal;  // built on a board: each section has its dimensions
  float coupling_db = 0.0F;     // the profile's coupling C, negative
  std::vector<float> band_mhz;  // where the outcomes are taken
  Terminations terminations{50.0F, 50.0F};
  Solver solver = Solver::model;
  // w and s per section; t, b, er and etch shared.  Their half-width,
  // bias, bounds and own law as a single coupler's (no lots, no
  // correlation).
  std::vector<Variation> variations;
  Spread spread = Spread::normal;
  std::uint64_t seed = 0;
};

struct MultisectionToleranceSample {
  // The board's drawn values (indexed by Varied; w and s unused), and each
  // section's drawn W and S, from the source end.
  std::array<float, kVariedCount> board{};
  std::vector<std::array<float, 2>> sections;
  std::array<float, kBandOutcomeCount> outcomes{};  // meaningful when ok
  SampleStatus status = SampleStatus::ok;
};

// The stream of section `section`'s (1 at the source end) dimension `v`
// (w or s): after every stream of a single coupler's samples and lots.
std::uint32_t section_slot(int section, Varied v);

// Sample `index`; with `held`, that quantity at its nominal value in every
// section and every other one as drawn (attribution: one evaluation).
MultisectionToleranceSample multisection_tolerance_sample(const MultisectionToleranceDesign& design,
                                                          std::uint64_t index,
                                                          std::optional<Varied> held = {});

// A limit on an outcome over the band: low <= value <= high, an open side
// infinite (the deviation at most X: -inf to X; the least directivity or
// return loss at least D: D to inf).
struct BandLimit {
  BandOutcome outcome;
  double low;
  double high;
};

// A sample that could be computed and meets every limit.
bool passes(const MultisectionToleranceSample& sample, std::span<const BandLimit> limits);

// The nominal coupler's outcomes.
MultisectionToleranceSample multisection_nominal_sample(const MultisectionToleranceDesign& design);

}  // namespace ketrovane
