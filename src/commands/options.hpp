// Every option of the batch commands, declared once: its name, what it
// takes (a quantity with its unit kind and range, a metal or resistivity, a
// choice, a file), its default, its help and the commands that take it.
// The command line's options and --help, the Python package's keyword
// signatures and docstrings, and the option lists of the manual page are
// all made from this table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "commands/quantities.hpp"
#include "design/arrangements.hpp"

namespace ketrovane::commands {

enum class Command : std::uint8_t {
  analyse,
  synthesise,
  response,
  sensitivity,
  field,
  multisection,
  tolerance,
  line,
  layout,
  fullwave,
};
inline constexpr std::size_t kCommandCount = 10;

// A set of commands.
class Commands {
 public:
  constexpr Commands() = default;
  constexpr Commands(Command c)  // NOLINT(google-explicit-constructor): a command is a set of one
      : bits_(1U << static_cast<unsigned>(c)) {}
  constexpr Commands operator|(Commands other) const { return Commands(bits_ | other.bits_); }
  [[nodiscard]] constexpr bool has(Command c) const {
    return (bits_ & (1U << static_cast<unsigned>(c))) != 0;
  }

 private:
  constexpr explicit Commands(unsigned bits) : bits_(bits) {}
  unsigned bits_ = 0;
};

inline constexpr Commands kGridCommands =
    Commands(Command::analyse) | Command::sensitivity | Command::field;
// The commands of one coupler's artwork given by its dimensions.
inline constexpr Commands kLayoutCommands = Commands(Command::layout) | Command::fullwave;
inline constexpr Commands kAllCommands = kGridCommands | Command::synthesise | Command::response |
                                         Command::multisection | Command::tolerance |
                                         kLayoutCommands;

// Every option, in the order the help and the signatures list them.  The
// options of the dimensions of the model's cross-section (--w, --s) come
// before --geometry, those of the placement's after it, each in the order of
// dimensions(): the option of a dimension is its place (option_of in
// commands/dimension_words.hpp).
enum class Opt : std::uint8_t {
  b,
  t,
  er,
  layers,
  strips_on,
  core,
  w,
  s,
  geometry,
  solve = geometry + 1 + kPlacementDimensionCount,
  min_gap,
  min_width,
  zo,
  coupling,
  zoe,
  sections,
  band,
  ripple,
  profile,
  rho,
  roughness,
  tand,
  f,
  length,
  f0,
  rs,
  rl,
  flatness,
  vary,
  etch,
  dist,
  correlate,
  lot_size,
  attribution,
  limit,
  samples,
  seed,
  start,
  count,
  samples_output,
  combine,
  tol,
  solver,
  touchstone,
  touchstone_format,
  touchstone_version,
  port_order,
  layout,
  bend,
  lead_isolation,
  lead_length,
  copper_layers,
  fullwave,
  run,
  mesh,
  threads,
  compensate,
  ref,
  plot,
  table,
  format,
  output,
  length_unit,
  units,
  centre,
};
inline constexpr std::size_t kOptionCount = static_cast<std::size_t>(Opt::centre) + 1;
static_assert(static_cast<std::size_t>(Opt::geometry) ==
                  static_cast<std::size_t>(Opt::w) + kSectionDimensionCount,
              "--geometry after the options of the cross-section's dimensions");

enum class ValueKind : std::uint8_t {
  quantity,     // a number with a unit of the option's quantity
  resistivity,  // a number in micro-ohm-cm or a metal of the conductor menu
  choice,       // one of the names in `choices`
  file,         // a file name
  items,        // NAME=VALUE items, the option repeated or the items separated by commas
  whole,        // a whole number
  layers,       // a stack of dielectric layers, D:ER[:TAND],... or @FILE
};

// Where an option is seen.
enum class Reach : std::uint8_t {
  everywhere,  // the command line and the Python functions
  output,      // an output of the command line: not a Python keyword
  touchstone,  // the Touchstone file and the Python scattering matrix
  artwork,     // the artwork's files (and the Touchstone file's port numbers), and
               // Python's layout function
};

struct OptionSpec {
  Opt id;
  std::string_view name;  // without the dashes; also the Python keyword
  ValueKind kind;
  const Quantity* quantity = nullptr;  // quantity and resistivity (its number)
  std::string_view choices = {};       // choice: "table|csv|json"; file: what it names
  std::string_view fallback = {};      // the default as a command-line text; empty: none
  std::string_view help = {};          // a phrase: "edge-to-edge strip spacing S"; empty:
                                       // the quantity's own words
  Commands required = {};              // must be given
  Commands optional = {};              // the default applies when not given
  Commands alternative = {};           // one of a group, or one form of a command
  Commands ranges = {};                // start:stop:step accepted
  Reach reach = Reach::everywhere;
  // The Python keyword when it is not the name with underscores for dashes
  // (a repeated option takes a dict there: "limits").
  std::string_view python_keyword = {};
  // Given by --layers instead, where the command takes it (B, Er).
  bool from_layers = false;
  // The phrase for the commands of other_help_for, where the option means
  // something of its own (a line's impedance, not a coupler's).
  Commands other_help_for = {};
  std::string_view other_help = {};

  [[nodiscard]] bool taken_by(Command c) const {
    return required.has(c) || optional.has(c) || alternative.has(c);
  }
  [[nodiscard]] bool has_default() const { return !fallback.empty(); }
};

const OptionSpec& option(Opt id);
std::span<const OptionSpec> options();

// The option named `name` (without dashes), or null.
const OptionSpec* option_named(std::string_view name);

// "--b"
const std::string& dashed(const OptionSpec& o);

// What the option's value looks like for `command`: "L", "L[:L:L]", "X",
// "R|METAL", "table|csv|json", "FILE".
std::string value_name(const OptionSpec& o, Command command);

// The phrase with the units and range the option takes.
std::string described(const OptionSpec& o, Command command);

// One line of help: the phrase, the units and range it takes, and its
// default or that it is required.
std::string help_text(const OptionSpec& o, Command command);

// "--w: the value is missing; expected L[:L:L], strip width W, ...": an
// option given without a value, or with an empty one.
std::string missing_value_message(const OptionSpec& o, Command command);

// The units a quantity's text takes, for help: "in, mil, uin, mm or um; bare: in".
std::string units_help(const Quantity& q);

}  // namespace ketrovane::commands
