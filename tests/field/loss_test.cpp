// Loss from the field solution: the skin-effect and dielectric scalings, the
// roughness factor's bounds, and a conductor loss that is a smooth function
// of the cross-section (the recession difference must not pick up mesh noise).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "field/field_loss.hpp"
#include "references.hpp"

namespace ketrovane::field {
namespace {

constexpr Geometry kCoupler{0.25, 0.01, 0.2, 0.04, 2.2};  // inches
constexpr double kCopper = 1.7 * 3.937008e-07;            // ohm-inch

FieldLoss loss_of(const Geometry& g, const LossInputs& in, const Options& o = {}) {
  const FieldLossResult r = field_loss(g, in, o);
  EXPECT_TRUE(r.ok()) << r.message;
  return r.loss.value_or(FieldLoss{});
}

TEST(FieldLoss, SkinEffectGoesAsRootFrequencyAndDielectricLossAsFrequency) {
  const FieldLoss at1 = loss_of(kCoupler, {1000.0, kCopper, 0.0, 0.002});
  const FieldLoss at4 = loss_of(kCoupler, {4000.0, kCopper, 0.0, 0.002});
  EXPECT_NEAR(at4.even.conductor / at1.even.conductor, 2.0, 1e-12);
  EXPECT_NEAR(at4.odd.conductor / at1.odd.conductor, 2.0, 1e-12);
  EXPECT_NEAR(at4.even.dielectric / at1.even.dielectric, 4.0, 1e-12);
  // 8.686 pi sqrt(er) tan(delta) f / c, c = 11802.8545 inches per microsecond.
  EXPECT_NEAR(at1.odd.dielectric, 8.686 * 3.1415927 * std::sqrt(2.2) * 0.002 * 1000.0 / 11802.8545,
              1e-12);
  EXPECT_DOUBLE_EQ(at1.even.total, at1.even.conductor + at1.even.dielectric);
  EXPECT_GT(at1.odd.conductor, at1.even.conductor);  // the odd mode crowds current into the gap
}

TEST(FieldLoss, RoughnessRaisesConductorLossUpToTwofold) {
  const FieldLoss smooth = loss_of(kCoupler, {1000.0, kCopper, 0.0, 0.0});
  const FieldLoss skin_deep =
      loss_of(kCoupler, {1000.0, kCopper, 8e-5, 0.0});  // about one skin depth
  const FieldLoss rough = loss_of(kCoupler, {1000.0, kCopper, 1e-2, 0.0});
  EXPECT_GT(skin_deep.even.conductor / smooth.even.conductor, 1.5);
  EXPECT_LT(skin_deep.even.conductor / smooth.even.conductor, 1.8);
  EXPECT_NEAR(rough.odd.conductor / smooth.odd.conductor, 2.0, 1e-4);
}

TEST(FieldLoss, NoFrequencyOrAPerfectConductorLeavesNoConductorLoss) {
  const FieldLoss dc = loss_of(kCoupler, {0.0, kCopper, 5e-6, 0.002});
  EXPECT_EQ(dc.even.total, 0.0);
  EXPECT_EQ(dc.odd.total, 0.0);
  const FieldLoss perfect = loss_of(kCoupler, {2500.0, 0.0, 5e-6, 0.002});
  EXPECT_EQ(perfect.even.conductor, 0.0);
  EXPECT_GT(perfect.even.dielectric, 0.0);
}

// The loss of a cross-section a part per million wider differs by about a
// part per million, not by the discretisation error: both recessions of each
// cross-section are solved on one panel layout.
TEST(FieldLoss, ConductorLossIsSmoothInTheDimensions) {
  for (const double t : {0.0, 0.01}) {
    const Geometry g{0.25, t, 0.2, 0.04, 2.2};
    Geometry nudged = g;
    nudged.w *= 1.0 + 1e-6;
    const FieldLoss a = loss_of(g, {1000.0, kCopper, 0.0, 0.0});
    const FieldLoss b = loss_of(nudged, {1000.0, kCopper, 0.0, 0.0});
    EXPECT_NEAR(b.even.conductor / a.even.conductor, 1.0, 1e-5) << "t " << t;
    EXPECT_NEAR(b.odd.conductor / a.odd.conductor, 1.0, 1e-5) << "t " << t;
  }
}

TEST(FieldLoss, DefaultLossIsWithinItsEstimateOfTheConvergedOne) {
  const LossInputs in{1000.0, kCopper, 5e-6, 0.0};
  const FieldLoss coarse = loss_of(kCoupler, in);
  const FieldLoss fine = loss_of(kCoupler, in, {1e-8, 8});
  EXPECT_LE(std::abs(coarse.even.conductor / fine.even.conductor - 1.0),
            coarse.even.error_estimate + fine.even.error_estimate);
  EXPECT_LE(std::abs(coarse.odd.conductor / fine.odd.conductor - 1.0),
            coarse.odd.error_estimate + fine.odd.error_estimate);
  EXPECT_LE(coarse.odd.error_estimate, 1e-4);
}

// A strip many gaps wide is two faces and two of Cohn's semi-infinite edges:
// per strip C/eps = 4w/(b - t) + 4 C'f(t/b), whose logarithmic derivative
// under the recession (w and t shrink by 2n, b grows by 2n; a sheet keeps
// t = 0) gives the conductor loss in closed form.
double wide_strip_log_slope(double b, double t, double w) {
  const auto capacitance = [&](double n) {
    const double bn = b + 2.0 * n;
    const double tn = t == 0.0 ? 0.0 : t - 2.0 * n;
    return 4.0 * (w - 2.0 * n) / (bn - tn) + 4.0 * testing::cohn_edge_fringing(tn / bn);
  };
  const double h = 1e-6 * b;
  return std::log(capacitance(h) / capacitance(-h)) / (2.0 * h);
}

TEST(FieldLoss, WideStripLosesAsItsPlatesAndCohnEdges) {
  const LossInputs in{1000.0, kCopper, 0.0, 0.0};
  const double rs = std::sqrt(1000.0 * 3.1415927 * 0.03191858 * kCopper);
  for (const double t : {0.0, 0.025}) {
    const Geometry wide{0.25, t, 2.5, 10.0, 1.0};  // 10 b wide, twin 40 b away
    const FieldLoss f = loss_of(wide, in, {1e-7, 8});
    const double expected =
        -8.686 * rs * wide_strip_log_slope(0.25, t, 2.5) / (2.0 * kFreeSpaceImpedance);
    EXPECT_NEAR(f.even.conductor / expected, 1.0, 1e-6) << "t " << t;
    EXPECT_NEAR(f.odd.conductor / expected, 1.0, 1e-6) << "t " << t;
  }
}

// Strips of zero thickness: Wheeler's rule on Cohn's exact capacitances.  The
// recession widens the gap by 2n while the strips narrow by 2n and the planes
// part by 2n, so the odd mode's loss at narrow gaps depends on the gap's share.
struct ZeroThicknessSlopes {
  double even;  // d(ln C)/dn, n in inches
  double odd;
};

ZeroThicknessSlopes cohn_log_slopes(double b, double w, double s) {
  const auto capacitance = [&](double n) {
    const double bn = b + 2.0 * n;
    return testing::cohn_zero_thickness((w - 2.0 * n) / bn, (s + 2.0 * n) / bn);
  };
  const double h = 1e-5 * s;
  const auto plus = capacitance(h);
  const auto minus = capacitance(-h);
  return {std::log(plus.even / minus.even) / (2.0 * h), std::log(plus.odd / minus.odd) / (2.0 * h)};
}

TEST(FieldLoss, ZeroThicknessLossIsWheelersRuleOnCohnsSolution) {
  const double sections[][2] = {{0.5, 0.02}, {0.3, 0.1}, {1.0, 0.05}};  // w/b, s/b
  const double db_per_slope = -8.686 * std::sqrt(2.2) / (2.0 * kFreeSpaceImpedance);
  for (const auto& [w, s] : sections) {
    const ConductorLossFactorResult r = conductor_loss_factor({0.25, 0.0, w * 0.25, s * 0.25, 2.2});
    ASSERT_TRUE(r.ok()) << r.message;
    const ZeroThicknessSlopes exact = cohn_log_slopes(0.25, w * 0.25, s * 0.25);
    const double allowed = r.error_estimate + 1e-6;
    EXPECT_NEAR(r.factor->even / (db_per_slope * exact.even), 1.0, allowed) << "w/b " << w;
    EXPECT_NEAR(r.factor->odd / (db_per_slope * exact.odd), 1.0, allowed) << "w/b " << w;
  }
}

}  // namespace
}  // namespace ketrovane::field

