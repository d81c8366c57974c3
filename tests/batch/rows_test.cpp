// The rows of the batch commands against the design layer's sweeps and
// tables, which the interactive reports print.
#include "batch/rows.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "design/frequency_sweep.hpp"
#include "design/impedance_sweep.hpp"
#include "design/sensitivity_sweep.hpp"
#include "design/synthesis_table.hpp"
#include "model/coupling.hpp"

namespace ketrovane::batch {
namespace {

constexpr Materials kCopper{{1.7F * 3.9370079e-7F, 5.0e-6F}, 1.7F, 0.0009F};

SweepAxis swept(float min, float max, float step, Quotient q) {
  return {{min, max, step}, step_count({min, max, step}, q) + 1, true};
}
SweepAxis single(float v) {
  return {{v, v, 0.0F}, 1, false};
}

std::vector<std::vector<Cell>> all_rows(RowSource& source) {
  std::vector<std::vector<Cell>> rows;
  std::vector<Cell> cells(source.columns().size());
  while (source.next(cells)) rows.push_back(cells);
  EXPECT_EQ(static_cast<std::int64_t>(rows.size()), source.rows());
  return rows;
}

TEST(AnalyseRows, AreTheImpedanceSweepRowsOverWidthsAndOverSpacings) {
  for (const SweptDimension swept_dimension : {SweptDimension::width, SweptDimension::spacing}) {
    const bool widths = swept_dimension == SweptDimension::width;
    const Range range = widths ? Range{0.05F, 0.3F, 0.0125F} : Range{0.002F, 0.2F, 0.003F};
    AnalyseRequest q{};
    q.b = 0.25F;
    q.t = 0.0014F;
    q.er = 2.2F;
    q.w = widths ? swept(range.min, range.max, range.step, Quotient::double_precision)
                 : single(0.168F);
    q.s = widths ? single(0.011F)
                 : swept(range.min, range.max, range.step, Quotient::double_precision);
    q.materials = kCopper;
    q.f_mhz = 1000.0F;
    const ImpedanceSweep sweep(
        {{.board = {.b = 0.25F, .t = 0.0014F, .er = 2.2F}, .w = 0.168F, .s = 0.011F},
         swept_dimension,
         range,
         kCopper.conductor,
         0.0009F,
         1000.0F});
    const auto rows = all_rows(*analyse_rows(q, closed_form_model()));
    ASSERT_EQ(static_cast<std::int64_t>(rows.size()), sweep.rows());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const ImpedanceRow r = sweep.row(static_cast<std::int64_t>(i));
      const std::vector<float> expected = {
          r.geometry.w,
          r.geometry.s,
          widths ? r.ratio_to_b : r.geometry.w / r.geometry.board.b,
          widths ? r.geometry.s / r.geometry.board.b : r.ratio_to_b,
          r.analysis.zo,
          r.analysis.zoe,
          r.analysis.zoo,
          r.analysis.coupling_db,
          -r.attenuation.even_db_per_inch,
          -r.attenuation.odd_db_per_inch};
      for (std::size_t c = 0; c < expected.size(); ++c) {
        EXPECT_EQ(rows[i][c].number, expected[c]) << "row " << i << " column " << c;
      }
    }
  }
}

TEST(AnalyseRows, AProductRunsTheWidthsOutsideTheSpacings) {
  AnalyseRequest q{};
  q.b = 0.25F;
  q.t = 0.0F;
  q.er = 2.2F;
  q.w = swept(0.1F, 0.2F, 0.05F, Quotient::double_precision);
  q.s = swept(0.01F, 0.04F, 0.01F, Quotient::double_precision);
  q.materials = kCopper;
  q.f_mhz = 1000.0F;
  const auto rows = all_rows(*analyse_rows(q, closed_form_model()));
  ASSERT_EQ(rows.size(), 12U);
  EXPECT_EQ(rows[0][0].number, 0.1F);
  EXPECT_EQ(rows[3][1].number, row_value(0.01F, 3, 0.01F));
  EXPECT_EQ(rows[4][0].number, row_value(0.1F, 1, 0.05F));
  EXPECT_EQ(rows[4][1].number, 0.01F);
}

// A solver that marks its results: the rows take every value from the
// solver they are given.
class MarkedSolver final : public CrossSectionSolver {
 public:
  [[nodiscard]] std::string_view name() const override { return "marked"; }
  [[nodiscard]] DimensionAnalysis impedances(const CrossSection&) const override {
    return {101.0F, 102.0F, 103.0F, -104.0F, {}};
  }
  [[nodiscard]] ModeAttenuation attenuation(const CrossSection&, const Conductor&, float,
                                            float) const override {
    return {0.5F, 0.25F};
  }
  [[nodiscard]] ImpedanceSensitivities sensitivities(const CrossSection&) const override {
    return {201.0F, 202.0F, {1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}};
  }
};

TEST(Solver, EveryPhysicalColumnComesFromTheSolver) {
  const MarkedSolver solver;
  AnalyseRequest a{};
  a.b = 0.25F;
  a.er = 2.2F;
  a.w = single(0.1F);
  a.s = single(0.01F);
  const auto rows = all_rows(*analyse_rows(a, solver));
  const std::vector<float> physical = {103.0F, 101.0F, 102.0F, -104.0F, -0.5F, -0.25F};
  for (std::size_t c = 0; c < physical.size(); ++c) EXPECT_EQ(rows[0][c + 4].number, physical[c]);

  SensitivityRequest s{};
  s.b = 0.25F;
  s.er = 2.2F;
  s.w = single(0.1F);
  s.s = single(0.01F);
  const auto srows = all_rows(*sensitivity_rows(s, solver));
  // zoe, zoo, then er, b, s, t, w of each mode.
  const std::vector<float> sens = {201, 202, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  for (std::size_t c = 0; c < sens.size(); ++c) EXPECT_EQ(srows[0][c + 2].number, sens[c]);
}

TEST(SensitivityRows, AreTheSensitivitySweepRows) {
  SensitivityRequest q{};
  q.b = 0.3F;
  q.t = 0.002F;
  q.er = 3.0F;
  q.w = swept(0.05F, 0.25F, 0.025F, Quotient::single_precision);
  q.s = single(0.02F);
  const SensitivitySweep sweep({{.board = {.b = 0.3F, .t = 0.002F, .er = 3.0F}, .w = 0, .s = 0.02F},
                                SweptDimension::width,
                                {0.05F, 0.25F, 0.025F},
                                step_count({0.05F, 0.25F, 0.025F}, Quotient::single_precision)});
  const auto rows = all_rows(*sensitivity_rows(q, closed_form_model()));
  ASSERT_EQ(static_cast<std::int64_t>(rows.size()), sweep.rows());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const ImpedanceSensitivities z = sweep.row(static_cast<std::int64_t>(i)).sensitivities;
    const std::vector<float> expected = {z.zoe,    z.zoo,    z.even.er, z.even.b,
                                         z.even.s, z.even.t, z.even.w,  z.odd.er,
                                         z.odd.b,  z.odd.s,  z.odd.t,   z.odd.w};
    for (std::size_t c = 0; c < expected.size(); ++c) EXPECT_EQ(rows[i][c + 2].number, expected[c]);
  }
}

void expect_response_rows(const ResponseRequest& q, const FrequencySweepInput& input) {
  ResponseRows source(q, closed_form_model());
  const auto rows = all_rows(source);
  const FrequencySweep sweep(input);
  ASSERT_EQ(static_cast<std::int64_t>(rows.size()), sweep.rows());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const FrequencyRow r = sweep.row(static_cast<std::int64_t>(i));
    const auto& db = r.response.amplitude_db;
    const auto& deg = r.response.phase_deg;
    const std::vector<float> expected = {r.f_mhz,
                                         db[Port::reflected],
                                         deg[Port::reflected],
                                         db[Port::through],
                                         deg[Port::through],
                                         db[Port::isolated],
                                         deg[Port::isolated],
                                         db[Port::coupled],
                                         deg[Port::coupled],
                                         r.response.input_vswr,
                                         r.response.phase_difference_deg,
                                         r.response.quadrature_error_deg,
                                         r.response.ohmic_loss_db,
                                         r.response.total_loss_db};
    for (std::size_t c = 0; c < expected.size(); ++c) {
      EXPECT_EQ(rows[i][c].number, expected[c]) << "row " << i << " column " << c;
    }
  }
}

