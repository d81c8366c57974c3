#include "front/dialogue.hpp"

#include "front/default_file.hpp"

namespace ketrovane {

namespace {

using text::Ending;
using text::Layout;

bool read_defaults(DesignParameters& p, Console& console, Environment& env) {
  const std::unique_ptr<text::LineReader> file = env.files.open_input(kDefaultFileName);
  if (!read_default_values(*file, p, console.out())) return false;
  p.datetime = env.clock();
  return true;
}

void ask_program_function(DesignParameters& p, Console& console) {
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
  p.ifunc = menu_choice(console.ask(kQuestion), 1, 2, kSynthesis);
}

void ask_synthesis_option(DesignParameters& p, Console& console) {
  static const Layout kMenu(
      "(/,6X,'Please select Dimensional Synthesis OPTION:',/,10X, '*1: Synthesis of S and W "
      "from a range of Coupling levels (Default).',/,10X, ' 2: Synthesis of S and W from a range "
      "of Even-Mode Impedances: Zoe.')");
  static const Layout kQuestion("(6X,'Synthesis OPTION selected = ')", Ending::question);
  console.show(kMenu);
  p.iops = menu_choice(console.ask(kQuestion), 1, 2, 1);
}

void ask_impedance_suboption(DesignParameters& p, Console& console) {
  static const Layout kMenu(
      "(/,6X,'Please select Impedance Analysis SUBOPTION:',/,10X, '*1: Impedance Analysis for a "
      "range of Strip Widths: W (Default).', /,10X, ' 2: Impedance Analysis for a range of Strip "
      "Spacings: S.')");
  static const Layout kQuestion("(6X,'Impedance Analysis SUBOPTION selected = ')",
                                Ending::question);
  console.show(kMenu);
  p.iop1 = menu_choice(console.ask(kQuestion), 1, 2, 1);
}

void ask_sensitivity_suboption(DesignParameters& p, Console& console) {
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
  p.iop3b = menu_choice(console.ask(kQuestion), 1, 2, 1);
  p.iop3a = menu_choice(console.ask(kMode), 1, 3, 1);
}

void ask_frequency_suboption(DesignParameters& p, Console& console) {
  static const Layout kQuestion(
      "(/,6X,'Please select SUBOPTION for Frequency Analysis:',/,10X, '*1: Frequency Analysis "
      "based on Zo and Coupling (Default).',/10X, ' 2: Frequency Analysis based on Dimensional "
      "Data.',/,6X, 'SUBOPTION selected from above list = ')",
      Ending::question);
  p.iop1 = 0;
  p.iop2 = 1;
  p.il = 2;
  p.iop2 = menu_choice(console.ask(kQuestion), 1, 2, 1);
  if (p.iop2 == 2) ask_length_mode(p, console);
}

void ask_analysis_option(DesignParameters& p, Console& console) {
  static const Layout kMenu(
      "(/,6X,'Please select an Analysis OPTION:',/,10X,' 1: Impedance   Analysis from Strip "
      "Dimensions.',/,10X,'*2: Frequency   Analysis of your Stripline Coupler (Default).',/,10X,"
      "' 3: Sensitivity Analysis of Coupler`s Impedances: Zoe and Zoo.')");
  static const Layout kQuestion("(6X,'Analysis OPTION selected = ')", Ending::question);
  p.iop = 2;
  p.iop1 = 1;
  p.iop2 = 1;
  console.show(kMenu);
  p.iop = menu_choice(console.ask(kQuestion), 1, 3, 2);
  if (p.iop == 1) ask_impedance_suboption(p, console);
  if (p.iop == 2) ask_frequency_suboption(p, console);
  if (p.iop == 3) ask_sensitivity_suboption(p, console);
}

}  // namespace

void ask_length_mode(DesignParameters& p, Console& console) {
  static const Layout kQuestion("(/,6X,'Select to enter(=1) or compute(=2*) Coupler ', 'Length: ')",
                                Ending::question);
  p.il = 2;
  if (nearest_int(console.ask(kQuestion)) == 1) p.il = 1;
}

void show_opening_banner(const DesignParameters& p, Console& console) {
  static const Layout kBanner(
      "(/,/,13X,'  RF/Microwave Computer-Aided Engineering Design Software',/,12X,"
      "'Program: Ketrovane (v. 1.3)   Date:',I2,'/',I2,'/',I4,' at ',I2,':',I2,':',I2,'Hours',/)");
  const DateTime& d = p.datetime;
  console.show(kBanner, {d.imon, d.iday, d.iyr, d.ihr, d.imin, d.isec});
}

void sl1input(DesignParameters& p, Console& console, Environment& env) {
  p.istep = 0;
  p.iop = 2;
  p.iop1 = 1;
  p.iop2 = 1;
  p.iop3a = 1;
  p.iop3b = 1;
  if (p.isel != kNewOption) {
    p.ifunc = kSynthesis;
    if (p.isel != kNewCoupler && !read_defaults(p, console, env)) {
      p.isel = kDefaultFileRejected;
      return;
    }
    show_opening_banner(p, console);
    ask_program_function(p, console);
  }
  if (p.ifunc == kSynthesis) {
    ask_synthesis_option(p, console);
  } else {
    p.ifunc = 1;
    ask_analysis_option(p, console);
  }
  enter_design_data(p, console, env);
}

}  // namespace ketrovane
