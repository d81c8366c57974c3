"""Strips off the centre plane and one above the other through the package:
the same keywords as the command line's options, the same refusals, the
columns each geometry has, and its numbers on the field solution."""

import os
import tempfile
import unittest

import numpy as np
import skrf

import calc
import ketrovane

# A stackup of two 7 mil prepregs about a 5 mil core, in mil.
STACKUP = dict(b=19, t=0.7, er=3.66, units="mil")


def refusal(call):
    try:
        call()
    except ValueError as e:
        return str(e)
    return "accepted"


class Refused(unittest.TestCase):
    def test_the_model_knows_strips_side_by_side_and_centred_only(self):
        self.assertEqual(
            refusal(lambda: ketrovane.analyse(**STACKUP, w=8, geometry="broadside", sv=5)),
            "geometry='broadside': the closed-form model covers geometry='edge' only; add "
            "solver='field'")
        self.assertEqual(
            refusal(lambda: ketrovane.sensitivity(**STACKUP, w=8, s=5, geometry="edge-offset",
                                                  h=6, solver="both")),
            "solver='both': the model is compared with the field for geometry='edge' only; "
            "use solver='field' for edge-offset")

    def test_dimensions_of_another_geometry(self):
        self.assertEqual(refusal(lambda: ketrovane.analyse(**STACKUP, w=8, s=5, sv=5)),
                         "sv='5mil': only for geometry='broadside' (the geometry is edge)")
        self.assertEqual(
            refusal(lambda: ketrovane.field(**STACKUP, w=8, s=5, geometry="broadside", sv=5)),
            "s='5mil': only for geometry='edge' and edge-offset (the geometry is broadside)")
        self.assertEqual(
            refusal(lambda: ketrovane.synthesise(**STACKUP, zo=50, coupling=3,
                                                 geometry="broadside", solve="w,sv", sv=5,
                                                 solver="field")),
            "sv='5mil': solved for with solve='w,sv'; give only wo=")

    def test_the_fab_limits_are_keywords(self):
        self.assertEqual(
            refusal(lambda: ketrovane.synthesise(**STACKUP, zo=50, coupling=3, min_gap=-1)),
            "min_gap='-1mil': expected a least gap the fab makes of at least 0 in and at most "
            "1000 in")


class Limits(unittest.TestCase):
    def test_rows_the_fab_cannot_make_say_so_as_the_command_does(self):
        options = dict(b=0.062, t=0.0007, er=3.66, zo=50, coupling="3:10:7", solver="field")
        expected = calc.table("synthesise", dict(options, **{"min-gap": 0.004}))
        got = ketrovane.synthesise(**dict(options, coupling=[3, 10]), min_gap=0.004)
        self.assertEqual(list(got.status), list(expected["status"]))
        self.assertEqual(list(got.status), ["gap_below_limit", "converged"])
        # The refused row keeps the gap its design needs.
        self.assertLess(got.s_in[0], 0.004)
        np.testing.assert_array_equal(got.w_in.astype(np.float32), expected["w_in"])
        np.testing.assert_array_equal(got.s_in.astype(np.float32), expected["s_in"])


# A 3 dB coupler one above the other across a 4 mil core between 30 mil
# laminates, in inches as the command line writes its numbers.
BOARD = dict(b=0.0654, t=0.0007, er=3.66)
ZOE, ZOO = 120.913635, 20.675915  # 3 dB at 50 ohm


class OnTheField(unittest.TestCase):
    def test_mid_height_is_the_centred_pair(self):
        pair = dict(BOARD, w=[0.01, 0.02], s=0.005)
        centred = ketrovane.field(**pair)
        offset = ketrovane.field(**pair, geometry="edge-offset", h=0.0327)
        np.testing.assert_allclose(offset.zoe_ohm, centred.zoe_ohm, rtol=1e-9)
        np.testing.assert_allclose(offset.zoo_ohm, centred.zoo_ohm, rtol=1e-9)
        np.testing.assert_array_equal(offset.h_over_b, [0.5, 0.5])
        # Lower in the board both modes see the near plane more.
        low = ketrovane.field(**pair, geometry="edge-offset", h=0.015)
        self.assertTrue(np.all(low.zoe_ohm < centred.zoe_ohm))

    def test_the_synthesis_is_the_commands_and_meets_its_targets(self):
        options = dict(BOARD, zo=50, coupling=3, geometry="broadside", sv=0.004, solver="field")
        design = ketrovane.synthesise(**options)
        line = calc.table("synthesise", options)
        for name in ("w_in", "wo_in", "zoe_ohm", "status"):
            np.testing.assert_array_equal(getattr(design, name), line[name][0], name)
        self.assertEqual(design.sv_in, 0.004)  # the input, as given
        again = ketrovane.analyse(**BOARD, w=float(design.w_in), geometry="broadside",
                                  sv=0.004, wo=float(design.wo_in), solver="field")
        self.assertLess(abs(float(again.zoe_ohm) / ZOE - 1), 3e-4)
        self.assertLess(abs(float(again.zoo_ohm) / ZOO - 1), 3e-4)

    def test_network_is_reciprocal_passive_and_the_touchstone_files(self):
        design = ketrovane.synthesise(**BOARD, zo=50, coupling=3, geometry="broadside",
                                      sv=0.004, solver="field")
        coupler = dict(BOARD, w=float(design.w_in), geometry="broadside", sv=0.004,
                       wo=float(design.wo_in), f0=2000, solver="field")
        f = np.arange(1000.0, 3001.0, 100.0)
        s = ketrovane.network(**coupler, f=f).s
        np.testing.assert_array_equal(s, np.swapaxes(s, 1, 2))
        largest = np.linalg.svd(s, compute_uv=False).max(axis=1)
        self.assertTrue(np.all(largest <= 1 + 1e-6), largest.max())
        # Coupled S41 near -3 dB at f0 (less a little loss), in quadrature with the thru.
        mid = np.argmin(np.abs(f - 2000))
        self.assertAlmostEqual(float(20 * np.log10(abs(s[mid, 3, 0]))), -3.0, delta=0.1)
        self.assertAlmostEqual(float(np.angle(s[mid, 3, 0] / s[mid, 1, 0], deg=True)), 90.0,
                               delta=0.5)
        with tempfile.TemporaryDirectory() as directory:
            path = os.path.join(directory, "broadside.s4p")
            options = {k: v for k, v in coupler.items()}
            options["f"] = "1000:3000:100"
            calc.run(calc.arguments("response", options) +
                     ["--touchstone", path, "--touchstone-format", "ri", "--output", os.devnull])
            read = skrf.Network(path)
        np.testing.assert_allclose(read.s, s, rtol=0, atol=1e-7)


if __name__ == "__main__":
    unittest.main()
