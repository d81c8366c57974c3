// A coupler section a quarter wavelength long at its centre frequency.
#pragma once

namespace ketrovane {

// Length in inches of a quarter wavelength at fo_mhz in a dielectric er.
float quarter_wave_length(float fo_mhz, float er);

// Frequency in MHz at which length_inch is a quarter wavelength.
float quarter_wave_frequency(float length_inch, float er);

// The same where the two modes travel at their own speeds (a stack of
// dielectrics): a quarter wave at the mean of the modes' phase velocities,
// L = c/(4 f0) * 2/(sqrt(eeff_even) + sqrt(eeff_odd)).  Modes of one
// permittivity give the figures of one dielectric to the bit.
float quarter_wave_length(float fo_mhz, float eeff_even, float eeff_odd);
float quarter_wave_frequency(float length_inch, float eeff_even, float eeff_odd);

}  // namespace ketrovane
