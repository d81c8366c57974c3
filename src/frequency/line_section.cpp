// Line-section and complex helpers of the frequency analysis.  Every step is
// single precision and keeps the order of operations written below: the
// reports print the last digit of these results.
#include <cmath>

#include "frequency/four_port.hpp"

namespace ketrovane {

namespace {

constexpr float kPi = 3.1415927F;
constexpr float kHalfPi = kPi / 2.0F;  // exact: halving a float

}  // namespace

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the interface is fixed
LineMatrix xline(float z, float theta, float sigma) {
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
  return LineMatrix{a, b, c, a};
}

Complex nmult(int ltype, Complex x1, Complex x2) {
  if (ltype == 2) {
    return Complex{x1.re * x2.re + x1.im * x2.im, x2.re * x1.im - x1.re * x2.im};
  }
  return Complex{x1.re * x2.re - x1.im * x2.im, x2.re * x1.im + x1.re * x2.im};
}

TauGamma taugam(const LineMatrix& abcd, float zl, float zs) {
  const LineMatrix& m = abcd;
  // zl and zs are real, so each sum is formed part by part.
  const Complex top{m.a.re + m.b.re / zl - m.c.re * zs - m.d.re * zs / zl,
                    m.a.im + m.b.im / zl - m.c.im * zs - m.d.im * zs / zl};
  const Complex bottom{m.a.re + m.b.re / zl + m.c.re * zs + m.d.re * zs / zl,
                       m.a.im + m.b.im / zl + m.c.im * zs + m.d.im * zs / zl};
  const float temp = 1.0F / (bottom.re * bottom.re + bottom.im * bottom.im);

  // gamma = top/bottom, as top times the conjugate of bottom over |bottom|^2.
  const Complex num = nmult(2, top, bottom);
  const Complex gamma{num.re * temp, num.im * temp};

  // tau = 2*sqrt(zs/zl)/bottom: the power-wave transmission between unequal
  // terminations.
  const float scale = 2.0F * std::sqrt(zs / zl);
  const Complex tau{scale * bottom.re * temp, -(scale * bottom.im * temp)};
  return TauGamma{tau, gamma};
}

float atn2(float x, float y) {
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
