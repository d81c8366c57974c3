// Impedance analysis over a range of strip widths or of strip spacings:
// per row the mode impedances, the coupler impedance and coupling, and the
// attenuation of each mode at one frequency.
#pragma once

#include <cstdint>

#include "design/dimension_analysis.hpp"
#include "design/ranges.hpp"
#include "model/cross_section.hpp"
#include "model/loss.hpp"

namespace ketrovane {

enum class SweptDimension : std::uint8_t { width, spacing };

struct ImpedanceSweepInput {
  CrossSection nominal;  // the fixed dimensions; the swept one is ignored
  SweptDimension swept;
  Range range;  // of the swept dimension, inches
  Conductor conductor;
  float loss_tangent;
  float f_mhz;  // where the attenuation is evaluated
};

struct ImpedanceRow {
  CrossSection geometry;
  float swept_value;  // the width or spacing of the row, inches
  float ratio_to_b;   // (1/b) times it, as printed
  DimensionAnalysis analysis;
  ModeAttenuation attenuation;
};

class ImpedanceSweep {
 public:
  // Rows from the step count the range gives with the quotient in double
  // precision.
  explicit ImpedanceSweep(const ImpedanceSweepInput& input);

  // The number of rows; 0 when the step count is negative.
  [[nodiscard]] std::int64_t rows() const { return step_count_ + std::int64_t{1}; }
  [[nodiscard]] int step_count() const { return step_count_; }
  [[nodiscard]] ImpedanceRow row(std::int64_t index) const;

 private:
  ImpedanceSweepInput input_;
  int step_count_;
};

}  // namespace ketrovane
