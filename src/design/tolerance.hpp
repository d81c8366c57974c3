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

// A varied quantity and its half-width, in its own unit (inches, or none
// for Er), already converted from a percentage.
struct Variation {
  Varied quantity;
  double half_width;
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
};

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

// ---- The draws, on their own for tests ----

// A uniform number in (0, 1), 53 bits, of stream `slot` of sample `index`.
// The second is drawn from the same counter: the pair feeds Box-Muller.
std::array<double, 2> uniform_pair(std::uint64_t seed, std::uint64_t index, std::uint32_t slot);

// Box and Muller's standard normal number from two uniform ones in (0, 1):
// sqrt(-2 ln u1) cos(2 pi u2).
double standard_normal(double u1, double u2);

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
