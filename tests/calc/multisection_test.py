"""ketrovane-calc multisection end to end: one section is the single
coupler, the refusals, the section table of a broadband design, the response
rows read back from the Touchstone file by scikit-rf, the sections a fab
cannot make, the notes on the model's error and on sections too weak to
couple, the band summary of the response, and the field beside the model.

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
        self.refused(base + ["--solver", "both"], "needs a board")
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


def notes(done):
    return [line for line in done.stderr.splitlines() if "note:" in line]


class Notes(unittest.TestCase):
    """What a run says of its sections on the error stream."""

    def test_the_model_note_covers_every_section_of_either_table(self):
        # Fault: a multi-section run taken for a field run (no note), or the
        # response rows noting no section.
        rows = csv_rows(BROADBAND)
        tightest = max(rows, key=lambda r: float(r["coupling_db"]))
        for table in ([], ["--f", "2GHz:18GHz:4GHz", "--table", "response"]):
            with self.subTest(table=table):
                said = [n for n in notes(run(BROADBAND + table + ["--length-unit", "in"]))
                        if "closed-form model" in n]
                self.assertEqual(len(said), 1, said)
                # The worst section is the tightest, with the narrowest gap.
                self.assertIn("note: at section %s, W %.5g in, S %.5g in (" % (
                    tightest["section"], float(tightest["w_in"]), float(tightest["s_in"])),
                    said[0])
        self.assertEqual(
            [n for n in notes(run(BROADBAND + ["--solver", "field"])) if "closed-form" in n], [])

    def test_sections_weaker_than_40_db_are_flagged(self):
        # 9 sections of 20 dB over 1-4 GHz: -61.2, -46.1, -35.2, ... dB.
        # Fault: the bound taken as 40 dB tighter or looser, or the
        # comparison the wrong way round.
        args = ["multisection", "--zo", "50", "--coupling", "20", "--sections", "9",
                "--band", "1GHz:4GHz", "--er", "3.66", "--format", "csv"]
        rows = list(csv.DictReader(io.StringIO(run(args).stdout)))
        weak = [r["section"] for r in rows if float(r["coupling_db"]) < -40]
        self.assertEqual(weak, ["1", "2", "8", "9"])
        said = [n for n in notes(run(args)) if "more weakly than -40 dB" in n]
        self.assertEqual(len(said), 1)
        for r in rows:
            named = " %s (%.4g dB)" % (r["section"], float(r["coupling_db"]))
            self.assertEqual(named in said[0], r["section"] in weak, (named, said[0]))
        self.assertEqual([n for n in notes(run(BROADBAND)) if "weakly" in n], [])


class BandSummaryOfTheResponse(unittest.TestCase):
    """--table response sums the rows up over the profile's band."""

    ARGS = ["multisection", "--zo", "50", "--coupling", "10", "--sections", "5",
            "--band", "2GHz:8GHz"] + BOARD + ["--table", "response"]

    def test_the_realised_ripple_is_that_of_the_rows(self):
        # The sweep holds the band's ends and f0: the summary is of its rows.
        # Fault: the ripple measured from the coupling at f0 instead of the
        # nominal one, rows of the band left out, or the least isolation or
        # directivity of another band.
        f = ["--f", "1GHz:9GHz:50MHz"]
        done = json.loads(run(self.ARGS + f + ["--format", "json"]).stdout)
        rows = [r for r in done["rows"] if 2000 <= r["f_mhz"] <= 8000]
        coupling = np.array([r["s41_db"] for r in rows], dtype=np.float32)
        realised = np.max(np.abs(coupling - np.float32(-10)))
        s = done["summary"]
        self.assertEqual(np.float32(s["realised_ripple_db"]), realised)
        self.assertEqual(done["profile"]["realised_ripple_db"], s["realised_ripple_db"])
        self.assertGreater(realised, 2 * done["profile"]["ripple_db"])  # the losses' share
        self.assertEqual(s["swept_in_band"], len(rows))
        for key, column, pick in (("worst_directivity_db", "directivity_db", min),
                                  ("worst_return_loss_db", "return_loss_db", min),
                                  ("least_amplitude_balance_db", "amplitude_balance_db", min),
                                  ("greatest_amplitude_balance_db", "amplitude_balance_db", max)):
            self.assertEqual(s[key], pick(r[column] for r in rows), key)
        self.assertEqual(s["worst_isolation_db"], min(-r["s31_db"] for r in rows))
        self.assertEqual((s["band_low_mhz"], s["band_high_mhz"]), (2000, 8000))
        head = run(self.ARGS + f).stdout.splitlines()
        self.assertEqual(head[2], "Ripple over the band: 0.08746 dB ideal, %.4g dB realised by "
                         "the response" % realised)
        self.assertIn("(its ends, f0 and %d swept frequencies): coupling within %.4g dB of -10 dB"
                      % (len(rows), realised), head[5])
        self.assertIn("isolation at least %.2f dB" % s["worst_isolation_db"], head[6])

    def test_a_maximally_flat_profile_is_summed_up_as_a_response(self):
        # Its band is where the coupling stays within 0.5 dB of that at f0.
        args = ["multisection", "--zo", "50", "--coupling", "10", "--sections", "5",
                "--f0", "5GHz", "--profile", "maximally-flat"] + BOARD + [
                    "--table", "response", "--f", "1GHz:9GHz:50MHz", "--format", "json"]
        done = json.loads(run(args).stdout)
        s = done["summary"]
        self.assertIsNone(s["realised_ripple_db"])
        self.assertEqual(s["flatness_db"], 0.5)
        inside = [r for r in done["rows"] if s["band_low_mhz"] <= r["f_mhz"] <= s["band_high_mhz"]]
        deviation = [abs(r["s41_db"] - s["coupling_at_f0_db"]) for r in inside]
        self.assertLessEqual(max(deviation), 0.5)
        self.assertEqual(s["worst_isolation_db"], min(-r["s31_db"] for r in inside))

    def test_no_summary_above_the_section_table(self):
        head = run(BROADBAND + ["--f", "4GHz"]).stdout.splitlines()
        self.assertEqual(head[2], "Ripple over the band: 0.7977 dB")
        self.assertEqual(head[3], "")
        self.assertNotIn("summary", json.loads(run(BROADBAND + ["--format", "json"]).stdout))


