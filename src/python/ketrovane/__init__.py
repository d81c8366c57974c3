"""Single-section, edge-coupled stripline directional couplers.

Two equal strips of width w, thickness t and edge gap s, centred between
ground planes b apart in a dielectric of relative permittivity er.  The
functions compute what ``ketrovane-calc`` computes, with the same
single-precision model, the same checks and the same messages:

    analyse(b, t, er, w, s)            Zo, Zoe, Zoo, coupling, mode losses
    synthesise(b, t, er, zo, coupling) strip width and spacing
    response(zo=, coupling=, er=, f0=, f=)   four-port response
    sensitivity(b, t, er, w, s)        sensitivities of Zoe and Zoo
    field(b, t, er, w, s, tol=1e-4)    the field solution, with its error estimate
    s_matrix(...), network(...)        the 4x4 scattering matrix, skrf.Network

Arguments carry the names of the command's options.  Numbers of lengths are
in inches and of frequencies in MHz unless ``units`` says otherwise:
``units="mm"``, ``units="GHz"`` or ``units=("mm", "GHz")`` (lengths: in,
mil, mm, um; frequencies: Hz, kHz, MHz, GHz).  Impedances are in ohms,
coupling in dB.  A single value may also be a text with its own unit, read
exactly as the command line reads it: ``roughness="5uin"``, ``f0="1GHz"``,
``rho="copper"``.

analyse, synthesise, response (given by dimensions) and sensitivity take
``solver="model"`` (the closed-form model, default), ``"field"`` (the
field solution in the same columns) or ``"both"`` (the model's columns,
then the field solution's and the model's error in per cent).

Numeric arguments broadcast like numpy arrays; each element is one row of
the command, computed in C++.  A value the command line would refuse raises
ValueError with the command line's message (and, for arrays, the index of
the element).  Results are `Result` objects: one numpy array per column,
named as the command's CSV columns (``r.zoe_ohm``, ``r.w_mm``).
"""

import collections.abc as _abc

import numpy as _np

from . import _core

__all__ = ["Result", "analyse", "synthesise", "response", "sensitivity", "field", "s_matrix",
           "network"]
__version__ = _core.__version__

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


def _as_numbers(name, value):
    """One argument as a float64 array, or TypeError/ValueError naming it."""
    try:
        array = _np.asarray(value)
    except (TypeError, ValueError, OverflowError) as e:
        raise TypeError(f"--{name}: expected a number, an array of numbers or a text ({e})") \
            from None
    if array.dtype.kind not in "biuf":
        raise TypeError(f"--{name}: expected a number, an array of numbers or a text, "
                        f"not {type(value).__name__} of {array.dtype}")
    if array.size == 0:
        raise ValueError(f"--{name}: an empty array; expected at least one value")
    return array.astype(_np.float64, copy=False)


def _broadcast(names, values):
    """The values with each array flattened to its broadcast, and the shape."""
    values = list(values)
    arrays = []
    for k, value in enumerate(values):
        if value is None or type(value) is str:
            continue
        if isinstance(value, str):
            values[k] = str(value)
            continue
        values[k] = _as_numbers(names[k], value)
        arrays.append(k)
    shapes = [values[k].shape for k in arrays]
    try:
        shape = _np.broadcast_shapes(*shapes)
    except ValueError:
        for j, a in enumerate(arrays):
            for b in arrays[j + 1:]:
                try:
                    _np.broadcast_shapes(values[a].shape, values[b].shape)
                except ValueError:
                    raise ValueError(
                        f"--{names[a]} and --{names[b]}: shapes {values[a].shape} and "
                        f"{values[b].shape} do not broadcast together") from None
        raise
    rows = 1
    for extent in shape:
        rows *= extent
    if rows > _core.MOST_ROWS:
        raise ValueError(f"the arguments broadcast to shape {shape}: {rows} rows, more than "
                         f"{_core.MOST_ROWS}")
    for k in arrays:
        a = values[k]
        values[k] = a.ravel() if a.size == 1 else _np.broadcast_to(a, shape).ravel()
    return tuple(values), shape


def _prepared(names, values, solver, units):
    if type(solver) is not str:
        raise TypeError(f"--solver: expected a solver's name such as 'model', not "
                        f"{type(solver).__name__}")
    length_unit, frequency_unit = _units(units)
    if _PLAIN.issuperset(map(type, values)):
        return values, (), length_unit, frequency_unit
    values, shape = _broadcast(names, values)
    return values, shape, length_unit, frequency_unit


def _table(command, names, values, solver, units):
    values, shape, length_unit, frequency_unit = _prepared(names, values, solver, units)
    return Result(command, shape, *_core.table(command, names, values, length_unit,
                                                frequency_unit, solver, shape))


