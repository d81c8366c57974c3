// The batch rows on the field solution: the field solver in the usual
// columns, the comparison beside the model's, the field synthesis, and
// the map of the model's error that decides the note.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "commands/command_table.hpp"
#include "commands/input_error.hpp"
#include "commands/row_runner.hpp"
#include "design/field_analysis.hpp"
#include "field/field_loss.hpp"
#include "field/field_solver.hpp"
#include "model/coupling.hpp"

namespace ketrovane::commands {
namespace {

struct Table {
  std::vector<std::vector<Cell>> rows;
  RowTally tally;
  std::span<const Column> columns;

  [[nodiscard]] std::size_t column(std::string_view stem) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].stem == stem) return i;
    }
    ADD_FAILURE() << "no column " << stem;
    return 0;
  }
};

using Texts = std::vector<std::pair<Opt, const char*>>;

// The rows of a command given its options as texts.
Table table_of(Command c, const Texts& texts) {
  TextValues values;
  for (const auto& [id, text] : texts) values.set(id, text);
  const CommandSpec& entry = command(c);
  const Request request = entry.read(values);
  const std::unique_ptr<RowSource> rows = entry.rows(request);
  Table t;
  t.columns = rows->columns();
  t.tally = run_rows(*rows, [&t](const RowBlock& block) {
    for (std::int64_t i = 0; i < block.count; ++i) {
      const std::span<const Cell> row = block.row(i);
      t.rows.emplace_back(row.begin(), row.end());
    }
  });
  return t;
}

Texts analyse(const char* solver, const char* w = "0.168", const char* s = "0.012",
              const char* t = "0.002") {
  return {{Opt::b, "0.25"}, {Opt::t, t},      {Opt::er, "2.2"},     {Opt::w, w},
          {Opt::s, s},      {Opt::f, "3000"}, {Opt::solver, solver}};
}

field::FieldSolution field_at(float w, float s, float t = 0.002F, double tolerance = 1e-4) {
  const field::FieldResult f = field::solve({0.25, t, w, s, 2.2}, {.tolerance = tolerance});
  EXPECT_TRUE(f.ok()) << f.message;
  return *f.solution;
}

TEST(FieldRows, TheFieldSolutionFillsTheUsualColumns) {
  const Table t = table_of(Command::analyse, analyse("field"));
  ASSERT_EQ(t.columns.size(), 13U);
  const std::vector<Cell>& cells = t.rows.at(0);
  const field::FieldSolution f = field_at(0.168F, 0.012F);
  // One dielectric: both modes' effective permittivity is its Er.
  EXPECT_EQ(cells[t.column("eeff_even")].number, 2.2F);
  EXPECT_EQ(cells[t.column("eeff_odd")].number, 2.2F);
  EXPECT_EQ(cells[5].number, static_cast<float>(f.even.impedance));
  EXPECT_EQ(cells[6].number, static_cast<float>(f.odd.impedance));
  EXPECT_EQ(cells[4].number, static_cast<float>(f.zo));
  // Loss by Wheeler's rule on the field solution, negative as printed.
  const field::FieldLossResult loss = field::field_loss(
      {0.25, 0.002, 0.168F, 0.012F, 2.2}, {3000.0, 1.7F * 3.9370079e-7F, 5.0e-6F, 0.0009F});
  ASSERT_TRUE(loss.ok());
  EXPECT_NEAR(-cells[10].number, loss.loss->even.total, 1e-6 * loss.loss->even.total);
  EXPECT_NEAR(-cells[11].number, loss.loss->odd.total, 1e-6 * loss.loss->odd.total);
  EXPECT_EQ(cells[12].text, "ok");
  EXPECT_FALSE(t.tally.accuracy.seen);  // the field solution needs no note
}

// The geometry's field solution is reused over frequency; alternating
// cross-sections must not mix.
TEST(FieldRows, LossOverFrequencyKeepsEachCrossSectionApart) {
  const Materials copper{{1.7F * 3.9370079e-7F, 5.0e-6F}, 0.0009F};
  const CrossSection a{{0.25F, 0.002F, 2.2F}, 0.168F, 0.012F};
  const CrossSection b{{0.25F, 0.01F, 2.2F}, 0.1F, 0.05F};
  for (const float f : {500.0F, 2000.0F}) {
    for (const CrossSection& x : {a, b, a}) {
      const ModeAttenuation got = field_attenuation(x, copper, f);
      const field::FieldLossResult want = field::field_loss(
          field_geometry(x),
          {f, copper.conductor.resistivity_ohm_inch, copper.conductor.roughness_inch, 0.0009F});
      ASSERT_TRUE(want.ok());
      EXPECT_NEAR(got.odd_db_per_inch, want.loss->odd.total, 1e-6 * want.loss->odd.total);
    }
  }
}

