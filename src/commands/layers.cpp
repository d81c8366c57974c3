#include "commands/layers.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "commands/input_error.hpp"
#include "commands/number_format.hpp"
#include "commands/quantities.hpp"

namespace ketrovane::commands {

namespace {

constexpr Quantity kLayerEr{.what = "relative permittivity Er",
                            .dimension = Dimension::pure,
                            .least = 1.0,
                            .least_allowed = true,
                            .most = 1000.0};
constexpr Quantity kLayerTand{.what = "dielectric loss tangent",
                              .dimension = Dimension::pure,
                              .least = 0.0,
                              .least_allowed = true,
                              .most = 1.0};

constexpr std::string_view kLayerForm = "expected layers D:ER[:TAND] separated by commas, or @FILE";

[[noreturn]] void reject_layers(std::string_view value, Phrase expected) {
  reject(Opt::layers, value, std::move(expected));
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) {
    text.remove_suffix(1);
  }
  return text;
}

// The fields of `text` between any of `separators`, blanks around each cut.
std::vector<std::string_view> fields_of(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find_first_of(separators, start);
    const std::size_t stop = end == std::string_view::npos ? text.size() : end;
    fields.push_back(trimmed(text.substr(start, stop - start)));
    start = stop + 1;
  }
  return fields;
}

bool is_number(std::string_view text) {
  const NumberAndUnit n = split_number(text);
  return n.has_number && n.unit.empty();
}

// One layer of its thickness, Er and perhaps loss tangent; each a
// quantity of the option, refused with the layer's own text.
field::DielectricLayer layer_of(const std::vector<std::string_view>& parts, std::string_view given,
                                float loss_tangent, const Quantity& thickness) {
  if (parts.size() < 2 || parts.size() > 3 || parts[0].empty() || parts[1].empty()) {
    reject_layers(given, kLayerForm);
  }
  const std::string option = "--layers";
  field::DielectricLayer layer{};
  layer.thickness = parse_quantity(option, parts[0], thickness);
  layer.er = parse_quantity(option, parts[1], kLayerEr);
  layer.loss_tangent =
      parts.size() == 3 ? parse_quantity(option, parts[2], kLayerTand) : loss_tangent;
  return layer;
}

void add_layer(field::Stack& stack, const field::DielectricLayer& layer, std::string_view given) {
  if (stack.count == field::kMostLayers) {
    reject_layers(given, "expected at most " + std::to_string(field::kMostLayers) + " layers");
  }
  stack.layers.at(static_cast<std::size_t>(stack.count++)) = layer;
}

// A line of a stack file: thickness, Er, an optional loss tangent, an
// optional name (the first field after Er that is not a number).
void add_file_line(field::Stack& stack, std::string_view line, float loss_tangent,
                   const Quantity& thickness) {
  line = trimmed(line.substr(0, line.find('#')));
  if (line.empty()) return;
  std::vector<std::string_view> parts;
  for (const std::string_view f : fields_of(line, " \t,")) {
    if (!f.empty()) parts.push_back(f);
  }
  if (parts.size() > 2 && !is_number(parts[2])) parts.resize(2);  // a name, no loss tangent
  if (parts.size() > 3) parts.resize(3);                          // the name after it
  add_layer(stack, layer_of(parts, line, loss_tangent, thickness), line);
}

field::Stack layers_of_file(std::string_view text, float loss_tangent, const Quantity& thickness) {
  const std::string name(text.substr(1));
  std::ifstream file(name);
  if (!file) reject_layers(text, "expected a file of layers that can be read");
  field::Stack stack;
  std::string line;
  while (std::getline(file, line)) add_file_line(stack, line, loss_tangent, thickness);
  if (stack.empty()) reject_layers(text, "expected a file with at least one layer");
  return stack;
}

// ---- Where the strips stand ----

int read_layer_number(const OptionValues& v, Opt id, int count) {
  const std::string text = v.shown(id);
  int n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (error != std::errc() || end != text.data() + text.size() || n < 1 || n > count) {
    reject(
        id, text,
        {"expected a layer from 1 to " + std::to_string(count) + ", the layers of ", Opt::layers});
  }
  return n;
}

double thickness(const field::Stack& stack, int n) {
  return stack.layers.at(static_cast<std::size_t>(n - 1)).thickness;
}

// The layer next to the strips that their copper grows into.
void check_room(const OptionValues& v, const field::Stack& stack, int n, float t, Opt where) {
  if (n < 1 || n > stack.count) {
    reject(where, v.shown(where),
           {"the copper grows into a layer beyond the stack of ", Opt::layers});
  }
  if (thickness(stack, n) > static_cast<double>(t)) return;
  reject(Opt::t, v.shown(Opt::t),
         {"layer " + std::to_string(n) + ", which the copper grows into, is not thicker than it"});
}

