// A coupler section a quarter wavelength long at its centre frequency.
#pragma once

namespace ketrovane {

// Length in inches of a quarter wavelength at fo_mhz in a dielectric er.
float quarter_wave_length(float fo_mhz, float er);

// Frequency in MHz at which length_inch is a quarter wavelength.
float quarter_wave_frequency(float length_inch, float er);

}  // namespace ketrovane
