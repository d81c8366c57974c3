// The console dialogue: layouts written to standard output and replies read
// from standard input with the reply reader.
#pragma once

#include <initializer_list>
#include <string>

#include "text/channel.hpp"
#include "text/layout.hpp"
#include "text/reply_reader.hpp"

namespace ketrovane {

class Console {
 public:
  Console(text::LineReader& in, text::Channel& out) : in_(in), out_(out) {}

  void show(const text::Layout& layout, std::initializer_list<text::Value> values = {}) {
    out_.print(layout, values);
  }

  // Writes a question and reads the reply as a number (F13.0).  The end of
  // the input or a reply that is not a number throws text::FatalError.
  float ask(const text::Layout& question, std::initializer_list<text::Value> values = {});

  // Writes a question and reads the reply as a name of 20 characters (A20).
  std::string ask_name(const text::Layout& question);

  text::Channel& out() { return out_; }

 private:
  std::string reply_line(const text::Layout& question, std::initializer_list<text::Value> values);

  text::LineReader& in_;
  text::Channel& out_;
};

// A menu takes the nearest integer of the reply when it lies in
// [first, last], and its default otherwise.
int menu_choice(float reply, int first, int last, int default_item);

}  // namespace ketrovane
