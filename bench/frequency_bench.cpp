// Cost of one four-port evaluation, the per-row numerics of a frequency
// sweep.  Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "frequency/four_port.hpp"

namespace {

using ketrovane::CoupledSection;
using ketrovane::four_port_response;

// A lossy 10 dB coupler swept from 100 MHz to 20 GHz, one call per point.
void BM_FourPortSweep(benchmark::State& state) {
  constexpr CoupledSection kSection{69.3713F, 36.0380F, 2.2F, 1.98937F, 0.05F, 0.04F};
  constexpr std::int64_t kPoints = 1000;
  std::int64_t i = 0;
  for (auto _ : state) {
    const float f = 100.0F + 19.9F * static_cast<float>(i);
    benchmark::DoNotOptimize(four_port_response(kSection, f, {.source = 50.0F, .load = 50.0F}));
    i = (i + 1) % kPoints;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FourPortSweep);

}  // namespace
