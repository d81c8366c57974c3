// Cost of the multi-section coupler's design and of its response.  Run with
// --benchmark_repetitions=5 --benchmark_report_aggregates_only=true.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "frequency/cascade.hpp"
#include "synthesis/multisection.hpp"

namespace {

using ketrovane::CoupledSection;

// Nine sections, 10 dB, equal ripple over 10:1 (181.8 to 1818.2 MHz).
void BM_EqualRippleNineSections(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        ketrovane::design_equal_ripple(9, 10.0, 2000.0 / 11.0, 20000.0 / 11.0));
  }
}
BENCHMARK(BM_EqualRippleNineSections)->Unit(benchmark::kMillisecond);

// That design as lossy quarter-wave sections at 50 ohms in Er 2.2, swept at
// 10,000 frequencies across twice the centre frequency.
void BM_CascadeSweep10000(benchmark::State& state) {
  const ketrovane::MultisectionDesign d =
      ketrovane::design_equal_ripple(9, 10.0, 2000.0 / 11.0, 20000.0 / 11.0);
  const float er = 2.2F;
  const auto quarter_wave = static_cast<float>(11802.8545 / (4.0 * d.f0_mhz * std::sqrt(er)));
  std::vector<CoupledSection> sections;
  for (const ketrovane::ModeImpedancePair z :
       ketrovane::matched_mode_impedances(d.section_coupling, 50.0)) {
    sections.push_back(
        {static_cast<float>(z.zoe), static_cast<float>(z.zoo), er, quarter_wave, 0.05F, 0.04F});
  }
  constexpr int kPoints = 10000;
  for (auto _ : state) {
    for (int i = 1; i <= kPoints; ++i) {
      const auto f = static_cast<float>(2.0 * d.f0_mhz * i / kPoints);
      benchmark::DoNotOptimize(ketrovane::cascade_response(sections, f, {50.0F, 50.0F}));
    }
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_CascadeSweep10000)->Unit(benchmark::kMillisecond);

}  // namespace
