"""Every function against ketrovane-calc for the same inputs: the same
float32 numbers, bit for bit, in every column (held exactly in float64).

A range of the command gives the rows; the package is called with the
row values the command printed, element by element.  The ratios to B are
the exception: the command forms (1/B) x over a range and x / B for a
single value, and an element of an array is a single value."""

import os
import re
import tempfile
import unittest

import numpy as np

import calc
import ketrovane

COUPLER = dict(b=0.25, t=0.0014, er=2.2)
RATIOS = ("w_over_b", "s_over_b")


# The columns that echo an input (w_in, f_mhz, length_mm) in the commands
# whose rows take them as given.
ECHOED = ("w", "s", "h", "sv", "wo", "length", "f")
WHOLE = ("pass", "section", "panels")


def echoes_input(result, name):
    return (result.command in ("analyse", "sensitivity", "field", "response") and
            name.rsplit("_", 1)[0] in ECHOED)


class Parity(unittest.TestCase):
    def assertColumnsEqual(self, result, expected, skip=()):
        self.assertEqual(list(result.columns), list(expected))
        for name, values in expected.items():
            if name in skip:
                continue
            got = np.asarray(result[name])
            if name == "status":
                np.testing.assert_array_equal(got, values, err_msg=name)
            elif echoes_input(result, name):
                # The input as given, which the command read in single
                # precision (through inches: a last digit apart).
                self.assertEqual(got.dtype, np.float64, name)
                np.testing.assert_array_max_ulp(got.astype(np.float32).ravel(), values.ravel(),
                                               maxulp=1)
            else:
                self.assertEqual(got.dtype, np.int64 if name in WHOLE else np.float64, name)
                single = got.astype(np.float32)
                np.testing.assert_array_equal(single.astype(np.float64), got, err_msg=name)
                np.testing.assert_array_equal(single.view(np.uint32), values.view(np.uint32),
                                              err_msg=name)

    def assertScalarRowsEqual(self, function, command, cases):
        for options in cases:
            with self.subTest(**{k: str(v) for k, v in options.items()}):
                expected = calc.table(command, options)
                result = function(**options)
                self.assertEqual(result.shape, ())
                self.assertColumnsEqual(result, expected)


class Analyse(Parity):
    def test_single_cross_sections(self):
        self.assertScalarRowsEqual(ketrovane.analyse, "analyse", [
            dict(COUPLER, w=0.168, s=0.011),
            dict(COUPLER, w=0.168, s=0.011, rho="gold", roughness="20uin", tand=0.002, f=3000),
            dict(COUPLER, w=0.168, s=0.011, rho=5.8, roughness=0, tand=0, f="2.5GHz"),
            dict(b=0.25, t=0, er=10.2, w=0.02, s=0.4, rho="lossless"),
            dict(b=0.062, t=0.045, er=1, w=0.5, s=0.001),
        ])

    def test_arrays_against_a_range_of_rows(self):
        expected = calc.table("analyse", dict(COUPLER, w="0.1:0.2:0.02", s="0.01:0.03:0.01"))
        w, s = expected["w_in"], expected["s_in"]
        result = ketrovane.analyse(0.25, 0.0014, 2.2, w, s)
        self.assertEqual(result.shape, (18,))
        self.assertColumnsEqual(result, expected, skip=RATIOS)
        np.testing.assert_array_equal(result.w_over_b, w / np.float32(0.25))
        np.testing.assert_array_equal(result.s_over_b, s / np.float32(0.25))

        # Widths down a column and spacings along a row: the command's rows
        # (widths outer) in C order.
        grid = ketrovane.analyse(0.25, 0.0014, 2.2, np.unique(w)[:, None], np.unique(s)[None, :])
        self.assertEqual(grid.shape, (6, 3))
        np.testing.assert_array_equal(grid.zoe_ohm.ravel(), expected["zoe_ohm"])

    def test_lengths_in_other_units(self):
        for unit in ("mm", "mil", "um"):
            scale = {"mm": 25.4, "mil": 1000.0, "um": 25400.0}[unit]
            dims = {name: round(inches * scale, 6)
                    for name, inches in dict(b=0.25, t=0.0014, w=0.168, s=0.011).items()}
            options = {k: f"{v!r}{unit}" for k, v in dims.items()}
            options.update(er=2.2, roughness=f"{round(5e-6 * scale, 9)!r}{unit}")
            with self.subTest(unit=unit):
                expected = calc.table("analyse", options, ["--length-unit", unit])
                result = ketrovane.analyse(er=2.2, roughness=round(5e-6 * scale, 9), units=unit,
                                           **dims)
                self.assertIn(f"w_{unit}", result.columns)
                self.assertColumnsEqual(result, expected)
        expected = calc.table("analyse", dict(COUPLER, w="168mil", s="11mil", f="3GHz"),
                              ["--length-unit", "mil"])
        result = ketrovane.analyse(250, 1.4, 2.2, 168, 11, f=3, units=("mil", "GHz"))
        self.assertColumnsEqual(result, expected)
        # The command line's --units reads its bare numbers as units= reads
        # the numbers of a call, in the same words.
        for units, given in (("mils,GHz", ("mils", "GHz")), ("mm", "MM")):
            with self.subTest(units=units):
                expected = calc.table("analyse", dict(b=6.35, t=0.035, er=2.2, w=4.2, s=0.28, f=3),
                                      ["--units", units])
                result = ketrovane.analyse(6.35, 0.035, 2.2, 4.2, 0.28, f=3, units=given)
                self.assertColumnsEqual(result, expected)


