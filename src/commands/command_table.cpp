#include "commands/command_table.hpp"

#include "commands/artwork_output.hpp"
#include "commands/tolerance_rows.hpp"

#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "commands/number_format.hpp"

namespace ketrovane::commands {

namespace {

// Lengths in titles: four significant digits in the output unit.
std::string length_text(float inches, LengthUnit unit) {
  return significant(static_cast<float>(inches * unit.per_inch), 4) + " " + std::string(unit.name);
}

// "B = 62 mil, T = 1.37 mil, Er = 3.66"; on a stack its layers instead of
// an Er, "layers 31 mil/3.66, 31 mil/3 (strips on layer 1)".
std::string board_title(const Board& board, const LayerStack& stack, LengthUnit unit) {
  const std::string lengths =
      "B = " + length_text(board.b, unit) + ", T = " + length_text(board.t, unit);
  if (stack.empty()) return lengths + ", Er = " + significant(board.er, 4);
  std::string layers;
  for (const field::DielectricLayer& layer : stack.layers.view()) {
    layers += (layers.empty() ? ", layers " : ", ") +
              length_text(static_cast<float>(layer.thickness), unit) + "/" +
              significant(static_cast<float>(layer.er), 4);
  }
  return lengths + layers + " (strips on layer " + std::to_string(stack.layer) + ")";
}

// "W = 24.8 mil, S = 6.4 mil", with H; SV and WO where the arrangement has them.
std::string pair_title(const StripPair& pair, LengthUnit unit) {
  std::string title;
  for (const StripDimension* d : arrangement_spec(pair.placement.arrangement).dimensions) {
    if (!title.empty()) title += ", ";
    title += std::string(d->symbol) + " = " + length_text(d->of(pair), unit);
  }
  return title;
}

// "Strip width W"
std::string named(const StripDimension& d) {
  return std::string(d.words) + " " + std::string(d.symbol);
}

// At most this many curve families on one chart: beyond it every second,
// third, ... value of the inner range is drawn.
constexpr std::int64_t kMostFamilies = 8;

// One dimension of a grid with its values.
struct GridDimension {
  const StripDimension* dimension;
  const Axis* axis;
};

std::vector<GridDimension> grid_dimensions(const Grid& g) {
  std::vector<GridDimension> d;
  for (const StripDimension* x : arrangement_spec(g.arrangement).dimensions) {
    d.push_back({x, &(g.*(x->axis))});
  }
  return d;
}

// One family per value of the inner dimension, the outer along x: "S = 4 mil".
CurveFamilies families_of(const GridDimension& inner, LengthUnit unit) {
  const Axis& axis = *inner.axis;
  CurveFamilies f;
  f.stride = axis.rows;
  const std::int64_t every = (axis.rows + kMostFamilies - 1) / kMostFamilies;
  for (std::int64_t place = 0; place < axis.rows; place += every) {
    f.shown.push_back({place, std::string(inner.dimension->symbol) + " = " +
                                  length_text(axis.value(place), unit)});
  }
  return f;
}

// What a chart's curves are computed on: "closed-form model" (with both,
// the model's columns are drawn) or "field solution".
std::string solution_words(Solver solver, Arrangement a) {
  return solver == Solver::field || !arrangement_spec(a).on_model ? "field solution"
                                                                  : "closed-form model";
}

// Along the outermost swept dimension (W when none is swept); with two swept,
// a family per value of the inner one.
ChartLayout analyse_chart(const Request& request, const ChartContext& context) {
  const auto& q = std::get<AnalyseRequest>(request);
  const LengthUnit unit = context.unit;
  std::vector<GridDimension> swept;
  ChartLayout c;
  c.title = "Impedance analysis (" + solution_words(q.solver, q.grid.arrangement) +
            "): " + board_title(q.grid.board, q.grid.stack, unit);
  for (const GridDimension& d : grid_dimensions(q.grid)) {
    if (d.axis->swept) {
      swept.push_back(d);
    } else {
      c.title +=
          ", " + std::string(d.dimension->symbol) + " = " + length_text(d.axis->value(0), unit);
    }
  }
  const GridDimension x = swept.empty() ? grid_dimensions(q.grid).front() : swept.front();
  c.x_column = x.dimension->name;
  c.x_label = named(*x.dimension) + " (" + std::string(unit.name) + ")";
  ChartPanel p;
  p.y_label = "Impedance (ohm)";
  p.y2_label = "Midband coupling Co (dB)";
  p.series = {{.column = "zo_ohm", .title = "Zo"},
              {.column = "zoe_ohm", .title = "Zoe"},
              {.column = "zoo_ohm", .title = "Zoo"},
              {.column = "coupling_db", .title = "Coupling Co (right axis)", .second_axis = true}};
  if (swept.size() == 2) {
    // A family per inner value: the two figures a design is chosen by.
    c.families = families_of(swept.back(), unit);
    p.series = {
        {.column = "zo_ohm", .title = "Zo"},
        {.column = "coupling_db", .title = "Coupling Co (right axis)", .second_axis = true}};
  }
  c.panels = {p};
  return c;
}

// The dimension a synthesis solves for beside the width.
const StripDimension& solved_dimension(const SynthesisSetup& setup) {
  return arrangement_spec(setup.placement.arrangement).solved(setup.unknowns);
}

// What a synthesis is given besides the board: ", H = 50 mil".
std::string given_dimensions(const SynthesisSetup& setup, LengthUnit unit) {
  const StripPair given(CrossSection{}, setup.placement);
  const StripDimension& solved = solved_dimension(setup);
  std::string text;
  for (const StripDimension* d : arrangement_spec(setup.placement.arrangement).dimensions) {
    if (!d->of_placement() || d == &solved) continue;
    text += ", " + std::string(d->symbol) + " = " + length_text(d->of(given), unit);
  }
  return text;
}

ChartLayout synthesise_chart(const Request& request, const ChartContext& context) {
  const auto& q = std::get<SynthesiseRequest>(request);
  const LengthUnit unit = context.unit;
  const StripDimension& solved = solved_dimension(q.setup);
  ChartLayout c;
  c.title = "Width and spacing synthesis (" +
            solution_words(q.solver, q.setup.placement.arrangement) +
            "): Zo = " + significant(q.zo, 4) + " ohm, " +
            board_title(q.board, q.setup.placement.stack, unit) + given_dimensions(q.setup, unit);
  if (q.length_inch) {
    c.title += ", length " + length_text(*q.length_inch, unit);
  } else if (q.f0_mhz) {
    c.title += ", each a quarter wave at " + significant(*q.f0_mhz, 6) + " MHz";
  }
  c.x_column = q.by_coupling ? "coupling_db" : "zoe_ohm";
  c.x_label = q.by_coupling ? "Midband coupling Co (dB)" : "Even-mode impedance Zoe (ohm)";
  ChartPanel p;
  p.y_label = "Strip dimension (" + std::string(unit.name) + ")";
  p.series = {{.column = strip_width().name, .title = named(strip_width())},
              {.column = solved.name, .title = named(solved)}};
  p.log_y = true;
  c.panels = {p};
  return c;
}

// The coupling at f0 with the flatness marked, and the axis over at least
// three times the flatness each way, so that the ripple shows.
ChartPanel coupling_panel(const BandSummary* band) {
  ChartPanel p;
  p.y_label = "Coupling S41 (dB)";
  p.y2_label = "Thru S21 (dB)";
  p.series = {{.column = "s41_db", .title = "Coupled S41"},
              {.column = "s21_db", .title = "Thru S21 (right axis)", .second_axis = true}};
  if (band != nullptr) {
    const float c0 = band->coupling_at_f0_db;
    const float f = band->flatness_db;
    constexpr float kSpanInFlatness = 3.0F;
    p.y_span = AxisSpan{c0 - kSpanInFlatness * f, c0 + kSpanInFlatness * f};
    p.y_marks = {c0 - f, c0 + f};
  }
  return p;
}

ChartPanel isolation_panel() {
  ChartPanel p;
  p.clear_of_frame = true;
  p.y_label = "Isolation, directivity, return loss (dB)";
  p.y2_label = "Quadrature error (deg)";
  p.y2_least_span = 2;
  p.series = {
      {.column = "directivity_db", .title = "Directivity"},
      {.column = "s31_db", .title = "Isolation (-S31)", .negated = true},
      {.column = "return_loss_db", .title = "Return loss"},
      {.column = "phase_error_deg", .title = "Quadrature error (right axis)", .second_axis = true}};
  return p;
}

// The band within the flatness of the coupling at f0 shaded, when the
// summary found one.
void shade_flatness_band(ChartLayout& c, const BandSummary* band) {
  if (band == nullptr || !band->low || !band->high) return;
  c.shaded = AxisSpan{band->low->f_mhz, band->high->f_mhz};
  c.shaded_legend = "Band: coupling within " + significant(band->flatness_db, 3) + " dB of " +
                    significant(band->coupling_at_f0_db, 4) + " dB at " +
                    significant(band->f0_mhz, 6) + " MHz";
}

ChartLayout response_chart(const Request& request, const ChartContext& context) {
  const auto& q = std::get<ResponseRequest>(request);
  ChartLayout c;
  c.title = "Four-port response: " + coupler_title(q, context.unit);
  c.x_column = "f_mhz";
  c.x_label = "Frequency (MHz)";
  c.panels = {coupling_panel(context.band), isolation_panel()};
  shade_flatness_band(c, context.band);
  return c;
}

// "Multi-section coupler: 5 sections, 10 dB, ripple 0.0875 dB (realised
// 0.325 dB) over 2000 to 8000 MHz"
std::string profile_title(const MultisectionDesign& d, const ProfileSummary* summary) {
  std::string title = "Multi-section coupler: " + std::to_string(d.sections) + " sections, " +
                      significant(static_cast<float>(d.coupling_db), 4) + " dB";
  if (d.f2_mhz > d.f1_mhz) {
    title += ", ripple " + significant(static_cast<float>(d.ripple_db), 3) + " dB";
    if (summary != nullptr && summary->realised_ripple_db) {
      title += " (realised " + significant(*summary->realised_ripple_db, 3) + " dB)";
    }
    return title + " over " + significant(static_cast<float>(d.f1_mhz), 6) + " to " +
           significant(static_cast<float>(d.f2_mhz), 6) + " MHz";
  }
  return title + ", maximally flat at " + significant(static_cast<float>(d.f0_mhz), 6) + " MHz";
}

// The equal-ripple coupling: the ideal ripple's limits dashed, the realised
// ripple's solid, and the axis over four times the larger each way.
ChartPanel ripple_panel(const MultisectionDesign& d, const ProfileSummary* summary) {
  ChartPanel p = coupling_panel(nullptr);
  const auto nominal = static_cast<float>(-d.coupling_db);
  const auto ripple = static_cast<float>(d.ripple_db);
  float widest = ripple;
  if (summary != nullptr && summary->realised_ripple_db) {
    const float realised = *summary->realised_ripple_db;
    p.y_solid_marks = {nominal - realised, nominal + realised};
    p.solid_marks_legend = "Realised ripple: within " + significant(realised, 3) + " dB";
    widest = std::fmax(widest, realised);
  }
  if (widest > 0.0F) {
    constexpr float kSpanInRipple = 4.0F;
    p.y_span = AxisSpan{nominal - kSpanInRipple * widest, nominal + kSpanInRipple * widest};
    p.y_marks = {nominal - ripple, nominal + ripple};
  }
  return p;
}

// An equal-ripple coupler: the coupling with the ripple's limits marked
// and the band shaded; a maximally flat one: its band within
// kFlatProfileFlatnessDb of the coupling at f0 as a response's.  The
// isolation and return loss below.
ChartLayout multisection_chart(const Request& request, const ChartContext& context) {
  const auto& q = std::get<MultisectionRequest>(request);
  const MultisectionDesign& d = q.design;
  const ProfileSummary* summary = context.profile;
  ChartLayout c;
  c.title = profile_title(d, summary);
  c.x_column = "f_mhz";
  c.x_label = "Frequency (MHz)";
  const bool equal_ripple = d.f2_mhz > d.f1_mhz;
  const BandSummary* flat = summary != nullptr && !equal_ripple ? &summary->band : nullptr;
  c.panels = {equal_ripple ? ripple_panel(d, summary) : coupling_panel(flat), isolation_panel()};
  if (equal_ripple) {
    c.shaded = AxisSpan{static_cast<float>(d.f1_mhz), static_cast<float>(d.f2_mhz)};
    c.shaded_legend = "Band: coupling within " + significant(static_cast<float>(d.ripple_db), 3) +
                      " dB of " + significant(static_cast<float>(-d.coupling_db), 4) + " dB";
  } else {
    shade_flatness_band(c, flat);
  }
  return c;
}

template <auto read>
Request read_request(OptionValues& values) {
  return read(values);
}

std::span<const Column> tolerance_columns(const ColumnChoice& /*choice*/) {
  return tolerance_statistics_columns();
}

std::unique_ptr<RowSource> tolerance_rows(const Request& request) {
  return tolerance_sample_rows(std::get<ToleranceRequest>(request));
}

// Zo against W, with the loss on the right-hand axis; the rows of --zo
// give the widths found.
ChartLayout line_chart(const Request& request, const ChartContext& context) {
  const auto& q = std::get<LineRequest>(request);
  const bool centred = q.where.placement.is_edge();
  ChartLayout c;
  c.title = "Line (" + solution_words(q.solver, q.where.placement.arrangement) +
            "): " + board_title(q.where.x.board, q.where.placement.stack, context.unit);
  if (q.where.placement.arrangement == Arrangement::edge_offset) {
    c.title += ", H = " + length_text(q.where.placement.h, context.unit);
  } else if (centred) {
    c.title += ", centred";
  }
  c.x_column = strip_width().name;
  c.x_label = named(strip_width()) + " (" + std::string(context.unit.name) + ")";
  ChartPanel p;
  p.y_label = "Impedance (ohm)";
  p.y2_label = "Loss (dB/" + std::string(context.unit.name) + ")";
  p.series = {{.column = "zo_ohm", .title = "Zo"},
              {.column = "loss_db_per",
               .title = "Loss (right axis)",
               .second_axis = true,
               .negated = true}};
  c.panels = {p};
  return c;
}

const std::array<CommandSpec, kCommandCount> kCommands = {{
    {Command::analyse, "analyse", "analyze",
     "Zo, Zoe, Zoo, coupling and mode losses for each strip width and spacing",
     read_request<read_analyse>, analyse_columns, analyse_rows, analyse_chart},
    {Command::synthesise, "synthesise", "synthesize",
     "strip width and spacing for each coupling level or even-mode impedance",
     read_request<read_synthesise>, synthesise_columns, synthesise_rows, synthesise_chart},
    {Command::response, "response", "",
     "four-port response of the coupler over frequency, and its Touchstone file",
     read_request<read_response>, response_columns, response_rows, response_chart,
     "Ports: 1 input, 2 thru, 3 isolated, 4 coupled; ports 1 and 4 are terminated in --rs, "
     "ports 2 and 3 in --rl.\nAmplitudes stop at -90 dB in the table, CSV and JSON, as the "
     "interactive reports print them, so the return loss is at most 90 dB and the directivity "
     "at most 90 dB less the coupling; the Touchstone file carries the matrix as it is.\nThe "
     "summary before the rows gives the coupling at f0 and the band within --flatness of it."},
    {Command::sensitivity, "sensitivity", "",
     "normalised sensitivities of Zoe and Zoo to Er, B, S, T and W", read_request<read_sensitivity>,
     sensitivity_columns, sensitivity_rows, nullptr},
    {Command::field, "field", "",
     "two-dimensional field solution of each cross-section, with its error estimate",
     read_request<read_field>, field_columns, field_rows, nullptr},
    {Command::multisection, "multisection", "",
     "broadband coupler of N quarter-wave sections: its coupling profile, each section's "
     "dimensions, and its response",
     read_request<read_multisection>, multisection_columns, multisection_rows, multisection_chart,
     "The profile is equal ripple over --band, the widest equal-ripple band about --f0 for "
     "--ripple, or maximally flat about --f0 (--profile maximally-flat).\nThe table is the "
     "sections' (--table sections, the default) or the whole coupler's response at --f (--table "
     "response, in the columns of the response command); the profile, its ripple and its band "
     "head both, in the aligned table's first lines and the JSON's \"profile\" object.\n"
     "--touchstone and --plot take the frequencies of --f; --plot needs --table response.\n"
     "Ports: 1 input, 2 thru, 3 isolated, 4 coupled, with section 1 at ports 1 and 4."},
    {Command::tolerance, "tolerance", "",
     "Monte Carlo tolerance analysis of one coupler: the spread of its impedances and coupling, "
     "and its yield against limits",
     read_request<read_tolerance>, tolerance_columns, tolerance_rows, nullptr,
     "Each --vary item NAME=X varies one quantity by the half-width X (a length, a number for "
     "er, or X% of the nominal value); --etch varies the etch bias of every strip edge.\nWith "
     "--dist normal the half-width is three standard deviations.  Sample i depends only on "
     "--seed and i, so any --start and --count slice of a run has the same samples.\nThe "
     "table has a row per outcome (mean, standard deviation, percentiles, the share within its "
     "--limit) and a last row, all_limits, with the yield and its 95 % confidence interval; "
     "samples that cannot be computed count against the yield and are named on the error "
     "stream.\n--plot draws a histogram of each limited outcome with its limits, the nominal "
     "value and the mean, under the design, its tolerances and the yield.\n--combine FILE... "
     "gives the whole run's statistics from its slices' --samples-output FILE.json.\n"
     "--sections N, with multisection's options instead of --w and --s, takes a multi-section "
     "coupler: each section's W and S drawn on its own, the board's shared, and --limit on the "
     "band's deviation, directivity and return_loss."},
    {Command::line, "line", "",
     "impedance, effective permittivity, loss and length per degree of one strip, or its width "
     "for an impedance",
     read_request<read_line>, line_columns, line_rows, line_chart,
     "The strip is centred between the planes, or its mid-plane at --h (--solver field), or on "
     "the upper face of layer --strips-on of --layers (--solver field).  With --zo each row is "
     "the strip of that impedance, its width found.\nThe closed-form model is Cohn's strip: "
     "within 1 % of the field for W/(B - T) of 0.35 and more (1.5 % for T/B below 0.025), "
     "narrower strips lower in impedance."},
    {Command::layout, "layout", "",
     "copper artwork of one coupler given by its dimensions: its sections, a feed line at "
     "each port and a pad numbered as the Touchstone file's port",
     read_request<read_layout>, layout_columns, layout_rows, nullptr,
     "Each feed line leaves its end of the coupled section, turns away from its neighbour "
     "(--bend) until the two lines at that end couple less than --lead-isolation on the field "
     "solution, runs --lead-length straight and ends in a pad; the lines at ports 1 and 4 are "
     "of --rs, those at ports 2 and 3 of --rl, each the single strip of that impedance on "
     "the coupler's board.\nThe table has a row per port: its feed line's width and Zo, and "
     "the lead-out from the coupled section to the pad's centre, in length and in degrees at "
     "f0.  The bends and the lead-outs are not in the coupled-line response: de-embed "
     "them.\n--layout FILE writes the artwork (without it, only the table): FILE.kicad_mod, "
     "FILE.gbr (one per copper layer: with two, FILE-<layer>.gbr, the layer's '.' as '_'), "
     "FILE.dxf, FILE.svg or FILE.png."},
    {Command::fullwave, "fullwave", "",
     "full-wave model of one coupler as laid out: an openEMS script of its stack, its copper "
     "and a port at each pad",
     read_request<read_fullwave>, layout_columns, layout_rows, nullptr,
     "The coupler is given as to layout, and drawn as layout draws it; --fullwave DIR writes "
     "DIR/coupler.py and DIR/README.txt (DIR is made if it is not there) and the table is "
     "layout's.\nThe script builds the dielectric layers between the ground planes, the copper "
     "outlines at the copper's thickness, side walls 3 B from the copper and a port at each "
     "pad, meshes them (the thirds rule at each strip edge, the largest cell a twentieth, or a "
     "fortieth, of the shortest wavelength) and runs openEMS once per port: /usr/bin/python3 "
     "DIR/coupler.py [--mesh coarse|fine] [--threads N] writes DIR/<mesh>/sparameters.csv, "
     "coupler.s4p and status.json.  --fullwave DIR on synthesise, response and multisection "
     "writes the same."},
}};

}  // namespace

std::span<const CommandSpec> all_commands() {
  return kCommands;
}

const CommandSpec& command(Command id) {
  return kCommands.at(static_cast<std::size_t>(id));
}

const CommandSpec* command_named(std::string_view name) {
  for (const CommandSpec& c : kCommands) {
    if (c.name == name || (!c.alias.empty() && c.alias == name)) return &c;
  }
  return nullptr;
}

std::string command_names() {
  std::string names;
  for (const CommandSpec& c : kCommands) {
    if (!names.empty()) names += ", ";
    names += c.name;
  }
  return names;
}

Solver solver_of(const Request& request) {
  return std::visit(
      [](const auto& q) {
        if constexpr (requires { q.solver; }) {
          return q.solver;
        } else if constexpr (requires { q.build.solver; }) {
          return q.build.solver;
        } else {
          return Solver::field;
        }
      },
      request);
}

namespace {

// How the strips of an arrangement couple, as a coupler is named by it.
std::string_view coupled_words(Arrangement a) {
  switch (a) {
    case Arrangement::edge:
      return "edge-coupled";
    case Arrangement::edge_offset:
      return "offset edge-coupled";
    case Arrangement::broadside:
      return "broadside-coupled";
  }
  return "coupled";
}

constexpr std::string_view kCoupler = " stripline directional coupler";

}  // namespace

std::string coupler_kind(const ResponseRequest& q) {
  if (!q.dimensions) {
    return "single-section" + std::string(kCoupler) +
           " (ideal: lossless, of the given Zo and coupling)";
  }
  return "single-section " + std::string(coupled_words(q.dimensions->placement.arrangement)) +
         std::string(kCoupler);
}

std::string coupler_kind(const MultisectionRequest& q) {
  const std::string sections = std::to_string(q.design.sections) + "-section";
  if (!q.build.board) {
    return sections + std::string(kCoupler) +
           " (ideal: lossless sections of the profile's impedances)";
  }
  return sections + " " + std::string(coupled_words(q.build.setup.placement.arrangement)) +
         std::string(kCoupler);
}

// One dielectric's Er, or each mode's effective permittivity in a stack,
// where the length is a quarter wave at the mean of their phase velocities.
std::string section_medium(const CoupledSection& c, LengthUnit unit) {
  const std::string length =
      ", length = " + shortest(static_cast<float>(c.length_inch * unit.per_inch)) + " " +
      std::string(unit.name);
  if (c.eeff_even == c.eeff_odd) return ", Er = " + shortest(c.eeff_even) + length;
  return ", Eeff even = " + shortest(c.eeff_even) + ", Eeff odd = " + shortest(c.eeff_odd) +
         length + " (a quarter wave at f0 at the mean of the modes' phase velocities)";
}

std::string coupler_description(const ResponseRequest& q, LengthUnit unit) {
  const CoupledSection c = coupler_of(q).section;
  return "Zoe = " + shortest(c.zoe) + " ohm, Zoo = " + shortest(c.zoo) + " ohm" +
         section_medium(c, unit) + ", Rs = " + shortest(q.terminations.source) +
         " ohm, Rl = " + shortest(q.terminations.load) + " ohm";
}

namespace {

// On a stack each section with its modes' permittivities and its own
// length, a quarter wave at f0 at the mean of its modes' velocities.
std::string sections_on_stack(const MultisectionRequest& q, LengthUnit unit) {
  std::string text;
  for (const SectionRow& s : q.coupler->sections) {
    const CoupledSection& c = s.coupler.section;
    text += "section " + std::to_string(s.index) + ": Zoe = " + shortest(c.zoe) +
            " ohm, Zoo = " + shortest(c.zoo) + " ohm, Eeff even = " + shortest(c.eeff_even) +
            ", Eeff odd = " + shortest(c.eeff_odd) +
            ", length = " + shortest(static_cast<float>(s.length_inch * unit.per_inch)) + " " +
            std::string(unit.name) + "; ";
  }
  return text +
         "each section a quarter wave at f0 at the mean of its own modes' phase velocities, Rs = " +
         shortest(q.terminations.source) + " ohm, Rl = " + shortest(q.terminations.load) + " ohm";
}

}  // namespace

std::string multisection_description(const MultisectionRequest& q, LengthUnit unit) {
  if (q.build.board && !q.build.setup.placement.stack.empty()) return sections_on_stack(q, unit);
  std::string text;
  for (const SectionRow& s : q.coupler->sections) {
    const CoupledSection& c = s.coupler.section;
    text += "section " + std::to_string(s.index) + ": Zoe = " + shortest(c.zoe) +
            " ohm, Zoo = " + shortest(c.zoo) + " ohm; ";
  }
  const float length = q.coupler->sections.empty() ? 0.0F : q.coupler->sections[0].length_inch;
  return text + "Er = " + shortest(q.build.er) +
         ", section length = " + shortest(static_cast<float>(length * unit.per_inch)) + " " +
         std::string(unit.name) + ", Rs = " + shortest(q.terminations.source) +
         " ohm, Rl = " + shortest(q.terminations.load) + " ohm";
}

std::string coupler_title(const ResponseRequest& q, LengthUnit unit) {
  std::string title;
  if (q.dimensions) {
    title = pair_title(*q.dimensions, unit) + ", " +
            board_title(q.dimensions->x.board, q.dimensions->placement.stack, unit);
  } else {
    title = "Zo = " + significant(q.zo, 4) + " ohm, Co = " + significant(q.coupling_db, 4) +
            " dB, Er = " + significant(q.er, 4);
  }
  title += ", L = " + length_text(q.length_inch, unit);
  const Terminations& t = q.terminations;
  if (t.source == t.load) return title + ", Rs = Rl = " + significant(t.source, 4) + " ohm";
  return title + ", Rs = " + significant(t.source, 4) + " ohm, Rl = " + significant(t.load, 4) +
         " ohm";
}

namespace {

// "W 0.1 in, S 1e-07 in, T 0.0014 in, B 0.25 in, Er 2.2": the lengths as
// given; on a stack its layers, "layers 0.1 in:3.66 0.15 in:3".
std::string failure_place(const StripPair& pair, LengthUnit unit) {
  const CrossSection& x = pair.x;
  const auto length = [unit](float inches) {
    return shortest(static_cast<float>(inches * unit.per_inch)) + " " + std::string(unit.name);
  };
  std::string where;
  for (const StripDimension* d : arrangement_spec(pair.placement.arrangement).dimensions) {
    where += std::string(d->symbol) + " " + length(d->of(pair)) + ", ";
  }
  where += "T " + length(x.board.t) + ", B " + length(x.board.b);
  const field::Stack& stack = pair.placement.stack.layers;
  if (stack.empty()) return where + ", Er " + shortest(x.board.er);
  where += ", layers";
  for (const field::DielectricLayer& layer : stack.view()) {
    where += " " + length(static_cast<float>(layer.thickness)) + ":" +
             shortest(static_cast<float>(layer.er));
  }
  return where;
}

struct FailureWords {
  std::string_view one;   // "row has no field solution"
  std::string_view many;  // "rows have no field solution"
};

std::string troubles_note(const FieldTroubles& t, FailureWords words, LengthUnit unit,
                          bool with_element) {
  const std::string place =
      (with_element ? "element " + std::to_string(t.first_index) + ", " : "") + "at " +
      failure_place(t.first->where(), unit) + ": " + t.first->what();
  if (t.rows == 1) return "note: 1 " + std::string(words.one) + ", " + place;
  return "note: " + std::to_string(t.rows) + " " + std::string(words.many) + "; the first, " +
         place;
}

}  // namespace

std::string failure_message(const FieldFailure& f) {
  const std::string_view what = f.status() == RowStatus::no_field_loss ? "no field loss at "
                                : f.status() == RowStatus::uncoupled   ? "no coupling resolved at "
                                                                       : "no field solution at ";
  return std::string(what) + failure_place(f.where(), kInches) + ": " + f.what();
}

std::vector<std::string> field_failure_notes(const RowTally& tally, LengthUnit unit,
                                             bool with_element) {
  const std::array<std::pair<const FieldTroubles*, FailureWords>, 3> kinds{{
      {&tally.no_field_solution, {"row has no field solution", "rows have no field solution"}},
      {&tally.no_field_loss, {"row has no field loss", "rows have no field loss"}},
      {&tally.uncoupled, {"row is uncoupled", "rows are uncoupled"}},
  }};
  std::vector<std::string> notes;
  for (const auto& [troubles, words] : kinds) {
    if (troubles->first) notes.push_back(troubles_note(*troubles, words, unit, with_element));
  }
  return notes;
}

}  // namespace ketrovane::commands
