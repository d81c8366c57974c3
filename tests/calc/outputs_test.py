"""ketrovane-calc end to end: CSV and JSON parsed back, the Touchstone file
read back by scikit-rf, and the charts drawn by gnuplot.  Each test runs the
real program in a temporary directory.

Usage: outputs_test.py PATH/TO/ketrovane-calc
"""

import csv
import io
import json
import math
import os
import re
import subprocess
import sys
import tempfile
import unittest

import numpy as np
import skrf

CALC = None  # set from the command line

RESPONSE = ["response", "--b", "0.25", "--t", "0.0014", "--er", "2.2", "--w", "0.168",
            "--s", "0.011", "--f0", "1GHz", "--f", "100:2000:10"]
ANALYSE = ["analyse", "--b", "0.25", "--t", "0.0014", "--er", "2.2", "--w", "0.1:0.2:0.02",
           "--s", "0.01:0.03:0.01"]
SYNTHESISE = ["synthesise", "--b", "0.25", "--t", "0.0014", "--er", "2.2", "--zo", "50",
              "--coupling", "3:20:1"]
SENSITIVITY = ["sensitivity", "--b", "0.25", "--t", "0.0014", "--er", "2.2", "--w", "0.168",
               "--s", "0.005:0.05:0.005"]


class Run:
    """One run of ketrovane-calc in its own directory."""

    def __init__(self, args, status=0):
        self.dir = tempfile.TemporaryDirectory()
        env = {"PATH": "/usr/bin:/bin", "TMPDIR": self.path("tmp"),
               "ASAN_OPTIONS": "detect_leaks=0"}
        os.mkdir(self.path("tmp"))
        done = subprocess.run([CALC] + args, cwd=self.dir.name, env=env, capture_output=True,
                              text=True, check=False)
        self.out, self.err = done.stdout, done.stderr
        assert done.returncode == status, (done.returncode, done.stderr)
        # Every temporary file is gone, whatever the run did.
        assert os.listdir(self.path("tmp")) == [], os.listdir(self.path("tmp"))

    def path(self, name):
        return os.path.join(self.dir.name, name)


def csv_rows(args):
    rows = list(csv.DictReader(io.StringIO(Run(args + ["--format", "csv"]).out)))
    assert rows
    return rows


def number(text):
    return float(text) if text not in ("", "nan") else math.nan


