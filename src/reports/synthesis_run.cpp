// Synthesis: the strip width and spacing of each coupling level, or of each
// even-mode impedance, of a range for a fixed coupler impedance Zo.
#include "design/dimension_analysis.hpp"
#include "design/synthesis_table.hpp"
#include "reports/report.hpp"

namespace ketrovane {

namespace {

using text::Layout;

// Deliberate: the option digit is the analysis option, which every design
// resets to 2, so a synthesis header always shows option 2 (pinned by the
// transcript synthesis_even_mode_impedances_steps_10_then_15).
void write_header(const DesignRecord& r, Report& report) {
  static const Layout kHeader(
      R"L((8X,'Er =',F6.2,7X,'Strip Width and Spacing Synthesis', 6X,'B =',F7.4,'"',/,9X,'T =',F9.6,'"',2X,35(1H=), 5X,'B =',F7.4,' mm',/,7X,'T/B = ',F6.4,18X,'(Option ',I1,')'))L");
  static const Layout kColumns(
      "(/,12X, '                                Impedances of Coupler', /,12X, '       Strip "
      "Dimensions        -----------------------         ', /,12X, "
      "'------------------------------          Even    Odd    Midband', /,12X, 'Strip          "
      "Strip           Coupler  Mode    Mode   Coupling ', /,12X, 'Width:W        Spacing:S      "
      "   Zo     Zoe     Zoo       Co', /,12X, '(Inch)   W/B   (Inch)   S/B    (Ohms)  (Ohms)  "
      "(Ohms)    (dB)', /,12X,62(1H-))");
  report.both(kHeader, {r.er, r.b, r.t, millimetres(r.b), ratio_to_b(r.t, r.b),
                        number_of(r.selections.analysis)});
  report.both(kColumns);
}

// The analysis of the synthesised strips, on the console only.
void write_reanalysis(const DesignRecord& r, Report& report, const SynthesisRow& row) {
  static const Layout kAnalysis("(7X,'Analysis',2(1X,F8.5),1X,3(1X,F7.2),1X,F8.3)");
  CrossSection x = cross_section_of(r);
  x.w = row.dimensions.w;
  x.s = row.dimensions.s;
  const DimensionAnalysis a = analyse_dimensions(x);
  report.console().print(kAnalysis, {x.w, x.s, a.zo, a.zoe, a.zoo, a.coupling_db});
}

void write_row(const DesignRecord& r, Report& report, const SynthesisRow& row) {
  static const Layout kRow("(10X,2(F8.4,F7.3),2X,F6.2,F9.3,F8.3,F9.3)");
  report.both(kRow, {row.dimensions.w, row.w_over_b, row.dimensions.s, row.s_over_b, row.zo,
                     row.zoe, row.zoo, row.coupling_db});
  if (report.diagnostic_mode()) write_reanalysis(r, report, row);
}

// The end of the table for impedances that cannot be built, on the console
// only.  Deliberate: the fourth value is the coupling level of the failing
// row, and a width floor advises a thinner strip only when it has a
// thickness (pinned by SynthesisRun.UnrealisableTargetsStopTheTableAndStayOffTheFile
// and the transcript synthesis_unrealisable_without_thickness).
void write_unrealisable(const DesignRecord& r, Report& report, const SynthesisRow& row) {
  static const Layout kValues("(34X,4(1X,F7.2))");
  static const Layout kDetected("(17X,'ERROR DETECTED:')");
  static const Layout kWidth(R"L((17X,'Impedances input by operator require W < 0.0001".'))L");
  static const Layout kThinner("(17X,'Coupler may be realizable with a decrease in T.')");
  static const Layout kSpacing(
      R"L((17X,'Impedances input by operator require S < 0.00001".' ,/,17X,'Coupler may be realizable with an increase in T.'))L");
  static const Layout kFailed("(17X,'Synthesis failed to converge for these impedances.')");
  text::Channel& console = report.console();
  console.print(kValues, {row.zo, row.zoe, row.zoo, row.coupling_db});
  console.print(kDetected);
  switch (row.dimensions.outcome) {
    case SynthesisOutcome::width_floor:
      console.print(kWidth);
      if (r.t != 0.0F) console.print(kThinner);
      break;
    case SynthesisOutcome::spacing_floor:
      console.print(kSpacing);
      break;
    default:
      console.print(kFailed);
  }
}

SynthesisTableInput table_input(const DesignRecord& r) {
  SynthesisTableInput input{
      .board = {.b = r.b, .t = r.t, .er = r.er}, .zo = r.zo, .range = r.levels};
  if (r.selections.synthesis_range == SynthesisRange::even_mode_impedances) {
    input.range = r.zoe_range;
  }
  return input;
}

}  // namespace

// Deliberate: a table that ends past its range (a step beyond 0 dB or the
// greatest Zoe) gets its closing rule on the console only, not in the
// storage file (pinned by
// SynthesisRun.AStepPastZeroDecibelsEndsWithoutTheClosingRuleInTheFile).
void synthesis_run(const DesignRecord& record, Report& report) {
  write_header(record, report);
  SynthesisTable table(table_input(record));
  for (;;) {
    const SynthesisStep step = table.next();
    switch (step.kind) {
      case SynthesisStep::Kind::row:
        write_row(record, report, step.row);
        break;
      case SynthesisStep::Kind::unrealisable:
        write_unrealisable(record, report, step.row);
        return report.full_closing();
      case SynthesisStep::Kind::end:
        if (step.end == TableEnd::last_row) return report.full_closing();
        return report.console_closing();
    }
  }
}

}  // namespace ketrovane
