#include "commands/options.hpp"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <unordered_map>
#include <vector>

#include "commands/dimension_words.hpp"
#include "commands/number_format.hpp"
#include "design/arrangements.hpp"
#include "design/conductor_menus.hpp"
#include "field/field_solver.hpp"

namespace ketrovane::commands {

namespace {

using C = Command;
using D = Dimension;
using K = ValueKind;

constexpr double kMostInches = 1000.0;
constexpr double kMostMhz = 1.0e6;
constexpr double kMostOhms = 1.0e4;

constexpr Quantity kB{.what = "ground-plane spacing B",
                      .dimension = D::length,
                      .least = 0.0,
                      .least_allowed = false,
                      .most = kMostInches};
constexpr Quantity kT{.what = "strip thickness T",
                      .dimension = D::length,
                      .least = 0.0,
                      .least_allowed = true,
                      .most = kMostInches,
                      .copper_weight = true};
constexpr Quantity kMinGap{.what = "least gap the fab makes",
                           .dimension = D::length,
                           .least = 0.0,
                           .least_allowed = true,
                           .most = kMostInches};
constexpr Quantity kMinWidth{.what = "least strip width the fab makes",
                             .dimension = D::length,
                             .least = 0.0,
                             .least_allowed = true,
                             .most = kMostInches};
constexpr Quantity kEr{.what = "relative permittivity Er",
                       .dimension = D::pure,
                       .least = 1.0,
                       .least_allowed = true,
                       .most = 1000.0};
constexpr Quantity kTand{.what = "dielectric loss tangent",
                         .dimension = D::pure,
                         .least = 0.0,
                         .least_allowed = true,
                         .most = 1.0};
constexpr Quantity kRoughness{.what = "RMS surface roughness",
                              .dimension = D::length,
                              .least = 0.0,
                              .least_allowed = true,
                              .most = 0.001};
constexpr Quantity kResistivity{.what = "conductor resistivity in micro-ohm-cm",
                                .dimension = D::pure,
                                .least = 0.0,
                                .least_allowed = true,
                                .most = 1.0e6};
constexpr Quantity kFrequency{.what = "frequency",
                              .dimension = D::frequency,
                              .least = 0.0,
                              .least_allowed = false,
                              .most = kMostMhz};
constexpr Quantity kZo{.what = "coupler impedance Zo",
                       .dimension = D::impedance,
                       .least = 0.0,
                       .least_allowed = false,
                       .most = kMostOhms};
constexpr Quantity kZoe{.what = "even-mode impedance Zoe",
                        .dimension = D::impedance,
                        .least = 0.0,
                        .least_allowed = false,
                        .most = kMostOhms};
constexpr Quantity kCoupling{.what = "coupling",
                             .dimension = D::coupling,
                             .least = 0.0,
                             .least_allowed = false,
                             .most = 60.0,
                             .signless = true};
constexpr Quantity kLength{.what = "coupler length",
                           .dimension = D::length,
                           .least = 0.0,
                           .least_allowed = false,
                           .most = kMostInches};
constexpr Quantity kTermination{.what = "termination resistance",
                                .dimension = D::impedance,
                                .least = 0.0,
                                .least_allowed = false,
                                .most = kMostOhms};
constexpr Quantity kReference{.what = "reference resistance",
                              .dimension = D::impedance,
                              .least = 0.0,
                              .least_allowed = false,
                              .most = kMostOhms};
constexpr Quantity kFlatness{.what = "coupling flatness",
                             .dimension = D::coupling,
                             .least = 0.0,
                             .least_allowed = false,
                             .most = 20.0};
constexpr Quantity kSections{.what = "number of sections N",
                             .dimension = D::pure,
                             .least = 1.0,
                             .least_allowed = true,
                             .most = 15.0};
constexpr Quantity kRipple{.what = "coupling ripple",
                           .dimension = D::coupling,
                           .least = 0.0,
                           .least_allowed = false,
                           .most = 20.0};
constexpr Quantity kEtch{.what = "etch bias half-width",
                         .dimension = D::length,
                         .least = 0.0,
                         .least_allowed = true,
                         .most = kMostInches};
constexpr Quantity kSamples{.what = "number of samples",
                            .dimension = D::pure,
                            .least = 1.0,
                            .least_allowed = true,
                            .most = 1.0e9};
constexpr Quantity kSeed{.what = "seed",
                         .dimension = D::pure,
                         .least = 0.0,
                         .least_allowed = true,
                         .most = 18446744073709551615.0};
constexpr Quantity kSampleIndex{.what = "sample index",
                                .dimension = D::pure,
                                .least = 0.0,
                                .least_allowed = true,
                                .most = 1.0e9};
constexpr Quantity kLayerNumber{.what = "layer number",
                                .dimension = D::pure,
                                .least = 1.0,
                                .least_allowed = true,
                                .most = field::kMostLayers};
constexpr Quantity kLeadIsolation{.what = "isolation of the feed lines",
                                  .dimension = D::coupling,
                                  .least = 0.0,
                                  .least_allowed = false,
                                  .most = 100.0,
                                  .signless = true};
constexpr Quantity kLeadLength{.what = "feed line length after the bends",
                               .dimension = D::length,
                               .least = 0.0,
                               .least_allowed = false,
                               .most = kMostInches};
constexpr Quantity kModelThreads{.what = "number of threads of the full-wave run",
                                 .dimension = D::pure,
                                 .least = 0.0,
                                 .least_allowed = true,
                                 .most = 1024.0};
constexpr Quantity kTolerance{.what = "relative tolerance of the field solution",
                              .dimension = D::pure,
                              .least = 1e-10,
                              .least_allowed = true,
                              .most = 0.01};

constexpr Commands kBoardCommands = Commands(C::analyse) | C::synthesise | C::sensitivity |
                                    C::field | C::tolerance | kLayoutCommands;
constexpr Commands kSolverCommands = Commands(C::analyse) | C::synthesise | C::response |
                                     C::sensitivity | C::multisection | C::tolerance |
                                     kLayoutCommands;
constexpr Commands kChartCommands =
    Commands(C::analyse) | C::synthesise | C::response | C::multisection | C::tolerance;
// A coupler with or without a board, and its loss with one.
constexpr Commands kCouplerCommands = Commands(C::response) | C::multisection;
// What a synthesis is given and limited by.
constexpr Commands kSynthesisCommands = Commands(C::synthesise) | C::multisection;
// What may stand on a stack of layers.
constexpr Commands kStackCommands =
    kGridCommands | C::response | kSynthesisCommands | C::tolerance | kLayoutCommands;
// What writes a coupler's artwork (--layout), and what draws it.
constexpr Commands kArtworkCommands = kCouplerCommands | C::synthesise | kLayoutCommands;

bool in_every_arrangement(const StripDimension& d) {
  return std::ranges::all_of(arrangements(), [&](const ArrangementSpec& a) { return a.has(d); });
}

// The defaults that come from elsewhere, as command-line texts: the
// interactive program's menus and the field solver's own tolerance; and
// the choices of --geometry and the help of the dimensions' options, from
// the arrangements of the strips.
struct DerivedDefaults {
  std::string metal = std::string(menu_entry(kConductorMenu, kDefaultConductorChoice).name);
  std::string roughness = shortest(menu_entry(kRoughnessMenuUin, kDefaultRoughnessChoice)) + "uin";
  std::string tolerance = shortest(static_cast<float>(field::Options{}.tolerance));
  // From the arrangements of the strips.
  std::string geometries = geometry_choices();
  std::string geometry_help = where_strips_stand();
  std::string solve_choices = solve_choice_list();
  std::string solve_help = what_synthesis_solves_for();
  std::string vary_help = what_may_vary();
  // Each dimension's quantity and option phrase, in the order of dimensions().
  std::array<Quantity, kDimensionCount> dimension_quantities = quantities_of_dimensions();
  std::array<std::string, kDimensionCount> dimension_help = help_of_dimensions();