// More cross-sections than are remembered, twice round: each must come back
// as its own, whether still remembered or solved again after being replaced.
TEST(FieldRows, LossOfManySectionsInTurnKeepsEachApart) {
  const Materials copper{{1.7F * 3.9370079e-7F, 0.0F}, 0.0F};
  std::vector<CrossSection> sections;
  for (int i = 0; i < 20; ++i) {
    sections.push_back({{0.25F, 0.002F, 2.2F}, 0.1F + 0.005F * static_cast<float>(i), 0.02F});
  }
  std::vector<float> first_round;
  for (const CrossSection& x : sections) {
    first_round.push_back(field_attenuation(x, copper, 1000.0F).odd_db_per_inch);
  }
  for (std::size_t i = 0; i < sections.size(); ++i) {
    EXPECT_EQ(field_attenuation(sections[i], copper, 1000.0F).odd_db_per_inch, first_round[i]) << i;
    if (i > 0) {
      EXPECT_NE(first_round[i], first_round[i - 1]);
    }
  }
  // The first few again, now remembered.
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(field_attenuation(sections[i], copper, 1000.0F).odd_db_per_inch, first_round[i]);
  }
}

TEST(FieldRows, BothGivesTheModelsColumnsAndItsErrorAgainstTheField) {
  const Table model = table_of(Command::analyse, analyse("model"));
  const Table both = table_of(Command::analyse, analyse("both"));
  ASSERT_EQ(both.columns.size(), model.columns.size() + 10);
  const std::vector<Cell>& m = model.rows.at(0);
  const std::vector<Cell>& c = both.rows.at(0);
  for (std::size_t i = 0; i < m.size(); ++i) {
    EXPECT_EQ(c[i].number, m[i].number) << i;
    EXPECT_EQ(c[i].text, m[i].text) << i;
  }
  const field::FieldSolution f = field_at(0.168F, 0.012F);
  EXPECT_EQ(c[both.column("zoe_field_ohm")].number, static_cast<float>(f.even.impedance));
  EXPECT_EQ(c[both.column("zoo_field_ohm")].number, static_cast<float>(f.odd.impedance));
  EXPECT_NEAR(c[both.column("zoe_model_error_pct")].number,
              100.0 * (m[5].number / f.even.impedance - 1.0), 1e-3);
  EXPECT_NEAR(c[both.column("zoo_model_error_pct")].number,
              100.0 * (m[6].number / f.odd.impedance - 1.0), 1e-3);
  // Next to the shipped coupler the field couples about 0.4 dB harder and
  // has a Zo 2.6 % lower than the model.
  EXPECT_NEAR(c[both.column("coupling_field_db")].number - m[7].number, 0.4, 0.02);
  EXPECT_NEAR(c[both.column("zo_field_ohm")].number / m[4].number - 1.0, -0.026, 0.002);
  // The field's losses, negative as the model's, and the model's error.
  const field::FieldLossResult loss = field::field_loss(
      {0.25, 0.002, 0.168F, 0.012F, 2.2}, {3000.0, 1.7F * 3.9370079e-7F, 5.0e-6F, 0.0009F});
  ASSERT_TRUE(loss.ok());
  const float field_odd = c[both.column("loss_odd_field_db_per")].number;
  EXPECT_NEAR(-field_odd, loss.loss->odd.total, 1e-6 * loss.loss->odd.total);
  EXPECT_NEAR(c[both.column("loss_odd_model_error_pct")].number,
              100.0 * (m[11].number / field_odd - 1.0), 1e-3);
}

