// The batch rows on the field solution: the field solver in the usual
// columns, the comparison beside the model's, the field synthesis, and
// the map of the model's error that decides the note.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "batch/input_error.hpp"
#include "batch/rows.hpp"
#include "field/field_loss.hpp"
#include "field/field_solver.hpp"
#include "model/coupling.hpp"

namespace ketrovane::batch {
namespace {

constexpr Materials kCopper{{1.7F * 3.9370079e-7F, 5.0e-6F}, 1.7F, 0.0009F};

SweepAxis single(float v) {
  return {{v, v, 0.0F}, 1, false};
}

std::vector<Cell> first_row(RowSource& source) {
  std::vector<Cell> cells(source.columns().size());
  EXPECT_TRUE(source.next(cells));
  return cells;
}

AnalyseRequest analyse_request(float w, float s, float t = 0.002F) {
  AnalyseRequest q{};
  q.b = 0.25F;
  q.t = t;
  q.er = 2.2F;
  q.w = single(w);
  q.s = single(s);
  q.materials = kCopper;
  q.f_mhz = 3000.0F;
  return q;
}

field::FieldSolution field_at(float w, float s, float t = 0.002F, double tolerance = 1e-4) {
  const field::FieldResult f = field::solve({0.25, t, w, s, 2.2}, {.tolerance = tolerance});
  EXPECT_TRUE(f.ok()) << f.message;
  return *f.solution;
}

TEST(FieldRows, TheFieldSolutionFillsTheUsualColumns) {
  const auto rows = analyse_rows(analyse_request(0.168F, 0.012F), SolverChoice::field);
  ASSERT_EQ(rows->columns().size(), 10U);
  const std::vector<Cell> cells = first_row(*rows);
  const field::FieldSolution f = field_at(0.168F, 0.012F);
  EXPECT_EQ(cells[5].number, static_cast<float>(f.even.impedance));
  EXPECT_EQ(cells[6].number, static_cast<float>(f.odd.impedance));
  EXPECT_EQ(cells[4].number, static_cast<float>(f.zo));
  // Loss by Wheeler's rule on the field solution, negative as printed.
  const field::FieldLossResult loss = field::field_loss(
      {0.25, 0.002, 0.168F, 0.012F, 2.2}, {3000.0, 1.7F * 3.9370079e-7F, 5.0e-6F, 0.0009F});
  ASSERT_TRUE(loss.ok());
  EXPECT_NEAR(-cells[8].number, loss.loss->even.total, 1e-6 * loss.loss->even.total);
  EXPECT_NEAR(-cells[9].number, loss.loss->odd.total, 1e-6 * loss.loss->odd.total);
}

// The geometry's field solution is reused over frequency; alternating
// cross-sections must not mix.
TEST(FieldRows, LossOverFrequencyKeepsEachCrossSectionApart) {
  const CrossSectionSolver& field = field_solution();
  const CrossSection a{.board = {.b = 0.25F, .t = 0.002F, .er = 2.2F}, .w = 0.168F, .s = 0.012F};
  const CrossSection b{.board = {.b = 0.25F, .t = 0.01F, .er = 2.2F}, .w = 0.1F, .s = 0.05F};
  for (const float f : {500.0F, 2000.0F}) {
    for (const CrossSection& x : {a, b, a}) {
      const ModeAttenuation got = field.attenuation(x, kCopper.conductor, 0.0009F, f);
      const field::FieldLossResult want = field::field_loss(
          {x.board.b, x.board.t, x.w, x.s, x.board.er},
          {f, kCopper.conductor.resistivity_ohm_inch, kCopper.conductor.roughness_inch, 0.0009F});
      ASSERT_TRUE(want.ok());
      EXPECT_NEAR(got.odd_db_per_inch, want.loss->odd.total, 1e-6 * want.loss->odd.total);
    }
  }
}

TEST(FieldRows, BothGivesTheModelsColumnsAndItsErrorAgainstTheField) {
  const auto model = analyse_rows(analyse_request(0.168F, 0.012F), SolverChoice::model);
  const auto both = analyse_rows(analyse_request(0.168F, 0.012F), SolverChoice::both);
  ASSERT_EQ(both->columns().size(), model->columns().size() + 6);
  EXPECT_EQ(both->columns()[10].stem, "zoe_field_ohm");
  EXPECT_EQ(both->columns()[15].stem, "zoo_model_error_pct");
  const std::vector<Cell> m = first_row(*model);
  const std::vector<Cell> c = first_row(*both);
  for (std::size_t i = 0; i < m.size(); ++i) EXPECT_EQ(c[i].number, m[i].number) << i;
  const field::FieldSolution f = field_at(0.168F, 0.012F);
  EXPECT_EQ(c[10].number, static_cast<float>(f.even.impedance));
  EXPECT_EQ(c[11].number, static_cast<float>(f.odd.impedance));
  EXPECT_NEAR(c[14].number, 100.0 * (m[5].number / f.even.impedance - 1.0), 1e-3);
  EXPECT_NEAR(c[15].number, 100.0 * (m[6].number / f.odd.impedance - 1.0), 1e-3);
  // Next to the shipped coupler the field couples about 0.4 dB harder and
  // has a Zo 2.6 % lower than the model.
  EXPECT_NEAR(c[13].number - m[7].number, 0.4, 0.02);
  EXPECT_NEAR(c[12].number / m[4].number - 1.0, -0.026, 0.002);
}

TEST(FieldRows, TheFieldSynthesisMeetsBothTargetsOnTheField) {
  SynthesiseRequest q{};
  q.b = 0.25F;
  q.t = 0.0014F;
  q.er = 2.2F;
  q.zo = 50.0F;
  q.by_coupling = true;
  q.targets = {{3.0F, 20.0F, 8.5F}, 3, true};
  const auto rows = synthesise_rows(q, SolverChoice::field);
  std::vector<Cell> cells(rows->columns().size());
  int built = 0;
  while (rows->next(cells)) {
    ASSERT_EQ(cells[8].text, "converged");
    const ModesOfCoupler target = modes_from_coupler({50.0F, cells[7].number});
    const field::FieldSolution f = field_at(cells[0].number, cells[1].number, 0.0014F, 1e-7);
    EXPECT_NEAR(f.even.impedance / target.zoe, 1.0, 2e-4);
    EXPECT_NEAR(f.odd.impedance / target.zoo, 1.0, 2e-4);
    ++built;
  }
  EXPECT_EQ(built, 3);
}

// At a wide, well-spaced cross-section the model is within a fraction of a
// per cent, so its sensitivities and the field's agree; both keep the
// exact laws.
TEST(FieldRows, FieldSensitivitiesKeepTheExactLaws) {
  const CrossSection x{.board = {.b = 0.25F, .t = 0.025F, .er = 2.2F}, .w = 0.25F, .s = 0.125F};
  const ImpedanceSensitivities f = field_solution().sensitivities(x);
  const ImpedanceSensitivities m = closed_form_model().sensitivities(x);
  for (const auto& [field_mode, model_mode] :
       {std::pair{f.even, m.even}, std::pair{f.odd, m.odd}}) {
    EXPECT_EQ(field_mode.er, -0.5F);
    EXPECT_NEAR(field_mode.b + field_mode.s + field_mode.t + field_mode.w, 0.0F, 1e-6F);
    EXPECT_NEAR(field_mode.w, model_mode.w, 0.02F);
    EXPECT_NEAR(field_mode.s, model_mode.s, 0.02F);
    EXPECT_NEAR(field_mode.t, model_mode.t, 0.02F);
  }
  // Strips of zero thickness have no thickness term.
  const ImpedanceSensitivities flat = field_solution().sensitivities(
      {.board = {.b = 0.25F, .t = 0.0F, .er = 2.2F}, .w = 0.168F, .s = 0.011F});
  EXPECT_EQ(flat.even.t, 0.0F);
  EXPECT_EQ(flat.odd.t, 0.0F);
}

TEST(FieldRows, ACouplerGivenByItsImpedancesHasNoFieldSolution) {
  ResponseRequest q{};
  q.er = 2.2F;
  q.zo = 50.0F;
  q.coupling_db = -10.0F;
  q.length_inch = 2.0F;
  q.f = single(1000.0F);
  q.rs = q.rl = 50.0F;
  try {
    ResponseRows rows(q, SolverChoice::field);
    ADD_FAILURE() << "no error";
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()),
              "--solver 'field': expected model for a coupler given by Zo and coupling (field "
              "and both need its dimensions: --b --t --w --s)");
  }
}

