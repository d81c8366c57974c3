// Impedance analysis: Zo, Zoe, Zoo, coupling and losses over a range of strip
// widths or strip spacings.
#include <cstdint>

#include "model/stripline_model.hpp"
#include "reports/report.hpp"
#include "reports/row_range.hpp"

namespace ketrovane {

namespace {

using text::Layout;

void write_header(Report& report, float bmm, float tb) {
  static const Layout kHeader(
      R"L((9X,'Er =',F6.2,14X,'Impedance Analysis',10X,'B =',F7.4,'"',/,8X, '  T =',F9.6,'"',9X,20(1H=),9X,'B =',F7.4,' mm',/,8X, 'RES =',F6.3,' u-Ohm-cm',8X,'(Option ',I1,'.',I1,')',12X,'SR =',F6.3,' u"', /,9X,'Fo = ',F9.3,' MHz',9X,'T/B =',F7.4,9X,'DLTAN =',F7.4))L");
  const DesignParameters& p = report.parameters();
  report.both(kHeader, {p.er, p.b, p.t, bmm, p.res1, p.iop, p.iop1, p.sr1, p.fo, tb, p.tlos});
}

void write_width_columns(Report& report) {
  static const Layout kColumns(
      R"L((/,11X,'  S =',F7.4,'"' '  Impedances of Coupler', /,11X,'S/B = ',F6.4, '   ----------------------' /,11X, '                        Even    Odd    Midband', /,11X, 'Strip          Coupler  Mode    Mode   Coupling   Loss,dB/Inch', /,11X, 'Width:W          Zo     Zoe     Zoo       Co      Even    Odd', /,11X, '(Inch)   W/B   (Ohms)  (Ohms)  (Ohms)    (dB)     Mode    Mode', /,11X,62(1H-)))L");
  const DesignParameters& p = report.parameters();
  const float sb = p.s / p.b;
  report.both(kColumns, {p.s, sb});
}

void write_spacing_columns(Report& report) {
  static const Layout kColumns(
      R"L((/,11X,'  W =',F7.4,'"' '  Impedances of Coupler', /,11X,'W/B = ',F6.4, '   ----------------------', /,11X, '                        Even    Odd    Midband', /,11X, 'Strip          Coupler  Mode    Mode   Coupling   Loss,dB/Inch', /,11X, 'Spacing:S        Zo     Zoe     Zoo       Co      Even    Odd', /,11X, '(Inch)   S/B   (Ohms)  (Ohms)  (Ohms)    (dB)     Mode    Mode', /,11X,62(1H-)))L");
  const DesignParameters& p = report.parameters();
  const float wb = p.w / p.b;
  report.both(kColumns, {p.w, wb});
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

void write_capacitance_row(text::Channel& channel, const DesignParameters& p, const sl1cap& cap) {
  static const Layout kRow("(11X,F7.4,1X,F7.5,2(1X,F7.4),1X,F9.5,1X,F8.4,1X,F9.5)");
  const float dc = cap.cfo - cap.cfe;
  channel.print(kRow, {p.w, p.s, cap.cpa, cap.cf, cap.cfe, cap.cfo, dc});
}

// One row: impedances, coupling and losses of the current w and s.
sl1cap analyse_row(DesignParameters& p) {
  const ModeImpedances modes = analyse_dimensions(p);
  const Attenuation loss =
      sl1los(CrossSection{p.b, p.er, p.s, p.t, p.w}, p.fo, p.res, p.sr, p.tlos);
  p.ate = loss.ate;
  p.ato = loss.ato;
  return modes.cap;
}

void write_row(Report& report, float dimension) {
  static const Layout kRow("(9X,F8.4,F7.3,F8.3,2(F8.3),F9.3,F8.3,F8.3)");
  const DesignParameters& p = report.parameters();
  const float ratio = (1.0F / p.b) * dimension;
  report.both(kRow, {dimension, ratio, p.zo, p.zoe, p.zoo, p.ko, -p.ate, -p.ato});
}

}  // namespace

void impedance_run(Report& report) {
  DesignParameters& p = report.parameters();
  const float bmm = (p.b * 2.54F) * 10.0F;
  const float tb = (1.0F / p.b) * p.t;
  write_header(report, bmm, tb);
  const bool over_spacings = p.iop1 == 2;
  if (over_spacings) {
    write_spacing_columns(report);
    p.istep = run_step_count(p.smin, p.smax, p.sstep);
  } else {
    write_width_columns(report);
    p.istep = run_step_count(p.wmin, p.wmax, p.wstep);
  }
  if (report.diagnostic_mode()) write_capacitance_header(report.diagnostic());
  for (std::int64_t ii = 0; ii <= p.istep; ++ii) {
    if (over_spacings) {
      p.s = row_value(p.smin, ii, p.sstep);
    } else {
      p.w = row_value(p.wmin, ii, p.wstep);
    }
    const sl1cap cap = analyse_row(p);
    write_row(report, over_spacings ? p.s : p.w);
    if (over_spacings && report.diagnostic_mode())
      write_capacitance_row(report.diagnostic(), p, cap);
  }
  if (report.diagnostic_mode()) {
    report.diagnostic().print(Report::closing_rule());
    report.console_closing();
  } else {
    report.full_closing();
  }
}

}  // namespace ketrovane
