#include "calc/run.hpp"

#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "batch/accuracy_note.hpp"
#include "batch/input_error.hpp"
#include "batch/mode_note.hpp"
#include "batch/number_format.hpp"
#include "batch/row_runner.hpp"
#include "calc/output_file.hpp"
#include "calc/plot.hpp"
#include "calc/progress.hpp"
#include "calc/touchstone.hpp"
#include "calc/writers.hpp"
#include "design/band_summary.hpp"
#include "frequency/scattering_matrix.hpp"

namespace ketrovane::calc {

namespace {

using batch::Opt;
using batch::TextValues;

const std::string* text_of(const TextValues& values, Opt id) {
  const std::optional<std::string>& t = values.text(id);
  return t ? &*t : nullptr;
}

bool ends_with_s4p(std::string_view path) {
  constexpr std::string_view kExtension = ".s4p";
  return path.size() >= kExtension.size() &&
         batch::equal_ignoring_case(path.substr(path.size() - kExtension.size()), kExtension);
}

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
    return {numbering, "every port referenced to " + batch::shortest(r[0]) + " ohm" + rows};
  }
  return {numbering, "input and coupled ports referenced to Rs = " + batch::shortest(r[0]) +
                         " ohm, thru and isolated ports to Rl = " + batch::shortest(r[1]) +
                         " ohm ([Reference])" + rows};
}

std::vector<std::string> touchstone_comments(const batch::ResponseRequest& q, const Echo& echo,
                                             std::string_view command_line,
                                             const TouchstoneLayout& layout, LengthUnit unit) {
  std::vector<std::string> lines = {"ketrovane-calc " KETROVANE_VERSION
                                    ": single-section edge-coupled stripline directional coupler",
                                    "command: " + std::string(command_line)};
  for (const batch::InputEcho& e : echo) {
    lines.emplace_back(
        "input " + e.name + " = " + batch::echo_value_text(e) +
        (e.given.empty() ? " (default)" : " (given " + batch::quoted(e.given) + ")"));
  }
  lines.push_back("coupler: " + batch::coupler_description(q, unit));
  for (std::string& line : port_comments(layout)) lines.push_back(std::move(line));
  return lines;
}

// The Touchstone file of a response, when asked for: each row's section
// from the same row function as the table's row.
class TouchstoneOutput {
 public:
  TouchstoneOutput(TextValues& values, const batch::ResponseRequest& q, const Echo& echo,
                   std::string_view command_line, OutputSet& outputs, LengthUnit unit)
      : request_(q), coupler_(batch::coupler_of(q)) {
    const std::string& path = *text_of(values, Opt::touchstone);
    if (!ends_with_s4p(path)) {
      batch::reject("--touchstone", path, "expected a file name ending in .s4p");
    }
    TouchstoneLayout layout;
    layout.format = pair_format_named(values.choice(Opt::touchstone_format));
    layout.version_2 = values.choice(Opt::touchstone_version) == "2";
    layout.order = port_order_named(values.choice(Opt::port_order));
    layout.frequencies = q.f.rows;
    references_ = reference_of(values, q, layout.version_2);
    layout.references = {references_.source, references_.load, references_.load,
                         references_.source};
    OutputFile& file = outputs.open("--touchstone", path);
    writer_.emplace(file.sink(), touchstone_comments(q, echo, command_line, layout, unit), layout);
  }

  void row(std::int64_t index) {
    const float f = request_.f.value(index);
    const ResponseRow r = response_row(coupler_, f, request_.terminations);
    writer_->frequency(f, scattering_matrix(r.section, f, references_));
  }

  void finish() { writer_->finish(); }

 private:
  // Version 1.1: every port --ref; version 2.0: the terminations, and --ref
  // has no place.
  static Terminations reference_of(TextValues& values, const batch::ResponseRequest& q,
                                   bool version_2) {
    if (!version_2) {
      const float r = values.number(Opt::ref);
      return {.source = r, .load = r};
    }
    if (const std::string* ref = text_of(values, Opt::ref)) {
      batch::reject("--ref", *ref,
                    "a Touchstone 2.0 file references its ports to --rs and --rl; --ref is for "
                    "version 1.1");
    }
    return q.terminations;
  }

  batch::ResponseRequest request_;
  ResponseCoupler coupler_;
  Terminations references_{};
  std::optional<TouchstoneWriter> writer_;
};

// Options of the Touchstone file given without it.
void refuse_touchstone_options(const TextValues& values) {
  for (const Opt id :
       {Opt::touchstone_format, Opt::touchstone_version, Opt::port_order, Opt::ref}) {
    if (const std::string* t = text_of(values, id)) {
      batch::reject(batch::dashed(batch::option(id)), *t, "only with --touchstone FILE.s4p");
    }
  }
}

