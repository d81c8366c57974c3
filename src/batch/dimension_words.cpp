#include "batch/dimension_words.hpp"

#include <stdexcept>

namespace ketrovane::batch {

Opt option_of(const StripDimension& d) {
  const OptionSpec* o = option_named(d.name);
  if (o == nullptr) throw std::logic_error("no option for the dimension " + std::string(d.name));
  return o->id;
}

std::string listed(const std::vector<std::string>& words) {
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) text += i + 1 == words.size() ? " and " : ", ";
    text += words[i];
  }
  return text;
}

}  // namespace ketrovane::batch