TEST(ResponseRows, AreTheFrequencySweepRowsLosslessAndLossy) {
  ResponseRequest q{};
  q.er = 2.2F;
  q.zo = 50.0F;
  q.coupling_db = -10.0F;
  q.length_inch = 1.9894F;
  q.f = swept(500.0F, 1500.0F, 50.0F, Quotient::single_precision);
  q.rs = 40.0F;
  q.rl = 60.0F;
  const ModesOfCoupler modes = modes_from_coupler({50.0F, -10.0F});
  FrequencySweepInput input{modes.zoe, modes.zoo,      2.2F,
                            1.9894F,   {40.0F, 60.0F}, std::nullopt,
                            500.0F,    50.0F,          static_cast<int>(q.f.rows - 1)};
  expect_response_rows(q, input);

  const CrossSection x{.board = {.b = 0.25F, .t = 0.0014F, .er = 2.2F}, .w = 0.168F, .s = 0.011F};
  q.dimensions = x;
  q.materials = kCopper;
  const DimensionAnalysis a = analyse_dimensions(x);
  input.zoe = a.zoe;
  input.zoo = a.zoo;
  input.losses = LossyCoupler{x, kCopper.conductor, kCopper.loss_tangent};
  expect_response_rows(q, input);
}

TEST(SynthesiseRows, AreTheSynthesisTableRowsOfEachCouplingLevel) {
  SynthesiseRequest q{
      0.25F, 0.0014F, 2.2F, 50.0F, true, swept(6.0F, 20.0F, 1.0F, Quotient::single_precision), {}};
  auto source = synthesise_rows(q);
  const auto rows = all_rows(*source);
  SynthesisTable table({0.25F, 0.0014F, 2.2F, 50.0F, CouplingLevels{6.0F, 20.0F, 1.0F}});
  // The table runs from the weakest level, the rows from the first of the range.
  for (std::size_t i = rows.size(); i-- > 0;) {
    const SynthesisStep step = table.next();
    ASSERT_EQ(step.kind, SynthesisStep::Kind::row);
    const SynthesisRow& r = step.row;
    const std::vector<float> expected = {r.dimensions.w, r.dimensions.s, r.w_over_b, r.s_over_b,
                                         r.zo,           r.zoe,          r.zoo,      r.coupling_db};
    for (std::size_t c = 0; c < expected.size(); ++c) EXPECT_EQ(rows[i][c].number, expected[c]);
    EXPECT_EQ(rows[i][8].text, "converged");
  }
  EXPECT_EQ(source->unbuilt_rows(), 0);
}

