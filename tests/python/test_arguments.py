"""Arguments and results: broadcasting, units, texts and arrays of texts, the
result object (its rows and its columns), long calls on several threads and
what the package refuses before computing."""

import os
import signal
import subprocess
import sys
import textwrap
import time
import unittest
from unittest import mock

import numpy as np

import ketrovane

B, T, ER, W, S = 0.25, 0.0014, 2.2, 0.168, 0.011


class Broadcasting(unittest.TestCase):
    def test_scalars_give_scalars(self):
        r = ketrovane.analyse(B, T, ER, W, S)
        self.assertEqual(r.shape, ())
        self.assertIsInstance(r.zoe_ohm, np.float64)
        self.assertEqual(r.w_in, 0.168)  # the input as given
        # A numpy scalar or a 0-d array is a scalar too.
        self.assertEqual(ketrovane.analyse(B, T, ER, np.float64(W), np.array(S)).zoe_ohm,
                         r.zoe_ohm)

    def test_shapes_follow_numpy(self):
        w = np.linspace(0.1, 0.3, 5)
        s = np.array([0.005, 0.01, 0.02])
        self.assertEqual(ketrovane.analyse(B, T, ER, w, S).shape, (5,))
        self.assertEqual(ketrovane.analyse(B, T, ER, w[:, None], s).shape, (5, 3))
        self.assertEqual(ketrovane.analyse(B, T, ER, w[:, None, None], s[None, :, None],
                                           f=[1000, 2000]).shape, (5, 3, 2))
        self.assertEqual(ketrovane.analyse([B], T, ER, W, S).shape, (1,))
        grid = ketrovane.analyse(B, T, ER, w[:, None], s)
        # Every element is the row of its own values.
        for i in range(5):
            for j in range(3):
                one = ketrovane.analyse(B, T, ER, w[i], s[j])
                for name in one.columns:
                    self.assertEqual(grid[name][i, j], one[name], (name, i, j))

    def test_any_argument_may_be_an_array(self):
        er = np.array([1.0, 2.2, 10.2])
        r = ketrovane.analyse(B, T, er, W, S)
        self.assertTrue(np.all(np.diff(r.zo_ohm) < 0))  # Zo falls as Er rises
        f = np.array([100.0, 1000.0, 10000.0])
        losses = ketrovane.analyse(B, T, ER, W, S, f=f).loss_odd_db_per_in
        self.assertTrue(np.all(np.diff(losses) < 0))  # losses (negative dB) grow with f
        zo = np.array([25.0, 50.0, 100.0])
        # Each row gives the Zo its design achieves on the model.
        np.testing.assert_allclose(ketrovane.synthesise(B, T, ER, zo, 10).zo_ohm, zo, rtol=3e-4)
        self.assertEqual(ketrovane.response(zo=zo, coupling=10, er=ER, f0=1000,
                                            f=[[900], [1000]]).shape, (2, 3))
        self.assertEqual(ketrovane.sensitivity(B, T, ER, [0.1, 0.2], [[0.01], [0.02]]).shape,
                         (2, 2))

    def test_strided_integer_and_float32_arrays(self):
        w = np.linspace(0.05, 0.4, 40)
        expected = ketrovane.analyse(B, T, ER, w[::3].copy(), S).zoe_ohm
        np.testing.assert_array_equal(ketrovane.analyse(B, T, ER, w[::3], S).zoe_ohm, expected)
        np.testing.assert_array_equal(
            ketrovane.analyse(B, T, ER, np.array([w[::3]]).T, S).zoe_ohm.ravel(), expected)
        np.testing.assert_array_equal(ketrovane.synthesise(B, T, ER, 50, [6, 10, 20]).w_in,
                                      ketrovane.synthesise(B, T, ER, 50, [6.0, 10.0, 20.0]).w_in)
        w32 = np.float32([0.1, 0.168])
        np.testing.assert_array_equal(ketrovane.analyse(B, T, ER, w32, S).w_in, w32)


