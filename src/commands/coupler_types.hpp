// The design layer's and the core's types that a front end takes from the
// commands library: the band summary of a response, the profile and the
// sections of a multi-section coupler, the scattering matrix of a coupler
// and its ports, and pi for the phases written.  A front end includes commands
// headers alone; these are its names for them.
#pragma once

#include "common/constants.hpp"
#include "design/band_summary.hpp"
#include "design/multisection_row.hpp"
#include "frequency/scattering_matrix.hpp"
#include "synthesis/multisection.hpp"

namespace ketrovane::commands {

using ketrovane::BandEdge;
using ketrovane::BandSummary;
using ketrovane::kPi;
using ketrovane::kScatteringPorts;
using ketrovane::multisection_scattering_matrices;
using ketrovane::multisection_scattering_matrix;
using ketrovane::MultisectionCoupler;
using ketrovane::MultisectionDesign;
using ketrovane::ProfileSummary;
using ketrovane::response_scattering_matrix;
using ketrovane::ScatteringMatrix;

}  // namespace ketrovane::commands
