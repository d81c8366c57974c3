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

// What the attenuation takes from the cross-section, whatever the frequency
// and the metal: its permittivity, the air-filled mode impedances (ohms) and
// Wheeler's derivative of each as every conductor surface recedes (ohms per
// inch).  A sweep over frequency works these out once.
struct WheelerFactors {
  float er;
  float air_zoe;
  float air_zoo;
  float even_receding_slope;
  float odd_receding_slope;
};

WheelerFactors wheeler_factors(const CrossSection& x);

// The same attenuation as from the cross-section, bit for bit.
ModeAttenuation mode_attenuation(const WheelerFactors& factors, const Conductor& conductor,
                                 float loss_tangent, float f_mhz);

}  // namespace ketrovane
