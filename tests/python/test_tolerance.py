"""ketrovane.tolerance: the samples and statistics the command line gives,
the keywords' forms (numbers in the call's units, dicts for vary and
limits), the refusals as the command line's messages, and slices put back
together, on one process and on a Dask cluster."""

import json
import os
import subprocess
import sys
import tempfile
import unittest

import numpy as np

import calc
import ketrovane

DESIGN = dict(b="62mil", t="1oz", er=3.66, w="24.8mil", s="6.4mil", etch="0.5mil",
              vary={"t": "10%", "b": "3%", "er": 0.04},
              limits={"coupling": (9.5, 10.5), "zo": (48, 52)}, samples=2000)
COMMAND_LINE = ["tolerance", "--b", "62mil", "--t", "1oz", "--er", "3.66", "--w", "24.8mil",
                "--s", "6.4mil", "--etch", "0.5mil", "--vary", "t=10%,b=3%,er=0.04", "--limit",
                "coupling=9.5:10.5,zo=48:52", "--samples", "2000", "--length-unit", "in"]
EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "tolerance_cluster.py")


def command_line_samples():
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "samples.csv")
        out = calc.run(COMMAND_LINE + ["--format", "csv", "--samples-output", path]).stdout
        with open(path, encoding="utf-8") as f:
            text = f.read()
    return calc.rows_of(text), calc.rows_of(out)


class Samples(unittest.TestCase):
    def test_samples_and_statistics_are_the_command_lines(self):
        r = ketrovane.tolerance(**DESIGN)
        samples, statistics = command_line_samples()
        np.testing.assert_array_equal(r.sample, np.arange(2000))
        for name in ("w_in", "t_in", "b_in", "er", "etch_in", "zoe_ohm", "zoo_ohm", "zo_ohm",
                     "coupling_db", "pass"):
            np.testing.assert_array_equal(np.float32(r[name]), samples[name], err_msg=name)
        self.assertEqual(list(r.status), list(samples["status"]))
        for name in ("mean", "std", "p0_1", "p50", "p99_9", "within_pct", "within_high_pct"):
            np.testing.assert_array_equal(np.float32(r.statistics[name]), statistics[name],
                                          err_msg=name)
        self.assertEqual(r.yield_["passed"], int(samples["pass"].sum()))

    def test_numbers_take_the_calls_units(self):
        text = ketrovane.tolerance(**{**DESIGN, "vary": {"w": "0.5mil", "er": "1%"}})
        numbers = ketrovane.tolerance(**{**DESIGN, "b": 62, "t": 1.37, "w": 24.8, "s": 6.4,
                                         "etch": 0.5, "vary": {"w": 0.5, "er": "1%"}},
                                      units="mil")
        np.testing.assert_array_equal(text.zoe_ohm, numbers.zoe_ohm)
        np.testing.assert_allclose(numbers.w_mil, text.w_in * 1000, rtol=1e-6)

    def test_limits_take_open_sides(self):
        r = ketrovane.tolerance(**{**DESIGN, "limits": {"zo": (None, 50.0)}})
        self.assertEqual(r.yield_["passed"], int((r.zo_ohm <= 50).sum()))

    def test_refusals_are_the_command_lines_messages_as_keywords(self):
        for changed, expected in ((dict(samples=0), "samples='0': expected a whole number"),
                                  (dict(vary={"q": 1}), "vary='q=1.0': expected NAME=X"),
                                  (dict(limits={"zo": (52, 48)}), "limits='zo=52.0:48.0'")):
            with self.assertRaises(ValueError) as caught:
                ketrovane.tolerance(**{**DESIGN, **changed})
            self.assertIn(expected, str(caught.exception))
        with self.assertRaises(TypeError):
            ketrovane.tolerance(**{**DESIGN, "samples": 10.0})


