// Strip width and spacing synthesis: the W and S for which the impedance
// model reproduces a target pair of even- and odd-mode impedances.
#pragma once

namespace ketrovane {

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

}  // namespace ketrovane