class Synthesise(Parity):
    def test_coupling_levels_including_rows_that_cannot_be_built(self):
        for t in (0.0014, 0.0):
            with self.subTest(t=t):
                expected = calc.table("synthesise",
                                      dict(COUPLER, t=t, zo=50, coupling="0.5:30:0.5"))
                # The row gives what its design achieves; the targets are the
                # range's, whole multiples of 0.5 dB.
                result = ketrovane.synthesise(0.25, t, 2.2, 50, coupling=np.arange(1, 61) * 0.5)
                self.assertColumnsEqual(result, expected, skip=RATIOS)
                built = expected["status"] == "converged"
                self.assertTrue(built.any())
                self.assertEqual(built.all(), t > 0)  # strips of no thickness: a spacing floor
                np.testing.assert_array_equal(result.w_over_b[built],
                                              (np.float32(1) / np.float32(0.25)) *
                                              expected["w_in"][built])

    def test_single_targets(self):
        self.assertScalarRowsEqual(ketrovane.synthesise, "synthesise", [
            dict(COUPLER, zo=50, coupling=10),
            dict(COUPLER, zo=50, coupling=-3),
            dict(COUPLER, zo=50, zoe=70),
            dict(b=0.25, t=0, er=2.2, zo=50, coupling=1),
            dict(b="6.35mm", t="35um", er=3.5, zo=75, coupling="20dB"),
        ])

    def test_even_mode_impedances(self):
        expected = calc.table("synthesise", dict(COUPLER, zo=50, zoe="55:150:5"))
        result = ketrovane.synthesise(0.25, 0.0014, 2.2, 50, zoe=np.arange(55.0, 151.0, 5.0))
        self.assertColumnsEqual(result, expected, skip=RATIOS)


class Response(Parity):
    def test_lossless_and_lossy_couplers_over_frequency(self):
        for options in (dict(zo=50, coupling=10, er=2.2, f0="1GHz"),
                        dict(COUPLER, w=0.168, s=0.011, f0=1000, rs=40, rl=60),
                        dict(COUPLER, w=0.168, s=0.011, rho="brass", roughness="20uin",
                             tand=0.01, length=2.5)):
            with self.subTest(**options):
                expected = calc.table("response", dict(options, f="100:3000:7.5"))
                result = ketrovane.response(f=expected["f_mhz"], **options)
                self.assertColumnsEqual(result, expected)

    def test_single_frequencies(self):
        self.assertScalarRowsEqual(ketrovane.response, "response", [
            dict(zo=50, coupling=10, er=2.2, f0=1000, f=1000),
            dict(zo=50, coupling=3, er=4.5, length="30mm", f="2.45GHz", rs=25),
            dict(COUPLER, w=0.168, s=0.011, f0=1000, f=1234.5),
        ])


