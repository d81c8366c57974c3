#include "reports/model_note.hpp"

#include "commands/number_format.hpp"
#include "design/accuracy_note.hpp"

namespace ketrovane {

namespace {

// "W/B 0.672, S/B 0.044, T/B 0.0056"
void name_row(std::string& text, const CrossSection& x) {
  const float b = x.board.b;
  text += "W/B " + commands::significant(x.w / b, 3) + ", S/B " +
          commands::significant(x.s / b, 3) + ", T/B " + commands::significant(x.board.t / b, 3);
}

}  // namespace

CalcCommand::CalcCommand(std::string_view command) : text_("ketrovane-calc ") {
  text_ += command;
}

CalcCommand& CalcCommand::add(commands::Opt option, std::string_view value) {
  text_ += " " + commands::dashed(commands::option(option)) + " ";
  text_ += value;
  return *this;
}

CalcCommand& CalcCommand::add(commands::Opt option, float value) {
  return add(option, commands::shortest(value));
}

CalcCommand& CalcCommand::add(commands::Opt option, const Range& range) {
  return add(option, commands::shortest(range.min) + ":" + commands::shortest(range.max) + ":" +
                         commands::shortest(range.step));
}

CalcCommand& CalcCommand::add(const Board& board) {
  return add(commands::Opt::b, board.b)
      .add(commands::Opt::t, board.t)
      .add(commands::Opt::er, board.er);
}

std::string model_note(const AccuracyWatch& accuracy, const CalcCommand& comparison) {
  const std::string advice = "; to compare the rows with the field solution: " + comparison.text();
  const AccuracyNoteWording wording{
      .name_row = name_row,
      .percent = commands::percent,
      .outside_map =
          " the map of the closed-form model's accuracy does not cover the design (it "
          "covers {map})",
      .loss_at_same_row = ", and its conductor loss by up to {percent}",
      .loss_at_other_row = ", and its conductor loss by up to {percent} at {row}",
      .advice = advice};
  return accuracy_note(accuracy, wording);
}

}  // namespace ketrovane
