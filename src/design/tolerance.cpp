#include "design/tolerance.hpp"

#include <Random123/philox.h>
#include <Eigen/Cholesky>
#include <Eigen/Core>

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

// A variation drawn as before quantities had laws, biases and lots of
// their own: the same numbers as then.
bool plain(const Variation& v) {
  return v.bias == 0.0 && !v.below && !v.law && v.lot_half_width == 0.0;
}

// The lot's share of a quantity comes from streams after every sample's.
constexpr std::uint32_t kFirstLotSlot = 0x100;
static_assert(kFirstLotSlot >= kVariedCount + 2 * static_cast<std::size_t>(field::kMostLayers),
              "the lots' streams after every sample's, the layers' included");

// The offset of a variation with a law, bias or lot of its own.
double own_offset(const ToleranceDesign& d, const Variation& v, std::uint64_t index,
                  std::optional<double> z) {
  const auto slot = static_cast<std::uint32_t>(v.quantity);
  const Law law = v.law.value_or(Law{d.spread, 0.0});
  double offset = v.bias + law_offset(law, v.half_width, v.below.value_or(v.half_width),
                                      uniform_pair(d.seed, index, slot), z);
  if (d.lot_size > 0 && v.lot_half_width > 0.0) {
    const std::array<double, 2> lot =
        uniform_pair(d.seed, index / d.lot_size, kFirstLotSlot + slot);
    offset += law_offset(law, v.lot_half_width, v.lot_half_width, lot, std::nullopt);
  }
  return offset;
}

// The correlated quantities' standard normal numbers of sample `index`,
// mixed by the Cholesky factor, in the order of design.correlated.
std::vector<double> correlated_normals(const ToleranceDesign& d, std::uint64_t index) {
  const std::size_t n = d.correlated.size();
  std::vector<double> own(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::array<double, 2> u =
        uniform_pair(d.seed, index, static_cast<std::uint32_t>(d.correlated[i]));
    own[i] = standard_normal(u[0], u[1]);
  }
  std::vector<double> mixed(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j <= i; ++j) mixed[i] += d.cholesky.at(i * n + j) * own[j];
  }
  return mixed;
}

