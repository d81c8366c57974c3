// The rows of every table, each one plain function of values: the analysis
// of a cross-section, the synthesis of a target, the response of a coupler
// at one frequency, the sensitivities of a cross-section and its field
// solution.  The interactive reports, ketrovane-calc and the Python package
// all take their rows from here; nothing else computes a row.
//
// Lengths in inches, frequencies in MHz, impedances in ohms, coupling and
// loss in dB.  On the model every number is single precision, as the
// reports print it; on the field solution the double results are rounded
// once.  No function here does input or output or keeps state, and every one
// may be called from several threads at once.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "design/strip_pair.hpp"
#include "field/field_synthesis.hpp"
#include "frequency/four_port.hpp"
#include "frequency/scattering_matrix.hpp"
#include "model/cross_section.hpp"
#include "model/loss.hpp"
#include "model/mode_impedances.hpp"
#include "model/sensitivity.hpp"
#include "synthesis/width_spacing_synthesis.hpp"

namespace ketrovane {

// What a row is computed with: the closed-form model, the field solution in
// the same columns, or the model with the field solution beside it.
enum class Solver : std::uint8_t { model, field, both };

// What a row says of itself.
enum class RowStatus : std::uint8_t {
  ok,
  zero_thickness_abandoned,  // the model left its zero-thickness solution: its numbers jump here
  not_finite,                // a number of the row is infinite or not a number
  converged,                 // a synthesis met both targets
  spacing_floor,             // the design needs S below 0.00001"
  width_floor,               // the design needs W below 0.0001"
  unusable,                  // targets that are not finite, or not Zoe > Zoo > 0
  not_representable,         // no W and S of the single-precision model meet both targets
  field_not_converged,       // the field synthesis did not meet both targets
  needs_thinner_core,        // strips one above the other couple too weakly at this SV
  gap_below_limit,           // the design needs a gap below the fab's least
  width_below_limit,         // the design needs a strip narrower than the fab's least
  no_field_solution,         // the field solver could not solve the cross-section
  no_field_loss,             // the field solver could not find the cross-section's loss
  uncoupled,                 // the strips couple more weakly than the field solution resolves
};

// The status as the tables write it: "ok", "not_finite", "converged", ...
std::string_view status_name(RowStatus status);

// A row that could not be computed, as opposed to one that carries a note.
bool is_failure(RowStatus status);

// A cross-section the field solver could not solve to its tolerance, or
// whose coupling it cannot resolve: where, why (what()), and the status of
// a row of it (no_field_solution, no_field_loss or uncoupled).
class FieldFailure : public std::runtime_error {
 public:
  FieldFailure(const StripPair& where, const std::string& why, RowStatus status)
      : std::runtime_error(why), where_(where), status_(status) {}
  [[nodiscard]] const StripPair& where() const { return where_; }
  [[nodiscard]] RowStatus status() const { return status_; }

