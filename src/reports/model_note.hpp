// The note a report leaves at a terminal where its rows reach a part of the
// map of the closed-form model's error against the field solution where the
// model may be off by more than 1 %: where, by how much, and the
// ketrovane-calc command that compares the same rows with the field
// solution.
#pragma once

#include <string>
#include <string_view>

#include "batch/options.hpp"
#include "design/model_accuracy.hpp"
#include "design/ranges.hpp"
#include "model/cross_section.hpp"

namespace ketrovane {

// A ketrovane-calc command line, option by option.
class CalcCommand {
 public:
  explicit CalcCommand(std::string_view command);
  CalcCommand& add(batch::Opt option, std::string_view value);
  CalcCommand& add(batch::Opt option, float value);
  // start:stop:step
  CalcCommand& add(batch::Opt option, const Range& range);
  CalcCommand& add(const Board& board);
  [[nodiscard]] const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// The line without the program's name ("note: at W/B ..."), or empty when
// the rows stay where the model is within 1 %.
std::string model_note(const AccuracyWatch& accuracy, const CalcCommand& comparison);

}  // namespace ketrovane
