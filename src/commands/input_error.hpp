// A mistake in the input of a batch command, as a value: the options it is
// about, the value given, and what is expected instead.  Each front end
// words it with its own spelling of the options ("--w '-1'" on the command
// line, "w='-1'" in Python); what() is the command line's one line, without
// the program's name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commands/options.hpp"

namespace ketrovane::commands {

// One piece of a message: words, or an option of the table, perhaps with
// one of its choices ("--solver field"), that each front end spells its own
// way.
struct Piece {
  // NOLINTBEGIN(google-explicit-constructor): a phrase is written as a list
  Piece(const char* words) : text(words) {}
  Piece(std::string words) : text(std::move(words)) {}
  Piece(std::string_view words) : text(words) {}
  Piece(Opt id) : option(&commands::option(id)) {}
  Piece(const OptionSpec& o) : option(&o) {}
  // NOLINTEND(google-explicit-constructor)
  Piece(Opt id, std::string_view choice) : option(&commands::option(id)), text(choice) {}
  Piece(const OptionSpec& o, std::string_view choice) : option(&o), text(choice) {}

  const OptionSpec* option = nullptr;
  std::string text;  // the words, or the option's choice
};

// Pieces in order: "only with ", Opt::f0, ", the response of each sample".
class Phrase {
 public:
  Phrase() = default;
  // NOLINTBEGIN(google-explicit-constructor): a phrase is written as its words
  Phrase(const char* words) : pieces_{Piece(words)} {}
  Phrase(std::string words) { pieces_.emplace_back(std::move(words)); }
  Phrase(std::string_view words) : pieces_{Piece(words)} {}
  Phrase(Opt id) : pieces_{Piece(id)} {}
  Phrase(const OptionSpec& o) : pieces_{Piece(o)} {}
  Phrase(Piece piece) { pieces_.push_back(std::move(piece)); }
  Phrase(std::initializer_list<Piece> pieces) : pieces_(pieces) {}
  // NOLINTEND(google-explicit-constructor)

  Phrase& operator+=(Piece piece) {
    pieces_.push_back(std::move(piece));
    return *this;
  }
  [[nodiscard]] const std::vector<Piece>& pieces() const { return pieces_; }

 private:
  std::vector<Piece> pieces_;
};

// What goes before item `i` of a list of `count` written as people write
// one: nothing, ", ", and `conjunction` before the last ("a, b and c").
constexpr std::string_view list_separator(std::size_t i, std::size_t count,
                                          std::string_view conjunction) {
  if (i == 0) return {};
  return i + 1 == count ? conjunction : ", ";
}

// What a refusal says.
struct Refusal {
  Phrase subject;                    // "--w", "--w or --s", "--ripple or --profile maximally-flat"
  std::optional<std::string> given;  // the value as given, quoted when shown
  Phrase expected;                   // what is expected, or why the value is refused
  std::optional<std::int64_t> element;  // the element of a scripting call's arrays, if known
};

// How a front end spells an option, with the choice it names (or none).
using OptionSpelling = std::function<std::string(const OptionSpec& o, std::string_view choice)>;

// "--w", "--solver field": the command line's spelling.
std::string dashed_spelling(const OptionSpec& o, std::string_view choice);

// The phrase with every option spelled by `spell`.
std::string phrase_text(const Phrase& phrase, const OptionSpelling& spell);

// "--b '-1': expected ...", "--w or --s: missing; give one of them": the
// refusal worded with `spell`.  A quoted value follows an option the
// spelling ends with "=" without a space ("w='-1'").
std::string refusal_text(const Refusal& refusal, const OptionSpelling& spell);

class InputError : public std::runtime_error {
 public:
  explicit InputError(Refusal refusal);
  [[nodiscard]] const Refusal& refusal() const { return refusal_; }

 private:
  Refusal refusal_;
};

// The value as a message shows it: quoted, with anything that is not
// printable ASCII escaped and a long value cut short, so that the message
// stays one line of readable text whatever was given.
std::string quoted(std::string_view value);

// "--b '-1': " followed by what is expected.
[[noreturn]] void reject(Phrase subject, std::string_view value, Phrase expected);

// "--f: missing; ...": a refusal without a value.
[[noreturn]] void refuse(Phrase subject, Phrase expected);

// A phrase of the option table's prose ("or --f0 with --ripple or --profile")
// with the options it names ("--name", and a choice after one of choices)
// as options.
Phrase prose(std::string_view text);

// The option a message names by its command-line spelling ("--b"): the
// option of the table, or the words as they are ("units").
Piece named(std::string_view option);

}  // namespace ketrovane::commands
