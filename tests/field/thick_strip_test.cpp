// Strips of finite thickness: the limits with exact answers (the wide strip,
// whose edges are Cohn's semi-infinite plates; the distant twin), then
// convergence under refinement and the physics of the trends.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "field/field_solver.hpp"
#include "references.hpp"

namespace ketrovane::field {
namespace {

using testing::cohn_edge_fringing;

constexpr Options kTight{1e-9, 8};

FieldSolution solved(const Geometry& g, const Options& o = {}) {
  const FieldResult r = solve(g, o);
  EXPECT_TRUE(r.ok()) << r.message;
  return r.solution.value_or(FieldSolution{});
}

// A strip many gaps wide has two independent edges: per strip
// C/eps = 4w/(b - t) (the faces) + 4 C'f (two edges, two planes each).  The
// twin is 30 b away, where it changes nothing in double precision.  w = 4b is
// solved whole; w = 40b exercises the cut of the uniform middle of the face.
TEST(ThickStrip, WideStripIsParallelPlatePlusCohnFringing) {
  for (const double t : {0.0, 0.05, 0.2, 0.5}) {
    for (const double w : {4.0, 40.0}) {
      const FieldSolution f = solved({1.0, t, w, 30.0, 1.0}, kTight);
      const double asymptote = 4.0 * w / (1.0 - t) + 4.0 * cohn_edge_fringing(t);
      EXPECT_NEAR(f.even.capacitance / asymptote, 1.0, 1e-9) << "t/b " << t << " w/b " << w;
      EXPECT_NEAR(f.odd.capacitance / asymptote, 1.0, 1e-9) << "t/b " << t << " w/b " << w;
    }
  }
}

// As the twin recedes both modes tend to the lone strip, the even mode from
// above and the odd from below, the split between them falling as
// exp(-pi s/b).
TEST(ThickStrip, DistantTwinLeavesTheIsolatedStrip) {
  const double w = 0.4;
  const double t = 0.1;
  const double isolated = solved({1.0, t, w, 30.0, 1.0}, kTight).even.impedance;
  double previous_split = 0.0;
  for (const double s : {1.0, 2.0, 3.0, 4.0}) {
    const FieldSolution f = solved({1.0, t, w, s, 1.0}, kTight);
    EXPECT_GT(f.even.impedance, isolated);
    EXPECT_LT(f.odd.impedance, isolated);
    const double split = (f.even.impedance - f.odd.impedance) / isolated;
    if (previous_split > 0.0) {
      EXPECT_NEAR(split / previous_split, std::exp(-std::numbers::pi), 0.01) << "s/b " << s;
    }
    previous_split = split;
  }
}

struct Section {
  double w, s, t;  // units of b
};

std::vector<Section> representative_sections() {
#ifdef NDEBUG
  std::vector<Section> sections;
  for (const double t : {0.005, 0.02, 0.05, 0.2})
    for (const double w : {0.1, 0.5, 3.0})
      for (const double s : {0.01, 0.1, 2.0}) sections.push_back({w, s, t});
  return sections;
#else  // a few of the hardest, for the slow sanitizer build
  return {{0.1, 0.01, 0.2}, {3.0, 0.01, 0.005}, {0.672, 0.048, 0.008}, {0.5, 2.0, 0.05}};
#endif
}

// The default solution agrees with one refined to 1e-9 within its error
// estimate, and so within 0.05 % in each mode.
TEST(ThickStrip, DefaultSolutionIsWithinItsEstimateOfTheConvergedOne) {
  for (const Section& x : representative_sections()) {
    const Geometry g{1.0, x.t, x.w, x.s, 2.2};
    const FieldSolution coarse = solved(g);
    const FieldSolution fine = solved(g, kTight);
    for (const auto& [c, f] :
         {std::pair{coarse.even, fine.even}, std::pair{coarse.odd, fine.odd}}) {
      const double error = std::abs(c.impedance / f.impedance - 1.0);
      EXPECT_LE(error, c.error_estimate + f.error_estimate)
          << "w/b " << x.w << " s/b " << x.s << " t/b " << x.t;
      EXPECT_LT(error, 5e-4) << "w/b " << x.w << " s/b " << x.s << " t/b " << x.t;
      EXPECT_LE(c.error_estimate, 1e-4);
    }
    EXPECT_NEAR(coarse.coupling_db, fine.coupling_db,
                coarse.coupling_error_db + fine.coupling_error_db);
  }
}

// Climbing the levels one at a time (each tolerance just below the estimate
// of the level before): each coupling's error estimate is its change from
// the level before, whose coupling the previous solution gave.
TEST(ThickStrip, CouplingEstimateIsTheChangeFromThePreviousLevel) {
  const Geometry g{1.0, 0.02, 0.6, 0.05, 2.2};
  FieldSolution before = solved(g, {1.0, 1});
  ASSERT_EQ(before.refinements, 1);
  for (int level = 2; level <= 5; ++level) {
    const FieldSolution f = solved(g, {0.999 * before.even.error_estimate, 8});
    ASSERT_EQ(f.refinements, level);
    EXPECT_NEAR(f.coupling_error_db, std::abs(f.coupling_db - before.coupling_db), 1e-12)
        << "level " << level;
    before = f;
  }
}

// Trends every RF engineer knows: closer strips couple harder (Zoe up, Zoo
// down), wider or thicker strips have lower impedances in both modes.
TEST(ThickStrip, ImpedancesMoveTheWayThePhysicsSays) {
  const Geometry base{1.0, 0.05, 0.5, 0.1, 2.2};
  const FieldSolution f = solved(base);
  EXPECT_GT(f.even.impedance, f.odd.impedance);

  Geometry closer = base;
  closer.s = 0.05;
  const FieldSolution c = solved(closer);
  EXPECT_GT(c.even.impedance, f.even.impedance);
  EXPECT_LT(c.odd.impedance, f.odd.impedance);
  EXPECT_GT(c.coupling_db, f.coupling_db);

  Geometry wider = base;
  wider.w = 0.6;
  const FieldSolution w = solved(wider);
  EXPECT_LT(w.even.impedance, f.even.impedance);
  EXPECT_LT(w.odd.impedance, f.odd.impedance);

  Geometry thicker = base;
  thicker.t = 0.1;
  const FieldSolution t = solved(thicker);
  EXPECT_LT(t.even.impedance, f.even.impedance);
  EXPECT_LT(t.odd.impedance, f.odd.impedance);
}

// Only ratios to b matter, and the dielectric scales every impedance by
// 1/sqrt(er) without touching C/eps.
TEST(ThickStrip, ScaleFreeAndDielectricFree) {
  const FieldSolution unit = solved({1.0, 0.04, 0.6, 0.2, 1.0});
  const FieldSolution inches = solved({0.25, 0.01, 0.15, 0.05, 4.0});
  EXPECT_NEAR(inches.even.capacitance / unit.even.capacitance, 1.0, 1e-12);
  EXPECT_NEAR(inches.odd.impedance / unit.odd.impedance, 0.5, 1e-12);
  EXPECT_NEAR(inches.coupling_db, unit.coupling_db, 1e-9);
}

// A thin strip converges on the strip of zero thickness as t goes to 0.
TEST(ThickStrip, ThinStripsTendToZeroThickness) {
  const FieldSolution zero = solved({1.0, 0.0, 0.5, 0.1, 1.0}, kTight);
  double previous = 1.0;
  for (const double t : {1e-3, 1e-4, 1e-5}) {
    const FieldSolution f = solved({1.0, t, 0.5, 0.1, 1.0}, {1e-7, 8});
    const double gap = f.odd.capacitance / zero.odd.capacitance - 1.0;
    EXPECT_GT(gap, 0.0);
    EXPECT_LT(gap, previous / 3.0) << "t/b " << t;
    previous = gap;
  }
}

}  // namespace
}  // namespace ketrovane::field
