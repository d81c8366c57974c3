// The dialogue of one design: menus, data entry and the storage question.
#pragma once

#include "front/console.hpp"
#include "front/design_parameters.hpp"
#include "front/environment.hpp"

namespace ketrovane {

// Runs the dialogue for the stage in p.isel: 0 first design (reads the
// default-value file), 1 new option for the same coupler, 2 new coupler.
// Leaves p.isel = -1 when the default-value file was rejected.
void sl1input(DesignParameters& p, Console& console, Environment& env);

// Data entry of the chosen function and option, ending with the storage
// question.
void enter_design_data(DesignParameters& p, Console& console, Environment& env);

// The storage question: sets p.istore and, when a name is given, p.fn.
void select_storage(DesignParameters& p, Console& console, Environment& env);

// Number of steps of a range, (max - min)/step + 0.0001 in single precision,
// truncated; saturates instead of overflowing.
int step_count(float min, float max, float step);

// The length mode question: sets p.il to 1 (entered) or 2 (computed).
void ask_length_mode(DesignParameters& p, Console& console);

// The opening banner with the date and time of the run.
void show_opening_banner(const DesignParameters& p, Console& console);

}  // namespace ketrovane
