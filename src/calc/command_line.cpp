#include "calc/command_line.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "batch/input_error.hpp"

namespace ketrovane::calc {

namespace {

using batch::CommandEntry;

constexpr const char* kProgram = "ketrovane-calc";

struct Registered {
  std::string name;
  std::string value;
  CLI::Option* option;
};

struct Subcommand {
  const CommandEntry* entry;
  CLI::App* app;
  std::deque<Registered> options;  // stable addresses for CLI11's targets
};

void register_options(Subcommand& sub) {
  for (const batch::OptionEntry& o : sub.entry->options) {
    Registered& r = sub.options.emplace_back(Registered{std::string(o.name), "", nullptr});
    r.option = sub.app->add_option("--" + r.name, r.value, std::string(o.help))
                   ->type_name(std::string(o.value_name))
                   ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
  }
}

batch::OptionTexts texts_of(const Subcommand& sub) {
  batch::OptionTexts texts;
  for (const Registered& r : sub.options) {
    if (r.option->count() > 0) texts.emplace(r.name, r.value);
  }
  return texts;
}

std::string command_line_of(int argc, char** argv) {
  std::string line = kProgram;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg =
        argv[i];  // NOLINT(cppcoreguidelines-pro-bounds-pointer-arithmetic)
    const bool plain = arg.find_first_of(" \t\n'\"\\$`") == std::string_view::npos && !arg.empty();
    line += ' ';
    line += plain ? std::string(arg) : batch::quoted(arg);
  }
  return line;
}

// CLI11's message on one line, with a hint toward --help.
std::string one_line(std::string message) {
  for (char& c : message) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!message.empty() && message.back() == ' ') message.pop_back();
  return message;
}

// What the first argument should have been, or empty when it names a
// command or an option of the program.
std::string command_mistake(int argc, char** argv) {
  std::string known;
  for (const CommandEntry& entry : batch::command_entries()) {
    known += known.empty() ? "" : ", ";
    known += entry.name;
  }
  const std::string expected = "expected a command: " + known + " (see " + kProgram + " --help)";
  if (argc < 2) return "no command given; " + expected;
  const std::string_view first = argv[1];
  if (first.starts_with("-")) return "";
  for (const CommandEntry& entry : batch::command_entries()) {
    if (entry.name == first) return "";
  }
  return "unknown command " + batch::quoted(first) + "; " + expected;
}

const CommandEntry* command_named(std::string_view name) {
  for (const CommandEntry& entry : batch::command_entries()) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

const batch::OptionEntry* option_named(const CommandEntry& entry, std::string_view name) {
  for (const batch::OptionEntry& o : entry.options) {
    if (o.name == name) return &o;
  }
  return nullptr;
}

// The options of a command as written, checked before the parser sees them,
// so that each mistake gets a line that names it and says what is expected:
// an unknown or repeated option, a missing value, a stray argument.
std::string option_mistake(const CommandEntry& entry, int argc, char** argv) {
  const std::string help =
      std::string(" (see ") + kProgram + " " + std::string(entry.name) + " --help)";
  const std::span<char*> args(argv, static_cast<std::size_t>(argc));
  std::vector<std::pair<std::string_view, std::string_view>> given;  // name, value
  for (std::size_t i = 2; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "-h" || arg == "--help") return "";
    if (!arg.starts_with("--")) {
      return "unexpected argument " + batch::quoted(arg) +
             ": values follow their option, as in --w 0.1" + help;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name =
        arg.substr(2, equals == std::string_view::npos ? equals : equals - 2);
    const batch::OptionEntry* option = option_named(entry, name);
    if (option == nullptr) {
      return "unknown option " + batch::quoted(arg.substr(0, equals)) + " for " +
             std::string(entry.name) + help;
    }
    std::string_view value;
    if (equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size() && !std::string_view(args[i + 1]).starts_with("--")) {
      value = args[++i];
    } else {
      return "--" + std::string(name) + ": the value is missing; expected " +
             std::string(option->value_name) + ", " + std::string(option->help);
    }
    for (const auto& [earlier, earlier_value] : given) {
      if (earlier == name) {
        return "--" + std::string(name) + " is given twice, " + batch::quoted(earlier_value) +
               " and " + batch::quoted(value) + "; give it once" + help;
      }
    }
    given.emplace_back(name, value);
  }
  return "";
}

int fail(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  return batch::kFailure;
}

}  // namespace

int run_program(int argc, char** argv) {
  if (const std::string mistake = command_mistake(argc, argv); !mistake.empty()) {
    return fail(mistake);
  }
  if (const CommandEntry* entry = argc > 1 ? command_named(argv[1]) : nullptr) {
    if (const std::string mistake = option_mistake(*entry, argc, argv); !mistake.empty()) {
      return fail(mistake);
    }
  }
  CLI::App app(
      "Batch calculations for single-section edge-coupled stripline directional "
      "couplers.\nExit status: 0 done, 1 some synthesis rows could not be built, 2 "
      "bad input or a failed output.",
      kProgram);
  app.set_version_flag("--version", std::string(kProgram) + " " KETROVANE_VERSION);
  app.require_subcommand(1);
  std::deque<Subcommand> subs;
  for (const CommandEntry& entry : batch::command_entries()) {
    Subcommand& sub = subs.emplace_back(Subcommand{
        &entry, app.add_subcommand(std::string(entry.name), std::string(entry.summary)), {}});
    register_options(sub);
  }
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
    if (!sub.app->parsed()) continue;
    const batch::RunResult result =
        batch::run_command(sub.entry->command, texts_of(sub), command_line_of(argc, argv));
    if (!result.error.empty()) return fail(result.error);
    if (!result.note.empty()) std::fprintf(stderr, "%s: %s\n", kProgram, result.note.c_str());
    if (result.rows_not_built > 0) {
      fail(std::to_string(result.rows_not_built) +
           " of the rows could not be built (see their status)");
    }
    return result.status;
  }
  return fail("no command given (see " + std::string(kProgram) + " --help)");
}

}  // namespace ketrovane::calc