// Every row the field synthesis calls converged meets both targets on a
// field solution a thousand times tighter; one it cannot bring there says
// so and counts as a row that could not be built.
TEST(FieldRows, TheFieldSynthesisMeetsBothTargetsOrSaysItDidNot) {
  const Table t = table_of(Command::synthesise, {{Opt::b, "0.25"},
                                                 {Opt::t, "0.0014"},
                                                 {Opt::er, "2.2"},
                                                 {Opt::zo, "50"},
                                                 {Opt::coupling, "3:20:8.5"},
                                                 {Opt::solver, "field"}});
  ASSERT_EQ(t.rows.size(), 3U);
  for (const std::vector<Cell>& cells : t.rows) {
    ASSERT_EQ(cells[10].text, "converged");
    const ModesOfCoupler target = modes_from_coupler({50.0F, cells[7].number});
    const field::FieldSolution f = field_at(cells[0].number, cells[1].number, 0.0014F, 1e-7);
    EXPECT_NEAR(f.even.impedance / target.zoe, 1.0, 2e-4);
    EXPECT_NEAR(f.odd.impedance / target.zoo, 1.0, 2e-4);
  }
  EXPECT_EQ(t.tally.failed, 0);

  // Strips a hundred inches apart: the field synthesis of one of these
  // does not converge.
  const Table hard = table_of(Command::synthesise, {{Opt::b, "100"},
                                                    {Opt::t, "0"},
                                                    {Opt::er, "2.2"},
                                                    {Opt::zo, "50"},
                                                    {Opt::coupling, "1.3:1.5:0.1"},
                                                    {Opt::solver, "field"}});
  int failed = 0;
  int field_failed = 0;
  for (const std::vector<Cell>& cells : hard.rows) {
    if (cells[10].text != "converged") {
      ++failed;
      if (cells[10].text == "field_not_converged") ++field_failed;
      EXPECT_EQ(cells[0].kind, CellKind::empty);
      continue;
    }
    ASSERT_EQ(cells[10].text, "converged");
    const ModesOfCoupler target = modes_from_coupler({50.0F, cells[7].number});
    const field::FieldResult f =
        field::solve({100.0, 0.0, cells[0].number, cells[1].number, 2.2}, {.tolerance = 1e-7});
    ASSERT_TRUE(f.ok());
    EXPECT_NEAR(f.solution->even.impedance / target.zoe, 1.0, 2e-4);
    EXPECT_NEAR(f.solution->odd.impedance / target.zoo, 1.0, 2e-4);
  }
  EXPECT_GE(field_failed, 1);
  EXPECT_EQ(hard.tally.failed, failed);
}

// At a wide, well-spaced cross-section the model is within a fraction of a
// per cent, so its sensitivities and the field's agree; both keep the
// exact laws.
TEST(FieldRows, FieldSensitivitiesKeepTheExactLaws) {
  const CrossSection x{{0.25F, 0.025F, 2.2F}, 0.25F, 0.125F};
  const ImpedanceSensitivities f = field_sensitivities(x).impedances;
  const ImpedanceSensitivities m = impedance_sensitivities(x);
  for (const auto& [field_mode, model_mode] :
       {std::pair{f.even, m.even}, std::pair{f.odd, m.odd}}) {
    EXPECT_EQ(field_mode.er, -0.5F);
    EXPECT_NEAR(field_mode.b + field_mode.s + field_mode.t + field_mode.w, 0.0F, 1e-6F);
    EXPECT_NEAR(field_mode.w, model_mode.w, 0.02F);
    EXPECT_NEAR(field_mode.s, model_mode.s, 0.02F);
    EXPECT_NEAR(field_mode.t, model_mode.t, 0.02F);
  }
  // Strips of zero thickness have no thickness term.
  const ImpedanceSensitivities flat =
      field_sensitivities(CrossSection{{0.25F, 0.0F, 2.2F}, 0.168F, 0.011F}).impedances;
  EXPECT_EQ(flat.even.t, 0.0F);
  EXPECT_EQ(flat.odd.t, 0.0F);
}

TEST(FieldRows, ACouplerGivenByItsImpedancesHasNoFieldSolution) {
  try {
    table_of(Command::response, {{Opt::zo, "50"},
                                 {Opt::coupling, "10"},
                                 {Opt::er, "2.2"},
                                 {Opt::length, "2"},
                                 {Opt::f, "1000"},
                                 {Opt::solver, "field"}});
    ADD_FAILURE() << "no error";
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()),
              "--solver 'field': expected model for a coupler given by Zo and coupling (field "
              "and both need its dimensions: --b --t --w --s)");
  }
}

TEST(FieldRows, TheModelsRowsRememberWhereItIsLeastSure) {
  // The shipped coupler's neighbourhood: thin copper at a narrow gap.
  const Table near_default =
      table_of(Command::analyse, analyse("model", "0.168", "0.011", "0.0014"));
  EXPECT_GT(near_default.tally.accuracy.worst_impedance, 0.01);
  // Wide strips at a wide gap of thick copper: within 1 %.
  const Table wide = table_of(Command::analyse, analyse("model", "0.25", "0.125", "0.025"));
  EXPECT_LT(wide.tally.accuracy.worst_impedance, 0.01);
  // The worst row of several is the one kept, whichever thread computed it.
  const Table both = table_of(Command::analyse, analyse("model", "0.25", "0.011:0.125:0.0001"));
  EXPECT_EQ(both.tally.accuracy.impedance_where.s, 0.011F);
}

