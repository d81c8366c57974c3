// Layout writer.  A layout is the program's own description of a line or a
// block of lines, written in the classic edit-descriptor notation:
//
//   'text'   literal text (a doubled quote stands for one quote)
//   nX       n blanks
//   Fw.d     a real, right-aligned in w columns with d decimals
//   Iw       an integer, right-aligned in w columns
//   Aw       text in w columns
//   n(...)   the group repeated n times
//   nH...    the n characters that follow, verbatim (1H- and 1H=)
//   /        ends the current line
//
// Items are separated by commas, which may be left out around '/' and
// between a quoted text and its neighbours; blanks outside quotes carry no
// meaning.  A layout is parsed once, when it is constructed, into a flat list
// of literal runs and fields; rendering only walks that list.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ketrovane::text {

// One value for a field of a layout.
class Value {
 public:
  enum class Kind : std::uint8_t { real, integer, text };

  Value(float v) : kind_(Kind::real), real_(v) {}               // NOLINT
  Value(int v) : kind_(Kind::integer), integer_(v) {}           // NOLINT
  Value(std::string_view v) : kind_(Kind::text), text_(v) {}    // NOLINT
  Value(const std::string& v) : kind_(Kind::text), text_(v) {}  // NOLINT
  Value(const char* v) : kind_(Kind::text), text_(v) {}         // NOLINT

  [[nodiscard]] Kind kind() const { return kind_; }
  [[nodiscard]] float real() const { return real_; }
  [[nodiscard]] int integer() const { return integer_; }
  [[nodiscard]] std::string_view text() const { return text_; }

 private:
  Kind kind_;
  float real_ = 0.0F;
  int integer_ = 0;
  std::string_view text_;
};

// How the last line of a layout ends.
enum class Ending : std::uint8_t {
  line,      // the end of the layout ends the line
  question,  // no line end: the reply is typed on the same line
};

class Layout {
 public:
  // Parses the layout; a malformed layout throws std::invalid_argument.
  explicit Layout(std::string_view source, Ending ending = Ending::line);

  // Appends the rendered text to out.  The values must match the fields in
  // number and kind (reals for F, integers for I, texts for A); a mismatch
  // is a programming error and throws std::logic_error.
  void render(std::string& out, std::span<const Value> values) const;
  void render(std::string& out, std::initializer_list<Value> values) const {
    render(out, std::span<const Value>(values.begin(), values.size()));
  }

  [[nodiscard]] std::size_t field_count() const { return field_count_; }
  // The kind of value each field takes, in order.
  [[nodiscard]] std::vector<Value::Kind> field_kinds() const;
  [[nodiscard]] Ending ending() const { return ending_; }

  struct Op {
    enum class Kind : std::uint8_t { literal, real, integer, text };
    Kind kind;
    std::uint16_t width;     // field width, or length of the literal run
    std::uint16_t decimals;  // F fields
    std::uint32_t offset;    // start of the literal run in literals_
  };

 private:
  std::vector<Op> ops_;
  std::string literals_;
  std::size_t field_count_ = 0;
  Ending ending_;
};

// Field writers, exposed for the reply echo of tests and for reuse.
void put_real(std::string& out, float value, int width, int decimals);
void put_integer(std::string& out, long long value, int width);
void put_text(std::string& out, std::string_view value, int width);

}  // namespace ketrovane::text
