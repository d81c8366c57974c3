"""The figures a coupler is specified by, as the package gives them: the
band summary of a swept response (the command line's, for the same
frequencies), the length of a synthesis at f0, the higher-order mode
warning at and below its cut-off, and the command line's readings of
thickness and spelling."""

import json
import unittest
import warnings

import numpy as np

import calc
import ketrovane

BOARD = dict(b="62mil", t="1oz", er=3.66)
COUPLER = dict(BOARD, w="24.8mil", s="6.4mil", f0="2GHz")


def quiet(call):
    """The result of a call and its warnings."""
    with warnings.catch_warnings(record=True) as seen:
        warnings.simplefilter("always")
        result = call()
    return result, seen


class Summary(unittest.TestCase):
    def test_the_command_lines_summary_of_the_same_sweep(self):
        options = dict(COUPLER, f="1000:3000:10", flatness=0.3, rs=45)
        document = json.loads(calc.run(calc.arguments("response", options)
                                       + ["--format", "json"]).stdout)
        f = np.array([row["f_mhz"] for row in document["rows"]])
        r, _ = quiet(lambda: ketrovane.response(**dict(options, f=f)))
        want = dict(document["summary"], amplitude_floor_db=document["amplitude_floor_db"])
        self.assertEqual(r.summary.keys(), want.keys())
        for name, value in want.items():
            got = r.summary[name]
            # The command line writes the shortest digits of the same float.
            if isinstance(got, float):
                got, value = np.float32(got), np.float32(value)
            self.assertEqual(got, value, name)
        self.assertLess(r.summary["band_low_mhz"], 2000)
        self.assertGreater(r.summary["band_high_mhz"], 2000)

    def test_only_for_one_coupler_over_increasing_frequencies(self):
        f = np.linspace(1500, 2500, 11)
        swept, _ = quiet(lambda: ketrovane.response(**COUPLER, f=f))
        self.assertIsNotNone(swept.summary)
        for call in (lambda: ketrovane.response(**COUPLER, f=2000),
                     lambda: ketrovane.response(**COUPLER, f=f[::-1]),
                     lambda: ketrovane.response(**dict(COUPLER, w=np.full(11, 0.0248)), f=f),
                     lambda: ketrovane.analyse(**BOARD, w=[0.02, 0.03], s=0.006)):
            result, _ = quiet(call)
            self.assertIsNone(result.summary)

    def test_a_band_past_the_sweep_and_one_without_its_centre(self):
        narrow = ketrovane.response(zo=50, coupling=10, er=3.66, f0="2GHz",
                                    f=["1.9GHz", "2GHz", "2.1GHz"])
        self.assertTrue(narrow.summary["band_low_beyond_swept_range"])
        self.assertEqual(narrow.summary["band_low_mhz"], 1900)
        self.assertTrue(narrow.summary["band_high_beyond_swept_range"])
        off = ketrovane.response(zo=50, coupling=10, er=3.66, f0="2GHz", f=[3000, 3100])
        self.assertIsNone(off.summary["band_low_mhz"])
        self.assertAlmostEqual(off.summary["coupling_at_f0_db"], -10, places=4)


