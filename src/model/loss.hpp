// Attenuation of the even and odd modes of the coupled stripline: conductor
// loss by Wheeler's incremental-inductance rule with Hammerstad's roughness
// correction, plus dielectric loss.
#pragma once

#include "model/cross_section.hpp"

namespace ketrovane {

struct Conductor {
  float resistivity_ohm_inch;  // 0 or less: a lossless conductor
  float roughness_inch;        // RMS surface roughness; 0: smooth
};

struct ModeAttenuation {
  float even_db_per_inch;  // positive
  float odd_db_per_inch;   // positive
};

// At frequency f_mhz (0 or less: no loss at all), with the cross-section's
// lengths in inches.
ModeAttenuation mode_attenuation(const CrossSection& x, const Conductor& conductor,
                                 float loss_tangent, float f_mhz);

}  // namespace ketrovane