 private:
  // "edge|edge-offset|broadside"
  static std::string geometry_choices() {
    std::string text;
    for (const ArrangementSpec& a : arrangements()) {
      if (!text.empty()) text += "|";
      text += a.name;
    }
    return text;
  }
  // What each arrangement is, and which need the field solver.
  static std::string where_strips_stand() {
    const std::span<const ArrangementSpec> all = arrangements();
    std::string text = "where the strips stand: ";
    std::string on_model;
    for (std::size_t i = 0; i < all.size(); ++i) {
      if (i > 0) text += i + 1 == all.size() ? (all.size() > 2 ? ", or " : " or ") : ", ";
      text += all[i].words;
      if (all[i].on_model) on_model += (on_model.empty() ? "" : ", ") + std::string(all[i].name);
    }
    return text + " (not " + on_model + ": --solver field)";
  }
  // The phrase of a dimension's option with the arrangements that have it:
  // "height H ... (edge-offset)"; none (the quantity's words) for one every
  // arrangement has.
  static std::array<std::string, kDimensionCount> help_of_dimensions() {
    std::array<std::string, kDimensionCount> made;
    for (const StripDimension* d : dimensions()) {
      if (in_every_arrangement(*d)) continue;
      std::string names;
      for (const ArrangementSpec& a : arrangements()) {
        if (a.has(*d)) names += (names.empty() ? "" : ", ") + std::string(a.name);
      }
      const std::string_view phrase = d->input.help.empty() ? d->input.what : d->input.help;
      made.at(dimension_index(*d)) = std::string(phrase) + " (" + names + ")";
    }
    return made;
  }
  // A length above zero (or from zero) up to the most inches of any length.
  static std::array<Quantity, kDimensionCount> quantities_of_dimensions() {
    std::array<Quantity, kDimensionCount> made{};
    for (const StripDimension* d : dimensions()) {
      made.at(dimension_index(*d)) = {.what = d->input.what,
                                      .dimension = D::length,
                                      .least = 0.0,
                                      .least_allowed = d->input.zero_allowed,
                                      .most = kMostInches};
    }
    return made;
  }
  // "a varied quantity ... (w, s, t, b, er, and h, sv or wo where the
  // geometry has them; ...)": the quantities in the order of their streams.
  static std::string what_may_vary() {
    return "a varied quantity and its half-width X, a length or X% of the nominal value (" +
           varied_quantities_listed() +
           " where the geometry has them, and etch; a leading +- or \u00b1 is taken); BIAS\u00b1X "
           "moves the nominal value by BIAS, +X/-Y reaches X above and Y below it; :uniform, "
           ":normal or :normalK (X is K standard deviations, no draw past it) its own law; an "
           "item lot:Y after it adds a share drawn once per --lot-size samples; repeat the "
           "option or separate the items by commas";
  }
  // What synthesis may solve for beside the width where it is told which,
  // in the order of field::SynthesisUnknowns.
  static std::vector<const StripDimension*> chosen_unknowns() {
    std::vector<const StripDimension*> solved;
    for (const ArrangementSpec& a : arrangements()) {
      if (!a.chooses_unknowns()) continue;
      for (const StripDimension* d : a.dimensions) {
        if (d->solved_with_width && std::ranges::find(solved, d) == solved.end()) {
          solved.push_back(d);
        }
      }
    }
    std::ranges::sort(solved, {}, [](const StripDimension* d) { return *d->solved_with_width; });
    return solved;
  }
  // "w,wo|w,sv": the first the default.
  static std::string solve_choice_list() {
    std::string text;
    for (const StripDimension* d : chosen_unknowns()) {
      if (!text.empty()) text += "|";
      text += std::string(strip_width().name) + "," + std::string(d->name);
    }
    return text;
  }
  // "what a broadside synthesis solves for: W and WO at the given --sv, or ..."
  static std::string what_synthesis_solves_for() {
    const std::vector<const StripDimension*> solved = chosen_unknowns();
    std::string text =
        "what a " +
        arrangements_where([](const ArrangementSpec& a) { return a.chooses_unknowns(); }) +
        " synthesis solves for: ";
    for (std::size_t i = 0; i < solved.size(); ++i) {
      if (i > 0) text += i + 1 == solved.size() ? ", or " : ", ";
      std::vector<std::string> given;
      for (const StripDimension* other : solved) {
        if (other != solved[i]) given.push_back("--" + std::string(other->name));
      }
      text += std::string(strip_width().symbol) + " and " + std::string(solved[i]->symbol) +
              " at the given " + listed(given);
    }
    return text;
  }
};

const DerivedDefaults& derived() {
  static const DerivedDefaults defaults;
  return defaults;
}

using Table = std::array<OptionSpec, kOptionCount>;

// "w,wo" of "w,wo|w,sv"
std::string_view first_choice(std::string_view choices) {
  return choices.substr(0, choices.find('|'));
}

// The option of a dimension.  One that every arrangement has is required
// wherever rows are given their dimensions (response takes a lossless
// coupler instead); one of the model's cross-section that only some
// arrangements have is one of a group; one of the placement may be given to
// any command, and the arrangement says whether it is needed.
OptionSpec dimension_option(const StripDimension& dimension, Opt id) {
  const DerivedDefaults& d = derived();
  const std::size_t i = dimension_index(dimension);
  OptionSpec o{.id = id,
               .name = dimension.name,
               .kind = K::quantity,
               .quantity = &d.dimension_quantities.at(i),
               .fallback = dimension.input.fallback,
               .help = d.dimension_help.at(i),
               .ranges = kGridCommands};
  if (in_every_arrangement(dimension)) {
    o.required = kGridCommands | kLayoutCommands;
    o.alternative = Commands(C::response) | C::tolerance;
  } else if (dimension.of_placement()) {
    o.optional = kAllCommands;
  } else {
    o.alternative = kGridCommands | C::response | C::tolerance | kLayoutCommands;
  }
  return o;
}

// The options of the dimensions of the model's cross-section, or of those
// of the placement, each its Opt from its place among the dimensions.
void add_dimension_options(std::vector<OptionSpec>& made, bool of_placement) {
  for (const StripDimension* dimension : dimensions()) {
    if (dimension->of_placement() != of_placement) continue;
    made.push_back(dimension_option(*dimension, option_of(*dimension)));
  }
}

std::vector<OptionSpec> board_options() {
  return {
      {.id = Opt::b,
       .name = "b",
       .kind = K::quantity,
       .quantity = &kB,
       .required = kBoardCommands,
       .alternative = kCouplerCommands,
       .from_layers = true},
      {.id = Opt::t,
       .name = "t",
       .kind = K::quantity,
       .quantity = &kT,
       .help = "strip thickness T, at most 0.8 B",
       .required = kBoardCommands,
       .alternative = kCouplerCommands},
      {.id = Opt::er,
       .name = "er",
       .kind = K::quantity,
       .quantity = &kEr,
       .help = "relative permittivity Er of the dielectric",
       .required = kAllCommands,
       .from_layers = true},
      {.id = Opt::layers,
       .name = "layers",
       .kind = K::layers,
       .choices = "D:ER[:TAND],...|@FILE",
       .help = "the dielectric layers between the planes, bottom to top, instead of --b and --er: "
               "each one's thickness, Er and loss tangent (else --tand), or a file of them, one "
               "a line (--solver field)",
       .optional = kStackCommands},
      {.id = Opt::strips_on,
       .name = "strips-on",
       .kind = K::whole,
       .quantity = &kLayerNumber,
       .choices = "N",
       .help = "with --layers, strips side by side: on the upper face of layer N, the copper "
               "growing into layer N+1",
       .optional = kStackCommands},
      {.id = Opt::core,
       .name = "core",
       .kind = K::whole,
       .quantity = &kLayerNumber,
       .choices = "N",
       .help = "with --layers, strips one above the other: on both faces of layer N, whose "
               "thickness is SV",
       .optional = kStackCommands},
  };
}

// --geometry, and the options after the dimensions'.
OptionSpec geometry_option() {
  const DerivedDefaults& d = derived();
  return {.id = Opt::geometry,
          .name = "geometry",
          .kind = K::choice,
          .choices = d.geometries,
          .fallback = "edge",
          .help = d.geometry_help,
          .optional = kAllCommands};
}

std::vector<OptionSpec> other_options() {
  const DerivedDefaults& d = derived();
  return {
      {.id = Opt::solve,
       .name = "solve",
       .kind = K::choice,
       .choices = d.solve_choices,
       .fallback = first_choice(d.solve_choices),
       .help = d.solve_help,
       .optional = kSynthesisCommands},
      {.id = Opt::min_gap,
       .name = "min-gap",
       .kind = K::quantity,
       .quantity = &kMinGap,
       .help =
           "least gap the fab makes (S side by side, SV with --solve w,sv), none when not given",
       .optional = kSynthesisCommands | kLayoutCommands | C::tolerance},
      {.id = Opt::min_width,
       .name = "min-width",
       .kind = K::quantity,
       .quantity = &kMinWidth,
       .help = "least strip width W the fab makes, none when not given",
       .optional = kSynthesisCommands | kLayoutCommands | C::tolerance},
      {.id = Opt::zo,
       .name = "zo",
       .kind = K::quantity,
       .quantity = &kZo,
       .help =
           "coupler impedance Zo (response: with --coupling, a lossless coupler instead of --b --t "
           "--w --s)",
       .required = kSynthesisCommands,
       .alternative = Commands(C::response) | C::tolerance},
      {.id = Opt::coupling,
       .name = "coupling",
       .kind = K::quantity,
       .quantity = &kCoupling,
       .help = "midband coupling, 10 and -10 alike (synthesise: or --zoe)",
       .required = C::multisection,
       .alternative = Commands(C::synthesise) | C::response | C::tolerance,
       .ranges = C::synthesise},
      {.id = Opt::zoe,
       .name = "zoe",
       .kind = K::quantity,
       .quantity = &kZoe,
       .help = "even-mode impedance Zoe, above Zo (or --coupling)",
       .alternative = C::synthesise,
       .ranges = C::synthesise},
      {.id = Opt::sections,
       .name = "sections",
       .kind = K::quantity,
       .quantity = &kSections,
       .help = "number N of quarter-wave sections, odd",
       .required = C::multisection,
       .alternative = C::tolerance},
      {.id = Opt::band,
       .name = "band",
       .kind = K::quantity,
       .quantity = &kFrequency,
       .help = "band F1:F2 of an equal-ripple profile, f0 its centre (or --f0 with --ripple or "
               "--profile)",
       .alternative = Commands(C::multisection) | C::tolerance},
      {.id = Opt::ripple,
       .name = "ripple",
       .kind = K::quantity,
       .quantity = &kRipple,
       .help = "ripple of an equal-ripple profile about --f0: the widest band that holds it",
       .alternative = Commands(C::multisection) | C::tolerance},
      {.id = Opt::profile,
       .name = "profile",
       .kind = K::choice,
       .choices = "equal-ripple|maximally-flat",
       .fallback = "equal-ripple",
       .help = "coupling profile of the sections: equal ripple over --band or within --ripple, or "
               "maximally flat about --f0",
       .optional = Commands(C::multisection) | C::tolerance},
      {.id = Opt::rho,
       .name = "rho",
       .kind = K::resistivity,
       .quantity = &kResistivity,
       .choices = "R|METAL",
       .fallback = d.metal,
       .help =
           "conductor resistivity in micro-ohm-cm, or silver, copper, gold, aluminium, brass or "
           "lossless",
       .optional = Commands(C::analyse) | C::tolerance,
       .alternative = kCouplerCommands},
      {.id = Opt::roughness,
       .name = "roughness",
       .kind = K::quantity,
       .quantity = &kRoughness,
       .fallback = d.roughness,
       .help = "RMS surface roughness of the conductor",
       .optional = Commands(C::analyse) | C::tolerance,
       .alternative = kCouplerCommands},
      {.id = Opt::tand,
       .name = "tand",
       .kind = K::quantity,
       .quantity = &kTand,
       .fallback = "0.0009",
       .optional = Commands(C::analyse) | C::tolerance,
       .alternative = kCouplerCommands},
      {.id = Opt::f,
       .name = "f",
       .kind = K::quantity,
       .quantity = &kFrequency,
       .fallback = "1000",
       .help =
           "frequency of the loss (analyse), or the analysis frequencies (response, multisection)",
       .required = C::response,
       .optional = C::analyse,
       .alternative = C::multisection,
       .ranges = kCouplerCommands},
      {.id = Opt::length,
       .name = "length",
       .kind = K::quantity,
       .quantity = &kLength,
       .help = "coupler length (or --f0)",
       .alternative = Commands(C::response) | kLayoutCommands},
      {.id = Opt::f0,
       .name = "f0",
       .kind = K::quantity,
       .quantity = &kFrequency,
       .help = "centre frequency, where the coupler is a quarter wave long in the dielectric "
               "(response: "
               "or --length; synthesise: adds the length of each design; multisection: with "
               "--ripple or "
               "--profile maximally-flat; tolerance: adds each sample's response there)",
       .optional = Commands(C::synthesise) | C::tolerance,
       .alternative = kCouplerCommands | kLayoutCommands},
      {.id = Opt::rs,
       .name = "rs",
       .kind = K::quantity,
       .quantity = &kTermination,
       .fallback = "50",
       .help = "source termination Rs, at ports 1 (input) and 4 (coupled)",
       .optional = kCouplerCommands | C::tolerance | kLayoutCommands},
      {.id = Opt::rl,
       .name = "rl",
       .kind = K::quantity,
       .quantity = &kTermination,
       .fallback = "50",
       .help = "load termination Rl, at ports 2 (thru) and 3 (isolated)",
       .optional = kCouplerCommands | C::tolerance | kLayoutCommands},
      {.id = Opt::flatness,
       .name = "flatness",
       .kind = K::quantity,
       .quantity = &kFlatness,
       .fallback = "0.5",
       .help = "the band of the summary: where the coupling stays within this of its value at f0",
       .optional = C::response},
      {.id = Opt::vary,
       .name = "vary",
       .kind = K::items,
       .choices = "NAME=X",
       .help = d.vary_help,
       .optional = C::tolerance},
      {.id = Opt::etch,
       .name = "etch",
       .kind = K::quantity,
       .quantity = &kEtch,
       .help = "half-width of the etch bias of each strip edge: W grows by twice the bias and S "
               "shrinks "
               "by as much",
       .optional = C::tolerance},
      {.id = Opt::dist,
       .name = "dist",
       .kind = K::choice,
       .choices = "normal|uniform",
       .fallback = "normal",
       .help = "how each quantity spreads within its half-width: normally, the half-width three "
               "standard deviations, or uniformly",
       .optional = C::tolerance},
      {.id = Opt::correlate,
       .name = "correlate",
       .kind = K::items,
       .choices = "A,B=R",
       .help = "correlate the draws of two varied quantities by R (-1 < R < 1) through the "
               "Cholesky factor of the correlation matrix, which must be positive definite; "
               "repeat the option or separate the items by commas",
       .optional = C::tolerance},
      {.id = Opt::lot_size,
       .name = "lot-size",
       .kind = K::whole,
       .quantity = &kSamples,
       .choices = "N",
       .help = "samples per lot: a quantity's lot share (--vary NAME=X,lot:Y) is drawn once per N "
               "consecutive samples, and the yield of each lot is reported",
       .optional = C::tolerance},
      {.id = Opt::attribution,
       .name = "attribution",
       .kind = K::choice,
       .choices = "off|on",
       .fallback = "off",
       .help = "on: evaluate each sample again with each varied quantity at its nominal value "
               "and report each one's yield held nominal and share of each limited outcome's "
               "variance (one more evaluation per quantity per sample)",
       .optional = C::tolerance},
      {.id = Opt::limit,
       .name = "limit",
       .kind = K::items,
       .choices = "NAME=LOW:HIGH",
       .help =
           "a limit every sample must meet, LOW <= value <= HIGH in the sign the table prints: "
           "coupling (dB, negative: -10.5:-9.5; positive ends are magnitudes, 9.5:10.5 the same), "
           "zo, zoe, zoo (ohm), and with --f0 coupling_f0, return_loss, isolation, directivity "
           "(dB); with --sections the band's deviation, directivity, return_loss (dB, the worst "
           "over the band); LOW: (at least) or :HIGH (at most) for one side, LOW above HIGH "
           "refused; repeat the option or separate the items by commas",
       .optional = C::tolerance,
       .python_keyword = "limits"},
      {.id = Opt::samples,
       .name = "samples",
       .kind = K::whole,
       .quantity = &kSamples,
       .choices = "N",
       .help = "number of samples",
       .required = C::tolerance},
      {.id = Opt::seed,
       .name = "seed",
       .kind = K::whole,
       .quantity = &kSeed,
       .choices = "N",
       .fallback = "1",
       .help = "seed of the samples: sample i depends only on the seed and i",
       .optional = C::tolerance},
      {.id = Opt::start,
       .name = "start",
       .kind = K::whole,
       .quantity = &kSampleIndex,
       .choices = "N",
       .fallback = "0",
       .help = "index of the first sample computed, for a slice of the run",
       .optional = C::tolerance},
      {.id = Opt::count,
       .name = "count",
       .kind = K::whole,
       .quantity = &kSamples,
       .choices = "N",
       .help = "number of samples computed from --start (default: to the last)",
       .optional = C::tolerance},
      {.id = Opt::samples_output,
       .name = "samples-output",
       .kind = K::file,
       .choices = "FILE",
       .help = "write every sample, its inputs and outputs, to FILE.csv or FILE.json",
       .optional = C::tolerance,
       .reach = Reach::output},
      {.id = Opt::combine,
       .name = "combine",
       .kind = K::file,
       .choices = "FILE",
       .help = "the statistics of the whole run from the --samples-output FILE.json of its "
               "slices (--start, --count), in any order, without a gap or an overlap; the run's "
               "options come from the files",
       .optional = C::tolerance,
       .reach = Reach::output},
      {.id = Opt::tol,
       .name = "tol",
       .kind = K::quantity,
       .quantity = &kTolerance,
       .fallback = d.tolerance,
       .help = "relative tolerance of each mode impedance of the field solution",
       .optional = C::field},
      {.id = Opt::solver,
       .name = "solver",
       .kind = K::choice,
       .choices = "model|field|both",
       .fallback = "model",
       .help =
           "the closed-form model, the two-dimensional field solution, or both with the model's "
           "error",
       .optional = kSolverCommands},
      {.id = Opt::touchstone,
       .name = "touchstone",
       .kind = K::file,
       .choices = "FILE.s4p",
       .help = "write the 4x4 scattering matrix as Touchstone 1.1",
       .optional = kCouplerCommands,
       .reach = Reach::output},
      {.id = Opt::touchstone_format,
       .name = "touchstone-format",
       .kind = K::choice,
       .choices = "ma|db|ri",
       .fallback = "ma",
       .help =
           "number pairs of the Touchstone file: magnitude and angle, dB and angle, or real and "
           "imaginary",
       .optional = kCouplerCommands,
       .reach = Reach::output},
      {.id = Opt::touchstone_version,
       .name = "touchstone-version",
       .kind = K::choice,
       .choices = "1.1|2",
       .fallback = "1.1",
       .help =
           "Touchstone 1.1, every port referenced to --ref; or 2.0, ports 1 and 4 referenced to "
           "--rs and ports 2 and 3 to --rl ([Reference])",
       .optional = kCouplerCommands,
       .reach = Reach::output},
      {.id = Opt::port_order,
       .name = "port-order",
       .kind = K::choice,
       .choices = "isolated-third|coupled-third",
       .fallback = "isolated-third",
       .help =
           "numbering of the ports, of the Touchstone file and of the artwork's pads: 1 input, 2 "
           "thru, 3 isolated, 4 coupled; or 1 input, 2 thru, 3 coupled, 4 isolated",
       .optional = kArtworkCommands,
       .reach = Reach::artwork},
      {.id = Opt::layout,
       .name = "layout",
       .kind = K::file,
       .choices = "FILE",
       .help = "write the coupler's copper artwork, its feed lines and pads numbered as the ports, "
               "to FILE.kicad_mod (a KiCad footprint), FILE.gbr (Gerber X2, one file per copper "
               "layer: with two, FILE-In1_Cu.gbr and FILE-In2_Cu.gbr, the layer's '.' as '_'), "
               "FILE.dxf, or a dimensioned picture FILE.svg or FILE.png (gnuplot)",
       .optional = kArtworkCommands,
       .reach = Reach::output},
      {.id = Opt::bend,
       .name = "bend",
       .kind = K::choice,
       .choices = "mitre|arc",
       .fallback = "mitre",
       .help = "the feed lines' bends: mitred 45-degree corners, or arcs of twice the line's width",
       .optional = kArtworkCommands,
       .reach = Reach::artwork},
      {.id = Opt::lead_isolation,
       .name = "lead-isolation",
       .kind = K::quantity,
       .quantity = &kLeadIsolation,
       .fallback = "40",
       .help = "how weakly the two feed lines at each end couple once turned away (field solution)",
       .optional = kArtworkCommands,
       .reach = Reach::artwork},
      {.id = Opt::lead_length,
       .name = "lead-length",
       .kind = K::quantity,
       .quantity = &kLeadLength,
       .fallback = "0.1in",
       .help = "the straight run of each feed line after its bends, to the centre of its pad",
       .optional = kArtworkCommands,
       .reach = Reach::artwork},
      {.id = Opt::copper_layers,
       .name = "copper-layers",
       .kind = K::file,
       .choices = "A[,B]",
       .help = "the artwork's copper layers as KiCad names them: one side by side; two one above "
               "the other, the upper first (F.Cu,B.Cu when not given)",
       .optional = kArtworkCommands,
       .reach = Reach::artwork},
      // The full-wave model of the coupler as laid out, and its run.
      {.id = Opt::fullwave,
       .name = "fullwave",
       .kind = K::file,
       .choices = "DIR",
       .help = "write the coupler as laid out as a full-wave model into DIR: DIR/coupler.py, an "
               "openEMS script (Debian: python3-openems) run as /usr/bin/python3 DIR/coupler.py "
               "[--mesh coarse|fine] [--threads N], and DIR/README.txt",
       .required = C::fullwave,
       .optional = kCouplerCommands | C::synthesise | C::layout,
       .reach = Reach::output},
      {.id = Opt::run,
       .name = "run",
       .kind = K::choice,
       .choices = "off|on",
       .fallback = "off",
       .help = "on: run the --fullwave model (Debian: python3-openems) and report the coupler as "
               "laid out beside the ideal section: its band summary, its Touchstone file and "
               "chart",
       .optional = C::response},
      {.id = Opt::mesh,
       .name = "mesh",
       .kind = K::choice,
       .choices = "coarse|fine|both",
       .fallback = "coarse",
       .help = "the full-wave run's mesh; both: coarse then fine, the change between them as the "
               "figures' uncertainty",
       .optional = C::response},
      {.id = Opt::threads,
       .name = "threads",
       .kind = K::whole,
       .quantity = &kModelThreads,
       .choices = "N",
       .fallback = "0",
       .help = "threads of the full-wave run; 0 for openEMS's own choice",
       .optional = C::response},
      {.id = Opt::compensate,
       .name = "compensate",
       .kind = K::choice,
       .choices = "off|on|measured",
       .fallback = "off",
       .help = "on: shorten the end sections by the coupled length the diverging feed lines add "
               "(field solution along the legs), so that the coupler as laid out couples most at "
               "f0; measured (response with --run on): shorten the section until the --fullwave "
               "model's coupling peaks within 0.3 % of f0, each length from the runs before, at "
               "most four runs",
       .optional = kArtworkCommands,
       .reach = Reach::artwork},
      {.id = Opt::ref,
       .name = "ref",
       .kind = K::quantity,
       .quantity = &kReference,
       .fallback = "50",
       .help = "reference resistance of every port of the scattering matrix (with --touchstone)",
       .optional = kCouplerCommands,
       .reach = Reach::touchstone},
      {.id = Opt::plot,
       .name = "plot",
       .kind = K::file,
       .choices = "FILE",
       .help = "draw a chart with gnuplot into FILE.svg, FILE.png or FILE.pdf",
       .optional = kChartCommands,
       .reach = Reach::output},
      {.id = Opt::table,
       .name = "table",
       .kind = K::choice,
       .choices = "sections|response",
       .fallback = "sections",
       .help = "the table written: the sections, or the coupler's response at --f",
       .optional = C::multisection,
       .reach = Reach::output},
      {.id = Opt::format,
       .name = "format",
       .kind = K::choice,
       .choices = "table|csv|json",
       .fallback = "table",
       .help = "output format: aligned columns, CSV or JSON",
       .optional = kAllCommands,
       .reach = Reach::output},
      {.id = Opt::output,
       .name = "output",
       .kind = K::file,
       .choices = "FILE",
       .help = "write the table to FILE instead of standard output",
       .optional = kAllCommands,
       .reach = Reach::output},
      {.id = Opt::length_unit,
       .name = "length-unit",
       .kind = K::choice,
       .choices = "in|mil|mm|um",
       .fallback = "in",
       .help = "unit of the lengths written out, when not the one unit every length is given in",
       .optional = kAllCommands,
       .reach = Reach::output},
      // Python's calls have their own units argument of the same words.
      {.id = Opt::units,
       .name = "units",
       .kind = K::choice,
       .choices = "in|mil|mm|um|Hz|kHz|MHz|GHz",
       .help = "unit of bare numbers: of the lengths (and of the lengths written out), of the "
               "frequencies, or one of each as mm,GHz; bare numbers are in and MHz without it",
       .optional = kAllCommands,
       .reach = Reach::output},
      {.id = Opt::centre,
       .name = "centre",
       .kind = K::choice,
       .choices = "off|on",
       .fallback = "off",
       .help = "on: first search the nominal W and the gap beside it (S, or SV one above the "
               "other) for the largest yield against the limits on the run's samples, within "
               "--min-width and --min-gap, then run at the centred design and report it with "
               "the yield it started from",
       .optional = C::tolerance},
  };
}

// The options of `line`, one strip between the planes: its width or
// impedance (a range of either), the board or a stack with the layer it
// stands on, its height, the metal and the dielectric's loss, the
// frequency, the solver and the outputs.
void add_line_command(std::vector<OptionSpec>& made) {
  const auto with = [&](Opt id, auto change) {
    for (OptionSpec& o : made) {
      if (o.id == id) change(o);
    }
  };
  const Commands line(C::line);
  for (const Opt id : {Opt::b, Opt::t})
    with(id, [&](OptionSpec& o) { o.required = o.required | line; });
  with(Opt::er, [&](OptionSpec& o) { o.required = o.required | line; });
  for (const Opt id :
       {Opt::layers, Opt::strips_on, Opt::rho, Opt::roughness, Opt::tand, Opt::f, Opt::solver,
        Opt::plot, Opt::format, Opt::output, Opt::length_unit, Opt::units}) {
    with(id, [&](OptionSpec& o) { o.optional = o.optional | line; });
  }
  for (const Opt id : {Opt::w, Opt::zo}) {
    with(id, [&](OptionSpec& o) {
      o.alternative = o.alternative | line;
      o.ranges = o.ranges | line;
    });
  }
  with(Opt::zo, [&](OptionSpec& o) {
    o.other_help_for = line;
    o.other_help =
        "impedance Zo: of a coupler (synthesise, multisection; response: with --coupling, a "
        "lossless coupler instead of --b --t --w --s), or of a line, whose width is found (line: "
        "instead of --w)";
  });
  with(Opt::f, [&](OptionSpec& o) {
    o.other_help_for = line;
    o.other_help = "frequency of the loss and of the length per degree";
  });
  for (const StripDimension* d : dimensions()) {
    if (d->in_placement != &Placement::h) continue;
    with(option_of(*d), [&](OptionSpec& o) {
      o.optional = o.optional | line;
      o.other_help_for = line;
      o.other_help =
          "height of the strip's mid-plane above the lower plane, centred when not "
          "given (--solver field)";
    });
  }
}

Table make_table() {
  std::vector<OptionSpec> made = board_options();
  add_dimension_options(made, false);
  made.push_back(geometry_option());
  add_dimension_options(made, true);
  std::ranges::move(other_options(), std::back_inserter(made));
  add_line_command(made);
  if (made.size() != kOptionCount) std::abort();  // the Opt of an option out of step
  Table table{};
  std::ranges::move(made, table.begin());
  return table;
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
  if (o.required.has(c) && o.from_layers && option(Opt::layers).taken_by(c)) {
    return "required, or --layers";
  }
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
  std::string text(o.other_help_for.has(command) ? o.other_help
                   : o.help.empty()              ? o.quantity->what
                                                 : o.help);
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

}  // namespace ketrovane::commands
