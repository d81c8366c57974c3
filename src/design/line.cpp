#include "design/line.hpp"

namespace ketrovane {

std::optional<FeedLine> feed_line_for(float /*zo*/, const StripPair& /*pair*/, Solver /*solver*/) {
  return std::nullopt;
}

}  // namespace ketrovane
