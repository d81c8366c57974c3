#include "frequency/scattering_matrix.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <random>

namespace ketrovane {
namespace {

using ComplexD = std::complex<double>;

// 10 dB at 50 ohms, a quarter wave at 1000 MHz in Er 2.2, with and without loss.
constexpr CoupledSection kLossy{69.3713F, 36.0380F, 2.2F, 2.2F, 1.98937F, 0.05F, 0.04F};
constexpr CoupledSection kLossless{69.3713F, 36.0380F, 2.2F, 2.2F, 1.98937F, 0.0F, 0.0F};
constexpr std::array kFrequencies = {1.0F, 350.0F, 1000.0F, 1234.5F, 2600.0F};

ComplexD widened(Complex z) {
  return {z.real(), z.imag()};
}

// (S^H S)(i, j), ports from 1.
ComplexD gram(const ScatteringMatrix& m, int i, int j) {
  ComplexD sum = 0;
  for (int k = 1; k <= kScatteringPorts; ++k) sum += std::conj(widened(m(k, i))) * widened(m(k, j));
  return sum;
}

TEST(ScatteringMatrix, FirstColumnIsThePortWavesBetweenEqualTerminations) {
  for (const float r : {50.0F, 35.0F, 75.0F}) {
    for (const float f : kFrequencies) {
      const ScatteringMatrix m = scattering_matrix(kLossy, f, r);
      const PortValues<Complex> w = port_waves(kLossy, f, {.source = r, .load = r});
      EXPECT_EQ(m(1, 1), w[Port::reflected]);
      EXPECT_EQ(m(2, 1), w[Port::through]);
      EXPECT_EQ(m(3, 1), w[Port::isolated]);
      EXPECT_EQ(m(4, 1), w[Port::coupled]);
    }
  }
}

// The response's amplitudes are those of the port waves, so the first
// column of the matrix and the response rows agree to the last bit.
TEST(ScatteringMatrix, ResponseAmplitudesComeFromThePortWaves) {
  const float f = 1234.5F;
  const FourPortResponse r = four_port_response(kLossy, f, {.source = 50.0F, .load = 50.0F});
  const ScatteringMatrix m = scattering_matrix(kLossy, f, 50.0F);
  const std::array<std::pair<Port, int>, 4> rows = {
      {{Port::reflected, 1}, {Port::through, 2}, {Port::isolated, 3}, {Port::coupled, 4}}};
  for (const auto& [port, row] : rows) {
    const Complex s = m(row, 1);
    const float magnitude = std::sqrt(s.real() * s.real() + s.imag() * s.imag());
    EXPECT_EQ(r.amplitude_db[port], 20.0F * std::log10(magnitude)) << "S" << row << "1";
  }
}

TEST(ScatteringMatrix, IsReciprocal) {
  for (const float f : kFrequencies) {
    const ScatteringMatrix m = scattering_matrix(kLossy, f, 50.0F);
    for (int i = 1; i <= 4; ++i) {
      for (int j = 1; j <= 4; ++j) EXPECT_EQ(m(i, j), m(j, i)) << "S" << i << j << " at " << f;
    }
  }
}

// Both mirror symmetries: strip 1 <-> strip 2 swaps ports 1<->4 and 2<->3,
// end <-> end swaps 1<->2 and 3<->4.
TEST(ScatteringMatrix, HasTheSymmetriesOfTheSection) {
  constexpr std::array<int, 5> kStripMirror = {0, 4, 3, 2, 1};
  constexpr std::array<int, 5> kEndMirror = {0, 2, 1, 4, 3};
  const ScatteringMatrix m = scattering_matrix(kLossy, 1234.5F, 50.0F);
  for (int i = 1; i <= 4; ++i) {
    for (int j = 1; j <= 4; ++j) {
      EXPECT_EQ(m(i, j), m(kStripMirror.at(i), kStripMirror.at(j))) << "S" << i << j;
      EXPECT_EQ(m(i, j), m(kEndMirror.at(i), kEndMirror.at(j))) << "S" << i << j;
    }
  }
}

// Lossless: S^H S = I (power conservation and orthogonal columns) to
// single-precision rounding.
TEST(ScatteringMatrix, LosslessSectionIsUnitary) {
  for (const float f : kFrequencies) {
    for (const float r : {50.0F, 30.0F}) {
      const ScatteringMatrix m = scattering_matrix(kLossless, f, r);
      for (int i = 1; i <= 4; ++i) {
        for (int j = 1; j <= 4; ++j) {
          const ComplexD expected = i == j ? 1.0 : 0.0;
          EXPECT_NEAR(std::abs(gram(m, i, j) - expected), 0.0, 1e-5)
              << "(S^H S)" << i << j << " at " << f << " MHz, " << r << " ohms";
        }
      }
    }
  }
}

// Lossy: no combination of incident waves comes back with more power.
TEST(ScatteringMatrix, LossySectionIsPassive) {
  std::mt19937 gen(7);
  std::normal_distribution<double> normal;
  for (const float f : kFrequencies) {
    const ScatteringMatrix m = scattering_matrix(kLossy, f, 50.0F);
    for (int trial = 0; trial < 200; ++trial) {
      std::array<ComplexD, 4> a{};
      double incident = 0;
      for (ComplexD& x : a) {
        x = {normal(gen), normal(gen)};
        incident += std::norm(x);
      }
      double reflected = 0;
      for (int i = 1; i <= 4; ++i) {
        ComplexD b = 0;
        for (int j = 1; j <= 4; ++j) b += widened(m(i, j)) * a.at(j - 1);
        reflected += std::norm(b);
      }
      EXPECT_LT(reflected, incident) << "at " << f << " MHz";
    }
  }
}

}  // namespace
}  // namespace ketrovane
