// Sensitivity analysis: the normalised sensitivities of Zoe and Zoo to Er, B,
// S, W and T over a range of strip widths or strip spacings.
#include <cstdint>

#include "model/stripline_model.hpp"
#include "reports/report.hpp"
#include "reports/row_range.hpp"

namespace ketrovane {

namespace {

using text::Layout;

constexpr int kOddMode = 2;
constexpr int kBothModes = 3;

void write_header(Report& report) {
  static const Layout kHeader(
      R"L((10X,'Er =',F6.2,11X,'Sensitivity Analysis',9X,'B =', F7.4,'"',/,10X,' T = ',F7.5,'"',7X,22(1H=), 8X,'B = ',F7.4,' mm',/,9X,'T/B = ',F6.4,14X,'(Option ',I1,'.',I1,')'))L");
  const DesignParameters& p = report.parameters();
  const float tb = (1.0F / p.b) * p.t;
  const float bmm = (p.b * 2.54F) * 10.0F;
  report.both(kHeader, {p.er, p.b, p.t, bmm, tb, p.iop, p.iop3b});
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

void write_row(Report& report, const Sensitivities& sen, bool odd_mode) {
  static const Layout kRow("(4X,2(1X,F8.5),1X,2(1X,F7.2),2(1X,F6.3),3(1X,F7.3))");
  const DesignParameters& p = report.parameters();
  if (odd_mode) {
    const slsen2& o = sen.odd;
    report.both(kRow, {p.w, p.s, p.zoe, p.zoo, o.szooer, o.szoob, o.szoos, o.szoow, o.szoot});
  } else {
    const slsen1& e = sen.even;
    report.both(kRow, {p.w, p.s, p.zoe, p.zoo, e.szoeer, e.szoeb, e.szoes, e.szoew, e.szoet});
  }
}

void write_table(Report& report, bool odd_mode) {
  DesignParameters& p = report.parameters();
  write_table_heading(report, odd_mode);
  for (std::int64_t ii = 0; ii <= p.istep; ++ii) {
    if (p.iop3b == 2) {
      p.s = row_value(p.smin, ii, p.sstep);
    } else {
      p.w = row_value(p.wmin, ii, p.wstep);
    }
    const Sensitivities sen = sl1sen(CrossSection{p.b, p.er, p.s, p.t, p.w});
    p.zoe = sen.zoe;
    p.zoo = sen.zoo;
    write_row(report, sen, odd_mode);
  }
}

}  // namespace

void sensitivity_run(Report& report) {
  const DesignParameters& p = report.parameters();
  write_header(report);
  write_table(report, p.iop3a == kOddMode);
  if (p.iop3a == kBothModes) write_table(report, true);
  report.full_closing();
}

}  // namespace ketrovane
