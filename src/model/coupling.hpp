// Conversion between the coupler impedance Zo with the midband coupling and
// the even- and odd-mode impedances of a coupled-line section:
// Zo^2 = Zoe Zoo and C = (Zoe - Zoo)/(Zoe + Zoo), coupling = 20 log10 C dB.
#pragma once

namespace ketrovane {

// Coupling in dB held by a pair without positive coupling (Zoo >= Zoe).
inline constexpr float kNoCoupling = -999.999F;

struct ModePair {
  float zoe;  // ohms
  float zoo;  // ohms
};

struct CouplerImpedance {
  float zo;               // sqrt(Zoe Zoo), ohms
  float coupling_db;      // 20 log10 C, negative; kNoCoupling when C <= 0
  float coupling_factor;  // C, the midband voltage coupling
};

CouplerImpedance coupler_from_modes(ModePair modes);

// What a coupler should be: its impedance and its midband coupling.
struct CouplerTarget {
  float zo;           // ohms
  float coupling_db;  // negative: -10 for a 10 dB coupler
};

struct ModesOfCoupler {
  float zoe;              // zo sqrt((1 + C)/(1 - C)), ohms
  float zoo;              // zo^2 / zoe, ohms
  float coupling_factor;  // C = 10^(coupling/20)
};

// For coupling_db < 0; 0 dB divides by zero and a positive coupling gives a
// factor above 1 and no real Zoe.
ModesOfCoupler modes_from_coupler(CouplerTarget target);

}  // namespace ketrovane
