// Text layer: one report row and one reply.
#include <benchmark/benchmark.h>

#include "text/layout.hpp"
#include "text/reply_reader.hpp"

namespace {

using ketrovane::text::Layout;

// The widest row of the program: nine F fields of the frequency report.
void BM_RenderRowOfNineRealFields(benchmark::State& state) {
  const Layout row("(4X,F10.3,1X,F6.3,1X,F8.3,1X,F6.1,1X,F7.3,2(1X,F7.2), 1X,F8.4,1X,F7.4)");
  std::string out;
  out.reserve(256);
  float f = 1000.0F;
  for (auto _ : state) {
    out.clear();
    row.render(out, {f, 1.0007F, -10.085F, -59.8F, -0.543F, 90.192F, 0.192F, -0.0849F, -0.0857F});
    benchmark::DoNotOptimize(out.data());
    f += 0.5F;
  }
}
BENCHMARK(BM_RenderRowOfNineRealFields);

void BM_ParseLayout(benchmark::State& state) {
  for (auto _ : state) {
    const Layout row("(4X,F10.3,1X,F7.2,1X,F7.2,1X,F7.3,2X,F6.2,2(1X,F7.2), 1X,F7.3,1X,F7.2)");
    benchmark::DoNotOptimize(row.field_count());
  }
}
BENCHMARK(BM_ParseLayout);

void BM_ReadReply(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(ketrovane::text::read_real_field("  1.9894e0    note"));
  }
}
BENCHMARK(BM_ReadReply);

}  // namespace
