#include "batch/requests.hpp"

#include <cmath>

#include "batch/input_error.hpp"
#include "batch/number_format.hpp"
#include "batch/sweep_axis.hpp"
#include "common/constants.hpp"
#include "design/checks.hpp"
#include "design/quarter_wave.hpp"
#include "model/coupling.hpp"

namespace ketrovane::batch {

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

bool arrangement_has(Arrangement a, Opt id) {
  switch (id) {
    case Opt::s:
      return a != Arrangement::broadside;
    case Opt::h:
      return a == Arrangement::edge_offset;
    default:  // sv, wo, solve
      return a == Arrangement::broadside;
  }
}

// "only for --geometry edge and edge-offset (the geometry is broadside)":
// the arrangements that have the dimension, each a choice of --geometry.
Phrase only_for_arrangements(Opt id, Arrangement a) {
  Phrase phrase{"only for "};
  switch (id) {
    case Opt::s:
      phrase += Piece(Opt::geometry, "edge");
      phrase += " and edge-offset";
      break;
    case Opt::h:
      phrase += Piece(Opt::geometry, "edge-offset");
      break;
    default:
      phrase += Piece(Opt::geometry, "broadside");
  }
  phrase += " (the geometry is " + std::string(geometry_name(a)) + ")";
  return phrase;
}

// The dimensions given that the arrangement does not have.
void refuse_foreign_dimensions(const OptionValues& v, Arrangement a) {
  for (const Opt id : {Opt::s, Opt::h, Opt::sv, Opt::wo, Opt::solve}) {
    if (v.has(id) && !arrangement_has(a, id)) {
      reject(dashed(id), v.shown(id), only_for_arrangements(id, a));
    }
  }
}

// The closed-form model knows strips side by side and centred only.
void check_geometry_solver(Arrangement a, Solver solver, const OptionValues& v) {
  if (a == Arrangement::edge || solver == Solver::field) return;
  if (solver == Solver::model) {
    reject(dashed(Opt::geometry), v.shown(Opt::geometry),
           {"the closed-form model covers ",
            {Opt::geometry, "edge"},
            " only; add ",
            {Opt::solver, "field"}});
  }
  reject(dashed(Opt::solver), "both",
         {"the model is compared with the field for ",
          {Opt::geometry, "edge"},
          " only; use ",
          {Opt::solver, "field"},
          " for " + std::string(geometry_name(a))});
}

// The arrangement, checked against the dimensions given and the solver.
Arrangement read_checked_arrangement(OptionValues& v, Solver solver) {
  const Arrangement a = read_arrangement(v);
  refuse_foreign_dimensions(v, a);
  check_geometry_solver(a, solver, v);
  return a;
}

// The single values of a placement; those the arrangement lacks stay 0.
Placement read_placement(OptionValues& v, Arrangement a) {
  Placement p{a, 0.0F, 0.0F, 0.0F};
  if (a == Arrangement::edge_offset) p.h = v.number(Opt::h);
  if (a == Arrangement::broadside) {
    p.sv = v.number(Opt::sv);
    p.wo = v.number(Opt::wo);
  }
  return p;
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

// The board and the dimensions whose product gives the rows.
Grid read_grid(OptionValues& v, Quotient quotient, Solver solver) {
  Grid g{};
  g.arrangement = read_checked_arrangement(v, solver);
  g.board = read_board(v);
  g.w = v.axis(Opt::w, quotient);
  if (g.arrangement == Arrangement::broadside) {
    g.sv = v.axis(Opt::sv, quotient);
    g.wo = v.axis(Opt::wo, quotient);
    product_rows({Opt::w, ", ", Opt::sv, " and ", Opt::wo}, g.w, g.sv, g.wo);
    return g;
  }
  g.s = v.axis(Opt::s, quotient);
  if (g.arrangement == Arrangement::edge_offset) {
    g.h = v.axis(Opt::h, quotient);
    product_rows({Opt::w, ", ", Opt::s, " and ", Opt::h}, g.w, g.s, g.h);
    return g;
  }
  product_rows({Opt::w, " and ", Opt::s}, g.w, g.s);
  return g;
}

// A coupler given by Zo and coupling has no dimensions or losses.
void refuse_dimensions(const OptionValues& v) {
  for (const Opt id : {Opt::b, Opt::t, Opt::w, Opt::s, Opt::geometry, Opt::h, Opt::sv, Opt::wo,
                       Opt::rho, Opt::roughness, Opt::tand}) {
    if (v.has(id)) {
      reject(
          dashed(id), v.shown(id),
          {"a coupler given by ", Opt::zo, " and ", Opt::coupling, " has no dimensions or losses"});
    }
  }
}

// What a synthesis solves for: W and S side by side; W and WO (SV given) or
// W and SV (WO given) one above the other.
SynthesisSetup read_synthesis_setup(OptionValues& v, Solver solver) {
  SynthesisSetup setup;
  const Arrangement a = read_checked_arrangement(v, solver);
  setup.placement.arrangement = a;
  if (a == Arrangement::edge_offset) setup.placement.h = v.number(Opt::h);
  if (a == Arrangement::broadside) {
    const bool solve_gap = v.choice(Opt::solve) == "w,sv";
    setup.unknowns = solve_gap ? field::SynthesisUnknowns::width_and_vertical_gap
                               : field::SynthesisUnknowns::width_and_offset;
    const Opt solved = solve_gap ? Opt::sv : Opt::wo;
    if (v.has(solved)) {
      reject(dashed(solved), v.shown(solved),
             {"solved for with ",
              {Opt::solve, solve_gap ? "w,sv" : "w,wo"},
              "; give only ",
              solve_gap ? Opt::wo : Opt::sv});
    }
    if (solve_gap) {
      setup.placement.wo = v.number(Opt::wo);
    } else {
      setup.placement.sv = v.number(Opt::sv);
    }
  }
  if (v.has(Opt::min_gap)) setup.limits.min_gap = v.number(Opt::min_gap);
  if (v.has(Opt::min_width)) setup.limits.min_width = v.number(Opt::min_width);
  return setup;
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
  for (const Opt id : {Opt::t, Opt::geometry, Opt::h, Opt::sv, Opt::wo, Opt::solve, Opt::min_gap,
                       Opt::min_width, Opt::rho, Opt::roughness, Opt::tand}) {
    if (v.has(id))
      reject(dashed(id), v.shown(id), {"only with a board: ", Opt::b, " and ", Opt::t});
  }
}

MultisectionBuild read_build(OptionValues& v) {
  MultisectionBuild b{};
  b.solver = read_solver(v);
  if (b.solver == Solver::both) {
    reject(dashed(Opt::solver), "both", "expected model or field for a multi-section coupler");
  }
  b.zo = v.number(Opt::zo);
  if (!v.has(Opt::b)) {
    refuse_board_options(v);
    if (b.solver != Solver::model) {
      reject(dashed(Opt::solver), "field",
             {"the field solution needs a board: ", Opt::b, " and ", Opt::t});
    }
    b.er = v.number(Opt::er);
    return b;
  }
  b.board = read_board(v);
  b.er = b.board->er;
  b.setup = read_synthesis_setup(v, b.solver);
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
  const Arrangement a = read_checked_arrangement(v, solver);
  CrossSection x{};
  x.board.b = v.number(Opt::b);
  x.board.t = v.number(Opt::t);
  check_thickness(x.board, v);
  x.w = v.number(Opt::w);
  x.s = a == Arrangement::broadside ? 0.0F : v.number(Opt::s);
  x.board.er = er;
  return {x, read_placement(v, a)};
}

Solver read_solver(OptionValues& v) {
  const std::string_view name = v.choice(Opt::solver);
  if (name == "field") return Solver::field;
  if (name == "both") return Solver::both;
  return Solver::model;
}

Arrangement read_arrangement(OptionValues& v) {
  const std::string_view name = v.choice(Opt::geometry);
  if (name == "edge-offset") return Arrangement::edge_offset;
  if (name == "broadside") return Arrangement::broadside;
  return Arrangement::edge;
}

std::string_view geometry_name(Arrangement a) {
  switch (a) {
    case Arrangement::edge_offset:
      return "edge-offset";
    case Arrangement::broadside:
      return "broadside";
    case Arrangement::edge:
      break;
  }
  return "edge";
}

ColumnChoice column_choice(Command command, OptionValues& v) {
  ColumnChoice c;
  if (option(Opt::solver).taken_by(command)) c.solver = read_solver(v);
  c.with_length = command == Command::synthesise && v.has(Opt::f0);
  // The sections of a multi-section coupler have dimensions on a board.
  if (command == Command::multisection) c.with_length = v.has(Opt::b);
  c.arrangement = read_arrangement(v);
  // A response given by Zo and coupling has no cross-section.
  if (command == Command::response && (v.has(Opt::zo) || v.has(Opt::coupling))) {
    c.arrangement = Arrangement::edge;
  }
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
  q.board = read_board(v);
  q.zo = v.number(Opt::zo);
  require_one_of(v, Opt::coupling, Opt::zoe);
  q.by_coupling = v.has(Opt::coupling);
  if (q.by_coupling) {
    q.targets = v.axis(Opt::coupling, Quotient::single_precision);
  } else {
    q.targets = v.axis(Opt::zoe, Quotient::single_precision);
    check_even_mode_above_zo(q.targets, q.zo, v);
  }
  if (v.has(Opt::f0)) q.length_inch = quarter_wave_length(v.number(Opt::f0), q.board.er);
  q.setup = read_synthesis_setup(v, q.solver);
  return q;
}

ResponseRequest read_response(OptionValues& v) {
  ResponseRequest q{};
  const bool by_impedance = v.has(Opt::zo) || v.has(Opt::coupling);
  if (by_impedance) {
    refuse_dimensions(v);
    q.zo = v.number(Opt::zo);
    q.coupling_db = -std::fabs(v.number(Opt::coupling));
  }
  q.er = v.number(Opt::er);
  q.solver = read_solver(v);
  if (!by_impedance) {
    q.dimensions = read_dimensions(v, q.er, q.solver);
    q.materials = read_materials(v);
  }
  require_one_of(v, Opt::length, Opt::f0);
  if (v.has(Opt::length)) {
    q.length_inch = v.number(Opt::length);
    q.f0_mhz = quarter_wave_frequency(q.length_inch, q.er);
  } else {
    q.f0_mhz = v.number(Opt::f0);
    q.length_inch = quarter_wave_length(q.f0_mhz, q.er);
  }
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

MultisectionRequest read_multisection(OptionValues& v) {
  MultisectionRequest q{};
  q.build = read_build(v);
  q.design = read_profile(v);
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

}  // namespace ketrovane::batch
