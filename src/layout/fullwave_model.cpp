#include "layout/fullwave_model.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string_view>

namespace ketrovane::layout {
namespace {

constexpr double kMillimetresPerInch = 25.4;

// A length in inches as millimetres to the nanometre, six decimals.
std::string mm(double inches) {
  const std::int64_t nm = std::llround(inches * kMillimetresPerInch * 1e6);
  const std::int64_t whole = std::llabs(nm);
  std::string digits = std::to_string(whole % 1000000);
  digits.insert(0, 6 - digits.size(), '0');
  return (nm < 0 ? "-" : "") + std::to_string(whole / 1000000) + "." + digits;
}

// A number as Python reads it back: the shortest digits of the float it
// was (Er 3.66, not 3.6600000858306885), else of the double.
std::string number(double value) {
  std::array<char, 32> buffer{};
  const auto single = static_cast<float>(value);
  const auto result = static_cast<double>(single) == value
                          ? std::to_chars(buffer.data(), buffer.data() + buffer.size(), single)
                          : std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  std::string text(buffer.data(), result.ptr);
  if (text.find_first_of(".en") == std::string::npos) text += ".0";
  return text;
}

// A Python string literal on one line: quotes and backslashes escaped.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c == '\n' ? ' ' : c;
  }
  return out + "\"";
}

constexpr std::array<std::string_view, kPortCount> kRoleNames = {"input", "through", "isolated",
                                                                 "coupled"};

double total_height(const FullwaveModel& model) {
  double b = 0.0;
  for (const FullwaveLayer& layer : model.layers) b += layer.thickness;
  return b;
}

// The narrowest strip, gap (side by side), sideways offset (one above the
// other, when not 0) or feed line.
double narrowest_strip_or_gap(const ArtworkInputs& inputs) {
  double narrowest = std::numeric_limits<double>::infinity();
  for (const SectionShape& s : inputs.sections) {
    narrowest = std::min(narrowest, s.w);
    if (!inputs.one_above_the_other) narrowest = std::min(narrowest, s.s);
    if (inputs.one_above_the_other && s.wo > 0.0) narrowest = std::min(narrowest, s.wo);
  }
  for (const double w : inputs.feed_width) narrowest = std::min(narrowest, w);
  return narrowest;
}

double narrowest_feed(const ArtworkInputs& inputs) {
  return *std::ranges::min_element(inputs.feed_width);
}

constexpr std::string_view kAbout = R"text(
The full-wave model of this coupler as laid out, on openEMS's Python bindings
(Debian: python3-openems): the dielectric layers between two ground planes, the
copper outlines extruded to the copper's thickness at their layer's height, the
box's side walls, and at each pad a port: the pad's line runs on past the pad,
terminated in the port's resistance; its voltage and current, measured on that
uniform line, are carried back along it to the pad's centre, where each port's
waves are referred to its own resistance.  One openEMS run per port, each
driving that port alone; the matrix is S = B A^-1 over the four runs, so that
the terminations' own mismatch drops out.  The strips are perfect conductors;
each layer's loss tangent is a conductivity that gives it at F0_HZ.

