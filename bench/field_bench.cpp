// Cost of the field solver at its default tolerance, both modes of one
// cross-section per call.  The grid benchmarks time every cross-section of a
// grid on its own -- the accuracy map's (t/b 0-0.2 in seven steps, 18 w/b
// from 0.1 to 3, 18 s/b from 0.01 to 2), and the usual range of strips off
// the centre plane and of strips one above the other -- keep each one's
// fastest of the iterations, and report the median and the worst of those
// times with the error estimates the solutions carried.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <vector>

#include "field/field_loss.hpp"
#include "field/field_solver.hpp"

namespace ketrovane::field {
namespace {

std::vector<double> log_spaced(double first, double last, int count) {
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    values.push_back(first * std::pow(last / first, static_cast<double>(i) / (count - 1)));
  return values;
}

std::vector<Geometry> map_grid() {
  std::vector<Geometry> grid;
  for (const double t : {0.0, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2})
    for (const double w : log_spaced(0.1, 3.0, 18))
      for (const double s : log_spaced(0.01, 2.0, 18))
        grid.push_back({0.25, t * 0.25, w * 0.25, s * 0.25, 2.2});
  return grid;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Runs the call once per benchmark iteration.
template <typename Call>
void every_iteration(benchmark::State& state, Call call) {
  for (auto _ : state) call();
}

// Strips off the centre plane and strips one above the other over the usual
// range: b = 1, t 0.01 and 0.02, w 0.3 to 1, s or sv 0.05 to 0.2, h 0.3 and
// 0.4, wo 0 (full overlap), 0.2 and 0.5.
std::vector<Geometry> side_by_side_grid() {
  std::vector<Geometry> grid;
  for (const double t : {0.01, 0.02})
    for (const double w : log_spaced(0.3, 1.0, 4))
      for (const double s : log_spaced(0.05, 0.2, 4))
        for (const double h : {0.3, 0.4})
          grid.push_back({1.0, t, w, s, 2.2, Arrangement::edge_offset, h});
  return grid;
}

std::vector<Geometry> stacked_grid() {
  std::vector<Geometry> grid;
  for (const double t : {0.01, 0.02})
    for (const double w : log_spaced(0.3, 1.0, 4))
      for (const double sv : log_spaced(0.05, 0.2, 4))
        for (const double wo : {0.0, 0.2, 0.5})
          grid.push_back({1.0, t, w, 0.0, 2.2, Arrangement::broadside, 0.0, sv, wo});
  return grid;
}

// Strips in stacks of dielectrics, b = 1, t 0 and 0.02, w 0.3 to 1 and s or
// wo over the usual range: side by side on a core of 3.66 under a prepreg of
// 3.0 (two layers), the same inside five layers, and one above the other on
// both faces of a core of 3.66 between prepregs of 3.52 and outer layers of
// 3.0 (five layers, mirror-symmetric).
Stack stack_of(std::initializer_list<DielectricLayer> layers) {
  Stack stack;
  for (const DielectricLayer& layer : layers)
    stack.layers[static_cast<std::size_t>(stack.count++)] = layer;
  return stack;
}

std::vector<Geometry> stack_grid(const Stack& stack, double core_top) {
  std::vector<Geometry> grid;
  for (const double t : {0.0, 0.02})
    for (const double w : log_spaced(0.3, 1.0, 4))
      for (const double s : log_spaced(0.05, 0.2, 4)) {
        Geometry g{1.0, t, w, s, 1.0, Arrangement::edge_offset, core_top + t / 2};
        g.stack = stack;
        grid.push_back(g);
      }
  return grid;
}

std::vector<Geometry> two_layer_grid() {
  return stack_grid(stack_of({{0.45, 3.66, 0.0037}, {0.55, 3.0, 0.002}}), 0.45);
}

std::vector<Geometry> five_layer_grid() {
  return stack_grid(stack_of({{0.2, 3.0, 0.002},
                              {0.25, 3.66, 0.0037},
                              {0.15, 3.3, 0.002},
                              {0.2, 3.52, 0.003},
                              {0.2, 4.2, 0.02}}),
                    0.45);
}

std::vector<Geometry> five_layer_broadside_grid() {
  const Stack stack = stack_of({{0.3, 3.0, 0.002},
                                {0.1, 3.52, 0.003},
                                {0.2, 3.66, 0.0037},
                                {0.1, 3.52, 0.003},
                                {0.3, 3.0, 0.002}});
  std::vector<Geometry> grid;
  for (const double t : {0.0, 0.02})
    for (const double w : log_spaced(0.3, 1.0, 4))
      for (const double wo : {0.0, 0.2, 0.5, 1.0}) {
        Geometry g{1.0, t, w, 0.0, 1.0, Arrangement::broadside, 0.0, 0.2, wo};
        g.stack = stack;
        grid.push_back(g);
      }
  return grid;
}

void time_grid(benchmark::State& state, const std::vector<Geometry>& grid) {
  std::vector<double> fastest(grid.size(), INFINITY);
  std::vector<double> estimates(grid.size(), 0.0);
  every_iteration(state, [&] {
    for (std::size_t i = 0; i < grid.size(); ++i) {
      const auto start = std::chrono::steady_clock::now();
      const FieldResult r = solve(grid[i]);
      const std::chrono::duration<double, std::milli> took =
          std::chrono::steady_clock::now() - start;
      benchmark::DoNotOptimize(r);
      fastest[i] = std::min(fastest[i], took.count());
      estimates[i] = r.ok() ? r.error_estimate : INFINITY;
    }
  });
  state.counters["sections"] = static_cast<double>(grid.size());
  state.counters["median_ms"] = median(fastest);
  state.counters["worst_ms"] = *std::max_element(fastest.begin(), fastest.end());
  state.counters["median_estimate"] = median(estimates);
  state.counters["worst_estimate"] = *std::max_element(estimates.begin(), estimates.end());
}

void BM_SolveMapGrid(benchmark::State& state) {
  time_grid(state, map_grid());
}

// The map's grid on the general path (strips side by side at mid-height, the
// whole surface of one strip), against which the centred path's quarter
// surface is timed above, with the largest relative difference between the
// two paths' impedances.
void BM_SolveMapGridOnTheGeneralPath(benchmark::State& state) {
  const std::vector<Geometry> centred = map_grid();
  std::vector<Geometry> general = centred;
  double worst_difference = 0.0;
  for (std::size_t i = 0; i < general.size(); ++i) {
    general[i].arrangement = Arrangement::edge_offset;
    general[i].h = general[i].b / 2;
    const FieldResult a = solve(centred[i]);
    const FieldResult b = solve(general[i]);
    if (!a.ok() || !b.ok()) continue;
    worst_difference = std::max(
        {worst_difference, std::abs(b.solution->even.impedance / a.solution->even.impedance - 1.0),
         std::abs(b.solution->odd.impedance / a.solution->odd.impedance - 1.0)});
  }
  time_grid(state, general);
  state.counters["worst_relative_difference"] = worst_difference;
}

void BM_SolveSideBySideOffCentre(benchmark::State& state) {
  time_grid(state, side_by_side_grid());
}

void BM_SolveOneAboveTheOther(benchmark::State& state) {
  time_grid(state, stacked_grid());
}

void BM_SolveTwoLayers(benchmark::State& state) {
  time_grid(state, two_layer_grid());
}

void BM_SolveFiveLayers(benchmark::State& state) {
  time_grid(state, five_layer_grid());
}

void BM_SolveFiveLayersOneAboveTheOther(benchmark::State& state) {
  time_grid(state, five_layer_broadside_grid());
}

// A 10 dB coupler of thin copper, b = 0.25".
constexpr Geometry kCoupler{0.25, 0.002, 0.168, 0.012, 2.2};

void BM_SolveCoupler(benchmark::State& state) {
  every_iteration(state, [] { benchmark::DoNotOptimize(solve(kCoupler)); });
}

void BM_LossCoupler(benchmark::State& state) {
  const LossInputs copper{1000.0, 1.7 * 3.937008e-07, 5e-6, 0.0009};
  every_iteration(state, [&] { benchmark::DoNotOptimize(field_loss(kCoupler, copper)); });
}

BENCHMARK(BM_SolveMapGrid)->Iterations(3)->Unit(benchmark::kSecond);
BENCHMARK(BM_SolveMapGridOnTheGeneralPath)->Iterations(3)->Unit(benchmark::kSecond);
BENCHMARK(BM_SolveSideBySideOffCentre)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SolveOneAboveTheOther)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SolveTwoLayers)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SolveFiveLayers)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SolveFiveLayersOneAboveTheOther)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SolveCoupler)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LossCoupler)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ketrovane::field