bool mirror_symmetric(const field::Stack& stack, int core) {
  for (int k = 1; core - k >= 1 && core + k <= stack.count; ++k) {
    if (!(stack.layers.at(static_cast<std::size_t>(core - k - 1)) ==
          stack.layers.at(static_cast<std::size_t>(core + k - 1)))) {
      return false;
    }
  }
  return core - 1 == stack.count - core;
}

void refuse_beside_layers(const OptionValues& v) {
  for (const Opt id : {Opt::b, Opt::er, option_named("h")->id, option_named("sv")->id}) {
    if (v.has(id)) {
      reject(id, v.shown(id), {"not with ", Opt::layers, ": the layers give the board"});
    }
  }
}

// Without --layers, --strips-on and --core have nothing to stand on.
void refuse_without_layers(const OptionValues& v) {
  for (const Opt id : {Opt::strips_on, Opt::core}) {
    if (v.has(id)) reject(id, v.shown(id), {"only with ", Opt::layers});
  }
}

// The one of --strips-on and --core the arrangement takes, the other refused.
Opt layer_option(const OptionValues& v, const ArrangementSpec& a) {
  if (a.id == Arrangement::edge_offset) {
    reject(Opt::geometry, a.name,
           {"not with ", Opt::layers, "; give ", Piece(Opt::geometry, "edge"), " and ",
            Opt::strips_on});
  }
  const Opt taken = a.id == Arrangement::broadside ? Opt::core : Opt::strips_on;
  const Opt other = taken == Opt::core ? Opt::strips_on : Opt::core;
  if (v.has(other)) {
    reject(other, v.shown(other), {"not for ", Piece(Opt::geometry, a.name), "; give ", taken});
  }
  if (!v.has(taken)) refuse(taken, {"missing; ", Opt::layers, " needs it"});
  return taken;
}

// The stack and where the strips stand in it, for the outputs' headers:
// each layer's thickness (d1), Er (er1) and loss tangent (tand1).
void record_stack(OptionValues& v, const field::Stack& stack, Opt where, int n) {
  const std::string given = v.shown(Opt::layers);
  for (int i = 1; i <= stack.count; ++i) {
    const field::DielectricLayer& layer = stack.layers.at(static_cast<std::size_t>(i - 1));
    const std::string number = std::to_string(i);
    v.record_input({"d" + number, given, "in", single_value(static_cast<float>(layer.thickness))});
    v.record_input({"er" + number, given, "", single_value(static_cast<float>(layer.er))});
    v.record_input(
        {"tand" + number, given, "", single_value(static_cast<float>(layer.loss_tangent))});
  }
  v.record_input(
      {std::string(option(where).name), v.shown(where), "", single_value(static_cast<float>(n))});
}

}  // namespace

field::Stack parse_layers(std::string_view text, float loss_tangent, const Quantity& thickness) {
  if (trimmed(text).empty()) reject_layers(text, kLayerForm);
  if (text.front() == '@') return layers_of_file(text, loss_tangent, thickness);
  field::Stack stack;
  for (const std::string_view item : fields_of(text, ",")) {
    add_layer(stack, layer_of(fields_of(item, ":"), item, loss_tangent, thickness), text);
  }
  return stack;
}

std::optional<StackedBoard> read_stacked_board(OptionValues& v, const ArrangementSpec& a,
                                               Solver solver) {
  if (!v.has(Opt::layers)) {
    refuse_without_layers(v);
    return std::nullopt;
  }
  refuse_beside_layers(v);
  if (solver != Solver::field) {
    reject(Opt::layers, v.shown(Opt::layers),
           {"layers need ", Piece(Opt::solver, "field"), "; the model has one dielectric"});
  }
  const Opt where = layer_option(v, a);
  const field::Stack stack =
      parse_layers(v.shown(Opt::layers), v.number(Opt::tand), v.read_as(kLayerThickness));
  const int n = read_layer_number(v, where, stack.count);
  record_stack(v, stack, where, n);
  StackedBoard s{};
  s.board.t = v.number(Opt::t);
  s.placement.arrangement = a.id;
  s.placement.stack = LayerStack{stack, n};
  if (a.id == Arrangement::broadside) {
    if (!mirror_symmetric(stack, n)) {
      reject(Opt::core, v.shown(Opt::core),
             {"the stack of ", Opt::layers,
              " is not mirror-symmetric about this layer's mid-plane: strips one above the other "
              "in it are unequal lines"});
    }
    check_room(v, stack, n - 1, s.board.t, Opt::core);
    check_room(v, stack, n + 1, s.board.t, Opt::core);
    s.placement.sv = static_cast<float>(thickness(stack, n));
  } else {
    check_room(v, stack, n + 1, s.board.t, Opt::strips_on);
  }
  double b = 0.0;
  double highest_er = 1.0;
  for (const field::DielectricLayer& layer : stack.view()) {
    b += layer.thickness;
    highest_er = std::max(highest_er, layer.er);
  }
  s.board.b = static_cast<float>(b);
  s.board.er = static_cast<float>(highest_er);
  return s;
}

}  // namespace ketrovane::commands