class Units(unittest.TestCase):
    def test_lengths_and_frequencies_in_the_calls_units(self):
        inch = ketrovane.analyse(B, T, ER, W, S, f=2500, roughness=5e-6)
        mm = ketrovane.analyse(6.35, 0.03556, ER, 4.2672, 0.2794, f=2.5,
                               roughness=1.27e-4, units=("mm", "GHz"))
        self.assertEqual(mm.columns[0], "w_mm")
        self.assertEqual(mm.units["w_mm"], "mm")
        self.assertEqual(mm.units["loss_odd_db_per_mm"], "dB/mm")
        self.assertEqual(mm.units["zoe_ohm"], "ohm")
        self.assertEqual(mm.units["w_over_b"], "")
        self.assertAlmostEqual(float(mm.w_mm), 4.2672, places=5)
        self.assertAlmostEqual(float(mm.zoe_ohm), float(inch.zoe_ohm), places=3)
        self.assertAlmostEqual(float(mm.loss_odd_db_per_mm) * 25.4,
                               float(inch.loss_odd_db_per_in), places=5)
        # Either order, a list, or one of the two alone.
        for units in (("GHz", "mm"), ["mm", "GHz"]):
            self.assertEqual(ketrovane.analyse(6.35, 0.03556, ER, 4.2672, 0.2794, f=2.5,
                                               roughness=1.27e-4, units=units).zoe_ohm, mm.zoe_ohm)
        self.assertEqual(ketrovane.analyse(B, T, ER, W, S, f=2.5, roughness=5e-6,
                                           units="GHz").zoe_ohm, inch.zoe_ohm)
        self.assertEqual(ketrovane.response(zo=50, coupling=10, er=ER, f0=1, f=1.2,
                                            units="GHz").f_mhz, np.float32(1200))

    def test_texts_carry_their_own_units(self):
        r = ketrovane.analyse("6.35mm", "35um", ER, "168mil", "0.011in", roughness="5uin",
                              f="1GHz", units="mm")
        self.assertAlmostEqual(float(r.w_mm), 4.2672, places=4)
        # A text without a unit is in the call's units, as a number is (and
        # as the command line's --units reads it).
        numbers = ketrovane.analyse(6.35, 0.035, ER, 4.2672, 0.2794, f=2.5, units=("mm", "GHz"))
        for units in (("mm", "GHz"), ("MM", "ghz")):
            texts = ketrovane.analyse("6.35", ["0.035"], ER, "4.2672", "0.2794", f="2.5",
                                      units=units)
            self.assertEqual(texts.zoe_ohm, numbers.zoe_ohm)
            self.assertEqual(texts.loss_odd_db_per_mm, numbers.loss_odd_db_per_mm)
        self.assertEqual(ketrovane.analyse(250, 1.4, ER, "168", 11, units="mils").w_mil, 168.0)
        self.assertEqual(r.loss_odd_db_per_mm,
                         ketrovane.analyse("6.35mm", "35um", ER, "168mil", "0.011in",
                                           units="mm").loss_odd_db_per_mm)

    def test_unknown_or_doubled_units(self):
        expected = ("expected a length unit (in, mil, mm or um), a frequency unit (Hz, kHz, MHz "
                    "or GHz), or one of each")
        for units, given in (("ft", "'ft'"), ("uin", "'uin'"), (("mm", "mil"), "('mm', 'mil')"),
                             (("GHz", "mhz"), "('GHz', 'mhz')"), ((), "()"),
                             (("mm", "GHz", "in"), "('mm', 'GHz', 'in')"), (3, "3"),
                             (("mm", 3), "('mm', 3)")):
            with self.subTest(units=units):
                with self.assertRaises(ValueError) as e:
                    ketrovane.analyse(B, T, ER, W, S, units=units)
                self.assertEqual(str(e.exception), f"units={given}: {expected}")

    # As the command line reads the units of its values: letter case ignored.
    def test_unit_names_in_any_letter_case(self):
        mm = ketrovane.analyse(6.35, 0.03556, ER, 4.2672, 0.2794, f=2.5, units=("mm", "GHz"))
        for units in (("MM", "ghz"), ["Mm", "GHZ"], ("gHz", "mM")):
            with self.subTest(units=units):
                r = ketrovane.analyse(6.35, 0.03556, ER, 4.2672, 0.2794, f=2.5, units=units)
                self.assertEqual(r.columns, mm.columns)  # w_mm: spelled as the texts spell it
                self.assertEqual(r.units, mm.units)
                self.assertEqual(r.zoe_ohm, mm.zoe_ohm)
                self.assertEqual(r.loss_odd_db_per_mm, mm.loss_odd_db_per_mm)
        mil = ketrovane.analyse(250, 1.4, ER, 168, 11, units="MIL")
        self.assertEqual(mil.w_mil, ketrovane.analyse(250, 1.4, ER, 168, 11, units="mil").w_mil)
        # A frequency in the wrong unit would be refused, or a loss a thousand times off.
        self.assertEqual(ketrovane.response(zo=50, coupling=10, er=ER, f0=1, f=1.2,
                                            units="Ghz").f_mhz, 1200)
        with self.assertRaises(ValueError) as e:
            ketrovane.analyse(B, T, ER, W, S, f=-2.5, units="ghz")
        self.assertEqual(str(e.exception), "f='-2.5GHz': expected a frequency above 0 MHz and at "
                                           "most 1e+06 MHz")


