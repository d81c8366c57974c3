#include "commands/fullwave_run.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "commands/input_error.hpp"
#include "commands/number_format.hpp"
#include "commands/requests.hpp"

extern char** environ;  // NOLINT(readability-redundant-declaration): posix_spawn's environment

namespace ketrovane::commands {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kScript = "coupler.py";
constexpr std::size_t kLinesKept = 8;  // of a model that fails, for its message
constexpr int kPollMs = 100;
constexpr auto kGrace = std::chrono::seconds(2);  // for the model to end on SIGTERM

// A child started without a shell: its standard input /dev/null, its
// output (both streams) into `output` when given, else to /dev/null.
pid_t spawn(const std::vector<std::string>& args, int output, const fs::path& directory) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (output >= 0) {
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  std::vector<std::string> kept = args;
  std::vector<char*> argv;
  argv.reserve(kept.size() + 1);
  for (std::string& a : kept) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, kept.front().c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? pid : -1;
}

// The child's wait status, waited for through interruptions.
int wait_for(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

// Ends the child: SIGTERM, then SIGKILL if it has not ended after a grace.
void stop(pid_t pid) {
  kill(pid, SIGTERM);
  const auto until = std::chrono::steady_clock::now() + kGrace;
  while (std::chrono::steady_clock::now() < until) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs / 2));
  }
  kill(pid, SIGKILL);
  wait_for(pid);
}

// The model's output cut into lines (at a line feed or a carriage return),
// each handed on; the last few kept.
class Lines {
 public:
  explicit Lines(const ModelWatch& watch) : watch_(watch) {}

  void take(std::string_view bytes) {
    for (const char c : bytes) {
      if (c != '\n' && c != '\r') {
        partial_ += c;
        continue;
      }
      end_line();
    }
  }
  void end_line() {
    if (partial_.empty()) return;
    if (watch_.line) watch_.line(partial_);
    kept_.push_back(partial_);
    if (kept_.size() > kLinesKept) kept_.pop_front();
    partial_.clear();
  }
  [[nodiscard]] std::string last() const {
    std::string joined;
    for (const std::string& l : kept_) joined += (joined.empty() ? "" : " | ") + l;
    return joined;
  }

 private:
  const ModelWatch& watch_;
  std::string partial_;
  std::deque<std::string> kept_;
};

// Reads the child's output until it closes; false when asked to stop first.
bool follow(int fd, Lines& lines, const ModelWatch& watch) {
  std::array<char, 4096> buffer{};
  for (;;) {
    if (watch.should_stop && watch.should_stop()) return false;
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, kPollMs);
    if (ready < 0 && errno != EINTR) return true;
    if (ready <= 0) continue;
    const ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    lines.take(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
  }
  lines.end_line();
  return true;
}

std::string shown_path(const fs::path& p) {
  return commands::quoted(p.string());
}

// A number of status.json, by its key; an InputError naming the file when
// it is missing or not a number.
double json_number(const nlohmann::json& j, const char* key, const fs::path& file) {
  const auto it = j.find(key);
  if (it == j.end() || !it->is_number()) {
    throw InputError({{shown_path(file)},
                      std::nullopt,
                      {std::string("expected a number \"") + key + "\""},
                      std::nullopt});
  }
  return it->get<double>();
}

ModelStatus read_status(const fs::path& file) {
  std::ifstream in(file);
  const nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
  if (j.is_discarded() || !j.is_object() || !j.contains("status") || !j["status"].is_string()) {
    throw InputError(
        {{shown_path(file)}, std::nullopt, {"expected the model's status as JSON"}, std::nullopt});
  }
  ModelStatus s;
  s.status = j["status"].get<std::string>();
  s.energy_decay_db = json_number(j, "energy_decay_db", file);
  s.cells = static_cast<std::int64_t>(json_number(j, "cells", file));
  s.timesteps = static_cast<std::int64_t>(json_number(j, "timesteps", file));
  s.excitations = static_cast<std::int64_t>(json_number(j, "excitations", file));
  s.seconds = json_number(j, "seconds", file);
  return s;
}

