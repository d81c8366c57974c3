// One strip of width w and thickness t between two grounded planes b apart,
// its mid-plane at height h above the lower plane (centred by default), in
// one dielectric er or in a stack of dielectric layers: its capacitance,
// impedance, effective permittivity and energy-weighted loss tangent from
// the boundary-element solution of section.hpp with no twin (the kernel's
// TwinSymmetry::none), refined to a tolerance as solve() refines a pair;
// its attenuation by Wheeler's rule as field_loss.hpp has it for a pair.
//
// Lengths in any one unit for the solution, inches for the loss.  Double
// precision, no input or output, no state: every function may be called
// from several threads at once.
#pragma once

#include <optional>
#include <string>

#include "field/field_loss.hpp"
#include "field/field_solver.hpp"

namespace ketrovane::field {

struct StripGeometry {
  double b;                 // ground-plane spacing
  double t;                 // thickness; 0 for a sheet
  double w;                 // width
  double er;                // relative permittivity; not looked at on a stack
  std::optional<double> h;  // height of the mid-plane; none: b/2
  Stack stack{};            // empty: one dielectric er; else b is its sum
};

struct StripSolution {
  double capacitance;             // C/eps0 with the dielectric taken away (one dielectric: C/eps)
  double impedance;               // ohms
  double effective_permittivity;  // er in one dielectric
  double loss_tangent;            // energy-weighted on a stack; the layers' in one of them; else 0
  double error_estimate;          // relative change from the previous level
  int panels;                     // on the whole surface of the strip
  int unknowns;                   // charge values solved for
  int refinements;                // levels solved after the first
};

struct StripResult {
  FieldStatus status = FieldStatus::ok;
  std::string message;  // empty when ok
  double error_estimate = 0.0;
  std::optional<StripSolution> solution;  // only when ok

  [[nodiscard]] bool ok() const { return status == FieldStatus::ok; }
};

// The domain is that of solve() for a pair off the centre plane (the gaps
// to the planes, t, w, er, the stack); outside it FieldStatus::invalid_input
// with a message naming the quantity.
StripResult solve_strip(const StripGeometry& geometry, const Options& options = {});

// The exact solution of a centred sheet in one dielectric (conformal
// mapping): Z = eta0/(4 sqrt(er)) K(k)/K(k'), k = sech(pi w / 2b), that is
// C/eps = 4 K(k')/K(k).  Requires t = 0, h centred and no stack.
StripResult exact_strip(const StripGeometry& geometry);

struct StripLossResult {
  FieldStatus status = FieldStatus::ok;
  std::string message;
  double error_estimate = 0.0;  // relative, of the conductor loss
  std::optional<ModeLoss> loss;

  [[nodiscard]] bool ok() const { return status == FieldStatus::ok; }
};

// Lengths in inches.  The conductor loss is -sqrt(eeff) Rs K/(2 eta0)
// d(ln C0)/dn, every conductor surface receding by n (b grows by 2n, w and t
// shrink by 2n, a sheet stays a sheet, h grows by n), C0 the capacitance in
// air; the dielectric loss from the effective permittivity and the
// energy-weighted loss tangent (inputs.loss_tangent in one dielectric).
StripLossResult strip_loss(const StripGeometry& inches, const LossInputs& inputs,
                           const Options& options = {});

}  // namespace ketrovane::field
