"""Reads a coupler's artwork files back with the tools engineers use and
compares them with the geometry they were written from.

The expected geometry is a dict in inches, as write_samples writes it:

    {"layer_names": ["F.Cu"] or ["In1.Cu", "In2.Cu"],
     "layers": [[outline, ...], ...],      # outline: [[x, y], ...], counter-clockwise
     "pads": [{"number": 1, "layer": 0, "centre": [x, y], "size": [sx, sy]}, ...]}

Each check_* function takes a file's path and that dict and raises
AssertionError naming what differs.  Needs KiCad's pcbnew, gerbv, ezdxf,
shapely, matplotlib and gnuplot (scripts/install-deps installs them).
"""

import os
import subprocess
import tempfile

import ezdxf
import matplotlib.image
import pcbnew
from shapely.geometry import Polygon, box
from shapely.ops import unary_union

MM_PER_INCH = 25.4
# Coordinates are written to the nanometre; a vertex read back holds to 0.1 um.
VERTEX_TOLERANCE_MM = 1e-4
# gerbv's picture at this resolution measures the copper to within 1 %.
GERBV_DPI = 1000
AREA_TOLERANCE = 0.01


def _mm(point):
    return (point[0] * MM_PER_INCH, point[1] * MM_PER_INCH)


def pad_outline_mm(pad):
    """A pad's rectangle in millimetres, counter-clockwise."""
    (cx, cy), (sx, sy) = pad["centre"], pad["size"]
    return [_mm(p) for p in ((cx - sx / 2, cy - sy / 2), (cx + sx / 2, cy - sy / 2),
                             (cx + sx / 2, cy + sy / 2), (cx - sx / 2, cy + sy / 2))]


def copper_area_mm2(geometry, layer):
    """The area of the union of a layer's outlines and pads, in mm^2."""
    shapes = [Polygon([_mm(p) for p in outline]) for outline in geometry["layers"][layer]]
    shapes += [Polygon(pad_outline_mm(pad)) for pad in geometry["pads"] if pad["layer"] == layer]
    return unary_union(shapes).area


def _near(a, b, tolerance=VERTEX_TOLERANCE_MM):
    return abs(a - b) <= tolerance


def check_kicad_footprint(path, geometry, comments=None):
    """Loads the footprint with pcbnew: its pads (numbers, positions, sizes,
    layers) and, per layer, the copper of its polygons and pads together;
    given the comments, its description is them joined by "; "."""
    folder, name = os.path.split(os.path.abspath(path))
    footprint = pcbnew.FootprintLoad(folder, os.path.splitext(name)[0])
    assert footprint is not None, f"pcbnew did not load {path}"
    if comments is not None:
        assert footprint.GetDescription() == "; ".join(comments), f"{path}: descr"
    names = geometry["layer_names"]
    read_pads = {}
    for pad in footprint.Pads():
        position, size = pad.GetPosition(), pad.GetSize()
        layers = [pcbnew.BOARD.GetStandardLayerName(l) for l in pad.GetLayerSet().Seq()]
        read_pads[pad.GetNumber()] = (pcbnew.ToMM(position.x), -pcbnew.ToMM(position.y),
                                      pcbnew.ToMM(size.x), pcbnew.ToMM(size.y), layers)
    assert len(read_pads) == len(geometry["pads"]), f"{path}: pads {sorted(read_pads)}"
    for pad in geometry["pads"]:
        x, y, sx, sy, layers = read_pads[str(pad["number"])]
        cx, cy = _mm(pad["centre"])
        assert _near(x, cx) and _near(y, cy), f"{path}: pad {pad['number']} at {x}, {y}"
        assert _near(sx, pad["size"][0] * MM_PER_INCH) and _near(sy, pad["size"][1] * MM_PER_INCH)
        assert layers == [names[pad["layer"]]], f"{path}: pad {pad['number']} on {layers}"
    polygons = {name: [] for name in names}
    for item in footprint.GraphicalItems():
        if item.GetShape() != pcbnew.SHAPE_T_POLY:
            continue
        corners = item.GetPolyShape().Outline(0)
        points = [corners.CPoint(i) for i in range(corners.PointCount())]
        polygons[item.GetLayerName()].append(
            Polygon([(pcbnew.ToMM(p.x), -pcbnew.ToMM(p.y)) for p in points]))
    for layer, name in enumerate(names):
        expected = len(geometry["layers"][layer])
        assert len(polygons[name]) == expected, f"{path}: {len(polygons[name])} polygons on {name}"
        pads = [Polygon(pad_outline_mm(p)) for p in geometry["pads"] if p["layer"] == layer]
        area = unary_union(polygons[name] + pads).area
        want = copper_area_mm2(geometry, layer)
        assert abs(area - want) <= 1e-6 * want, f"{path}: {name} copper {area} mm2, not {want}"


