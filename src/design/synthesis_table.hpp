// Synthesis over a range: for a fixed coupler impedance, the strip width and
// spacing of each coupling level, or of each even-mode impedance, of a
// range, row after row, with the rules that end the table.
#pragma once

#include <cstdint>
#include <variant>

#include "design/row_kernel.hpp"

namespace ketrovane {

// Coupling levels as magnitudes in dB: the rows run from the weakest level
// toward 0 dB by the step, and the last row is the first level whose
// magnitude is the strongest or less.
struct CouplingLevels {
  float strongest_db;
  float weakest_db;
  float step_db;
};

// Even-mode impedances from min up to max by step, ohms.
struct EvenModeImpedances {
  float min;
  float max;
  float step;
};

struct SynthesisTableInput {
  Board board;  // inches
  float zo;     // ohms
  std::variant<CouplingLevels, EvenModeImpedances> range;
};

// How a table ends.
enum class TableEnd : std::uint8_t {
  last_row,       // the last level of the range was printed
  past_the_range  // the next level lies past the range (beyond 0 dB or the
                  // greatest Zoe), or a step too small to move the level
};

// One step of the table: a row, a row that cannot be built (which ends the
// table), or the end.
struct SynthesisStep {
  enum class Kind : std::uint8_t { row, unrealisable, end } kind;
  SynthesisRow row;  // for row and unrealisable; over a Zoe range its Zo is
                     // recomputed from Zoe and Zoo
  TableEnd end;      // for end
};

class SynthesisTable {
 public:
  explicit SynthesisTable(const SynthesisTableInput& input);

  // The next step; after an unrealisable row or the end, the end again.
  SynthesisStep next();

 private:
  SynthesisStep next_level(const CouplingLevels& levels);
  SynthesisStep next_impedance(const EvenModeImpedances& range);
  [[nodiscard]] SynthesisStep build(const SynthesisTargets& targets) const;

  SynthesisTableInput input_;
  float level_;  // the current coupling level (dB) or even-mode impedance
  bool printed_ = false;
  bool last_ = false;
  bool ended_ = false;
  TableEnd end_ = TableEnd::last_row;
};

}  // namespace ketrovane
