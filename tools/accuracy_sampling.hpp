// The grid of cross-sections the accuracy map covers, and the closed-form
// model and the field solver evaluated on it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

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

// One cross-section, in units of b, with what both methods make of it.
struct Sample {
  double t, w, s;
  double field_zoe, field_zoo, field_coupling;  // ohms, ohms, dB
  double field_estimate;                        // worst relative estimate of the two modes
  double model_zoe, model_zoo, model_coupling;  // from the single-precision model
  [[nodiscard]] double zoe_error() const { return model_zoe / field_zoe - 1.0; }
  [[nodiscard]] double zoo_error() const { return model_zoo / field_zoo - 1.0; }
  [[nodiscard]] double worst_error() const;
  [[nodiscard]] double coupling_error() const { return model_coupling - field_coupling; }
};

// The ground-plane spacing and dielectric the map is computed for; relative
// errors do not depend on either.
inline constexpr double kB = 0.25;  // inches
inline constexpr double kEr = 2.2;

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
