// Frequency analysis: the four-port response of the coupler over a range of
// frequencies, from Zo and coupling (lossless) or from its dimensions.
#include <cstdint>

#include "frequency/four_port.hpp"
#include "model/stripline_model.hpp"
#include "reports/report.hpp"
#include "reports/row_range.hpp"

namespace ketrovane {

namespace {

using text::Layout;

bool from_impedances(const DesignParameters& p) {
  return p.iop2 == 1;
}

// Suboption 1 shows zeros for the dimensions and materials; suboption 2
// derives the impedances from the dimensions.
void prepare_coupler(DesignParameters& p) {
  if (from_impedances(p)) {
    p.res1 = p.sr1 = p.b = p.t = p.s = p.tlos = p.w = 0;
    return;
  }
  analyse_dimensions(p);
}

void write_header(Report& report) {
  static const Layout kHeader(
      R"L((10X, 'Zoe =',F7.3,' Ohms',6X,'Frequency Analysis',9X,'RES =',F7.4,/,10X, 'Zoo =',F7.3,' Ohms',5X,20(1H=),8X,'SR  =',F6.2,'u"',/,10X, 'Zo  =',F7.3,' Ohms',9X,'(Option ',I1,'.',I1,')',12X, 'B   =',F7.4,'"',/,10X, 'Rl  =',F6.2,' Ohms',34X,'T   = ',F7.5,'"',/,10X, 'Rs  =',F6.2,' Ohms',11X,'Er =',F6.2,13X,'S   = ',F7.5,'"',/,10X, 'Co  =',F6.2,' dB',10X,'DLTAN = ',F7.5,11X,'W','   = ',F7.5,'"',/,10X, 'Fo  =',F10.3,' MHz',26X,'Length   =',F7.4,'"'))L");
  const DesignParameters& p = report.parameters();
  report.both(kHeader, {p.zoe, p.res1, p.zoo, p.sr1, p.zo, p.iop, p.il, p.b, p.rl, p.t, p.rs, p.er,
                        p.s, p.ko, p.tlos, p.w, p.fo, p.l});
}

void write_columns(Report& report, bool vswr_format) {
  static const Layout kMagnitudeAndPhase(
      "(/,17X, 'Port 1: S11     Port 2: S41     Port 3: S31     Port 4: S21   ',/,17X, ' "
      "Reflected        Coupled        Isolated        Thru Path',/,14X, 4(1X,15(1H-)),/,6X, "
      "'Analysis   Amp-   Phase    Amp-   Phase    Amp-   Phase', '    Amp-   Phase',/,6X, "
      "'Frequency litude  (Deg-   litude  (Deg-   litude  (Deg-', '   litude  (Deg-',/,6X, '  "
      "(MHz)    (dB)   rees)    (dB)   rees)    (dB)   rees)', '    (dB)   rees)',/,6X,72(1H-))");
  static const Layout kVswrAndLosses(
      "(/,49X,'Quadrature',/,17X,'Four-Port Output Amplitudes', 3X,15(1H-),/,6X,'Analysis "
      "',31(1H-),2X,'Phase',3X,'Error',3X, 'I*I*R',3X,'Total',/,6X,'Frequency Input  Coupled "
      "Isolated  ', 'Thru',2(3X,'(Deg-'),4X,'Loss',4X,'Loss',/,8X,'(MHz)',4X, "
      "'VSWR',3(4X,'(dB)'),2(3X,'rees)'),2(4X,'(dB)'),/,6X,72(1H-))");
  report.both(vswr_format ? kVswrAndLosses : kMagnitudeAndPhase);
}

void write_row(Report& report, float f, const FourPortResponse& r, bool vswr_format) {
  static const Layout kMagnitudeAndPhase(
      "(4X,F10.3,1X,F7.2,1X,F7.2,1X,F7.3,2X,F6.2,2(1X,F7.2), 1X,F7.3,1X,F7.2)");
  static const Layout kVswrAndLosses(
      "(4X,F10.3,1X,F6.3,1X,F8.3,1X,F6.1,1X,F7.3,2(1X,F7.2), 1X,F8.4,1X,F7.4)");
  if (vswr_format) {
    report.both(kVswrAndLosses,
                {f, r.vswr, r.mag[1], r.mag[2], r.mag[3], r.phi, r.error90, r.atot, r.loss});
  } else {
    report.both(kMagnitudeAndPhase, {f, r.mag[0], r.ang[0], r.mag[1], r.ang[1], r.mag[2], r.ang[2],
                                     r.mag[3], r.ang[3]});
  }
}

}  // namespace

void frequency_run(Report& report) {
  DesignParameters& p = report.parameters();
  prepare_coupler(p);
  write_header(report);
  const bool vswr_format = p.iprint == 2;
  write_columns(report, vswr_format);
  for (std::int64_t ii = 0; ii <= p.istep; ++ii) {
    const float f = row_value(p.fmin, ii, p.fstep);
    p.ate = 0;
    p.ato = 0;
    if (!from_impedances(p)) {
      const Attenuation loss =
          sl1los(CrossSection{p.b, p.er, p.s, p.t, p.w}, f, p.res, p.sr, p.tlos);
      p.ate = loss.ate;
      p.ato = loss.ato;
    }
    const FourPortResponse r =
        sl1fa(CoupledSection{p.zoe, p.zoo, p.er, p.l, p.ate, p.ato}, f, p.rl, p.rs);
    write_row(report, f, r, vswr_format);
  }
  report.full_closing();
}

}  // namespace ketrovane
