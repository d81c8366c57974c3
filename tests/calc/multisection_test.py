"""ketrovane-calc multisection end to end: one section is the single
coupler, the refusals, the section table of a broadband design, the response
rows read back from the Touchstone file by scikit-rf, and the sections a fab
cannot make.

Usage: multisection_test.py PATH/TO/ketrovane-calc
"""

import csv
import io
import json
import os
import subprocess
import sys
import tempfile
import unittest

import numpy as np
import skrf

CALC = None  # set from the command line

BOARD = ["--b", "62mil", "--t", "1oz", "--er", "3.66"]
BROADBAND = ["multisection", "--zo", "50", "--coupling", "10", "--sections", "5",
             "--band", "2GHz:18GHz"] + BOARD


def run(args, status=0, cwd=None):
    done = subprocess.run([CALC] + args, cwd=cwd, capture_output=True, text=True, check=False)
    assert done.returncode == status, (args, done.returncode, done.stderr)
    return done


def csv_rows(args, status=0):
    """The rows, lengths in inches unless the arguments name a unit."""
    unit = [] if "--length-unit" in args else ["--length-unit", "in"]
    return list(csv.DictReader(io.StringIO(run(args + ["--format", "csv"] + unit,
                                               status).stdout)))


def numbers(rows, column):
    return np.array([float(r[column]) for r in rows])


class OneSectionIsTheSingleCoupler(unittest.TestCase):
    """The same rows, to the last printed digit, as response of the section's
    own dimensions or impedances."""

    def assert_same_rows(self, a, b):
        self.assertEqual(len(a), len(b))
        for x, y in zip(a, b):
            self.assertEqual(x, y)

    def test_on_a_board_with_its_losses(self):
        design = ["multisection", "--zo", "50", "--coupling", "10", "--sections", "1",
                  "--f0", "3GHz", "--profile", "maximally-flat"] + BOARD
        section = csv_rows(design)[0]
        with tempfile.TemporaryDirectory() as d:
            cascade = csv_rows(design + ["--f", "1GHz:6GHz:250MHz", "--table", "response",
                                         "--touchstone", os.path.join(d, "m.s4p")])
            single = csv_rows(["response", "--w", section["w_in"], "--s", section["s_in"],
                               "--f0", "3GHz", "--f", "1GHz:6GHz:250MHz",
                               "--touchstone", os.path.join(d, "r.s4p")] + BOARD)
            files = [[line for line in open(os.path.join(d, name), encoding="ascii")
                      if not line.startswith("!")] for name in ("m.s4p", "r.s4p")]
        # The single coupler's rows add its modes' losses per length, which a
        # cascade of sections of their own dimensions has no one value of.
        self.assertIn("loss_odd_conductor_db_per_in", single[0])
        single = [{k: v for k, v in row.items() if not k.endswith("_db_per_in")}
                  for row in single]
        self.assert_same_rows(cascade, single)
        self.assertEqual(files[0], files[1])  # the matrices, to the last digit written

    def test_the_ideal_section(self):
        design = ["multisection", "--zo", "50", "--coupling", "10", "--sections", "1",
                  "--f0", "1GHz", "--profile", "maximally-flat", "--er", "2.2",
                  "--f", "100:2000:50", "--table", "response"]
        single = ["response", "--zo", "50", "--coupling", "10", "--er", "2.2", "--f0", "1GHz",
                  "--f", "100:2000:50"]
        self.assert_same_rows(csv_rows(design), csv_rows(single))

    def test_the_section_is_the_synthesis_of_its_coupling(self):
        section = csv_rows(["multisection", "--zo", "50", "--coupling", "10", "--sections", "1",
                            "--f0", "3GHz", "--profile", "maximally-flat"] + BOARD)[0]
        design = csv_rows(["synthesise", "--zo", "50", "--coupling", "10"] + BOARD)[0]
        for column in ("w_in", "s_in"):
            self.assertEqual(section[column], design[column], column)
        # The section gives the profile's impedances, synthesise what the
        # model makes of the design: the same within 0.03 %.
        for column in ("zoe_ohm", "zoo_ohm"):
            self.assertAlmostEqual(float(section[column]) / float(design[column]), 1.0, delta=3e-4)