std::optional<double> correlated_normal(const ToleranceDesign& d, const std::vector<double>& mixed,
                                        Varied q) {
  const auto it = std::ranges::find(d.correlated, q);
  if (it == d.correlated.end()) return std::nullopt;
  return mixed.at(static_cast<std::size_t>(it - d.correlated.begin()));
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

double normal_cdf(double z) {
  return 0.5 * std::erfc(-z / std::numbers::sqrt2);
}

// Acklam's rational approximation, refined by one step of Halley's method
// on the complementary error function: close to the double's precision.
double normal_quantile(double p) {
  constexpr std::array<double, 6> a = {-3.969683028665376e+01, 2.209460984245205e+02,
                                       -2.759285104469687e+02, 1.383577518672690e+02,
                                       -3.066479806614716e+01, 2.506628277459239e+00};
  constexpr std::array<double, 5> b = {-5.447609879822406e+01, 1.615858368580409e+02,
                                       -1.556989798598866e+02, 6.680131188771972e+01,
                                       -1.328068155288572e+01};
  constexpr std::array<double, 6> c = {-7.784894002430293e-03, -3.223964580411365e-01,
                                       -2.400758277161838e+00, -2.549732539343734e+00,
                                       4.374664141464968e+00,  2.938163982698783e+00};
  constexpr std::array<double, 4> d = {7.784695709041462e-03, 3.224671290700398e-01,
                                       2.445134137142996e+00, 3.754408661907416e+00};
  constexpr double kLow = 0.02425;
  double x = 0.0;
  if (p < kLow || p > 1.0 - kLow) {
    const double q = std::sqrt(-2.0 * std::log(p < kLow ? p : 1.0 - p));
    x = (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
        ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
    if (p > 1.0 - kLow) x = -x;
  } else {
    const double q = p - 0.5;
    const double r = q * q;
    x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
        (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1.0);
  }
  const double e = normal_cdf(x) - p;
  const double u = e * std::sqrt(2.0 * std::numbers::pi) * std::exp(x * x / 2.0);
  return x - u / (1.0 + x * u / 2.0);
}

double law_offset(const Law& law, double above, double below, const std::array<double, 2>& u,
                  std::optional<double> z) {
  if (law.spread == Spread::uniform || law.truncation > 0.0) {
    const double u0 = z ? normal_cdf(*z) : u[0];
    if (law.spread == Spread::uniform) {
      return above == below ? above * (2.0 * u0 - 1.0) : -below + (above + below) * u0;
    }
    const double k = law.truncation;
    const double low = normal_cdf(-k);
    const double t = std::clamp(normal_quantile(low + u0 * (normal_cdf(k) - low)), -k, k);
    return t * (t >= 0.0 ? above : below) / k;
  }
  const double n = z ? *z : standard_normal(u[0], u[1]);
  return n * (n >= 0.0 ? above : below) / 3.0;
}

std::string correlation_factor(ToleranceDesign& design) {
  std::vector<Varied> q;
  for (const Correlation& c : design.correlations) {
    for (const Varied v : {c.first, c.second}) {
      if (std::ranges::find(q, v) == q.end()) q.push_back(v);
    }
  }
  const auto n = static_cast<Eigen::Index>(q.size());
  Eigen::MatrixXd m = Eigen::MatrixXd::Identity(n, n);
  const auto at = [&q](Varied v) { return std::ranges::find(q, v) - q.begin(); };
  std::string pairs;
  for (const Correlation& c : design.correlations) {
    m(at(c.first), at(c.second)) = c.coefficient;
    m(at(c.second), at(c.first)) = c.coefficient;
    pairs += (pairs.empty() ? "" : " and ") + std::string(varied_name(c.first)) + "," +
             std::string(varied_name(c.second));
  }
  const Eigen::LLT<Eigen::MatrixXd> llt(m);
  const Eigen::MatrixXd l = llt.matrixL();
  // A pivot at or below zero, or one so small that rounding decides it.
  if (llt.info() != Eigen::Success || (n > 0 && l.diagonal().minCoeff() < 1e-6)) return pairs;
  design.correlated = q;
  design.cholesky.clear();
  for (Eigen::Index i = 0; i < n; ++i) {
    for (Eigen::Index j = 0; j < n; ++j) design.cholesky.push_back(l(i, j));
  }
  return "";
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
  const std::vector<double> mixed = correlated_normals(design, index);
  for (const Variation& v : design.variations) {
    const auto slot = static_cast<std::uint32_t>(v.quantity);
    const auto z = correlated_normal(design, mixed, v.quantity);
    float& value = input(sample.inputs, v.quantity);
    if (plain(v) && !z) {  // the draws of runs without a quantity's own law, bias or lot
      const double offset =
          drawn_offset(design.spread, v.half_width, uniform_pair(design.seed, index, slot));
      value = static_cast<float>(static_cast<double>(value) + offset);
      continue;
    }
    value = static_cast<float>(static_cast<double>(value) + own_offset(design, v, index, z));
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

std::size_t varied_input_count(const ToleranceDesign& design) {
  return design.variations.size() + design.layer_variations.size();
}

std::string varied_input_name(const ToleranceDesign& design, std::size_t k) {
  if (k < design.variations.size()) return std::string(varied_name(design.variations[k].quantity));
  const LayerVariation& l = design.layer_variations.at(k - design.variations.size());
  return (l.thickness ? "d" : "er") + std::to_string(l.layer);
}

ToleranceSample held_sample(const ToleranceDesign& design, const ToleranceSample& drawn,
                            std::size_t k) {
  ToleranceSample sample;
  sample.inputs = drawn.inputs;
  sample.layer_inputs = drawn.layer_inputs;
  if (k < design.variations.size()) {
    const Varied q = design.variations[k].quantity;
    const auto at = static_cast<std::size_t>(q);
    sample.inputs.at(at) = nominal_inputs(design.nominal).at(at);
  } else {
    const LayerVariation& l = design.layer_variations.at(k - design.variations.size());
    const std::size_t at = layer_input_index(l.layer, l.thickness);
    sample.layer_inputs.at(at) = nominal_layer_inputs(design.nominal).at(at);
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
