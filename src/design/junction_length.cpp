#include "design/junction_length.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "design/artwork_plan.hpp"
#include "design/field_analysis.hpp"

namespace ketrovane {

namespace {

// Halvings of a stretch: at least this many everywhere, so that a bump
// between the first points is seen, and at most this many anywhere.
constexpr int kLeastDepth = 3;
constexpr int kMostDepth = 16;

bool one_above_the_other(const StripPair& pair) {
  return pair.placement.arrangement == Arrangement::broadside;
}

// The gap at the end face: side by side the section's edge gap, one above
// the other its centre lines' sideways distance.
double face_gap(const StripPair& pair) {
  return one_above_the_other(pair) ? static_cast<double>(pair.placement.wo)
                                   : static_cast<double>(pair.x.s);
}

LegStretch constant(double reach, double gap, double angle) {
  return {reach, [gap](double) { return gap; }, [angle](double) { return angle; }};
}

// The angle off x of an arc's centre line where it has come `along` x from
// the arc's tangent point, at radius `radius`.
double arc_angle(double along, double radius) {
  return std::asin(std::clamp(along / radius, -1.0, 1.0));
}

// Mitred: the centre line runs straight up to where its inner corner stays
// on the face, W/2 tan 22.5 degrees, and turns there onto the diagonal.
std::vector<LegStretch> mitred(const DivergingLegs& legs, double base, double rise) {
  const double corner = legs.feed_width / 2 * std::tan(std::numbers::pi / 8);
  const double diagonal = std::numbers::pi / 4;
  return {
      constant(corner, base, 0.0),
      {rise, [base](double u) { return base + 2 * u; }, [diagonal](double) { return diagonal; }}};
}

// Arcs of centre-line radius kArcRadiusPerWidth widths, through 45 degrees
// or less, a diagonal between them where the rise needs one.
std::vector<LegStretch> arced(const DivergingLegs& legs, double base, double rise) {
  const double radius = layout::kArcRadiusPerWidth * legs.feed_width;
  const double full = std::numbers::pi / 4;
  const double full_rise = 2 * radius * (1 - std::cos(full));
  const double angle = rise >= full_rise ? full : std::acos(1 - rise / (2 * radius));
  const double diagonal = rise >= full_rise ? (rise - full_rise) / std::sin(full) : 0.0;
  const double after_first = base + 2 * radius * (1 - std::cos(angle));
  const double after_diagonal = after_first + 2 * diagonal * std::sin(angle);
  const double turn = radius * std::sin(angle);
  std::vector<LegStretch> s;
  s.push_back({turn,
               [base, radius](double u) {
                 const double q = u / radius;
                 return base + 2 * radius * (1 - std::sqrt(std::max(0.0, 1 - q * q)));
               },
               [radius](double u) { return arc_angle(u, radius); }});
  if (diagonal > 0) {
    s.push_back({diagonal * std::cos(angle),
                 [after_first, angle](double u) { return after_first + 2 * u * std::tan(angle); },
                 [angle](double) { return angle; }});
  }
  s.push_back({turn,
               [after_diagonal, radius, angle](double u) {
                 const double q = std::sin(angle) - u / radius;
                 return after_diagonal +
                        2 * radius * (std::sqrt(std::max(0.0, 1 - q * q)) - std::cos(angle));
               },
               [turn, radius](double u) { return arc_angle(turn - u, radius); }});
  return s;
}

// What is left of a coupling per unit x where each leg runs `angle` off x:
// the capacitive half whole and the inductive half by the cosine of the
// legs' angle to each other, (1 + cos 2 angle)/2, over the leg's path,
// 1/cos(angle) per unit x.
double along_x(double angle) {
  return (1 + std::cos(2 * angle)) / 2 / std::cos(angle);
}

// The coupling k of the two feed lines at a gap, counted as the walk goes;
// none once a cross-section has no field solution (the walk then stops).
class CouplingProbe {
 public:
  CouplingProbe(const StripPair& section, double feed_width) : leads_{section, feed_width, 0.0F} {}