Run:    /usr/bin/python3 coupler.py [--mesh coarse|fine] [--threads N]
Writes, in coarse/ or fine/ beside this script (emptied first): sparameters.csv
(ports 1 input, 2 through, 3 isolated, 4 coupled), coupler.s4p (ports numbered
as the pads) and, last, status.json.  Change any constant below and run it
again.
"""
import argparse
import ctypes
import json
import math
import os
import re
import shutil
import sys
import threading
import time

import numpy as np

)text";

void docstring(std::ostringstream& out, const FullwaveModel& model) {
  out << "#!/usr/bin/python3\n\"\"\"";
  for (const std::string& line : model.comments) out << line << "\n";
  out << kAbout;
}

void constants(std::ostringstream& out, const FullwaveModel& model) {
  out << "TITLE = " << quoted(model.comments.empty() ? "coupler" : model.comments.front())
      << "\n\n# ---- the model's numbers: millimetres, hertz, ohms ----\n\n";
  out << "F0_HZ = " << number(model.f0_hz) << "  # the design's centre frequency\n";
  out << "F_LOW_HZ = 0.0  # the band of the excitation, a Gaussian pulse\n";
  out << "F_HIGH_HZ = " << number(model.f_high_hz) << "\n";
  out << "FREQUENCY_POINTS = 200  # the matrix from F_HIGH_HZ / 200 to F_HIGH_HZ\n";
  out << "LAYERS = [  # bottom to top: thickness, Er, loss tangent\n";
  for (const FullwaveLayer& layer : model.layers) {
    out << "    (" << mm(layer.thickness) << ", " << number(layer.er) << ", "
        << number(layer.loss_tangent) << "),\n";
  }
  out << "]\nCOPPER = [  # each copper layer, the upper first: its lower face's height, its "
         "thickness\n";
  for (const FullwaveCopper& c : model.copper) {
    out << "    (" << mm(c.bottom) << ", " << mm(c.thickness) << "),\n";
  }
  out << "]\n";
}

void outlines(std::ostringstream& out, const Artwork& artwork) {
  out << "OUTLINES = [  # copper layer, corners (x, y) counter-clockwise: the sections' strips, "
         "then the feed lines\n";
  for (std::size_t layer = 0; layer < artwork.layers.size(); ++layer) {
    for (const Outline& outline : artwork.layers[layer].outlines) {
      out << "    (" << layer << ", [";
      for (std::size_t i = 0; i < outline.size(); ++i) {
        out << (i == 0 ? "" : ", ") << "(" << mm(outline[i].x) << ", " << mm(outline[i].y) << ")";
      }
      out << "]),\n";
    }
  }
  out << "]\n";
}

void ports(std::ostringstream& out, const Artwork& artwork, const FullwaveModel& model) {
  out << "PORTS = [  # pad number, role, copper layer, pad centre x, y, width, outward (-1: "
         "toward -x), resistance\n";
  for (const Pad& pad : artwork.pads) {
    const auto role = static_cast<std::size_t>(pad.role);
    out << "    (" << pad.number << ", \"" << kRoleNames.at(role) << "\", " << pad.layer << ", "
        << mm(pad.centre.x) << ", " << mm(pad.centre.y) << ", " << mm(pad.size_y) << ", "
        << (pad.centre.x < 0.0 ? -1 : 1) << ", " << number(model.ohms.at(role)) << "),\n";
  }
  out << "]\n";
}

void mesh_constants(std::ostringstream& out, const ArtworkInputs& inputs,
                    const FullwaveModel& model) {
  const double b = total_height(model);
  out << "WALL_DISTANCE = " << mm(kWallDistanceOfB * b)
      << "  # the box's side walls from the copper: 3 B\n";
  out << "PORT_LINE_LENGTH = " << mm(kPortLineOfB * b)
      << "  # each port's line beyond its pad, its probes at its middle: 4 B\n";
  out << "END_GAP = " << mm(b) << "  # from a port line's terminated end to the box's end: B\n";
  out << "EDGE_CELL = " << mm(kEdgeCellOfNarrowest * narrowest_strip_or_gap(inputs))
      << "  # the cell across a strip edge, coarse: 3/14 of the narrowest strip, gap, offset "
         "or feed\n";
  out << "SLANT_CELL = " << mm(kSlantCellOfFeed * narrowest_feed(inputs))
      << "  # the cells over the bends and diagonal runs: coarse: a sixth of the narrowest feed\n";
  out << "MERGE_DISTANCE = 0.001  # mesh lines closer than this are one\n";
  out << "CELLS_PER_WAVELENGTH = {\"coarse\": 20, \"fine\": 40}  # the largest cell: the "
         "wavelength in the highest Er at F_HIGH_HZ over this\n";
  out << "GROWTH = 1.3  # the most a cell grows over its neighbour between fixed lines\n";
  out << "END_CRITERIA = 1e-4  # a run ends when its energy is 40 dB below its peak\n";
  out << "TIME_ALLOWED_S = " << number(40.0 / model.f0_hz)
      << "  # the time a run may take to settle: 40 periods at F0_HZ\n";
}

// The code of the script, the same for every coupler.
constexpr std::string_view kCode = R"py(# ---- nothing below needs changing to change the model ----

C0_MM_PER_S = 299792458.0e3
EPS0 = 8.8541878128e-12  # F/m
ROLES = ("input", "through", "isolated", "coupled")  # the tool's port order: 1 2 3 4


def total_height():
    return sum(layer[0] for layer in LAYERS)


def largest_cell(mesh):
    """lambda / N in the highest-Er layer at F_HIGH_HZ, mm."""
    er = max(layer[1] for layer in LAYERS)
    return C0_MM_PER_S / (F_HIGH_HZ * math.sqrt(er)) / CELLS_PER_WAVELENGTH[mesh]


def port_line_end(port):
    """x where a port's line ends, at its termination."""
    number, role, layer, x, y, width, outward, ohms = port
    return x + outward * (0.5 * width + PORT_LINE_LENGTH)


