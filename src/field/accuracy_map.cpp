#include "field/accuracy_map.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <limits>
#include <optional>
#include <type_traits>

namespace ketrovane::field {
namespace {

#include "field/model_accuracy_table.inc"

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

// The cells of the map the bound reads: the point's and its neighbours' in
// w/b and s/b; in t/b its own cell, or the t = 0 plane alone.
struct Neighbourhood {
  Span t;
  Span w;
  Span s;
};

std::optional<Neighbourhood> neighbourhood_of(double w_over_b, double s_over_b, double t_over_b) {
  const auto it = cell_of(kMapThickness, t_over_b);
  const auto iw = cell_of(kMapWidth, w_over_b);
  const auto is = cell_of(kMapGap, s_over_b);
  if (!it || !iw || !is) return std::nullopt;
  return Neighbourhood{t_over_b == 0.0 ? Span{0, 0} : Span{*it, *it + 1},
                       neighbourhood(*iw, kMapWidth.size()), neighbourhood(*is, kMapGap.size())};
}

using MapTable = decltype(kMapWorstError);
static_assert(std::is_same_v<MapTable, decltype(kMapWorstLossError)>,
              "both tables are on the same grid");

double worst_in(const MapTable& table, const Neighbourhood& n) {
  double worst = 0.0;
  for (std::size_t a = n.t.first; a <= n.t.last; ++a)
    for (std::size_t c = n.w.first; c <= n.w.last; ++c)
      for (std::size_t d = n.s.first; d <= n.s.last; ++d) worst = std::max(worst, table[a][c][d]);
  return worst;
}

}  // namespace

ModelErrorBounds model_error_bounds(double w_over_b, double s_over_b, double t_over_b) {
  const std::optional<Neighbourhood> n = neighbourhood_of(w_over_b, s_over_b, t_over_b);
  if (!n) {
    constexpr double kUnknown = std::numeric_limits<double>::infinity();
    return {kUnknown, kUnknown};
  }
  return {worst_in(kMapWorstError, *n) + kMapImpedanceTolerance,
          worst_in(kMapWorstLossError, *n) + kMapLossTolerance};
}

MapExtent map_extent() {
  return {{kMapWidth.front(), kMapWidth.back()},
          {kMapGap.front(), kMapGap.back()},
          {kMapThickness.front(), kMapThickness.back()}};
}

}  // namespace ketrovane::field
