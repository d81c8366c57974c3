// The tolerance command's request and rows: what is refused and how, the
// samples the same for any number of threads and any slicing, the yield at
// its two ends, the response at f0 of each sample that of the response
// command, and every share taken over all the samples.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "commands/command_table.hpp"
#include "commands/input_error.hpp"
#include "commands/number_format.hpp"
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
}

// One rule for every limit: LOW:HIGH in the outcome's sign as the table
// prints it, an open side no bound, positive coupling ends magnitudes on
// both ends alike.  Catches a coupling limit read as magnitudes on one end
// and signed on the other (an open side), and limits sorted silently.
TEST(ToleranceRequests, LimitsAreInTheTablesSign) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<std::tuple<std::string, double, double>> cases = {
      {"coupling=-10.5:-9.5", -10.5, -9.5},
      {"coupling=9.5:10.5", -10.5, -9.5},
      {"coupling=-10.0:", -10.0, inf},
      {"coupling=:-10.0", -inf, -10.0},
      {"coupling=10:", -inf, -10.0},
      {"coupling=:10", -10.0, inf},
      {"zo=48:", 48.0, inf},
      {"zo=:52", -inf, 52.0},
  };
  for (const auto& [text, low, high] : cases) {
    const ToleranceRequest q = request_of(with(kCoupler, Opt::limit, text));
    ASSERT_EQ(q.limits.size(), 1U) << text;
    EXPECT_EQ(q.limits[0].low, low) << text;
    EXPECT_EQ(q.limits[0].high, high) << text;
  }
}