// "the coarse mesh's run did not settle: ..." for a status other than settled.
std::string unsettled_message(const ModelRun& run, const ModelStatus& s) {
  const std::string which = "the " + std::string(mesh_name(run.mesh)) + " mesh's run ";
  const std::string decay = shortest(static_cast<float>(s.energy_decay_db)) + " dB";
  if (s.status == "diverged") {
    return which + "diverged (its energy at the end " + decay +
           " from its peak): no result; a finer mesh or a smaller time step may help";
  }
  if (s.status == "not settled" && !(s.energy_decay_db < 0)) {
    return which +
           "did not settle: its energy never fell from its peak before its time ran out "
           "(as when no port's source lies on the mesh and no energy enters): no result";
  }
  if (s.status == "not settled") {
    return which + "did not settle: its energy fell only to " + decay +
           " of its peak before its time ran out, not the -40 dB a result needs: no result";
  }
  return which + "ended with the status " + commands::quoted(s.status) + ": no result";
}

std::string header_line() {
  std::string h = "f_hz";
  for (int i = 1; i <= kScatteringPorts; ++i) {
    for (int j = 1; j <= kScatteringPorts; ++j) {
      const std::string s = "s" + std::to_string(i) + std::to_string(j);
      h.append(",").append(s).append("_re,").append(s).append("_im");
    }
  }
  return h;
}

bool read_fields(std::string_view line, std::vector<double>& fields) {
  fields.clear();
  for (;;) {
    const std::size_t comma = line.find(',');
    const std::string_view field = line.substr(0, comma);
    double value = 0.0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size() || !std::isfinite(value)) {
      return false;
    }
    fields.push_back(value);
    if (comma == std::string_view::npos) return true;
    line.remove_prefix(comma + 1);
  }
}

}  // namespace

std::string_view mesh_name(Mesh mesh) {
  return mesh == Mesh::fine ? "fine" : "coarse";
}

