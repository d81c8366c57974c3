// What a command's chart shows: which columns against which, with what
// titles.  The command line draws it; this is only its description.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ketrovane::batch {

// A curve: a column against the chart's x column.
struct ChartSeries {
  std::size_t column;
  std::string title;
  bool second_axis;  // on the right-hand axis
};

struct ChartLayout {
  std::string title;
  std::size_t x_column = 0;
  std::string x_label;
  std::string y_label;
  std::string y2_label;  // empty: no second axis
  std::vector<ChartSeries> series;
  bool log_y = false;
  // The right-hand axis spans at least this much about 0, so that rounding
  // noise is not drawn as a feature (quadrature error in degrees).
  int y2_least_span = 0;
  // A column whose change starts a new line segment (the outer axis of a
  // product of two ranges); npos for none.
  std::size_t break_column = static_cast<std::size_t>(-1);
};

}  // namespace ketrovane::batch