class Figures(unittest.TestCase):
    def test_phase_difference_balance_and_losses_of_the_matrix(self):
        # Past 2 f0 the coupled wave lags the through wave: arg(S41/S21) < 0.
        f = np.linspace(100, 7900, 79)
        r, _ = quiet(lambda: ketrovane.response(**COUPLER, f=f))
        s, _ = quiet(lambda: ketrovane.s_matrix(**COUPLER, f=f))
        column = s[:, :, 0]
        truth = np.degrees(np.angle(column[:, 3] / column[:, 1]))
        apart = np.remainder(r.phase_difference_deg - truth + 180, 360) - 180
        self.assertLess(np.abs(apart).max(), 1e-3)
        self.assertTrue(np.all(r.phase_difference_deg[(f > 4100) & (f < 7900)] < 0))
        np.testing.assert_array_equal(r.amplitude_balance_db.astype(np.float32),
                                      r.s41_db.astype(np.float32) - r.s21_db.astype(np.float32))
        power = np.abs(column) ** 2
        np.testing.assert_allclose(r.loss_dissipated_db, 10 * np.log10(power.sum(axis=1)),
                                   atol=1e-5)
        np.testing.assert_allclose(r.thru_and_coupled_db,
                                   10 * np.log10(power[:, 1] + power[:, 3]), atol=1e-5)
        np.testing.assert_array_equal(r.loss_even_dielectric_db_per_in,
                                      r.loss_odd_dielectric_db_per_in)

    def test_length_of_each_design_at_f0(self):
        d, _ = quiet(lambda: ketrovane.synthesise(**BOARD, zo=50, coupling=[10, 20], f0="2GHz",
                                                  units="mm"))
        quarter_wave_mm = 299792458.0 / (4 * 2e9 * np.sqrt(3.66)) * 1e3
        np.testing.assert_allclose(d.length_mm, quarter_wave_mm, rtol=1e-6)
        self.assertEqual(d.columns[-2:], ("length_mm", "status"))
        plain, _ = quiet(lambda: ketrovane.synthesise(**BOARD, zo=50, coupling=10))
        self.assertNotIn("length_in", plain)

    def test_directivity_and_return_loss_columns(self):
        r, _ = quiet(lambda: ketrovane.response(**COUPLER, f=[1500, 2000, 2500]))
        np.testing.assert_array_equal(r.directivity_db, np.float32(r.s41_db - r.s31_db))
        np.testing.assert_array_equal(r.return_loss_db, -r.s11_db)

    def test_the_scattering_matrix_has_no_terminations_or_band(self):
        for function in (ketrovane.s_matrix, ketrovane.network):
            with self.assertRaises(TypeError):
                function(**COUPLER, f=2000, flatness=0.5)


class HigherModes(unittest.TestCase):
    # 24.8 mil strips on 62 mil of Er 3.66: the strip's TE mode at 41972.08 MHz.
    def test_warned_at_and_above_the_cut_off_only(self):
        _, below = quiet(lambda: ketrovane.response(**COUPLER, f=[20000, 41972]))
        self.assertFalse([w for w in below
                          if w.category is ketrovane.HigherOrderModeWarning])
        _, above = quiet(lambda: ketrovane.response(**COUPLER, f=[41972, 41973, 45000],
                                                    units="mm"))
        notes = [w for w in above if w.category is ketrovane.HigherOrderModeWarning]
        self.assertEqual(len(notes), 1)
        self.assertEqual(str(notes[0].message),
                         "note: 41973 MHz is at or above the cut-off of the stripline's first "
                         "higher-order mode, 41972 MHz (the strip's TE mode, for W 0.62992 mm, "
                         "B 1.5748 mm, Er 3.66); the quasi-TEM analysis does not hold there")
        self.assertEqual(notes[0].filename, __file__)

    def test_analyse_at_its_own_frequency(self):
        _, seen = quiet(lambda: ketrovane.analyse(**BOARD, w=[0.02, 0.03], s=0.006, f="50GHz"))
        notes = [w for w in seen if w.category is ketrovane.HigherOrderModeWarning]
        self.assertEqual(len(notes), 1)
        self.assertIn("50000 MHz is at or above", str(notes[0].message))
        self.assertIn("for W 0.03 in", str(notes[0].message))


class Readings(unittest.TestCase):
    def test_american_spellings_and_copper_weights(self):
        self.assertIs(ketrovane.analyze, ketrovane.analyse)
        self.assertIs(ketrovane.synthesize, ketrovane.synthesise)
        ounces, _ = quiet(lambda: ketrovane.analyse(b=0.062, t="1oz", er=3.66, w=0.025, s=0.006))
        inches, _ = quiet(lambda: ketrovane.analyse(b=0.062, t=0.00137, er=3.66, w=0.025,
                                                    s=0.006))
        self.assertEqual(ounces.zoe_ohm, inches.zoe_ohm)
        with self.assertRaises(ValueError) as refused:
            ketrovane.analyse(b=0.062, t=0.0014, er=3.66, w=0.025, s=0.006, f="1GHz:3GHz:1GHz")
        self.assertEqual(str(refused.exception), "f='1GHz:3GHz:1GHz': expected one frequency, "
                         "not a range: this command takes a single value")


if __name__ == "__main__":
    unittest.main()
