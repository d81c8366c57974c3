// Green's function of a line charge between two grounded parallel planes.
//
// Lengths are in units of the plane spacing b, and potentials in units of
// 1/epsilon, so capacitances come out as C/epsilon.  Coordinates: xi along the
// strip face, measured from the inner (gap-side) edge of the right-hand strip,
// which lies at x = s/2; y from the centre plane, the planes at y = +-1/2.
//
// A unit line charge at (x0, y0) between planes at y = 0 and y = b gives
//
//   G = 1/(4 pi) ln[(cosh(pi(x-x0)/b) - cos(pi(y+y0)/b))
//                   / (cosh(pi(x-x0)/b) - cos(pi(y-y0)/b))]
//
// (the image series summed in closed form; see e.g. W. R. Smythe, "Static and
// Dynamic Electricity", the line charge between grounded planes).  The strips
// are symmetric about the centre plane, so every source carries its mirror
// charge at (x0, -y0); with the centre-plane coordinates the pair becomes
//
//   G + G' = 1/(4 pi) log1p[8 q (1 + q^2) cos(pi y) cos(pi y0)
//                           / ((d^2 + 4 q sm^2)(d^2 + 4 q sp^2))]
//
// with q = exp(-pi|x - x0|), d = 1 - q, sm = sin(pi(y - y0)/2) and
// sp = sin(pi(y + y0)/2).  This form neither overflows far away (it decays as
// 8 q, which underflows harmlessly) nor cancels near the source (d comes from
// expm1 there, the sines from the half angles).  q itself is a product of
// exponentials kept per point, exp(pi xi) and exp(-pi xi), which is why the
// strips' width must stay below a few hundred b (the solver caps it).  A zero-thickness strip is a
// single sheet on the centre plane: 1/(4 pi) log1p(4 q / d^2).
#pragma once

#include <vector>

namespace ketrovane::field {

// What the kernel needs of a point, computed once per node.
struct FieldPoint {
  double xi;        // distance from the inner edge of the right-hand strip
  double y;         // height above the centre plane
  double half_sin;  // sin(pi y / 2)
  double half_cos;  // cos(pi y / 2)
  double full_cos;  // cos(pi y)
  double growth;    // exp(pi xi)
  double decay;     // exp(-pi xi)
};

FieldPoint field_point(double xi, double y);

// A logarithmic singularity of the kernel: the source mapped by a mirror,
// weighted so that the kernel behaves as -weight/(2 pi) ln r near it.
struct LogSingularity {
  bool mirror_x;   // image across the symmetry plane x = 0 (the twin strip)
  bool mirror_y;   // y -> -y before the shift
  double shift_y;  // then y -> y + shift_y (a reflection in a ground plane)
  double weight;   // +1 for a charge, -1 for its image in a ground plane
};

class GreenFunction {
 public:
  // s is the edge gap; zero_thickness selects the single-sheet kernel.
  GreenFunction(double s, bool zero_thickness);

  // Potential at `field` of a unit source at `source` and its centre-plane
  // mirror, both on the right-hand strip (direct, infinite when the points
  // coincide), and of the same charges carried to the twin strip (twin).
  struct Potentials {
    double direct;
    double twin;
  };
  [[nodiscard]] Potentials potentials(const FieldPoint& field, const FieldPoint& source) const;
  [[nodiscard]] double twin(const FieldPoint& field, const FieldPoint& source) const;
  // direct(p, p') + ln|p - p'|/(2 pi) as p' tends to p.
  [[nodiscard]] double direct_regular_part(const FieldPoint& p) const;

  // The singularities that can come close to the strip: the source, its
  // centre-plane mirror and their reflections in the two planes; those of the
  // twin strip carry mirror_x.
  [[nodiscard]] const std::vector<LogSingularity>& singularities() const { return singularities_; }

  [[nodiscard]] double gap() const { return s_; }
  [[nodiscard]] bool zero_thickness() const { return zero_thickness_; }

 private:
  [[nodiscard]] double twin_decay(const FieldPoint& field, const FieldPoint& source) const {
    return field.decay * source.decay * gap_decay_;
  }

  double s_;
  double gap_decay_;  // exp(-pi s)
  bool zero_thickness_;
  std::vector<LogSingularity> singularities_;
};

}  // namespace ketrovane::field