class Refusals(unittest.TestCase):
    """One line on the error stream, exit 2, nothing on the output."""

    def refused(self, args, words):
        done = run(args, status=2)
        self.assertEqual(done.stdout, "")
        self.assertEqual(done.stderr.count("\n"), 1, done.stderr)
        self.assertIn(words, done.stderr)

    def test_the_number_of_sections(self):
        base = ["multisection", "--zo", "50", "--coupling", "10", "--band", "2:6GHz",
                "--er", "3"]
        self.refused(base + ["--sections", "4"], "odd")
        self.refused(base + ["--sections", "17"], "--sections")
        self.refused(base + ["--sections", "2.5"], "odd")

    def test_the_band_and_the_ripple(self):
        base = ["multisection", "--zo", "50", "--coupling", "10", "--sections", "5", "--er", "3"]
        self.refused(base + ["--band", "6GHz:2GHz"], "F2 above F1")
        self.refused(base + ["--band", "6GHz:6GHz"], "F2 above F1")
        self.refused(base + ["--band", "6GHz"], "F1:F2")
        self.refused(base + ["--f0", "6GHz", "--ripple", "0"], "--ripple")
        self.refused(base + ["--f0", "6GHz", "--ripple", "-0.1"], "--ripple")
        self.refused(base + ["--f0", "6GHz"], "--ripple or --profile")
        self.refused(base + ["--band", "2:6GHz", "--f0", "4GHz"], "not with --band")
        # Below the rounding of the coupling the exchange levels noise: NaN
        # sections, or a middle section at -80 dB, passed with status ok.
        for sections, ripple in (("5", "1e-15"), ("7", "1e-14")):
            self.refused(base[:6] + [sections, "--er", "3", "--f0", "2GHz", "--ripple", ripple],
                         "the ripple must be at least 1e-09 dB")

    def test_a_coupling_the_profile_cannot_reach(self):
        # A middle section would need a voltage coupling of 1 or more.
        self.refused(["multisection", "--zo", "50", "--coupling", "0.001", "--sections", "5",
                      "--band", "1GHz:10GHz", "--er", "3"], "looser coupling")
        self.refused(["multisection", "--zo", "50", "--coupling", "10", "--sections", "15",
                      "--f0", "10GHz", "--ripple", "3", "--er", "3"], "50:1")

    def test_what_the_outputs_and_the_solver_need(self):
        base = ["multisection", "--zo", "50", "--coupling", "10", "--sections", "3",
                "--band", "1GHz:3GHz", "--er", "3"]
        self.refused(base + ["--solver", "both"], "model or field")
        self.refused(base + ["--solver", "field"], "needs a board")
        self.refused(base + ["--table", "response"], "--f: missing")
        self.refused(base + ["--touchstone", "c.s4p"], "frequencies of --f")
        self.refused(base + ["--f", "2GHz", "--plot", "c.png"], "--table response")

    def test_options_of_a_board_without_one(self):
        self.refused(["multisection", "--zo", "50", "--coupling", "10", "--sections", "3",
                      "--band", "1GHz:3GHz", "--er", "3", "--min-gap", "5mil"], "--b and --t")


class BroadbandTable(unittest.TestCase):
    """5 sections, 10 dB over 2-18 GHz on a 62 mil board."""

    @classmethod
    def setUpClass(cls):
        done = run(BROADBAND + ["--format", "json", "--length-unit", "mil"])
        cls.json = json.loads(done.stdout)
        cls.rows = cls.json["rows"]

    def test_the_profile_is_symmetric_tightest_in_the_middle_and_matched(self):
        coupling = [r["coupling_db"] for r in self.rows]
        self.assertEqual(coupling, coupling[::-1])
        self.assertEqual(max(coupling), coupling[2])
        self.assertLess(coupling[0], -20.0)
        for r in self.rows:
            self.assertAlmostEqual(r["zoe_ohm"] * r["zoo_ohm"], 2500.0, delta=0.05)
            self.assertEqual(r["status"], "converged")
            # A quarter wave at 10 GHz in Er 3.66: 11803 mil GHz / sqrt(3.66) / 4 / 10.
            self.assertAlmostEqual(r["length_mil"], 154.2, delta=0.1)
        self.assertLess(self.rows[2]["s_mil"], self.rows[1]["s_mil"])

    def test_the_profile_heads_the_json_and_the_table(self):
        p = self.json["profile"]
        self.assertEqual((p["sections"], p["band_low_mhz"], p["band_high_mhz"]), (5, 2000, 18000))
        self.assertTrue(p["equal_ripple"])
        self.assertGreater(p["ripple_db"], 0.1)
        self.assertLess(p["ripple_db"], 2.0)
        head = run(BROADBAND).stdout.splitlines()[:3]
        self.assertIn("Equal-ripple profile: 5 sections", head[0])
        self.assertIn("2000 MHz to 18000 MHz", head[1])
        self.assertIn(f"{p['ripple_db']:.4g}", head[2])

    def test_a_maximally_flat_profile_is_named_so_at_every_f0(self):
        # f0 (pi/2)/(pi/2) rounded apart at 1 and 2 GHz, which read as an
        # equal-ripple band the maximally flat profile stood in for.
        for f0 in ("1GHz", "2GHz", "2.4GHz", "10GHz"):
            args = ["multisection", "--zo", "50", "--coupling", "10", "--sections", "5",
                    "--f0", f0, "--profile", "maximally-flat", "--er", "3.66"]
            p = json.loads(run(args + ["--format", "json"]).stdout)["profile"]
            self.assertEqual(p["profile"], "maximally-flat", f0)
            self.assertEqual(p["band_low_mhz"], p["band_high_mhz"], f0)
            self.assertTrue(run(args).stdout.startswith("Maximally flat profile: 5 sections"), f0)

    def test_the_response_holds_the_ripple_over_the_band(self):
        ripple = self.json["profile"]["ripple_db"]
        rows = csv_rows(BROADBAND + ["--f", "2GHz:18GHz:100MHz", "--table", "response",
                                     "--rho", "lossless", "--tand", "0"])
        # The model's sections meet their impedances to a few hundredths of an ohm.
        np.testing.assert_array_less(np.abs(numbers(rows, "s41_db") + 10.0), ripple + 0.02)


