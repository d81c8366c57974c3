// The system of strips in a stack, A = [[P, Q], [R, T]]: P the strips' own
// block (the air-filled system), T the interfaces' (the identity less a
// coupling of the size of (er_a - er_b)/(er_a + er_b)).  With [[P, Q], [0, I]]
// as right preconditioner (block Gauss-Seidel) GMRES converges in about ten
// steps, each costing n^2, where a factorisation of A costs n^3; should it
// stall, A is factorised after all.  P's factorisation also gives the
// air-filled solution.  The factor and GMRES's basis live in the scratch
// memory given, which must outlive the system.
#pragma once

#include <Eigen/Dense>

#include "field/scratch.hpp"

namespace ketrovane::field {

class BlockSystem {
 public:
  // The first `strip` unknowns are the strips'.
  BlockSystem(const Eigen::Ref<const Eigen::MatrixXd>& matrix, Eigen::Index strip,
              Scratch& scratch);

  [[nodiscard]] Eigen::VectorXd solve(const Eigen::VectorXd& right) const;
  [[nodiscard]] Eigen::VectorXd solve_transposed(const Eigen::VectorXd& right) const;
  // The strips' charge at unit potential with the dielectrics taken away.
  [[nodiscard]] double air_charge() const;

 private:
  Eigen::Ref<const Eigen::MatrixXd> matrix_;
  Eigen::Index strip_;
  Scratch& scratch_;
  Eigen::Map<Eigen::MatrixXd> factor_;  // the strips' block, factorised in place
  Eigen::PartialPivLU<Eigen::Ref<Eigen::MatrixXd>> strips_;
};

}  // namespace ketrovane::field
