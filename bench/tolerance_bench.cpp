// Cost of a tolerance run's attribution: the README's 10 dB coupler on the
// model, W and S +-1 mil, Er +-0.05, B +-3 mil and the etch +-0.5 mil
// varied, 1,000,000 samples per iteration computed as the command computes
// them (blocks of rows on two worker threads, collected in order), without
// and with every sample evaluated again with each quantity held nominal.
// The reported time is of the whole run.
#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

#include "commands/option_values.hpp"
#include "commands/requests.hpp"
#include "commands/row_runner.hpp"
#include "commands/tolerance_rows.hpp"

namespace ketrovane::commands {
namespace {

ToleranceRequest request(bool attribution) {
  TextValues values;
  const std::vector<std::pair<Opt, std::string>> texts = {
      {Opt::b, "62mil"},         {Opt::t, "1oz"},
      {Opt::er, "3.66"},         {Opt::w, "24.8mil"},
      {Opt::s, "6.4mil"},        {Opt::vary, "w=1mil,s=1mil,er=0.05,b=3mil"},
      {Opt::etch, "0.5mil"},     {Opt::limit, "coupling=9.5:10.5,zo=48:52"},
      {Opt::samples, "1000000"}, {Opt::attribution, attribution ? "on" : "off"}};
  for (const auto& [id, text] : texts) values.set(id, text);
  return read_tolerance(values);
}

void BM_ToleranceRun(benchmark::State& state) {
  const ToleranceRequest q = request(state.range(0) != 0);
  RunOptions options;
  options.threads = 2;
  for (auto _ : state) {
    const std::unique_ptr<RowSource> rows = tolerance_sample_rows(q);
    ToleranceCollector collector(q);
    run_rows(
        *rows, [&](const RowBlock& b) { collector.take(b); }, options);
    const ToleranceOutcome r = collector.finish();
    benchmark::DoNotOptimize(r.yield.passed);
  }
}
BENCHMARK(BM_ToleranceRun)
    ->ArgName("attribution")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
}  // namespace ketrovane::commands
