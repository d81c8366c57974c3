// Strips in a stack of dielectric layers: the cases whose answer is known
// exactly, a second method (the Fourier-domain moments of
// support/layered_fourier.hpp), each mode's energy-weighted loss tangent and
// dielectric loss, synthesis on a stack, and what the solver refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "field/field_loss.hpp"
#include "field/field_solver.hpp"
#include "field/field_synthesis.hpp"
#include "field/support/layered_fourier.hpp"

namespace ketrovane::field {
namespace {

Stack stack_of(std::initializer_list<DielectricLayer> layers) {
  Stack stack;
  for (const DielectricLayer& layer : layers)
    stack.layers[static_cast<std::size_t>(stack.count++)] = layer;
  return stack;
}

Geometry on_stack(Geometry g, const Stack& stack) {
  g.stack = stack;
  g.b = 0.0;
  for (const DielectricLayer& layer : stack.view()) g.b += layer.thickness;
  return g;
}

FieldSolution solved(const Geometry& g, const Options& o = {}) {
  const FieldResult r = solve(g, o);
  EXPECT_TRUE(r.ok()) << r.message;
  return r.solution.value_or(FieldSolution{});
}

// C/eps0 with the dielectrics, from the reported C0 and eeff.
double filled(const ModeSolution& m) {
  return m.capacitance * m.effective_permittivity;
}

const Geometry kEdge{1.0, 0.0, 0.5, 0.2, 1.0};
const Geometry kOffset{1.0, 0.0, 0.5, 0.2, 1.0, Arrangement::edge_offset, 0.4};
const Geometry kBroadside{1.0, 0.0, 0.5, 0.0, 1.0, Arrangement::broadside, 0.0, 0.2, 0.1};

// Fault: the layered path loses the one-dielectric answer (a wrong free
// charge on a face, bound charge where the permittivity does not change, a
// wrong permittivity per face).  Layers of one er but different loss
// tangents go the layered path, and must give today's capacitances.
TEST(Stack, LayersOfOnePermittivityGiveTheOneDielectricSolution) {
  struct Case {
    Geometry geometry;
    Stack stack;
  };
  const std::vector<Case> cases{
      {{1.0, 0.02, 0.5, 0.2, 1.0, Arrangement::edge_offset, 0.41},
       stack_of({{0.4, 3.66, 0.003}, {0.6, 3.66, 0.001}})},
      {{1.0, 0.0, 0.5, 0.2, 1.0, Arrangement::edge_offset, 0.3},
       stack_of({{0.3, 2.2, 0.003}, {0.3, 2.2, 0.001}, {0.4, 2.2, 0.002}})},
      {{1.0, 0.03, 0.6, 0.0, 1.0, Arrangement::broadside, 0.0, 0.2, 0.15},
       stack_of({{0.37, 4.5, 0.01}, {0.26, 4.5, 0.02}, {0.37, 4.5, 0.01}})},
  };
  for (const Case& c : cases) {
    Geometry one = c.geometry;
    one.er = c.stack.layers[0].er;
    const FieldSolution today = solved(one);
    const FieldSolution layered = solved(on_stack(c.geometry, c.stack));
    for (const auto& [mode, reference] :
         {std::pair{layered.even, today.even}, std::pair{layered.odd, today.odd}}) {
      EXPECT_NEAR(mode.impedance / reference.impedance, 1.0, 1e-9);
      EXPECT_NEAR(mode.effective_permittivity, one.er, 1e-9 * one.er);
      const double lo = std::min(c.stack.layers[0].loss_tangent, c.stack.layers[1].loss_tangent);
      const double hi = std::max(c.stack.layers[0].loss_tangent, c.stack.layers[1].loss_tangent);
      EXPECT_GT(mode.loss_tangent, lo);
      EXPECT_LT(mode.loss_tangent, hi);
    }
  }
}

// Fault: the interface condition or the sheet's free charge is wrong.  Sheets
// on the interface between two layers of equal thickness b/2 have the field
// of one dielectric (the mirror about the centre plane carries the
// interface's charge to zero), so both modes' eeff is (er1 + er2)/2; and the
// capacitance is homogeneous of degree one in the permittivities.
TEST(Stack, SheetsOnTheMiddleInterfaceSeeTheMeanPermittivity) {
  for (const auto& [er1, er2] : {std::pair{2.0, 4.0}, std::pair{10.2, 2.2}}) {
    const Geometry g = on_stack(kEdge, stack_of({{0.5, er1, 0.0}, {0.5, er2, 0.0}}));
    const FieldResult r = solve(g);
    ASSERT_TRUE(r.ok()) << r.message;
    const FieldSolution& s = *r.solution;
    const double mean = (er1 + er2) / 2;
    EXPECT_NEAR(s.even.effective_permittivity / mean, 1.0, std::max(r.error_estimate, 1e-12));
    EXPECT_NEAR(s.odd.effective_permittivity / mean, 1.0, std::max(r.error_estimate, 1e-12));
  }
  for (const Geometry& shape : {kOffset, kBroadside}) {
    const Stack base = shape.arrangement == Arrangement::broadside
                           ? stack_of({{0.35, 2.2, 0.0}, {0.3, 3.66, 0.0}, {0.35, 2.2, 0.0}})
                           : stack_of({{0.4, 3.66, 0.0}, {0.3, 3.0, 0.0}, {0.3, 2.2, 0.0}});
    Stack scaled = base;
    for (int i = 0; i < scaled.count; ++i) scaled.layers[static_cast<std::size_t>(i)].er *= 2.5;
    const FieldSolution one = solved(on_stack(shape, base));
    const FieldSolution two = solved(on_stack(shape, scaled));
    EXPECT_NEAR(filled(two.even) / filled(one.even), 2.5, 1e-12);
    EXPECT_NEAR(filled(two.odd) / filled(one.odd), 2.5, 1e-12);
  }
}

// Fault: anything in the layered solution -- the normal-field kernel and
// its near corrections, the panels on the interfaces, their reach, the
// twin's image of the interfaces.  Fourier-domain moments, a method
// sharing nothing with the solver but the physics, agree within 1e-4, and
// the solver's estimate covers the difference.
TEST(Stack, AgreesWithTheFourierDomainMoments) {
  struct Case {
    Geometry shape;
    std::vector<testing::FourierLayer> layers;
  };
  const std::vector<Case> cases{
      {kOffset, {{0.4, 3.66}, {0.6, 3.0}}},
      {{1.0, 0.0, 0.4, 0.15, 1.0, Arrangement::edge_offset, 0.5},
       {{0.2, 2.0}, {0.2, 3.66}, {0.1, 4.0}, {0.2, 3.0}, {0.3, 2.5}}},
      {kEdge, {{0.3, 10.2}, {0.4, 2.2}, {0.3, 10.2}}},
      {kBroadside, {{0.4, 3.5}, {0.2, 3.66}, {0.4, 3.5}}},
      {kBroadside, {{0.15, 2.2}, {0.25, 3.5}, {0.2, 4.5}, {0.25, 3.5}, {0.15, 2.2}}},
  };
  for (const Case& c : cases) {
    Stack stack;
    for (const testing::FourierLayer& l : c.layers)
      stack.layers[static_cast<std::size_t>(stack.count++)] = {l.thickness, l.er, 0.0};
    const Geometry g = on_stack(c.shape, stack);
    const FieldResult r = solve(g);
    ASSERT_TRUE(r.ok()) << r.message;
    const bool stacked = g.arrangement == Arrangement::broadside;
    const double height =
        stacked ? 0.5 + g.sv / 2 : (g.arrangement == Arrangement::edge ? 0.5 : g.h);
    const testing::FourierPair pair{g.w, height, stacked ? g.wo / 2 : (g.s + g.w) / 2, stacked};
    const testing::FourierCapacitances reference = testing::fourier_capacitances(c.layers, pair);
    const FieldSolution& s = *r.solution;
    for (const auto& [mode, exact] :
         {std::pair{s.even, reference.even}, std::pair{s.odd, reference.odd}}) {
      const double error = std::abs(filled(mode) / exact - 1.0);
      EXPECT_LT(error, 1e-4) << c.layers.size() << " layers";
      // C = C0 eeff: the estimate covers C0 and eeff, so twice it covers C.
      EXPECT_LT(error, 2.0 * r.error_estimate) << c.layers.size() << " layers";
    }
  }
}

// Fault: wide strips lose the layers in their parallel-plate middle (the
// part cut away from very wide strips charged as one dielectric, or with
// its layers in parallel).  Widening a strip from 5 b (solved whole) to
// 30 b (its middle cut away) adds the layered plates' C/eps0 per unit width,
// 1/sum(d/er) to each plane.
TEST(Stack, WideStripsAddTheLayeredPlates) {
  const Stack stack = stack_of({{0.4, 3.66, 0.0}, {0.6, 3.0, 0.0}});
  Geometry narrow = on_stack({1.0, 0.02, 5.0, 0.2, 1.0, Arrangement::edge_offset, 0.41}, stack);
  Geometry wide = narrow;
  wide.w = 30.0;
  const FieldSolution a = solved(narrow);
  const FieldSolution b = solved(wide);
  const double plates = 1.0 / (0.4 / 3.66) + 1.0 / (0.58 / 3.0);
  EXPECT_NEAR((filled(b.even) - filled(a.even)) / (25.0 * plates), 1.0, 1e-6);
  EXPECT_NEAR((filled(b.odd) - filled(a.odd)) / (25.0 * plates), 1.0, 1e-6);
}

// Fault: the energy shares do not sum to one, or are not each layer's.
// Every layer of one loss tangent gives the modes that loss tangent; in two
// layers it lies between theirs and moves toward the layer that gains
// field; a stack of one dielectric loses as today.
TEST(Stack, LossTangentIsTheModesEnergyWeightedMean) {
  const Stack same = stack_of({{0.4, 3.66, 0.002}, {0.2, 10.2, 0.002}, {0.4, 2.2, 0.002}});
  for (const Geometry& shape : {kOffset, kEdge}) {
    const FieldSolution s = solved(on_stack(shape, same));
    EXPECT_NEAR(s.even.loss_tangent, 0.002, 1e-14);
    EXPECT_NEAR(s.odd.loss_tangent, 0.002, 1e-14);
  }
  const FieldSolution stacked = solved(
      on_stack(kBroadside, stack_of({{0.4, 3.5, 0.004}, {0.2, 3.66, 0.001}, {0.4, 3.5, 0.004}})));
  // The odd mode's field is held between the strips, in the core.
  EXPECT_LT(stacked.odd.loss_tangent, stacked.even.loss_tangent);
  EXPECT_GT(stacked.odd.loss_tangent, 0.001);
  EXPECT_LT(stacked.even.loss_tangent, 0.004);
  // Strips on a lossy core under a clean prepreg: a higher core permittivity
  // draws more of the field into it.
  const auto core_share = [](double er_core) {
    const Geometry g = on_stack(kOffset, stack_of({{0.4, er_core, 0.01}, {0.6, 3.0, 0.0}}));
    return solved(g).even.loss_tangent / 0.01;
  };
  EXPECT_GT(core_share(6.0), core_share(3.66));
  EXPECT_GT(core_share(3.66), 0.0);
  EXPECT_LT(core_share(6.0), 1.0);

  constexpr LossInputs kInputs{2000.0, 1.7 * 3.937008e-07, 0.0, 0.003};
  Geometry inches{0.25, 0.0014, 0.05, 0.03, 3.66, Arrangement::edge_offset, 0.1257};
  const FieldLossResult today = field_loss(inches, kInputs);
  inches.stack = stack_of({{0.125, 3.66, 0.003}, {0.125, 3.66, 0.003}});
  const FieldLossResult uniform = field_loss(inches, kInputs);
  ASSERT_TRUE(today.ok() && uniform.ok());
  EXPECT_DOUBLE_EQ(uniform.loss->even.dielectric, today.loss->even.dielectric);
  EXPECT_DOUBLE_EQ(uniform.loss->odd.conductor, today.loss->odd.conductor);
}

// Fault: a mode's loss from the wrong medium.  In a stack each mode's
// dielectric loss follows its own eeff and loss tangent, and its conductor
// loss is the air-filled one times its own sqrt(eeff).
TEST(Stack, EachModeLosesInItsOwnMedium) {
  constexpr LossInputs kInputs{2000.0, 1.7 * 3.937008e-07, 0.0, 0.0};
  Geometry inches{0.25, 0.0, 0.05, 0.03, 1.0, Arrangement::edge_offset, 0.1};
  inches.stack = stack_of({{0.1, 3.66, 0.004}, {0.15, 3.0, 0.002}});
  const FieldLossResult loss = field_loss(inches, kInputs);
  ASSERT_TRUE(loss.ok()) << loss.message;
  const FieldSolution modes = solved(inches);
  Geometry air = inches;
  air.stack = {};
  air.er = 1.0;
  const FieldLossResult in_air = field_loss(air, kInputs);
  ASSERT_TRUE(in_air.ok());
  for (const auto& [lossy, mode, bare] :
       {std::tuple{loss.loss->even, modes.even, in_air.loss->even},
        std::tuple{loss.loss->odd, modes.odd, in_air.loss->odd}}) {
    EXPECT_NEAR(lossy.conductor / bare.conductor, std::sqrt(mode.effective_permittivity), 1e-4);
    // 8.686 pi sqrt(eeff) tan(delta) f / c, c = 11802.8545 inches per microsecond.
    EXPECT_NEAR(lossy.dielectric,
                8.686 * 3.1415927 * std::sqrt(mode.effective_permittivity) * mode.loss_tangent *
                    2000.0 / 11802.8545,
                1e-6 * lossy.dielectric);
  }
}

// Fault: synthesis ignores the stack (solving one dielectric) or cannot
// start on it.  Side by side for w and s, one above the other for w and wo;
// w and sv is refused on a stack (the core fixes sv).
TEST(Stack, SynthesisMeetsItsTargetsOnAStack) {
  // Sheets, whose solutions are the cheapest.
  SynthesisGoal side{0.0, 0.0, 1.0, 65.0, 38.0, 0.0, 0.0, Arrangement::edge_offset, 0.04};
  side.stack = stack_of({{0.04, 3.66, 0.0}, {0.05, 3.0, 0.0}});
  side.b = 0.09;
  side.w0 = 0.03;
  side.s0 = 0.01;
  SynthesisGoal above{0.0, 0.0, 1.0, 90.0, 30.0, 0.0, 0.0, Arrangement::broadside, 0.0, 0.01};
  above.stack = stack_of({{0.0386, 3.52, 0.0}, {0.01, 3.66, 0.0}, {0.0386, 3.52, 0.0}});
  above.b = 0.0872;
  above.sv = 0.01;
  above.unknowns = SynthesisUnknowns::width_and_offset;
  for (const SynthesisGoal& goal : {side, above}) {
    const SynthesisResult r = synthesise(goal);
    ASSERT_TRUE(r.converged) << r.message;
    EXPECT_NEAR(r.zoe / goal.zoe, 1.0, 2e-4);
    EXPECT_NEAR(r.zoo / goal.zoo, 1.0, 2e-4);
  }
  SynthesisGoal gap = above;
  gap.unknowns = SynthesisUnknowns::width_and_vertical_gap;
  const SynthesisResult refused = synthesise(gap);
  EXPECT_FALSE(refused.converged);
  EXPECT_NE(refused.message.find("core"), std::string::npos) << refused.message;
}

// Fault: a stack the solver cannot solve reaches it.  Each refusal names
// what is wrong.
TEST(Stack, RefusesWhatItDoesNotSolve) {
  struct Case {
    Geometry geometry;
    const char* names;
  };
  Geometry through{1.0, 0.1, 0.5, 0.2, 1.0, Arrangement::edge_offset, 0.4};
  Geometry unsymmetric = kBroadside;
  Geometry bad_sum = kOffset;
  bad_sum.stack = stack_of({{0.4, 3.66, 0.0}, {0.5, 3.0, 0.0}});
  const std::vector<Case> cases{
      {on_stack(through, stack_of({{0.4, 3.66, 0.0}, {0.6, 3.0, 0.0}})), "through the strips"},
      {on_stack(unsymmetric, stack_of({{0.4, 3.5, 0.0}, {0.2, 3.66, 0.0}, {0.4, 3.4, 0.0}})),
       "layers 1 and 3 differ"},
      {bad_sum, "add up to"},
      {on_stack(kOffset, stack_of({{0.4, 0.5, 0.0}, {0.6, 3.0, 0.0}})), "layer 1: er"},
  };
  for (const Case& c : cases) {
    const FieldResult r = solve(c.geometry);
    EXPECT_EQ(r.status, FieldStatus::invalid_input);
    EXPECT_NE(r.message.find(c.names), std::string::npos) << r.message;
  }
}

}  // namespace
}  // namespace ketrovane::field
