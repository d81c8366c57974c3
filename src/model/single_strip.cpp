// Wheeler's incremental-inductance rule on the single strip's closed form
// (single_strip.hpp), with the coupled model's finite differences: each
// dimension stepped up by 0.1 % over the air-filled impedance.
#include "model/single_strip.hpp"

#include <cmath>

#include "common/constants.hpp"
#include "model/loss_formulas.hpp"

namespace ketrovane {
namespace {

constexpr float kEta = kFreeSpaceImpedance;
constexpr float kStep = 1.001F;

// The air-filled impedance and its receding slope, ohms per inch:
// -(1 + t/b) dZ/dt - (1 + w/b) dZ/dw, b eliminated as Z depends on ratios.
struct StripWheeler {
  float air_zo;
  float receding_slope;
};

StripWheeler strip_wheeler(const Board& board, float w) {
  Board air = board;
  air.er = 1.0F;
  const float nominal = strip_impedance(air, w).zo;
  float dzdt = 0.0F;
  if (board.t != 0.0F) {  // a sheet has no thickness term
    Board thicker = air;
    thicker.t = board.t * kStep;
    dzdt = (strip_impedance(thicker, w).zo - nominal) / (thicker.t - board.t);
  }
  const float wider = w * kStep;
  const float dzdw = (strip_impedance(air, wider).zo - nominal) / (wider - w);
  const float weight_t = 1.0F + board.t / board.b;
  const float weight_w = 1.0F + w / board.b;
  return {nominal, -weight_t * dzdt - weight_w * dzdw};
}

}  // namespace

StripAttenuation strip_attenuation(const Board& board, float w, const Conductor& conductor,
                                   float loss_tangent, float f_mhz) {
  if (f_mhz <= 0.0F) return {0.0F, 0.0F, 0.0F};
  float conductor_part = 0.0F;
  const float resistivity = conductor.resistivity_ohm_inch;
  if (!(resistivity <= 0.0F)) {
    float rs = surface_resistance(f_mhz, resistivity);
    if (conductor.roughness_inch > 0.0F)
      rs = rs * roughness_factor(f_mhz, resistivity, conductor.roughness_inch);
    const StripWheeler wheeler = strip_wheeler(board, w);
    conductor_part =
        (std::sqrt(board.er) * rs * kDbPerNeper / (wheeler.air_zo * kEta)) * wheeler.receding_slope;
  }
  const float dielectric_part = dielectric_loss(board.er, f_mhz, loss_tangent);
  return {conductor_part, dielectric_part, conductor_part + dielectric_part};
}

}  // namespace ketrovane
