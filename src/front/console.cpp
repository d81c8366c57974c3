#include "front/console.hpp"

#include "common/saturating.hpp"

namespace ketrovane {

std::string Console::reply_line(const text::Layout& question,
                                std::initializer_list<text::Value> values) {
  out_.print(question, values);
  out_.flush();  // the question must be seen before the reply is awaited
  std::optional<std::string> line = in_.read_line();
  if (!line) throw text::FatalError("end of input: a reply was expected on standard input");
  // At a terminal the reply's Enter has ended the question's line.
  if (mistakes_ == Mistakes::ask_again) out_.mark_line_start();
  return std::move(*line);
}

void Console::tell(const std::string& message) {
  if (errors_ == nullptr) return;
  *errors_ << "ketrovane: " << message << '\n';
  errors_->flush();
}

namespace {

// What is wrong with a reply, or nothing.
std::optional<std::string> mistake_in(const std::string& line, const text::RealField& field) {
  switch (field.error) {
    case text::FieldError::none:
      return std::nullopt;
    case text::FieldError::not_a_number:
      return "the reply " + text::quote_input(line) + " is not a number";
    case text::FieldError::out_of_range:
      break;
  }
  return "the reply " + text::quote_input(line) + " is outside the single-precision range";
}

}  // namespace

float Console::ask(const text::Layout& question, std::initializer_list<text::Value> values) {
  for (;;) {
    const std::string line = reply_line(question, values);
    const text::RealField field = text::read_real_field(line);
    const std::optional<std::string> mistake = mistake_in(line, field);
    if (!mistake) return field.value;
    if (mistakes_ == Mistakes::end_the_program) throw text::FatalError("input error: " + *mistake);
    tell(*mistake + ": type a plain number, such as 10, 0.25 or 2.5E-3, and press Enter");
  }
}

std::string Console::ask_name(const text::Layout& question) {
  return text::read_name_field(reply_line(question, {}));
}

int menu_choice(float reply, int first, int last, int default_item) {
  const int item = nearest_int(reply);
  return (item >= first && item <= last) ? item : default_item;
}

}  // namespace ketrovane
