#include "front/driver.hpp"

#include "common/saturating.hpp"
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
  channel.print(kBanner, {d.month, d.day, d.year, d.hour, d.minute, d.second});
}

void dispatch(DesignRecord& r, Report& report) {
  if (r.selections.function == ProgramFunction::synthesis) return synthesis_run(r, report);
  switch (r.selections.analysis) {
    case AnalysisOption::frequency:
      return frequency_run(r, report);
    case AnalysisOption::sensitivity:
      return sensitivity_run(r, report);
    case AnalysisOption::impedance:
      return impedance_run(r, report);
  }
}

// At a terminal, where the report's rows reach a part of the map of the
// model's error where it may be off by more than 1 %: one line on the error
// stream after the report, never on the console or in the storage file.
void write_model_note(const Report& report, text::Channel& console, const Environment& env) {
  if (!at_a_terminal(env)) return;
  const std::string note = report.model_note();
  if (note.empty()) return;
  console.flush();
  env.errors << "ketrovane: " << note << '\n';
  env.errors.flush();
}

// One pass: the report banner, the run and its closing.
void run_design(DesignRecord& r, text::Channel& console, StorageChannel& storage,
                const Environment& env) {
  static const Layout kStored("(6X,'Output Data stored in User filename: ',A20)");
  write_report_banner(console, r.run_time);
  text::Channel* stored = nullptr;
  if (r.selections.storage == Storage::store) {
    stored = &storage.open(r.storage_name);
    write_report_banner(*stored, r.run_time);
  }
  // Diagnostic output goes to the storage channel in whatever state it is
  // in: the file still open from an earlier pass, or one of its own.
  Report report(console, stored, r.selections.storage == Storage::store_with_diagnostics,
                [&storage]() -> text::Channel& { return storage.current_or(kDiagnosticFileName); });
  dispatch(r, report);
  write_model_note(report, console, env);
  if (stored != nullptr) {
    console.print(kStored, {r.storage_name});
    stored->print(kStored, {r.storage_name});
  }
  storage.flush();
}

// The next-operation menu: 1 new option, 2 new coupler, anything else exit.
Stage ask_next_operation(Console& console) {
  static const Layout kMenu(
      "(/,6X,'Stripline Coupler calculations', ' completed. Select next OPERATION:',/, 9X,' 1. "
      "Select a new OPTION for your Stripline Coupler.',/, 9X,' 2. Design a NEW Stripline "
      "Coupler.',/ 9X,'*3. EXIT to operating system (Default).')");
  static const Layout kQuestion("(6X,'OPERATION selected = ')", Ending::question);
  console.show(kMenu);
  switch (nearest_int(console.ask(kQuestion))) {
    case number_of(Stage::new_option):
      return Stage::new_option;
    case number_of(Stage::new_coupler):
      return Stage::new_coupler;
    default:
      return Stage::exit;
  }
}

int operation_loop(DesignRecord& r, Console& console, StorageChannel& storage, Environment& env) {
  r.selections.stage = Stage::first_design;
  for (;;) {
    run_dialogue(r, console, env, storage);
    if (r.selections.stage == Stage::defaults_rejected) return kExitDefaultFileRejected;
    run_design(r, console.out(), storage, env);
    r.selections.stage = ask_next_operation(console);
    if (r.selections.stage == Stage::exit) return kExitSuccess;
  }
}

// Ends the console's last line, as a terminal would show it.
void finish_console(text::Channel& console) {
  if (!console.at_line_start()) console.put("\n");
  console.flush();
}

}  // namespace

int run_program(Environment& env) {
  DesignRecord record;
  Console console(env.console_in, env.console_out, env.mistakes, env.errors);
  StorageChannel storage(env.files);
  try {
    const int status = operation_loop(record, console, storage, env);
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
