// The columns of the model's rows from the two-dimensional field solution:
// impedances verified to the solver's default tolerance, the attenuation by
// Wheeler's rule on the field solution, and sensitivities by central
// differences of field solutions.  Each throws FieldFailure for a
// cross-section the solver cannot verify.
#pragma once

#include <optional>

#include "design/row_kernel.hpp"
#include "design/strip_pair.hpp"
#include "field/field_solver.hpp"

namespace ketrovane {

// The field solver's view of a strip pair: the same lengths, in double.
field::Geometry field_geometry(const StripPair& pair);

// The field's impedances, and whether its strips are too far apart for the
// solution to resolve their coupling.
struct FieldCoupler {
  CouplerImpedances impedances;
  std::optional<FieldFailure> uncoupled;
};
FieldCoupler field_coupler(const StripPair& pair);
CouplerImpedances field_impedances(const StripPair& pair);

// Solved once per cross-section (and thread): the frequency, resistivity
// and roughness only scale the geometry's conductor-loss factor.
ModeAttenuation field_attenuation(const StripPair& pair, const Materials& materials, float f_mhz);
// The same split into its conductor and dielectric parts.
LossParts field_loss_parts(const StripPair& pair, const Materials& materials, float f_mhz);

// To Er, B, S, T and W, and to H, SV and WO where the arrangement has them.
FieldSensitivities field_sensitivities(const StripPair& pair);

// The field solution beside the model's impedances.
FieldComparison compare_with_field(const CrossSection& x, float model_zoe, float model_zoo);

// The field's attenuation beside the model's.
LossComparison compare_loss_with_field(const CrossSection& x, const Materials& materials,
                                       float f_mhz, const ModeAttenuation& model);

}  // namespace ketrovane
