#include "field/domain.hpp"

#include <array>
#include <cmath>
#include <cstdio>
#include <string>

namespace ketrovane::field {
namespace {

// Smallest w/b, s/b and nonzero t/b: below it the corner panels would be
// resolved by too few digits of the coordinates.
constexpr double kSmallestRatio = 1e-6;

// Widest strips solved one above the other, in units of b: the exponentials
// the kernel keeps per point must stay representable over the strip.
constexpr double kWidestOneAboveOther = 100.0;

constexpr const char* kBelowRange = " is below the solver's range (1e-6)";

bool side_by_side(const Geometry& g) {
  return g.arrangement != Arrangement::broadside;
}

std::optional<std::string> dimension_error(const Geometry& g) {
  if (g.arrangement != Arrangement::edge && g.arrangement != Arrangement::edge_offset &&
      g.arrangement != Arrangement::broadside)
    return "arrangement " + std::to_string(static_cast<int>(g.arrangement)) + " is not known";
  if (!positive_finite(g.b))
    return "b = " + format_number(g.b) + " is not a positive finite length";
  if (!positive_finite(g.w))
    return "w = " + format_number(g.w) + " is not a positive finite length";
  if (side_by_side(g) && !positive_finite(g.s))
    return "s = " + format_number(g.s) + " is not a positive finite length";
  if (!std::isfinite(g.t) || g.t < 0.0)
    return "t = " + format_number(g.t) + " is not a finite length of zero or more";
  if (g.t >= g.b) return "t = " + format_number(g.t) + " is not below b = " + format_number(g.b);
  if (g.stack.empty() && (!std::isfinite(g.er) || g.er < 1.0))
    return "er = " + format_number(g.er) + " is not a finite permittivity of 1 or more";
  return std::nullopt;
}

// Relative difference allowed between b and the sum of the layers.
constexpr double kStackSumTolerance = 1e-9;

std::optional<std::string> layer_error(const DielectricLayer& layer, int number) {
  const std::string name = "layer " + std::to_string(number) + ": ";
  if (!positive_finite(layer.thickness))
    return name + "thickness " + format_number(layer.thickness) +
           " is not a positive finite length";
  if (!std::isfinite(layer.er) || layer.er < 1.0)
    return name + "er = " + format_number(layer.er) + " is not a finite permittivity of 1 or more";
  if (!std::isfinite(layer.loss_tangent) || layer.loss_tangent < 0.0)
    return name + "loss tangent " + format_number(layer.loss_tangent) +
           " is not finite and 0 or more";
  return std::nullopt;
}

std::optional<std::string> layers_error(const Geometry& g) {
  if (g.stack.count < 0 || g.stack.count > kMostLayers)
    return "a stack of " + std::to_string(g.stack.count) + " layers is outside 1 to " +
           std::to_string(kMostLayers);
  double sum = 0.0;
  for (int i = 0; i < g.stack.count; ++i) {
    if (auto error = layer_error(g.stack.layers[static_cast<std::size_t>(i)], i + 1)) return error;
    sum += g.stack.layers[static_cast<std::size_t>(i)].thickness;
  }
  if (g.stack.count > 0 && !(std::abs(sum - g.b) <= kStackSumTolerance * g.b))
    return "the layers add up to " + format_number(sum) + ", not b = " + format_number(g.b);
  return std::nullopt;
}

// The strips' mid-plane must leave each face clear of its plane.
std::optional<std::string> height_error(const Geometry& g) {
  if (!std::isfinite(g.h)) return "h = " + format_number(g.h) + " is not a finite height";
  const std::string range = " (h must lie between t/2 and b - t/2)";
  if (g.h - g.t / 2 <= 0.0)
    return "h = " + format_number(g.h) + " puts the strips against the lower plane" + range;
  if (g.h + g.t / 2 >= g.b)
    return "h = " + format_number(g.h) + " puts the strips against the upper plane" + range;
  const double below = (g.h - g.t / 2) / g.b;
  const double above = (g.b - g.h - g.t / 2) / g.b;
  if (!(below >= kSmallestRatio))
    return "the gap below the strips, (h - t/2)/b = " + format_number(below) + "," + kBelowRange;
  if (!(above >= kSmallestRatio))
    return "the gap above the strips, (b - h - t/2)/b = " + format_number(above) + "," +
           kBelowRange;
  return std::nullopt;
}

// The pair, sv apart, must fit between the planes with room to spare.
std::optional<std::string> stack_error(const Geometry& g) {
  if (!positive_finite(g.sv))
    return "sv = " + format_number(g.sv) + " is not a positive finite length";
  if (!std::isfinite(g.wo) || g.wo < 0.0)
    return "wo = " + format_number(g.wo) + " is not a finite offset of zero or more";
  if (g.sv + 2.0 * g.t >= g.b)
    return "sv = " + format_number(g.sv) + " and t = " + format_number(g.t) +
           " do not fit between the planes: sv + 2t must be below b = " + format_number(g.b);
  const double svb = g.sv / g.b;
  const double outer = (g.b - g.sv - 2.0 * g.t) / (2.0 * g.b);
  if (!(svb >= kSmallestRatio)) return "sv/b = " + format_number(svb) + kBelowRange;
  if (!(outer >= kSmallestRatio))
    return "the gap between the strips and the planes, (b - sv - 2t)/2b = " + format_number(outer) +
           "," + kBelowRange;
  if (!std::isfinite(g.wo / g.b))
    return "wo/b = " + format_number(g.wo / g.b) + " is not a finite ratio";
  if (g.w / g.b > kWidestOneAboveOther)
    return "w/b = " + format_number(g.w / g.b) +
           " is beyond the solver's range for strips one above the other (100)";
  return std::nullopt;
}

std::optional<std::string> ratio_error(const Geometry& g) {
  const double wb = g.w / g.b;
  const double sb = g.s / g.b;
  const double tb = g.t / g.b;
  if (!(wb >= kSmallestRatio)) return "w/b = " + format_number(wb) + kBelowRange;
  if (side_by_side(g) && !(sb >= kSmallestRatio)) return "s/b = " + format_number(sb) + kBelowRange;
  if (!std::isfinite(wb)) return "w/b = " + format_number(wb) + " is not a finite ratio";
  if (side_by_side(g) && !std::isfinite(sb))
    return "s/b = " + format_number(sb) + " is not a finite ratio";
  if (tb != 0.0 && !(tb >= kSmallestRatio))
    return "t/b = " + format_number(tb) + kBelowRange + "; give t = 0 for strips this thin";
  return std::nullopt;
}

// Heights (from the lower plane) of the copper of the strip the solution
// is written for and, one above the other, of its twin.
struct Copper {
  double bottom;
  double top;
};

std::array<Copper, 2> copper_of(const Geometry& g) {
  if (g.arrangement == Arrangement::broadside) {
    const double lower_face = (g.b + g.sv) / 2;
    return {{{lower_face, lower_face + g.t}, {g.b - lower_face - g.t, g.b - lower_face}}};
  }
  const double mid = g.arrangement == Arrangement::edge ? g.b / 2 : g.h;
  return {{{mid - g.t / 2, mid + g.t / 2}, {mid - g.t / 2, mid + g.t / 2}}};
}

// Relative distance (of b) within which a face is on a layer boundary.
constexpr double kOnBoundary = 1e-9;

// The copper lies within one layer, its faces on the layers' boundaries at
// most: a boundary through a strip is not solved.
std::optional<std::string> boundary_through_copper(const Geometry& g) {
  const std::array<Copper, 2> copper = copper_of(g);
  double y = 0.0;
  for (int i = 0; i + 1 < g.stack.count; ++i) {
    y += g.stack.layers[static_cast<std::size_t>(i)].thickness;
    for (const Copper& c : copper) {
      if (y > c.bottom + kOnBoundary * g.b && y < c.top - kOnBoundary * g.b)
        return "the boundary between layers " + std::to_string(i + 1) + " and " +
               std::to_string(i + 2) + " at " + format_number(y) +
               " runs through the strips' copper (from " + format_number(c.bottom) + " to " +
               format_number(c.top) + "): copper must lie within one layer";
    }
  }
  return std::nullopt;
}

// One above the other, the strips are alike only in a stack that is its own
// mirror image about the centre plane.
std::optional<std::string> asymmetric_stack(const Geometry& g) {
  const int n = g.stack.count;
  for (int i = 0; i < n / 2; ++i) {
    const DielectricLayer& low = g.stack.layers[static_cast<std::size_t>(i)];
    const DielectricLayer& high = g.stack.layers[static_cast<std::size_t>(n - 1 - i)];
    const bool alike =
        std::abs(low.thickness - high.thickness) <= kOnBoundary * g.b && low.er == high.er;
    if (!alike)
      return "strips one above the other need a stack that is its own mirror image about the "
             "centre plane; layers " +
             std::to_string(i + 1) + " and " + std::to_string(n - i) + " differ";
  }
  return std::nullopt;
}

std::optional<std::string> stack_placement_error(const Geometry& g) {
  if (g.stack.empty()) return std::nullopt;
  if (g.arrangement == Arrangement::broadside) {
    if (auto error = asymmetric_stack(g)) return error;
  }
  return boundary_through_copper(g);
}

std::optional<std::string> arrangement_error(const Geometry& g) {
  if (g.arrangement == Arrangement::edge_offset) return height_error(g);
  if (g.arrangement == Arrangement::broadside) return stack_error(g);
  return std::nullopt;
}

}  // namespace

std::string format_number(double value) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.6g", value);
  return text.data();
}

