"""What a row says of itself: a status for every row of the model, NaN for
numbers that are not finite, and a ModelAccuracyWarning with the command
line's note where the closed-form model may be off by more than 1 %."""

import unittest
import warnings

import numpy as np

import calc
import ketrovane

COUPLER = dict(b=0.25, t=0.0014, er=2.2, w=0.168, s=0.011)
WIDE = dict(b=0.25, t=0.025, er=2.2, w=0.25, s=0.125)


def caught(call):
    """The result of a call and the warnings it gave."""
    with warnings.catch_warnings(record=True) as seen:
        warnings.simplefilter("always")
        result = call()
    return result, seen


class Notes(unittest.TestCase):
    def test_the_warning_is_the_command_lines_note(self):
        _, seen = caught(lambda: ketrovane.analyse(**COUPLER))
        self.assertEqual(len(seen), 1)
        self.assertIs(seen[0].category, ketrovane.ModelAccuracyWarning)
        self.assertTrue(issubclass(ketrovane.ModelAccuracyWarning, UserWarning))
        command = calc.run(calc.arguments("analyse", COUPLER))
        self.assertEqual("ketrovane-calc: " + seen[0].message.note + "\n", command.stderr)
        # It points at the caller's line.
        self.assertEqual(seen[0].filename, __file__)

    def test_once_per_call_naming_its_worst_rows(self):
        options = dict(COUPLER, w="0.1:0.3:0.0001")
        command = calc.run(calc.arguments("analyse", options) + ["--format", "csv"])
        w = calc.table("analyse", options)["w_in"].astype(np.float64)  # the same 2001 widths
        _, seen = caught(lambda: ketrovane.analyse(0.25, 0.0014, 2.2, w, 0.011))
        self.assertEqual(len(seen), 1)
        self.assertEqual("ketrovane-calc: " + seen[0].message.note + "\n", command.stderr)

    def test_where_only_the_loss_is_off_the_note_says_so(self):
        _, seen = caught(lambda: ketrovane.analyse(**WIDE))
        self.assertEqual(len(seen), 1)
        self.assertIn("conductor loss may be off by up to", str(seen[0].message))
        for quiet in (lambda: ketrovane.analyse(**WIDE, rho="lossless"),
                      lambda: ketrovane.sensitivity(**WIDE),
                      lambda: ketrovane.analyse(**COUPLER, solver="field"),
                      lambda: ketrovane.analyse(**COUPLER, solver="both"),
                      lambda: ketrovane.response(zo=50, coupling=10, er=2.2, f0=1000, f=900)):
            self.assertEqual(caught(quiet)[1], [])

    # The fault: the command line's wording (--solver field) in Python, or
    # a text naming the worst row, which Python's filters take for a new
    # warning on every call of a loop over widths.
    def test_worded_for_python_once_for_each_part_of_the_map(self):
        def loop(widths, action="default"):
            with warnings.catch_warnings(record=True) as seen:
                warnings.simplefilter(action)
                for w in widths:
                    ketrovane.analyse(**{**COUPLER, "w": w})  # one line: one place
            return seen
        seen = loop([0.168, 0.1681, 0.1682])
        self.assertEqual(len(seen), 1)
        message = str(seen[0].message)
        self.assertEqual(message, 'The closed-form model may be off by up to 5.3 % and its '
                                  'conductor loss by up to 38 %; solver="field" gives the field '
                                  'solution, solver="both" compares the two')
        self.assertEqual(seen[0].message.where, "W 0.168 in, S 0.011 in (W/B 0.672, S/B 0.044, "
                                                "T/B 0.0056)")
        self.assertIsInstance(seen[0].message, Warning)
        # Another part of the map, another warning; every call where asked.
        self.assertEqual(len(loop([0.168, 0.05, 0.1681])), 2)
        self.assertEqual(len(loop([0.168, 0.1681], "always")), 2)
        with warnings.catch_warnings(record=True) as seen:
            warnings.simplefilter("always")
            warnings.filterwarnings("ignore", category=ketrovane.ModelAccuracyWarning)
            ketrovane.analyse(**COUPLER)
        self.assertEqual(seen, [])


class Statuses(unittest.TestCase):
    def test_a_row_that_is_not_finite_is_nan_with_its_status(self):
        r, _ = caught(lambda: ketrovane.analyse(0.25, 0, 2.2, [0.0001, 0.168], [0.0001, 0.011]))
        self.assertEqual(r.status.tolist(), ["not_finite", "ok"])
        self.assertTrue(np.isnan(r.zoe_ohm[0]))
        self.assertTrue(np.isnan(r.loss_even_db_per_in[0]))
        self.assertEqual(r.zoo_ohm[0], np.float32(81.23042))  # the numbers that are there
        self.assertTrue(np.isfinite(r.zoe_ohm[1]))

    def test_the_model_leaving_its_zero_thickness_solution_is_named(self):
        r, _ = caught(lambda: ketrovane.sensitivity(1, 0, 1, [0.5, 7.0], 0.1))
        self.assertEqual(r.status.tolist(), ["ok", "zero_thickness_abandoned"])
        self.assertTrue(np.all(np.isfinite(r.szoe_w)))

    def test_every_command_of_the_model_says_how_each_row_went(self):
        calls = [lambda: ketrovane.analyse(**COUPLER),
                 lambda: ketrovane.sensitivity(**COUPLER),
                 lambda: ketrovane.response(**COUPLER, f0=1000, f=900),
                 lambda: ketrovane.synthesise(0.25, 0.0014, 2.2, 50, 10)]
        for call in calls:
            r, _ = caught(call)
            self.assertIn(r.status, ("ok", "converged"))


if __name__ == "__main__":
    unittest.main()
