// Cost of the model routines over a grid of cross-sections that covers every
// gap band (s/b from 0.005 to 2) and both thickness regimes (zero-thickness
// blend below t/b = 0.025, thick-strip fits above).  Each iteration evaluates
// the whole grid; the reported time is per call.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "model/stripline_model.hpp"

namespace ketrovane {
namespace {

std::vector<CrossSection> geometry_grid() {
  std::vector<CrossSection> grid;
  for (const float sb : {0.005F, 0.03F, 0.1F, 0.22F, 0.6F, 1.47F, 2.0F}) {
    for (const float tb : {0.0F, 0.01F, 0.05F, 0.2F}) {
      for (const float wb : {0.2F, 0.8F, 2.0F})
        grid.push_back(
            {.board = {.b = 0.25F, .t = tb * 0.25F, .er = 2.2F}, .w = wb * 0.25F, .s = sb * 0.25F});
    }
  }
  return grid;
}

template <typename Call>
void over_grid(benchmark::State& state, Call call) {
  const std::vector<CrossSection> grid = geometry_grid();
  for (auto _ : state) {
    for (const CrossSection& x : grid) {
      auto result = call(x);
      benchmark::DoNotOptimize(result);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(grid.size()));
  state.counters["per_call"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(grid.size()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ModeImpedances(benchmark::State& state) {
  over_grid(state, [](const CrossSection& x) { return mode_impedances(x); });
}
void BM_ModeAttenuation(benchmark::State& state) {
  over_grid(state, [](const CrossSection& x) {
    return mode_attenuation(x, {6.693e-07F, 5e-6F}, 0.0009F, 1000.0F);
  });
}
void BM_ImpedanceSensitivities(benchmark::State& state) {
  over_grid(state, [](const CrossSection& x) { return impedance_sensitivities(x); });
}

BENCHMARK(BM_ModeImpedances);
BENCHMARK(BM_ModeAttenuation);
BENCHMARK(BM_ImpedanceSensitivities);

}  // namespace
}  // namespace ketrovane