class TextArrays(unittest.TestCase):
    """A list or array of texts is read element by element as the command
    line reads each text, and broadcasts as a numeric array does."""

    def test_each_element_is_the_row_of_its_own_text(self):
        texts = ["168mil", "4.2672mm", "0.1in", "2540um"]
        r = ketrovane.analyse(B, T, ER, texts, S)
        self.assertEqual(r.shape, (4,))
        for k, text in enumerate(texts):
            one = ketrovane.analyse(B, T, ER, text, S)
            for name in one.columns:
                self.assertEqual(r[name][k], one[name], (text, name))
        # Texts in the base unit read as the same numbers do.
        np.testing.assert_array_equal(
            ketrovane.analyse(B, T, ER, ["0.168in", "0.1"], S).zoe_ohm,
            ketrovane.analyse(B, T, ER, [0.168, 0.1], S).zoe_ohm)

    def test_texts_broadcast_with_numbers(self):
        s = np.array([[0.011], [0.02], [0.05]])
        r = ketrovane.analyse(B, T, ER, np.array(["168mil", "100mil"]), s)
        self.assertEqual(r.shape, (3, 2))
        numbers = ketrovane.analyse(B, T, ER, [0.168, 0.1], s)
        np.testing.assert_array_equal(r.zoe_ohm, numbers.zoe_ohm)
        np.testing.assert_array_equal(r.w_in, numbers.w_in)
        # A grid of texts against a row of them; one text in a list is one value.
        grid = ketrovane.analyse(B, T, ER, [["168mil"], ["100mil"]], ["11mil", "20mil", "0.05in"])
        self.assertEqual(grid.shape, (2, 3))
        np.testing.assert_array_equal(grid.zoe_ohm, numbers.zoe_ohm.T)
        self.assertEqual(ketrovane.analyse(B, T, ER, ["168mil"], S).shape, (1,))

    def test_texts_of_other_arguments(self):
        rho = ketrovane.analyse(B, T, ER, W, S, rho=["copper", "gold", "1.7"])
        for k, metal in enumerate(["copper", "gold", "1.7"]):
            self.assertEqual(rho.loss_odd_db_per_in[k],
                             ketrovane.analyse(B, T, ER, W, S, rho=metal).loss_odd_db_per_in)
        f = ketrovane.response(zo=50, coupling=10, er=ER, f0="1GHz",
                               f=np.array(["900MHz", "1.1GHz", "1200000kHz"]))
        np.testing.assert_array_equal(f.f_mhz, [900, 1100, 1200])
        # An array of str of any kind: numpy's object arrays as pandas hands them over.
        objects = np.array(["168mil", "100mil"], dtype=object)
        np.testing.assert_array_equal(ketrovane.analyse(B, T, ER, objects, S).zoe_ohm,
                                      ketrovane.analyse(B, T, ER, [0.168, 0.1], S).zoe_ohm)

    def test_a_refused_text_is_named_with_its_index(self):
        with self.assertRaises(ValueError) as e:
            ketrovane.analyse(B, T, ER, [["168mil", "4ft"]], [[0.01], [0.02]])
        self.assertEqual(str(e.exception), "w='4ft': unknown length unit 'ft' (expected in, mil, "
                                           "uin, mm or um) (at index (0, 1))")
        with self.assertRaises(ValueError) as e:
            ketrovane.analyse(B, T, ER, W, S, rho=["copper", "tin"])
        self.assertTrue(str(e.exception).startswith("rho='tin': "), str(e.exception))
        self.assertTrue(str(e.exception).endswith(" (at index 1)"), str(e.exception))
        # A text refused against another value is quoted too.
        with self.assertRaises(ValueError) as e:
            ketrovane.analyse(B, ["1mil", "0.3in", "2mil"], ER, W, S)
        self.assertEqual(str(e.exception), "t='0.3in': expected a strip thickness below B, at "
                                           "most 0.8 B (0.2 in) (at index 1)")
        with self.assertRaises(ValueError) as e:
            ketrovane.analyse(B, T, ER, ["0.1", "0.1:0.2:0.05"], S)
        self.assertEqual(str(e.exception), "w='0.1:0.2:0.05': expected a single value; give "
                                           "several values as an array (at index 1)")


