// The scattering matrix of the coupler section over frequency as a
// Touchstone 1.1 four-port file (.s4p): comment lines naming the program,
// its inputs and the port numbering, the option line, and for each
// frequency the four matrix rows on four lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "calc/output_file.hpp"
#include "frequency/scattering_matrix.hpp"

namespace ketrovane::calc {

enum class PairFormat : std::uint8_t { ma, db, ri };

// The pair format --touchstone-format names (a choice already checked).
PairFormat pair_format_named(std::string_view name);

class TouchstoneWriter {
 public:
  // `comments` are written one per line after "! ".
  TouchstoneWriter(Sink& sink, const std::vector<std::string>& comments, PairFormat format,
                   float reference_ohm);

  void frequency(float f_mhz, const ScatteringMatrix& m);

 private:
  [[nodiscard]] std::string pair(Complex s) const;

  Sink& sink_;
  PairFormat format_;
};

}  // namespace ketrovane::calc