def domain():
    """The box: (x0, x1, y0, y1); z from 0 to the stack's height."""
    xs = [port_line_end(p) + p[6] * END_GAP for p in PORTS]
    ys = [q[1] for _, corners in OUTLINES for q in corners]
    ys += [p[4] + s * 0.5 * p[5] for p in PORTS for s in (-1, 1)]
    return min(xs), max(xs), min(ys) - WALL_DISTANCE, max(ys) + WALL_DISTANCE


def port_boxes():
    """Each pad and its port line as boxes of copper: (layer, x0, x1, y0, y1)."""
    boxes = []
    for number, role, layer, x, y, width, outward, ohms in PORTS:
        end = port_line_end((number, role, layer, x, y, width, outward, ohms))
        boxes.append((layer, min(x, end), max(x, end), y - 0.5 * width, y + 0.5 * width))
    return boxes


def outline_edges():
    """Every edge of the outlines as (layer, p, q), counter-clockwise from p to q."""
    for layer, corners in OUTLINES:
        for i, p in enumerate(corners):
            yield layer, p, corners[(i + 1) % len(corners)]


def strip_edges():
    """The y of every copper edge along x, with the side its copper lies on (+1: above)."""
    edges = set()
    for layer, p, q in outline_edges():
        if p[1] == q[1] and p[0] != q[0]:
            # Counter-clockwise: the copper lies to the left of each edge.
            edges.add((round(p[1], 6), 1 if q[0] > p[0] else -1, layer))
    for layer, x0, x1, y0, y1 in port_boxes():
        edges.add((round(y0, 6), 1, layer))
        edges.add((round(y1, 6), -1, layer))
    # An edge with copper on both sides (two outlines of a layer meeting) is no edge.
    return sorted({(y, side) for y, side, layer in edges if (y, -side, layer) not in edges})


def end_faces():
    """The x of every copper edge across x: section ends, steps, the pads' and port lines' ends."""
    faces = {round(p[0], 6) for _, p, q in outline_edges() if p[0] == q[0] and p[1] != q[1]}
    for layer, x0, x1, y0, y1 in port_boxes():
        faces.update((round(x0, 6), round(x1, 6)))
    return faces


def slanted_spans(axis):
    """The spans along `axis` (0: x, 1: y) of the edges that are not axis-aligned (the
    bends and diagonal runs), overlapping ones joined."""
    spans = sorted(sorted((p[axis], q[axis])) for _, p, q in outline_edges()
                   if p[0] != q[0] and p[1] != q[1])
    joined = []
    for lo, hi in spans:
        if joined and lo <= joined[-1][1]:
            joined[-1][1] = max(joined[-1][1], hi)
        else:
            joined.append([lo, hi])
    return joined