class Results(unittest.TestCase):
    def test_columns_by_attribute_item_and_dict(self):
        r = ketrovane.analyse(B, T, ER, [0.1, 0.2], S)
        self.assertEqual(r.columns, ("w_in", "s_in", "w_over_b", "s_over_b", "zo_ohm", "zoe_ohm",
                                     "zoo_ohm", "coupling_db", "eeff_even", "eeff_odd",
                                     "loss_even_db_per_in", "loss_odd_db_per_in", "status"))
        self.assertEqual(list(r.keys()), list(r.columns))
        self.assertEqual(list(dict(r)), list(r.columns))
        d = r.to_dict()
        self.assertEqual(list(d), list(r.columns))
        np.testing.assert_array_equal(d["zoe_ohm"], r.zoe_ohm)
        np.testing.assert_array_equal(r["zoe_ohm"], r.zoe_ohm)
        self.assertIn("zoe_ohm", dir(r))
        self.assertIn("zoe_ohm", r)
        self.assertNotIn("zoe_mm", r)
        with self.assertRaises(AttributeError) as e:
            r.zoe_mm
        self.assertIn("no column 'zoe_mm'", str(e.exception))
        with self.assertRaises(KeyError):
            r["zoe"]
        self.assertIn("shape (2,)", repr(r))
        self.assertIn("zoe_ohm=69.298355", repr(ketrovane.analyse(B, T, ER, W, S)))

    def test_synthesis_status_is_text(self):
        r = ketrovane.synthesise(B, 0.0, ER, 50, coupling=[1, 10])
        self.assertEqual(r.status.tolist(), ["spacing_floor", "converged"])
        self.assertTrue(np.isnan(r.w_in[0]) and np.isnan(r.s_in[0]))
        self.assertFalse(np.isnan(r.w_in[1]))
        one = ketrovane.synthesise(B, T, ER, 50, 10)
        self.assertEqual(one.status, "converged")
        self.assertIsInstance(one.status, str)
        self.assertEqual(ketrovane.synthesise(B, T, ER, 50, [[10], [20]]).status.shape, (2, 1))

    def test_columns_are_float64_holding_the_single_precision_numbers(self):
        for r in (ketrovane.analyse(B, T, ER, [0.1, 0.2], [[0.01], [0.02]]),
                  ketrovane.analyse(B, T, ER, W, S),
                  ketrovane.response(zo=50, coupling=10, er=ER, f0=1000, f=[900, 1000])):
            for name in r.columns:
                if name in ("status", "w_in", "s_in", "f_mhz"):  # texts; inputs as given
                    continue
                column = np.asarray(r[name])
                self.assertEqual(column.dtype, np.float64, name)
                np.testing.assert_array_equal(column.astype(np.float32).astype(np.float64),
                                              column, name)
        # No float32 in the user's arithmetic: a sum stays float64.
        self.assertEqual((ketrovane.analyse(B, T, ER, W, S).zoe_ohm + 1e-9).dtype, np.float64)

    def test_the_length_is_the_number_of_rows(self):
        self.assertEqual(len(ketrovane.analyse(B, T, ER, W, S)), 1)
        self.assertEqual(len(ketrovane.analyse(B, T, ER, [0.1, 0.2, 0.3], S)), 3)
        self.assertEqual(len(ketrovane.analyse(B, T, ER, [0.1, 0.2, 0.3], [[0.01], [0.02]])), 6)
        self.assertEqual(len(ketrovane.synthesise(B, T, ER, 50, [[10]])), 1)

    def test_rows_in_order_each_a_record_of_the_columns(self):
        w = np.array([0.1, 0.2, 0.3])
        s = np.array([[0.01], [0.02]])
        r = ketrovane.analyse(B, T, ER, w, s)
        rows = list(r)
        self.assertEqual(len(rows), len(r))
        for k, (i, j) in enumerate(np.ndindex(r.shape)):  # C order
            self.assertEqual(rows[k]._fields, r.columns)
            self.assertEqual(rows[k].w_in, r.w_in[i, j])
            self.assertEqual(rows[k].s_in, r.s_in[i, j])
            self.assertEqual(rows[k].zoe_ohm, r.zoe_ohm[i, j])
            self.assertEqual(rows[k].status, "ok")
            self.assertEqual(rows[k]._asdict()["zoo_ohm"], r.zoo_ohm[i, j])
        self.assertIsInstance(rows[0].zoe_ohm, float)
        self.assertIsInstance(rows[0].status, str)
        one, = ketrovane.synthesise(B, T, ER, 50, 10)
        self.assertEqual((one.w_in, one.status),
                         (ketrovane.synthesise(B, T, ER, 50, 10).w_in, "converged"))
        # Unpacked as a tuple, in the command's order.
        w_in, s_in, *_, status = one
        self.assertEqual((w_in, s_in), (one.w_in, one.s_in))
        for solver in ("both", "field"):  # every command's columns make a record
            self.assertEqual(list(ketrovane.analyse(B, T, ER, W, S, solver=solver))[0]._fields,
                             ketrovane.analyse(B, T, ER, W, S, solver=solver).columns)

    def test_to_pandas(self):
        import pandas
        r = ketrovane.synthesise(B, 0.0, ER, 50, coupling=[[1, 10], [20, 30]], units="mm")
        frame = r.to_pandas()
        self.assertIsInstance(frame, pandas.DataFrame)
        self.assertEqual(list(frame.columns), list(r.columns))
        self.assertEqual(len(frame), len(r))
        np.testing.assert_array_equal(frame["w_mm"].to_numpy(), r.w_mm.ravel())
        self.assertEqual(frame["w_mm"].dtype, np.float64)
        self.assertEqual(frame["status"].tolist(), r.status.ravel().tolist())
        self.assertEqual(frame.iloc[3].coupling_db, r.coupling_db[1, 1])
        self.assertEqual(len(ketrovane.analyse(B, T, ER, W, S).to_pandas()), 1)

    def test_to_pandas_says_how_to_install_pandas(self):
        r = ketrovane.analyse(B, T, ER, W, S)
        with mock.patch.dict(sys.modules, {"pandas": None}):
            with self.assertRaises(ImportError) as e:
                r.to_pandas()
        self.assertIn("python3-pandas", str(e.exception))


