"""Progress of long calls: a callable told the rows taken after each block
(field rows one a block, the model's 2048), a bar drawn on request, and by
default a bar only for a call that has run a while in front of someone."""

import contextlib
import io
import os
import pty
import select
import subprocess
import sys
import textwrap
import threading
import time
import unittest
import warnings
from unittest import mock

import numpy as np

import ketrovane

B, T, ER, W, S = 0.25, 0.0014, 2.2, 0.168, 0.011
FUNCTIONS = ("analyse", "synthesise", "response", "sensitivity", "field", "s_matrix", "network")


def reports(call):
    """The (rows_done, rows_total) a call reports, and the threads it reports on."""
    seen, threads = [], set()

    def progress(done, total):
        seen.append((done, total))
        threads.add(threading.get_ident())

    call(progress)
    return seen, threads


def stderr_of(call):
    """What a call writes on the error stream."""
    with warnings.catch_warnings(), contextlib.redirect_stderr(io.StringIO()) as err:
        warnings.simplefilter("ignore")
        call()
    return err.getvalue()


class Callable(unittest.TestCase):
    def test_model_rows_report_each_block_of_2048(self):
        w = np.linspace(0.1, 0.3, 5000)
        seen, threads = reports(lambda p: ketrovane.analyse(B, T, ER, w, S, progress=p))
        self.assertEqual(seen, [(2048, 5000), (4096, 5000), (5000, 5000)])
        self.assertEqual(threads, {threading.get_ident()})  # on the calling thread

    def test_field_rows_report_one_by_one(self):
        w = np.linspace(0.1, 0.2, 7)
        seen, threads = reports(lambda p: ketrovane.analyse(B, T, ER, w, S, solver="field",
                                                            progress=p))
        self.assertEqual(seen, [(k, 7) for k in range(1, 8)])
        self.assertEqual(threads, {threading.get_ident()})
        seen, _ = reports(lambda p: ketrovane.field(B, T, ER, w[:3], S, progress=p))
        self.assertEqual(seen, [(1, 3), (2, 3), (3, 3)])

    def test_every_function_reports_its_rows(self):
        f = np.linspace(500, 1500, 3000)
        calls = {
            "analyse": lambda p: ketrovane.analyse(B, T, ER, W, S, f=f, progress=p),
            "synthesise": lambda p: ketrovane.synthesise(B, T, ER, 50, f / 100, progress=p),
            "response": lambda p: ketrovane.response(zo=50, coupling=10, er=ER, f0=1000, f=f,
                                                     progress=p),
            "sensitivity": lambda p: ketrovane.sensitivity(B, T, ER, f / 10000, S, progress=p),
            "field": lambda p: ketrovane.field(B, T, ER, [0.1, 0.2], S, progress=p),
            "s_matrix": lambda p: ketrovane.s_matrix(zo=50, coupling=10, er=ER, f0=1000, f=f,
                                                     progress=p),
            "network": lambda p: ketrovane.network(zo=50, coupling=10, er=ER, f0=1000, f=f,
                                                   progress=p),
        }
        self.assertEqual(sorted(calls), sorted(FUNCTIONS))
        for name, call in calls.items():
            with self.subTest(name), warnings.catch_warnings():
                warnings.simplefilter("ignore")
                seen, _ = reports(call)
                done = [d for d, _ in seen]
                self.assertEqual(done, sorted(set(done)))  # increasing
                self.assertEqual(seen[-1][0], seen[-1][1])  # ending with every row
                self.assertEqual(seen[-1][1], 2 if name == "field" else len(f))

    def test_a_scalar_call_reports_its_one_row(self):
        seen, _ = reports(lambda p: ketrovane.synthesise(B, T, ER, 50, 10, progress=p))
        self.assertEqual(seen, [(1, 1)])

    def test_an_exception_from_the_callable_stops_the_call(self):
        class Enough(Exception):
            pass

        def enough(done, total):
            if done >= 2:
                raise Enough(done, total)

        for rows, solver in ((10000, "model"), (6, "field"), (3, "field")):
            with self.subTest(rows=rows, solver=solver):
                with self.assertRaises(Enough) as e, warnings.catch_warnings():
                    warnings.simplefilter("ignore")
                    ketrovane.analyse(B, T, ER, np.linspace(0.1, 0.2, rows), S, solver=solver,
                                      progress=enough)
                self.assertEqual(e.exception.args, (2048 if solver == "model" else 2, rows))

    def test_what_progress_takes(self):
        for name in FUNCTIONS:
            self.assertIsNone(
                ketrovane.__dict__[name].__kwdefaults__["progress"], name)
            self.assertIn("progress: ", ketrovane.__dict__[name].__doc__, name)
        with self.assertRaises(TypeError) as e:
            ketrovane.analyse(B, T, ER, W, S, progress="yes")
        self.assertEqual(str(e.exception), "progress=: expected True, False, None or a callable "
                                           "taking (rows_done, rows_total), not str")