// The error of the row that threw, as a one-line message.
std::string row_error(const batch::FailedRow& failed) {
  try {
    std::rethrow_exception(failed.error);
  } catch (const FieldFailure& f) {
    return batch::failure_message(f);
  }
}

class Run {
 public:
  Run(const batch::CommandSpec& command, TextValues& values, std::string_view command_line)
      : command_(command), values_(values), command_line_(command_line) {}

  RunResult operator()();

 private:
  void open_outputs(const batch::Request& request, const batch::RowSource& rows);
  void write(const batch::RowBlock& block);

  const batch::CommandSpec& command_;
  TextValues& values_;
  std::string_view command_line_;
  LengthUnit unit_ = batch::kInches;
  Format format_ = Format::table;
  Echo echo_;
  OutputSet outputs_;
  std::optional<Plot> plot_;
  std::optional<TouchstoneOutput> touchstone_;
  std::optional<BandSummary> summary_;
  std::unique_ptr<RowWriter> writer_;
  std::optional<Progress> progress_;
};

void Run::open_outputs(const batch::Request& request, const batch::RowSource& rows) {
  const auto* response = std::get_if<batch::ResponseRequest>(&request);
  if (response != nullptr) {
    summary_ = band_summary(batch::coupler_of(*response), response->terminations, response->f,
                            response->f0_mhz, response->flatness_db);
  }
  const BandSummary* summary = summary_ ? &*summary_ : nullptr;
  if (const std::string* path = text_of(values_, Opt::plot)) {
    check_chart_name("--plot", *path);
    OutputFile& image = outputs_.open("--plot", *path);
    plot_.emplace("--plot", image, *path, command_.chart(request, {unit_, summary}), rows.columns(),
                  unit_);
  }
  if (response != nullptr) {
    if (text_of(values_, Opt::touchstone) != nullptr) {
      touchstone_.emplace(values_, *response, echo_, command_line_, outputs_, unit_);
    } else {
      refuse_touchstone_options(values_);
    }
  }
  const std::string* output_path = text_of(values_, Opt::output);
  OutputFile& output = outputs_.open("--output", output_path == nullptr ? "" : *output_path);
  writer_ =
      make_writer(format_, {command_.name, &echo_, rows.columns(), unit_, summary}, output.sink());
}

void Run::write(const batch::RowBlock& block) {
  for (std::int64_t i = 0; i < block.count; ++i) {
    const std::span<const Cell> cells = block.row(i);
    writer_->row(cells);
    if (touchstone_) touchstone_->row(block.first + i);
    if (plot_) plot_->row(cells);
  }
  progress_->rows_done(block.count);
}

RunResult Run::operator()() {
  format_ = format_named(values_.choice(Opt::format));
  unit_ = batch::parse_length_unit("--length-unit", values_.choice(Opt::length_unit));
  const batch::Request request = command_.read(values_);
  echo_ = values_.echo();
  const std::unique_ptr<batch::RowSource> rows = command_.rows(request);
  open_outputs(request, *rows);
  progress_.emplace(rows->rows());
  const batch::RowTally tally =
      batch::run_rows(*rows, [this](const batch::RowBlock& block) { write(block); });
  progress_.reset();
  writer_->finish();
  if (touchstone_) touchstone_->finish();
  if (plot_) plot_->draw();
  outputs_.commit();

  RunResult result{tally.failed > 0 ? batch::kRowsNotBuilt : batch::kSuccess, "", tally.failed};
  if (tally.failed > 0) {
    result.failed_rows_line = std::to_string(tally.failed) + " of the rows could not be " +
                              (command_.id == batch::Command::synthesise ? "built" : "computed") +
                              " (see their status)";
  }
  // With both, the model's error is in the table itself.
  if (batch::solver_of(request) == Solver::model) {
    if (std::string note = batch::accuracy_note(tally.accuracy, unit_); !note.empty()) {
      result.notes.push_back(std::move(note));
    }
  }
  if (std::string note = batch::higher_mode_note(request, unit_); !note.empty()) {
    result.notes.push_back(std::move(note));
  }
  for (std::string note :
       {batch::gap_limit_note(tally, request), batch::core_note(tally, request)}) {
    if (!note.empty()) result.notes.push_back(std::move(note));
  }
  return result;
}

}  // namespace

RunResult run_command(const batch::CommandSpec& command, TextValues& values,
                      std::string_view command_line) {
  try {
    return Run(command, values, command_line)();
  } catch (const batch::InputError& e) {
    return {batch::kFailure, e.what()};
  } catch (const OutputError& e) {
    return {batch::kFailure, e.what()};
  } catch (const batch::FailedRow& f) {
    return {batch::kFailure, row_error(f)};
  } catch (const std::bad_alloc&) {
    return {batch::kFailure, "out of memory"};
  }
}

}  // namespace ketrovane::calc
