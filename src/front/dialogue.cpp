#include "front/dialogue.hpp"

#include "common/saturating.hpp"
#include "front/default_file.hpp"

namespace ketrovane {

namespace {

using text::Ending;
using text::Layout;

// A default-value file that cannot be opened ends the program, with advice
// on where a sample can be copied from.
std::unique_ptr<text::LineReader> open_defaults(const Environment& env) {
  try {
    return env.files.open_input(kDefaultFileName);
  } catch (const text::FatalError& failure) {
    if (env.sample_defaults.empty()) throw;
    throw text::FatalError(std::string(failure.what()) + "; a sample is installed as " +
                           text::quote_input(env.sample_defaults) +
                           ": copy it into this directory");
  }
}

bool read_defaults(DesignRecord& r, Console& console, Environment& env) {
  const std::unique_ptr<text::LineReader> file = open_defaults(env);
  if (!read_default_values(*file, r, console.out())) return false;
  r.run_time = env.clock();
  return true;
}

// Deliberate: the default is item 2 although item 1 carries the word
// "(Default)" (pinned by Dialogue.EmptyRepliesChooseTheMarkedDefaults).
void ask_program_function(DesignRecord& r, Console& console) {
  static const Layout kPurpose(
      "(/,6X, 'This program performs Impedance ANALYSIS, Dimensional SYNTHESIS and ', /,6X, "
      "'Frequency ANALYSIS for Edge-Coupled Stripline Directional Couplers.')");
  static const Layout kMenu(
      "(/,6X,'Please select Program FUNCTION:',/,10X, ' 1: ANALYSIS of Impedances from known "
      "Dimensions (Default).',/,10X, '      - Impedance   Analysis from Strip Dimensions.',/,10X, "
      "'      - Frequency   Analysis of your Stripline Coupler.',/,10X, '      - Sensitivity "
      "Analysis of Coupler Impedances.',/,10X, '*2: SYNTHESIS of Dimensions from known "
      "Impedances.',/,16X, '- Synthesis of Dimensions from a range of Coupling levels.',/,16X, "
      "'- Synthesis of Dimensions from a range of Even-Mode Impedances: Zoe.')");
  static const Layout kQuestion("(6X,'Program FUNCTION selected = ')", Ending::question);
  console.show(kPurpose);
  console.show(kMenu);
  r.selections.function =
      static_cast<ProgramFunction>(menu_choice(console.ask(kQuestion), 1, 2, 2));
}

void ask_synthesis_option(DesignRecord& r, Console& console) {
  static const Layout kMenu(
      "(/,6X,'Please select Dimensional Synthesis OPTION:',/,10X, '*1: Synthesis of S and W "
      "from a range of Coupling levels (Default).',/,10X, ' 2: Synthesis of S and W from a range "
      "of Even-Mode Impedances: Zoe.')");
  static const Layout kQuestion("(6X,'Synthesis OPTION selected = ')", Ending::question);
  console.show(kMenu);
  r.selections.synthesis_range =
      static_cast<SynthesisRange>(menu_choice(console.ask(kQuestion), 1, 2, 1));
}

void ask_impedance_suboption(DesignRecord& r, Console& console) {
  static const Layout kMenu(
      "(/,6X,'Please select Impedance Analysis SUBOPTION:',/,10X, '*1: Impedance Analysis for a "
      "range of Strip Widths: W (Default).', /,10X, ' 2: Impedance Analysis for a range of Strip "
      "Spacings: S.')");
  static const Layout kQuestion("(6X,'Impedance Analysis SUBOPTION selected = ')",
                                Ending::question);
  console.show(kMenu);
  r.selections.impedance_range =
      static_cast<RangeKind>(menu_choice(console.ask(kQuestion), 1, 2, 1));
}

void ask_sensitivity_suboption(DesignRecord& r, Console& console) {
  static const Layout kMenu(
      "(/,6X,'Please select Sensitivity Analysis SUBOPTION:',/,10X, '*1: Sensitivity Analysis "
      "for a range of Strip Widths: W (Default).', /,10X, ' 2: Sensitivity Analysis for a range "
      "of Strip Spacings: S.')");
  static const Layout kQuestion("(6X,'Sensitivity Analysis SUBOPTION selected = ')",
                                Ending::question);
  static const Layout kMode(
      "(/,6X,'Select Sensitivity of Even Mode(=1*), Odd ', 'Mode(=2) or Both(=3): ')",
      Ending::question);
  console.show(kMenu);
  r.selections.sensitivity_range =
      static_cast<RangeKind>(menu_choice(console.ask(kQuestion), 1, 2, 1));
  r.selections.sensitivity_modes =
      static_cast<SensitivityModes>(menu_choice(console.ask(kMode), 1, 3, 1));
}

void ask_frequency_suboption(DesignRecord& r, Console& console) {
  static const Layout kQuestion(
      "(/,6X,'Please select SUBOPTION for Frequency Analysis:',/,10X, '*1: Frequency Analysis "
      "based on Zo and Coupling (Default).',/10X, ' 2: Frequency Analysis based on Dimensional "
      "Data.',/,6X, 'SUBOPTION selected from above list = ')",
      Ending::question);
  Selections& sel = r.selections;
  sel.impedance_range = RangeKind::none;
  sel.length_mode = LengthMode::computed;
  sel.frequency_basis = static_cast<FrequencyBasis>(menu_choice(console.ask(kQuestion), 1, 2, 1));
  if (sel.frequency_basis == FrequencyBasis::dimensions) ask_length_mode(r, console);
}

// Deliberate: the grave accent in "Coupler`s" is the program's own (pinned by
// the transcript entry_checks_and_reentry).
void ask_analysis_option(DesignRecord& r, Console& console) {
  static const Layout kMenu(
      "(/,6X,'Please select an Analysis OPTION:',/,10X,' 1: Impedance   Analysis from Strip "
      "Dimensions.',/,10X,'*2: Frequency   Analysis of your Stripline Coupler (Default).',/,10X,"
      "' 3: Sensitivity Analysis of Coupler`s Impedances: Zoe and Zoo.')");
  static const Layout kQuestion("(6X,'Analysis OPTION selected = ')", Ending::question);
  Selections& sel = r.selections;
  sel.impedance_range = RangeKind::widths;
  sel.frequency_basis = FrequencyBasis::impedances;
  console.show(kMenu);
  sel.analysis = static_cast<AnalysisOption>(menu_choice(console.ask(kQuestion), 1, 3, 2));
  switch (sel.analysis) {
    case AnalysisOption::impedance:
      return ask_impedance_suboption(r, console);
    case AnalysisOption::frequency:
      return ask_frequency_suboption(r, console);
    case AnalysisOption::sensitivity:
      return ask_sensitivity_suboption(r, console);
  }
}

}  // namespace

void ask_length_mode(DesignRecord& r, Console& console) {
  static const Layout kQuestion("(/,6X,'Select to enter(=1) or compute(=2*) Coupler ', 'Length: ')",
                                Ending::question);
  // Only a reply of 1 enters the length; anything else computes it.
  r.selections.length_mode = LengthMode::computed;
  if (nearest_int(console.ask(kQuestion)) == 1) r.selections.length_mode = LengthMode::entered;
}

void show_opening_banner(const DesignRecord& r, Console& console) {
  static const Layout kBanner(
      "(/,/,13X,'  RF/Microwave Computer-Aided Engineering Design Software',/,12X,"
      "'Program: Ketrovane (v. 1.3)   Date:',I2,'/',I2,'/',I4,' at ',I2,':',I2,':',I2,'Hours',/)");
  const DateTime& d = r.run_time;
  console.show(kBanner, {d.month, d.day, d.year, d.hour, d.minute, d.second});
}

void run_dialogue(DesignRecord& r, Console& console, Environment& env, StorageChannel& storage) {
  Selections& sel = r.selections;
  sel.step_count = 0;
  sel.analysis = AnalysisOption::frequency;
  sel.impedance_range = RangeKind::widths;
  sel.frequency_basis = FrequencyBasis::impedances;
  sel.sensitivity_modes = SensitivityModes::even;
  sel.sensitivity_range = RangeKind::widths;
  if (sel.stage != Stage::new_option) {
    sel.function = ProgramFunction::synthesis;
    if (sel.stage != Stage::new_coupler && !read_defaults(r, console, env)) {
      sel.stage = Stage::defaults_rejected;
      return;
    }
    show_opening_banner(r, console);
    ask_program_function(r, console);
  }
  if (sel.function == ProgramFunction::synthesis) {
    ask_synthesis_option(r, console);
  } else {
    ask_analysis_option(r, console);
  }
  enter_design_data(r, console, env, storage);
}

}  // namespace ketrovane
