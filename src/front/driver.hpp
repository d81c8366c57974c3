// The main driver: the loop of operations, one design per pass.
#pragma once

#include "front/environment.hpp"

namespace ketrovane {

// Exit statuses of the program.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitDefaultFileRejected = 1;
inline constexpr int kExitInputOutputError = 2;

// Runs the program to its end and gives its exit status.
int run_program(Environment& env);

}  // namespace ketrovane
