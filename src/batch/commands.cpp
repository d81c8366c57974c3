#include "batch/commands.hpp"

#include <array>

#include "batch/number_format.hpp"

namespace ketrovane::batch {

namespace {

// "B = 0.25 in, T = 0.0014 in, Er = 2.2"
std::string board_title(const Echo& echo) {
  constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kBoard = {
      {{"b", "B"}, {"t", "T"}, {"er", "Er"}}};
  std::string title;
  for (const auto& [name, symbol] : kBoard) {
    if (const InputEcho* e = find_echo(echo, name)) {
      if (!title.empty()) title += ", ";
      title += std::string(symbol) + " = " + echo_value_text(*e);
    }
  }
  return title;
}

ChartLayout analyse_chart(const Request& request, const Echo& echo, LengthUnit unit) {
  const auto& q = std::get<AnalyseRequest>(request);
  const bool over_spacing = q.grid.s.swept;
  ChartLayout c;
  c.title = "Impedance analysis: " + board_title(echo);
  c.x_column = over_spacing ? 1 : 0;
  c.x_label = std::string(over_spacing ? "Strip spacing S (" : "Strip width W (") +
              std::string(unit.name) + ")";
  c.y_label = "Impedance (ohm)";
  c.y2_label = "Midband coupling Co (dB)";
  c.series = {{4, "Zo", false},
              {5, "Zoe", false},
              {6, "Zoo", false},
              {7, "Coupling Co (right axis)", true}};
  if (q.grid.w.swept && q.grid.s.swept) c.break_column = 0;
  return c;
}

ChartLayout synthesise_chart(const Request& request, const Echo& echo, LengthUnit unit) {
  const auto& q = std::get<SynthesiseRequest>(request);
  ChartLayout c;
  c.title = "Width and spacing synthesis: Zo = " + shortest(q.zo) + " ohm, " + board_title(echo);
  c.x_column = q.by_coupling ? 7 : 5;
  c.x_label = q.by_coupling ? "Midband coupling Co (dB)" : "Even-mode impedance Zoe (ohm)";
  c.y_label = "Strip dimension (" + std::string(unit.name) + ")";
  c.series = {{0, "Strip width W", false}, {1, "Strip spacing S", false}};
  c.log_y = true;
  return c;
}

ChartLayout response_chart(const Request& request, const Echo& /*echo*/, LengthUnit /*unit*/) {
  ChartLayout c;
  c.title =
      "Four-port response: " + coupler_description(std::get<ResponseRequest>(request), "L", 5);
  c.x_column = 0;
  c.x_label = "Frequency (MHz)";
  c.y_label = "Amplitude (dB)";
  c.y2_label = "Quadrature error (deg)";
  c.y2_least_span = 2;
  c.series = {{7, "Coupled S41", false},
              {3, "Thru S21", false},
              {5, "Isolated S31", false},
              {1, "Return S11", false},
              {11, "Quadrature error (right axis)", true}};
  return c;
}

template <auto read>
Request read_request(OptionValues& values) {
  return read(values);
}

const std::array<CommandSpec, kCommandCount> kCommands = {{
    {Command::analyse, "analyse",
     "Zo, Zoe, Zoo, coupling and mode losses for each strip width and spacing",
     read_request<read_analyse>, analyse_columns, analyse_rows, analyse_chart},
    {Command::synthesise, "synthesise",
     "strip width and spacing for each coupling level or even-mode impedance",
     read_request<read_synthesise>, synthesise_columns, synthesise_rows, synthesise_chart},
    {Command::response, "response",
     "four-port response of the coupler over frequency, and its Touchstone file",
     read_request<read_response>, response_columns, response_rows, response_chart},
    {Command::sensitivity, "sensitivity",
     "normalised sensitivities of Zoe and Zoo to Er, B, S, T and W", read_request<read_sensitivity>,
     sensitivity_columns, sensitivity_rows, nullptr},
    {Command::field, "field",
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
    if (c.name == name) return &c;
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

std::string coupler_description(const ResponseRequest& q, std::string_view length_name,
                                int digits) {
  const CoupledSection c = coupler_of(q).section;
  const auto number = [digits](float v) {
    return digits == 0 ? shortest(v) : significant(v, digits);
  };
  return "Zoe = " + number(c.zoe) + " ohm, Zoo = " + number(c.zoo) + " ohm, Er = " + number(c.er) +
         ", " + std::string(length_name) + " = " + number(c.length_inch) +
         " in, Rs = " + number(q.terminations.source) +
         " ohm, Rl = " + number(q.terminations.load) + " ohm";
}

std::string failure_message(const FieldFailure& f) {
  const CrossSection& x = f.where();
  return std::string(f.of_loss() ? "no field loss at " : "no field solution at ") + "W " +
         shortest(x.w) + " in, S " + shortest(x.s) + " in, T " + shortest(x.board.t) + " in, B " +
         shortest(x.board.b) + " in, Er " + shortest(x.board.er) + ": " + f.what();
}

}  // namespace ketrovane::batch
