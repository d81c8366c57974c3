#include "design/line.hpp"

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <utility>

#include "common/constants.hpp"
#include "design/field_analysis.hpp"
#include "field/domain.hpp"

namespace ketrovane {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The widths a line's impedance is sought between, as fractions of B: from
// a hair to a plate fifty B wide (a few hundred ohms to a few ohms).
constexpr double kNarrowest = 1e-4;
constexpr double kWidest = 50.0;
// The solve stops when ln Z is within this of the target's, or the bracket
// has closed to it in ln W; at most so many steps.
constexpr double kLogTolerance = 1e-7;
constexpr int kMostSteps = 80;

bool finite(float x) {
  return std::isfinite(x);
}

float inch_per_degree(float eeff, float f_mhz) {
  if (!(f_mhz > 0.0F)) return 0.0F;
  return kSpeedOfLightInchMHz / (f_mhz * std::sqrt(eeff)) / 360.0F;
}

field::StripResult field_strip(const StripPair& where, float w) {
  return field::solve_strip(strip_geometry(where, w));
}

void line_on_field(LineRow& row, const Materials& materials, float f_mhz) {
  const field::StripGeometry g = strip_geometry(row.strip, row.strip.x.w);
  const field::LossInputs in{f_mhz > 0.0F ? f_mhz : 0.0,
                             materials.conductor.resistivity_ohm_inch > 0.0F
                                 ? materials.conductor.resistivity_ohm_inch
                                 : 0.0,
                             materials.conductor.roughness_inch, materials.loss_tangent};
  const field::StripLossResult loss = field::strip_loss(g, in);
  if (!loss.ok()) {
    const field::StripResult z = field::solve_strip(g);
    const RowStatus status = z.ok() ? RowStatus::no_field_loss : RowStatus::no_field_solution;
    throw FieldFailure(row.strip, z.ok() ? loss.message : z.message, status);
  }
  const field::StripSolution s = *field::solve_strip(g).solution;
  row.zo = static_cast<float>(s.impedance);
  row.eeff = static_cast<float>(s.effective_permittivity);
  row.loss = {static_cast<float>(loss.loss->conductor), static_cast<float>(loss.loss->dielectric),
              static_cast<float>(loss.loss->total)};
  row.inch_per_degree = inch_per_degree(row.eeff, f_mhz);
}

void line_on_model(LineRow& row, const Materials& materials, float f_mhz, Solver solver) {
  const Board& board = row.strip.x.board;
  const float w = row.strip.x.w;
  const StripImpedance z = strip_impedance(board, w);
  row.zo = z.zo;
  row.eeff = board.er;
  row.loss = strip_attenuation(board, w, materials.conductor, materials.loss_tangent, f_mhz);
  row.inch_per_degree = inch_per_degree(row.eeff, f_mhz);
  row.model_in_range = w / (board.b - board.t) >= kStripWideEnough;
  if (z.zero_thickness_abandoned) row.status = RowStatus::zero_thickness_abandoned;
  if (solver == Solver::both) {
    const field::StripResult f = field_strip(row.strip, w);
    if (!f.ok()) throw FieldFailure(row.strip, f.message, RowStatus::no_field_solution);
    const auto field_zo = static_cast<float>(f.solution->impedance);
    row.field = LineComparison{field_zo, 100.0F * (row.zo / field_zo - 1.0F)};
  }
}

// The impedance of the strip of width w on the solver the row takes.
std::optional<double> impedance_at(const StripPair& where, double w, bool on_model) {
  if (on_model) {
    const float z = strip_impedance(where.x.board, static_cast<float>(w)).zo;
    return finite(z) ? std::optional<double>(z) : std::nullopt;
  }
  const field::StripResult f = field_strip(where, static_cast<float>(w));
  if (!f.ok()) return std::nullopt;
  return f.solution->impedance;
}

struct WidthSearch {
  std::optional<double> w;
  RowStatus status;
  std::string why;
};

// Regula falsi (Illinois) in ln W on ln Z, which falls with the width and
// is nearly straight in it: bracketed between kNarrowest and kWidest B.
WidthSearch width_search(float zo, const StripPair& where, bool on_model) {
  const auto impedance = [&](double lw) { return impedance_at(where, std::exp(lw), on_model); };
  const double target = std::log(static_cast<double>(zo));
  const double b = where.x.board.b;
  double lo = std::log(kNarrowest * b);
  double hi = std::log(kWidest * b);
  const std::optional<double> z_lo = impedance(lo);
  const std::optional<double> z_hi = impedance(hi);
  const RowStatus failed = on_model ? RowStatus::not_representable : RowStatus::field_not_converged;
  if (!z_lo || !z_hi) return {std::nullopt, failed, "the strip's impedance could not be found"};
  double f_lo = std::log(*z_lo) - target;
  double f_hi = std::log(*z_hi) - target;
  if (f_lo < 0.0 || f_hi > 0.0) {
    return {std::nullopt, failed,
            "no width from " + field::format_number(kNarrowest) + " B to " +
                field::format_number(kWidest) + " B gives " + field::format_number(zo) + " ohm (" +
                field::format_number(*z_hi) + " to " + field::format_number(*z_lo) + " ohm)"};
  }
  int side = 0;
  for (int step = 0; step < kMostSteps; ++step) {
    const double lw = (lo * f_hi - hi * f_lo) / (f_hi - f_lo);
    const std::optional<double> z = impedance(lw);
    if (!z) return {std::nullopt, failed, "the strip's impedance could not be found"};
    const double f = std::log(*z) - target;
    if (std::abs(f) < kLogTolerance || hi - lo < kLogTolerance) {
      return {std::exp(lw), RowStatus::converged, ""};
    }
    if (f > 0.0) {
      lo = lw;
      f_lo = f;
      if (side == 1) f_hi /= 2.0;
      side = 1;
    } else {
      hi = lw;
      f_hi = f;
      if (side == -1) f_lo /= 2.0;
      side = -1;
    }
  }
  return {std::nullopt, failed,
          "the width for " + field::format_number(zo) + " ohm did not converge"};
}

StripPair with_width(const StripPair& where, float w) {
  StripPair strip = where;
  strip.x.w = w;
  return strip;
}

bool takes_model(const StripPair& where, Solver solver) {
  return solver != Solver::field && line_on_model(where);
}

}  // namespace

