// The run of a coupler's full-wave model (DIR/coupler.py on openEMS's
// Python bindings) as a child process, and what it leaves in DIR/<mesh>/
// read back: its status (status.json) and, when it settled, its four-port
// (sparameters.csv, ports in our numbering).  Shared by the command line
// and the Python package; the caller shows the progress and says when to
// stop.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commands/option_values.hpp"
#include "commands/requests.hpp"
#include "design/measured_response.hpp"

namespace ketrovane::commands {

using ketrovane::MeasuredSweep;

enum class Mesh : std::uint8_t { coarse, fine };
std::string_view mesh_name(Mesh mesh);

// What status.json says of a run.
struct ModelStatus {
  std::string status;  // "settled", "not settled" or "diverged"
  double energy_decay_db = 0.0;
  std::int64_t cells = 0;
  std::int64_t timesteps = 0;
  std::int64_t excitations = 0;
  double seconds = 0.0;
};

// The run asked for: the model's directory, its mesh, openEMS's threads.
struct ModelRun {
  std::filesystem::path directory;
  Mesh mesh = Mesh::coarse;
  unsigned threads = 0;  // 0: openEMS's own choice
};

// The interpreter the model runs on and the check that it has openEMS
// (`python3 -c "import openEMS, CSXCAD"`), given apart so that a test can
// stand in for either.
struct Interpreter {
  std::string path = "/usr/bin/python3";
  std::function<bool(const std::string& interpreter)> has_openems;
};
bool imports_openems(const std::string& interpreter);
inline const Interpreter kDebianPython = {.path = "/usr/bin/python3",
                                          .has_openems = imports_openems};

// What the caller is told and asked while the model runs.
struct ModelWatch {
  // Each line the model writes (its `stage:` lines, openEMS's own).
  std::function<void(std::string_view line)> line;
  // Asked a few times a second; yes stops the model.
  std::function<bool()> should_stop;
};

enum class ModelOutcome : std::uint8_t {
  result,           // settled: the sweep is the coupler's
  no_result,        // ran to its end without settling, or diverged
  failed,           // the script could not run, or left no status
  openems_missing,  // nothing run
  interrupted,      // stopped: DIR/<mesh>/ removed, the model kept
};

struct ModelResult {
  ModelOutcome outcome = ModelOutcome::failed;
  ModelStatus status;
  MeasuredSweep sweep;
  std::string message;  // what went wrong, in one line (empty for a result)
};

// Runs `interpreter.path -u DIR/coupler.py --mesh M --threads N` in DIR
// (no shell) and reads its outcome.  An InputError naming --fullwave when
// DIR/coupler.py is not there.
ModelResult run_model(const ModelRun& run, const Interpreter& interpreter, const ModelWatch& watch);

// The outcome of a run already made, read from DIR/<mesh>/.
ModelResult read_model_outcome(const ModelRun& run);

// The four-port of sparameters.csv (the header line, then f_hz and the real
// and imaginary parts of S11, S12, ... S44 on each line); an InputError
// naming the file where a line does not read.
MeasuredSweep read_sparameters(const std::filesystem::path& csv);

// The options of a run: --fullwave DIR, --mesh, --threads.  The meshes in
// the order they run (both: coarse, then fine).
struct ModelRequest {
  std::filesystem::path directory;
  std::vector<Mesh> meshes;
  unsigned threads = 0;
};
ModelRequest model_request(OptionValues& values);

// The figures of the coupler as laid out set beside the ideal section's:
// the band summary over the --f frequencies the model swept, the
// coupling's peak among the model's frequencies, the coupled length the
// layout adds (read from where the coupling peaks), how reciprocal and how
// passive the four-port is.
struct FigureName {
  std::string_view name;  // "coupling_at_f0"
  std::string_view unit;  // "dB"; empty for a ratio
};
inline constexpr std::array<FigureName, 14> kLaidOutFigures = {{
    {"coupling_at_f0", "dB"},
    {"coupling_peak_f", "MHz"},
    {"coupling_peak", "dB"},
    {"added_length", "deg"},  // at f0; the ideal section's none
    {"band_low", "MHz"},
    {"band_high", "MHz"},
    {"worst_directivity", "dB"},
    {"worst_return_loss", "dB"},
    {"worst_isolation", "dB"},
    {"least_amplitude_balance", "dB"},
    {"greatest_amplitude_balance", "dB"},
    {"worst_quadrature_error", "deg"},
    {"reciprocity", ""},   // the largest |Sij - Sji|
    {"column_power", ""},  // the largest sum of |Sij|^2 down a column
}};
using FigureValues = std::array<float, kLaidOutFigures.size()>;

// Where the layout leaves the coupling's peak, in lengths of the section:
// the ideal section, `designed` long, peaks at f_i; the coupler as laid
// out, its section drawn `drawn` long (shorter by a compensation), at f_l,
// as a section f_i designed / f_l long would.
struct PeakShift {
  double added_inch;           // f_i designed / f_l - drawn
  double for_peak_at_f0_inch;  // f_i designed / f0 - added: drawn so, it peaks at f0
  double added_deg;            // added at f0, the designed section 90 degrees
};

struct LaidOutComparison {
  FigureValues ideal;
  FigureValues laid_out;
  // With both meshes: how far the fine mesh's figures moved from the
  // coarse one's, each figure's uncertainty.
  std::optional<FigureValues> mesh_change;
  MeasuredSweep ideal_sweep;       // the ideal section at the model's frequencies
  std::optional<PeakShift> shift;  // none without a peak in either sweep
};

// Over the frequencies `f_mhz` (increasing; those of the model's sweep
// taken): `laid_out` of the last mesh run, its section drawn
// `drawn_inch` long (the request's length less any compensation);
// `coarse` the coarse mesh's beside a fine one.
LaidOutComparison compare_laid_out(const ResponseRequest& q, std::span<const float> f_mhz,
                                   double drawn_inch, const MeasuredSweep& laid_out,
                                   const MeasuredSweep* coarse = nullptr);

// "the coupler as laid out couples most at 1888.6 MHz, ..., a section
// 725.7 mil long (--length 725.7mil) puts its peak at f0": empty without a
// shift.
std::string peak_shift_note(const LaidOutComparison& c, const ResponseRequest& q, LengthUnit unit);

// --compensate measured: the section redrawn and the model run again until
// the laid-out coupling peaks within kPeakAtF0Tolerance of f0, at most
// kMostTrials runs.  Redrawing the section moves the mesh's lines, and the
// peak with them by a few MHz at 2 GHz (up to 0.25 % between two lengths
// a third of a mil apart on the fine mesh): a tighter aim would chase the
// mesh, not the section.
inline constexpr double kPeakAtF0Tolerance = 3e-3;
inline constexpr int kMostTrials = 4;

struct PeakTrial {
  double drawn_inch;           // the section as drawn
  double peak_mhz;             // where the laid-out coupling peaked
  double for_peak_at_f0_inch;  // that run's PeakShift
};

// The next length to draw: none once the last trial peaked within the
// tolerance of f0, after kMostTrials, or where no length above 0 is left.
// After one trial its own estimate; after two or more the straight line
// through the last two (peak against length), unless the peak did not
// fall as the section grew, when the last trial's own estimate again.
std::optional<double> next_trial_length(std::span<const PeakTrial> trials, double f0_mhz);

// Writes the model again with its section drawn that long.
using Redraw = std::function<void(double drawn_inch)>;
// Runs the model, as it stands, on one mesh.
using MeshRun = std::function<ModelResult(Mesh)>;

// The runs a laid-out comparison stands on.  Each mesh asked runs once, in
// order; with `redraw` (--compensate measured) the finest mesh runs first,
// at each length the search draws until next_trial_length stops it, and
// the other then at the length found.  A run without a result ends them.
struct ComparisonRuns {
  std::vector<std::pair<Mesh, ModelStatus>> reported;  // each mesh's run that counts, as run
  std::optional<ModelResult> failed;                   // the run without a result
  std::vector<PeakTrial> trials;                       // the search's
  MeasuredSweep last;                                  // the finest mesh's
  std::optional<MeasuredSweep> coarse;                 // the coarse mesh's beside a fine one
  double drawn_inch = 0.0;                             // the section as the runs drew it
};
ComparisonRuns run_for_comparison(const ModelRequest& m, const ResponseRequest& q,
                                  std::span<const float> f_mhz, double drawn_inch,
                                  const MeshRun& run, const Redraw& redraw = {});

// "the search for the section's length: run 1, 771.2 mil, peak 1888.2 MHz;
// ... within 0.3 % of f0"
std::string trials_note(std::span<const PeakTrial> trials, const ResponseRequest& q,
                        LengthUnit unit);

// The frequencies of an axis, listed.
std::vector<float> listed(const Axis& f);

}  // namespace ketrovane::commands
