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

Arguments carry the names of the command's options, and their defaults and
help are the command's (each function's docstring lists them).  Numbers of
lengths are in inches and of frequencies in MHz unless ``units`` says
otherwise: ``units="mm"``, ``units="GHz"`` or ``units=("mm", "GHz")``
(lengths: in, mil, mm, um; frequencies: Hz, kHz, MHz, GHz).  Impedances are
in ohms, coupling in dB.  A single value may also be a text with its own
unit, read exactly as the command line reads it: ``roughness="5uin"``,
``f0="1GHz"``, ``rho="copper"``.

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
and the worst directivity, return loss and quadrature error over that band.
``analyze`` and ``synthesize`` are ``analyse`` and ``synthesise``.  Long
calls draw a progress bar when someone is watching (``progress=``).
"""

import collections as _collections
import math as _math
import sys as _sys
import time as _time
import warnings as _warnings

import numpy as _np

from . import _core

__all__ = ["Result", "ModelAccuracyWarning", "HigherOrderModeWarning", "FieldFailureWarning",
           "analyse", "analyze",
           "synthesise", "synthesize", "response", "sensitivity", "field", "s_matrix", "network",
           "multisection", "Multisection", "tolerance", "tolerance_combine", "Tolerance"]
__version__ = _core.__version__


class ModelAccuracyWarning(UserWarning):
    """The closed-form model may be off by more than 1 % where the call's rows lie.

    The text is the note ``ketrovane-calc`` writes: where, by how much, and
    that ``solver="field"`` or ``solver="both"`` gives or compares the
    field solution.
    """


class HigherOrderModeWarning(UserWarning):
    """A frequency of the call reaches the cut-off of the stripline's first
    higher-order mode (the parallel-plate mode, or the strip's own TE mode),
    above which the quasi-TEM analysis does not hold.

    The text is the note ``ketrovane-calc`` writes: the frequency, the
    cut-off, the mode and the cross-section.
    """


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


_EXPECTED = "expected a number, a text, or an array of numbers or of texts"


def _are_texts(array):
    return array.dtype.kind == "U" or (array.dtype.kind == "O" and
                                       all(isinstance(x, str) for x in array.flat))


def _refuse_numbers_among_texts(name, value):
    """A list of texts and numbers: numpy would make texts of the numbers,
    to be read in inches and MHz whatever the call's units."""
    if isinstance(value, (list, tuple)) and not _are_texts(_np.asarray(value, dtype=object)):
        raise TypeError(f"{name}=: a list of texts and numbers; give every value as a text with "
                        "its unit, or every value as a number")


def _as_values(name, value):
    """One argument as a float64 array or an array of texts, or
    TypeError/ValueError naming it."""
    try:
        array = _np.asarray(value)
    except (TypeError, ValueError, OverflowError) as e:
        raise TypeError(f"{name}=: {_EXPECTED} ({e})") from None
    if array.dtype.kind in "biuf":
        array = array.astype(_np.float64, copy=False)
    elif _are_texts(array):
        _refuse_numbers_among_texts(name, value)
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
        return str(array.flat[0])
    positions = _np.arange(array.size, dtype=_np.int64).reshape(array.shape)
    return array.ravel().tolist(), _np.broadcast_to(positions, shape).ravel()


def _broadcast(names, values):
    """The values with each array flattened to its broadcast, and the shape."""
    values = list(values)
    arrays = {}
    for k, value in enumerate(values):
        if value is None or type(value) is str:
            continue
        if isinstance(value, str):
            values[k] = str(value)
            continue
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
    if _PLAIN.issuperset(map(type, values)):
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

def _table(command, names, values, units, progress):
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
        _warnings.warn(note, ModelAccuracyWarning, stacklevel=3)
    if mode_note is not None:
        _warnings.warn(mode_note, HigherOrderModeWarning, stacklevel=3)
    if failure_note is not None:
        _warnings.warn(failure_note, FieldFailureWarning, stacklevel=3)
    result = Result(command, shape, *table)
    result.summary = summary
    return result


_ROW_TYPES = {}


def _row_type(command, columns):
    """The record of one row of a command's columns, made once."""
    try:
        return _ROW_TYPES[command, columns]
    except KeyError:
        made = _collections.namedtuple(command.capitalize() + "Row", columns, module=__name__)
        return _ROW_TYPES.setdefault((command, columns), made)


def _shown(value):
    """A cell as the result's repr shows it: a number by the shortest
    decimal of its single-precision value."""
    return str(_np.float32(value)) if isinstance(value, float) else str(value)


class Result:
    """The rows of one call: one row per element of the arguments'
    broadcast, each the command's row of its own values.

    ``len(r)`` is the number of rows (1 for a call with scalars) and
    iterating gives the rows in C order of the shape, each a named tuple of
    the columns (``row.zoe_ohm``, ``row.status``, ``row._asdict()``);
    ``r.to_pandas()`` gives them as a pandas DataFrame.

    Each column is an attribute and an item, named as the command's CSV
    column (``r.zoe_ohm``, ``r["w_mm"]``): a float64 numpy array of the
    arguments' broadcast shape, or a numpy float64 scalar when every
    argument was a scalar.  The numbers are those of the single-precision
    model, each held exactly (``np.float32(x)`` gives it back, and its
    shortest digits).  NaN stands where the CSV leaves a cell empty or a
    number is not finite.  ``status`` holds str values: "ok",
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
    worst_directivity_db, worst_return_loss_db, worst_quadrature_error_deg
    over the band, and amplitude_floor_db (-90: amplitudes, and so return
    loss and directivity, stop there as the reports print them).  It is
    None for any other call.

    ``columns`` lists the names in the command's order (``keys()`` too, and
    ``name in r`` asks for a column, as in pandas), ``units`` maps each name
    to its unit ("mm", "ohm", "dB/mm", "" for a ratio), ``shape`` is the
    broadcast shape and ``to_dict()`` gives every column at once.
    """

    __slots__ = ("command", "shape", "columns", "summary", "_units", "_numbers", "_codes",
                 "_texts", "_text_column")

    def __init__(self, command, shape, columns, units, numbers, codes, texts, text_column):
        self.command = command
        self.shape = shape
        self.columns = columns
        self.summary = None
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
        if self.shape == ():
            return self._numbers[index, 0]
        return self._numbers[index].reshape(self.shape)

    def __getattr__(self, name):
        if name.startswith("_") or name in Result.__slots__:
            raise AttributeError(name)
        try:
            index = self.columns.index(name)
        except ValueError:
            raise AttributeError(f"a {self.command} result has no column {name!r} (columns: "
                                 f"{', '.join(self.columns)})") from None
        return self._column(index)

    def __getitem__(self, name):
        try:
            index = self.columns.index(name)
        except ValueError:
            raise KeyError(name) from None
        return self._column(index)

    def __contains__(self, name):
        return name in self.columns

    def keys(self):
        """The column names, in the command's order: dict(r) gives the columns."""
        return self.columns

    def __len__(self):
        return _math.prod(self.shape)

    def __iter__(self):
        row = _row_type(self.command, self.columns)
        cells = [_np.ravel(self._column(k)).tolist() for k in range(len(self.columns))]
        return map(row._make, zip(*cells))

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
    frequency = skrf.Frequency.from_f(_np.atleast_1d(f_mhz) * 1e6, unit="hz")
    frequency.unit = frequency_unit  # its plots read in the call's unit
    z0 = _np.repeat(_np.atleast_1d(reference)[:, None], 4, axis=1)
    return skrf.Network(frequency=frequency, s=matrix.reshape(-1, 4, 4), z0=z0, name=name)


class Multisection(Result):
    """The sections of a multi-section coupler (a `Result` of one row per
    section, from the source end) with its profile: ``profile`` (a dict),
    ``ripple_db`` and ``band`` ((f1, f2) in MHz; f0 twice for a maximally
    flat profile).  ``network(f)`` is the whole coupler as a 4-port
    scikit-rf Network at the frequencies f (in the call's frequency unit),
    its ports 1 input, 2 thru, 3 isolated, 4 coupled, referenced to their
    terminations rs and rl."""

    def network(self, f, name="ketrovane multisection coupler"):
        try:
            import skrf
        except ImportError as e:
            raise ImportError("network needs scikit-rf: install Debian's python3-scikit-rf") from e
        names, values, units = self._call
        _, _, length_unit, frequency_unit = _prepared(names, values, units)
        scale = {"Hz": 1e-6, "kHz": 1e-3, "MHz": 1.0, "GHz": 1e3}[frequency_unit]
        f_mhz = _np.atleast_1d(_np.asarray(f, dtype=float)) * scale
        if f_mhz.ndim != 1:
            raise ValueError("f: expected one value or a one-dimensional array")
        s, references = _core.multisection_scattering(names, values, length_unit, frequency_unit,
                                                      f_mhz)
        frequency = skrf.Frequency.from_f(f_mhz * 1e6, unit="hz")
        frequency.unit = frequency_unit
        z0 = _np.tile(_np.array(references, dtype=float), (f_mhz.size, 1))
        return skrf.Network(frequency=frequency, s=s, z0=z0, name=name)


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
    *table, _, _, failure_note, profile = _core.multisection(names, prepared, length_unit,
                                                             frequency_unit)
    if failure_note is not None:
        _warnings.warn(failure_note, FieldFailureWarning, stacklevel=2)
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
    raise TypeError


def _items(keyword, items):
    """vary={"w": 0.0002, "er": "2%"} or limits={"coupling": (9.5, 10.5)},
    each value a text, a float or (limits) a pair of them."""
    if not isinstance(items, dict):
        raise TypeError
    if keyword != "limits":
        return {name: _item_value(keyword, value) for name, value in items.items()}
    return {name: value if isinstance(value, str) else
            tuple(_item_value(keyword, side) for side in _pair(value))
            for name, value in items.items()}


def _pair(value):
    """A limit's (low, high): ValueError unless it is two values."""
    low, high = value
    return low, high


def _single_value(name, value):
    """One argument of tolerance() as the call takes it: a text, a float, an
    int for a whole number, a dict of items; TypeError naming it otherwise."""
    if value is None or isinstance(value, str):
        return value
    option = _OPTION_NAMED[name]
    kind = option["kind"]
    try:
        if kind == "whole":
            if isinstance(value, bool) or not isinstance(value, (int, _np.integer)):
                raise TypeError
            return int(value)
        if kind == "items":
            return _items(option["keyword"], value)
        if not _is_number(value):
            raise TypeError
        return float(value)
    except TypeError:
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
    is.  ``ketrovane.tolerance_combine(parts)`` puts slices back together."""

    __slots__ = ("sample", "statistics", "yield_", "not_computed", "start", "count", "samples",
                 "seed", "_call")


def _tolerance_result(samples_table, statistics_result, call):
    r = Tolerance("tolerance", (_np.shape(samples_table[2])[-1],), *samples_table[:6])
    table, info = statistics_result
    r.statistics = Result("tolerance", (_np.shape(table[2])[-1],), *table[:6])
    r.yield_ = info["yield"]
    r.not_computed = info["not_computed"]
    r.start, r.count, r.samples, r.seed = info["start"], info["count"], info["samples"], info["seed"]
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
                    "return_loss_db", "isolation_db", "directivity_db")


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


# pylint: disable=wrong-import-position
from ._functions import (analyse, field, multisection, network, response,  # noqa: E402
                         s_matrix, sensitivity, synthesise, tolerance)

# The American spellings, as the command line takes them.
analyze = analyse
synthesize = synthesise
