#include "design/tolerance.hpp"

#include <Random123/philox.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>

#include "design/field_analysis.hpp"
#include "design/quarter_wave.hpp"
#include "field/domain.hpp"

namespace ketrovane {

namespace {

constexpr std::size_t kFirstPlacementVaried = static_cast<std::size_t>(Varied::er) + 1;
static_assert(static_cast<std::size_t>(Varied::t) == kSectionDimensionCount,
              "the board's quantities after the dimensions of the cross-section");

constexpr std::array<std::string_view, kOutcomeCount> kOutcomeNames = {
    "zoe", "zoo", "zo", "coupling", "coupling_f0", "return_loss", "isolation", "directivity"};

// 53 random bits of two 32-bit words as a number strictly inside (0, 1).
double unit_interval(std::uint32_t high, std::uint32_t low) {
  const std::uint64_t bits = ((static_cast<std::uint64_t>(high) << 32U) | low) >> 11U;
  return (static_cast<double>(bits) + 0.5) * 0x1p-53;
}

// The drawn offset from nominal of a quantity of half-width `half_width`.
double drawn_offset(Spread spread, double half_width, const std::array<double, 2>& u) {
  if (spread == Spread::uniform) return half_width * (2.0 * u[0] - 1.0);
  return half_width / 3.0 * standard_normal(u[0], u[1]);
}

float& input(std::array<float, kVariedCount>& inputs, Varied v) {
  return inputs.at(static_cast<std::size_t>(v));
}

LayerInputs nominal_layer_inputs(const StripPair& pair) {
  LayerInputs inputs{};
  const field::Stack& stack = pair.placement.stack.layers;
  for (int n = 1; n <= stack.count; ++n) {
    const field::DielectricLayer& layer = stack.layers.at(static_cast<std::size_t>(n - 1));
    inputs.at(layer_input_index(n, false)) = static_cast<float>(layer.er);
    inputs.at(layer_input_index(n, true)) = static_cast<float>(layer.thickness);
  }
  return inputs;
}

// The drawn layers of a stack: B their sum, and one above the other SV the
// core's thickness.
void draw_layers(StripPair& pair, const LayerInputs& inputs) {
  LayerStack& stack = pair.placement.stack;
  double b = 0.0;
  for (int n = 1; n <= stack.layers.count; ++n) {
    field::DielectricLayer& layer = stack.layers.layers.at(static_cast<std::size_t>(n - 1));
    layer.er = inputs.at(layer_input_index(n, false));
    layer.thickness = inputs.at(layer_input_index(n, true));
    b += layer.thickness;
  }
  pair.x.board.b = static_cast<float>(b);  // what a sample's b shows
  if (pair.placement.arrangement == Arrangement::broadside) {
    pair.placement.sv = inputs.at(layer_input_index(stack.layer, true));
  }
}

bool physical_layers(const LayerStack& stack) {
  bool ok = true;
  for (const field::DielectricLayer& layer : stack.layers.view()) {
    ok = ok && layer.thickness > 0.0 && layer.er >= 1.0;
  }
  return ok;
}

std::array<float, kVariedCount> nominal_inputs(const StripPair& pair) {
  std::array<float, kVariedCount> inputs{};
  for (const StripDimension* d : dimensions()) input(inputs, varied_of(*d)) = d->of(pair);
  const Board& board = pair.x.board;
  input(inputs, Varied::t) = board.t;
  input(inputs, Varied::b) = board.b;
  input(inputs, Varied::er) = board.er;
  return inputs;
}

bool side_by_side(const StripPair& pair) {
  return has_dimension(pair, strip_spacing());
}

// The strip pair the drawn values make: the etch bias widens each strip by
// twice the bias and narrows the gap by as much.
StripPair drawn_pair(const StripPair& nominal, const std::array<float, kVariedCount>& v,
                     const LayerInputs& layers) {
  const auto at = [&v](Varied q) { return v.at(static_cast<std::size_t>(q)); };
  const float etch = at(Varied::etch);
  StripPair pair = nominal;
  pair.x.board = {at(Varied::b), at(Varied::t), at(Varied::er)};
  pair.x.w = at(Varied::w) + 2.0F * etch;
  pair.x.s = side_by_side(nominal) ? at(Varied::s) - 2.0F * etch : nominal.x.s;
  for (const StripDimension* d : dimensions()) {
    if (!d->of_placement()) continue;
    const float drawn = at(varied_of(*d));
    d->in(pair) = d->sign_mirrors ? std::fabs(drawn) : drawn;  // a mirror image is the same coupler
  }
  if (!nominal.placement.stack.empty()) draw_layers(pair, layers);
  return pair;
}

bool physical(const StripPair& pair) {
  const Board& board = pair.x.board;
  bool ok = board.b > 0.0F && board.t >= 0.0F && board.er >= 1.0F;
  for (const StripDimension* d : arrangement_spec(pair.placement.arrangement).dimensions) {
    if (!d->sign_mirrors) ok = ok && d->of(pair) > 0.0F;
  }
  return ok && physical_layers(pair.placement.stack);
}

bool finite(const CouplerImpedances& z) {
  return std::isfinite(z.zoe) && std::isfinite(z.zoo) && std::isfinite(z.zo) &&
         std::isfinite(z.coupling_db);
}

// The response at f0 of the drawn coupler, whose length the artwork fixes
// at a quarter wave in the nominal dielectric.
void respond_at_f0(const ToleranceDesign& d, const StripPair& pair, ToleranceSample& sample) {
  const ResponseAtF0& r = *d.at_f0;
  const float length = r.length_inch.value_or(quarter_wave_length(r.f0_mhz, d.nominal.x.board.er));
  const ResponseCoupler coupler = coupler_of_dimensions(pair, r.materials, length, d.solver);
  const ResponseRow row = response_row(coupler, r.f0_mhz, r.terminations);
  if (is_failure(row.status)) {
    sample.status =
        d.solver == Solver::field ? SampleStatus::field_failed : SampleStatus::model_failed;
    return;
  }
  const FourPortResponse& f = row.response;
  auto& o = sample.outcomes;
  o.at(static_cast<std::size_t>(Outcome::coupling_f0)) = f.amplitude_db[Port::coupled];
  o.at(static_cast<std::size_t>(Outcome::return_loss)) = return_loss_db(f);
  o.at(static_cast<std::size_t>(Outcome::isolation)) = -f.amplitude_db[Port::isolated];
  o.at(static_cast<std::size_t>(Outcome::directivity)) = directivity_db(f);
}

// The outcomes of the strip pair the drawn values make.
void evaluate(const ToleranceDesign& d, ToleranceSample& sample) {
  const StripPair pair = drawn_pair(d.nominal, sample.inputs, sample.layer_inputs);
  if (!physical(pair)) {
    sample.status = SampleStatus::not_positive;
    return;
  }
  const bool on_the_field = d.solver == Solver::field || !pair.placement.is_edge();
  if (on_the_field && field::geometry_error(field_geometry(pair))) {
    sample.status = SampleStatus::strips_touch;
    return;
  }
  try {
    const FieldCoupler f = on_the_field ? field_coupler(pair) : FieldCoupler{};
    const CouplerImpedances z = on_the_field ? f.impedances : model_impedances(pair.x);
    if (f.uncoupled || !finite(z)) {
      // Strips the field cannot resolve the coupling of fail on the field.
      sample.status = on_the_field ? SampleStatus::field_failed : SampleStatus::model_failed;
      return;
    }
    sample.outcomes = {z.zoe, z.zoo, z.zo, z.coupling_db, 0.0F, 0.0F, 0.0F, 0.0F};
    if (d.at_f0) respond_at_f0(d, pair, sample);
  } catch (const FieldFailure&) {
    sample.status = SampleStatus::field_failed;
  }
}

}  // namespace

std::string_view varied_name(Varied v) {
  if (const StripDimension* d = dimension_varied(v)) return d->name;
  switch (v) {
    case Varied::t:
      return "t";
    case Varied::b:
      return "b";
    case Varied::er:
      return "er";
    case Varied::etch:
      return "etch";
    default:
      break;
  }
  throw std::logic_error("no varied quantity " + std::to_string(static_cast<int>(v)));
}

Varied varied_of(const StripDimension& d) {
  const std::size_t i = dimension_index(d);
  return static_cast<Varied>(d.of_placement() ? kFirstPlacementVaried + i - kSectionDimensionCount
                                              : i);
}

const StripDimension* dimension_varied(Varied v) {
  const auto i = static_cast<std::size_t>(v);
  if (i < kSectionDimensionCount) return dimensions()[i];
  if (i >= kFirstPlacementVaried && v < Varied::etch) {
    return dimensions()[kSectionDimensionCount + i - kFirstPlacementVaried];
  }
  return nullptr;
}

std::size_t layer_input_index(int layer, bool thickness) {
  return 2 * static_cast<std::size_t>(layer - 1) + (thickness ? 1U : 0U);
}

std::string_view outcome_name(Outcome o) {
  return kOutcomeNames.at(static_cast<std::size_t>(o));
}

std::string_view sample_status_name(SampleStatus s) {
  switch (s) {
    case SampleStatus::ok:
      return "ok";
    case SampleStatus::not_positive:
      return "not_positive";
    case SampleStatus::model_failed:
      return "model_failed";
    case SampleStatus::field_failed:
      return "field_failed";
    case SampleStatus::strips_touch:
      return "strips_touch";
  }
  return "ok";
}

std::array<double, 2> uniform_pair(std::uint64_t seed, std::uint64_t index, std::uint32_t slot) {
  const r123::Philox4x32 generator;
  const r123::Philox4x32::ctr_type counter = {
      {slot, 0U, static_cast<std::uint32_t>(index), static_cast<std::uint32_t>(index >> 32U)}};
  const r123::Philox4x32::key_type key = {
      {static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32U)}};
  const r123::Philox4x32::ctr_type words = generator(counter, key);
  return {unit_interval(words[0], words[1]), unit_interval(words[2], words[3])};
}

