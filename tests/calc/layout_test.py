"""ketrovane-calc's artwork end to end: the README's 10 dB coupler, a
broadside coupler on two inner layers and a 3-section coupler written as
KiCad footprints, Gerber layers, DXF drawings and pictures by the real
program, read back with KiCad's pcbnew, gerbv and ezdxf, and measured
against the design the program printed; the layout command's ports; and
every refusal, which leaves no file behind.

Usage: layout_test.py PATH/TO/ketrovane-calc
"""

import csv
import io
import math
import os
import subprocess
import sys
import tempfile
import unittest

import ezdxf
import pcbnew
from shapely.geometry import Polygon, box
from shapely.ops import unary_union

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "layout"))
import artwork_readers  # noqa: E402  pylint: disable=wrong-import-position

CALC = None  # set from the command line

MM = 25.4
# Written to the nanometre: a length measured between two vertices holds to 0.1 um.
MEASURE_MM = 1e-4
# The speed of light in inches per microsecond, as the program carries it.
C_INCH_MHZ = 11802.8545

BOARD = ["--b", "62mil", "--t", "1.37mil", "--er", "3.66"]
README_COUPLER = ["synthesise", "--zo", "50", "--coupling", "10", "--f0", "2GHz"] + BOARD
BROADSIDE = (["response", "--geometry", "broadside", "--solver", "field", "--w", "30mil",
              "--sv", "10mil", "--wo", "8mil", "--f0", "2GHz", "--f", "2GHz"] + BOARD)
THREE_SECTIONS = (["multisection", "--zo", "50", "--coupling", "10", "--sections", "3",
                   "--profile", "maximally-flat", "--f0", "2GHz"] + BOARD)


def run(args, status=0, cwd=None):
    done = subprocess.run([CALC] + args, cwd=cwd, capture_output=True, text=True, check=False)
    assert done.returncode == status, (args, done.returncode, done.stderr)
    return done


def csv_rows(args, cwd=None):
    """The rows, lengths in inches."""
    done = run(args + ["--format", "csv", "--length-unit", "in"], cwd=cwd)
    return list(csv.DictReader(io.StringIO(done.stdout)))


def kicad_copper(path):
    """The footprint as pcbnew loads it: each layer's polygons and the pads
    (number -> centre, size, layer), in mm, y up."""
    folder, name = os.path.split(path)
    footprint = pcbnew.FootprintLoad(folder, os.path.splitext(name)[0])
    assert footprint is not None, path
    layers = {}
    for item in footprint.GraphicalItems():
        if item.GetShape() != pcbnew.SHAPE_T_POLY:
            continue
        corners = item.GetPolyShape().Outline(0)
        points = [corners.CPoint(i) for i in range(corners.PointCount())]
        layers.setdefault(item.GetLayerName(), []).append(
            [(pcbnew.ToMM(p.x), -pcbnew.ToMM(p.y)) for p in points])
    pads = {}
    for pad in footprint.Pads():
        position, size = pad.GetPosition(), pad.GetSize()
        layer = [pcbnew.BOARD.GetStandardLayerName(l) for l in pad.GetLayerSet().Seq()]
        pads[int(pad.GetNumber())] = ((pcbnew.ToMM(position.x), -pcbnew.ToMM(position.y)),
                                      (pcbnew.ToMM(size.x), pcbnew.ToMM(size.y)), layer)
    return layers, pads


def gerber_regions(path):
    """The regions (G36 .. G37) of a Gerber file in mm."""
    regions, current = [], None
    with open(path, encoding="ascii") as text:
        for line in text.read().splitlines():
            if line == "G36*":
                current = []
            elif line == "G37*":
                regions.append(current[:-1])  # the closing vertex repeats the first
                current = None
            elif current is not None and line.startswith("X"):
                x, y = line[1:].split("D")[0].split("Y")
                current.append((int(x) / 1e6, int(y) / 1e6))
    return regions


def dxf_polylines(path):
    """Each DXF layer's closed polylines in mm."""
    layers = {}
    for polyline in ezdxf.readfile(path).modelspace().query("POLYLINE"):
        layers.setdefault(polyline.dxf.layer, []).append(
            [(v.dxf.location.x, v.dxf.location.y) for v in polyline.vertices])
    return layers