TEST(FieldRows, TheFieldCommandGivesTheSolutionWithItsEstimate) {
  const Table fine = table_of(Command::field, {{Opt::b, "0.25"},
                                               {Opt::t, "0.002"},
                                               {Opt::er, "2.2"},
                                               {Opt::w, "0.168"},
                                               {Opt::s, "0.012"},
                                               {Opt::tol, "1e-6"}});
  const field::FieldSolution f = field_at(0.168F, 0.012F, 0.002F, 1e-6);
  EXPECT_EQ(fine.rows.at(0)[5].number, static_cast<float>(f.even.impedance));
  EXPECT_LE(fine.rows.at(0)[12].number, 1e-6F);
  EXPECT_EQ(fine.rows.at(0)[14].text, "ok");
  // Beyond what the refinement can verify: a row that says so, its numbers
  // not numbers, and why, naming the cross-section.
  const FieldRow r = field_row(CrossSection{{0.25F, 0.002F, 2.2F}, 0.168F, 0.012F}, 1e-14);
  EXPECT_EQ(r.status, RowStatus::no_field_solution);
  EXPECT_TRUE(std::isnan(r.zoe));
  ASSERT_TRUE(r.failure.has_value());
  EXPECT_EQ(
      failure_message(*r.failure)
          .rfind("no field solution at W 0.168 in, S 0.012 in, T 0.002 in, B 0.25 in, Er 2.2: "
                 "no convergence",
                 0),
      0U)
      << failure_message(*r.failure);
}

// Without --tol the field command solves to the field solver's own
// tolerance, 1e-4 relative, as its help says.
// Blocks of rows end in any order on their threads: the note's first
// failure is the lowest row's of each kind, counted over every block, and a
// scripting call's element (row 0 of its own source) is renumbered to its
// index.
TEST(FieldRows, TheNoteNamesTheFirstRowOfEachKindWhicheverBlockEndsFirst) {
  const StripPair x = CrossSection{{0.25F, 0.0014F, 2.2F}, 0.168F, 1e-7F};
  const FieldFailure early(x, "early", RowStatus::no_field_solution);
  const FieldFailure late(x, "late", RowStatus::no_field_solution);
  const FieldFailure apart(x, "apart", RowStatus::uncoupled);
  RowTally first_block;
  first_block.count(3, RowStatus::no_field_solution, early);
  first_block.count(4, RowStatus::uncoupled, apart);
  RowTally later_block;
  later_block.count(9, RowStatus::no_field_solution, late);
  later_block.merge(first_block);  // the later block ended first
  EXPECT_EQ(later_block.failed, 3);
  EXPECT_EQ(later_block.no_field_solution.rows, 2);
  EXPECT_EQ(later_block.no_field_solution.first_index, 3);
  EXPECT_STREQ(later_block.no_field_solution.first->what(), "early");
  EXPECT_EQ(later_block.uncoupled.first_index, 4);
  EXPECT_FALSE(later_block.no_field_loss.first.has_value());
  const std::vector<std::string> notes = field_failure_notes(later_block, kInches, true);
  ASSERT_EQ(notes.size(), 2U);
  EXPECT_EQ(notes[0],
            "note: 2 rows have no field solution; the first, element 3, at W 0.168 in, S "
            "0.0000001 in, T 0.0014 in, B 0.25 in, Er 2.2: early");
  EXPECT_EQ(notes[1],
            "note: 1 row is uncoupled, element 4, at W 0.168 in, S 0.0000001 in, T 0.0014 in, B "
            "0.25 in, Er 2.2: apart");
  // An element computed as row 0 of its own source.
  RowTally elements;
  elements.count(0, RowStatus::no_field_solution, early);
  const RowTally::TroubleCounts before = elements.trouble_counts();
  elements.count(0, RowStatus::uncoupled, apart);
  elements.number_new_troubles(before, 6);
  EXPECT_EQ(elements.no_field_solution.first_index, 0);
  EXPECT_EQ(elements.uncoupled.first_index, 6);
}

TEST(FieldRows, TheFieldCommandsDefaultToleranceIsTheSolvers) {
  TextValues values;
  for (const auto& [id, text] : std::vector<std::pair<Opt, const char*>>{
           {Opt::b, "0.25"}, {Opt::t, "0"}, {Opt::er, "1"}, {Opt::w, "0.1"}, {Opt::s, "0.1"}}) {
    values.set(id, text);
  }
  const FieldRequest q = read_field(values);
  EXPECT_EQ(q.tolerance, static_cast<double>(1e-4F));
  EXPECT_EQ(q.tolerance, static_cast<double>(static_cast<float>(field::Options{}.tolerance)));
  EXPECT_NE(help_text(option(Opt::tol), Command::field).find("default 0.0001"), std::string::npos);
}

}  // namespace
}  // namespace ketrovane::commands
