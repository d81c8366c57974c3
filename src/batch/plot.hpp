// Charts of a batch table drawn by gnuplot: the rows go to a temporary data
// file as they are written, and at the end gnuplot is started without a
// shell to draw the chart into a temporary file that is then copied whole
// into the file asked for.  Every temporary file is removed, whatever
// happens.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "batch/columns.hpp"
#include "batch/output_file.hpp"

namespace ketrovane::batch {

// A curve: a column against the chart's x column.
struct PlotSeries {
  std::size_t column;
  std::string title;
  bool second_axis;  // on the right-hand axis
};

struct PlotLayout {
  std::string title;
  std::size_t x_column;
  std::string x_label;
  std::string y_label;
  std::string y2_label;  // empty: no second axis
  std::vector<PlotSeries> series;
  bool log_y = false;
  // The right-hand axis spans at least this much about 0, so that rounding
  // noise is not drawn as a feature (quadrature error in degrees).
  int y2_least_span = 0;
  // A column whose change starts a new line segment (the outer axis of a
  // product of two ranges); npos for none.
  std::size_t break_column = static_cast<std::size_t>(-1);
};

// A temporary file in $TMPDIR (or /tmp), removed when it goes.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string_view purpose);
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  TemporaryFile(TemporaryFile&&) = delete;
  TemporaryFile& operator=(TemporaryFile&&) = delete;
  ~TemporaryFile();

  [[nodiscard]] const std::string& path() const { return path_; }
  Sink& sink() { return *sink_; }

 private:
  std::string path_;
  int fd_ = -1;
  std::unique_ptr<Sink> sink_;
};

// The gnuplot executable on PATH, or empty.
std::string find_gnuplot();

class Plot {
 public:
  // Checks the file name's extension (.svg, .png, .pdf) and that gnuplot can
  // be found; an InputError or OutputError names `option` and the file.
  Plot(std::string_view option, std::string path, PlotLayout layout,
       std::span<const Column> columns, LengthUnit unit);

  void row(std::span<const Cell> cells);
  // Draws the chart and puts the file in place.
  void draw();

 private:
  [[nodiscard]] std::string script(const std::string& image) const;

  std::string option_;
  std::string path_;
  std::string terminal_;
  std::string gnuplot_;
  PlotLayout layout_;
  std::span<const Column> columns_;
  LengthUnit unit_;
  TemporaryFile data_;
  float last_break_value_ = 0.0F;
  std::size_t rows_ = 0;
};

}  // namespace ketrovane::batch
