// A coupler's four-port as measured (a full-wave run of its artwork) read
// as a response: the matrix between the measured frequencies, the rows
// the band summary takes, the coupling's peak, and how reciprocal and
// passive the measured matrix is.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "design/band_summary.hpp"
#include "frequency/scattering_matrix.hpp"

namespace ketrovane {

// The ports in our numbering (1 input, 2 thru, 3 isolated, 4 coupled),
// ports 1 and 4 referenced to the source resistance, 2 and 3 to the load,
// as a response's rows are.
struct MeasuredSweep {
  std::vector<float> f_mhz;  // increasing
  std::vector<ScatteringMatrix> s;
};

// The matrix at f_mhz, linear in the real and imaginary parts of each
// element between the two measured frequencies about it; a frequency
// outside the sweep takes the matrix at its nearer end.
ScatteringMatrix measured_matrix(const MeasuredSweep& sweep, float f_mhz);

// The response rows of the matrix's first column (a unit wave into the
// input): the waves the response's rows are made from.
FourPortResponse response_of_matrix(const ScatteringMatrix& m);

// The sweep as a response at any frequency (it keeps the sweep).
ResponseAt measured_response(MeasuredSweep sweep);

struct CouplingPeak {
  float f_mhz;
  float coupling_db;  // negative
};

// Where the coupling is strongest among `f_mhz`: the vertex of the parabola
// through the strongest sample and its two neighbours (the sample itself at
// an end of the list).  None for an empty list.
std::optional<CouplingPeak> coupling_peak(const ResponseAt& response, std::span<const float> f_mhz);

// How far the measured matrix is from a reciprocal and from a passive
// four-port: the largest |Sij - Sji|, and the largest power leaving all
// ports for a unit wave into one (the column's sum of |Sij|^2, at most 1 for
// a passive one, with the same references at both ends).
struct MatrixChecks {
  double reciprocity;
  double column_power;
};
MatrixChecks matrix_checks(const MeasuredSweep& sweep);

// The frequencies of `f_mhz` (increasing) that lie within the sweep.
std::vector<float> frequencies_within(std::span<const float> f_mhz, const MeasuredSweep& sweep);

}  // namespace ketrovane
