#include "calc/plot.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "batch/input_error.hpp"
#include "batch/number_format.hpp"

extern char** environ;  // NOLINT(readability-redundant-declaration)

namespace ketrovane::calc {

using batch::Cell;
using batch::CellKind;
using batch::Column;
using batch::in_output_unit;
using batch::kNumberChars;
using batch::LengthUnit;
using batch::reject;
using batch::write_shortest;

namespace {

// Lines with markers for short tables, plain lines for long ones.
constexpr std::size_t kMostMarkedRows = 200;

// Colours of the curves on the left-hand axis, in order; a curve on the
// right-hand axis is dashed grey.
constexpr std::array<const char*, 5> kColours = {"#1f4e9c", "#2a9d3a", "#c62828", "#ef8a17",
                                                 "#6a3d9a"};

std::string temporary_directory() {
  const char* dir = std::getenv("TMPDIR");  // NOLINT(concurrency-mt-unsafe)
  if (dir == nullptr || *dir == '\0') return "/tmp";
  return dir;
}

bool ends_with(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The gnuplot terminal of a chart file, by its extension; empty for none.
std::string terminal_for(const std::string& path) {
  if (ends_with(path, ".svg")) {
    return "svg size 960,600 dynamic enhanced font 'Sans,11' background rgb 'white'";
  }
  if (ends_with(path, ".png")) return "pngcairo size 960,600 enhanced font 'Sans,10'";
  if (ends_with(path, ".pdf")) return "pdfcairo size 8in,5in enhanced font 'Sans,10'";
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
  const int spawned = posix_spawn(&pid, gnuplot.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void copy_whole(const std::string& from, OutputFile& to, const std::string& path) {
  std::ifstream in(from, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty())
    throw OutputError("cannot draw " + batch::quoted(path) + ": gnuplot wrote nothing");
  to.sink().write(bytes);
}

}  // namespace

TemporaryFile::TemporaryFile(std::string_view purpose) {
  std::string pattern =
      temporary_directory() + "/ketrovane-calc-" + std::string(purpose) + ".XXXXXX";
  fd_ = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) throw OutputError(file_message("create", pattern, errno));
  path_ = pattern;
  sink_ = std::make_unique<Sink>(fd_, path_);
}

TemporaryFile::~TemporaryFile() {
  close(fd_);
  unlink(path_.c_str());
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
    reject(option, path, "expected a chart file name ending in .svg, .png or .pdf");
  }
}

Plot::Plot(std::string_view option, OutputFile& image, std::string path, ChartLayout layout,
           std::span<const Column> columns, LengthUnit unit)
    : option_(option),
      image_(image),
      path_(std::move(path)),
      terminal_(terminal_for(path_)),
      gnuplot_(find_gnuplot()),
      layout_(std::move(layout)),
      columns_(columns),
      unit_(unit),
      data_("plot-data") {
  if (gnuplot_.empty()) {
    throw OutputError(option_ + " " + batch::quoted(path_) +
                      ": gnuplot not found on PATH; install gnuplot (Debian: gnuplot-nox) to "
                      "draw charts");
  }
}

void Plot::row(std::span<const Cell> cells) {
  Sink& out = data_.sink();
  if (layout_.break_column < cells.size()) {
    const float v = cells[layout_.break_column].number;
    if (rows_ > 0 && v != last_break_value_) out.put('\n');
    last_break_value_ = v;
  }
  std::array<std::size_t, 1> x = {layout_.x_column};
  const auto write = [&](std::size_t column) {
    const Cell& c = cells[column];
    const float v = in_output_unit(columns_[column], unit_, c.number);
    if (c.kind != CellKind::number || !std::isfinite(v)) {
      out.put('?');
    } else {
      std::array<char, kNumberChars> buffer{};
      out.write(std::string_view(buffer.data(), write_shortest(buffer.data(), v) - buffer.data()));
    }
  };
  write(x[0]);
  for (const ChartSeries& s : layout_.series) {
    out.put('\t');
    write(s.column);
  }
  out.put('\n');
  ++rows_;
}

std::string Plot::script(const std::string& image) const {
  std::string s = "set terminal " + terminal_ + "\n";
  s += "set output " + gnuplot_string(image) + "\n";
  s += "set datafile missing '?'\nset datafile separator '\\t'\n";
  s += "set title " + gnuplot_string(layout_.title) + " noenhanced\n";
  s += "set xlabel " + gnuplot_string(layout_.x_label) + " noenhanced\n";
  s += "set ylabel " + gnuplot_string(layout_.y_label) + " noenhanced\n";
  s += "set grid\nset key below noenhanced\nset ytics nomirror\n";
  if (layout_.log_y) s += "set logscale y\nset format y '%g'\n";
  if (!layout_.y2_label.empty()) {
    s += "set y2label " + gnuplot_string(layout_.y2_label) + " noenhanced\nset y2tics\n";
    if (layout_.y2_least_span > 0) {
      const std::string half = std::to_string(layout_.y2_least_span / 2);
      s += "set y2range [*<-" + half + ":" + half + "<*]\n";
    }
  }
  const std::string style = rows_ > kMostMarkedRows ? "lines" : "linespoints pointsize 0.6";
  s += "set autoscale xfix\nplot ";
  std::size_t colour = 0;
  for (std::size_t i = 0; i < layout_.series.size(); ++i) {
    const ChartSeries& series = layout_.series[i];
    if (i > 0) s += ", \\\n     ";
    const std::string look = series.second_axis
                                 ? " linecolor rgb '#555555' dashtype 2 axes x1y2"
                                 : " linecolor rgb '" +
                                       std::string(kColours.at(colour++ % kColours.size())) +
                                       "' axes x1y1";
    s += gnuplot_string(data_.path()) + " using 1:" + std::to_string(i + 2) + " with " +
         (series.second_axis ? "lines" : style) + " linewidth 2" + look + " title " +
         gnuplot_string(series.title);
  }
  return s + "\n";
}

void Plot::draw() {
  data_.sink().flush();
  const TemporaryFile image("plot-image");
  TemporaryFile commands("plot-script");
  commands.sink().write(script(image.path()));
  commands.sink().flush();
  const TemporaryFile errors("plot-errors");
  const int status = run_gnuplot(gnuplot_, commands.path(), errors.path());
  if (status != 0) {
    const std::string said = last_line_of(errors.path());
    throw OutputError("cannot draw " + batch::quoted(path_) + ": gnuplot " +
                      (status < 0 ? "could not be started" : "failed") +
                      (said.empty() ? "" : ": " + said));
  }
  copy_whole(image.path(), image_, path_);
}

}  // namespace ketrovane::calc
