"""ketrovane.response(run=True): a stand-in full-wave model that hands back
the ideal section's own four-port reads as the ideal section, with each
mesh's status; one that does not settle raises, writing no result."""

import os
import signal
import subprocess
import sys
import tempfile
import unittest

import numpy as np

import ketrovane

COUPLER = dict(b="62mil", t="1oz", er=3.66, w="24.8mil", s="6.4mil", f0=2000)
F = np.arange(1500.0, 2501.0, 10.0)

# The model's part: the ideal section's matrix (written beside it as
# ideal.npy) as its sparameters.csv, then `ENDING`.
STAND_IN = '''import json, os, sys
import numpy as np
here = os.path.dirname(os.path.abspath(__file__))
mesh = sys.argv[sys.argv.index("--mesh") + 1]
out = os.path.join(here, mesh)
os.makedirs(out, exist_ok=True)
print("stage: excitation 1 of 4", flush=True)
f, s = np.load(os.path.join(here, "f.npy")), np.load(os.path.join(here, "ideal.npy"))
names = [f"s{i}{j}_{p}" for i in range(1, 5) for j in range(1, 5) for p in ("re", "im")]
with open(os.path.join(out, "sparameters.csv"), "w") as file:
    file.write("f_hz," + ",".join(names) + "\\n")
    for fk, sk in zip(f, s):
        v = [x for e in sk.ravel() for x in (float(e.real), float(e.imag))]
        file.write(",".join(repr(x) for x in [float(fk) * 1e6] + v) + "\\n")
json.dump({"status": STATUS, "mesh": mesh, "energy_decay_db": DECAY, "cells": 10,
           "timesteps": 10, "excitations": 4, "seconds": 0.1},
          open(os.path.join(out, "status.json"), "w"))
'''


def has_openems():
    return subprocess.run(["/usr/bin/python3", "-c", "import openEMS, CSXCAD"],
                          capture_output=True).returncode == 0


@unittest.skipUnless(has_openems(), "python3-openems not installed")
class FullwaveRun(unittest.TestCase):
    def model(self, status, decay):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        ideal = ketrovane.network(**COUPLER, f=F)
        np.save(os.path.join(folder.name, "f.npy"), F)
        np.save(os.path.join(folder.name, "ideal.npy"), np.asarray(ideal.s))
        with open(os.path.join(folder.name, "coupler.py"), "w") as script:
            script.write(STAND_IN.replace("STATUS", repr(status)).replace("DECAY", repr(decay)))
        return folder.name

    def test_ideal_as_measured_reads_as_ideal(self):
        """Fails with the matrix transposed or in the other port order, the
        summary not over f, or both meshes not run."""
        folder = self.model("settled", -55.0)
        r = ketrovane.response(**COUPLER, f=F, fullwave=folder, run=True, mesh="both")
        laid = r.laid_out
        self.assertEqual([run["mesh"] for run in laid["runs"]], ["coarse", "fine"])
        self.assertEqual(laid["runs"][0]["energy_decay_db"], -55.0)
        for name, ideal in laid["ideal"].items():
            self.assertAlmostEqual(laid["laid_out"][name], ideal, delta=1e-4 * (1 + abs(ideal)),
                                   msg=name)
            self.assertEqual(laid["mesh_change"][name], 0.0, msg=name)
        self.assertAlmostEqual(laid["ideal"]["coupling_at_f0"], r.summary["coupling_at_f0_db"],
                               places=5)
        np.testing.assert_allclose(laid["s"], laid["s_ideal"], atol=1e-6)

    def test_the_layouts_options_and_the_search_refused_where_nothing_uses_them(self):
        """Fails with an artwork option or compensate="measured" taken
        silently without a model run, or a search that writes over a model
        changed by hand (as the stand-in is)."""
        for given in (dict(lead_length="0.05in"), dict(bend="arc"),
                      dict(compensate="measured")):
            with self.subTest(given=given), self.assertRaisesRegex(ValueError, "run=True"):
                ketrovane.response(**COUPLER, f=F, **given)
        folder = self.model("settled", -55.0)
        with self.assertRaisesRegex(ValueError, "redraws the model for each run"):
            ketrovane.response(**COUPLER, f=F, fullwave=folder, run=True, compensate="measured")
        self.assertFalse(os.path.exists(os.path.join(folder, "coarse")))

    def test_not_settled_raises(self):
        folder = self.model("not settled", -20.5)
        with self.assertRaisesRegex(RuntimeError, "did not settle: its energy fell only to -20.5 dB of its peak"):
            ketrovane.response(**COUPLER, f=F, fullwave=folder, run="on")

    def test_interrupt_stops_the_model(self):
        """Fails with the model left running (the call would last its 60 s),
        its partial results kept, the model removed, or the interrupt lost."""
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        with open(os.path.join(folder.name, "coupler.py"), "w") as script:
            script.write("import os, sys, time\n"
                         "out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'coarse')\n"
                         "os.makedirs(out, exist_ok=True)\n"
                         "open(os.path.join(out, 'partial.h5'), 'w').close()\n"
                         "print('stage: excitation 1 of 4', flush=True)\n"
                         "time.sleep(60)\n")
        call = ("import signal, warnings, ketrovane\n"
                "warnings.simplefilter('ignore')\n"
                "signal.signal(signal.SIGINT, signal.default_int_handler)\n"
                "try:\n"
                f"    ketrovane.response(**{COUPLER!r}, f=[1900.0, 2000.0], fullwave={folder.name!r},"
                " run=True)\n"
                "except KeyboardInterrupt:\n"
                "    print('interrupted', flush=True)\n")
        caller = subprocess.Popen([sys.executable, "-c", call], stderr=subprocess.PIPE,
                                  stdout=subprocess.PIPE, text=True)
        self.assertIn("stage: excitation 1 of 4", caller.stderr.readline())
        caller.send_signal(signal.SIGINT)
        out, _ = caller.communicate(timeout=15)
        self.assertEqual(out, "interrupted\n")
        self.assertTrue(os.path.exists(os.path.join(folder.name, "coupler.py")))
        self.assertFalse(os.path.exists(os.path.join(folder.name, "coarse")))


if __name__ == "__main__":
    unittest.main()