def graded(fixed, largest, spans=(), merge=MERGE_DISTANCE, slant=SLANT_CELL):
    """Mesh lines through the fixed ones (those closer than `merge` taken as one, at their
    mean), the cells between two of them growing by GROWTH from the cells beside them, up
    to `largest`, or to `slant` between two that a span overlaps."""
    clusters = []
    for v in sorted(fixed):
        if clusters and v - clusters[-1][-1] <= merge:
            clusters[-1].append(v)
        else:
            clusters.append([v])
    lines = [sum(c) / len(c) for c in clusters]
    gaps = np.diff(lines)

    def limit(lo, hi):
        over = any(lo < b and a < hi for a, b in spans)
        return min(slant, largest) if over else largest

    # Each interval filled from the cells at the ends of its neighbours, those
    # taken from the previous pass (at first the neighbours' whole gaps).
    ends = [(gap, gap) for gap in gaps]
    for _ in range(3):
        fills = []
        for i, gap in enumerate(gaps):
            most = limit(lines[i], lines[i + 1])
            left = min(ends[i - 1][1], most) if i > 0 else None
            right = min(ends[i + 1][0], most) if i + 1 < len(gaps) else None
            inner = filled(lines[i], lines[i + 1], left, right, most)
            fills.append(inner)
        ends = [((inner[0] if inner else lines[i + 1]) - lines[i],
                 lines[i + 1] - (inner[-1] if inner else lines[i]))
                for i, inner in enumerate(fills)]
    result = [lines[0]]
    for i, inner in enumerate(fills):
        result += inner
        result.append(lines[i + 1])
    return np.array(result)


def filled(a, b, left, right, largest):
    """Lines strictly between a and b, the cells growing by GROWTH from the cells beside
    them (`left` below a, `right` above b; None at the box's walls) up to `largest`."""
    last_a, last_b = left, right
    size_a = min((left or largest) * GROWTH, largest)
    size_b = min((right or largest) * GROWTH, largest)
    lo, hi = a, b
    low, high = [], []
    while hi - lo > 2.0 * min(size_a, size_b) * GROWTH:
        if size_a <= size_b:
            lo += size_a
            low.append(lo)
            last_a, size_a = size_a, min(size_a * GROWTH, largest)
        else:
            hi -= size_b
            high.append(hi)
            last_b, size_b = size_b, min(size_b * GROWTH, largest)
    # The rest in equal cells, as many as keep them nearest the cells beside them.
    gap = hi - lo
    beside = [cell for cell in (last_a, last_b) if cell]
    fewest = max(1, math.ceil(gap / largest - 1e-9))

    def worst(n):
        return max([max(gap / n / cell, cell * n / gap) for cell in beside] or [1.0])

    n = min(range(fewest, fewest + 3 + int(gap / min(beside + [largest]))), key=worst)
    middle = [lo + gap * k / n for k in range(1, n)]
    return low + middle + high[::-1]


def mesh_lines(mesh):
    """The mesh: x, y, z lines in mm."""
    largest = largest_cell(mesh)
    # The fine mesh's cells at the edges and over the bends shrink as its largest does.
    finer = CELLS_PER_WAVELENGTH["coarse"] / CELLS_PER_WAVELENGTH[mesh]
    edge = min(EDGE_CELL * finer, largest)
    slant = SLANT_CELL * finer
    x0, x1, y0, y1 = domain()
    # Along y the thirds rule at each strip edge: a line a third of a cell inside the
    # copper, one two thirds outside.
    ys = {y0, y1}
    for y, side in strip_edges():
        ys.update((y + side * edge / 3.0, y - side * 2.0 * edge / 3.0))
    # Along x every end face on a line; each port's probes on three lines a cell apart.
    xs = {x0, x1} | end_faces()
    for port in PORTS:
        for x in probe_lines(port, largest):
            xs.add(x)
    # Along z the planes, every layer's faces and the copper's faces.
    zs = {0.0}
    z = 0.0
    for thickness, er, tand in LAYERS:
        z += thickness
        zs.add(z)
    for bottom, thickness in COPPER:
        zs.update((bottom, bottom + thickness))
    # Thirds-rule lines of two edges that nearly meet are one line between them.
    return (graded(xs, largest, slanted_spans(0), slant=slant),
            graded(ys, largest, slanted_spans(1), max(MERGE_DISTANCE, edge / 4.0), slant),
            graded(zs, largest))


def probe_lines(port, largest):
    """The measurement plane in the middle of the port line and a line either side."""
    number, role, layer, x, y, width, outward, ohms = port
    middle = x + outward * (0.5 * width + 0.5 * PORT_LINE_LENGTH)
    step = min(largest, PORT_LINE_LENGTH / 8.0)
    return (middle - step, middle, middle + step)


