// Conversion between the coupler impedance Zo with the midband coupling Co and
// the even- and odd-mode impedances of a coupled-line section:
// Zo^2 = Zoe Zoo and C = (Zoe - Zoo)/(Zoe + Zoo), Co = 20 log10 C.
#include <cmath>

#include "model/coupling.hpp"

namespace ketrovane {

CouplerImpedance coupler_from_modes(ModePair modes) {
  const float zo = std::sqrt(modes.zoe * modes.zoo);
  const float r = modes.zoo / modes.zoe;
  const float cc = (1.0F - r) / (r + 1.0F);
  // A pair without positive coupling has no level in dB.
  const float coupling_db = cc > 0.0F ? 20.0F * std::log10(cc) : kNoCoupling;
  return {zo, coupling_db, cc};
}

ModesOfCoupler modes_from_coupler(CouplerTarget target) {
  const float cc = std::pow(10.0F, target.coupling_db / 20.0F);
  const float zoe = target.zo * std::sqrt((1.0F + cc) / (1.0F - cc));
  const float zoo = target.zo * target.zo / zoe;
  return {zoe, zoo, cc};
}

}  // namespace ketrovane
