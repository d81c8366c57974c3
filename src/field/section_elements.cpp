#include "field/section_elements.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

#include "field/log_integrals.hpp"
#include "field/near_panel.hpp"
#include "field/plane_green.hpp"

namespace ketrovane::field {
namespace {

constexpr double kHalfOverPi = 1.0 / (2.0 * std::numbers::pi);

struct Nodes {
  std::vector<PlanePoint> points;
  std::vector<double> weights;  // panel length / 2 times the Gauss weight
};

Nodes nodes_on(const std::vector<Panel>& panels, const ReferencePanel& reference, double centre) {
  Nodes nodes;
  for (const Panel& panel : panels) {
    for (int m = 0; m < reference.size(); ++m) {
      const double f = (1.0 + reference.rule.nodes[m]) / 2.0;
      nodes.points.push_back(plane_point(panel.start.xi + f * (panel.end.xi - panel.start.xi),
                                         centre,
                                         panel.start.y + f * (panel.end.y - panel.start.y)));
      nodes.weights.push_back(panel.length / 2.0 * reference.rule.weights[m]);
    }
  }
  return nodes;
}

// The systems of the two modes, the strip's own kernel plus (even) or less
// (odd) the twin's, each the top n rows of a matrix whose column stride is
// kept off multiples of 64 doubles (a power-of-two stride makes the blocked
// LU's columns share cache sets and costs it half its speed).  Before the
// near-field corrections both kernels are symmetric in their two points (the
// twin's because the symmetry is an involution of the planes); the
// diagonal of the strip's own holds the regular remainder after the
// source's own logarithm.
struct ModeSystems {
  Eigen::Map<Eigen::MatrixXd> even;
  Eigen::Map<Eigen::MatrixXd> odd;
  Eigen::Index size;
};

Eigen::Index padded(Eigen::Index n) {
  return n % 64 < 8 ? n + 8 : n;
}

ModeSystems systems_in(SectionStorage& storage, Eigen::Index n) {
  const auto doubles = system_size(static_cast<std::size_t>(n));
  if (storage.even.size() < doubles) storage.even.resize(doubles);
  if (storage.odd.size() < doubles) storage.odd.resize(doubles);
  return {Eigen::Map<Eigen::MatrixXd>(storage.even.data(), padded(n), n),
          Eigen::Map<Eigen::MatrixXd>(storage.odd.data(), padded(n), n), n};
}

ModeSystems kernel_at_nodes(const PlaneGreen& green, const Nodes& nodes, SectionStorage& storage) {
  const auto n = static_cast<Eigen::Index>(nodes.points.size());
  ModeSystems k = systems_in(storage, n);
  for (Eigen::Index j = 0; j < n; ++j) {
    const PlanePoint& source = nodes.points[j];
    for (Eigen::Index i = 0; i < j; ++i) {
      const PlanePoint& field = nodes.points[i];
      const double direct = PlaneGreen::direct(field, source);
      const double twin = green.twin(field, source);
      k.even(i, j) = k.even(j, i) = direct + twin;
      k.odd(i, j) = k.odd(j, i) = direct - twin;
    }
    const double direct = PlaneGreen::direct_regular_part(source);
    const double twin = green.twin(source, source);
    k.even(j, j) = direct + twin;
    k.odd(j, j) = direct - twin;
  }
  return k;
}

Complex mapped(double x, double y, const PlaneSingularity& c) {
  return {c.flip_x * x, c.flip_y * y + c.shift_y};
}

bool is_source_itself(const PlaneSingularity& c) {
  return !c.twin && c.flip_y > 0.0;
}

// A source panel carried by one singularity: z = (point - centre) *
// to_reference maps it onto [-1, 1].
MappedPanel mapped_panel(const Panel& panel, const PlaneSingularity& c) {
  return panel_copy(mapped(panel.start.xi, panel.start.y, c), mapped(panel.end.xi, panel.end.y, c),
                    panel.length);
}

struct NearField {
  const ReferencePanel& reference;
  const std::vector<double>& self;  // self_integrals(reference)
  const std::vector<Panel>& panels;
  const Nodes& nodes;
};

struct PanelPair {
  int field;
  int source;
};

// Adds, for the nodes of the field panel close to one mapped copy of the
// source panel, the closed-form integral of the copy's logarithm less what
// the Gauss rule made of it, per unit charge at each source node.
void correct_panel_pair(const NearField& near, PanelPair pair, const PlaneSingularity& c,
                        const MappedPanel& copy, ModeSystems& k) {
  const int order = near.reference.size();
  const bool self = pair.field == pair.source && is_source_itself(c);
  const double half_length = near.panels[pair.source].length / 2;
  const double log_half_length = std::log(half_length);
  const double scale = -c.weight * kHalfOverPi;
  const int first_source = pair.source * order;

  std::array<Complex, kMaxPanelOrder> source_nodes{};
  for (int m = 0; m < order; ++m) {
    const PlanePoint& p = near.nodes.points[first_source + m];
    source_nodes[m] = mapped(p.x, p.y, c);
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
    const int i = pair.field * order + a;
    const Complex target{near.nodes.points[i].x, near.nodes.points[i].y};
    if (!near_corrections(source, target, self ? a : -1, corrections.data())) continue;
    for (int m = 0; m < order; ++m) {
      const int column = first_source + m;
      k.even(i, column) += corrections[m];
      k.odd(i, column) += c.twin ? -corrections[m] : corrections[m];
    }
  }
}

void add_near_field(const NearField& near, const std::vector<PlaneSingularity>& singularities,
                    ModeSystems& k) {
  const auto count = static_cast<int>(near.panels.size());
  for (int j = 0; j < count; ++j) {
    for (const PlaneSingularity& c : singularities) {
      const MappedPanel copy = mapped_panel(near.panels[j], c);
      for (int i = 0; i < count; ++i) {
        const double reach = copy.reach + near.panels[i].length / 2;
        if (std::norm(centre_of(near.panels[i]) - copy.centre) > reach * reach) continue;
        correct_panel_pair(near, {i, j}, c, copy, k);
      }
    }
  }
}

// Total charge on the strip at unit potential; the system is factorised in
// place.
double strip_charge(Eigen::Map<Eigen::MatrixXd>& system, Eigen::Index size) {
  const Eigen::VectorXd ones = Eigen::VectorXd::Ones(size);
  Eigen::Ref<Eigen::MatrixXd> top = system.topRows(size);
  const Eigen::PartialPivLU<Eigen::Ref<Eigen::MatrixXd>> lu(top);
  return lu.solve(ones).sum();
}

}  // namespace

std::size_t system_size(std::size_t unknowns) {
  const auto n = static_cast<Eigen::Index>(unknowns);
  return static_cast<std::size_t>(padded(n) * n);
}

ModeCapacitances section_capacitances(const Section& section, const PanelLayout& layout,
                                      const ReferencePanel& reference, SectionStorage& storage) {
  const std::vector<Panel> panels = section_panels(section, layout);
  if (panels.empty()) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    return {kNaN, kNaN};
  }
  const PlaneGreen green(section.centre, section.symmetry);
  const Nodes nodes = nodes_on(panels, reference, section.centre);
  ModeSystems k = kernel_at_nodes(green, nodes, storage);
  const std::vector<double> self = self_integrals(reference);
  add_near_field({reference, self, panels, nodes}, green.singularities(), k);
  const double even = strip_charge(k.even, k.size);
  // Without a twin the two systems are one.
  if (section.symmetry == TwinSymmetry::none) return {even, even};
  return {even, strip_charge(k.odd, k.size)};
}

}  // namespace ketrovane::field
