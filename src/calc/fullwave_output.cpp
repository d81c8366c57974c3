#include "calc/fullwave_output.hpp"

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "calc/output_file.hpp"
#include "calc/plot.hpp"
#include "calc/signals.hpp"
#include "calc/touchstone.hpp"
#include "commands/coupler_types.hpp"
#include "commands/input_error.hpp"
#include "commands/number_format.hpp"

namespace ketrovane::calc {

namespace {

using commands::ChartPanel;
using commands::Mesh;
using commands::ModelOutcome;
using commands::ModelResult;
using commands::Opt;

// The model's output condensed: on a terminal one line per stage, updated
// with openEMS's latest progress line; elsewhere the stage lines alone.
class ModelProgress {
 public:
  ModelProgress() : shown_(isatty(STDERR_FILENO) == 1) {}
  ModelProgress(const ModelProgress&) = delete;
  ModelProgress& operator=(const ModelProgress&) = delete;
  ModelProgress(ModelProgress&&) = delete;
  ModelProgress& operator=(ModelProgress&&) = delete;
  ~ModelProgress() { end_line(); }

  void line(std::string_view text) {
    constexpr std::string_view kStage = "stage: ";
    if (text.starts_with(kStage)) {
      end_line();
      stage_ = text.substr(kStage.size());
      if (!shown_) {
        std::fprintf(stderr, "ketrovane-calc: %s\n", stage_.c_str());
        return;
      }
      draw("");
      return;
    }
    if (shown_) draw(text);
  }

 private:
  void draw(std::string_view detail) {
    constexpr std::size_t kDetail = 90;
    std::string shown = "ketrovane-calc: " + stage_;
    if (!detail.empty()) shown += ": " + std::string(detail.substr(0, kDetail));
    std::fprintf(stderr, "\r\033[K%s", shown.c_str());
    std::fflush(stderr);
    drawn_ = true;
    set_progress_line_drawn(true);
  }
  void end_line() {
    if (!drawn_) return;
    std::fputs("\n", stderr);
    drawn_ = false;
    set_progress_line_drawn(false);
  }

