// Line sections of the frequency analysis: the chain matrix of a uniform
// lossy line, its transmission and reflection between two resistances, and
// the four-quadrant angle of a complex value.
//
// Single precision, complex values as std::complex<float>.  Every formula
// is written part by part in a fixed order of operations: the reports print
// the last digit of these results.
#pragma once

#include <complex>

namespace ketrovane {

using Complex = std::complex<float>;

// Chain matrix [A B; C D] of a two-port.
struct ChainMatrix {
  Complex a;
  Complex b;
  Complex c;
  Complex d;
};

// Chain matrix of a uniform line of impedance z (ohms), electrical length
// theta (radians) and total attenuation sigma (nepers): the propagation
// exponent is sigma + j theta.
ChainMatrix lossy_line(float z, float theta, float sigma);

struct TransmissionReflection {
  Complex transmission;  // from source to load, scaled for unequal terminations
  Complex reflection;    // seen at the input
};

// A two-port between a source resistance and a load resistance (ohms).
TransmissionReflection between_terminations(const ChainMatrix& m, float load, float source);

// Angle of x + j y in radians, in (-pi, pi]; a zero y of either sign lies on
// the axis (the negative real axis gives +pi), the origin gives 0.
float phase_angle(float x, float y);

}  // namespace ketrovane
