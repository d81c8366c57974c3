// Quasi-static field solver for two equal strips of width w and thickness t
// between two grounded planes b apart in a homogeneous dielectric er or in a
// stack of dielectric layers, side by side or one above the other
// (Arrangement): the even- and odd-mode capacitances, effective
// permittivities and impedances from a boundary-element solution for the
// surface charge, each with the estimate of its error that the refinement
// justifies.
//
// Lengths may be in any one unit.  Everything is double precision; nothing
// here does input or output or keeps state between calls, and every function
// may be called from several threads at once.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace ketrovane::field {

// Wave impedance of free space, ohms.
inline constexpr double kFreeSpaceImpedance = 376.730313668;

// How the two strips stand between the planes.  Every arrangement is a
// symmetric coupler: a symmetry of the cross-section carries each strip onto
// the other, so the even mode (both strips at one potential) and the odd
// mode (opposite potentials) describe it.
enum class Arrangement : std::uint8_t {
  // Side by side with edge gap s, centred between the planes (mirror:
  // the vertical line midway between the strips).
  edge,
  // Side by side with edge gap s, the strips' horizontal mid-plane at height
  // h above the lower plane; h = b/2 is edge (mirror: the vertical line
  // midway between the strips).
  edge_offset,
  // One strip above the other, the pair centred between the planes: a
  // vertical gap sv between their facing surfaces, their centre lines wo
  // apart sideways (point symmetry about the centre of the cross-section;
  // wo = 0 adds the mirror in the centre plane).
  broadside,
};

// One dielectric layer of a stack between the planes.
struct DielectricLayer {
  double thickness;           // in the unit of the other lengths
  double er;                  // relative permittivity, 1 or more
  double loss_tangent = 0.0;  // 0 or more

  bool operator==(const DielectricLayer&) const = default;
};

// Most layers a stack may have.
inline constexpr int kMostLayers = 16;

// The dielectric between the planes, bottom to top; empty when one
// dielectric (Geometry::er) fills the space.  A fixed array, so that a
// geometry copies without allocating in the solvers' inner loops.
struct Stack {
  std::array<DielectricLayer, kMostLayers> layers{};
  int count = 0;

  [[nodiscard]] bool empty() const { return count == 0; }
  [[nodiscard]] std::span<const DielectricLayer> view() const {
    return {layers.data(), static_cast<std::size_t>(count)};
  }
  bool operator==(const Stack& other) const {
    return count == other.count &&
           std::equal(layers.begin(), layers.begin() + count, other.layers.begin());
  }
};

struct Geometry {
  double b;   // ground-plane spacing
  double t;   // strip thickness; 0 for strips of zero thickness
  double w;   // width of each strip
  double s;   // edge-to-edge gap (edge, edge_offset; ignored for broadside)
  double er;  // relative permittivity of the dielectric
  Arrangement arrangement = Arrangement::edge;
  double h = 0.0;   // edge_offset: height of the strips' mid-plane above the lower plane
  double sv = 0.0;  // broadside: gap between the strips' facing surfaces
  double wo = 0.0;  // broadside: sideways distance between the strips' centre lines, >= 0
  // When not empty, the layers of dielectric between the planes, bottom to
  // top: b is the sum of their thicknesses and er is not looked at.  The
  // strips stand where the arrangement puts them (edge: the mid-plane at
  // b/2; edge_offset: at h; broadside: centred, sv apart).
  Stack stack{};
};

struct Options {
  double tolerance = 1e-4;  // relative error asked of each mode impedance
  int max_refinements = 8;  // refinement levels after the first, at most 9
};

struct ModeSolution {
  double capacitance;     // C/eps0 of one strip with the dielectric taken away (in
                          // one dielectric: C/eps), a pure number
  double impedance;       // ohms
  double error_estimate;  // relative: the larger of the two modes' changes from the
                          // previous refinement level (one discretisation serves both)
  int panels;             // panels on the solved part of one strip's surface: a
                          // quarter of it side by side and centred, else all of it
  int unknowns;           // charge values solved for
  // C with the dielectric over C without it: er in one dielectric.
  double effective_permittivity = 0.0;
  // The layers' loss tangents weighted by the mode's electric energy in
  // each; in one dielectric 0, its loss tangent being the loss's input.
  double loss_tangent = 0.0;
};

struct FieldSolution {
  ModeSolution even;
  ModeSolution odd;
  double zo;                 // sqrt(Zoe Zoo), ohms
  double coupling_db;        // 20 log10((Zoe - Zoo)/(Zoe + Zoo)), dB, negative;
                             // -infinity when the strips are too far apart for
                             // the difference to be resolved
  double coupling_error_db;  // change from the previous level, dB
  int refinements;           // levels solved after the first
};

enum class FieldStatus {
  ok,
  invalid_input,  // a dimension, er or an option outside its domain
  not_converged,  // the refinement bound was reached first
};

struct FieldResult {
  FieldStatus status = FieldStatus::ok;
  std::string message;                    // what went wrong; empty when ok
  double error_estimate = 0.0;            // worst relative estimate of the two modes
                                          // at the last level solved
  std::optional<FieldSolution> solution;  // only when ok

  [[nodiscard]] bool ok() const { return status == FieldStatus::ok; }
};

// Refines until both mode impedances are within the tolerance, at most
// options.max_refinements times.  Domain: b, w, s positive and finite;
// 0 <= t < b; er >= 1 and finite; the ratios w/b and s/b finite and at least
// 1e-6, t/b either 0 or at least 1e-6; the tolerance positive and finite.
// Off the centre plane, the gaps h - t/2 and b - h - t/2 at least 1e-6 b.
// One above the other (s not looked at): sv positive, sv/b at least 1e-6,
// the outer gaps (b - sv - 2t)/2 at least 1e-6 b, wo finite and 0 or more,
// w at most 100 b.  On a stack of layers (up to kMostLayers, each of
// positive thickness, er >= 1, loss tangent >= 0, adding up to b) the copper
// lies within one layer, its faces on the boundaries between layers at most,
// and strips one above the other need a stack that is its own mirror image
// about the centre plane.  Anything else gives FieldStatus::invalid_input
// with a message that names the quantity and its value.
//
// The centred pair is solved on a quarter of one strip's surface with the
// kernel of green_function.hpp; the others on the whole surface of one strip
// with the kernel of plane_green.hpp, the twin entering through the kernel.
// At h = b/2 the two cuts coincide, so the solutions agree, mostly to
// rounding and to 1e-7 at worst.  A stack of layers all of one er and loss
// tangent is solved as that dielectric; any other stack on the whole
// surface of one strip with the interfaces' bound charge (layered.hpp),
// whatever the arrangement, its estimate covering the capacitances with and
// without the dielectrics and their ratio.
FieldResult solve(const Geometry& geometry, const Options& options = {});

// Cohn's exact conformal-mapping solution for strips of zero thickness, with
// an error estimate of a few units of rounding.  Requires t = 0, the strips
// side by side and centred, and otherwise the domain of solve().
FieldResult exact_zero_thickness(const Geometry& geometry);

}  // namespace ketrovane::field
