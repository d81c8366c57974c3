// Data entry: the prompts of each function and option in their order, with
// their defaults, acceptance tests, derived values, checks and re-entry.
#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "common/constants.hpp"
#include "common/saturating.hpp"
#include "design/checks.hpp"
#include "design/conductor_menus.hpp"
#include "design/quarter_wave.hpp"
#include "design/ranges.hpp"
#include "front/dialogue.hpp"
#include "model/coupling.hpp"

namespace ketrovane {

namespace {

using text::Ending;
using text::Layout;

enum class Prompt : std::uint8_t {
  header,
  b,
  w,
  w_min,
  w_max,
  w_step,
  s,
  s_min,
  s_max,
  s_step,
  t,
  resistivity,
  roughness,
  er,
  loss_tangent,
  loss_frequency,
  length_mode,
  length,
  range_header,
  f_start,
  f_stop,
  f_step,
  centre_frequency,
  terminations_header,
  rs,
  rl,
  print_format,
  zo,
  coupling,
  strongest_coupling,
  weakest_coupling,
  coupling_step,
  zoe_max,
  zoe_min,
  zoe_step,
};

using P = Prompt;

constexpr std::array kImpedanceOverWidths = {
    P::header, P::b,           P::w_min,     P::w_max, P::w_step,       P::s,
    P::t,      P::resistivity, P::roughness, P::er,    P::loss_tangent, P::loss_frequency};
constexpr std::array kImpedanceOverSpacings = {
    P::header, P::b,           P::w,         P::s_min, P::s_max,        P::s_step,
    P::t,      P::resistivity, P::roughness, P::er,    P::loss_tangent, P::loss_frequency};
constexpr std::array kSensitivityOverWidths = {P::header, P::b, P::w_min, P::w_max,
                                               P::w_step, P::s, P::t,     P::er};
constexpr std::array kSensitivityOverSpacings = {P::header, P::b,     P::w,      P::t,
                                                 P::s_min,  P::s_max, P::s_step, P::er};
constexpr std::array kFrequencyFromDimensions = {P::header,
                                                 P::b,
                                                 P::w,
                                                 P::s,
                                                 P::t,
                                                 P::resistivity,
                                                 P::roughness,
                                                 P::er,
                                                 P::loss_tangent,
                                                 P::length,
                                                 P::range_header,
                                                 P::f_start,
                                                 P::f_stop,
                                                 P::f_step,
                                                 P::centre_frequency,
                                                 P::terminations_header,
                                                 P::rs,
                                                 P::rl,
                                                 P::print_format};
constexpr std::array kFrequencyFromImpedances = {P::zo,
                                                 P::coupling,
                                                 P::er,
                                                 P::length_mode,
                                                 P::length,
                                                 P::range_header,
                                                 P::f_start,
                                                 P::f_stop,
                                                 P::f_step,
                                                 P::centre_frequency,
                                                 P::terminations_header,
                                                 P::rs,
                                                 P::rl,
                                                 P::print_format};
constexpr std::array kSynthesisOverCoupling = {
    P::header,       P::b, P::t, P::er, P::zo, P::strongest_coupling, P::weakest_coupling,
    P::coupling_step};
constexpr std::array kSynthesisOverImpedance = {P::header, P::b,       P::t,       P::er,
                                                P::zo,     P::zoe_max, P::zoe_min, P::zoe_step};

std::span<const Prompt> sequence_of(const Selections& sel) {
  if (sel.function == ProgramFunction::synthesis) {
    if (sel.synthesis_range == SynthesisRange::even_mode_impedances) return kSynthesisOverImpedance;
    return kSynthesisOverCoupling;
  }
  if (sel.analysis == AnalysisOption::frequency) {
    if (sel.frequency_basis == FrequencyBasis::dimensions) return kFrequencyFromDimensions;
    return kFrequencyFromImpedances;
  }
  if (sel.analysis == AnalysisOption::sensitivity) {
    if (sel.sensitivity_range == RangeKind::spacings) return kSensitivityOverSpacings;
    return kSensitivityOverWidths;
  }
  if (sel.impedance_range == RangeKind::spacings) return kImpedanceOverSpacings;
  return kImpedanceOverWidths;
}

// Where data entry goes on after B: the next prompt in order, or, once a
// check has sent it back to B, the prompt of the value that check refused.
enum class Resume : std::uint8_t { in_order, at_thickness, at_spacing, at_max_spacing };

class DataEntry {
 public:
  DataEntry(DesignRecord& r, Console& console)
      : record_(r),
        defaults_(r.defaults),
        console_(console),
        sequence_(sequence_of(r.selections)) {}

