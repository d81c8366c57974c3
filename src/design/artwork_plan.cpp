#include "design/artwork_plan.hpp"

#include <cmath>
#include <utility>

#include "common/constants.hpp"
#include "design/field_analysis.hpp"

namespace ketrovane {

namespace {

using layout::PortRole;

// The bisection stops when the bracket is this small against its upper end.
constexpr double kRelativeSpacing = 1e-4;
// Doublings (and halvings) of the bracket before giving up: 2^60 of B.
constexpr int kMostDoublings = 60;
// The least spacing tried, against B: the field solver's least gap.
constexpr double kLeastSpacingOfB = 1e-5;

bool one_above_the_other(const StripPair& pair) {
  return pair.placement.arrangement == Arrangement::broadside;
}

// The two lines of the pair's board and placement, `spacing` apart.
field::Geometry lead_geometry(const LeadPair& leads, double spacing) {
  field::Geometry g = field_geometry(leads.coupler);
  g.w = leads.feed_width;
  if (one_above_the_other(leads.coupler)) {
    g.wo = spacing;
  } else {
    g.s = spacing;
  }
  return g;
}

// The field's coupling of the two lines `spacing` apart; none, and why,
// without a field solution.
std::optional<double> solved_coupling_db(const LeadPair& leads, double spacing, std::string* why) {
  const field::FieldResult r = field::solve(lead_geometry(leads, spacing));
  if (!r.ok()) {
    if (why != nullptr) *why = r.message;
    return std::nullopt;
  }
  return r.solution->coupling_db;
}

// Whether the lines couple less than the isolation at a spacing, asked of
// the field; the last failure's message is kept.
class IsolationProbe {
 public:
  explicit IsolationProbe(const LeadPair& leads) : leads_(leads) {}

  std::optional<bool> isolated(double spacing) {
    const std::optional<double> c = solved_coupling_db(leads_, spacing, &message_);
    if (!c) return std::nullopt;
    return *c <= -static_cast<double>(leads_.isolation_db);
  }
  [[nodiscard]] const std::string& message() const { return message_; }