def nearest(lines, v):
    return lines[np.argmin(np.abs(lines - v))]


def outside(lines, v, direction):
    """The dual-mesh position just outside a copper face at v, toward `direction`."""
    if direction > 0:
        j = int(np.searchsorted(lines, v + 1e-9))
        return 0.5 * (lines[j] + lines[j - 1])
    j = int(np.searchsorted(lines, v - 1e-9)) - 1
    return 0.5 * (lines[j] + lines[j + 1])


def build(mesh, excited):
    """The structure and the FDTD set-up with the port of `excited` (an index into PORTS) driven."""
    from CSXCAD import ContinuousStructure
    from openEMS import openEMS

    xs, ys, zs = mesh_lines(mesh)
    csx = ContinuousStructure()
    grid = csx.GetGrid()
    grid.SetDeltaUnit(1e-3)
    grid.SetLines("x", xs)
    grid.SetLines("y", ys)
    grid.SetLines("z", zs)
    height = total_height()
    # The dielectric layers, each loss tangent a conductivity at F0_HZ.
    z = 0.0
    for i, (thickness, er, tand) in enumerate(LAYERS):
        kappa = 2.0 * math.pi * F0_HZ * EPS0 * er * tand
        layer = csx.AddMaterial("layer%d" % (i + 1), epsilon=er, kappa=kappa)
        layer.AddBox([xs[0], ys[0], z], [xs[-1], ys[-1], z + thickness], priority=1)
        z += thickness
    copper = csx.AddMetal("copper")
    for layer, corners in OUTLINES:
        bottom, thickness = COPPER[layer]
        points = np.array(corners).T
        copper.AddLinPoly(points=points, norm_dir="z", elevation=bottom, length=thickness,
                          priority=10)
    for layer, x0, x1, y0, y1 in port_boxes():
        bottom, thickness = COPPER[layer]
        copper.AddBox([x0, y0, bottom], [x1, y1, bottom + thickness], priority=10)
    probes = []
    for index, port in enumerate(PORTS):
        probes.append(add_port(csx, index, port, xs, ys, zs, index == excited, mesh))
    fdtd = openEMS(NrTS=max_timesteps(xs, ys, zs), EndCriteria=END_CRITERIA)
    fdtd.SetCSX(csx)
    fdtd.SetGaussExcite(0.5 * (F_LOW_HZ + F_HIGH_HZ), 0.5 * (F_HIGH_HZ - F_LOW_HZ))
    # Every face of the box PEC: the ground planes below and above, the side walls.
    fdtd.SetBoundaryCond(["PEC"] * 6)
    return fdtd, probes


def add_port(csx, index, port, xs, ys, zs, excite, mesh):
    """A port's termination (its ohms from the strip to each plane, in parallel) at the
    port line's end, its excitation there when driven, and its probes."""
    number, role, layer, x, y, width, outward, ohms = port
    bottom, thickness = COPPER[layer]
    top = bottom + thickness
    height = total_height()
    # On the mesh line itself: a plane a rounding error off it holds no cell, and openEMS
    # would leave the port without its source and its load.
    end = nearest(np.asarray(xs), port_line_end(port))
    y0, y1 = y - 0.5 * width, y + 0.5 * width
    name = "port%d" % number
    for side, (za, zb) in (("below", (0.0, bottom)), ("above", (top, height))):
        if zb - za <= 0.0:
            continue
        load = csx.AddLumpedElement("%s_load_%s" % (name, side), ny="z", caps=True, R=2.0 * ohms)
        load.AddBox([end, y0, za], [end, y1, zb], priority=5)
        if excite:
            # Equal voltages across both gaps: the stripline's own mode.
            field = -1.0 / (zb - za) if side == "below" else 1.0 / (zb - za)
            source = csx.AddExcitation("%s_source_%s" % (name, side), exc_type=0,
                                       exc_val=[0, 0, field])
            source.AddBox([end, y0, za], [end, y1, zb], priority=5)
    lines = probe_lines(port, largest_cell(mesh))
    centre = nearest(ys, y)
    volts = []
    for k, xv in enumerate(lines):
        xv = nearest(xs, xv)
        below = csx.AddProbe("%s_v%d_below" % (name, k), p_type=0, weight=-1)
        below.AddBox([xv, centre, 0.0], [xv, centre, bottom])
        above = csx.AddProbe("%s_v%d_above" % (name, k), p_type=0, weight=1)
        above.AddBox([xv, centre, top], [xv, centre, height])
        volts.append(xv)
    amps = []
    # A loop round the strip on the dual mesh, the current counted into the coupler.
    ya, yb = outside(ys, y0, -1), outside(ys, y1, 1)
    za, zb = outside(zs, bottom, -1), outside(zs, top, 1)
    for k in range(2):
        xc = 0.5 * (volts[k] + volts[k + 1])
        loop = csx.AddProbe("%s_i%d" % (name, k), p_type=1, weight=-outward, norm_dir=0)
        loop.AddBox([xc, ya, za], [xc, yb, zb])
        amps.append(xc)
    return {"name": name, "volts": volts, "amps": amps}


