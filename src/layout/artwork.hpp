// The copper of a coupler as it is etched: its coupled sections, the feed
// line that leaves each of its four ports and turns away from its
// neighbour until the two no longer couple, and a pad at the end of each.
//
// The coupled section runs along the x axis, centred on the origin; the
// input and coupled ports are at its -x end, section 1 (the source end of a
// multi-section coupler) too.  The strip of the input and through ports
// lies at +y, the other at -y; one above the other, the input strip is on
// the upper copper layer.  Lengths in inches, double precision.  No input
// or output, no state.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ketrovane::layout {

struct Point {
  double x;
  double y;
  bool operator==(const Point&) const = default;
};

// A closed outline, counter-clockwise, its first point not repeated at its end.
using Outline = std::vector<Point>;

// The four ports by what they do.
enum class PortRole : std::uint8_t { input, through, isolated, coupled };
inline constexpr int kPortCount = 4;

enum class Bend : std::uint8_t {
  mitre,  // straight runs meeting at 45-degree corners
  arc,    // straight runs joined by circular arcs
};

// An arc bend's centre-line radius, in widths of its line.
inline constexpr double kArcRadiusPerWidth = 2.0;
// The most an arc's chords stand off the true curve: 0.01 um, in inches,
// so that a width measured on the outlines holds to 0.1 um.
inline constexpr double kArcSagitta = 0.01e-3 / 25.4;

// One coupled section: two strips of width w and length `length`, side by
// side with edge gap s, or one above the other with their centre lines wo
// apart sideways (s not looked at).
struct SectionShape {
  double length;
  double w;
  double s = 0.0;
  double wo = 0.0;
};

struct ArtworkInputs {
  bool one_above_the_other = false;    // two copper layers
  std::vector<SectionShape> sections;  // from the -x end
  // Width of the feed line at each port, by PortRole.
  std::array<double, kPortCount> feed_width{};
  // How far apart the two feed lines at each end (-x, +x) run once they
  // have turned away: side by side, the edge gap between them; one above
  // the other, the sideways distance between their centre lines.
  std::array<double, 2> lead_spacing{};
  // The straight run after the bends, to the centre of the pad.
  double lead_length = 0.0;
  Bend bend = Bend::mitre;
  // The number each port's pad carries, by PortRole (the Touchstone file's).
  std::array<int, kPortCount> port_number{1, 2, 3, 4};
};

struct CopperLayer {
  std::vector<Outline> outlines;  // the strips of the sections, then the feed lines
};

struct Pad {
  int number;
  PortRole role;
  int layer;  // index into Artwork::layers
  Point centre;
  double size_x;  // along x
  double size_y;
};

// A dimension the picture names: a label ("W1 = 24.8 mil" is the caller's
// wording; here "W1") and the two points it is measured between.
struct Dimension {
  std::string label;
  Point from;
  Point to;
  int layer;
};

struct Artwork {
  std::vector<CopperLayer> layers;  // one; or two, the upper first
  std::vector<Pad> pads;            // by PortRole
  std::vector<Dimension> dimensions;
  // The centre-line length of each feed line from the section's end to the
  // centre of its pad, by PortRole.
  std::array<double, kPortCount> lead_out_length{};
  double coupled_length = 0.0;  // of all the sections together
};

// The artwork of `inputs`.  Expects positive section lengths and widths,
// positive feed widths, (side by side) positive gaps, and a lead length of
// at least half the widest feed line (a mitre's inner corner needs it);
// refuses nothing, and draws no outline that crosses itself.  Each feed
// line turns away from its neighbour through 45 degrees (less where the
// lines need to move apart by less than two full arcs take) and back; where
// the lines stand lead_spacing apart already, it runs straight.
// Dimensions: "W1", "S1" (or "WO1"), "L1" per section, "WF<n>" per port
// number, "G" (or "D") for the spacing of the leads at the -x end and, where
// it differs, "G2" (or "D2") at the +x end, "LL" for the lead length.
Artwork make_artwork(const ArtworkInputs& inputs);

}  // namespace ketrovane::layout
