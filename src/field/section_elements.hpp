// The Nystrom solution of boundary_elements.hpp on the whole surface of one
// strip (section.hpp), the twin strip entering through the kernel: the
// kernel's logarithmic singularities -- the source, the twin's image of it,
// and their reflections in the planes -- are integrated in closed form over
// every panel close to a field point, the smooth remainder by the Gauss rule.
#pragma once

#include <vector>

#include "field/boundary_elements.hpp"
#include "field/gauss_legendre.hpp"
#include "field/section.hpp"

namespace ketrovane::field {

// Room for the two modes' systems, handed from one refinement level to the
// next by the caller so that each solution faults fresh memory in once: the
// systems are dense, a megabyte or two, and the first touch of each page
// costs as much as a third of the factorisation.
struct SectionStorage {
  std::vector<double> even;
  std::vector<double> odd;
};

// Doubles each system of n unknowns takes.
std::size_t system_size(std::size_t unknowns);

// C/eps of one strip with the twin at the same (even) or the opposite (odd)
// potential; NaN in both when the layout does not fit the section.
ModeCapacitances section_capacitances(const Section& section, const PanelLayout& layout,
                                      const ReferencePanel& reference, SectionStorage& storage);

}  // namespace ketrovane::field
