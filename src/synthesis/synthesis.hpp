// Strip width and spacing synthesis: the W and S for which the impedance
// model reproduces a target pair of even- and odd-mode impedances.
//
// Single precision throughout, no input or output, no state between calls.
// Every call returns: besides the two physical floors, bad targets, a start
// that is not finite and a search that does not close within a bounded
// number of impedance evaluations end with status 3.
#pragma once

namespace ketrovane {

inline constexpr int kSynthesisConverged = 0;
inline constexpr int kSpacingBelowFloor = 1;
inline constexpr int kWidthBelowFloor = 2;
inline constexpr int kSynthesisFailed = 3;

// Evaluations of the impedance model after which a search counts as failed.
inline constexpr int kMaxSynthesisEvaluations = 2000;

struct SynthesisResult {
  int isyn;         // 0 converged (or stalled), 1 S below its floor,
                    // 2 W below its floor, 3 failed (bad targets, no finite
                    // start or too many evaluations)
  float s;          // strip spacing
  float w;          // strip width
  int evaluations;  // calls of the impedance model
  bool stalled;     // ended by the unchanged-width exit
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