def strips(outlines, length_mm):
    """The coupled strips: rectangles whose four corners span a section's
    length, as (x0, x1, y0, y1), from -x, each section's upper strip first."""
    found = []
    for outline in outlines:
        xs, ys = [p[0] for p in outline], [p[1] for p in outline]
        if len(outline) == 4 and abs(max(xs) - min(xs) - length_mm) <= MEASURE_MM:
            found.append((min(xs), max(xs), min(ys), max(ys)))
    return sorted(found, key=lambda r: (round(r[0], 3), -r[2]))


def design_area_mm2(strip_areas_mm2, ports):
    """Copper of a mitred artwork: the strips, each feed line (its width
    times its centre line, the lead-out) and the half of each pad beyond
    the line's end."""
    feeds = sum(float(p["feed_width_in"]) * float(p["lead_out_in"]) * MM * MM
                + (float(p["feed_width_in"]) * MM) ** 2 / 2 for p in ports)
    return sum(strip_areas_mm2) + feeds


def geometry_of(layers, pads, names):
    """The checker's geometry (inches) from copper read back."""
    return {"layer_names": names,
            "layers": [[[(x / MM, y / MM) for x, y in o] for o in layers[n]] for n in names],
            "pads": [{"number": n, "layer": names.index(layer[0]),
                      "centre": [c[0] / MM, c[1] / MM], "size": [s[0] / MM, s[1] / MM]}
                     for n, (c, s, layer) in sorted(pads.items())]}


# Where each port's pad stands (sign of x, sign of y) for each --port-order.
PAD_CORNERS = {
    "isolated-third": {1: (-1, 1), 2: (1, 1), 3: (1, -1), 4: (-1, -1)},
    "coupled-third": {1: (-1, 1), 2: (1, 1), 3: (-1, -1), 4: (1, -1)},
}


