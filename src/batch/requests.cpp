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

std::string dashed(Opt id) {
  return batch::dashed(option(id));
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
    throw InputError(dashed(a) + " or " + dashed(b) + ": " +
                     (v.has(a) ? "give only one of them" : "missing; give one of them"));
  }
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

// The board and the widths and spacings whose product gives the rows.
Grid read_grid(OptionValues& v, Quotient quotient) {
  Grid g{};
  g.board = read_board(v);
  g.w = v.axis(Opt::w, quotient);
  g.s = v.axis(Opt::s, quotient);
  product_rows("--w and --s", g.w, g.s);
  return g;
}

Materials read_materials(OptionValues& v) {
  Materials m{};
  m.conductor.resistivity_ohm_inch = v.resistivity() * kOhmInchPerMicroOhmCm;
  m.conductor.roughness_inch = v.number(Opt::roughness);
  m.loss_tangent = v.number(Opt::tand);
  return m;
}

// A coupler given by Zo and coupling has no dimensions or losses.
void refuse_dimensions(const OptionValues& v) {
  for (const Opt id : {Opt::b, Opt::t, Opt::w, Opt::s, Opt::rho, Opt::roughness, Opt::tand}) {
    if (v.has(id)) {
      reject(dashed(id), v.shown(id),
             "a coupler given by --zo and --coupling has no dimensions or losses");
    }
  }
}

CrossSection read_dimensions(OptionValues& v, float er) {
  CrossSection x{};
  x.board.b = v.number(Opt::b);
  x.board.t = v.number(Opt::t);
  check_thickness(x.board, v);
  x.w = v.number(Opt::w);
  x.s = v.number(Opt::s);
  x.board.er = er;
  return x;
}

void check_response_solver(const ResponseRequest& q) {
  if (q.dimensions || q.solver == Solver::model) return;
  reject(dashed(Opt::solver), q.solver == Solver::field ? "field" : "both",
         "expected model for a coupler given by Zo and coupling (field and both need its "
         "dimensions: --b --t --w --s)");
}

}  // namespace

Solver read_solver(OptionValues& v) {
  const std::string_view name = v.choice(Opt::solver);
  if (name == "field") return Solver::field;
  if (name == "both") return Solver::both;
  return Solver::model;
}

ColumnChoice column_choice(Command command, OptionValues& v) {
  ColumnChoice c;
  if (option(Opt::solver).taken_by(command)) c.solver = read_solver(v);
  c.with_length = command == Command::synthesise && v.has(Opt::f0);
  return c;
}

AnalyseRequest read_analyse(OptionValues& v) {
  AnalyseRequest q{};
  q.grid = read_grid(v, Quotient::double_precision);
  q.materials = read_materials(v);
  q.f_mhz = v.number(Opt::f);
  q.solver = read_solver(v);
  return q;
}

SynthesiseRequest read_synthesise(OptionValues& v) {
  SynthesiseRequest q{};
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
  q.solver = read_solver(v);
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
  if (!by_impedance) {
    q.dimensions = read_dimensions(v, q.er);
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
  q.solver = read_solver(v);
  check_response_solver(q);
  return q;
}

SensitivityRequest read_sensitivity(OptionValues& v) {
  SensitivityRequest q{};
  q.grid = read_grid(v, Quotient::single_precision);
  q.solver = read_solver(v);
  return q;
}

FieldRequest read_field(OptionValues& v) {
  FieldRequest q{};
  q.grid = read_grid(v, Quotient::single_precision);
  q.tolerance = v.number(Opt::tol);
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
