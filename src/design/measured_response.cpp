#include "design/measured_response.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace ketrovane {

namespace {

ScatteringMatrix between(const ScatteringMatrix& a, const ScatteringMatrix& b, float t) {
  ScatteringMatrix m;
  for (std::size_t i = 0; i < m.s.size(); ++i) {
    for (std::size_t j = 0; j < m.s[i].size(); ++j) {
      m.s[i][j] = a.s[i][j] + t * (b.s[i][j] - a.s[i][j]);
    }
  }
  return m;
}

float coupling_db(const ResponseAt& response, float f_mhz) {
  return response(f_mhz).amplitude_db[Port::coupled];
}

}  // namespace

ScatteringMatrix measured_matrix(const MeasuredSweep& sweep, float f_mhz) {
  const std::vector<float>& f = sweep.f_mhz;
  if (f.empty()) return {};
  if (!(f_mhz > f.front())) return sweep.s.front();
  if (!(f_mhz < f.back())) return sweep.s.back();
  const auto above =
      static_cast<std::size_t>(std::upper_bound(f.begin(), f.end(), f_mhz) - f.begin());
  const std::size_t below = above - 1;
  const float t = (f_mhz - f[below]) / (f[above] - f[below]);
  return between(sweep.s[below], sweep.s[above], t);
}

FourPortResponse response_of_matrix(const ScatteringMatrix& m) {
  PortValues<Complex> waves;
  waves[Port::reflected] = m(1, 1);
  waves[Port::through] = m(2, 1);
  waves[Port::isolated] = m(3, 1);
  waves[Port::coupled] = m(4, 1);
  return response_from_waves(waves);
}

ResponseAt measured_response(MeasuredSweep sweep) {
  auto kept = std::make_shared<const MeasuredSweep>(std::move(sweep));
  return [kept](float f_mhz) { return response_of_matrix(measured_matrix(*kept, f_mhz)); };
}

std::optional<CouplingPeak> coupling_peak(const ResponseAt& response,
                                          std::span<const float> f_mhz) {
  if (f_mhz.empty()) return std::nullopt;
  std::vector<float> c(f_mhz.size());
  std::transform(f_mhz.begin(), f_mhz.end(), c.begin(),
                 [&](float f) { return coupling_db(response, f); });
  const auto top = static_cast<std::size_t>(std::max_element(c.begin(), c.end()) - c.begin());
  if (top == 0 || top + 1 == c.size()) return CouplingPeak{f_mhz[top], c[top]};
  // The parabola through (x - x1, y) at the three samples, in double.
  const double x0 = f_mhz[top - 1] - f_mhz[top];
  const double x2 = f_mhz[top + 1] - f_mhz[top];
  const double d0 = (c[top - 1] - c[top]) / x0;  // slopes from the middle sample
  const double d2 = (c[top + 1] - c[top]) / x2;
  const double curvature = (d2 - d0) / (x2 - x0);
  if (!(curvature < 0.0)) return CouplingPeak{f_mhz[top], c[top]};
  const double slope = d0 - curvature * x0;  // at the middle sample
  const double offset = -slope / (2.0 * curvature);
  const double peak = c[top] + slope * offset + curvature * offset * offset;
  return CouplingPeak{static_cast<float>(f_mhz[top] + offset), static_cast<float>(peak)};
}

MatrixChecks matrix_checks(const MeasuredSweep& sweep) {
  MatrixChecks checks{0.0, 0.0};
  for (const ScatteringMatrix& m : sweep.s) {
    for (int j = 1; j <= kScatteringPorts; ++j) {
      double power = 0.0;
      for (int i = 1; i <= kScatteringPorts; ++i) {
        power += std::norm(std::complex<double>(m(i, j)));
        checks.reciprocity =
            std::max(checks.reciprocity, static_cast<double>(std::abs(m(i, j) - m(j, i))));
      }
      checks.column_power = std::max(checks.column_power, power);
    }
  }
  return checks;
}

std::vector<float> frequencies_within(std::span<const float> f_mhz, const MeasuredSweep& sweep) {
  std::vector<float> within;
  if (sweep.f_mhz.empty()) return within;
  for (const float f : f_mhz) {
    if (f >= sweep.f_mhz.front() && f <= sweep.f_mhz.back()) within.push_back(f);
  }
  return within;
}

}  // namespace ketrovane
