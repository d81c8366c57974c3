#include "field/block_system.hpp"

#include <algorithm>
#include <cmath>
#include <optional>

namespace ketrovane::field {
namespace {

// Residual, relative to the right-hand side, at which GMRES stops: a part
// in 1e12 of the capacitance, far below the discretisation's error.
constexpr double kResidual = 1e-12;
// Steps before giving up for the factorisation: ten are usual, contrasts of
// 10 to 1 under twenty.
constexpr Eigen::Index kMostSteps = 60;

// GMRES on A M^-1 u = b, x = M^-1 u, from x = 0; nothing when the residual
// is not met within the steps allowed.  `step` gives A M^-1 v.
template <typename Step, typename Precondition>
std::optional<Eigen::VectorXd> gmres(const Step& step, const Precondition& precondition,
                                     const Eigen::VectorXd& b, Scratch& scratch) {
  const Eigen::Index n = b.size();
  const double beta = b.norm();
  if (beta == 0.0) return Eigen::VectorXd::Zero(n);
  const Eigen::Index most = std::min(kMostSteps, n);
  Eigen::Map<Eigen::MatrixXd> basis = scratch.matrix(ScratchSlot::krylov_basis, n, most + 1);
  Eigen::MatrixXd hessenberg = Eigen::MatrixXd::Zero(most + 1, most);
  Eigen::VectorXd cosines(most);
  Eigen::VectorXd sines(most);
  Eigen::VectorXd g = Eigen::VectorXd::Zero(most + 1);
  g(0) = beta;
  basis.col(0) = b / beta;
  for (Eigen::Index j = 0; j < most; ++j) {
    Eigen::VectorXd w = step(basis.col(j));
    for (int pass = 0; pass < 2; ++pass) {  // Gram-Schmidt twice keeps the basis orthogonal
      for (Eigen::Index i = 0; i <= j; ++i) {
        const double h = basis.col(i).dot(w);
        hessenberg(i, j) += h;
        w -= h * basis.col(i);
      }
    }
    const double norm = w.norm();
    hessenberg(j + 1, j) = norm;
    if (norm > 0.0) basis.col(j + 1) = w / norm;
    for (Eigen::Index i = 0; i < j; ++i) {
      const double a = hessenberg(i, j);
      const double c = hessenberg(i + 1, j);
      hessenberg(i, j) = cosines(i) * a + sines(i) * c;
      hessenberg(i + 1, j) = -sines(i) * a + cosines(i) * c;
    }
    const double r = std::hypot(hessenberg(j, j), hessenberg(j + 1, j));
    cosines(j) = hessenberg(j, j) / r;
    sines(j) = hessenberg(j + 1, j) / r;
    hessenberg(j, j) = r;
    hessenberg(j + 1, j) = 0.0;
    g(j + 1) = -sines(j) * g(j);
    g(j) *= cosines(j);
    if (std::abs(g(j + 1)) <= kResidual * beta || norm == 0.0) {
      const Eigen::VectorXd y = hessenberg.topLeftCorner(j + 1, j + 1)
                                    .triangularView<Eigen::Upper>()
                                    .solve(g.head(j + 1));
      return precondition(basis.leftCols(j + 1) * y);
    }
  }
  return std::nullopt;
}

Eigen::Map<Eigen::MatrixXd> copy_of_strips(const Eigen::Ref<const Eigen::MatrixXd>& matrix,
                                           Eigen::Index strip, Scratch& scratch) {
  Eigen::Map<Eigen::MatrixXd> copy = scratch.matrix(ScratchSlot::strips_factor, strip, strip);
  copy = matrix.topLeftCorner(strip, strip);
  return copy;
}

}  // namespace

BlockSystem::BlockSystem(const Eigen::Ref<const Eigen::MatrixXd>& matrix, Eigen::Index strip,
                         Scratch& scratch)
    : matrix_(matrix),
      strip_(strip),
      scratch_(scratch),
      factor_(copy_of_strips(matrix, strip, scratch)),
      strips_(factor_) {}

Eigen::VectorXd BlockSystem::solve(const Eigen::VectorXd& right) const {
  const Eigen::Index lines = matrix_.rows() - strip_;
  const auto precondition = [&](const Eigen::VectorXd& v) {
    Eigen::VectorXd z = v;
    z.head(strip_) =
        strips_.solve(v.head(strip_) - matrix_.topRightCorner(strip_, lines) * v.tail(lines));
    return z;
  };
  // A M^-1 v: the strips' rows give v's own back, P P^-1 (v1 - Q v2) + Q v2,
  // and need no product; the interfaces' are R z1 + T v2.
  const auto step = [&](const Eigen::VectorXd& v) {
    Eigen::VectorXd w(v.size());
    w.head(strip_) = v.head(strip_);
    w.tail(lines) = matrix_.bottomRows(lines) * precondition(v);
    return w;
  };
  if (auto x = gmres(step, precondition, right, scratch_)) return *x;
  return matrix_.partialPivLu().solve(right);
}

Eigen::VectorXd BlockSystem::solve_transposed(const Eigen::VectorXd& right) const {
  const Eigen::Index lines = matrix_.rows() - strip_;
  const auto precondition = [&](const Eigen::VectorXd& v) {
    Eigen::VectorXd z = v;
    z.head(strip_) = strips_.transpose().solve(
        v.head(strip_) - matrix_.bottomLeftCorner(lines, strip_).transpose() * v.tail(lines));
    return z;
  };
  const auto step = [&](const Eigen::VectorXd& v) {
    Eigen::VectorXd w(v.size());
    w.head(strip_) = v.head(strip_);
    w.tail(lines) = matrix_.rightCols(lines).transpose() * precondition(v);
    return w;
  };
  if (auto x = gmres(step, precondition, right, scratch_)) return *x;
  return matrix_.partialPivLu().transpose().solve(right);
}

double BlockSystem::air_charge() const {
  return strips_.solve(Eigen::VectorXd::Ones(strip_)).sum();
}

}  // namespace ketrovane::field
