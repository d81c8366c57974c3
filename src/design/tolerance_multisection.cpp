#include "design/tolerance_multisection.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace ketrovane {

namespace {

// The sections' streams come after the lots' (0x100 on).
constexpr std::uint32_t kFirstSectionSlot = 0x200;

constexpr std::array<std::string_view, kBandOutcomeCount> kBandOutcomeNames = {
    "coupling_deviation", "least_directivity", "least_return_loss"};

bool per_section(Varied v) {
  return v == Varied::w || v == Varied::s;
}

// The offset of a variation from the uniform pair of its stream.
double offset_of(const MultisectionToleranceDesign& d, const Variation& v, std::uint64_t index,
                 std::uint32_t slot) {
  const Law law = v.law.value_or(Law{d.spread, 0.0});
  return v.bias + law_offset(law, v.half_width, v.below.value_or(v.half_width),
                             uniform_pair(d.seed, index, slot), std::nullopt);
}

const StripPair& section_pair(const SectionRow& s) {
  if (!s.coupler.dimensions) throw std::logic_error("a section without its dimensions");
  return *s.coupler.dimensions;
}

// The nominal values: the board's of the first section, each section's W
// and S.
MultisectionToleranceSample nominal_values(const MultisectionToleranceDesign& d) {
  MultisectionToleranceSample s;
  const Board& board = section_pair(d.nominal.sections.front()).x.board;
  s.board.at(static_cast<std::size_t>(Varied::t)) = board.t;
  s.board.at(static_cast<std::size_t>(Varied::b)) = board.b;
  s.board.at(static_cast<std::size_t>(Varied::er)) = board.er;
  for (const SectionRow& row : d.nominal.sections) {
    const StripPair& p = section_pair(row);
    s.sections.push_back({p.x.w, p.x.s});
  }
  return s;
}

void draw(const MultisectionToleranceDesign& d, std::uint64_t index, std::optional<Varied> held,
          MultisectionToleranceSample& s) {
  for (const Variation& v : d.variations) {
    if (held && *held == v.quantity) continue;
    if (!per_section(v.quantity)) {
      const auto slot = static_cast<std::uint32_t>(v.quantity);
      float& x = s.board.at(static_cast<std::size_t>(v.quantity));
      x = static_cast<float>(static_cast<double>(x) + offset_of(d, v, index, slot));
      continue;
    }
    const std::size_t k = v.quantity == Varied::w ? 0 : 1;
    for (std::size_t i = 0; i < s.sections.size(); ++i) {
      const std::uint32_t slot = section_slot(static_cast<int>(i) + 1, v.quantity);
      float& x = s.sections[i].at(k);
      x = static_cast<float>(static_cast<double>(x) + offset_of(d, v, index, slot));
    }
  }
}

// The drawn cascade: each section's pair with the board's drawn values and
// its own W and S moved by the etch, at its nominal length.
std::optional<MultisectionCoupler> drawn_coupler(const MultisectionToleranceDesign& d,
                                                 const MultisectionToleranceSample& s) {
  MultisectionCoupler c = d.nominal;
  const auto at = [&s](Varied v) { return s.board.at(static_cast<std::size_t>(v)); };
  const float etch = at(Varied::etch);
  const Board board{.b = at(Varied::b), .t = at(Varied::t), .er = at(Varied::er)};
  if (!(board.b > 0.0F && board.t >= 0.0F && board.er >= 1.0F)) return std::nullopt;
  for (std::size_t i = 0; i < c.sections.size(); ++i) {
    SectionRow& row = c.sections[i];
    StripPair pair = section_pair(row);
    pair.x.board = board;
    pair.x.w = s.sections[i][0] + 2.0F * etch;
    pair.x.s = s.sections[i][1] - 2.0F * etch;
    if (!(pair.x.w > 0.0F && pair.x.s > 0.0F)) return std::nullopt;
    row.coupler = coupler_of_dimensions(pair, row.coupler.materials,
                                        row.coupler.section.length_inch, d.solver);
    if (is_failure(row.coupler.status)) {
      row.status = row.coupler.status;
      return c;
    }
  }
  return c;
}

// The band's outcomes of the drawn cascade.
void evaluate(const MultisectionToleranceDesign& d, MultisectionToleranceSample& s) {
  const std::optional<MultisectionCoupler> c = drawn_coupler(d, s);
  if (!c) {
    s.status = SampleStatus::not_positive;
    return;
  }
  const SampleStatus failed =
      d.solver == Solver::field ? SampleStatus::field_failed : SampleStatus::model_failed;
  if (!c->built() || std::ranges::any_of(c->sections, [](const SectionRow& r) {
        return is_failure(r.coupler.status);
      })) {
    s.status = failed;
    return;
  }
  float deviation = 0.0F;
  float directivity = std::numeric_limits<float>::infinity();
  float return_loss = std::numeric_limits<float>::infinity();
  try {
    for (const float f : d.band_mhz) {
      const ResponseRow row = multisection_response_row(*c, f, d.terminations);
      if (is_failure(row.status) || !all_finite(row.response)) {
        s.status = failed;
        return;
      }
      deviation =
          std::max(deviation, std::fabs(row.response.amplitude_db[Port::coupled] - d.coupling_db));
      directivity = std::min(directivity, directivity_db(row.response));
      return_loss = std::min(return_loss, return_loss_db(row.response));
    }
  } catch (const FieldFailure&) {
    s.status = SampleStatus::field_failed;
    return;
  }
  s.outcomes = {deviation, directivity, return_loss};
}

}  // namespace

std::string_view band_outcome_name(BandOutcome o) {
  return kBandOutcomeNames.at(static_cast<std::size_t>(o));
}

std::vector<float> band_frequencies(float low_mhz, float high_mhz, float f0_mhz) {
  std::vector<float> f = {low_mhz, high_mhz, f0_mhz};
  for (int i = 1; i <= kBandPointsInside; ++i) {
    const double t = static_cast<double>(i) / (kBandPointsInside + 1);
    f.push_back(static_cast<float>(low_mhz + t * (static_cast<double>(high_mhz) - low_mhz)));
  }
  std::ranges::sort(f);
  f.erase(std::unique(f.begin(), f.end()), f.end());
  return f;
}

std::uint32_t section_slot(int section, Varied v) {
  return kFirstSectionSlot + 2U * static_cast<std::uint32_t>(section - 1) +
         (v == Varied::w ? 0U : 1U);
}

MultisectionToleranceSample multisection_tolerance_sample(const MultisectionToleranceDesign& design,
                                                          std::uint64_t index,
                                                          std::optional<Varied> held) {
  MultisectionToleranceSample s = nominal_values(design);
  draw(design, index, held, s);
  evaluate(design, s);
  return s;
}

bool passes(const MultisectionToleranceSample& sample, std::span<const BandLimit> limits) {
  if (sample.status != SampleStatus::ok) return false;
  return std::ranges::all_of(limits, [&sample](const BandLimit& l) {
    const double v = sample.outcomes.at(static_cast<std::size_t>(l.outcome));
    return v >= l.low && v <= l.high;
  });
}

MultisectionToleranceSample multisection_nominal_sample(const MultisectionToleranceDesign& design) {
  MultisectionToleranceSample s = nominal_values(design);
  evaluate(design, s);
  return s;
}

}  // namespace ketrovane
