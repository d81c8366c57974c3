// The rows of a synthesis table and the rules that end it.
#include "design/synthesis_table.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/coupling.hpp"
#include "model/mode_impedances.hpp"

namespace ketrovane {
namespace {

struct Table {
  std::vector<SynthesisRow> rows;
  SynthesisStep last{};  // the step that ended the table
};

Table run(const SynthesisTableInput& input) {
  SynthesisTable table(input);
  Table t;
  for (int guard = 0; guard < 1000; ++guard) {
    const SynthesisStep step = table.next();
    if (step.kind != SynthesisStep::Kind::row) {
      t.last = step;
      EXPECT_EQ(table.next().kind, SynthesisStep::Kind::end);  // stays ended
      return t;
    }
    t.rows.push_back(step.row);
  }
  ADD_FAILURE() << "the table does not end";
  return t;
}

SynthesisTableInput levels(float strongest, float weakest, float step) {
  return {.board = {.b = 0.25F, .t = 0.0028F, .er = 2.2F},
          .zo = 50.0F,
          .range = CouplingLevels{strongest, weakest, step}};
}

SynthesisTableInput impedances(float min, float max, float step) {
  return {.board = {.b = 0.25F, .t = 0.0014F, .er = 2.2F},
          .zo = 45.0F,
          .range = EvenModeImpedances{min, max, step}};
}

TEST(SynthesisTable, LevelsRunFromTheWeakestToTheFirstAtOrInsideTheStrongest) {
  const Table t = run(levels(3.0F, 20.0F, 1.0F));
  ASSERT_EQ(t.rows.size(), 18U);
  EXPECT_EQ(t.rows.front().targets.coupling_db, -20.0F);
  EXPECT_EQ(t.rows.back().targets.coupling_db, -3.0F);
  EXPECT_EQ(t.last.end, TableEnd::last_row);
  // A step that does not land on the strongest level ends stronger than it.
  const Table past = run(levels(6.0F, 20.0F, 4.0F));
  EXPECT_EQ(past.rows.back().targets.coupling_db, -4.0F);
  EXPECT_EQ(past.last.end, TableEnd::last_row);
}

TEST(SynthesisTable, EveryRowMeetsItsTargets) {
  for (const SynthesisRow& row : run(levels(6.0F, 20.0F, 2.0F)).rows) {
    const ModesOfCoupler targets = modes_from_coupler({50.0F, row.targets.coupling_db});
    EXPECT_EQ(row.targets.zoe, targets.zoe);
    EXPECT_EQ(row.targets.zoo, targets.zoo);
    const ModeImpedances m =
        mode_impedances({.board = {.b = 0.25F, .t = 0.0028F, .er = 2.2F}, .w = row.w, .s = row.s});
    EXPECT_NEAR(m.zoe - m.zoo, row.targets.zoe - row.targets.zoo,
                0.0005F * (row.targets.zoe - row.targets.zoo));
    EXPECT_NEAR(std::sqrt(m.zoe * m.zoo), 50.0F, 0.0005F * 50.0F);
  }
}

TEST(SynthesisTable, AStepPastZeroDecibelsOrTooSmallEndsPastTheRange) {
  const Table past = run(levels(1.0F, 10.0F, 6.0F));
  ASSERT_EQ(past.rows.size(), 2U);  // -10 and -4; the next would be +2
  EXPECT_EQ(past.last.end, TableEnd::past_the_range);
  const Table stuck = run(levels(10.0F, 20.0F, 1e-7F));
  EXPECT_EQ(stuck.rows.size(), 1U);
  EXPECT_EQ(stuck.last.end, TableEnd::past_the_range);
  EXPECT_EQ(run(impedances(60.0F, 80.0F, 1e-6F)).rows.size(), 1U);
}

TEST(SynthesisTable, ImpedancesEndOnTheMaximumOrPastIt) {
  const Table landing = run(impedances(50.0F, 100.0F, 10.0F));
  ASSERT_EQ(landing.rows.size(), 6U);
  EXPECT_EQ(landing.rows.back().targets.zoe, 100.0F);
  EXPECT_EQ(landing.last.end, TableEnd::last_row);
  const Table past = run(impedances(50.0F, 100.0F, 15.0F));
  ASSERT_EQ(past.rows.size(), 4U);
  EXPECT_EQ(past.rows.back().targets.zoe, 95.0F);
  EXPECT_EQ(past.last.end, TableEnd::past_the_range);
  EXPECT_TRUE(run(impedances(100.0F, 50.0F, 10.0F)).rows.empty());
}

// Over a range of Zoe, Zo comes back from sqrt(Zoe Zoo) on every row and the
// next row's Zoo is formed from it, as the printed Zo and Zoo show.
TEST(SynthesisTable, ZoIsRecomputedOnEveryRowOfAnImpedanceRange) {
  const Table t = run(impedances(50.0F, 100.0F, 10.0F));
  float zo = 45.0F;
  for (const SynthesisRow& row : t.rows) {
    EXPECT_EQ(row.targets.zoo, zo * zo / row.targets.zoe);
    const CouplerImpedance c = coupler_from_modes({row.targets.zoe, row.targets.zoo});
    EXPECT_EQ(row.targets.zo, c.zo);
    EXPECT_EQ(row.targets.coupling_db, c.coupling_db);
    zo = c.zo;
  }
}

TEST(SynthesisTable, ARowThatCannotBeBuiltEndsTheTable) {
  // 50 ohms at 0.5 dB cannot be built; the table stops at it.
  const Table t = run(levels(0.5F, 1.0F, 0.5F));
  ASSERT_EQ(t.last.kind, SynthesisStep::Kind::unrealisable);
  EXPECT_EQ(t.last.row.targets.coupling_db, t.rows.empty() ? -1.0F : -0.5F);
  EXPECT_FALSE(t.last.row.built);
  EXPECT_FALSE(t.last.row.model.converged());
}

}  // namespace
}  // namespace ketrovane