bool positive_finite(double x) {
  return std::isfinite(x) && x > 0.0;
}

std::optional<std::string> geometry_error(const Geometry& g) {
  if (auto error = dimension_error(g)) return error;
  if (auto error = layers_error(g)) return error;
  if (auto error = ratio_error(g)) return error;
  if (auto error = arrangement_error(g)) return error;
  return stack_placement_error(g);
}

std::optional<std::string> options_error(const Options& o, int levels) {
  if (!positive_finite(o.tolerance))
    return "tolerance = " + format_number(o.tolerance) + " is not a positive finite number";
  if (o.max_refinements < 1 || o.max_refinements >= levels)
    return "max_refinements = " + std::to_string(o.max_refinements) + " is not between 1 and " +
           std::to_string(levels - 1);
  return std::nullopt;
}

std::optional<Geometry> one_dielectric(const Geometry& g) {
  if (g.stack.empty()) return g;
  const DielectricLayer& first = g.stack.layers[0];
  for (const DielectricLayer& layer : g.stack.view()) {
    if (layer.er != first.er || layer.loss_tangent != first.loss_tangent) return std::nullopt;
  }
  Geometry flat = g;
  flat.er = first.er;
  flat.stack = {};
  return flat;
}

FieldResult invalid_input(std::string message) {
  return {FieldStatus::invalid_input, std::move(message), 0.0, std::nullopt};
}

std::string not_converged_message(const Options& options, double estimate) {
  return "no convergence to a relative tolerance of " + format_number(options.tolerance) +
         " within " + std::to_string(options.max_refinements) + " refinements; last estimate " +
         format_number(estimate);
}

}  // namespace ketrovane::field