double standard_normal(double u1, double u2) {
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

double share_at_or_below(Spread spread, double nominal, double half_width, double floor) {
  const double distance = nominal - floor;
  if (half_width <= 0.0) return distance <= 0.0 ? 1.0 : 0.0;
  if (spread == Spread::uniform) {
    return std::clamp((half_width - distance) / (2.0 * half_width), 0.0, 1.0);
  }
  const double sigma = half_width / 3.0;
  return 0.5 * std::erfc(distance / (sigma * std::numbers::sqrt2));
}

namespace {

// The share of a sum of uniform draws over [-a, a] and [-c, c] at or above
// `distance`: a trapezoidal density, flat over |z| <= |a - c|, falling
// linearly to 0 at a + c.
double uniform_sum_tail(double a, double c, double distance) {
  if (a < c) std::swap(a, c);
  if (distance < 0.0) return 1.0 - uniform_sum_tail(a, c, -distance);
  if (distance >= a + c) return 0.0;
  if (c == 0.0) return (a - distance) / (2.0 * a);
  if (distance <= a - c) return (a - distance) / (2.0 * a);
  const double beyond = a + c - distance;
  return beyond * beyond / (8.0 * a * c);
}

// The share of a uniform draw over [-a, a] plus a normal one of standard
// deviation sigma at or below -distance: the mean over the uniform's width
// of the normal law, whose integral is x Phi(x / sigma) + sigma phi(x / sigma).
double uniform_normal_share(double a, double sigma, double distance) {
  const auto integral = [sigma](double x) {
    const double z = x / sigma;
    return x * 0.5 * std::erfc(-z / std::numbers::sqrt2) +
           sigma * std::exp(-0.5 * z * z) / std::sqrt(2.0 * std::numbers::pi);
  };
  return (integral(a - distance) - integral(-a - distance)) / (2.0 * a);
}

}  // namespace

double share_of_sum_at_or_below(double nominal, std::array<SpreadTerm, 2> terms, double floor) {
  auto [first, second] = terms;
  if (second.half_width <= 0.0)
    return share_at_or_below(first.spread, nominal, first.half_width, floor);
  if (first.half_width <= 0.0)
    return share_at_or_below(second.spread, nominal, second.half_width, floor);
  const double distance = nominal - floor;
  if (first.spread == second.spread) {
    if (first.spread == Spread::normal) {
      return share_at_or_below(Spread::normal, nominal,
                               std::hypot(first.half_width, second.half_width), floor);
    }
    return uniform_sum_tail(first.half_width, second.half_width, distance);
  }
  if (first.spread == Spread::normal) std::swap(first, second);
  return std::clamp(uniform_normal_share(first.half_width, second.half_width / 3.0, distance), 0.0,
                    1.0);
}

ToleranceSample tolerance_sample(const ToleranceDesign& design, std::uint64_t index) {
  ToleranceSample sample;
  sample.inputs = nominal_inputs(design.nominal);
  for (const Variation& v : design.variations) {
    const auto slot = static_cast<std::uint32_t>(v.quantity);
    const double offset =
        drawn_offset(design.spread, v.half_width, uniform_pair(design.seed, index, slot));
    float& value = input(sample.inputs, v.quantity);
    value = static_cast<float>(static_cast<double>(value) + offset);
  }
  sample.layer_inputs = nominal_layer_inputs(design.nominal);
  for (const LayerVariation& v : design.layer_variations) {
    const std::size_t at = layer_input_index(v.layer, v.thickness);
    const auto slot = static_cast<std::uint32_t>(kVariedCount + at);
    const double offset =
        drawn_offset(design.spread, v.half_width, uniform_pair(design.seed, index, slot));
    float& value = sample.layer_inputs.at(at);
    value = static_cast<float>(static_cast<double>(value) + offset);
  }
  if (!design.layer_variations.empty()) {
    input(sample.inputs, Varied::b) =
        drawn_pair(design.nominal, sample.inputs, sample.layer_inputs).x.board.b;
  }
  evaluate(design, sample);
  return sample;
}

ToleranceSample nominal_sample(const ToleranceDesign& design) {
  ToleranceSample sample;
  sample.inputs = nominal_inputs(design.nominal);
  sample.layer_inputs = nominal_layer_inputs(design.nominal);
  evaluate(design, sample);
  return sample;
}

}  // namespace ketrovane
