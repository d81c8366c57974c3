"""Single-section, edge-coupled stripline directional couplers.

Two equal strips of width w, thickness t and edge gap s, centred between
ground planes b apart in a dielectric of relative permittivity er.  The
functions compute what ``ketrovane-calc`` computes, with the same
single-precision model, the same checks and the same messages:

    analyse(b, t, er, w, s)            Zo, Zoe, Zoo, coupling, mode losses
    synthesise(b, t, er, zo, coupling) strip width and spacing
    response(zo=, coupling=, er=, f0=, f=)   four-port response
    sensitivity(b, t, er, w, s)        sensitivities of Zoe and Zoo
    field(b, t, er, w, s)              the field solution, with its error estimate
    s_matrix(...), network(...)        the 4x4 scattering matrix, skrf.Network
    layout(b, t, er, w, s, f0=)        the copper artwork, its files with file=

Arguments carry the names of the command's options, and their defaults and
help are the command's (each function's docstring lists them).  Numbers of
lengths are in inches and of frequencies in MHz unless ``units`` says
otherwise: ``units="mm"``, ``units="GHz"`` or ``units=("mm", "GHz")``
(lengths: in, mil, mm, um; frequencies: Hz, kHz, MHz, GHz).  Impedances are
in ohms, coupling in dB.  A single value may also be a text with its own
unit, read exactly as the command line reads it: ``roughness="5uin"``,
``f0="1GHz"``, ``rho="copper"``; a text without one is in ``units`` as a
number is, as the command line's ``--units`` reads it (``mils`` is ``mil``).

Arguments broadcast like numpy arrays, arrays of texts with units
(``w=["25mil", "20mil"]``) as well as of numbers; each element is one row
of the command, computed in C++.  A value the command line would refuse
raises ValueError with the command line's message, the option named as the
keyword (``w='-0.1': expected ...``), and for arrays the index of the
element.  Results are `Result` objects: its rows (``len(r)``, ``for row in
r``, ``r.to_pandas()``) and its columns, float64 numpy arrays named as the
command's CSV columns (``r.zoe_ohm``, ``r.w_mm``); a row whose numbers are
not finite has NaN there and says so in its ``status``.  Where the
closed-form model's rows reach a part of the map of its error against the
field solution where it may be off by more than 1 %, the call warns with a
`ModelAccuracyWarning`; where a frequency reaches the cut-off of the
stripline's first higher-order mode, with a `HigherOrderModeWarning`.  A
response swept over increasing frequencies of one coupler is summed up in
``r.summary``: the coupling at f0, the band within ``flatness`` dB of it
and the worst directivity, return loss and quadrature error and the range of
the amplitude balance over that band.
``analyze`` and ``synthesize`` are ``analyse`` and ``synthesise``.  Long
calls draw a progress bar when someone is watching (``progress=``).
"""

import collections as _collections
import decimal as _decimal
import fractions as _fractions
import html as _html
import itertools as _itertools
import keyword as _keyword
import math as _math
import numbers as _numbers
import os as _os
import re as _re
import shutil as _shutil
import subprocess as _subprocess
import tempfile as _tempfile
import sys as _sys
import time as _time
import warnings as _warnings

import numpy as _np

from . import _core

__all__ = ["Result", "ModelAccuracyWarning", "HigherOrderModeWarning", "FieldFailureWarning",
           "WeakSectionWarning", "analyse", "analyze",
           "synthesise", "synthesize", "response", "sensitivity", "field", "s_matrix", "network",
           "multisection", "Multisection", "tolerance", "tolerance_combine", "Tolerance", "line",
           "layout", "Layout"]
__version__ = _core.__version__


class ModelAccuracyWarning(UserWarning):
    """The closed-form model may be off by more than 1 % where the call's rows lie.

    The text says by how much (or that the rows leave the map of its error)
    and that ``solver="field"`` or ``solver="both"`` gives or compares the
    field solution; it names no row, so that Python's filters show it once
    for each part of the map a script's calls reach, not once for every
    width.  ``where`` names the worst rows (W, S and their ratios to B), and
    ``note`` is the line ``ketrovane-calc`` writes.
    """

    where = ""
    note = ""


class HigherOrderModeWarning(UserWarning):
    """A frequency of the call reaches the cut-off of the stripline's first
    higher-order mode (the parallel-plate mode, or the strip's own TE mode),
    above which the quasi-TEM analysis does not hold.

    The text is the note ``ketrovane-calc`` writes: the frequency, the
    cut-off, the mode and the cross-section.
    """


class WeakSectionWarning(UserWarning):
    """Sections of a multi-section coupler couple more weakly than -40 dB:
    in effect uncoupled lines, which add length and loss but next to no
    coupling.  The text names each with its coupling."""


class FieldFailureWarning(UserWarning):
    """Rows of the call have no field solution or loss, or strips too far
    apart for the field solution to resolve their coupling.

    Each such row says which in its ``status`` ("no_field_solution",
    "no_field_loss", "uncoupled"); the text gives, for each kind, how many
    rows and why the first failed: its element's index (in C order of the
    broadcast shape), its cross-section and what the solver said.
    """


_PLAIN = frozenset((float, int, str, type(None)))
_UNITS = {None: ("in", "MHz")}


def _units(units):
    try:
        return _UNITS[units]
    except KeyError:
        _UNITS[units] = _core.call_units(units)
        return _UNITS[units]
    except TypeError:  # unhashable: a list
        return _core.call_units(units)


# Spaces around a text, as a spreadsheet's cell may have them: ignored.
_PADDING = " \t"
_EXPECTED = "expected a number, a text, or an array of numbers or of texts"


def _are_texts(array):
    return array.dtype.kind == "U" or (array.dtype.kind == "O" and
                                       all(isinstance(x, str) for x in array.flat))


def _is_plain_number(x):
    """A number an object array may hold: a Python or numpy real, or a
    Decimal; not a bool."""
    return (not isinstance(x, (bool, _np.bool_)) and
            isinstance(x, (_numbers.Real, _decimal.Decimal)))


def _numbers_of_objects(array):
    """An object array of numbers (as a pandas frame of mixed columns
    gives) as float64, or None when it holds anything else."""
    if array.dtype.kind != "O" or not all(_is_plain_number(x) for x in array.flat):
        return None
    return _np.array([float(x) for x in array.flat], dtype=_np.float64).reshape(array.shape)


def _refuse_bools_among_numbers(name, value):
    """A list of numbers with True or False in it: numpy would read them as
    1 and 0, a width of 1 inch."""
    if isinstance(value, (list, tuple)) and any(
            isinstance(x, (bool, _np.bool_)) for x in _np.asarray(value, dtype=object).flat):
        raise TypeError(f"{name}=: True and False are not numbers here; {_EXPECTED}")


def _refuse_masked(name, value):
    """A masked array with a masked element: its mask cannot be honoured
    (every element is a row of the result), so it is refused."""
    if isinstance(value, _np.ma.MaskedArray) and _np.ma.getmaskarray(value).any():
        raise ValueError(f"{name}=: a masked array with masked elements; every element is a row, "
                         "so give the rows to compute: value.compressed(), or value.filled(x)")


