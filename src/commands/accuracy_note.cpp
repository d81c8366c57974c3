#include "commands/accuracy_note.hpp"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commands/dimension_words.hpp"
#include "commands/number_format.hpp"

namespace ketrovane::commands {

namespace {

void append_significant(std::string& text, float v) {
  text += significant(v, 3);
}

// Five significant digits: a length in mil or mm from one in inches carries
// the conversion's noise in its shortest form.
void append_length(std::string& text, float inches, const LengthUnit& unit) {
  text += significant(static_cast<float>(inches * unit.per_inch), 5);
  text += " ";
  text += unit.name;
}

// "W 0.1 in, S 0.01 in (W/B 0.4, S/B 0.04, T/B 0.0056)"
void name_row(std::string& text, const CrossSection& x, const LengthUnit& unit) {
  const float b = x.board.b;
  text += "W ";
  append_length(text, x.w, unit);
  text += ", S ";
  append_length(text, x.s, unit);
  text += " (W/B ";
  append_significant(text, x.w / b);
  text += ", S/B ";
  append_significant(text, x.s / b);
  text += ", T/B ";
  append_significant(text, x.board.t / b);
  text += ")";
}

// "sections 2 and 4, ": the built sections of cross-section x.
void name_sections(std::string& text, const CrossSection& x, const MultisectionCoupler& coupler) {
  std::vector<std::string> at;
  for (const SectionRow& s : coupler.sections) {
    const std::optional<SynthesisRow>& r = s.synthesis;
    if (r && r->built && r->w == x.w && r->s == x.s) at.push_back(std::to_string(s.index));
  }
  if (at.empty()) return;
  text += at.size() == 1 ? "section " : "sections ";
  text += listed(at);
  text += ", ";
}

std::string batch_note(const AccuracyWatch& accuracy,
                       std::function<void(std::string&, const CrossSection&)> name) {
  const AccuracyNoteWording wording{
      .name_row = std::move(name),
      .percent = commands::percent,
      .outside_map = " the closed-form model is outside the map of its accuracy ({map})",
      .loss_at_same_row = " and its conductor loss by up to {percent}",
      .loss_at_other_row = ", and at {row} its conductor loss by up to {percent}",
      .advice = "; --solver field gives the field solution, --solver both compares the two"};
  return ketrovane::accuracy_note(accuracy, wording);
}

}  // namespace

std::string accuracy_note(const AccuracyWatch& accuracy, const LengthUnit& unit) {
  return batch_note(accuracy,
                    [&unit](std::string& text, const CrossSection& x) { name_row(text, x, unit); });
}

std::string accuracy_note(const AccuracyWatch& accuracy, const MultisectionCoupler& coupler,
                          const LengthUnit& unit) {
  return batch_note(accuracy, [&](std::string& text, const CrossSection& x) {
    name_sections(text, x, coupler);
    name_row(text, x, unit);
  });
}

}  // namespace ketrovane::commands
