// Charts of a batch table drawn by gnuplot: the rows go to a temporary data
// file as they are written, and at the end gnuplot is started without a
// shell to draw the chart into a temporary file that is then copied whole
// into the file asked for.  Every temporary file is removed, whatever
// happens.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "calc/output_file.hpp"
#include "calc/signals.hpp"
#include "commands/chart.hpp"
#include "commands/columns.hpp"

namespace ketrovane::calc {

using commands::ChartLayout;
using commands::ChartSeries;

// A temporary file in $TMPDIR (or /tmp), removed when it goes or when a
// signal ends the run.
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
  std::optional<RemovedOnSignal> removed_on_signal_;
  std::unique_ptr<Sink> sink_;
};

// The gnuplot executable on PATH, or empty.
std::string find_gnuplot();

// The file name's extension (.svg, .png, .pdf) checked, or an InputError
// naming `option`.
void check_chart_name(std::string_view option, const std::string& path);

// Draws with gnuplot: `script` gives the commands that draw into the
// temporary image file it is handed, which then goes whole into
// `image_file`.  An OutputError names `path` if gnuplot fails.
void draw_with_gnuplot(const std::string& gnuplot,
                       const std::function<std::string(const std::string&)>& script,
                       OutputFile& image_file, const std::string& path);

// The gnuplot terminal of a chart file by its extension, for `panels`
// stacked panels; a title broken into lines that fit; a quoted string.
std::string chart_terminal(const std::string& path, std::size_t panels);
std::string chart_title(std::string_view text);
std::string chart_string(std::string_view text);

class Plot {
 public:
  // Checks that gnuplot can be found; an OutputError names `option` and the
  // file.  The chart is drawn into `image`, which the caller puts in place.
  Plot(std::string_view option, OutputFile& image, std::string path, ChartLayout layout,
       std::span<const commands::Column> columns, commands::LengthUnit unit);

  void row(std::span<const commands::Cell> cells);
  // Draws the chart into the image file.
  void draw();

 private:
  [[nodiscard]] std::string script(const std::string& image) const;
  [[nodiscard]] std::string panel_plot(const commands::ChartPanel& panel, std::size_t first,
                                       bool with_band) const;
  // Whether a row gave the data file's column (from 1) a finite number; the
  // same for any series of a panel whose series start at column `first`.
  [[nodiscard]] bool has_points(std::size_t data_column) const;
  [[nodiscard]] bool panel_has_points(const commands::ChartPanel& panel, std::size_t first) const;

  std::string option_;
  OutputFile& image_;
  std::string path_;
  std::string terminal_;
  std::string gnuplot_;
  ChartLayout layout_;
  std::span<const commands::Column> columns_;
  std::vector<std::size_t> places_;  // of the x column, then of every series
  commands::LengthUnit unit_;
  TemporaryFile data_;
  std::size_t rows_ = 0;
  std::vector<bool> has_points_;              // by field of the data file
  std::optional<commands::AxisSpan> x_span_;  // of the rows' x values
};

}  // namespace ketrovane::calc