TEST(FieldRows, TheModelsRowsRememberWhereItIsLeastSure) {
  // The shipped coupler's neighbourhood: thin copper at a narrow gap.
  const auto near_default =
      analyse_rows(analyse_request(0.168F, 0.011F, 0.0014F), SolverChoice::model);
  first_row(*near_default);
  EXPECT_GT(near_default->model_accuracy().worst_bound, 0.01);
  // Wide strips at a wide gap of thick copper: within 1 %.
  const auto wide = analyse_rows(analyse_request(0.25F, 0.125F, 0.025F), SolverChoice::model);
  first_row(*wide);
  EXPECT_LT(wide->model_accuracy().worst_bound, 0.01);
  // The field solution needs no note.
  const auto on_field = analyse_rows(analyse_request(0.168F, 0.011F, 0.0014F), SolverChoice::field);
  first_row(*on_field);
  EXPECT_FALSE(on_field->model_accuracy().seen);
}

TEST(FieldRows, TheFieldCommandGivesTheSolutionWithItsEstimate) {
  FieldRequest q{};
  q.b = 0.25F;
  q.t = 0.002F;
  q.er = 2.2F;
  q.w = single(0.168F);
  q.s = single(0.012F);
  q.tolerance = 1e-6;
  const auto rows = field_rows(q);
  const std::vector<Cell> cells = first_row(*rows);
  const field::FieldSolution f = field_at(0.168F, 0.012F, 0.002F, 1e-6);
  EXPECT_EQ(cells[5].number, static_cast<float>(f.even.impedance));
  EXPECT_LE(cells[10].number, 1e-6F);
  q.tolerance = 1e-14;  // beyond what the refinement can verify
  EXPECT_THROW(first_row(*field_rows(q)), SolverError);
}

}  // namespace
}  // namespace ketrovane::batch
