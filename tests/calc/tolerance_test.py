"""ketrovane-calc tolerance end to end: the statistics table against numpy's
statistics of the samples file, slices that make the whole run, the JSON
and the chart, samples that cannot be computed, and the refusals.

Usage: tolerance_test.py PATH/TO/ketrovane-calc
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

CALC = None  # set from the command line

COUPLER = ["tolerance", "--b", "62mil", "--t", "1oz", "--er", "3.66", "--w", "24.8mil",
           "--s", "6.4mil", "--etch", "+-0.5mil", "--vary", "t=10%", "--vary", "b=\u00b13%,er=0.04",
           "--limit", "coupling=9.5:10.5", "--limit", "zo=48:52"]


def run(args, status=0, cwd=None):
    done = subprocess.run([CALC] + args, cwd=cwd, capture_output=True, text=True, check=False)
    assert done.returncode == status, (args, done.returncode, done.stderr)
    return done


def csv_table(text):
    rows = list(csv.DictReader(io.StringIO(text)))
    return {name: [r[name] for r in rows] for name in rows[0]}


def wilson(passed, n, z=1.959963984540054):
    p = passed / n
    centre = (p + z * z / (2 * n)) / (1 + z * z / n)
    half = z * math.sqrt(p * (1 - p) / n + z * z / (4 * n * n)) / (1 + z * z / n)
    return max(0.0, centre - half), min(1.0, centre + half)


class Statistics(unittest.TestCase):
    def test_the_table_is_the_statistics_of_the_samples(self):
        with tempfile.TemporaryDirectory() as d:
            samples_path = os.path.join(d, "samples.csv")
            table = csv_table(run(COUPLER + ["--samples", "5000", "--format", "csv",
                                             "--samples-output", samples_path]).stdout)
            with open(samples_path, encoding="utf-8") as f:
                samples = csv_table(f.read())
        self.assertEqual(samples["sample"], [str(i) for i in range(5000)])
        for row, quantity in enumerate(table["quantity"][:-1]):
            values = np.array(samples[quantity], dtype=np.float32).astype(np.float64)
            expected = [values.mean(), values.std(ddof=1)] + list(
                np.percentile(values, [0.1, 1, 5, 50, 95, 99, 99.9]))
            got = [float(table[c][row]) for c in ("mean", "std", "p0_1", "p1", "p5", "p50",
                                                  "p95", "p99", "p99_9")]
            np.testing.assert_allclose(got, expected, rtol=2e-6, err_msg=quantity)
        passed = sum(int(p) for p in samples["pass"])
        self.assertEqual(table["quantity"][-1], "all_limits")
        self.assertAlmostEqual(float(table["within_pct"][-1]), 100 * passed / 5000, places=4)
        low, high = wilson(passed, 5000)
        self.assertAlmostEqual(float(table["within_low_pct"][-1]), 100 * low, places=4)
        self.assertAlmostEqual(float(table["within_high_pct"][-1]), 100 * high, places=4)
        # Each sample passes when both its outcomes are within their limits.
        zo = np.array(samples["zo_ohm"], dtype=float)
        coupling = np.abs(np.array(samples["coupling_db"], dtype=float))
        within = (zo >= 48) & (zo <= 52) & (coupling >= 9.5) & (coupling <= 10.5)
        self.assertEqual(passed, int(within.sum()))

    def test_slices_make_the_whole_run(self):
        with tempfile.TemporaryDirectory() as d:
            names = []
            for name, slice_args in (("whole", []), ("head", ["--count", "777"]),
                                     ("tail", ["--start", "777"])):
                path = os.path.join(d, name + ".csv")
                run(COUPLER + ["--samples", "2000", "--seed", "42", "--samples-output", path,
                               "--output", os.devnull] + slice_args)
                with open(path, encoding="utf-8") as f:
                    names.append(f.read().splitlines())
        whole, head, tail = names
        self.assertEqual(whole, head + tail[1:])

    def test_json_carries_the_yield_and_the_samples_their_index(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "samples.json")
            head = json.loads(run(COUPLER + ["--samples", "300", "--start", "100", "--format",
                                             "json", "--samples-output", path]).stdout)
            with open(path, encoding="utf-8") as f:
                samples = json.load(f)
        tolerance = head["tolerance"]
        self.assertEqual((tolerance["samples"], tolerance["start"], tolerance["count"]),
                         (300, 100, 200))
        passed = sum(r["pass"] for r in samples["rows"])
        self.assertEqual(tolerance["yield"]["passed"], passed)
        self.assertEqual([r["sample"] for r in samples["rows"]], list(range(100, 300)))
        self.assertEqual(samples["columns"][0], "sample")
        self.assertEqual(head["inputs"]["vary_t"]["given"], "t=10%")

    # Faults: the seed echoed through a float (9007199254740993 as
    # ...992.0), a limit echoed as a range of two rows with a step, and a
    # coupling limit not in the table's sign.
    def test_inputs_echo_the_seed_exactly_and_a_limit_as_its_ends(self):
        head = json.loads(run(COUPLER + ["--samples", "10", "--seed", "9007199254740993",
                                         "--limit", "return_loss=20:", "--f0", "1GHz",
                                         "--format", "json"]).stdout)
        inputs = head["inputs"]
        self.assertEqual(inputs["seed"]["value"], 9007199254740993)
        self.assertIsInstance(inputs["seed"]["value"], int)
        self.assertEqual(head["tolerance"]["seed"], 9007199254740993)
        for name, low, high in (("limit_coupling", -10.5, -9.5), ("limit_zo", 48, 52),
                                ("limit_return_loss", 20, None)):
            self.assertEqual((inputs[name]["low"], inputs[name]["high"]), (low, high), name)
            self.assertFalse({"start", "step", "rows"} & set(inputs[name]), name)
        coupling = next(r for r in head["rows"] if r["quantity"] == "coupling_db")
        self.assertEqual((coupling["limit_low"], coupling["limit_high"]), (-10.5, -9.5))

    def test_the_chart_is_drawn(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "h.png")
            run(COUPLER + ["--samples", "500", "--plot", path, "--output", os.devnull])
            with open(path, "rb") as f:
                self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")

    # Fault: histograms that show the limits alone, without the yield, the
    # nominal, the mean, or the design and tolerances they are of.
    def test_the_chart_marks_the_yield_nominal_and_mean_under_its_design(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "h.svg")
            done = run(COUPLER + ["--samples", "500", "--plot", path, "--format", "json"])
            with open(path, encoding="utf-8") as f:
                svg = f.read()
        head = json.loads(done.stdout)
        y = head["tolerance"]["yield"]
        rows = {r["quantity"]: r for r in head["rows"]}
        for text in ("Design: er 3.66, b 62mil, t 1oz, w 24.8mil, s 6.4mil",
                     "Tolerances: t=10%, b=\u00b13%, er=0.04, etch +-0.5mil (normal, 3 standard "
                     "deviations)",
                     f"Yield {y['share_pct']:.4g} % (95 % confidence", "of 500 samples, seed 1",
                     f"nominal {rows['coupling_db']['nominal']:.5g} (solid), mean "
                     f"{rows['coupling_db']['mean']:.5g} (dotted)",
                     f"nominal {rows['zo_ohm']['nominal']:.5g} (solid)"):
            self.assertIn(text, svg)
        # A line per panel for the nominal (green) and the mean (orange).
        self.assertEqual(svg.count("rgb( 46, 125,  50)"), 2)
        self.assertGreaterEqual(svg.count("rgb(239, 108,   0)"), 2)


class Combine(unittest.TestCase):
    """--combine: the whole run's statistics from its slices' samples files."""

    RUN = COUPLER + ["--samples", "1200", "--seed", "9", "--f0", "1GHz", "--limit",
                     "isolation=20:"]

    def slices(self, d, bounds, extra=()):
        paths = []
        for start, count in bounds:
            path = os.path.join(d, f"{start}-{count}.json")
            run(self.RUN + list(extra) + ["--start", str(start), "--count", str(count),
                                          "--samples-output", path, "--output", os.devnull])
            paths.append(path)
        return paths

    # Faults: a slice's samples dropped or taken twice, statistics of the
    # slices' order rather than the samples', an output format not given.
    def test_slices_in_any_order_give_the_whole_runs_outputs(self):
        with tempfile.TemporaryDirectory() as d:
            paths = self.slices(d, ((700, 500), (0, 300), (300, 400)))
            for form in ("table", "csv", "json"):
                whole = run(self.RUN + ["--format", form])
                combined = run(["tolerance", "--combine"] + paths + ["--format", form])
                # The JSON's inputs too: the options read back as given.
                self.assertEqual(combined.stdout, whole.stdout, form)

    # Fault: the run's solver, law and geometry not echoed, so a field run's
    # slices were put together about the model's nominal design under the
    # default law, and an off-centre pair's slices could not be read back.
    def test_the_runs_choices_come_back_with_its_slices(self):
        shaped = ["tolerance", "--w", "24.8mil", "--s", "6.4mil", "--h", "20mil", "--b", "62mil",
                  "--t", "1.4mil", "--er", "3.66", "--geometry", "edge-offset", "--solver",
                  "field", "--dist", "uniform", "--vary", "w=1mil,s=1mil", "--samples", "40",
                  "--limit", "coupling=9.5:10.5"]
        with tempfile.TemporaryDirectory() as d:
            paths = [os.path.join(d, f"{start}.json") for start in (0, 20)]
            for path, slice_args in zip(paths, (["--count", "20"], ["--start", "20"])):
                run(shaped + slice_args + ["--samples-output", path, "--output", os.devnull])
            combined = run(["tolerance", "--combine"] + paths)
        whole = run(shaped)
        self.assertEqual((combined.stdout, combined.stderr), (whole.stdout, whole.stderr))

    # Fault: bare numbers of a run under --units read back in inches.
    def test_bare_numbers_under_units_read_back_as_the_run_read_them(self):
        bare = ["tolerance", "--units", "mil", "--b", "62", "--t", "1.37", "--er", "3.66", "--w",
                "24.8", "--s", "6.4", "--etch", "0.5", "--vary", "t=0.137", "--limit",
                "coupling=9.5:10.5", "--samples", "500"]
        with tempfile.TemporaryDirectory() as d:
            paths = [os.path.join(d, f"{start}.json") for start in (0, 200)]
            for path, slice_args in zip(paths, (["--count", "200"], ["--start", "200"])):
                run(bare + slice_args + ["--samples-output", path, "--output", os.devnull])
            whole = json.loads(run(bare + ["--format", "json"]).stdout)
            combined = json.loads(run(["tolerance", "--combine"] + paths +
                                      ["--format", "json"]).stdout)
        self.assertEqual(combined["rows"], whole["rows"])
        self.assertEqual(combined["tolerance"], whole["tolerance"])
        self.assertEqual(combined["inputs"]["b"]["value"], 0.062)

    # Faults: a gap, an overlap or another run's slice taken as part of the run.
    def test_gaps_overlaps_and_other_runs_are_refused(self):
        with tempfile.TemporaryDirectory() as d:
            head, tail, middle = self.slices(d, ((0, 300), (600, 600), (200, 400)))
            (other,) = self.slices(d, ((300, 300),), ["--limit", "directivity=10:"])
            statistics = os.path.join(d, "statistics.json")
            run(self.RUN + ["--count", "300", "--format", "json", "--output", statistics])
            cases = (
                ([head, tail], "samples 300 to 599 are missing between"),
                ([head, middle, tail], "overlaps '" + head + "' at sample 200"),
                ([head, other, tail], "is a slice of another run than"),
                ([statistics], "(this is its statistics)"),
                ([head, "--b", "62mil"], "--b '62mil': not with --combine"),
            )
            for args, expected in cases:
                done = run(["tolerance", "--combine"] + args, status=2)
                self.assertIn(expected, done.stderr)
                self.assertEqual(len(done.stderr.splitlines()), 1, done.stderr)


class Attribution(unittest.TestCase):
    ATTRIBUTED = COUPLER + ["--samples", "2000", "--attribution", "on"]

    def test_every_format_carries_the_same_attribution_and_the_same_statistics(self):
        # Faults: the hidden held columns leaking into the samples output, the
        # statistics changed by attribution, a format without the attribution
        # or with other numbers than the others, JSON left unparseable.
        with tempfile.TemporaryDirectory() as d:
            plain_path, held_path = os.path.join(d, "plain.csv"), os.path.join(d, "held.csv")
            plain = run(COUPLER + ["--samples", "2000", "--format", "csv", "--samples-output",
                                   plain_path]).stdout
            held = run(self.ATTRIBUTED + ["--format", "csv", "--samples-output",
                                          held_path]).stdout
            with open(plain_path, encoding="utf-8") as a, open(held_path, encoding="utf-8") as b:
                self.assertEqual(a.read(), b.read())
        statistics, attribution = held.split("\n\n")
        self.assertEqual(statistics + "\n", plain)
        by_csv = csv_table(attribution)
        self.assertEqual(by_csv["quantity"], ["t", "b", "er", "etch", "sum"])
        self.assertEqual(list(by_csv)[5:], ["coupling_db_share_pct", "zo_ohm_share_pct"])
        as_json = json.loads(run(self.ATTRIBUTED + ["--format", "json"]).stdout)
        self.assertEqual([r["quantity"] for r in as_json["attribution"]], by_csv["quantity"])
        for column in ("held_yield_pct", "yield_gain_pct", "coupling_db_share_pct"):
            self.assertEqual([r[column] for r in as_json["attribution"]],
                             [float(x) if x else None for x in by_csv[column]], column)
        table = run(self.ATTRIBUTED).stdout
        self.assertIn("Attribution: the yield with each quantity at its nominal value", table)
        etch_row = next(line for line in table.splitlines() if line.strip().startswith("etch"))
        self.assertEqual(float(etch_row.split()[1]), float(by_csv["held_yield_pct"][3]))

    def test_the_held_yield_is_the_run_without_the_quantity(self):
        # Fault: a held yield that is not the yield of the run that does not
        # vary the quantity, with the same seed.
        held = csv_table(run(self.ATTRIBUTED + ["--format", "csv"]).stdout.split("\n\n")[1])
        no_etch = [a for a in COUPLER if a not in ("--etch", "+-0.5mil")]
        without = csv_table(run(no_etch + ["--samples", "2000", "--format", "csv"]).stdout)
        self.assertEqual(held["held_yield_pct"][3], without["within_pct"][-1])

    def test_the_chart_has_the_attribution_panel(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "h.svg")
            run(self.ATTRIBUTED + ["--plot", path, "--output", os.devnull])
            with open(path, encoding="utf-8") as f:
                self.assertIn("Yield gained with each quantity at its nominal value", f.read())


class Centring(unittest.TestCase):
    # The coupler off its centre: W 1 mil wide, S 0.4 mil close.
    OFF = ["tolerance", "--b", "62mil", "--t", "1oz", "--er", "3.66", "--w", "25.8mil", "--s",
           "6.0mil", "--vary", "w=1mil,s=1mil,er=0.05", "--limit", "coupling=9.5:10.5,zo=48:52",
           "--samples", "2000", "--length-unit", "in"]
    CENTRED = OFF + ["--centre", "on"]

    def test_the_run_is_an_ordinary_run_at_the_centred_design(self):
        # Faults: the samples drawn about the start instead of the centred
        # design, centred values reported other than those used, a format
        # without the centring or with other numbers, the start's yield not
        # that of a run at the start, a centred yield below the start's.
        as_json = json.loads(run(self.CENTRED + ["--format", "json"]).stdout)
        start, centred = as_json["centre"]
        self.assertEqual((start["design"], centred["design"]), ("start", "centred"))
        self.assertEqual((start["w"], start["s"]), (0.0258, 0.006))
        self.assertGreater(centred["yield_pct"], start["yield_pct"] + 1)
        with_centred = self.OFF[:]
        with_centred[8], with_centred[10] = repr(centred["w"]), repr(centred["s"])
        csv_run = run(self.CENTRED + ["--format", "csv"]).stdout
        statistics, centring = csv_run.split("\n\n")
        self.assertEqual(statistics + "\n", run(with_centred + ["--format", "csv"]).stdout)
        plain = csv_table(run(self.OFF + ["--format", "csv"]).stdout)
        self.assertEqual(float(plain["within_pct"][-1]), start["yield_pct"])
        self.assertEqual(float(csv_table(statistics)["within_pct"][-1]), centred["yield_pct"])
        by_csv = csv_table(centring)
        self.assertEqual(list(by_csv), ["design", "w_in", "s_in", "yield_pct", "yield_low_pct",
                                        "yield_high_pct", "smoothed_yield_pct"])
        for column in ("yield_pct", "yield_low_pct", "smoothed_yield_pct"):
            self.assertEqual([float(x) for x in by_csv[column]],
                             [start[column], centred[column]], column)
        table = run(self.CENTRED).stdout
        self.assertIn("Centred: the nominal of the largest yield on the first 2000 samples", table)
        row = next(line for line in table.splitlines() if line.strip().startswith("centred"))
        self.assertEqual(float(row.split()[3]), centred["yield_pct"])

    def test_the_chart_names_the_centred_design(self):
        # Fault: histograms of the centred design captioned with the start's
        # dimensions alone.
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "h.svg")
            run(self.CENTRED[:-4] + self.CENTRED[-2:] + ["--plot", path, "--output", os.devnull,
                                                           "--length-unit", "mil"])
            with open(path, encoding="utf-8") as f:
                self.assertRegex(f.read(), r"Centred: W 2[0-9.]+ mil, S [0-9.]+ mil \(yield "
                                           r"[0-9.]+ % on the first 2000 samples, from [0-9.]+ %\)")

    def test_the_fabs_least_width_bounds_the_search(self):
        # Fault: --min-width read but not passed to the search.
        free = json.loads(run(self.CENTRED + ["--format", "json"]).stdout)["centre"][1]
        self.assertLess(free["w"], 0.0258)
        bounded = json.loads(run(self.CENTRED + ["--min-width", "25.5mil", "--format",
                                                 "json"]).stdout)["centre"][1]
        self.assertGreaterEqual(bounded["w"], np.float32(0.0255))

    def test_slices_of_a_centred_run_make_the_whole_run(self):
        # Fault: --combine reading a centred run's slices about the start
        # (their nominal column and the centring lost).
        with tempfile.TemporaryDirectory() as d:
            head, tail = os.path.join(d, "head.json"), os.path.join(d, "tail.json")
            run(self.CENTRED + ["--count", "900", "--samples-output", head, "--output",
                                os.devnull])
            run(self.CENTRED + ["--start", "900", "--samples-output", tail, "--output",
                                os.devnull])
            combined = run(["tolerance", "--combine", tail, head, "--format", "json"]).stdout
        self.assertEqual(combined, run(self.CENTRED + ["--format", "json"]).stdout)

    def test_refusals(self):
        for args, expected in (
                (["--centre", "on"], "--centre 'on': centring searches for the largest yield; "
                                     "give the limits with --limit"),
                (["--min-gap", "5mil"], "--min-gap '5mil': it bounds the search of --centre on")):
            done = run(self.OFF[:13] + ["--samples", "10"] + args, status=2)
            self.assertEqual(done.stderr.strip(), "ketrovane-calc: " + expected)


class Lots(unittest.TestCase):
    def test_lots_and_their_spread_in_every_format(self):
        # Faults: a format without the lots' tables, a spread that is not
        # the lots' yields' (n - 1 standard deviation, least, most).
        args = COUPLER[:11] + ["--vary", "t=10%,b=3%,er=0.01,lot:0.06", "--lot-size", "250",
                               "--samples", "2000", "--limit", "coupling=9.8:10.2,zo=49:51"]
        lots_csv, spread_csv = run(args + ["--format", "csv"]).stdout.split("\n\n")[1:]
        lots, spread = csv_table(lots_csv), csv_table(spread_csv)
        yields = np.array(lots["yield_pct"], dtype=np.float64)
        self.assertEqual(len(yields), 8)
        self.assertEqual(spread["lots"], ["8"])
        self.assertAlmostEqual(float(spread["std_pct"][0]), yields.std(ddof=1), places=3)
        self.assertEqual(float(spread["min_pct"][0]), yields.min())
        as_json = json.loads(run(args + ["--format", "json"]).stdout)
        self.assertEqual([r["yield_pct"] for r in as_json["lots"]], list(yields))
        self.assertEqual(as_json["lot_spread"][0]["max_pct"], yields.max())
        self.assertIn("Lots of 250 samples: the yield of each", run(args).stdout)


class Failures(unittest.TestCase):
    # Strips one above the other across 16 mil, 1.37 mil thick, between
    # planes 20 mil apart, +-1.5 mil: where B falls below 18.74 mil the
    # strips leave no room, in about 13 % of the samples.
    BROADSIDE = ["tolerance", "--geometry", "broadside", "--solver", "field", "--b", "20mil",
                 "--t", "1oz", "--er", "3.66", "--w", "12mil", "--sv", "16mil", "--vary",
                 "b=1.5mil", "--dist", "uniform", "--samples", "120", "--format", "csv"]

    def test_samples_that_cannot_be_computed_are_counted_and_named(self):
        done = run(self.BROADSIDE, status=1)
        table = csv_table(done.stdout)
        computed = int(table["samples"][0])
        self.assertLess(computed, 120)
        failed = 120 - computed
        self.assertIn(f"{failed} of the 120 samples could not be computed: {failed} "
                      "strips_touch", done.stderr)
        self.assertEqual(len(done.stderr.strip().splitlines()), 1)
        # They count against the yield.
        self.assertAlmostEqual(float(table["within_pct"][-1]), 100 * computed / 120, places=3)


class Refusals(unittest.TestCase):
    def refused(self, args, expected):
        done = run(COUPLER[:11] + args, status=2)
        self.assertEqual(len(done.stderr.splitlines()), 1, done.stderr)
        self.assertIn(expected, done.stderr)
        self.assertEqual(done.stdout, "")

    def test_each_is_one_line_with_exit_2(self):
        self.refused(["--samples", "10", "--vary", "z=1mil"], "--vary 'z=1mil': expected NAME=X")
        self.refused(["--samples", "10", "--vary", "s=6mil"], "would make s zero or negative")
        self.refused(["--samples", "0"], "--samples '0': expected a whole number from 1")
        self.refused(["--samples", "1000000001"], "to 1000000000")
        self.refused(["--samples", "10", "--limit", "isolation=20:"], "add --f0 F")
        self.refused(["--samples", "10", "--geometry", "broadside", "--sv", "5mil"],
                     "--s '6.4mil': only for --geometry edge and edge-offset")
        done = run(COUPLER[:9] + ["--samples", "10", "--geometry", "broadside", "--sv", "5mil"],
                   status=2)
        self.assertIn("add --solver field", done.stderr)

    def test_a_run_larger_than_the_memory_stops_before_computing(self):
        with open(CALC, "rb") as f:
            if b"__asan_init" in f.read():
                self.skipTest("the sanitizers reserve more address space than the limit")
        import resource

        def limited():
            resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))

        done = subprocess.run([CALC] + COUPLER + ["--samples", "1000000000"], capture_output=True,
                              text=True, check=False, preexec_fn=limited, timeout=60)
        self.assertEqual(done.returncode, 2, done.stderr)
        self.assertIn("the percentiles of 1000000000 samples need 16 GB of memory", done.stderr)

    def test_a_refused_run_leaves_no_file(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "samples.csv")
            run(COUPLER + ["--samples", "10", "--samples-output", path, "--plot",
                           os.path.join(d, "h.txt")], status=2)
            self.assertEqual(os.listdir(d), [])


# A three-section 10 dB equal-ripple coupler over 2 to 6 GHz on the board
# above, each section's W and S and the board varied.
SECTIONS = ["tolerance", "--sections", "3", "--coupling", "10", "--zo", "50", "--band",
            "2000:6000", "--b", "62mil", "--t", "1oz", "--er", "3.66", "--vary",
            "w=1mil,s=0.5mil,b=3%,er=0.04", "--etch", "0.3mil", "--limit",
            "deviation=:0.45,directivity=30:,return_loss=35:"]
BAND_OUTCOMES = ("coupling_deviation_db", "least_directivity_db", "least_return_loss_db")


class MultiSection(unittest.TestCase):
    # Faults: the band's outcomes taken off the band (at f0 alone, or not
    # at its ends) or of another coupler than the multisection command's;
    # the statistics or the pass not of the samples' outcomes against the
    # limits; a section's draws shared with another section's; a sample
    # depending on the slice it is computed in.
    def test_the_band_outcomes_and_their_statistics(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "samples.csv")
            table = csv_table(run(SECTIONS + ["--samples", "600", "--format", "csv",
                                              "--samples-output", path]).stdout)
            with open(path, encoding="utf-8") as f:
                samples = csv_table(f.read())
            tail_path = os.path.join(d, "tail.csv")
            run(SECTIONS + ["--samples", "600", "--start", "350", "--samples-output", tail_path,
                            "--output", os.devnull])
            with open(tail_path, encoding="utf-8") as f:
                tail = csv_table(f.read())
        # The nominal outcomes: the multisection command's response at the
        # band's ends, f0 and seven points inside (every 500 MHz here).
        response = csv_table(run(["multisection"] + SECTIONS[1:15] +
                                 ["--f", "2000:6000:500", "--table", "response", "--format",
                                  "csv"]).stdout)
        coupled = np.array(response["s41_db"], dtype=float)
        nominal = [np.abs(coupled + 10).max(),
                   np.array(response["directivity_db"], dtype=float).min(),
                   np.array(response["return_loss_db"], dtype=float).min()]
        self.assertEqual(table["quantity"], list(BAND_OUTCOMES) + ["all_limits"])
        np.testing.assert_allclose([float(x) for x in table["nominal"][:3]], nominal, rtol=2e-6)
        for row, quantity in enumerate(BAND_OUTCOMES):
            values = np.array(samples[quantity], dtype=np.float32).astype(np.float64)
            expected = [values.mean(), values.std(ddof=1), np.percentile(values, 50)]
            got = [float(table[c][row]) for c in ("mean", "std", "p50")]
            np.testing.assert_allclose(got, expected, rtol=2e-6, err_msg=quantity)
        deviation, directivity, return_loss = (np.array(samples[q], dtype=float)
                                               for q in BAND_OUTCOMES)
        within = (deviation <= 0.45) & (directivity >= 30) & (return_loss >= 35)
        self.assertEqual([int(p) for p in samples["pass"]], within.astype(int).tolist())
        passed = int(within.sum())
        self.assertTrue(0 < passed < 600, passed)
        self.assertAlmostEqual(float(table["within_pct"][-1]), 100 * passed / 600, places=4)
        # Sections 1 and 3 have the same nominal W but draws of their own.
        w1, w3 = (np.array(samples[k], dtype=float) for k in ("w1_mil", "w3_mil"))
        self.assertAlmostEqual(np.median(w1), np.median(w3), delta=0.1)
        self.assertLess(abs(np.corrcoef(w1, w3)[0, 1]), 0.15)
        self.assertEqual(tail["sample"], samples["sample"][350:])
        self.assertEqual(tail["w2_mil"], samples["w2_mil"][350:])
        self.assertEqual(tail["coupling_deviation_db"], samples["coupling_deviation_db"][350:])

    # Fault: a quantity held nominal in some sections only, or the other
    # quantities drawn again when one is held: the held yield would not be
    # the yield of the run without that variation, to the bit.
    def test_attribution_is_the_run_without_each_quantity(self):
        args = ["--samples", "400", "--format", "json"]
        with_attribution = json.loads(run(SECTIONS + args + ["--attribution", "on"]).stdout)
        held = {r["quantity"]: r for r in with_attribution["attribution"]}
        self.assertEqual(list(held), ["w", "s", "b", "er", "etch", "sum"])
        varied = {"w": "w=1mil", "s": "s=0.5mil", "b": "b=3%", "er": "er=0.04"}
        for name in ("w", "s", "b", "er", "etch"):
            others = ",".join(v for k, v in varied.items() if k != name)
            without = list(SECTIONS)
            without[without.index("--vary") + 1] = others
            if name == "etch":
                del without[without.index("--etch"):without.index("--etch") + 2]
            run_without = json.loads(run(without + args).stdout)
            self.assertEqual(held[name]["held_yield_pct"],
                             run_without["rows"][-1]["within_pct"], name)
            self.assertEqual(held[name]["held_low_pct"],
                             run_without["rows"][-1]["within_low_pct"], name)

    # Faults: a choice that shapes the run (the profile, the law) not read
    # back from the slices' files, so that --combine refuses them or puts
    # them together as another run.
    def test_slices_combine_on_the_command_line(self):
        flat = ["tolerance", "--sections", "3", "--coupling", "10", "--zo", "50", "--f0", "3GHz",
                "--profile", "maximally-flat", "--b", "62mil", "--t", "1oz", "--er", "3.66",
                "--vary", "w=1mil,s=0.3mil", "--dist", "uniform", "--limit", "deviation=:0.3",
                "--samples", "300"]
        with tempfile.TemporaryDirectory() as d:
            paths = [os.path.join(d, name) for name in ("a.json", "b.json")]
            run(flat + ["--count", "120", "--samples-output", paths[0], "--output", os.devnull])
            run(flat + ["--start", "120", "--samples-output", paths[1], "--output", os.devnull])
            combined = run(["tolerance", "--combine", paths[1], paths[0]]).stdout
        self.assertEqual(combined, run(flat).stdout)
        self.assertIn("uniform within the half-width", combined)

    # Faults: a multi-section run taking what it cannot honour (one
    # coupler's dimensions, centring, lots, a percentage of a W that
    # differs per section, a single coupler's limits) instead of refusing.
    def test_refusals(self):
        for extra, expected in (
                (["--centre", "on"], "--centre 'on': not with --sections"),
                (["--w", "20mil"], "--w '20mil': not with --sections"),
                (["--lot-size", "10"], "--lot-size '10': not with --sections"),
                (["--limit", "zo=48:52"], "--limit 'zo=48:52': expected NAME=LOW:HIGH, NAME one "
                                          "of deviation")):
            done = run(SECTIONS + ["--samples", "10"] + extra, status=2)
            self.assertIn(expected, done.stderr)
            self.assertEqual(done.stdout, "")
        percentage = list(SECTIONS)
        percentage[percentage.index("--vary") + 1] = "w=5%"
        done = run(percentage + ["--samples", "10"], status=2)
        self.assertIn("--vary 'w=5%': a percentage of each section's own", done.stderr)


if __name__ == "__main__":
    CALC = sys.argv.pop(1)
    unittest.main()
