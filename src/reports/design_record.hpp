// The design record of the interactive program: the selections, working
// values, defaults, storage file name and date and time that the dialogue
// fills and the runs read.  One record lives for the whole run of the
// program: values of one design that a later design does not ask for stay
// as they were.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "design/ranges.hpp"
#include "design/synthesis_table.hpp"
#include "model/cross_section.hpp"

namespace ketrovane {

// The selectors keep the numbers the menus show and the reports print.
enum class ProgramFunction : std::uint8_t { analysis = 1, synthesis = 2 };
enum class AnalysisOption : std::uint8_t { impedance = 1, frequency = 2, sensitivity = 3 };
// The impedance range is 0 (none) while the frequency analysis is chosen.
enum class RangeKind : std::uint8_t { none = 0, widths = 1, spacings = 2 };
enum class FrequencyBasis : std::uint8_t { impedances = 1, dimensions = 2 };
enum class SensitivityModes : std::uint8_t { even = 1, odd = 2, both = 3 };
enum class SynthesisRange : std::uint8_t { coupling_levels = 1, even_mode_impedances = 2 };
enum class LengthMode : std::uint8_t { entered = 1, computed = 2 };
enum class PrintFormat : std::uint8_t { magnitude_and_phase = 1, vswr_and_losses = 2 };
// The reply to the storage question, which no menu shows, that stores the
// design with the reports' diagnostic output besides.
inline constexpr std::int16_t kDiagnosticStorageReply = -473;
enum class Storage : std::int16_t {
  none = 0,
  store = 1,
  store_with_diagnostics = kDiagnosticStorageReply
};
// Where the dialogue starts: the first design reads the default-value file.
enum class Stage : std::int8_t {
  first_design = 0,
  new_option = 1,
  new_coupler = 2,
  exit = 3,
  defaults_rejected = -1
};

// The number a selector prints as.
template <typename Selector>
constexpr int number_of(Selector s) {
  return static_cast<int>(s);
}

// Defaults of the prompts, read once from the default-value file.
struct Defaults {
  float b = 0;             // ground-plane spacing, inch
  float er = 0;            // dielectric constant
  float loss_tangent = 0;  // dielectric loss tangent
  float f_max = 0;         // analysis stop frequency, MHz
  float f_min = 0;         // analysis start frequency, MHz
  float f_step = 0;        // analysis frequency step, MHz
  float fo = 0;            // design centre frequency, MHz
  float coupling_db = 0;   // midband coupling, dB (negative)
  float strongest_db = 0;  // synthesis coupling levels, dB (magnitudes)
  float weakest_db = 0;
  float level_step_db = 0;
  float length = 0;       // coupler length, inch
  float resistivity = 0;  // micro-ohm-cm; read and checked, no prompt uses it
  float roughness = 0;    // micro-inch; read and checked, no prompt uses it
  float load = 0;         // load termination, ohm
  float source = 0;       // source termination, ohm
  float s = 0;            // strip spacing, inch
  float s_max = 0;        // spacing range, inch
  float s_min = 0;
  float s_step = 0;
  float t = 0;      // strip thickness, inch
  float w = 0;      // strip width, inch
  float w_max = 0;  // width range, inch
  float w_min = 0;
  float w_step = 0;
  float zo = 0;       // coupler impedance, ohm
  float zoe = 0;      // even-mode impedance, ohm; read and checked only
  float zoe_max = 0;  // synthesis Zoe range, ohm
  float zoe_min = 0;
  float zoe_step = 0;
  float zoo = 0;  // odd-mode impedance, ohm; read and checked only
};

// Local date and time of the run, taken once.
struct DateTime {
  int month = 0;
  int day = 0;
  int year = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

inline constexpr std::size_t kFileNameLength = 20;

struct Selections {
  Stage stage = Stage::first_design;
  ProgramFunction function = ProgramFunction::synthesis;
  AnalysisOption analysis = AnalysisOption::frequency;
  RangeKind impedance_range = RangeKind::widths;
  FrequencyBasis frequency_basis = FrequencyBasis::impedances;
  SensitivityModes sensitivity_modes = SensitivityModes::even;
  RangeKind sensitivity_range = RangeKind::widths;
  SynthesisRange synthesis_range = SynthesisRange::coupling_levels;
  LengthMode length_mode = LengthMode::computed;
  PrintFormat print_format = PrintFormat::magnitude_and_phase;
  Storage storage = Storage::none;
  int step_count = 0;  // of the range entered last: step_count + 1 rows
};

struct DesignRecord {
  Selections selections;

  // Working values of the current design.
  Board board{};     // B and T in inches, Er
  float w = 0;       // strip width, inch
  float s = 0;       // strip spacing, inch
  Range widths{};    // inch
  Range spacings{};  // inch
  float resistivity_uohm_cm = 0;
  float resistivity_ohm_inch = 0;
  float roughness_uin = 0;
  float roughness_inch = 0;
  float loss_tangent = 0;
  float length = 0;   // coupler length, inch
  float fo = 0;       // design centre frequency, MHz
  float f_start = 0;  // analysis frequencies, MHz
  float f_step = 0;
  float source = 0;  // terminations, ohm
  float load = 0;
  float zo = 0;           // coupler impedance, ohm
  float coupling_db = 0;  // midband coupling, dB (negative)
  float zoe = 0;          // even- and odd-mode impedances, ohm
  float zoo = 0;
  CouplingLevels levels{};         // synthesis over coupling levels
  EvenModeImpedances zoe_range{};  // synthesis over even-mode impedances

  Defaults defaults;                                             // of the default-value file
  std::string storage_name = std::string(kFileNameLength, ' ');  // 20 columns
  DateTime run_time;
};

}  // namespace ketrovane
