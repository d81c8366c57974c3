#include "accuracy_sampling.hpp"

#include <algorithm>
#include <cmath>

#include "field/field_loss.hpp"
#include "field/field_solver.hpp"
#include "model/loss.hpp"
#include "model/mode_impedances.hpp"

namespace ketrovane::tools {
namespace {

double three_digits(double x) {
  const double scale = std::pow(10.0, 2 - static_cast<int>(std::floor(std::log10(x))));
  return std::round(x * scale) / scale;
}

std::vector<double> log_spaced(double first, double last, int count) {
  std::vector<double> axis;
  axis.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    axis.push_back(
        three_digits(first * std::pow(last / first, static_cast<double>(i) / (count - 1))));
  return axis;
}

// The single-precision model's cross-section of a field geometry.
CrossSection model_section(const field::Geometry& g) {
  return {.board = {.b = static_cast<float>(g.b),
                    .t = static_cast<float>(g.t),
                    .er = static_cast<float>(g.er)},
          .w = static_cast<float>(g.w),
          .s = static_cast<float>(g.s)};
}

double coupling_db(double zoe, double zoo) {
  return 20.0 * std::log10((zoe - zoo) / (zoe + zoo));
}

}  // namespace

Grid report_grid() {
  return {{0.0, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2},
          log_spaced(0.1, 3.0, 18),
          log_spaced(0.01, 2.0, 18)};
}

Grid table_grid() {
  return {{0.0, 0.001, 0.0025, 0.005, 0.0075, 0.01, 0.015, 0.02, 0.025, 0.03, 0.04, 0.05, 0.075,
           0.1, 0.15, 0.2},
          log_spaced(0.1, 3.0, 30),
          log_spaced(0.01, 2.0, 30)};
}

double Sample::worst_error() const {
  return std::max(std::abs(zoe_error()), std::abs(zoo_error()));
}

double ConductorLosses::worst_error() const {
  return std::max(std::abs(even_error()), std::abs(odd_error()));
}

double Sample::worst_loss_error() const {
  return std::max(loss.worst_error(), loss_thinner.worst_error());
}

LossOutcome conductor_losses(const field::Geometry& inches, double f_mhz) {
  const field::ConductorLossFactorResult r = field::conductor_loss_factor(inches, kFieldOptions);
  if (!r.ok()) return {std::nullopt, "conductor loss: " + r.message};
  const field::FieldLoss f =
      field::loss_from_factor(*r.factor, inches.er, {f_mhz, kCopper, 0.0, 0.0}, r.error_estimate);
  const ModeAttenuation m = mode_attenuation(
      model_section(inches), {static_cast<float>(kCopper), 0.0F}, 0.0F, static_cast<float>(f_mhz));
  return {ConductorLosses{f.even.conductor, f.odd.conductor, r.error_estimate, m.even_db_per_inch,
                          m.odd_db_per_inch},
          ""};
}

SampleOutcome sample_at(double t, double w, double s) {
  const field::Geometry g{kB, t * kB, w * kB, s * kB, kEr};
  const field::FieldResult f = field::solve(g, kFieldOptions);
  if (!f.ok()) return {std::nullopt, f.message};
  const LossOutcome loss = conductor_losses(g, kLossFrequencyMhz);
  if (!loss.losses) return {std::nullopt, loss.failure};
  field::Geometry thinner = g;
  thinner.t *= 1.0 - kThinnerByLoss;
  const LossOutcome loss_thinner = t == 0.0 ? loss : conductor_losses(thinner, kLossFrequencyMhz);
  if (!loss_thinner.losses) return {std::nullopt, loss_thinner.failure};
  const ModeImpedances m = mode_impedances(model_section(g));
  const field::FieldSolution& fs = *f.solution;
  return {Sample{t, w, s, fs.even.impedance, fs.odd.impedance, fs.coupling_db, f.error_estimate,
                 m.zoe, m.zoo, coupling_db(m.zoe, m.zoo), *loss.losses, *loss_thinner.losses},
          ""};
}

}  // namespace ketrovane::tools
