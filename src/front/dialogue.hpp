// The dialogue of one design: menus, data entry and the storage question.
#pragma once

#include "front/console.hpp"
#include "front/environment.hpp"
#include "front/storage_channel.hpp"
#include "reports/design_record.hpp"

namespace ketrovane {

// Runs the dialogue for the record's stage: the first design reads the
// default-value file, a new option keeps the program function, a new
// coupler asks everything again.  Leaves the stage at defaults_rejected when
// the default-value file was rejected.
void run_dialogue(DesignRecord& r, Console& console, Environment& env, StorageChannel& storage);

// Data entry of the chosen function and option, ending with the storage
// question.
void enter_design_data(DesignRecord& r, Console& console, Environment& env,
                       StorageChannel& storage);

// The storage question: sets the storage choice and, when a name is given,
// the storage file name.  When mistakes are asked again, a file to store in
// is opened here, and a name that cannot be opened is asked again.
void select_storage(DesignRecord& r, Console& console, Environment& env, StorageChannel& storage);

// The length mode question: entered or computed from Fo.
void ask_length_mode(DesignRecord& r, Console& console);

// The opening banner with the date and time of the run.
void show_opening_banner(const DesignRecord& r, Console& console);

}  // namespace ketrovane
