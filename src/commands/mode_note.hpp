// The note a run leaves when a frequency it analyses reaches the cut-off of
// the stripline's first higher-order mode, where the quasi-TEM analysis of
// every command stops holding.
#pragma once

#include <string>

#include "commands/quantities.hpp"
#include "commands/requests.hpp"
#include "design/higher_mode.hpp"

namespace ketrovane::commands {

// One line without the program's name, or empty: for analyse at its
// frequency and its widest strip, for a response given by its dimensions at
// its highest frequency.  Lengths in `unit`.
std::string higher_mode_note(const Request& request, const LengthUnit& unit);

// A row of a scripting call: an analyse or a response from dimensions, at
// one frequency, taken into `reach`.
void watch_higher_mode(const Request& element, HigherModeReach& reach);

// The note of the rows of a scripting call, or empty.
std::string higher_mode_note(const HigherModeReach& reach, const LengthUnit& unit);

}  // namespace ketrovane::commands
