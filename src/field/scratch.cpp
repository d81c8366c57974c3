#include "field/scratch.hpp"

namespace ketrovane::field {
namespace {

// A slot of more doubles than this (16 MiB, a system of 1400 unknowns) is
// given back after the solution that needed it.
constexpr std::size_t kMostKeptDoubles = std::size_t{1} << 21;

}  // namespace

Eigen::Map<Eigen::MatrixXd> Scratch::matrix(ScratchSlot slot, Eigen::Index rows,
                                            Eigen::Index cols) {
  std::vector<double>& memory = slots_[static_cast<std::size_t>(slot)];
  const auto size = static_cast<std::size_t>(rows * cols);
  if (memory.size() < size) memory.assign(size, 0.0);
  return {memory.data(), rows, cols};
}

void Scratch::trim() {
  for (std::vector<double>& memory : slots_)
    if (memory.size() > kMostKeptDoubles) std::vector<double>().swap(memory);
}

Scratch& thread_scratch() {
  thread_local Scratch scratch;
  return scratch;
}

}  // namespace ketrovane::field
