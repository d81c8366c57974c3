// Synthesis: the strip width and spacing of each coupling level, or of each
// even-mode impedance, of a range for a fixed coupler impedance Zo.
#include <cmath>

#include "model/stripline_model.hpp"
#include "reports/report.hpp"
#include "synthesis/synthesis.hpp"

namespace ketrovane {

namespace {

using text::Layout;

void write_header(Report& report) {
  static const Layout kHeader(
      R"L((8X,'Er =',F6.2,7X,'Strip Width and Spacing Synthesis', 6X,'B =',F7.4,'"',/,9X,'T =',F9.6,'"',2X,35(1H=), 5X,'B =',F7.4,' mm',/,7X,'T/B = ',F6.4,18X,'(Option ',I1,')'))L");
  static const Layout kColumns(
      "(/,12X, '                                Impedances of Coupler', /,12X, '       Strip "
      "Dimensions        -----------------------         ', /,12X, "
      "'------------------------------          Even    Odd    Midband', /,12X, 'Strip          "
      "Strip           Coupler  Mode    Mode   Coupling ', /,12X, 'Width:W        Spacing:S      "
      "   Zo     Zoe     Zoo       Co', /,12X, '(Inch)   W/B   (Inch)   S/B    (Ohms)  (Ohms)  "
      "(Ohms)    (dB)', /,12X,62(1H-))");
  const DesignParameters& p = report.parameters();
  const float tb = (1.0F / p.b) * p.t;
  const float bmm = (p.b * 2.54F) * 10.0F;
  report.both(kHeader, {p.er, p.b, p.t, bmm, tb, p.iop});
  report.both(kColumns);
}

// The synthesis of the current zoe and zoo into w and s; its status.
int synthesise(DesignParameters& p) {
  const SynthesisResult result = sl1ws(p.b, p.er, p.t, p.zoe, p.zoo);
  p.w = result.w;
  p.s = result.s;
  return result.isyn;
}

// The analysis of the synthesised strips, on the console only.  It works on
// copies: the targets, steps and stop rules of the table stay those of the
// same run without diagnostic mode.
void write_reanalysis(Report& report) {
  static const Layout kAnalysis("(7X,'Analysis',2(1X,F8.5),1X,3(1X,F7.2),1X,F8.3)");
  const DesignParameters& p = report.parameters();
  const ModeImpedances modes = sl1imp(CrossSection{p.b, p.er, p.s, p.t, p.w});
  const CouplerFromModes coupler = sl1zo(ModePair{modes.zoe, modes.zoo});
  report.console().print(kAnalysis, {p.w, p.s, coupler.zo, modes.zoe, modes.zoo, coupler.ko});
}

void write_row(Report& report, float couple) {
  static const Layout kRow("(10X,2(F8.4,F7.3),2X,F6.2,F9.3,F8.3,F9.3)");
  const DesignParameters& p = report.parameters();
  const float wb = (1.0F / p.b) * p.w;
  const float sb = (1.0F / p.b) * p.s;
  report.both(kRow, {p.w, wb, p.s, sb, p.zo, p.zoe, p.zoo, couple});
  if (report.diagnostic_mode()) write_reanalysis(report);
}

// The end of the table for impedances the synthesis cannot realise.
void write_error(Report& report, int isyn, float couple) {
  static const Layout kValues("(34X,4(1X,F7.2))");
  static const Layout kDetected("(17X,'ERROR DETECTED:')");
  static const Layout kWidth(R"L((17X,'Impedances input by operator require W < 0.0001".'))L");
  static const Layout kThinner("(17X,'Coupler may be realizable with a decrease in T.')");
  static const Layout kSpacing(
      R"L((17X,'Impedances input by operator require S < 0.00001".' ,/,17X,'Coupler may be realizable with an increase in T.'))L");
  static const Layout kFailed("(17X,'Synthesis failed to converge for these impedances.')");
  const DesignParameters& p = report.parameters();
  text::Channel& console = report.console();
  console.print(kValues, {p.zo, p.zoe, p.zoo, couple});
  console.print(kDetected);
  if (isyn == kWidthBelowFloor) {
    console.print(kWidth);
    if (p.t != 0.0F) console.print(kThinner);
  } else if (isyn == kSynthesisFailed) {
    console.print(kFailed);
  } else {
    console.print(kSpacing);
  }
  report.full_closing();
}

// Rows from the weakest coupling level toward 0 dB until the strongest.
void over_coupling_levels(Report& report) {
  DesignParameters& p = report.parameters();
  float couple = -p.cweak - p.cstep;
  for (bool printed = false;; printed = true) {
    const float next = couple + p.cstep;
    if ((printed && next == couple) || next >= 0.0F) return report.console_closing();
    couple = next;
    const ModesFromCoupler modes = sl1zo(CouplerSpec{p.zo, couple});
    p.zoe = modes.zoe;
    p.zoo = modes.zoo;
    if (const int isyn = synthesise(p); isyn != kSynthesisConverged)
      return write_error(report, isyn, couple);
    write_row(report, couple);
    if (!(std::fabs(couple) > p.cstrong)) return report.full_closing();
  }
}

// Rows from the least even-mode impedance up to the greatest.
void over_even_mode_impedances(Report& report) {
  DesignParameters& p = report.parameters();
  p.zoe = p.zoemin - p.zoestep;
  for (bool printed = false;; printed = true) {
    const float next = p.zoe + p.zoestep;
    if (printed && next == p.zoe) return report.console_closing();
    p.zoe = next;
    if (p.zoe > p.zoemax) return report.console_closing();
    p.zoo = p.zo * p.zo / p.zoe;
    const CouplerFromModes coupler = sl1zo(ModePair{p.zoe, p.zoo});
    p.zo = coupler.zo;
    const float couple = coupler.ko;
    if (const int isyn = synthesise(p); isyn != kSynthesisConverged)
      return write_error(report, isyn, couple);
    write_row(report, couple);
    if (!(p.zoemax > p.zoe)) return report.full_closing();
  }
}

}  // namespace

void synthesis_run(Report& report) {
  write_header(report);
  if (report.parameters().iops == 2) {
    over_even_mode_impedances(report);
  } else {
    over_coupling_levels(report);
  }
}

}  // namespace ketrovane