def _refuse_numbers_among_texts(name, value):
    """A list of texts and numbers: numpy would make texts of the numbers,
    to be read in inches and MHz whatever the call's units."""
    if isinstance(value, (list, tuple)) and not _are_texts(_np.asarray(value, dtype=object)):
        raise TypeError(f"{name}=: a list of texts and numbers; give every value as a text with "
                        "its unit, or every value as a number")


def _as_values(name, value):
    """One argument as a float64 array or an array of texts, or
    TypeError/ValueError naming it."""
    _refuse_masked(name, value)
    try:
        array = _np.asarray(_np.ma.getdata(value))
    except (TypeError, ValueError, OverflowError) as e:
        raise TypeError(f"{name}=: {_EXPECTED} ({e})") from None
    if array.dtype.kind in "iuf":
        _refuse_bools_among_numbers(name, value)
        array = array.astype(_np.float64, copy=False)
    elif _are_texts(array):
        _refuse_numbers_among_texts(name, value)
    elif (numbers := _numbers_of_objects(array)) is not None:
        array = numbers
    else:
        raise TypeError(f"{name}=: {_EXPECTED}, not {type(value).__name__} of {array.dtype}")
    if array.size == 0:
        raise ValueError(f"{name}=: an empty array; expected at least one value")
    return array


def _broadcast_shape(names, arrays):
    """The shape the arrays (by argument index) broadcast to, or ValueError
    naming two that do not broadcast together."""
    try:
        return _np.broadcast_shapes(*(a.shape for a in arrays.values()))
    except ValueError:
        indices = list(arrays)
        for j, a in enumerate(indices):
            for b in indices[j + 1:]:
                try:
                    _np.broadcast_shapes(arrays[a].shape, arrays[b].shape)
                except ValueError:
                    raise ValueError(
                        f"{names[a]}= and {names[b]}=: shapes {arrays[a].shape} and "
                        f"{arrays[b].shape} do not broadcast together") from None
        raise


def _flattened(array, shape):
    """An array argument as _core takes it: float64 numbers, one or one per
    row; one text; or texts with the position of each row's text in them."""
    if array.dtype.kind == "f":
        return array.ravel() if array.size == 1 else _np.broadcast_to(array, shape).ravel()
    if array.size == 1:
        return str(array.flat[0]).strip(_PADDING)
    positions = _np.arange(array.size, dtype=_np.int64).reshape(array.shape)
    return [str(x).strip(_PADDING) for x in array.flat], _np.broadcast_to(positions, shape).ravel()


def _broadcast(names, values):
    """The values with each array flattened to its broadcast, and the shape."""
    values = list(values)
    arrays = {}
    for k, value in enumerate(values):
        if value is None:
            continue
        if isinstance(value, str):  # padding as a spreadsheet's cell has it
            values[k] = str(value).strip(_PADDING)
            continue
        if names[k] == "layers" and isinstance(value, (list, tuple)):
            continue  # one stack for every row, its layers read by _core
        arrays[k] = _as_values(names[k], value)
    shape = _broadcast_shape(names, arrays)
    rows = _math.prod(shape)
    if rows > _core.MOST_ROWS:
        raise ValueError(f"the arguments broadcast to shape {shape}: {rows} rows, more than "
                         f"{_core.MOST_ROWS}")
    for k, array in arrays.items():
        values[k] = _flattened(array, shape)
    return tuple(values), shape


def _prepared(names, values, units):
    length_unit, frequency_unit = _units(units)
    types = set(map(type, values))
    if _PLAIN.issuperset(types):
        if str in types:
            values = tuple([v.strip(_PADDING) if type(v) is str else v for v in values])
        return values, (), length_unit, frequency_unit
    values, shape = _broadcast(names, values)
    return values, shape, length_unit, frequency_unit


# ---- Progress of long calls ----

# Seconds a call runs before its bar appears by default.
_PROGRESS_DELAY = 2.0


def _tqdm():
    try:
        from tqdm import tqdm
    except ImportError as e:
        raise ImportError("progress=True draws its bar with tqdm: install Debian's python3-tqdm "
                          "(apt install python3-tqdm) or pip install tqdm") from e
    return tqdm


def _interactive():
    """Whether someone watches the error stream: it is a terminal, or the
    call runs in IPython (a notebook shows the error stream under its cell)."""
    try:
        if _sys.stderr is not None and _sys.stderr.isatty():
            return True
    except (AttributeError, ValueError):  # a stand-in or closed stream
        pass
    get_ipython = getattr(_sys.modules.get("IPython"), "get_ipython", None)
    return get_ipython is not None and get_ipython() is not None


class _Bar:
    """A tqdm bar on the error stream, moved on as each block of rows is
    taken; it stays when the rows are done."""

    def __init__(self, function, rows):
        self._bar = _tqdm()(total=rows, desc=function, unit="row", file=_sys.stderr)

    def __call__(self, done, total):
        self._bar.update(done - self._bar.n)

    def close(self):
        self._bar.close()


class _LateBar:
    """The bar of progress=None: it appears once the call has run for
    _PROGRESS_DELAY seconds with rows still to come, if someone is watching
    and tqdm is there, and goes when the rows are done."""

    def __init__(self, function):
        self._function = function
        self._due = _time.monotonic() + _PROGRESS_DELAY
        self._bar = None

    def __call__(self, done, total):
        if self._bar is not None:
            self._bar.update(done - self._bar.n)
        elif done < total and _time.monotonic() >= self._due:
            self._due = float("inf")  # decided once
            if _interactive():
                self._start(done, total)

    def _start(self, done, total):
        try:
            tqdm = _tqdm()
        except ImportError:
            return
        self._bar = tqdm(total=total, initial=done, desc=self._function, unit="row",
                         file=_sys.stderr, leave=False)

    def close(self):
        if self._bar is not None:
            self._bar.close()


def _reporter(progress, function, shape):
    """What the rows report their progress to: None, the caller's callable,
    or a bar."""
    if progress is None:
        return _LateBar(function) if shape else None
    if progress is False:
        return None
    if progress is True:
        return _Bar(function, _math.prod(shape))
    if callable(progress):
        return progress
    raise TypeError("progress=: expected True, False, None or a callable taking (rows_done, "
                    f"rows_total), not {type(progress).__name__}")


def _close(reporter):
    """The bar, if the rows reported to one, closed."""
    if isinstance(reporter, (_Bar, _LateBar)):
        reporter.close()


# ---- Results ----

# "at W 0.12 in, S 0.011 in (W/B 0.48, S/B 0.044, T/B 0.0056)": a row of the note.
# "at W ... (W/B ...)", or of a multi-section coupler "at sections 2 and 4, W ...".
_NOTE_ROW = _re.compile(r"at ((?:sections? [0-9][0-9, and]*?, )?W [^(]*\([^)]*\))")
_COMMAND_ADVICE = "--solver field gives the field solution, --solver both compares the two"
_PYTHON_ADVICE = 'solver="field" gives the field solution, solver="both" compares the two'


def _accuracy_wording(note):
    """(the text, the rows) of a ModelAccuracyWarning from the command's
    note: the bound worded for Python without the rows, and the rows."""
    rows = _NOTE_ROW.findall(note)
    text = _NOTE_ROW.sub("", note.removeprefix("note: ")).replace(_COMMAND_ADVICE, _PYTHON_ADVICE)
    text = " ".join(text.replace(" ,", ",").split())
    return text[:1].upper() + text[1:], "; ".join(rows)


