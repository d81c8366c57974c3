// The inputs of each batch command, read from its option values and
// checked: every value in inches, MHz, ohms or dB, single precision, in the
// shape the rows of the design layer take.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "commands/option_values.hpp"
#include "design/grid.hpp"
#include "design/multisection_row.hpp"
#include "design/row_kernel.hpp"
#include "design/tolerance.hpp"
#include "design/tolerance_multisection.hpp"
#include "design/tolerance_statistics.hpp"

namespace ketrovane::commands {

struct AnalyseRequest {
  Grid grid;  // the rows are its cross-sections, widths outer
  Materials materials;
  float f_mhz;  // where the loss is evaluated
  Solver solver;
};

struct SynthesiseRequest {
  Board board;
  float zo;
  bool by_coupling;             // targets are coupling levels (dB); else even-mode impedances
  Axis targets;                 // signed dB as given, or ohms
  std::optional<float> f0_mhz;  // --f0, when given
  // A quarter wave at --f0 in the board's dielectric; none on a stack of
  // layers, where each design's modes give its own.
  std::optional<float> length_inch;
  Solver solver;
  SynthesisSetup setup;  // the arrangement, what is solved for, the fab's limits
};

struct ResponseRequest {
  float er;
  // Given by its dimensions (lossy), or by Zo and coupling (lossless).
  std::optional<StripPair> dimensions;
  Materials materials;    // for dimensions only
  float zo, coupling_db;  // for Zo and coupling only; coupling negative
  float length_inch;
  float f0_mhz;  // given, or where the length is a quarter wave
  Axis f;
  Terminations terminations;
  float flatness_db;  // of the band of the summary
  Solver solver;
};

struct SensitivityRequest {
  Grid grid;
  Solver solver;
};

// The field solution of each cross-section, to a relative tolerance.
struct FieldRequest {
  Grid grid;
  double tolerance;
};

// A multi-section coupler: its profile, what its sections are built on,
// and the frequencies of its response.
struct MultisectionRequest {
  MultisectionDesign design;
  MultisectionBuild build;
  std::optional<Axis> f;  // with --f
  Terminations terminations;
  bool response_table;  // --table response: the rows are the response's
  // The sections built on build, once for the table, the chart and the
  // Touchstone file.
  std::shared_ptr<const MultisectionCoupler> coupler;
};

// Monte Carlo samples of one coupler given by its dimensions, their
// statistics against the limits, and the slice of the samples computed.
struct ToleranceRequest {
  ToleranceDesign design;
  std::vector<Limit> limits;
  std::uint64_t samples = 0;  // the run's number of samples
  std::uint64_t start = 0;    // the first sample computed
  std::uint64_t count = 0;    // how many from start
  // Each sample again with each varied input held nominal (--attribution).
  bool attribution = false;
  // The nominal centred first (--centre), within the fab's least width and
  // gap (inches, 0 for none).
  bool centre = false;
  double min_width = 0.0;
  double min_gap = 0.0;
  // A multi-section coupler (--sections) instead of one coupler: its
  // sections varied and the limits on the band's outcomes.  design then
  // holds the run's seed, law and solver alone, and limits is empty.
  std::optional<MultisectionToleranceDesign> multisection;
  std::vector<BandLimit> band_limits;
};

// One strip between the planes: a row per width, or per impedance whose
// width is found.
struct LineRequest {
  StripPair where{CrossSection{}};  // the board or stack and the strip's height; its W and S
                                    // not looked at
  bool by_impedance;                // the rows are impedances (--zo), else widths (--w)
  Axis values;                      // inches or ohms
  Materials materials;
  float f_mhz;  // of the loss and the length per degree
  Solver solver;
};

struct CouplerArtwork;

// A coupler's artwork: the coupler given by its dimensions, as a response
// takes it (without frequencies), and what is drawn of it.
struct LayoutRequest {
  ResponseRequest coupler;
  std::shared_ptr<const CouplerArtwork> artwork;
};

using Request =
    std::variant<AnalyseRequest, SynthesiseRequest, ResponseRequest, SensitivityRequest,
                 FieldRequest, MultisectionRequest, ToleranceRequest, LineRequest, LayoutRequest>;

AnalyseRequest read_analyse(OptionValues& values);
SynthesiseRequest read_synthesise(OptionValues& values);
ResponseRequest read_response(OptionValues& values);
// The coupler of a response without its frequencies, terminations and
// summary: its dimensions (or Zo and coupling), length and f0, and with
// `with_loss` the materials of its loss.
ResponseRequest read_response_coupler(OptionValues& values, bool with_loss);
SensitivityRequest read_sensitivity(OptionValues& values);
FieldRequest read_field(OptionValues& values);
MultisectionRequest read_multisection(OptionValues& values);
// A multi-section coupler's profile and what its sections are built on,
// without its frequencies, terminations and table; its sections not built.
MultisectionRequest read_multisection_coupler(OptionValues& values);
ToleranceRequest read_tolerance(OptionValues& values);
LineRequest read_line(OptionValues& values);

// Parts of the requests that others build on: the conductor and dielectric
// of --rho, --roughness and --tand, and a strip pair of single values.
Materials read_materials(OptionValues& values);
StripPair read_dimensions(OptionValues& values, float er, Solver solver);

// The section of a response: its impedances, from the dimensions or from Zo
// and the coupling.
ResponseCoupler coupler_of(const ResponseRequest& q);

// The solver named by --solver.
Solver read_solver(OptionValues& values);

// The arrangement named by --geometry.
Arrangement read_arrangement(OptionValues& values);

// "edge", "edge-offset", "broadside"
std::string_view geometry_name(Arrangement arrangement);

// What decides a command's columns before any row: the solver, and whether
// the rows carry the coupler's length.
struct ColumnChoice {
  Solver solver = Solver::model;
  bool with_length = false;
  Arrangement arrangement = Arrangement::edge;
  bool from_dimensions = false;  // a response of a coupler given by its dimensions
  bool compensated = false;      // the artwork's sections shortened (--compensate)
};
ColumnChoice column_choice(Command command, OptionValues& values);

}  // namespace ketrovane::commands
