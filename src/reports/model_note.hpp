// The note a report leaves at a terminal on the closed-form model's
// accuracy (design/accuracy_note.hpp), which ends with the ketrovane-calc
// command that compares the same rows with the field solution.
#pragma once

#include <string>
#include <string_view>

#include "commands/options.hpp"
#include "design/accuracy_watch.hpp"
#include "design/ranges.hpp"
#include "model/cross_section.hpp"

namespace ketrovane {

// A ketrovane-calc command line, option by option.
class CalcCommand {
 public:
  explicit CalcCommand(std::string_view command);
  CalcCommand& add(commands::Opt option, std::string_view value);
  CalcCommand& add(commands::Opt option, float value);
  // start:stop:step
  CalcCommand& add(commands::Opt option, const Range& range);
  CalcCommand& add(const Board& board);
  [[nodiscard]] const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// The interactive program's wording of the note on the model's accuracy
// (design/accuracy_note.hpp): the line without the program's name
// ("note: at W/B ..."), or empty.
std::string model_note(const AccuracyWatch& accuracy, const CalcCommand& comparison);

}  // namespace ketrovane
