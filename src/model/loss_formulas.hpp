// The parts of a stripline's loss that do not depend on how its fields are
// found: the surface resistance of the metal, Hammerstad's roughness factor
// and the dielectric loss of a TEM line.  The model's loss computes them in
// float and the field's in double, each operation in the same order, with
// the model's figures (ModelFigure) in either precision.
//
// Units: frequency in MHz, resistivity in ohm-inch, roughness in inches,
// attenuation in dB per inch.
//
//   E. O. Hammerstad and F. Bekkadal, "Microstrip Handbook", ELAB report
//   STF44 A74169, 1975: the roughness factor.
#pragma once

#include <cmath>

#include "common/constants.hpp"

namespace ketrovane {

// Surface resistance of a smooth conductor of resistivity rho, ohms:
// Rs = sqrt(pi f mu0 rho).
template <typename Real>
Real surface_resistance(Real f, Real resistivity) {
  using Figure = ModelFigure<Real>;
  return std::sqrt(f * Figure::pi * Figure::mu0_henry_per_inch_mhz * resistivity);
}

// Hammerstad's factor for the RMS roughness Delta against the skin depth
// delta = sqrt(2 rho/(omega mu0)): K = 1 + (2/pi) atan(1.4 (Delta/delta)^2),
// from 1 for a smooth surface towards 2.
template <typename Real>
Real roughness_factor(Real f, Real resistivity, Real roughness) {
  using Figure = ModelFigure<Real>;
  constexpr auto kRoughnessConstant = static_cast<Real>(1.4);
  const Real omega = Real{2} * Figure::pi * f;
  const Real skin_depth =
      std::sqrt(Real{2} * resistivity / (omega * Figure::mu0_henry_per_inch_mhz));
  const Real ratio = roughness / skin_depth;
  return Real{1} + (Real{2} / Figure::pi) * std::atan(kRoughnessConstant * (ratio * ratio));
}

// Dielectric loss of a TEM line, dB per inch: alpha = k tan(delta)/2 nepers
// with k = 2 pi sqrt(er)/lambda0, that is pi sqrt(er) tan(delta)/lambda0.
template <typename Real>
Real dielectric_loss(Real er, Real f, Real loss_tangent) {
  using Figure = ModelFigure<Real>;
  const Real wavelength = Figure::speed_of_light_inch_mhz / f;
  return std::sqrt(er) * Figure::pi * Figure::db_per_neper * loss_tangent / wavelength;
}

}  // namespace ketrovane
