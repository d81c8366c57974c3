"""ketrovane.layout: the ports' rows as the layout command gives them, the
outlines and pads in the call's length unit, the files of file= as the
command line writes them, and the refusals in Python's words."""

import csv
import io
import os
import tempfile
import unittest

import ezdxf
import numpy as np

import calc
import ketrovane

COUPLER = dict(b="62mil", t="1.37mil", er=3.66, w="24.8mil", s="6.4mil", f0="2GHz", rl=75)
BROADSIDE = dict(b="62mil", t="1.37mil", er=3.66, w="30mil", geometry="broadside", sv="10mil",
                 wo="8mil", solver="field", f0="2GHz", copper_layers="In1.Cu,In2.Cu")


def command_rows(options, extra=()):
    out = calc.run(calc.arguments("layout", options) +
                   ["--format", "csv", "--length-unit", "mil"] + list(extra)).stdout
    return list(csv.DictReader(io.StringIO(out)))


def calc_options(options):
    """The keywords as the command line's options: copper_layers is --copper-layers."""
    return {name.replace("_", "-"): value for name, value in options.items()}


class Ports(unittest.TestCase):
    # The fault: rows that are not the command line's (another width, Zo,
    # lead-out or role, or in another order).
    def test_the_rows_are_the_command_lines(self):
        for options in (COUPLER, BROADSIDE):
            with self.subTest(geometry=options.get("geometry", "edge")):
                r = ketrovane.layout(**options, units="mil")
                expected = command_rows(calc_options(options))
                self.assertEqual(list(r.port), [int(row["port"]) for row in expected])
                self.assertEqual(list(r.role), [row["role"] for row in expected])
                for name in ("feed_width_mil", "feed_zo_ohm", "lead_out_mil", "lead_out_deg"):
                    np.testing.assert_array_equal(
                        np.float32(r[name]), np.float32([row[name] for row in expected]),
                        err_msg=name)
                self.assertEqual(r.ports[0]["role"], "input")
                self.assertIn("de-embed", r.note)


class Geometry(unittest.TestCase):
    # The fault: outlines or pads not in the call's length unit, pads not
    # on their strip's layer or numbered against port_order.
    def test_outlines_and_pads_follow_the_units_and_port_order(self):
        inches = ketrovane.layout(**COUPLER)
        mils = ketrovane.layout(**COUPLER, units="mil", port_order="coupled-third")
        self.assertEqual(list(inches.outlines), ["F.Cu"])
        for a, b in zip(inches.outlines["F.Cu"], mils.outlines["F.Cu"]):
            self.assertEqual(a.shape[1], 2)
            np.testing.assert_allclose(a * 1000, b, rtol=1e-12)
        numbers = {p["role"]: p["number"] for p in mils.pads}
        self.assertEqual(numbers, {"input": 1, "through": 2, "coupled": 3, "isolated": 4})
        input_pad = next(p for p in inches.pads if p["role"] == "input")
        self.assertLess(input_pad["centre"][0], 0)
        self.assertGreater(input_pad["centre"][1], 0)
        broadside = ketrovane.layout(**BROADSIDE)
        self.assertEqual(list(broadside.outlines), ["In1.Cu", "In2.Cu"])
        layers = {p["role"]: p["layer"] for p in broadside.pads}
        self.assertEqual(layers, {"input": "In1.Cu", "through": "In1.Cu", "isolated": "In2.Cu",
                                  "coupled": "In2.Cu"})


class Files(unittest.TestCase):
    # The fault: files of file= that differ from the command line's, a
    # layer's Gerber file missing or misnamed, a picture not drawn, outlines
    # that are not the files' copper.
    def test_the_files_are_the_command_lines(self):
        with tempfile.TemporaryDirectory() as folder:
            python_dir = os.path.join(folder, "python")
            calc_dir = os.path.join(folder, "calc")
            os.mkdir(python_dir)
            os.mkdir(calc_dir)
            for name in ("a.kicad_mod", "a.gbr", "a.dxf"):
                # Every length in mil: the command line writes them so.
                r = ketrovane.layout(**BROADSIDE, units="mil", file=os.path.join(python_dir, name))
                calc.run(calc.arguments("layout", calc_options(BROADSIDE)) +
                         ["--layout", os.path.join(calc_dir, name)])
                self.assertTrue(r.files)
            self.assertEqual(sorted(os.listdir(python_dir)), sorted(os.listdir(calc_dir)))
            self.assertIn("a-In2_Cu.gbr", os.listdir(python_dir))
            for name in os.listdir(python_dir):
                with open(os.path.join(python_dir, name), encoding="utf-8") as p, \
                        open(os.path.join(calc_dir, name), encoding="utf-8") as c:
                    self.assertEqual(p.read(), c.read(), name)
            drawing = ezdxf.readfile(os.path.join(python_dir, "a.dxf"))
            upper = [np.array([(v.dxf.location.x, v.dxf.location.y) for v in p.vertices])
                     for p in drawing.modelspace().query("POLYLINE") if p.dxf.layer == "In1.Cu"]
            outlines = ketrovane.layout(**BROADSIDE, units="mm").outlines["In1.Cu"]
            for got, want in zip(upper, outlines):
                np.testing.assert_allclose(got, want, atol=1e-6)
            picture = os.path.join(python_dir, "a.svg")
            ketrovane.layout(**COUPLER, file=picture)
            self.assertGreater(os.path.getsize(picture), 0)


class Refusals(unittest.TestCase):
    # The fault: a refusal worded with the command line's options, or a
    # file written anyway.
    def test_refusals_speak_python_and_write_nothing(self):
        cases = [
            (dict(COUPLER, min_width="30mil"), "the section: W = 24.8 mil is below min_width="),
            (dict(COUPLER, copper_layers="In1.Cu,In2.Cu"),
             "expected one copper layer for strips side by side"),
            (dict(COUPLER, w=["24.8mil", "25mil"]), "layout draws one coupler"),
        ]
        with tempfile.TemporaryDirectory() as folder:
            for options, words in cases:
                with self.subTest(words=words):
                    with self.assertRaises(ValueError) as raised:
                        ketrovane.layout(**options, units="mil",
                                         file=os.path.join(folder, "x.dxf"))
                    self.assertIn(words, str(raised.exception))
                    self.assertNotIn("--", str(raised.exception))
            with self.assertRaises(ValueError) as raised:
                ketrovane.layout(**COUPLER, file=os.path.join(folder, "x.pdf"))
            self.assertIn(".kicad_mod, .gbr, .dxf, .svg or .png", str(raised.exception))
            self.assertEqual(os.listdir(folder), [])


if __name__ == "__main__":
    unittest.main()
