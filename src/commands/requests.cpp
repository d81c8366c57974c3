#include "commands/requests.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "commands/dimension_words.hpp"
#include "commands/input_error.hpp"
#include "commands/layers.hpp"
#include "commands/number_format.hpp"
#include "commands/sweep_axis.hpp"
#include "common/constants.hpp"
#include "design/checks.hpp"
#include "design/quarter_wave.hpp"
#include "model/coupling.hpp"

namespace ketrovane::commands {

namespace {

// The option as a refusal names it.
Piece dashed(Opt id) {
  return id;
}

void check_thickness(const Board& board, const OptionValues& v) {
  if (!thicker_than_allowed(board.t, board.b)) return;
  reject(dashed(Opt::t), v.shown(Opt::t),
         "expected a strip thickness below B, at most 0.8 B (" + shortest(0.8F * board.b) + " in)");
}

void check_even_mode_above_zo(const Axis& zoe, float zo, const OptionValues& v) {
  if (zoe.range.min > zo) return;
  reject(dashed(Opt::zoe), v.shown(Opt::zoe),
         "expected even-mode impedances above Zo (" + shortest(zo) + " ohm)");
}

void require_one_of(const OptionValues& v, Opt a, Opt b) {
  if (v.has(a) == v.has(b)) {
    refuse({a, " or ", b}, v.has(a) ? "give only one of them" : "missing; give one of them");
  }
}

// ---- Where the strips stand ----

// The pieces of `parts` one after the other.
Phrase joined(std::initializer_list<Phrase> parts) {
  Phrase phrase;
  for (const Phrase& part : parts) {
    for (const Piece& piece : part.pieces()) phrase += piece;
  }
  return phrase;
}

// "--w", "--w and --s", "--w, --s and --h".
Phrase options_listed(const std::vector<Opt>& ids) {
  Phrase phrase;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (i > 0) phrase += list_separator(i, ids.size(), " and ");
    phrase += ids[i];
  }
  return phrase;
}

// "--geometry edge and edge-offset": the arrangements `pred` holds for, the
// first of them as the choice of --geometry.
template <typename Pred>
Phrase geometries_where(Pred pred) {
  std::vector<std::string> names;
  for (const ArrangementSpec& a : arrangements()) {
    if (pred(a)) names.emplace_back(a.name);
  }
  Phrase phrase{Piece(Opt::geometry, names.front())};
  for (std::size_t i = 1; i < names.size(); ++i) {
    phrase += list_separator(i, names.size(), " and ");
    phrase += names[i];
  }
  return phrase;
}

// An option the arrangement lacks, given: refused with the arrangements
// that take it.
template <typename Has>
void refuse_unless(const OptionValues& v, Opt id, const ArrangementSpec& a, Has has) {
  if (!v.has(id) || has(a)) return;
  reject(dashed(id), v.shown(id),
         joined({"only for ", geometries_where(has),
                 " (the geometry is " + std::string(a.name) + ")"}));
}

// The dimensions given that the arrangement does not have, and the choice of
// what to solve for where it has no choice.
void refuse_foreign_dimensions(const OptionValues& v, const ArrangementSpec& a) {
  for (const StripDimension* d : dimensions()) {
    refuse_unless(v, option_of(*d), a, [d](const ArrangementSpec& x) { return x.has(*d); });
  }
  refuse_unless(v, Opt::solve, a, [](const ArrangementSpec& x) { return x.chooses_unknowns(); });
}

// The closed-form model knows strips side by side and centred only.
void check_geometry_solver(const ArrangementSpec& a, Solver solver, const OptionValues& v) {
  if (a.on_model || solver == Solver::field) return;
  const Phrase on_model = geometries_where([](const ArrangementSpec& x) { return x.on_model; });
  if (solver == Solver::model) {
    reject(dashed(Opt::geometry), v.shown(Opt::geometry),
           joined({"the closed-form model covers ",
                   on_model,
                   {" only; add ", Piece(Opt::solver, "field")}}));
  }
  reject(dashed(Opt::solver), "both",
         joined({"the model is compared with the field for ",
                 on_model,
                 {" only; use ", Piece(Opt::solver, "field"), " for " + std::string(a.name)}}));
}

// The arrangement, checked against the dimensions given and the solver.
const ArrangementSpec& read_checked_arrangement(OptionValues& v, Solver solver) {
  const ArrangementSpec& a = arrangement_spec(read_arrangement(v));
  refuse_foreign_dimensions(v, a);
  check_geometry_solver(a, solver, v);
  return a;
}

// The options of `ids` and of the dimensions `d` holds for, in the order of
// the option table.
template <typename Pred>
std::vector<Opt> with_dimension_options(std::vector<Opt> ids, Pred pred) {
  for (const StripDimension* d : dimensions()) {
    if (pred(*d)) ids.push_back(option_of(*d));
  }
  std::ranges::sort(ids);
  return ids;
}

// B, T (checked against B) and Er.
Board read_board(OptionValues& v) {
  Board board{};
  board.b = v.number(Opt::b);
  board.t = v.number(Opt::t);
  check_thickness(board, v);
  board.er = v.number(Opt::er);
  return board;
}

// A dimension the stack of layers gives (SV, the core's thickness).
bool given_by_stack(const StripDimension& d, const std::optional<StackedBoard>& stacked) {
  return stacked.has_value() && d.in_placement == &Placement::sv;
}

// The board and the dimensions whose product gives the rows.
Grid read_grid(OptionValues& v, Quotient quotient, Solver solver) {
  Grid g{};
  const ArrangementSpec& a = read_checked_arrangement(v, solver);
  g.arrangement = a.id;
  const std::optional<StackedBoard> stacked = read_stacked_board(v, a, solver);
  g.board = stacked ? stacked->board : read_board(v);
  if (stacked) g.stack = stacked->placement.stack;
  std::vector<Opt> options;
  std::vector<const Axis*> axes;
  for (const StripDimension* d : a.dimensions) {
    if (given_by_stack(*d, stacked)) {
      g.*(d->axis) = single_value(d->of(StripPair(CrossSection{}, stacked->placement)));
      continue;
    }
    g.*(d->axis) = v.axis(option_of(*d), quotient);
    options.push_back(option_of(*d));
    axes.push_back(&(g.*(d->axis)));
  }
  product_rows(options_listed(options), axes);
  return g;
}

// A coupler given by Zo and coupling has no dimensions or losses.
void refuse_dimensions(const OptionValues& v) {
  const std::vector<Opt> refused =
      with_dimension_options({Opt::b, Opt::t, Opt::layers, Opt::strips_on, Opt::core, Opt::geometry,
                              Opt::rho, Opt::roughness, Opt::tand},
                             [](const StripDimension& /*d*/) { return true; });
  for (const Opt id : refused) {
    if (v.has(id)) {
      reject(
          dashed(id), v.shown(id),
          {"a coupler given by ", Opt::zo, " and ", Opt::coupling, " has no dimensions or losses"});
    }
  }
}

// What a synthesis of an arrangement with a choice solves for beside the
// width (--solve w,sv), refused when given too.
field::SynthesisUnknowns read_unknowns(OptionValues& v, const ArrangementSpec& a) {
  const std::string_view choice = v.choice(Opt::solve);
  const StripDimension* solved = nullptr;
  std::vector<Opt> others;
  for (const StripDimension* d : a.dimensions) {
    if (!d->solved_with_width) continue;
    if (choice == "w," + std::string(d->name)) {
      solved = d;
    } else {
      others.push_back(option_of(*d));
    }
  }
  if (solved == nullptr) throw std::logic_error("--solve names no dimension of the arrangement");
  const Opt id = option_of(*solved);
  if (v.has(id)) {
    reject(dashed(id), v.shown(id),
           joined({{"solved for with ", Piece(Opt::solve, choice), "; give only "},
                   options_listed(others)}));
  }
  return *solved->solved_with_width;
}

// On a stack SV is the core layer's thickness: a synthesis cannot choose it.
void refuse_solved_gap_on_stack(const OptionValues& v, const field::SynthesisUnknowns unknowns) {
  if (unknowns != field::SynthesisUnknowns::width_and_vertical_gap) return;
  reject(Opt::solve, v.shown(Opt::solve),
         {"not on a stack of ", Opt::layers,
          ": SV is the thickness of the core layer, which the stack fixes; give ",
          Piece(Opt::solve, "w,wo")});
}

// What a synthesis solves for: W and S side by side; W and WO (SV given) or
// W and SV (WO given) one above the other.  The other dimensions of the
// placement are given, on a stack of layers by the stack.
SynthesisSetup read_synthesis_setup(OptionValues& v, Solver solver,
                                    const std::optional<StackedBoard>& stacked) {
  SynthesisSetup setup;
  const ArrangementSpec& a = read_checked_arrangement(v, solver);
  if (a.chooses_unknowns()) setup.unknowns = read_unknowns(v, a);
  if (stacked) refuse_solved_gap_on_stack(v, setup.unknowns);
  const StripDimension& solved = a.solved(setup.unknowns);
  StripPair given(CrossSection{}, stacked ? stacked->placement : Placement{.arrangement = a.id});
  for (const StripDimension* d : a.dimensions) {
    if (d->of_placement() && d != &solved && !given_by_stack(*d, stacked)) {
      d->in(given) = v.number(option_of(*d));
    }
  }
  setup.placement = given.placement;
  if (v.has(Opt::min_gap)) setup.limits.min_gap = v.number(Opt::min_gap);
  if (v.has(Opt::min_width)) setup.limits.min_width = v.number(Opt::min_width);
  return setup;
}

// The board of a synthesis and what it is given: on a stack of layers
// (the field's alone) the stack's board and placement.
struct SynthesisBoard {
  Board board;
  SynthesisSetup setup;
};

SynthesisBoard read_synthesis_board(OptionValues& v, Solver solver) {
  const ArrangementSpec& a = read_checked_arrangement(v, solver);
  const std::optional<StackedBoard> stacked = read_stacked_board(v, a, solver);
  return {stacked->board, read_synthesis_setup(v, solver, stacked)};
}

void check_response_solver(const ResponseRequest& q) {
  if (q.dimensions || q.solver == Solver::model) return;
  constexpr std::string_view kExpected =
      "expected model for a coupler given by Zo and coupling (field and both need its "
      "dimensions: ";
  reject(dashed(Opt::solver), q.solver == Solver::field ? "field" : "both",
         {kExpected, Opt::b, " ", Opt::t, " ", Opt::w, " ", Opt::s, ")"});
}

// ---- Multi-section couplers ----

// An odd whole number from 1 to 15.
int read_sections(OptionValues& v) {
  const float n = v.number(Opt::sections);
  if (n != std::round(n) || std::fmod(n, 2.0F) == 0.0F) {
    reject(dashed(Opt::sections), v.shown(Opt::sections),
           "expected an odd whole number of sections, from 1 to 15");
  }
  return static_cast<int>(n);
}

// The profile: over --band, within --ripple about --f0, or maximally flat
// about --f0; refused with the design's own reason.
MultisectionDesign read_profile(OptionValues& v) {
  const int n = read_sections(v);
  const double c = std::fabs(v.number(Opt::coupling));
  const bool flat = v.choice(Opt::profile) == "maximally-flat";
  MultisectionDesign d;
  if (v.has(Opt::band)) {
    for (const Opt id : {Opt::f0, Opt::ripple, Opt::profile}) {
      if (v.has(id) && !(id == Opt::profile && !flat)) {
        reject(dashed(id), v.shown(id),
               {"not with ", Opt::band, ", which sets the equal-ripple band"});
      }
    }
    const auto [f1, f2] = v.pair(Opt::band);
    d = design_equal_ripple(n, c, f1, f2);
  } else if (!v.has(Opt::f0)) {
    refuse({Opt::band, " or ", Opt::f0}, {"missing; give the band, or f0 with ",
                                          Opt::ripple,
                                          " or ",
                                          {Opt::profile, "maximally-flat"}});
  } else if (flat) {
    if (v.has(Opt::ripple)) {
      reject(dashed(Opt::ripple), v.shown(Opt::ripple),
             {"not with ", {Opt::profile, "maximally-flat"}});
    }
    d = design_maximally_flat(n, c, v.number(Opt::f0));
  } else if (v.has(Opt::ripple)) {
    d = design_for_ripple(n, c, v.number(Opt::f0), v.number(Opt::ripple));
  } else {
    refuse({Opt::ripple, " or ", {Opt::profile, "maximally-flat"}},
           {"missing; give one of them with ", Opt::f0});
  }
  if (!d.ok) refuse("multisection", d.message);
  return d;
}

// Options of a board given without one.
void refuse_board_options(const OptionValues& v) {
  const std::vector<Opt> refused =
      with_dimension_options({Opt::t, Opt::geometry, Opt::solve, Opt::min_gap, Opt::min_width,
                              Opt::rho, Opt::roughness, Opt::tand},
                             [](const StripDimension& d) { return d.of_placement(); });
  for (const Opt id : refused) {
    if (v.has(id))
      reject(dashed(id), v.shown(id), {"only with a board: ", Opt::b, " and ", Opt::t});
  }
}

MultisectionBuild read_build(OptionValues& v) {
  MultisectionBuild b{};
  b.solver = read_solver(v);
  b.zo = v.number(Opt::zo);
  if (v.has(Opt::layers)) {
    const SynthesisBoard on_stack = read_synthesis_board(v, b.solver);
    b.board = on_stack.board;
    b.er = on_stack.board.er;
    b.setup = on_stack.setup;
    b.materials = read_materials(v);
    return b;
  }
  if (!v.has(Opt::b)) {
    refuse_board_options(v);
    if (b.solver != Solver::model) {
      reject(dashed(Opt::solver), std::string(v.choice(Opt::solver)),
             {"the field solution needs a board: ", Opt::b, " and ", Opt::t});
    }
    b.er = v.number(Opt::er);
    return b;
  }
  b.board = read_board(v);
  b.er = b.board->er;
  b.setup = read_synthesis_setup(v, b.solver, std::nullopt);
  b.materials = read_materials(v);
  return b;
}

}  // namespace

