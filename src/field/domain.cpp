#include "field/domain.hpp"

#include <array>
#include <cmath>
#include <cstdio>

namespace ketrovane::field {
namespace {

// Smallest w/b, s/b and nonzero t/b: below it the corner panels would be
// resolved by too few digits of the coordinates.
constexpr double kSmallestRatio = 1e-6;

std::optional<std::string> dimension_error(const Geometry& g) {
  if (g.arrangement != Arrangement::edge) return "only strips side by side and centred are solved";
  if (!positive_finite(g.b))
    return "b = " + format_number(g.b) + " is not a positive finite length";
  if (!positive_finite(g.w))
    return "w = " + format_number(g.w) + " is not a positive finite length";
  if (!positive_finite(g.s))
    return "s = " + format_number(g.s) + " is not a positive finite length";
  if (!std::isfinite(g.t) || g.t < 0.0)
    return "t = " + format_number(g.t) + " is not a finite length of zero or more";
  if (g.t >= g.b) return "t = " + format_number(g.t) + " is not below b = " + format_number(g.b);
  if (!std::isfinite(g.er) || g.er < 1.0)
    return "er = " + format_number(g.er) + " is not a finite permittivity of 1 or more";
  return std::nullopt;
}

std::optional<std::string> ratio_error(const Geometry& g) {
  const double wb = g.w / g.b;
  const double sb = g.s / g.b;
  const double tb = g.t / g.b;
  const std::string range = " is below the solver's range (1e-6)";
  if (!(wb >= kSmallestRatio)) return "w/b = " + format_number(wb) + range;
  if (!(sb >= kSmallestRatio)) return "s/b = " + format_number(sb) + range;
  if (!std::isfinite(wb)) return "w/b = " + format_number(wb) + " is not a finite ratio";
  if (!std::isfinite(sb)) return "s/b = " + format_number(sb) + " is not a finite ratio";
  if (tb != 0.0 && !(tb >= kSmallestRatio))
    return "t/b = " + format_number(tb) + range + "; give t = 0 for strips this thin";
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
  return ratio_error(g);
}

std::optional<std::string> options_error(const Options& o, int levels) {
  if (!positive_finite(o.tolerance))
    return "tolerance = " + format_number(o.tolerance) + " is not a positive finite number";
  if (o.max_refinements < 1 || o.max_refinements >= levels)
    return "max_refinements = " + std::to_string(o.max_refinements) + " is not between 1 and " +
           std::to_string(levels - 1);
  return std::nullopt;
}

FieldResult invalid_input(std::string message) {
  return {FieldStatus::invalid_input, std::move(message), 0.0, std::nullopt};
}

}  // namespace ketrovane::field
