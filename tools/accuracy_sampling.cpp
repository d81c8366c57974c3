#include "accuracy_sampling.hpp"

#include <algorithm>
#include <cmath>

#include "field/field_solver.hpp"
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

SampleOutcome sample_at(double t, double w, double s) {
  const field::FieldResult f = field::solve({kB, t * kB, w * kB, s * kB, kEr});
  if (!f.ok()) return {std::nullopt, f.message};
  const CrossSection x{.board = {.b = static_cast<float>(kB),
                                 .t = static_cast<float>(t * kB),
                                 .er = static_cast<float>(kEr)},
                       .w = static_cast<float>(w * kB),
                       .s = static_cast<float>(s * kB)};
  const ModeImpedances m = mode_impedances(x);
  const field::FieldSolution& fs = *f.solution;
  return {Sample{t, w, s, fs.even.impedance, fs.odd.impedance, fs.coupling_db, f.error_estimate,
                 m.zoe, m.zoo, coupling_db(m.zoe, m.zoo)},
          ""};
}

}  // namespace ketrovane::tools
