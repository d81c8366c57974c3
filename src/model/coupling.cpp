// Conversion between the coupler impedance Zo with the midband coupling Co and
// the even- and odd-mode impedances of a coupled-line section:
// Zo^2 = Zoe Zoo and C = (Zoe - Zoo)/(Zoe + Zoo), Co = 20 log10 C.
#include <cmath>

#include "model/stripline_model.hpp"

namespace ketrovane {

CouplerFromModes sl1zo(ModePair modes) {
  const float zo = std::sqrt(modes.zoe * modes.zoo);
  const float r = modes.zoo / modes.zoe;
  const float cc = (1.0F - r) / (r + 1.0F);
  // A pair without positive coupling has no level in dB.
  const float ko = cc > 0.0F ? 20.0F * std::log10(cc) : kNoCoupling;
  return {cc, ko, zo};
}

ModesFromCoupler sl1zo(CouplerSpec coupler) {
  const float cc = std::pow(10.0F, coupler.ko / 20.0F);
  const float zoe = coupler.zo * std::sqrt((1.0F + cc) / (1.0F - cc));
  const float zoo = coupler.zo * coupler.zo / zoe;
  return {cc, zoe, zoo};
}

}  // namespace ketrovane
