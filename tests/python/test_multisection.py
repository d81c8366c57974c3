"""ketrovane.multisection: the section columns and the profile as the
command line gives them, the refusals as its messages, and the network of
the whole coupler against the command's response rows."""

import json
import unittest

import numpy as np
import skrf

import calc
import ketrovane

BROADBAND = dict(zo=50, coupling=10, sections=5, band="2GHz:18GHz", er=3.66, b="62mil",
                 t="1oz")


class Sections(unittest.TestCase):
    def test_the_columns_are_the_command_lines(self):
        r = ketrovane.multisection(**BROADBAND)
        expected = calc.table("multisection", BROADBAND)
        self.assertEqual(len(r), 5)
        for name in ("coupling_db", "zoe_ohm", "zoo_ohm", "w_in", "s_in", "length_in"):
            np.testing.assert_array_equal(np.float32(r[name]), expected[name], err_msg=name)
        self.assertEqual(list(r.status), list(expected["status"]))

    def test_the_profile_ripple_and_band(self):
        r = ketrovane.multisection(**BROADBAND)
        self.assertEqual(r.band, (2000.0, 18000.0))
        self.assertEqual(r.profile["sections"], 5)
        self.assertTrue(0.1 < r.ripple_db < 2.0)
        flat = ketrovane.multisection(zo=50, coupling=10, sections=3, f0="3GHz", er=3.66,
                                      profile="maximally-flat")
        self.assertEqual(flat.band, (3000.0, 3000.0))
        self.assertEqual(flat.ripple_db, 0.0)
        self.assertNotIn("w_in", flat)

    def test_a_band_is_a_text_or_its_two_edges(self):
        text = ketrovane.multisection(**BROADBAND)
        for band, units in ((("2GHz", "18GHz"), None), ((2000, 18000), None),
                            ([2.0, "18GHz"], ("in", "GHz"))):
            r = ketrovane.multisection(**{**BROADBAND, "band": band}, units=units)
            np.testing.assert_array_equal(r.zoe_ohm, text.zoe_ohm, err_msg=repr(band))
            self.assertEqual(r.ripple_db, text.ripple_db)
        for band in ((2000,), (2000, 9000, 18000), (2000, [9000])):
            with self.assertRaisesRegex(ValueError, "band=: expected two frequencies"):
                ketrovane.multisection(**{**BROADBAND, "band": band})

    def test_refusals_are_the_command_lines_messages(self):
        for changed in (dict(sections=4), dict(band="6GHz:2GHz")):
            options = {**BROADBAND, **changed}
            with self.assertRaises(ValueError) as caught:
                ketrovane.multisection(**options)
            expected = calc.message("multisection", options)
            self.assertIn(expected.split(": ", 1)[1], str(caught.exception))