def max_timesteps(xs, ys, zs):
    """The time allowed, TIME_ALLOWED_S, in steps of the Courant limit of the smallest cells."""
    smallest = [np.min(np.diff(lines)) for lines in (xs, ys, zs)]
    step = 1.0 / (C0_MM_PER_S * math.sqrt(sum(1.0 / d**2 for d in smallest)))
    return int(math.ceil(TIME_ALLOWED_S / step))


class Progress:
    """openEMS's own lines pass through unchanged while its energy and timesteps are read."""

    TIMESTEP = re.compile(r"Timestep:\s*(\d+)")
    ENERGY = re.compile(r"Energy:\s*~?\s*([-+0-9.eEnaif]+)\s*\(\s*-?\s*([0-9.eEnaif+-]+)\s*dB\)")
    TOTAL = re.compile(r"Time for\s+(\d+)\s+iterations")
    PULSE = re.compile(r"Excitation Length \(TS\)\s*:\s*(\d+)")

    def __init__(self):
        self.timesteps = 0
        self.pulse = 0  # the excitation's length in timesteps
        self.decay_db = 0.0  # from openEMS's last energy line; 0 before the first
        self.peak_in_pulse = 0.0
        self.grew = False

    def read(self, line):
        m = self.PULSE.search(line)
        if m:
            self.pulse = int(m.group(1))
        m = self.TOTAL.search(line)
        if m:
            self.timesteps = int(m.group(1))
            return
        m = self.TIMESTEP.search(line)
        if m:
            self.timesteps = int(m.group(1))
        m = self.ENERGY.search(line)
        if m:
            energy = float(m.group(1))
            # Energy not finite, or ten times the pulse's once the pulse is over: the run
            # diverges (and runs on to the end of the time allowed).
            if self.timesteps <= self.pulse:
                self.peak_in_pulse = max(self.peak_in_pulse, energy)
            if not math.isfinite(energy) or (self.timesteps > self.pulse
                                             and energy > 10.0 * self.peak_in_pulse > 0.0):
                self.grew = True
                return
            self.decay_db = -abs(float(m.group(2)))

    def __enter__(self):
        sys.stdout.flush()
        self.saved = os.dup(1)
        reading, writing = os.pipe()
        os.dup2(writing, 1)
        os.close(writing)
        self.reader = threading.Thread(target=self.pump, args=(reading,))
        self.reader.start()
        return self

    def pump(self, reading):
        with os.fdopen(reading, "rb") as pipe:
            for line in pipe:
                os.write(self.saved, line)
                self.read(line.decode(errors="replace"))

    def __exit__(self, *exc):
        ctypes.CDLL(None).fflush(None)
        os.dup2(self.saved, 1)
        self.reader.join()
        os.close(self.saved)


def run_excitation(mesh, index, work, threads):
    """One openEMS run with port `index` driven, in work/excitation<n>: its files, probes and
    Progress."""
    fdtd, probes = build(mesh, index)
    path = os.path.join(work, "excitation%d" % (index + 1))
    os.makedirs(path)
    with Progress() as progress:
        fdtd.Run(path, verbose=1, numThreads=max(threads, 0))
    return path, probes, progress


