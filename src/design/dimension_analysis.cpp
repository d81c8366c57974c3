#include "design/dimension_analysis.hpp"

#include "model/coupling.hpp"

namespace ketrovane {

DimensionAnalysis analyse_dimensions(const CrossSection& x) {
  const ModeImpedances modes = mode_impedances(x);
  const CouplerImpedance coupler = coupler_from_modes({modes.zoe, modes.zoo});
  return {modes.zoe, modes.zoo, coupler.zo, coupler.coupling_db, modes.capacitances};
}

}  // namespace ketrovane
