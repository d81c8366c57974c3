// The domain of the solver's inputs, and the messages that name what is
// outside it.
#pragma once

#include <optional>
#include <string>

#include "field/field_solver.hpp"

namespace ketrovane::field {

// A number as messages print it: six significant digits.
std::string format_number(double value);

bool positive_finite(double x);

// Why the cross-section is outside the domain of solve(), if it is.
std::optional<std::string> geometry_error(const Geometry& g);

// Why the options are unusable, if they are; levels is the number of
// refinement levels the solver has.
std::optional<std::string> options_error(const Options& o, int levels);

FieldResult invalid_input(std::string message);

// Why a refinement stopped short: "no convergence to a relative tolerance
// of ... within ... refinements; last estimate ...".
std::string not_converged_message(const Options& options, double estimate);

// A stack of layers all of one dielectric (one Er, one loss tangent) is that
// dielectric: the geometry without the stack, er the layers'.  No stack
// gives the geometry as it is; a stack of different dielectrics, none.
std::optional<Geometry> one_dielectric(const Geometry& g);

}  // namespace ketrovane::field
