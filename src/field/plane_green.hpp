// Green's function of a line charge between two grounded planes, without the
// pairing about the centre plane that green_function.hpp exploits: for
// strips off the centre plane, or one above the other.
//
// Lengths in units of b, potentials in units of 1/epsilon; the planes at
// y = 0 and y = 1.  A unit line charge at (x0, y0) gives
//
//   G = 1/(4 pi) ln[(cosh(pi dx) - cos(pi(y + y0))) / (cosh(pi dx) - cos(pi(y - y0)))],
//
// dx = x - x0.  With q = exp(-pi|dx|), d = 1 - q, sm = sin(pi(y - y0)/2),
// cosh(pi dx) - cos(pi a) = (d^2 + 4 q sin^2(pi a/2))/(2q), and
// sin^2(pi(y + y0)/2) - sm^2 = sin(pi y) sin(pi y0), so
//
//   G = 1/(4 pi) log1p[4 q sin(pi y) sin(pi y0) / (d^2 + 4 q sm^2)],
//
// which decays as 4q far away (underflowing harmlessly), keeps its digits
// next to a plane (the sines of the heights are small but exact) and next to
// the source (d from expm1 there, sm from the half angles).  q is a product
// of exponentials kept per point, exp(+-pi u) with u measured from the
// strip's centre line, so no exponential is taken per pair of points.
//
// The twin strip is the image of the solved one under the symmetry of the
// cross-section: the mirror x -> -x (strips side by side) or the point
// reflection (x, y) -> (-x, 1 - y) (one above the other).  A single strip
// has none: the twin's kernel and its singularities are left out.
#pragma once

#include <vector>

namespace ketrovane::field {

enum class TwinSymmetry {
  mirror,  // (x, y) -> (-x, y)
  point,   // (x, y) -> (-x, 1 - y)
  none,    // a single strip: no twin, its kernel zero
};

// What the kernel needs of a point, computed once per node.
struct PlanePoint {
  double x;         // absolute, the symmetry's axis at x = 0
  double u;         // x less the strip's centre line
  double y;         // height above the lower plane
  double growth;    // exp(pi u)
  double decay;     // exp(-pi u)
  double half_sin;  // sin(pi y / 2)
  double half_cos;  // cos(pi y / 2)
  double full_sin;  // sin(pi y)
};

PlanePoint plane_point(double x, double centre, double y);

// An affine image (x, y) -> (flip_x x, flip_y y + shift_y) of a source that
// carries the kernel's logarithmic singularity, weighted so that the kernel
// behaves as -weight/(2 pi) ln r near it.  twin marks the images of the twin
// strip's charge.
struct PlaneSingularity {
  bool twin;
  double flip_x;
  double flip_y;
  double shift_y;
  double weight;
};

class PlaneGreen {
 public:
  // centre: the solved strip's centre line, x > 0 for the mirror.
  PlaneGreen(double centre, TwinSymmetry symmetry);

  // Potential at `field` of a unit source at `source` (infinite where they
  // coincide).
  [[nodiscard]] static double direct(const PlanePoint& field, const PlanePoint& source);
  // Potential at `field` of the twin strip's image of a unit source at `source`.
  [[nodiscard]] double twin(const PlanePoint& field, const PlanePoint& source) const;
  // direct(p, p') + ln|p - p'|/(2 pi) as p' tends to p: ln(2 sin(pi y)/pi)/(2 pi).
  [[nodiscard]] static double direct_regular_part(const PlanePoint& p);

  // The source, the twin's image of it, and the reflections of both in the
  // two planes: the singularities that can come close to the strip.
  [[nodiscard]] const std::vector<PlaneSingularity>& singularities() const {
    return singularities_;
  }

 private:
  double centre_;
  double twin_decay_;   // exp(-2 pi centre)
  double twin_growth_;  // exp(2 pi centre), 0 where the twin never overlaps
  TwinSymmetry symmetry_;
  std::vector<PlaneSingularity> singularities_;
};

}  // namespace ketrovane::field
