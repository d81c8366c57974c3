// Sensitivity analysis over a range of strip widths or of strip spacings.
#pragma once

#include <cstdint>

#include "design/impedance_sweep.hpp"
#include "model/sensitivity.hpp"

namespace ketrovane {

struct SensitivitySweepInput {
  CrossSection nominal;  // the fixed dimensions; the swept one is ignored
  SweptDimension swept;
  Range range;     // only min and step are read
  int step_count;  // the sweep has step_count + 1 rows
};

struct SensitivityRow {
  CrossSection geometry;
  ImpedanceSensitivities sensitivities;
};

class SensitivitySweep {
 public:
  explicit SensitivitySweep(const SensitivitySweepInput& input) : input_(input) {}

  [[nodiscard]] std::int64_t rows() const {
    return input_.step_count < 0 ? 0 : input_.step_count + std::int64_t{1};
  }
  [[nodiscard]] SensitivityRow row(std::int64_t index) const;

 private:
  SensitivitySweepInput input_;
};

}  // namespace ketrovane
