// A single strip between the ground planes: the row of the `line` command
// (its impedance, effective permittivity, loss and length per degree, or
// the width for an impedance) and the feed line of a coupler's artwork, of
// the impedance asked, on the same board as the coupler's pair.
//
// A strip stands where one strip of a StripPair stands (its S not looked
// at): side by side centred, or at H, on the pair's board or stack; one
// above the other, where the upper strip stands.  On the model only where
// the model knows the pair (centred, one dielectric, model/single_strip.hpp);
// elsewhere on the field solution (field/single_strip.hpp).  Lengths in
// inches, frequencies in MHz, loss in dB per inch.  No state, no input or
// output; every function may be called from several threads at once.
#pragma once

#include <optional>
#include <string>

#include "design/row_kernel.hpp"
#include "design/strip_pair.hpp"
#include "field/single_strip.hpp"
#include "model/single_strip.hpp"

namespace ketrovane {

struct FeedLine {
  double width_inch;
  double zo;
  double eeff;
};

// The single strip of impedance zo standing where one strip of `pair`
// stands: side by side at the pair's height (centred, or at H) on its board
// or stack; one above the other at the height of the upper strip (the stack
// being its own mirror image, the lower strip's line is the same).  On the
// model (Solver::model) only where the model knows the pair (centred, one
// dielectric); otherwise, and for Solver::field or both, the field
// solution.  None when no width gives zo (line_width_for says why).
std::optional<FeedLine> feed_line_for(float zo, const StripPair& pair, Solver solver);

// The field solver's view of the strip of width w where a strip of `where`
// stands.
field::StripGeometry strip_geometry(const StripPair& where, float w);

// Whether the closed form covers a strip standing there: centred, one dielectric.
bool line_on_model(const StripPair& where);

// The field's line beside the model's: its impedance and the model's error.
struct LineComparison {
  float zo;
  float zo_error_pct;  // 100 (model/field - 1)
};

struct LineRow {
  StripPair strip;  // the strip's width in strip.x.w
  float zo;         // ohms
  float eeff;
  StripAttenuation loss;                // at the row's frequency
  float inch_per_degree;                // guided wavelength / 360; 0 without a frequency
  RowStatus status;                     // ok, not_finite, a field failure; for a width: converged,
                                        // unusable, not_representable, field_not_converged
  bool model_in_range = true;           // the model's strip within Cohn's range, w/(b - t) >= 0.35
  std::optional<LineComparison> field;  // with Solver::both on the model
  std::optional<FieldFailure> failure;  // why the field failed the row
};

// The strip of width `where.x.w`.
LineRow line_row(const StripPair& where, const Materials& materials, float f_mhz, Solver solver);

// The strip of impedance zo: the row of the width found, or a failed row
// (width NaN) with the status and the reason.
struct LineWidth {
  LineRow row;
  std::string why;  // empty when converged
};
LineWidth line_width_for(float zo, const StripPair& where, const Materials& materials, float f_mhz,
                         Solver solver);

}  // namespace ketrovane
