// The note a run on the closed-form model leaves where its rows reach a part
// of the map of the model's error against the field solution where the model
// may be off by more than the map calls negligible, or leave the map: where,
// by how much, and what to do about it.  One note for every front end; each
// words the row, the per cents and the advice its own way.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "design/accuracy_watch.hpp"
#include "model/cross_section.hpp"

namespace ketrovane {

// What differs between the front ends.  A sentence names its pieces
// "{row}", "{percent}" and "{map}" (the map's extent in W/B, S/B and T/B).
struct AccuracyNoteWording {
  // Appends the front end's name of the row at x.
  std::function<void(std::string&, const CrossSection&)> name_row;
  // A fraction as the front end prints a per cent.
  std::string (*percent)(double fraction);
  // After "note: at {row}" when the rows leave the map.
  std::string_view outside_map;
  // After the impedances' bound: the conductor loss's at the same row, and
  // at another one.
  std::string_view loss_at_same_row;
  std::string_view loss_at_other_row;
  // Closes every note.
  std::string_view advice;
};

// One line without the program's name ("note: at ..."), or empty when the
// rows stay where the model's error is negligible.
std::string accuracy_note(const AccuracyWatch& watch, const AccuracyNoteWording& wording);

}  // namespace ketrovane
