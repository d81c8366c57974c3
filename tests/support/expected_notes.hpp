// The note the interactive program leaves at a terminal after the impedance
// analysis over widths 0.1" to 0.2" in steps of 0.02" on the shipped
// defaults (B 0.25", S 0.011", T 0.0014" of copper, Er 2.2): thin copper at a
// narrow gap, where the map of the closed-form model's error against the
// field solution gives 5.7 % for the impedances at the narrowest strip and
// 38 % for the conductor loss at the widest (ACCURACY.md).
#pragma once

#include <string_view>

namespace ketrovane::testing {

inline constexpr std::string_view kWidthsAnalysisNote =
    "ketrovane: note: at W/B 0.4, S/B 0.044, T/B 0.0056 the closed-form model may be off by up "
    "to 5.7 %, and its conductor loss by up to 38 % at W/B 0.8, S/B 0.044, T/B 0.0056; to "
    "compare the rows with the field solution: ketrovane-calc analyse --b 0.25 --t 0.0014 --er "
    "2.2 --w 0.1:0.2:0.02 --s 0.011 --rho 1.7 --roughness 5uin --tand 0.0009 --f 1000 --solver "
    "both\n";

}  // namespace ketrovane::testing
