// Memory a thread's layered solutions keep from one level, mode and
// cross-section to the next.  The systems take a few megabytes; taken fresh
// each time, their pages' first touches cost about a twelfth of a solution.
// What is handed out is uninitialised: every user writes before it reads.
#pragma once

#include <Eigen/Dense>
#include <array>
#include <cstddef>
#include <vector>

namespace ketrovane::field {

enum class ScratchSlot : std::size_t {
  direct_potential,
  direct_normal,
  twin_potential,
  twin_normal,
  system,
  strips_factor,
  krylov_basis,
  count,
};

class Scratch {
 public:
  // A rows x cols matrix in the slot's memory, valid until the slot is asked
  // for again.
  [[nodiscard]] Eigen::Map<Eigen::MatrixXd> matrix(ScratchSlot slot, Eigen::Index rows,
                                                   Eigen::Index cols);
  // Gives back the slots grown beyond what is worth keeping.
  void trim();

 private:
  std::array<std::vector<double>, static_cast<std::size_t>(ScratchSlot::count)> slots_;
};

// The calling thread's own.
Scratch& thread_scratch();

}  // namespace ketrovane::field
