// The batch library's words for the dimensions of a strip pair and its
// arrangements: each dimension's option is the one named after it (--wo),
// its columns are its name and its ratio to B, and messages list
// arrangements and options the way people write lists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "commands/options.hpp"
#include "design/arrangements.hpp"

namespace ketrovane::commands {

// The option that gives `d`: --wo for WO, from its place in dimensions().
Opt option_of(const StripDimension& d);

// The quantities --vary takes, in the order of their streams, those of the
// placement last as the geometry has them: "w, s, t, b, er, and h, sv or wo".
std::string varied_quantities_listed();

// "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string>& words);

// The names of the arrangements `pred` holds for: "edge and edge-offset".
template <typename Pred>
std::string arrangements_where(Pred pred) {
  std::vector<std::string> names;
  for (const ArrangementSpec& a : arrangements()) {
    if (pred(a)) names.emplace_back(a.name);
  }
  return listed(names);
}

}  // namespace ketrovane::commands
