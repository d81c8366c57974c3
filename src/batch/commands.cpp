#include "batch/commands.hpp"

#include <unistd.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "batch/input_error.hpp"
#include "batch/number_format.hpp"
#include "batch/output_file.hpp"
#include "batch/plot.hpp"
#include "batch/quantities.hpp"
#include "batch/row_pipeline.hpp"
#include "batch/rows.hpp"
#include "batch/touchstone.hpp"
#include "batch/writers.hpp"

namespace ketrovane::batch {

namespace {

constexpr OptionEntry kFormat{"format", "table|csv|json",
                              "output format (default table: aligned columns)"};
constexpr OptionEntry kOutput{"output", "FILE",
                              "write the table to FILE (default standard output)"};
constexpr OptionEntry kLengthUnit{"length-unit", "in|mil|mm|um",
                                  "unit of the lengths written out (default in)"};
constexpr OptionEntry kB{"b", "L", "ground-plane spacing B (in, mil, uin, mm, um; bare: inches)"};
constexpr OptionEntry kT{"t", "L", "strip thickness T, at most 0.8 B"};
constexpr OptionEntry kEr{"er", "X", "relative permittivity Er of the dielectric"};
constexpr OptionEntry kWidths{"w", "L[:L:L]", "strip width W, or a range start:stop:step"};
constexpr OptionEntry kSpacings{"s", "L[:L:L]", "edge-to-edge strip spacing S, or a range"};
constexpr OptionEntry kRho{"rho", "R|METAL",
                           "conductor resistivity in micro-ohm-cm, or silver, copper, gold, "
                           "aluminium, brass, lossless (default copper, 1.7)"};
constexpr OptionEntry kRoughness{"roughness", "L", "RMS surface roughness (default 5uin)"};
constexpr OptionEntry kTand{"tand", "X", "dielectric loss tangent (default 0.0009)"};
constexpr OptionEntry kPlot{"plot", "FILE",
                            "draw a chart with gnuplot into FILE.svg, FILE.png or FILE.pdf"};
constexpr OptionEntry kSolver{
    "solver", "model|field|both",
    "closed-form model (default), two-dimensional field solution, or both with the model's "
    "error"};

constexpr std::array kAnalyseOptions = {
    kB,
    kT,
    kEr,
    kWidths,
    kSpacings,
    kRho,
    kRoughness,
    kTand,
    OptionEntry{"f", "F", "frequency of the loss (Hz, kHz, MHz, GHz; bare: MHz; default 1000)"},
    kSolver,
    kPlot,
    kFormat,
    kOutput,
    kLengthUnit};

constexpr std::array kSynthesiseOptions = {
    kB,
    kT,
    kEr,
    OptionEntry{"zo", "Z", "coupler impedance Zo, ohms"},
    OptionEntry{"coupling", "DB[:DB:DB]",
                "midband coupling in dB (10 and -10 alike, above 0 to 60), or a range"},
    OptionEntry{"zoe", "Z[:Z:Z]", "even-mode impedance Zoe above Zo, ohms, or a range"},
    kSolver,
    kPlot,
    kFormat,
    kOutput,
    kLengthUnit};

constexpr std::array kResponseOptions = {
    OptionEntry{"zo", "Z", "coupler impedance Zo, ohms (with --coupling: a lossless coupler)"},
    OptionEntry{"coupling", "DB", "midband coupling in dB"},
    kEr,
    OptionEntry{"b", "L", "ground-plane spacing B (a coupler given by its dimensions)"},
    kT,
    OptionEntry{"w", "L", "strip width W"},
    OptionEntry{"s", "L", "edge-to-edge strip spacing S"},
    kRho,
    kRoughness,
    kTand,
    OptionEntry{"length", "L", "coupler length"},
    OptionEntry{"f0", "F", "centre frequency: the coupler is a quarter wave long there"},
    OptionEntry{"f", "F[:F:F]", "analysis frequencies start:stop:step (bare: MHz)"},
    OptionEntry{"rs", "Z", "source termination Rs, ohms (default 50)"},
    OptionEntry{"rl", "Z", "load termination Rl, ohms (default 50)"},
    OptionEntry{"touchstone", "FILE.s4p", "write the 4x4 scattering matrix as Touchstone 1.1"},
    OptionEntry{"touchstone-format", "ma|db|ri",
                "number pairs of the Touchstone file (default ma)"},
    OptionEntry{"ref", "Z", "reference resistance of every Touchstone port, ohms (default 50)"},
    kSolver,
    kPlot,
    kFormat,
    kOutput,
    kLengthUnit};

constexpr std::array kSensitivityOptions = {kB,      kT,      kEr,     kWidths,    kSpacings,
                                            kSolver, kFormat, kOutput, kLengthUnit};

constexpr std::array kFieldOptions = {
    kB,         kT,
    kEr,        kWidths,
    kSpacings,  OptionEntry{"tol", "X", "relative tolerance of each mode impedance (default 1e-4)"},
    kFormat,    kOutput,
    kLengthUnit};

constexpr std::array kCommands = {
    CommandEntry{Command::analyse, "analyse",
                 "Zo, Zoe, Zoo, coupling and mode losses for each strip width and spacing",
                 kAnalyseOptions},
    CommandEntry{Command::synthesise, "synthesise",
                 "strip width and spacing for each coupling level or even-mode impedance",
                 kSynthesiseOptions},
    CommandEntry{Command::response, "response",
                 "four-port response of the coupler over frequency, and its Touchstone file",
                 kResponseOptions},
    CommandEntry{Command::sensitivity, "sensitivity",
                 "normalised sensitivities of Zoe and Zoo to Er, B, S, T and W",
                 kSensitivityOptions},
    CommandEntry{Command::field, "field",
                 "two-dimensional field solution of each cross-section, with its error estimate",
                 kFieldOptions},
};

const std::string* text_of(const OptionTexts& texts, std::string_view name) {
  const auto it = texts.find(name);
  return it == texts.end() ? nullptr : &it->second;
}

// A row computation with what its outputs need besides the rows.
struct Job {
  std::unique_ptr<RowSource> source;
  ResponseRows* response = nullptr;  // for the Touchstone file
  Echo echo;
  SolverChoice solver = SolverChoice::model;  // what the rows are computed with
  PlotLayout plot;
  std::string description;  // of the coupler, for comments
};

std::string value_text(const InputEcho& e) {
  const SweepAxis& a = e.axis;
  std::string text =
      a.swept ? shortest(a.range.min) + ":" + shortest(a.range.max) + ":" + shortest(a.range.step)
              : shortest(a.range.min);
  if (!e.unit.empty()) text += " " + e.unit;
  return text;
}

const InputEcho* find_echo(const Echo& echo, std::string_view name) {
  for (const InputEcho& e : echo) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

std::string cross_section_title(const Echo& echo) {
  std::string title;
  for (const char* name : {"b", "t", "er"}) {
    if (const InputEcho* e = find_echo(echo, name)) {
      if (!title.empty()) title += ", ";
      title += std::string(name == std::string_view("er")  ? "Er"
                           : name == std::string_view("b") ? "B"
                                                           : "T") +
               " = " + value_text(*e);
    }
  }
  return title;
}

SolverChoice solver_of(const OptionTexts& texts) {
  const std::string* text = text_of(texts, "solver");
  return text == nullptr ? SolverChoice::model : solver_choice(*text);
}

Job analyse_job(const OptionTexts& texts, LengthUnit unit) {
  const AnalyseRequest q = read_analyse(texts);
  const SolverChoice solver = solver_of(texts);
  Job job{analyse_rows(q, solver), nullptr, q.echo, solver, {}, {}};
  const bool over_spacing = q.s.swept;
  job.plot.title = "Impedance analysis: " + cross_section_title(q.echo);
  job.plot.x_column = over_spacing ? 1 : 0;
  job.plot.x_label = std::string(over_spacing ? "Strip spacing S (" : "Strip width W (") +
                     std::string(unit.name) + ")";
  job.plot.y_label = "Impedance (ohm)";
  job.plot.y2_label = "Midband coupling Co (dB)";
  job.plot.series = {{4, "Zo", false},
                     {5, "Zoe", false},
                     {6, "Zoo", false},
                     {7, "Coupling Co (right axis)", true}};
  if (q.w.swept && q.s.swept) job.plot.break_column = 0;
  return job;
}

Job synthesise_job(const OptionTexts& texts, LengthUnit unit) {
  const SynthesiseRequest q = read_synthesise(texts);
  const SolverChoice solver = solver_of(texts);
  Job job{synthesise_rows(q, solver), nullptr, q.echo, solver, {}, {}};
  job.plot.title = "Width and spacing synthesis: Zo = " + shortest(q.zo) + " ohm, " +
                   cross_section_title(q.echo);
  job.plot.x_column = q.by_coupling ? 7 : 5;
  job.plot.x_label = q.by_coupling ? "Midband coupling Co (dB)" : "Even-mode impedance Zoe (ohm)";
  job.plot.y_label = "Strip dimension (" + std::string(unit.name) + ")";
  job.plot.series = {{0, "Strip width W", false}, {1, "Strip spacing S", false}};
  job.plot.log_y = true;
  return job;
}

// The coupler of a response: its mode impedances, permittivity, length and
// terminations, each number written by `number`.
template <class Format>
std::string coupler_text(const CoupledSection& c, const ResponseRequest& q,
                         std::string_view length_name, Format number) {
  return "Zoe = " + number(c.zoe) + " ohm, Zoo = " + number(c.zoo) + " ohm, Er = " + number(c.er) +
         ", " + std::string(length_name) + " = " + number(c.length_inch) +
         " in, Rs = " + number(q.rs) + " ohm, Rl = " + number(q.rl) + " ohm";
}

Job response_job(const OptionTexts& texts) {
  const ResponseRequest q = read_response(texts);
  const SolverChoice solver = solver_of(texts);
  auto rows = std::make_unique<ResponseRows>(q, solver);
  const CoupledSection& c = rows->section();
  Job job{nullptr, rows.get(), q.echo, solver, {}, {}};
  job.description = coupler_text(c, q, "length", [](float v) { return shortest(v); });
  job.source = std::move(rows);
  job.plot.title =
      "Four-port response: " + coupler_text(c, q, "L", [](float v) { return significant(v, 5); });
  job.plot.x_column = 0;
  job.plot.x_label = "Frequency (MHz)";
  job.plot.y_label = "Amplitude (dB)";
  job.plot.y2_label = "Quadrature error (deg)";
  job.plot.y2_least_span = 2;
  job.plot.series = {{7, "Coupled S41", false},
                     {3, "Thru S21", false},
                     {5, "Isolated S31", false},
                     {1, "Return S11", false},
                     {11, "Quadrature error (right axis)", true}};
  return job;
}

Job sensitivity_job(const OptionTexts& texts) {
  const SensitivityRequest q = read_sensitivity(texts);
  const SolverChoice solver = solver_of(texts);
  return {sensitivity_rows(q, solver), nullptr, q.echo, solver, {}, {}};
}

Job job_of(Command command, const OptionTexts& texts, LengthUnit unit) {
  switch (command) {
    case Command::analyse:
      return analyse_job(texts, unit);
    case Command::synthesise:
      return synthesise_job(texts, unit);
    case Command::response:
      return response_job(texts);
    case Command::field: {
      const FieldRequest q = read_field(texts);
      return {field_rows(q), nullptr, q.echo, SolverChoice::field, {}, {}};
    }
    case Command::sensitivity:
      break;
  }
  return sensitivity_job(texts);
}

bool ends_with_s4p(std::string_view path) {
  constexpr std::string_view kExtension = ".s4p";
  return path.size() >= kExtension.size() &&
         equal_ignoring_case(path.substr(path.size() - kExtension.size()), kExtension);
}

std::vector<std::string> touchstone_comments(const Job& job, std::string_view command_line,
                                             float reference) {
  std::vector<std::string> lines = {"ketrovane-calc " KETROVANE_VERSION
                                    ": single-section edge-coupled stripline directional coupler",
                                    "command: " + std::string(command_line)};
  for (const InputEcho& e : job.echo) {
    lines.emplace_back("input " + e.name + " = " + value_text(e) +
                       (e.given.empty() ? " (default)" : " (given " + quoted(e.given) + ")"));
  }
  lines.push_back("coupler: " + job.description);
  lines.emplace_back(
      "ports: 1 input, 2 thru, 3 isolated, 4 coupled; 1 and 4 at one end, 2 and 3 at the other");
  lines.push_back("every port referenced to " + shortest(reference) +
                  " ohm; each frequency gives the rows S11..S14, S21..S24, S31..S34, S41..S44");
  return lines;
}

// The Touchstone file of a response, when asked for.
class TouchstoneOutput {
 public:
  TouchstoneOutput(const OptionTexts& texts, const Job& job, std::string_view command_line) {
    const std::string* path = text_of(texts, "touchstone");
    if (path == nullptr) {
      for (const char* name : {"touchstone-format", "ref"}) {
        if (const std::string* t = text_of(texts, name)) {
          reject("--" + std::string(name), *t, "only with --touchstone FILE.s4p");
        }
      }
      return;
    }
    if (!ends_with_s4p(*path)) reject("--touchstone", *path, "expected a file name ending in .s4p");
    const std::string* format = text_of(texts, "touchstone-format");
    const PairFormat pairs =
        format == nullptr ? PairFormat::ma : parse_pair_format("--touchstone-format", *format);
    reference_ = read_reference(texts);
    file_.emplace(*path);
    writer_.emplace(file_->sink(), touchstone_comments(job, command_line, reference_), pairs,
                    reference_);
  }

  void row(const ResponseRows& rows) {
    if (!writer_) return;
    writer_->frequency(rows.last_frequency(),
                       scattering_matrix(rows.section(), rows.last_frequency(), reference_));
  }

  void commit() {
    if (file_) file_->commit();
  }

 private:
  float reference_ = 0.0F;
  std::optional<OutputFile> file_;
  std::optional<TouchstoneWriter> writer_;
};

// A bar on the error stream for a long computation at a terminal: it
// appears after a second and goes when the rows are done.
class Progress {
 public:
  explicit Progress(std::int64_t rows)
      : rows_(rows), shown_(isatty(STDERR_FILENO) == 1), start_(Clock::now()) {}
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  Progress(Progress&&) = delete;
  Progress& operator=(Progress&&) = delete;
  ~Progress() {
    if (drawn_) std::fputs("\r\033[K", stderr);
  }

  void row_done() {
    ++done_;
    if (!shown_ || rows_ <= 0) return;
    const Clock::time_point now = Clock::now();
    if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(200)) {
      return;
    }
    last_ = now;
    drawn_ = true;
    constexpr int kWidth = 30;
    const double part = static_cast<double>(done_) / static_cast<double>(rows_);
    const auto filled = static_cast<int>(part * kWidth);
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double left = part > 0.0 ? elapsed * (1.0 - part) / part : 0.0;
    std::fprintf(stderr, "\rketrovane-calc: [%-*s] %3d %% of %lld rows, about %.0f s left ", kWidth,
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 static_cast<int>(part * 100.0), static_cast<long long>(rows_), left);
    std::fflush(stderr);
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::int64_t rows_;
  std::int64_t done_ = 0;
  bool shown_;
  bool drawn_ = false;
  Clock::time_point start_;
  Clock::time_point last_{};
};

// One line for a run on the closed-form model whose rows reach where its
// error against the field solution exceeds 1 %, or where it was not mapped.
std::string accuracy_note(const ModelAccuracy& accuracy) {
  constexpr double kWorthANote = 0.01;
  if (!accuracy.seen || !(accuracy.worst_bound > kWorthANote)) return "";
  const CrossSection& x = accuracy.where;
  const std::string row = "W " + shortest(x.w) + " in, S " + shortest(x.s) + " in (W/B " +
                          significant(x.w / x.board.b, 3) + ", S/B " +
                          significant(x.s / x.board.b, 3) + ", T/B " +
                          significant(x.board.t / x.board.b, 3) + ")";
  const std::string advice =
      "; --solver field gives the field solution, --solver both compares the two";
  if (!std::isfinite(accuracy.worst_bound)) {
    return "note: at " + row +
           " the closed-form model is outside the map of its accuracy (W/B 0.1 to 3, S/B 0.01 "
           "to 2, T/B 0 to 0.2)" +
           advice;
  }
  return "note: at " + row + " the closed-form model may be off by up to " +
         significant(static_cast<float>(100.0 * accuracy.worst_bound), 2) + " %" + advice;
}

void write_one_by_one(RowSource& source, RowWriter& writer, std::optional<Plot>& plot) {
  Progress progress(source.rows());
  std::vector<Cell> cells(source.columns().size());
  while (source.next(cells)) {
    writer.row(cells);
    if (plot) plot->row(cells);
    progress.row_done();
  }
}

void write_in_parallel(RowSource& source, RowWriter& writer, std::optional<Plot>& plot) {
  RowPipeline rows(source);
  for (std::span<const Cell> cells = rows.next(); !cells.empty(); cells = rows.next()) {
    writer.row(cells);
    if (plot) plot->row(cells);
  }
}

RunResult run(Command command, const OptionTexts& texts, std::string_view command_line) {
  const std::string* format_text = text_of(texts, "format");
  const Format format =
      format_text == nullptr ? Format::table : parse_format("--format", *format_text);
  const std::string* unit_text = text_of(texts, "length-unit");
  const LengthUnit unit =
      unit_text == nullptr ? kInches : parse_length_unit("--length-unit", *unit_text);
  Job job = job_of(command, texts, unit);
  RowSource& source = *job.source;

  std::optional<Plot> plot;
  if (const std::string* path = text_of(texts, "plot")) {
    plot.emplace("--plot", *path, job.plot, source.columns(), unit);
  }
  std::optional<TouchstoneOutput> touchstone;
  if (job.response != nullptr) touchstone.emplace(texts, job, command_line);

  const std::string* output_path = text_of(texts, "output");
  OutputFile output(output_path == nullptr ? "" : *output_path);
  const std::string name = std::string(command_entries()[static_cast<std::size_t>(command)].name);
  const std::unique_ptr<RowWriter> writer =
      make_writer(format, {name, &job.echo, source.columns(), unit}, output.sink());
  const bool on_the_field = job.solver != SolverChoice::model;
  if (job.response == nullptr && on_the_field) {
    write_one_by_one(source, *writer, plot);
  } else if (job.response == nullptr) {
    write_in_parallel(source, *writer, plot);
  } else {
    // Each Touchstone line needs the section of its own row: one thread.
    std::vector<Cell> cells(source.columns().size());
    while (source.next(cells)) {
      writer->row(cells);
      if (touchstone) touchstone->row(*job.response);
      if (plot) plot->row(cells);
    }
  }
  writer->finish();
  output.commit();
  if (touchstone) touchstone->commit();
  if (plot) plot->draw();
  const std::int64_t unbuilt = source.unbuilt_rows();
  RunResult result{unbuilt > 0 ? kRowsNotBuilt : kSuccess, "", unbuilt};
  // With both, the model's error is in the table itself.
  if (job.solver == SolverChoice::model) result.note = accuracy_note(source.model_accuracy());
  return result;
}

}  // namespace

std::span<const CommandEntry> command_entries() {
  return kCommands;
}

RunResult run_command(Command command, const OptionTexts& texts, std::string_view command_line) {
  try {
    return run(command, texts, command_line);
  } catch (const InputError& e) {
    return {kFailure, e.what(), 0};
  } catch (const OutputError& e) {
    return {kFailure, e.what(), 0};
  } catch (const SolverError& e) {
    return {kFailure, e.what(), 0};
  } catch (const std::bad_alloc&) {
    return {kFailure, "out of memory", 0};
  }
}

}  // namespace ketrovane::batch
