// The analysis of one set of dimensions: mode impedances, then the coupler
// impedance and the midband coupling from them.
#pragma once

#include "model/cross_section.hpp"
#include "model/mode_impedances.hpp"

namespace ketrovane {

struct DimensionAnalysis {
  float zoe;          // ohms
  float zoo;          // ohms
  float zo;           // sqrt(Zoe Zoo), ohms
  float coupling_db;  // negative; kNoCoupling without positive coupling
  Capacitances capacitances;
};

DimensionAnalysis analyse_dimensions(const CrossSection& x);

// A dimension over the ground-plane spacing as the tables print it: the
// reciprocal of B first, then the product (the last digit depends on it).
inline float ratio_to_b(float x, float b) {
  return (1.0F / b) * x;
}

}  // namespace ketrovane