class Result(_abc.Mapping):
    """The rows of one call, column by column.

    Each column is an attribute and an item, named as the command's CSV
    column (``r.zoe_ohm``, ``r["w_mm"]``): a float32 numpy array of the
    arguments' broadcast shape, or a numpy float32 scalar when every
    argument was a scalar.  NaN stands where the CSV leaves a cell empty.
    A synthesis result's ``status`` holds str values ("converged",
    "spacing_floor", "width_floor", "unusable", "not_representable").

    ``columns`` lists the names in the command's order, ``units`` maps each
    name to its unit ("mm", "ohm", "dB/mm", "" for a ratio), ``shape`` is
    the broadcast shape and ``to_dict()`` gives every column at once.
    """

    __slots__ = ("command", "shape", "columns", "_units", "_numbers", "_codes", "_texts",
                 "_text_column")

    def __init__(self, command, shape, columns, units, numbers, codes, texts, text_column):
        self.command = command
        self.shape = shape
        self.columns = columns
        self._units = units
        self._numbers = numbers
        self._codes = codes
        self._texts = texts
        self._text_column = text_column

    def _column(self, index):
        if index == self._text_column:
            if self.shape == ():
                return self._texts[self._codes[0]]
            return _np.array(self._texts)[self._codes].reshape(self.shape)
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

    def __iter__(self):
        return iter(self.columns)

    def __len__(self):
        return len(self.columns)

    def __dir__(self):
        return sorted(set(super().__dir__()) | set(self.columns))

    @property
    def units(self):
        return dict(zip(self.columns, self._units))

    def to_dict(self):
        """Every column by name, in the command's order."""
        return {name: self._column(k) for k, name in enumerate(self.columns)}

    def __repr__(self):
        if self.shape == ():
            cells = ", ".join(f"{name}={self._column(k)!s}" for k, name in enumerate(self.columns))
            return f"<ketrovane {self.command}: {cells}>"
        return (f"<ketrovane {self.command}, shape {self.shape}: "
                f"{', '.join(self.columns)}>")


_ANALYSE = ("b", "t", "er", "w", "s", "rho", "roughness", "tand", "f")
_SYNTHESISE = ("b", "t", "er", "zo", "coupling", "zoe")
_SENSITIVITY = ("b", "t", "er", "w", "s")
_FIELD = ("b", "t", "er", "w", "s", "tol")
_RESPONSE = ("zo", "coupling", "er", "b", "t", "w", "s", "rho", "roughness", "tand", "length",
             "f0", "f", "rs", "rl")
_S_MATRIX = ("zo", "coupling", "er", "b", "t", "w", "s", "rho", "roughness", "tand", "length",
             "f0", "f", "ref")


def analyse(b, t, er, w, s, *, rho=None, roughness=None, tand=None, f=None, solver="model",
            units=None):
    """Zo, Zoe, Zoo, midband coupling and mode losses of coupled strips.

    b, t, w, s: ground-plane spacing, strip thickness (at most 0.8 b), strip
    width and edge gap, in the length unit; er: relative permittivity.
    rho: conductor resistivity in micro-ohm-cm or silver, copper, gold,
    aluminium, brass, lossless (default copper, 1.7); roughness: RMS
    surface roughness in the length unit (default "5uin"); tand: dielectric
    loss tangent (default 0.0009); f: frequency of the losses (default
    1000 MHz).  Columns: w_in, s_in, w_over_b, s_over_b, zo_ohm, zoe_ohm,
    zoo_ohm, coupling_db, loss_even_db_per_in, loss_odd_db_per_in (losses
    negative, per length unit; the length columns follow ``units``).
    """
    return _table("analyse", _ANALYSE, (b, t, er, w, s, rho, roughness, tand, f), solver, units)


def synthesise(b, t, er, zo, coupling=None, zoe=None, *, solver="model", units=None):
    """Strip width and spacing for a coupling level or an even-mode impedance.

    Give coupling (dB, 10 and -10 alike, above 0 to 60) or zoe (ohms, above
    zo), not both.  Columns: w_in, s_in, w_over_b, s_over_b, zo_ohm,
    zoe_ohm, zoo_ohm, coupling_db, status.  A row that cannot be built
    keeps its targets, has NaN width and spacing and names the reason in
    its status.
    """
    return _table("synthesise", _SYNTHESISE, (b, t, er, zo, coupling, zoe), solver, units)


