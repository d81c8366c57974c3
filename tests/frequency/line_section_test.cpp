#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "frequency/four_port.hpp"

namespace ketrovane {
namespace {

constexpr float kPi = 3.1415927F;
constexpr float kRel = 4e-7F;  // a few units in the last place of a float near 1

void ExpectNear(Complex got, float re, float im, float tol = kRel) {
  EXPECT_NEAR(got.re, re, tol);
  EXPECT_NEAR(got.im, im, tol);
}

TEST(Xline, LosslessAndZeroLengthSections) {
  for (const float theta : {0.3F, kPi / 2.0F, 2.5F, -1.0F}) {
    const LineMatrix m = xline(50.0F, theta, 0.0F);
    ExpectNear(m.a, std::cos(theta), 0.0F);
    ExpectNear(m.d, std::cos(theta), 0.0F);
    ExpectNear(m.b, 0.0F, 50.0F * std::sin(theta), 50.0F * kRel);
    ExpectNear(m.c, 0.0F, std::sin(theta) / 50.0F, kRel / 50.0F);
  }
  for (const float sigma : {0.01F, 0.5F, 2.0F}) {
    const LineMatrix m = xline(25.0F, 0.0F, sigma);
    const float ch = std::cosh(sigma);
    const float sh = std::sinh(sigma);
    ExpectNear(m.a, ch, 0.0F, ch * kRel);
    ExpectNear(m.d, ch, 0.0F, ch * kRel);
    ExpectNear(m.b, 25.0F * sh, 0.0F, 25.0F * ch * kRel);
    ExpectNear(m.c, sh / 25.0F, 0.0F, ch * kRel);
  }
}

TEST(Nmult, PlainAndConjugateProducts) {
  ExpectNear(nmult(2, {1.0F, 2.0F}, {3.0F, 4.0F}), 11.0F, 2.0F, 0.0F);
  for (const int ltype : {0, 1, 3, -2}) {
    ExpectNear(nmult(ltype, {1.0F, 2.0F}, {3.0F, 4.0F}), -5.0F, 10.0F, 0.0F);
  }
}

TEST(Taugam, IdentityBetweenEqualAndUnequalTerminations) {
  const LineMatrix identity{{1.0F, 0.0F}, {0.0F, 0.0F}, {0.0F, 0.0F}, {1.0F, 0.0F}};
  const TauGamma matched = taugam(identity, 50.0F, 50.0F);
  ExpectNear(matched.gamma, 0.0F, 0.0F, 0.0F);
  ExpectNear(matched.tau, 1.0F, 0.0F, 0.0F);

  const float zl = 75.0F;
  const float zs = 50.0F;
  const TauGamma step = taugam(identity, zl, zs);
  ExpectNear(step.gamma, (zl - zs) / (zl + zs), 0.0F);
  ExpectNear(step.tau, 2.0F * std::sqrt(zs / zl) * zl / (zl + zs), 0.0F);
}

// A matched lossless line transmits with phase -theta; a quarter-wave
// transformer between its geometric-mean terminations reflects nothing.
TEST(Taugam, MatchedLineAndQuarterWaveTransformer) {
  const TauGamma line = taugam(xline(50.0F, 0.7F, 0.0F), 50.0F, 50.0F);
  ExpectNear(line.gamma, 0.0F, 0.0F);
  ExpectNear(line.tau, std::cos(0.7F), -std::sin(0.7F));

  const TauGamma quarter =
      taugam(xline(std::sqrt(50.0F * 200.0F), kPi / 2.0F, 0.0F), 200.0F, 50.0F);
  ExpectNear(quarter.gamma, 0.0F, 0.0F, 1e-6F);
  EXPECT_NEAR(std::hypot(quarter.tau.re, quarter.tau.im), 1.0F, kRel);
}

TEST(Atn2, QuadrantTable) {
  const float ang = std::atan(0.5F);
  EXPECT_EQ(atn2(2.0F, 1.0F), ang);
  EXPECT_EQ(atn2(2.0F, -1.0F), -ang);
  EXPECT_EQ(atn2(-2.0F, 1.0F), kPi - ang);
  EXPECT_EQ(atn2(-2.0F, -1.0F), ang - kPi);
  EXPECT_EQ(atn2(0.0F, 3.0F), kPi / 2.0F);
  EXPECT_EQ(atn2(0.0F, -1.0F), -kPi / 2.0F);
  EXPECT_EQ(atn2(-1.0F, -1.0F), -3.0F * kPi / 4.0F);
  // The axes: a zero y of either sign, and the origin.
  EXPECT_EQ(atn2(1.0F, -0.0F), 0.0F);
  EXPECT_EQ(atn2(-1.0F, 0.0F), kPi);
  EXPECT_EQ(atn2(-1.0F, -0.0F), kPi);
  EXPECT_EQ(atn2(0.0F, 0.0F), 0.0F);
  EXPECT_EQ(atn2(-0.0F, -0.0F), 0.0F);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(std::isnan(atn2(nan, 1.0F)));
  EXPECT_TRUE(std::isnan(atn2(-1.0F, nan)));
}

}  // namespace
}  // namespace ketrovane