class CsvAndJson(unittest.TestCase):
    def test_every_command_gives_named_columns_and_plain_numbers(self):
        expected = {
            "analyse": ["w_in", "s_in", "w_over_b", "s_over_b", "zo_ohm", "zoe_ohm", "zoo_ohm",
                        "coupling_db", "eeff_even", "eeff_odd", "loss_even_db_per_in",
                        "loss_odd_db_per_in", "status"],
            "synthesise": ["w_in", "s_in", "w_over_b", "s_over_b", "zo_ohm", "zoe_ohm",
                           "zoo_ohm", "coupling_db", "eeff_even", "eeff_odd", "status"],
            "response": ["f_mhz", "s11_db", "s11_deg", "s21_db", "s21_deg", "s31_db", "s31_deg",
                         "s41_db", "s41_deg", "vswr", "phase_difference_deg",
                         "phase_error_deg", "amplitude_balance_db", "loss_dissipated_db",
                         "thru_and_coupled_db", "return_loss_db", "directivity_db",
                         "loss_even_conductor_db_per_in", "loss_even_dielectric_db_per_in",
                         "loss_odd_conductor_db_per_in", "loss_odd_dielectric_db_per_in",
                         "length_in", "status"],
            "sensitivity": ["w_in", "s_in", "zoe_ohm", "zoo_ohm", "eeff_even", "eeff_odd",
                            "szoe_er", "szoe_b",
                            "szoe_s", "szoe_t", "szoe_w", "szoo_er", "szoo_b", "szoo_s",
                            "szoo_t", "szoo_w", "status"],
        }
        for args in (ANALYSE, SYNTHESISE, RESPONSE, SENSITIVITY):
            rows = csv_rows(args)
            self.assertEqual(list(rows[0].keys()), expected[args[0]])
            for row in rows:
                for name, text in row.items():
                    if name != "status":
                        self.assertNotIn("e", text.lower().replace("nan", ""), (name, text))
                        self.assertTrue(math.isfinite(float(text)), (name, text))

    def test_json_holds_the_inputs_and_the_same_rows_as_csv(self):
        for args in (ANALYSE, SYNTHESISE, RESPONSE, SENSITIVITY):
            document = json.loads(Run(args + ["--format", "json"]).out)
            rows = csv_rows(args)
            self.assertEqual(document["command"], args[0])
            self.assertEqual(document["columns"], list(rows[0].keys()))
            self.assertEqual(len(document["rows"]), len(rows))
            for got, want in zip(document["rows"], rows):
                for name, text in want.items():
                    if name == "status":
                        self.assertEqual(got[name], text)
                    else:
                        self.assertEqual(got[name], float(text), name)
            self.assertEqual(document["inputs"]["b"], {"given": "0.25", "unit": "in",
                                                       "value": 0.25, "rows": 1})

    def test_lengths_follow_the_length_unit(self):
        inches = csv_rows(ANALYSE)
        mm = csv_rows(ANALYSE + ["--length-unit", "mm"])
        self.assertIn("w_mm", mm[0])
        self.assertIn("loss_odd_db_per_mm", mm[0])
        for a, b in zip(inches, mm):
            self.assertEqual(np.float32(b["w_mm"]), np.float32(np.float32(a["w_in"]) * 25.4))
            self.assertEqual(np.float32(b["loss_odd_db_per_mm"]),
                             np.float32(np.float64(np.float32(a["loss_odd_db_per_in"])) / 25.4))
            self.assertEqual(a["zoe_ohm"], b["zoe_ohm"])

    def test_input_units_give_the_same_rows(self):
        metric = ["analyse", "--b", "6.35mm", "--t", "35.56um", "--er", "2.2", "--w",
                  "100mil:200mil:20mil", "--s", "0.01:0.03:0.01"]
        self.assertEqual(csv_rows(metric), csv_rows(ANALYSE))


# 299792458 m/s: a quarter wave at 1 GHz in Er 2.2, in millimetres.
QUARTER_WAVE_MM = 299792458.0 / (4 * 1e9 * math.sqrt(2.2)) * 1e3


