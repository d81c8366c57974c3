#include "calc/manual.hpp"

#include "commands/command_table.hpp"
#include "commands/options.hpp"

namespace ketrovane::calc {

namespace {

using commands::Command;
using commands::OptionSpec;

// Roff: a hyphen as a minus sign, a backslash escaped.
std::string roff(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '-') {
      out += "\\-";
    } else if (c == '\\') {
      out += "\\e";
    } else {
      out += c;
    }
  }
  return out;
}

// "--b L" in bold and italics.
std::string option_usage(const OptionSpec& o, Command c) {
  return "\\fB" + roff(commands::dashed(o)) + "\\fP \\fI" + roff(commands::value_name(o, c)) +
         "\\fP";
}

std::string synopsis_of(const commands::CommandSpec& c) {
  std::string line = ".B ketrovane-calc " + std::string(c.name) + "\n";
  std::string words;
  for (const OptionSpec& o : commands::options()) {
    if (!o.taken_by(c.id)) continue;
    const std::string usage = option_usage(o, c.id);
    words += o.required.has(c.id) ? usage : "[" + usage + "]";
    words += "\n";
  }
  return line + words + ".br\n";
}

std::string commands_taking(const OptionSpec& o) {
  std::string text;
  for (const commands::CommandSpec& c : commands::all_commands()) {
    if (!o.taken_by(c.id)) continue;
    if (!text.empty()) text += ", ";
    text += "\\fB" + std::string(c.name) + "\\fP";
    if (o.required.has(c.id)) text += " (required)";
  }
  return text;
}

// The command whose help shows the option's values best: one that takes a
// range of it, if any.
Command showing(const OptionSpec& o) {
  for (const commands::CommandSpec& c : commands::all_commands()) {
    if (o.ranges.has(c.id)) return c.id;
  }
  for (const commands::CommandSpec& c : commands::all_commands()) {
    if (o.taken_by(c.id)) return c.id;
  }
  return Command::analyse;
}

std::string option_entry(const OptionSpec& o) {
  const Command c = showing(o);
  // Whether it is required, or what it defaults to, is said below for
  // every command.
  const std::string help = commands::described(o, c);
  std::string text = ".TP\n" + option_usage(o, c) + "\n" + roff(help) + ".\n";
  if (o.has_default()) text += "Default " + roff(o.fallback) + ".\n";
  return text + "Taken by " + commands_taking(o) + ".\n";
}

std::string replaced_between(std::string page, std::string_view part, const std::string& text) {
  const std::string begin = ".\\\" BEGIN " + std::string(part) + "\n";
  const std::string end = ".\\\" END " + std::string(part) + "\n";
  const std::size_t b = page.find(begin);
  const std::size_t e = page.find(end);
  if (b == std::string::npos || e == std::string::npos || e < b) return page;
  return page.replace(b + begin.size(), e - b - begin.size(), text);
}

}  // namespace

std::string manual_synopsis() {
  std::string text;
  for (const commands::CommandSpec& c : commands::all_commands()) text += synopsis_of(c);
  return text;
}

std::string manual_options() {
  std::string text;
  for (const OptionSpec& o : commands::options()) text += option_entry(o);
  return text;
}

std::string with_generated_parts(std::string_view page) {
  return replaced_between(replaced_between(std::string(page), "SYNOPSIS", manual_synopsis()),
                          "OPTIONS", manual_options());
}

}  // namespace ketrovane::calc
