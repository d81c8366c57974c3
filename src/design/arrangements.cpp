#include "design/arrangements.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "design/grid.hpp"
#include "design/row_kernel.hpp"

namespace ketrovane {

namespace {

using field::SynthesisUnknowns;

constexpr StripDimension kWidth{
    .name = "w",
    .symbol = "W",
    .words = "Strip width",
    .in_section = &CrossSection::w,
    .axis = &Grid::w,
    .input = {.what = "strip width W"},
};
constexpr StripDimension kSpacing{
    .name = "s",
    .symbol = "S",
    .words = "Strip spacing",
    .in_section = &CrossSection::s,
    .axis = &Grid::s,
    .solved_with_width = SynthesisUnknowns::width_and_gap,
    .limited_gap = true,
    .input = {.what = "strip spacing S", .help = "edge-to-edge strip spacing S"},
};
constexpr StripDimension kHeight{
    .name = "h",
    .symbol = "H",
    .words = "Height",
    .in_placement = &Placement::h,
    .axis = &Grid::h,
    .even_slope = &PlacementSensitivities::h_even,
    .odd_slope = &PlacementSensitivities::h_odd,
    .input = {.what = "height H of the strips' mid-plane above the lower plane"},
};
constexpr StripDimension kVerticalGap{
    .name = "sv",
    .symbol = "SV",
    .words = "Vertical gap",
    .in_placement = &Placement::sv,
    .axis = &Grid::sv,
    .solved_with_width = SynthesisUnknowns::width_and_vertical_gap,
    .limited_gap = true,
    .even_slope = &PlacementSensitivities::sv_even,
    .odd_slope = &PlacementSensitivities::sv_odd,
    .input = {.what = "vertical gap SV between the strips",
              .help = "vertical gap SV between the facing surfaces of the strips"},
};
constexpr StripDimension kOffset{
    .name = "wo",
    .symbol = "WO",
    .words = "Sideways offset",
    .in_placement = &Placement::wo,
    .axis = &Grid::wo,
    .solved_with_width = SynthesisUnknowns::width_and_offset,
    .sign_mirrors = true,  // either side, or directly above
    .even_slope = &PlacementSensitivities::wo_even,
    .odd_slope = &PlacementSensitivities::wo_odd,
    .input = {.what = "sideways offset WO of the strips' centre lines",
              .zero_allowed = true,
              .fallback = "0",
              .help = "sideways offset WO between the strips' centre lines"},
};

constexpr std::array<const StripDimension*, kDimensionCount> kDimensions{
    &kWidth, &kSpacing, &kHeight, &kVerticalGap, &kOffset};

static_assert(std::ranges::none_of(kDimensions.begin(),
                                   kDimensions.begin() + kSectionDimensionCount,
                                   [](const StripDimension* d) { return d->of_placement(); }) &&
                  std::ranges::all_of(kDimensions.begin() + kSectionDimensionCount,
                                      kDimensions.end(),
                                      [](const StripDimension* d) { return d->of_placement(); }),
              "the dimensions of the cross-section first, then those of the placement");

constexpr std::array<const StripDimension*, 2> kEdge{&kWidth, &kSpacing};
constexpr std::array<const StripDimension*, 3> kEdgeOffset{&kWidth, &kSpacing, &kHeight};
constexpr std::array<const StripDimension*, 3> kBroadside{&kWidth, &kVerticalGap, &kOffset};

// In the order of field::Arrangement.
constexpr std::array<ArrangementSpec, 3> kArrangements{{
    {.id = Arrangement::edge,
     .name = "edge",
     .words = "side by side and centred",
     .dimensions = kEdge,
     .on_model = true},
    {.id = Arrangement::edge_offset,
     .name = "edge-offset",
     .words = "side by side at height --h",
     .dimensions = kEdgeOffset},
    {.id = Arrangement::broadside,
     .name = "broadside",
     .words = "one above the other across --sv, offset sideways by --wo",
     .dimensions = kBroadside},
}};

}  // namespace

bool Placement::is_edge() const {
  return arrangement_spec(arrangement).on_model && stack.empty();
}

bool ArrangementSpec::has(const StripDimension& d) const {
  return std::ranges::find(dimensions, &d) != dimensions.end();
}

bool ArrangementSpec::chooses_unknowns() const {
  return std::ranges::count_if(dimensions, [](const StripDimension* d) {
           return d->solved_with_width.has_value();
         }) > 1;
}

const StripDimension& ArrangementSpec::solved(SynthesisUnknowns unknowns) const {
  const StripDimension* first = nullptr;
  for (const StripDimension* d : dimensions) {
    if (!d->solved_with_width) continue;
    if (*d->solved_with_width == unknowns) return *d;
    if (first == nullptr) first = d;
  }
  if (first == nullptr) throw std::logic_error("an arrangement with nothing to solve for");
  return *first;
}

std::span<const StripDimension* const> dimensions() {
  return kDimensions;
}

std::size_t dimension_index(const StripDimension& d) {
  const auto* const found = std::ranges::find(kDimensions, &d);
  if (found == kDimensions.end()) throw std::logic_error("a dimension outside the table");
  return static_cast<std::size_t>(found - kDimensions.begin());
}

std::span<const ArrangementSpec> arrangements() {
  return kArrangements;
}

const ArrangementSpec& arrangement_spec(Arrangement a) {
  return kArrangements.at(static_cast<std::size_t>(a));
}

const ArrangementSpec* arrangement_named(std::string_view name) {
  for (const ArrangementSpec& a : kArrangements) {
    if (a.name == name) return &a;
  }
  return nullptr;
}

const StripDimension& strip_width() {
  return kWidth;
}

const StripDimension& strip_spacing() {
  return kSpacing;
}

}  // namespace ketrovane
