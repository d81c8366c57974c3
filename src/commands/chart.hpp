// What a command's chart shows: which columns against which, in which
// panels, with what titles.  The command line draws it; this is only its
// description.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/columns.hpp"

namespace ketrovane::commands {

// A curve: a column, by its name, against the chart's x column.
struct ChartSeries {
  std::string_view column;
  std::string title;
  bool second_axis = false;  // on the panel's right-hand axis
  bool negated = false;      // drawn as minus the column (isolation from S31)
};

struct AxisSpan {
  float low;
  float high;
};

// One plot of the chart; panels are stacked and share the x axis.
struct ChartPanel {
  std::string y_label;
  std::string y2_label;  // empty: no second axis
  std::vector<ChartSeries> series;
  bool log_y = false;
  // The left-hand axis over this span instead of the data's.
  std::optional<AxisSpan> y_span;
  // Values of the left-hand axis marked by dashed lines.
  std::vector<float> y_marks;
  // Values marked by solid lines (what a response realises beside the
  // dashed marks of the ideal), with their legend.
  std::vector<float> y_solid_marks;
  std::string solid_marks_legend;
  // The left-hand axis reaches a little beyond its data, so that a flat
  // curve at its end (an amplitude stopped at -90 dB) is not the frame.
  bool clear_of_frame = false;
  // The right-hand axis spans at least this much about 0, so that rounding
  // noise is not drawn as a feature (quadrature error in degrees).
  int y2_least_span = 0;
};

// One family of curves per value of an inner range: the rows hold `stride`
// values of it in turn, and `shown` picks some by their place with the
// legend of each ("S = 4 mil").
struct CurveFamilies {
  std::int64_t stride = 1;
  struct Family {
    std::int64_t place;
    std::string legend;
  };
  std::vector<Family> shown;
};

struct ChartLayout {
  std::string title;
  std::string_view x_column;  // by its name
  std::string x_label;
  std::vector<ChartPanel> panels;
  // A span of x shaded in every panel (the band of a response), with its
  // legend.
  std::optional<AxisSpan> shaded;
  std::string shaded_legend;
  std::optional<CurveFamilies> families;
};

// The places among a table's columns of the columns a chart draws: its x
// column, then each panel's series in turn.  A chart that names a column
// the table does not have is a fault of the program: std::logic_error.
std::vector<std::size_t> chart_column_places(const ChartLayout& layout,
                                             std::span<const Column> columns);

}  // namespace ketrovane::commands
