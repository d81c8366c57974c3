"""One strip through the package: ketrovane.line's rows are the command
line's, in the call's units, broadcast over widths or impedances, on a stack
too; its refusals worded with keywords."""

import unittest

import numpy as np

import calc
import ketrovane

BOARD = dict(b=125, t=1.4, er=2.2, units="mil", progress=False)


def refusal(call):
    try:
        call()
    except (ValueError, TypeError) as e:
        return str(e)
    return "accepted"


class Rows(unittest.TestCase):
    # Fault: the package's line not the command line's (a keyword mapped to
    # the wrong option, a width read in inches whatever the call's units,
    # the loss's sign or unit per length lost).
    def test_widths_are_the_command_lines(self):
        got = ketrovane.line(**BOARD, w=[50, 100, 150])
        expected = calc.table("line", {"b": "125mil", "t": "1.4mil", "er": "2.2",
                                       "w": "50mil:150mil:50mil"})
        np.testing.assert_allclose(got.zo_ohm, expected["zo_ohm"], rtol=2e-7)
        np.testing.assert_allclose(got.eeff, expected["eeff"], rtol=0)
        # Per mil in the call, per inch on the command line.
        np.testing.assert_allclose(got.loss_db_per_mil * 1000.0, expected["loss_db_per_in"],
                                   rtol=2e-6)
        np.testing.assert_allclose(got.length_per_deg_mil / 1000.0,
                                   expected["length_per_deg_in"], rtol=2e-6)
        self.assertTrue(all(got.status == "ok"))

    # Fault: the width for an impedance not the line of that impedance, on
    # either solver, or a stack's line not the field's of the same layers.
    def test_impedances_give_their_widths_on_either_solver(self):
        for solver in ("model", "field"):
            with self.subTest(solver):
                found = ketrovane.line(**BOARD, zo=[35, 50, 75], solver=solver)
                self.assertTrue(all(found.status == "converged"))
                back = ketrovane.line(**BOARD, w=found.w_mil, solver=solver)
                np.testing.assert_allclose(back.zo_ohm, [35, 50, 75], rtol=5e-5)
        stacked = ketrovane.line(b=None, t=1.4, er=None, layers=[(60, 2.2), (65, 2.2)],
                                 strips_on=1, zo=50, solver="field", units="mil", progress=False)
        at_h = ketrovane.line(**BOARD, h=60.7, zo=50, solver="field")
        np.testing.assert_allclose(stacked.w_mil, at_h.w_mil, rtol=1e-6)


class Refused(unittest.TestCase):
    # Fault: a refusal of the command line lost in the package, or worded
    # with the command line's options rather than the keywords.
    def test_each_refusal_names_its_keyword(self):
        cases = [
            (dict(BOARD, w=100, zo=50), "w= or zo=: give only one of them"),
            (dict(BOARD), "w= or zo=: missing; give one of them"),
            (dict(BOARD, w=100, h=40),
             "h='40mil': the closed-form model covers a centred strip only; add solver='field'"),
        ]
        for keywords, expected in cases:
            with self.subTest(expected):
                self.assertEqual(refusal(lambda k=keywords: ketrovane.line(**k)), expected)


if __name__ == "__main__":
    unittest.main()