def _accuracy_warning(note):
    """The command's accuracy note as a ModelAccuracyWarning worded for
    Python: its text the bound without the rows, which it keeps in where."""
    try:
        text, where = _WORDED[note]
    except KeyError:
        if len(_WORDED) > 64:  # notes of a loop over many cells
            _WORDED.clear()
        text, where = _WORDED.setdefault(note, _accuracy_wording(note))
    warning = ModelAccuracyWarning(text)
    warning.where = where
    warning.note = note
    return warning


_WORDED = {}

# The base unit of each input that a column echoes, and that unit's size in
# the base unit the rows write (inches; MHz).
_F = _fractions.Fraction
_IN_INCHES = {"in": _F(1), "mil": _F(1, 1000), "uin": _F(1, 10**6), "mm": _F(10, 254),
              "um": _F(1, 25400)}
_IN_MHZ = {"hz": _F(1, 10**6), "khz": _F(1, 1000), "mhz": _F(1), "ghz": _F(1000)}
_TEXT_NUMBER = _re.compile(r"\s*([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)\s*([A-Za-z]*)\s*")


def _echo_scale(dimension, length_unit, frequency_unit):
    """(the column's name ending, the size of each unit in the column's
    unit, the size of a bare number's unit) for an input of `dimension`,
    or None."""
    if dimension == "in":
        out = _IN_INCHES[length_unit.lower()]
        sizes = {u: v / out for u, v in _IN_INCHES.items()}
        return f"_{length_unit}", sizes, float(sizes[length_unit.lower()])
    if dimension == "MHz":
        return "_mhz", _IN_MHZ, float(_IN_MHZ[frequency_unit.lower()])
    return None


def _echo_plan(names, columns, length_unit, frequency_unit):
    """(argument position, column position, sizes, a bare number's size)
    of each argument a column echoes, made once for each command and
    units."""
    key = (names, columns, length_unit, frequency_unit)
    plan = _ECHO_PLANS.get(key)
    if plan is None:
        plan = []
        for k, name in enumerate(names):
            scale = _echo_scale(_OPTION_NAMED[name]["dimension"], length_unit, frequency_unit)
            column = scale and f"{_KEYWORDS[name]}{scale[0]}"
            if column and column in columns:
                plan.append((k, columns.index(column), scale[1], scale[2]))
        plan = _ECHO_PLANS.setdefault(key, tuple(plan))
    return plan


_ECHO_PLANS = {}


def _text_in(text, sizes):
    """A text's number in the column's unit (a bare number in inches or
    MHz, as the command line reads it), or NaN where it is not that simple."""
    match = _TEXT_NUMBER.fullmatch(text)
    unit = (match.group(2).lower() or ("in" if "in" in sizes else "mhz")) if match else None
    return float(_F(match.group(1)) * sizes[unit]) if unit in sizes else _math.nan


def _echoed(value, sizes, bare, shape):
    """An input in its column's unit, exactly as given, broadcast."""
    if isinstance(value, str):
        return _np.full(shape, _text_in(value, sizes))
    array = _np.asarray(value)
    if array.dtype.kind in "US" or array.dtype.kind == "O" and _are_texts(array):
        texts = array.astype(str)
        array = _np.vectorize(lambda t: _text_in(t, sizes), otypes=[float])(texts)
    else:
        array = array.astype(_np.float64) * bare if bare != 1 else array.astype(_np.float64)
    return _np.broadcast_to(array, shape)


def _echo_one(value, sizes, bare):
    """A scalar input in its column's unit, as given."""
    if type(value) is float or type(value) is int:
        return float(value) * bare if bare != 1 else float(value)
    if isinstance(value, str):
        return _text_in(value, sizes)
    return float(_np.asarray(value, dtype=_np.float64)) * bare


def _echo_inputs(result, names, given, length_unit, frequency_unit):
    """The columns that echo an input hold it as given, in float64: the
    rows computed it in single precision.  A column keeps the rows' number
    wherever the two differ by more than single precision's rounding (an
    input the rows read otherwise)."""
    numbers = result._numbers
    scalars = result.shape == ()
    for k, index, sizes, bare in _echo_plan(names, result.columns, length_unit, frequency_unit):
        value = given[k]
        if value is None:
            continue
        try:
            if scalars:
                echo, row = _echo_one(value, sizes, bare), numbers.item(index, 0)
                if abs(echo - row) <= 1e-6 * abs(row):
                    numbers[index, 0] = echo
                continue
            echo = _echoed(value, sizes, bare, result.shape).ravel()
        except (TypeError, ValueError, OverflowError):  # the rows read it otherwise
            continue
        rows = numbers[index]
        numbers[index] = _np.where(_np.abs(echo - rows) <= 1e-6 * _np.abs(rows), echo, rows)


def _model_run_asked(names, values):
    """The values with run=True read as "on" (as attribution=True is), and
    whether the call runs its full-wave model."""
    if "run" not in names:
        return values, False
    k = names.index("run")
    run = values[k]
    if isinstance(run, (bool, _np.bool_)):
        run = "on" if run else "off"
        values = values[:k] + (run,) + values[k + 1:]
    return values, isinstance(run, str) and run.strip(_PADDING) == "on"


def _refuse_measured_compensation(names, values):
    """compensate="measured" searches the section's length by running the
    full-wave model again and again: a response's with run=True; anywhere
    else it is refused rather than taken as off."""
    if "compensate" in names and values[names.index("compensate")] == "measured":
        raise ValueError('compensate="measured": only on response with fullwave=DIR and '
                         'run=True: the search runs the model')


def _without_artwork(names, values, runs_model):
    """A response's names and values without the options of its full-wave
    model's artwork, which the rows do not take; one given without run=True
    is refused rather than ignored."""
    kept = [k for k, name in enumerate(names) if not _OPTION_NAMED[name]["artwork"]]
    if len(kept) == len(names):
        return names, values
    for k, name in enumerate(names):
        if k not in kept and values[k] is not None and not runs_model:
            raise ValueError(f"{_KEYWORDS[name]}=: only with fullwave=DIR and run=True: it lays "
                             "out the coupler's full-wave model")
    return tuple(names[k] for k in kept), tuple(values[k] for k in kept)


