// Width and spacing synthesis: the strip width W and spacing S for which the
// closed-form impedance model reproduces a target pair of even- and odd-mode
// impedances.
//
// Single precision throughout, no input or output, no state between calls.
// Every call returns, and a converged result always reproduces both targets
// within 0.05 %.
#pragma once

#include <cstdint>

#include "model/cross_section.hpp"

namespace ketrovane {

// How a synthesis ended.
enum class SynthesisOutcome : std::uint8_t {
  converged_by_search,  // the alternating search met both targets
  solved_by_safeguard,  // the bracketing solve met both targets
  spacing_floor,        // the design needs S below 0.00001"
  width_floor,          // the design needs W below 0.0001"
  unusable_targets,     // not finite, or not Zoe > Zoo > 0
  not_representable,    // no W and S of the single-precision model meet both
};

// The floors of the dimensions, in inches.
inline constexpr float kSpacingFloor = 0.00001F;
inline constexpr float kWidthFloor = 0.0001F;

// Evaluations of the impedance model after which the alternating search
// gives up and the bracketing solve takes over.
inline constexpr int kMaxSearchEvaluations = 2000;

struct SynthesisTarget {
  Board board;  // lengths in inches
  float zoe;    // even-mode impedance, ohms
  float zoo;    // odd-mode impedance, ohms
};

struct WidthSpacing {
  float w;  // strip width, inches (at a floor: what the synthesis reached)
  float s;  // strip spacing, inches
  SynthesisOutcome outcome;
  int evaluations;  // calls of the impedance model

  [[nodiscard]] bool converged() const {
    return outcome == SynthesisOutcome::converged_by_search ||
           outcome == SynthesisOutcome::solved_by_safeguard;
  }
};

WidthSpacing synthesise_width_and_spacing(const SynthesisTarget& target);

// The synthesis finished to the resolution of the single-precision model:
// a design the alternating search found within 0.05 % is carried on by
// Newton steps on W and S toward Zoe and Zoo, and where they stop above
// 0.001 % (the model jumps between neighbouring floats there) by the
// safeguarded solve, whose brackets close on neighbouring floats; the
// design whose Zoe and Zoo lie nearest their targets is kept.  Any other
// ending is that of synthesise_width_and_spacing.
WidthSpacing synthesise_to_resolution(const SynthesisTarget& target);

// The larger relative error of the model's Zoe and Zoo at W and S against
// the targets; not finite where the model is not.
float target_error(const SynthesisTarget& target, float w, float s);

// The closed-form start of the search, the exact inverse of the
// zero-thickness relations, before its clamps.  Not finite for targets it
// cannot invert (Zoe < Zoo, or Zoe sqrt(er) below about 15 ohms).
struct ClosedFormStart {
  float xe;  // normalised even-mode impedance, Zoe sqrt(er) 4/eta
  float xo;  // normalised odd-mode impedance
  float ke;  // even-mode modulus
  float ko;  // odd-mode modulus
  float w;   // start width
  float s;   // start spacing
};
ClosedFormStart closed_form_start(float b, float er, float zoe, float zoo);

}  // namespace ketrovane
