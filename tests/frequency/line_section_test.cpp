#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "frequency/line_section.hpp"

namespace ketrovane {
namespace {

constexpr float kPi = 3.1415927F;
constexpr float kRel = 4e-7F;  // a few units in the last place of a float near 1

void ExpectNear(Complex got, float re, float im, float tol = kRel) {
  EXPECT_NEAR(got.real(), re, tol);
  EXPECT_NEAR(got.imag(), im, tol);
}

TEST(LossyLine, LosslessAndZeroLengthSections) {
  for (const float theta : {0.3F, kPi / 2.0F, 2.5F, -1.0F}) {
    const ChainMatrix m = lossy_line(50.0F, theta, 0.0F);
    ExpectNear(m.a, std::cos(theta), 0.0F);
    ExpectNear(m.d, std::cos(theta), 0.0F);
    ExpectNear(m.b, 0.0F, 50.0F * std::sin(theta), 50.0F * kRel);
    ExpectNear(m.c, 0.0F, std::sin(theta) / 50.0F, kRel / 50.0F);
  }
  for (const float sigma : {0.01F, 0.5F, 2.0F}) {
    const ChainMatrix m = lossy_line(25.0F, 0.0F, sigma);
    const float ch = std::cosh(sigma);
    const float sh = std::sinh(sigma);
    ExpectNear(m.a, ch, 0.0F, ch * kRel);
    ExpectNear(m.d, ch, 0.0F, ch * kRel);
    ExpectNear(m.b, 25.0F * sh, 0.0F, 25.0F * ch * kRel);
    ExpectNear(m.c, sh / 25.0F, 0.0F, ch * kRel);
  }
}

TEST(BetweenTerminations, IdentityBetweenEqualAndUnequalTerminations) {
  const ChainMatrix identity{{1.0F, 0.0F}, {0.0F, 0.0F}, {0.0F, 0.0F}, {1.0F, 0.0F}};
  const TransmissionReflection matched = between_terminations(identity, 50.0F, 50.0F);
  ExpectNear(matched.reflection, 0.0F, 0.0F, 0.0F);
  ExpectNear(matched.transmission, 1.0F, 0.0F, 0.0F);

  const float zl = 75.0F;
  const float zs = 50.0F;
  const TransmissionReflection step = between_terminations(identity, zl, zs);
  ExpectNear(step.reflection, (zl - zs) / (zl + zs), 0.0F);
  ExpectNear(step.transmission, 2.0F * std::sqrt(zs / zl) * zl / (zl + zs), 0.0F);
}

// A matched lossless line transmits with phase -theta; a quarter-wave
// transformer between its geometric-mean terminations reflects nothing.
TEST(BetweenTerminations, MatchedLineAndQuarterWaveTransformer) {
  const TransmissionReflection line =
      between_terminations(lossy_line(50.0F, 0.7F, 0.0F), 50.0F, 50.0F);
  ExpectNear(line.reflection, 0.0F, 0.0F);
  ExpectNear(line.transmission, std::cos(0.7F), -std::sin(0.7F));

  const TransmissionReflection quarter =
      between_terminations(lossy_line(std::sqrt(50.0F * 200.0F), kPi / 2.0F, 0.0F), 200.0F, 50.0F);
  ExpectNear(quarter.reflection, 0.0F, 0.0F, 1e-6F);
  EXPECT_NEAR(std::hypot(quarter.transmission.real(), quarter.transmission.imag()), 1.0F, kRel);
}

TEST(PhaseAngle, QuadrantTable) {
  const float ang = std::atan(0.5F);
  EXPECT_EQ(phase_angle(2.0F, 1.0F), ang);
  EXPECT_EQ(phase_angle(2.0F, -1.0F), -ang);
  EXPECT_EQ(phase_angle(-2.0F, 1.0F), kPi - ang);
  EXPECT_EQ(phase_angle(-2.0F, -1.0F), ang - kPi);
  EXPECT_EQ(phase_angle(0.0F, 3.0F), kPi / 2.0F);
  EXPECT_EQ(phase_angle(0.0F, -1.0F), -kPi / 2.0F);
  EXPECT_EQ(phase_angle(-1.0F, -1.0F), -3.0F * kPi / 4.0F);
  // The axes: a zero y of either sign, and the origin.
  EXPECT_EQ(phase_angle(1.0F, -0.0F), 0.0F);
  EXPECT_EQ(phase_angle(-1.0F, 0.0F), kPi);
  EXPECT_EQ(phase_angle(-1.0F, -0.0F), kPi);
  EXPECT_EQ(phase_angle(0.0F, 0.0F), 0.0F);
  EXPECT_EQ(phase_angle(-0.0F, -0.0F), 0.0F);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(std::isnan(phase_angle(nan, 1.0F)));
  EXPECT_TRUE(std::isnan(phase_angle(-1.0F, nan)));
}

}  // namespace
}  // namespace ketrovane
