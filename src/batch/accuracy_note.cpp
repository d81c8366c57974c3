#include "batch/accuracy_note.hpp"

#include <cmath>

#include "batch/number_format.hpp"

namespace ketrovane::batch {

namespace {

constexpr double kWorthANote = 0.01;

// "W 0.1 in, S 0.01 in (W/B 0.4, S/B 0.04, T/B 0.0056)"
std::string row_text(const CrossSection& x) {
  const float b = x.board.b;
  return "W " + shortest(x.w) + " in, S " + shortest(x.s) + " in (W/B " +
         significant(x.w / b, 3) + ", S/B " + significant(x.s / b, 3) + ", T/B " +
         significant(x.board.t / b, 3) + ")";
}

std::string percent(double bound) {
  return significant(static_cast<float>(100.0 * bound), 2) + " %";
}

bool worth_a_note(double bound) {
  return bound > kWorthANote;
}

}  // namespace

std::string accuracy_note(const AccuracyWatch& a) {
  const std::string advice =
      "; --solver field gives the field solution, --solver both compares the two";
  const bool impedances = a.seen && worth_a_note(a.worst_impedance);
  const bool loss = a.loss_seen && worth_a_note(a.worst_loss);
  if (impedances && !std::isfinite(a.worst_impedance)) {
    return "note: at " + row_text(a.impedance_where) +
           " the closed-form model is outside the map of its accuracy (W/B 0.1 to 3, S/B 0.01 "
           "to 2, T/B 0 to 0.2)" +
           advice;
  }
  if (impedances && loss) {
    const bool same_row = row_text(a.impedance_where) == row_text(a.loss_where);
    return "note: at " + row_text(a.impedance_where) +
           " the closed-form model may be off by up to " + percent(a.worst_impedance) +
           (same_row ? " and its conductor loss by up to " + percent(a.worst_loss)
                     : ", and at " + row_text(a.loss_where) + " its conductor loss by up to " +
                           percent(a.worst_loss)) +
           advice;
  }
  if (impedances) {
    return "note: at " + row_text(a.impedance_where) +
           " the closed-form model may be off by up to " + percent(a.worst_impedance) + advice;
  }
  if (loss) {
    return "note: at " + row_text(a.loss_where) +
           " the closed-form model's conductor loss may be off by up to " +
           percent(a.worst_loss) + advice;
  }
  return "";
}

}  // namespace ketrovane::batch
