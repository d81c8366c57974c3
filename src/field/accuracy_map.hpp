// The map of the closed-form model's accuracy: what its impedances and
// conductor losses are worth where they are asked for, the worst of its
// relative errors against the field solver, read from the map
// tools/accuracy_map computes over w/b 0.1-3, s/b 0.01-2 and t/b 0-0.2
// (ACCURACY.md shows it).
#pragma once

namespace ketrovane::field {

struct ModelErrorBounds {
  double impedance;       // worst relative error of Zoe and Zoo
  double conductor_loss;  // worst relative error of the even- and odd-mode conductor loss
};

// Each bound is the largest of the model's relative errors (as a fraction,
// 0.01 is 1 %) over the grid points of the cell of the map that holds the
// point and of the cells beside it in w/b and s/b.  Taking that maximum
// rather than interpolating keeps the bound on the safe side between the grid
// lines, where the model's error can change faster than the grid resolves;
// plus the tolerance of the field solutions the map was made with (1e-4 for
// the impedances and for the conductor-loss factors).  Strips of zero
// thickness, which the model solves by Cohn's exact formulas, are read from
// the t = 0 plane alone.  Outside the map (or for an argument that is not a
// number) the model's error is unknown and both bounds are +infinity: the
// map vouches for nothing there.
ModelErrorBounds model_error_bounds(double w_over_b, double s_over_b, double t_over_b);

// The error up to which the map finds the model as good as the field
// solution for a design (1 %, as a fraction): the front ends note the rows
// whose bounds exceed it.
inline constexpr double kNegligibleModelError = 0.01;

// The ends of the map's grid along each ratio to b, where model_error_bounds
// stops vouching.
struct AxisRange {
  double low;
  double high;
};

struct MapExtent {
  AxisRange w_over_b;
  AxisRange s_over_b;
  AxisRange t_over_b;
};

MapExtent map_extent();

}  // namespace ketrovane::field