class LongCalls(unittest.TestCase):
    """More rows than one block run on every core; each row is still its own."""

    def test_rows_equal_short_calls(self):
        w = np.linspace(0.02, 0.5, 20011)
        s = np.linspace(0.002, 0.2, 20011)
        whole = ketrovane.analyse(B, T, ER, w, s)
        pieces = [ketrovane.analyse(B, T, ER, w[k:k + 1000], s[k:k + 1000])
                  for k in range(0, len(w), 1000)]
        for name in whole.columns:
            np.testing.assert_array_equal(whole[name],
                                          np.concatenate([p[name] for p in pieces]), name)
        levels = np.linspace(0.5, 40, 3001)
        whole = ketrovane.synthesise(B, 0.0, ER, 50, levels)
        self.assertEqual(whole.status.tolist(),
                         [ketrovane.synthesise(B, 0.0, ER, 50, float(c)).status for c in levels])

    # Blocks of rows run side by side: a later block may fail first, and an
    # earlier one later.
    def test_the_first_refused_element_is_named(self):
        for bad, first in (([45000, 3000, 47000], 3000), ([100, 2000], 100)):
            w = np.full(50000, W)
            w[bad] = 0
            for _ in range(5):  # whatever the threads' timing
                with self.assertRaises(ValueError) as e:
                    ketrovane.analyse(B, T, ER, w, S)
                self.assertEqual(str(e.exception), "w='0': expected a strip width W above 0 in "
                                                   f"and at most 1000 in (at index {first})")

    def assertInterruptedSoon(self, call, seconds):
        script = textwrap.dedent(f"""
            import sys, warnings, numpy, ketrovane
            warnings.simplefilter("ignore")
            print("start", flush=True)
            try:
                {call}
            except KeyboardInterrupt:
                print("interrupted", flush=True)
                sys.exit(0)
            print("finished", flush=True)
        """)
        child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE,
                                 text=True, env=dict(os.environ))
        self.assertEqual(child.stdout.readline(), "start\n")
        time.sleep(0.5)
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        out, _ = child.communicate(timeout=60)
        self.assertEqual(out, "interrupted\n")
        self.assertLess(time.monotonic() - sent, seconds)

    def test_interrupt_stops_a_long_call(self):
        self.assertInterruptedSoon(
            "ketrovane.synthesise(0.25, 0.0, 2.2, 50, numpy.linspace(0.5, 60, 3_000_000))", 2.0)

    # A field row takes milliseconds: a thousand of them, seconds, are heard
    # between rows (without a progress callback, which is Python code and
    # would hear it itself).
    def test_interrupt_stops_a_long_field_call(self):
        self.assertInterruptedSoon(
            "ketrovane.field(0.25, 0.0014, 2.2, numpy.linspace(0.05, 0.5, 1000), 0.011, "
            "tol=1e-6, progress=False)", 1.0)


