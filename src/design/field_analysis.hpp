// The columns of the model's rows from the two-dimensional field solution:
// impedances verified to the solver's default tolerance, the attenuation by
// Wheeler's rule on the field solution, and sensitivities by central
// differences of field solutions.  Each throws FieldFailure for a
// cross-section the solver cannot verify.
#pragma once

#include "design/row_kernel.hpp"
#include "field/field_solver.hpp"

namespace ketrovane {

// The field solver's view of a cross-section: the same lengths, in double.
field::Geometry field_geometry(const CrossSection& x);

CouplerImpedances field_impedances(const CrossSection& x);

// Solved once per cross-section (and thread): the frequency, resistivity
// and roughness only scale the geometry's conductor-loss factor.
ModeAttenuation field_attenuation(const CrossSection& x, const Materials& materials, float f_mhz);

ImpedanceSensitivities field_sensitivities(const CrossSection& x);

// The field solution beside the model's impedances.
FieldComparison compare_with_field(const CrossSection& x, float model_zoe, float model_zoo);

// The field's attenuation beside the model's.
LossComparison compare_loss_with_field(const CrossSection& x, const Materials& materials,
                                       float f_mhz, const ModeAttenuation& model);

}  // namespace ketrovane
