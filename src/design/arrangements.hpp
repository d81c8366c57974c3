// The arrangements of a strip pair, each declared once with the dimensions
// it has besides the board: W and S side by side and centred; W, S and H
// side by side off the centre plane; W, SV and WO one above the other.
// Whatever lists, titles, compares, refuses or writes the dimensions of a
// strip pair reads these tables, so a new dimension or arrangement is one
// entry here and its physics in the field solver.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "design/ranges.hpp"
#include "design/strip_pair.hpp"
#include "field/field_synthesis.hpp"

namespace ketrovane {

struct Grid;
struct PlacementSensitivities;

// How the batch commands take a dimension: the words of its value in
// messages, whether zero is a value of it, its default as a command-line
// text (empty: none) and the phrase of its option's help (empty: the words),
// to which the help adds the arrangements that have it.
struct DimensionInput {
  std::string_view what;  // "sideways offset WO of the strips' centre lines"
  bool zero_allowed = false;
  std::string_view fallback = {};
  std::string_view help = {};
};

// One dimension of a strip pair, a length in inches.
struct StripDimension {
  std::string_view name;    // "wo": its option --wo, Python keyword and column
  std::string_view symbol;  // "WO": in titles, headings and messages
  std::string_view words;   // "Sideways offset": the axis of a chart
  // Where a strip pair holds it: in the model's cross-section (W, S) or in
  // the placement beyond it (H, SV, WO); one of the two.
  float CrossSection::*in_section = nullptr;
  float Placement::*in_placement = nullptr;
  Axis Grid::*axis = nullptr;  // its values in a table over dimensions
  // The unknowns of a synthesis that solves for it beside the width, if one may.
  std::optional<field::SynthesisUnknowns> solved_with_width = std::nullopt;
  bool limited_gap = false;  // a gap the fab's least gap applies to when solved for
  // Its sign only mirrors the pair (-x is the same coupler as x, and 0 is
  // physical); otherwise a pair with it zero or less is not physical.
  bool sign_mirrors = false;
  // (x/Z) dZ/dx of each mode to a dimension of the placement.
  float PlacementSensitivities::*even_slope = nullptr;
  float PlacementSensitivities::*odd_slope = nullptr;
  DimensionInput input;

  [[nodiscard]] float& in(StripPair& pair) const {
    return in_placement != nullptr ? pair.placement.*in_placement : pair.x.*in_section;
  }
  [[nodiscard]] float of(const StripPair& pair) const {
    return in_placement != nullptr ? pair.placement.*in_placement : pair.x.*in_section;
  }
  [[nodiscard]] constexpr bool of_placement() const { return in_placement != nullptr; }
};

struct ArrangementSpec {
  Arrangement id;
  std::string_view name;   // as --geometry names it: "edge-offset"
  std::string_view words;  // "side by side at height --h": where its strips stand
  // In the order of the columns and titles, the width first.
  std::span<const StripDimension* const> dimensions;
  bool on_model = false;  // the closed-form model covers it

  [[nodiscard]] bool has(const StripDimension& d) const;
  // More than one dimension that synthesis may solve for beside the width:
  // the synthesis is told which (--solve).
  [[nodiscard]] bool chooses_unknowns() const;
  // What synthesis solves for beside the width with `unknowns`; for an
  // arrangement that offers no choice, its one such dimension.
  [[nodiscard]] const StripDimension& solved(field::SynthesisUnknowns unknowns) const;
};

// How many dimensions there are: no arrangement has more.  Of them, the
// model's cross-section holds the first (W, S), the placement the rest.
inline constexpr std::size_t kDimensionCount = 5;
inline constexpr std::size_t kSectionDimensionCount = 2;
inline constexpr std::size_t kPlacementDimensionCount = kDimensionCount - kSectionDimensionCount;

// Every dimension, the width first; every arrangement, edge first.
std::span<const StripDimension* const> dimensions();
// The place of `d` in dimensions().
std::size_t dimension_index(const StripDimension& d);
std::span<const ArrangementSpec> arrangements();
const ArrangementSpec& arrangement_spec(Arrangement a);
// The arrangement named `name`, or null.
const ArrangementSpec* arrangement_named(std::string_view name);

// The dimensions every arrangement has, or the model's sensitivities name.
const StripDimension& strip_width();
const StripDimension& strip_spacing();

// Whether the pair's arrangement has `d`.
inline bool has_dimension(const StripPair& pair, const StripDimension& d) {
  return arrangement_spec(pair.placement.arrangement).has(d);
}

}  // namespace ketrovane
