"""Boards built as stacks of dielectric layers through the package: the
layers as a list of (thickness, er[, loss tangent]), numbers in the call's
length unit or texts with their own; the command line's numbers and its
refusals, worded with keywords; and a Touchstone file of a coupler whose two
modes travel at their own speeds, read by scikit-rf."""

import csv
import os
import tempfile
import unittest

import numpy as np
import skrf

import calc
import ketrovane

# Strips side by side on the lower of two layers of one dielectric, in mil.
LAYERS = [(125, 2.2, 0.002), ("0.125in", 2.2)]
ON_LAYERS = dict(b=None, t=1.4, er=None, w=168, s=11, layers=LAYERS, strips_on=1, tand=0.002,
                 solver="field", units="mil", progress=False)


def refusal(call):
    try:
        call()
    except (ValueError, TypeError) as e:
        return str(e)
    return "accepted"


class Refused(unittest.TestCase):
    # Fault: a refusal of the command line lost in the package, or worded
    # with the command line's options rather than the keywords.
    def test_each_refusal_names_its_keyword(self):
        stacked = dict(ON_LAYERS)
        # Strips one above the other, across the core the stack fixes.
        broadside = dict(b=None, t=0.7, er=None, layers=[(30, 3.66), (4, 3.0), (30, 3.66)],
                         core=2, geometry="broadside", solver="field", units="mil",
                         progress=False)
        analyse = ketrovane.analyse
        cases = [
            (analyse, dict(stacked, b=250),
             "b='250mil': not with layers=: the layers give the board"),
            (analyse, dict(stacked, er=2.2),
             "er='2.2': not with layers=: the layers give the board"),
            (analyse, dict(stacked, solver="model"),
             "layers='125.0mil:2.2:0.002,0.125in:2.2': layers need solver='field'; the model has "
             "one dielectric"),
            (analyse, dict(stacked, strips_on=2),
             "strips_on='2': the copper grows into a layer beyond the stack of layers="),
            (analyse, dict(stacked, layers=[(125, 2.2), (1, 2.2)]),
             "t='1.4mil': layer 2, which the copper grows into, is not thicker than it"),
            (analyse, dict(stacked, strips_on=None), "strips_on=: missing; layers= needs it"),
            (analyse, dict(stacked, layers=[(125,)]),
             "layers=: expected (thickness, er) or (thickness, er, loss tangent) for each layer, "
             "not tuple"),
            (ketrovane.synthesise, dict(broadside, zo=50, coupling=3, solve="w,sv"),
             "solve='w,sv': not on a stack of layers=: SV is the thickness of the core layer, "
             "which the stack fixes; give solve='w,wo'"),
        ]
        for function, keywords, expected in cases:
            with self.subTest(expected):
                self.assertEqual(refusal(lambda f=function, k=keywords: f(**k)), expected)


class OnTheCommandLine(unittest.TestCase):
    # Fault: a layer's number read in inches whatever the call's units, or
    # a text's unit dropped: the package's rows are the command line's.
    def test_the_rows_are_the_command_lines(self):
        got = ketrovane.analyse(**ON_LAYERS)
        expected = calc.table("analyse", {"layers": "125mil:2.2:0.002,0.125in:2.2",
                                          "strips-on": "1", "t": "1.4mil", "w": "168mil",
                                          "s": "11mil", "tand": "0.002", "solver": "field"})
        for column in ("zoe_ohm", "zoo_ohm", "eeff_even", "eeff_odd", "loss_even_db_per_in"):
            name = column.replace("_in", "_mil")
            got_column = getattr(got, name)
            if name.endswith("_mil"):
                got_column = got_column * 1000.0  # per mil to per inch
            np.testing.assert_allclose(got_column.astype(np.float32), expected[column],
                                       rtol=2e-6, err_msg=column)


class Synthesis(unittest.TestCase):
    # Fault: the package's synthesis or multi-section coupler on a stack
    # not the command line's (the stack dropped on the way to the rows, a
    # layer read in inches whatever the call's units, the lengths of one
    # velocity): the designs, their eeff columns and lengths are the
    # command line's.
    STACK = {"layers": "100mil:3.66,150mil:3.0", "strips-on": "1", "t": "1.4mil", "zo": "50",
             "solver": "field", "f0": "1000"}

    def test_the_designs_are_the_command_lines(self):
        calls = [
            ("synthesise",
             ketrovane.synthesise(None, 1.4, None, 50, [10, 20], layers=[(100, 3.66), (150, 3.0)],
                                  strips_on=1, solver="field", f0=1000, units="mil",
                                  progress=False),
             dict(self.STACK, coupling="10:20:10"), ("eeff_even", "eeff_odd", "length_mil")),
            ("multisection",
             ketrovane.multisection(er=None, zo=50, coupling=10, sections=3, f0=1000, ripple=0.2,
                                    t=1.4, layers=[(100, 3.66), (150, 3.0)], strips_on=1,
                                    solver="field", units="mil", progress=False),
             dict(self.STACK, coupling="10", sections="3", ripple="0.2"), ("length_mil",)),
        ]
        for command, got, options, more in calls:
            with self.subTest(command):
                expected = calc.table(command, options, ["--length-unit", "mil"])
                self.assertTrue(all(got.status == "converged"))
                for name in ("w_mil", "s_mil") + more:
                    np.testing.assert_allclose(getattr(got, name).astype(np.float32),
                                               expected[name], rtol=2e-6, err_msg=name)


