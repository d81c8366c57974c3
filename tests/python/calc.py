"""ketrovane-calc run from the Python tests, for the numbers and messages the
package must reproduce.  The program is named by KETROVANE_CALC (CTest sets
it to the one built beside the package)."""

import csv
import io
import os
import subprocess

import numpy as np

PROGRAM = os.environ.get("KETROVANE_CALC", "")
if not PROGRAM:
    raise RuntimeError("KETROVANE_CALC must name the ketrovane-calc program")


def arguments(command, options):
    """The command line of `options` (name -> number or text; None is an
    option not given)."""
    args = [command]
    for name, value in options.items():
        if value is not None:
            args += [f"--{name}", value if isinstance(value, str) else repr(value)]
    return args


def run(args, status=0):
    done = subprocess.run([PROGRAM] + list(args), capture_output=True, text=True, check=False,
                          env={"PATH": "/usr/bin:/bin", "ASAN_OPTIONS": "detect_leaks=0"})
    assert status is None or done.returncode == status, (args, done.returncode, done.stderr)
    return done


def table(command, options, extra=()):
    """The CSV columns: float32 arrays (NaN for empty cells) and, for the
    synthesis status, an array of str."""
    # The package writes lengths in its call's unit, inches unless it says.
    unit = [] if "--length-unit" in extra or "--units" in extra else ["--length-unit", "in"]
    out = run(arguments(command, options) + ["--format", "csv"] + unit + list(extra),
              status=None if command == "synthesise" else 0)
    rows = list(csv.reader(io.StringIO(out.stdout)))
    names, cells = rows[0], rows[1:]
    columns = {}
    for k, name in enumerate(names):
        values = [row[k] for row in cells]
        if name == "status":
            columns[name] = np.array(values)
        else:
            columns[name] = np.array([np.float32(v) if v else np.float32("nan") for v in values],
                                     dtype=np.float32)
    return columns


def message(command, options, extra=()):
    """The one-line message of a refused run, without the program's name."""
    err = run(arguments(command, options) + list(extra), status=2).stderr
    assert err.startswith("ketrovane-calc: ") and err.count("\n") == 1, err
    return err[len("ketrovane-calc: "):-1]


def rows_of(text):
    """CSV text as columns: float32 arrays (NaN for empty cells), str arrays
    for the text columns (status, quantity, design)."""
    rows = list(csv.reader(io.StringIO(text)))
    names, cells = rows[0], rows[1:]
    columns = {}
    for k, name in enumerate(names):
        values = [row[k] for row in cells]
        if name in ("status", "quantity", "design"):
            columns[name] = np.array(values)
        else:
            columns[name] = np.array([np.float32(v) if v else np.float32("nan") for v in values],
                                     dtype=np.float32)
    return columns
