#include "design/multisection_row.hpp"

#include <cmath>
#include <limits>

#include "design/quarter_wave.hpp"
#include "frequency/cascade.hpp"

namespace ketrovane {

namespace {

// The coupling of a section of voltage coupling k, in negative dB.
float coupling_db_of(double k) {
  return static_cast<float>(20.0 * std::log10(k));
}

// The cross-section a synthesis built, where its strips stand.
StripPair pair_of(const SynthesisRow& row, const Board& board) {
  return {CrossSection{board, row.w, row.s}, row.placement};
}

// On a stack of layers each section's two modes travel at speeds of its
// own: it is a quarter wave at f0 at the mean of its modes' velocities
// (NaN without a design).
float length_on_stack(const SynthesisRow& row, float f0_mhz) {
  return quarter_wave_length(f0_mhz, row.eeff_even, row.eeff_odd);
}

// A section on the board: its dimensions from the synthesis, its numbers
// from those dimensions.
void build_on_board(SectionRow& section, const SynthesisTargets& targets, const Board& board,
                    const MultisectionBuild& build, float f0_mhz) {
  const SynthesisRow row = synthesis_row(board, targets, build.solver, build.setup);
  section.synthesis = row;
  section.status = row.status;
  if (!build.setup.placement.stack.empty()) section.length_inch = length_on_stack(row, f0_mhz);
  if (!row.built) return;
  section.coupler = coupler_of_dimensions(pair_of(row, board), build.materials, section.length_inch,
                                          build.solver);
  if (is_failure(section.coupler.status)) section.status = section.coupler.status;
}

// The section's mode impedances are those of a single coupler of its
// coupling, matched to Zo in single precision: one section is the single
// coupler to the bit.
SectionRow section_row(int index, double k, const MultisectionBuild& build, float f0_mhz,
                       float length_inch) {
  SectionRow section{};
  section.index = index;
  section.coupling_db = coupling_db_of(k);
  const SynthesisTargets targets = targets_of_coupling(build.zo, section.coupling_db);
  section.zoe = targets.zoe;
  section.zoo = targets.zoo;
  section.length_inch = length_inch;
  if (build.board) {
    build_on_board(section, targets, *build.board, build, f0_mhz);
  } else {
    section.coupler = coupler_of_impedances(section.zoe, section.zoo, build.er, length_inch);
    section.status = section.coupler.status;
  }
  return section;
}

// The sections with an attenuation the field solver could not find: not a
// number, so that nothing of the cascade passes for a lossless one.
std::vector<CoupledSection> sections_without_loss(const MultisectionCoupler& coupler) {
  std::vector<CoupledSection> sections;
  sections.reserve(coupler.sections.size());
  for (const SectionRow& s : coupler.sections) {
    CoupledSection section = s.coupler.section;
    if (s.coupler.dimensions) {
      section.even_attenuation_db_inch = std::numeric_limits<float>::quiet_NaN();
      section.odd_attenuation_db_inch = std::numeric_limits<float>::quiet_NaN();
    }
    sections.push_back(section);
  }
  return sections;
}

}  // namespace

bool MultisectionCoupler::built() const {
  for (const SectionRow& s : sections) {
    if (is_failure(s.status)) return false;
  }
  return !sections.empty();
}

std::vector<const SectionRow*> weakly_coupled_sections(const MultisectionCoupler& coupler) {
  std::vector<const SectionRow*> weak;
  for (const SectionRow& s : coupler.sections) {
    if (s.coupling_db < kWeakestCoupledSectionDb) weak.push_back(&s);
  }
  return weak;
}

MultisectionCoupler multisection_coupler(const MultisectionDesign& design,
                                         const MultisectionBuild& build) {
  MultisectionCoupler coupler;
  if (!design.ok) return coupler;
  const auto f0_mhz = static_cast<float>(design.f0_mhz);
  const float length = quarter_wave_length(f0_mhz, build.er);
  int index = 0;
  for (const double k : design.section_coupling) {
    coupler.sections.push_back(section_row(++index, k, build, f0_mhz, length));
  }
  return coupler;
}

std::vector<CoupledSection> sections_at(const MultisectionCoupler& coupler, float f_mhz) {
  std::vector<CoupledSection> sections;
  sections.reserve(coupler.sections.size());
  for (const SectionRow& s : coupler.sections) sections.push_back(section_at(s.coupler, f_mhz));
  return sections;
}

namespace {

// With Solver::both, the field's sections of the same dimensions at f_mhz;
// none when a section has no field solution.
std::optional<std::vector<CoupledSection>> field_sections_at(const MultisectionCoupler& coupler,
                                                             float f_mhz) {
  std::vector<CoupledSection> sections;
  sections.reserve(coupler.sections.size());
  for (const SectionRow& s : coupler.sections) {
    std::optional<CoupledSection> on_the_field = field_section_at(s.coupler, f_mhz);
    if (!on_the_field) return std::nullopt;
    sections.push_back(*on_the_field);
  }
  return sections;
}

}  // namespace

ResponseRow multisection_response_row(const MultisectionCoupler& coupler, float f_mhz,
                                      Terminations terminations) {
  ResponseRow row{f_mhz, {}, {}, RowStatus::ok, std::nullopt, std::nullopt};
  std::vector<CoupledSection> sections;
  try {
    sections = sections_at(coupler, f_mhz);
  } catch (const FieldFailure& failure) {
    row.status = failure_status(failure);
    row.failure = failure;
    sections = sections_without_loss(coupler);
  }
  // Beside the model's cascade, the field's of the same dimensions.
  try {
    if (const auto on_the_field = field_sections_at(coupler, f_mhz)) {
      row.field_response = cascade_response(*on_the_field, f_mhz, terminations);
    }
  } catch (const FieldFailure& failure) {
    row.status = failure_status(failure);
    row.failure = failure;
  }
  row.section = sections.front();
  row.response = cascade_response(sections, f_mhz, terminations);
  if (!is_failure(row.status) && !all_finite(row.response)) row.status = RowStatus::not_finite;
  return row;
}

ScatteringMatrix multisection_scattering_matrix(const MultisectionCoupler& coupler, float f_mhz,
                                                Terminations references) {
  try {
    return cascade_scattering_matrix(sections_at(coupler, f_mhz), f_mhz, references);
  } catch (const FieldFailure&) {
    return cascade_scattering_matrix(sections_without_loss(coupler), f_mhz, references);
  }
}

std::vector<ScatteringMatrix> multisection_scattering_matrices(const MultisectionCoupler& coupler,
                                                               std::span<const float> f_mhz,
                                                               Terminations references) {
  std::vector<ScatteringMatrix> matrices;
  matrices.reserve(f_mhz.size());
  for (const float f : f_mhz) {
    matrices.push_back(multisection_scattering_matrix(coupler, f, references));
  }
  return matrices;
}

}  // namespace ketrovane
