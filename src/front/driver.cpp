#include "front/driver.hpp"

#include "front/console.hpp"
#include "front/dialogue.hpp"
#include "front/storage_channel.hpp"
#include "reports/report.hpp"

namespace ketrovane {

namespace {

using text::Ending;
using text::Layout;

// Where diagnostic output goes when no storage file is connected.
constexpr std::string_view kDiagnosticFileName = "Ketrovane.DBG";

void write_report_banner(text::Channel& channel, const DateTime& d) {
  static const Layout kBanner(
      "(/,6X,72(1H-),/,6X, 'Ketrovane (v. 1.3)',22X,'Date:',I2,'/',I2,'/',I4, ' at ',I2,':',I2,"
      "':',I2,'Hours',/,12X,"
      "'  RF/Microwave Computer-Aided Engineering Design Data For',/,12X, 'Single-Section, "
      "Edge-Coupled Stripline Directional Couplers:',/)");
  channel.print(kBanner, {d.imon, d.iday, d.iyr, d.ihr, d.imin, d.isec});
}

void dispatch(Report& report) {
  const DesignParameters& p = report.parameters();
  if (p.ifunc == kSynthesis) {
    synthesis_run(report);
  } else if (p.iop == kFrequencyAnalysis) {
    frequency_run(report);
  } else if (p.iop == kSensitivityAnalysis) {
    sensitivity_run(report);
  } else {
    impedance_run(report);
  }
}

// One pass: the report banner, the run and its closing.
void run_design(DesignParameters& p, text::Channel& console, StorageChannel& storage) {
  static const Layout kStored("(6X,'Output Data stored in User filename: ',A20)");
  write_report_banner(console, p.datetime);
  text::Channel* stored = nullptr;
  if (p.istore == kStore) {
    stored = &storage.open(p.fn);
    write_report_banner(*stored, p.datetime);
  }
  Report report(p, console, stored,
                [&storage]() -> text::Channel& { return storage.current_or(kDiagnosticFileName); });
  dispatch(report);
  if (stored != nullptr) {
    console.print(kStored, {p.fn});
    stored->print(kStored, {p.fn});
  }
  storage.flush();
}

// The next-operation menu: 1 new option, 2 new coupler, anything else exit.
int ask_next_operation(Console& console) {
  static const Layout kMenu(
      "(/,6X,'Stripline Coupler calculations', ' completed. Select next OPERATION:',/, 9X,' 1. "
      "Select a new OPTION for your Stripline Coupler.',/, 9X,' 2. Design a NEW Stripline "
      "Coupler.',/ 9X,'*3. EXIT to operating system (Default).')");
  static const Layout kQuestion("(6X,'OPERATION selected = ')", Ending::question);
  console.show(kMenu);
  const int isel = nearest_int(console.ask(kQuestion));
  return isel <= 0 ? kExit : isel;
}

int operation_loop(DesignParameters& p, Console& console, StorageChannel& storage,
                   Environment& env) {
  p.isel = kFirstDesign;
  for (;;) {
    sl1input(p, console, env);
    if (p.isel == kDefaultFileRejected) return kExitDefaultFileRejected;
    run_design(p, console.out(), storage);
    p.isel = ask_next_operation(console);
    if (p.isel != kNewOption && p.isel != kNewCoupler) return kExitSuccess;
  }
}

// Ends the console's last line, as a terminal would show it.
void finish_console(text::Channel& console) {
  if (!console.at_line_start()) console.put("\n");
  console.flush();
}

}  // namespace

int run_program(Environment& env) {
  DesignParameters p;
  Console console(env.console_in, env.console_out);
  StorageChannel storage(env.files);
  try {
    const int status = operation_loop(p, console, storage, env);
    storage.close();
    finish_console(env.console_out);
    return status;
  } catch (const text::FatalError& error) {
    try {
      finish_console(env.console_out);
    } catch (const text::FatalError&) {  // NOLINT(bugprone-empty-catch): the first error counts
    }
    try {
      storage.close();
    } catch (const text::FatalError&) {  // NOLINT(bugprone-empty-catch)
    }
    env.errors << "ketrovane: " << error.what() << '\n';
    env.errors.flush();
    return kExitInputOutputError;
  }
}

}  // namespace ketrovane
