// The tolerance command's request and rows: what is refused and how, the
// samples the same for any number of threads and any slicing, and the
// yield at its two ends.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "commands/input_error.hpp"
#include "commands/option_values.hpp"
#include "commands/requests.hpp"
#include "commands/row_runner.hpp"
#include "commands/tolerance_rows.hpp"

namespace ketrovane::commands {
namespace {

using Texts = std::vector<std::pair<Opt, std::string>>;

const Texts kCoupler = {{Opt::b, "62mil"},
                        {Opt::t, "1oz"},
                        {Opt::er, "3.66"},
                        {Opt::w, "24.8mil"},
                        {Opt::s, "6.4mil"},
                        {Opt::samples, "3000"},
                        {Opt::vary, "t=10%,b=3%,er=0.04"},
                        {Opt::etch, "\u00b10.5mil"}};

ToleranceRequest request_of(const Texts& texts) {
  TextValues values;
  for (const auto& [id, text] : texts) values.set(id, text);
  return read_tolerance(values);
}

Texts with(Texts texts, Opt id, std::string text) {
  std::erase_if(texts, [id](const auto& t) { return t.first == id; });
  texts.emplace_back(id, std::move(text));
  return texts;
}

std::string refusal(const Texts& texts) {
  try {
    request_of(texts);
  } catch (const InputError& e) {
    return e.what();
  }
  return "";
}

// Every cell of every sample row, with the given number of worker threads.
std::vector<Cell> sample_cells(const ToleranceRequest& q, unsigned threads) {
  const std::unique_ptr<RowSource> rows = tolerance_sample_rows(q);
  std::vector<Cell> cells;
  RunOptions options;
  options.threads = threads;
  run_rows(
      *rows, [&](const RowBlock& b) { cells.insert(cells.end(), b.cells.begin(), b.cells.end()); },
      options);
  return cells;
}

bool same_cells(const std::vector<Cell>& a, const std::vector<Cell>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].kind != b[i].kind || a[i].text != b[i].text) return false;
    if (a[i].kind == CellKind::number && a[i].number != b[i].number) return false;
  }
  return true;
}

TEST(ToleranceRequests, ReadWhatEngineersWrite) {
  const ToleranceRequest q = request_of(kCoupler);
  ASSERT_EQ(q.design.variations.size(), 4U);
  EXPECT_NEAR(q.design.variations[0].half_width, 0.1 * 0.00137, 1e-9);  // t=10%
  EXPECT_NEAR(q.design.variations[2].half_width, 0.04, 1e-7);           // er=0.04
  EXPECT_NEAR(q.design.variations[3].half_width, 0.0005, 1e-9);         // etch +-0.5 mil
  EXPECT_EQ(q.samples, 3000U);
  EXPECT_EQ(q.count, 3000U);
  EXPECT_EQ(q.design.seed, 1U);
  const ToleranceRequest big =
      request_of(with(with(kCoupler, Opt::samples, "1e9"), Opt::seed, "18446744073709551615"));
  EXPECT_EQ(big.samples, 1000000000U);
  EXPECT_EQ(big.design.seed, 18446744073709551615ULL);
  const ToleranceRequest limited =
      request_of(with(kCoupler, Opt::limit, "coupling=-10.5:-9.5,zo=48:"));
  ASSERT_EQ(limited.limits.size(), 2U);
  EXPECT_EQ(limited.limits[0].low, 9.5);  // magnitudes, in order
  EXPECT_EQ(limited.limits[0].high, 10.5);
  EXPECT_TRUE(std::isinf(limited.limits[1].high));
}

// Each refusal is one line naming the option and the value.
TEST(ToleranceRequests, RefusalsNameTheOptionAndValue) {
  const std::vector<std::pair<Texts, std::string>> cases = {
      {with(kCoupler, Opt::vary, "q=1mil"), "--vary 'q=1mil': expected NAME=X, NAME one of w, s"},
      {with(kCoupler, Opt::vary, "w=1mil,w=2mil"), "that quantity is varied twice"},
      {with(kCoupler, Opt::vary, "s=5mil"), "would make s zero or negative in"},
      {with(kCoupler, Opt::etch, "3mil"), "--etch '0.003 in': would make s zero or negative"},
      {with(kCoupler, Opt::vary, "er=3"), "would make er below 1"},
      {with(kCoupler, Opt::samples, "0"), "--samples '0': expected a whole number from 1"},
      {with(kCoupler, Opt::samples, "1000000001"), "to 1000000000"},
      {with(kCoupler, Opt::samples, "2.5"), "expected a whole number"},
      {with(kCoupler, Opt::start, "3000"), "--start '3000': expected a sample index below"},
      {with(with(kCoupler, Opt::start, "1000"), Opt::count, "2001"), "runs past the last sample"},
      {with(kCoupler, Opt::limit, "return_loss=20:"), "needs the response at f0: add --f0 F"},
      {with(kCoupler, Opt::limit, "zo=52:48"), "expected LO below HI"},
      {with(kCoupler, Opt::limit, "zo=50"), "expected NAME=LO:HI"},
      {with(kCoupler, Opt::rs, "75"), "only with --f0"},
      {with(kCoupler, Opt::solver, "both"), "expected model or field"},
      {with(kCoupler, Opt::vary, "wo=5%"), "expected NAME=X, NAME one of w, s, t, b or er"},
  };
  for (const auto& [texts, expected] : cases) {
    const std::string said = refusal(texts);
    EXPECT_NE(said.find(expected), std::string::npos) << said << "\nexpected: " << expected;
    EXPECT_EQ(said.find('\n'), std::string::npos) << said;
  }
}

