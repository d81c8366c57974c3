// The note a run on the closed-form model leaves where its rows reach a part
// of the map of its error against the field solution where it may be off by
// more than 1 %, or leave the map.
#pragma once

#include <string>

#include "batch/quantities.hpp"
#include "design/model_accuracy.hpp"

namespace ketrovane::batch {

// One line without the program's name ("note: at W 0.1 in, ..."), or empty;
// its lengths in `unit`.
std::string accuracy_note(const AccuracyWatch& accuracy, const LengthUnit& unit = kInches);

}  // namespace ketrovane::batch