def spectrum(path, name, freqs):
    from openEMS.utilities import DFT_time2freq

    data = np.loadtxt(os.path.join(path, name), comments="%")
    return DFT_time2freq(data[:, 0], data[:, 1], freqs)


def port_voltage_current(path, probe, freqs):
    """The port line's voltage and current at its measurement plane, and the line's
    propagation constant and impedance from their changes along it."""
    name = probe["name"]
    v = [0.5 * (spectrum(path, "%s_v%d_below" % (name, k), freqs) +
                spectrum(path, "%s_v%d_above" % (name, k), freqs)) for k in range(3)]
    i = [spectrum(path, "%s_i%d" % (name, k), freqs) for k in range(2)]
    dx = (probe["volts"][2] - probe["volts"][0]) * 1e-3
    dxi = (probe["amps"][1] - probe["amps"][0]) * 1e-3
    e, h = v[1], 0.5 * (i[0] + i[1])
    de, dh = (v[2] - v[0]) / dx, (i[1] - i[0]) / dxi
    beta = np.sqrt(-de * dh / (h * e))
    beta[np.real(beta) < 0] *= -1
    zline = np.sqrt(e * de / (h * dh))
    return e, h, beta, zline


def waves(runs, freqs):
    """A[i][j], B[i][j]: the wave into and out of port i with port j driven, at its pad's centre."""
    n = len(PORTS)
    a = np.zeros((len(freqs), n, n), complex)
    b = np.zeros((len(freqs), n, n), complex)
    lines = []
    for i, port in enumerate(PORTS):
        path, probes, _ = runs[i]
        _, _, beta, zline = port_voltage_current(path, probes[i], freqs)
        lines.append((np.real(beta), np.abs(zline)))
    for j, (path, probes, _) in enumerate(runs):
        for i, port in enumerate(PORTS):
            number, role, layer, x, y, width, outward, ohms = port
            v, c, _, _ = port_voltage_current(path, probes[i], freqs)
            beta, zline = lines[i]
            # From the measurement plane inward to the pad's centre along the uniform line.
            length = abs(probes[i]["volts"][1] - x) * 1e-3
            turn = beta * length
            v_pad = v * np.cos(turn) - 1j * zline * c * np.sin(turn)
            c_pad = c * np.cos(turn) - 1j * v / zline * np.sin(turn)
            a[:, i, j] = 0.5 * (v_pad + ohms * c_pad) / math.sqrt(ohms)
            b[:, i, j] = 0.5 * (v_pad - ohms * c_pad) / math.sqrt(ohms)
    return a, b


def scattering(runs, freqs):
    """S = B A^-1: the terminations' own mismatch taken out."""
    a, b = waves(runs, freqs)
    return np.array([bk @ np.linalg.pinv(ak) for ak, bk in zip(a, b)])


def by_role(s):
    """The matrix in the tool's port order (1 input, 2 through, 3 isolated, 4 coupled)."""
    order = [[p[1] for p in PORTS].index(role) for role in ROLES]
    return s[:, order][:, :, order]


def by_pad(s):
    order = sorted(range(len(PORTS)), key=lambda k: PORTS[k][0])
    return s[:, order][:, :, order]


def write_csv(path, freqs, s):
    n = s.shape[1]
    names = ["f_hz"] + ["s%d%d_%s" % (i + 1, j + 1, part) for i in range(n) for j in range(n)
                        for part in ("re", "im")]
    with open(path, "w") as f:
        f.write(",".join(names) + "\n")
        for k, freq in enumerate(freqs):
            row = [repr(float(freq))]
            for i in range(n):
                for j in range(n):
                    row += [repr(float(s[k, i, j].real)), repr(float(s[k, i, j].imag))]
            f.write(",".join(row) + "\n")