// Half-widths a little inside the nominal value pass for a uniform law
// (never below zero) but not for a normal one (its tail reaches below).
TEST(ToleranceRequests, TheShareBelowZeroDependsOnTheLaw) {
  Texts close = with(kCoupler, Opt::vary, "s=6mil");
  std::erase_if(close, [](const auto& t) { return t.first == Opt::etch; });
  EXPECT_EQ(refusal(with(close, Opt::dist, "uniform")), "");
  EXPECT_NE(refusal(close).find("% of the samples (nominal 0.0064 in)"), std::string::npos)
      << refusal(close);
}

TEST(ToleranceRows, AreTheSameForAnyThreadsAndSlices) {
  const ToleranceRequest whole = request_of(kCoupler);
  const std::vector<Cell> one = sample_cells(whole, 1);
  EXPECT_TRUE(same_cells(one, sample_cells(whole, 2)));
  // Two slices at an odd boundary, in the other order, make the whole.
  const std::vector<Cell> head = sample_cells(request_of(with(kCoupler, Opt::count, "1234")), 2);
  const std::vector<Cell> tail = sample_cells(request_of(with(kCoupler, Opt::start, "1234")), 1);
  std::vector<Cell> joined = head;
  joined.insert(joined.end(), tail.begin(), tail.end());
  EXPECT_TRUE(same_cells(one, joined));
}

ToleranceOutcome outcome_of(const ToleranceRequest& q) {
  const std::unique_ptr<RowSource> rows = tolerance_sample_rows(q);
  ToleranceCollector collector(q);
  run_rows(*rows, [&](const RowBlock& b) { collector.take(b); });
  return collector.finish();
}

TEST(ToleranceRows, YieldIsAllWithWideLimitsAndNoneWithoutTheNominal) {
  const ToleranceOutcome wide =
      outcome_of(request_of(with(kCoupler, Opt::limit, "coupling=5:15,zo=40:60")));
  EXPECT_EQ(wide.yield.passed, 3000);
  EXPECT_EQ(wide.yield.share, 1.0);
  EXPECT_EQ(wide.yield.high, 1.0);
  const ToleranceOutcome off = outcome_of(request_of(with(kCoupler, Opt::limit, "zo=55:60")));
  EXPECT_EQ(off.yield.passed, 0);
  EXPECT_EQ(off.yield.low, 0.0);
  EXPECT_GT(off.yield.high, 0.0);
  // The nominal is the design's own, whatever the draws.
  EXPECT_NEAR(off.nominal.outcomes[2], 50.0047, 1e-3);
  EXPECT_EQ(off.failed(), 0);
}

// Statistics from the samples in any order of blocks: the collector's
// result equals the one from values put together by hand.
TEST(ToleranceRows, StatisticsComeFromTheValuesAlone) {
  const ToleranceRequest q = request_of(with(kCoupler, Opt::limit, "zo=49:51"));
  const ToleranceOutcome r = outcome_of(q);
  std::vector<std::vector<float>> values(kImpedanceOutcomes);
  std::int64_t passed = 0;
  for (std::uint64_t i = 0; i < q.count; ++i) {
    const ToleranceSample s = tolerance_sample(q.design, i);
    for (std::size_t k = 0; k < values.size(); ++k) values[k].push_back(s.outcomes.at(k));
    if (passes(s, q.limits)) ++passed;
  }
  const ToleranceOutcome again = tolerance_outcome(q, values, passed, {3000, 0, 0, 0, 0});
  for (std::size_t k = 0; k < kImpedanceOutcomes; ++k) {
    EXPECT_EQ(again.statistics[k].mean, r.statistics[k].mean);
    EXPECT_EQ(again.statistics[k].percentiles, r.statistics[k].percentiles);
  }
  EXPECT_EQ(again.yield.passed, r.yield.passed);
  EXPECT_EQ(again.within[2].passed, r.within[2].passed);
}

}  // namespace
}  // namespace ketrovane::commands