class CouplerFigures(unittest.TestCase):
    # Each mode's loss in its parts: the dielectric part pi sqrt(er) tan d /
    # lambda0 nepers, the same for both modes, and the parts summing to the
    # mode's loss that analyse gives at that frequency.
    def test_mode_losses_in_their_parts(self):
        c_inch_mhz = 299792458.0 / 0.0254 / 1e6
        for tand in ("0", "0.0009", "0.01"):
            rows = csv_rows(RESPONSE[:-1] + ["500:2000:500", "--tand", tand])
            for row in rows:
                f = float(row["f_mhz"])
                dielectric = (math.pi * math.sqrt(2.2) * float(tand) * f / c_inch_mhz
                              * 20 / math.log(10))
                for mode in ("even", "odd"):
                    self.assertAlmostEqual(-float(row[f"loss_{mode}_dielectric_db_per_in"]),
                                           dielectric, delta=1e-6 + 1e-5 * dielectric)
                self.assertLess(float(row["loss_odd_conductor_db_per_in"]),
                                float(row["loss_even_conductor_db_per_in"]))
                whole = csv_rows(ANALYSE[:7] + ["--w", "0.168", "--s", "0.011", "--tand", tand,
                                                "--f", row["f_mhz"]])[0]
                for mode in ("even", "odd"):
                    parts = (np.float32(row[f"loss_{mode}_conductor_db_per_in"]) +
                             np.float32(row[f"loss_{mode}_dielectric_db_per_in"]))
                    self.assertEqual(parts, np.float32(whole[f"loss_{mode}_db_per_in"]),
                                     (tand, f, mode))
        # A coupler given by its impedances has no cross-section to lose in.
        lossless = csv_rows(["response", "--zo", "50", "--coupling", "10", "--er", "2.2",
                             "--f0", "1GHz", "--f", "1000"])
        self.assertFalse([k for k in lossless[0] if k.endswith("_db_per_in")])

    def test_length_directivity_and_return_loss_of_every_row(self):
        rows = csv_rows(RESPONSE + ["--length-unit", "mm"])
        for row in rows:
            self.assertAlmostEqual(float(row["length_mm"]) / QUARTER_WAVE_MM, 1.0, places=6)
            self.assertAlmostEqual(float(row["directivity_db"]),
                                   float(row["s41_db"]) - float(row["s31_db"]), places=4)
            self.assertEqual(float(row["return_loss_db"]), -float(row["s11_db"]))
            # Return loss and VSWR are two readings of one reflection.
            gamma = 10 ** (float(row["s11_db"]) / 20)
            self.assertAlmostEqual(float(row["vswr"]), (1 + gamma) / (1 - gamma), places=5)
        designs = csv_rows(SYNTHESISE + ["--f0", "1GHz", "--length-unit", "mil"])
        self.assertEqual(list(designs[0].keys())[-2:], ["length_mil", "status"])
        for row in designs:
            self.assertAlmostEqual(float(row["length_mil"]) * 0.0254 / QUARTER_WAVE_MM, 1.0,
                                   places=6)

    def test_summary_in_the_json_and_in_the_table_header(self):
        args = RESPONSE + ["--flatness", "0.3", "--length-unit", "mm"]
        document = json.loads(Run(args + ["--format", "json"]).out)
        summary = document["summary"]
        self.assertEqual(document["amplitude_floor_db"], -90)
        self.assertEqual(summary["f0_mhz"], 1000)
        self.assertEqual(summary["flatness_db"], 0.3)
        self.assertFalse(summary["band_low_beyond_swept_range"])
        self.assertFalse(summary["band_high_beyond_swept_range"])
        rows = document["rows"]
        centre = next(r for r in rows if r["f_mhz"] == 1000)
        self.assertEqual(summary["coupling_at_f0_db"], centre["s41_db"])
        inside = [r for r in rows
                  if summary["band_low_mhz"] <= r["f_mhz"] <= summary["band_high_mhz"]]
        self.assertTrue(all(abs(r["s41_db"] - centre["s41_db"]) <= 0.3 for r in inside))
        self.assertEqual(summary["worst_directivity_db"], min(r["directivity_db"] for r in inside))
        self.assertEqual(summary["worst_return_loss_db"], min(r["return_loss_db"] for r in inside))
        # The table says the same in its header lines.
        header = Run(args).out.split("\n")[:5]
        self.assertEqual(header[0], "Coupling at f0 = 1000 MHz: %.3f dB" % centre["s41_db"])
        self.assertIn("Coupling within 0.30 dB of it from %.6g MHz to %.6g MHz"
                      % (summary["band_low_mhz"], summary["band_high_mhz"]), header[1])
        self.assertIn("directivity at least %.2f dB" % summary["worst_directivity_db"], header[2])
        balance = [r["s41_db"] - r["s21_db"] for r in inside]
        self.assertAlmostEqual(summary["least_amplitude_balance_db"], min(balance), places=5)
        self.assertAlmostEqual(summary["greatest_amplitude_balance_db"], max(balance), places=5)
        self.assertEqual(header[3], "Amplitude balance S41 - S21 over that band: from %.3f to "
                         "%.3f dB" % (summary["least_amplitude_balance_db"],
                                      summary["greatest_amplitude_balance_db"]))
        self.assertTrue(header[4].startswith("Amplitudes stop at -90 dB"))

    def test_a_band_reaching_the_end_of_the_sweep_says_so(self):
        narrow = ["response", "--zo", "50", "--coupling", "10", "--er", "2.2", "--f0", "1GHz",
                  "--f", "900:1050:10"]
        summary = json.loads(Run(narrow + ["--format", "json"]).out)["summary"]
        self.assertTrue(summary["band_low_beyond_swept_range"])
        self.assertEqual(summary["band_low_mhz"], 900)
        self.assertTrue(summary["band_high_beyond_swept_range"])
        self.assertEqual(summary["band_high_mhz"], 1050)
        self.assertIn("from below 900 MHz (beyond the swept range) to above 1050 MHz (beyond the "
                      "swept range)", Run(narrow).out)

    def test_notes_for_higher_modes_and_model_accuracy_come_once(self):
        # 0.168" strips on 0.25" of Er 2.2: the strip's TE mode at 10920 MHz.
        below = Run(RESPONSE[:-1] + ["8000:10920:10", "--length-unit", "mm"])
        self.assertNotIn("higher-order mode", below.err)
        above = Run(RESPONSE[:-1] + ["8000:12000:10", "--length-unit", "mm"])
        lines = [line for line in above.err.splitlines() if "higher-order mode" in line]
        self.assertEqual(len(lines), 1, above.err)
        self.assertIn("the frequencies from 10930 MHz", lines[0])
        self.assertIn("for W 4.2672 mm, B 6.35 mm, Er 2.2", lines[0])

    def test_help_says_what_the_terminations_and_the_floors_are(self):
        text = Run(["response", "--help"]).out
        self.assertIn("ports 1 and 4 are terminated in --rs, ports 2 and 3 in --rl", text)
        self.assertIn("Amplitudes stop at -90 dB in the table, CSV and JSON", text)
        self.assertIn("oz of copper, 1 oz = 1.37 mil", text)

    def test_american_spellings_and_copper_weights(self):
        self.assertEqual(csv_rows(["analyze"] + ANALYSE[1:]), csv_rows(ANALYSE))
        self.assertEqual(csv_rows(["synthesize"] + SYNTHESISE[1:]), csv_rows(SYNTHESISE))
        ounces = ANALYSE[:3] + ["--t", "1oz"] + ANALYSE[5:]
        inches = ANALYSE[:3] + ["--t", "0.00137"] + ANALYSE[5:]
        self.assertEqual(csv_rows(ounces), csv_rows(inches))
        wrong = Run(ANALYSE + ["--f", "1GHz:3GHz:0.5GHz"], status=2)
        self.assertEqual(wrong.err, "ketrovane-calc: --f '1GHz:3GHz:0.5GHz': expected one "
                         "frequency, not a range: this command takes a single value\n")


