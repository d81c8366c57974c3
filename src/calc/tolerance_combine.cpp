// --combine: the statistics of a whole tolerance run from the samples files
// of its slices (--samples-output FILE.json of runs with --start and
// --count).  The run's options are read back from the first file's inputs
// and read as a request once more; the samples' outcomes, pass and status
// are taken in sample order and given to the same statistics as a run's.
#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "calc/plot.hpp"
#include "calc/run.hpp"
#include "calc/tolerance_run.hpp"
#include "commands/input_error.hpp"
#include "commands/row_runner.hpp"
#include "commands/tolerance_centre.hpp"

namespace ketrovane::calc {

namespace {

using commands::Opt;
using Json = nlohmann::ordered_json;

// The options of a run that may go with --combine: its outputs.
constexpr std::array kCombinedOutputs = {Opt::combine, Opt::format,      Opt::output,
                                         Opt::plot,    Opt::length_unit, Opt::units};

struct Slice {
  std::string path;
  Json inputs;  // the run's options as its file echoes them
  std::string length_unit;
  std::uint64_t first = 0;
  std::uint64_t count = 0;
  Json rows;
};

[[noreturn]] void refuse_file(const std::string& path, const std::string& why) {
  commands::reject(Opt::combine, path, why);
}

std::vector<std::string> file_names(const std::string& text) {
  std::vector<std::string> names;
  std::size_t from = 0;
  while (from <= text.size()) {
    const std::size_t end = std::min(text.find('\n', from), text.size());
    names.push_back(text.substr(from, end - from));
    from = end + 1;
  }
  return names;
}

Json read_json(const std::string& path) {
  std::ifstream in(path);
  if (!in) refuse_file(path, "cannot be read");
  try {
    return Json::parse(in);
  } catch (const Json::exception&) {
    refuse_file(path, "is not a JSON file");
  }
}

// The samples of one slice, in sample order and without a gap.
Slice read_slice(const std::string& path) {
  Json j = read_json(path);
  const bool samples = j.is_object() && j.value("command", "") == "tolerance" &&
                       j.contains("inputs") && j.contains("rows") && j.contains("columns") &&
                       !j["columns"].empty() && j["columns"][0] == "sample";
  if (!samples) {
    refuse_file(path,
                std::string("expected the samples of a tolerance run's slice, written by "
                            "--samples-output FILE.json") +
                    (j.is_object() && j.contains("tolerance") ? " (this is its statistics)" : ""));
  }
  Slice s{path, j["inputs"], j.value("length_unit", "in"), 0, 0, std::move(j["rows"])};
  s.inputs.erase("start");
  s.inputs.erase("count");
  s.count = s.rows.size();
  if (s.count == 0) refuse_file(path, "holds no sample");
  s.first = s.rows[0]["sample"].get<std::uint64_t>();
  for (std::uint64_t i = 0; i < s.count; ++i) {
    if (s.rows[i]["sample"].get<std::uint64_t>() != s.first + i) {
      refuse_file(path, "its samples are not in order from " + std::to_string(s.first));
    }
  }
  return s;
}

std::string echoed(const Json& entry) {
  if (!entry.is_object()) return "none";
  const Json& given = entry["given"];
  return given.is_string() ? commands::quoted(given.get<std::string>()) : "the default";
}

// Slices of one run share every option but the slice's.
void check_same_run(const Slice& first, const Slice& other) {
  if (other.inputs == first.inputs) return;
  Json names = first.inputs;
  names.update(other.inputs);
  for (const auto& [name, unused] : names.items()) {
    const Json a = first.inputs.value(name, Json());
    const Json b = other.inputs.value(name, Json());
    if (a == b) continue;
    refuse_file(other.path, "is a slice of another run than " + commands::quoted(first.path) +
                                ": its " + name + " is " + echoed(b) + ", not " + echoed(a));
  }
}

// In sample order, each slice starting where the one before ends.
void check_joined(std::vector<Slice>& slices) {
  std::ranges::sort(slices, {}, &Slice::first);
  for (std::size_t i = 1; i < slices.size(); ++i) {
    const Slice& before = slices[i - 1];
    const Slice& after = slices[i];
    const std::uint64_t end = before.first + before.count;
    if (after.first > end) {
      refuse_file(after.path, "samples " + std::to_string(end) + " to " +
                                  std::to_string(after.first - 1) + " are missing between " +
                                  commands::quoted(before.path) + " and it");
    }
    if (after.first < end) {
      refuse_file(after.path, "overlaps " + commands::quoted(before.path) + " at sample " +
                                  std::to_string(after.first));
    }
  }
}

// The shortest text of a file's number that reads back as the same number.
std::string number_text(const Json& v) {
  return v.dump();
}

// The run's options as texts once more: as the file gives them, or else
// with numbers in the base units (the files' values), so that bare numbers
// the run read under --units read the same; then a varied quantity is given
// by its half-width, a limit by its ends.
void give_options(const Json& inputs, commands::TextValues& values, bool as_given) {
  std::string vary;
  std::string limit;
  const auto add = [](std::string& list, const std::string& item) {
    list += (list.empty() ? "" : ",") + item;
  };
  for (const auto& [name, e] : inputs.items()) {
    if (e["given"].is_null()) continue;
    const std::string given = e["given"].get<std::string>();
    if (name.starts_with("vary_")) {
      add(vary, as_given ? given : name.substr(5) + "=" + number_text(e["value"]));
    } else if (name.starts_with("limit_")) {
      const auto side = [](const Json& x) { return x.is_null() ? std::string() : number_text(x); };
      add(limit, as_given ? given : name.substr(6) + "=" + side(e["low"]) + ":" + side(e["high"]));
    } else if (const commands::OptionSpec* o = commands::option_named(name)) {
      const bool number = o->kind == commands::ValueKind::quantity && e.contains("value");
      values.set(o->id, number && !as_given ? number_text(e["value"]) : given);
    }
  }
  if (!vary.empty()) values.set(Opt::vary, vary);
  if (!limit.empty()) values.set(Opt::limit, limit);
}

// Whether a value read once more is the one the file echoes.
bool same_value(const commands::InputEcho& e, const Json& file) {
  if (e.bounds) {
    const auto side = [](double x, const Json& f) {
      return std::isfinite(x) ? f.is_number() && static_cast<float>(x) == f.get<float>()
                              : f.is_null();
    };
    return side((*e.bounds)[0], file.value("low", Json())) &&
           side((*e.bounds)[1], file.value("high", Json()));
  }
  if (e.whole) return file.value("value", Json()) == *e.whole;
  if (e.axis.swept || !file.contains("value") || !file["value"].is_number()) return false;
  return e.axis.range.min == file["value"].get<float>();
}

// The options as given read to the values the file echoes: without
// --units, which the file does not echo, they may not.
bool reads_the_same(const commands::Echo& echo, const Json& inputs) {
  return std::ranges::all_of(echo, [&inputs](const commands::InputEcho& e) {
    return e.name == "start" || e.name == "count" ||
           (inputs.contains(e.name) && same_value(e, inputs[e.name]));
  });
}

commands::ToleranceRequest read_run(const Slice& first, std::uint64_t count,
                                    commands::TextValues& values, bool as_given) {
  give_options(first.inputs, values, as_given);
  const std::uint64_t samples = first.inputs["samples"]["value"].get<std::uint64_t>();
  // A whole run reads as one: its slice's options only where they are not the whole.
  if (first.first != 0) values.set(Opt::start, std::to_string(first.first));
  if (first.first + count != samples) values.set(Opt::count, std::to_string(count));
  return commands::read_tolerance(values);
}

// The run's request, read into `given` when the options as given read the
// same, into `numbers` otherwise; the values read.
commands::TextValues& request_of(const Slice& first, std::uint64_t count,
                                 commands::ToleranceRequest& request, commands::TextValues& given,
                                 commands::TextValues& numbers) {
  try {
    request = read_run(first, count, given, true);
    if (reads_the_same(given.echo(), first.inputs)) return given;
  } catch (const commands::InputError&) {
    // Read again in the base units below.
  }
  try {
    request = read_run(first, count, numbers, false);
    return numbers;
  } catch (const commands::InputError& e) {
    refuse_file(first.path, std::string("its run is refused: ") + e.what());
  }
}

// Each sample's outcomes (those computed), whether it passed, its status.
struct Taken {
  std::vector<std::vector<float>> values;
  std::int64_t passed = 0;
  std::array<std::int64_t, 5> by_status{};
};

Taken take_samples(const commands::ToleranceRequest& q, const std::vector<Slice>& slices) {
  const std::unique_ptr<commands::RowSource> rows = commands::tolerance_sample_rows(q);
  const std::span<const commands::Column> columns = rows->columns();
  const std::size_t outcomes = commands::tolerance_outcome_count(q);
  const std::size_t first_outcome = commands::tolerance_sample_width(q) - 2 - outcomes;
  Taken t;
  t.values.resize(outcomes);
  for (const Slice& s : slices) {
    for (const Json& row : s.rows) {
      const std::string status = row.value("status", "");
      std::size_t code = 0;
      while (code + 1 < t.by_status.size() &&
             sample_status_name(static_cast<SampleStatus>(code)) != status) {
        ++code;
      }
      ++t.by_status.at(code);
      if (row.value("pass", 0.0) == 1.0) ++t.passed;
      if (code != 0) continue;
      for (std::size_t i = 0; i < outcomes; ++i) {
        const Json& v = row[std::string(columns[first_outcome + i].stem)];
        t.values[i].push_back(static_cast<float>(v.get<double>()));
      }
    }
  }
  return t;
}

void refuse_run_options(const commands::TextValues& values) {
  for (const commands::OptionSpec& o : commands::options()) {
    if (!o.taken_by(commands::Command::tolerance) || !values.has(o.id)) continue;
    if (std::ranges::find(kCombinedOutputs, o.id) != kCombinedOutputs.end()) continue;
    commands::reject(o.id, values.shown(o.id),
                     {"not with ", Opt::combine, ": the run's options come from its files"});
  }
}

}  // namespace

RunResult run_tolerance_combine(commands::TextValues& values, const ToleranceOutputs& o) {
  refuse_run_options(values);
  std::vector<Slice> slices;
  for (const std::string& path : file_names(values.shown(Opt::combine))) {
    slices.push_back(read_slice(path));
  }
  for (const Slice& s : slices) check_same_run(slices.front(), s);
  check_joined(slices);
  std::uint64_t count = 0;
  for (const Slice& s : slices) count += s.count;
  commands::TextValues given;
  commands::TextValues numbers;
  commands::ToleranceRequest q;
  const commands::TextValues& run = request_of(slices.front(), count, q, given, numbers);
  // A centred run's samples were drawn about the centred design: the
  // search again (the same samples, the same result) gives it.
  std::optional<CentreResult> centring;
  if (q.centre) centring = commands::centre_request(q);
  Taken taken = take_samples(q, slices);
  commands::ToleranceOutcome outcome =
      commands::tolerance_outcome(q, taken.values, taken.passed, taken.by_status);
  outcome.centring = centring;

  OutputSet outputs;
  const std::string* plot_path = given_text(values, Opt::plot);
  if (plot_path != nullptr) check_chart_name("--plot", *plot_path);
  OutputFile* image = plot_path == nullptr ? nullptr : &outputs.open("--plot", *plot_path);
  const std::string* output_path = given_text(values, Opt::output);
  OutputFile& output = outputs.open("--output", output_path == nullptr ? "" : *output_path);
  const commands::Echo echo = run.echo();
  // The slices' length unit, unless the command asks for another.
  commands::LengthUnit unit = o.unit;
  if (!values.has(Opt::length_unit) && !values.has(Opt::units)) {
    values.set(Opt::length_unit, slices.front().length_unit);
    unit = commands::output_length_unit(values);
  }
  write_statistics(q, outcome, {o.format, unit, &echo}, output.sink());
  if (image != nullptr) {
    draw_histograms(
        *plot_path, *image, q,
        [&taken](std::size_t x) { return std::span<const float>(taken.values.at(x)); }, outcome,
        &echo, unit);
  }
  outputs.commit();
  return tolerance_result(q, outcome, unit);
}

}  // namespace ketrovane::calc
