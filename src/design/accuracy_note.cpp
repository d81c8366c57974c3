#include "design/accuracy_note.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>

#include "field/accuracy_map.hpp"

namespace ketrovane {

namespace {

constexpr std::size_t kNoteCapacity = 400;

constexpr std::string_view kImpedances = " the closed-form model may be off by up to {percent}";
constexpr std::string_view kLossAlone =
    " the closed-form model's conductor loss may be off by up to {percent}";

bool worth_a_note(double bound) {
  return bound > field::kNegligibleModelError;
}

// The shortest decimal of an end of the map's axes ("0.01", "3").
std::string axis_end(double value) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return {buffer.data(), result.ptr};
}

std::string axis_range(std::string_view name, const field::AxisRange& range) {
  return std::string(name) + " " + axis_end(range.low) + " to " + axis_end(range.high);
}

// "W/B 0.1 to 3, S/B 0.01 to 2, T/B 0 to 0.2"
std::string map_extent_text() {
  const field::MapExtent extent = field::map_extent();
  return axis_range("W/B", extent.w_over_b) + ", " + axis_range("S/B", extent.s_over_b) + ", " +
         axis_range("T/B", extent.t_over_b);
}

// A sentence with its pieces filled in.
class NoteText {
 public:
  explicit NoteText(const AccuracyNoteWording& wording) : wording_(wording) {
    text_.reserve(kNoteCapacity);
  }

  void fill(std::string_view sentence, const CrossSection& row, double bound) {
    while (!sentence.empty()) {
      const std::size_t open = sentence.find('{');
      const std::size_t close = sentence.find('}', open);
      if (close == std::string_view::npos) break;
      text_ += sentence.substr(0, open);
      piece(sentence.substr(open, close - open + 1), row, bound);
      sentence.remove_prefix(close + 1);
    }
    text_ += sentence;
  }
  void append(std::string_view text) { text_ += text; }
  std::string take() { return std::move(text_); }

 private:
  void piece(std::string_view name, const CrossSection& row, double bound) {
    if (name == "{row}") wording_.name_row(text_, row);
    if (name == "{percent}") text_ += wording_.percent(bound);
    if (name == "{map}") text_ += map_extent_text();
  }

  const AccuracyNoteWording& wording_;
  std::string text_;
};

// Two rows are one where the note would name them alike.
bool named_alike(const AccuracyNoteWording& wording, const CrossSection& a, const CrossSection& b) {
  std::string name_a;
  std::string name_b;
  wording.name_row(name_a, a);
  wording.name_row(name_b, b);
  return name_a == name_b;
}

// The impedances' bound at their worst row, or the rows' leaving the map;
// then the conductor loss's bound where it is worth a note too.
void impedances_sentence(NoteText& note, const AccuracyWatch& watch, bool loss,
                         const AccuracyNoteWording& wording) {
  note.fill("note: at {row}", watch.impedance_where, watch.worst_impedance);
  if (!std::isfinite(watch.worst_impedance)) {
    note.fill(wording.outside_map, watch.impedance_where, watch.worst_impedance);
    return;
  }
  note.fill(kImpedances, watch.impedance_where, watch.worst_impedance);
  if (!loss) return;
  const bool alike = named_alike(wording, watch.impedance_where, watch.loss_where);
  note.fill(alike ? wording.loss_at_same_row : wording.loss_at_other_row, watch.loss_where,
            watch.worst_loss);
}

}  // namespace

std::string accuracy_note(const AccuracyWatch& watch, const AccuracyNoteWording& wording) {
  const bool impedances = watch.seen && worth_a_note(watch.worst_impedance);
  const bool loss = watch.loss_seen && worth_a_note(watch.worst_loss);
  if (!impedances && !loss) return "";
  NoteText note(wording);
  if (impedances) {
    impedances_sentence(note, watch, loss, wording);
  } else {
    note.fill("note: at {row}", watch.loss_where, watch.worst_loss);
    note.fill(kLossAlone, watch.loss_where, watch.worst_loss);
  }
  note.append(wording.advice);
  return note.take();
}

}  // namespace ketrovane
