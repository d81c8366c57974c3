// The closed-form coupled-stripline model, single precision throughout: mode
// impedances, coupling conversion, loss and sensitivities.  No function here
// does input or output or keeps state between calls.
#pragma once

#include "model/coupling.hpp"
#include "model/cross_section.hpp"
#include "model/loss.hpp"
#include "model/mode_impedances.hpp"
#include "model/sensitivity.hpp"
