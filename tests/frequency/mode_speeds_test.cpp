// The two modes of a section in a stack of dielectrics travel at their own
// speeds: the response against an even/odd calculation of the test's own, in
// double precision from the textbook chain matrix of a lossless line, and
// the cascade against one section.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <numbers>

#include "frequency/cascade.hpp"
#include "frequency/four_port.hpp"

namespace ketrovane {
namespace {

using ComplexD = std::complex<double>;

constexpr double kSpeedOfLightInchMHz = 11802.8545;

struct ModeWaves {
  ComplexD reflection;
  ComplexD transmission;
};

// A lossless line of impedance z and electrical length theta between
// resistances r at both ends.
ModeWaves line_between(double z, double theta, double r) {
  const ComplexD j{0.0, 1.0};
  const ComplexD a = std::cos(theta);
  const ComplexD b = j * z * std::sin(theta);
  const ComplexD c = j * std::sin(theta) / z;
  const ComplexD bottom = a + b / r + c * r + a;
  return {(b / r - c * r) / bottom, 2.0 / bottom};
}

struct Case {
  double eeff_even;
  double eeff_odd;
  double coupling_db;
  double r;         // both terminations, ohms
  double f_over_0;  // frequency over the centre frequency
};

// Matched to 50 ohms (Zoe Zoo = 2500), a quarter wave at 1000 MHz at the
// mean of the two modes' phase velocities.
struct Reference {
  CoupledSection section;
  PortValues<ComplexD> waves;
  float f_mhz;
};

Reference reference(const Case& c) {
  const double k = std::pow(10.0, c.coupling_db / 20.0);
  const double zoe = 50.0 * std::sqrt((1.0 + k) / (1.0 - k));
  const double zoo = 2500.0 / zoe;
  const double f0 = 1000.0;
  const double length =
      kSpeedOfLightInchMHz / (4.0 * f0) * 2.0 / (std::sqrt(c.eeff_even) + std::sqrt(c.eeff_odd));
  const double f = f0 * c.f_over_0;
  const auto theta = [&](double eeff) {
    return 2.0 * std::numbers::pi * f * length * std::sqrt(eeff) / kSpeedOfLightInchMHz;
  };
  const ModeWaves even = line_between(zoe, theta(c.eeff_even), c.r);
  const ModeWaves odd = line_between(zoo, theta(c.eeff_odd), c.r);
  PortValues<ComplexD> waves;
  waves[Port::reflected] = 0.5 * (even.reflection + odd.reflection);
  waves[Port::coupled] = 0.5 * (even.reflection - odd.reflection);
  waves[Port::isolated] = 0.5 * (even.transmission - odd.transmission);
  waves[Port::through] = 0.5 * (even.transmission + odd.transmission);
  const CoupledSection section{static_cast<float>(zoe),
                               static_cast<float>(zoo),
                               static_cast<float>(c.eeff_even),
                               static_cast<float>(c.eeff_odd),
                               static_cast<float>(length),
                               0.0F,
                               0.0F};
  return {section, waves, static_cast<float>(f)};
}

double db(ComplexD wave) {
  return 20.0 * std::log10(std::abs(wave));
}

// Stacks of 3.31/3.27 (strips on a core of 3.66 under a prepreg of 3.0),
// a far wider spread, and the two modes swapped; matched and mismatched.
constexpr std::array kCases = {
    Case{3.31, 3.27, -10.0, 50.0, 1.0}, Case{3.31, 3.27, -3.0, 50.0, 1.0},
    Case{3.31, 3.27, -20.0, 50.0, 0.7}, Case{6.0, 2.2, -10.0, 50.0, 1.0},
    Case{2.2, 6.0, -6.0, 50.0, 1.3},    Case{3.31, 3.27, -10.0, 35.0, 1.0},
    Case{4.1, 3.9, -15.0, 75.0, 1.9},
};

// Fault: both modes given one electrical length (one permittivity for the
// section), or the modes' permittivities swapped: the isolated port, and
// with it the directivity, no longer that of the even/odd calculation.
TEST(TwoModeSpeeds, ResponseIsTheEvenOddCalculation) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.eeff_even << "/" << c.eeff_odd << " " << c.coupling_db
                                    << " dB, " << c.r << " ohm, f/f0 " << c.f_over_0);
    const Reference ref = reference(c);
    const Terminations ends{.source = static_cast<float>(c.r), .load = static_cast<float>(c.r)};
    const FourPortResponse r = four_port_response(ref.section, ref.f_mhz, ends);
    for (const Port p : kPorts) {
      if (db(ref.waves[p]) < -80.0) continue;
      EXPECT_NEAR(r.amplitude_db[p], db(ref.waves[p]), 2e-3) << static_cast<int>(p);
      const double deg = std::arg(ref.waves[p]) * 180.0 / std::numbers::pi;
      EXPECT_NEAR(std::remainder(r.phase_deg[p] - deg, 360.0), 0.0, 2e-2) << static_cast<int>(p);
    }
    const double directivity = db(ref.waves[Port::coupled]) - db(ref.waves[Port::isolated]);
    EXPECT_LT(directivity, 60.0);  // finite, although matched and lossless
    EXPECT_NEAR(r.amplitude_db[Port::coupled] - r.amplitude_db[Port::isolated], directivity, 1e-2);
  }
}

// Fault: the cascade travels both modes at one speed, or at another than
// the single section's: two halves differ from the whole section.
TEST(TwoModeSpeeds, CascadeOfHalvesIsTheWholeSection) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.eeff_even << "/" << c.eeff_odd << " f/f0 " << c.f_over_0);
    const Reference ref = reference(c);
    CoupledSection half = ref.section;
    half.length_inch = ref.section.length_inch * 0.5F;
    const std::array halves = {half, half};
    const Terminations ends{.source = static_cast<float>(c.r), .load = static_cast<float>(c.r)};
    const PortValues<Complex> whole = port_waves(ref.section, ref.f_mhz, ends);
    const PortValues<Complex> chained = cascade_port_waves(halves, ref.f_mhz, ends);
    for (const Port p : kPorts) {
      EXPECT_NEAR(std::abs(chained[p] - whole[p]), 0.0, 2e-5) << static_cast<int>(p);
    }
  }
}

}  // namespace
}  // namespace ketrovane