Materials read_materials(OptionValues& v) {
  Materials m{};
  m.conductor.resistivity_ohm_inch = v.resistivity() * kOhmInchPerMicroOhmCm;
  m.conductor.roughness_inch = v.number(Opt::roughness);
  m.loss_tangent = v.number(Opt::tand);
  return m;
}

StripPair read_dimensions(OptionValues& v, float er, Solver solver) {
  const ArrangementSpec& a = read_checked_arrangement(v, solver);
  if (std::optional<StackedBoard> stacked = read_stacked_board(v, a, solver)) {
    StripPair pair(CrossSection{stacked->board, 0.0F, 0.0F}, stacked->placement);
    for (const StripDimension* d : a.dimensions) {
      if (!given_by_stack(*d, stacked)) d->in(pair) = v.number(option_of(*d));
    }
    return pair;
  }
  StripPair pair(CrossSection{}, Placement{.arrangement = a.id});
  pair.x.board.b = v.number(Opt::b);
  pair.x.board.t = v.number(Opt::t);
  check_thickness(pair.x.board, v);
  for (const StripDimension* d : a.dimensions) d->in(pair) = v.number(option_of(*d));
  pair.x.board.er = er;
  return pair;
}

Solver read_solver(OptionValues& v) {
  const std::string_view name = v.choice(Opt::solver);
  if (name == "field") return Solver::field;
  if (name == "both") return Solver::both;
  return Solver::model;
}

