// The cross-section of a symmetric edge-coupled stripline: two strips of
// equal width and thickness, centred between two ground planes.
#pragma once

namespace ketrovane {

// What the board gives every strip on it: the ground-plane spacing, the
// copper thickness and the dielectric.
struct Board {
  float b;   // ground-plane spacing
  float t;   // strip thickness
  float er;  // relative permittivity of the dielectric

  bool operator==(const Board&) const = default;
};

// Lengths in any one unit (the program uses inches): the capacitances depend
// only on the ratios to b, the impedances on those ratios and on er.  The
// closed-form model asks b > t >= 0, w > 0, s > 0 and er > 0; outside that
// its results may be NaN or infinite, never undefined behaviour.
struct CrossSection {
  Board board;
  float w;  // width of each strip
  float s;  // edge-to-edge spacing of the strips

  // The same board and strips, value for value.
  bool operator==(const CrossSection&) const = default;
};

}  // namespace ketrovane
