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
  wmin,
  wmax,
  wstep,
  s,
  smin,
  smax,
  sstep,
  t,
  res,
  sr,
  er,
  dltan,
  fo_impedance,
  length_mode,
  l,
  range_header,
  fstart,
  fstop,
  fstep,
  fo_frequency,
  terminations_header,
  rs,
  rl,
  print_format,
  zo,
  co,
  cstrong,
  cweak,
  cstep,
  zoemax,
  zoemin,
  zoestep,
};

using P = Prompt;

constexpr std::array kImpedanceOverWidths = {P::header, P::b,  P::wmin,  P::wmax,
                                             P::wstep,  P::s,  P::t,     P::res,
                                             P::sr,     P::er, P::dltan, P::fo_impedance};
constexpr std::array kImpedanceOverSpacings = {P::header, P::b,     P::w,     P::smin,
                                               P::smax,   P::sstep, P::t,     P::res,
                                               P::sr,     P::er,    P::dltan, P::fo_impedance};
constexpr std::array kSensitivityOverWidths = {P::header, P::b, P::wmin, P::wmax,
                                               P::wstep,  P::s, P::t,    P::er};
constexpr std::array kSensitivityOverSpacings = {P::header, P::b,    P::w,     P::t,
                                                 P::smin,   P::smax, P::sstep, P::er};
constexpr std::array kFrequencyFromDimensions = {P::header,
                                                 P::b,
                                                 P::w,
                                                 P::s,
                                                 P::t,
                                                 P::res,
                                                 P::sr,
                                                 P::er,
                                                 P::dltan,
                                                 P::l,
                                                 P::range_header,
                                                 P::fstart,
                                                 P::fstop,
                                                 P::fstep,
                                                 P::fo_frequency,
                                                 P::terminations_header,
                                                 P::rs,
                                                 P::rl,
                                                 P::print_format};
constexpr std::array kFrequencyFromImpedances = {P::zo,
                                                 P::co,
                                                 P::er,
                                                 P::length_mode,
                                                 P::l,
                                                 P::range_header,
                                                 P::fstart,
                                                 P::fstop,
                                                 P::fstep,
                                                 P::fo_frequency,
                                                 P::terminations_header,
                                                 P::rs,
                                                 P::rl,
                                                 P::print_format};
constexpr std::array kSynthesisOverCoupling = {P::header, P::b,       P::t,     P::er,
                                               P::zo,     P::cstrong, P::cweak, P::cstep};
constexpr std::array kSynthesisOverImpedance = {P::header, P::b,      P::t,      P::er,
                                                P::zo,     P::zoemax, P::zoemin, P::zoestep};

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

// Resume codes after a return to the B prompt.
constexpr int kResumeAtThickness = 1;
constexpr int kResumeAtSpacing = 2;
constexpr int kResumeAtMaxSpacing = 3;

class DataEntry {
 public:
  DataEntry(DesignRecord& r, Console& console)
      : r_(r), d_(r.def), console_(console), sequence_(sequence_of(r.selections)) {}

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
  float& value(const Layout& question, float& field, float def, bool (*accept)(float)) {
    field = def;
    const float reply = console_.ask(question);
    if (accept(reply)) field = reply;
    return field;
  }

  void ask_b();
  void check_spacing(float spacing, int resume_code);
  void check_thickness();
  void ask_resistivity();
  void ask_roughness();
  void ask_coupling();
  void ask_coupling_level(bool strongest);
  void ask_zoemin();
  void ask_print_format();
  void show_length_from_frequency();
  void show_frequency_from_length();

  void back_to_b(int resume_code) {
    ierror_ = resume_code;
    next_ = index_of(P::b);
  }
  [[nodiscard]] std::size_t index_of(Prompt prompt) const {
    return static_cast<std::size_t>(std::find(sequence_.begin(), sequence_.end(), prompt) -
                                    sequence_.begin());
  }

  DesignRecord& r_;
  const Defaults& d_;
  Console& console_;
  std::span<const Prompt> sequence_;
  std::size_t next_ = 0;
  int ierror_ = 0;
  float fmax_ = 0;
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
    case P::wmin:
    case P::wmax:
    case P::wstep:
    case P::s:
    case P::smin:
    case P::smax:
    case P::sstep:
    case P::t:
      ask_dimension(prompt);
      return;
    case P::res:
    case P::sr:
    case P::er:
    case P::dltan:
      ask_material(prompt);
      return;
    case P::fo_impedance:
    case P::length_mode:
    case P::l:
    case P::fstart:
    case P::fstop:
    case P::fstep:
    case P::fo_frequency:
    case P::rs:
    case P::rl:
    case P::print_format:
      ask_frequency(prompt);
      return;
    case P::zo:
    case P::co:
    case P::cstrong:
    case P::cweak:
    case P::cstep:
    case P::zoemax:
    case P::zoemin:
    case P::zoestep:
      ask_synthesis_range(prompt);
      return;
  }
}

