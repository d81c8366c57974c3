// A value exactly at a limit.  What the user sets a limit on passes at the
// limit itself: a tolerance limit holds its two ends, the fab's least gap
// and least width are gaps and widths it makes, and the band of a response
// holds a frequency whose coupling lies exactly the flatness from f0's, and
// f0 at either end of the sweep.  The cut-off of the first higher-order
// mode is the other way: a frequency exactly at it is named, as the note
// says ("at or above"), on the safe side.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "commands/mode_note.hpp"
#include "commands/number_format.hpp"
#include "commands/option_values.hpp"
#include "commands/requests.hpp"
#include "design/band_summary.hpp"
#include "design/higher_mode.hpp"
#include "design/quarter_wave.hpp"
#include "design/row_kernel.hpp"
#include "design/tolerance_statistics.hpp"

namespace ketrovane::commands {
namespace {

float above(float x) {
  return std::nextafter(x, std::numeric_limits<float>::infinity());
}

float below(float x) {
  return std::nextafter(x, -std::numeric_limits<float>::infinity());
}

// Fault: `<` for `<=` (or `>` for `>=`) at either end of a tolerance
// limit, the coupling's on its magnitude.
TEST(AtALimit, ToleranceLimitsHoldTheirEnds) {
  const double open = std::numeric_limits<double>::infinity();
  struct Case {
    Limit limit;
    float value;
    bool within;
  };
  const std::vector<Case> cases = {
      {{Outcome::zo, 48.0, 52.0}, 48.0F, true},
      {{Outcome::zo, 48.0, 52.0}, 52.0F, true},
      {{Outcome::zo, 48.0, 52.0}, below(48.0F), false},
      {{Outcome::zo, 48.0, 52.0}, above(52.0F), false},
      {{Outcome::coupling, -10.5, -9.5}, -9.5F, true},
      {{Outcome::coupling, -10.5, -9.5}, -10.5F, true},
      {{Outcome::coupling, -10.5, -9.5}, below(-10.5F), false},
      {{Outcome::coupling_f0, -10.5, -9.5}, -9.5F, true},
      {{Outcome::isolation, 20.0, open}, 20.0F, true},
      {{Outcome::return_loss, -open, 30.0}, 30.0F, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(within(c.limit, c.value), c.within)
        << outcome_name(c.limit.quantity) << " " << c.value;
    ToleranceSample sample;
    sample.outcomes.at(static_cast<std::size_t>(c.limit.quantity)) = c.value;
    EXPECT_EQ(passes(sample, std::vector<Limit>{c.limit}), c.within);
  }
}

// Fault: `<=` for `<` where the fab's least gap or width refuses a design:
// a design exactly at the least passes, one a float narrower does not.
TEST(AtALimit, TheFabsLeastGapAndWidthAreMade) {
  const Board board{.b = 0.062F, .t = 0.00137F, .er = 3.66F};
  const SynthesisTargets targets = targets_of_coupling(50.0F, -10.0F);
  const SynthesisRow free = synthesis_row(board, targets, Solver::model, {});
  ASSERT_TRUE(free.built);
  struct Case {
    FabLimits limits;
    RowStatus status;
  };
  const std::vector<Case> cases = {
      {{.min_gap = free.s}, RowStatus::converged},
      {{.min_gap = above(free.s)}, RowStatus::gap_below_limit},
      {{.min_width = free.w}, RowStatus::converged},
      {{.min_width = above(free.w)}, RowStatus::width_below_limit},
  };
  for (const Case& c : cases) {
    SynthesisSetup setup;
    setup.limits = c.limits;
    const SynthesisRow row = synthesis_row(board, targets, Solver::model, setup);
    EXPECT_EQ(status_name(row.status), status_name(c.status))
        << c.limits.min_gap << " " << c.limits.min_width;
  }
}

// Faults: a row exactly the flatness from f0 left out of the band, or f0
// at the first or last swept frequency taken as outside the sweep.
TEST(AtALimit, TheBandHoldsItsEdges) {
  constexpr float kF0 = 1000.0F;
  const float er = 2.2F;
  const ResponseCoupler coupler =
      coupler_of_impedances(69.37F, 36.04F, er, quarter_wave_length(kF0, er));
  const Terminations ends{50.0F, 50.0F};
  const std::vector<float> f = {600.0F,  700.0F,  800.0F,  900.0F, 1000.0F,
                                1100.0F, 1200.0F, 1300.0F, 1400.0F};
  const auto coupling = [&](float at) {
    return response_row(coupler, at, ends).response.amplitude_db[Port::coupled];
  };
  const auto deviation = [&](float at) { return std::fabs(coupling(at) - coupling(kF0)); };

  const BandSummary to_last = band_summary(coupler, ends, f, kF0, deviation(f.back()));
  ASSERT_TRUE(to_last.high.has_value());
  EXPECT_TRUE(to_last.high->beyond_sweep);
  EXPECT_EQ(to_last.high->f_mhz, f.back());
  const BandSummary to_first = band_summary(coupler, ends, f, kF0, deviation(f.front()));
  ASSERT_TRUE(to_first.low.has_value());
  EXPECT_TRUE(to_first.low->beyond_sweep);
  EXPECT_EQ(to_first.low->f_mhz, f.front());

  const std::vector<float> from_f0(f.begin() + 4, f.end());
  const BandSummary at_start = band_summary(coupler, ends, from_f0, kF0, 0.5F);
  ASSERT_TRUE(at_start.low.has_value());
  EXPECT_EQ(at_start.low->f_mhz, kF0);
  const std::vector<float> to_f0(f.begin(), f.begin() + 5);
  const BandSummary at_end = band_summary(coupler, ends, to_f0, kF0, 0.5F);
  ASSERT_TRUE(at_end.high.has_value());
  EXPECT_EQ(at_end.high->f_mhz, kF0);
}

// A board whose parallel-plate cut-off is exactly a float: 9329.421875
// MHz for B 0.362 in and Er 3.05342603 (found by search), the strip narrow
// enough for the parallel-plate mode to come first.
std::vector<std::pair<Opt, std::string>> at_cutoff() {
  return {{Opt::b, "0.362"},
          {Opt::t, "0"},
          {Opt::er, "3.05342603"},
          {Opt::w, "0.01"},
          {Opt::s, "0.01"}};
}
constexpr float kCutoffMhz = 9329.421875F;

Request read(Command command, const std::vector<std::pair<Opt, std::string>>& texts) {
  TextValues values;
  for (const auto& [id, text] : texts) values.set(id, text);
  return command == Command::analyse ? Request(read_analyse(values))
                                     : Request(read_response(values));
}

// Fault: `>` for `>=` against the cut-off, in the note of a command
// line's analyse or response and in the watch over a scripting call's rows.
TEST(AtALimit, AFrequencyAtTheCutoffIsNamed) {
  const Request probe = read(Command::analyse, at_cutoff());
  const Board& board = std::get<AnalyseRequest>(probe).grid.board;
  ASSERT_EQ(first_higher_mode(board.b, 0.01F, board.er).f_mhz, static_cast<double>(kCutoffMhz));
  ASSERT_EQ(first_higher_mode(board.b, 0.01F, board.er).mode, HigherMode::parallel_plate);
  for (const float f : {below(kCutoffMhz), kCutoffMhz}) {
    const bool reached = f == kCutoffMhz;
    std::vector<std::pair<Opt, std::string>> texts = at_cutoff();
    texts.emplace_back(Opt::f, shortest(f));
    const Request analysis = read(Command::analyse, texts);
    EXPECT_EQ(higher_mode_note(analysis, kInches).empty(), !reached) << shortest(f);
    HigherModeReach reach;
    watch_higher_mode(analysis, reach);
    EXPECT_EQ(reach.reached, reached) << shortest(f);

    texts.back().second = shortest(below(below(kCutoffMhz))) + ":" + shortest(f) + ":" +
                          shortest(f - below(below(kCutoffMhz)));
    texts.emplace_back(Opt::length, "1");
    const Request response = read(Command::response, texts);
    ASSERT_EQ(std::get<ResponseRequest>(response).f.value(1), f);
    EXPECT_EQ(higher_mode_note(response, kInches).empty(), !reached) << shortest(f);
  }
}

}  // namespace
}  // namespace ketrovane::commands
