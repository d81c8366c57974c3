// Strip width and spacing synthesis: the W and S for which the impedance
// model reproduces a target pair of even- and odd-mode impedances.
//
// Single precision throughout, no input or output, no state between calls.
// Every call returns, and a status of 0 always means that the model
// reproduces both targets within 0.05 %.
#pragma once

#include <cstdint>

namespace ketrovane {

inline constexpr int kSynthesisConverged = 0;
inline constexpr int kSpacingBelowFloor = 1;
inline constexpr int kWidthBelowFloor = 2;
inline constexpr int kSynthesisFailed = 3;

// Evaluations of the impedance model after which the alternating search
// gives up (the safeguarded solve may then take over).
inline constexpr int kMaxSynthesisEvaluations = 2000;

// How a synthesis ended.
enum class SynthesisOutcome : std::uint8_t {
  converged_by_search,  // the alternating search met both targets
  solved_by_safeguard,  // the safeguarded solve met both targets
  spacing_floor,        // the design needs S below 0.00001"
  width_floor,          // the design needs W below 0.0001"
  unusable_targets,     // not Zoe > Zoo > 0, or not finite
  not_representable,    // no pair meets the test in single precision
};

struct SynthesisResult {
  int isyn;         // 0 converged, 1 S below its floor, 2 W below its floor,
                    // 3 failed (unusable targets, or no pair found)
  float s;          // strip spacing
  float w;          // strip width
  int evaluations;  // calls of the impedance model
  SynthesisOutcome outcome;
};

// Targets zoe > zoo > 0 ohms; b, t in inches.
SynthesisResult sl1ws(float b, float er, float t, float zoe, float zoo);

// The closed-form start of the search: exact for strips of zero thickness,
// before the clamps.  Not finite for targets it cannot invert.
struct SynthesisStart {
  float xe;  // normalised even-mode impedance
  float xo;  // normalised odd-mode impedance
  float ke;  // even-mode modulus
  float ko;  // odd-mode modulus
  float w;   // start width
  float s;   // start spacing
};
SynthesisStart synthesis_start(float b, float er, float zoe, float zoo);

}  // namespace ketrovane
