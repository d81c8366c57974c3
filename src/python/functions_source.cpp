#include "python/functions_source.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/call_values.hpp"
#include "commands/columns.hpp"
#include "commands/command_table.hpp"
#include "commands/dimension_words.hpp"
#include "commands/options.hpp"
#include "commands/quantities.hpp"

namespace ketrovane::python {

namespace {

using commands::Command;
using commands::Dimension;
using commands::Opt;
using commands::OptionSpec;
using commands::ValueKind;

// A function of the package: the command it calls, the options it leaves
// out or adds, and how it calls the package's rows (with {names} the
// options' names and {values} the arguments, None where left at their
// default).
struct FunctionSpec {
  std::string_view name;
  Command command;
  std::string_view call;
  std::vector<Opt> left_out = {};
  std::vector<Opt> added = {};
  std::string_view extra = {};       // a parameter after progress
  std::string_view extra_help = {};  // its line of the docstring
  std::string_view note = {};
  bool lists_columns = true;
  bool broadcasts = true;                   // arrays give one row per element
  std::string_view summary = {};            // empty: the command's
  std::string_view columns_of = "Columns";  // what the columns listed are of
  bool after_scattering_note = false;       // the note follows the scattering matrix's
};

constexpr std::string_view kScatteringNote =
    "The coupler as in response, but every port referenced to ref ohms (no rs, rl): "
    "s[..., i - 1, j - 1] is Sij with ports 1 input, 2 thru, 3 isolated, 4 coupled, as in the "
    "command's Touchstone file.";

const std::vector<FunctionSpec>& functions() {
  // The scattering matrix references every port to ref instead of
  // terminating the coupler in rs and rl, and has no band summary.
  const std::vector<Opt> not_scattering{Opt::rs, Opt::rl, Opt::flatness};
  static const std::vector<FunctionSpec> made{
      {.name = "analyse",
       .command = Command::analyse,
       .call = "_table(\"analyse\", {names}, {values}, units, progress)",
       .note = "Losses are negative dB per length unit, as the impedance report prints them."},
      {.name = "synthesise",
       .command = Command::synthesise,
       .call = "_table(\"synthesise\", {names}, {values}, units, progress)",
       .note = "Give coupling or zoe, not both.  A row that cannot be built keeps its targets, "
               "has NaN width and spacing and names the reason in its status."},
      {.name = "response",
       .command = Command::response,
       .call = "_table(\"response\", {names}, {values}, units, progress, fullwave)",
       .extra = "fullwave=None",
       .extra_help = "fullwave: with run=True, a directory to write the coupler's full-wave "
                     "model into and run it there (a coupler given by its dimensions, laid out "
                     "as port_order, bend, lead_isolation, lead_length, copper_layers and "
                     "compensate say), None (default) for none",
       .note = "The coupler is given by zo and coupling (lossless), or by its dimensions b, t, "
               "w, s with rho, roughness and tand; er in both forms; given by its dimensions, "
               "its rows add each mode's conductor and dielectric loss per length "
               "(loss_even_conductor_db_per_in, loss_even_dielectric_db_per_in, "
               "loss_odd_conductor_db_per_in, loss_odd_dielectric_db_per_in).  Its length is "
               "given by "
               "length, or by f0, where it is a quarter wave long.  Ports: 1 input, 2 thru, 3 "
               "isolated, 4 coupled.  Frequencies are written in MHz."},
      {.name = "sensitivity",
       .command = Command::sensitivity,
       .call = "_table(\"sensitivity\", {names}, {values}, units, progress)"},
      {.name = "field",
       .command = Command::field,
       .call = "_table(\"field\", {names}, {values}, units, progress)",
       .note = "A cross-section the solver cannot verify to tol has NaN numbers and the status "
               "no_field_solution, and a FieldFailureWarning gives the solver's last estimate; "
               "strips it cannot resolve the coupling of say uncoupled."},
      {.name = "multisection",
       .command = Command::multisection,
       .call = "_multisection({names}, {values}, units)",
       .left_out = {Opt::f},
       .note = "One coupler: every argument a single value; band a text \"F1:F2\" or its two "
               "edges (f1, f2).  The rows are its sections; the profile, ripple_db and band are "
               "attributes, and network(f) its response.",
       .broadcasts = false},
      {.name = "tolerance",
       .command = Command::tolerance,
       .call = "_tolerance({names}, {values}, units, progress)",
       .note = "One coupler given by its dimensions: every argument a single value.  The "
               "result's rows are the samples; start and count compute any slice of them, and "
               "tolerance_combine(parts) puts slices together.",
       .broadcasts = false,
       .columns_of = "Columns of its statistics"},
      {.name = "line",
       .command = Command::line,
       .call = "_table(\"line\", {names}, {values}, units, progress)",
       .note = "Give w or zo, not both.  Losses are negative dB per length unit, as analyse "
               "prints them.  A row of zo that no width gives has NaN width and names the "
               "reason in its status."},
      {.name = "layout",
       .command = Command::layout,
       .call = "_layout({names}, {values}, units, file, fullwave)",
       .extra = "file=None, fullwave=None",
       .extra_help = "file: the name of the files to write, None (default) for none; fullwave: "
                     "a directory to write the full-wave model into (coupler.py, an openEMS "
                     "script, and README.txt), made if it is not there, None (default) for none",
       .note = "One coupler given by its dimensions: every argument a single value.  The rows "
               "are its ports; outlines maps each copper layer's name to its outlines (N x 2 "
               "arrays in the call's length unit), pads lists each pad (number, role, layer, "
               "centre, size) and ports the rows as dicts.  file names the files written, by "
               "its extension: .kicad_mod, .gbr (with two copper "
               "layers one file per layer, NAME-<layer>.gbr), .dxf, .svg or .png (gnuplot).",
       .broadcasts = false},
      {.name = "s_matrix",
       .command = Command::response,
       .call = "_scattering(\"s_matrix\", {names}, {values}, units, progress)[0]",
       .left_out = not_scattering,
       .added = {Opt::ref},
       .note = kScatteringNote,
       .lists_columns = false,
       .summary = "the 4x4 scattering matrix of the coupler at each frequency"},
      {.name = "network",
       .command = Command::response,
       .call = "_network({names}, {values}, units, name, progress)",
       .left_out = not_scattering,
       .added = {Opt::ref},
       .extra = "name=\"ketrovane coupler\"",
       .extra_help = "name: the network's name",
       .note = "  f is one value or a one-dimensional array and the other arguments describe "
               "one coupler; returns a 4-port scikit-rf Network whose frequencies are in the "
               "call's frequency unit (Debian: python3-scikit-rf).",
       .lists_columns = false,
       .summary = "the coupler as a 4-port scikit-rf Network over its frequencies",
       .after_scattering_note = true},
  };
  return made;
}

// The Python keyword of an option: "min-gap" is min_gap, "limit" limits.
std::string keyword_of(const OptionSpec& o) {
  if (!o.python_keyword.empty()) return std::string(o.python_keyword);
  std::string keyword(o.name);
  std::replace(keyword.begin(), keyword.end(), '-', '_');
  return keyword;
}

// A text as a Python literal (the tables' texts hold no quote or backslash).
std::string string_literal(std::string_view text) {
  if (text.find_first_of("\"\\") != std::string_view::npos) std::abort();
  return "\"" + std::string(text) + "\"";
}

// The option's default as a Python value: a number for a pure number, an
// impedance or decibels, a whole number for a count, a text (with its unit)
// for a length or a frequency; None where it has none.
std::string default_literal(const OptionSpec& o) {
  const std::string_view text = o.fallback;
  if (text.empty()) return "None";
  if (o.kind == ValueKind::whole) return std::string(text);
  if (o.kind != ValueKind::quantity) return string_literal(text);
  const Dimension d = o.quantity->dimension;
  if (d == Dimension::length || d == Dimension::frequency) {
    const bool has_unit = std::isalpha(static_cast<unsigned char>(text.back())) != 0;
    return string_literal(std::string(text) +
                          (has_unit ? "" : std::string(commands::base_unit(d))));
  }
  return commands::script_float_text(std::strtod(std::string(text).c_str(), nullptr));
}

// One parameter of a function.
struct Parameter {
  const OptionSpec* option;
  std::string keyword;
  std::string default_value;  // empty: required
  bool added = false;         // not the command's own
};

// The layout function takes the artwork's options too, and response for
// its full-wave model.
bool takes(const OptionSpec& o, Command c) {
  if (!o.taken_by(c)) return false;
  if ((c == Command::layout || c == Command::response) && o.reach == commands::Reach::artwork) {
    return true;
  }
  return o.reach == commands::Reach::everywhere;
}

// A command with several forms (an alternative before a required option)
// takes keywords only.
bool keywords_only(Command c) {
  bool alternative_seen = false;
  for (const OptionSpec& o : commands::options()) {
    if (!takes(o, c)) continue;
    if (o.required.has(c) && alternative_seen) return true;
    alternative_seen = alternative_seen || o.alternative.has(c);
  }
  return false;
}

// The function's parameters in the table's order (the order the values go
// to the rows in).
std::vector<Parameter> parameters_of(const FunctionSpec& f) {
  std::vector<Parameter> made;
  for (const OptionSpec& o : commands::options()) {
    if (!takes(o, f.command) || std::ranges::count(f.left_out, o.id) > 0) continue;
    const bool required = o.required.has(f.command);
    const bool alternative = o.alternative.has(f.command);
    made.push_back({&o, keyword_of(o), required ? "" : alternative ? "None" : default_literal(o)});
  }
  for (const Opt id : f.added) {
    const OptionSpec& o = commands::option(id);
    made.push_back({&o, keyword_of(o), default_literal(o), true});
  }
  return made;
}

// The signature: positional parameters, then the keyword-only ones (the
// required ones first where a command takes keywords only), the added
// options after the command's own.
std::vector<std::string> signature_of(const FunctionSpec& f,
                                      const std::vector<Parameter>& parameters) {
  const bool only_keywords = keywords_only(f.command);
  std::vector<std::string> positional;
  std::vector<std::string> required_keywords;
  std::vector<std::string> keywords;
  for (const Parameter& p : parameters) {
    const bool required = p.default_value.empty();
    const std::string text = required ? p.keyword : p.keyword + "=" + p.default_value;
    const bool in_front =
        !p.added && (p.option->required.has(f.command) || p.option->alternative.has(f.command));
    if (!in_front) {
      keywords.push_back(text);
    } else if (!only_keywords) {
      positional.push_back(text);
    } else {
      (required ? required_keywords : keywords).push_back(text);
    }
  }
  std::vector<std::string> made = positional;
  made.emplace_back("*");
  made.insert(made.end(), required_keywords.begin(), required_keywords.end());
  made.insert(made.end(), keywords.begin(), keywords.end());
  made.emplace_back("units=None");
  made.emplace_back("progress=None");
  if (!f.extra.empty()) made.emplace_back(f.extra);
  return made;
}

// ---- Docstrings in Python's words ----

bool in_option_name(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// The choice of `o` at the start of `text`, if it names one.
std::string_view choice_at(const OptionSpec& o, std::string_view text) {
  if (o.kind != ValueKind::choice) return {};
  std::size_t end = 0;
  while (end < text.size() && (in_option_name(text[end]) || text[end] == ',')) ++end;
  const std::string_view word = text.substr(0, end);
  std::string_view choices = o.choices;
  for (;;) {
    const std::size_t bar = choices.find('|');
    if (!word.empty() && choices.substr(0, bar) == word) return word;
    if (bar == std::string_view::npos) return {};
    choices.remove_prefix(bar + 1);
  }
}

// A help phrase with the options it names as keywords: "--h" is h,
// "--solver field" solver="field", "--b --t" b, t.
std::string in_keywords(std::string_view phrase) {
  std::string out;
  std::size_t i = 0;
  while (i < phrase.size()) {
    if (phrase.substr(i, 2) != "--") {
      out += phrase[i++];
      continue;
    }
    std::size_t end = i + 2;
    while (end < phrase.size() && in_option_name(phrase[end])) ++end;
    const OptionSpec* o = commands::option_named(phrase.substr(i + 2, end - i - 2));
    if (o == nullptr) std::abort();  // a help phrase names an option that is none
    out += keyword_of(*o);
    const std::string_view rest = phrase.substr(end);
    if (const std::string_view choice = rest.starts_with(' ') ? choice_at(*o, rest.substr(1)) : "";
        !choice.empty()) {
      out += "=" + string_literal(choice);
      end += 1 + choice.size();
    } else if (rest.starts_with(" --")) {
      out += ",";
    }
    i = end;
  }
  return out;
}

// An option's phrase where Python's words differ from the command line's:
// what a vary or limits dict holds, the reference of the scattering matrix
// (which has no Touchstone file to go with); empty where they do not.
std::string python_phrase(Opt id) {
  if (id == Opt::ref) return "reference resistance of every port of the scattering matrix";
  if (id == Opt::vary) {
    return "the varied quantities and their half-widths, a dict such as {\"w\": 0.0005, \"er\": "
           "\"2%\"}: " +
           commands::varied_quantities_listed() +
           " where the geometry has them; a half-width is a number (of a length, in the call's "
           "length unit) or a text: a length with its unit or X% of the nominal value, a leading "
           "+- taken";
  }
  if (id != Opt::limit) return {};
  return "the limits every sample must meet, a dict such as {\"coupling\": (-10.5, -9.5)}: "
         "coupling (dB, negative as in the table; positive ends are magnitudes, (9.5, 10.5) the "
         "same), zo, zoe, zoo (ohm), and with f0 coupling_f0, return_loss, isolation, "
         "directivity (dB), each a pair (low, high) with low <= value <= high, None for an open "
         "side, or a text \"LOW:HIGH\"";
}

// "above 0, up to 1000 in", "from 1 to 1000"
std::string range_phrase(const commands::Quantity& q) {
  const std::string unit(commands::base_unit(q.dimension));
  const std::string most =
      commands::number_as_text(q.most, "", Dimension::pure) + (unit.empty() ? "" : " " + unit);
  const std::string least = commands::number_as_text(q.least, "", Dimension::pure);
  return (q.signless ? "magnitude " : "") +
         (q.least_allowed ? "from " + least + " to " + most : "above " + least + ", up to " + most);
}

// "from 1 to 1000000000", "from 0 to 2^64 - 1"
std::string whole_range(const commands::Quantity& q) {
  constexpr double kBeyondDigits = 1e18;  // written as a power of two
  return "from " + commands::number_as_text(q.least, "", Dimension::pure) + " to " +
         (q.most > kBeyondDigits ? "2^64 - 1"
                                 : commands::number_as_text(q.most, "", Dimension::pure));
}

// What a quantity's value is in Python.
std::string quantity_form(const OptionSpec& o, bool broadcasts) {
  const commands::Quantity& q = *o.quantity;
  std::string form;
  if (q.dimension == Dimension::length || q.dimension == Dimension::frequency) {
    const std::string_view unit = q.dimension == Dimension::length ? "length" : "frequency";
    const std::string ounces = q.copper_weight ? ", or oz of copper, 1 oz = 1.37 mil" : "";
    form = "a number in the call's " + std::string(unit) + " unit or a text with its own (" +
           std::string(commands::units_listed(q.dimension)) + ounces + ")";
    if (o.id == Opt::band) form = "(f1, f2), each " + form + ", or a text \"F1:F2\"";
  } else {
    form = "a number";
  }
  return form + (broadcasts && o.id != Opt::band ? ", or an array of them" : "");
}

std::string choices_listed(std::string_view choices) {
  std::string text = "one of ";
  for (;;) {
    const std::size_t bar = choices.find('|');
    text += string_literal(choices.substr(0, bar));
    if (bar == std::string_view::npos) return text;
    text += ", ";
    choices.remove_prefix(bar + 1);
  }
}

// What a value of the option is in Python, and the values it may take.
std::string value_form(const OptionSpec& o, bool broadcasts) {
  switch (o.kind) {
    case ValueKind::quantity:
      return quantity_form(o, broadcasts) + "; " + range_phrase(*o.quantity);
    case ValueKind::resistivity:
      if (broadcasts) return "a number, a metal's name, or an array of either";
      return "a number or a metal's name";
    case ValueKind::choice:
      return choices_listed(o.choices);
    case ValueKind::whole:
      return "a whole number; " + whole_range(*o.quantity);
    case ValueKind::layers:
      return "a list of (thickness, er) or (thickness, er, loss tangent), each thickness a number "
             "in the call's length unit or a text with its own, or a file's name after @";
    case ValueKind::file:
      return "a text";
    case ValueKind::items:
      break;
  }
  return "";
}

// One keyword's line: what it is, what it takes, and its default.
std::string keyword_line(const FunctionSpec& f, const Parameter& p) {
  const OptionSpec& o = *p.option;
  const std::string own = python_phrase(o.id);
  if (o.kind == ValueKind::items) return p.keyword + ": " + std::string(own);
  const std::string phrase =
      own.empty() ? in_keywords(o.help.empty() ? o.quantity->what : o.help) : std::string(own);
  std::string line = p.keyword + ": " + phrase + ": " + value_form(o, f.broadcasts);
  if (p.default_value.empty()) return line + "; required";
  if (p.default_value != "None") return line + "; default " + p.default_value;
  if (o.has_default() && !o.ranges.has(f.command)) {
    line += "; None means " + default_literal(o);
  }
  return line;
}

std::string columns_line(const FunctionSpec& f) {
  std::string text = std::string(f.columns_of) + ": ";
  const std::span<const commands::Column> columns = commands::command(f.command).columns({});
  for (std::size_t c = 0; c < columns.size(); ++c) {
    text += (c == 0 ? "" : ", ") + commands::column_name(columns[c], commands::kInches);
  }
  return text + " (the length columns follow units).";
}

// The docstring's paragraphs, each a list of lines to be wrapped.
std::vector<std::vector<std::string>> docstring_of(const FunctionSpec& f,
                                                   const std::vector<Parameter>& parameters) {
  std::string summary(f.summary.empty() ? commands::command(f.command).summary : f.summary);
  summary.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(summary.front())));
  std::vector<std::string> keywords;
  keywords.reserve(parameters.size() + 3);
  for (const Parameter& p : parameters) keywords.push_back(keyword_line(f, p));
  keywords.emplace_back(
      "units: the call's units: a length unit (in, mil, mm, um), a frequency unit (Hz, kHz, MHz, "
      "GHz) or one of each, in any letter case; default inches and MHz");
  keywords.emplace_back(
      "progress: True draws a bar on the error stream (tqdm), a callable is called with "
      "(rows_done, rows_total) after each block of rows, False shows nothing; None (default) "
      "draws the bar once the call has run 2 s, if the error stream is a terminal or the call "
      "runs in IPython");
  if (!f.extra_help.empty()) keywords.emplace_back(f.extra_help);
  std::vector<std::vector<std::string>> made{
      {summary + "."},
      {"Lengths are in the length unit of units (inches by default) and frequencies in its "
       "frequency unit (MHz), unless given as a text with its own unit."},
      keywords};
  if (f.lists_columns) made.push_back({columns_line(f)});
  const std::string note = f.after_scattering_note
                               ? std::string(kScatteringNote) + std::string(f.note)
                               : std::string(f.note);
  if (!note.empty()) made.push_back({note});
  return made;
}

constexpr std::size_t kLineWidth = 99;

// The items joined by `separator`, wrapped at kLineWidth between items: the
// first line after `first`, the others after `rest`.
std::string wrapped(const std::vector<std::string>& items, std::string_view separator,
                    std::string_view first, std::string_view rest) {
  std::string_view line_end = separator;
  while (line_end.ends_with(' ')) line_end.remove_suffix(1);
  std::string out;
  std::string line(first);
  for (std::size_t k = 0; k < items.size(); ++k) {
    line += items[k];
    if (k + 1 == items.size()) break;
    if (line.size() + separator.size() + items[k + 1].size() + line_end.size() > kLineWidth) {
      line += line_end;
      while (line.ends_with(' ')) line.pop_back();
      out += line + "\n";
      line = std::string(rest);
    } else {
      line += separator;
    }
  }
  return out + line + "\n";
}

// The words of a text, a second space after a sentence kept with its word.
std::vector<std::string> words_of(std::string_view text) {
  std::vector<std::string> words;
  for (;;) {
    const std::size_t space = text.find(' ');
    const std::string_view word = text.substr(0, space);
    if (word.empty() && !words.empty()) {
      words.back() += " ";
    } else {
      words.emplace_back(word);
    }
    if (space == std::string_view::npos) return words;
    text.remove_prefix(space + 1);
  }
}

// Items of code separated by ", ".
std::vector<std::string> items_of(std::string_view code) {
  std::vector<std::string> items;
  for (;;) {
    const std::size_t comma = code.find(", ");
    items.emplace_back(code.substr(0, comma));
    if (comma == std::string_view::npos) return items;
    code.remove_prefix(comma + 2);
  }
}

std::string docstring_source(const FunctionSpec& f, const std::vector<Parameter>& parameters) {
  std::string out;
  const std::vector<std::vector<std::string>> paragraphs = docstring_of(f, parameters);
  for (std::size_t k = 0; k < paragraphs.size(); ++k) {
    if (k > 0) out += "\n";
    for (const std::string& line : paragraphs[k]) {
      out += wrapped(words_of(line), " ", k == 0 ? R"(    """)" : "    ",
                     k == 2 ? "        " : "    ");  // the keywords' lines hang
    }
  }
  return out + "    \"\"\"\n";
}

