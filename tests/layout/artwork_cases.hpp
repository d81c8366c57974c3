// The artworks the layout tests draw and read back: one of each way the
// geometry can go (mitred or arc bends, one or several sections, side by
// side or one above the other, bends cut short, no bends at all).
#pragma once

#include "layout/artwork.hpp"

#include <ostream>
#include <string>
#include <vector>

namespace ketrovane::layout::testing {

struct ArtworkCase {
  std::string name;
  ArtworkInputs inputs;
};

// GoogleTest names a case by its name, not its bytes.
inline void PrintTo(const ArtworkCase& c, std::ostream* out) {
  *out << c.name;
}

inline std::vector<ArtworkCase> artwork_cases() {
  std::vector<ArtworkCase> cases;
  ArtworkInputs side;  // one section, mitred, feed as wide as the strips
  side.sections = {{0.5, 0.025, 0.005, 0.0}};
  side.feed_width = {0.025, 0.025, 0.025, 0.025};
  side.lead_spacing = {0.1, 0.1};
  side.lead_length = 0.2;
  cases.push_back({"side_mitre", side});

  ArtworkInputs stepped;  // three sections stepping, feed wider, ports renumbered
  stepped.sections = {
      {0.3, 0.020, 0.004, 0.0}, {0.25, 0.024, 0.008, 0.0}, {0.3, 0.028, 0.012, 0.0}};
  stepped.feed_width = {0.035, 0.036, 0.037, 0.038};
  stepped.lead_spacing = {0.12, 0.09};
  stepped.lead_length = 0.15;
  stepped.bend = Bend::arc;
  stepped.port_number = {3, 1, 4, 2};
  cases.push_back({"side_arc_stepped", stepped});

  ArtworkInputs stacked;  // one above the other, mitred
  stacked.one_above_the_other = true;
  stacked.sections = {{0.4, 0.03, 0.0, 0.012}, {0.35, 0.026, 0.0, 0.02}};
  stacked.feed_width = {0.03, 0.031, 0.032, 0.033};
  stacked.lead_spacing = {0.15, 0.15};
  stacked.lead_length = 0.2;
  stacked.port_number = {2, 4, 1, 3};
  cases.push_back({"stacked_mitre", stacked});

  ArtworkInputs short_arcs = stacked;  // arcs that turn through less than 45 degrees
  short_arcs.sections = {{0.4, 0.02, 0.0, 0.01}};
  short_arcs.feed_width = {0.02, 0.02, 0.02, 0.02};
  short_arcs.lead_spacing = {0.03, 0.025};
  short_arcs.bend = Bend::arc;
  cases.push_back({"stacked_short_arcs", short_arcs});

  ArtworkInputs apart = side;  // the lines stand far enough apart already
  apart.sections = {{0.5, 0.025, 0.2, 0.0}};
  apart.feed_width = {0.03, 0.025, 0.025, 0.03};
  apart.lead_spacing = {0.1, 0.2};
  cases.push_back({"side_apart", apart});
  return cases;
}

}  // namespace ketrovane::layout::testing
