// The rows every front end takes from the design layer: the cross-sections
// of a grid, the status each row carries, and the response and synthesis
// rows.
#include "design/row_kernel.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "design/field_analysis.hpp"
#include "design/grid.hpp"
#include "design/quarter_wave.hpp"
#include "field/field_loss.hpp"
#include "model/coupling.hpp"

namespace ketrovane {
namespace {

constexpr Board kBoard{.b = 0.25F, .t = 0.0014F, .er = 2.2F};
constexpr Materials kCopper{{1.7F * 3.9370079e-7F, 5.0e-6F}, 0.0009F};

TEST(Grid, WidthsRunOutsideSpacingsAndRatiosAreAsPrinted) {
  const Grid g{kBoard, swept_range({0.1F, 0.2F, 0.05F}, 2), swept_range({0.01F, 0.02F, 0.01F}, 1)};
  ASSERT_EQ(g.rows(), 6);
  EXPECT_EQ(g.at(0).w, 0.1F);
  EXPECT_EQ(g.at(1).s, 0.02F);
  EXPECT_EQ(g.at(2).w, 0.15F);
  EXPECT_EQ(g.at(5).w, 0.2F);
  EXPECT_EQ(g.at(5).s, 0.02F);
  // A swept dimension prints as (1/B) x, a fixed one as x/B: they differ in
  // the last place for some values.
  const Grid fixed{kBoard, single_value(0.17F), single_value(0.011F)};
  EXPECT_EQ(fixed.w_over_b(0.17F), 0.17F / 0.25F);
  EXPECT_EQ(g.w_over_b(0.17F), (1.0F / 0.25F) * 0.17F);
  EXPECT_EQ(swept_range({0.2F, 0.1F, 0.02F}, -1).rows, 0);
}

// The model overflows for strips a ten-thousandth of an inch wide and as
// far apart: the row says so instead of passing for a number.
TEST(RowStatus, ARowWhoseNumbersAreNotFiniteSaysSo) {
  const CrossSection tiny{{0.25F, 0.0F, 2.2F}, 0.0001F, 0.0001F};
  const AnalysisRow a = analysis_row(tiny, kCopper, 1000.0F, Solver::model);
  ASSERT_FALSE(std::isfinite(a.impedances.zoe));
  EXPECT_EQ(a.status, RowStatus::not_finite);
  EXPECT_TRUE(is_failure(a.status));
  EXPECT_EQ(status_name(a.status), "not_finite");
  EXPECT_EQ(sensitivity_row(tiny, Solver::model).status, RowStatus::not_finite);
  const ResponseCoupler c = coupler_of_dimensions(tiny, kCopper, 2.0F, Solver::model);
  EXPECT_EQ(response_row(c, 1000.0F, {50.0F, 50.0F}).status, RowStatus::not_finite);

  const CrossSection usual{kBoard, 0.168F, 0.011F};
  EXPECT_EQ(analysis_row(usual, kCopper, 1000.0F, Solver::model).status, RowStatus::ok);
  EXPECT_EQ(sensitivity_row(usual, Solver::model).status, RowStatus::ok);
}

// Strips several times wider than B make the model leave its zero-thickness
// solution: the numbers are there, and so is the reason they jump.
TEST(RowStatus, TheModelLeavingItsZeroThicknessSolutionIsNamed) {
  const CrossSection wide{{1.0F, 0.0F, 1.0F}, 7.0F, 0.1F};
  const AnalysisRow a = analysis_row(wide, kCopper, 1000.0F, Solver::model);
  ASSERT_TRUE(std::isfinite(a.impedances.zoe));
  EXPECT_EQ(a.status, RowStatus::zero_thickness_abandoned);
  EXPECT_FALSE(is_failure(a.status));
  EXPECT_EQ(sensitivity_row(wide, Solver::model).status, RowStatus::zero_thickness_abandoned);
  const ResponseCoupler c = coupler_of_dimensions(wide, kCopper, 2.0F, Solver::model);
  EXPECT_EQ(response_row(c, 1000.0F, {50.0F, 50.0F}).status, RowStatus::zero_thickness_abandoned);
}

TEST(Response, LosslessFromImpedancesAndLossyFromDimensions) {
  const ModesOfCoupler modes = modes_from_coupler({50.0F, -10.0F});
  const float length = quarter_wave_length(1000.0F, 2.2F);
  const ResponseCoupler lossless = coupler_of_impedances(modes.zoe, modes.zoo, 2.2F, length);
  const ResponseRow centre = response_row(lossless, 1000.0F, {50.0F, 50.0F});
  EXPECT_EQ(centre.section.even_attenuation_db_inch, 0.0F);
  EXPECT_NEAR(centre.response.amplitude_db[Port::coupled], -10.0F, 1e-3F);
  EXPECT_NEAR(centre.response.ohmic_loss_db, 0.0F, 1e-5F);

  const CrossSection x{kBoard, 0.17F, 0.011F};
  const ResponseCoupler lossy = coupler_of_dimensions(x, kCopper, length, Solver::model);
  const ResponseRow row = response_row(lossy, 1000.0F, {50.0F, 50.0F});
  const ModeAttenuation a = mode_attenuation(x, kCopper.conductor, kCopper.loss_tangent, 1000.0F);
  EXPECT_EQ(row.section.even_attenuation_db_inch, a.even_db_per_inch);
  EXPECT_EQ(row.section.odd_attenuation_db_inch, a.odd_db_per_inch);
  EXPECT_LT(row.response.ohmic_loss_db, 0.0F);
}

TEST(Synthesis, TargetsAndStatusesOfEachRow) {
  const SynthesisTargets ten = targets_of_coupling(50.0F, -10.0F);
  EXPECT_NEAR(std::sqrt(ten.zoe * ten.zoo), 50.0F, 1e-4F);
  const SynthesisRow built = synthesis_row(kBoard, ten, Solver::model);
  EXPECT_TRUE(built.built);
  EXPECT_EQ(built.status, RowStatus::converged);
  EXPECT_EQ(built.w, built.model.w);

  // Zo comes back from the pair over a range of even-mode impedances.
  const SynthesisTargets even = targets_of_even_mode(45.0F, 60.0F);
  EXPECT_EQ(even.zoo, 45.0F * 45.0F / 60.0F);
  EXPECT_EQ(even.zo, coupler_from_modes({even.zoe, even.zoo}).zo);

  // 50 ohms at 0.5 dB on 0.0028" copper needs strips closer than the floor
  // allows.
  const SynthesisRow tight =
      synthesis_row({0.25F, 0.0028F, 2.2F}, targets_of_coupling(50.0F, -0.5F), Solver::model);
  EXPECT_FALSE(tight.built);
  EXPECT_TRUE(is_failure(tight.status));
  EXPECT_EQ(tight.model.outcome, SynthesisOutcome::not_representable);
  EXPECT_EQ(status_name(tight.status), "not_representable");
}

// A batch row prints what the model makes of its own W and S, not the
// targets; the interactive table keeps the search's design as its users
// have it stored.
TEST(Synthesis, ABatchRowIsFinishedAndGivesWhatItsOwnDimensionsGive) {
  const Board board{0.062F, 0.00137F, 3.66F};
  const SynthesisTargets nine = targets_of_coupling(50.0F, -9.0F);
  const SynthesisRow row = synthesis_row(board, nine, Solver::model);
  ASSERT_TRUE(row.achieved.has_value());
  const CouplerImpedances own = model_impedances({board, row.w, row.s});
  EXPECT_EQ(row.achieved->zoe, own.zoe);
  EXPECT_EQ(row.achieved->zoo, own.zoo);
  EXPECT_EQ(row.achieved->zo, own.zo);
  EXPECT_EQ(row.achieved->coupling_db, own.coupling_db);
  EXPECT_NEAR(own.zoo, nine.zoo, 2e-6F * nine.zoo);

  SynthesisSetup as_stored;
  as_stored.to_resolution = false;
  const SynthesisRow stored = synthesis_row(board, nine, Solver::model, as_stored);
  EXPECT_FALSE(stored.achieved.has_value());
  EXPECT_EQ(stored.model.outcome, SynthesisOutcome::converged_by_search);
  EXPECT_EQ(stored.w, synthesise_width_and_spacing({board, nine.zoe, nine.zoo}).w);
}

// With both, the field's loss stands beside the model's, each mode's from
// its own field solution by Wheeler's rule, and the model's error is
// 100 (model/field - 1).
TEST(Both, TheFieldsLossAndTheModelsErrorBesideTheModelsRow) {
  const CrossSection x{{0.25F, 0.002F, 2.2F}, 0.168F, 0.012F};
  const AnalysisRow r = analysis_row(x, kCopper, 3000.0F, Solver::both);
  ASSERT_TRUE(r.field_loss.has_value());
  const field::FieldLossResult want = field::field_loss(
      field_geometry(x), {3000.0, kCopper.conductor.resistivity_ohm_inch,
                          kCopper.conductor.roughness_inch, kCopper.loss_tangent});
  ASSERT_TRUE(want.ok());
  EXPECT_NEAR(r.field_loss->even_db_per_inch, want.loss->even.total, 1e-4 * want.loss->even.total);
  EXPECT_NEAR(r.field_loss->odd_db_per_inch, want.loss->odd.total, 1e-4 * want.loss->odd.total);
  EXPECT_FLOAT_EQ(r.field_loss->odd_error_pct,
                  100.0F * (r.attenuation.odd_db_per_inch / r.field_loss->odd_db_per_inch - 1.0F));
  // The model's own columns are those of the model alone.
  const AnalysisRow model = analysis_row(x, kCopper, 3000.0F, Solver::model);
  EXPECT_EQ(r.impedances.zoe, model.impedances.zoe);
  EXPECT_EQ(r.attenuation.odd_db_per_inch, model.attenuation.odd_db_per_inch);
  ASSERT_TRUE(r.field.has_value());
  EXPECT_FLOAT_EQ(r.field->zoe_error_pct, 100.0F * (model.impedances.zoe / r.field->zoe - 1.0F));
}

// A gap below the field solver's range: every row that needs the field
// solution says why it has none, whichever row function and solver, and
// nothing is thrown past the row.
TEST(RowStatus, AFieldFailureIsTheRowsStatus) {
  const StripPair below_range = CrossSection{kBoard, 0.168F, 1e-7F};
  struct Case {
    const char* name;
    RowStatus (*status)(const StripPair& pair, Solver solver);
  };
  const Case rows[] = {
      {"analysis",
       [](const StripPair& p, Solver s) { return analysis_row(p, kCopper, 1000.0F, s).status; }},
      {"sensitivity", [](const StripPair& p, Solver s) { return sensitivity_row(p, s).status; }},
      {"response",
       [](const StripPair& p, Solver s) {
         const ResponseCoupler c = coupler_of_dimensions(p, kCopper, 2.0F, s);
         return response_row(c, 1000.0F, {50.0F, 50.0F}).status;
       }},
  };
  for (const Case& c : rows) {
    for (const Solver solver : {Solver::field, Solver::both}) {
      EXPECT_EQ(c.status(below_range, solver), RowStatus::no_field_solution) << c.name;
    }
  }
  EXPECT_TRUE(is_failure(RowStatus::no_field_solution));
  EXPECT_TRUE(is_failure(RowStatus::no_field_loss));
  EXPECT_EQ(status_name(RowStatus::no_field_loss), "no_field_loss");
  const ResponseCoupler lost = coupler_of_dimensions(below_range, kCopper, 2.0F, Solver::field);
  EXPECT_TRUE(std::isnan(response_row(lost, 1000.0F, {50.0F, 50.0F}).response.input_vswr));
}

// Strips five inches apart: the field's mode impedances differ by less
// than it resolves, so a row whose columns hold the field's coupling says
// uncoupled and why, where a coupling of -inf with status ok passed before;
// rows without the field's coupling (sensitivities on the field, the
// field's response) stay ok.
TEST(RowStatus, StripsTooFarApartForTheFieldToResolveAreUncoupled) {
  const StripPair apart = CrossSection{kBoard, 0.168F, 5.0F};
  const StripPair near = CrossSection{kBoard, 0.168F, 0.011F};
  const auto analysis = [](const StripPair& p, Solver s) {
    const AnalysisRow r = analysis_row(p, kCopper, 1000.0F, s);
    return std::pair{r.status, r.failure};
  };
  const auto sensitivity = [](const StripPair& p, Solver s) {
    const SensitivityRow r = sensitivity_row(p, s);
    return std::pair{r.status, r.failure};
  };
  const auto response = [](const StripPair& p, Solver s) {
    const ResponseRow r =
        response_row(coupler_of_dimensions(p, kCopper, 2.0F, s), 1000.0F, {50.0F, 50.0F});
    return std::pair{r.status, r.failure};
  };
  struct Case {
    const char* name;
    std::pair<RowStatus, std::optional<FieldFailure>> (*row)(const StripPair&, Solver);
    Solver solver;
    RowStatus apart;
  };
  const Case cases[] = {
      {"analysis on the field", analysis, Solver::field, RowStatus::uncoupled},
      {"analysis beside the model", analysis, Solver::both, RowStatus::uncoupled},
      {"sensitivity on the field", sensitivity, Solver::field, RowStatus::ok},
      {"sensitivity beside the model", sensitivity, Solver::both, RowStatus::uncoupled},
      {"response on the field", response, Solver::field, RowStatus::ok},
      {"response beside the model", response, Solver::both, RowStatus::uncoupled},
  };
  for (const Case& c : cases) {
    const auto [status, failure] = c.row(apart, c.solver);
    EXPECT_EQ(status_name(status), status_name(c.apart)) << c.name;
    EXPECT_EQ(failure.has_value(), c.apart == RowStatus::uncoupled) << c.name;
    if (failure) {
      EXPECT_STREQ(failure->what(),
                   "the strips couple more weakly than -123 dB, the field solution's resolution")
          << c.name;
    }
    EXPECT_EQ(c.row(near, c.solver).first, RowStatus::ok) << c.name;
  }
  EXPECT_TRUE(
      std::isnan(analysis_row(apart, kCopper, 1000.0F, Solver::field).impedances.coupling_db));
}

// The bound is twice the resolution, rounded towards no coupling; a
// coupling factor above the resolution is a coupling, and equal impedances
// solved exactly are bounded by the double's own resolution.
TEST(RowStatus, TheUncoupledBoundIsTwiceTheResolution) {
  const StripPair p = CrossSection{kBoard, 0.168F, 5.0F};
  struct Case {
    double zoe, zoo, estimate;
    const char* bound;  // none: coupled
  };
  const Case cases[] = {
      {50.0, 50.0, 1e-6, "-113 dB"},
      {50.0, 49.99991, 1e-6, "-113 dB"},  // (Zoe - Zoo)/(Zoe + Zoo) = 0.9e-6, within it
      {50.0, 49.9998, 1e-6, nullptr},     // twice it: resolved
      {50.0, 50.1, 1e-6, "-113 dB"},      // Zoe below Zoo is no coupling either
      {50.0, 50.0, 0.0, "-307 dB"},
  };
  for (const Case& c : cases) {
    const std::optional<FieldFailure> u = uncoupled(p, c.zoe, c.zoo, c.estimate);
    ASSERT_EQ(u.has_value(), c.bound != nullptr) << c.zoo;
    if (u) {
      EXPECT_NE(std::string(u->what()).find(c.bound), std::string::npos) << u->what();
      EXPECT_EQ(u->status(), RowStatus::uncoupled);
    }
  }
}

TEST(QuarterWave, LengthAndFrequencyAreInverse) {
  EXPECT_NEAR(quarter_wave_length(1000.0F, 2.2F), 1.98937F, 5e-5F);
  EXPECT_NEAR(quarter_wave_frequency(2.0F, 2.2F), 994.685F, 5e-4F);
}

}  // namespace
}  // namespace ketrovane
