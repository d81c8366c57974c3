#include "design/synthesis_table.hpp"

#include <cmath>
#include <type_traits>

namespace ketrovane {

namespace {

SynthesisStep end_of_table(TableEnd end) {
  return {SynthesisStep::Kind::end, {}, end};
}

}  // namespace

SynthesisTable::SynthesisTable(const SynthesisTableInput& input) : input_(input) {
  // The first step lands on the weakest level or the least impedance.  The
  // levels accumulate in single precision, so a step that is not a whole
  // number can leave the last level off a multiple of it.
  if (const auto* levels = std::get_if<CouplingLevels>(&input.range)) {
    level_ = -levels->weakest_db - levels->step_db;
  } else {
    const auto& range = std::get<EvenModeImpedances>(input.range);
    level_ = range.min - range.step;
  }
}

SynthesisStep SynthesisTable::next() {
  if (ended_) return end_of_table(end_);
  if (last_) {
    ended_ = true;
    return end_of_table(end_ = TableEnd::last_row);
  }
  SynthesisStep step = std::visit(
      [this](const auto& range) {
        if constexpr (std::is_same_v<std::decay_t<decltype(range)>, CouplingLevels>) {
          return next_level(range);
        } else {
          return next_impedance(range);
        }
      },
      input_.range);
  if (step.kind != SynthesisStep::Kind::row) {
    ended_ = true;
    end_ = step.kind == SynthesisStep::Kind::end ? step.end : TableEnd::last_row;
  }
  printed_ = true;
  return step;
}

SynthesisStep SynthesisTable::next_level(const CouplingLevels& levels) {
  const float next = level_ + levels.step_db;
  // A step too small to move the level would print the same row for ever.
  if ((printed_ && next == level_) || next >= 0.0F) return end_of_table(TableEnd::past_the_range);
  level_ = next;
  SynthesisStep step = build(targets_of_coupling(input_.zo, level_));
  if (!(std::fabs(level_) > levels.strongest_db)) last_ = true;
  return step;
}

SynthesisStep SynthesisTable::next_impedance(const EvenModeImpedances& range) {
  const float next = level_ + range.step;
  if (printed_ && next == level_) return end_of_table(TableEnd::past_the_range);
  level_ = next;
  if (level_ > range.max) return end_of_table(TableEnd::past_the_range);
  // Zo comes back as sqrt(Zoe Zoo), the given Zo up to rounding, and the
  // next row's Zoo is formed from it.
  const SynthesisTargets targets = targets_of_even_mode(input_.zo, level_);
  input_.zo = targets.zo;
  SynthesisStep step = build(targets);
  if (!(range.max > targets.zoe)) last_ = true;
  return step;
}

SynthesisStep SynthesisTable::build(const SynthesisTargets& targets) const {
  SynthesisSetup as_stored;
  as_stored.to_resolution = false;
  const SynthesisRow row = synthesis_row(input_.board, targets, Solver::model, as_stored);
  const auto kind = row.built ? SynthesisStep::Kind::row : SynthesisStep::Kind::unrealisable;
  return {kind, row, TableEnd::last_row};
}

}  // namespace ketrovane