field::StripGeometry strip_geometry(const StripPair& where, float w) {
  const field::Geometry g = field_geometry(with_width(where, w));
  field::StripGeometry s{g.b, g.t, g.w, g.er, std::nullopt, g.stack};
  if (g.arrangement == Arrangement::edge_offset) s.h = g.h;
  if (g.arrangement == Arrangement::broadside) s.h = g.b / 2 + g.sv / 2 + g.t / 2;
  return s;
}

bool line_on_model(const StripPair& where) {
  return where.placement.is_edge();
}

LineRow line_row(const StripPair& where, const Materials& materials, float f_mhz, Solver solver) {
  LineRow row{where,         kNaN, kNaN,         {kNaN, kNaN, kNaN}, kNaN,
              RowStatus::ok, true, std::nullopt, std::nullopt};
  const bool on_model = takes_model(where, solver);
  try {
    if (on_model) {
      line_on_model(row, materials, f_mhz, solver);
    } else {
      line_on_field(row, materials, f_mhz);
    }
  } catch (const FieldFailure& failure) {
    row.status = failure_status(failure);
    row.failure = failure;
    row.field.reset();
    return row;
  }
  if (!finite(row.zo) || !finite(row.eeff) || !finite(row.loss.total_db_per_inch))
    row.status = RowStatus::not_finite;
  return row;
}

LineWidth line_width_for(float zo, const StripPair& where, const Materials& materials, float f_mhz,
                         Solver solver) {
  const auto failed = [&](RowStatus status, std::string why) {
    const LineRow row{with_width(where, kNaN),
                      kNaN,
                      kNaN,
                      {kNaN, kNaN, kNaN},
                      kNaN,
                      status,
                      true,
                      std::nullopt,
                      std::nullopt};
    return LineWidth{row, std::move(why)};
  };
  if (!finite(zo) || !(zo > 0.0F))
    return failed(RowStatus::unusable,
                  "the impedance " + field::format_number(zo) + " ohm is not finite and positive");
  const WidthSearch found = width_search(zo, where, takes_model(where, solver));
  if (!found.w) return failed(found.status, found.why);
  LineRow row = line_row(with_width(where, static_cast<float>(*found.w)), materials, f_mhz, solver);
  if (row.status == RowStatus::ok) row.status = RowStatus::converged;
  return {row, ""};
}

std::optional<FeedLine> feed_line_for(float zo, const StripPair& pair, Solver solver) {
  if (!finite(zo) || !(zo > 0.0F)) return std::nullopt;
  const bool on_model = solver == Solver::model && line_on_model(pair);
  const WidthSearch found = width_search(zo, pair, on_model);
  if (!found.w) return std::nullopt;
  if (on_model) {
    const auto w = static_cast<float>(*found.w);
    return FeedLine{w, strip_impedance(pair.x.board, w).zo, pair.x.board.er};
  }
  const field::StripResult f =
      field::solve_strip(strip_geometry(pair, static_cast<float>(*found.w)));
  if (!f.ok()) return std::nullopt;
  return FeedLine{static_cast<float>(*found.w), f.solution->impedance,
                  f.solution->effective_permittivity};
}

}  // namespace ketrovane
