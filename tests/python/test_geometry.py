"""Strips off the centre plane and one above the other through the package:
the same keywords as the command line's options, the same refusals, the
columns each geometry has, and its numbers on the field solution."""

import unittest

import numpy as np

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
        self.assertTrue(np.isnan(got.w_in[0]) and np.isnan(got.s_in[0]))
        np.testing.assert_array_equal(got.s_in.astype(np.float32), expected["s_in"])


if __name__ == "__main__":
    unittest.main()