class BothSolvers(unittest.TestCase):
    """--solver both: the model's run, and the field's figures of the same
    dimensions beside it."""

    def test_the_section_table(self):
        # Fault: the model's columns moved by the comparison, or the field's
        # of other dimensions than the model's.
        model = csv_rows(BROADBAND)
        both = csv_rows(BROADBAND + ["--solver", "both"])
        for m, b in zip(model, both):
            self.assertEqual({k: b[k] for k in m}, m)
            field = csv_rows(["analyse", "--w", b["w_in"], "--s", b["s_in"], "--solver", "field"]
                             + BOARD)[0]
            for column in ("zoe", "zoo", "zo"):
                self.assertAlmostEqual(float(b[column + "_field_ohm"]), float(field[column + "_ohm"]),
                                       delta=1e-6 * float(field[column + "_ohm"]))

    def test_one_section_is_the_single_coupler_on_both(self):
        # The cascade of the field's sections is the field's response.
        design = ["multisection", "--zo", "50", "--coupling", "10", "--sections", "1",
                  "--f0", "3GHz", "--profile", "maximally-flat"] + BOARD
        section = csv_rows(design)[0]
        f = ["--f", "1GHz:6GHz:500MHz"]
        cascade = csv_rows(design + f + ["--table", "response", "--solver", "both"])
        single = csv_rows(["response", "--w", section["w_in"], "--s", section["s_in"], "--f0",
                           "3GHz", "--solver", "both"] + f + BOARD)
        model = csv_rows(design + f + ["--table", "response"])
        self.assertGreater(len(cascade[0]), len(model[0]))
        for c, s, m in zip(cascade, single, model):
            self.assertEqual({k: c[k] for k in m}, m)
            self.assertEqual({k: c[k] for k in c if "_field" in k},
                             {k: s[k] for k in c if "_field" in k})


if __name__ == "__main__":
    CALC = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2, warnings="ignore")
