#include "batch/accuracy_note.hpp"

#include <array>
#include <cmath>
#include <string_view>

#include "batch/number_format.hpp"

namespace ketrovane::batch {

namespace {

constexpr double kWorthANote = 0.01;
constexpr std::size_t kNoteCapacity = 400;

// The note is built in place: a scripting front end asks for it on every
// call, and it costs more than the row of a scalar call when built from
// temporaries.
class NoteText {
 public:
  explicit NoteText(const LengthUnit& unit) : unit_(unit) { text_.reserve(kNoteCapacity); }

  NoteText& operator<<(std::string_view piece) {
    text_ += piece;
    return *this;
  }
  NoteText& significant_of(float v) {
    text_ += significant(v, 3);
    return *this;
  }
  // Five significant digits: a length in mil or mm from one in inches
  // carries the conversion's noise in its shortest form.
  NoteText& length_of(float inches) {
    text_ += significant(static_cast<float>(inches * unit_.per_inch), 5);
    return *this << " " << unit_.name;
  }
  // "W 0.1 in, S 0.01 in (W/B 0.4, S/B 0.04, T/B 0.0056)"
  NoteText& row(const CrossSection& x) {
    const float b = x.board.b;
    *this << "W ";
    length_of(x.w) << ", S ";
    length_of(x.s) << " (W/B ";
    significant_of(x.w / b) << ", S/B ";
    significant_of(x.s / b) << ", T/B ";
    return significant_of(x.board.t / b) << ")";
  }
  NoteText& percent(double bound) { return *this << batch::percent(bound); }
  std::string take() { return std::move(text_); }

 private:
  const LengthUnit& unit_;
  std::string text_;
};

bool worth_a_note(double bound) {
  return bound > kWorthANote;
}

bool same(const CrossSection& a, const CrossSection& b) {
  return a.w == b.w && a.s == b.s && a.board.b == b.board.b && a.board.t == b.board.t;
}

constexpr std::string_view kAdvice =
    "; --solver field gives the field solution, --solver both compares the two";

}  // namespace

std::string accuracy_note(const AccuracyWatch& a, const LengthUnit& unit) {
  const bool impedances = a.seen && worth_a_note(a.worst_impedance);
  const bool loss = a.loss_seen && worth_a_note(a.worst_loss);
  if (!impedances && !loss) return "";
  NoteText note(unit);
  if (impedances && !std::isfinite(a.worst_impedance)) {
    note << "note: at ";
    note.row(a.impedance_where)
        << " the closed-form model is outside the map of its accuracy (W/B 0.1 to 3, S/B 0.01 "
           "to 2, T/B 0 to 0.2)";
  } else if (impedances) {
    note << "note: at ";
    note.row(a.impedance_where) << " the closed-form model may be off by up to ";
    note.percent(a.worst_impedance);
    if (loss && same(a.impedance_where, a.loss_where)) {
      note << " and its conductor loss by up to ";
      note.percent(a.worst_loss);
    } else if (loss) {
      note << ", and at ";
      note.row(a.loss_where) << " its conductor loss by up to ";
      note.percent(a.worst_loss);
    }
  } else {
    note << "note: at ";
    note.row(a.loss_where) << " the closed-form model's conductor loss may be off by up to ";
    note.percent(a.worst_loss);
  }
  return (note << kAdvice).take();
}

}  // namespace ketrovane::batch
