#include "design/field_analysis.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "design/arrangements.hpp"
#include "field/field_loss.hpp"

namespace ketrovane {

namespace {

// A row on a stack asks for its cross-section's solution twice, for the
// impedances and for what each mode sees of the layers: each thread keeps
// the last one it solved.
field::FieldSolution solved(const StripPair& pair, double tolerance) {
  struct Last {
    StripPair pair;
    double tolerance;
    field::FieldSolution solution;
  };
  thread_local std::optional<Last> last;
  if (last && last->tolerance == tolerance && last->pair == pair) return last->solution;
  const field::FieldResult f = field::solve(field_geometry(pair), {.tolerance = tolerance});
  if (!f.ok()) throw FieldFailure(pair, f.message, RowStatus::no_field_solution);
  last = Last{pair, tolerance, *f.solution};
  return *f.solution;
}

// Central differences in the logarithm of one dimension, on field solutions
// ten times tighter than the step: (x/Z) dZ/dx = d ln Z / d ln x.
constexpr double kLogStep = 1e-3;
constexpr double kDifferenceTolerance = 1e-7;

struct BothModes {
  float even = 0.0F;
  float odd = 0.0F;
};

// `dimension` picks the length a strip pair is stepped in; a dimension of 0
// has no logarithmic slope, and its (x/Z) dZ/dx is 0.
template <class Dimension>
BothModes log_slopes(const StripPair& pair, Dimension dimension) {
  StripPair up = pair;
  StripPair down = pair;
  const float nominal = dimension(up);
  if (nominal == 0.0F) return {};
  dimension(up) = static_cast<float>(nominal * std::exp(kLogStep));
  dimension(down) = static_cast<float>(nominal * std::exp(-kLogStep));
  const double step = std::log(static_cast<double>(dimension(up)) / dimension(down));
  const field::FieldSolution u = solved(up, kDifferenceTolerance);
  const field::FieldSolution d = solved(down, kDifferenceTolerance);
  return {static_cast<float>(std::log(u.even.impedance / d.even.impedance) / step),
          static_cast<float>(std::log(u.odd.impedance / d.odd.impedance) / step)};
}

// What the loss of a cross-section needs of its field: the conductor-loss
// factor and, in a stack, what each mode sees of the dielectrics.
struct LossGeometry {
  field::ConductorLossFactor factor;
  std::optional<field::ModeMedium> even;  // in a stack only
  std::optional<field::ModeMedium> odd;
};

LossGeometry loss_geometry_of(const StripPair& pair) {
  const field::ConductorLossFactorResult r = field::conductor_loss_factor(field_geometry(pair));
  if (!r.ok()) throw FieldFailure(pair, r.message, RowStatus::no_field_loss);
  LossGeometry g{*r.factor, std::nullopt, std::nullopt};
  if (!pair.placement.stack.empty()) {
    const field::FieldSolution f = solved(pair, field::Options{}.tolerance);
    g.even = field::ModeMedium{f.even.effective_permittivity, f.even.loss_tangent};
    g.odd = field::ModeMedium{f.odd.effective_permittivity, f.odd.loss_tangent};
  }
  return g;
}

// The loss factor is the cross-section's alone, while a sweep asks for it
// at every frequency, and a cascade for each of its sections in turn: each
// thread keeps the last few it solved.
constexpr std::size_t kRememberedLossFactors = 16;

const LossGeometry& loss_geometry(const StripPair& pair) {
  using Entry = std::pair<StripPair, LossGeometry>;
  thread_local std::vector<Entry> remembered;
  thread_local std::size_t next_to_replace = 0;
  remembered.reserve(kRememberedLossFactors);  // references handed out stay valid
  for (const Entry& e : remembered) {
    if (e.first == pair) return e.second;
  }
  LossGeometry solved_now = loss_geometry_of(pair);
  if (remembered.size() < kRememberedLossFactors) {
    remembered.emplace_back(pair, solved_now);
    return remembered.back().second;
  }
  Entry& replaced = remembered[next_to_replace];
  next_to_replace = (next_to_replace + 1) % kRememberedLossFactors;
  replaced = Entry{pair, solved_now};
  return replaced.second;
}

float percent_error(float model, float field) {
  return 100.0F * (model / field - 1.0F);
}

}  // namespace

namespace {

// The strips in a stack: B the sum of the layers; side by side, the strips'
// mid-plane t/2 above layer N's upper face; one above the other, layer N
// SV thick (centred, the stack being mirror-symmetric about its mid-plane).
void place_in_stack(field::Geometry& g, const LayerStack& stack) {
  g.stack = stack.layers;
  const auto n = static_cast<std::size_t>(stack.layer);
  if (g.arrangement == Arrangement::broadside) g.stack.layers[n - 1].thickness = g.sv;
  double b = 0.0;
  double below = 0.0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(g.stack.count); ++i) {
    b += g.stack.layers[i].thickness;
    if (i < n) below += g.stack.layers[i].thickness;
  }
  g.b = b;
  if (g.arrangement != Arrangement::broadside) {
    g.arrangement = Arrangement::edge_offset;
    g.h = below + 0.5 * g.t;
  }
}

}  // namespace

