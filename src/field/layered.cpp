#include "field/layered.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "field/block_system.hpp"
#include "field/log_integrals.hpp"
#include "field/near_panel.hpp"
#include "field/normal_field.hpp"
#include "field/plane_green.hpp"
#include "field/scratch.hpp"
#include "field/section.hpp"

namespace ketrovane::field {
namespace {

constexpr double kHalfOverPi = 1.0 / (2.0 * std::numbers::pi);

// Heights closer than this (in units of b) are one height: a face on an
// interface, given as a sum of layer thicknesses, may miss it by rounding.
constexpr double kSameHeight = 1e-9;

// How far the interfaces reach beyond the strips: exp(-10) of the bound
// charge at the strips' edge is left, with the slowest decay the stack
// allows; what is cut away would act on the strips through as much decay
// again, a part in 1e8 of the capacitance.
constexpr double kDecayLengths = 10.0;

// Longest panel on an interface, in units of b.
constexpr double kLongestLinePanel = 4.0;

// ---------------------------------------------------------------------------
// The stack.

int layer_above(const std::vector<UnitLayer>& layers, double y) {
  for (std::size_t i = 0; i < layers.size(); ++i)
    if (layers[i].top > y + kSameHeight) return static_cast<int>(i);
  return static_cast<int>(layers.size()) - 1;
}

int layer_below(const std::vector<UnitLayer>& layers, double y) {
  for (std::size_t i = layers.size(); i-- > 0;)
    if (layers[i].bottom < y - kSameHeight) return static_cast<int>(i);
  return 0;
}

// Sum of thickness over permittivity between two heights: the reciprocal of
// the parallel-plate C/eps0 per unit width.
double series_gap(const std::vector<UnitLayer>& layers, double from, double to) {
  double sum = 0.0;
  for (const UnitLayer& l : layers) {
    const double overlap = std::min(l.top, to) - std::max(l.bottom, from);
    if (overlap > 0.0) sum += overlap / l.er;
  }
  return sum;
}

// A parallel-plate gap of the given width between two heights: its C/eps0
// and each layer's er dC/der, added to the mode.
void add_gap(const std::vector<UnitLayer>& layers, double width, double from, double to,
             LayeredMode& mode) {
  if (width <= 0.0) return;
  const double s = series_gap(layers, from, to);
  mode.capacitance += width / s;
  for (std::size_t i = 0; i < layers.size(); ++i) {
    const double overlap = std::min(layers[i].top, to) - std::max(layers[i].bottom, from);
    if (overlap > 0.0) mode.energy_share[i] += width * overlap / layers[i].er / (s * s);
  }
}

// An interface the solution carries charge on.
struct Line {
  double y;
  int below;  // layer index
  int above;
};

// The interfaces between layers of different permittivity; one above the
// other, those above the centre plane only (the twin carries the others).
// Heights within kSameHeight of a face of the strip are put on it.
std::vector<Line> lines_of(const std::vector<UnitLayer>& layers, const Section& s) {
  const Box b = box_of(s);
  std::vector<Line> lines;
  for (std::size_t i = 0; i + 1 < layers.size(); ++i) {
    if (layers[i].er == layers[i + 1].er) continue;
    double y = layers[i].top;
    if (s.symmetry == TwinSymmetry::point && !(y > 0.5)) continue;
    for (const double face : {b.bottom, b.top})
      if (std::abs(y - face) < kSameHeight) y = face;
    lines.push_back({y, static_cast<int>(i), static_cast<int>(i + 1)});
  }
  return lines;
}

// Slowest sideways decay of the field, in units of 1/b: the Rayleigh
// quotient of the layered slab is at least pi^2 er_min/er_max.
double reach(const std::vector<UnitLayer>& layers) {
  double lo = layers.front().er;
  double hi = lo;
  for (const UnitLayer& l : layers) {
    lo = std::min(lo, l.er);
    hi = std::max(hi, l.er);
  }
  return kDecayLengths / (std::numbers::pi * std::sqrt(lo / hi));
}

double vertical_distance(const Box& b, double y) {
  return std::max({b.bottom - y, 0.0, y - b.top});
}

// A place on an interface the charge varies fast near: a corner of a strip
// on it (scale 0: graded as the strip's corners) or the foot of one above
// or below it.
struct Focus {
  double x;
  double scale;
};

struct LinePiece {
  double from;
  double to;
  double from_panel;  // first panel's length at each end, 0 for none
  double to_panel;
};

// The knife-edge scale of a corner that sits on the line: the least of the
// lengths that meet there.
double corner_scale(const Section& s, const std::vector<Line>& lines, double y) {
  const Box b = box_of(s);
  const Box twin = twin_box(s);
  double scale = std::min({s.w / 2, b.bottom, 1.0 - b.top});
  if (s.symmetry == TwinSymmetry::mirror)
    scale = std::min(scale, 2.0 * b.left);
  else if (s.symmetry == TwinSymmetry::point)
    scale = std::min(scale, b.bottom - twin.top);
  for (const Line& other : lines)
    if (other.y != y) scale = std::min(scale, std::abs(other.y - y));
  return scale;
}

double focus_panel(const Focus& f, double corner, const Section& s, const MeshParameters& mesh) {
  // A corner of a strip on the line: one grading step finer than the
  // strip's own panels there, where the bound charge meets the corner's
  // singularity from both layers (with the strip's depth the first two
  // levels of a strip on an interface differ by 1e-4, with this by 2e-5).
  if (f.scale == 0.0) return corner_panel_length(corner, s.t, mesh) * mesh.grading;
  // A foot: the charge is smooth, varying over the height above it.
  return 2.0 * f.scale;
}

// The foci on a line, left to right, one per place (the finer grading kept);
// on a line the strip sits on, none under the copper.
std::vector<Focus> foci_on(const Section& s, const Line& line, double from, double to) {
  const Box b = box_of(s);
  const Box twin = twin_box(s);
  const bool touching = line.y == b.bottom || line.y == b.top;
  std::vector<Focus> foci;
  const auto add = [&](double x, double scale) {
    const bool under = touching && x > b.left && x < b.right;
    if (x > from && x < to && !under) foci.push_back({x, scale});
  };
  const double d = touching ? 0.0 : vertical_distance(b, line.y);
  add(b.left, d);
  add(b.right, d);
  if (s.symmetry == TwinSymmetry::point) {
    add(twin.left, vertical_distance(twin, line.y));
    add(twin.right, vertical_distance(twin, line.y));
  }
  std::sort(foci.begin(), foci.end(), [](const Focus& a, const Focus& c) { return a.x < c.x; });
  std::vector<Focus> merged;
  for (const Focus& f : foci) {
    if (!merged.empty() && f.x - merged.back().x < kSameHeight) {
      merged.back().scale = std::min(merged.back().scale, f.scale);
      continue;
    }
    merged.push_back(f);
  }
  return merged;
}

std::vector<LinePiece> line_pieces(const Section& s, const std::vector<Line>& lines,
                                   const Line& line, double extent, const MeshParameters& mesh) {
  const Box b = box_of(s);
  const Box twin = twin_box(s);
  const bool mirror = s.symmetry == TwinSymmetry::mirror;
  const bool single = s.symmetry == TwinSymmetry::none;
  const double from = mirror   ? std::max(0.0, b.left - extent)
                      : single ? b.left - extent
                               : std::min(b.left, twin.left) - extent;
  const double to = (single ? b.right : std::max(b.right, twin.right)) + extent;
  const bool touching = line.y == b.bottom || line.y == b.top;
  const double corner = corner_scale(s, lines, line.y);
  std::vector<LinePiece> pieces;
  double start = from;
  double start_panel = 0.0;
  const auto add = [&](double end, double end_panel) {
    const double middle = 0.5 * (start + end);
    if (!(touching && middle > b.left && middle < b.right))
      pieces.push_back({start, end, start_panel, end_panel});
    start = end;
    start_panel = end_panel;
  };
  for (const Focus& f : foci_on(s, line, from, to)) add(f.x, focus_panel(f, corner, s, mesh));
  add(to, 0.0);
  return pieces;
}

std::vector<Panel> line_panels(const Section& s, const std::vector<Line>& lines, const Line& line,
                               double extent, const MeshParameters& mesh) {
  std::vector<Segment> segments;
  PanelLayout layout;
  for (const LinePiece& piece : line_pieces(s, lines, line, extent, mesh)) {
    const Segment segment{{piece.from, line.y}, {piece.to, line.y}};
    segments.push_back(segment);
    layout.breakpoints.push_back(
        segment_breakpoints(segment, {piece.from_panel, piece.to_panel}, mesh));
  }
  return panels_on(segments, layout);
}

// ---------------------------------------------------------------------------
// The unknowns.

// What a node's charge is: on a strip, the layers its face touches (one
// for a face of a thick strip, above and below for a sheet); on an
// interface, its line.
struct NodeRole {
  int line = -1;  // index into the lines, -1 on the strip
  int below = 0;
  int above = 0;
};

// The Gauss rules of the strips' panels and of the interfaces'.  The
// interfaces' charge is smooth but at the corners of a strip on them, and
// their panels take about half the nodes of the strips'; their order still
// rises with each level, so the change between levels covers them.
struct Rules {
  ReferencePanel strip;
  ReferencePanel line;
  std::vector<double> strip_self;  // self_integrals of each
  std::vector<double> line_self;
};

Rules rules_at_level(int level) {
  const int order = panel_order_at_level(level);
  Rules r{reference_panel(order), reference_panel(order / 2 + 1), {}, {}};
  r.strip_self = self_integrals(r.strip);
  r.line_self = self_integrals(r.line);
  return r;
}

struct Unknowns {
  std::vector<Panel> panels;
  std::vector<NodeRole> panel_roles;
  std::vector<int> first_node;  // per panel, and one past the last node
  int strip_panels = 0;
  std::vector<PlanePoint> points;
  std::vector<double> weights;
  std::vector<NodeRole> roles;
};

NodeRole strip_role(const Section& s, const std::vector<UnitLayer>& layers, const Panel& p) {
  const double y = 0.5 * (p.start.y + p.end.y);
  if (s.t == 0.0) return {-1, layer_below(layers, y), layer_above(layers, y)};
  int layer = 0;
  if (p.start.y != p.end.y) {
    layer = layer_above(layers, y);  // a side, inside one layer
  } else {
    layer = y > s.mid ? layer_above(layers, y) : layer_below(layers, y);
  }
  return {-1, layer, layer};
}

Unknowns unknowns_of(const Section& s, const std::vector<UnitLayer>& layers,
                     const std::vector<Line>& lines, const PanelLayout& layout, int level,
                     const Rules& rules) {
  // The interfaces' charge far out is a smooth exponential tail: their
  // panels may grow geometrically all the way out.
  MeshParameters mesh = mesh_at_level(level);
  mesh.max_panel_length = kLongestLinePanel;
  Unknowns u;
  u.panels = section_panels(s, layout);
  u.strip_panels = static_cast<int>(u.panels.size());
  for (const Panel& p : u.panels) u.panel_roles.push_back(strip_role(s, layers, p));
  const double extent = reach(layers);
  for (std::size_t k = 0; k < lines.size(); ++k) {
    for (const Panel& p : line_panels(s, lines, lines[k], extent, mesh)) {
      u.panels.push_back(p);
      u.panel_roles.push_back({static_cast<int>(k), lines[k].below, lines[k].above});
    }
  }
  for (std::size_t j = 0; j < u.panels.size(); ++j) {
    const Panel& panel = u.panels[j];
    const ReferencePanel& reference =
        static_cast<int>(j) < u.strip_panels ? rules.strip : rules.line;
    u.first_node.push_back(static_cast<int>(u.points.size()));
    for (int m = 0; m < reference.size(); ++m) {
      const double f = (1.0 + reference.rule.nodes[m]) / 2.0;
      u.points.push_back(plane_point(panel.start.xi + f * (panel.end.xi - panel.start.xi), s.centre,
                                     panel.start.y + f * (panel.end.y - panel.start.y)));
      u.weights.push_back(panel.length / 2.0 * reference.rule.weights[m]);
      u.roles.push_back(u.panel_roles[j]);
    }
  }
  u.first_node.push_back(static_cast<int>(u.points.size()));
  return u;
}

// ---------------------------------------------------------------------------
// The kernels of one mode: potential rows on the strip, normal-field rows
// on the interfaces and on a sheet that lies on one.

struct ModeKernels {
  Eigen::Map<Eigen::MatrixXd> potential;  // strip nodes x all
  Eigen::Map<Eigen::MatrixXd> normal;     // normal-field nodes x all
  const std::vector<int>& normal_nodes;
};

// The strip's own charge and the twin's, each the same for both modes.
struct KernelParts {
  ModeKernels direct;
  ModeKernels twin;
};

bool needs_normal_field(const NodeRole& r) {
  return r.line >= 0 || r.below != r.above;
}

std::vector<int> normal_nodes_of(const Unknowns& u) {
  std::vector<int> nodes;
  for (std::size_t i = 0; i < u.roles.size(); ++i)
    if (needs_normal_field(u.roles[i])) nodes.push_back(static_cast<int>(i));
  return nodes;
}

// The kernels' matrices in the scratch memory, not yet written.
KernelParts kernels_in(Scratch& scratch, const Unknowns& u, const std::vector<int>& normal_nodes) {
  const auto n = static_cast<Eigen::Index>(u.points.size());
  const Eigen::Index strip = u.first_node[static_cast<std::size_t>(u.strip_panels)];
  const auto rows = static_cast<Eigen::Index>(normal_nodes.size());
  return {{scratch.matrix(ScratchSlot::direct_potential, strip, n),
           scratch.matrix(ScratchSlot::direct_normal, rows, n), normal_nodes},
          {scratch.matrix(ScratchSlot::twin_potential, strip, n),
           scratch.matrix(ScratchSlot::twin_normal, rows, n), normal_nodes}};
}

Complex mapped(double x, double y, const PlaneSingularity& c) {
  return {c.flip_x * x, c.flip_y * y + c.shift_y};
}

MappedPanel mapped_panel(const Panel& panel, const PlaneSingularity& c) {
  return panel_copy(mapped(panel.start.xi, panel.start.y, c), mapped(panel.end.xi, panel.end.y, c),
                    panel.length);
}

struct Assembly {
  const Unknowns& u;
  const Rules& rules;
  const PlaneGreen& green;
  const NormalField& normal;