Arrangement read_arrangement(OptionValues& v) {
  const ArrangementSpec* a = arrangement_named(v.choice(Opt::geometry));
  return a != nullptr ? a->id : arrangements().front().id;
}

std::string_view geometry_name(Arrangement a) {
  return arrangement_spec(a).name;
}

ColumnChoice column_choice(Command command, OptionValues& v) {
  ColumnChoice c;
  if (option(Opt::solver).taken_by(command)) c.solver = read_solver(v);
  c.with_length = command == Command::synthesise && v.has(Opt::f0);
  // The sections of a multi-section coupler have dimensions on a board.
  if (command == Command::multisection) c.with_length = v.has(Opt::b) || v.has(Opt::layers);
  c.arrangement = read_arrangement(v);
  // A response given by Zo and coupling has no cross-section.
  if (command == Command::response && (v.has(Opt::zo) || v.has(Opt::coupling))) {
    c.arrangement = ColumnChoice{}.arrangement;
  } else if (command == Command::response) {
    c.from_dimensions = true;
  }
  if (option(Opt::compensate).taken_by(command)) c.compensated = v.choice(Opt::compensate) == "on";
  return c;
}

AnalyseRequest read_analyse(OptionValues& v) {
  AnalyseRequest q{};
  q.solver = read_solver(v);
  q.grid = read_grid(v, Quotient::double_precision, q.solver);
  q.materials = read_materials(v);
  q.f_mhz = v.number(Opt::f);
  return q;
}

