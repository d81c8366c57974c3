// The grid of cross-sections the accuracy map covers, and the closed-form
// model and the field solver evaluated on it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "field/field_solver.hpp"

namespace ketrovane::tools {

// Cross-sections in units of b: every thickness with every width and gap.
struct Grid {
  std::vector<double> thicknesses;
  std::vector<double> widths;
  std::vector<double> gaps;
};

// The report's grid: seven thicknesses, 18 log-spaced w/b from 0.1 to 3 and
// 18 log-spaced s/b from 0.01 to 2.
Grid report_grid();

// The compiled table's grid over the same ranges, finer: the model's error
// changes fast with thickness just above t = 0 and around t/b = 0.025, where
// the model switches from its thin-strip blend to its thick-strip fits, and
// with width below w/b = 0.2.
Grid table_grid();

// Conductor loss of each mode by both methods, dB per inch: the model's
// mode_attenuation and the field's conductor_loss_factor.  Both are linear in
// the surface resistance, so their ratio depends on the geometry alone.
struct ConductorLosses {
  double field_even, field_odd;
  double field_estimate;  // relative, the worse of the two modes
  double model_even, model_odd;
  [[nodiscard]] double even_error() const { return model_even / field_even - 1.0; }
  [[nodiscard]] double odd_error() const { return model_odd / field_odd - 1.0; }
  [[nodiscard]] double worst_error() const;
};

// The model changes formulas at t/b = 0.025, from its thin-strip blend to its
// thick-strip fits: its impedances stay continuous there, but their slopes,
// and so its loss, jump, and its own differences (a 0.1 % step) straddle the
// switch just below it.  A grid plane on such a thickness would see one side
// only, so each loss is compared again this much thinner, and the worst loss
// error counts both.
inline constexpr double kThinnerByLoss = 2e-3;  // relative

// One cross-section, in units of b, with what both methods make of it.
struct Sample {
  double t, w, s;
  double field_zoe, field_zoo, field_coupling;  // ohms, ohms, dB
  double field_estimate;                        // worst relative estimate of the two modes
  double model_zoe, model_zoo, model_coupling;  // from the single-precision model
  ConductorLosses loss;                         // at kLossFrequencyMhz on kCopper
  ConductorLosses loss_thinner;                 // the same, t smaller by kThinnerByLoss
  [[nodiscard]] double zoe_error() const { return model_zoe / field_zoe - 1.0; }
  [[nodiscard]] double zoo_error() const { return model_zoo / field_zoo - 1.0; }
  [[nodiscard]] double worst_error() const;
  [[nodiscard]] double coupling_error() const { return model_coupling - field_coupling; }
  [[nodiscard]] double even_loss_error() const { return loss.even_error(); }
  [[nodiscard]] double odd_loss_error() const { return loss.odd_error(); }
  [[nodiscard]] double worst_loss_error_here() const { return loss.worst_error(); }
  [[nodiscard]] double worst_loss_error() const;  // here or thinner
};

// The ground-plane spacing and dielectric the map is computed for; relative
// errors do not depend on either.
inline constexpr double kB = 0.25;  // inches
inline constexpr double kEr = 2.2;
// Every field solution and conductor-loss factor of the map is computed with
// the solver's default options; the library's bounds add their tolerance.
inline constexpr field::Options kFieldOptions{};
// Frequency and smooth copper the map's losses are computed at; their relative
// errors do not depend on either.
inline constexpr double kLossFrequencyMhz = 1000.0;
inline constexpr double kCopper = 1.7 * 3.937008e-07;  // ohm-inch (1.7 micro-ohm cm)

// Both methods' conductor losses of a cross-section in inches at f_mhz on
// smooth copper, or why the field solver could not give a verified answer.
struct LossOutcome {
  std::optional<ConductorLosses> losses;
  std::string failure;
};
LossOutcome conductor_losses(const field::Geometry& inches, double f_mhz);

// Both methods at one cross-section (units of b), or why the field solver
// could not give a verified answer.
struct SampleOutcome {
  std::optional<Sample> sample;
  std::string failure;
};
SampleOutcome sample_at(double t, double w, double s);

// A grid and its samples, thickness-major then width then gap.
struct Map {
  Grid grid;
  std::vector<Sample> samples;
  [[nodiscard]] const Sample& at(std::size_t it, std::size_t iw, std::size_t is) const {
    return samples[(it * grid.widths.size() + iw) * grid.gaps.size() + is];
  }
};

}  // namespace ketrovane::tools
