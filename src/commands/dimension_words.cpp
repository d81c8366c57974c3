#include "commands/dimension_words.hpp"

#include "commands/input_error.hpp"
#include "design/tolerance.hpp"

namespace ketrovane::commands {

Opt option_of(const StripDimension& d) {
  const std::size_t i = dimension_index(d);
  const std::size_t first =
      d.of_placement() ? static_cast<std::size_t>(Opt::geometry) + 1 - kSectionDimensionCount
                       : static_cast<std::size_t>(Opt::w);
  return static_cast<Opt>(first + i);
}

std::string varied_quantities_listed() {
  std::string always;
  std::vector<std::string_view> placed;
  for (std::size_t i = 0; i < kVariedCount; ++i) {
    const auto v = static_cast<Varied>(i);
    if (v == Varied::etch) continue;  // --etch
    const StripDimension* d = dimension_varied(v);
    if (d != nullptr && d->of_placement()) {
      placed.push_back(varied_name(v));
    } else {
      always += std::string(varied_name(v)) + ", ";
    }
  }
  std::string text = always + "and ";
  for (std::size_t i = 0; i < placed.size(); ++i) {
    text += list_separator(i, placed.size(), " or ");
    text += placed[i];
  }
  return text;
}

std::string listed(const std::vector<std::string>& words) {
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i) {
    text += list_separator(i, words.size(), " and ");
    text += words[i];
  }
  return text;
}

}  // namespace ketrovane::commands
