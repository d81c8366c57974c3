#include "batch/commands.hpp"

#include <array>

#include "batch/number_format.hpp"

namespace ketrovane::batch {

namespace {

// Lengths in titles: four significant digits in the output unit.
std::string length_text(float inches, LengthUnit unit) {
  return significant(static_cast<float>(inches * unit.per_inch), 4) + " " + std::string(unit.name);
}

// "B = 62 mil, T = 1.37 mil, Er = 3.66"
std::string board_title(const Board& board, LengthUnit unit) {
  return "B = " + length_text(board.b, unit) + ", T = " + length_text(board.t, unit) +
         ", Er = " + significant(board.er, 4);
}

// At most this many curve families on one chart: beyond it every second,
// third, ... value of the inner range is drawn.
constexpr std::int64_t kMostFamilies = 8;

// One family per spacing, widths along x: "S = 4 mil".
CurveFamilies spacing_families(const Grid& grid, LengthUnit unit) {
  CurveFamilies f;
  f.stride = grid.s.rows;
  const std::int64_t every = (grid.s.rows + kMostFamilies - 1) / kMostFamilies;
  for (std::int64_t place = 0; place < grid.s.rows; place += every) {
    f.shown.push_back({place, "S = " + length_text(grid.s.value(place), unit)});
  }
  return f;
}

ChartLayout analyse_chart(const Request& request, const ChartContext& context) {
  const auto& q = std::get<AnalyseRequest>(request);
  const LengthUnit unit = context.unit;
  const bool over_spacing = q.grid.s.swept && !q.grid.w.swept;
  ChartLayout c;
  c.title = "Impedance analysis: " + board_title(q.grid.board, unit);
  if (!q.grid.w.swept) c.title += ", W = " + length_text(q.grid.w.value(0), unit);
  if (!q.grid.s.swept) c.title += ", S = " + length_text(q.grid.s.value(0), unit);
  c.x_column = over_spacing ? 1 : 0;
  c.x_label = std::string(over_spacing ? "Strip spacing S (" : "Strip width W (") +
              std::string(unit.name) + ")";
  ChartPanel p;
  p.y_label = "Impedance (ohm)";
  p.y2_label = "Midband coupling Co (dB)";
  p.series = {{4, "Zo"}, {5, "Zoe"}, {6, "Zoo"}, {7, "Coupling Co (right axis)", true}};
  if (q.grid.w.swept && q.grid.s.swept) {
    // A family per spacing: the two figures a design is chosen by.
    c.families = spacing_families(q.grid, unit);
    p.series = {{4, "Zo"}, {7, "Coupling Co (right axis)", true}};
  }
  c.panels = {p};
  return c;
}

ChartLayout synthesise_chart(const Request& request, const ChartContext& context) {
  const auto& q = std::get<SynthesiseRequest>(request);
  const LengthUnit unit = context.unit;
  ChartLayout c;
  c.title = "Width and spacing synthesis: Zo = " + significant(q.zo, 4) + " ohm, " +
            board_title(q.board, unit);
  if (q.length_inch) c.title += ", length " + length_text(*q.length_inch, unit);
  c.x_column = q.by_coupling ? 7 : 5;
  c.x_label = q.by_coupling ? "Midband coupling Co (dB)" : "Even-mode impedance Zoe (ohm)";
  ChartPanel p;
  p.y_label = "Strip dimension (" + std::string(unit.name) + ")";
  p.series = {{0, "Strip width W"}, {1, "Strip spacing S"}};
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
  p.series = {{7, "Coupled S41"}, {3, "Thru S21 (right axis)", true}};
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
  p.y_label = "Isolation, directivity, return loss (dB)";
  p.y2_label = "Quadrature error (deg)";
  p.y2_least_span = 2;
  p.series = {{15, "Directivity"},
              {5, "Isolation (-S31)", false, true},
              {14, "Return loss"},
              {11, "Quadrature error (right axis)", true}};
  return p;
}

ChartLayout response_chart(const Request& request, const ChartContext& context) {
  const auto& q = std::get<ResponseRequest>(request);
  ChartLayout c;
  c.title = "Four-port response: " + coupler_title(q, context.unit);
  c.x_column = 0;
  c.x_label = "Frequency (MHz)";
  c.panels = {coupling_panel(context.band), isolation_panel()};
  if (const BandSummary* band = context.band; band != nullptr && band->low && band->high) {
    c.shaded = AxisSpan{band->low->f_mhz, band->high->f_mhz};
    c.shaded_legend = "Band: coupling within " + significant(band->flatness_db, 3) + " dB of " +
                      significant(band->coupling_at_f0_db, 4) + " dB at " +
                      significant(band->f0_mhz, 6) + " MHz";
  }
  return c;
}

template <auto read>
Request read_request(OptionValues& values) {
  return read(values);
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
}};

}  // namespace

std::span<const CommandSpec> commands() {
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
        } else {
          return Solver::field;
        }
      },
      request);
}

std::string coupler_description(const ResponseRequest& q, LengthUnit unit) {
  const CoupledSection c = coupler_of(q).section;
  return "Zoe = " + shortest(c.zoe) + " ohm, Zoo = " + shortest(c.zoo) +
         " ohm, Er = " + shortest(c.er) +
         ", length = " + shortest(static_cast<float>(c.length_inch * unit.per_inch)) + " " +
         std::string(unit.name) + ", Rs = " + shortest(q.terminations.source) +
         " ohm, Rl = " + shortest(q.terminations.load) + " ohm";
}

std::string coupler_title(const ResponseRequest& q, LengthUnit unit) {
  std::string title;
  if (q.dimensions) {
    const CrossSection& x = *q.dimensions;
    title = "W = " + length_text(x.w, unit) + ", S = " + length_text(x.s, unit) + ", " +
            board_title(x.board, unit);
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

std::string failure_message(const FieldFailure& f) {
  const CrossSection& x = f.where();
  return std::string(f.of_loss() ? "no field loss at " : "no field solution at ") + "W " +
         shortest(x.w) + " in, S " + shortest(x.s) + " in, T " + shortest(x.board.t) + " in, B " +
         shortest(x.board.b) + " in, Er " + shortest(x.board.er) + ": " + f.what();
}

}  // namespace ketrovane::batch
