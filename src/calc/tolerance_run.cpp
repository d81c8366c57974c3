#include "calc/tolerance_run.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "calc/output_file.hpp"
#include "calc/plot.hpp"
#include "calc/progress.hpp"
#include "commands/accuracy_note.hpp"
#include "commands/input_error.hpp"
#include "commands/number_format.hpp"
#include "commands/row_runner.hpp"
#include "commands/tolerance_centre.hpp"
#include "commands/tolerance_rows.hpp"

namespace ketrovane::calc {

namespace {

using commands::Opt;

constexpr int kHistogramBins = 60;

Format samples_format(const std::string& path) {
  if (has_extension(path, ".csv")) return Format::csv;
  if (has_extension(path, ".json")) return Format::json;
  commands::reject(Opt::samples_output, path, "expected a file name ending in .csv or .json");
}

// The outcomes the histograms show: the limited ones, or without limits
// Zo and the coupling (a multi-section coupler's: every band outcome).
std::vector<std::size_t> charted_outcomes(const commands::ToleranceRequest& q) {
  std::vector<std::size_t> charted;
  for (const commands::OutcomeLimit& l : commands::tolerance_limits(q)) {
    charted.push_back(l.outcome);
  }
  if (!charted.empty()) return charted;
  if (q.multisection) {
    for (std::size_t o = 0; o < commands::tolerance_outcome_count(q); ++o) charted.push_back(o);
    return charted;
  }
  return {static_cast<std::size_t>(Outcome::zo), static_cast<std::size_t>(Outcome::coupling)};
}

const commands::OutcomeLimit* limit_of(std::span<const commands::OutcomeLimit> limits,
                                       std::size_t outcome) {
  const auto it = std::ranges::find(limits, outcome, &commands::OutcomeLimit::outcome);
  return it == limits.end() ? nullptr : &*it;
}

// The span the histogram covers: the samples and the finite limits, and a
// little more.
std::pair<double, double> histogram_span(std::span<const float> v,
                                         const commands::OutcomeLimit* limit) {
  auto [low, high] = std::ranges::minmax(v);
  double from = low;
  double to = high;
  if (limit != nullptr) {
    for (const double edge : {limit->low, limit->high}) {
      if (!std::isfinite(edge)) continue;
      from = std::min(from, edge);
      to = std::max(to, edge);
    }
  }
  const double margin = to > from ? 0.05 * (to - from) : std::max(1e-6, 1e-3 * std::fabs(from));
  return {from - margin, to + margin};
}

// The share of the samples in each of the bins, per cent.
std::vector<double> histogram(std::span<const float> v, double from, double to) {
  std::vector<double> share(kHistogramBins, 0.0);
  const double width = (to - from) / kHistogramBins;
  for (const float x : v) {
    const auto bin = std::clamp(static_cast<int>((x - from) / width), 0, kHistogramBins - 1);
    share[static_cast<std::size_t>(bin)] += 1.0;
  }
  for (double& s : share) s *= 100.0 / static_cast<double>(v.size());
  return share;
}

constexpr std::array<std::string_view, 3> kBandOutcomeLabels = {
    "Worst coupling deviation over the band (dB)", "Least directivity over the band (dB)",
    "Least return loss over the band (dB)"};

std::string outcome_label(Outcome o) {
  switch (o) {
    case Outcome::zoe:
      return "Zoe (ohm)";
    case Outcome::zoo:
      return "Zoo (ohm)";
    case Outcome::zo:
      return "Zo (ohm)";
    case Outcome::coupling:
      return "Coupling (dB)";
    case Outcome::coupling_f0:
      return "Coupling at f0 (dB)";
    case Outcome::return_loss:
      return "Return loss at f0 (dB)";
    case Outcome::isolation:
      return "Isolation at f0 (dB)";
    case Outcome::directivity:
      return "Directivity at f0 (dB)";
  }
  return "";
}

std::string outcome_label(const commands::ToleranceRequest& q, std::size_t outcome) {
  if (q.multisection) return std::string(kBandOutcomeLabels.at(outcome));
  return outcome_label(static_cast<Outcome>(outcome));
}

// A vertical line across the panel at `at`.
std::string vertical_line(double at, std::string_view style) {
  const std::string x = commands::shortest(static_cast<float>(at));
  return "set arrow from " + x + ", graph 0 to " + x + ", graph 1 nohead front lw 2 " +
         std::string(style) + "\n";
}

// The nominal design's value (a solid green line) and the samples' mean
// (a dotted orange one), and the words of the title that name them.
std::string mark_nominal_and_mean(std::string& script, std::size_t i,
                                  const commands::ToleranceOutcome& r) {
  std::string words;
  if (r.nominal.status == SampleStatus::ok) {
    const float nominal = r.nominal.outcomes.at(i);
    script += vertical_line(nominal, "lc rgb '#2e7d32'");
    words += ", nominal " + commands::significant(nominal, 5) + " (solid)";
  }
  if (const double mean = r.statistics.at(i).mean; std::isfinite(mean)) {
    script += vertical_line(mean, "lc rgb '#ef6c00' dt 3");
    words += ", mean " + commands::significant(static_cast<float>(mean), 5) + " (dotted)";
  }
  return words;
}

// "Centred: W 24.65 mil, S 6.444 mil (yield 99.3 % on the first 2000
// samples, from 84.85 %)".
std::string centred_line(const CentreResult& c, commands::LengthUnit unit) {
  std::string line = "Centred:";
  for (std::size_t i = 0; i < c.searched.size(); ++i) {
    line += std::string(i == 0 ? " " : ", ") + std::string(c.searched.at(i)->symbol) + " " +
            commands::significant(static_cast<float>(c.centred.at(i) * unit.per_inch), 4) + " " +
            std::string(unit.name);
  }
  return line + " (yield " +
         commands::significant(static_cast<float>(100.0 * c.centred_yield.share), 4) +
         " % on the first " + std::to_string(c.centred_yield.samples) + " samples, from " +
         commands::significant(static_cast<float>(100.0 * c.start_yield.share), 4) + " %)";
}

// Above the panels, a line each: the design and its tolerances as given,
// the centred design, and the yield of every limit with its interval.
std::string caption(const commands::ToleranceRequest& q, const commands::ToleranceOutcome& r,
                    const commands::Echo* echo, commands::LengthUnit unit) {
  std::string design;
  std::string tolerances;
  const auto add = [](std::string& list, const std::string& item) {
    list += (list.empty() ? "" : ", ") + item;
  };
  for (const commands::InputEcho& e : echo == nullptr ? commands::Echo{} : *echo) {
    const bool run = e.name == "samples" || e.name == "seed" || e.name == "start" ||
                     e.name == "count" || e.name.starts_with("limit_");
    if (e.given.empty() || run) continue;
    if (e.name.starts_with("vary_")) {
      add(tolerances, e.given);
    } else if (e.name == "etch") {
      add(tolerances, "etch " + e.given);
    } else {
      add(design, e.name + " " + e.given);
    }
  }
  std::vector<std::string> lines = {"Design: " + design};
  if (r.centring) lines.push_back(centred_line(*r.centring, unit));
  if (!tolerances.empty()) {
    lines.push_back(
        "Tolerances: " + tolerances +
        (q.design.spread == Spread::uniform ? " (uniform)" : " (normal, 3 standard deviations)"));
  }
  std::string run = std::to_string(r.samples) + " samples, seed " + std::to_string(q.design.seed);
  if (!q.limits.empty()) {
    run = "Yield " + commands::significant(static_cast<float>(100.0 * r.yield.share), 4) +
          " % (95 % confidence " +
          commands::significant(static_cast<float>(100.0 * r.yield.low), 4) + " % to " +
          commands::significant(static_cast<float>(100.0 * r.yield.high), 4) + " %) of " + run;
  }
  lines.push_back(run);
  // Each line a title of its own, joined by gnuplot's line break.
  std::string text;
  for (const std::string& line : lines) {
    const std::string quoted = chart_title(line);
    text += (text.empty() ? "" : "\\n") + quoted.substr(1, quoted.size() - 2);
  }
  return "\"" + text + "\"";
}

// One panel: its bins as boxes, its limits as red lines.
// The panel's outcome: its place among the run's and its label.
struct Charted {
  std::size_t outcome;
  std::string label;
};

std::string histogram_panel(std::span<const float> v, const commands::OutcomeLimit* limit,
                            const std::string& data, std::size_t block, const Charted& o,
                            const commands::ToleranceOutcome& r, bool on_the_field) {
  std::string s = "unset arrow\nset xlabel " + chart_string(o.label) + "\n";
  const std::string solver = on_the_field ? " on the field solution" : " on the model";
  std::string title = o.label + solver + ": " + std::to_string(v.size()) + " samples";
  if (limit != nullptr) {
    for (const double edge : {limit->low, limit->high}) {
      if (!std::isfinite(edge)) continue;
      const std::string at = commands::shortest(static_cast<float>(edge));
      s.append("set arrow from ").append(at).append(", graph 0 to ").append(at);
      s += ", graph 1 nohead lw 2 lc rgb '#c62828' dt 2\n";
    }
    const YieldEstimate& y = r.within.at(o.outcome);
    title += ", " + commands::significant(static_cast<float>(100.0 * y.share), 4) +
             " % within the limits (dashed)";
  }
  title += mark_nominal_and_mean(s, o.outcome, r);
  s += "set title " + chart_title(title) + "\n";
  s += "plot " + chart_string(data) + " index " + std::to_string(block) +
       " using 1:2 with boxes fill solid 0.6 lc rgb '#1f4e9c' notitle\n";
  return s;
}

// The attribution's panel: a bar per varied quantity, the yield gained
// with it held nominal, the largest first.
std::string attribution_panel(const commands::ToleranceOutcome& r, TemporaryFile& data,
                              std::size_t block) {
  std::vector<const InputAttribution*> order;
  for (const InputAttribution& a : r.attribution) order.push_back(&a);
  std::ranges::stable_sort(order, [](const InputAttribution* a, const InputAttribution* b) {
    return a->held_yield.share > b->held_yield.share;
  });
  for (const InputAttribution* a : order) {
    data.sink().write(a->name + " " +
                      std::to_string(100.0 * (a->held_yield.share - r.yield.share)) + "\n");
  }
  data.sink().write("\n\n");
  const std::string title = "Yield gained with each quantity at its nominal value (yield " +
                            commands::significant(static_cast<float>(100.0 * r.yield.share), 4) +
                            " %)";
  return "unset arrow\nset xlabel 'Quantity held nominal'\nset title " + chart_title(title) +
         "\nset ylabel 'Yield gained (percentage points)'\nplot " + chart_string(data.path()) +
         " index " + std::to_string(block) +
         " using 0:2:xtic(1) with boxes fill solid 0.6 lc rgb '#2e7d32' notitle\n"
         "set ylabel 'Share of samples (%)'\n";
}

}  // namespace

void draw_histograms(const std::string& path, OutputFile& image,
                     const commands::ToleranceRequest& q, const OutcomeValues& samples,
                     const commands::ToleranceOutcome& r, const commands::Echo* echo,
                     commands::LengthUnit unit) {
  const std::string gnuplot = find_gnuplot();
  if (gnuplot.empty()) {
    throw OutputError("cannot draw " + commands::quoted(path) +
                      ": gnuplot is not installed (Debian: apt install gnuplot-nox)");
  }
  const std::vector<std::size_t> charted = charted_outcomes(q);
  const std::vector<commands::OutcomeLimit> limits = commands::tolerance_limits(q);
  TemporaryFile data("histogram-data");
  std::string panels;
  std::size_t block = 0;
  for (const std::size_t o : charted) {
    const std::span<const float> v = samples(o);
    if (v.empty()) continue;
    const commands::OutcomeLimit* limit = limit_of(limits, o);
    const auto [from, to] = histogram_span(v, limit);
    const std::vector<double> share = histogram(v, from, to);
    const double width = (to - from) / kHistogramBins;
    for (std::size_t i = 0; i < share.size(); ++i) {
      const double centre = from + (static_cast<double>(i) + 0.5) * width;
      data.sink().write(std::to_string(centre) + " " + std::to_string(share[i]) + "\n");
    }
    data.sink().write("\n\n");
    const bool on_the_field =
        q.design.solver == Solver::field || !q.design.nominal.placement.is_edge();
    panels +=
        histogram_panel(v, limit, data.path(), block++, {o, outcome_label(q, o)}, r, on_the_field);
  }
  if (block == 0)
    throw OutputError("cannot draw " + commands::quoted(path) + ": no sample was computed");
  if (!r.attribution.empty()) panels += attribution_panel(r, data, block++);
  data.sink().flush();
  const std::string layout = "set multiplot layout " + std::to_string(block) + ",1 title " +
                             caption(q, r, echo, unit) + "\n";
  draw_with_gnuplot(
      gnuplot,
      [&](const std::string& target) {
        return "set terminal " + chart_terminal(path, block) + "\nset output " +
               chart_string(target) +
               "\nset ylabel 'Share of samples (%)'\nset grid\nset style fill solid\n"
               "set boxwidth 0.9 relative\n" +
               layout + panels + "unset multiplot\n";
      },
      image, path);
}

namespace {

void write_rows(const commands::RowSource& rows, RowWriter& writer) {
  std::vector<Cell> cells(rows.columns().size());
  commands::RowTally unused;
  for (std::int64_t i = 0; i < rows.rows(); ++i) {
    rows.fill(i, cells, unused);
    writer.row(cells);
  }
}

// A table after the statistics: its title above it in the aligned table,
// its key in the JSON.
struct ExtraTable {
  std::string title;
  std::string key;
  std::unique_ptr<commands::RowSource> rows;
};

// The attribution and the lots' yields, when the run has them.
std::vector<ExtraTable> extra_tables(const commands::ToleranceRequest& q,
                                     const commands::ToleranceOutcome& r) {
  std::vector<ExtraTable> tables;
  if (r.centring) {
    tables.push_back({"Centred: the nominal of the largest yield on the first " +
                          std::to_string(r.centring->start_yield.samples) +
                          " samples, and the one it started from",
                      "centre", commands::tolerance_centre_rows(*r.centring)});
  }
  if (q.attribution) {
    tables.push_back(
        {"Attribution: the yield with each quantity at its nominal value and the "
         "same draws of the others, and its share of each limited outcome's variance",
         "attribution", commands::tolerance_attribution_rows(q, r)});
  }
  if (q.design.lot_size > 0 && !r.lot_yields.empty()) {
    tables.push_back(
        {"Lots of " + std::to_string(q.design.lot_size) + " samples: the yield of each", "lots",
         commands::tolerance_lot_rows(q, r)});
    tables.push_back(
        {"The spread of the lots' yields", "lot_spread", commands::tolerance_lot_spread_rows(r)});
  }
  return tables;
}

// In a table or CSV: each table after a blank line.
void write_extra_tables(std::vector<ExtraTable>& tables, const ToleranceOutputs& o, Sink& sink) {
  for (const ExtraTable& t : tables) {
    sink.put('\n');
    if (o.format == Format::table) sink.write(t.title + "\n\n");
    const std::unique_ptr<RowWriter> writer =
        make_writer(o.format, {"tolerance", o.echo, t.rows->columns(), o.unit}, sink);
    write_rows(*t.rows, *writer);
    writer->finish();
  }
}

nlohmann::ordered_json json_rows(const commands::RowSource& rows) {
  std::vector<Cell> cells(rows.columns().size());
  commands::RowTally unused;
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (std::int64_t i = 0; i < rows.rows(); ++i) {
    rows.fill(i, cells, unused);
    nlohmann::ordered_json row;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      const std::string key(rows.columns()[c].stem);
      if (cells[c].kind == commands::CellKind::text) {
        row[key] = std::string(cells[c].text);
      } else if (cells[c].kind == commands::CellKind::number && std::isfinite(cells[c].number)) {
        row[key] = std::stod(commands::shortest(cells[c].number));
      } else {
        row[key] = nullptr;
      }
    }
    list.push_back(row);
  }
  return list;
}

// In JSON: the statistics' object, whose rows were written but not closed,
// gets an array of each table's rows.
void write_json_tables(std::vector<ExtraTable>& tables, Sink& sink) {
  sink.write("\n]");
  for (const ExtraTable& t : tables) {
    sink.write(",\"" + t.key + "\":");
    sink.write(json_rows(*t.rows).dump());
  }
  sink.write("}\n");
}

// The model's accuracy where the nominal coupler lies, as the other
// commands note it.
std::string accuracy_note_of(const commands::ToleranceRequest& q, commands::LengthUnit unit) {
  if (q.design.solver != Solver::model) return "";
  commands::RowTally tally;
  if (q.multisection) {
    const MultisectionCoupler& c = q.multisection->nominal;
    // The sections' response carries their conductor loss.
    for (const SectionRow& s : c.sections) {
      tally.accuracy.note(s.coupler.dimensions->x,
                          s.coupler.materials.conductor.resistivity_ohm_inch > 0.0F);
    }
    return commands::accuracy_note(tally.accuracy, c, unit);
  }
  tally.accuracy.note(q.design.nominal.x, false);
  return commands::accuracy_note(tally.accuracy, unit);
}

// The collector holds 4 bytes a sample for each outcome, taken at once so
// that a run too large for the memory stops before computing anything.
commands::ToleranceCollector collector_for(const commands::ToleranceRequest& q) {
  try {
    return commands::ToleranceCollector(q);
  } catch (const std::bad_alloc&) {
    const double gigabytes = 4.0 * static_cast<double>(q.count) *
                             static_cast<double>(commands::tolerance_outcome_count(q)) / 1e9;
    commands::refuse({Opt::samples, " " + std::to_string(q.samples)},
                     {"the percentiles of " + std::to_string(q.count) + " samples need " +
                          commands::significant(static_cast<float>(gigabytes), 3) +
                          " GB of memory, more than there is; run slices of it with ",
                      Opt::start, " and ", Opt::count});
  }
}

}  // namespace