  double operator()(double gap) {
    if (failed_) return 0.0;
    ++solutions_;
    const field::FieldResult r = field::solve(lead_geometry_of(gap));
    if (!r.ok()) {
      failed_ = true;
      message_ = r.message;
      return 0.0;
    }
    // -infinity dB, a coupling not resolved, is none.
    return std::pow(10.0, r.solution->coupling_db / 20.0);
  }
  [[nodiscard]] bool failed() const { return failed_; }
  [[nodiscard]] const std::string& message() const { return message_; }
  [[nodiscard]] int solutions() const { return solutions_; }

 private:
  [[nodiscard]] field::Geometry lead_geometry_of(double gap) const {
    field::Geometry g = field_geometry(leads_.coupler);
    g.w = leads_.feed_width;
    (one_above_the_other(leads_.coupler) ? g.wo : g.s) = gap;
    return g;
  }

  LeadPair leads_;
  bool failed_ = false;
  std::string message_;
  int solutions_ = 0;
};

// Adaptive Simpson over one stretch, the integrand's values at a panel's
// ends and middle carried down; the error of each accepted panel kept.
class Simpson {
 public:
  Simpson(const LegStretch& stretch, CouplingProbe& probe) : stretch_(stretch), probe_(probe) {}

  double integral(double tolerance) {
    const double b = stretch_.reach;
    const double fa = at(0.0);
    const double fm = at(b / 2);
    const double fb = at(b);
    return refine({0.0, b, fa, fm, fb}, tolerance, 0);
  }
  [[nodiscard]] double error() const { return error_; }

 private:
  struct Panel {
    double a;
    double b;
    double fa;
    double fm;
    double fb;
    [[nodiscard]] double rule() const { return (b - a) / 6 * (fa + 4 * fm + fb); }
  };

  double at(double u) { return probe_(stretch_.gap(u)) * along_x(stretch_.angle(u)); }

  double refine(const Panel& p, double tolerance, int depth) {
    const double m = (p.a + p.b) / 2;
    const Panel left{p.a, m, p.fa, at((p.a + m) / 2), p.fm};
    const Panel right{m, p.b, p.fm, at((m + p.b) / 2), p.fb};
    const double change = left.rule() + right.rule() - p.rule();
    const bool settled = depth >= kLeastDepth && std::fabs(change) <= 15 * tolerance;
    if (probe_.failed() || settled || depth >= kMostDepth) {
      error_ += std::fabs(change) / 15;
      return left.rule() + right.rule() + change / 15;
    }
    return refine(left, tolerance / 2, depth + 1) + refine(right, tolerance / 2, depth + 1);
  }

  const LegStretch& stretch_;
  CouplingProbe& probe_;
  double error_ = 0.0;
};

}  // namespace

std::vector<LegStretch> leg_stretches(const DivergingLegs& legs) {
  const double base = face_gap(legs.section);
  const double rise = (legs.spacing - base) / 2;
  // As the artwork: lines within 2 nm of their spacing run straight.
  constexpr double kStraight = 2e-6 / 25.4;
  if (rise <= kStraight) return {};
  return legs.bend == layout::Bend::mitre ? mitred(legs, base, rise) : arced(legs, base, rise);
}

JunctionLength coupled_length_along(const StripPair& section, double feed_width,
                                    std::span<const LegStretch> stretches) {
  const field::FieldResult own = field::solve(field_geometry(section));
  if (!own.ok()) return {std::nullopt, 0.0, 1, own.message};
  const double k_section = std::pow(10.0, own.solution->coupling_db / 20.0);
  if (!(k_section > 0)) {
    return {std::nullopt, 0.0, 1, "the section's strips are too far apart to couple"};
  }
  double reach = 0.0;
  for (const LegStretch& s : stretches) reach += s.reach;
  CouplingProbe probe(section, feed_width);
  const double tolerance = kJunctionTolerance * section.x.board.b * k_section;
  double integral = 0.0;
  double error = 0.0;
  for (const LegStretch& s : stretches) {
    if (!(s.reach > 0)) continue;
    Simpson simpson(s, probe);
    integral += simpson.integral(tolerance * s.reach / reach);
    error += simpson.error();
  }
  if (probe.failed()) return {std::nullopt, 0.0, probe.solutions() + 1, probe.message()};
  return {integral / k_section, error / k_section, probe.solutions() + 1, ""};
}

JunctionLength junction_length(const DivergingLegs& legs) {
  const std::vector<LegStretch> stretches = leg_stretches(legs);
  return coupled_length_along(legs.section, legs.feed_width, stretches);
}

}  // namespace ketrovane