SynthesiseRequest read_synthesise(OptionValues& v) {
  SynthesiseRequest q{};
  q.solver = read_solver(v);
  std::optional<SynthesisBoard> on_stack;
  if (v.has(Opt::layers)) {
    on_stack = read_synthesis_board(v, q.solver);
    q.board = on_stack->board;
  } else {
    q.board = read_board(v);
  }
  q.zo = v.number(Opt::zo);
  require_one_of(v, Opt::coupling, Opt::zoe);
  q.by_coupling = v.has(Opt::coupling);
  if (q.by_coupling) {
    q.targets = v.axis(Opt::coupling, Quotient::single_precision);
  } else {
    q.targets = v.axis(Opt::zoe, Quotient::single_precision);
    check_even_mode_above_zo(q.targets, q.zo, v);
  }
  if (v.has(Opt::f0)) q.f0_mhz = v.number(Opt::f0);
  // On a stack each design's modes give its own length.
  if (q.f0_mhz && !on_stack) q.length_inch = quarter_wave_length(*q.f0_mhz, q.board.er);
  q.setup = on_stack ? on_stack->setup : read_synthesis_setup(v, q.solver, std::nullopt);
  return q;
}

// On a stack the two modes travel at their own speeds: the section is a
// quarter wave at f0 at the mean of their phase velocities, which the
// field solution of its cross-section gives (NaN where it has none).
void set_length_on_stack(ResponseRequest& q, OptionValues& v) {
  const CouplerImpedances z =
      coupler_of_dimensions(*q.dimensions, q.materials, 1.0F, q.solver).impedances;
  if (v.has(Opt::length)) {
    q.length_inch = v.number(Opt::length);
    q.f0_mhz = quarter_wave_frequency(q.length_inch, z.eeff_even, z.eeff_odd);
  } else {
    q.f0_mhz = v.number(Opt::f0);
    q.length_inch = quarter_wave_length(q.f0_mhz, z.eeff_even, z.eeff_odd);
  }
}

