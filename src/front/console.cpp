#include "front/console.hpp"

#include <climits>
#include <cmath>

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

namespace {

int saturated(double x) {
  if (std::isnan(x)) return 0;
  if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (x <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(x);
}

}  // namespace

int nearest_int(float x) {
  return saturated(std::round(static_cast<double>(x)));
}

int truncated_int(float x) {
  return saturated(std::trunc(static_cast<double>(x)));
}

int menu_choice(float reply, int first, int last, int default_item) {
  const int item = nearest_int(reply);
  return (item >= first && item <= last) ? item : default_item;
}

}  // namespace ketrovane
