// A board built as a stack of dielectric layers (--layers) and where the
// strips stand in it (--strips-on side by side, --core one above the
// other): read, checked and refused in one line each, as every other input.
#pragma once

#include <optional>

#include "commands/option_values.hpp"
#include "design/arrangements.hpp"
#include "design/row_kernel.hpp"

namespace ketrovane::commands {

// A strip pair's board and placement on a stack: B the layers' sum, T the
// copper's, Er the stack's highest (for titles and the cut-off of the first
// higher-order mode, which it brings lowest; the field solver reads the
// layers); side by side the strips on layer N's upper face, one above the
// other SV layer N's thickness.
struct StackedBoard {
  Board board;
  Placement placement;
};

// The stack of --layers with --strips-on or --core, for a command whose
// rows stand on it with `arrangement` and `solver`; none without --layers.
// Refuses --b, --er, --h and --sv beside --layers, a solver other than the
// field, a layer number outside the stack, layers that leave the copper no
// room, and strips one above the other in a stack that is not
// mirror-symmetric about their core.
std::optional<StackedBoard> read_stacked_board(OptionValues& v, const ArrangementSpec& arrangement,
                                               Solver solver);

// A layer's thickness, bare numbers in inches.
inline constexpr Quantity kLayerThickness{.what = "layer thickness",
                                          .dimension = Dimension::length,
                                          .least = 0.0,
                                          .least_allowed = false,
                                          .most = 1000.0};

// The layers of a --layers text, thicknesses in inches, read as `thickness`
// reads them (its bare numbers in the unit of --units, say); a layer
// without its own loss tangent takes `loss_tangent`.  `@FILE` reads them
// from a file, one a line: thickness, Er, an optional loss tangent and an
// optional name, separated by blanks or commas, `#` starting a comment.
field::Stack parse_layers(std::string_view text, float loss_tangent,
                          const Quantity& thickness = kLayerThickness);

}  // namespace ketrovane::commands