def renormalised(s, old, new):
    """S referenced to the real resistances `new` from S referenced to
    `old`: Z = R^1/2 (I - S)^-1 (I + S) R^1/2, then back.  (Debian's
    scikit-rf renormalises through a numpy name numpy no longer has.)"""
    eye = np.eye(s.shape[-1])
    root_old = np.diag(np.sqrt(np.broadcast_to(old, s.shape[-1])))
    z = root_old @ np.linalg.solve(eye - s, eye + s) @ root_old
    inv_root_new = np.diag(1 / np.sqrt(new))
    zn = inv_root_new @ z @ inv_root_new
    return np.linalg.solve((zn + eye).transpose(0, 2, 1), (zn - eye).transpose(0, 2, 1)).transpose(0, 2, 1)


class Touchstone(unittest.TestCase):
    def network(self, extra, fmt):
        run = Run(RESPONSE + ["--format", "csv", "--touchstone", "c.s4p",
                              "--touchstone-format", fmt] + extra)
        return skrf.Network(run.path("c.s4p")), list(csv.DictReader(io.StringIO(run.out))), run

    def test_read_back_in_every_format(self):
        for fmt in ("ma", "db", "ri"):
            with self.subTest(fmt=fmt):
                net, rows, run = self.network([], fmt)
                s = net.s
                self.assertEqual(s.shape, (len(rows), 4, 4))
                np.testing.assert_allclose(net.f, [float(r["f_mhz"]) * 1e6 for r in rows])
                np.testing.assert_allclose(net.z0, 50.0)
                # Reciprocal, passive, and symmetric like the section.
                np.testing.assert_allclose(s, np.transpose(s, (0, 2, 1)), atol=1e-6)
                self.assertLessEqual(np.linalg.svd(s, compute_uv=False).max(), 1.0 + 1e-6)
                np.testing.assert_allclose(s[:, 1, 1], s[:, 0, 0], atol=1e-6)
                np.testing.assert_allclose(s[:, 3, 3], s[:, 0, 0], atol=1e-6)
                with open(run.path("c.s4p")) as text:
                    header = text.read()
                self.assertIn("ports: 1 input, 2 thru, 3 isolated, 4 coupled", header)
                self.assertIn(f"# MHz S {fmt.upper()} R 50", header)

    # With Rs = Rl = R the first column is the response rows.
    def test_first_column_is_the_response(self):
        net, rows, _ = self.network(["--rs", "50", "--rl", "50", "--ref", "50"], "db")
        for port, name in ((0, "s11"), (1, "s21"), (2, "s31"), (3, "s41")):
            db = net.s_db[:, port, 0]
            deg = net.s_deg[:, port, 0]
            want_db = np.array([float(r[name + "_db"]) for r in rows])
            want_deg = np.array([float(r[name + "_deg"]) for r in rows])
            shown = want_db > -90  # the rows floor their amplitudes at -90 dB
            np.testing.assert_allclose(db[shown], want_db[shown], atol=1e-4)
            np.testing.assert_allclose(np.exp(1j * np.radians(deg[shown])),
                                       np.exp(1j * np.radians(want_deg[shown])), atol=1e-5)

    # The figures of the rows from the matrix itself: the phase difference
    # arg(S41/S21) with its sign (above 2 f0 the coupled wave lags), the
    # power leaving the four ports, the power reaching the thru and coupled
    # ports, and the amplitude balance.
    def test_phase_difference_losses_and_balance_from_the_matrix(self):
        run = Run(RESPONSE[:-2] + ["--f", "100:3900:10", "--format", "csv", "--touchstone",
                                   "c.s4p", "--touchstone-format", "ri", "--ref", "50"])
        net, rows = skrf.Network(run.path("c.s4p")), list(csv.DictReader(io.StringIO(run.out)))
        column = net.s[:, :, 0]
        power = np.abs(column) ** 2

        def got(name):
            return np.array([float(r[name]) for r in rows])

        truth = np.degrees(np.angle(column[:, 3] / column[:, 1]))
        apart = np.abs(np.remainder(got("phase_difference_deg") - truth + 180, 360) - 180)
        self.assertLess(apart.max(), 2e-3)
        apart = np.abs(np.remainder(got("phase_error_deg") - (truth - 90) + 180, 360) - 180)
        self.assertLess(apart.max(), 2e-3)
        f = got("f_mhz")
        self.assertTrue(np.all(got("phase_difference_deg")[(f > 2100) & (f < 3900)] < 0))
        np.testing.assert_allclose(got("loss_dissipated_db"), 10 * np.log10(power.sum(axis=1)),
                                   atol=2e-5)
        np.testing.assert_allclose(got("thru_and_coupled_db"),
                                   10 * np.log10(power[:, 1] + power[:, 3]), atol=2e-5)
        self.assertTrue(np.all(got("thru_and_coupled_db") < got("loss_dissipated_db")))
        np.testing.assert_array_equal(
            got("amplitude_balance_db").astype(np.float32),
            got("s41_db").astype(np.float32) - got("s21_db").astype(np.float32))

    def test_version_2_carries_the_terminations_as_references(self):
        args = RESPONSE + ["--rs", "75", "--rl", "40", "--touchstone", "c.s4p",
                           "--touchstone-format", "ri"]
        v2 = Run(args + ["--touchstone-version", "2"])
        v1 = Run(args)  # every port at --ref 50
        file = skrf.io.touchstone.Touchstone(v2.path("c.s4p"))
        self.assertEqual(file.version, "2.0")
        self.assertEqual(file.reference, [75.0, 40.0, 40.0, 75.0])
        with open(v2.path("c.s4p")) as text:
            self.assertIn("[Number of Frequencies] %d" % len(csv_rows(RESPONSE)), text.read())
        # The same coupler: its 50-ohm matrix through its impedance matrix.
        _, s = file.get_sparameter_arrays()
        np.testing.assert_allclose(s, renormalised(skrf.Network(v1.path("c.s4p")).s, 50.0,
                                                   [75.0, 40.0, 40.0, 75.0]), atol=2e-6)
        # --ref has no place in a file that references each port.
        refused = Run(args + ["--touchstone-version", "2", "--ref", "50"], status=2)
        self.assertIn("--ref '50': a Touchstone 2.0 file references its ports", refused.err)

    def test_coupled_third_swaps_ports_3_and_4(self):
        ours, _, _ = self.network([], "ri")
        other, _, run = self.network(["--port-order", "coupled-third"], "ri")
        swap = [0, 1, 3, 2]
        np.testing.assert_array_equal(other.s, ours.s[:, swap][:, :, swap])
        with open(run.path("c.s4p")) as text:
            self.assertIn("ports: 1 input, 2 thru, 3 coupled, 4 isolated", text.read())

    def test_lossless_coupler_conserves_power(self):
        run = Run(["response", "--zo", "50", "--coupling", "10", "--er", "2.2", "--f0", "1000",
                   "--f", "500:1500:100", "--touchstone", "l.s4p", "--ref", "50"])
        s = skrf.Network(run.path("l.s4p")).s
        gram = np.conj(np.transpose(s, (0, 2, 1))) @ s
        np.testing.assert_allclose(gram, np.broadcast_to(np.eye(4), gram.shape), atol=1e-5)


