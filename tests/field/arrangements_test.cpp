// Strips off the centre plane and strips one above the other: convergence
// under refinement with estimates that cover the error, agreement with the
// centred pair and between the two symmetries where the geometries
// coincide, the symmetries of the cross-section, and the parallel-plate
// limits of wide strips.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "field/field_solver.hpp"
#include "references.hpp"

namespace ketrovane::field {
namespace {

constexpr Options kReference{1e-11, 9};
constexpr Options kTight{1e-10, 9};

FieldSolution solved(const Geometry& g, const Options& o = {}) {
  const FieldResult r = solve(g, o);
  EXPECT_TRUE(r.ok()) << r.message;
  return r.solution.value_or(FieldSolution{});
}

Geometry side_by_side(double t, double w, double s, double h) {
  return {1.0, t, w, s, 1.0, Arrangement::edge_offset, h};
}

Geometry stacked(double t, double w, double sv, double wo) {
  return {1.0, t, w, 0.0, 1.0, Arrangement::broadside, 0.0, sv, wo};
}

std::string describe(const Geometry& g) {
  return "t " + std::to_string(g.t) + " w " + std::to_string(g.w) + " s " + std::to_string(g.s) +
         " h " + std::to_string(g.h) + " sv " + std::to_string(g.sv) + " wo " +
         std::to_string(g.wo);
}

std::vector<Geometry> representative_sections() {
  std::vector<Geometry> sections;
  for (const double t : {0.0, 0.02}) {
    sections.push_back(side_by_side(t, 0.5, 0.1, 0.3));
    sections.push_back(side_by_side(t, 0.3, 0.02, 0.06));  // 0.05 from the lower plane
    sections.push_back(stacked(t, 0.5, 0.1, 0.0));
    sections.push_back(stacked(t, 0.6, 0.05, 0.3));  // a corner over the twin's face
    sections.push_back(stacked(t, 0.4, 0.1, 0.5));   // no overlap, corners 0.1 b apart
  }
#ifdef NDEBUG
  return sections;
#else  // the sanitizer build is some fifty times slower
  return {sections[1], sections[8]};
#endif
}

void expect_within_estimate(const FieldSolution& coarse, const FieldSolution& fine, double bound,
                            const std::string& where) {
  for (const auto& [c, f] : {std::pair{coarse.even, fine.even}, std::pair{coarse.odd, fine.odd}}) {
    const double error = std::abs(c.impedance / f.impedance - 1.0);
    EXPECT_LE(error, c.error_estimate + f.error_estimate) << where;
    EXPECT_LT(error, bound) << where;
  }
}

// At a tolerance of 1e-7 and at the default one, each mode agrees with a
// solution refined to 1e-11 within its estimate.
TEST(Arrangements, RefinementConvergesWithinItsEstimate) {
  for (const Geometry& g : representative_sections()) {
    const FieldSolution fine = solved(g, kReference);
    const FieldSolution tight = solved(g, {1e-7, 9});
    EXPECT_LE(tight.even.error_estimate, 1e-7) << describe(g);
    expect_within_estimate(tight, fine, 1e-7, describe(g));
    const FieldSolution coarse = solved(g);
    expect_within_estimate(coarse, fine, 1e-5, describe(g));
  }
}

// Wide sheets right above each other: Cohn's conformal mapping, exact in
// the limit, met to 1e-9 when tightly converged and within the estimate at
// the default tolerance.
TEST(Arrangements, WideStackedSheetsMeetCohn) {
  const double cases[][2] = {{0.05, 0.7}, {0.05, 0.9}, {0.1, 0.9}, {0.1, 0.97}};  // s/b, k
  for (const auto& [sv, k] : cases) {
    const testing::StackedSheets exact = testing::cohn_stacked_sheets(sv, k);
    const Geometry g = stacked(0.0, exact.w, sv, 0.0);
    const FieldSolution tight = solved(g, {1e-10, 9});
    EXPECT_NEAR(tight.even.capacitance / exact.capacitance.even, 1.0, 1e-9) << sv << " " << k;
    EXPECT_NEAR(tight.odd.capacitance / exact.capacitance.odd, 1.0, 1e-9) << sv << " " << k;
    const FieldSolution coarse = solved(g);
    EXPECT_NEAR(coarse.even.capacitance / exact.capacitance.even, 1.0, coarse.even.error_estimate);
    EXPECT_NEAR(coarse.odd.capacitance / exact.capacitance.odd, 1.0, coarse.odd.error_estimate);
  }
}

// At mid-height the general solution on the whole strip meets the centred
// pair's quarter-surface solution.
TEST(Arrangements, MidHeightIsTheCentredPair) {
  for (const double t : {0.0, 0.01, 0.1}) {
    for (const double s : {0.01, 0.2}) {
      const Geometry centred{1.0, t, 0.4, s, 2.2};
      Geometry offset = centred;
      offset.arrangement = Arrangement::edge_offset;
      offset.h = 0.5;
      const FieldSolution a = solved(centred);
      const FieldSolution b = solved(offset);
      EXPECT_NEAR(b.even.impedance / a.even.impedance, 1.0, 1e-9) << "t " << t << " s " << s;
      EXPECT_NEAR(b.odd.impedance / a.odd.impedance, 1.0, 1e-9) << "t " << t << " s " << s;
    }
  }
}

// Turning the cross-section upside down changes nothing.
TEST(Arrangements, HeightAndItsReflectionAgree) {
  for (const double t : {0.0, 0.03}) {
    const FieldSolution low = solved(side_by_side(t, 0.5, 0.08, 0.25));
    const FieldSolution high = solved(side_by_side(t, 0.5, 0.08, 0.75));
    EXPECT_NEAR(high.even.impedance / low.even.impedance, 1.0, 1e-12) << "t " << t;
    EXPECT_NEAR(high.odd.impedance / low.odd.impedance, 1.0, 1e-12) << "t " << t;
  }
}

// Far apart sideways, strips one above the other are two lone strips off the
// centre plane, which strips side by side far apart at the same height are
// too: the two symmetries' solutions meet, and the modes merge.
TEST(Arrangements, DistantStackedStripsAreLoneOffCentreStrips) {
  for (const double t : {0.0, 0.02}) {
    const double sv = 0.2;
    const FieldSolution apart = solved(stacked(t, 0.5, sv, 30.0), kReference);
    const FieldSolution beside =
        solved(side_by_side(t, 0.5, 29.5, 0.5 + sv / 2 + t / 2), kReference);
    EXPECT_NEAR(apart.even.impedance / apart.odd.impedance, 1.0, 1e-12) << "t " << t;
    EXPECT_NEAR(apart.even.impedance / beside.even.impedance, 1.0, 1e-9) << "t " << t;
  }
}

// The impedances are even functions of the sideways offset: smooth through
// wo = 0, changing by second order only.
TEST(Arrangements, StackedStripsAreSmoothThroughZeroOffset) {
  for (const double t : {0.0, 0.02}) {
    const FieldSolution centred = solved(stacked(t, 0.5, 0.1, 0.0), kTight);
    const FieldSolution nudged = solved(stacked(t, 0.5, 0.1, 1e-3), kTight);
    const FieldSolution moved = solved(stacked(t, 0.5, 0.1, 2e-3), kTight);
    const double first = nudged.odd.impedance / centred.odd.impedance - 1.0;
    const double second = moved.odd.impedance / centred.odd.impedance - 1.0;
    EXPECT_GT(first, 0.0) << "t " << t;
    EXPECT_LT(first, 1e-4) << "t " << t;
    EXPECT_NEAR(second / first, 4.0, 0.05) << "t " << t;
  }
}

// The odd mode holds more charge than the even in every arrangement, and
// strips one above the other draw more of it as they close up.
TEST(Arrangements, OddModeOutweighsEvenAndGrowsAsTheGapCloses) {
  for (const double t : {0.0, 0.02}) {
    double previous_odd = 0.0;
    for (const double sv : {0.4, 0.2, 0.1, 0.05, 0.02}) {
      const FieldSolution f = solved(stacked(t, 0.5, sv, 0.1));
      EXPECT_GT(f.odd.capacitance, f.even.capacitance) << "sv " << sv;
      EXPECT_GT(f.odd.capacitance, previous_odd) << "sv " << sv;
      previous_odd = f.odd.capacitance;
    }
    for (const double h : {0.1, 0.3, 0.5}) {
      const FieldSolution f = solved(side_by_side(t, 0.5, 0.1, h));
      EXPECT_GT(f.odd.capacitance, f.even.capacitance) << "h " << h;
    }
  }
}

// Widening strips many gaps wide adds only the parallel-plate charge of the
// widened faces: side by side 1/(h - t/2) + 1/(b - h - t/2) per unit width in
// both modes; one above the other, overlapping, 1/g in the even mode and
// 1/g + 2/sv in the odd, g = (b - sv - 2t)/2.  The narrower strips, 6b and
// 8b wide, are solved whole; of those 40b wide the uniform middle of the
// faces is cut away and added back in closed form.
TEST(Arrangements, WideStripsAddTheirParallelPlateCharge) {
  for (const double t : {0.0, 0.04}) {
    const double h = 0.35;
    const FieldSolution narrow = solved(side_by_side(t, 8.0, 0.1, h), kTight);
    const FieldSolution wide = solved(side_by_side(t, 40.0, 0.1, h), kTight);
    const double faces = 1.0 / (h - t / 2) + 1.0 / (1.0 - h - t / 2);
    EXPECT_NEAR((wide.even.capacitance - narrow.even.capacitance) / (32.0 * faces), 1.0, 1e-9);
    EXPECT_NEAR((wide.odd.capacitance - narrow.odd.capacitance) / (32.0 * faces), 1.0, 1e-9);

    const double sv = 0.1;
    const double g = (1.0 - sv - 2.0 * t) / 2;
    const FieldSolution under = solved(stacked(t, 6.0, sv, 0.2), kTight);
    const FieldSolution over = solved(stacked(t, 40.0, sv, 0.2), kTight);
    EXPECT_NEAR((over.even.capacitance - under.even.capacitance) / (34.0 / g), 1.0, 1e-9);
    EXPECT_NEAR((over.odd.capacitance - under.odd.capacitance) / (34.0 * (1.0 / g + 2.0 / sv)), 1.0,
                1e-9);
  }
}

// A thin strip converges on the strip of zero thickness as t goes to 0.
TEST(Arrangements, ThinStripsTendToZeroThickness) {
  for (const bool one_above_other : {false, true}) {
    const auto at = [&](double t) {
      return one_above_other ? stacked(t, 0.5, 0.1, 0.2) : side_by_side(t, 0.5, 0.1, 0.3);
    };
    const FieldSolution zero = solved(at(0.0), {1e-9, 9});
    double previous = 1.0;
    for (const double t : {1e-3, 1e-4, 1e-5}) {
      const FieldSolution f = solved(at(t), {1e-7, 9});
      const double gap = f.odd.capacitance / zero.odd.capacitance - 1.0;
      EXPECT_GT(gap, 0.0);
      EXPECT_LT(gap, previous / 3.0) << "t/b " << t;
      previous = gap;
    }
  }
}

}  // namespace
}  // namespace ketrovane::field