RunResult run_tolerance(commands::TextValues& values, const commands::ToleranceRequest& asked,
                        const ToleranceOutputs& style) {
  commands::ToleranceRequest request = asked;
  std::optional<CentreResult> centring;
  if (request.centre) centring = commands::centre_request(request);
  OutputSet outputs;
  const std::unique_ptr<commands::RowSource> rows = commands::tolerance_sample_rows(request);
  const std::size_t shown = commands::tolerance_sample_width(request);
  std::unique_ptr<RowWriter> samples_writer;
  if (const std::string* path = given_text(values, Opt::samples_output)) {
    const Format f = samples_format(*path);
    OutputFile& file = outputs.open("--samples-output", *path);
    samples_writer = make_writer(f,
                                 {"tolerance", style.echo, rows->columns().first(shown), style.unit,
                                  nullptr, nullptr, nullptr, nullptr, "sample"},
                                 file.sink());
  }
  const std::string* plot_path = given_text(values, Opt::plot);
  if (plot_path != nullptr) check_chart_name("--plot", *plot_path);
  OutputFile* image = plot_path == nullptr ? nullptr : &outputs.open("--plot", *plot_path);
  const std::string* output_path = given_text(values, Opt::output);
  OutputFile& output = outputs.open("--output", output_path == nullptr ? "" : *output_path);

  commands::ToleranceCollector collector = collector_for(request);
  Progress progress(rows->rows());
  commands::run_rows(*rows, [&](const commands::RowBlock& block) {
    collector.take(block);
    if (samples_writer) {
      for (std::int64_t i = 0; i < block.count; ++i) {
        samples_writer->indexed_row(static_cast<std::int64_t>(request.start) + block.first + i,
                                    block.row(i).first(shown));
      }
    }
    progress.rows_done(block.count);
  });
  if (samples_writer) samples_writer->finish();
  commands::ToleranceOutcome outcome = collector.finish();
  outcome.centring = centring;

  write_statistics(request, outcome, style, output.sink());
  if (image != nullptr) {
    draw_histograms(
        *plot_path, *image, request, [&collector](std::size_t x) { return collector.values(x); },
        outcome, style.echo, style.unit);
  }
  outputs.commit();
  return tolerance_result(request, outcome, style.unit);
}

