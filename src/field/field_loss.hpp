// Attenuation of the even and odd modes from the field solution: conductor
// loss by Wheeler's incremental-inductance rule with Hammerstad's roughness
// factor, plus dielectric loss.
//
//   H. A. Wheeler, "Formulas for the skin effect", Proc. IRE 30, 1942;
//   E. O. Hammerstad and F. Bekkadal, "Microstrip Handbook", ELAB report
//   STF44 A74169, 1975 (roughness factor).
//
// Units are those of the closed-form model's loss: lengths in inches,
// frequency in MHz, resistivity in ohm-inch, roughness (RMS) in inches,
// attenuation in dB per inch.
#pragma once

#include <optional>
#include <string>

#include "field/field_solver.hpp"

namespace ketrovane::field {

struct LossInputs {
  double frequency_mhz;  // 0 gives no loss
  double resistivity;    // ohm-inch; 0 for a perfect conductor
  double roughness;      // RMS surface roughness, inch; 0 for a smooth surface
  double loss_tangent;   // of the dielectric
};

// Why the loss inputs are unusable (not finite, or below 0), if they are.
std::optional<std::string> loss_input_error(const LossInputs& inputs);

struct ModeLoss {
  double conductor;       // dB per inch
  double dielectric;      // dB per inch
  double total;           // dB per inch
  double error_estimate;  // relative, of the conductor loss
};

struct FieldLoss {
  ModeLoss even;
  ModeLoss odd;
};

struct FieldLossResult {
  FieldStatus status = FieldStatus::ok;
  std::string message;            // empty when ok
  double error_estimate = 0.0;    // worst of the two modes' conductor-loss estimates
  std::optional<FieldLoss> loss;  // only when ok

  [[nodiscard]] bool ok() const { return status == FieldStatus::ok; }
};

// Geometry in inches.  The conductor loss is -sqrt(er) Rs K/(2 eta0) d(ln C)/dn,
// n being the distance by which every conductor surface recedes (b and s grow
// by 2n, w and t shrink by 2n; strips of zero thickness stay so; off the
// centre plane h grows by n, the lower plane receding; one above the other
// sv grows by 2n and wo stays), C the air-filled capacitance and K
// Hammerstad's factor.  A sheet of zero thickness stays a sheet: side by
// side it keeps its height, one above the other the face that looks at the
// twin recedes (sv grows by 2n); the recession of a sheet's other face has no
// geometry of its own and is left out, so wide stacked sheets lose little in
// the even mode, whose current flows on those faces.  The derivative is a
// central difference on one panel layout, refined until it changes by less
// than the tolerance from one level to the next (relative, of d(ln C)/dn in
// each mode; 1e-4 with the default options, the tolerance the accuracy map's
// conductor-loss bound adds).
FieldLossResult field_loss(const Geometry& inches, const LossInputs& inputs,
                           const Options& options = {});

// The conductor loss of each mode per ohm of surface resistance, dB per inch
// per ohm: a property of the geometry alone.  The loss at any frequency,
// resistivity and roughness follows from it without another field solution
// (loss_from_factor), so a sweep over frequency solves the field once.
struct ConductorLossFactor {
  double even;
  double odd;
};

struct ConductorLossFactorResult {
  FieldStatus status = FieldStatus::ok;
  std::string message;
  double error_estimate = 0.0;  // relative
  std::optional<ConductorLossFactor> factor;

  [[nodiscard]] bool ok() const { return status == FieldStatus::ok; }
};

// In a stack the factor of each mode is -sqrt(eeff) K/(2 eta0) d(ln C0)/dn,
// C0 the capacitance with the dielectric taken away (the inductance's).
ConductorLossFactorResult conductor_loss_factor(const Geometry& inches,
                                                const Options& options = {});

// The loss of each mode from the factor; inputs must be finite and 0 or
// more (field_loss checks them).
FieldLoss loss_from_factor(const ConductorLossFactor& factor, double er, const LossInputs& inputs,
                           double error_estimate);

// What a mode sees of a stack of dielectrics (its ModeSolution's effective
// permittivity and energy-weighted loss tangent).
struct ModeMedium {
  double effective_permittivity;
  double loss_tangent;
};

// The same in a stack: each mode's dielectric loss from its own medium
// (inputs.loss_tangent is not looked at).  The conductor-loss factor of a
// stack already holds each mode's sqrt(eeff).
FieldLoss loss_from_factor(const ConductorLossFactor& factor, const ModeMedium& even,
                           const ModeMedium& odd, const LossInputs& inputs, double error_estimate);

}  // namespace ketrovane::field
