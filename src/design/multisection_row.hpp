// The rows of a multi-section coupler: each section of a coupling profile
// dimensioned by the synthesis of a single coupler, and the response of
// the whole cascade at any frequency.
//
// Every section is a quarter wave long at the profile's f0 in the board's
// dielectric (on a stack of layers at the mean of its own two modes'
// velocities, each section's its own) and is matched to Zo (Zoe Zoo = Zo^2)
// as a single coupler of its coupling is, in single precision, so that one
// section is the single coupler to the bit.  On a board, its
// dimensions come from synthesis_row, so that every arrangement, solver
// and fab limit works as for one coupler, and its loss from its own
// cross-section as a response takes it from dimensions; without a board the
// sections are the lossless ideal ones.  Units as row_kernel.hpp; no input
// or output, no state.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "design/row_kernel.hpp"
#include "frequency/scattering_matrix.hpp"
#include "synthesis/multisection.hpp"

namespace ketrovane {

// What the sections are built on besides their profile.
struct MultisectionBuild {
  float zo;
  float er;                    // the dielectric of the lengths (the board's, with a board;
                               // on a stack each section's modes give its own)
  std::optional<Board> board;  // none: ideal lossless sections
  Materials materials;         // on a board: the loss of each section
  Solver solver = Solver::model;
  SynthesisSetup setup;  // the arrangement, what is solved for, the fab's limits
};

struct SectionRow {
  int index;          // 1 at the source end
  float coupling_db;  // negative
  float zoe;          // the section's matched mode impedances
  float zoo;
  float length_inch;
  std::optional<SynthesisRow> synthesis;  // on a board
  ResponseCoupler coupler;                // what the cascade is made of (when built)
  RowStatus status;
};

struct MultisectionCoupler {
  std::vector<SectionRow> sections;
  // Every section could be built, so the cascade has a response.
  [[nodiscard]] bool built() const;
};

// A section coupling more weakly than this (dB) is in effect a pair of
// uncoupled lines: it adds length and loss, and next to nothing of the
// coupling.
inline constexpr float kWeakestCoupledSectionDb = -40.0F;

// The sections of `coupler` coupling more weakly than
// kWeakestCoupledSectionDb, from the source end.
std::vector<const SectionRow*> weakly_coupled_sections(const MultisectionCoupler& coupler);

// The sections of `design` on `build`, from the source end.
MultisectionCoupler multisection_coupler(const MultisectionDesign& design,
                                         const MultisectionBuild& build);

// The sections of a built coupler at f_mhz, each with its attenuation there.
std::vector<CoupledSection> sections_at(const MultisectionCoupler& coupler, float f_mhz);

// The response row of the cascade at f_mhz, in the columns of a single
// coupler's; its section is the first one.
ResponseRow multisection_response_row(const MultisectionCoupler& coupler, float f_mhz,
                                      Terminations terminations);

// The 4x4 scattering matrix of the cascade at f_mhz, its ports referenced
// to references.source (1 and 4) and references.load (2 and 3); not a number
// where the field solver could not find a section's loss.
ScatteringMatrix multisection_scattering_matrix(const MultisectionCoupler& coupler, float f_mhz,
                                                Terminations references);

// The matrix at each of f_mhz, in order.
std::vector<ScatteringMatrix> multisection_scattering_matrices(const MultisectionCoupler& coupler,
                                                               std::span<const float> f_mhz,
                                                               Terminations references);

}  // namespace ketrovane
