// Synthesis: the strip width and spacing of each coupling level, or of each
// even-mode impedance, of a range for a fixed coupler impedance Zo.
#include "design/grid.hpp"
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
  report.both(kHeader, {r.board.er, r.board.b, r.board.t, millimetres(r.board.b),
                        ratio_to_b(r.board.t, r.board.b), number_of(r.selections.analysis)});
  report.both(kColumns);
}

// The analysis of the synthesised strips, on the console only.
void write_reanalysis(const DesignRecord& r, Report& report, const SynthesisRow& row) {
  static const Layout kAnalysis("(7X,'Analysis',2(1X,F8.5),1X,3(1X,F7.2),1X,F8.3)");
  const CrossSection x{r.board, row.w, row.s};
  const CouplerImpedances a = model_impedances(x);
  report.console().print(kAnalysis, {x.w, x.s, a.zo, a.zoe, a.zoo, a.coupling_db});
}

void write_row(const DesignRecord& r, Report& report, const SynthesisRow& row) {
  static const Layout kRow("(10X,2(F8.4,F7.3),2X,F6.2,F9.3,F8.3,F9.3)");
  const SynthesisTargets& z = row.targets;
  const float b = r.board.b;
  report.both(kRow, {row.w, ratio_to_b(row.w, b), row.s, ratio_to_b(row.s, b), z.zo, z.zoe, z.zoo,
                     z.coupling_db});
  if (report.diagnostic_mode()) write_reanalysis(r, report, row);
  report.note_row({r.board, row.w, row.s}, false);
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
  const SynthesisTargets& z = row.targets;
  console.print(kValues, {z.zo, z.zoe, z.zoo, z.coupling_db});
  console.print(kDetected);
  switch (row.status) {
    case RowStatus::width_floor:
      console.print(kWidth);
      if (r.board.t != 0.0F) console.print(kThinner);
      break;
    case RowStatus::spacing_floor:
      console.print(kSpacing);
      break;
    default:
      console.print(kFailed);
  }
}

SynthesisTableInput table_input(const DesignRecord& r) {
  SynthesisTableInput input{.board = r.board, .zo = r.zo, .range = r.levels};
  if (r.selections.synthesis_range == SynthesisRange::even_mode_impedances) {
    input.range = r.zoe_range;
  }
  return input;
}

CalcCommand field_comparison(const DesignRecord& r) {
  using commands::Opt;
  CalcCommand c("synthesise");
  c.add(r.board).add(Opt::zo, r.zo);
  if (r.selections.synthesis_range == SynthesisRange::even_mode_impedances) {
    c.add(Opt::zoe, Range{r.zoe_range.min, r.zoe_range.max, r.zoe_range.step});
  } else {
    c.add(Opt::coupling, Range{-r.levels.weakest_db, -r.levels.strongest_db, r.levels.step_db});
  }
  return std::move(c.add(Opt::solver, "both"));
}

}  // namespace

// Deliberate: a table that ends past its range (a step beyond 0 dB or the
// greatest Zoe) gets its closing rule on the console only, not in the
// storage file (pinned by
// SynthesisRun.AStepPastZeroDecibelsEndsWithoutTheClosingRuleInTheFile).
void synthesis_run(const DesignRecord& record, Report& report) {
  write_header(record, report);
  report.compare_with(field_comparison(record));
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
