// Physical constants and unit conversions, each defined once.
//
// The closed-form model and the frequency response compute in single
// precision with the values below exactly as stored in a float: the reports
// print their results to the last digit, so these values are part of the
// output.  The field solver's own solution, which has no such history, uses
// the double values of CODATA 2018; its loss takes the model's figures
// (ModelFigure below) so that the two losses differ by their solutions
// alone.
#pragma once

namespace ketrovane {

// The model's figures as they were typed, in the precision of the code that
// computes with them: ModelFigure<float> for the model and the frequency
// response, ModelFigure<double> for the field's loss (the same decimals, not
// the floats widened).  Each decimal rounds straight to the float the model
// has always carried.
template <typename Real>
struct ModelFigure {
  static constexpr Real pi = static_cast<Real>(3.1415927);
  static constexpr Real speed_of_light_inch_mhz = static_cast<Real>(11802.8545);
  static constexpr Real mu0_henry_per_inch_mhz = static_cast<Real>(0.03191858);
  static constexpr Real db_per_neper = static_cast<Real>(8.686);
};

// pi rounded to single precision (3.14159274...).
inline constexpr float kPi = ModelFigure<float>::pi;

// Wave impedance of free space in ohms, mu0*c, rounded to single precision:
// 376.73046875.  (CODATA 2018: 376.730313668; the difference, 4e-7
// relative, is below single-precision resolution at the printed digits.)
inline constexpr float kFreeSpaceImpedance = 376.73046875F;

// Speed of light in inches per microsecond: 299792458 m/s / 0.0254 m per
// inch = 11802.8527 in/us, here as the program has always carried it,
// 11802.8545 (single precision 11802.8544921875).  c/f is then the
// free-space wavelength in inches for f in MHz.
inline constexpr float kSpeedOfLightInchMHz = ModelFigure<float>::speed_of_light_inch_mhz;

// Permeability of free space in henries per inch, times 1e6 so that
// frequencies can be given in MHz: 4 pi 1e-7 H/m x 0.0254 m/inch x 1e6.
inline constexpr float kMu0HenryPerInchMHz = ModelFigure<float>::mu0_henry_per_inch_mhz;

// Decibels per neper, 20 log10(e) = 8.6859, to the four digits used
// throughout.
inline constexpr float kDbPerNeper = ModelFigure<float>::db_per_neper;

// Millimetres per inch, exact by definition (1959); the reports' B in
// millimetres goes through centimetres in single precision.
inline constexpr double kMillimetresPerInch = 25.4;
inline constexpr float kCentimetresPerInch = 2.54F;

// Conductor resistivity: micro-ohm-centimetres to ohm-inches,
// 1e-6 ohm-cm / 2.54 cm per inch = 3.9370079e-7.
inline constexpr float kOhmInchPerMicroOhmCm = 3.9370079e-7F;

// Surface roughness: micro-inches to inches.
inline constexpr float kInchPerMicroInch = 1.0e-6F;

}  // namespace ketrovane