def response(*, er, f, zo=None, coupling=None, b=None, t=None, w=None, s=None, rho=None,
             roughness=None, tand=None, length=None, f0=None, rs=None, rl=None, solver="model",
             units=None):
    """Four-port response of the coupler at the frequencies f.

    The coupler is given by zo and coupling (lossless), or by its
    dimensions b, t, w, s with rho, roughness and tand as in analyse; er in
    both forms.  Its length is given by length, or by f0, where it is a
    quarter wave long.  rs, rl: source and load terminations (default 50
    ohms).  Ports: 1 input, 2 thru, 3 isolated, 4 coupled.  Columns: f_mhz,
    s11_db, s11_deg, s21_db, s21_deg, s31_db, s31_deg, s41_db, s41_deg,
    vswr, phase_difference_deg, phase_error_deg, loss_conductor_db,
    loss_total_db (frequencies always in MHz, as the command writes them).
    """
    return _table("response", _RESPONSE, (zo, coupling, er, b, t, w, s, rho, roughness, tand,
                                          length, f0, f, rs, rl), solver, units)


def sensitivity(b, t, er, w, s, *, solver="model", units=None):
    """Normalised sensitivities of Zoe and Zoo to Er, B, S, T and W.

    Columns: w_in, s_in, zoe_ohm, zoo_ohm, szoe_er, szoe_b, szoe_s, szoe_t,
    szoe_w, szoo_er, szoo_b, szoo_s, szoo_t, szoo_w.
    """
    return _table("sensitivity", _SENSITIVITY, (b, t, er, w, s), solver, units)


def field(b, t, er, w, s, *, tol=1e-4, units=None):
    """The two-dimensional field solution of the cross-section.

    A boundary-element solution of the charge on the strips between the
    ground planes, refined until each mode impedance changes by less than
    tol (relative) from one refinement to the next.  Columns: w_in, s_in,
    w_over_b, s_over_b, zo_ohm, zoe_ohm, zoo_ohm, coupling_db, c_even,
    c_odd (capacitance per unit length over the permittivity, per strip),
    error_estimate, panels.  A cross-section the solver cannot verify to
    tol raises RuntimeError with its last estimate.
    """
    return _table("field", _FIELD, (b, t, er, w, s, tol), "model", units)


def _scattering(values, solver, units):
    values, shape, length_unit, frequency_unit = _prepared(_S_MATRIX, values, solver, units)
    s, f_mhz, ref = _core.scattering(_S_MATRIX, values, length_unit, frequency_unit, solver,
                                     shape)
    return s.reshape(shape + (4, 4)), f_mhz.reshape(shape), ref.reshape(shape)


def s_matrix(*, er, f, zo=None, coupling=None, b=None, t=None, w=None, s=None, rho=None,
             roughness=None, tand=None, length=None, f0=None, ref=None, solver="model",
             units=None):
    """The full 4x4 scattering matrix, every port referenced to ref ohms.

    The coupler as in response (no rs, rl: every port sees ref, default 50
    ohms).  Returns a complex64 array of the broadcast shape followed by
    (4, 4): s[..., i - 1, j - 1] is Sij with ports 1 input, 2 thru, 3
    isolated, 4 coupled, as in the command's Touchstone file.
    """
    return _scattering((zo, coupling, er, b, t, w, s, rho, roughness, tand, length, f0, f, ref),
                       solver, units)[0]


def network(*, er, f, zo=None, coupling=None, b=None, t=None, w=None, s=None, rho=None,
            roughness=None, tand=None, length=None, f0=None, ref=None, solver="model",
            units=None, name="ketrovane coupler"):
    """The coupler as a 4-port scikit-rf Network over the frequencies f.

    Arguments as in s_matrix; f is one value or a one-dimensional array and
    the other arguments describe one coupler.  Needs scikit-rf (Debian:
    apt install python3-scikit-rf).
    """
    try:
        import skrf
    except ImportError as e:
        raise ImportError("ketrovane.network needs scikit-rf: install Debian's python3-scikit-rf "
                          "(apt install python3-scikit-rf) or pip install scikit-rf") from e
    matrix, f_mhz, reference = _scattering(
        (zo, coupling, er, b, t, w, s, rho, roughness, tand, length, f0, f, ref), solver, units)
    if len(f_mhz.shape) > 1:
        raise ValueError(f"a network is one coupler over one frequency axis; the arguments "
                         f"broadcast to shape {f_mhz.shape}")
    frequency = skrf.Frequency.from_f(_np.atleast_1d(f_mhz).astype(_np.float64) * 1e6,
                                      unit="hz")
    z0 = _np.repeat(_np.atleast_1d(reference).astype(_np.float64)[:, None], 4, axis=1)
    return skrf.Network(frequency=frequency, s=matrix.reshape(-1, 4, 4).astype(_np.complex128),
                        z0=z0, name=name)