class Attribution(unittest.TestCase):
    def test_attribution_is_the_command_lines(self):
        # Faults: the Python result without the attribution, its rows other
        # than the command line's, or the samples' table taking the hidden
        # held columns.
        r = ketrovane.tolerance(**DESIGN, attribution=True)
        self.assertIsNone(ketrovane.tolerance(**DESIGN).attribution)
        out = calc.run(COMMAND_LINE + ["--attribution", "on", "--format", "csv"]).stdout
        held = calc.rows_of(out.split("\n\n")[1])
        self.assertEqual(list(r.attribution.quantity), ["t", "b", "er", "etch", "sum"])
        for name in ("held_yield_pct", "yield_gain_pct", "zo_ohm_share_pct"):
            np.testing.assert_array_equal(np.float32(r.attribution[name]), held[name],
                                          err_msg=name)
        self.assertEqual(r.columns, ketrovane.tolerance(**DESIGN).columns)

    def test_boards_variations_take_the_command_lines_texts(self):
        # Fault: a keyword of the boards' variations not passed on as the
        # command line's option, or the lots' results missing.
        vary = "t=+10%/-5%:uniform,b=3%:normal3,er=0.02,lot:0.04,etch=-0.3mil\u00b10.5mil"
        design = {**DESIGN, "etch": None, "vary": vary, "correlate": "b,er=0.6", "lot_size": 500}
        r = ketrovane.tolerance(**design)
        line = [a for a in COMMAND_LINE if a not in ("--etch", "0.5mil")]
        line[line.index("--vary") + 1] = vary
        out = calc.run(line + ["--correlate", "b,er=0.6", "--lot-size", "500", "--format",
                               "csv"]).stdout.split("\n\n")
        statistics, lots = calc.rows_of(out[0]), calc.rows_of(out[1])
        np.testing.assert_array_equal(np.float32(r.statistics.mean), statistics["mean"])
        np.testing.assert_array_equal(np.float32(r.lots.yield_pct), lots["yield_pct"])
        self.assertEqual(len(r.lots), 4)
        self.assertEqual(len(r.lot_spread), 1)


class Centring(unittest.TestCase):
    OFF = {**DESIGN, "w": "25.8mil", "s": "6.0mil", "etch": None,
           "vary": {"w": "1mil", "s": "1mil", "er": 0.05}, "samples": 1000}

    def test_centring_is_the_command_lines_and_its_slices_combine(self):
        # Faults: the Python result without the centring or with other
        # numbers than the command line's, its samples drawn about the
        # start, or slices put together about the start.
        r = ketrovane.tolerance(**self.OFF, centre=True)
        self.assertIsNone(ketrovane.tolerance(**self.OFF).centre)
        out = calc.run(["tolerance", "--b", "62mil", "--t", "1oz", "--er", "3.66", "--w",
                        "25.8mil", "--s", "6.0mil", "--vary", "w=1mil,s=1mil,er=0.05", "--limit",
                        "coupling=9.5:10.5,zo=48:52", "--samples", "1000", "--length-unit", "in",
                        "--centre", "on", "--format", "csv"]).stdout
        centring = calc.rows_of(out.split("\n\n")[1])
        self.assertEqual(list(r.centre.design), ["start", "centred"])
        for name in ("w_in", "s_in", "yield_pct", "yield_high_pct", "smoothed_yield_pct"):
            np.testing.assert_array_equal(np.float32(r.centre[name]), centring[name],
                                          err_msg=name)
        at_centred = ketrovane.tolerance(**{**self.OFF, "w": float(r.centre.w_in[1]),
                                            "s": float(r.centre.s_in[1])})
        np.testing.assert_array_equal(at_centred.statistics._numbers, r.statistics._numbers)
        parts = [ketrovane.tolerance(**self.OFF, centre=True, start=a, count=500)
                 for a in (0, 500)]
        combined = ketrovane.tolerance_combine(parts)
        np.testing.assert_array_equal(combined.statistics._numbers, r.statistics._numbers)
        np.testing.assert_array_equal(combined.centre._numbers, r.centre._numbers)


