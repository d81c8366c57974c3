// The batch commands' wording of the note a run on the closed-form model
// leaves on its accuracy (design/accuracy_note.hpp).
#pragma once

#include <string>

#include "commands/quantities.hpp"
#include "design/accuracy_note.hpp"

namespace ketrovane::commands {

// One line without the program's name ("note: at W 0.1 in, ..."), or empty;
// its lengths in `unit`.
std::string accuracy_note(const AccuracyWatch& accuracy, const LengthUnit& unit = kInches);

}  // namespace ketrovane::commands
