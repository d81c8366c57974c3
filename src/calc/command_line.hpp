// The command line of ketrovane-calc: one subcommand per batch command, its
// options registered from the option table and parsed once.
#pragma once

namespace ketrovane::calc {

// Parses the arguments, runs the command and returns the exit status;
// every mistake is one "ketrovane-calc: " line on the error stream.
int run_program(int argc, char** argv);

}  // namespace ketrovane::calc
