#include "calc/command_line.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "calc/run.hpp"
#include "commands/command_table.hpp"
#include "commands/input_error.hpp"
#include "commands/options.hpp"

namespace ketrovane::calc {

namespace {

using commands::CommandSpec;
using commands::OptionSpec;

constexpr const char* kProgram = "ketrovane-calc";

// An option as the parser holds it: every value given, so that a repeated
// option and a missing value are ours to name.
struct Registered {
  const OptionSpec* declared;
  std::vector<std::string> values;
  CLI::Option* option;
};

struct Subcommand {
  const CommandSpec* command;
  CLI::App* app;
  std::deque<Registered> options;  // stable addresses for CLI11's targets
};

void register_options(Subcommand& sub) {
  for (const OptionSpec& o : commands::options()) {
    if (!o.taken_by(sub.command->id)) continue;
    Registered& r = sub.options.emplace_back(Registered{&o, {}, nullptr});
    // --combine takes the files that follow it, up to the next option.
    const bool files = o.id == commands::Opt::combine;
    r.option =
        sub.app->add_option(commands::dashed(o), r.values, commands::help_text(o, sub.command->id))
            ->type_name(commands::value_name(o, sub.command->id))
            ->expected(0, files ? CLI::detail::expected_max_vector_size : 1)
            ->allow_extra_args(files)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  }
  // What the parser does not know is ours to name, in one line.
  sub.app->allow_extras();
}

std::string command_line_of(int argc, char** argv) {
  std::string line = kProgram;
  const std::span<char*> args(argv, static_cast<std::size_t>(argc));
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool plain = arg.find_first_of(" \t\n'\"\\$`") == std::string_view::npos && !arg.empty();
    line += ' ';
    line += plain ? std::string(arg) : commands::quoted(arg);
  }
  return line;
}

// CLI11's message on one line.
std::string one_line(std::string message) {
  for (char& c : message) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!message.empty() && message.back() == ' ') message.pop_back();
  return message;
}

std::string expected_command() {
  return "expected a command: " + commands::command_names() + " (see " + kProgram + " --help)";
}

std::string help_hint(const CommandSpec& c) {
  return std::string(" (see ") + kProgram + " " + std::string(c.name) + " --help)";
}

// The first word the program did not take: an unknown command, option or
// a stray value.
std::string extra_mistake(const std::vector<std::string>& extras, const CommandSpec* command) {
  const std::string& first = extras.front();
  if (command == nullptr) {
    if (first.starts_with("-")) {
      return "unknown option " + commands::quoted(first) + " (see " + kProgram + " --help)";
    }
    return "unknown command " + commands::quoted(first) + "; " + expected_command();
  }
  if (first.starts_with("-") && first.size() > 1 && !std::isdigit(first[1]) && first[1] != '.') {
    return "unknown option " + commands::quoted(first.substr(0, first.find('='))) + " for " +
           std::string(command->name) + help_hint(*command);
  }
  return "unexpected argument " + commands::quoted(first) +
         ": values follow their option, as in --w 0.1" + help_hint(*command);
}

// A repeated option or one without its value.
std::string option_mistake(const Subcommand& sub) {
  for (const Registered& r : sub.options) {
    const std::string name = commands::dashed(*r.declared);
    const std::size_t given = r.option->count();
    const bool repeatable =
        r.declared->kind == commands::ValueKind::items || r.declared->id == commands::Opt::combine;
    if (repeatable &&
        std::ranges::any_of(r.values, [](const std::string& v) { return v.empty(); })) {
      return commands::missing_value_message(*r.declared, sub.command->id);
    }
    if (given > 1 && !repeatable) {
      const std::string first = r.values.empty() ? "" : r.values.front();
      const std::string second = r.values.size() > 1 ? r.values[1] : "";
      return name + " is given twice, " + commands::quoted(first) + " and " +
             commands::quoted(second) + "; give it once" + help_hint(*sub.command);
    }
    if (given == 1 && (r.values.empty() || r.values.front().empty())) {
      return commands::missing_value_message(*r.declared, sub.command->id);
    }
  }
  return "";
}

void read_texts(const Subcommand& sub, commands::TextValues& texts) {
  for (const Registered& r : sub.options) {
    if (r.option->count() == 0) continue;
    // The items of a repeated --vary or --limit are one list; the files of
    // --combine one a line.
    const char* separator = r.declared->id == commands::Opt::combine ? "\n" : ",";
    std::string text = r.values.front();
    for (std::size_t i = 1; i < r.values.size(); ++i) text += separator + r.values[i];
    texts.set(r.declared->id, std::move(text));
  }
}

int fail(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  return commands::kFailure;
}

int run_parsed(const Subcommand& sub, int argc, char** argv) {
  if (const std::vector<std::string> extras = sub.app->remaining(); !extras.empty()) {
    return fail(extra_mistake(extras, sub.command));
  }
  if (const std::string mistake = option_mistake(sub); !mistake.empty()) return fail(mistake);
  commands::TextValues texts;
  read_texts(sub, texts);
  const RunResult result = run_command(*sub.command, texts, command_line_of(argc, argv));
  if (!result.error.empty()) {
    fail(result.error);
    return result.status;  // 1 for an artwork the fab cannot make, else 2
  }
  for (const std::string& note : result.notes)
    std::fprintf(stderr, "%s: %s\n", kProgram, note.c_str());
  if (!result.failed_rows_line.empty()) fail(result.failed_rows_line);
  return result.status;
}

}  // namespace

int run_program(int argc, char** argv) {
  CLI::App app(
      "Batch calculations for stripline directional couplers: one section side by side, off "
      "the centre plane or one strip above the other, and broadband couplers of several "
      "sections.\nExit status: 0 done, 1 some rows could not be computed (see their status), 2 "
      "bad input or a failed output.",
      kProgram);
  app.set_version_flag("--version", std::string(kProgram) + " " KETROVANE_VERSION);
  app.require_subcommand(0, 1);
  std::deque<Subcommand> subs;
  for (const CommandSpec& c : commands::all_commands()) {
    Subcommand& sub = subs.emplace_back(
        Subcommand{&c, app.add_subcommand(std::string(c.name), std::string(c.summary)), {}});
    if (!c.alias.empty()) sub.app->alias(std::string(c.alias));
    if (!c.help_footer.empty()) sub.app->footer(std::string(c.help_footer));
    register_options(sub);
  }
  app.allow_extras();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return fail(one_line(e.what()) + " (see " + kProgram + " --help)");
  }
  for (const Subcommand& sub : subs) {
    if (sub.app->parsed()) return run_parsed(sub, argc, argv);
  }
  if (const std::vector<std::string> extras = app.remaining(); !extras.empty()) {
    return fail(extra_mistake(extras, nullptr));
  }
  return fail("no command given; " + expected_command());
}

}  // namespace ketrovane::calc