def gerber_dark_area_mm2(path):
    """The copper of a Gerber file as gerbv draws it, in mm^2: the darkness
    of its picture at GERBV_DPI, black on white, without a border."""
    with tempfile.TemporaryDirectory() as folder:
        picture = os.path.join(folder, "layer.png")
        subprocess.run(["gerbv", "-x", "png", "-D", str(GERBV_DPI), "-B", "0", "-b", "#FFFFFF",
                        "-f", "#000000FF", "-o", picture, path],
                       check=True, capture_output=True)
        rgb = matplotlib.image.imread(picture)[:, :, :3]
    pixel = MM_PER_INCH / GERBV_DPI
    return float((1.0 - rgb.mean(axis=2)).sum()) * pixel * pixel


def _comment_lines(comments):
    return [line for comment in comments for line in comment.split("\n")]


def check_gerber(path, geometry, layer, comments=None, file_function=None):
    """gerbv draws the layer's copper to within 1 % and exports it again as
    RS-274X; the file names its function (given it, as "Copper,L1,Top") and
    each of the layer's pads; given the comments, its G04 lines are them
    ('*' and '%' blanked)."""
    area = gerber_dark_area_mm2(path)
    want = copper_area_mm2(geometry, layer)
    assert abs(area - want) <= AREA_TOLERANCE * want, f"{path}: gerbv draws {area} mm2, not {want}"
    with tempfile.TemporaryDirectory() as folder:
        again = os.path.join(folder, "again.gbr")
        subprocess.run(["gerbv", "-x", "rs274x", "-o", again, path], check=True, capture_output=True)
        assert os.path.getsize(again) > 0, f"{path}: gerbv exported nothing"
    with open(path, encoding="ascii") as text:
        lines = text.read().splitlines()
    assert any(l.startswith("%TF.FileFunction,Copper,L") for l in lines), path
    if file_function is not None:
        assert f"%TF.FileFunction,{file_function}*%" in lines, f"{path}: not {file_function}"
    if comments is not None:
        want = [f"G04 {l.replace('*', ' ').replace('%', ' ')}*" for l in _comment_lines(comments)]
        assert [l for l in lines if l.startswith("G04 ")] == want, f"{path}: comments"
    assert lines[-1] == "M02*", path
    for pad in geometry["pads"]:
        named = any(l.startswith("%TO.P,") and l.endswith(f",{pad['number']}*%") for l in lines)
        assert named == (pad["layer"] == layer), f"{path}: pad {pad['number']}"


def check_dxf(path, geometry, comments=None):
    """ezdxf reads the drawing: a layer per copper layer, and the closed
    polylines of each layer's outlines then pads, vertex by vertex; given the
    comments, its 999 groups are the units' note and them, a line each."""
    drawing = ezdxf.readfile(path)
    if comments is not None:
        with open(path, encoding="ascii") as text:
            lines = text.read().splitlines()
        read = [lines[i + 1] for i in range(0, len(lines) - 1, 2) if lines[i].strip() == "999"]
        assert read == ["Units: millimetres."] + _comment_lines(comments), f"{path}: comments"
    names = geometry["layer_names"]
    for name in names:
        assert name in drawing.layers, f"{path}: no layer {name}"
    read = {name: [] for name in names}
    for polyline in drawing.modelspace().query("POLYLINE"):
        assert polyline.is_closed, f"{path}: an open polyline"
        read[polyline.dxf.layer].append([(v.dxf.location.x, v.dxf.location.y)
                                         for v in polyline.vertices])
    for layer, name in enumerate(names):
        expected = [[_mm(p) for p in outline] for outline in geometry["layers"][layer]]
        expected += [pad_outline_mm(p) for p in geometry["pads"] if p["layer"] == layer]
        assert len(read[name]) == len(expected), f"{path}: {len(read[name])} polylines on {name}"
        for got, want in zip(read[name], expected):
            assert len(got) == len(want), f"{path}: {len(got)} vertices, not {len(want)}"
            for (gx, gy), (wx, wy) in zip(got, want):
                assert _near(gx, wx) and _near(gy, wy), f"{path}: vertex {gx}, {gy} not {wx}, {wy}"


def check_picture(script_path, image_path):
    """gnuplot runs the picture script and writes a non-empty image."""
    if os.path.exists(image_path):
        os.remove(image_path)
    run = subprocess.run(["gnuplot", script_path], capture_output=True, text=True)
    assert run.returncode == 0, f"{script_path}: gnuplot failed: {run.stderr}"
    assert os.path.getsize(image_path) > 0, f"{script_path}: empty {image_path}"