std::string upper(std::string_view name) {
  std::string text(name);
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// `call` with {names} and {values} put in.
std::string call_of(std::string_view call, std::string_view names, std::string_view values) {
  std::string text(call);
  text.replace(text.find("{names}"), 7, names);
  text.replace(text.find("{values}"), 8, values);
  return text;
}

std::string function_source(const FunctionSpec& f) {
  const std::vector<Parameter> parameters = parameters_of(f);
  std::vector<std::string> names;
  std::vector<std::string> keywords;
  for (const Parameter& p : parameters) {
    names.push_back(string_literal(p.option->name));
    keywords.push_back(p.keyword);
  }
  if (keywords.size() == 1) keywords.front() += ",";  // a tuple of one
  names.back() += names.size() == 1 ? ",)" : ")";
  keywords.back() += ")";
  const std::string tuple_name = "_" + upper(f.name);
  std::string out =
      "\n\n" + wrapped(names, ", ", tuple_name + " = (", std::string(tuple_name.size() + 4, ' '));
  out += "\n\n";
  const std::string head = "def " + std::string(f.name) + "(";
  std::vector<std::string> signature = signature_of(f, parameters);
  signature.back() += "):";
  out += wrapped(signature, ", ", head, std::string(head.size(), ' '));
  out += docstring_source(f, parameters);
  out += wrapped(keywords, ", ", "    arguments = (", std::string(17, ' '));
  out += "    values = _given(" + std::string(f.name) + ", " + tuple_name + ", arguments)\n";
  out += wrapped(items_of(call_of(f.call, tuple_name, "values")), ", ", "    return ", "        ");
  return out;
}

}  // namespace

std::string functions_source() {
  std::string out =
      "# The package's functions, one per command, with the command's options as\n"
      "# keywords.  Written from the option table by the target python_functions\n"
      "# (cmake --build build --target python_functions); a test fails when this\n"
      "# file has drifted from the table.  Edit the table, not this file.\n"
      "\"\"\"The functions of the ketrovane package, one per batch command.\"\"\"\n"
      "\n"
      "from . import _given, _layout, _multisection, _network, _scattering, _table, _tolerance\n";
  for (const FunctionSpec& f : functions()) out += function_source(f);
  return out;
}

}  // namespace ketrovane::python