class MultiSection(unittest.TestCase):
    # A three-section 10 dB coupler over 2 to 6 GHz, its sections' W and S
    # and the board varied, limits on the band's outcomes.
    CALL = dict(sections=3, coupling=10, zo=50, band="2GHz:6GHz", b="62mil", t="1oz", er=3.66,
                vary={"w": "1mil", "s": "0.5mil", "b": "3%", "er": 0.04}, etch="0.3mil",
                limits={"deviation": (None, 0.45), "directivity": (30, None),
                        "return_loss": (35, None)}, samples=500, attribution=True)
    LINE = ["tolerance", "--sections", "3", "--coupling", "10", "--zo", "50", "--band",
            "2GHz:6GHz", "--b", "62mil", "--t", "1oz", "--er", "3.66", "--vary",
            "w=1mil,s=0.5mil,b=3%,er=0.04", "--etch", "0.3mil", "--limit",
            "deviation=:0.45,directivity=30:,return_loss=35:", "--samples", "500",
            "--attribution", "on", "--length-unit", "in"]

    def test_the_call_is_the_command_lines(self):
        # Faults: a keyword of the multi-section coupler or a band limit not
        # passed on as the command line's option, the samples, statistics
        # or attribution other than the command line's, or slices of a
        # multi-section run not put back together.
        r = ketrovane.tolerance(**self.CALL)
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "samples.csv")
            out = calc.run(self.LINE + ["--format", "csv", "--samples-output", path]).stdout
            with open(path, encoding="utf-8") as f:
                samples = calc.rows_of(f.read())
        statistics, held = (calc.rows_of(part) for part in out.split("\n\n"))
        for name in ("w1_in", "s3_in", "b_in", "etch_in", "coupling_deviation_db",
                     "least_directivity_db", "least_return_loss_db", "pass"):
            np.testing.assert_array_equal(np.float32(r[name]), samples[name], err_msg=name)
        for name in ("nominal", "mean", "std", "p99_9", "within_pct"):
            np.testing.assert_array_equal(np.float32(r.statistics[name]), statistics[name],
                                          err_msg=name)
        for name in ("held_yield_pct", "coupling_deviation_db_share_pct"):
            np.testing.assert_array_equal(np.float32(r.attribution[name]), held[name],
                                          err_msg=name)
        self.assertEqual(list(r.attribution.quantity), ["w", "s", "b", "er", "etch", "sum"])
        parts = [ketrovane.tolerance(**self.CALL, start=a, count=250) for a in (250, 0)]
        combined = ketrovane.tolerance_combine(parts)
        np.testing.assert_array_equal(combined.statistics._numbers, r.statistics._numbers)

    def test_centring_is_refused(self):
        with self.assertRaisesRegex(ValueError, "centre='on': not with sections"):
            ketrovane.tolerance(**self.CALL, centre=True)


class FieldFailures(unittest.TestCase):
    def test_strips_too_far_apart_fail_on_the_field_not_the_model(self):
        # Broadside strips an inch apart sideways: the field cannot resolve
        # their coupling, and every sample says the field failed it.
        r = ketrovane.tolerance(b="62mil", t="1oz", er=3.66, w="20mil", geometry="broadside",
                                sv="10mil", wo=1, vary={"w": "1mil"}, samples=3, solver="field")
        self.assertEqual(r.not_computed["field_failed"], 3)
        self.assertEqual(r.not_computed["model_failed"], 0)


class Slices(unittest.TestCase):
    def test_slices_combine_to_the_whole_run(self):
        whole = ketrovane.tolerance(**DESIGN)
        parts = [ketrovane.tolerance(**DESIGN, start=start, count=count)
                 for start, count in ((1500, 500), (0, 333), (333, 1167))]
        combined = ketrovane.tolerance_combine(parts)
        np.testing.assert_array_equal(combined._numbers, whole._numbers)
        np.testing.assert_array_equal(combined.statistics._numbers, whole.statistics._numbers)
        self.assertEqual(combined.yield_, whole.yield_)
        np.testing.assert_array_equal(combined.sample, whole.sample)

    def test_a_gap_or_another_run_is_refused(self):
        a = ketrovane.tolerance(**DESIGN, count=100)
        with self.assertRaisesRegex(ValueError, "samples 100 to 199 are missing"):
            ketrovane.tolerance_combine([a, ketrovane.tolerance(**DESIGN, start=200, count=10)])
        with self.assertRaisesRegex(ValueError, "different runs"):
            ketrovane.tolerance_combine([a, ketrovane.tolerance(**DESIGN, seed=2, start=100)])

    @unittest.skipIf("asan" in os.environ.get("LD_PRELOAD", ""),
                     "worker processes of the sanitizer build's interpreter")
    def test_a_dask_cluster_gives_the_same_run(self):
        # The run as the command takes it, and as a JSON request: a design
        # of the options, not the example's own.
        with tempfile.TemporaryDirectory() as d:
            request = os.path.join(d, "run.json")
            with open(request, "w", encoding="utf-8") as f:
                json.dump({**DESIGN, "samples": 90, "seed": 3, "limits": {"zo": [49.5, 50.5]}}, f)
            for run in (["--", *COMMAND_LINE[1:-4], "--samples", "120", "--units", "in"],
                        ["--request", request]):
                done = subprocess.run([sys.executable, EXAMPLE, "--chunk", "25", "--workers",
                                       "2", "--check", *run], capture_output=True, text=True,
                                      check=False, timeout=300)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                self.assertIn("identical: every sample, the statistics and the yield",
                              done.stdout)
                self.assertIn("120 samples" if run[0] == "--" else "90 samples", done.stdout)


if __name__ == "__main__":
    unittest.main()