class Sensitivity(Parity):
    def test_spacings_and_widths(self):
        expected = calc.table("sensitivity", dict(COUPLER, w="0.1:0.3:0.05", s="0.005:0.05:0.005"))
        result = ketrovane.sensitivity(0.25, 0.0014, 2.2, expected["w_in"], expected["s_in"])
        self.assertColumnsEqual(result, expected)
        self.assertScalarRowsEqual(ketrovane.sensitivity, "sensitivity",
                                   [dict(COUPLER, w=0.168, s=0.011)])


class FieldSolution(Parity):
    """solver="field" and "both", and field(): the command's numbers too."""

    def test_every_command_on_the_field(self):
        cases = [
            (ketrovane.analyse, "analyse", dict(COUPLER, w=0.168, s=0.011, f=3000)),
            (ketrovane.sensitivity, "sensitivity", dict(COUPLER, w=0.168, s=0.011)),
            (ketrovane.synthesise, "synthesise", dict(COUPLER, zo=50, coupling=10)),
            (ketrovane.response, "response",
             dict(COUPLER, w=0.168, s=0.011, f0=1000, f=1200)),
        ]
        for function, command, options in cases:
            for solver in ("field", "both"):
                with self.subTest(command=command, solver=solver):
                    expected = calc.table(command, options, ["--solver", solver])
                    self.assertColumnsEqual(function(**options, solver=solver), expected)

    def test_field_against_the_field_command(self):
        expected = calc.table("field", dict(COUPLER, w="0.1:0.3:0.1", s=0.012), ["--tol", "1e-6"])
        result = ketrovane.field(0.25, 0.0014, 2.2, expected["w_in"], 0.012, tol=1e-6)
        self.assertColumnsEqual(result, expected, skip=RATIOS)
        self.assertTrue(np.all(result.error_estimate <= 1e-6))

    def test_what_the_field_cannot_do(self):
        with self.assertRaisesRegex(ValueError, r"^solver='field': expected model for a coupler"):
            ketrovane.response(zo=50, coupling=10, er=2.2, f0=1000, f=1000, solver="field")
        self.assertEqual(calc.message("field", dict(COUPLER, w=0.168, s=0.011, tol=1e-12)),
                         "--tol '1e-12': expected a relative tolerance of the field solution of "
                         "at least 1e-10 and at most 0.01")
        with self.assertRaises(ValueError) as refused:
            ketrovane.field(0.25, 0.0014, 2.2, 0.168, 0.011, tol=1e-12)
        self.assertEqual(str(refused.exception),
                         "tol='1e-12': expected a relative tolerance of the field solution of "
                         "at least 1e-10 and at most 0.01")


def touchstone(options):
    """The frequencies and matrices of the command's Touchstone file, as
    float32 real and imaginary parts."""
    with tempfile.TemporaryDirectory() as directory:
        path = os.path.join(directory, "c.s4p")
        calc.run(calc.arguments("response", options) +
                 ["--touchstone", path, "--touchstone-format", "ri", "--output", os.devnull])
        with open(path) as f:
            text = "\n".join(line for line in f if not line.startswith(("!", "#")))
    numbers = np.array(re.split(r"\s+", text.strip()), dtype=np.float32).reshape(-1, 33)
    s = (numbers[:, 1::2] + 1j * numbers[:, 2::2].astype(np.complex64)).reshape(-1, 4, 4)
    return numbers[:, 0], s.astype(np.complex64)


class ScatteringMatrix(unittest.TestCase):
    def test_equals_the_touchstone_file(self):
        for options in (dict(zo=50, coupling=10, er=2.2, f0=1000, ref=75),
                        dict(COUPLER, w=0.168, s=0.011, f0="1GHz", rho="copper")):
            with self.subTest(**options):
                f, expected = touchstone(dict(options, f="200:1800:100"))
                s = ketrovane.s_matrix(f=f, **options)
                self.assertEqual(s.shape, (len(f), 4, 4))
                self.assertEqual(s.dtype, np.complex128)
                np.testing.assert_array_equal(s.real, expected.real.astype(np.float64))
                np.testing.assert_array_equal(s.imag, expected.imag.astype(np.float64))


if __name__ == "__main__":
    unittest.main()