def write_touchstone(path, freqs, s):
    """The matrix by pad number: Touchstone 1.1 when every port has one resistance, else
    2.0 with each port's own ([Reference])."""
    n = s.shape[1]
    ohms = [p[7] for p in sorted(PORTS)]
    one = all(r == ohms[0] for r in ohms)
    with open(path, "w") as f:
        f.write("! %s\n" % TITLE)
        f.write("! full-wave model, ports numbered as the pads, each referred to its pad's centre\n")
        if not one:
            f.write("[Version] 2.0\n")
        f.write("# Hz S RI R %g\n" % ohms[0])
        if not one:
            f.write("[Number of Ports] %d\n" % n)
            f.write("[Reference] %s\n" % " ".join("%g" % r for r in ohms))
            f.write("[Number of Frequencies] %d\n" % len(freqs))
            f.write("[Network Data]\n")
        for k, freq in enumerate(freqs):
            values = []
            for i in range(n):
                for j in range(n):
                    values += ["%.12g" % s[k, i, j].real, "%.12g" % s[k, i, j].imag]
            for row in range(n):
                prefix = "%.12g" % freq if row == 0 else ""
                f.write(prefix + " " + " ".join(values[row * 2 * n:(row + 1) * 2 * n]) + "\n")
        if not one:
            f.write("[End]\n")


def stage(text):
    print("stage: " + text, flush=True)


def main():
    parser = argparse.ArgumentParser(description=TITLE)
    parser.add_argument("--mesh", choices=sorted(CELLS_PER_WAVELENGTH), default="coarse")
    parser.add_argument("--threads", type=int, default=0,
                        help="openEMS's threads (0: its own choice)")
    args = parser.parse_args()
    here = os.path.dirname(os.path.abspath(__file__))
    work = os.path.join(here, args.mesh)
    if os.path.isdir(work):
        shutil.rmtree(work)
    os.makedirs(work)
    started = time.monotonic()
    xs, ys, zs = mesh_lines(args.mesh)
    cells = (len(xs) - 1) * (len(ys) - 1) * (len(zs) - 1)
    limit = max_timesteps(xs, ys, zs)
    stage("mesh %d cells (%d x %d x %d lines), %s" % (cells, len(xs), len(ys), len(zs), args.mesh))
    runs = []
    status, decay, steps = "settled", -math.inf, 0
    for index in range(len(PORTS)):
        stage("excitation %d of %d (port %d)" % (index + 1, len(PORTS), PORTS[index][0]))
        run = run_excitation(args.mesh, index, work, args.threads)
        runs.append(run)
        progress = run[2]
        steps += progress.timesteps
        decay = max(decay, progress.decay_db)
        if progress.grew:
            status = "diverged"
        elif progress.timesteps >= limit:
            status = "not settled"
        if status != "settled":
            break
    if status == "settled":
        stage("scattering matrix")
        freqs = np.linspace(F_HIGH_HZ / FREQUENCY_POINTS, F_HIGH_HZ, FREQUENCY_POINTS)
        s = scattering(runs, freqs)
        write_csv(os.path.join(work, "sparameters.csv"), freqs, by_role(s))
        write_touchstone(os.path.join(work, "coupler.s4p"), freqs, by_pad(s))
    result = {"status": status, "mesh": args.mesh, "energy_decay_db": decay, "cells": cells,
              "timesteps": steps, "excitations": len(runs),
              "seconds": time.monotonic() - started}
    with open(os.path.join(work, "status.json"), "w") as f:
        json.dump(result, f)
        f.write("\n")
    stage("%s, %.0f s" % (status, result["seconds"]))


if __name__ == "__main__":
    main()
)py";

}  // namespace

std::string fullwave_script(const ArtworkInputs& inputs, const Artwork& artwork,
                            const FullwaveModel& model) {
  std::ostringstream out;
  docstring(out, model);
  constants(out, model);
  outlines(out, artwork);
  ports(out, artwork, model);
  mesh_constants(out, inputs, model);
  out << "\n" << kCode;
  return out.str();
}

std::string fullwave_readme() {
  return "coupler.py: the full-wave model of the coupler as laid out (openEMS, Debian's "
         "python3-openems), every number a constant near its top.\n"
         "Run it: /usr/bin/python3 coupler.py [--mesh coarse|fine] [--threads N]\n"
         "It writes, in ./coarse/ or ./fine/: sparameters.csv, coupler.s4p and, last, "
         "status.json.\n";
}

}  // namespace ketrovane::layout