  [[nodiscard]] bool on_strip(int panel) const { return panel < u.strip_panels; }
  [[nodiscard]] const ReferencePanel& rule_of(int panel) const {
    return on_strip(panel) ? rules.strip : rules.line;
  }
  [[nodiscard]] int first(int panel) const { return u.first_node[static_cast<std::size_t>(panel)]; }
  [[nodiscard]] int order(int panel) const { return first(panel + 1) - first(panel); }
};

// The normal-field rows.  Where the source is itself a normal-field node the
// pair of nodes is evaluated once for both ways: the rows before the
// source's own take both, the rows after it were written with theirs.
void fill_far_normal(const Assembly& a, KernelParts& k) {
  const std::vector<int>& nodes = k.direct.normal_nodes;
  const auto rows = static_cast<Eigen::Index>(nodes.size());
  std::vector<Eigen::Index> row_of(a.u.points.size(), -1);
  for (Eigen::Index r = 0; r < rows; ++r) row_of[static_cast<std::size_t>(nodes[r])] = r;
  for (std::size_t j = 0; j < a.u.points.size(); ++j) {
    const PlanePoint& source = a.u.points[j];
    const auto column = static_cast<Eigen::Index>(j);
    const Eigen::Index own = row_of[j];
    for (Eigen::Index r = 0; r < (own < 0 ? rows : own); ++r) {
      const PlanePoint& field = a.u.points[static_cast<std::size_t>(nodes[r])];
      if (own < 0) {
        k.direct.normal(r, column) = NormalField::direct(field, source);
        k.twin.normal(r, column) = a.normal.twin(field, source);
        continue;
      }
      const NormalPair direct = NormalField::direct_pair(field, source);
      const NormalPair twin = a.normal.twin_pair(field, source);
      k.direct.normal(r, column) = direct.at_field;
      k.twin.normal(r, column) = twin.at_field;
      k.direct.normal(own, nodes[r]) = direct.at_source;
      k.twin.normal(own, nodes[r]) = twin.at_source;
    }
    if (own >= 0) {
      k.direct.normal(own, column) = NormalField::direct(source, source);
      k.twin.normal(own, column) = a.normal.twin(source, source);
    }
  }
}

void fill_far(const Assembly& a, KernelParts& k) {
  const auto n = static_cast<Eigen::Index>(a.u.points.size());
  const Eigen::Index strip = a.first(a.u.strip_panels);
  for (Eigen::Index j = 0; j < n; ++j) {
    const PlanePoint& source = a.u.points[j];
    // Among the strip's own nodes both kernels are symmetric: the lower
    // triangle is copied from the upper.
    for (Eigen::Index i = 0; i < std::min(j, strip); ++i) {
      const PlanePoint& field = a.u.points[i];
      k.direct.potential(i, j) = PlaneGreen::direct(field, source);
      k.twin.potential(i, j) = a.green.twin(field, source);
      if (j < strip) {
        k.direct.potential(j, i) = k.direct.potential(i, j);
        k.twin.potential(j, i) = k.twin.potential(i, j);
      }
    }
    if (j < strip) {
      k.direct.potential(j, j) = PlaneGreen::direct_regular_part(source);
      k.twin.potential(j, j) = a.green.twin(source, source);
    }
  }
  fill_far_normal(a, k);
}

NearSource near_source(const Assembly& a, int panel, const PlaneSingularity& c,
                       const MappedPanel& copy, std::array<Complex, kMaxPanelOrder>& nodes) {
  const int order = a.order(panel);
  const int first = a.first(panel);
  for (int m = 0; m < order; ++m) {
    const PlanePoint& p = a.u.points[first + m];
    nodes[m] = mapped(p.x, p.y, c);
  }
  const double half_length = a.u.panels[panel].length / 2;
  return {a.rule_of(panel),
          a.on_strip(panel) ? a.rules.strip_self : a.rules.line_self,
          copy,
          {nodes.data(), static_cast<std::size_t>(order)},
          {&a.u.weights[first], static_cast<std::size_t>(order)},
          half_length,
          std::log(half_length),
          -c.weight * kHalfOverPi};
}

bool is_source_itself(const PlaneSingularity& c) {
  return !c.twin && c.flip_y > 0.0;
}

// The closed-form near field of every panel's copies at the rows that need it.
void add_near(const Assembly& a, KernelParts& parts) {
  const auto count = static_cast<int>(a.u.panels.size());
  std::vector<int> normal_row(a.u.points.size(), -1);
  for (std::size_t r = 0; r < parts.direct.normal_nodes.size(); ++r)
    normal_row[static_cast<std::size_t>(parts.direct.normal_nodes[r])] = static_cast<int>(r);
  std::array<Complex, kMaxPanelOrder> nodes{};
  std::array<double, kMaxPanelOrder> corrections{};
  for (int j = 0; j < count; ++j) {
    for (const PlaneSingularity& c : a.green.singularities()) {
      const MappedPanel copy = mapped_panel(a.u.panels[j], c);
      const NearSource source = near_source(a, j, c, copy, nodes);
      ModeKernels& k = c.twin ? parts.twin : parts.direct;
      const int order = a.order(j);
      const int column = a.first(j);
      for (int i = 0; i < count; ++i) {
        const double reach = copy.reach + a.u.panels[i].length / 2;
        if (std::norm(centre_of(a.u.panels[i]) - copy.centre) > reach * reach) continue;
        for (int n = 0; n < a.order(i); ++n) {
          const int row = a.first(i) + n;
          const Complex target{a.u.points[row].x, a.u.points[row].y};
          if (i < a.u.strip_panels) {
            const int self = (i == j && is_source_itself(c)) ? n : -1;
            if (near_corrections(source, target, self, corrections.data()))
              for (int m = 0; m < order; ++m) k.potential(row, column + m) += corrections[m];
          }
          const int r = normal_row[static_cast<std::size_t>(row)];
          if (r >= 0 && near_normal_corrections(source, target, corrections.data()))
            for (int m = 0; m < order; ++m) k.normal(r, column + m) += corrections[m];
        }
      }
    }
  }
}

// ---------------------------------------------------------------------------
// One mode: the system, its capacitance and the energy shares.

struct ModeSystem {
  Eigen::VectorXd right;
  Eigen::VectorXd free_charge;  // C = free_charge . x
};

// The mode's system into `matrix` (n x n, every row written).
ModeSystem system_of(const Unknowns& u, const std::vector<UnitLayer>& layers, const ModeKernels& k,
                     Eigen::Map<Eigen::MatrixXd>& matrix) {
  const auto n = static_cast<Eigen::Index>(u.points.size());
  const Eigen::Index strip = k.potential.rows();
  ModeSystem s{Eigen::VectorXd::Zero(n), Eigen::VectorXd::Zero(n)};
  matrix.topRows(strip) = k.potential;
  s.right.head(strip).setOnes();
  for (Eigen::Index i = 0; i < strip; ++i) {
    const NodeRole& r = u.roles[i];
    s.free_charge(i) = 0.5 * (layers[static_cast<std::size_t>(r.below)].er +
                              layers[static_cast<std::size_t>(r.above)].er);
  }
  // The interfaces' nodes are the last of the unknowns and of the
  // normal-field rows; a sheet's, when it lies on an interface, come first.
  const Eigen::Index lines = n - strip;
  Eigen::VectorXd scale(lines);
  for (Eigen::Index row = 0; row < k.normal.rows(); ++row) {
    const int i = k.normal_nodes[static_cast<std::size_t>(row)];
    const NodeRole& r = u.roles[static_cast<std::size_t>(i)];
    const double above = layers[static_cast<std::size_t>(r.above)].er;
    const double below = layers[static_cast<std::size_t>(r.below)].er;
    const double weight = u.weights[static_cast<std::size_t>(i)];
    if (r.line >= 0) {
      scale(i - strip) = -2.0 * (above - below) / (above + below) * weight;
    } else {
      s.free_charge -= (above - below) * weight * k.normal.row(row).transpose();
    }
  }
  matrix.bottomRows(lines) = scale.asDiagonal() * k.normal.bottomRows(lines);
  matrix.bottomRightCorner(lines, lines).diagonal().array() += 1.0;
  return s;
}

// The shares cost a second solution (the adjoint's): `shares` false leaves
// them at zero.
LayeredMode solve_mode(const Unknowns& u, const std::vector<UnitLayer>& layers,
                       const ModeKernels& k, Eigen::Map<Eigen::MatrixXd>& matrix, bool shares,
                       Scratch& scratch) {
  const ModeSystem s = system_of(u, layers, k, matrix);
  const BlockSystem system(matrix, k.potential.rows(), scratch);
  const Eigen::VectorXd x = system.solve(s.right);
  if (!shares)
    return {s.free_charge.dot(x), system.air_charge(), std::vector<double>(layers.size(), 0.0)};
  const Eigen::VectorXd adjoint = system.solve_transposed(s.free_charge);
  const Eigen::VectorXd field = k.normal * x;  // dG/dy sums at the normal-field nodes
  LayeredMode mode{s.free_charge.dot(x), system.air_charge(),
                   std::vector<double>(layers.size(), 0.0)};
  // d(free_charge . x)/d er_j less adjoint . (d matrix/d er_j) x, per node:
  // the charge's own permittivity, and the interface rows' dependence.
  const Eigen::Index strip = k.potential.rows();
  std::vector<double>& d = mode.energy_share;
  for (Eigen::Index i = 0; i < strip; ++i) {
    const NodeRole& r = u.roles[i];
    d[static_cast<std::size_t>(r.below)] += 0.5 * x(i);
    d[static_cast<std::size_t>(r.above)] += 0.5 * x(i);
  }
  for (std::size_t row = 0; row < k.normal_nodes.size(); ++row) {
    const int i = k.normal_nodes[row];
    const NodeRole& r = u.roles[static_cast<std::size_t>(i)];
    const double wf =
        u.weights[static_cast<std::size_t>(i)] * field(static_cast<Eigen::Index>(row));
    double to_above = 0.5 * x(i) - wf;
    double to_below = 0.5 * x(i) + wf;
    if (r.line >= 0) {
      const double scale = -adjoint(i) * 2.0 /
                           (layers[static_cast<std::size_t>(r.above)].er +
                            layers[static_cast<std::size_t>(r.below)].er);
      to_above *= scale;
      to_below *= scale;
    } else {
      // the sheet's own 0.5 x was counted with the strip
      to_above -= 0.5 * x(i);
      to_below -= 0.5 * x(i);
    }
    d[static_cast<std::size_t>(r.above)] += to_above;
    d[static_cast<std::size_t>(r.below)] += to_below;
  }
  for (std::size_t j = 0; j < layers.size(); ++j) d[j] *= layers[j].er;
  return mode;
}

// The parallel-plate part cut from the middle of very wide strips.
void add_cut(const Section& whole, const Section& solved, const std::vector<UnitLayer>& layers,
             LayeredLevel& level) {
  const double width = whole.w - solved.w;
  const Box b = box_of(solved);
  if (solved.symmetry != TwinSymmetry::point) {
    for (LayeredMode* mode : {&level.even, &level.odd}) {
      add_gap(layers, width, 0.0, b.bottom, *mode);
      add_gap(layers, width, b.top, 1.0, *mode);
    }
    return;
  }
  add_gap(layers, width, b.top, 1.0, level.even);
  add_gap(layers, width, b.top, 1.0, level.odd);
  add_gap(layers, width, 0.5, b.bottom, level.odd);
}

// One above the other, the solution sees a layer and its mirror image as
// one permittivity: their shares are one, split evenly.
void split_mirrored(const Section& s, std::vector<double>& share) {
  if (s.symmetry != TwinSymmetry::point) return;
  const std::size_t n = share.size();
  for (std::size_t i = 0; i < n / 2; ++i) {
    const double pair = share[i] + share[n - 1 - i];
    share[i] = share[n - 1 - i] = pair / 2;
  }
}

void normalise(const Section& s, LayeredMode& mode) {
  split_mirrored(s, mode.energy_share);
  for (double& share : mode.energy_share) share /= mode.capacitance;
}

// Contrast of permittivities up to which the middle of very wide strips is
// cut away as in one dielectric: the fringing fields decay across the gaps
// at least as exp(-pi sqrt(er_min/er_max) x/g), e^-16 over the 16 g kept.
constexpr double kMostContrastCut = 10.0;

}  // namespace

ReducedSection layered_reduction(const Section& whole, const std::vector<UnitLayer>& layers) {
  const auto [lo, hi] =
      std::minmax_element(layers.begin(), layers.end(),
                          [](const UnitLayer& a, const UnitLayer& b) { return a.er < b.er; });
  if (hi->er > kMostContrastCut * lo->er) return {whole, {0.0, 0.0}};
  return reduced_section(whole);
}

std::vector<UnitLayer> unit_layers(const Geometry& g) {
  std::vector<UnitLayer> layers;
  double bottom = 0.0;
  for (const DielectricLayer& l : g.stack.view()) {
    const double top = bottom + l.thickness / g.b;
    layers.push_back({bottom, top, l.er});
    bottom = top;
  }
  if (!layers.empty()) layers.back().top = 1.0;
  return layers;
}

LayeredLevel layered_level(const ReducedSection& strips, const Section& whole,
                           const std::vector<UnitLayer>& layers, const PanelLayout& layout,
                           int level) {
  const Section& s = strips.section;
  const std::vector<Line> lines = lines_of(layers, s);
  const Rules rules = rules_at_level(level);
  const Unknowns u = unknowns_of(s, layers, lines, layout, level, rules);
  const PlaneGreen green(s.centre, s.symmetry);
  const NormalField normal(s.centre, s.symmetry);
  const std::vector<int> normal_nodes = normal_nodes_of(u);
  Scratch& scratch = thread_scratch();
  KernelParts parts = kernels_in(scratch, u, normal_nodes);
  const Assembly a{u, rules, green, normal};
  fill_far(a, parts);
  add_near(a, parts);
  LayeredLevel result{{}, {}, static_cast<int>(u.points.size())};
  // The even mode's kernels in place of the direct ones, then the odd's.
  ModeKernels& mode = parts.direct;
  mode.potential += parts.twin.potential;
  mode.normal += parts.twin.normal;
  const auto n = static_cast<Eigen::Index>(u.points.size());
  Eigen::Map<Eigen::MatrixXd> matrix = scratch.matrix(ScratchSlot::system, n, n);
  // The first level is never the one reported: no energy shares there.
  const bool shares = level > 0;
  result.even = solve_mode(u, layers, mode, matrix, shares, scratch);
  mode.potential -= 2.0 * parts.twin.potential;
  mode.normal -= 2.0 * parts.twin.normal;
  result.odd = solve_mode(u, layers, mode, matrix, shares, scratch);
  scratch.trim();
  add_cut(whole, s, layers, result);
  result.even.air_capacitance += strips.cut.even;
  result.odd.air_capacitance += strips.cut.odd;
  normalise(s, result.even);
  normalise(s, result.odd);
  if (!shares) {
    std::fill(result.even.energy_share.begin(), result.even.energy_share.end(), 0.0);
    std::fill(result.odd.energy_share.begin(), result.odd.energy_share.end(), 0.0);
  }
  return result;
}

}  // namespace ketrovane::field
