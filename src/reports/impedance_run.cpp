// Impedance analysis: Zo, Zoe, Zoo, coupling and losses over a range of strip
// widths or strip spacings.
#include <cstdint>

#include "commands/number_format.hpp"
#include "design/grid.hpp"
#include "design/row_kernel.hpp"
#include "reports/report.hpp"

namespace ketrovane {

namespace {

using text::Layout;

void write_header(const DesignRecord& r, Report& report) {
  static const Layout kHeader(
      R"L((9X,'Er =',F6.2,14X,'Impedance Analysis',10X,'B =',F7.4,'"',/,8X, '  T =',F9.6,'"',9X,20(1H=),9X,'B =',F7.4,' mm',/,8X, 'RES =',F6.3,' u-Ohm-cm',8X,'(Option ',I1,'.',I1,')',12X,'SR =',F6.3,' u"', /,9X,'Fo = ',F9.3,' MHz',9X,'T/B =',F7.4,9X,'DLTAN =',F7.4))L");
  const Selections& sel = r.selections;
  report.both(kHeader,
              {r.board.er, r.board.b, r.board.t, millimetres(r.board.b), r.resistivity_uohm_cm,
               number_of(sel.analysis), number_of(sel.impedance_range), r.roughness_uin, r.fo,
               ratio_to_b(r.board.t, r.board.b), r.loss_tangent});
}

void write_width_columns(const DesignRecord& r, Report& report) {
  static const Layout kColumns(
      R"L((/,11X,'  S =',F7.4,'"' '  Impedances of Coupler', /,11X,'S/B = ',F6.4, '   ----------------------' /,11X, '                        Even    Odd    Midband', /,11X, 'Strip          Coupler  Mode    Mode   Coupling   Loss,dB/Inch', /,11X, 'Width:W          Zo     Zoe     Zoo       Co      Even    Odd', /,11X, '(Inch)   W/B   (Ohms)  (Ohms)  (Ohms)    (dB)     Mode    Mode', /,11X,62(1H-)))L");
  report.both(kColumns, {r.s, r.s / r.board.b});
}

void write_spacing_columns(const DesignRecord& r, Report& report) {
  static const Layout kColumns(
      R"L((/,11X,'  W =',F7.4,'"' '  Impedances of Coupler', /,11X,'W/B = ',F6.4, '   ----------------------', /,11X, '                        Even    Odd    Midband', /,11X, 'Strip          Coupler  Mode    Mode   Coupling   Loss,dB/Inch', /,11X, 'Spacing:S        Zo     Zoe     Zoo       Co      Even    Odd', /,11X, '(Inch)   S/B   (Ohms)  (Ohms)  (Ohms)    (dB)     Mode    Mode', /,11X,62(1H-)))L");
  report.both(kColumns, {r.w, r.w / r.board.b});
}

void write_capacitance_header(text::Channel& channel) {
  static const Layout kHeader(
      "(/,29X,'(Capacitances)/(Free Space Permittivity)',/,27X, 44(1H=),/,13X,'Strip',2X,"
      "'Strip',20X,'Even Mode',1X,'Odd Mode', /,13X,'Width',1X,'Spacing',1X,'Parallel',2X,"
      "'Outer',5X,'Inner', 5X,'Inner',/,15X,'W',6X,'S',5X,'Plate',3X,'Fringing',1X, "
      "'Fringing',2X,'Fringing',1X,'Cfo-Cfe',/,13X,'(In.)',2X,'(In.)', 5X,'Cp',7X,'Cf',7X,"
      "'Cfe',6X,'Cfo',6X,'DC',/,13X,58(1H-))");
  channel.print(kHeader);
}

void write_capacitance_row(text::Channel& channel, const AnalysisRow& row) {
  static const Layout kRow("(11X,F7.4,1X,F7.5,2(1X,F7.4),1X,F9.5,1X,F8.4,1X,F9.5)");
  const Capacitances& c = row.impedances.capacitances;
  const float difference = c.inner_fringing_odd - c.inner_fringing_even;
  channel.print(kRow, {row.pair.x.w, row.pair.x.s, c.parallel_plate, c.outer_fringing,
                       c.inner_fringing_even, c.inner_fringing_odd, difference});
}

// Deliberate: the losses print as negative numbers, -0.000 for no loss at
// all (pinned by the transcript impedance_diagnostic_mode).
void write_row(Report& report, const AnalysisRow& row, float swept, float ratio) {
  static const Layout kRow("(9X,F8.4,F7.3,F8.3,2(F8.3),F9.3,F8.3,F8.3)");
  const CouplerImpedances& a = row.impedances;
  report.both(kRow, {swept, ratio, a.zo, a.zoe, a.zoo, a.coupling_db,
                     -row.attenuation.even_db_per_inch, -row.attenuation.odd_db_per_inch});
}

// The swept dimension's rows, with the step count formed in double
// precision; the other dimension fixed.
Grid grid_of(const DesignRecord& r, bool over_spacings) {
  const Range& range = over_spacings ? r.spacings : r.widths;
  const Axis swept = swept_range(range, step_count(range, Quotient::double_precision));
  if (over_spacings) return {r.board, single_value(r.w), swept};
  return {r.board, swept, single_value(r.s)};
}

// The same rows on the field solution and the model side by side.
CalcCommand field_comparison(const DesignRecord& r, bool over_spacings) {
  using commands::Opt;
  CalcCommand c("analyse");
  c.add(r.board);
  if (over_spacings) {
    c.add(Opt::w, r.w).add(Opt::s, r.spacings);
  } else {
    c.add(Opt::w, r.widths).add(Opt::s, r.s);
  }
  c.add(Opt::rho, r.resistivity_uohm_cm)
      .add(Opt::roughness, commands::shortest(r.roughness_uin) + "uin")
      .add(Opt::tand, r.loss_tangent)
      .add(Opt::f, r.fo)
      .add(Opt::solver, "both");
  return c;
}

}  // namespace

void impedance_run(const DesignRecord& record, Report& report) {
  write_header(record, report);
  const bool over_spacings = record.selections.impedance_range == RangeKind::spacings;
  if (over_spacings) {
    write_spacing_columns(record, report);
  } else {
    write_width_columns(record, report);
  }
  // Deliberate: the capacitance header goes to the storage channel for both
  // ranges, the rows only for a range of spacings (pinned by the transcript
  // impedance_diagnostic_mode).
  if (report.diagnostic_mode()) write_capacitance_header(report.diagnostic());
  const Grid grid = grid_of(record, over_spacings);
  const Materials materials = materials_of(record);
  const bool with_loss = materials.conductor.resistivity_ohm_inch > 0.0F && record.fo > 0.0F;
  report.compare_with(field_comparison(record, over_spacings));
  for (std::int64_t i = 0; i < grid.rows(); ++i) {
    const AnalysisRow row = analysis_row(grid.at(i), materials, record.fo, Solver::model);
    if (over_spacings) {
      write_row(report, row, row.pair.x.s, grid.s_over_b(row.pair.x.s));
    } else {
      write_row(report, row, row.pair.x.w, grid.w_over_b(row.pair.x.w));
    }
    if (over_spacings && report.diagnostic_mode()) write_capacitance_row(report.diagnostic(), row);
    report.note_row(row.pair.x, with_loss);
  }
  if (report.diagnostic_mode()) {
    report.diagnostic().print(Report::closing_rule());
    report.console_closing();
  } else {
    report.full_closing();
  }
}

}  // namespace ketrovane
