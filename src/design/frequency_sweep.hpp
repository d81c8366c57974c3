// Frequency analysis: the four-port response of one coupler section at
// equally spaced frequencies.  A coupler given by its impedances is
// lossless; one given by its dimensions has conductor and dielectric loss,
// evaluated at every frequency.
#pragma once

#include <cstdint>
#include <optional>

#include "frequency/four_port.hpp"
#include "model/cross_section.hpp"
#include "model/loss.hpp"

namespace ketrovane {

// The dimensions and materials of a coupler that has losses.
struct LossyCoupler {
  CrossSection geometry;
  Conductor conductor;
  float loss_tangent;
};

struct FrequencySweepInput {
  float zoe;  // ohms
  float zoo;  // ohms
  float er;
  float length_inch;
  Terminations terminations;
  std::optional<LossyCoupler> losses;  // none: a lossless section
  float f_first_mhz;
  float f_step_mhz;
  int step_count;  // the sweep has step_count + 1 rows
};

struct FrequencyRow {
  float f_mhz;
  ModeAttenuation attenuation;  // zero for a lossless section
  FourPortResponse response;
};

class FrequencySweep {
 public:
  explicit FrequencySweep(const FrequencySweepInput& input) : input_(input) {}

  [[nodiscard]] std::int64_t rows() const {
    return input_.step_count < 0 ? 0 : input_.step_count + std::int64_t{1};
  }
  [[nodiscard]] FrequencyRow row(std::int64_t index) const;

 private:
  FrequencySweepInput input_;
};

}  // namespace ketrovane