// Each refusal is one line naming the option and the value.
TEST(ToleranceRequests, RefusalsNameTheOptionAndValue) {
  const std::vector<std::pair<Texts, std::string>> cases = {
      {with(kCoupler, Opt::vary, "q=1mil"), "--vary 'q=1mil': expected NAME=X, NAME one of w, s"},
      {with(kCoupler, Opt::vary, "w=1mil,w=2mil"), "that quantity is varied twice"},
      {with(kCoupler, Opt::vary, "s=5mil"), "would make s zero or negative in"},
      // Values quoted as given, not converted.
      {with(kCoupler, Opt::etch, "3mil"), "--etch '3mil': would make s zero or negative"},
      {with(kCoupler, Opt::vary, "w=30mil"), "--vary 'w=30mil': would make w zero"},
      // A character outside ASCII shown as itself, not as its bytes.
      {with(kCoupler, Opt::etch, "-0.3mil\u00b10.5mil"), "'-0.3mil\u00b10.5mil'"},
      {with(kCoupler, Opt::etch, "-1mil"), "expected an etch bias half-width"},
      // Seeds past 2^64 - 1 refused, not wrapped to 0.
      {with(kCoupler, Opt::seed, "18446744073709551616"), "from 0 to 2^64 - 1"},
      {with(kCoupler, Opt::seed, "18446744073709553664"), "from 0 to 2^64 - 1"},
      {with(kCoupler, Opt::seed, "1.8446744073709552e19"), "from 0 to 2^64 - 1"},
      {with(kCoupler, Opt::vary, "er=3"), "would make er below 1"},
      {with(kCoupler, Opt::samples, "0"), "--samples '0': expected a whole number from 1"},
      {with(kCoupler, Opt::samples, "1000000001"), "to 1000000000"},
      {with(kCoupler, Opt::samples, "2.5"), "expected a whole number"},
      {with(kCoupler, Opt::start, "3000"), "--start '3000': expected a sample index below"},
      {with(with(kCoupler, Opt::start, "1000"), Opt::count, "2001"), "runs past the last sample"},
      {with(kCoupler, Opt::limit, "return_loss=20:"), "needs the response at f0: add --f0 F"},
      // A reversed limit refused for every outcome alike.
      {with(kCoupler, Opt::limit, "zo=52:48"), "expected LOW below HIGH"},
      {with(kCoupler, Opt::limit, "coupling=-10.0:-10.1"), "expected LOW below HIGH"},
      {with(kCoupler, Opt::limit, "coupling=10.1:10.0"),
       "expected LOW below HIGH; as the table prints the coupling, -10.1:-10 (magnitudes 10:10.1)"},
      {with(kCoupler, Opt::limit, "coupling=-10.5:9.5"), "both ends negative"},
      {with(kCoupler, Opt::limit, "zo=50"), "expected NAME=LOW:HIGH"},
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

// Faults: a form of --vary read as another (a bias taken as the
// half-width, +X/-Y's sides swapped, the law's K lost, a lot share left on
// the next quantity), the pairs of --correlate split wrongly.
TEST(ToleranceRequests, ReadEachQuantitysLawBiasBoundsLotAndCorrelation) {
  Texts texts = with(kCoupler, Opt::vary,
                     "t=+10%/-5%:uniform,b=3%:normal2,er=\u00b10.02,lot:\u00b10.04,"
                     "etch=-0.3mil\u00b10.5mil,w=1mil");
  std::erase_if(texts, [](const auto& t) { return t.first == Opt::etch; });
  texts = with(with(texts, Opt::lot_size, "500"), Opt::correlate, "b,er=0.6,w,etch=-0.2");
  const ToleranceDesign d = request_of(texts).design;
  ASSERT_EQ(d.variations.size(), 5U);
  const Variation& t = d.variations[0];
  EXPECT_NEAR(t.half_width, 0.1 * 0.00137, 1e-9);
  EXPECT_NEAR(t.below.value_or(0.0), 0.05 * 0.00137, 1e-9);
  EXPECT_EQ(t.law->spread, Spread::uniform);
  EXPECT_EQ(d.variations[1].law->truncation, 2.0);
  EXPECT_NEAR(d.variations[2].half_width, 0.02, 1e-7);
  EXPECT_NEAR(d.variations[2].lot_half_width, 0.04, 1e-7);
  const Variation& etch = d.variations[3];
  EXPECT_EQ(etch.quantity, Varied::etch);
  EXPECT_NEAR(etch.bias, -0.0003, 1e-9);
  EXPECT_NEAR(etch.half_width, 0.0005, 1e-9);
  EXPECT_FALSE(d.variations[4].law.has_value());
  EXPECT_EQ(d.lot_size, 500U);
  ASSERT_EQ(d.correlations.size(), 2U);
  EXPECT_EQ(d.correlations[1].second, Varied::etch);
  EXPECT_EQ(d.correlations[1].coefficient, -0.2);
  EXPECT_EQ(d.correlated.size(), 4U);
}

// Each refusal of the forms above is one line naming the option and value.
TEST(ToleranceRequests, RefusalsOfLawsLotsAndCorrelations) {
  const Texts varied = with(kCoupler, Opt::vary, "b=3%,er=0.04,w=1mil");
  const std::vector<std::pair<Texts, std::string>> cases = {
      {with(varied, Opt::correlate, "b,er=0.9,b,w=0.9,er,w=-0.9"),
       "the correlations of b,er and b,w and er,w make a matrix that is not positive definite"},
      {with(varied, Opt::correlate, "b,er=1"), "expected a correlation R above -1 and below 1"},
      {with(varied, Opt::correlate, "b,s=0.5"), "A and B two quantities varied by --vary"},
      {with(varied, Opt::correlate, "b,er=0.5,er,b=0.1"), "that pair is correlated twice"},
      {with(varied, Opt::correlate, "b=0.5"), "--correlate 'b=0.5': expected A,B=R"},
      {with(varied, Opt::correlate, "b,er"), "--correlate 'b,er': expected A,B=R"},
      {with(kCoupler, Opt::vary, "w=1mil:normal11"), "expected the law :uniform, :normal or"},
      {with(kCoupler, Opt::vary, "w=1mil:gauss"), "expected the law"},
      {with(kCoupler, Opt::vary, "er=0.02,lot:0.04"), "a lot share needs --lot-size N"},
      {with(kCoupler, Opt::vary, "lot:0.04"), "expected after a quantity's item: NAME=X,lot:Y"},
      {with(kCoupler, Opt::vary, "w=+1mil/-"), "--vary 'w=+1mil/-': expected X, BIAS"},
      {with(kCoupler, Opt::vary, "etch=1mil"), "the etch is varied by --vary already"},
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
  EXPECT_EQ(refusal(with(close, Opt::vary, "s=6mil:uniform")), "");  // its own law
  EXPECT_NE(refusal(with(with(close, Opt::dist, "uniform"), Opt::vary, "s=6mil:normal")), "");
  EXPECT_NE(refusal(close).find("% of the samples (nominal 0.0064 in)"), std::string::npos)
      << refusal(close);
}

// S drawn uniformly plus a uniform etch is trapezoidal: its share at or
// below zero is the sum's, not that of one uniform as wide as both.
// Catches the two half-widths added into one uniform (0.256 % here).
TEST(ToleranceRequests, TheShareBelowZeroIsOfTheSum) {
  const Texts uniform = with(with(kCoupler, Opt::dist, "uniform"), Opt::etch, "0.0165mil");
  EXPECT_EQ(refusal(with(uniform, Opt::vary, "s=6.368mil")), "");
  EXPECT_NE(refusal(with(uniform, Opt::vary, "s=6.4mil")).find("in 0.0645 % of the samples"),
            std::string::npos)
      << refusal(with(uniform, Opt::vary, "s=6.4mil"));
}

// With attribution too: the held samples' cells (each input nominal in
// turn) depend on the sample's index alone; and with lots (a lot straddling
// the slices' boundary), correlation and a truncated law; and a
// multi-section coupler's samples and held samples (catches a section's
// draw taken from the row's place in its slice or block).
TEST(ToleranceRows, AreTheSameForAnyThreadsAndSlices) {
  const Texts limited = with(kCoupler, Opt::limit, "coupling=9.8:10.2,zo=49:51");
  Texts boards = with(with(limited, Opt::vary, "t=+10%/-5%,b=3%:normal3,er=0.02,lot:0.04"),
                      Opt::lot_size, "100");
  boards = with(boards, Opt::correlate, "b,er=0.6");
  const Texts sections = {{Opt::b, "62mil"},
                          {Opt::t, "1oz"},
                          {Opt::er, "3.66"},
                          {Opt::sections, "3"},
                          {Opt::coupling, "10"},
                          {Opt::zo, "50"},
                          {Opt::band, "2000:6000"},
                          {Opt::samples, "3000"},
                          {Opt::vary, "w=1mil,s=0.5mil,b=3%"},
                          {Opt::etch, "0.3mil"},
                          {Opt::limit, "deviation=:0.45,return_loss=35:"},
                          {Opt::attribution, "on"}};
  for (const Texts& texts : {kCoupler, with(limited, Opt::attribution, "on"), boards, sections}) {
    const ToleranceRequest whole = request_of(texts);
    const std::vector<Cell> one = sample_cells(whole, 1);
    EXPECT_TRUE(same_cells(one, sample_cells(whole, 2)));
    // Two slices at an odd boundary, in the other order, make the whole.
    const std::vector<Cell> head = sample_cells(request_of(with(texts, Opt::count, "1234")), 2);
    const std::vector<Cell> tail = sample_cells(request_of(with(texts, Opt::start, "1234")), 1);
    std::vector<Cell> joined = head;
    joined.insert(joined.end(), tail.begin(), tail.end());
    EXPECT_TRUE(same_cells(one, joined));
  }
}

ToleranceOutcome outcome_of(const ToleranceRequest& q) {
  const std::unique_ptr<RowSource> rows = tolerance_sample_rows(q);
  ToleranceCollector collector(q);
  run_rows(*rows, [&](const RowBlock& b) { collector.take(b); });
  return collector.finish();
}

// The two sides of one value share the samples between them: "at least"
// and "at most" in the printed sign.  Catches a one-sided coupling limit
// compared with the coupling's magnitude (100 % and 0 %).
TEST(ToleranceRows, OneSidedLimitsSplitTheSamples) {
  for (const char* name : {"coupling", "zo"}) {
    const std::string at = name == std::string("zo") ? "50" : "-10";
    const ToleranceOutcome above =
        outcome_of(request_of(with(kCoupler, Opt::limit, std::string(name) + "=" + at + ":")));
    const ToleranceOutcome below =
        outcome_of(request_of(with(kCoupler, Opt::limit, std::string(name) + "=:" + at)));
    EXPECT_EQ(above.yield.passed + below.yield.passed, 3000) << name;
    EXPECT_GT(above.yield.passed, 300) << name;
    EXPECT_GT(below.yield.passed, 300) << name;
  }
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

// Faults: the collector reading the status or the pass from the hidden
// columns, a hidden cell read against the wrong input or limit, and the
// yield with an input held not the run's without it varied.  With
// attribution on, the statistics are those of the run without it, and each
// held yield is the yield of the run that does not vary that quantity.
TEST(ToleranceRows, AttributionLeavesTheStatisticsAndHoldsEachQuantityInTurn) {
  const Texts limited = with(kCoupler, Opt::limit, "coupling=9.8:10.2,zo=49.5:50.5");
  const ToleranceOutcome plain = outcome_of(request_of(limited));
  const ToleranceOutcome attributed = outcome_of(request_of(with(limited, Opt::attribution, "on")));
  EXPECT_TRUE(plain.attribution.empty());
  EXPECT_EQ(attributed.yield.passed, plain.yield.passed);
  for (std::size_t k = 0; k < kImpedanceOutcomes; ++k) {
    EXPECT_EQ(attributed.statistics[k].mean, plain.statistics[k].mean);
    EXPECT_EQ(attributed.statistics[k].percentiles, plain.statistics[k].percentiles);
  }
  // t, b, er from --vary, then the etch; each run again without it.
  const std::vector<Texts> without = {
      with(limited, Opt::vary, "b=3%,er=0.04"),
      with(limited, Opt::vary, "t=10%,er=0.04"),
      with(limited, Opt::vary, "t=10%,b=3%"),
      [&] {
        Texts t = limited;
        std::erase_if(t, [](const auto& x) { return x.first == Opt::etch; });
        return t;
      }(),
  };
  ASSERT_EQ(attributed.attribution.size(), without.size());
  for (std::size_t k = 0; k < without.size(); ++k) {
    EXPECT_EQ(attributed.attribution[k].held_yield.passed,
              outcome_of(request_of(without[k])).yield.passed)
        << attributed.attribution[k].name;
  }
  EXPECT_GT(attributed.attribution[3].held_yield.passed, plain.yield.passed);  // the etch costs
}

// Faults: a sample counted in the wrong lot (its index within the slice
// taken for its index in the run, or the lot not i / N), a slice's partial
// first lot dropped.  Each lot's yield counts the samples of that lot that
// pass, for a slice starting inside a lot too.
TEST(ToleranceRows, EachLotsYieldCountsItsOwnSamples) {
  Texts texts =
      with(with(kCoupler, Opt::vary, "t=10%,b=3%,er=0.01,lot:0.06"), Opt::lot_size, "300");
  texts = with(with(texts, Opt::limit, "coupling=9.8:10.2,zo=49.5:50.5"), Opt::start, "450");
  const ToleranceRequest q = request_of(texts);
  const ToleranceOutcome r = outcome_of(q);
  ASSERT_EQ(r.lot_yields.size(), 9U);  // samples 450 to 2999: lots 1 to 9, the first in part
  for (std::size_t k = 0; k < r.lot_yields.size(); ++k) {
    const std::uint64_t lot = 1 + k;
    std::int64_t passed = 0;
    std::int64_t samples = 0;
    for (std::uint64_t i = std::max<std::uint64_t>(lot * 300, 450); i < (lot + 1) * 300; ++i) {
      ++samples;
      passed += passes(tolerance_sample(q.design, i), q.limits) ? 1 : 0;
    }
    EXPECT_EQ(r.lot_yields[k].samples, samples) << lot;
    EXPECT_EQ(r.lot_yields[k].passed, passed) << lot;
  }
}

// Fault: the collector reading a stack's drawn layers (the columns between
// the board's and the outcomes) as the outcomes.  On a stack with varied
// layers, the statistics and the held samples are of Zo and the coupling,
// and each held yield is that of the run without that layer varied.
TEST(ToleranceRows, AStacksVariedLayersAreNotTakenForOutcomes) {
  const Texts stack = {{Opt::layers, "31mil:3.66,31mil:3.66"},
                       {Opt::strips_on, "1"},
                       {Opt::t, "1oz"},
                       {Opt::w, "24.8mil"},
                       {Opt::s, "6.4mil"},
                       {Opt::solver, "field"},
                       {Opt::samples, "6"},
                       {Opt::limit, "zo=49.8:50.4"},
                       {Opt::vary, "er1=0.05,d2=1mil"},
                       {Opt::attribution, "on"}};
  const ToleranceRequest q = request_of(stack);
  const ToleranceOutcome r = outcome_of(q);
  std::int64_t passed = 0;
  double zo = 0.0;
  for (std::uint64_t i = 0; i < q.count; ++i) {
    const ToleranceSample s = tolerance_sample(q.design, i);
    passed += passes(s, q.limits) ? 1 : 0;
    zo += s.outcomes[2];
  }
  EXPECT_NEAR(r.statistics[2].mean, zo / 6.0, 1e-4);
  EXPECT_EQ(r.within[2].passed, passed);
  ASSERT_EQ(r.attribution.size(), 2U);
  EXPECT_EQ(r.attribution[1].name, "d2");
  EXPECT_EQ(r.attribution[1].held_yield.passed,
            outcome_of(request_of(with(stack, Opt::vary, "er1=0.05"))).yield.passed);
}

// The response command's cells of one row, by column name.
struct ResponseCells {
  std::span<const Column> columns;
  std::vector<Cell> cells;

  [[nodiscard]] float operator[](std::string_view name) const {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (column_name(columns[c], kInches) == name) return cells.at(c).number;
    }
    ADD_FAILURE() << "no column " << name;
    return 0.0F;
  }
};

ResponseCells response_at(const std::vector<std::pair<Opt, std::string>>& texts) {
  TextValues values;
  for (const auto& [id, text] : texts) values.set(id, text);
  const Request request = command(Command::response).read(values);
  const std::unique_ptr<RowSource> rows = command(Command::response).rows(request);
  ResponseCells r{rows->columns(), std::vector<Cell>(rows->columns().size())};
  RowTally tally;
  rows->fill(0, r.cells, tally);
  return r;
}

// Faults: the isolation's sign flipped, each sample's length taken from its
// drawn Er instead of the nominal artwork's, and Er exactly 1 (an air line)
// refused as below 1.  Each sample's outcomes at f0 are the response
// command's figures for its drawn dimensions, on the nominal design's
// quarter wave at f0.
TEST(ToleranceSamples, OutcomesAtF0AreTheResponseOfTheDrawnCoupler) {
  const std::vector<Texts> designs = {
      {{Opt::b, "62mil"},
       {Opt::t, "1oz"},
       {Opt::er, "3.66"},
       {Opt::w, "24.8mil"},
       {Opt::s, "6.4mil"},
       {Opt::samples, "6"},
       {Opt::vary, "w=0.5mil,s=0.5mil,t=10%,b=3%,er=0.1"},
       {Opt::f0, "2GHz"}},
      {{Opt::b, "0.25"},
       {Opt::t, "0"},
       {Opt::er, "1"},
       {Opt::w, "0.2"},
       {Opt::s, "0.02"},
       {Opt::samples, "6"},
       {Opt::vary, "w=0.001"},
       {Opt::dist, "uniform"},
       {Opt::f0, "1GHz"},
       {Opt::tand, "0.001"}},
  };
  const auto text_of = [](const Texts& texts, Opt id) {
    for (const auto& [given, text] : texts) {
      if (given == id) return text;
    }
    return std::string(option(id).fallback);
  };
  for (const Texts& design : designs) {
    const ToleranceRequest q = request_of(design);
    const std::string f0 = text_of(design, Opt::f0);
    const Texts board = {{Opt::tand, text_of(design, Opt::tand)}, {Opt::f, f0}};
    // The artwork's length: a quarter wave at f0 in the nominal dielectric.
    Texts nominal = board;
    for (const Opt id : {Opt::b, Opt::t, Opt::er, Opt::w, Opt::s, Opt::f0}) {
      nominal.emplace_back(id, text_of(design, id));
    }
    const std::string length = shortest(response_at(nominal)["length_in"]);
    for (std::uint64_t i = 0; i < q.count; ++i) {
      const ToleranceSample sample = tolerance_sample(q.design, i);
      ASSERT_EQ(sample.status, SampleStatus::ok) << text_of(design, Opt::er) << " sample " << i;
      const auto drawn = [&sample](Varied v) {
        return shortest(sample.inputs.at(static_cast<std::size_t>(v)));
      };
      Texts drawn_coupler = board;
      drawn_coupler.insert(drawn_coupler.end(), {{Opt::b, drawn(Varied::b)},
                                                 {Opt::t, drawn(Varied::t)},
                                                 {Opt::er, drawn(Varied::er)},
                                                 {Opt::w, drawn(Varied::w)},
                                                 {Opt::s, drawn(Varied::s)},
                                                 {Opt::length, length}});
      const ResponseCells r = response_at(drawn_coupler);
      const auto outcome = [&sample](Outcome o) {
        return sample.outcomes.at(static_cast<std::size_t>(o));
      };
      EXPECT_EQ(outcome(Outcome::coupling_f0), r["s41_db"]) << i;
      EXPECT_EQ(outcome(Outcome::isolation), -r["s31_db"]) << i;
      EXPECT_EQ(outcome(Outcome::return_loss), r["return_loss_db"]) << i;
      EXPECT_EQ(outcome(Outcome::directivity), r["directivity_db"]) << i;
    }
  }
}

// Fault: a share taken over the samples that could be computed alone (109
// of 112 is 97.3 %; of all 120 samples, 8 failed, it is 90.8 %).  Each
// limit's share and the yield count a failed sample against them.
TEST(ToleranceRows, EveryShareIsOfAllTheSamplesFailedOnesIncluded) {
  const ToleranceRequest q = request_of(with(kCoupler, Opt::limit, "zo=48:52,coupling=9:11"));
  std::vector<std::vector<float>> values(kImpedanceOutcomes);
  for (std::size_t i = 0; i < 112; ++i) {
    const bool off = i < 3;
    values[static_cast<std::size_t>(Outcome::zo)].push_back(off ? 53.0F : 50.0F);
    values[static_cast<std::size_t>(Outcome::coupling)].push_back(-10.0F);
    values[static_cast<std::size_t>(Outcome::zoe)].push_back(70.0F);
    values[static_cast<std::size_t>(Outcome::zoo)].push_back(36.0F);
  }
  const ToleranceOutcome r = tolerance_outcome(q, values, 109, {112, 5, 3, 0, 0});
  EXPECT_EQ(r.samples, 120);
  EXPECT_EQ(r.within[static_cast<std::size_t>(Outcome::zo)].passed, 109);
  EXPECT_EQ(r.within[static_cast<std::size_t>(Outcome::zo)].share, 109.0 / 120.0);
  EXPECT_EQ(r.within[static_cast<std::size_t>(Outcome::coupling)].share, 112.0 / 120.0);
  EXPECT_EQ(r.yield.share, 109.0 / 120.0);
  EXPECT_EQ(r.statistics[static_cast<std::size_t>(Outcome::zo)].count, 112);
}

}  // namespace
}  // namespace ketrovane::commands
