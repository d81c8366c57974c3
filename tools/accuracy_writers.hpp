// The three files the accuracy map is written to: the compiled table the
// library reads, the data gnuplot draws from, and ACCURACY.md.
#pragma once

#include <string>
#include <vector>

#include "accuracy_sampling.hpp"

namespace ketrovane::tools {

// A named cross-section (units of b) worth a line of its own in the report.
struct SpotCheck {
  std::string name;
  Sample sample;
};

// A board worth a line of its own in the report's conductor-loss section:
// the cross-section in inches and both methods' losses at the frequency.
struct LossSpotCheck {
  std::string name;
  field::Geometry inches;
  double f_mhz;
  ConductorLosses losses;
};

// src/field/model_accuracy_table.inc: the axes, the worst of the Zoe and Zoo
// relative errors and the worst of the two modes' conductor-loss relative
// errors at every point of the table's grid, and the tolerance of the field
// solutions they were measured against.
std::string table_source(const Map& table);

// doc/accuracy/model_error.dat: one gnuplot index per thickness, one block
// per width, one line per gap; columns named with their units in the header.
std::string plot_data(const Map& map);

// ACCURACY.md, from the report's grid, describing the table's.
std::string report(const Map& map, const Map& table, const std::vector<SpotCheck>& spots,
                   const std::vector<LossSpotCheck>& loss_spots);

}  // namespace ketrovane::tools