def _table(command, names, values, units, progress, fullwave=None):
    values, runs_model = _model_run_asked(names, values)
    if runs_model and fullwave is None:
        raise ValueError("run=: expected fullwave=DIR, the directory of the model to run")
    if not runs_model:
        _refuse_measured_compensation(names, values)
    all_names, all_values = names, _switches(names, values)
    names, values = _without_artwork(names, values, runs_model)
    if fullwave is not None and not isinstance(fullwave, (str, _os.PathLike)):
        raise TypeError(f"fullwave=: expected a directory's name, got {fullwave!r}")
    given = values
    values, shape, length_unit, frequency_unit = _prepared(names, values, units)
    # A call with scalars and progress left alone reports to nothing (its
    # one row is done before anything could be shown), at no cost.
    reporter = None if progress is None and not shape else _reporter(progress, command, shape)
    try:
        *table, note, mode_note, failure_note, summary = _core.table(
            command, names, values, length_unit, frequency_unit, shape, reporter)
    finally:
        if reporter is not None:
            _close(reporter)
    if note is not None:
        _warnings.warn(_accuracy_warning(note), stacklevel=3)
    if mode_note is not None:
        _warnings.warn(mode_note, HigherOrderModeWarning, stacklevel=3)
    if failure_note is not None:
        _warnings.warn(failure_note, FieldFailureWarning, stacklevel=3)
    result = Result(command, shape, *table)
    result.summary = summary
    if runs_model:
        art = [k for k, name in enumerate(all_names) if name not in names]
        art_names = tuple(all_names[k] for k in art)
        art_values = _prepared(art_names, tuple(all_values[k] for k in art), units)[0]
        result.laid_out = _core.fullwave(names + art_names + ("fullwave",),
                                         values + tuple(art_values) + (_os.fspath(fullwave),),
                                         length_unit, frequency_unit, shape)
    _echo_inputs(result, names, given, length_unit, frequency_unit)
    return result


_ROW_TYPES = {}


def _row_type(command, columns):
    """The record of one row of a command's columns, made once; a column
    named as a Python keyword is a field with an underscore (pass_)."""
    try:
        return _ROW_TYPES[command, columns]
    except KeyError:
        fields = [c + "_" if _keyword.iskeyword(c) else c for c in columns]
        made = _collections.namedtuple(command.capitalize() + "Row", fields, module=__name__)
        return _ROW_TYPES.setdefault((command, columns), made)


def _shown(value):
    """A cell as the result's repr shows it: a number of the rows by the
    shortest decimal of its single-precision value, an input as given by
    its own."""
    if not isinstance(value, float):
        return str(value)
    single = _np.float32(value)
    return str(single) if float(single) == value else repr(value)


# Columns of whole numbers: they come back as int64 (as float64 where a row
# has none, NaN).
_WHOLE_COLUMNS = frozenset(("pass", "section", "panels", "port"))
# Rows a lazy iteration takes from the columns at a time.
_ROWS_AT_A_TIME = 4096
# Rows a notebook's table shows, half from each end.
_HTML_ROWS = 20


def _whole(column):
    """A column of whole numbers as int64, unless a row has none."""
    array = _np.asarray(column)
    if _np.isnan(array).any():
        return column
    whole = array.astype(_np.int64)
    return whole if whole.shape else whole[()]