 private:
  const LeadPair& leads_;
  std::string message_;
};

// A spacing that couples too much (lo, or 0) and one that does not (hi).
struct Bracket {
  double lo;
  double hi;
};

std::optional<Bracket> bracket(IsolationProbe& probe, double start, double least) {
  Bracket b{0.0, start};
  std::optional<bool> at = probe.isolated(b.hi);
  if (!at) return std::nullopt;
  if (*at) {  // halve while still isolated
    for (int i = 0; i < kMostDoublings && b.hi / 2.0 >= least; ++i) {
      at = probe.isolated(b.hi / 2.0);
      if (!at) return std::nullopt;
      if (!*at) return Bracket{b.hi / 2.0, b.hi};
      b.hi /= 2.0;
    }
    return b;
  }
  for (int i = 0; i < kMostDoublings; ++i) {
    b.lo = b.hi;
    b.hi *= 2.0;
    at = probe.isolated(b.hi);
    if (!at) return std::nullopt;
    if (*at) return b;
  }
  return std::nullopt;
}

}  // namespace

std::optional<double> lead_coupling_db(const LeadPair& leads, double spacing) {
  return solved_coupling_db(leads, spacing, nullptr);
}

LeadSpacing lead_spacing(const LeadPair& leads) {
  IsolationProbe probe(leads);
  const double b = leads.coupler.x.board.b;
  std::optional<Bracket> found = bracket(probe, b, kLeastSpacingOfB * b);
  if (!found) {
    return {std::nullopt, probe.message().empty()
                              ? "the lines still couple more than the isolation far apart"
                              : probe.message()};
  }
  Bracket& k = *found;
  while (k.hi - k.lo > kRelativeSpacing * k.hi) {
    const double mid = 0.5 * (k.lo + k.hi);
    const std::optional<bool> at = probe.isolated(mid);
    if (!at) return {std::nullopt, probe.message()};
    (*at ? k.hi : k.lo) = mid;
  }
  return {k.hi, ""};
}

std::array<int, layout::kPortCount> port_numbers(PortNumbering numbering) {
  // By PortRole: input, through, isolated, coupled.
  if (numbering == PortNumbering::coupled_third) return {1, 2, 4, 3};
  return {1, 2, 3, 4};
}

double electrical_degrees(double length, double eeff, double f0_mhz) {
  return 360.0 * length * std::sqrt(eeff) * f0_mhz / ModelFigure<double>::speed_of_light_inch_mhz;
}

namespace {

layout::SectionShape shape_of(const PlannedSection& s) {
  const Placement& p = s.pair.placement;
  return {.length = s.length,
          .w = s.pair.x.w,
          .s = one_above_the_other(s.pair) ? 0.0 : static_cast<double>(s.pair.x.s),
          .wo = one_above_the_other(s.pair) ? static_cast<double>(p.wo) : 0.0};
}

std::array<PlannedFeed, layout::kPortCount> feeds_by_role(const ArtworkDesign& d) {
  std::array<PlannedFeed, layout::kPortCount> f{};
  f[static_cast<int>(PortRole::input)] = d.source_feed;
  f[static_cast<int>(PortRole::coupled)] = d.source_feed;
  f[static_cast<int>(PortRole::through)] = d.load_feed;
  f[static_cast<int>(PortRole::isolated)] = d.load_feed;
  return f;
}

const char* end_name(std::size_t end) {
  return end == 0 ? "at the input end" : "at the through end";
}

// The end sections shortened by their legs' coupled length; none, and
// why, when a length has no field solution or an end section none left.
std::optional<Compensation> compensate(const ArtworkDesign& design, const layout::ArtworkInputs& in,
                                       std::string* why) {
  Compensation c;
  for (std::size_t end = 0; end < 2; ++end) {
    const PlannedSection& s = end == 0 ? design.sections.front() : design.sections.back();
    const double feed = end == 0 ? design.source_feed.width : design.load_feed.width;
    c.ends.at(end) = junction_length({s.pair, feed, in.lead_spacing.at(end), design.bend});
    if (!c.ends.at(end).length) {
      *why = std::string(end_name(end)) + ": " + c.ends.at(end).message;
      return std::nullopt;
    }
  }
  for (const PlannedSection& s : design.sections) c.designed.push_back(s.length);
  c.drawn = c.designed;
  c.drawn.front() -= *c.ends[0].length;
  c.drawn.back() -= *c.ends[1].length;
  for (std::size_t i = 0; i < c.drawn.size(); ++i) {
    if (!(c.drawn[i] > 0)) {
      *why = "section " + std::to_string(i + 1) + " is shorter than the coupled length of its legs";
      return std::nullopt;
    }
  }
  return c;
}

}  // namespace

PlannedArtwork plan_artwork(const ArtworkDesign& design) {
  ArtworkPlan plan;
  layout::ArtworkInputs& in = plan.inputs;
  in.one_above_the_other = one_above_the_other(design.sections.front().pair);
  for (const PlannedSection& s : design.sections) in.sections.push_back(shape_of(s));
  plan.feeds = feeds_by_role(design);
  for (std::size_t i = 0; i < plan.feeds.size(); ++i) in.feed_width.at(i) = plan.feeds.at(i).width;
  // The source end (-x) is the first section's, the load end the last's.
  const std::array<std::pair<const PlannedSection*, double>, 2> ends = {
      std::pair{&design.sections.front(), design.source_feed.width},
      std::pair{&design.sections.back(), design.load_feed.width}};
  for (std::size_t end = 0; end < ends.size(); ++end) {
    const LeadSpacing s =
        lead_spacing({ends.at(end).first->pair, ends.at(end).second, design.isolation_db});
    if (!s.spacing) {
      return {std::nullopt, std::string(end_name(end)) + ": " + s.message};
    }
    in.lead_spacing.at(end) = *s.spacing;
  }
  if (design.compensate) {
    std::string why;
    plan.compensation = compensate(design, in, &why);
    if (!plan.compensation) return {std::nullopt, why, true};
    for (std::size_t i = 0; i < in.sections.size(); ++i) {
      in.sections[i].length = plan.compensation->drawn[i];
    }
  }
  in.lead_length = design.lead_length;
  in.bend = design.bend;
  in.port_number = port_numbers(design.numbering);
  return {std::move(plan), ""};
}

}  // namespace ketrovane
