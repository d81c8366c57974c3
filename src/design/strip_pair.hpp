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

// Lengths in inches, as the cross-section's.
struct Placement {
  Arrangement arrangement = Arrangement::edge;
  float h = 0.0F;   // edge_offset: height of the strips' mid-plane above the lower plane
  float sv = 0.0F;  // broadside: gap between the strips' facing surfaces
  float wo = 0.0F;  // broadside: sideways distance between their centre lines

  // The closed-form model covers it: strips side by side and centred.
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
