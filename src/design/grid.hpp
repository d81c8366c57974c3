// The cross-sections of a table over strip widths and spacings: every width
// with every spacing, widths outer.  Strips off the centre plane or one
// above the other add their own dimensions (H; SV and WO), each a single
// value or a range of its own, swept inside the spacings.
#pragma once

#include <cstdint>

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

  [[nodiscard]] std::int64_t rows() const { return w.rows * s.rows * placements(); }
  // Of the model's cross-section: every row of a table of strips side by
  // side and centred.
  [[nodiscard]] CrossSection at(std::int64_t index) const {
    const std::int64_t outer = index / placements();
    return {board, w.value(outer / s.rows), s.value(outer % s.rows)};
  }
  [[nodiscard]] StripPair pair_at(std::int64_t index) const {
    std::int64_t inner = index % placements();
    Placement p{arrangement, 0.0F, 0.0F, 0.0F};
    p.wo = wo.value(inner % wo.rows);
    inner /= wo.rows;
    p.sv = sv.value(inner % sv.rows);
    p.h = h.value(inner / sv.rows);
    return {at(index), p};
  }
  // The ratios to B as the tables print them: (1/B) x along a swept axis,
  // x/B for a fixed dimension.
  [[nodiscard]] float w_over_b(float width) const { return ratio(width, w.swept); }
  [[nodiscard]] float s_over_b(float spacing) const { return ratio(spacing, s.swept); }
  [[nodiscard]] float h_over_b(float height) const { return ratio(height, h.swept); }
  [[nodiscard]] float sv_over_b(float gap) const { return ratio(gap, sv.swept); }
  [[nodiscard]] float wo_over_b(float offset) const { return ratio(offset, wo.swept); }

 private:
  [[nodiscard]] std::int64_t placements() const { return h.rows * sv.rows * wo.rows; }
  [[nodiscard]] float ratio(float x, bool swept) const {
    return swept ? ratio_to_b(x, board.b) : x / board.b;
  }
};

}  // namespace ketrovane
