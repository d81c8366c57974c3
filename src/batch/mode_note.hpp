// The note a run leaves when a frequency it analyses reaches the cut-off of
// the stripline's first higher-order mode, where the quasi-TEM analysis of
// every command stops holding.
#pragma once

#include <string>

#include "batch/quantities.hpp"
#include "batch/requests.hpp"

namespace ketrovane::batch {

// One line without the program's name, or empty: for analyse at its
// frequency and its widest strip, for a response given by its dimensions at
// its highest frequency.  Lengths in `unit`.
std::string higher_mode_note(const Request& request, const LengthUnit& unit);

}  // namespace ketrovane::batch
