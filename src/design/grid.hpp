// The cross-sections of a table over strip widths and spacings: every width
// with every spacing, widths outer.  Strips off the centre plane or one
// above the other add their own dimensions (H; SV and WO), each a single
// value or a range of its own, swept inside the spacings.
#pragma once

#include <cstdint>

#include "design/arrangements.hpp"
#include "design/ranges.hpp"
#include "design/strip_pair.hpp"
#include "model/cross_section.hpp"

namespace ketrovane {

// A dimension over the ground-plane spacing as the tables print it: the
// reciprocal of B first, then the product (the last digit depends on it).
inline float ratio_to_b(float x, float b) {
  return (1.0F / b) * x;
}

struct Grid {
  Board board;
  Axis w;
  Axis s = single_value(0.0F);  // a single 0 for strips one above the other
  Arrangement arrangement = Arrangement::edge;
  Axis h = single_value(0.0F);
  Axis sv = single_value(0.0F);
  Axis wo = single_value(0.0F);
  LayerStack stack{};  // empty: one dielectric, the board's Er

  [[nodiscard]] std::int64_t rows() const { return w.rows * s.rows * placements(); }
  // Of the model's cross-section: every row of a table of strips side by
  // side and centred.
  [[nodiscard]] CrossSection at(std::int64_t index) const {
    const std::int64_t outer = index / placements();
    return {board, w.value(outer / s.rows), s.value(outer % s.rows)};
  }
  [[nodiscard]] StripPair pair_at(std::int64_t index) const {
    std::int64_t inner = index % placements();
    StripPair pair(at(index), Placement{.arrangement = arrangement, .stack = stack});
    // The dimensions of the placement, the last innermost.
    const auto& dimensions = arrangement_spec(arrangement).dimensions;
    for (auto it = dimensions.rbegin(); it != dimensions.rend(); ++it) {
      const StripDimension* d = *it;
      if (!d->of_placement()) continue;
      const Axis& axis = this->*d->axis;
      d->in(pair) = axis.value(inner % axis.rows);
      inner /= axis.rows;
    }
    return pair;
  }
  // The ratios to B as the tables print them: (1/B) x along a swept axis,
  // x/B for a fixed dimension.
  [[nodiscard]] float w_over_b(float width) const { return ratio(width, w.swept); }
  [[nodiscard]] float s_over_b(float spacing) const { return ratio(spacing, s.swept); }
  [[nodiscard]] float over_b(const StripDimension& d, float x) const {
    return ratio(x, (this->*d.axis).swept);
  }

 private:
  [[nodiscard]] std::int64_t placements() const {
    std::int64_t rows = 1;
    for (const StripDimension* d : arrangement_spec(arrangement).dimensions) {
      if (d->of_placement()) rows *= (this->*d->axis).rows;
    }
    return rows;
  }
  [[nodiscard]] float ratio(float x, bool swept) const {
    return swept ? ratio_to_b(x, board.b) : x / board.b;
  }
};

}  // namespace ketrovane
