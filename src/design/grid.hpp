// The cross-sections of a table over strip widths and spacings: every width
// with every spacing, widths outer.
#pragma once

#include <cstdint>

#include "design/ranges.hpp"
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
  Axis s;

  [[nodiscard]] std::int64_t rows() const { return w.rows * s.rows; }
  [[nodiscard]] CrossSection at(std::int64_t index) const {
    return {board, w.value(index / s.rows), s.value(index % s.rows)};
  }
  // The ratios to B as the tables print them: (1/B) x along a swept axis,
  // x/B for a fixed dimension.
  [[nodiscard]] float w_over_b(float width) const { return ratio(width, w.swept); }
  [[nodiscard]] float s_over_b(float spacing) const { return ratio(spacing, s.swept); }

 private:
  [[nodiscard]] float ratio(float x, bool swept) const {
    return swept ? ratio_to_b(x, board.b) : x / board.b;
  }
};

}  // namespace ketrovane
