// Coupled-stripline model: even- and odd-mode impedances of two equal,
// edge-coupled strips centred between two ground planes, the conversion
// between (Zo, Co) and (Zoe, Zoo), the conductor and dielectric losses and
// the normalised impedance sensitivities.
//
// Every quantity is single precision, as the reports print it.  Lengths may
// be in any one unit (the program uses inches).  No function here does any
// input or output, keeps state between calls or has undefined behaviour for
// any input: outside the stated preconditions the results may be NaN or
// infinite.
#pragma once

namespace ketrovane {

// Cross-section of the symmetric pair.  Preconditions of the model:
// b > t >= 0, s > 0, w > 0, er > 0.
struct CrossSection {
  float b;   // ground-plane spacing
  float er;  // relative permittivity of the dielectric
  float s;   // edge-to-edge spacing of the strips
  float t;   // strip thickness
  float w;   // width of each strip
};

// Capacitances per unit length divided by the permittivity of the medium,
// per strip and ground plane (Cohn's split).
struct sl1cap {
  float cf;   // outer-edge fringing
  float cfe;  // inner-edge fringing, even mode
  float cfo;  // inner-edge fringing, odd mode
  float cpa;  // parallel plate, first strip
  float cpb;  // parallel plate, second strip (equal to cpa)
};

struct ModeImpedances {
  float zoe;  // even-mode impedance, ohms
  float zoo;  // odd-mode impedance, ohms
  sl1cap cap;
  int j;  // 1 when the zero-thickness solution could not be evaluated
};

// Even- and odd-mode impedances of the coupled thick strips.
ModeImpedances sl1imp(const CrossSection& x);

// Coupling level held by a pair without positive coupling (Zoo >= Zoe).
inline constexpr float kNoCoupling = -999.999F;

// sl1zo from the mode impedances: Zo = sqrt(Zoe*Zoo) and the midband
// coupling Co in dB (negative), or kNoCoupling.
struct ModePair {
  float zoe;
  float zoo;
};
struct CouplerFromModes {
  float cc;  // midband voltage coupling coefficient
  float ko;  // midband coupling, dB
  float zo;  // coupler impedance, ohms
};
CouplerFromModes sl1zo(ModePair modes);

// sl1zo from the coupler impedance and the coupling (ko < 0 dB).
struct CouplerSpec {
  float zo;
  float ko;
};
struct ModesFromCoupler {
  float cc;
  float zoe;
  float zoo;
};
ModesFromCoupler sl1zo(CouplerSpec coupler);

// Even- and odd-mode attenuation in dB per unit length, positive.
struct Attenuation {
  float ate;
  float ato;
};

// Conductor loss (incremental inductance, Hammerstad roughness) plus
// dielectric loss at frequency f in MHz.  res in ohm-inch, sr in inch,
// tlos the loss tangent; lengths of x in inches.
Attenuation sl1los(const CrossSection& x, float f, float res, float sr, float tlos);

// Normalised sensitivities (x/Z)(dZ/dx) of Zoe ...
struct slsen1 {
  float szoeb;
  float szoeer;
  float szoes;
  float szoet;
  float szoew;
};
// ... and of Zoo.
struct slsen2 {
  float szoob;
  float szooer;
  float szoos;
  float szoot;
  float szoow;
};

struct Sensitivities {
  float zoe;  // nominal even-mode impedance
  float zoo;  // nominal odd-mode impedance
  slsen1 even;
  slsen2 odd;
  sl1cap cap;  // as the last internal evaluation (the width step) left it
};

Sensitivities sl1sen(const CrossSection& x);

}  // namespace ketrovane
