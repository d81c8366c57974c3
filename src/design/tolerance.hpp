// Tolerance analysis of one coupler: Monte Carlo samples of its
// cross-section as the board shop makes it, each the coupler's impedances
// and coupling (and, at f0, its response) for dimensions and permittivity
// drawn about their nominal values.
//
// Sample i is a function of the seed and i alone.  Each varied quantity has
// its own stream: the counter-based generator Philox4x32-10 keyed by the
// seed, its counter the quantity's slot and the sample's index, gives two
// uniform numbers, and Box and Muller's transform of them a normal one.  So
// the samples do not depend on how many threads compute them, in what order
// or in what slices, nor on which other quantities vary.
//
// Lengths in inches, frequencies in MHz, impedances in ohms, coupling and
// loss in dB.  No input or output, no state; thread-safe.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "design/arrangements.hpp"
#include "design/row_kernel.hpp"

namespace ketrovane {

// What may vary, in the order of their streams and columns: the dimensions
// of the model's cross-section (w, s), the board's t, b and er, the
// dimensions of the placement in the order of dimensions() (h, sv, wo) and
// the etch bias.  A new dimension of the placement takes the stream before
// the etch's, which moves the etch's draws.  The etch bias moves each strip
// edge: W grows by twice the bias and S shrinks by as much.
enum class Varied : std::uint8_t {
  w,
  s,
  t,
  b,
  er,
  etch = er + 1 + kPlacementDimensionCount,
};
inline constexpr std::size_t kVariedCount = static_cast<std::size_t>(Varied::etch) + 1;

// "w", "s", "t", "b", "er", "h", "sv", "wo", "etch": a dimension's name.
std::string_view varied_name(Varied v);

// The quantity a dimension of a strip pair is varied as (the one of its
// name), and the dimension a quantity is, if it is one.
Varied varied_of(const StripDimension& d);
const StripDimension* dimension_varied(Varied v);

// How a quantity spreads about its nominal value within its half-width X:
// uniformly over [-X, X], or normally with X three standard deviations.
enum class Spread : std::uint8_t { normal, uniform };

// A quantity's own law: uniform, or normal with the half-width X three
// standard deviations and no bound (0.27 % of the draws lie past X), or
// with `truncation` k > 0 normal with X k standard deviations and no draw
// past X.  A truncated draw is the inverse normal distribution of a
// uniform number restricted to (-k, k): one draw whatever k, so sample i
// stays a function of the seed and i.
struct Law {
  Spread spread = Spread::normal;
  double truncation = 0.0;
};

// A varied quantity and its half-width, in its own unit (inches, or none
// for Er), already converted from a percentage.  Beyond the plain form
// (the design's law, symmetric about the nominal value):
//  - bias: the nominal value moved by it before the draw;
//  - below: the reach below the nominal value, when it differs from the
//    half-width above it (a normal draw takes X/3 as its standard
//    deviation on each side, a uniform one draws within [-below, X]);
//  - law: its own law instead of the design's;
//  - lot_half_width: a share drawn once per lot of consecutive samples
//    (ToleranceDesign::lot_size), with the same law, added to the draw.
struct Variation {
  Varied quantity;
  double half_width;
  double bias = 0.0;
  std::optional<double> below = std::nullopt;
  std::optional<Law> law = std::nullopt;
  double lot_half_width = 0.0;
};

// Two varied quantities whose draws are correlated by `coefficient`: their
// standard normal numbers are mixed by the Cholesky factor of the
// correlation matrix (a uniform or truncated law takes the mixed number
// through the normal distribution).
struct Correlation {
  Varied first;
  Varied second;
  double coefficient;
};

// A layer of a stack varied: its permittivity (erN) or its thickness (dN),
// the half-width in its own unit (none, or inches).  Each has a stream of
// its own after those of the Varied quantities.
struct LayerVariation {
  int layer;  // 1 for the bottom layer
  bool thickness;
  double half_width;
};

// The drawn values of a stack's layers: Er and thickness of layer N at
// 2 (N - 1) and 2 (N - 1) + 1.
using LayerInputs = std::array<float, 2 * static_cast<std::size_t>(field::kMostLayers)>;
std::size_t layer_input_index(int layer, bool thickness);

// The response of each sample at f0, on a coupler a quarter wave long at f0
// in the nominal dielectric (on a stack: at the mean of the nominal modes'
// phase velocities, length_inch).
struct ResponseAtF0 {
  float f0_mhz;
  Terminations terminations;
  Materials materials;
  std::optional<float> length_inch;  // on a stack of layers
};

// What a sample computes, in the order of its columns.  The coupling is
// negative as in every table; return loss, isolation and directivity are
// positive.
enum class Outcome : std::uint8_t {
  zoe,
  zoo,
  zo,
  coupling,
  coupling_f0,
  return_loss,
  isolation,
  directivity
};
inline constexpr std::size_t kOutcomeCount = 8;
// The outcomes without a response at f0.
inline constexpr std::size_t kImpedanceOutcomes = 4;

// "zoe", "zoo", "zo", "coupling", "coupling_f0", "return_loss", "isolation",
// "directivity"
std::string_view outcome_name(Outcome o);

struct ToleranceDesign {
  StripPair nominal{CrossSection{}};
  Solver solver = Solver::model;  // model (side by side and centred only) or field
  std::vector<Variation> variations;
  std::vector<LayerVariation> layer_variations;  // on a stack of layers
  Spread spread = Spread::normal;
  std::uint64_t seed = 0;
  std::optional<ResponseAtF0> at_f0;
  std::vector<Correlation> correlations;
  // The lower Cholesky factor of the correlated quantities' correlation
  // matrix, row by row, and those quantities in its order; made by
  // correlation_factor.
  std::vector<Varied> correlated;
  std::vector<double> cholesky;
  std::uint64_t lot_size = 0;  // samples per lot; 0 without lots
};

// The pairs of quantities whose correlations make the matrix not positive
// definite ("b,er and b,w"), or empty when it is and design.correlated and
// design.cholesky hold its factor.
std::string correlation_factor(ToleranceDesign& design);

// Why a sample has no outcomes.
enum class SampleStatus : std::uint8_t {
  ok,
  not_positive,  // a drawn length not above zero, or Er below 1
  model_failed,  // the model's numbers are not finite
  field_failed,  // the field solver did not converge on the drawn cross-section
  strips_touch,  // strips one above the other meet, or one leaves the planes
};

// "ok", "not_positive", "model_failed", "field_failed", "strips_touch"
std::string_view sample_status_name(SampleStatus s);

struct ToleranceSample {
  // The drawn values, indexed by Varied; the etch bias is 0 when it does
  // not vary.  The values of the quantities that do not vary are nominal.
  std::array<float, kVariedCount> inputs{};
  LayerInputs layer_inputs{};                   // on a stack: each layer's, drawn or nominal
  std::array<float, kOutcomeCount> outcomes{};  // meaningful when ok
  SampleStatus status = SampleStatus::ok;
};

// The drawn values of sample `index` and what they make.
ToleranceSample tolerance_sample(const ToleranceDesign& design, std::uint64_t index);

// The nominal design's outcomes (status ok unless the nominal itself fails).
ToleranceSample nominal_sample(const ToleranceDesign& design);

// ---- Attribution: a sample again with one input held at its nominal value ----

// The varied inputs of a design, numbered 0 ..: its variations in their
// order, then its layers'.
std::size_t varied_input_count(const ToleranceDesign& design);

// "w", "etch", "er2", "d1": the name of varied input `k`.
std::string varied_input_name(const ToleranceDesign& design, std::size_t k);

// `drawn`, the sample `tolerance_sample` gave, again with varied input `k`
// at its nominal value and every other input as drawn: one evaluation.  Its
// outcomes are those of the same sample of the design without that
// variation, bit for bit, since each input has its own stream.
ToleranceSample held_sample(const ToleranceDesign& design, const ToleranceSample& drawn,
                            std::size_t k);

// ---- The draws, on their own for tests ----

// A uniform number in (0, 1), 53 bits, of stream `slot` of sample `index`.
// The second is drawn from the same counter: the pair feeds Box-Muller.
std::array<double, 2> uniform_pair(std::uint64_t seed, std::uint64_t index, std::uint32_t slot);

// Box and Muller's standard normal number from two uniform ones in (0, 1):
// sqrt(-2 ln u1) cos(2 pi u2).
double standard_normal(double u1, double u2);

// The standard normal distribution and its inverse (p in (0, 1)).
double normal_cdf(double z);
double normal_quantile(double p);

// The offset from the nominal value of a draw of `v` under `law` from the
// uniform pair `u`; `z`, when given, is the (correlated) standard normal
// number to use instead of the pair's own.
double law_offset(const Law& law, double above, double below, const std::array<double, 2>& u,
                  std::optional<double> z);

// The share of samples, under `spread`, with a value at or below `floor`
// for a quantity of nominal value `nominal` varied by the half-width
// `half_width`.
double share_at_or_below(Spread spread, double nominal, double half_width, double floor);

// A draw of its own spread and half-width, one of the terms of a sum.
struct SpreadTerm {
  Spread spread;
  double half_width;
};

// The share of samples at or below `floor` of a value whose offset from
// `nominal` is the sum of two independent draws (a dimension's own and its
// etch's): two uniform ones sum to a trapezoidal law, two normal ones to a
// normal one of the standard deviations in quadrature, and a uniform and a
// normal one to their convolution, the normal law averaged over the
// uniform's width (closed form).
double share_of_sum_at_or_below(double nominal, std::array<SpreadTerm, 2> terms, double floor);

}  // namespace ketrovane