 private:
  StripPair where_;
  RowStatus status_;
};

// The status of a row whose cross-section the field solver failed on.
RowStatus failure_status(const FieldFailure& failure);

// The conductor and dielectric of a coupler given by its dimensions.
struct Materials {
  Conductor conductor;  // ohm-inch and inches
  float loss_tangent;
};

// The mode impedances of a cross-section and the coupler they make.
struct CouplerImpedances {
  float zoe;                  // even-mode impedance
  float zoo;                  // odd-mode impedance
  float zo;                   // sqrt(Zoe Zoo)
  float coupling_db;          // negative; kNoCoupling without positive coupling
  Capacitances capacitances;  // the model's; zero from the field solution
  bool zero_thickness_abandoned;
  // Each mode's effective permittivity: both the board's Er in one
  // dielectric, the field's apart in a stack of layers.
  float eeff_even;
  float eeff_odd;
};

// The closed-form model's impedances.
CouplerImpedances model_impedances(const CrossSection& x);

// The field solution beside the model's numbers, and the model's error in
// per cent, 100 (model/field - 1).
struct FieldComparison {
  float zoe;
  float zoo;
  float zo;
  float coupling_db;
  float zoe_error_pct;
  float zoo_error_pct;
  std::optional<FieldFailure> uncoupled;  // the field cannot resolve the coupling
};

struct LossComparison {
  float even_db_per_inch;  // the field's attenuation, positive
  float odd_db_per_inch;
  float even_error_pct;  // the model's error
  float odd_error_pct;
};

// ---- Analysis ----

struct AnalysisRow {
  StripPair pair;
  CouplerImpedances impedances;
  ModeAttenuation attenuation;  // at the row's frequency, positive
  RowStatus status;
  std::optional<FieldComparison> field;      // with Solver::both
  std::optional<LossComparison> field_loss;  // with Solver::both
  std::optional<FieldFailure> failure;       // why the field failed the row
};

// Strips not side by side and centred only on the field solution.
AnalysisRow analysis_row(const StripPair& pair, const Materials& materials, float f_mhz,
                         Solver solver);

// ---- Synthesis ----

// The impedances asked of a design.
struct SynthesisTargets {
  float coupling_db;  // negative
  float zo;
  float zoe;
  float zoo;
};

// From Zo and a coupling level (dB, negative).
SynthesisTargets targets_of_coupling(float zo, float coupling_db);
// From Zo and an even-mode impedance: Zoo = Zo^2/Zoe, and Zo and the
// coupling as that pair gives them (Zo up to rounding).
SynthesisTargets targets_of_even_mode(float zo, float zoe);

// The least gap and strip width the fab can make, inches; 0 for no limit.
struct FabLimits {
  float min_gap = 0.0F;
  float min_width = 0.0F;
};

// What a synthesis solves for and what it is given: strips side by side
// solve W and S (off the centre plane at the given H); strips one above the
// other W and WO at the given SV, or W and SV at the given WO.
struct SynthesisSetup {
  Placement placement;  // the arrangement and its given dimensions
  field::SynthesisUnknowns unknowns = field::SynthesisUnknowns::width_and_gap;
  FabLimits limits;
  // The model's design finished to the model's resolution (the batch front
  // ends), or left where the alternating search met the targets within
  // 0.05 % (the interactive table, as its users have its rows stored).
  bool to_resolution = true;
};

struct SynthesisRow {
  SynthesisTargets targets;
  bool built;  // the design found (on the model, or on the field when asked)
  float w;     // inches; at a floor: what the model's synthesis reached
  float s;
  Placement placement;  // with the solved SV or WO of strips one above the other
  WidthSpacing model;   // the closed-form synthesis (the field's start)
  RowStatus status;
  std::optional<FieldComparison> field;  // with Solver::both, for a built row
  // The model's Zo, Zoe, Zoo and coupling of the row's own W and S, for a
  // design of the model finished to its resolution.
  std::optional<SynthesisTargets> achieved;
  std::optional<FieldFailure> failure;  // why the field failed the row
  // Each mode's effective permittivity: the board's Er in one dielectric;
  // on a stack of layers the field's of the design (NaN without one).
  float eeff_even;
  float eeff_odd;
};

// Strips not side by side and centred only on the field solution; on a
// stack of layers (setup.placement.stack) the field alone, the board's B
// and Er not looked at.
SynthesisRow synthesis_row(const Board& board, const SynthesisTargets& targets, Solver solver,
                           const SynthesisSetup& setup = {});

// The dimensions a row gives: those of a built design, and those of a
// design found but refused for a fab limit (what the design needs).
bool gives_dimensions(const SynthesisRow& row);

// Whether strips one above the other on this board meet the targets within
// the fab's limits.  Directly above each other they couple most, so the
// design of W and SV at WO = 0 (on the field) has the thickest core that
// couples as asked; one exists within the limits when that one does.
bool admits_broadside(const Board& board, const SynthesisTargets& targets, const FabLimits& limits);

// ---- Frequency response ----

// A coupled-line section and where its loss comes from.
struct ResponseCoupler {
  CoupledSection section;  // no attenuation: that depends on the frequency
  CouplerImpedances impedances;
  std::optional<StripPair> dimensions;  // none: lossless
  Materials materials;
  std::optional<WheelerFactors> model_loss;  // the model's loss of the dimensions, any frequency
  Solver solver;
  RowStatus status;
  std::optional<FieldComparison> field;  // with Solver::both
  std::optional<CoupledSection> field_section;
  std::optional<FieldFailure> failure;  // why the field failed the coupler
};

ResponseCoupler coupler_of_dimensions(const StripPair& pair, const Materials& materials,
                                      float length_inch, Solver solver);
// A lossless section of the given mode impedances in one dielectric er.
ResponseCoupler coupler_of_impedances(float zoe, float zoo, float er, float length_inch);

struct ResponseRow {
  float f_mhz;
  CoupledSection section;  // with the attenuation at f_mhz
  FourPortResponse response;
  RowStatus status;
  std::optional<FourPortResponse> field_response;  // with Solver::both
  std::optional<FieldFailure> failure;             // why the field failed the row
};

ResponseRow response_row(const ResponseCoupler& coupler, float f_mhz, Terminations terminations);

// The 4x4 scattering matrix of the coupler at f_mhz: the section of its
// response row there, its ports referenced to references.source (1 and 4)
// and references.load (2 and 3).
ScatteringMatrix response_scattering_matrix(const ResponseCoupler& coupler, float f_mhz,
                                            Terminations references);

// Every number of the response is finite.
bool all_finite(const FourPortResponse& response);

// The coupler's section with its attenuation at f_mhz (none when lossless).
CoupledSection section_at(const ResponseCoupler& coupler, float f_mhz);

// With Solver::both, the field's section of the same dimensions with the
// field's attenuation at f_mhz; none without one.  FieldFailure when the
// field solver cannot find its loss.
std::optional<CoupledSection> field_section_at(const ResponseCoupler& coupler, float f_mhz);

// The figures a coupler is specified by, from a response's amplitudes (down
// to -90 dB as they are printed): the return loss at the input, and the
// directivity, isolation less coupling; both positive dB.
inline float return_loss_db(const FourPortResponse& r) {
  return -r.amplitude_db[Port::reflected];
}
inline float directivity_db(const FourPortResponse& r) {
  return r.amplitude_db[Port::coupled] - r.amplitude_db[Port::isolated];
}
// The amplitude balance |S41| - |S21| in dB, coupled less through: about 0
// for a hybrid, the coupling less the through loss for a weaker coupler.
inline float amplitude_balance_db(const FourPortResponse& r) {
  return r.amplitude_db[Port::coupled] - r.amplitude_db[Port::through];
}

// Each mode's attenuation split into its conductor and dielectric parts,
// dB per inch, positive; the section's attenuation is their sum.
struct LossParts {
  ModeAttenuation conductor;
  ModeAttenuation dielectric;
};

// The parts of the attenuation of a coupler given by its dimensions at
// f_mhz, on the closed-form model or on the field solution; NaN where the
// field has no solution, none for a coupler given by its impedances.
std::optional<LossParts> loss_parts(const ResponseCoupler& coupler, float f_mhz, bool on_the_field);

// ---- Sensitivities ----

// (x/Z) dZ/dx of each mode to the dimensions an arrangement adds, on the
// field solution; 0 where the arrangement has no such dimension, or it is 0.
struct PlacementSensitivities {
  float h_even = 0.0F, h_odd = 0.0F;
  float sv_even = 0.0F, sv_odd = 0.0F;
  float wo_even = 0.0F, wo_odd = 0.0F;
};

struct FieldSensitivities {
  ImpedanceSensitivities impedances;  // S's are 0 for strips one above the other
  PlacementSensitivities placement;
  float eeff_even;  // the modes' effective permittivities
  float eeff_odd;
};

struct SensitivityRow {
  StripPair pair;
  ImpedanceSensitivities sensitivities;
  PlacementSensitivities placement;  // on the field solution
  RowStatus status;
  std::optional<FieldComparison> field;  // with Solver::both
  std::optional<FieldFailure> failure;   // why the field failed the row
  float eeff_even;                       // the modes' effective permittivities
  float eeff_odd;
};

SensitivityRow sensitivity_row(const StripPair& pair, Solver solver);

// ---- The field solution ----

struct FieldRow {
  StripPair pair;
  double zoe;
  double zoo;
  double zo;
  double coupling_db;
  double c_even;  // C/eps per strip
  double c_odd;
  double error_estimate;  // relative
  int panels;
  RowStatus status;
  std::optional<FieldFailure> failure;  // why, when the status is not ok
  double eeff_even;                     // C with the dielectrics over C without them
  double eeff_odd;
};

// To a relative tolerance of each mode impedance; the numbers NaN and the
// status no_field_solution when the solver cannot verify it, the coupling
// NaN and the status uncoupled when it is within the solution's resolution.
FieldRow field_row(const StripPair& pair, double tolerance);

// Strips whose mode impedances differ by no more than the solution can
// tell: FieldFailure's reason gives the bound on the coupling.  Tells
// nothing of a solution without a finite coupling difference to compare.
std::optional<FieldFailure> uncoupled(const StripPair& pair, double zoe, double zoo,
                                      double error_estimate);

}  // namespace ketrovane