bool imports_openems(const std::string& interpreter) {
  const pid_t pid = spawn({interpreter, "-c", "import openEMS, CSXCAD"}, -1, {});
  if (pid < 0) return false;
  const int status = wait_for(pid);
  return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

MeasuredSweep read_sparameters(const fs::path& csv) {
  std::ifstream in(csv);
  const auto refuse_line = [&](std::size_t number, const std::string& expected) {
    throw InputError({{shown_path(csv) + " line " + std::to_string(number)},
                      std::nullopt,
                      {expected},
                      std::nullopt});
  };
  std::string line;
  if (!std::getline(in, line) || line != header_line()) {
    refuse_line(1, "expected the header " + header_line().substr(0, 28) + "...");
  }
  constexpr std::size_t kFields = 1 + 2 * kScatteringPorts * kScatteringPorts;
  MeasuredSweep sweep;
  std::vector<double> fields;
  for (std::size_t number = 2; std::getline(in, line); ++number) {
    if (line.empty()) continue;
    if (!read_fields(line, fields) || fields.size() != kFields) {
      refuse_line(number, "expected " + std::to_string(kFields) + " finite numbers");
    }
    const auto f_mhz = static_cast<float>(fields[0] / 1e6);
    if (!sweep.f_mhz.empty() && !(f_mhz > sweep.f_mhz.back())) {
      refuse_line(number, "expected the frequencies increasing");
    }
    ScatteringMatrix m;
    constexpr std::size_t kPorts = kScatteringPorts;
    for (std::size_t k = 0; k < kPorts * kPorts; ++k) {
      m.s.at(k / kPorts).at(k % kPorts) = {static_cast<float>(fields[1 + 2 * k]),
                                           static_cast<float>(fields[2 + 2 * k])};
    }
    sweep.f_mhz.push_back(f_mhz);
    sweep.s.push_back(m);
  }
  if (sweep.f_mhz.size() < 2) refuse_line(2, "expected at least two frequencies");
  return sweep;
}

ModelResult read_model_outcome(const ModelRun& run) {
  const fs::path results = run.directory / mesh_name(run.mesh);
  ModelResult r;
  if (!fs::exists(results / "status.json")) {
    r.message = "the model left no " + shown_path(results / "status.json");
    return r;
  }
  r.status = read_status(results / "status.json");
  if (r.status.status != "settled") {
    r.outcome = ModelOutcome::no_result;
    r.message = unsettled_message(run, r.status);
    return r;
  }
  r.sweep = read_sparameters(results / "sparameters.csv");
  r.outcome = ModelOutcome::result;
  return r;
}

ModelResult run_model(const ModelRun& run, const Interpreter& interpreter,
                      const ModelWatch& watch) {
  const fs::path script = run.directory / kScript;
  if (!fs::is_regular_file(script)) {
    reject(Opt::fullwave, run.directory.string(),
           "expected the directory of a full-wave model: it has no coupler.py");
  }
  ModelResult r;
  if (interpreter.has_openems && !interpreter.has_openems(interpreter.path)) {
    r.outcome = ModelOutcome::openems_missing;
    r.message = "openEMS's Python bindings are not installed for " + interpreter.path +
                ": install the Debian package python3-openems to run the model";
    return r;
  }
  const fs::path results = run.directory / mesh_name(run.mesh);
  std::error_code ignored;
  fs::remove(results / "status.json", ignored);  // a previous run's is not this one's
  std::array<int, 2> pipe_ends{};
  if (pipe2(pipe_ends.data(), O_CLOEXEC) != 0) {
    r.message = "cannot start the model: no pipe";
    return r;
  }
  const pid_t pid =
      spawn({interpreter.path, "-u", fs::absolute(script).string(), "--mesh",
             std::string(mesh_name(run.mesh)), "--threads", std::to_string(run.threads)},
            pipe_ends[1], run.directory);
  close(pipe_ends[1]);
  if (pid < 0) {
    close(pipe_ends[0]);
    r.message = "cannot start " + interpreter.path;
    return r;
  }
  Lines lines(watch);
  const bool ran_out = follow(pipe_ends[0], lines, watch);
  close(pipe_ends[0]);
  if (!ran_out) {
    stop(pid);
    fs::remove_all(results, ignored);
    r.outcome = ModelOutcome::interrupted;
    r.message = "the run was stopped; " + shown_path(results) + " removed, the model kept";
    return r;
  }
  const int status = wait_for(pid);
  if (status < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    r.message = "the model " + shown_path(script) + " failed" +
                (status >= 0 && WIFEXITED(status)
                     ? " (exit status " + std::to_string(WEXITSTATUS(status)) + ")"
                     : "") +
                "; it last said: " + lines.last();
    return r;
  }
  return read_model_outcome(run);
}

namespace {

// None where the band reaches past the swept frequencies: the sweep's end
// is not the band's edge.
float edge_of(const std::optional<BandEdge>& e) {
  return e && !e->beyond_sweep ? e->f_mhz : std::nanf("");
}

FigureValues figures_of(const BandSummary& b, const std::optional<CouplingPeak>& peak,
                        float added_deg, const MatrixChecks& checks) {
  return {b.coupling_at_f0_db,
          peak ? peak->f_mhz : std::nanf(""),
          peak ? peak->coupling_db : std::nanf(""),
          added_deg,
          edge_of(b.low),
          edge_of(b.high),
          b.worst_directivity_db,
          b.worst_return_loss_db,
          b.worst_isolation_db,
          b.least_amplitude_balance_db,
          b.greatest_amplitude_balance_db,
          b.worst_quadrature_error_deg,
          static_cast<float>(checks.reciprocity),
          static_cast<float>(checks.column_power)};
}

std::optional<PeakShift> peak_shift(const ResponseRequest& q, double drawn_inch,
                                    const std::optional<CouplingPeak>& ideal,
                                    const std::optional<CouplingPeak>& laid_out) {
  if (!ideal || !laid_out || !(laid_out->f_mhz > 0)) return std::nullopt;
  const double designed = q.length_inch;
  const double as_if = designed * ideal->f_mhz / laid_out->f_mhz;
  const double added = as_if - drawn_inch;
  return PeakShift{added, designed * ideal->f_mhz / q.f0_mhz - added, 90.0 * added / designed};
}

struct Summarised {
  FigureValues figures;
  std::optional<PeakShift> shift;
};

Summarised summarised(const MeasuredSweep& sweep, const ResponseRequest& q,
                      std::span<const float> f_mhz, double drawn_inch,
                      const std::optional<CouplingPeak>& ideal_peak) {
  const ResponseAt response = measured_response(sweep);
  const std::vector<float> within = frequencies_within(f_mhz, sweep);
  const std::optional<CouplingPeak> peak = coupling_peak(response, sweep.f_mhz);
  const std::optional<PeakShift> shift = peak_shift(q, drawn_inch, ideal_peak, peak);
  return {figures_of(band_summary(response, within, q.f0_mhz, q.flatness_db), peak,
                     shift ? static_cast<float>(shift->added_deg) : std::nanf(""),
                     matrix_checks(sweep)),
          shift};
}

}  // namespace

std::vector<float> listed(const Axis& f) {
  std::vector<float> values(static_cast<std::size_t>(f.rows));
  for (std::int64_t i = 0; i < f.rows; ++i) values[static_cast<std::size_t>(i)] = f.value(i);
  return values;
}

LaidOutComparison compare_laid_out(const ResponseRequest& q, std::span<const float> f_mhz,
                                   double drawn_inch, const MeasuredSweep& laid_out,
                                   const MeasuredSweep* coarse) {
  const ResponseCoupler coupler = coupler_of(q);
  LaidOutComparison c;
  c.ideal_sweep.f_mhz = laid_out.f_mhz;
  for (const float f : laid_out.f_mhz) {
    c.ideal_sweep.s.push_back(response_scattering_matrix(coupler, f, q.terminations));
  }
  // The ideal section's summary from its own rows, as the response gives it.
  const std::optional<CouplingPeak> ideal_peak =
      coupling_peak(measured_response(c.ideal_sweep), c.ideal_sweep.f_mhz);
  c.ideal = figures_of(band_summary(coupler, q.terminations, frequencies_within(f_mhz, laid_out),
                                    q.f0_mhz, q.flatness_db),
                       ideal_peak, 0.0F, matrix_checks(c.ideal_sweep));
  const Summarised last = summarised(laid_out, q, f_mhz, drawn_inch, ideal_peak);
  c.laid_out = last.figures;
  c.shift = last.shift;
  if (coarse != nullptr) {
    const FigureValues before = summarised(*coarse, q, f_mhz, drawn_inch, ideal_peak).figures;
    FigureValues change{};
    for (std::size_t i = 0; i < change.size(); ++i) {
      change.at(i) = std::fabs(c.laid_out.at(i) - before.at(i));
    }
    c.mesh_change = change;
  }
  return c;
}

std::string peak_shift_note(const LaidOutComparison& c, const ResponseRequest& q, LengthUnit unit) {
  if (!c.shift) return "";
  const auto in_unit = [unit](double inches) {
    return significant(static_cast<float>(inches * unit.per_inch), 4);
  };
  const std::string length = in_unit(c.shift->for_peak_at_f0_inch);
  return "note: the coupler as laid out couples most at " + significant(c.laid_out.at(1), 5) +
         " MHz, the ideal section at " + significant(c.ideal.at(1), 5) + " MHz: the layout adds " +
         significant(static_cast<float>(c.shift->added_deg), 3) + " deg (" +
         in_unit(c.shift->added_inch) + " " + std::string(unit.name) +
         ") of coupled length at f0 = " + significant(q.f0_mhz, 6) + " MHz; its section drawn " +
         length + " " + std::string(unit.name) + " long (--length " + length +
         std::string(unit.name) + ", the same feed lines) couples most at f0";
}

namespace {

bool peaks_at_f0(const PeakTrial& t, double f0_mhz) {
  return std::fabs(t.peak_mhz / f0_mhz - 1.0) <= kPeakAtF0Tolerance;
}

}  // namespace

std::optional<double> next_trial_length(std::span<const PeakTrial> trials, double f0_mhz) {
  if (trials.empty()) return std::nullopt;
  const PeakTrial& last = trials.back();
  if (peaks_at_f0(last, f0_mhz) || trials.size() >= static_cast<std::size_t>(kMostTrials)) {
    return std::nullopt;
  }
  double next = last.for_peak_at_f0_inch;
  if (trials.size() >= 2) {
    const PeakTrial& before = trials[trials.size() - 2];
    const double slope = (last.peak_mhz - before.peak_mhz) / (last.drawn_inch - before.drawn_inch);
    // A longer section peaks lower; a slope that says otherwise is the
    // peak's own scatter, not the section's.
    if (std::isfinite(slope) && slope < 0) {
      next = last.drawn_inch + (f0_mhz - last.peak_mhz) / slope;
    }
  }
  if (!(next > 0) || !std::isfinite(next)) return std::nullopt;
  return next;
}

namespace {

// The finest mesh run at each length the search draws; false after a run
// without a result.
bool search_section_length(ComparisonRuns& r, const ModelRequest& m, const ResponseRequest& q,
                           std::span<const float> f_mhz, const MeshRun& run, const Redraw& redraw) {
  ModelResult result;
  std::optional<double> length = q.length_inch;
  while (length) {
    redraw(*length);
    r.drawn_inch = *length;
    result = run(m.meshes.back());
    if (result.outcome != ModelOutcome::result) {
      r.failed = std::move(result);
      return false;
    }
    const LaidOutComparison c = compare_laid_out(q, f_mhz, *length, result.sweep);
    if (!c.shift) break;
    r.trials.push_back({*length, c.laid_out.at(1), c.shift->for_peak_at_f0_inch});
    length = next_trial_length(r.trials, q.f0_mhz);
  }
  r.reported.emplace_back(m.meshes.back(), result.status);
  r.last = std::move(result.sweep);
  return true;
}

}  // namespace

ComparisonRuns run_for_comparison(const ModelRequest& m, const ResponseRequest& q,
                                  std::span<const float> f_mhz, double drawn_inch,
                                  const MeshRun& run, const Redraw& redraw) {
  ComparisonRuns r;
  r.drawn_inch = drawn_inch;
  std::span<const Mesh> meshes(m.meshes);
  if (redraw) {
    if (!search_section_length(r, m, q, f_mhz, run, redraw)) return r;
    meshes = meshes.first(meshes.size() - 1);  // the finest ran in the search
  }
  for (const Mesh mesh : meshes) {
    ModelResult result = run(mesh);
    if (result.outcome != ModelOutcome::result) {
      r.failed = std::move(result);
      return r;
    }
    r.reported.emplace_back(mesh, result.status);
    (mesh == m.meshes.back() ? r.last : r.coarse.emplace()) = std::move(result.sweep);
  }
  return r;
}

std::string trials_note(std::span<const PeakTrial> trials, const ResponseRequest& q,
                        LengthUnit unit) {
  std::string text = "note: --compensate measured, the section's length searched on the model:";
  for (std::size_t i = 0; i < trials.size(); ++i) {
    text += (i == 0 ? " run " : "; run ") + std::to_string(i + 1) + ", drawn " +
            significant(static_cast<float>(trials[i].drawn_inch * unit.per_inch), 5) + " " +
            std::string(unit.name) + ", peak " +
            significant(static_cast<float>(trials[i].peak_mhz), 5) + " MHz";
  }
  if (trials.empty()) return text + " no run gave a peak";
  const PeakTrial& last = trials.back();
  const double off = last.peak_mhz / q.f0_mhz - 1.0;
  return text + (peaks_at_f0(last, q.f0_mhz) ? "; within " : "; not within ") +
         significant(static_cast<float>(kPeakAtF0Tolerance * 100), 2) + " % of f0 (" +
         significant(static_cast<float>(off * 100), 2) + " %); " +
         significant(static_cast<float>((q.length_inch - last.drawn_inch) * unit.per_inch), 4) +
         " " + std::string(unit.name) + " off the section as designed";
}

ModelRequest model_request(OptionValues& values) {
  ModelRequest q;
  if (!values.has(Opt::fullwave)) {
    refuse(Opt::run, {"the run needs the model's directory: ", Opt::fullwave, " DIR"});
  }
  q.directory = values.shown(Opt::fullwave);
  const std::string_view mesh = values.choice(Opt::mesh);
  if (mesh != "fine") q.meshes.push_back(Mesh::coarse);
  if (mesh != "coarse") q.meshes.push_back(Mesh::fine);
  const std::string threads = values.has(Opt::threads) ? values.shown(Opt::threads)
                                                       : std::string(option(Opt::threads).fallback);
  unsigned n = 0;
  const auto [end, error] = std::from_chars(threads.data(), threads.data() + threads.size(), n);
  if (error != std::errc() || end != threads.data() + threads.size() || n > 1024) {
    reject(Opt::threads, threads, "expected a whole number from 0 to 1024");
  }
  q.threads = n;
  return q;
}

}  // namespace ketrovane::commands