void write_statistics(const commands::ToleranceRequest& request,
                      const commands::ToleranceOutcome& outcome, const ToleranceOutputs& o,
                      Sink& sink) {
  const std::unique_ptr<commands::RowSource> statistics =
      commands::tolerance_statistics_rows(request, outcome);
  const std::unique_ptr<RowWriter> writer = make_writer(
      o.format,
      {"tolerance", o.echo, statistics->columns(), o.unit, nullptr, nullptr, &request, &outcome},
      sink);
  write_rows(*statistics, *writer);
  std::vector<ExtraTable> extra = extra_tables(request, outcome);
  if (!extra.empty() && o.format == Format::json) {
    write_json_tables(extra, sink);  // inside the statistics' object
  } else {
    writer->finish();
    write_extra_tables(extra, o, sink);
  }
}

RunResult tolerance_result(const commands::ToleranceRequest& request,
                           const commands::ToleranceOutcome& outcome, commands::LengthUnit unit) {
  RunResult result{outcome.failed() > 0 ? commands::kRowsNotBuilt : commands::kSuccess, "",
                   outcome.failed()};
  result.failed_rows_line = commands::failed_samples_line(outcome);
  if (std::string note = accuracy_note_of(request, unit); !note.empty()) {
    result.notes.push_back(std::move(note));
  }
  return result;
}

}  // namespace ketrovane::calc
