// The parts of the manual page made from the option and command tables: the
// synopsis of each command and the list of the options, in roff.  The page
// doc/ketrovane-calc.1 holds them between marker comments; the target
// `manual` writes them in, and a test fails when the page has drifted from
// the tables.
#pragma once

#include <string>
#include <string_view>

namespace ketrovane::calc {

// The synopsis lines of every command.
std::string manual_synopsis();

// Every option once: its value, what it is, the values it takes, its
// default, and the commands that take it.
std::string manual_options();

// The page with the text between each pair of marker lines
// (.\" BEGIN SYNOPSIS / .\" END SYNOPSIS, and OPTIONS) made anew; the page
// unchanged where the markers are missing.
std::string with_generated_parts(std::string_view page);

}  // namespace ketrovane::calc
