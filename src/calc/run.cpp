#include "calc/run.hpp"

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "calc/fullwave_output.hpp"
#include "calc/output_file.hpp"
#include "calc/plot.hpp"
#include "calc/progress.hpp"
#include "calc/tolerance_run.hpp"
#include "calc/touchstone.hpp"
#include "calc/writers.hpp"
#include "commands/accuracy_note.hpp"
#include "commands/artwork_output.hpp"
#include "commands/coupler_types.hpp"
#include "commands/input_error.hpp"
#include "commands/mode_note.hpp"
#include "commands/number_format.hpp"
#include "commands/row_runner.hpp"

namespace ketrovane::calc {

namespace {

using commands::Opt;
using commands::TextValues;

// What the file's ports are, and what they are referenced to.
std::vector<std::string> port_comments(const TouchstoneLayout& layout) {
  const std::string numbering =
      layout.order == PortOrder::isolated_third
          ? "ports: 1 input, 2 thru, 3 isolated, 4 coupled; 1 and 4 at one end, 2 and 3 at the "
            "other"
          : "ports: 1 input, 2 thru, 3 coupled, 4 isolated; 1 and 3 at one end, 2 and 4 at the "
            "other";
  const std::string rows = "; each frequency gives the rows S11..S14, S21..S24, S31..S34, S41..S44";
  const std::array<float, kScatteringPorts>& r = layout.references;
  if (!layout.version_2) {
    return {numbering, "every port referenced to " + commands::shortest(r[0]) + " ohm" + rows};
  }
  return {numbering, "input and coupled ports referenced to Rs = " + commands::shortest(r[0]) +
                         " ohm, thru and isolated ports to Rl = " + commands::shortest(r[1]) +
                         " ohm ([Reference])" + rows};
}

// What a Touchstone file describes: the coupler in a line, its
// frequencies and terminations, and its matrix at each frequency.
struct TouchstoneSource {
  std::string kind;     // "single-section broadside-coupled stripline directional coupler"
  std::string coupler;  // "Zoe = ... ohm, ..."
  Axis f;
  Terminations terminations;
  std::function<ScatteringMatrix(float f_mhz, Terminations references)> matrix;
  // Why the matrix at f_mhz is not finite where the field failed its row
  // ("no field solution at W ...: ..."), or empty.
  std::function<std::string(float f_mhz, Terminations references)> cause;
};

// The field's failure of the response row at f_mhz, in words, or empty
// (a matrix not finite for want of a reference is the file's to word).
std::string row_cause(const ResponseCoupler& coupler, float f_mhz, Terminations references) {
  const ResponseRow row = response_row(coupler, f_mhz, references);
  return row.failure ? commands::failure_message(*row.failure) : "";
}

TouchstoneSource response_source(const commands::ResponseRequest& q, LengthUnit unit) {
  const ResponseCoupler coupler = commands::coupler_of(q);
  return {
      commands::coupler_kind(q),
      commands::coupler_description(q, unit),
      q.f,
      q.terminations,
      [coupler](float f, Terminations references) {
        return response_scattering_matrix(coupler, f, references);
      },
      [coupler](float f, Terminations references) { return row_cause(coupler, f, references); }};
}

TouchstoneSource multisection_source(const commands::MultisectionRequest& q, LengthUnit unit) {
  if (!q.f) commands::refuse(Opt::touchstone, {"the file needs the frequencies of ", Opt::f});
  if (!q.coupler->built()) {
    commands::refuse(Opt::touchstone,
                     "a section could not be built (see the section table); no file written");
  }
  return {commands::coupler_kind(q),
          commands::multisection_description(q, unit),
          *q.f,
          q.terminations,
          [coupler = q.coupler](float f, Terminations references) {
            return multisection_scattering_matrix(*coupler, f, references);
          },
          nullptr};
}

std::vector<std::string> touchstone_comments(const TouchstoneSource& source, const Echo& echo,
                                             std::string_view command_line,
                                             const TouchstoneLayout& layout) {
  std::vector<std::string> lines = {"ketrovane-calc " KETROVANE_VERSION ": " + source.kind,
                                    "command: " + std::string(command_line)};
  for (const commands::InputEcho& e : echo) {
    lines.emplace_back(
        "input " + e.name + " = " + commands::echo_value_text(e) +
        (e.given.empty() ? " (default)" : " (given " + commands::quoted(e.given) + ")"));
  }
  lines.push_back("coupler: " + source.coupler);
  for (std::string& line : port_comments(layout)) lines.push_back(std::move(line));
  return lines;
}

// The Touchstone file of a response, when asked for: each frequency's
// matrix from the same row function as the table's row.
class TouchstoneOutput {
 public:
  TouchstoneOutput(TextValues& values, TouchstoneSource source, const Echo& echo,
                   std::string_view command_line, OutputSet& outputs)
      : source_(std::move(source)) {
    const std::string& path = *given_text(values, Opt::touchstone);
    if (!has_extension(path, ".s4p")) {
      commands::reject(Opt::touchstone, path, "expected a file name ending in .s4p");
    }
    TouchstoneLayout layout;
    layout.format = pair_format_named(values.choice(Opt::touchstone_format));
    layout.version_2 = values.choice(Opt::touchstone_version) == "2";
    layout.order = port_order_named(values.choice(Opt::port_order));
    layout.frequencies = source_.f.rows;
    references_ = reference_of(values, source_.terminations, layout.version_2);
    layout.references = {references_.source, references_.load, references_.load,
                         references_.source};
    OutputFile& file = outputs.open("--touchstone", path);
    writer_.emplace(file.sink(), touchstone_comments(source_, echo, command_line, layout), layout);
  }