class Artwork(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()  # pylint: disable=consider-using-with
        self.dir = self.folder.name

    def tearDown(self):
        self.folder.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def ports(self, coupler_args, extra):
        """The layout command's rows of the same coupler."""
        return csv_rows(["layout"] + coupler_args + extra)

    def assert_pads(self, pads, ports, order, names_by_role):
        for p in ports:
            number = int(p["port"])
            centre, size, layer = pads[number]
            sx, sy = PAD_CORNERS[order][number]
            self.assertEqual((math.copysign(1, centre[0]), math.copysign(1, centre[1])), (sx, sy),
                             f"pad {number} ({p['role']})")
            width = float(p["feed_width_in"]) * MM
            self.assertAlmostEqual(size[0], width, delta=MEASURE_MM)
            self.assertAlmostEqual(size[1], width, delta=MEASURE_MM)
            self.assertEqual(layer, [names_by_role[p["role"]]], f"pad {number}")

    # The fault: a coupler drawn with another width, gap or length than
    # designed (in any format), pads numbered against --port-order or not
    # the feed lines' width, copper missing or doubled (area), a Gerber or
    # DXF that disagrees with the footprint, a picture not drawn.
    def test_readme_coupler_in_every_format(self):
        for order, bend in (("isolated-third", "mitre"), ("coupled-third", "arc")):
            with self.subTest(order=order, bend=bend):
                extra = ["--port-order", order, "--bend", bend]
                row = csv_rows(README_COUPLER)[0]
                w, s, length = (float(row[k]) * MM for k in ("w_in", "s_in", "length_in"))
                for name in ("c.kicad_mod", "c.gbr", "c.dxf", "c.svg", "c.png"):
                    done = run(README_COUPLER + ["--layout", name] + extra, cwd=self.dir)
                    self.assertIn("de-embed them", done.stderr)
                    self.assertGreater(os.path.getsize(self.path(name)), 0, name)
                ports = self.ports(["--w", row["w_in"], "--s", row["s_in"], "--f0", "2GHz"]
                                   + BOARD, extra)
                self.assertEqual([int(p["port"]) for p in ports], [1, 2, 3, 4])
                layers, pads = kicad_copper(self.path("c.kicad_mod"))
                self.assert_pads(pads, ports, order, {r: "F.Cu" for r in
                                                      ("input", "through", "isolated", "coupled")})
                for source, outlines in (("kicad", layers["F.Cu"]),
                                         ("gerber", gerber_regions(self.path("c.gbr"))),
                                         ("dxf", dxf_polylines(self.path("c.dxf"))["F.Cu"])):
                    upper, lower = strips(outlines, length)
                    self.assertAlmostEqual(upper[3] - upper[2], w, delta=MEASURE_MM, msg=source)
                    self.assertAlmostEqual(lower[3] - lower[2], w, delta=MEASURE_MM, msg=source)
                    self.assertAlmostEqual(upper[2] - lower[3], s, delta=MEASURE_MM, msg=source)
                copper = unary_union([Polygon(o) for o in layers["F.Cu"]] +
                                     [box(c[0] - z[0] / 2, c[1] - z[1] / 2, c[0] + z[0] / 2,
                                          c[1] + z[1] / 2) for c, z, _ in pads.values()])
                # Vertices to the nanometre, the table's numbers in single
                # precision, arcs as chords straying 0.01 um at most: 1e-5
                # of the copper, while a pad's half missed is 1e-2 of it.
                self.assertLessEqual(abs(copper.area / design_area_mm2([2 * w * length], ports) - 1),
                                     1e-5)
                geometry = geometry_of(layers, pads, ["F.Cu"])
                artwork_readers.check_gerber(self.path("c.gbr"), geometry, 0)

    # The fault: strips one above the other drawn on one layer, the wrong
    # layer upper, one Gerber file for two layers or files misnamed, the
    # sideways offset WO lost.
    def test_broadside_on_two_inner_layers(self):
        names = ["In1.Cu", "In2.Cu"]
        gerbers = [f"b-{n.replace('.', '_')}.gbr" for n in names]
        args = BROADSIDE + ["--copper-layers", ",".join(names)]
        for name in ("b.kicad_mod", "b.gbr", "b.dxf"):
            run(args + ["--layout", name], cwd=self.dir)
        self.assertEqual(sorted(f for f in os.listdir(self.dir) if f.endswith(".gbr")), gerbers)
        ports = self.ports(["--geometry", "broadside", "--solver", "field", "--w", "30mil",
                            "--sv", "10mil", "--wo", "8mil", "--f0", "2GHz"] + BOARD, [])
        layers, pads = kicad_copper(self.path("b.kicad_mod"))
        self.assert_pads(pads, ports, "isolated-third",
                         {"input": "In1.Cu", "through": "In1.Cu", "isolated": "In2.Cu",
                          "coupled": "In2.Cu"})
        geometry = geometry_of(layers, pads, names)
        drawing = dxf_polylines(self.path("b.dxf"))
        centres = []
        for index, name in enumerate(names):
            for source, outlines in (("kicad", layers[name]),
                                     ("gerber", gerber_regions(self.path(gerbers[index]))),
                                     ("dxf", drawing[name])):
                # The strip is the longest rectangle of its layer.
                four = [o for o in outlines if len(o) == 4]
                strip = max(four, key=lambda o: max(p[0] for p in o) - min(p[0] for p in o))
                ys = [p[1] for p in strip]
                self.assertAlmostEqual(max(ys) - min(ys), 0.030 * MM, delta=MEASURE_MM,
                                       msg=(source, name))
                if source == "kicad":
                    centres.append((max(ys) + min(ys)) / 2)
            artwork_readers.check_gerber(self.path(gerbers[index]), geometry, index)
        self.assertAlmostEqual(centres[0] - centres[1], 0.008 * MM, delta=MEASURE_MM)

    # The fault: sections out of order, a section's W, S or length not its
    # row's, sections that do not abut (their steps), the feed lines sized
    # for a section instead of the terminations.
    def test_three_sections_abut_as_designed(self):
        sections = csv_rows(THREE_SECTIONS)
        run(THREE_SECTIONS + ["--layout", "m.kicad_mod"], cwd=self.dir)
        layers, _ = kicad_copper(self.path("m.kicad_mod"))
        found = []
        for row in sections:
            found += strips(layers["F.Cu"], float(row["length_in"]) * MM)
        found = sorted(set(found), key=lambda r: (round(r[0], 3), -r[2]))
        self.assertEqual(len(found), 6)
        for k, row in enumerate(sections):
            upper, lower = found[2 * k], found[2 * k + 1]
            self.assertAlmostEqual(upper[3] - upper[2], float(row["w_in"]) * MM, delta=MEASURE_MM)
            self.assertAlmostEqual(upper[2] - lower[3], float(row["s_in"]) * MM, delta=MEASURE_MM)
            self.assertAlmostEqual(upper[1] - upper[0], float(row["length_in"]) * MM,
                                   delta=MEASURE_MM)
            if k > 0:
                self.assertAlmostEqual(upper[0], found[2 * k - 2][1], delta=MEASURE_MM)
        total = sum(float(r["length_in"]) for r in sections) * MM
        self.assertAlmostEqual(found[-1][1] - found[0][0], total, delta=MEASURE_MM)
        self.assertAlmostEqual(found[0][0], -total / 2, delta=MEASURE_MM)

    # The fault: a lead-out's electrical length not 360 L sqrt(Eeff) f0 / c
    # (in one dielectric Eeff = Er), or rows not in port order.
    def test_layout_rows_give_each_lead_out_in_degrees(self):
        ports = self.ports(["--w", "24.8mil", "--s", "6.4mil", "--f0", "2GHz", "--rl", "75",
                            "--layout", self.path("p.dxf")] + BOARD, [])
        self.assertEqual([p["role"] for p in ports], ["input", "through", "isolated", "coupled"])
        for p in ports:
            degrees = 360 * float(p["lead_out_in"]) * math.sqrt(3.66) * 2000 / C_INCH_MHZ
            self.assertAlmostEqual(float(p["lead_out_deg"]) / degrees, 1, delta=1e-5)
            self.assertAlmostEqual(float(p["feed_zo_ohm"]), 75 if p["role"] in
                                   ("through", "isolated") else 50, delta=0.05)
        widths = {p["role"]: float(p["feed_width_in"]) for p in ports}
        self.assertGreater(widths["input"], widths["through"])  # 50 ohm is wider than 75


# Each refusal: (arguments, status, words the message has).  The fault:
# a refusal that writes a file anyway, exits with the wrong status, or does
# not name what is refused.
REFUSALS = [
    (["layout", "--w", "24.8mil", "--s", "6.4mil", "--f0", "2GHz", "--min-width", "30mil"] + BOARD,
     1, "the section: W = 24.8 mil is below --min-width"),
    (["layout", "--w", "24.8mil", "--s", "6.4mil", "--f0", "2GHz", "--min-gap", "6.5mil"] + BOARD,
     1, "the section: S = 6.4 mil is below --min-gap"),
    (THREE_SECTIONS + ["--min-gap", "5mil"], 1, "section 2 could not be built"),
    (["layout", "--w", "24.8mil", "--s", "6.4mil", "--f0", "2GHz", "--min-width", "20mil",
      "--rl", "100"] + BOARD, 1, "the feed line at port 2 (through)"),
    (["layout", "--w", "24.8mil", "--s", "6.4mil", "--f0", "2GHz", "--copper-layers",
      "In1.Cu,In2.Cu"] + BOARD, 2, "expected one copper layer for strips side by side"),
    (["layout", "--w", "24.8mil", "--s", "6.4mil", "--f0", "2GHz", "--rs", "0.5"] + BOARD,
     2, "--rs: no feed line of 0.5 ohm"),
    (README_COUPLER[:4] + ["10:12:1"] + README_COUPLER[5:], 2, "draws one coupler"),
    (["response", "--zo", "50", "--coupling", "10", "--er", "3.66", "--f0", "2GHz", "--f",
      "2GHz"], 2, "no dimensions to draw"),
    (["synthesise", "--zo", "50", "--coupling", "10"] + BOARD, 2, "--f0"),
    (THREE_SECTIONS[:-6] + ["--er", "3.66"], 2, "ideal sections have no dimensions to draw"),
    (["response", "--w", "24.8mil", "--s", "6.4mil", "--f0", "2GHz", "--f", "2GHz", "--bend",
      "arc"] + BOARD, 2, "only with --layout"),
]


class Refusals(unittest.TestCase):
    def test_each_refusal_names_its_cause_and_writes_nothing(self):
        for args, status, words in REFUSALS:
            for name in ("r.kicad_mod", "r.pdf"):
                with self.subTest(args=args, name=name), tempfile.TemporaryDirectory() as folder:
                    with_layout = args if "--bend" in args else args + ["--layout", name]
                    if name.endswith(".pdf"):
                        if "--bend" in args:
                            continue
                        done = run(with_layout, 2, cwd=folder)
                        self.assertIn("expected a file name ending in .kicad_mod, .gbr, .dxf, "
                                      ".svg or .png", done.stderr)
                    else:
                        done = run(with_layout, status, cwd=folder)
                        self.assertIn(words, done.stderr)
                    self.assertEqual(os.listdir(folder), [])


if __name__ == "__main__":
    CALC = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
