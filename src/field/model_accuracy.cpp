#include "field/model_accuracy.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <limits>
#include <optional>

namespace ketrovane::field {
namespace {

#include "field/model_accuracy_table.inc"

// The map's values are the model's errors against field solutions good to the
// solver's default tolerance, which the bound adds.
constexpr double kReferenceTolerance = 1e-4;

// The cell axis[i] <= x <= axis[i + 1] that holds x, if x is on the axis.
template <std::size_t N>
std::optional<std::size_t> cell_of(const std::array<double, N>& axis, double x) {
  if (!(x >= axis.front() && x <= axis.back())) return std::nullopt;
  const auto above = std::upper_bound(axis.begin(), axis.end(), x);
  const auto i = static_cast<std::size_t>(std::distance(axis.begin(), above)) - 1;
  return std::min(i, N - 2);
}

// Grid indices of a cell and its neighbours along one axis: i - 1 ... i + 2.
struct Span {
  std::size_t first;
  std::size_t last;
};

Span neighbourhood(std::size_t cell, std::size_t points) {
  return {cell == 0 ? 0 : cell - 1, std::min(cell + 2, points - 1)};
}

}  // namespace

double model_relative_error_bound(double w_over_b, double s_over_b, double t_over_b) {
  const auto it = cell_of(kMapThickness, t_over_b);
  const auto iw = cell_of(kMapWidth, w_over_b);
  const auto is = cell_of(kMapGap, s_over_b);
  if (!it || !iw || !is) return std::numeric_limits<double>::infinity();
  // Thickness: the cell alone, the axis is fine enough; strips of zero
  // thickness, which the model solves exactly, on their own plane.
  const Span t = t_over_b == 0.0 ? Span{0, 0} : Span{*it, *it + 1};
  const Span w = neighbourhood(*iw, kMapWidth.size());
  const Span s = neighbourhood(*is, kMapGap.size());
  double worst = 0.0;
  for (std::size_t a = t.first; a <= t.last; ++a)
    for (std::size_t c = w.first; c <= w.last; ++c)
      for (std::size_t d = s.first; d <= s.last; ++d)
        worst = std::max(worst, kMapWorstError[a][c][d]);
  return worst + kReferenceTolerance;
}

}  // namespace ketrovane::field