class Bar(unittest.TestCase):
    W = np.linspace(0.1, 0.3, 5000)

    def test_true_draws_the_bar_to_every_row(self):
        err = stderr_of(lambda: ketrovane.analyse(B, T, ER, self.W, S, progress=True))
        self.assertIn("analyse", err)
        self.assertIn("5000/5000", err)
        self.assertIn("100%", err)
        err = stderr_of(lambda: ketrovane.s_matrix(zo=50, coupling=10, er=ER, f0=1000,
                                                   f=np.arange(3000.0) + 1, progress=True))
        self.assertIn("s_matrix", err)
        self.assertIn("3000/3000", err)

    # The bar is closed before the call warns, so the note is not drawn over.
    def test_the_bar_is_done_before_the_note(self):
        with warnings.catch_warnings(), contextlib.redirect_stderr(io.StringIO()) as err:
            warnings.simplefilter("always")
            ketrovane.analyse(B, T, ER, self.W, S, progress=True)
        bar, note = err.getvalue().split("\n", 1)
        self.assertIn("5000/5000", bar)
        self.assertIn("ModelAccuracyWarning", note)

    def test_false_draws_nothing(self):
        with mock.patch.object(ketrovane, "_PROGRESS_DELAY", 0.0), \
                mock.patch.object(ketrovane, "_interactive", return_value=True):
            self.assertEqual(stderr_of(lambda: ketrovane.analyse(B, T, ER, self.W, S,
                                                                 progress=False)), "")

    def test_true_says_how_to_install_tqdm(self):
        with mock.patch.dict(sys.modules, {"tqdm": None}):
            with self.assertRaises(ImportError) as e:
                ketrovane.analyse(B, T, ER, self.W, S, progress=True)
        self.assertIn("python3-tqdm", str(e.exception))


class ByDefault(unittest.TestCase):
    """progress=None: a bar once the call has run _PROGRESS_DELAY seconds
    with rows to come, and only if someone is watching."""

    W = np.linspace(0.1, 0.3, 5000)

    def default_stderr(self, delay, interactive, call=None):
        with mock.patch.object(ketrovane, "_PROGRESS_DELAY", delay), \
                mock.patch.object(ketrovane, "_interactive", return_value=interactive):
            return stderr_of(call or (lambda: ketrovane.analyse(B, T, ER, self.W, S)))

    def test_a_long_call_in_front_of_someone_draws_the_bar(self):
        err = self.default_stderr(0.0, True)
        self.assertIn("analyse", err)
        self.assertIn("/5000", err)
        self.assertEqual(err.split("\r")[-2].strip(), "")  # and takes it away when done

    def test_not_for_a_short_call(self):
        self.assertEqual(self.default_stderr(60.0, True), "")
        # One block, or one row, is done before anything could be shown.
        self.assertEqual(self.default_stderr(
            0.0, True, lambda: ketrovane.analyse(B, T, ER, self.W[:2000], S)), "")
        self.assertEqual(self.default_stderr(0.0, True, lambda: ketrovane.analyse(B, T, ER, W, S)),
                         "")

    def test_not_when_nobody_watches(self):
        self.assertEqual(self.default_stderr(0.0, False), "")

    def test_nothing_without_tqdm(self):
        with mock.patch.dict(sys.modules, {"tqdm": None}):
            self.assertEqual(self.default_stderr(0.0, True), "")


def run_with_stderr_at_a_terminal(script):
    """The error stream of a python3 running `script` at a pseudo-terminal."""
    controller, terminal = pty.openpty()
    child = subprocess.Popen([sys.executable, "-c", script], stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=terminal, env=dict(os.environ))
    os.close(terminal)
    out = b""
    deadline = time.monotonic() + 120
    while time.monotonic() < deadline:
        if select.select([controller], [], [], 1.0)[0]:
            try:
                chunk = os.read(controller, 4096)
            except OSError:  # the terminal closed with the child
                break
            if not chunk:
                break
            out += chunk
        elif child.poll() is not None:
            break
    child.wait(timeout=60)
    os.close(controller)
    return out.decode(errors="replace")


class Watching(unittest.TestCase):
    def test_an_error_stream_at_a_terminal_is_watched(self):
        probe = "import sys, ketrovane; sys.stderr.write(str(ketrovane._interactive()))"
        self.assertEqual(run_with_stderr_at_a_terminal(probe), "True")
        piped = subprocess.run([sys.executable, "-c", probe], capture_output=True, text=True,
                               check=True)
        self.assertEqual(piped.stderr, "False")

    def test_ipython_is_watched(self):
        ipython = type(sys)("IPython")
        ipython.get_ipython = lambda: None  # imported, but no session
        with mock.patch.dict(sys.modules, {"IPython": ipython}), \
                contextlib.redirect_stderr(io.StringIO()):
            self.assertFalse(ketrovane._interactive())
            ipython.get_ipython = object
            self.assertTrue(ketrovane._interactive())

    def test_a_long_field_call_at_a_terminal_shows_its_bar(self):
        script = textwrap.dedent("""
            import warnings, numpy, ketrovane
            warnings.simplefilter("ignore")
            ketrovane._PROGRESS_DELAY = 0.05
            ketrovane.analyse(0.25, 0.0014, 2.2, numpy.linspace(0.1, 0.3, 60), 0.011,
                              solver="field")
        """)
        err = run_with_stderr_at_a_terminal(script)
        self.assertIn("analyse", err)
        self.assertIn("/60", err)


if __name__ == "__main__":
    unittest.main()