namespace ketrovane::field {
namespace {

// Every conductor surface receding by n, written out per arrangement: the
// strips thin and narrow by 2n, the planes part by 2n, the lower one moving
// down by n (off the centre plane h grows by n), and the gaps between the
// strips grow by 2n.
Geometry receded_by(Geometry g, double n) {
  g.b += 2.0 * n;
  g.w -= 2.0 * n;
  if (g.t != 0.0) g.t -= 2.0 * n;
  g.s += 2.0 * n;
  g.h += n;
  g.sv += 2.0 * n;
  return g;
}

struct Slopes {
  double even;
  double odd;
};

// d(ln C)/dn by a central difference of two independent, tightly converged
// solutions.
Slopes solver_log_slopes(const Geometry& g, double step) {
  const FieldResult plus = solve(receded_by(g, step), {1e-10, 9});
  const FieldResult minus = solve(receded_by(g, -step), {1e-10, 9});
  EXPECT_TRUE(plus.ok() && minus.ok()) << plus.message << minus.message;
  if (!plus.ok() || !minus.ok()) return {0.0, 0.0};
  const auto slope = [&](double cp, double cm) { return std::log(cp / cm) / (2.0 * step); };
  return {slope(plus.solution->even.capacitance, minus.solution->even.capacitance),
          slope(plus.solution->odd.capacitance, minus.solution->odd.capacitance)};
}

std::vector<Geometry> arrangements() {
  const std::vector<Geometry> all{
      {0.25, 0.005, 0.15, 0.02, 2.2, Arrangement::edge_offset, 0.08},
      {0.25, 0.0, 0.15, 0.02, 2.2, Arrangement::edge_offset, 0.08},
      {0.25, 0.005, 0.15, 0.0, 2.2, Arrangement::broadside, 0.0, 0.03, 0.05},
      {0.25, 0.0, 0.15, 0.0, 2.2, Arrangement::broadside, 0.0, 0.03, 0.0}};
#ifdef NDEBUG
  return all;
#else  // the sanitizer build is some fifty times slower
  return {all[1], all[2]};
#endif
}

// The conductor-loss factor is Wheeler's rule on the solver's own
// capacitances, whatever the arrangement: it matches a finite difference of
// solutions of the receded cross-sections, and the odd mode, whose current
// crowds to the facing surfaces, loses more.
TEST(FieldLoss, EveryArrangementLosesByWheelersRuleOnItsOwnSolution) {
  const double db_per_slope = -8.686 * std::sqrt(2.2) / (2.0 * kFreeSpaceImpedance);
  for (const Geometry& g : arrangements()) {
    const ConductorLossFactorResult r = conductor_loss_factor(g, {1e-8, 9});
    ASSERT_TRUE(r.ok()) << r.message;
    const Slopes exact = solver_log_slopes(g, 2e-6);
    EXPECT_NEAR(r.factor->even / (db_per_slope * exact.even), 1.0, 1e-5) << g.sv << " " << g.t;
    EXPECT_NEAR(r.factor->odd / (db_per_slope * exact.odd), 1.0, 1e-5) << g.sv << " " << g.t;
    EXPECT_GT(r.factor->even, 0.0);
    EXPECT_GT(r.factor->odd, r.factor->even);
  }
}

TEST(FieldLoss, MidHeightLosesAsTheCentredPair) {
  for (const double t : {0.0, 0.005}) {
    const Geometry centred{0.25, t, 0.15, 0.02, 2.2};
    Geometry offset = centred;
    offset.arrangement = Arrangement::edge_offset;
    offset.h = 0.125;
    const ConductorLossFactorResult a = conductor_loss_factor(centred);
    const ConductorLossFactorResult b = conductor_loss_factor(offset);
    ASSERT_TRUE(a.ok() && b.ok()) << a.message << b.message;
    EXPECT_NEAR(b.factor->even / a.factor->even, 1.0, 1e-8) << "t " << t;
    EXPECT_NEAR(b.factor->odd / a.factor->odd, 1.0, 1e-8) << "t " << t;
  }
}

// One strip above the other, offset so that a corner of the twin stands
// exactly the gap from the end of the face below it: whether that face is
// split there is decided once, on the nominal cross-section, so both
// receded ones are cut alike and the loss is that of its neighbours.
TEST(FieldLoss, TwinCornerAtTheGapFromAnEndIsNoSpecialCase) {
  for (const double t : {0.0, 0.7}) {
    Geometry g{65.4, t, 12.0, 0.0, 3.66, Arrangement::broadside, 0.0, 4.0, 4.0};
    const ConductorLossFactorResult at = conductor_loss_factor(g);
    ASSERT_TRUE(at.ok()) << at.message;
    for (const double wo : {3.999, 4.001}) {
      g.wo = wo;
      const ConductorLossFactorResult near = conductor_loss_factor(g);
      ASSERT_TRUE(near.ok()) << near.message;
      EXPECT_NEAR(near.factor->even / at.factor->even, 1.0, 1e-3) << t << " " << wo;
      EXPECT_NEAR(near.factor->odd / at.factor->odd, 1.0, 1e-3) << t << " " << wo;
    }
  }
}

}  // namespace
}  // namespace ketrovane::field
