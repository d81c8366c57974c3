// Sensitivity analysis: the normalised sensitivities of Zoe and Zoo to Er, B,
// S, W and T over a range of strip widths or strip spacings.
#include <cstdint>

#include "design/grid.hpp"
#include "design/row_kernel.hpp"
#include "reports/report.hpp"

namespace ketrovane {

namespace {

using text::Layout;

void write_header(const DesignRecord& r, Report& report) {
  static const Layout kHeader(
      R"L((10X,'Er =',F6.2,11X,'Sensitivity Analysis',9X,'B =', F7.4,'"',/,10X,' T = ',F7.5,'"',7X,22(1H=), 8X,'B = ',F7.4,' mm',/,9X,'T/B = ',F6.4,14X,'(Option ',I1,'.',I1,')'))L");
  report.both(kHeader, {r.board.er, r.board.b, r.board.t, millimetres(r.board.b),
                        ratio_to_b(r.board.t, r.board.b), number_of(r.selections.analysis),
                        number_of(r.selections.sensitivity_range)});
}

void write_table_heading(Report& report, bool odd_mode) {
  static const Layout kOddTitle(
      "(/,7X,'Strip Dimensions',17X, 'Sensitivity of Odd-Mode Impedance to:')");
  static const Layout kEvenTitle(
      "(/,7X,'Strip Dimensions',17X, 'Sensitivity of Even-Mode Impedance to:')");
  static const Layout kColumns(
      "(7X,16(1H-), 3X,'Even',4X,'Odd',3X,38(1H-),/,8X, 'Width',3X,'Spacing',3X,'Mode',4X,"
      "'Mode',2X,'Dielec.',1X, 'Ground',2X,'Strip',3X,'Strip',3X,'Strip',/,10X,'W',8X,'S',6X, "
      "'Zoe',5X,'Zoo',3X,'Const.',2X,'Plane',2X,'Spacing',2X, 'Width',3X,'Thknss',/,4X,2(4X,"
      "'(In.)'),1X,2(2X,'(Ohms)'),3X, 'Er',6X,'B',7X,'S',7X,'W',7X,'T',/,6X,72(1H-))");
  report.both(odd_mode ? kOddTitle : kEvenTitle);
  report.both(kColumns);
}

// The columns of the sensitivities are Er, B, S, W, T.
void write_row(Report& report, const SensitivityRow& row, bool odd_mode) {
  static const Layout kRow("(4X,2(1X,F8.5),1X,2(1X,F7.2),2(1X,F6.3),3(1X,F7.3))");
  const ImpedanceSensitivities& sensitivities = row.sensitivities;
  const ModeSensitivities& m = odd_mode ? sensitivities.odd : sensitivities.even;
  report.both(kRow, {row.pair.x.w, row.pair.x.s, sensitivities.zoe, sensitivities.zoo, m.er, m.b,
                     m.s, m.w, m.t});
}

// Each table evaluates its rows afresh.
void write_table(Report& report, const Grid& grid, bool odd_mode) {
  write_table_heading(report, odd_mode);
  for (std::int64_t i = 0; i < grid.rows(); ++i) {
    const SensitivityRow row = sensitivity_row(grid.at(i), Solver::model);
    write_row(report, row, odd_mode);
    report.note_row(row.pair.x, false);
  }
}

CalcCommand field_comparison(const DesignRecord& r) {
  using commands::Opt;
  CalcCommand c("sensitivity");
  c.add(r.board);
  if (r.selections.sensitivity_range == RangeKind::spacings) {
    c.add(Opt::w, r.w).add(Opt::s, r.spacings);
  } else {
    c.add(Opt::w, r.widths).add(Opt::s, r.s);
  }
  return std::move(c.add(Opt::solver, "both"));
}

// The swept dimension's rows as the dialogue counted them; the other
// dimension fixed.
Grid grid_of(const DesignRecord& r) {
  const bool over_spacings = r.selections.sensitivity_range == RangeKind::spacings;
  const Axis swept = swept_range(over_spacings ? r.spacings : r.widths, r.selections.step_count);
  if (over_spacings) return {r.board, single_value(r.w), swept};
  return {r.board, swept, single_value(r.s)};
}

}  // namespace

void sensitivity_run(const DesignRecord& record, Report& report) {
  write_header(record, report);
  const Grid grid = grid_of(record);
  report.compare_with(field_comparison(record));
  const SensitivityModes modes = record.selections.sensitivity_modes;
  write_table(report, grid, modes == SensitivityModes::odd);
  if (modes == SensitivityModes::both) write_table(report, grid, true);
  report.full_closing();
}

}  // namespace ketrovane