  void run() {
    while (next_ < sequence_.size()) ask(sequence_[next_++]);
  }

 private:
  void ask(Prompt prompt);
  void ask_dimension(Prompt prompt);
  void ask_material(Prompt prompt);
  void ask_frequency(Prompt prompt);
  void ask_synthesis_range(Prompt prompt);

  // Prompt rule: the default stands unless the reply passes the test.
  float& value(const Layout& question, float& field, float fallback, bool (*accept)(float)) {
    field = fallback;
    const float reply = console_.ask(question);
    if (accept(reply)) field = reply;
    return field;
  }

  void ask_b();
  void check_spacing(float spacing, Resume resume);
  void check_thickness();
  void ask_resistivity();
  void ask_roughness();
  void ask_coupling();
  void ask_coupling_level(bool strongest);
  void ask_zoemin();
  void ask_print_format();
  void show_length_from_frequency();
  void show_frequency_from_length();

  void back_to_b(Resume resume) {
    resume_ = resume;
    next_ = index_of(P::b);
  }
  [[nodiscard]] std::size_t index_of(Prompt prompt) const {
    return static_cast<std::size_t>(std::find(sequence_.begin(), sequence_.end(), prompt) -
                                    sequence_.begin());
  }

  DesignRecord& record_;
  const Defaults& defaults_;
  Console& console_;
  std::span<const Prompt> sequence_;
  std::size_t next_ = 0;
  Resume resume_ = Resume::in_order;
  float f_stop_ = 0;
};

void DataEntry::ask(Prompt prompt) {
  static const Layout kHeader("(/,6X,'Please enter the following DIMENSIONAL DATA:')");
  static const Layout kRangeHeader("(/,6X,'Please enter Frequency Range for Coupler Response:')");
  static const Layout kTerminationsHeader("(/,6X,'Enter Load and Source Terminations:')");
  switch (prompt) {
    case P::header:
      console_.show(kHeader);
      return;
    case P::range_header:
      console_.show(kRangeHeader);
      return;
    case P::terminations_header:
      console_.show(kTerminationsHeader);
      return;
    case P::b:
      ask_b();
      return;
    case P::w:
    case P::w_min:
    case P::w_max:
    case P::w_step:
    case P::s:
    case P::s_min:
    case P::s_max:
    case P::s_step:
    case P::t:
      ask_dimension(prompt);
      return;
    case P::resistivity:
    case P::roughness:
    case P::er:
    case P::loss_tangent:
      ask_material(prompt);
      return;
    case P::loss_frequency:
    case P::length_mode:
    case P::length:
    case P::f_start:
    case P::f_stop:
    case P::f_step:
    case P::centre_frequency:
    case P::rs:
    case P::rl:
    case P::print_format:
      ask_frequency(prompt);
      return;
    case P::zo:
    case P::coupling:
    case P::strongest_coupling:
    case P::weakest_coupling:
    case P::coupling_step:
    case P::zoe_max:
    case P::zoe_min:
    case P::zoe_step:
      ask_synthesis_range(prompt);
      return;
  }
}

void DataEntry::ask_b() {
  static const Layout kB("(11X,'-Ground Plane Spacing: B,  Inches = ')", Ending::question);
  value(kB, record_.board.b, defaults_.b, is_positive);
  if (resume_ == Resume::at_thickness) next_ = index_of(P::t);
  if (resume_ == Resume::at_spacing) next_ = std::min(index_of(P::s), index_of(P::s_min));
  if (resume_ == Resume::at_max_spacing) next_ = index_of(P::s_max);
}

void DataEntry::ask_dimension(Prompt prompt) {
  static const Layout kW("(11X,'-Width of each Strip:  W,  Inches = ')", Ending::question);
  static const Layout kWmin("(11X,'-Min. Strip Width:  Wmin,  Inches = ')", Ending::question);
  static const Layout kWmax("(11X,'-Max. Strip Width:  Wmax,  Inches = ')", Ending::question);
  static const Layout kWstep("(11X,'-Width Step Size:  Wstep,  Inches = ')", Ending::question);
  static const Layout kS("(11X,'-Spacing between Strips:S, Inches = ')", Ending::question);
  static const Layout kSmin("(11X,'-Min. Strip Spacing:Smin,  Inches = ')", Ending::question);
  static const Layout kSmax("(11X,'-Max. Strip Spacing:Smax,  Inches = ')", Ending::question);
  static const Layout kSstep("(11X,'-Spacing Step Size:Sstep,  Inches = ')", Ending::question);
  static const Layout kT("(11X,'-Thickness of Strips:  T,  Inches = ')", Ending::question);
  switch (prompt) {
    case P::w:
      value(kW, record_.w, defaults_.w, is_positive);
      return;
    case P::w_min:
      value(kWmin, record_.widths.min, defaults_.w_min, is_positive);
      return;
    case P::w_max:
      value(kWmax, record_.widths.max, defaults_.w_max, is_positive);
      if (record_.widths.min > record_.widths.max) record_.widths.max = record_.widths.min;
      return;
    case P::w_step:
      value(kWstep, record_.widths.step, defaults_.w_step, is_positive);
      record_.selections.step_count = step_count(record_.widths, Quotient::single_precision);
      record_.selections.impedance_range = RangeKind::widths;
      return;
    case P::s:
      check_spacing(value(kS, record_.s, defaults_.s, is_positive), Resume::at_spacing);
      return;
    case P::s_min:
      // Deliberate: over spacings T comes after the range, so these checks
      // see the thickness of the previous design (pinned by
      // Dialogue.SpacingChecksOfARangeNeedAThickness).
      value(kSmin, record_.spacings.min, defaults_.s_min, is_positive);
      if (record_.board.t != 0) check_spacing(record_.spacings.min, Resume::at_spacing);
      return;
    case P::s_max:
      value(kSmax, record_.spacings.max, defaults_.s_max, is_positive);
      if (record_.spacings.min > record_.spacings.max) record_.spacings.max = record_.spacings.min;
      if (record_.board.t != 0) check_spacing(record_.spacings.max, Resume::at_max_spacing);
      return;
    case P::s_step:
      value(kSstep, record_.spacings.step, defaults_.s_step, is_positive);
      record_.selections.step_count = step_count(record_.spacings, Quotient::single_precision);
      record_.selections.impedance_range = RangeKind::spacings;
      return;
    default:
      value(kT, record_.board.t, defaults_.t, is_positive);
      check_thickness();
      return;
  }
}

void DataEntry::check_spacing(float spacing, Resume resume) {
  static const Layout kWarning(
      "(/,6X,'ERROR DETECTED: Coupling is very weak for S > ', '1.5*B. Analysis')");
  static const Layout kQuestion("(17X,'algorithms may fail. Enter 1 to re-enter B and S : ')",
                                Ending::question);
  if (!coupling_very_weak(spacing, record_.board.b)) return;
  console_.show(kWarning);
  if (nearest_int(console_.ask(kQuestion)) == 1) back_to_b(resume);
}

void DataEntry::check_thickness() {
  static const Layout kMessage(
      "(/,6X,'ERROR DETECTED: T must be less than 0.8*B. Please' ,/,26X,'enter new values for B "
      "and T.')");
  if (!thicker_than_allowed(record_.board.t, record_.board.b)) return;
  console_.show(kMessage);
  back_to_b(Resume::at_thickness);
}

void DataEntry::ask_material(Prompt prompt) {
  static const Layout kEr("(11X,'-Substrate Dielectric Constant:Er = ')", Ending::question);
  static const Layout kDltan("(11X,'-Dielectric Loss Tangent:  DLTAN  = ')", Ending::question);
  switch (prompt) {
    case P::resistivity:
      ask_resistivity();
      return;
    case P::roughness:
      ask_roughness();
      return;
    case P::er:
      value(kEr, record_.board.er, defaults_.er, is_permittivity);
      return;
    default:
      value(kDltan, record_.loss_tangent, defaults_.loss_tangent, is_positive);
      return;
  }
}

void DataEntry::ask_resistivity() {
  static const Layout kMenu(
      "(11X,'-Conductor Resistivity: RES, Micro-Ohm-cm:',/,16X, ' 1: Silver-plated   ; RES = "
      "1.6',/,16X, '*2: Copper          ; RES = 1.7 (Default)',/,16X, ' 3: Gold-plated     ; RES "
      "= 2.5',/,16X, ' 4: 6061 Aluminum   ; RES = 4.0',/,16X, ' 5: Brass           ; RES = "
      "7.0',/,16X, ' 6: Lossless Coupler; RES = 0.0')");
  static const Layout kQuestion("(12X,'Conductor Resistivity selected = ')", Ending::question);
  console_.show(kMenu);
  const int choice = menu_choice(console_.ask(kQuestion), 1,
                                 static_cast<int>(kConductorMenu.size()), kDefaultConductorChoice);
  record_.resistivity_uohm_cm = menu_entry(kConductorMenu, choice).resistivity_uohm_cm;
  record_.resistivity_ohm_inch = record_.resistivity_uohm_cm * kOhmInchPerMicroOhmCm;
}

// Deliberate: "micro=inch" is the program's own text, and "Lossless Coupler"
// sets the roughness to 0 only (pinned by the transcript entry_checks_and_reentry).
void DataEntry::ask_roughness() {
  static const Layout kMenu(
      "(11X, '-RMS Surface Roughness: SR.',/,16X, ' 1: 20 micro-inch.',/,16X, ' 2: 10 "
      "micro=inch.',/,16X, '*3:  5 micro-inch (Default).',/,16X, ' 4:  1 micro-inch.',/,16X ' 5: "
      "Lossless Coupler.')");
  static const Layout kQuestion("(12X,'RMS Surface Roughness selected = ')", Ending::question);
  console_.show(kMenu);
  const int choice =
      menu_choice(console_.ask(kQuestion), 1, static_cast<int>(kRoughnessMenuUin.size()),
                  kDefaultRoughnessChoice);
  record_.roughness_uin = menu_entry(kRoughnessMenuUin, choice);
  record_.roughness_inch = record_.roughness_uin * kInchPerMicroInch;
}

void DataEntry::ask_frequency(Prompt prompt) {
  static const Layout kFoImpedance("(11X,'-Design Center  Frequency: Fo,MHz = ')",
                                   Ending::question);
  static const Layout kL("(11X,'-Length of Coupler:    L,  Inches = ')", Ending::question);
  static const Layout kFstart("(11X,'-Analysis Start Frequency: Fstart, MHz = ')",
                              Ending::question);
  static const Layout kFstop("(11X,'-Analysis Stop  Frequency: Fstop , MHz = ')", Ending::question);
  static const Layout kFstep("(11X,'-Analysis Step  Frequency: Fstep , MHz = ')", Ending::question);
  static const Layout kFoFrequency("(11X,'-Design Center  Frequency: Fo    , MHz = ')",
                                   Ending::question);
  static const Layout kRs("(11X,'-Source Termination: Rs,  Ohms = ')", Ending::question);
  static const Layout kRl("(11X,'-Load   Termination: Rl,  Ohms = ')", Ending::question);
  switch (prompt) {
    case P::loss_frequency:
      value(kFoImpedance, record_.fo, defaults_.fo, is_positive);
      return;
    case P::length_mode:
      ask_length_mode(record_, console_);
      return;
    case P::length:
      if (record_.selections.length_mode != LengthMode::entered) return;
      value(kL, record_.length, defaults_.length, is_positive);
      show_frequency_from_length();
      return;
    case P::f_start:
      value(kFstart, record_.f_start, defaults_.f_min, is_positive);
      return;
    case P::f_stop:
      value(kFstop, f_stop_, defaults_.f_max, is_positive);
      if (record_.f_start > f_stop_) f_stop_ = record_.f_start;
      return;
    case P::f_step:
      value(kFstep, record_.f_step, defaults_.f_step, is_positive);
      record_.selections.step_count =
          step_count({record_.f_start, f_stop_, record_.f_step}, Quotient::single_precision);
      return;
    case P::centre_frequency:
      if (record_.selections.length_mode != LengthMode::computed) return;
      value(kFoFrequency, record_.fo, defaults_.fo, is_positive);
      show_length_from_frequency();
      return;
    case P::rs:
      value(kRs, record_.source, defaults_.source, is_positive);
      return;
    case P::rl:
      value(kRl, record_.load, defaults_.load, is_positive);
      return;
    default:
      ask_print_format();
      return;
  }
}

void DataEntry::show_frequency_from_length() {
  static const Layout kFo("(11X,'-Design Center Frequency: Fo, MHz =',F9.3)");
  record_.fo = quarter_wave_frequency(record_.length, record_.board.er);
  console_.show(kFo, {record_.fo});
}

void DataEntry::show_length_from_frequency() {
  static const Layout kL("(11X,'-Computed Length of Coupler: L, inches = ',F7.4)");
  record_.length = quarter_wave_length(record_.fo, record_.board.er);
  console_.show(kL, {record_.length});
}

void DataEntry::ask_print_format() {
  static const Layout kMenu(
      "(/,6X,'Select output data print FORMAT:',/,10X, '*1: Magnitude (dB) and Phase (Degrees) "
      "at each port (Default).', /,10X, ' 2: VSWR, Losses (dB) and Phase Quadrature.')");
  static const Layout kQuestion("(6X,'Print FORMAT selected = ')", Ending::question);
  record_.selections.print_format = PrintFormat::magnitude_and_phase;
  console_.show(kMenu);
  record_.selections.print_format =
      static_cast<PrintFormat>(menu_choice(console_.ask(kQuestion), 1, 2, 1));
}

void DataEntry::ask_synthesis_range(Prompt prompt) {
  static const Layout kZo("(11X,'-Impedance of Coupler:   Zo, Ohms = ')", Ending::question);
  static const Layout kCstep("(15X,'-Coupling level Step Size: Cstep  , dB = ')", Ending::question);
  static const Layout kZoemax(
      "(11X,'-Enter a range of Even-Mode Impedances:',/,15X, '-Maximum Even-Mode Impedance: "
      "ZoeMAX, Ohms = ')",
      Ending::question);
  static const Layout kZoestep("(15X,'-Step Size for Even-Mode Zo: ZoeSTEP, Ohms = ')",
                               Ending::question);
  switch (prompt) {
    case P::zo:
      value(kZo, record_.zo, defaults_.zo, is_positive);
      return;
    case P::coupling:
      ask_coupling();
      return;
    case P::strongest_coupling:
      ask_coupling_level(true);
      return;
    case P::weakest_coupling:
      ask_coupling_level(false);
      return;
    case P::coupling_step: {
      record_.levels.step_db = defaults_.level_step_db;
      const float reply = console_.ask(kCstep);
      if (reply != 0) record_.levels.step_db = std::fabs(reply);
      return;
    }
    case P::zoe_max:
      record_.zoe_range.max = defaults_.zoe_max;
      if (const float reply = console_.ask(kZoemax); reply > record_.zo)
        record_.zoe_range.max = reply;
      return;
    case P::zoe_min:
      ask_zoemin();
      return;
    default:
      value(kZoestep, record_.zoe_range.step, defaults_.zoe_step, is_positive);
      return;
  }
}

void DataEntry::ask_coupling() {
  static const Layout kCo("(11X,'-Midband Coupling Factor:Co,   dB = ')", Ending::question);
  static const Layout kZoo("(11X,'-Odd  Mode Impedance:  Zoo,  Ohms =',F7.3)");
  static const Layout kZoe("(11X,'-Even Mode Impedance:  Zoe,  Ohms =',F7.3)");
  record_.coupling_db = defaults_.coupling_db;
  const float reply = console_.ask(kCo);
  if (reply != 0) record_.coupling_db = -std::fabs(reply);
  const ModesOfCoupler modes = modes_from_coupler({record_.zo, record_.coupling_db});
  record_.zoe = modes.zoe;
  record_.zoo = modes.zoo;
  console_.show(kZoo, {record_.zoo});
  console_.show(kZoe, {record_.zoe});
}

void DataEntry::ask_coupling_level(bool strongest) {
  static const Layout kCstrong(
      "(11X,'-Enter a range of Coupling levels:',/,15X, '-Strongest Coupling level: Cstrong, dB "
      "= ')",
      Ending::question);
  static const Layout kCweak("(15X,'-Weakest   Coupling level: Cweak  , dB = ')", Ending::question);
  static const Layout kWarning(
      "(/,6X,'ERROR DETECTED: Synthesis may not converge for ', 'Co < -20.0 dB.')");
  static const Layout kQuestion("(22X,'or Co > -6.0 dB. Enter 1 to re-enter Co : ')",
                                Ending::question);
  float& level = strongest ? record_.levels.strongest_db : record_.levels.weakest_db;
  for (;;) {
    level = strongest ? defaults_.strongest_db : defaults_.weakest_db;
    const float reply = console_.ask(strongest ? kCstrong : kCweak);
    if (reply != 0) level = std::fabs(reply);
    if (coupling_level_in_synthesis_range(level)) return;
    console_.show(kWarning);
    const float again = console_.ask(kQuestion);
    // Deliberate: after Cstrong the reply is rounded, after Cweak truncated
    // (pinned by Dialogue.CouplingLevelsOutsideSixToTwentyDbAreQueried).
    if ((strongest ? nearest_int(again) : truncated_int(again)) != 1) return;
  }
}

// Deliberate: "greater then" is the program's own text, and the reset value
// is not tested again (pinned by Dialogue.EvenModeRangeIsCheckedAndOrdered).
void DataEntry::ask_zoemin() {
  static const Layout kZoemin("(15X,'-Minimum Even-Mode Impedance: ZoeMIN, Ohms = ')",
                              Ending::question);
  static const Layout kMessage(
      "(/,6X,'ERROR DETECTED: Even Mode Impedance: Zoe must be', ' greater then Impedance of "
      "Coupler: Zo.',/,22X, 'Even Mode Impedance: Zoe re-set to',F6.2,' Ohms.')");
  value(kZoemin, record_.zoe_range.min, defaults_.zoe_min, is_positive);
  if (!(record_.zoe_range.min > record_.zo)) {
    console_.show(kMessage, {defaults_.zoe_min});
    record_.zoe_range.min = defaults_.zoe_min;
  }
  if (record_.zoe_range.min >= record_.zoe_range.max)
    std::swap(record_.zoe_range.min, record_.zoe_range.max);
}

}  // namespace

void enter_design_data(DesignRecord& r, Console& console, Environment& env,
                       StorageChannel& storage) {
  DataEntry(r, console).run();
  select_storage(r, console, env, storage);
}

}  // namespace ketrovane