TEST(SynthesiseRows, EvenModeTargetsKeepZoAndFormZooFromIt) {
  SynthesiseRequest q{0.25F, 0.0014F, 2.2F,
                      50.0F, false,   swept(55.0F, 90.0F, 5.0F, Quotient::single_precision),
                      {}};
  const auto rows = all_rows(*synthesise_rows(q));
  ASSERT_EQ(rows.size(), 8U);
  for (const auto& row : rows) {
    const float zoe = row[5].number;
    EXPECT_EQ(row[6].number, 50.0F * 50.0F / zoe);
    EXPECT_EQ(row[7].number, coupler_from_modes({zoe, 50.0F * 50.0F / zoe}).coupling_db);
  }
}

TEST(SynthesiseRows, RowsThatCannotBeBuiltSayWhyAndLeaveTheirDimensionsEmpty) {
  SynthesiseRequest q{
      0.25F, 0.0F, 2.2F, 50.0F, true, swept(-3.0F, -0.5F, 0.5F, Quotient::single_precision), {}};
  auto source = synthesise_rows(q);
  const auto rows = all_rows(*source);
  std::int64_t floors = 0;
  for (const auto& row : rows) {
    const bool built = row[8].text == "converged";
    if (!built) {
      ++floors;
      EXPECT_EQ(row[8].text, "spacing_floor");
      for (std::size_t c = 0; c < 4; ++c) EXPECT_EQ(row[c].kind, CellKind::empty);
    }
    EXPECT_EQ(row[5].kind, CellKind::number);  // the targets stay
  }
  EXPECT_GT(floors, 0);
  EXPECT_EQ(source->unbuilt_rows(), floors);
  EXPECT_EQ(status_name(SynthesisOutcome::width_floor), "width_floor");
  EXPECT_EQ(status_name(SynthesisOutcome::unusable_targets), "unusable");
  EXPECT_EQ(status_name(SynthesisOutcome::not_representable), "not_representable");
  EXPECT_EQ(status_name(SynthesisOutcome::solved_by_safeguard), "converged");
}

}  // namespace
}  // namespace ketrovane::batch