  void row(std::int64_t index) {
    const float f = source_.f.value(index);
    const ScatteringMatrix m = source_.matrix(f, references_);
    // The cause is looked for only where the file is refused.
    const bool finite = TouchstoneWriter::finite(m);
    writer_->frequency(f, m, finite || !source_.cause ? "" : source_.cause(f, references_));
  }

  // Every frequency, when the rows of the table are not the file's.
  void all_rows() {
    for (std::int64_t i = 0; i < source_.f.rows; ++i) row(i);
  }

  void finish() { writer_->finish(); }

 private:
  // Version 1.1: every port --ref; version 2.0: the terminations, and --ref
  // has no place.
  static Terminations reference_of(TextValues& values, Terminations terminations, bool version_2) {
    if (!version_2) {
      const float r = values.number(Opt::ref);
      return {.source = r, .load = r};
    }
    if (const std::string* ref = given_text(values, Opt::ref)) {
      commands::reject(Opt::ref, *ref,
                       {"a Touchstone 2.0 file references its ports to ", Opt::rs, " and ", Opt::rl,
                        "; ", Opt::ref, " is for version 1.1"});
    }
    return terminations;
  }

  TouchstoneSource source_;
  Terminations references_{};
  std::optional<TouchstoneWriter> writer_;
};

// Options of the Touchstone file given without it (--port-order numbers
// the artwork's pads too).
void refuse_touchstone_options(const TextValues& values, bool with_artwork) {
  for (const Opt id :
       {Opt::touchstone_format, Opt::touchstone_version, Opt::port_order, Opt::ref}) {
    if (id == Opt::port_order && with_artwork) continue;
    if (const std::string* t = given_text(values, id)) {
      commands::reject(id, *t, {"only with ", Opt::touchstone, " FILE.s4p"});
    }
  }
}

// Options of the artwork given without it.
void refuse_artwork_options(const TextValues& values) {
  for (const Opt id :
       {Opt::bend, Opt::lead_isolation, Opt::lead_length, Opt::copper_layers, Opt::compensate}) {
    if (const std::string* t = given_text(values, id)) {
      commands::reject(id, *t, {"only with ", Opt::layout, " FILE"});
    }
  }
}

// The artwork's files, each put in place with the other outputs; a
// picture drawn by gnuplot.
void write_artwork(const commands::CouplerArtwork& artwork, const std::string& path,
                   OutputSet& outputs) {
  for (const commands::ArtworkFile& file : commands::artwork_files(artwork, path)) {
    OutputFile& out = outputs.open("--layout", file.path);
    if (!file.picture) {
      out.sink().write(file.text);
      continue;
    }
    const std::string gnuplot = find_gnuplot();
    if (gnuplot.empty()) {
      throw OutputError("--layout " + commands::quoted(file.path) +
                        ": gnuplot not found on PATH; install gnuplot (Debian: gnuplot-nox) to "
                        "draw the picture");
    }
    draw_with_gnuplot(
        gnuplot,
        [&](const std::string& image) {
          return commands::artwork_picture(artwork, commands::artwork_terminal(file.path), image);
        },
        out, file.path);
  }
}

// A script in place that was changed by hand.
bool hand_changed_script_at(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  return commands::script_changed_by_hand(text.str());
}

// The full-wave model's directory, made if it is not there (a file of its
// name refused), and its files put in place with the other outputs; a
// script there changed by hand is kept (true when it is).
bool write_fullwave(const commands::CouplerArtwork& artwork, const std::string& directory,
                    OutputSet& outputs) {
  std::error_code error;
  const std::filesystem::path dir(directory);
  if (std::filesystem::exists(dir, error) && !std::filesystem::is_directory(dir, error)) {
    throw OutputError("--fullwave " + commands::quoted(directory) +
                      ": a file of that name is there; give a directory");
  }
  std::filesystem::create_directories(dir, error);
  if (error) {
    throw OutputError("--fullwave " + commands::quoted(directory) + ": " + error.message());
  }
  bool kept = false;
  for (const commands::ArtworkFile& file : commands::fullwave_files(artwork, directory)) {
    if (file.path.ends_with(".py") && hand_changed_script_at(file.path)) {
      kept = true;
      continue;
    }
    outputs.open("--fullwave", file.path).sink().write(file.text);
  }
  return kept;
}

// The note on the model's accuracy over the rows of a model run (with both,
// the model's error is in the table itself); a multi-section coupler's names
// its sections.
std::string model_accuracy_note(const commands::Request& request, const commands::RowTally& tally,
                                LengthUnit unit) {
  if (commands::solver_of(request) != Solver::model) return "";
  if (const auto* q = std::get_if<commands::MultisectionRequest>(&request)) {
    return commands::accuracy_note(tally.accuracy, *q->coupler, unit);
  }
  return commands::accuracy_note(tally.accuracy, unit);
}

// The error of the row that threw, as a one-line message.
std::string row_error(const commands::FailedRow& failed) {
  try {
    std::rethrow_exception(failed.error);
  } catch (const FieldFailure& f) {
    return commands::failure_message(f);
  }
}

class Run {
 public:
  Run(const commands::CommandSpec& command, TextValues& values, std::string_view command_line)
      : command_(command), values_(values), command_line_(command_line) {}