  bool shown_;
  bool drawn_ = false;
  std::string stage_;
};

std::string status_note(Mesh mesh, const commands::ModelStatus& s) {
  return "full-wave run, " + std::string(commands::mesh_name(mesh)) + " mesh: " + s.status +
         ", energy " + commands::shortest(static_cast<float>(s.energy_decay_db)) + " dB, " +
         std::to_string(s.cells) + " cells, " + std::to_string(s.timesteps) + " timesteps, " +
         std::to_string(s.excitations) + " excitations, " +
         commands::shortest(static_cast<float>(s.seconds)) + " s";
}

constexpr std::array<Column, 5> kSummaryColumns = {
    commands::unitless("figure", "Figure of the band summary", 0),
    commands::unitless("unit", "Unit", 0), commands::unitless("ideal", "Ideal", 3),
    commands::unitless("laid_out", "Laid out", 3),
    commands::unitless("mesh_change", "Coarse to fine", 3)};

// A figure, or nothing where there is none (a band edge past the sweep).
commands::Cell figure_cell(float value) {
  return std::isnan(value) ? commands::Cell{} : commands::number_cell(value);
}

void write_summary(const commands::LaidOutComparison& c, const FullwaveOutputs& o, Sink& sink) {
  const TableHeader header{"response", o.echo, kSummaryColumns, o.unit};
  const std::unique_ptr<RowWriter> writer = make_writer(o.format, header, sink);
  for (std::size_t i = 0; i < commands::kLaidOutFigures.size(); ++i) {
    const std::array<commands::Cell, 5> row = {
        commands::text_cell(commands::kLaidOutFigures.at(i).name),
        commands::text_cell(commands::kLaidOutFigures.at(i).unit), figure_cell(c.ideal.at(i)),
        figure_cell(c.laid_out.at(i)),
        c.mesh_change ? figure_cell(c.mesh_change->at(i)) : commands::Cell{}};
    writer->row(row);
  }
  writer->finish();
}

// The laid-out four-port, its ports as --port-order numbers them; referenced
// to --rs at the input and coupled ports and --rl at the others, which a
// version 1.1 file can hold only when they are equal.
void write_touchstone(commands::TextValues& values, const commands::ResponseRequest& q,
                      const MeasuredSweep& sweep, const FullwaveOutputs& o, OutputSet& outputs) {
  const std::string* path = given_text(values, Opt::touchstone);
  if (path == nullptr) return;
  if (!has_extension(*path, ".s4p")) {
    commands::reject(Opt::touchstone, *path, "expected a file name ending in .s4p");
  }
  TouchstoneLayout layout;
  layout.format = pair_format_named(values.choice(Opt::touchstone_format));
  layout.version_2 = values.choice(Opt::touchstone_version) == "2";
  layout.order = port_order_named(values.choice(Opt::port_order));
  layout.frequencies = static_cast<std::int64_t>(sweep.f_mhz.size());
  const Terminations t = q.terminations;
  layout.references = {t.source, t.load, t.load, t.source};
  if (!layout.version_2 && (t.source != t.load || values.number(Opt::ref) != t.source)) {
    commands::reject(Opt::touchstone, *path,
                     {"the model's ports are referenced to ",
                      Opt::rs,
                      " and ",
                      Opt::rl,
                      ": write them with ",
                      {Opt::touchstone_version, "2"},
                      ", or give the same resistance to both and to ",
                      Opt::ref});
  }
  OutputFile& file = outputs.open("--touchstone", *path);
  const std::vector<std::string> comments = {
      "ketrovane-calc " KETROVANE_VERSION ": the coupler as laid out, from its full-wave model",
      "command: " + std::string(o.command_line),
      layout.order == PortOrder::isolated_third ? "ports: 1 input, 2 thru, 3 isolated, 4 coupled"
                                                : "ports: 1 input, 2 thru, 3 coupled, 4 isolated"};
  TouchstoneWriter writer(file.sink(), comments, layout);
  for (std::size_t i = 0; i < sweep.f_mhz.size(); ++i) {
    writer.frequency(sweep.f_mhz[i], sweep.s[i], "the full-wave model");
  }
  writer.finish();
}

constexpr std::array<Column, 9> kChartColumns = {
    commands::in_megahertz("f_mhz", "f", 3),
    commands::in_decibels("coupling_ideal_db", "C ideal", 3),
    commands::in_decibels("coupling_laid_db", "C laid out", 3),
    commands::in_decibels("directivity_ideal_db", "D ideal", 3),
    commands::in_decibels("directivity_laid_db", "D laid out", 3),
    commands::in_decibels("return_loss_ideal_db", "RL ideal", 3),
    commands::in_decibels("return_loss_laid_db", "RL laid out", 3),
    commands::in_decibels("isolation_ideal_db", "I ideal", 3),
    commands::in_decibels("isolation_laid_db", "I laid out", 3)};

ChartLayout chart_layout(Mesh mesh) {
  ChartLayout c;
  c.title = "The coupler as laid out (full-wave, " + std::string(commands::mesh_name(mesh)) +
            " mesh) beside the ideal section";
  c.x_column = "f_mhz";
  c.x_label = "Frequency (MHz)";
  ChartPanel coupling;
  coupling.y_label = "Coupling (dB)";
  coupling.series = {{"coupling_ideal_db", "ideal section"}, {"coupling_laid_db", "laid out"}};
  ChartPanel others;
  others.y_label = "dB";
  others.series = {{"directivity_ideal_db", "directivity, ideal"},
                   {"directivity_laid_db", "directivity, laid out"},
                   {"return_loss_ideal_db", "return loss, ideal"},
                   {"return_loss_laid_db", "return loss, laid out"},
                   {"isolation_ideal_db", "isolation, ideal"},
                   {"isolation_laid_db", "isolation, laid out"}};
  c.panels = {coupling, others};
  return c;
}

void draw_chart(const std::string& path, OutputSet& outputs, const MeasuredSweep& laid,
                const MeasuredSweep& ideal, Mesh mesh, commands::LengthUnit unit) {
  check_chart_name("--plot", path);
  OutputFile& image = outputs.open("--plot", path);
  Plot plot("--plot", image, path, chart_layout(mesh), kChartColumns, unit);
  for (std::size_t i = 0; i < laid.f_mhz.size(); ++i) {
    const FourPortResponse a = response_of_matrix(ideal.s[i]);
    const FourPortResponse b = response_of_matrix(laid.s[i]);
    const std::array<commands::Cell, 9> row = {
        commands::number_cell(laid.f_mhz[i]),
        commands::number_cell(a.amplitude_db[Port::coupled]),
        commands::number_cell(b.amplitude_db[Port::coupled]),
        commands::number_cell(directivity_db(a)),
        commands::number_cell(directivity_db(b)),
        commands::number_cell(return_loss_db(a)),
        commands::number_cell(return_loss_db(b)),
        commands::number_cell(-a.amplitude_db[Port::isolated]),
        commands::number_cell(-b.amplitude_db[Port::isolated])};
    plot.row(row);
  }
  plot.draw();
}

// One mesh's run, its progress shown; a signal held while it runs stops
// it, and acts once the partial results are gone.
ModelResult run_mesh(const commands::ModelRequest& m, Mesh mesh,
                     const commands::Interpreter& interpreter) {
  ModelProgress progress;
  const HeldSignals held;
  return commands::run_model({m.directory, mesh, m.threads}, interpreter,
                             {.line = [&](std::string_view l) { progress.line(l); },
                              .should_stop = [] { return HeldSignals::arrived(); }});
}

int status_of(ModelOutcome outcome) {
  return outcome == ModelOutcome::no_result ? commands::kRowsNotBuilt : commands::kFailure;
}

}  // namespace

RunResult run_fullwave(commands::TextValues& values, const commands::ResponseRequest& request,
                       double drawn_inch, const FullwaveOutputs& outputs,
                       const commands::Interpreter& interpreter, const commands::Redraw& redraw) {
  const commands::ModelRequest m = commands::model_request(values);
  const std::vector<float> f = commands::listed(request.f);
  const commands::ComparisonRuns runs = commands::run_for_comparison(
      m, request, f, drawn_inch, [&](Mesh mesh) { return run_mesh(m, mesh, interpreter); }, redraw);
  std::vector<std::string> notes;
  // The search's note once it has ended in a result.
  if (redraw && !runs.reported.empty()) {
    notes.push_back(commands::trials_note(runs.trials, request, outputs.unit));
  }
  for (const auto& [mesh, status] : runs.reported) notes.push_back(status_note(mesh, status));
  if (runs.failed) {
    return {status_of(runs.failed->outcome), runs.failed->message, 0, {}, notes};
  }
  const commands::LaidOutComparison c = commands::compare_laid_out(
      request, f, runs.drawn_inch, runs.last, runs.coarse ? &*runs.coarse : nullptr);

  OutputSet set;
  write_touchstone(values, request, runs.last, outputs, set);
  if (const std::string* path = given_text(values, Opt::plot)) {
    draw_chart(*path, set, runs.last, c.ideal_sweep, m.meshes.back(), outputs.unit);
  }
  const std::string* output_path = given_text(values, Opt::output);
  OutputFile& output = set.open("--output", output_path == nullptr ? "" : *output_path);
  write_summary(c, outputs, output.sink());
  set.commit();
  // After a search the length found is the answer; else the one to try.
  if (std::string note = commands::peak_shift_note(c, request, outputs.unit);
      !redraw && !note.empty()) {
    notes.push_back(std::move(note));
  }
  return {commands::kSuccess, "", 0, {}, notes};
}

}  // namespace ketrovane::calc
