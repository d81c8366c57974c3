// The batch commands' option reading on arbitrary bytes: numbers, units,
// ranges, metal names and the checks between options.
//
// The first byte picks the command; the rest is lines of "name=value",
// read as the command line's texts and as a script's numbers.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "commands/call_values.hpp"
#include "commands/command_table.hpp"
#include "commands/input_error.hpp"
#include "commands/mode_note.hpp"
#include "commands/quantities.hpp"
#include "commands/requests.hpp"
#include "commands/sweep_axis.hpp"
#include "design/band_summary.hpp"
#include "fuzz_check.hpp"
#include "fuzz_cores.hpp"

namespace ketrovane::fuzz {

namespace {

using commands::InputError;
using commands::Opt;

// An option named in the input and its text.
struct Named {
  Opt id;
  std::string text;
};

// A message is one line of printable text that starts with the option:
// ASCII, and characters beyond it as whole UTF-8 sequences.
void check_message(const InputError& e) {
  const std::string_view m = e.what();
  KETROVANE_FUZZ_CHECK(m.starts_with("--"));
  std::size_t continuations = 0;
  for (const char c : m) {
    const auto u = static_cast<unsigned char>(c);
    if (continuations > 0) {
      KETROVANE_FUZZ_CHECK((u & 0xc0U) == 0x80U);
      --continuations;
      continue;
    }
    continuations = u >= 0xf0U ? 3 : u >= 0xe0U ? 2 : u >= 0xc2U ? 1 : 0;
    KETROVANE_FUZZ_CHECK(continuations > 0 || (u >= 0x20 && u < 0x7f));
  }
  KETROVANE_FUZZ_CHECK(continuations == 0);
  KETROVANE_FUZZ_CHECK(m.size() < 600);
}

void check_axis(const Axis& a) {
  KETROVANE_FUZZ_CHECK(a.rows >= 1 && a.rows <= commands::kMostRows);
  KETROVANE_FUZZ_CHECK(std::isfinite(a.value(0)) && std::isfinite(a.value(a.rows - 1)));
  if (!a.swept) KETROVANE_FUZZ_CHECK(a.rows == 1);
}

void check_board(const Board& board) {
  KETROVANE_FUZZ_CHECK(board.b > 0.0F && std::isfinite(board.b));
  KETROVANE_FUZZ_CHECK(board.t >= 0.0F && board.t <= 0.8F * board.b);
  KETROVANE_FUZZ_CHECK(board.er >= 1.0F && std::isfinite(board.er));
}

void check_grid(const Grid& g) {
  check_board(g.board);
  for (const Axis* a : {&g.w, &g.s, &g.h, &g.sv, &g.wo}) check_axis(*a);
  KETROVANE_FUZZ_CHECK(g.rows() <= commands::kMostRows);
  // The dimensions an arrangement lacks stay a single 0.
  if (g.arrangement != Arrangement::edge_offset) KETROVANE_FUZZ_CHECK(g.h.rows == 1);
  if (g.arrangement != Arrangement::broadside) {
    KETROVANE_FUZZ_CHECK(g.sv.rows == 1 && g.wo.rows == 1);
  } else {
    KETROVANE_FUZZ_CHECK(g.s.rows == 1 && g.s.value(0) == 0.0F);
  }
}

// What every request that was read must hold.
void check_request(const commands::Request& request) {
  std::visit(
      [](const auto& q) {
        using Q = std::decay_t<decltype(q)>;
        if constexpr (std::is_same_v<Q, commands::FieldRequest>) {
          check_grid(q.grid);
          KETROVANE_FUZZ_CHECK(q.tolerance >= 1e-10 && q.tolerance <= 0.01);
        } else if constexpr (std::is_same_v<Q, commands::AnalyseRequest>) {
          check_grid(q.grid);
          KETROVANE_FUZZ_CHECK(q.f_mhz > 0.0F && q.materials.loss_tangent >= 0.0F);
        } else if constexpr (std::is_same_v<Q, commands::SynthesiseRequest>) {
          check_board(q.board);
          check_axis(q.targets);
          if (q.by_coupling) {
            KETROVANE_FUZZ_CHECK(std::fabs(q.targets.value(0)) > 0.0F);
          } else {
            KETROVANE_FUZZ_CHECK(q.targets.value(0) > q.zo);
          }
        } else if constexpr (std::is_same_v<Q, commands::ResponseRequest>) {
          check_axis(q.f);
          KETROVANE_FUZZ_CHECK(q.f.value(0) > 0.0F);
          KETROVANE_FUZZ_CHECK(q.length_inch > 0.0F && q.terminations.source > 0.0F &&
                               q.terminations.load > 0.0F);
          if (q.dimensions) check_board(q.dimensions->x.board);
          if (!q.dimensions) KETROVANE_FUZZ_CHECK(q.coupling_db < 0.0F);
        } else if constexpr (std::is_same_v<Q, commands::MultisectionRequest>) {
          // A profile that was read is a design, odd and symmetric.
          KETROVANE_FUZZ_CHECK(q.design.ok && q.design.sections % 2 == 1);
          KETROVANE_FUZZ_CHECK(q.design.section_coupling.size() ==
                               static_cast<std::size_t>(q.design.sections));
          if (q.build.board) check_board(*q.build.board);
          if (q.f) check_axis(*q.f);
        } else if constexpr (std::is_same_v<Q, commands::ToleranceRequest>) {
          // A slice within the run, half-widths that are numbers, limits in order.
          check_board(q.design.nominal.x.board);
          KETROVANE_FUZZ_CHECK(q.samples >= 1 && q.samples <= 1000000000U);
          KETROVANE_FUZZ_CHECK(q.start < q.samples && q.count <= q.samples - q.start);
          for (const Variation& v : q.design.variations) {
            KETROVANE_FUZZ_CHECK(std::isfinite(v.half_width) && v.half_width >= 0.0);
          }
          for (const Limit& l : q.limits) KETROVANE_FUZZ_CHECK(l.low < l.high);
        } else if constexpr (std::is_same_v<Q, commands::LineRequest>) {
          // One strip: a board, and widths or impedances above zero.
          check_board(q.where.x.board);
          check_axis(q.values);
          KETROVANE_FUZZ_CHECK(q.values.value(0) > 0.0F && q.f_mhz > 0.0F);
        } else if constexpr (std::is_same_v<Q, commands::LayoutRequest>) {
          // A coupler drawn by its dimensions, terminated.
          KETROVANE_FUZZ_CHECK(q.coupler.dimensions.has_value());
          KETROVANE_FUZZ_CHECK(q.coupler.length_inch > 0.0F &&
                               q.coupler.terminations.source > 0.0F &&
                               q.coupler.terminations.load > 0.0F);
          check_board(q.coupler.dimensions->x.board);
        } else {
          check_grid(q.grid);
        }
      },
      request);
}

// The notes and the band summary of a request that was read: one printable
// line, and edges within the sweep.  The summary computes rows, so only
// short sweeps have one.
constexpr std::int64_t kMostSummaryRows = 2000;

void check_figures(const commands::Request& request) {
  const std::string note = commands::higher_mode_note(request, commands::kInches);
  for (const char c : note) {
    const auto u = static_cast<unsigned char>(c);
    KETROVANE_FUZZ_CHECK(u >= 0x20 && u < 0x7f);
  }
  const auto* q = std::get_if<commands::ResponseRequest>(&request);
  if (q == nullptr || q->f.rows > kMostSummaryRows) return;
  const BandSummary s =
      band_summary(commands::coupler_of(*q), q->terminations, q->f, q->f0_mhz, q->flatness_db);
  if (!s.low || !s.high) return;
  const float first = q->f.value(0);
  const float last = q->f.value(q->f.rows - 1);
  KETROVANE_FUZZ_CHECK(s.low->f_mhz >= first && s.low->f_mhz <= s.f0_mhz);
  KETROVANE_FUZZ_CHECK(s.high->f_mhz <= last && s.high->f_mhz >= s.f0_mhz);
}

std::vector<Named> options_of(std::string_view text) {
  std::vector<Named> named;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
      if (const commands::OptionSpec* o = commands::option_named(line.substr(0, equals))) {
        std::erase_if(named, [o](const Named& n) { return n.id == o->id; });
        named.push_back({o->id, std::string(line.substr(equals + 1))});
      }
    }
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return named;
}

// A request that is read holds what it must; one that is not says why in
// one line.
void read_and_check(const commands::CommandSpec& command, commands::OptionValues& values) {
  try {
    const commands::Request request = command.read(values);
    check_request(request);
    check_figures(request);
  } catch (const InputError& e) {
    check_message(e);
  } catch (const FieldFailure& e) {
    // A cross-section the field cannot solve (a strip against a plane, say)
    // is the rows' to report, with where it is.
    KETROVANE_FUZZ_CHECK(commands::failure_message(e).starts_with("no field "));
  }
}

// The command line's reading of the texts.
void read_texts(const commands::CommandSpec& command, const std::vector<Named>& named) {
  commands::TextValues values;
  for (const Named& n : named) values.set(n.id, n.text);
  read_and_check(command, values);
}

// A script's reading of the same values: a text that reads whole as a
// number is given as that number, in millimetres and GHz.
void read_numbers(const commands::CommandSpec& command, const std::vector<Named>& named) {
  std::vector<double> numbers(named.size());
  std::vector<commands::Argument> arguments;
  for (std::size_t i = 0; i < named.size(); ++i) {
    const Named& n = named[i];
    char* end = nullptr;
    numbers[i] = std::strtod(n.text.c_str(), &end);
    const bool number = !n.text.empty() && end == n.text.c_str() + n.text.size() &&
                        commands::option(n.id).kind == commands::ValueKind::quantity;
    arguments.push_back({n.id, number ? std::nullopt : std::optional<std::string_view>(n.text),
                         number ? &numbers[i] : nullptr, false});
  }
  const commands::Call call(command.id, arguments, "mm", "GHz", 1);
  commands::ElementValues values(call, 0);
  read_and_check(command, values);
}

// Every value also read alone as each kind of quantity.
void check_quantities(const std::vector<Named>& named) {
  constexpr commands::Quantity kKinds[] = {
      {"length", commands::Dimension::length, 0.0, false, 1000.0},
      {"frequency", commands::Dimension::frequency, 0.0, false, 1.0e6},
      {"impedance", commands::Dimension::impedance, 0.0, false, 1.0e4},
      {"coupling", commands::Dimension::coupling, 0.0, false, 60.0, true},
      {"number", commands::Dimension::pure, 0.0, true, 1.0},
  };
  for (const auto& [id, value] : named) {
    for (const commands::Quantity& q : kKinds) {
      try {
        const float v = commands::parse_quantity("--x", value, q);
        KETROVANE_FUZZ_CHECK(std::isfinite(v));
        KETROVANE_FUZZ_CHECK(std::fabs(static_cast<double>(v)) <= q.most);
      } catch (const InputError& e) {
        check_message(e);
      }
    }
  }
}

}  // namespace

int fuzz_calc_options(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const commands::CommandSpec& command =
      commands::all_commands()[data[0] % commands::kCommandCount];
  const std::vector<Named> named =
      options_of(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  check_quantities(named);
  read_texts(command, named);
  read_numbers(command, named);
  return 0;
}

}  // namespace ketrovane::fuzz
