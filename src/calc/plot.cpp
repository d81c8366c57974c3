#include "calc/plot.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "calc/signals.hpp"
#include "commands/input_error.hpp"
#include "commands/number_format.hpp"

extern char** environ;  // NOLINT(readability-redundant-declaration)

namespace ketrovane::calc {

using commands::AxisSpan;
using commands::Cell;
using commands::CellKind;
using commands::ChartPanel;
using commands::Column;
using commands::CurveFamilies;
using commands::in_output_unit;
using commands::kNumberChars;
using commands::LengthUnit;
using commands::reject;
using commands::write_shortest;

namespace {

// Lines with markers for short tables, plain lines for long ones.
constexpr std::size_t kMostMarkedRows = 200;

// Colours of the curves on the left-hand axis, in order; a curve on the
// right-hand axis is dashed grey.
// As many as a chart has curve families.
constexpr std::array<const char*, 8> kColours = {"#1f4e9c", "#2a9d3a", "#c62828", "#ef8a17",
                                                 "#6a3d9a", "#00838f", "#8d6e63", "#d81b60"};

// The solid marks of a panel (a realised ripple beside the ideal one's
// dashed marks).
constexpr std::string_view kSolidMarkColour = "#c62828";

std::string temporary_directory() {
  const char* dir = std::getenv("TMPDIR");  // NOLINT(concurrency-mt-unsafe)
  if (dir == nullptr || *dir == '\0') return "/tmp";
  return dir;
}

bool ends_with(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The gnuplot terminal of a chart file, by its extension, for a chart of
// `panels` stacked panels; empty for none.
std::string terminal_for(const std::string& path, std::size_t panels = 1) {
  const bool tall = panels > 1;
  if (ends_with(path, ".svg")) {
    return std::string("svg size 960,") + (tall ? "900" : "600") +
           " dynamic enhanced font 'Sans,11' background rgb 'white'";
  }
  if (ends_with(path, ".png")) {
    return std::string("pngcairo size 960,") + (tall ? "900" : "600") + " enhanced font 'Sans,10'";
  }
  if (ends_with(path, ".pdf")) {
    return std::string("pdfcairo size 8in,") + (tall ? "7.5in" : "5in") +
           " enhanced font 'Sans,10'";
  }
  return "";
}

// A gnuplot string: single quotes, a quote doubled.
std::string gnuplot_string(std::string_view text) {
  std::string out = "'";
  for (const char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

// A chart's title broken after a comma into lines of at most this many
// characters, so that a long one is not cut at the edges of the chart.
constexpr std::size_t kTitleLine = 90;

std::string gnuplot_title(std::string_view text) {
  std::string out = "\"";
  std::size_t line = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t comma = text.find(", ", start);
    const std::size_t end = comma == std::string_view::npos ? text.size() : comma + 2;
    const std::string_view word = text.substr(start, end - start);
    if (line > 0 && line + word.size() > kTitleLine) {
      out += "\\n";
      line = 0;
    }
    for (const char c : word) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    line += word.size();
    start = end;
  }
  return out + "\"";
}

std::string last_line_of(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::string last;
  while (std::getline(in, line)) {
    if (line.find_first_not_of(" \t^") != std::string::npos) last = line;
  }
  return last;
}

// gnuplot's exit status, or -1 when it could not be started.
int run_gnuplot(const std::string& gnuplot, const std::string& script, const std::string& errors) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_TRUNC, 0);
  std::string arg0 = "gnuplot";
  std::string arg1 = script;
  std::array<char*, 3> argv = {arg0.data(), arg1.data(), nullptr};
  pid_t pid = 0;
  std::optional<EndedOnSignal> ended;
  {
    const HeldSignals held;  // started and registered as one step
    const int spawned = posix_spawn(&pid, gnuplot.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    ended.emplace(pid);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// gnuplot's message without the name of the script, a temporary file the
// user never saw ("\"/tmp/...\" line 17: ..." becomes "line 17: ...").
std::string without_script_name(const std::string& said, const std::string& script) {
  const std::string named = "\"" + script + "\" ";
  const std::size_t at = said.find(named);
  if (at == std::string::npos) return said;
  return said.substr(0, at) + said.substr(at + named.size());
}

void copy_whole(const std::string& from, OutputFile& to, const std::string& path) {
  std::ifstream in(from, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty())
    throw OutputError("cannot draw " + commands::quoted(path) + ": gnuplot wrote nothing");
  to.sink().write(bytes);
}

}  // namespace

TemporaryFile::TemporaryFile(std::string_view purpose) {
  std::string pattern =
      temporary_directory() + "/ketrovane-calc-" + std::string(purpose) + ".XXXXXX";
  const HeldSignals held;  // created and registered as one step
  fd_ = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) throw OutputError(file_message("create", pattern, errno));
  path_ = pattern;
  removed_on_signal_.emplace(path_);
  sink_ = std::make_unique<Sink>(fd_, path_);
}

TemporaryFile::~TemporaryFile() {
  close(fd_);
  unlink(path_.c_str());
  removed_on_signal_.reset();
}

std::string find_gnuplot() {
  const char* path = std::getenv("PATH");  // NOLINT(concurrency-mt-unsafe)
  std::string_view dirs = path == nullptr ? "/usr/bin:/bin" : path;
  for (;;) {
    const std::size_t colon = dirs.find(':');
    const std::string_view dir = dirs.substr(0, colon);
    // An empty entry is the working directory.
    std::string candidate = (std::filesystem::path(dir.empty() ? "." : dir) / "gnuplot").string();
    struct stat st {};
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (colon == std::string_view::npos) return "";
    dirs.remove_prefix(colon + 1);
  }
}

void check_chart_name(std::string_view option, const std::string& path) {
  if (terminal_for(path).empty()) {
    reject(commands::named(option), path,
           "expected a chart file name ending in .svg, .png or .pdf");
  }
}

Plot::Plot(std::string_view option, OutputFile& image, std::string path, ChartLayout layout,
           std::span<const Column> columns, LengthUnit unit)
    : option_(option),
      image_(image),
      path_(std::move(path)),
      terminal_(terminal_for(path_, layout.panels.size())),
      gnuplot_(find_gnuplot()),
      layout_(std::move(layout)),
      columns_(columns),
      places_(commands::chart_column_places(layout_, columns_)),
      unit_(unit),
      data_("plot-data") {
  if (gnuplot_.empty()) {
    throw OutputError(option_ + " " + commands::quoted(path_) +
                      ": gnuplot not found on PATH; install gnuplot (Debian: gnuplot-nox) to "
                      "draw charts");
  }
}

void Plot::row(std::span<const Cell> cells) {
  Sink& out = data_.sink();
  std::size_t field = 0;
  const auto write = [&](std::size_t column, bool negated) {
    const Cell& c = cells[column];
    const float v = in_output_unit(columns_[column], unit_, c.number);
    if (c.kind != CellKind::number || !std::isfinite(v)) {
      out.put('?');
    } else {
      std::array<char, kNumberChars> buffer{};
      out.write(std::string_view(buffer.data(),
                                 write_shortest(buffer.data(), negated ? -v : v) - buffer.data()));
      if (field >= has_points_.size()) has_points_.resize(field + 1);
      has_points_[field] = true;
      if (field == 0)
        x_span_ = x_span_ ? AxisSpan{std::fmin(x_span_->low, v), std::fmax(x_span_->high, v)}
                          : AxisSpan{v, v};
    }
    ++field;
  };
  write(places_.front(), false);
  std::size_t next = 1;
  for (const ChartPanel& panel : layout_.panels) {
    for (const ChartSeries& s : panel.series) {
      out.put('\t');
      write(places_.at(next++), s.negated);
    }
  }
  out.put('\n');
  ++rows_;
}

namespace {

std::string number_text(float v) {
  return commands::shortest(v);
}

// The axes and marks of one panel, before its plot command.
std::string panel_settings(ChartPanel p, std::optional<AxisSpan> shaded) {
  // A mark or band of figures that are not finite (rows that failed) is not drawn.
  std::erase_if(p.y_marks, [](float mark) { return !std::isfinite(mark); });
  const auto finite = [](const std::optional<AxisSpan>& span) {
    return !span || (std::isfinite(span->low) && std::isfinite(span->high));
  };
  if (!finite(shaded)) shaded.reset();
  if (!finite(p.y_span)) p.y_span.reset();
  std::string s = "set ylabel " + gnuplot_string(p.y_label) + " noenhanced\n";
  s += p.log_y ? "set logscale y\nset format y '%g'\n" : "unset logscale y\nset format y '% h'\n";
  std::erase_if(p.y_solid_marks, [](float mark) { return !std::isfinite(mark); });
  std::vector<float> marks = p.y_marks;
  marks.insert(marks.end(), p.y_solid_marks.begin(), p.y_solid_marks.end());
  std::ranges::sort(marks);
  if (p.y_span) {
    // Autoscaled within the span, but never narrower than the marks.
    const float low = p.y_span->low;
    const float high = p.y_span->high;
    // A little room beyond the marks, so that a mark is not the frame.
    const float room = 0.1F * (high - low) / 2.0F;
    const float mark_low = marks.empty() ? high : marks.front() - room;
    const float mark_high = marks.empty() ? low : marks.back() + room;
    s += "set yrange [" + number_text(low) + "<*<" + number_text(mark_low) + ":" +
         number_text(mark_high) + "<*<" + number_text(high) + "]\n";
  } else {
    s += "set yrange [*:*]\n";
  }
  if (p.y2_label.empty()) {
    s += "unset y2label\nunset y2tics\n";
  } else {
    s += "set y2label " + gnuplot_string(p.y2_label) + " noenhanced\nset y2tics\n";
    const std::string half = std::to_string(p.y2_least_span / 2);
    s += p.y2_least_span > 0 ? "set y2range [*<-" + half + ":" + half + "<*]\n"
                             : "set y2range [*:*]\n";
  }
  // A twentieth of the data's span beyond each end, before the ends are
  // taken to the next tic.
  s += p.clear_of_frame ? "set offsets 0, 0, graph 0.05, graph 0.05\n" : "set offsets 0, 0, 0, 0\n";
  s += "unset arrow\nunset object\n";
  for (const float mark : p.y_marks) {
    s += "set arrow from graph 0, first " + number_text(mark) + " to graph 1, first " +
         number_text(mark) + " nohead dashtype 3 linecolor rgb '#333333'\n";
  }
  for (const float mark : p.y_solid_marks) {
    s += "set arrow from graph 0, first " + number_text(mark) + " to graph 1, first " +
         number_text(mark) + " nohead linewidth 1.5 linecolor rgb '" +
         std::string(kSolidMarkColour) + "'\n";
  }
  if (shaded) {
    s += "set object rectangle from first " + number_text(shaded->low) + ", graph 0 to first " +
         number_text(shaded->high) +
         ", graph 1 behind fillcolor rgb '#dfe8f5' fillstyle solid 1.0 noborder\n";
  }
  return s;
}

// The lines of a series among families, by its dash type (1 up).
constexpr std::array<const char*, 4> kDashWords = {"solid", "dashed", "dotted", "dash-dotted"};

// The key of a series drawn in every family's colour: its own grey, which
// no family has, its dashes, and what they are.
constexpr std::string_view kSeriesKeyColour = "#555555";

// A series drawn for each family: colour by family, dashes by series; a
// legend entry per family on the first series, and one per series in grey
// naming its lines ("Zo: solid lines").
void family_curves(const CurveFamilies& f, const ChartSeries& series, std::size_t index,
                   const std::string& data, const std::string& using_,
                   std::vector<std::string>& curves) {
  const std::string dashes = " dashtype " + std::to_string(index + 1);
  const std::string axes = series.second_axis ? " axes x1y2" : " axes x1y1";
  for (std::size_t k = 0; k < f.shown.size(); ++k) {
    std::string curve = data;
    curve += " every " + std::to_string(f.stride) + "::" + std::to_string(f.shown[k].place);
    curve += using_;
    curve += " with lines linewidth 2";
    curve += dashes;
    curve += " linecolor rgb '";
    curve += kColours.at(k % kColours.size());
    curve += "'";
    curve += axes;
    curve += index == 0 ? " title " + gnuplot_string(f.shown[k].legend) : " notitle";
    curves.push_back(std::move(curve));
  }
  const std::string lines = std::string(kDashWords.at(index % kDashWords.size())) + " lines";
  curves.push_back("NaN with lines linewidth 2" + dashes + " linecolor rgb '" +
                   std::string(kSeriesKeyColour) + "' title " +
                   gnuplot_string(series.title + ": " + lines));
}

}  // namespace

// The plot command of a panel whose series are in the data file from column
// `first`.
std::string Plot::panel_plot(const ChartPanel& p, std::size_t first, bool with_band) const {
  const std::string data = gnuplot_string(data_.path());
  const std::string style = rows_ > kMostMarkedRows ? "lines" : "linespoints pointsize 0.6";
  std::vector<std::string> curves;
  if (with_band && layout_.shaded) {
    curves.push_back("NaN with boxes fillcolor rgb '#dfe8f5' fillstyle solid 1.0 noborder title " +
                     gnuplot_string(layout_.shaded_legend));
  }
  if (!p.y_solid_marks.empty() && !p.solid_marks_legend.empty()) {
    curves.push_back("NaN with lines linewidth 1.5 linecolor rgb '" +
                     std::string(kSolidMarkColour) + "' title " +
                     gnuplot_string(p.solid_marks_legend));
  }
  std::size_t colour = 0;
  for (std::size_t i = 0; i < p.series.size(); ++i) {
    const ChartSeries& series = p.series[i];
    const std::string using_ = " using 1:" + std::to_string(first + i);
    const std::string axes = series.second_axis ? " axes x1y2" : " axes x1y1";
    if (!has_points(first + i)) {
      // No row gave it a number (the rows failed): its legend alone.
      curves.push_back("NaN with lines linewidth 2 title " + gnuplot_string(series.title));
      continue;
    }
    if (layout_.families) {
      family_curves(*layout_.families, series, i, data, using_, curves);
      continue;
    }
    const std::string look =
        series.second_axis
            ? " linecolor rgb '#555555' dashtype 2"
            : " linecolor rgb '" + std::string(kColours.at(colour++ % kColours.size())) + "'";
    std::string curve = data;
    curve += using_;
    curve += " with ";
    curve += series.second_axis ? "lines" : style;
    curve += " linewidth 2";
    curve += look;
    curve += axes;
    curve += " title " + gnuplot_string(series.title);
    curves.push_back(std::move(curve));
  }
  std::string s = "plot ";
  for (std::size_t i = 0; i < curves.size(); ++i) {
    if (i > 0) s += ", \\\n     ";
    s += curves[i];
  }
  return s + "\n";
}

bool Plot::has_points(std::size_t data_column) const {
  const std::size_t field = data_column - 1;
  return field < has_points_.size() && has_points_[field];
}

bool Plot::panel_has_points(const ChartPanel& panel, std::size_t first) const {
  for (std::size_t i = 0; i < panel.series.size(); ++i) {
    if (has_points(first + i)) return true;
  }
  return false;
}

std::string Plot::script(const std::string& image) const {
  std::string s = "set terminal " + terminal_ + "\n";
  s += "set output " + gnuplot_string(image) + "\n";
  s += "set datafile missing '?'\nset datafile separator '\\t'\n";
  s += "set grid\nset key below horizontal noenhanced\nset ytics nomirror\nset autoscale xfix\n";
  s += "set xlabel " + gnuplot_string(layout_.x_label) + " noenhanced\n";
  const bool stacked = layout_.panels.size() > 1;
  if (stacked) {
    s += "set multiplot layout " + std::to_string(layout_.panels.size()) + ",1 title " +
         gnuplot_title(layout_.title) + " noenhanced\n";
  } else {
    s += "set title " + gnuplot_title(layout_.title) + " noenhanced\n";
  }
  // Stacked panels share their x axis: the same margins line them up, and
  // each is labelled, so that a panel read alone says what its x is.
  if (stacked) s += "set lmargin 12\nset rmargin 12\n";
  std::size_t first = 2;
  for (std::size_t i = 0; i < layout_.panels.size(); ++i) {
    const ChartPanel& panel = layout_.panels[i];
    s += panel_settings(panel, layout_.shaded);
    if (!panel_has_points(panel, first)) {
      // gnuplot cannot scale an axis without a point: fixed ones, x over the rows.
      s += panel.log_y ? "set yrange [1:10]\n" : "set yrange [-1:1]\n";
      if (x_span_ && x_span_->low < x_span_->high) {
        s += "set xrange [" + number_text(x_span_->low) + ":" + number_text(x_span_->high) + "]\n";
      }
    }
    s += panel_plot(panel, first, i == 0);
    first += panel.series.size();
  }
  if (stacked) s += "unset multiplot\n";
  return s;
}

void Plot::draw() {
  data_.sink().flush();
  draw_with_gnuplot(
      gnuplot_, [this](const std::string& image) { return script(image); }, image_, path_);
}

void draw_with_gnuplot(const std::string& gnuplot,
                       const std::function<std::string(const std::string&)>& script,
                       OutputFile& image_file, const std::string& path) {
  const TemporaryFile image("plot-image");
  TemporaryFile commands("plot-script");
  commands.sink().write(script(image.path()));
  commands.sink().flush();
  const TemporaryFile errors("plot-errors");
  const int status = run_gnuplot(gnuplot, commands.path(), errors.path());
  if (status != 0) {
    const std::string said = last_line_of(errors.path());
    throw OutputError("cannot draw " + commands::quoted(path) + ": gnuplot " +
                      (status < 0 ? "could not be started" : "failed") +
                      (said.empty() ? "" : ": " + without_script_name(said, commands.path())));
  }
  copy_whole(image.path(), image_file, path);
}

std::string chart_terminal(const std::string& path, std::size_t panels) {
  return terminal_for(path, panels);
}

std::string chart_title(std::string_view text) {
  return gnuplot_title(text);
}

std::string chart_string(std::string_view text) {
  return gnuplot_string(text);
}

}  // namespace ketrovane::calc
