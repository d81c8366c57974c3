// The batch commands' wording of the note a run on the closed-form model
// leaves on its accuracy (design/accuracy_note.hpp).
#pragma once

#include <string>

#include "commands/quantities.hpp"
#include "design/accuracy_note.hpp"
#include "design/multisection_row.hpp"

namespace ketrovane::commands {

// One line without the program's name ("note: at W 0.1 in, ..."), or empty;
// its lengths in `unit`.
std::string accuracy_note(const AccuracyWatch& accuracy, const LengthUnit& unit = kInches);

// The same over the sections of a multi-section coupler, each row named
// with the sections of its cross-section ("note: at sections 2 and 4, W
// ...").
std::string accuracy_note(const AccuracyWatch& accuracy, const MultisectionCoupler& coupler,
                          const LengthUnit& unit = kInches);

}  // namespace ketrovane::commands
