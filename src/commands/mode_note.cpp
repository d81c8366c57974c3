#include "commands/mode_note.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "commands/number_format.hpp"
#include "design/higher_mode.hpp"

namespace ketrovane::commands {

namespace {

std::string mhz(double f) {
  return std::to_string(std::llround(f)) + " MHz";
}

std::string length(float inches, const LengthUnit& unit) {
  return significant(static_cast<float>(inches * unit.per_inch), 5) + " " + std::string(unit.name);
}

// `reaching` is what meets the cut-off: "45000 MHz is", "the frequencies
// from 42000 MHz are".
std::string note(std::string_view reaching, const HigherModeCutoff& cutoff, const Board& board,
                 float w, const LengthUnit& unit) {
  const std::string mode = cutoff.mode == HigherMode::strip_te
                               ? "the strip's TE mode, for W " + length(w, unit) + ", B "
                               : "the parallel-plate mode, for B ";
  return "note: " + std::string(reaching) +
         " at or above the cut-off of the stripline's first higher-order mode, " +
         mhz(cutoff.f_mhz) + " (" + mode + length(board.b, unit) + ", Er " + shortest(board.er) +
         "); the quasi-TEM analysis does not hold there";
}

HigherModeCutoff cutoff_of(const Board& board, float w) {
  return first_higher_mode(board.b, w, board.er);
}

// The first row of `f` at or above `limit`, or f.rows: found from the step,
// then settled on the rows' own values.
std::int64_t first_row_from(const Axis& f, double limit) {
  const auto reached = [&](std::int64_t i) { return f.value(i) >= limit; };
  std::int64_t i = 0;
  if (f.swept && f.range.step > 0.0F) {
    double steps = std::ceil((limit - f.range.min) / f.range.step);
    if (std::isnan(steps)) steps = 0.0;
    i = static_cast<std::int64_t>(std::clamp(steps, 0.0, static_cast<double>(f.rows)));
  }
  while (i > 0 && reached(i - 1)) --i;
  while (i < f.rows && !reached(i)) ++i;
  return i;
}

std::string analyse_note(const AnalyseRequest& q, const LengthUnit& unit) {
  if (q.grid.w.rows == 0) return "";
  // The widest strip has the lowest cut-off.
  const float widest = q.grid.w.value(q.grid.w.rows - 1);
  const HigherModeCutoff cutoff = cutoff_of(q.grid.board, widest);
  if (q.f_mhz < cutoff.f_mhz) return "";
  return note(mhz(q.f_mhz) + " is", cutoff, q.grid.board, widest, unit);
}

std::string response_note(const ResponseRequest& q, const LengthUnit& unit) {
  if (!q.dimensions || q.f.rows == 0) return "";
  const CrossSection& x = q.dimensions->x;
  const HigherModeCutoff cutoff = cutoff_of(x.board, x.w);
  const std::int64_t first = first_row_from(q.f, cutoff.f_mhz);
  if (first == q.f.rows) return "";
  return note("the frequencies from " + mhz(q.f.value(first)) + " are", cutoff, x.board, x.w, unit);
}

// A line of given widths, as analyse's strips; the widths of impedances are
// not known before the rows.
std::string line_note(const LineRequest& q, const LengthUnit& unit) {
  if (q.by_impedance || q.values.rows == 0) return "";
  const float widest = q.values.value(q.values.rows - 1);
  const Board& board = q.where.x.board;
  const HigherModeCutoff cutoff = cutoff_of(board, widest);
  if (q.f_mhz < cutoff.f_mhz) return "";
  return note(mhz(q.f_mhz) + " is", cutoff, board, widest, unit);
}

}  // namespace

std::string higher_mode_note(const Request& request, const LengthUnit& unit) {
  if (const auto* q = std::get_if<AnalyseRequest>(&request)) return analyse_note(*q, unit);
  if (const auto* q = std::get_if<ResponseRequest>(&request)) return response_note(*q, unit);
  if (const auto* q = std::get_if<LineRequest>(&request)) return line_note(*q, unit);
  return "";
}

void watch_higher_mode(const Request& element, HigherModeReach& reach) {
  if (const auto* q = std::get_if<AnalyseRequest>(&element)) {
    const Board& board = q->grid.board;
    reach.take(q->f_mhz, board.b, q->grid.w.value(0), board.er);
  } else if (const auto* r = std::get_if<ResponseRequest>(&element); r && r->dimensions) {
    const CrossSection& x = r->dimensions->x;
    reach.take(r->f.value(0), x.board.b, x.w, x.board.er);
  } else if (const auto* l = std::get_if<LineRequest>(&element); l && !l->by_impedance) {
    const Board& board = l->where.x.board;
    reach.take(l->f_mhz, board.b, l->values.value(0), board.er);
  }
}

std::string higher_mode_note(const HigherModeReach& reach, const LengthUnit& unit) {
  if (!reach.reached) return "";
  return note(mhz(reach.f_mhz) + " is", reach.cutoff, Board{reach.b, 0.0F, reach.er}, reach.w,
              unit);
}

}  // namespace ketrovane::commands
