// Four-port response of a single-section coupled-line coupler between a
// source and a load resistance, by even/odd-mode decomposition, and the
// line-section helpers it is built from.
#pragma once

#include <array>

namespace ketrovane {

// A complex pair of single-precision reals.
struct Complex {
  float re;
  float im;
};

// Chain matrix [A B; C D] of a two-port.
struct LineMatrix {
  Complex a;
  Complex b;
  Complex c;
  Complex d;
};

// Chain matrix of a uniform lossy line: impedance z (ohms), electrical
// length theta (radians), total attenuation sigma (nepers).
LineMatrix xline(float z, float theta, float sigma);

struct TauGamma {
  Complex tau;    // transmission from source to load
  Complex gamma;  // input reflection
};

// Transmission and reflection of a two-port between resistances zs and zl.
TauGamma taugam(const LineMatrix& abcd, float zl, float zs);

// Product of x1 and x2; with ltype 2, of x1 and the conjugate of x2.
Complex nmult(int ltype, Complex x1, Complex x2);

// Angle of the point (x, y) in radians, in (-pi, pi].
float atn2(float x, float y);

// Response at one frequency; port 1 reflected, 2 coupled, 3 isolated,
// 4 through.
struct FourPortResponse {
  std::array<float, 4> mag;  // dB, never below -90
  std::array<float, 4> ang;  // degrees
  float phi;                 // coupled-to-through phase difference, [0, 180)
  float error90;             // phi - 90
  float vswr;                // input VSWR
  float loss;                // power reaching the coupled and through ports, dB
  float atot;                // power leaving all four ports, dB
};

struct CoupledSection {
  float zoe;  // even-mode impedance, ohms
  float zoo;  // odd-mode impedance, ohms
  float er;   // relative permittivity
  float l;    // length, inches
  float ate;  // even-mode attenuation, dB per inch
  float ato;  // odd-mode attenuation, dB per inch
};

// Response at f MHz between source rs and load rl (ohms).
FourPortResponse sl1fa(const CoupledSection& section, float f, float rl, float rs);

}  // namespace ketrovane