MAGIC = {".png": b"\x89PNG", ".pdf": b"%PDF", ".svg": b"<?xml"}


class Plots(unittest.TestCase):
    def test_each_chart_is_drawn(self):
        for args, name in ((RESPONSE, "r.png"), (ANALYSE, "a.svg"), (SYNTHESISE, "s.pdf")):
            with self.subTest(name=name):
                run = Run(args + ["--plot", name, "--output", "table.txt"])
                with open(run.path(name), "rb") as chart:
                    data = chart.read()
                self.assertGreater(len(data), 1000)
                self.assertTrue(data.startswith(MAGIC[name[-4:]]), data[:8])
                self.assertEqual(sorted(os.listdir(run.dir.name)), sorted([name, "table.txt", "tmp"]))

    def svg_text(self, args):
        run = Run(args + ["--plot", "c.svg", "--output", "table.txt"])
        with open(run.path("c.svg")) as chart:
            return chart.read()

    def test_two_ranges_draw_a_labelled_family_per_spacing(self):
        svg = self.svg_text(["analyse", "--b", "62mil", "--t", "1oz", "--er", "3.66", "--w",
                             "10mil:60mil:1mil", "--s", "4mil:20mil:1mil", "--length-unit",
                             "mil"])
        # Every second of 17 spacings: at most eight families, each in the legend.
        for spacing in range(4, 21, 3):
            self.assertIn(">S = %d mil<" % spacing, svg)
        self.assertNotIn(">S = 5 mil<", svg)
        self.assertIn("Impedance analysis (closed-form model): B = 62 mil, T = 1.37 mil, Er = 3.66<",
                      svg)

    def test_titles_name_the_fixed_inputs_in_the_output_unit(self):
        widths = self.svg_text(ANALYSE[:10] + ["0.011", "--length-unit", "mm"])
        # The solver leads the title, which breaks after a comma at 90 characters.
        self.assertIn(">Impedance analysis (closed-form model): B = 6.35 mm, T = 0.03556 mm, Er = 2.2, "
                      "</text>", widths)
        self.assertIn("<text>S = 0.2794 mm</text>", widths)
        response = self.svg_text(RESPONSE + ["--length-unit", "mil"])
        # A long title is broken after a comma into lines of at most 90 characters.
        self.assertIn(">Four-port response: W = 168 mil, S = 11 mil, B = 250 mil, T = 1.4 mil, "
                      "Er = 2.2, </text>", response)
        self.assertIn("<text>L = 1989 mil, Rs = Rl = 50 ohm</text>", response)
        broadside = self.svg_text(["response", "--b", "65.4mil", "--t", "0.7mil", "--er", "3.66",
                                   "--geometry", "broadside", "--w", "14.6mil", "--sv", "4mil",
                                   "--wo", "5.4mil", "--solver", "field", "--f0", "2GHz", "--f",
                                   "1GHz:3GHz:1GHz", "--length-unit", "mil"])
        self.assertIn(">Four-port response: W = 14.6 mil, SV = 4 mil, WO = 5.4 mil, B = 65.4 mil, "
                      "T = 0.7 mil, </text>", broadside)
        # Fault: a stack's chart titled with one Er that is not the board's.
        stacked = self.svg_text(["response", "--layers", "30.7mil:3.66,4mil:3.52,30.7mil:3.66",
                                 "--core", "2", "--t", "0.7mil", "--geometry", "broadside",
                                 "--w", "14.6mil", "--wo", "5.4mil", "--solver", "field",
                                 "--f0", "2GHz", "--f", "1GHz:3GHz:1GHz"])
        self.assertNotIn("Er = ", stacked)
        self.assertIn("<text>layers 30.7 mil/3.66, 4 mil/3.52, 30.7 mil/3.66 (strips on layer 2), ",
                      stacked)

    def test_response_shows_the_band_and_the_coupling_on_its_own_axis(self):
        svg = self.svg_text(RESPONSE)
        summary = json.loads(Run(RESPONSE + ["--format", "json"]).out)["summary"]
        self.assertIn(">Band: coupling within 0.5 dB of %.4g dB at 1000 MHz<"
                      % summary["coupling_at_f0_db"], svg)
        for label in ("Coupling S41 (dB)", "Thru S21 (dB)", "Directivity", "Return loss",
                      "Isolation (-S31)", "Quadrature error (deg)"):
            self.assertIn(">%s<" % label, svg)

    def test_each_label_says_what_it_shows(self):
        # Faults: a title without its solver, the top panel without its
        # frequency axis, a family chart's series keyed in black as if
        # they were a curve of their own, floored amplitudes on the frame.
        field = self.svg_text(SYNTHESISE[:-1] + ["6:10:2", "--solver", "field"])
        self.assertIn(">Width and spacing synthesis (field solution): Zo = 50 ohm", field)
        model = self.svg_text(SYNTHESISE)
        self.assertIn(">Width and spacing synthesis (closed-form model): Zo = 50 ohm", model)
        response = self.svg_text(RESPONSE)
        self.assertEqual(response.count(">Frequency (MHz)<"), 2)
        family = self.svg_text(ANALYSE)
        self.assertIn("<title>Zo: solid lines</title>", family)
        self.assertIn("<title>Coupling Co (right axis): dashed lines</title>", family)
        self.assertNotIn("stroke='black'  d='M", family.split("<title>Zo: solid lines</title>")[1]
                         .split("</g>\n\t</g>")[0])
        # A lossless coupler's isolation and return loss stop at 90 dB: the
        # axis reaches the next tic above them.
        ideal = self.svg_text(["response", "--zo", "50", "--coupling", "10", "--er", "2.2",
                               "--f0", "1GHz", "--f", "100:1900:10"])
        tics = [float(t) for t in re.findall(r'<tspan font-family="Sans" >([^<]*)</tspan>', ideal)]
        # (The frequency tics are multiples of 200 MHz.)
        self.assertTrue(any(90 < t < 200 for t in tics), tics)

    def test_the_touchstone_file_names_the_coupler(self):
        # Fault: every coupler called single-section and edge-coupled.
        kinds = (
            (RESPONSE, "single-section edge-coupled stripline directional coupler"),
            (["response", "--b", "65.4mil", "--t", "0.7mil", "--er", "3.66", "--geometry",
              "broadside", "--w", "14.6mil", "--sv", "4mil", "--wo", "5.4mil", "--solver", "field",
              "--f0", "2GHz", "--f", "2GHz"],
             "single-section broadside-coupled stripline directional coupler"),
            (["response", "--zo", "50", "--coupling", "10", "--er", "2.2", "--f0", "1GHz", "--f",
              "1GHz"], "single-section stripline directional coupler (ideal: lossless, of the "
             "given Zo and coupling)"),
            (["multisection", "--zo", "50", "--coupling", "10", "--sections", "3", "--band",
              "2GHz:6GHz", "--b", "62mil", "--t", "1oz", "--er", "3.66", "--geometry",
              "edge-offset", "--h", "25mil", "--solver", "field", "--f", "4GHz"],
             "3-section offset edge-coupled stripline directional coupler"),
            (["multisection", "--zo", "50", "--coupling", "10", "--sections", "5", "--band",
              "2GHz:6GHz", "--er", "3.66", "--f", "4GHz"],
             "5-section stripline directional coupler (ideal: lossless sections of the profile's "
             "impedances)"),
        )
        for args, kind in kinds:
            with self.subTest(kind=kind):
                run = Run(args + ["--touchstone", "c.s4p", "--output", "table.txt"])
                with open(run.path("c.s4p")) as text:
                    self.assertEqual(text.readline().split(": ", 1)[1], kind + "\n")

    def test_a_multisection_chart_marks_its_band_and_its_realised_ripple(self):
        board = ["--b", "62mil", "--t", "1oz", "--er", "3.66", "--table", "response",
                 "--f", "1GHz:9GHz:100MHz"]
        ripple = self.svg_text(["multisection", "--zo", "50", "--coupling", "10", "--sections",
                                "5", "--band", "2GHz:8GHz"] + board)
        realised = json.loads(Run(["multisection", "--zo", "50", "--coupling", "10", "--sections",
                                   "5", "--band", "2GHz:8GHz", "--format", "json"] + board).out)
        self.assertIn(">Realised ripple: within %.3g dB<"
                      % realised["summary"]["realised_ripple_db"], ripple)
        self.assertIn(">Band: coupling within 0.0875 dB of -10 dB<", ripple)
        self.assertIn(">ripple 0.0875 dB (realised %.3g dB) over 2000 to 8000 MHz<"
                      % realised["summary"]["realised_ripple_db"], ripple)
        flat = self.svg_text(["multisection", "--zo", "50", "--coupling", "10", "--sections", "5",
                              "--f0", "5GHz", "--profile", "maximally-flat"] + board)
        self.assertRegex(flat, r">Band: coupling within 0.5 dB of -10\.\d+ dB at 5000 MHz<")

    def test_rows_that_cannot_be_built_are_left_out_of_the_chart(self):
        run = Run(["synthesise", "--b", "0.25", "--t", "0", "--er", "2.2", "--zo", "50",
                   "--coupling", "0.5:10:0.5", "--plot", "floors.png"], status=1)
        self.assertGreater(os.path.getsize(run.path("floors.png")), 1000)


if __name__ == "__main__":
    CALC = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2, warnings="ignore")  # scikit-rf leaves its file open
