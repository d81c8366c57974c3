// Cost of one synthesis over a sweep of 50-ohm targets: coupling from 3 to
// 20 dB in 1 dB steps and T/B from 0 to 0.2 in steps of 0.05, on B = 0.25"
// and Er = 2.2.  Every target is timed on its own; the counters give the
// median and the slowest target, and the median number of model evaluations.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "model/stripline_model.hpp"
#include "synthesis/width_spacing_synthesis.hpp"

namespace ketrovane {
namespace {

constexpr float kB = 0.25F;

std::vector<SynthesisTarget> sweep() {
  std::vector<SynthesisTarget> targets;
  for (float db = 3.0F; db <= 20.0F; db += 1.0F) {
    const ModesOfCoupler pair = modes_from_coupler(CouplerTarget{50.0F, -db});
    for (const float tb : {0.0F, 0.05F, 0.1F, 0.15F, 0.2F}) {
      targets.push_back(
          {.board = {.b = kB, .t = tb * kB, .er = 2.2F}, .zoe = pair.zoe, .zoo = pair.zoo});
    }
  }
  return targets;
}

// Targets where the alternating search cannot close and the safeguarded
// solve builds the design: Zo 5 to 150 ohms, coupling 0.5 to 40 dB, Er 1 to
// 12, T/B 0 to 0.8 on B = 0.25".
std::vector<SynthesisTarget> safeguarded_targets() {
  std::vector<SynthesisTarget> targets;
  for (const float zo : {5.0F, 15.0F, 30.0F, 50.0F, 75.0F, 100.0F, 150.0F}) {
    for (const float db : {0.5F, 1.0F, 3.0F, 6.0F, 10.0F, 20.0F, 40.0F}) {
      const ModesOfCoupler pair = modes_from_coupler(CouplerTarget{zo, -db});
      for (const float er : {1.0F, 2.2F, 6.0F, 12.0F}) {
        for (const float tb : {0.0F, 0.005F, 0.01F, 0.03F, 0.1F, 0.3F, 0.8F}) {
          const SynthesisTarget x{
              .board = {.b = kB, .t = tb * kB, .er = er}, .zoe = pair.zoe, .zoo = pair.zoo};
          if (synthesise_width_and_spacing(x).outcome == SynthesisOutcome::solved_by_safeguard)
            targets.push_back(x);
        }
      }
    }
  }
  return targets;
}

double median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// Times every target on its own, `repeats` calls each, and reports the
// median and slowest time and the model evaluations per target.
void time_each_target(benchmark::State& state, const std::vector<SynthesisTarget>& targets,
                      int repeats) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> micros(targets.size());
  std::vector<double> evaluations(targets.size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < targets.size(); ++i) {
      const auto start = Clock::now();
      for (int r = 0; r < repeats; ++r) {
        WidthSpacing result = synthesise_width_and_spacing(targets[i]);
        benchmark::DoNotOptimize(result);
        evaluations[i] = result.evaluations;
      }
      const std::chrono::duration<double, std::micro> spent = Clock::now() - start;
      micros[i] = spent.count() / repeats;
    }
  }
  state.counters["median_us"] = median(micros);
  state.counters["slowest_us"] = *std::max_element(micros.begin(), micros.end());
  state.counters["median_evaluations"] = median(evaluations);
  state.counters["most_evaluations"] = *std::max_element(evaluations.begin(), evaluations.end());
  state.counters["targets"] = static_cast<double>(targets.size());
}

void BM_SynthesisSweep(benchmark::State& state) {
  time_each_target(state, sweep(), 20);
}

void BM_SafeguardedTargets(benchmark::State& state) {
  time_each_target(state, safeguarded_targets(), 5);
}

BENCHMARK(BM_SynthesisSweep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SafeguardedTargets)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ketrovane
