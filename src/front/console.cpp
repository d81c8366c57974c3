#include "front/console.hpp"

#include "common/saturating.hpp"

namespace ketrovane {

std::string Console::reply_line(const text::Layout& question,
                                std::initializer_list<text::Value> values) {
  out_.print(question, values);
  out_.flush();
  std::optional<std::string> line = in_.read_line();
  if (!line) throw text::FatalError("end of input: a reply was expected on standard input");
  return std::move(*line);
}

float Console::ask(const text::Layout& question, std::initializer_list<text::Value> values) {
  const std::string line = reply_line(question, values);
  const text::RealField field = text::read_real_field(line);
  switch (field.error) {
    case text::FieldError::none:
      return field.value;
    case text::FieldError::not_a_number:
      throw text::FatalError("input error: the reply " + text::quote_input(line) +
                             " is not a number");
    case text::FieldError::out_of_range:
      break;
  }
  throw text::FatalError("input error: the reply " + text::quote_input(line) +
                         " is outside the single-precision range");
}

std::string Console::ask_name(const text::Layout& question) {
  return text::read_name_field(reply_line(question, {}));
}

int menu_choice(float reply, int first, int last, int default_item) {
  const int item = nearest_int(reply);
  return (item >= first && item <= last) ? item : default_item;
}

}  // namespace ketrovane
