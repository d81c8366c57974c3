"""What a result gives back: the inputs as they were given, rows by
position and one block at a time, whole numbers as integers, a notebook's
table, and every name a result answers to."""

import tracemalloc
import unittest
import warnings

import numpy as np

import ketrovane

B, T, ER = 0.25, 0.0014, 2.2
TOLERANCE = dict(b="62mil", t="1oz", er=3.66, w="24.8mil", s="6.4mil",
                 vary={"t": "10%"}, limits={"coupling": (9.5, 10.5)}, samples=40)


def quiet(call):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return call()


class InputsAsGiven(unittest.TestCase):
    # The fault: an input column rounded to single precision, so that
    # r.w_in == 0.12 is false and a merge or a pivot on the inputs finds
    # nothing.
    def test_each_input_column_is_the_input_in_float64(self):
        cases = [  # (call, column, the value expected exactly)
            (lambda: ketrovane.analyse(B, T, ER, 0.12, 0.011), "w_in", 0.12),
            (lambda: ketrovane.analyse(B, T, ER, [0.12, 0.13], 0.011), "s_in", [0.011, 0.011]),
            (lambda: ketrovane.analyse(B, T, ER, "168mil", "0.28mm", units="mm"), "w_mm", 4.2672),
            (lambda: ketrovane.analyse(B, T, ER, ["120mil", "1e3um"], 0.011, units="mm"),
             "w_mm", [3.048, 1.0]),
            (lambda: ketrovane.analyse(B, T, ER, " 168mil ", 0.011, units="mil"), "w_mil", 168.0),
            (lambda: ketrovane.sensitivity(B, T, ER, 0.17, 0.013), "s_in", 0.013),
            (lambda: ketrovane.field(B, T, ER, 0.17, 0.013), "w_in", 0.17),
            (lambda: ketrovane.response(zo=50, coupling=10, er=ER, f0=2.4, f=[2.4, 2.41],
                                        units="GHz"), "f_mhz", [2400.0, 2410.0]),
            (lambda: ketrovane.response(zo=50, coupling=3, er=4.5, length="30mm", f=2450,
                                        units="mm"), "length_mm", 30.0),
            (lambda: ketrovane.synthesise(B, T, ER, 50, 3, geometry="broadside", sv=0.004,
                                          solver="field"), "sv_in", 0.004),
        ]
        for call, column, expected in cases:
            with self.subTest(column=column, expected=expected):
                got = quiet(call)[column]
                self.assertEqual(np.asarray(got).dtype, np.float64)
                np.testing.assert_array_equal(got, expected)
        frame = quiet(lambda: ketrovane.analyse(B, T, ER, [0.12, 0.13], 0.011)).to_pandas()
        self.assertEqual(len(frame[frame.w_in == 0.12]), 1)

    def test_computed_columns_stay_the_single_precision_numbers(self):
        r = quiet(lambda: ketrovane.analyse(B, T, ER, [0.12, 0.13], 0.011))
        for name in ("w_over_b", "zoe_ohm", "coupling_db"):
            np.testing.assert_array_equal(r[name], r[name].astype(np.float32), err_msg=name)
        design = quiet(lambda: ketrovane.synthesise(B, T, ER, 50, 10))
        self.assertEqual(design.w_in, np.float32(design.w_in))


