// Line-section helpers of the frequency analysis.  Each complex result is
// formed part by part in the order written: std::complex's own operators
// would round differently.
#include "frequency/line_section.hpp"

#include <cmath>

#include "common/constants.hpp"

namespace ketrovane {

namespace {

constexpr float kHalfPi = kPi / 2.0F;  // exact: halving a float

// p times the conjugate of q.
Complex times_conjugate(Complex p, Complex q) {
  return {p.real() * q.real() + p.imag() * q.imag(), q.real() * p.imag() - p.real() * q.imag()};
}

}  // namespace

ChainMatrix lossy_line(float z, float theta, float sigma) {
  const float sint = std::sin(theta);
  const float cost = std::cos(theta);
  // cosh and sinh of the attenuation from one pair of exponentials.
  const float ep = std::exp(sigma);
  const float em = std::exp(-sigma);
  const float sinhs = (ep - em) * 0.5F;
  const float coshs = (ep + em) * 0.5F;
  const float invz = 1.0F / z;

  // cosh(sigma + j*theta), z*sinh(sigma + j*theta), sinh(sigma + j*theta)/z
  const Complex a{coshs * cost, sinhs * sint};
  const Complex b{z * sinhs * cost, z * coshs * sint};
  const Complex c{sinhs * cost * invz, coshs * sint * invz};
  return ChainMatrix{a, b, c, a};
}

TransmissionReflection between_terminations(const ChainMatrix& m, float load, float source) {
  const float zl = load;
  const float zs = source;
  // zl and zs are real, so each sum is formed part by part.
  const Complex top{m.a.real() + m.b.real() / zl - m.c.real() * zs - m.d.real() * zs / zl,
                    m.a.imag() + m.b.imag() / zl - m.c.imag() * zs - m.d.imag() * zs / zl};
  const Complex bottom{m.a.real() + m.b.real() / zl + m.c.real() * zs + m.d.real() * zs / zl,
                       m.a.imag() + m.b.imag() / zl + m.c.imag() * zs + m.d.imag() * zs / zl};
  const float temp = 1.0F / (bottom.real() * bottom.real() + bottom.imag() * bottom.imag());

  // reflection = top/bottom, as top times the conjugate of bottom over |bottom|^2.
  const Complex num = times_conjugate(top, bottom);
  const Complex reflection{num.real() * temp, num.imag() * temp};

  // transmission = 2 sqrt(zs/zl)/bottom: the power-wave transmission between
  // unequal terminations.
  const float scale = 2.0F * std::sqrt(zs / zl);
  const Complex transmission{scale * bottom.real() * temp, -(scale * bottom.imag() * temp)};
  return {transmission, reflection};
}

float phase_angle(float x, float y) {
  if (std::isnan(x) || std::isnan(y)) return x + y;  // NaN: no quadrant to choose
  if (x == 0.0F) {
    if (y > 0.0F) return kHalfPi;
    if (y < 0.0F) return -kHalfPi;
    return 0.0F;  // the origin
  }
  const float ang = std::atan(std::fabs(y / x));
  // A zero y of either sign lies on the axis: the negative real axis is +pi.
  if (x > 0.0F) {
    if (y > 0.0F) return ang;
    if (y < 0.0F) return -ang;
    return 0.0F;
  }
  if (y > 0.0F) return kPi - ang;
  if (y < 0.0F) return ang - kPi;
  return kPi;
}

}  // namespace ketrovane