class Network(unittest.TestCase):
    def test_the_network_is_the_response_rows(self):
        f = np.arange(1000.0, 19001.0, 500.0)
        n = ketrovane.multisection(**BROADBAND).network(f)
        self.assertIsInstance(n, skrf.Network)
        self.assertEqual(n.s.shape, (len(f), 4, 4))
        rows = calc.table("multisection", {**BROADBAND, "f": "1000:19000:500"},
                          ["--table", "response"])
        for port, column in ((0, "s11_db"), (1, "s21_db"), (2, "s31_db"), (3, "s41_db")):
            db = np.maximum(20 * np.log10(np.abs(n.s[:, port, 0])), -90.0)
            np.testing.assert_allclose(db, rows[column], atol=1e-3, err_msg=column)
        np.testing.assert_allclose(n.s, np.transpose(n.s, (0, 2, 1)), atol=1e-6)
        self.assertTrue(n.is_passive())

    # The fault: frequencies in one unit evaluated in another (GHz taken
    # as kHz), which only a call in MHz would not show.
    def test_frequencies_in_the_calls_unit(self):
        in_mhz = ketrovane.multisection(**BROADBAND).network([2000.0, 9000.0, 18000.0])
        for unit, f in (("GHz", [2.0, 9.0, 18.0]), ("kHz", [2e6, 9e6, 18e6]),
                        ("Hz", [2e9, 9e9, 18e9])):
            with self.subTest(unit=unit):
                n = ketrovane.multisection(**BROADBAND, units=unit).network(f)
                np.testing.assert_array_equal(n.f, [2e9, 9e9, 18e9])
                np.testing.assert_array_equal(n.s, in_mhz.s)
                self.assertEqual(n.frequency.unit.lower(), unit.lower())

    # The fault: frequencies a network cannot have (NaN, 0, below 0, none,
    # out of order) evaluated, or the reference ignored.
    def test_frequencies_refused_and_the_reference(self):
        r = ketrovane.multisection(**BROADBAND, units="GHz")
        for f, error, message in (
                ([2, np.nan], ValueError, "f=: expected frequencies above 0; f[1] is nan"),
                ([-2, 3], ValueError, "f=: expected frequencies above 0; f[0] is -2.0"),
                (0, ValueError, "f=: expected frequencies above 0; f[0] is 0.0"),
                ([], ValueError, "f=: an empty array; expected at least one frequency"),
                ([3, 2], ValueError, "f=: a network's frequencies must increase; f[1] "
                                     "(2000.0 MHz) is below f[0] (3000.0 MHz)"),
                ([2, 3, 3], ValueError, "f=: a network's frequencies must increase; f[2] "
                                        "(3000.0 MHz) repeats f[1] (3000.0 MHz)"),
                ([[2, 3]], ValueError, "f=: expected one value or a one-dimensional array, not "
                                       "shape (1, 2)"),
                ("2GHz", TypeError, "f=: expected a number or an array of numbers in the call's "
                                    "frequency unit, not str")):
            with self.subTest(f=f):
                with self.assertRaises(error) as e:
                    r.network(f)
                self.assertEqual(str(e.exception), message)
        for ref, error in ((0, ValueError), (-50, ValueError), (float("nan"), ValueError),
                           ("50", TypeError)):
            with self.assertRaises(error):
                r.network([2, 3], ref=ref)
        between = ketrovane.multisection(**BROADBAND, rs=25, rl=25, units="GHz").network([2, 9])
        referenced = r.network([2, 9], ref=25)
        np.testing.assert_array_equal(referenced.s, between.s)
        np.testing.assert_array_equal(referenced.z0, np.full((2, 4), 25))
        self.assertIn("ref:", r.network.__doc__)


class BandSummary(unittest.TestCase):
    """What the response comes to over the profile's band, as the command
    line's --table response sums it up."""

    ARGS = dict(zo=50, coupling=10, sections=5, band="2GHz:8GHz", er=3.66, b="62mil", t="1oz")

    # The fault: a summary of other frequencies than f, or one that does
    # not follow the command line's.
    def test_the_summary_is_the_command_lines_and_the_networks(self):
        f = np.arange(1000.0, 9001.0, 50.0)
        r = ketrovane.multisection(**self.ARGS)
        s = r.band_summary(f)
        done = calc.run(calc.arguments("multisection", {**self.ARGS, "f": "1000:9000:50"})
                        + ["--table", "response", "--format", "json"])
        expected = json.loads(done.stdout)["summary"]
        for key, value in expected.items():
            if isinstance(value, float):
                self.assertEqual(np.float32(s[key]), np.float32(value), key)
            else:
                self.assertEqual(s[key], value, key)
        # Independently, from the network's coupled wave over the band.
        n = r.network(f)
        inside = (f >= 2000) & (f <= 8000)
        coupled = 20 * np.log10(np.abs(n.s[inside, 3, 0]))
        self.assertAlmostEqual(s["realised_ripple_db"], np.max(np.abs(coupled + 10)), delta=2e-4)
        self.assertEqual(s["swept_in_band"], np.count_nonzero(inside))

    def test_the_model_warns_of_its_error_and_of_sections_too_weak(self):
        with self.assertWarns(ketrovane.ModelAccuracyWarning) as caught:
            ketrovane.multisection(**self.ARGS)
        self.assertTrue(caught.warning.where.startswith("section 3, W 0.019567 in"),
                        caught.warning.where)
        self.assertTrue(str(caught.warning).startswith("The closed-form model may be off"))
        with self.assertWarnsRegex(ketrovane.WeakSectionWarning,
                                   r"sections 1 \(-61.15 dB\), 2 \(-46.1 dB\), 8 .* and 9 "):
            ketrovane.multisection(zo=50, coupling=20, sections=9, band="1GHz:4GHz", er=3.66)


if __name__ == "__main__":
    unittest.main()
