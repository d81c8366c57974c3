// Frequency analysis: the four-port response of the coupler over a range of
// frequencies, from Zo and coupling (lossless) or from its dimensions.
#include <cstdint>

#include "commands/number_format.hpp"
#include "design/ranges.hpp"
#include "design/row_kernel.hpp"
#include "reports/report.hpp"

namespace ketrovane {

namespace {

using text::Layout;

// Deliberate: the second option digit is the length mode, not the basis
// (pinned by the transcript frequency_from_zo_and_coupling_then_dimensions).
void write_header(const DesignRecord& r, Report& report) {
  static const Layout kHeader(
      R"L((10X, 'Zoe =',F7.3,' Ohms',6X,'Frequency Analysis',9X,'RES =',F7.4,/,10X, 'Zoo =',F7.3,' Ohms',5X,20(1H=),8X,'SR  =',F6.2,'u"',/,10X, 'Zo  =',F7.3,' Ohms',9X,'(Option ',I1,'.',I1,')',12X, 'B   =',F7.4,'"',/,10X, 'Rl  =',F6.2,' Ohms',34X,'T   = ',F7.5,'"',/,10X, 'Rs  =',F6.2,' Ohms',11X,'Er =',F6.2,13X,'S   = ',F7.5,'"',/,10X, 'Co  =',F6.2,' dB',10X,'DLTAN = ',F7.5,11X,'W','   = ',F7.5,'"',/,10X, 'Fo  =',F10.3,' MHz',26X,'Length   =',F7.4,'"'))L");
  report.both(kHeader, {r.zoe, r.resistivity_uohm_cm, r.zoo, r.roughness_uin, r.zo,
                        number_of(r.selections.analysis), number_of(r.selections.length_mode),
                        r.board.b, r.load, r.board.t, r.source, r.board.er, r.s, r.coupling_db,
                        r.loss_tangent, r.w, r.fo, r.length});
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

void write_row(Report& report, const ResponseRow& row, bool vswr_format) {
  static const Layout kMagnitudeAndPhase(
      "(4X,F10.3,1X,F7.2,1X,F7.2,1X,F7.3,2X,F6.2,2(1X,F7.2), 1X,F7.3,1X,F7.2)");
  static const Layout kVswrAndLosses(
      "(4X,F10.3,1X,F6.3,1X,F8.3,1X,F6.1,1X,F7.3,2(1X,F7.2), 1X,F8.4,1X,F7.4)");
  const FourPortResponse& r = row.response;
  const auto& db = r.amplitude_db;
  const auto& deg = r.phase_deg;
  if (vswr_format) {
    report.both(kVswrAndLosses, {row.f_mhz, r.input_vswr, db[Port::coupled], db[Port::isolated],
                                 db[Port::through], r.folded_phase_difference_deg,
                                 r.folded_quadrature_error_deg, r.ohmic_loss_db, r.total_loss_db});
  } else {
    report.both(kMagnitudeAndPhase, {row.f_mhz, db[Port::reflected], deg[Port::reflected],
                                     db[Port::coupled], deg[Port::coupled], db[Port::isolated],
                                     deg[Port::isolated], db[Port::through], deg[Port::through]});
  }
}

// A coupler given by its dimensions takes its impedances and coupling from
// them; one given by Zo and coupling shows zeros for the dimensions and
// materials it does not have.
ResponseCoupler prepare_coupler(DesignRecord& r) {
  if (r.selections.frequency_basis == FrequencyBasis::impedances) {
    r.resistivity_uohm_cm = r.roughness_uin = r.board.b = r.board.t = r.s = r.loss_tangent = r.w =
        0;
    return coupler_of_impedances(r.zoe, r.zoo, r.board.er, r.length);
  }
  const ResponseCoupler c =
      coupler_of_dimensions(cross_section_of(r), materials_of(r), r.length, Solver::model);
  r.zoe = c.impedances.zoe;
  r.zoo = c.impedances.zoo;
  r.zo = c.impedances.zo;
  r.coupling_db = c.impedances.coupling_db;
  return c;
}

CalcCommand field_comparison(const DesignRecord& r, const Axis& frequencies) {
  using commands::Opt;
  CalcCommand c("response");
  c.add(r.board)
      .add(Opt::w, r.w)
      .add(Opt::s, r.s)
      .add(Opt::rho, r.resistivity_uohm_cm)
      .add(Opt::roughness, commands::shortest(r.roughness_uin) + "uin")
      .add(Opt::tand, r.loss_tangent)
      .add(Opt::length, r.length)
      .add(Opt::f, Range{r.f_start, frequencies.value(frequencies.rows - 1), r.f_step})
      .add(Opt::rs, r.source)
      .add(Opt::rl, r.load);
  return std::move(c.add(Opt::solver, "both"));
}

}  // namespace

void frequency_run(DesignRecord& record, Report& report) {
  const ResponseCoupler coupler = prepare_coupler(record);
  write_header(record, report);
  const bool vswr_format = record.selections.print_format == PrintFormat::vswr_and_losses;
  write_columns(report, vswr_format);
  const Axis frequencies =
      swept_range({record.f_start, 0.0F, record.f_step}, record.selections.step_count);
  const Terminations terminations{.source = record.source, .load = record.load};
  for (std::int64_t i = 0; i < frequencies.rows; ++i) {
    write_row(report, response_row(coupler, frequencies.value(i), terminations), vswr_format);
  }
  // A coupler given by its dimensions: the note on the model's accuracy.
  if (coupler.dimensions && frequencies.rows > 0) {
    report.note_row(coupler.dimensions->x, coupler.materials.conductor.resistivity_ohm_inch > 0.0F);
    report.compare_with(field_comparison(record, frequencies));
  }
  report.full_closing();
}

}  // namespace ketrovane
