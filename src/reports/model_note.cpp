#include "reports/model_note.hpp"

#include <cmath>

#include "batch/number_format.hpp"

namespace ketrovane {

namespace {

constexpr double kWorthANote = 0.01;

// "W/B 0.672, S/B 0.044, T/B 0.0056"
std::string where(const CrossSection& x) {
  const float b = x.board.b;
  return "W/B " + batch::significant(x.w / b, 3) + ", S/B " + batch::significant(x.s / b, 3) +
         ", T/B " + batch::significant(x.board.t / b, 3);
}

}  // namespace

CalcCommand::CalcCommand(std::string_view command) : text_("ketrovane-calc ") {
  text_ += command;
}

CalcCommand& CalcCommand::add(batch::Opt option, std::string_view value) {
  text_ += " " + batch::dashed(batch::option(option)) + " ";
  text_ += value;
  return *this;
}

CalcCommand& CalcCommand::add(batch::Opt option, float value) {
  return add(option, batch::shortest(value));
}

CalcCommand& CalcCommand::add(batch::Opt option, const Range& range) {
  return add(option, batch::shortest(range.min) + ":" + batch::shortest(range.max) + ":" +
                         batch::shortest(range.step));
}

CalcCommand& CalcCommand::add(const Board& board) {
  return add(batch::Opt::b, board.b).add(batch::Opt::t, board.t).add(batch::Opt::er, board.er);
}

std::string model_note(const AccuracyWatch& a, const CalcCommand& comparison) {
  const std::string compare = "; to compare the rows with the field solution: " + comparison.text();
  const bool impedances = a.seen && a.worst_impedance > kWorthANote;
  const bool loss = a.loss_seen && a.worst_loss > kWorthANote;
  if (impedances && !std::isfinite(a.worst_impedance)) {
    return "note: at " + where(a.impedance_where) +
           " the map of the closed-form model's accuracy does not cover the design (it covers "
           "W/B 0.1 to 3, S/B 0.01 to 2, T/B 0 to 0.2)" +
           compare;
  }
  if (impedances) {
    std::string note = "note: at " + where(a.impedance_where) +
                       " the closed-form model may be off by up to " +
                       batch::percent(a.worst_impedance);
    if (loss) {
      note += ", and its conductor loss by up to " + batch::percent(a.worst_loss);
      if (where(a.loss_where) != where(a.impedance_where)) note += " at " + where(a.loss_where);
    }
    return note + compare;
  }
  if (loss) {
    return "note: at " + where(a.loss_where) +
           " the closed-form model's conductor loss may be off by up to " +
           batch::percent(a.worst_loss) + compare;
  }
  return "";
}

}  // namespace ketrovane
