// The console dialogue: layouts written to standard output and replies read
// from standard input with the reply reader.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>

#include "text/channel.hpp"
#include "text/layout.hpp"
#include "text/reply_reader.hpp"

namespace ketrovane {

// What the dialogue does with a reply that is not a number and with a
// storage file that cannot be opened.  A script fails fast, with exit
// status 2; a person at a terminal is told what was wrong and asked again.
// Decided once, at start-up, from whether standard input is a terminal.
enum class Mistakes : std::uint8_t { end_the_program, ask_again };

class Console {
 public:
  Console(text::LineReader& in, text::Channel& out) : in_(in), out_(out) {}
  // Asks again after a mistake, with one line on errors saying what was wrong.
  Console(text::LineReader& in, text::Channel& out, Mistakes mistakes, std::ostream& errors)
      : in_(in), out_(out), mistakes_(mistakes), errors_(&errors) {}

  void show(const text::Layout& layout, std::initializer_list<text::Value> values = {}) {
    out_.print(layout, values);
  }

  // Writes a question and reads the reply as a number (F13.0).  The end of
  // the input throws text::FatalError; so does a reply that is not a number,
  // unless mistakes are asked again.
  float ask(const text::Layout& question, std::initializer_list<text::Value> values = {});

  // Writes a question and reads the reply as a name of 20 characters (A20).
  std::string ask_name(const text::Layout& question);

  text::Channel& out() { return out_; }
  [[nodiscard]] Mistakes mistakes() const { return mistakes_; }

  // Tells the person at the console what went wrong, on the error stream.
  void tell(const std::string& message);

 private:
  std::string reply_line(const text::Layout& question, std::initializer_list<text::Value> values);

  text::LineReader& in_;
  text::Channel& out_;
  Mistakes mistakes_ = Mistakes::end_the_program;
  std::ostream* errors_ = nullptr;
};

// A menu takes the nearest integer of the reply when it lies in
// [first, last], and its default otherwise.
int menu_choice(float reply, int first, int last, int default_item);

}  // namespace ketrovane
