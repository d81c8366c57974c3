#include "field/normal_field.hpp"

#include <array>
#include <cmath>
#include <numbers>

#include "field/log_integrals.hpp"

namespace ketrovane::field {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kCloseSeparation = 0.1 / kPi;
constexpr double kLargestGrowingCentre = 100.0;

double one_minus(double q, double separation) {
  return separation < kCloseSeparation ? -std::expm1(-kPi * separation) : 1.0 - q;
}

struct HalfAngles {
  double sin;
  double cos;
};

// The two terms of the derivative: of the images in the planes, and of the
// source's own row of images.
struct Terms {
  double images;
  double own;
};

Terms terms(double q, double separation, HalfAngles field, HalfAngles source) {
  const double d = one_minus(q, separation);
  const double sp = field.sin * source.cos + field.cos * source.sin;
  const double cp = field.cos * source.cos - field.sin * source.sin;
  const double sm = field.sin * source.cos - field.cos * source.sin;
  const double cm = field.cos * source.cos + field.sin * source.sin;
  return {sp * cp / (d * d + 4.0 * q * sp * sp),
          sm == 0.0 ? 0.0 : sm * cm / (d * d + 4.0 * q * sm * sm)};
}

double derivative(double q, double separation, HalfAngles field, HalfAngles source) {
  const Terms t = terms(q, separation, field, source);
  return q * (t.images - t.own);
}

// Both points' derivatives of one pair: swapping field and source keeps
// every product (sp, cm and the denominators the same, sm changing sign), so
// `own` changes sign, and under the point reflection, whose image swaps the
// source's sine and cosine, cp and with it `images` too.  Each value is the
// same bits as derivative() gives for it.
NormalPair derivative_pair(double q, double separation, HalfAngles field, HalfAngles source,
                           bool image_turns) {
  const Terms t = terms(q, separation, field, source);
  const double back = q * (t.images + t.own);
  return {q * (t.images - t.own), image_turns ? -back : back};
}

// Plain complex arithmetic: the library's operators check every product
// for infinities, which the points used here never produce.
struct Cplx {
  double re;
  double im;
};

// Q_0(z) = (ln(z + 1) - ln(z - 1))/2 as one logarithm of the ratio
// (z + 1)/(z - 1) = ((x^2 + y^2 - 1) - 2iy)/|z - 1|^2, whose argument off
// [-1, 1] is the difference of the two principal arguments: the library's
// complex logarithm sums |z -+ 1|^2 exactly (sorting its terms), which here
// cost more than the rest of the near field.
Cplx legendre_q0(double x, double y) {
  const double above = (x + 1.0) * (x + 1.0) + y * y;
  const double below = (x - 1.0) * (x - 1.0) + y * y;
  return {0.25 * std::log(above / below),
          0.5 * std::atan2(-2.0 * y, (x - 1.0) * (x + 1.0) + y * y)};
}

// Legendre functions of the second kind Q_0 .. Q_{n-1} at z off [-1, 1].
void legendre_q(Complex z, int n, Cplx* q) {
  const double x = z.real();
  const double y = z.imag();
  q[0] = legendre_q0(x, y);
  if (n == 1) return;
  q[1] = {x * q[0].re - y * q[0].im - 1.0, x * q[0].im + y * q[0].re};
  for (int k = 1; k + 1 < n; ++k) {
    const double a = (2.0 * k + 1.0) / (k + 1.0);
    const double b = k / (k + 1.0);
    q[k + 1] = {a * (x * q[k].re - y * q[k].im) - b * q[k - 1].re,
                a * (x * q[k].im + y * q[k].re) - b * q[k - 1].im};
  }
}

}  // namespace

NormalField::NormalField(double centre, TwinSymmetry symmetry)
    : centre_(centre),
      twin_decay_(std::exp(-2.0 * kPi * centre)),
      twin_growth_(centre < kLargestGrowingCentre ? std::exp(2.0 * kPi * centre) : 0.0),
      symmetry_(symmetry) {}

double NormalField::direct(const PlanePoint& field, const PlanePoint& source) {
  const double separation = std::abs(field.u - source.u);
  const double q = field.u < source.u ? field.growth * source.decay : source.growth * field.decay;
  return derivative(q, separation, {field.half_sin, field.half_cos},
                    {source.half_sin, source.half_cos});
}

double NormalField::twin(const PlanePoint& field, const PlanePoint& source) const {
  if (symmetry_ == TwinSymmetry::none) return 0.0;
  const double dx = field.u + source.u + 2.0 * centre_;
  const double q = dx >= 0.0 ? field.decay * source.decay * twin_decay_
                             : field.growth * source.growth * twin_growth_;
  const bool mirror = symmetry_ == TwinSymmetry::mirror;
  const HalfAngles image = mirror ? HalfAngles{source.half_sin, source.half_cos}
                                  : HalfAngles{source.half_cos, source.half_sin};
  return derivative(q, std::abs(dx), {field.half_sin, field.half_cos}, image);
}

NormalPair NormalField::direct_pair(const PlanePoint& field, const PlanePoint& source) {
  const double separation = std::abs(field.u - source.u);
  const double q = field.u < source.u ? field.growth * source.decay : source.growth * field.decay;
  return derivative_pair(q, separation, {field.half_sin, field.half_cos},
                         {source.half_sin, source.half_cos}, false);
}

NormalPair NormalField::twin_pair(const PlanePoint& field, const PlanePoint& source) const {
  if (symmetry_ == TwinSymmetry::none) return {0.0, 0.0};
  const double dx = field.u + source.u + 2.0 * centre_;
  const double q = dx >= 0.0 ? field.decay * source.decay * twin_decay_
                             : field.growth * source.growth * twin_growth_;
  const bool mirror = symmetry_ == TwinSymmetry::mirror;
  const HalfAngles image = mirror ? HalfAngles{source.half_sin, source.half_cos}
                                  : HalfAngles{source.half_cos, source.half_sin};
  return derivative_pair(q, std::abs(dx), {field.half_sin, field.half_cos}, image, !mirror);
}

bool near_normal_corrections(const NearSource& source, Complex target, double* corrections) {
  const Complex z = (target - source.copy.centre) * source.copy.to_reference;
  if (std::norm(z) >= kNearRadius * kNearRadius) return false;
  // A horizontal copy on the target's own line: no normal field.
  if (source.copy.to_reference.imag() == 0.0 && z.imag() == 0.0) return false;
  const int order = source.reference.size();
  std::array<Cplx, kMaxPanelOrder> q{};
  legendre_q(z, order, q.data());
  // Re(i t c) = -(t.re c.im + t.im c.re), t = to_reference.
  const double t_re = source.copy.to_reference.real();
  const double t_im = source.copy.to_reference.imag();
  for (int m = 0; m < order; ++m) {
    const double* row = &source.reference.lagrange_to_legendre[static_cast<std::size_t>(m) * order];
    double c_re = 0.0;
    double c_im = 0.0;
    for (int k = 0; k < order; ++k) {
      c_re += row[k] * q[k].re;
      c_im += row[k] * q[k].im;
    }
    const double exact = -2.0 * source.half_length * (t_re * c_im + t_im * c_re);
    const double weight = source.weights[m];
    // Re(i / d) = d.im / |d|^2.
    const Complex d = target - source.nodes[m];
    const double gauss = weight * d.imag() / std::norm(d);
    corrections[m] = source.scale * (exact - gauss) / weight;
  }
  return true;
}

}  // namespace ketrovane::field
