// What the artwork of a coupler is drawn from: its sections' dimensions
// and lengths, the width of the feed line at each port, and how far apart
// the two feed lines at each end must run not to couple (on the field
// solution).  Lengths in inches, double precision; no input or output, no
// state.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "design/junction_length.hpp"
#include "design/strip_pair.hpp"
#include "layout/artwork.hpp"

namespace ketrovane {

// How the two feed lines at one end stand, and how weakly they may couple.
struct LeadPair {
  StripPair coupler;   // where the coupler's strips stand (the end section)
  double feed_width;   // of each of the two lines at that end
  float isolation_db;  // the lines couple less than -isolation_db
};

struct LeadSpacing {
  std::optional<double> spacing;  // none when the field has no solution
  std::string message;            // why not
};

// The smallest spacing at which two lines of width feed_width, standing as
// the coupler's strips stand (side by side at its height on its board or
// stack: the edge gap; one above the other, SV apart: the sideways
// distance of their centre lines), couple less than the isolation on the
// field solution (coupling not resolved counts as isolated): bracketed by
// doubling, then bisected to a relative 1e-4.  The coupling falls as the
// spacing grows.
LeadSpacing lead_spacing(const LeadPair& leads);

// The field's coupling in dB (negative, -infinity when not resolved) of two
// lines of width feed_width at `spacing`, standing as lead_spacing has them;
// none without a field solution.
std::optional<double> lead_coupling_db(const LeadPair& leads, double spacing);

// One section of a coupler: its strips and its length.
struct PlannedSection {
  StripPair pair;
  double length;
};

// A feed line: its width and what it is (from the single strip's solution).
struct PlannedFeed {
  double width;
  double zo;
  double eeff;
};

enum class PortNumbering : std::uint8_t {
  isolated_third,  // 1 input, 2 through, 3 isolated, 4 coupled
  coupled_third,   // 1 input, 2 through, 3 coupled, 4 isolated
};

struct ArtworkDesign {
  std::vector<PlannedSection> sections;  // from the source end
  PlannedFeed source_feed;               // Rs: at the input and coupled ports
  PlannedFeed load_feed;                 // Rl: at the through and isolated ports
  double lead_length;
  layout::Bend bend = layout::Bend::mitre;
  float isolation_db = 40.0F;
  PortNumbering numbering = PortNumbering::isolated_third;
  // Shorten the end sections by the coupled length their legs add.
  bool compensate = false;
};

// What the compensation took off: the coupled length the legs add at each
// end (-x, +x), and each section's length as designed and as drawn.
struct Compensation {
  std::array<JunctionLength, 2> ends;
  std::vector<double> designed;  // from the source end
  std::vector<double> drawn;
};

struct ArtworkPlan {
  layout::ArtworkInputs inputs;
  std::array<PlannedFeed, layout::kPortCount> feeds{};  // by PortRole
  std::optional<Compensation> compensation;             // with ArtworkDesign::compensate
};

struct PlannedArtwork {
  std::optional<ArtworkPlan> plan;  // none when a lead spacing has no field solution
  std::string message;              // why not
  bool by_compensation = false;     // the compensation failed, not the spacing
};

// The artwork's inputs: the sections, each port's feed line (Rs at the
// input and coupled ports, Rl at the through and isolated ones), the lead
// spacing at each end from the lines' width there, the pads numbered as
// the Touchstone file's ports.  With compensate, the first section is
// shortened by the coupled length of the legs at the -x end and the last by
// that at the +x end (a single section by both); an end section that
// would be left no length fails the plan.
PlannedArtwork plan_artwork(const ArtworkDesign& design);

// The pad number of each PortRole.
std::array<int, layout::kPortCount> port_numbers(PortNumbering numbering);

// The electrical length in degrees at f0_mhz of a line `length` inches
// long: 360 length sqrt(eeff) f0 / c.
double electrical_degrees(double length, double eeff, double f0_mhz);

}  // namespace ketrovane