class TouchstoneFile(unittest.TestCase):
    """The file read back by scikit-rf is the response rows."""

    def test_the_matrix_is_the_rows(self):
        with tempfile.TemporaryDirectory() as d:
            rows = csv_rows(BROADBAND + ["--f", "1GHz:19GHz:500MHz", "--table", "response",
                                         "--touchstone", os.path.join(d, "c.s4p")])
            n = skrf.Network(os.path.join(d, "c.s4p"))
        np.testing.assert_allclose(n.f / 1e6, numbers(rows, "f_mhz"))
        for port, column in ((0, "s11"), (1, "s21"), (2, "s31"), (3, "s41")):
            db = np.maximum(20 * np.log10(np.abs(n.s[:, port, 0])), -90.0)
            np.testing.assert_allclose(db, numbers(rows, column + "_db"), atol=1e-3)
        # Reciprocal and, with its losses, passive.
        np.testing.assert_allclose(n.s, np.transpose(n.s, (0, 2, 1)), atol=1e-6)
        self.assertLess(np.linalg.norm(n.s, ord=2, axis=(1, 2)).max(), 1.0)

    def test_the_file_with_the_section_table(self):
        with tempfile.TemporaryDirectory() as d:
            rows = csv_rows(BROADBAND + ["--f", "1GHz:3GHz:1GHz",
                                         "--touchstone", os.path.join(d, "c.s4p")])
            self.assertEqual(len(rows), 5)
            self.assertEqual(skrf.Network(os.path.join(d, "c.s4p")).f.size, 3)


class SectionsTheFabCannotMake(unittest.TestCase):
    """A 3 dB middle section side by side needs a gap below the fab's."""

    ARGS = ["multisection", "--zo", "50", "--coupling", "3", "--sections", "3",
            "--band", "2GHz:6GHz", "--min-gap", "3mil"] + BOARD

    def test_the_status_says_why_and_the_run_exits_1(self):
        done = run(self.ARGS + ["--format", "csv"], status=1)
        # One above the other the middle section needs a core of about 1.4
        # mil, below the least gap too: the note does not offer it.
        self.assertNotIn("--geometry broadside", done.stderr)
        self.assertIn("on this board meet none of them", done.stderr)
        rows = list(csv.DictReader(io.StringIO(done.stdout)))
        self.assertEqual([r["status"] for r in rows],
                         ["converged", "gap_below_limit", "converged"])
        # The refused section keeps the gap it needs.
        self.assertLess(float(rows[1]["s_mil"]), 3.0)  # every length in mil: written in mil
        loose = run(["multisection", "--zo", "50", "--coupling", "3", "--sections", "3",
                     "--band", "2GHz:6GHz", "--min-gap", "1mil", "--format", "csv"] + BOARD,
                    status=1)
        self.assertIn("--geometry broadside", loose.stderr)
        response = csv_rows(self.ARGS + ["--f", "4GHz", "--table", "response"], status=1)
        self.assertEqual(response[0]["status"], "gap_below_limit")
        self.assertEqual(response[0]["s41_db"], "")
        # No coupler to write: refused before any file is.
        with tempfile.TemporaryDirectory() as d:
            done = run(self.ARGS + ["--f", "4GHz", "--touchstone", "c.s4p"], status=2, cwd=d)
            self.assertIn("could not be built", done.stderr)
            self.assertEqual(os.listdir(d), [])


class Broadside(unittest.TestCase):
    """The tight middle section one above the other, on the field solution."""

    def test_every_section_is_built_and_the_coupling_holds(self):
        args = ["multisection", "--zo", "50", "--coupling", "3", "--sections", "3",
                "--band", "2GHz:6GHz", "--b", "65.4mil", "--t", "0.7mil", "--er", "3.66",
                "--geometry", "broadside", "--sv", "1.5mil", "--solver", "field"]
        rows = csv_rows(args)
        self.assertEqual([r["status"] for r in rows], ["converged"] * 3)
        self.assertIn("wo_in", rows[0])
        ripple = json.loads(run(args + ["--format", "json"]).stdout)["profile"]["ripple_db"]
        response = csv_rows(args + ["--f", "2GHz:6GHz:500MHz", "--table", "response",
                                    "--rho", "lossless", "--tand", "0"])
        # The field meets its impedances within 0.02 %.
        np.testing.assert_array_less(np.abs(numbers(response, "s41_db") + 3.0), ripple + 0.01)


if __name__ == "__main__":
    CALC = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2, warnings="ignore")
