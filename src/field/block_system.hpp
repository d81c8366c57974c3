// The system of strips in a stack, A = [[P, Q], [R, T]]: P the strips' own
// block (the air-filled system), T the interfaces' (the identity less a
// coupling of the size of (er_a - er_b)/(er_a + er_b)).  With [[P, Q], [0, I]]
// as right preconditioner (block Gauss-Seidel) GMRES converges in about ten
// steps, each costing n^2, where a factorisation of A costs n^3; should it
// stall, A is factorised after all.  P's factorisation also gives the
// air-filled solution.
#pragma once

#include <Eigen/Dense>

namespace ketrovane::field {

class BlockSystem {
 public:
  // The first `strip` unknowns are the strips'.
  BlockSystem(const Eigen::MatrixXd& matrix, Eigen::Index strip);

  [[nodiscard]] Eigen::VectorXd solve(const Eigen::VectorXd& right) const;
  [[nodiscard]] Eigen::VectorXd solve_transposed(const Eigen::VectorXd& right) const;
  // The strips' charge at unit potential with the dielectrics taken away.
  [[nodiscard]] double air_charge() const;

 private:
  const Eigen::MatrixXd& matrix_;
  Eigen::Index strip_;
  Eigen::PartialPivLU<Eigen::MatrixXd> strips_;
};

}  // namespace ketrovane::field