class Refused(unittest.TestCase):
    """What cannot be computed is refused before any row, naming the argument."""

    def assertRefused(self, error, text, call):
        with self.assertRaises(error) as e:
            call()
        self.assertEqual(str(e.exception), text)

    def test_empty_and_mismatched_arrays(self):
        self.assertRefused(ValueError, "w=: an empty array; expected at least one value",
                           lambda: ketrovane.analyse(B, T, ER, [], S))
        self.assertRefused(ValueError, "w=: an empty array; expected at least one value",
                           lambda: ketrovane.analyse(B, T, ER, np.zeros((3, 0)), S))
        self.assertRefused(ValueError, "w=: an empty array; expected at least one value",
                           lambda: ketrovane.analyse(B, T, ER, np.array([], dtype=str), S))
        self.assertRefused(ValueError,
                           "w= and s=: shapes (3,) and (2,) do not broadcast together",
                           lambda: ketrovane.analyse(B, T, ER, [0.1, 0.2, 0.3], [0.01, 0.02]))
        self.assertRefused(ValueError,
                           "w= and f=: shapes (1, 2) and (3,) do not broadcast together",
                           lambda: ketrovane.analyse(B, [[T], [T]], ER, [[0.1, 0.2]], S,
                                                     f=[1, 2, 3]))
        self.assertRefused(ValueError,
                           "w= and s=: shapes (3,) and (2,) do not broadcast together",
                           lambda: ketrovane.analyse(B, T, ER, ["1mm", "2mm", "3mm"], [0.1, 0.2]))

    def test_more_rows_than_a_table_may_have(self):
        # Views of a few bytes: refused before anything the size of the rows exists.
        w = np.broadcast_to(np.float64(W), (20000, 1))
        s = np.broadcast_to(np.float64(S), (1, 20000))
        self.assertRefused(ValueError, "the arguments broadcast to shape (20000, 20000): "
                           "400000000 rows, more than 100000000",
                           lambda: ketrovane.analyse(B, T, ER, w, s))

    def test_values_that_are_not_numbers(self):
        self.assertRefused(TypeError, "w=: expected a number, a text, or an array of numbers or "
                                      "of texts, not dict of object",
                           lambda: ketrovane.analyse(B, T, ER, {}, S))
        self.assertRefused(TypeError, "er=: expected a number, a text, or an array of numbers "
                                      "or of texts, not complex of complex128",
                           lambda: ketrovane.analyse(B, T, 2 + 1j, W, S))
        self.assertRefused(TypeError, "w=: expected a number, a text, or an array of numbers or "
                                      "of texts, not list of |S3",
                           lambda: ketrovane.analyse(B, T, ER, [b"0.1", b"0.2"], S))
        self.assertRefused(TypeError, "s=: expected a number, a text, or an array of numbers or "
                                      "of texts, not list of object",
                           lambda: ketrovane.analyse(B, T, ER, W, [0.1, None]))
        self.assertRefused(TypeError, "s=: expected a number, a text, or an array of numbers or "
                                      "of texts, not ndarray of object",
                           lambda: ketrovane.analyse(B, T, ER, W, np.array(["0.1", 2],
                                                                           dtype=object)))
        self.assertRefused(TypeError, "solver=: expected a text, model|field|both, not int",
                           lambda: ketrovane.analyse(B, T, ER, W, S, solver=3))
        self.assertRefused(TypeError, "solver=: expected a text, model|field|both, not tuple",
                           lambda: ketrovane.analyse(B, T, ER, [0.1, 0.2], S,
                                                     solver=["model", "field"]))

    # numpy would make a text of the number, to be read in inches whatever
    # the call's units.
    def test_a_list_of_texts_and_numbers(self):
        self.assertRefused(TypeError, "w=: a list of texts and numbers; give every value as a "
                                      "text with its unit, or every value as a number",
                           lambda: ketrovane.analyse(6.35, 0.035, ER, ["4mm", 3.5], 0.3,
                                                     units="mm"))
        # The spacing is missing: strips side by side need it, one above the
        # other do not, so Python cannot tell.
        self.assertRefused(ValueError, "s=: missing; expected a strip spacing S",
                           lambda: ketrovane.analyse(B, T, ER, W))
        with self.assertRaises(TypeError):
            ketrovane.response(zo=50, coupling=10, er=ER, f0=1000, f=900, ref=50)
        with self.assertRaises(ValueError):  # not UTF-8: UnicodeEncodeError
            ketrovane.analyse(B, T, ER, "\ud800", S)

    def test_integers_beyond_any_float_are_not_finite(self):
        self.assertRefused(ValueError, "w='inf': expected a finite strip width W",
                           lambda: ketrovane.analyse(B, T, ER, 10 ** 400, S))
        self.assertRefused(ValueError, "s='-inf': expected a finite strip spacing S",
                           lambda: ketrovane.analyse(B, T, ER, W, -10 ** 400))

    def test_solvers_by_name(self):
        self.assertEqual(ketrovane.analyse(B, T, ER, W, S, solver="model").zoe_ohm,
                         ketrovane.analyse(B, T, ER, W, S).zoe_ohm)
        for call in (lambda: ketrovane.analyse(B, T, ER, W, S, solver="fem"),
                     lambda: ketrovane.synthesise(B, T, ER, 50, 10, solver="fem"),
                     lambda: ketrovane.sensitivity(B, T, ER, W, S, solver="fem"),
                     lambda: ketrovane.response(zo=50, coupling=10, er=ER, f0=1, f=1, solver="fem"),
                     lambda: ketrovane.s_matrix(zo=50, coupling=10, er=ER, f0=1, f=1,
                                                solver="fem")):
            self.assertRefused(ValueError, "solver='fem': expected model, field or both", call)



