"""The scattering matrix as scikit-rf sees it: shape, frequencies, port
numbering, reciprocity, passivity, and its first column against the
four-port response."""

import os
import sys
import tempfile
import unittest
from unittest import mock

import numpy as np
import skrf

import calc
import ketrovane

LOSSY = dict(b=0.25, t=0.0014, er=2.2, w=0.168, s=0.011, f0=1000, rho="brass", tand=0.002)
LOSSLESS = dict(zo=50, coupling=10, er=2.2, f0=1000)
F = np.arange(200.0, 1801.0, 25.0)


class Network(unittest.TestCase):
    def test_shape_frequencies_and_reference(self):
        n = ketrovane.network(f=F, ref=75, **LOSSY)
        self.assertIsInstance(n, skrf.Network)
        self.assertEqual(n.s.shape, (len(F), 4, 4))
        np.testing.assert_array_equal(n.f, F * 1e6)
        np.testing.assert_array_equal(n.z0, np.full((len(F), 4), 75.0))
        one = ketrovane.network(f="1GHz", **LOSSY)
        self.assertEqual(one.s.shape, (1, 4, 4))
        self.assertEqual(one.f.tolist(), [1e9])
        ghz = ketrovane.network(f=F / 1000, units="GHz", **dict(LOSSY, f0=1))
        np.testing.assert_allclose(ghz.f, F * 1e6, rtol=1e-7)

    # Its plots read in the frequency unit of the call.
    def test_frequency_unit_of_the_call(self):
        for units, unit, scale in ((None, "MHz", 1.0), ("GHz", "GHz", 1e-3), ("ghz", "GHz", 1e-3),
                                   ("kHz", "kHz", 1e3), ("Hz", "Hz", 1e6), ("MHZ", "MHz", 1.0),
                                   (("mm", "GHz"), "GHz", 1e-3)):
            with self.subTest(units=units):
                coupler = dict(LOSSLESS, f0=1000 * scale)
                n = ketrovane.network(f=F * scale, units=units, **coupler)
                self.assertEqual(n.frequency.unit, unit)
                np.testing.assert_allclose(n.frequency.f_scaled, F * scale, rtol=1e-7)
                np.testing.assert_allclose(n.f, F * 1e6, rtol=1e-7)  # in Hz, as skrf keeps it
        # A frequency given as a text keeps the call's unit.
        self.assertEqual(ketrovane.network(f="1GHz", **LOSSLESS).frequency.unit, "MHz")

    def test_the_same_dtype_as_the_scattering_matrix(self):
        s = ketrovane.s_matrix(f=F, **LOSSY)
        n = ketrovane.network(f=F, **LOSSY)
        self.assertEqual(s.dtype, np.complex128)
        self.assertEqual(n.s.dtype, s.dtype)
        np.testing.assert_array_equal(n.s, s)

    def test_reciprocal_and_passive(self):
        for coupler in (LOSSY, LOSSLESS):
            with self.subTest(**coupler):
                s = ketrovane.network(f=F, **coupler).s
                np.testing.assert_array_equal(s, np.swapaxes(s, 1, 2))
                largest = np.linalg.svd(s, compute_uv=False).max(axis=1)
                self.assertTrue(np.all(largest <= 1 + 1e-6), largest.max())
                power = np.sum(np.abs(s[:, :, 0]) ** 2, axis=1)
                if coupler is LOSSLESS:
                    np.testing.assert_allclose(power, 1, atol=2e-6)
                else:
                    self.assertTrue(np.all(power < 1 - 1e-4))

    # Ports 1 input, 2 thru, 3 isolated, 4 coupled: the response's S11, S21,
    # S31 and S41 are the first column when Rs = Rl = the reference.
    def test_first_column_is_the_response(self):
        for coupler in (LOSSY, LOSSLESS):
            with self.subTest(**coupler):
                r = ketrovane.response(f=F, rs=50, rl=50, **coupler)
                s = ketrovane.network(f=F, ref=50, **coupler).s
                for port in (1, 2, 3, 4):
                    wave = s[:, port - 1, 0]
                    db = getattr(r, f"s{port}1_db")
                    shown = db > -89  # the response floors a vanishing wave at -90 dB
                    np.testing.assert_allclose(20 * np.log10(np.abs(wave[shown])), db[shown],
                                               atol=1e-4)
                    turn = np.angle(wave[shown], deg=True) - getattr(r, f"s{port}1_deg")[shown]
                    np.testing.assert_allclose((turn + 180) % 360 - 180, 0, atol=1e-3)
                # A quarter wave long at f0: coupled and thru in quadrature.
                mid = np.argmin(np.abs(F - 1000))
                self.assertAlmostEqual(float(np.angle(s[mid, 3, 0] / s[mid, 1, 0], deg=True)),
                                       90.0, delta=0.5)

    def test_the_same_network_as_the_touchstone_file(self):
        with tempfile.TemporaryDirectory() as directory:
            path = os.path.join(directory, "c.s4p")
            options = dict(LOSSY, f="200:1800:25", ref=75)
            calc.run(calc.arguments("response", options) +
                     ["--touchstone", path, "--touchstone-format", "ri", "--output", os.devnull])
            read = skrf.Network(path)
        n = ketrovane.network(f=F, ref=75, **LOSSY)
        np.testing.assert_allclose(n.f, read.f, rtol=1e-9)
        np.testing.assert_allclose(n.z0, read.z0)
        # The file's decimals read as doubles: within a float32's rounding.
        np.testing.assert_allclose(n.s, read.s, rtol=0, atol=1e-7)

    def test_one_coupler_over_one_frequency_axis(self):
        with self.assertRaises(ValueError) as e:
            ketrovane.network(f=F, zo=[[50], [75]], coupling=10, er=2.2, f0=1000)
        self.assertEqual(str(e.exception), "a network is one coupler over one frequency axis; "
                                           f"the arguments broadcast to shape (2, {len(F)})")
        self.assertEqual(ketrovane.s_matrix(f=F, zo=[[50], [75]], coupling=10, er=2.2,
                                            f0=1000).shape, (2, len(F), 4, 4))

    def test_says_how_to_install_scikit_rf(self):
        with mock.patch.dict(sys.modules, {"skrf": None}):
            with self.assertRaises(ImportError) as e:
                ketrovane.network(f=F, **LOSSLESS)
        self.assertIn("python3-scikit-rf", str(e.exception))


if __name__ == "__main__":
    unittest.main()