class Result:
    """The rows of one call: one row per element of the arguments'
    broadcast, each the command's row of its own values.

    ``len(r)`` is the number of rows (1 for a call with scalars) and
    iterating gives the rows in C order of the shape, made a block at a
    time as the loop takes them, each a named tuple of the columns
    (``row.zoe_ohm``, ``row.status``, ``row._asdict()``; ``row.pass_`` for
    a column named as a keyword); ``r[i]`` is row i in that order;
    ``r.to_pandas()`` gives them as a pandas DataFrame, and a notebook
    shows them as a table.

    Each column is an attribute and an item, named as the command's CSV
    column (``r.zoe_ohm``, ``r["w_mm"]``): a float64 numpy array of the
    arguments' broadcast shape, or a numpy float64 scalar when every
    argument was a scalar.  A column that echoes an input (``w_in`` of
    analyse, ``f_mhz`` of response) holds it as given, in float64; the
    others are the numbers of the single-precision model, each held
    exactly (``np.float32(x)`` gives it back, and its shortest digits).
    The whole numbers (pass, section, panels) are int64.  NaN stands where
    the CSV leaves a cell empty or a number is not finite.  ``status`` holds str values: "ok",
    "zero_thickness_abandoned" (the model left its zero-thickness solution
    there, and its numbers jump) or "not_finite" for the rows of analyse,
    sensitivity and response; "converged", "spacing_floor", "width_floor",
    "unusable", "not_representable" or "field_not_converged" for synthesis.
    A row on the field solution (``solver="field"`` or ``"both"``, and
    strips not side by side) may say "no_field_solution" (the solver could
    not solve its cross-section; its numbers are NaN), "no_field_loss" (nor
    find its loss) or "uncoupled" (the strips couple more weakly than the
    solution resolves; its coupling is NaN), in every command, ``field``
    included; a `FieldFailureWarning` says why for the first of them.

    A response swept over increasing frequencies of one coupler (f an
    array, every other argument one value) has its band summary in
    ``summary``, a dict: f0_mhz, coupling_at_f0_db, flatness_db,
    band_low_mhz and band_high_mhz (None when f0 is outside the swept
    frequencies), band_low_beyond_swept_range and
    band_high_beyond_swept_range (the band reaches that end of the sweep),
    worst_directivity_db, worst_return_loss_db, worst_quadrature_error_deg,
    least_amplitude_balance_db and greatest_amplitude_balance_db (|S41| -
    |S21|) over the band, and amplitude_floor_db (-90: amplitudes, and so return
    loss and directivity, stop there as the reports print them).  It is
    None for any other call.

    With ``fullwave=DIR`` and ``run=True`` (or "on"), a response over
    increasing frequencies also runs the coupler's full-wave model
    (DIR/coupler.py, openEMS; ``mesh``, ``threads``) and gives the coupler
    as laid out in ``laid_out``, a dict: ``ideal`` and ``laid_out`` (each
    figure of the band summary by name: coupling_at_f0, coupling_peak_f,
    coupling_peak, added_length (the coupled length the layout adds, in
    degrees at f0, read from where the coupling peaks), band_low, band_high,
    worst_directivity,
    worst_return_loss, worst_isolation, least_amplitude_balance,
    greatest_amplitude_balance, worst_quadrature_error, reciprocity,
    column_power), ``units`` of each, ``mesh_change`` (with mesh="both":
    how far each moved from the coarse mesh to the fine one, else None),
    ``section_for_peak_at_f0`` (the section's length, in the length unit,
    that with the same feed lines puts the laid-out peak at f0: give it as
    ``length``), ``search`` (with compensate="measured", each run's
    section length as drawn, ``drawn``, and where it peaked, ``peak_mhz``,
    the last that of the figures; else None), ``runs`` (each mesh's status), ``f_mhz`` and ``s`` (the model's
    four-port, [frequency, row, column], ports 1 input, 2 thru, 3
    isolated, 4 coupled) and ``s_ideal`` (the ideal section's at the same
    frequencies).  A run that does not settle raises RuntimeError naming
    its energy decay; openEMS missing raises ImportError naming
    python3-openems; an interrupt stops the model and removes its partial
    results.  It is None for any other call.

    ``columns`` lists the names in the command's order (``keys()`` too, and
    ``name in r`` asks for a column, as in pandas), ``units`` maps each name
    to its unit ("mm", "ohm", "dB/mm", "" for a ratio), ``shape`` is the
    broadcast shape and ``to_dict()`` gives every column at once.
    """

    __slots__ = ("command", "shape", "columns", "summary", "laid_out", "_units", "_numbers",
                 "_codes", "_texts", "_text_column")

    def __init__(self, command, shape, columns, units, numbers, codes, texts, text_column):
        self.command = command
        self.shape = shape
        self.columns = columns
        self.summary = None
        self.laid_out = None
        self._units = units
        self._numbers = numbers
        self._codes = codes
        self._texts = texts
        self._text_column = text_column

    def _column(self, index):
        if index == self._text_column:
            if self.shape == ():
                return self._texts[self._codes[0]]
            codes = _np.frombuffer(self._codes, dtype=_np.uint8)
            return _np.array(self._texts)[codes].reshape(self.shape)
        column = (self._numbers[index, 0] if self.shape == () else
                  self._numbers[index].reshape(self.shape))
        return _whole(column) if self.columns[index] in _WHOLE_COLUMNS else column

    def __getattr__(self, name):
        if name.startswith("_") or name in Result.__slots__:
            raise AttributeError(name)
        try:
            index = self.columns.index(name)
        except ValueError:
            raise AttributeError(f"a {self.command} result has no column {name!r} (columns: "
                                 f"{', '.join(self.columns)})") from None
        return self._column(index)

    def __getitem__(self, key):
        """A column by name (``r["w_mm"]``), or a row by its position in C
        order of the shape (``r[0]``, ``r[-1]``), as a named tuple."""
        if isinstance(key, (int, _np.integer)) and not isinstance(key, (bool, _np.bool_)):
            return self._row(int(key))
        try:
            index = self.columns.index(key)
        except (ValueError, TypeError):
            raise KeyError(key) from None
        return self._column(index)

    def _row(self, position):
        rows = len(self)
        if not -rows <= position < rows:
            raise IndexError(f"row {position} of a result of {rows} rows")
        position %= rows
        return next(self._rows(position, position + 1))

    def _rows(self, start, stop):
        """The rows from start to stop, each column's cells taken a block of
        rows at a time: a loop that stops early costs what it took."""
        row = _row_type(self.command, self.columns)
        cells = [self._cells_of(k) for k in range(len(self.columns))]
        for first in range(start, stop, _ROWS_AT_A_TIME):
            last = min(first + _ROWS_AT_A_TIME, stop)
            yield from map(row._make, zip(*(take(first, last) for take in cells)))

    def _cells_of(self, index):
        """What takes the cells of rows first to last of a column as Python
        values."""
        if index == self._text_column:
            codes = _np.frombuffer(self._codes, dtype=_np.uint8)
            return lambda first, last: [self._texts[c] for c in codes[first:last].tolist()]
        numbers = self._numbers[index]
        if self.columns[index] in _WHOLE_COLUMNS and not _np.isnan(numbers).any():
            numbers = numbers.astype(_np.int64)
        return lambda first, last: numbers[first:last].tolist()

    def __contains__(self, name):
        return name in self.columns

    def keys(self):
        """The column names, in the command's order: dict(r) gives the columns."""
        return self.columns

    def __len__(self):
        return _math.prod(self.shape)

    def __iter__(self):
        return self._rows(0, len(self))

    def _repr_html_(self):
        """The rows as a table, as a notebook shows a result: the first and
        the last rows of a long one."""
        rows = len(self)
        shown = (range(rows) if rows <= _HTML_ROWS else
                 _itertools.chain(range(_HTML_ROWS // 2), [None],
                                  range(rows - _HTML_ROWS // 2, rows)))
        head = "".join(f"<th>{_html.escape(name)}</th>" for name in self.columns)
        body = []
        for position in shown:
            cells = (["&hellip;"] * len(self.columns) if position is None else
                     [_html.escape(_shown(cell)) for cell in self._row(position)])
            body.append("<tr>" + "".join(f"<td>{cell}</td>" for cell in cells) + "</tr>")
        return (f"<p>ketrovane {_html.escape(self.command)}: {rows} rows, shape {self.shape}</p>"
                f"<table><thead><tr>{head}</tr></thead><tbody>{''.join(body)}</tbody></table>")

    def __dir__(self):
        return sorted(set(super().__dir__()) | set(self.columns))

    @property
    def units(self):
        return dict(zip(self.columns, self._units))

    def to_dict(self):
        """Every column by name, in the command's order."""
        return {name: self._column(k) for k, name in enumerate(self.columns)}

    def to_pandas(self):
        """The rows as a pandas DataFrame, in C order of the shape, with the
        columns in the command's order (needs pandas: Debian's python3-pandas)."""
        try:
            import pandas
        except ImportError as e:
            raise ImportError("Result.to_pandas needs pandas: install Debian's python3-pandas "
                              "(apt install python3-pandas) or pip install pandas") from e
        return pandas.DataFrame({name: _np.ravel(self._column(k))
                                 for k, name in enumerate(self.columns)})

    def __repr__(self):
        if self.shape == ():
            cells = ", ".join(f"{name}={_shown(self._column(k))}"
                              for k, name in enumerate(self.columns))
            return f"<ketrovane {self.command}: {cells}>"
        return (f"<ketrovane {self.command}, shape {self.shape}: "
                f"{', '.join(self.columns)}>")


def _scattering(function, names, values, units, progress):
    """(s, f_mhz, ref_ohm, the call's frequency unit), s of shape + (4, 4)."""
    values, shape, length_unit, frequency_unit = _prepared(names, values, units)
    reporter = None if progress is None and not shape else _reporter(progress, function, shape)
    try:
        s, f_mhz, ref = _core.scattering(names, values, length_unit, frequency_unit, shape,
                                         reporter)
    finally:
        if reporter is not None:
            _close(reporter)
    return s.reshape(shape + (4, 4)), f_mhz.reshape(shape), ref.reshape(shape), frequency_unit


def _network(names, values, units, name, progress):
    try:
        import skrf
    except ImportError as e:
        raise ImportError("ketrovane.network needs scikit-rf: install Debian's python3-scikit-rf "
                          "(apt install python3-scikit-rf) or pip install scikit-rf") from e
    matrix, f_mhz, reference, frequency_unit = _scattering("network", names, values, units,
                                                           progress)
    if len(f_mhz.shape) > 1:
        raise ValueError(f"a network is one coupler over one frequency axis; the arguments "
                         f"broadcast to shape {f_mhz.shape}")
    _refuse_unordered(_np.atleast_1d(f_mhz))
    frequency = skrf.Frequency.from_f(_np.atleast_1d(f_mhz) * 1e6, unit="hz")
    frequency.unit = frequency_unit  # its plots read in the call's unit
    z0 = _np.repeat(_np.atleast_1d(reference)[:, None], 4, axis=1)
    return skrf.Network(frequency=frequency, s=matrix.reshape(-1, 4, 4), z0=z0, name=name)


def _refuse_unordered(f_mhz):
    """A network's frequencies must increase: ValueError naming the first
    that does not."""
    steps = _np.flatnonzero(_np.diff(f_mhz) <= 0)
    if steps.size:
        k = int(steps[0]) + 1
        how = "repeats" if f_mhz[k] == f_mhz[k - 1] else "is below"
        raise ValueError(f"f=: a network's frequencies must increase; f[{k}] ({f_mhz[k]!r} MHz) "
                         f"{how} f[{k - 1}] ({f_mhz[k - 1]!r} MHz)")


def _network_frequencies(f, scale):
    """Multisection.network's f in MHz: finite, above 0 and increasing, one
    value or a one-dimensional array; ValueError or TypeError naming f=."""
    _refuse_masked("f", f)
    array = _np.asarray(_np.ma.getdata(f))
    if array.dtype.kind not in "iuf" and (array := _numbers_of_objects(array)) is None:
        raise TypeError(f"f=: expected a number or an array of numbers in the call's frequency "
                        f"unit, not {type(f).__name__}")
    array = _np.atleast_1d(array.astype(_np.float64))
    if array.ndim != 1:
        raise ValueError(f"f=: expected one value or a one-dimensional array, not shape "
                         f"{array.shape}")
    if array.size == 0:
        raise ValueError("f=: an empty array; expected at least one frequency")
    bad = _np.flatnonzero(~(_np.isfinite(array) & (array > 0)))
    if bad.size:
        raise ValueError(f"f=: expected frequencies above 0; f[{bad[0]}] is {array[bad[0]]!r}")
    f_mhz = array * scale
    _refuse_unordered(f_mhz)
    return f_mhz


class Multisection(Result):
    """The sections of a multi-section coupler (a `Result` of one row per
    section, from the source end) with its profile: ``profile`` (a dict),
    ``ripple_db`` and ``band`` ((f1, f2) in MHz; f0 twice for a maximally
    flat profile).  ``network(f)`` is the whole coupler as a 4-port
    scikit-rf Network at the frequencies f (in the call's frequency unit),
    its ports 1 input, 2 thru, 3 isolated, 4 coupled, referenced to their
    terminations rs and rl; ``band_summary(f)`` what its response at f
    comes to over the profile's band."""

    def band_summary(self, f):
        """What the whole coupler's response at the frequencies f comes to
        over its profile's band, as the command line's ``--table response``
        sums it up: a dict of the coupling at f0, the band (for an
        equal-ripple profile its design band, over its ends, f0 and each of
        f within it; for a maximally flat one where the coupling stays
        within 0.5 dB of its value at f0), and over that band the least
        directivity, return loss and isolation, the largest quadrature
        error, the range of the amplitude balance |S41| - |S21|, the
        nominal coupling, the ideal ripple and the realised one
        (``realised_ripple_db``, None for a maximally flat profile).

        f: as for network: in the call's frequency unit, each above 0 and
            each above the one before.
        """
        names, values, units = self._call
        _, _, length_unit, frequency_unit = _prepared(names, values, units)
        f_mhz = _network_frequencies(f, float(_IN_MHZ[frequency_unit.lower()]))
        summary = _core.multisection_summary(names, values, length_unit, frequency_unit, f_mhz)
        if summary is None:
            raise ValueError("a section could not be built: see the status of the section table")
        return summary

    def network(self, f, ref=None, name="ketrovane multisection coupler"):
        """The whole coupler as a 4-port scikit-rf Network (needs Debian's
        python3-scikit-rf) at the frequencies f.

        f: one frequency or a one-dimensional array of them, in the call's
            frequency unit (MHz unless units named another), each above 0
            and each above the one before; the network's axis reads in
            that unit.
        ref: None (default) references ports 1 and 4 to the source's rs and
            ports 2 and 3 to the load's rl, the terminations of the design;
            a number (ohms) references every port to it.
        name: the network's name.

        Ports: 1 input, 2 thru, 3 isolated, 4 coupled.
        """
        try:
            import skrf
        except ImportError as e:
            raise ImportError("network needs scikit-rf: install Debian's python3-scikit-rf") from e
        names, values, units = self._call
        _, _, length_unit, frequency_unit = _prepared(names, values, units)
        f_mhz = _network_frequencies(f, float(_IN_MHZ[frequency_unit.lower()]))
        reference = _reference(ref)
        if reference is not None:  # the same sections between other terminations
            values = tuple(reference if n in ("rs", "rl") else v for n, v in zip(names, values))
        s, references = _core.multisection_scattering(names, values, length_unit, frequency_unit,
                                                      f_mhz)
        frequency = skrf.Frequency.from_f(f_mhz * 1e6, unit="hz")
        frequency.unit = frequency_unit
        z0 = _np.tile(_np.array(references, dtype=float), (f_mhz.size, 1))
        return skrf.Network(frequency=frequency, s=s, z0=z0, name=name)


def _reference(ref):
    """Multisection.network's ref: None, or ohms above 0."""
    if ref is None:
        return None
    if not _is_number(ref):
        raise TypeError(f"ref=: expected a number of ohms or None, not {type(ref).__name__}")
    if not (_math.isfinite(ref) and ref > 0):
        raise ValueError(f"ref={ref!r}: expected a reference impedance above 0 ohms")
    return float(ref)


def _band_text(band, frequency_unit):
    """A band given as its two edges, (f1, f2): each a number in the call's
    frequency unit or a text with its own, as the command line writes it."""
    if isinstance(band, (str, bytes)) or not hasattr(band, "__len__"):
        return band
    if len(band) != 2:
        raise ValueError(f"band=: expected two frequencies (f1, f2), got {band!r}")
    edges = []
    for edge in band:
        if isinstance(edge, str):
            edges.append(edge)
        elif isinstance(edge, (int, float, _np.integer, _np.floating)):
            edges.append(f"{float(edge)!r}{frequency_unit}")
        else:
            raise ValueError(f"band=: expected two frequencies (f1, f2), got {band!r}")
    return ":".join(edges)


def _multisection(names, values, units):
    frequency_unit = _units(units)[1]
    values = tuple(_band_text(v, frequency_unit) if n == "band" else v
                   for n, v in zip(names, values))
    prepared, shape, length_unit, frequency_unit = _prepared(names, values, units)
    if shape:
        raise ValueError("multisection designs one coupler: every argument is a single value")
    *table, note, weak_note, failure_note, profile = _core.multisection(
        names, prepared, length_unit, frequency_unit)
    # At the caller of ketrovane.multisection.
    if note is not None:
        _warnings.warn(_accuracy_warning(note), stacklevel=3)
    if weak_note is not None:
        _warnings.warn(weak_note, WeakSectionWarning, stacklevel=3)
    if failure_note is not None:
        _warnings.warn(failure_note, FieldFailureWarning, stacklevel=3)
    result = Multisection("multisection", (_np.shape(table[2])[-1],), *table)
    result.profile = profile
    result.ripple_db = profile["ripple_db"]
    result.band = (profile["band_low_mhz"], profile["band_high_mhz"])
    result._call = (names, values, units)
    return result


# ---- Tolerance runs ----

_EXPECTED_TOLERANCE = {"whole": "a whole number", "items": "a dict"}


def _is_number(value):
    return not isinstance(value, bool) and isinstance(value, (int, float, _np.integer,
                                                              _np.floating))


def _item_value(keyword, value):
    """The value of one item of vary, or one side of a limit: a text or a
    float (None for a limit's open side)."""
    if isinstance(value, str) or (value is None and keyword == "limits"):
        return value
    if _is_number(value):
        return float(value)
    expected = "a number, a text or None" if keyword == "limits" else "a number or a text"
    raise TypeError(f"{keyword}=: {value!r} is a {type(value).__name__}; expected {expected}")


def _items(keyword, items):
    """vary={"w": 0.0002, "er": "2%"} or limits={"coupling": (9.5, 10.5)},
    each value a text, a float or (limits) a pair of them."""
    if not isinstance(items, dict):
        raise TypeError
    if keyword != "limits":
        return {name: _item_value(keyword, value) for name, value in items.items()}
    return {name: value if isinstance(value, str) else
            tuple(_item_value(keyword, side) for side in _pair(name, value))
            for name, value in items.items()}


def _pair(name, value):
    """A limit's (low, high): ValueError naming limits= and the outcome
    unless it is two values."""
    if isinstance(value, (list, tuple)) and len(value) == 2:
        return value
    count = len(value) if isinstance(value, (list, tuple)) else 0
    given = (f"has {count} value{'' if count == 1 else 's'}" if isinstance(value, (list, tuple))
             else f"is {value!r}")
    raise ValueError(f"limits=: {name!r} {given}; expected a pair (low, high), None for an open "
                     "side, or a text LOW:HIGH")


def _single_value(name, value):
    """One argument of tolerance() as the call takes it: a text, a float, an
    int for a whole number, a dict of items; TypeError naming it otherwise."""
    if value is None or isinstance(value, str):
        return value if value is None else str(value).strip(_PADDING)
    option = _OPTION_NAMED[name]
    kind = option["kind"]
    if isinstance(value, bool) and option.get("choices") == "off|on":
        return "on" if value else "off"  # attribution=True
    try:
        if kind == "whole":
            if isinstance(value, bool) or not isinstance(value, (int, _np.integer)):
                raise TypeError
            return int(value)
        if kind == "items":
            return _items(option["keyword"], value)
        if kind == "layers" and isinstance(value, (list, tuple)):
            return value  # the stack, its layers read by _core
        if not _is_number(value):
            raise TypeError
        return float(value)
    except TypeError as fault:
        if fault.args:
            raise  # an item of a dict, named in its message
        raise TypeError(f"{option['keyword']}=: expected "
                        f"{_EXPECTED_TOLERANCE.get(kind, 'a number or a text')}, got "
                        f"{type(value).__name__}") from None


class Tolerance(Result):
    """The samples of a tolerance run (a `Result` of one row per sample, in
    sample order), with ``sample`` the index of each, ``statistics`` a
    `Result` of one row per outcome and a last row, all_limits, with the
    yield, and ``yield_`` the yield as a dict (passed, samples, share, and
    low and high, its 95 % confidence interval).  ``not_computed`` counts
    the samples that could not be computed by their status; ``start``,
    ``count``, ``samples`` and ``seed`` say which slice of which run this
    is.  ``ketrovane.tolerance_combine(parts)`` puts slices back together.
    With ``attribution=True`` (or "on"), ``attribution`` is a `Result` of one row per
    varied quantity (the yield with it held nominal, the yield gained, its
    share of each limited outcome's variance) and a last row, sum; else
    None.  With ``lot_size``, ``lots`` is a `Result` of one row per lot
    (lot, first_sample, samples, passed, yield_pct) and ``lot_spread`` one
    of a row (lots, mean_pct, std_pct, min_pct, max_pct); else None.  With
    ``centre=True`` (or "on"), the samples are drawn about the centred design and
    ``centre`` is a `Result` of two rows, design "start" and "centred": the searched
    dimensions (w, then s, sv or wo), the yield on the search's samples with its 95 %
    interval (yield_pct, yield_low_pct, yield_high_pct) and the smoothed yield the search
    compared (smoothed_yield_pct); else None."""

    __slots__ = ("sample", "statistics", "yield_", "not_computed", "start", "count", "samples",
                 "seed", "attribution", "lots", "lot_spread", "centre", "_call")

    def __contains__(self, name):
        return name == "sample" or super().__contains__(name)

    def __getitem__(self, key):
        return self.sample if isinstance(key, str) and key == "sample" else super().__getitem__(key)


def _tolerance_result(samples_table, statistics_result, call):
    r = Tolerance("tolerance", (_np.shape(samples_table[2])[-1],), *samples_table[:6])
    table, info = statistics_result
    r.statistics = Result("tolerance", (_np.shape(table[2])[-1],), *table[:6])
    r.yield_ = info["yield"]
    r.not_computed = info["not_computed"]
    r.start, r.count, r.samples, r.seed = info["start"], info["count"], info["samples"], info["seed"]
    r.attribution, r.lots, r.lot_spread, r.centre = (
        None if info.get(key) is None else
        Result("tolerance", (_np.shape(info[key][2])[-1],), *info[key][:6])
        for key in ("attribution", "lots", "lot_spread", "centre"))
    r.sample = _np.arange(r.start, r.start + r.count, dtype=_np.int64)
    r._call = call
    return r


def _rows_of_slice(values):
    """The samples a call computes, for its bar: count, or the samples from
    start (1 where they are not plain; the run reads and checks them)."""
    try:
        if values.get("count") is not None:
            return max(int(values["count"]), 1)
        return max(int(float(values["samples"])) - int(values.get("start") or 0), 1)
    except (TypeError, ValueError):
        return 1


def _tolerance(names, values, units, progress):
    length_unit, frequency_unit = _units(units)
    values = tuple(_single_value(name, value) for name, value in zip(names, values))
    call = (names, values, length_unit, frequency_unit)
    reporter = _reporter(progress, "tolerance", (_rows_of_slice(dict(zip(names, values))),))
    try:
        samples_table, statistics_result = _core.tolerance(*call, reporter)
    finally:
        if reporter is not None:
            _close(reporter)
    return _tolerance_result(samples_table, statistics_result, call)


def _run_of(call):
    """What makes a slice's run: its arguments but start and count, and its
    units."""
    names, values, length_unit, frequency_unit = call
    return ({name: value for name, value in zip(names, values) if name not in ("start", "count")},
            length_unit, frequency_unit)


def tolerance_combine(parts):
    """The run that slices of it make, in any order: the samples of every
    slice one after the other in sample order and their statistics, the
    same as one call over them all.  The slices are results of
    ketrovane.tolerance with the same arguments but start and count, and
    together they must cover the samples from the first one's start without
    a gap or an overlap."""
    try:
        parts = list(parts)
    except TypeError:
        raise TypeError("tolerance_combine: expected a sequence of results of ketrovane.tolerance, "
                        f"not {type(parts).__name__}") from None
    for part in parts:
        if not isinstance(part, Tolerance):
            raise TypeError("tolerance_combine: expected results of ketrovane.tolerance, not "
                            f"{type(part).__name__}")
    parts = sorted(parts, key=lambda p: p.start)
    if not parts:
        raise ValueError("tolerance_combine: no slices")
    first = parts[0]
    common = _run_of(first._call)
    for before, after in zip(parts, parts[1:]):
        if _run_of(after._call) != common:
            raise ValueError("tolerance_combine: the slices are of different runs")
        if after.start != before.start + before.count:
            raise ValueError(f"tolerance_combine: samples {before.start + before.count} to "
                             f"{after.start - 1} are missing" if after.start > before.start +
                             before.count else "tolerance_combine: slices overlap at sample "
                             f"{after.start}")
    count = sum(p.count for p in parts)
    names, values, length_unit, frequency_unit = first._call
    slice_of = {"start": first.start, "count": count}
    values = tuple(slice_of.get(name, value) for name, value in zip(names, values))
    call = (names, values, length_unit, frequency_unit)
    columns = first.columns
    numbers = _np.concatenate([p._numbers for p in parts], axis=1)
    statuses = _np.concatenate([_np.atleast_1d(p.status) for p in parts])
    texts_list = tuple(sorted(set(statuses.tolist())))
    codes = _np.array([texts_list.index(x) for x in statuses.tolist()], dtype=_np.uint8).tobytes()
    status_counts = {name: int((statuses == name).sum()) for name in texts_list}
    outcome_names = [c for c in columns if c in _OUTCOME_COLUMNS]
    outcomes = _np.ascontiguousarray(_np.stack([numbers[columns.index(c)] for c in outcome_names]))
    passed = int(numbers[columns.index("pass")].sum())
    statistics_result = _core.tolerance_statistics(*call, outcomes, passed, status_counts)
    table = (tuple(columns), first._units, numbers, codes, texts_list, columns.index("status"))
    return _tolerance_result(table, statistics_result, call)


_OUTCOME_COLUMNS = ("zoe_ohm", "zoo_ohm", "zo_ohm", "coupling_db", "coupling_f0_db",
                    "return_loss_db", "isolation_db", "directivity_db", "coupling_deviation_db",
                    "least_directivity_db", "least_return_loss_db")


# ---- The functions, written from the option table ----

# The Python keyword of each option: "min-gap" is min_gap, "limit" limits.
_OPTION_NAMED = {o["name"]: o for o in _core.option_table()}
_KEYWORDS = {name: o["keyword"] for name, o in _OPTION_NAMED.items()}
_DEFAULTS = {}


def _defaults(function, names):
    """(position, default) of each of a function's options that has a default
    other than None, the options in the order of `names`."""
    code = function.__code__
    positional = code.co_varnames[:code.co_argcount]
    defaults = dict(zip(positional[::-1], (function.__defaults__ or ())[::-1]))
    defaults.update(function.__kwdefaults__ or {})
    return tuple((k, defaults[_KEYWORDS[name]]) for k, name in enumerate(names)
                 if defaults.get(_KEYWORDS[name]) is not None)


def _given(function, names, arguments):
    """The values of a call to `function`, None for each argument the caller
    left at its default: an option not given, which the rows read as that
    default without reading its text again on every call."""
    try:
        defaulted = _DEFAULTS[function]
    except KeyError:
        defaulted = _DEFAULTS.setdefault(function, _defaults(function, names))
    values = list(arguments)
    for k, default in defaulted:
        if values[k] is default:
            values[k] = None
    return tuple(values)


# ---- Artwork ----

class Layout(Result):
    """The copper artwork of one coupler (a `Result` of one row per port,
    in the order of the port numbers): ``outlines`` maps each copper
    layer's name ("F.Cu", or the two of strips one above the other, the
    upper first) to its outlines, each an N x 2 numpy array of x, y in the
    call's length unit, counter-clockwise, the coupled section along x and
    centred on the origin, the input port at -x, +y; ``pads`` lists each
    pad as a dict (number, role, layer, centre, size); ``ports`` the rows
    as dicts; ``note`` the lead-outs of the feed lines, which the coupled-
    line response leaves out; ``files`` the files written (with file=);
    ``compensation`` (with compensate=True, else None) a dict of the
    coupled length the diverging feed lines add at each end,
    ``junction_length`` (-x, +x) and its quadrature ``error``, and each
    section's length ``designed``, ``drawn`` and the ``compensation`` taken
    off it, in the call's length unit."""


def _write_whole(path, text):
    """Writes a file whole or not at all: a temporary file beside it,
    renamed over it."""
    folder = _os.path.dirname(_os.path.abspath(path))
    handle, temporary = _tempfile.mkstemp(prefix="." + _os.path.basename(path) + ".",
                                          dir=folder)
    try:
        with _os.fdopen(handle, "w", encoding="utf-8", newline="") as out:
            out.write(text)
        mask = _os.umask(0)
        _os.umask(mask)
        _os.chmod(temporary, 0o666 & ~mask)
        _os.replace(temporary, path)
    except BaseException:
        if _os.path.exists(temporary):
            _os.unlink(temporary)
        raise


def _draw_picture(path, script):
    """Runs gnuplot on the picture's script, which draws into path."""
    gnuplot = _shutil.which("gnuplot")
    if gnuplot is None:
        raise RuntimeError(f"cannot draw {path!r}: gnuplot not found on PATH; install gnuplot "
                           "(Debian: gnuplot-nox)")
    done = _subprocess.run([gnuplot], input=script, text=True, capture_output=True,
                           check=False)
    if done.returncode != 0:
        said = done.stderr.strip().splitlines()
        raise RuntimeError(f"cannot draw {path!r}: gnuplot failed" +
                           (": " + said[-1] if said else ""))


def _changed_by_hand(path):
    """Whether the full-wave model's script at path was changed since it was
    written (a changed one is kept, never written over)."""
    try:
        with open(path, "rb") as f:
            return _core.script_changed_by_hand(f.read())
    except FileNotFoundError:
        return False


def _switches(names, values):
    """True and False of an off|on option as "on" and "off" (compensate=True)."""
    return tuple(("on" if value else "off")
                 if isinstance(value, (bool, _np.bool_)) and
                 _OPTION_NAMED.get(name, {}).get("choices", "").startswith("off|on") else value
                 for name, value in zip(names, values))


def _layout(names, values, units, file, fullwave=None):
    _refuse_measured_compensation(names, values)
    prepared, shape, length_unit, frequency_unit = _prepared(names, _switches(names, values),
                                                             units)
    if shape:
        raise ValueError("layout draws one coupler: every argument is a single value")
    if file is not None and not isinstance(file, (str, _os.PathLike)):
        raise TypeError(f"file=: expected a file name, got {file!r}")
    if fullwave is not None and not isinstance(fullwave, (str, _os.PathLike)):
        raise TypeError(f"fullwave=: expected a directory's name, got {fullwave!r}")
    if fullwave is not None and _os.path.exists(fullwave) and not _os.path.isdir(fullwave):
        raise ValueError(f"fullwave=: {_os.fspath(fullwave)!r} is a file; give a directory")
    table, outlines, pads, files, model, note, compensation = _core.layout(
        names, prepared, length_unit, frequency_unit,
        None if file is None else _os.fspath(file),
        None if fullwave is None else _os.fspath(fullwave))
    if model:
        _os.makedirs(fullwave, exist_ok=True)
        files = list(files or ()) + list(model)
    result = Layout("layout", (_np.shape(table[2])[-1],), *table[:6])
    result.outlines = outlines
    result.pads = pads
    result.ports = [row._asdict() for row in result]
    result.note = note
    result.compensation = compensation
    result.files = []
    for path, text, script in files or ():
        if script is None and path.endswith(".py") and _changed_by_hand(path):
            result.note += "\nnote: " + path + (" was changed by hand and is kept as it is; "
                                                "remove it to have this coupler's model written "
                                                "there")
            continue
        if script is None:
            _write_whole(path, text)
        else:
            _draw_picture(path, script)
        result.files.append(path)
    return result


# pylint: disable=wrong-import-position
from ._functions import (analyse, field, layout, line, multisection, network,  # noqa: E402
                         response, s_matrix, sensitivity, synthesise, tolerance)

# The American spellings, as the command line takes them.
analyze = analyse
synthesize = synthesise
