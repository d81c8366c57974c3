#include "batch/options.hpp"

#include <cstdlib>
#include <unordered_map>

#include "batch/number_format.hpp"
#include "design/conductor_menus.hpp"
#include "field/field_solver.hpp"

namespace ketrovane::batch {

namespace {

using C = Command;
using D = Dimension;
using K = ValueKind;

constexpr double kMostInches = 1000.0;
constexpr double kMostMhz = 1.0e6;
constexpr double kMostOhms = 1.0e4;

constexpr Quantity kB{"ground-plane spacing B", D::length, 0.0, false, kMostInches};
constexpr Quantity kT{"strip thickness T", D::length, 0.0, true, kMostInches, false, true};
constexpr Quantity kW{"strip width W", D::length, 0.0, false, kMostInches};
constexpr Quantity kS{"strip spacing S", D::length, 0.0, false, kMostInches};
constexpr Quantity kH{"height H of the strips' mid-plane above the lower plane", D::length, 0.0,
                      false, kMostInches};
constexpr Quantity kSv{"vertical gap SV between the strips", D::length, 0.0, false, kMostInches};
constexpr Quantity kWo{"sideways offset WO of the strips' centre lines", D::length, 0.0, true,
                       kMostInches};
constexpr Quantity kMinGap{"least gap the fab makes", D::length, 0.0, true, kMostInches};
constexpr Quantity kMinWidth{"least strip width the fab makes", D::length, 0.0, true, kMostInches};
constexpr Quantity kEr{"relative permittivity Er", D::pure, 1.0, true, 1000.0};
constexpr Quantity kTand{"dielectric loss tangent", D::pure, 0.0, true, 1.0};
constexpr Quantity kRoughness{"RMS surface roughness", D::length, 0.0, true, 0.001};
constexpr Quantity kResistivity{"conductor resistivity in micro-ohm-cm", D::pure, 0.0, true, 1.0e6};
constexpr Quantity kFrequency{"frequency", D::frequency, 0.0, false, kMostMhz};
constexpr Quantity kZo{"coupler impedance Zo", D::impedance, 0.0, false, kMostOhms};
constexpr Quantity kZoe{"even-mode impedance Zoe", D::impedance, 0.0, false, kMostOhms};
constexpr Quantity kCoupling{"coupling", D::coupling, 0.0, false, 60.0, true};
constexpr Quantity kLength{"coupler length", D::length, 0.0, false, kMostInches};
constexpr Quantity kTermination{"termination resistance", D::impedance, 0.0, false, kMostOhms};
constexpr Quantity kReference{"reference resistance", D::impedance, 0.0, false, kMostOhms};
constexpr Quantity kFlatness{"coupling flatness", D::coupling, 0.0, false, 20.0};
constexpr Quantity kSections{"number of sections N", D::pure, 1.0, true, 15.0};
constexpr Quantity kRipple{"coupling ripple", D::coupling, 0.0, false, 20.0};
constexpr Quantity kEtch{"etch bias half-width", D::length, 0.0, true, kMostInches};
constexpr Quantity kSamples{"number of samples", D::pure, 1.0, true, 1.0e9};
constexpr Quantity kSeed{"seed", D::pure, 0.0, true, 18446744073709551615.0};
constexpr Quantity kSampleIndex{"sample index", D::pure, 0.0, true, 1.0e9};
constexpr Quantity kTolerance{"relative tolerance of the field solution", D::pure, 1e-10, true,
                              0.01};

constexpr Commands kBoardCommands =
    Commands(C::analyse) | C::synthesise | C::sensitivity | C::field | C::tolerance;
constexpr Commands kSolverCommands = Commands(C::analyse) | C::synthesise | C::response |
                                     C::sensitivity | C::multisection | C::tolerance;
constexpr Commands kChartCommands =
    Commands(C::analyse) | C::synthesise | C::response | C::multisection | C::tolerance;
// A coupler with or without a board, and its loss with one.
constexpr Commands kCouplerCommands = Commands(C::response) | C::multisection;
// What a synthesis is given and limited by.
constexpr Commands kSynthesisCommands = Commands(C::synthesise) | C::multisection;

// The defaults that come from elsewhere, as command-line texts: the
// interactive program's menus and the field solver's own tolerance.
struct DerivedDefaults {
  std::string metal = std::string(menu_entry(kConductorMenu, kDefaultConductorChoice).name);
  std::string roughness = shortest(menu_entry(kRoughnessMenuUin, kDefaultRoughnessChoice)) + "uin";
  std::string tolerance = shortest(static_cast<float>(field::Options{}.tolerance));
};

const DerivedDefaults& derived() {
  static const DerivedDefaults defaults;
  return defaults;
}

using Table = std::array<OptionSpec, kOptionCount>;

Table make_table() {
  const DerivedDefaults& d = derived();
  return {{
      {Opt::b, "b", K::quantity, &kB, "", "", "", kBoardCommands, {}, kCouplerCommands, {}},
      {Opt::t,
       "t",
       K::quantity,
       &kT,
       "",
       "",
       "strip thickness T, at most 0.8 B",
       kBoardCommands,
       {},
       kCouplerCommands,
       {}},
      {Opt::er,
       "er",
       K::quantity,
       &kEr,
       "",
       "",
       "relative permittivity Er of the dielectric",
       kAllCommands,
       {},
       {},
       {}},
      {Opt::w,
       "w",
       K::quantity,
       &kW,
       "",
       "",
       "",
       kGridCommands | C::tolerance,
       {},
       C::response,
       kGridCommands},
      {Opt::s,
       "s",
       K::quantity,
       &kS,
       "",
       "",
       "edge-to-edge strip spacing S (edge, edge-offset)",
       {},
       {},
       kGridCommands | C::response | C::tolerance,
       kGridCommands},
      {Opt::geometry,
       "geometry",
       K::choice,
       nullptr,
       "edge|edge-offset|broadside",
       "edge",
       "where the strips stand: side by side and centred, side by side at height --h, or one "
       "above the other across --sv, offset sideways by --wo (not edge: --solver field)",
       {},
       kAllCommands,
       {},
       {}},
      {Opt::h,
       "h",
       K::quantity,
       &kH,
       "",
       "",
       "height H of the strips' mid-plane above the lower plane (edge-offset)",
       {},
       kAllCommands,
       {},
       kGridCommands},
      {Opt::sv,
       "sv",
       K::quantity,
       &kSv,
       "",
       "",
       "vertical gap SV between the facing surfaces of the strips (broadside)",
       {},
       kAllCommands,
       {},
       kGridCommands},
      {Opt::wo,
       "wo",
       K::quantity,
       &kWo,
       "",
       "0",
       "sideways offset WO between the strips' centre lines (broadside)",
       {},
       kAllCommands,
       {},
       kGridCommands},
      {Opt::solve,
       "solve",
       K::choice,
       nullptr,
       "w,wo|w,sv",
       "w,wo",
       "what a broadside synthesis solves for: W and WO at the given --sv, or W and SV at the "
       "given --wo",
       {},
       kSynthesisCommands,
       {},
       {}},
      {Opt::min_gap,
       "min-gap",
       K::quantity,
       &kMinGap,
       "",
       "",
       "least gap the fab makes (S side by side, SV with --solve w,sv), none when not given",
       {},
       kSynthesisCommands,
       {},
       {}},
      {Opt::min_width,
       "min-width",
       K::quantity,
       &kMinWidth,
       "",
       "",
       "least strip width W the fab makes, none when not given",
       {},
       kSynthesisCommands,
       {},
       {}},
      {Opt::zo,
       "zo",
       K::quantity,
       &kZo,
       "",
       "",
       "coupler impedance Zo (response: with --coupling, a lossless coupler instead of --b --t "
       "--w --s)",
       kSynthesisCommands,
       {},
       C::response,
       {}},
      {Opt::coupling,
       "coupling",
       K::quantity,
       &kCoupling,
       "",
       "",
       "midband coupling, 10 and -10 alike (synthesise: or --zoe)",
       C::multisection,
       {},
       Commands(C::synthesise) | C::response,
       C::synthesise},
      {Opt::zoe,
       "zoe",
       K::quantity,
       &kZoe,
       "",
       "",
       "even-mode impedance Zoe, above Zo (or --coupling)",
       {},
       {},
       C::synthesise,
       C::synthesise},
      {Opt::sections,
       "sections",
       K::quantity,
       &kSections,
       "",
       "",
       "number N of quarter-wave sections, odd",
       C::multisection,
       {},
       {},
       {}},
      {Opt::band,
       "band",
       K::quantity,
       &kFrequency,
       "",
       "",
       "band F1:F2 of an equal-ripple profile, f0 its centre (or --f0 with --ripple or --profile)",
       {},
       {},
       C::multisection,
       {}},
      {Opt::ripple,
       "ripple",
       K::quantity,
       &kRipple,
       "",
       "",
       "ripple of an equal-ripple profile about --f0: the widest band that holds it",
       {},
       {},
       C::multisection,
       {}},
      {Opt::profile,
       "profile",
       K::choice,
       nullptr,
       "equal-ripple|maximally-flat",
       "equal-ripple",
       "coupling profile of the sections: equal ripple over --band or within --ripple, or "
       "maximally flat about --f0",
       {},
       C::multisection,
       {},
       {}},
      {Opt::rho,
       "rho",
       K::resistivity,
       &kResistivity,
       "R|METAL",
       d.metal,
       "conductor resistivity in micro-ohm-cm, or silver, copper, gold, aluminium, brass or "
       "lossless",
       {},
       Commands(C::analyse) | C::tolerance,
       kCouplerCommands,
       {}},
      {Opt::roughness,
       "roughness",
       K::quantity,
       &kRoughness,
       "",
       d.roughness,
       "RMS surface roughness of the conductor",
       {},
       Commands(C::analyse) | C::tolerance,
       kCouplerCommands,
       {}},
      {Opt::tand,
       "tand",
       K::quantity,
       &kTand,
       "",
       "0.0009",
       "",
       {},
       Commands(C::analyse) | C::tolerance,
       kCouplerCommands,
       {}},
      {Opt::f, "f", K::quantity, &kFrequency, "", "1000",
       "frequency of the loss (analyse), or the analysis frequencies (response, multisection)",
       C::response, C::analyse, C::multisection, kCouplerCommands},
      {Opt::length,
       "length",
       K::quantity,
       &kLength,
       "",
       "",
       "coupler length (or --f0)",
       {},
       {},
       C::response,
       {}},
      {Opt::f0,
       "f0",
       K::quantity,
       &kFrequency,
       "",
       "",
       "centre frequency, where the coupler is a quarter wave long in the dielectric (response: "
       "or --length; synthesise: adds the length of each design; multisection: with --ripple or "
       "--profile maximally-flat; tolerance: adds each sample's response there)",
       {},
       Commands(C::synthesise) | C::tolerance,
       kCouplerCommands,
       {}},
      {Opt::rs,
       "rs",
       K::quantity,
       &kTermination,
       "",
       "50",
       "source termination Rs, at ports 1 (input) and 4 (coupled)",
       {},
       kCouplerCommands | C::tolerance,
       {},
       {}},
      {Opt::rl,
       "rl",
       K::quantity,
       &kTermination,
       "",
       "50",
       "load termination Rl, at ports 2 (thru) and 3 (isolated)",
       {},
       kCouplerCommands | C::tolerance,
       {},
       {}},
      {Opt::flatness,
       "flatness",
       K::quantity,
       &kFlatness,
       "",
       "0.5",
       "the band of the summary: where the coupling stays within this of its value at f0",
       {},
       C::response,
       {},
       {}},
      {Opt::vary,
       "vary",
       K::items,
       nullptr,
       "NAME=X",
       "",
       "a varied quantity and its half-width X, a length or X% of the nominal value (w, s, t, "
       "b, er, and h, sv or wo where the geometry has them; a leading +- or \u00b1 is taken); "
       "repeat the option or separate the items by commas",
       {},
       C::tolerance,
       {},
       {}},
      {Opt::etch,
       "etch",
       K::quantity,
       &kEtch,
       "",
       "",
       "half-width of the etch bias of each strip edge: W grows by twice the bias and S shrinks "
       "by as much",
       {},
       C::tolerance,
       {},
       {}},
      {Opt::dist,
       "dist",
       K::choice,
       nullptr,
       "normal|uniform",
       "normal",
       "how each quantity spreads within its half-width: normally, the half-width three "
       "standard deviations, or uniformly",
       {},
       C::tolerance,
       {},
       {}},
      {Opt::limit,
       "limit",
       K::items,
       nullptr,
       "NAME=LO:HI",
       "",
       "a limit every sample must meet: coupling (magnitude, dB), zo, zoe, zoo (ohm), and with "
       "--f0 coupling_f0, return_loss, isolation, directivity (dB); LO: or :HI for one side; "
       "repeat the option or separate the items by commas",
       {},
       C::tolerance,
       {},
       {},
       Reach::everywhere,
       "limits"},
      {Opt::samples,
       "samples",
       K::whole,
       &kSamples,
       "N",
       "",
       "number of samples",
       C::tolerance,
       {},
       {},
       {}},
      {Opt::seed,
       "seed",
       K::whole,
       &kSeed,
       "N",
       "1",
       "seed of the samples: sample i depends only on the seed and i",
       {},
       C::tolerance,
       {},
       {}},
      {Opt::start,
       "start",
       K::whole,
       &kSampleIndex,
       "N",
       "0",
       "index of the first sample computed, for a slice of the run",
       {},
       C::tolerance,
       {},
       {}},
      {Opt::count,
       "count",
       K::whole,
       &kSamples,
       "N",
       "",
       "number of samples computed from --start (default: to the last)",
       {},
       C::tolerance,
       {},
       {}},
      {Opt::samples_output,
       "samples-output",
       K::file,
       nullptr,
       "FILE",
       "",
       "write every sample, its inputs and outputs, to FILE.csv or FILE.json",
       {},
       C::tolerance,
       {},
       {},
       Reach::output},
      {Opt::tol,
       "tol",
       K::quantity,
       &kTolerance,
       "",
       d.tolerance,
       "relative tolerance of each mode impedance of the field solution",
       {},
       C::field,
       {},
       {}},
      {Opt::solver,
       "solver",
       K::choice,
       nullptr,
       "model|field|both",
       "model",
       "the closed-form model, the two-dimensional field solution, or both with the model's "
       "error",
       {},
       kSolverCommands,
       {},
       {}},
      {Opt::touchstone,
       "touchstone",
       K::file,
       nullptr,
       "FILE.s4p",
       "",
       "write the 4x4 scattering matrix as Touchstone 1.1",
       {},
       kCouplerCommands,
       {},
       {},
       Reach::output},
      {Opt::touchstone_format,
       "touchstone-format",
       K::choice,
       nullptr,
       "ma|db|ri",
       "ma",
       "number pairs of the Touchstone file: magnitude and angle, dB and angle, or real and "
       "imaginary",
       {},
       kCouplerCommands,
       {},
       {},
       Reach::output},
      {Opt::touchstone_version,
       "touchstone-version",
       K::choice,
       nullptr,
       "1.1|2",
       "1.1",
       "Touchstone 1.1, every port referenced to --ref; or 2.0, ports 1 and 4 referenced to "
       "--rs and ports 2 and 3 to --rl ([Reference])",
       {},
       kCouplerCommands,
       {},
       {},
       Reach::output},
      {Opt::port_order,
       "port-order",
       K::choice,
       nullptr,
       "isolated-third|coupled-third",
       "isolated-third",
       "numbering of the Touchstone file's ports: 1 input, 2 thru, 3 isolated, 4 coupled; or 1 "
       "input, 2 thru, 3 coupled, 4 isolated",
       {},
       kCouplerCommands,
       {},
       {},
       Reach::output},
      {Opt::ref,
       "ref",
       K::quantity,
       &kReference,
       "",
       "50",
       "reference resistance of every port of the scattering matrix (with --touchstone)",
       {},
       kCouplerCommands,
       {},
       {},
       Reach::touchstone},
      {Opt::plot,
       "plot",
       K::file,
       nullptr,
       "FILE",
       "",
       "draw a chart with gnuplot into FILE.svg, FILE.png or FILE.pdf",
       {},
       kChartCommands,
       {},
       {},
       Reach::output},
      {Opt::table,
       "table",
       K::choice,
       nullptr,
       "sections|response",
       "sections",
       "the table written: the sections, or the coupler's response at --f",
       {},
       C::multisection,
       {},
       {},
       Reach::output},
      {Opt::format,
       "format",
       K::choice,
       nullptr,
       "table|csv|json",
       "table",
       "output format: aligned columns, CSV or JSON",
       {},
       kAllCommands,
       {},
       {},
       Reach::output},
      {Opt::output,
       "output",
       K::file,
       nullptr,
       "FILE",
       "",
       "write the table to FILE instead of standard output",
       {},
       kAllCommands,
       {},
       {},
       Reach::output},
      {Opt::length_unit,
       "length-unit",
       K::choice,
       nullptr,
       "in|mil|mm|um",
       "in",
       "unit of the lengths written out",
       {},
       kAllCommands,
       {},
       {},
       Reach::output},
  }};
}

const Table& table() {
  static const Table t = [] {
    Table made = make_table();
    for (std::size_t i = 0; i < made.size(); ++i) {
      if (static_cast<std::size_t>(made.at(i).id) != i) std::abort();  // out of order
    }
    return made;
  }();
  return t;
}

std::string_view value_letter(Dimension d) {
  switch (d) {
    case D::length:
      return "L";
    case D::frequency:
      return "F";
    case D::impedance:
      return "Z";
    case D::coupling:
      return "DB";
    case D::pure:
      break;
  }
  return "X";
}

// "above 0, up to 1000 in", "from 1 to 1000"
std::string range_help(const Quantity& q) {
  const std::string unit(base_unit(q.dimension));
  const std::string most = number_as_text(q.most, "", D::pure) + (unit.empty() ? "" : " " + unit);
  const std::string least = number_as_text(q.least, "", D::pure);
  return (q.signless ? "magnitude " : "") +
         (q.least_allowed ? "from " + least + " to " + most : "above " + least + ", up to " + most);
}

std::string need_text(const OptionSpec& o, Command c) {
  if (o.required.has(c)) return "required";
  // Frequencies that make a form of a command (multisection --f) have no
  // default: without them the form is not taken.
  if (!o.has_default() || (o.alternative.has(c) && o.ranges.has(c))) return "";
  return "default " + std::string(o.fallback);
}

}  // namespace

const OptionSpec& option(Opt id) {
  return table().at(static_cast<std::size_t>(id));
}

std::span<const OptionSpec> options() {
  return table();
}

const OptionSpec* option_named(std::string_view name) {
  // A scripting call looks its arguments up by name on every call.
  static const std::unordered_map<std::string_view, const OptionSpec*> by_name = [] {
    std::unordered_map<std::string_view, const OptionSpec*> made;
    for (const OptionSpec& o : table()) made.emplace(o.name, &o);
    return made;
  }();
  const auto it = by_name.find(name);
  return it == by_name.end() ? nullptr : it->second;
}

const std::string& dashed(const OptionSpec& o) {
  static const std::array<std::string, kOptionCount> names = [] {
    std::array<std::string, kOptionCount> made;
    for (const OptionSpec& entry : table()) {
      made.at(static_cast<std::size_t>(entry.id)) = "--" + std::string(entry.name);
    }
    return made;
  }();
  return names.at(static_cast<std::size_t>(o.id));
}

std::string value_name(const OptionSpec& o, Command command) {
  if (o.kind != K::quantity) return std::string(o.choices);
  std::string letter(value_letter(o.quantity->dimension));
  if (o.id == Opt::band) return letter + ":" + letter;  // two edges, no step
  if (!o.ranges.has(command)) return letter;
  return letter + "[:" + letter + ":" + letter + "]";
}

std::string units_help(const Quantity& q) {
  if (q.dimension != D::length && q.dimension != D::frequency) return "";
  const std::string ounces = q.copper_weight ? ", or oz of copper, 1 oz = 1.37 mil" : "";
  return std::string(units_listed(q.dimension)) + ounces +
         "; bare: " + std::string(base_unit(q.dimension));
}

std::string described(const OptionSpec& o, Command command) {
  std::string text(o.help.empty() ? o.quantity->what : o.help);
  if (o.kind == K::quantity) {
    text += ": " + range_help(*o.quantity);
    const std::string units = units_help(*o.quantity);
    if (!units.empty()) text += " (" + units + ")";
    if (o.ranges.has(command)) text += ", or a range start:stop:step";
  }
  return text;
}

std::string help_text(const OptionSpec& o, Command command) {
  std::string text = described(o, command);
  const std::string need = need_text(o, command);
  if (!need.empty()) text += "; " + need;
  return text;
}

std::string missing_value_message(const OptionSpec& o, Command command) {
  return dashed(o) + ": the value is missing; expected " + value_name(o, command) + ", " +
         help_text(o, command);
}

}  // namespace ketrovane::batch