class ArgumentFaults(unittest.TestCase):
    """Each fault of an argument is a ValueError or TypeError naming its
    keyword, not an error from inside the package."""

    # The fault: a bare unpacking error, an AttributeError, or a value
    # read as something it is not (True as 1 inch, a masked element as a
    # row).
    def test_each_fault_names_its_keyword(self):
        design = dict(b="62mil", t="1oz", er=3.66, w="24.8mil", s="6.4mil", vary={"t": "10%"},
                      samples=20)
        limits = ("limits=: 'coupling' {}; expected a pair (low, high), None for an open side, or "
                  "a text LOW:HIGH")
        cases = [
            (lambda: ketrovane.tolerance(**design, limits={"coupling": (9.5,)}), ValueError,
             limits.format("has 1 value")),
            (lambda: ketrovane.tolerance(**design, limits={"zo": 50}), ValueError,
             limits.replace("'coupling'", "'zo'").format("is 50")),
            # An item of a dict of the wrong type names the item, not "a dict, got dict".
            (lambda: ketrovane.tolerance(**design, limits={"zo": (48, [1])}), TypeError,
             "limits=: [1] is a list; expected a number, a text or None"),
            (lambda: ketrovane.tolerance(**design | {"vary": {"w": [1, 2]}}), TypeError,
             "vary=: [1, 2] is a list; expected a number or a text"),
            (lambda: ketrovane.tolerance(**design, seed=2**64), ValueError,
             "seed='18446744073709551616': expected a whole number from 0 to 2^64 - 1"),
            (lambda: ketrovane.tolerance(**design, limits={"coupling": (9, 10, 11)}), ValueError,
             limits.format("has 3 values")),
            (lambda: ketrovane.tolerance(**design, limits={"coupling": 9.5}), ValueError,
             limits.format("is 9.5")),
            (lambda: ketrovane.tolerance_combine([1, 2]), TypeError,
             "tolerance_combine: expected results of ketrovane.tolerance, not int"),
            (lambda: ketrovane.tolerance_combine(3), TypeError,
             "tolerance_combine: expected a sequence of results of ketrovane.tolerance, not int"),
            (lambda: ketrovane.analyse(B, T, ER, True, S), TypeError,
             "w=: expected a number, a text, or an array of numbers or of texts, not bool of bool"),
            (lambda: ketrovane.analyse(B, T, ER, W, [0.01, False]), TypeError,
             "s=: True and False are not numbers here; expected a number, a text, or an array of "
             "numbers or of texts"),
            (lambda: ketrovane.analyse(B, T, ER, np.ma.array([0.1, 0.2], mask=[0, 1]), S),
             ValueError, "w=: a masked array with masked elements; every element is a row, so "
                         "give the rows to compute: value.compressed(), or value.filled(x)"),
            (lambda: ketrovane.network(zo=50, coupling=10, er=ER, f0=1000, f=[900, 1000, 1000]),
             ValueError, "f=: a network's frequencies must increase; f[2] (1000.0 MHz) repeats "
                         "f[1] (1000.0 MHz)"),
            (lambda: ketrovane.network(zo=50, coupling=10, er=ER, f0=1000, f=[1000, 900]),
             ValueError, "f=: a network's frequencies must increase; f[1] (900.0 MHz) is below "
                         "f[0] (1000.0 MHz)"),
        ]
        for call, error, message in cases:
            with self.subTest(message=message):
                with self.assertRaises(error) as e:
                    call()
                self.assertEqual(str(e.exception), message)

    # The fault: a number refused for the type that holds it (an object
    # array of a mixed pandas frame, a Decimal), or a text for the spaces
    # around it.
    def test_numbers_in_any_holder_are_the_numbers(self):
        from decimal import Decimal
        import pandas
        plain = ketrovane.analyse(B, T, ER, [0.1, 0.168], S)
        frame = pandas.DataFrame({"w": [0.1, 0.168], "name": ["a", "b"]})
        for w in (np.array([0.1, 0.168], dtype=object), [Decimal("0.1"), Decimal("0.168")],
                  frame.to_numpy()[:, 0], np.ma.array([0.1, 0.168]),
                  np.ma.array([0.1, 0.168], mask=[False, False]), ["100mil", " 168mil "],
                  np.array([" 0.1 in", "\t168 mil"]), [np.float32(0.1), 0.168]):
            with self.subTest(w=repr(w)):
                r = ketrovane.analyse(B, T, ER, w, S)
                np.testing.assert_array_equal(r.zoe_ohm, plain.zoe_ohm)
        self.assertEqual(ketrovane.analyse(B, T, ER, Decimal("0.168"), S).zoe_ohm,
                         ketrovane.analyse(B, T, ER, " 168mil ", S).zoe_ohm)
        self.assertEqual(ketrovane.analyse(B, T, ER, W, S, solver=" field ").zoe_ohm,
                         ketrovane.analyse(B, T, ER, W, S, solver="field").zoe_ohm)


if __name__ == "__main__":
    unittest.main()
