#include "batch/dimension_words.hpp"

namespace ketrovane::batch {

Opt option_of(const StripDimension& d) {
  const std::size_t i = dimension_index(d);
  const std::size_t first =
      d.of_placement() ? static_cast<std::size_t>(Opt::geometry) + 1 - kSectionDimensionCount
                       : static_cast<std::size_t>(Opt::w);
  return static_cast<Opt>(first + i);
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