field::Geometry field_geometry(const StripPair& pair) {
  const CrossSection& x = pair.x;
  const Placement& p = pair.placement;
  field::Geometry g{.b = x.board.b,
                    .t = x.board.t,
                    .w = x.w,
                    .s = x.s,
                    .er = x.board.er,
                    .arrangement = p.arrangement,
                    .h = p.h,
                    .sv = p.sv,
                    .wo = p.wo};
  if (!p.stack.empty()) place_in_stack(g, p.stack);
  return g;
}

FieldCoupler field_coupler(const StripPair& pair) {
  const field::FieldSolution f = solved(pair, field::Options{}.tolerance);
  return {{static_cast<float>(f.even.impedance), static_cast<float>(f.odd.impedance),
           static_cast<float>(f.zo), static_cast<float>(f.coupling_db), Capacitances{}, false,
           static_cast<float>(f.even.effective_permittivity),
           static_cast<float>(f.odd.effective_permittivity)},
          uncoupled(pair, f.even.impedance, f.odd.impedance,
                    std::max(f.even.error_estimate, f.odd.error_estimate))};
}

CouplerImpedances field_impedances(const StripPair& pair) {
  return field_coupler(pair).impedances;
}

namespace {

// In a stack each mode's dielectric loss is its own medium's.
field::FieldLoss field_loss(const StripPair& pair, const Materials& materials, float f_mhz) {
  const Conductor& c = materials.conductor;
  const LossGeometry& g = loss_geometry(pair);
  const field::LossInputs inputs{
      .frequency_mhz = std::max(0.0, static_cast<double>(f_mhz)),
      .resistivity = std::max(0.0, static_cast<double>(c.resistivity_ohm_inch)),
      .roughness = std::max(0.0, static_cast<double>(c.roughness_inch)),
      .loss_tangent = std::max(0.0, static_cast<double>(materials.loss_tangent))};
  if (g.even && g.odd) return field::loss_from_factor(g.factor, *g.even, *g.odd, inputs, 0.0);
  return field::loss_from_factor(g.factor, pair.x.board.er, inputs, 0.0);
}

}  // namespace

ModeAttenuation field_attenuation(const StripPair& pair, const Materials& materials, float f_mhz) {
  const field::FieldLoss loss = field_loss(pair, materials, f_mhz);
  return {static_cast<float>(loss.even.total), static_cast<float>(loss.odd.total)};
}

LossParts field_loss_parts(const StripPair& pair, const Materials& materials, float f_mhz) {
  const field::FieldLoss loss = field_loss(pair, materials, f_mhz);
  const auto f = [](double v) { return static_cast<float>(v); };
  return {{f(loss.even.conductor), f(loss.odd.conductor)},
          {f(loss.even.dielectric), f(loss.odd.dielectric)}};
}

FieldSensitivities field_sensitivities(const StripPair& pair) {
  const field::FieldSolution nominal = solved(pair, field::Options{}.tolerance);
  const ArrangementSpec& a = arrangement_spec(pair.placement.arrangement);
  const BothModes s = a.has(strip_spacing())
                          ? log_slopes(pair, [](StripPair& p) -> float& { return p.x.s; })
                          : BothModes{};
  const BothModes w = log_slopes(pair, [](StripPair& p) -> float& { return p.x.w; });
  const BothModes t = log_slopes(pair, [](StripPair& p) -> float& { return p.x.board.t; });
  // The dimensions of the placement, and their sum for B.
  PlacementSensitivities placement;
  BothModes others;
  for (const StripDimension* d : a.dimensions) {
    if (!d->of_placement()) continue;
    const BothModes m = log_slopes(pair, [d](StripPair& p) -> float& { return d->in(p); });
    placement.*(d->even_slope) = m.even;
    placement.*(d->odd_slope) = m.odd;
    others.even += m.even;
    others.odd += m.odd;
  }
  // Er exactly, B from Euler's relation: the impedances depend on the
  // lengths' ratios only, so their length sensitivities sum to zero.
  const auto mode = [](float ds, float dt, float dw, float others) {
    return ModeSensitivities{-0.5F, -ds - dt - dw - others, ds, dt, dw};
  };
  const ImpedanceSensitivities impedances{
      static_cast<float>(nominal.even.impedance), static_cast<float>(nominal.odd.impedance),
      mode(s.even, t.even, w.even, others.even), mode(s.odd, t.odd, w.odd, others.odd)};
  return {impedances, placement, static_cast<float>(nominal.even.effective_permittivity),
          static_cast<float>(nominal.odd.effective_permittivity)};
}

FieldComparison compare_with_field(const CrossSection& x, float model_zoe, float model_zoo) {
  FieldCoupler c = field_coupler(x);
  const CouplerImpedances& f = c.impedances;
  return {f.zoe,
          f.zoo,
          f.zo,
          f.coupling_db,
          percent_error(model_zoe, f.zoe),
          percent_error(model_zoo, f.zoo),
          std::move(c.uncoupled)};
}

LossComparison compare_loss_with_field(const CrossSection& x, const Materials& materials,
                                       float f_mhz, const ModeAttenuation& model) {
  const ModeAttenuation f = field_attenuation(x, materials, f_mhz);
  return {f.even_db_per_inch, f.odd_db_per_inch,
          percent_error(model.even_db_per_inch, f.even_db_per_inch),
          percent_error(model.odd_db_per_inch, f.odd_db_per_inch)};
}

}  // namespace ketrovane
