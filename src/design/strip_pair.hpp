// Where the two strips of a coupler stand between the ground planes.  The
// closed-form model knows one arrangement, strips side by side and centred
// between the planes; the field solution knows three (field::Arrangement):
// side by side with the pair off the centre plane, and one strip above the
// other.  A strip pair is the cross-section the model describes with where
// its strips stand.
#pragma once

#include "field/field_solver.hpp"
#include "model/cross_section.hpp"

namespace ketrovane {

using field::Arrangement;

// A stack of dielectric layers between the planes, bottom to top, and the
// layer the strips stand on: side by side, on its upper face (the copper
// grows up into the layer above); one above the other, on both its faces,
// the core whose thickness is SV.  Thicknesses in inches.  Empty: one
// dielectric, the board's Er.
struct LayerStack {
  field::Stack layers{};
  int layer = 0;  // 1 for the bottom layer

  [[nodiscard]] bool empty() const { return layers.empty(); }
  bool operator==(const LayerStack&) const = default;
};

// Lengths in inches, as the cross-section's.
struct Placement {
  Arrangement arrangement = Arrangement::edge;
  float h = 0.0F;   // edge_offset: height of the strips' mid-plane above the lower plane
  float sv = 0.0F;  // broadside: gap between the strips' facing surfaces
  float wo = 0.0F;  // broadside: sideways distance between their centre lines
  // The layers of dielectric and where the strips stand in them: the field
  // solver's alone (the board's B is their sum, its Er not looked at; SV
  // is the core's thickness).
  LayerStack stack{};

  // The closed-form model covers it: strips side by side and centred in
  // one dielectric.
  [[nodiscard]] bool is_edge() const;
  bool operator==(const Placement&) const = default;
};

struct StripPair {
  CrossSection x;  // the board, the width and, for strips side by side, the gap
  Placement placement;

  // A cross-section of the model is the centred, side-by-side pair.
  StripPair(const CrossSection& section,
            const Placement& where = {})  // NOLINT(google-explicit-constructor)
      : x(section), placement(where) {}

  // The same cross-section standing the same way, value for value.
  bool operator==(const StripPair&) const = default;
};

}  // namespace ketrovane
