#include "commands/input_error.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

namespace ketrovane::commands {

namespace {

constexpr std::size_t kShownCharacters = 60;

void append_escaped(std::string& out, char c) {
  constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                         '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
  const auto u = static_cast<unsigned char>(c);
  if (u >= 0x20 && u < 0x7f && c != '\\' && c != '\'') {
    out += c;
    return;
  }
  if (c == '\\' || c == '\'') {
    out += '\\';
    out += c;
    return;
  }
  out += "\\x";
  out += kHex.at(u >> 4U);
  out += kHex.at(u & 0x0fU);
}

// The length of the UTF-8 sequence of two to four bytes at `at` (its lead
// and continuation bytes), or 0: a character shown as itself rather than as
// its bytes.
std::size_t utf8_length(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead >= 0xf0U && lead <= 0xf4U   ? 4
                             : lead >= 0xe0U && lead <= 0xefU ? 3
                             : lead >= 0xc2U && lead <= 0xdfU ? 2
                                                              : 0;
  if (length == 0 || at + length > text.size()) return 0;
  // U+0080 to U+009F are control characters: shown as their bytes.
  if (lead == 0xc2U && static_cast<unsigned char>(text[at + 1]) < 0xa0U) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xc0U) != 0x80U) return 0;
  }
  return length;
}

std::string command_line_text(const Refusal& refusal) {
  return refusal_text(refusal, dashed_spelling);
}

bool in_option_name(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// The end of the word from `at` on.
std::size_t word_end(std::string_view text, std::size_t at, bool with_commas) {
  while (at < text.size() && (in_option_name(text[at]) || (with_commas && text[at] == ','))) ++at;
  return at;
}

bool is_choice(const OptionSpec& o, std::string_view word) {
  if (o.kind != ValueKind::choice || word.empty()) return false;
  std::string_view choices = o.choices;
  for (;;) {
    const std::size_t bar = choices.find('|');
    if (choices.substr(0, bar) == word) return true;
    if (bar == std::string_view::npos) return false;
    choices.remove_prefix(bar + 1);
  }
}

// The option named at `at` ("--w" at the start of a word), or null.
const OptionSpec* option_at(std::string_view text, std::size_t at, std::size_t& end) {
  if (text.substr(at, 2) != "--" || (at > 0 && text[at - 1] != ' ' && text[at - 1] != '(')) {
    return nullptr;
  }
  end = word_end(text, at + 2, false);
  return option_named(text.substr(at + 2, end - at - 2));
}

}  // namespace

Phrase prose(std::string_view text) {
  Phrase phrase;
  std::string words;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = 0;
    const OptionSpec* o = option_at(text, i, end);
    if (o == nullptr) {
      words += text[i++];
      continue;
    }
    if (!words.empty()) phrase += std::exchange(words, {});
    const std::size_t choice_end = text.substr(end, 1) == " " ? word_end(text, end + 1, true) : end;
    const std::string_view choice =
        text.substr(end + 1, choice_end - std::min(choice_end, end + 1));
    if (is_choice(*o, choice)) {
      phrase += Piece(*o, choice);
      end = choice_end;
    } else {
      phrase += Piece(*o);
    }
    i = end;
  }
  if (!words.empty()) phrase += std::move(words);
  return phrase;
}

std::string dashed_spelling(const OptionSpec& o, std::string_view choice) {
  std::string text = dashed(o);
  if (!choice.empty()) {
    text += ' ';
    text += choice;
  }
  return text;
}

std::string phrase_text(const Phrase& phrase, const OptionSpelling& spell) {
  std::string text;
  for (const Piece& piece : phrase.pieces()) {
    text += piece.option ? spell(*piece.option, piece.text) : piece.text;
  }
  return text;
}

std::string refusal_text(const Refusal& refusal, const OptionSpelling& spell) {
  std::string text = phrase_text(refusal.subject, spell);
  if (refusal.given) {
    if (text.empty() || text.back() != '=') text += ' ';
    text += quoted(*refusal.given);
  }
  text += ": ";
  text += phrase_text(refusal.expected, spell);
  return text;
}

InputError::InputError(Refusal refusal)
    : std::runtime_error(command_line_text(refusal)), refusal_(std::move(refusal)) {}

std::string quoted(std::string_view value) {
  std::string out = "'";
  for (std::size_t i = 0; i < value.size() && i < kShownCharacters; ++i) {
    if (const std::size_t n = utf8_length(value, i); n > 0) {
      out += value.substr(i, n);
      i += n - 1;
      continue;
    }
    append_escaped(out, value[i]);
  }
  if (value.size() > kShownCharacters) out += "...";
  out += '\'';
  return out;
}

void reject(Phrase subject, std::string_view value, Phrase expected) {
  throw InputError({std::move(subject), std::string(value), std::move(expected), std::nullopt});
}

void refuse(Phrase subject, Phrase expected) {
  throw InputError({std::move(subject), std::nullopt, std::move(expected), std::nullopt});
}

Piece named(std::string_view option) {
  if (option.starts_with("--")) {
    if (const OptionSpec* o = option_named(option.substr(2))) return *o;
  }
  return option;
}

}  // namespace ketrovane::commands