void DataEntry::ask_b() {
  static const Layout kB("(11X,'-Ground Plane Spacing: B,  Inches = ')", Ending::question);
  value(kB, r_.board.b, d_.b, is_positive);
  if (ierror_ == kResumeAtThickness) next_ = index_of(P::t);
  if (ierror_ == kResumeAtSpacing) next_ = std::min(index_of(P::s), index_of(P::smin));
  if (ierror_ == kResumeAtMaxSpacing) next_ = index_of(P::smax);
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
      value(kW, r_.w, d_.w, is_positive);
      return;
    case P::wmin:
      value(kWmin, r_.widths.min, d_.w_min, is_positive);
      return;
    case P::wmax:
      value(kWmax, r_.widths.max, d_.w_max, is_positive);
      if (r_.widths.min > r_.widths.max) r_.widths.max = r_.widths.min;
      return;
    case P::wstep:
      value(kWstep, r_.widths.step, d_.w_step, is_positive);
      r_.selections.step_count = step_count(r_.widths, Quotient::single_precision);
      r_.selections.impedance_range = RangeKind::widths;
      return;
    case P::s:
      check_spacing(value(kS, r_.s, d_.s, is_positive), kResumeAtSpacing);
      return;
    case P::smin:
      // Deliberate: over spacings T comes after the range, so these checks
      // see the thickness of the previous design (pinned by
      // Dialogue.SpacingChecksOfARangeNeedAThickness).
      value(kSmin, r_.spacings.min, d_.s_min, is_positive);
      if (r_.board.t != 0) check_spacing(r_.spacings.min, kResumeAtSpacing);
      return;
    case P::smax:
      value(kSmax, r_.spacings.max, d_.s_max, is_positive);
      if (r_.spacings.min > r_.spacings.max) r_.spacings.max = r_.spacings.min;
      if (r_.board.t != 0) check_spacing(r_.spacings.max, kResumeAtMaxSpacing);
      return;
    case P::sstep:
      value(kSstep, r_.spacings.step, d_.s_step, is_positive);
      r_.selections.step_count = step_count(r_.spacings, Quotient::single_precision);
      r_.selections.impedance_range = RangeKind::spacings;
      return;
    default:
      value(kT, r_.board.t, d_.t, is_positive);
      check_thickness();
      return;
  }
}

void DataEntry::check_spacing(float spacing, int resume_code) {
  static const Layout kWarning(
      "(/,6X,'ERROR DETECTED: Coupling is very weak for S > ', '1.5*B. Analysis')");
  static const Layout kQuestion("(17X,'algorithms may fail. Enter 1 to re-enter B and S : ')",
                                Ending::question);
  if (!coupling_very_weak(spacing, r_.board.b)) return;
  console_.show(kWarning);
  if (nearest_int(console_.ask(kQuestion)) == 1) back_to_b(resume_code);
}

void DataEntry::check_thickness() {
  static const Layout kMessage(
      "(/,6X,'ERROR DETECTED: T must be less than 0.8*B. Please' ,/,26X,'enter new values for B "
      "and T.')");
  if (!thicker_than_allowed(r_.board.t, r_.board.b)) return;
  console_.show(kMessage);
  back_to_b(kResumeAtThickness);
}

void DataEntry::ask_material(Prompt prompt) {
  static const Layout kEr("(11X,'-Substrate Dielectric Constant:Er = ')", Ending::question);
  static const Layout kDltan("(11X,'-Dielectric Loss Tangent:  DLTAN  = ')", Ending::question);
  switch (prompt) {
    case P::res:
      ask_resistivity();
      return;
    case P::sr:
      ask_roughness();
      return;
    case P::er:
      value(kEr, r_.board.er, d_.er, is_permittivity);
      return;
    default:
      value(kDltan, r_.loss_tangent, d_.loss_tangent, is_positive);
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
  r_.resistivity_uohm_cm = menu_entry(kConductorMenu, choice).resistivity_uohm_cm;
  r_.resistivity_ohm_inch = r_.resistivity_uohm_cm * kOhmInchPerMicroOhmCm;
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
  r_.roughness_uin = menu_entry(kRoughnessMenuUin, choice);
  r_.roughness_inch = r_.roughness_uin * kInchPerMicroInch;
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
    case P::fo_impedance:
      value(kFoImpedance, r_.fo, d_.fo, is_positive);
      return;
    case P::length_mode:
      ask_length_mode(r_, console_);
      return;
    case P::l:
      if (r_.selections.length_mode != LengthMode::entered) return;
      value(kL, r_.length, d_.length, is_positive);
      show_frequency_from_length();
      return;
    case P::fstart:
      value(kFstart, r_.f_start, d_.f_min, is_positive);
      return;
    case P::fstop:
      value(kFstop, fmax_, d_.f_max, is_positive);
      if (r_.f_start > fmax_) fmax_ = r_.f_start;
      return;
    case P::fstep:
      value(kFstep, r_.f_step, d_.f_step, is_positive);
      r_.selections.step_count =
          step_count({r_.f_start, fmax_, r_.f_step}, Quotient::single_precision);
      return;
    case P::fo_frequency:
      if (r_.selections.length_mode != LengthMode::computed) return;
      value(kFoFrequency, r_.fo, d_.fo, is_positive);
      show_length_from_frequency();
      return;
    case P::rs:
      value(kRs, r_.source, d_.source, is_positive);
      return;
    case P::rl:
      value(kRl, r_.load, d_.load, is_positive);
      return;
    default:
      ask_print_format();
      return;
  }
}

