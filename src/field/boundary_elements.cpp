#include "field/boundary_elements.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "field/green_function.hpp"
#include "field/log_integrals.hpp"
#include "field/near_panel.hpp"

namespace ketrovane::field {
namespace {

constexpr double kHalfOverPi = 1.0 / (2.0 * std::numbers::pi);

struct Nodes {
  std::vector<FieldPoint> points;
  std::vector<double> weights;  // panel length / 2 times the Gauss weight
};

Nodes nodes_on(const std::vector<Panel>& panels, const ReferencePanel& reference) {
  Nodes nodes;
  for (const Panel& panel : panels) {
    for (int m = 0; m < reference.size(); ++m) {
      const double f = (1.0 + reference.rule.nodes[m]) / 2.0;
      nodes.points.push_back(field_point(panel.start.xi + f * (panel.end.xi - panel.start.xi),
                                         panel.start.y + f * (panel.end.y - panel.start.y)));
      nodes.weights.push_back(panel.length / 2.0 * reference.rule.weights[m]);
    }
  }
  return nodes;
}

// Kernel at the nodes: the direct part (the strip and its centre-plane
// mirror) and the twin strip's part, each symmetric in its two points.  The
// diagonal of the direct part holds the regular remainder of the kernel after
// the source's own logarithm is taken out.
struct KernelMatrices {
  Eigen::MatrixXd direct;
  Eigen::MatrixXd twin;
};

KernelMatrices kernel_at_nodes(const GreenFunction& green, const Nodes& nodes) {
  const auto n = static_cast<Eigen::Index>(nodes.points.size());
  KernelMatrices k{Eigen::MatrixXd(n, n), Eigen::MatrixXd(n, n)};
  for (Eigen::Index j = 0; j < n; ++j) {
    const FieldPoint& source = nodes.points[j];
    for (Eigen::Index i = 0; i < j; ++i) {
      const GreenFunction::Potentials v = green.potentials(nodes.points[i], source);
      k.direct(i, j) = k.direct(j, i) = v.direct;
      k.twin(i, j) = k.twin(j, i) = v.twin;
    }
    k.direct(j, j) = green.direct_regular_part(source);
    k.twin(j, j) = green.twin(source, source);
  }
  return k;
}

// A source panel carried by one of the kernel's logarithmic singularities, in
// the complex (xi, y) plane: z = (point - centre) * to_reference maps it onto
// [-1, 1].
Complex mapped(double xi, double y, const LogSingularity& c, double s) {
  return {c.mirror_x ? -s - xi : xi,
          (c.mirror_y ? -y : y) + c.shift_y};  // x -> -x is xi -> -s - xi
}

MappedPanel mapped_panel(const Panel& panel, const LogSingularity& c, double s) {
  return panel_copy(mapped(panel.start.xi, panel.start.y, c, s),
                    mapped(panel.end.xi, panel.end.y, c, s), panel.length);
}

struct NearField {
  const ReferencePanel& reference;
  const std::vector<double>& self;  // self_integrals(reference)
  const std::vector<Panel>& panels;
  const Nodes& nodes;
  double s;
};

// Adds, for the nodes of one field panel close to one mapped copy of a source
// panel, the closed-form integral of the copy's logarithm minus what the
// Gauss rule made of it.  The column of a node holds the potential per unit
// charge at that node, hence the division by its weight.
void correct_panel_pair(const NearField& near, int field_panel, int source_panel,
                        const LogSingularity& c, const MappedPanel& copy, Eigen::MatrixXd& matrix) {
  const int order = near.reference.size();
  const bool self = field_panel == source_panel && !c.mirror_x && !c.mirror_y && c.shift_y == 0.0;
  const double half_length = near.panels[source_panel].length / 2;
  const double log_half_length = std::log(half_length);
  const double scale = -c.weight * kHalfOverPi;
  const int first_source = source_panel * order;

  std::array<Complex, kMaxPanelOrder> source_nodes{};
  for (int m = 0; m < order; ++m) {
    const FieldPoint& p = near.nodes.points[first_source + m];
    source_nodes[m] = mapped(p.xi, p.y, c, near.s);
  }
  const NearSource source{near.reference,
                          near.self,
                          copy,
                          {source_nodes.data(), static_cast<std::size_t>(order)},
                          {&near.nodes.weights[first_source], static_cast<std::size_t>(order)},
                          half_length,
                          log_half_length,
                          scale};
  std::array<double, kMaxPanelOrder> corrections{};
  for (int a = 0; a < order; ++a) {
    const int i = field_panel * order + a;
    const Complex target{near.nodes.points[i].xi, near.nodes.points[i].y};
    if (!near_corrections(source, target, self ? a : -1, corrections.data())) continue;
    for (int m = 0; m < order; ++m) matrix(i, first_source + m) += corrections[m];
  }
}

void add_near_field(const NearField& near, const std::vector<LogSingularity>& singularities,
                    KernelMatrices& k) {
  const auto count = static_cast<int>(near.panels.size());
  for (int j = 0; j < count; ++j) {
    for (const LogSingularity& c : singularities) {
      const MappedPanel copy = mapped_panel(near.panels[j], c, near.s);
      for (int i = 0; i < count; ++i) {
        const double reach = copy.reach + near.panels[i].length / 2;
        if (std::norm(centre_of(near.panels[i]) - copy.centre) > reach * reach) continue;
        correct_panel_pair(near, i, j, c, copy, c.mirror_x ? k.twin : k.direct);
      }
    }
  }
}

// Total charge on the strip at unit potential: the quarter surface's charge
// times two for the centre-plane mirror (a single sheet carries it all).  The
// system is factorised in place.
double strip_charge(Eigen::MatrixXd& system, bool zero_thickness) {
  const Eigen::VectorXd ones = Eigen::VectorXd::Ones(system.rows());
  const Eigen::PartialPivLU<Eigen::Ref<Eigen::MatrixXd>> lu(system);
  const Eigen::VectorXd charge = lu.solve(ones);
  return (zero_thickness ? 1.0 : 2.0) * charge.sum();
}

}  // namespace

ModeCapacitances mode_capacitances(const Shape& shape, const PanelLayout& layout,
                                   const ReferencePanel& reference) {
  const bool zero_thickness = shape.t == 0.0;
  const GreenFunction green(shape.s, zero_thickness);
  const std::vector<Panel> panels = panels_of(shape, layout);
  const Nodes nodes = nodes_on(panels, reference);
  KernelMatrices k = kernel_at_nodes(green, nodes);
  const std::vector<double> self = self_integrals(reference);
  add_near_field({reference, self, panels, nodes, shape.s}, green.singularities(), k);
  Eigen::MatrixXd even = k.direct + k.twin;
  Eigen::MatrixXd& odd = k.direct -= k.twin;
  return {strip_charge(even, zero_thickness), strip_charge(odd, zero_thickness)};
}

}  // namespace ketrovane::field