  RunResult operator()();

 private:
  void open_outputs(const commands::Request& request, const commands::RowSource& rows);
  void write(const commands::RowBlock& block);
  // The artwork of --layout (the layout command's own), checked and
  // computed before any row.
  void read_artwork(commands::Request& request);
  // The run of the --fullwave model (--run on) in place of the rows; its
  // options refused without it.
  std::optional<RunResult> run_model_asked(const commands::Request& request);
  // --compensate measured: the model of --fullwave written again with the
  // section of `response` drawn at each length the search tries.
  commands::Redraw redraw_at(const commands::ResponseRequest& response);
  // The note on bare numbers read in a unit the user may not expect, first.
  void with_bare_numbers_note(RunResult& result) {
    if (std::string note = commands::bare_numbers_note(values_); !note.empty()) {
      result.notes.insert(result.notes.begin(), std::move(note));
    }
  }

  const commands::CommandSpec& command_;
  TextValues& values_;
  std::string_view command_line_;
  LengthUnit unit_ = commands::kInches;
  Format format_ = Format::table;
  Echo echo_;
  OutputSet outputs_;
  std::optional<Plot> plot_;
  std::optional<TouchstoneOutput> touchstone_;
  bool touchstone_by_row_ = true;
  std::optional<BandSummary> summary_;
  std::optional<ProfileSummary> profile_summary_;
  std::string section_line_;  // a section whose modes travel at different speeds
  std::unique_ptr<RowWriter> writer_;
  std::optional<Progress> progress_;
  std::shared_ptr<const commands::CouplerArtwork> artwork_;  // --layout, or the layout command's
  bool kept_script_ = false;  // --fullwave's coupler.py, changed by hand, kept
};

// The Touchstone file's source for the commands that write one.
std::optional<TouchstoneSource> touchstone_source(const commands::Request& request,
                                                  LengthUnit unit) {
  if (const auto* q = std::get_if<commands::ResponseRequest>(&request)) {
    return response_source(*q, unit);
  }
  if (const auto* q = std::get_if<commands::MultisectionRequest>(&request)) {
    return multisection_source(*q, unit);
  }
  return std::nullopt;
}

// A multi-section chart is of the response rows.
void check_multisection_plot(const commands::Request& request, const std::string& path) {
  const auto* q = std::get_if<commands::MultisectionRequest>(&request);
  if (q != nullptr && !q->response_table) {
    commands::reject(
        Opt::plot, path,
        {"the chart is of the response: add ", {Opt::table, "response"}, " and ", Opt::f});
  }
}

void Run::open_outputs(const commands::Request& request, const commands::RowSource& rows) {
  const auto* response = std::get_if<commands::ResponseRequest>(&request);
  const auto* multisection = std::get_if<commands::MultisectionRequest>(&request);
  if (response != nullptr) {
    const ResponseCoupler coupler = commands::coupler_of(*response);
    summary_ = band_summary(coupler, response->terminations, response->f, response->f0_mhz,
                            response->flatness_db);
    if (coupler.section.eeff_even != coupler.section.eeff_odd) {
      section_line_ = "Coupled section: " + commands::coupler_description(*response, unit_);
    }
  }
  if (multisection != nullptr) profile_summary_ = commands::multisection_summary(*multisection);
  const BandSummary* summary = summary_ ? &*summary_ : nullptr;
  const ProfileSummary* profile_summary = profile_summary_ ? &*profile_summary_ : nullptr;
  if (const std::string* path = given_text(values_, Opt::plot)) {
    check_chart_name("--plot", *path);
    check_multisection_plot(request, *path);
    OutputFile& image = outputs_.open("--plot", *path);
    plot_.emplace("--plot", image, *path,
                  command_.chart(request, {unit_, summary, profile_summary}), rows.columns(),
                  unit_);
  }
  if (const std::string* path = given_text(values_, Opt::layout)) {
    write_artwork(*artwork_, *path, outputs_);
  }
  if (const std::string* directory = given_text(values_, Opt::fullwave)) {
    kept_script_ = write_fullwave(*artwork_, *directory, outputs_);
  }
  if (given_text(values_, Opt::touchstone) == nullptr) {
    refuse_touchstone_options(values_, artwork_ != nullptr);
  } else if (std::optional<TouchstoneSource> source = touchstone_source(request, unit_)) {
    touchstone_.emplace(values_, std::move(*source), echo_, command_line_, outputs_);
    // The file follows the table's rows only when they are its frequencies.
    touchstone_by_row_ = multisection == nullptr || multisection->response_table;
  }
  const std::string* output_path = given_text(values_, Opt::output);
  OutputFile& output = outputs_.open("--output", output_path == nullptr ? "" : *output_path);
  const MultisectionDesign* profile = multisection == nullptr ? nullptr : &multisection->design;
  TableHeader header{command_.name, &echo_, rows.columns(), unit_, summary, profile};
  header.profile_summary = profile_summary;
  header.section_line = section_line_;
  writer_ = make_writer(format_, header, output.sink());
}

std::optional<RunResult> Run::run_model_asked(const commands::Request& request) {
  const auto* response = std::get_if<commands::ResponseRequest>(&request);
  const bool measured = values_.choice(Opt::compensate) == "measured";
  if (response == nullptr || values_.choice(Opt::run) != "on") {
    for (const Opt id : {Opt::mesh, Opt::threads}) {
      if (const std::string* t = given_text(values_, id)) {
        commands::reject(id, *t, {"only with ", {Opt::run, "on"}});
      }
    }
    if (measured) {
      commands::reject(Opt::compensate, "measured",
                       {"only on response with ", {Opt::run, "on"}, ": the search runs the model"});
    }
    return std::nullopt;
  }
  if (const std::string* path = given_text(values_, Opt::layout)) {
    commands::reject(Opt::layout, *path,
                     {"the artwork is written in a run of its own, not with ", {Opt::run, "on"}});
  }
  if (given_text(values_, Opt::touchstone) == nullptr) refuse_touchstone_options(values_, false);
  // The model of this coupler first, so that the run is of it and not of
  // one an earlier command left in the directory.
  if (const std::string* directory = given_text(values_, Opt::fullwave); directory && artwork_) {
    OutputSet model;
    kept_script_ = write_fullwave(*artwork_, *directory, model);
    model.commit();
  }
  if (measured && kept_script_) {
    commands::reject(Opt::compensate, "measured",
                     {"redraws the model for each run, and ",
                      commands::quoted(*given_text(values_, Opt::fullwave) + "/coupler.py"),
                      " was changed by hand"});
  }
  const double drawn = artwork_ ? commands::drawn_section_inch(*artwork_, response->length_inch)
                                : response->length_inch;
  RunResult result =
      run_fullwave(values_, *response, drawn, {format_, unit_, &echo_, command_line_},
                   commands::kDebianPython, measured ? redraw_at(*response) : commands::Redraw{});
  if (result.error.empty()) with_bare_numbers_note(result);
  if (kept_script_) {
    result.notes.insert(result.notes.begin(),
                        commands::kept_script_note(*given_text(values_, Opt::fullwave)));
  }
  return result;
}

commands::Redraw Run::redraw_at(const commands::ResponseRequest& response) {
  const std::string directory = *given_text(values_, Opt::fullwave);
  return [this, response, directory](double length) {
    commands::ResponseRequest q = response;
    q.length_inch = static_cast<float>(length);
    const std::shared_ptr<const commands::CouplerArtwork> artwork =
        commands::coupler_artwork(commands::Request(q), values_, unit_);
    OutputSet model;
    write_fullwave(*artwork, directory, model);
    model.commit();
  };
}

void Run::read_artwork(commands::Request& request) {
  const std::string* path = given_text(values_, Opt::layout);
  auto* layout = std::get_if<commands::LayoutRequest>(&request);
  if (path == nullptr && layout == nullptr && given_text(values_, Opt::fullwave) == nullptr) {
    refuse_artwork_options(values_);
    return;
  }
  if (path != nullptr) commands::check_artwork_name(*path);
  artwork_ = commands::coupler_artwork(request, values_, unit_);
  if (layout != nullptr) layout->artwork = artwork_;
}

void Run::write(const commands::RowBlock& block) {
  for (std::int64_t i = 0; i < block.count; ++i) {
    const std::span<const Cell> cells = block.row(i);
    writer_->row(cells);
    if (touchstone_ && touchstone_by_row_) touchstone_->row(block.first + i);
    if (plot_) plot_->row(cells);
  }
  progress_->rows_done(block.count);
}

RunResult Run::operator()() {
  format_ = format_named(values_.choice(Opt::format));
  unit_ = commands::output_length_unit(values_);
  if (command_.id == commands::Command::tolerance && values_.has(Opt::combine)) {
    RunResult result = run_tolerance_combine(values_, {format_, unit_, nullptr});
    if (result.error.empty()) with_bare_numbers_note(result);
    return result;
  }
  commands::Request request = command_.read(values_);
  read_artwork(request);
  echo_ = values_.echo();
  if (const auto* tolerance = std::get_if<commands::ToleranceRequest>(&request)) {
    RunResult result = run_tolerance(values_, *tolerance, {format_, unit_, &echo_});
    if (result.error.empty()) with_bare_numbers_note(result);
    return result;
  }
  if (std::optional<RunResult> ran = run_model_asked(request)) return *ran;
  std::unique_ptr<commands::RowSource> rows = command_.rows(request);
  if (artwork_) rows = commands::with_compensation(std::move(rows), *artwork_, request);
  open_outputs(request, *rows);
  progress_.emplace(rows->rows());
  const commands::RowTally tally =
      commands::run_rows(*rows, [this](const commands::RowBlock& block) { write(block); });
  progress_.reset();
  writer_->finish();
  if (touchstone_ && !touchstone_by_row_) touchstone_->all_rows();
  if (touchstone_) touchstone_->finish();
  if (plot_) plot_->draw();
  outputs_.commit();

  RunResult result{tally.failed > 0 ? commands::kRowsNotBuilt : commands::kSuccess, "",
                   tally.failed};
  with_bare_numbers_note(result);
  if (artwork_) result.notes.push_back(commands::lead_out_note(*artwork_));
  if (artwork_) {
    if (std::optional<std::string> note = commands::compensation_note(*artwork_)) {
      result.notes.push_back(std::move(*note));
    }
  }
  if (const std::string* directory = given_text(values_, Opt::fullwave)) {
    result.notes.push_back(kept_script_ ? commands::kept_script_note(*directory)
                                        : commands::fullwave_note(*directory));
  }
  if (tally.failed > 0) {
    result.failed_rows_line = std::to_string(tally.failed) + " of the rows could not be " +
                              (command_.id == commands::Command::synthesise ||
                                       command_.id == commands::Command::multisection
                                   ? "built"
                                   : "computed") +
                              " (see their status)";
  }
  if (std::string note = model_accuracy_note(request, tally, unit_); !note.empty()) {
    result.notes.push_back(std::move(note));
  }
  if (std::string note = commands::higher_mode_note(request, unit_); !note.empty()) {
    result.notes.push_back(std::move(note));
  }
  for (std::string note :
       {commands::gap_limit_note(tally, request), commands::core_note(tally, request),
        commands::weak_sections_note(request)}) {
    if (!note.empty()) result.notes.push_back(std::move(note));
  }
  for (std::string& note : commands::field_failure_notes(tally, unit_, false)) {
    result.notes.push_back(std::move(note));
  }
  return result;
}

}  // namespace

const std::string* given_text(const commands::TextValues& values, commands::Opt id) {
  const std::optional<std::string>& t = values.text(id);
  return t ? &*t : nullptr;
}

bool has_extension(std::string_view path, std::string_view extension) {
  return path.size() >= extension.size() &&
         commands::equal_ignoring_case(path.substr(path.size() - extension.size()), extension);
}

RunResult run_command(const commands::CommandSpec& command, TextValues& values,
                      std::string_view command_line) {
  try {
    return Run(command, values, command_line)();
  } catch (const commands::ArtworkRefusal& e) {
    return {commands::kRowsNotBuilt, e.what()};
  } catch (const commands::InputError& e) {
    return {commands::kFailure, e.what()};
  } catch (const OutputError& e) {
    return {commands::kFailure, e.what()};
  } catch (const commands::FailedRow& f) {
    return {commands::kFailure, row_error(f)};
  } catch (const std::bad_alloc&) {
    return {commands::kFailure, "out of memory"};
  }
}

}  // namespace ketrovane::calc