class Tolerance(unittest.TestCase):
    # Fault: a layer's varied thickness read in inches whatever the call's
    # units, or drawn from another stream than the command line's: the
    # package's samples are the command's.
    def test_a_varied_layer_is_the_command_lines(self):
        got = ketrovane.tolerance(b=None, t=1.4, er=None, w=168, s=11, layers=[(125, 2.2),
                                                                             (125, 2.2)],
                                  strips_on=1, solver="field", vary={"d2": 2, "w": 1},
                                  samples=3, units="mil", progress=False)
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "samples.csv")
            calc.run(["tolerance", "--layers", "125mil:2.2,125mil:2.2", "--strips-on", "1",
                      "--t", "1.4mil", "--w", "168mil", "--s", "11mil", "--solver", "field",
                      "--vary", "d2=2mil,w=1mil", "--samples", "3", "--length-unit", "mil",
                      "--samples-output", path])
            with open(path, encoding="utf-8") as f:
                rows = list(csv.DictReader(f))
        self.assertEqual(len(rows), 3)
        np.testing.assert_allclose(got.d2_mil, [float(r["d2_mil"]) for r in rows], rtol=1e-6)
        np.testing.assert_allclose(got.zoe_ohm, [float(r["zoe_ohm"]) for r in rows], rtol=1e-6)
        self.assertTrue(all(abs(x - 125) < 2.0 for x in got.d2_mil))
        self.assertEqual(len(set(got.d2_mil)), 3)


class TwoModeSpeeds(unittest.TestCase):
    # Fault: the Touchstone file of a coupler on a stack written with one
    # mode speed: scikit-rf reads a coupler isolated to the floor, not the
    # finite directivity of two speeds.
    def test_scikit_rf_reads_the_directivity_two_speeds_leave(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "stack.s4p")
            calc.run(["response", "--layers", "0.125:3.66:0,0.125:3.0:0", "--strips-on", "1",
                      "--t", "0.0014", "--w", "0.14", "--s", "0.011", "--rho", "lossless",
                      "--solver", "field", "--f0", "1GHz", "--f", "900:1100:100",
                      "--touchstone", path, "--format", "csv"])
            network = skrf.Network(path)
        s = network.s[1]  # at f0; ports 1 input, 2 thru, 3 isolated, 4 coupled
        directivity = 20 * np.log10(abs(s[3, 0]) / abs(s[2, 0]))
        self.assertLess(directivity, 70.0)
        self.assertGreater(directivity, 10.0)
        # Lossless: the scattering matrix is unitary.
        np.testing.assert_allclose(s.conj().T @ s, np.eye(4), atol=1e-5)

    # Fault: the table's header silent on the two speeds, or the length at one
    # mode's speed (or at the mean permittivity) rather than the mean velocity.
    def test_the_header_gives_each_speed_and_the_length_they_set(self):
        done = calc.run(["response", "--layers", "0.125:3.66:0,0.125:3.0:0", "--strips-on", "1",
                         "--t", "0.0014", "--w", "0.14", "--s", "0.011", "--solver", "field",
                         "--f0", "1GHz", "--f", "1GHz:1GHz:1MHz", "--length-unit", "mil"])
        header = done.stdout.splitlines()[0]
        self.assertTrue(header.startswith("Coupled section: Zoe = "), header)
        fields = dict(part.split(" = ") for part in header.split(": ", 1)[1].split(", "))
        even, odd = float(fields["Eeff even"]), float(fields["Eeff odd"])
        self.assertGreater(abs(even - odd), 1e-3)
        length = float(fields["length"].split()[0])
        quarter_wave_mil = 299792458.0 / (4 * 1e9) / 25.4e-6 * 2 / (np.sqrt(even) + np.sqrt(odd))
        self.assertAlmostEqual(length, quarter_wave_mil, delta=1e-4 * quarter_wave_mil)
        self.assertIn("(a quarter wave at f0 at the mean of the modes' phase velocities)",
                      fields["length"])


if __name__ == "__main__":
    unittest.main()
