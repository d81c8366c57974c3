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
                        "coupling_db", "loss_even_db_per_in", "loss_odd_db_per_in", "status"],
            "synthesise": ["w_in", "s_in", "w_over_b", "s_over_b", "zo_ohm", "zoe_ohm",
                           "zoo_ohm", "coupling_db", "status"],
            "response": ["f_mhz", "s11_db", "s11_deg", "s21_db", "s21_deg", "s31_db", "s31_deg",
                         "s41_db", "s41_deg", "vswr", "phase_difference_deg",
                         "phase_error_deg", "loss_conductor_db", "loss_total_db", "status"],
            "sensitivity": ["w_in", "s_in", "zoe_ohm", "zoo_ohm", "szoe_er", "szoe_b",
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

    def test_rows_that_cannot_be_built_are_left_out_of_the_chart(self):
        run = Run(["synthesise", "--b", "0.25", "--t", "0", "--er", "2.2", "--zo", "50",
                   "--coupling", "0.5:10:0.5", "--plot", "floors.png"], status=1)
        self.assertGreater(os.path.getsize(run.path("floors.png")), 1000)


if __name__ == "__main__":
    CALC = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2, warnings="ignore")  # scikit-rf leaves its file open
