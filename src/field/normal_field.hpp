// The vertical derivative of the parallel-plate Green's function of
// plane_green.hpp at the field point, which the conditions on a horizontal
// dielectric interface need (the normal field there), and its near-field
// corrections in closed form.
//
// With sp, cp the sine and cosine of pi(y + y0)/2, sm, cm those of
// pi(y - y0)/2, q = exp(-pi|dx|) and d = 1 - q,
//
//   dG/dy = q [sp cp / (d^2 + 4 q sp^2) - sm cm / (d^2 + 4 q sm^2)],
//
// in units of b and 1/epsilon.  On the source's own height (sm = 0) the
// second term vanishes: a line of charge has no normal field on its own line
// but the jump that the interface condition carries separately.  Near a
// source the derivative behaves as -weight/(2 pi) Re[i / (z - z0)]; the
// integral of a polynomial density times that over a straight panel is
// 2 Re[i (dz/dtau)^-1 sum_k c_k Q_k(Z)] by Neumann's integral (Q_k the
// Legendre functions of the second kind, Z the field point mapped onto the
// panel's reference interval).
#pragma once

#include "field/near_panel.hpp"
#include "field/plane_green.hpp"

namespace ketrovane::field {

// dG/dy at the field point of a source at the source point, and at the
// source point of one at the field point.
struct NormalPair {
  double at_field;
  double at_source;
};

class NormalField {
 public:
  NormalField(double centre, TwinSymmetry symmetry);

  // dG/dy at `field` of a unit source at `source`; the source's own line
  // contributes only its images in the planes.
  [[nodiscard]] static double direct(const PlanePoint& field, const PlanePoint& source);
  // The same for the twin strip's image of the source.
  [[nodiscard]] double twin(const PlanePoint& field, const PlanePoint& source) const;
  // Both ways at once, each the same as the calls above give.
  [[nodiscard]] static NormalPair direct_pair(const PlanePoint& field, const PlanePoint& source);
  [[nodiscard]] NormalPair twin_pair(const PlanePoint& field, const PlanePoint& source) const;

 private:
  double centre_;
  double twin_decay_;
  double twin_growth_;
  TwinSymmetry symmetry_;
};

// Per unit charge at each source node, the closed-form integral of the
// copy's dG/dy at `target` less the Gauss rule's, into corrections[m]; false,
// and nothing written, when the target is not near or lies on the copy's own
// line (where the copy has no normal field).
bool near_normal_corrections(const NearSource& source, Complex target, double* corrections);

}  // namespace ketrovane::field