class Rows(unittest.TestCase):
    # The fault: r[0] taken for a column's name (KeyError), or a row other
    # than the one iteration gives at that position.
    def test_a_row_by_its_position_is_the_iterations(self):
        r = quiet(lambda: ketrovane.analyse(B, T, ER, [0.1, 0.2, 0.3], [[0.01], [0.02]]))
        rows = list(r)
        for position in (0, 4, 5, -1, -6, np.int64(2)):
            self.assertEqual(r[position], rows[position], position)
        for position in (6, -7):
            with self.assertRaises(IndexError):
                r[position]
        one = quiet(lambda: ketrovane.analyse(B, T, ER, 0.1, 0.01))
        self.assertEqual(one[0], next(iter(one)))
        self.assertEqual(r["zoe_ohm"].shape, (2, 3))

    # The fault: every row made before the first is given (450 MB for a
    # million rows).
    def test_iteration_takes_the_rows_a_block_at_a_time(self):
        r = quiet(lambda: ketrovane.analyse(B, T, ER, np.linspace(0.1, 0.2, 1_000_000), 0.011))
        tracemalloc.start()
        first = next(iter(r))
        _, peak = tracemalloc.get_traced_memory()
        tracemalloc.stop()
        self.assertEqual(first, r[0])
        self.assertLess(peak, 20_000_000)
        self.assertEqual(r[-1].w_in, 0.2)

    # The fault: a count (pass, section, panels) given as float, so that
    # it cannot index or be compared with an int's type.
    def test_whole_numbers_are_integers(self):
        cases = [(lambda: ketrovane.field(B, T, ER, [0.17, 0.2], 0.013), "panels"),
                 (lambda: ketrovane.multisection(zo=50, coupling=10, sections=3,
                                                 band="2GHz:6GHz", b="62mil", t="1oz", er=3.66),
                  "section"),
                 (lambda: ketrovane.tolerance(**TOLERANCE), "pass")]
        for call, column in cases:
            with self.subTest(column=column):
                r = quiet(call)
                self.assertEqual(r[column].dtype, np.int64)
                self.assertIsInstance(r[0][r.columns.index(column)], int)
        self.assertIsInstance(quiet(lambda: ketrovane.field(B, T, ER, 0.17, 0.013)).panels,
                              np.int64)
        self.assertEqual(quiet(lambda: ketrovane.tolerance(**TOLERANCE))[0].pass_, 1)

    # The fault: a tolerance result's sample index reachable as r.sample
    # but not found by `in` or as an item.
    def test_every_name_a_result_answers_to_is_in_it(self):
        r = quiet(lambda: ketrovane.tolerance(**TOLERANCE))
        for name in r.columns + ("sample",):
            self.assertIn(name, r)
            np.testing.assert_array_equal(r[name], getattr(r, name))
        self.assertNotIn("samples_", r)

    # The fault: a notebook shows the repr's list of columns, not the rows.
    def test_a_notebook_shows_a_table(self):
        short = quiet(lambda: ketrovane.analyse(B, T, ER, [0.1, 0.2], 0.01))
        html = short._repr_html_()
        self.assertEqual(html.count("<tr>"), 3)
        self.assertIn("<th>zoe_ohm</th>", html)
        self.assertIn(f"<td>{str(np.float32(short.zoe_ohm[1]))}</td>", html)
        long = quiet(lambda: ketrovane.analyse(B, T, ER, np.linspace(0.1, 0.2, 1001), 0.01))
        html = long._repr_html_()
        self.assertEqual(html.count("<tr>"), 22)  # the head, ten rows, a gap, ten rows
        self.assertIn("&hellip;", html)
        self.assertIn(f"<td>{str(np.float32(long.zoe_ohm[-1]))}</td>", html)
        self.assertIn(f"<td>{float(long.w_in[1])!r}</td>", html)  # an input as given


class ColumnNames(unittest.TestCase):
    # The fault: the names of one command's columns given to another's
    # rows, when its columns are kept where the first's were.
    def test_each_call_has_its_commands_columns(self):
        sections = ("section", "coupling_db", "zoe_ohm", "zoo_ohm", "w_in", "s_in", "w_over_b",
                    "s_over_b", "length_in", "status")
        for _ in range(3):
            samples = quiet(lambda: ketrovane.tolerance(**TOLERANCE))
            self.assertEqual(samples.columns[-2:], ("pass", "status"))
            r = quiet(lambda: ketrovane.multisection(zo=50, coupling=10, sections=3,
                                                     band="2GHz:6GHz", b="62mil", t="1oz",
                                                     er=3.66))
            self.assertEqual(r.columns, sections)


if __name__ == "__main__":
    unittest.main()
