// The part of a panel's logarithmic potential that the Gauss rule cannot do
// at field points close to the panel: the closed-form integral less what the
// rule made of it, shared by both boundary-element solutions.
#pragma once

#include <complex>
#include <span>
#include <vector>

#include "field/gauss_legendre.hpp"
#include "field/panels.hpp"

namespace ketrovane::field {

using Complex = std::complex<double>;

// Field points closer to a panel than this many half-lengths from its centre
// get the closed-form logarithmic integrals.  Beyond it the Gauss rule does
// well enough: with 2 the solutions agree to 1e-10 with those with 3 or 4.
inline constexpr double kNearRadius = 2.0;

// A source panel carried by one singularity (its ends mapped): z = (point -
// centre) * to_reference puts the copy on [-1, 1].
struct MappedPanel {
  Complex centre;
  Complex to_reference;
  double reach;  // distance from the centre within which points are near
};

inline MappedPanel panel_copy(Complex start, Complex end, double length) {
  return {0.5 * (start + end), 2.0 / (end - start), kNearRadius * length / 2};
}

inline Complex centre_of(const Panel& panel) {
  return {0.5 * (panel.start.xi + panel.end.xi), 0.5 * (panel.start.y + panel.end.y)};
}

// One mapped copy of a source panel with what its corrections need.
struct NearSource {
  const ReferencePanel& reference;
  const std::vector<double>& self;  // self_integrals(reference)
  const MappedPanel& copy;
  std::span<const Complex> nodes;   // the copy's Gauss nodes
  std::span<const double> weights;  // their weights: half the panel length times the rule's
  double half_length;
  double log_half_length;
  double scale;  // -weight/(2 pi) of the singularity
};

// Per unit charge at each source node, the closed-form integral of the copy's
// logarithm at `target` less the Gauss rule's, into corrections[m].
// self_node is the node the target is on when the copy is the panel itself
// (-1 otherwise); false, and nothing written, when the target is not near.
bool near_corrections(const NearSource& source, Complex target, int self_node, double* corrections);

}  // namespace ketrovane::field