void DataEntry::show_frequency_from_length() {
  static const Layout kFo("(11X,'-Design Center Frequency: Fo, MHz =',F9.3)");
  r_.fo = quarter_wave_frequency(r_.length, r_.board.er);
  console_.show(kFo, {r_.fo});
}

void DataEntry::show_length_from_frequency() {
  static const Layout kL("(11X,'-Computed Length of Coupler: L, inches = ',F7.4)");
  r_.length = quarter_wave_length(r_.fo, r_.board.er);
  console_.show(kL, {r_.length});
}

void DataEntry::ask_print_format() {
  static const Layout kMenu(
      "(/,6X,'Select output data print FORMAT:',/,10X, '*1: Magnitude (dB) and Phase (Degrees) "
      "at each port (Default).', /,10X, ' 2: VSWR, Losses (dB) and Phase Quadrature.')");
  static const Layout kQuestion("(6X,'Print FORMAT selected = ')", Ending::question);
  r_.selections.print_format = PrintFormat::magnitude_and_phase;
  console_.show(kMenu);
  r_.selections.print_format =
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
      value(kZo, r_.zo, d_.zo, is_positive);
      return;
    case P::co:
      ask_coupling();
      return;
    case P::cstrong:
      ask_coupling_level(true);
      return;
    case P::cweak:
      ask_coupling_level(false);
      return;
    case P::cstep: {
      r_.levels.step_db = d_.level_step_db;
      const float reply = console_.ask(kCstep);
      if (reply != 0) r_.levels.step_db = std::fabs(reply);
      return;
    }
    case P::zoemax:
      r_.zoe_range.max = d_.zoe_max;
      if (const float reply = console_.ask(kZoemax); reply > r_.zo) r_.zoe_range.max = reply;
      return;
    case P::zoemin:
      ask_zoemin();
      return;
    default:
      value(kZoestep, r_.zoe_range.step, d_.zoe_step, is_positive);
      return;
  }
}

void DataEntry::ask_coupling() {
  static const Layout kCo("(11X,'-Midband Coupling Factor:Co,   dB = ')", Ending::question);
  static const Layout kZoo("(11X,'-Odd  Mode Impedance:  Zoo,  Ohms =',F7.3)");
  static const Layout kZoe("(11X,'-Even Mode Impedance:  Zoe,  Ohms =',F7.3)");
  r_.coupling_db = d_.coupling_db;
  const float reply = console_.ask(kCo);
  if (reply != 0) r_.coupling_db = -std::fabs(reply);
  const ModesOfCoupler modes = modes_from_coupler({r_.zo, r_.coupling_db});
  r_.zoe = modes.zoe;
  r_.zoo = modes.zoo;
  console_.show(kZoo, {r_.zoo});
  console_.show(kZoe, {r_.zoe});
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
  float& level = strongest ? r_.levels.strongest_db : r_.levels.weakest_db;
  for (;;) {
    level = strongest ? d_.strongest_db : d_.weakest_db;
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
  value(kZoemin, r_.zoe_range.min, d_.zoe_min, is_positive);
  if (!(r_.zoe_range.min > r_.zo)) {
    console_.show(kMessage, {d_.zoe_min});
    r_.zoe_range.min = d_.zoe_min;
  }
  if (r_.zoe_range.min >= r_.zoe_range.max) std::swap(r_.zoe_range.min, r_.zoe_range.max);
}

}  // namespace

void enter_design_data(DesignRecord& r, Console& console, Environment& env,
                       StorageChannel& storage) {
  DataEntry(r, console).run();
  select_storage(r, console, env, storage);
}

}  // namespace ketrovane