ResponseRequest read_response_coupler(OptionValues& v, bool with_loss) {
  ResponseRequest q{};
  const bool by_impedance = v.has(Opt::zo) || v.has(Opt::coupling);
  if (by_impedance) {
    refuse_dimensions(v);
    q.zo = v.number(Opt::zo);
    q.coupling_db = -std::fabs(v.number(Opt::coupling));
  }
  const bool stacked = !by_impedance && v.has(Opt::layers);
  q.er = stacked ? 0.0F : v.number(Opt::er);
  q.solver = read_solver(v);
  if (!by_impedance) {
    q.dimensions = read_dimensions(v, q.er, q.solver);
    if (with_loss) q.materials = read_materials(v);
  }
  require_one_of(v, Opt::length, Opt::f0);
  if (stacked) {
    q.er = q.dimensions->x.board.er;
    set_length_on_stack(q, v);
  } else if (v.has(Opt::length)) {
    q.length_inch = v.number(Opt::length);
    q.f0_mhz = quarter_wave_frequency(q.length_inch, q.er);
  } else {
    q.f0_mhz = v.number(Opt::f0);
    q.length_inch = quarter_wave_length(q.f0_mhz, q.er);
  }
  return q;
}

ResponseRequest read_response(OptionValues& v) {
  ResponseRequest q = read_response_coupler(v, true);
  q.f = v.axis(Opt::f, Quotient::single_precision);
  q.terminations.source = v.number(Opt::rs);
  q.terminations.load = v.number(Opt::rl);
  q.flatness_db = v.number(Opt::flatness);
  check_response_solver(q);
  return q;
}

