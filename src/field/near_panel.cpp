#include "field/near_panel.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "field/log_integrals.hpp"

namespace ketrovane::field {

bool near_corrections(const NearSource& source, Complex target, int self_node,
                      double* corrections) {
  const int order = source.reference.size();
  const bool self = self_node >= 0;
  std::array<double, kMaxPanelOrder> integrals{};
  if (self) {
    std::copy_n(&source.self[static_cast<std::size_t>(self_node) * order], order,
                integrals.begin());
  } else {
    const Complex z = (target - source.copy.centre) * source.copy.to_reference;
    if (std::norm(z) >= kNearRadius * kNearRadius) return false;
    lagrange_log_integrals(source.reference, z, integrals.data());
  }
  for (int m = 0; m < order; ++m) {
    const double weight = source.weights[m];
    const double exact = source.half_length *
                         (source.reference.rule.weights[m] * source.log_half_length + integrals[m]);
    const double gauss = (self && m == self_node)
                             ? 0.0
                             : 0.5 * weight * std::log(std::norm(target - source.nodes[m]));
    corrections[m] = source.scale * (exact - gauss) / weight;
  }
  return true;
}

}  // namespace ketrovane::field
