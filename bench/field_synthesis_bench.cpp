// Cost of the width and spacing synthesis on the field solution: 50-ohm
// targets from 3 to 30 dB at T/B 0, 0.0056 (1 oz copper on 0.25"), 0.02 and
// 0.1, B = 0.25", Er = 2.2.  Each target is timed on its own; the counters
// give the median and the slowest, and the field solutions they took.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <vector>

#include "field/field_synthesis.hpp"
#include "model/coupling.hpp"
#include "synthesis/width_spacing_synthesis.hpp"

namespace ketrovane {
namespace {

std::vector<SynthesisTarget> targets() {
  std::vector<SynthesisTarget> all;
  for (const float db : {3.0F, 4.77F, 6.0F, 8.0F, 10.0F, 15.0F, 20.0F, 30.0F}) {
    const ModesOfCoupler m = modes_from_coupler({50.0F, -db});
    for (const float tb : {0.0F, 0.0056F, 0.02F, 0.1F}) {
      all.push_back({0.25F, tb * 0.25F, 2.2F, m.zoe, m.zoo});
    }
  }
  return all;
}

// The closed-form synthesis gives the start; timed with the field's steps.
field::SynthesisResult synthesise_on_field(const SynthesisTarget& target) {
  const WidthSpacing start = synthesise_width_and_spacing(target);
  if (!start.converged()) return {};
  const Board& board = target.board;
  return field::synthesise({board.b, board.t, board.er, target.zoe, target.zoo, start.w, start.s});
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Times each target on its own; returns how many were not met.
int time_each(const std::vector<SynthesisTarget>& all, std::vector<double>& ms,
              std::vector<double>& solves) {
  using Clock = std::chrono::steady_clock;
  int unmet = 0;
  for (std::size_t i = 0; i < all.size(); ++i) {
    const auto start = Clock::now();
    const field::SynthesisResult r = synthesise_on_field(all[i]);
    ms[i] = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    solves[i] = r.solves;
    if (!r.converged) ++unmet;
  }
  return unmet;
}

void BM_FieldSynthesis(benchmark::State& state) {
  const std::vector<SynthesisTarget> all = targets();
  std::vector<double> ms(all.size());
  std::vector<double> solves(all.size());
  int unmet = 0;
  while (state.KeepRunning()) unmet = time_each(all, ms, solves);
  state.counters["median_ms"] = median(ms);
  state.counters["slowest_ms"] = *std::max_element(ms.begin(), ms.end());
  state.counters["median_solves"] = median(solves);
  state.counters["targets"] = static_cast<double>(all.size());
  state.counters["not_met"] = unmet;
}

// The other arrangements find their own start: the same targets at
// T/B 0, 0.0056 and 0.02, B = 0.25", Er = 2.2, for strips side by side at
// h = 0.35 B (w, s), one above the other 0.1 B apart sideways (w, sv), and
// one above the other 0.02 B apart vertically (w, wo).
std::vector<field::SynthesisGoal> goals(field::Arrangement arrangement,
                                        field::SynthesisUnknowns unknowns) {
  std::vector<field::SynthesisGoal> all;
  for (const SynthesisTarget& target : targets()) {
    const Board& board = target.board;
    if (board.t > 0.02F * board.b + 1e-6F) continue;
    field::SynthesisGoal goal{board.b, board.t, board.er, target.zoe, target.zoo, 0.0, 0.0};
    goal.arrangement = arrangement;
    goal.unknowns = unknowns;
    goal.h = 0.35 * board.b;
    goal.wo = 0.1 * board.b;
    goal.sv = 0.02 * board.b;
    all.push_back(goal);
  }
  return all;
}

void time_goals(benchmark::State& state, const std::vector<field::SynthesisGoal>& all) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> ms(all.size());
  std::vector<double> solves(all.size());
  int unmet = 0;
  while (state.KeepRunning()) {
    unmet = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
      const auto start = Clock::now();
      const field::SynthesisResult r = field::synthesise(all[i]);
      ms[i] = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      solves[i] = r.solves;
      if (!r.converged) ++unmet;
    }
  }
  state.counters["median_ms"] = median(ms);
  state.counters["slowest_ms"] = *std::max_element(ms.begin(), ms.end());
  state.counters["median_solves"] = median(solves);
  state.counters["targets"] = static_cast<double>(all.size());
  state.counters["not_met"] = unmet;
}

void BM_FieldSynthesisSideBySideOffCentre(benchmark::State& state) {
  time_goals(state,
             goals(field::Arrangement::edge_offset, field::SynthesisUnknowns::width_and_gap));
}

void BM_FieldSynthesisStackedWidthAndGap(benchmark::State& state) {
  time_goals(state, goals(field::Arrangement::broadside,
                          field::SynthesisUnknowns::width_and_vertical_gap));
}

void BM_FieldSynthesisStackedWidthAndOffset(benchmark::State& state) {
  time_goals(state,
             goals(field::Arrangement::broadside, field::SynthesisUnknowns::width_and_offset));
}

// On a stack, b = 0.25": side by side on a 0.1125" core of 3.66 under a
// prepreg of 3.0 (w, s), and one above the other on both faces of a 0.01"
// core of 3.66 between prepregs of 3.52 (w, wo); the targets as above at
// T/B 0 and 0.0056 that the arrangement reaches.
field::Stack stack_of(std::initializer_list<field::DielectricLayer> layers) {
  field::Stack stack;
  for (const field::DielectricLayer& layer : layers)
    stack.layers[static_cast<std::size_t>(stack.count++)] = layer;
  return stack;
}

std::vector<field::SynthesisGoal> stack_goals(field::Arrangement arrangement) {
  const bool side_by_side = arrangement == field::Arrangement::edge_offset;
  std::vector<field::SynthesisGoal> all;
  for (const SynthesisTarget& target : targets()) {
    const Board& board = target.board;
    if (board.t > 0.006F * board.b) continue;
    field::SynthesisGoal goal{board.b, board.t, 1.0, target.zoe, target.zoo, 0.0, 0.0};
    goal.arrangement = arrangement;
    if (side_by_side) {
      goal.stack = stack_of({{0.1125, 3.66, 0.0}, {0.1375, 3.0, 0.0}});
      goal.h = 0.1125 + board.t / 2;
    } else {
      goal.stack = stack_of({{0.12, 3.52, 0.0}, {0.01, 3.66, 0.0}, {0.12, 3.52, 0.0}});
      goal.unknowns = field::SynthesisUnknowns::width_and_offset;
      goal.sv = 0.01;
    }
    all.push_back(goal);
  }
  return all;
}

void BM_FieldSynthesisOnAStackSideBySide(benchmark::State& state) {
  time_goals(state, stack_goals(field::Arrangement::edge_offset));
}

void BM_FieldSynthesisOnAStackOneAboveTheOther(benchmark::State& state) {
  time_goals(state, stack_goals(field::Arrangement::broadside));
}

BENCHMARK(BM_FieldSynthesis)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FieldSynthesisSideBySideOffCentre)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FieldSynthesisStackedWidthAndGap)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FieldSynthesisStackedWidthAndOffset)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FieldSynthesisOnAStackSideBySide)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FieldSynthesisOnAStackOneAboveTheOther)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ketrovane