SensitivityRequest read_sensitivity(OptionValues& v) {
  SensitivityRequest q{};
  q.solver = read_solver(v);
  q.grid = read_grid(v, Quotient::single_precision, q.solver);
  return q;
}

FieldRequest read_field(OptionValues& v) {
  FieldRequest q{};
  q.grid = read_grid(v, Quotient::single_precision, Solver::field);
  q.tolerance = v.number(Opt::tol);
  return q;
}

MultisectionRequest read_multisection_coupler(OptionValues& v) {
  MultisectionRequest q{};
  q.build = read_build(v);
  q.design = read_profile(v);
  return q;
}

MultisectionRequest read_multisection(OptionValues& v) {
  MultisectionRequest q = read_multisection_coupler(v);
  if (v.has(Opt::f)) q.f = v.axis(Opt::f, Quotient::single_precision);
  q.terminations.source = v.number(Opt::rs);
  q.terminations.load = v.number(Opt::rl);
  q.response_table = v.choice(Opt::table) == "response";
  if (q.response_table && !q.f) {
    refuse(Opt::f,
           {"missing; ", {Opt::table, "response"}, " needs the frequencies of the response"});
  }
  q.coupler = std::make_shared<const MultisectionCoupler>(multisection_coupler(q.design, q.build));
  return q;
}

ResponseCoupler coupler_of(const ResponseRequest& q) {
  if (q.dimensions) {
    return coupler_of_dimensions(*q.dimensions, q.materials, q.length_inch, q.solver);
  }
  const ModesOfCoupler modes = modes_from_coupler({q.zo, q.coupling_db});
  return coupler_of_impedances(modes.zoe, modes.zoo, q.er, q.length_inch);
}

namespace {

// The option of the strip's height, H.
Opt height_option() {
  for (const StripDimension* d : dimensions()) {
    if (d->in_placement == &Placement::h) return option_of(*d);
  }
  return Opt::geometry;  // not reached: every table has H
}

// Where the line stands: centred on the board, at --h on it (the field's
// alone), or on layer --strips-on of a stack.
StripPair read_line_place(OptionValues& v, Solver solver) {
  const Opt h = height_option();
  const ArrangementSpec& centred = arrangement_spec(Arrangement::edge);
  if (std::optional<StackedBoard> stacked = read_stacked_board(v, centred, solver)) {
    return {CrossSection{stacked->board, 0.0F, 0.0F}, stacked->placement};
  }
  const Board board = read_board(v);
  if (!v.has(h)) return StripPair(CrossSection{board, 0.0F, 0.0F});
  if (solver != Solver::field) {
    reject(
        dashed(h), v.shown(h),
        {"the closed-form model covers a centred strip only; add ", Piece(Opt::solver, "field")});
  }
  const float height = v.number(h);
  if (!(height - board.t / 2 > 0.0F) || !(height + board.t / 2 < board.b)) {
    reject(dashed(h), v.shown(h),
           "expected the strip between the planes: above T/2 (" + shortest(board.t / 2) +
               " in) and below B - T/2 (" + shortest(board.b - board.t / 2) + " in)");
  }
  return {CrossSection{board, 0.0F, 0.0F},
          Placement{.arrangement = Arrangement::edge_offset, .h = height}};
}

}  // namespace

LineRequest read_line(OptionValues& v) {
  LineRequest q{};
  q.solver = read_solver(v);
  require_one_of(v, Opt::w, Opt::zo);
  q.where = read_line_place(v, q.solver);
  q.by_impedance = v.has(Opt::zo);
  q.values = v.axis(q.by_impedance ? Opt::zo : Opt::w, Quotient::double_precision);
  q.materials = read_materials(v);
  q.f_mhz = v.number(Opt::f);
  return q;
}

}  // namespace ketrovane::commands
