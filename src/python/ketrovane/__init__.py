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

Numeric arguments broadcast like numpy arrays; each element is one row of
the command, computed in C++.  A value the command line would refuse raises
ValueError with the command line's message (and, for arrays, the index of
the element).  Results are `Result` objects: one numpy array per column,
named as the command's CSV columns (``r.zoe_ohm``, ``r.w_mm``); a row whose
numbers are not finite has NaN there and says so in its ``status``.  Where
the closed-form model's rows reach a part of the map of its error against
the field solution where it may be off by more than 1 %, the call warns
with a `ModelAccuracyWarning`.
"""

import collections.abc as _abc
import warnings as _warnings

import numpy as _np

from . import _core

__all__ = ["Result", "ModelAccuracyWarning", "analyse", "synthesise", "response",
           "sensitivity", "field", "s_matrix", "network"]
__version__ = _core.__version__


class ModelAccuracyWarning(UserWarning):
    """The closed-form model may be off by more than 1 % where the call's rows lie.

    The text is the note ``ketrovane-calc`` writes: where, by how much, and
    that ``solver="field"`` or ``solver="both"`` gives or compares the
    field solution.
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


def _prepared(names, values, units):
    length_unit, frequency_unit = _units(units)
    if _PLAIN.issuperset(map(type, values)):
        return values, (), length_unit, frequency_unit
    values, shape = _broadcast(names, values)
    return values, shape, length_unit, frequency_unit


def _table(command, names, values, units):
    values, shape, length_unit, frequency_unit = _prepared(names, values, units)
    *table, note = _core.table(command, names, values, length_unit, frequency_unit, shape)
    if note is not None:
        _warnings.warn(note, ModelAccuracyWarning, stacklevel=3)
    return Result(command, shape, *table)


class Result(_abc.Mapping):
    """The rows of one call, column by column.

    Each column is an attribute and an item, named as the command's CSV
    column (``r.zoe_ohm``, ``r["w_mm"]``): a float32 numpy array of the
    arguments' broadcast shape, or a numpy float32 scalar when every
    argument was a scalar.  NaN stands where the CSV leaves a cell empty or
    a number is not finite.  ``status`` holds str values: "ok",
    "zero_thickness_abandoned" (the model left its zero-thickness solution
    there, and its numbers jump) or "not_finite" for the rows of analyse,
    sensitivity and response; "converged", "spacing_floor", "width_floor",
    "unusable", "not_representable" or "field_not_converged" for synthesis.

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


def _scattering(names, values, units):
    values, shape, length_unit, frequency_unit = _prepared(names, values, units)
    s, f_mhz, ref = _core.scattering(names, values, length_unit, frequency_unit, shape)
    return s.reshape(shape + (4, 4)), f_mhz.reshape(shape), ref.reshape(shape)


def _network(names, values, units, name):
    try:
        import skrf
    except ImportError as e:
        raise ImportError("ketrovane.network needs scikit-rf: install Debian's python3-scikit-rf "
                          "(apt install python3-scikit-rf) or pip install scikit-rf") from e
    matrix, f_mhz, reference = _scattering(names, values, units)
    if len(f_mhz.shape) > 1:
        raise ValueError(f"a network is one coupler over one frequency axis; the arguments "
                         f"broadcast to shape {f_mhz.shape}")
    frequency = skrf.Frequency.from_f(_np.atleast_1d(f_mhz).astype(_np.float64) * 1e6,
                                      unit="hz")
    z0 = _np.repeat(_np.atleast_1d(reference).astype(_np.float64)[:, None], 4, axis=1)
    return skrf.Network(frequency=frequency, s=matrix.reshape(-1, 4, 4).astype(_np.complex128),
                        z0=z0, name=name)


# ---- The functions, made from the command line's option table ----

_OPTIONS = _core.option_table()
_COMMANDS = {c["name"]: c for c in _core.command_table()}

# What each function says besides its options and columns.
_NOTES = {
    "analyse": "Losses are negative dB per length unit, as the impedance report prints them.",
    "synthesise": "Give coupling or zoe, not both.  A row that cannot be built keeps its "
                  "targets, has NaN width and spacing and names the reason in its status.",
    "response": "The coupler is given by zo and coupling (lossless), or by its dimensions b, "
                "t, w, s with rho, roughness and tand; er in both forms.  Its length is given "
                "by length, or by f0, where it is a quarter wave long.  Ports: 1 input, 2 "
                "thru, 3 isolated, 4 coupled.  Frequencies are written in MHz.",
    "sensitivity": "",
    "field": "A cross-section the solver cannot verify to tol raises RuntimeError with its "
             "last estimate.",
}
_SCATTERING_NOTE = ("The coupler as in response, but every port referenced to ref ohms "
                    "(no rs, rl): s[..., i - 1, j - 1] is Sij with ports 1 input, 2 thru, 3 "
                    "isolated, 4 coupled, as in the command's Touchstone file.")
# The scattering matrix references every port to ref instead of terminating
# the coupler in rs and rl.
_TERMINATIONS = ("rs", "rl")


def _python_default(option):
    """The option's default as a Python value: a number for a pure number
    or an impedance, a text (with its unit) for a length or a frequency."""
    text = option["default"]
    if not text:  # optional, and nothing without it
        return None
    if option["kind"] != "quantity":
        return text
    if option["dimension"] in ("in", "MHz"):
        return text if text[-1].isalpha() else text + option["dimension"]
    return float(text)


def _parameters(command, options):
    """(positional, keyword-only) parameter texts of a command's function."""
    taken = [o for o in options if command in o["required"] + o["optional"] + o["alternative"]
             and not o["touchstone"]]
    required = [o for o in taken if command in o["required"]]
    # A command with several forms (an alternative before a required
    # option) takes keywords only.
    first_required = taken.index(required[0]) if required else len(taken)
    keyword_only = any(command in o["alternative"] for o in taken[:first_required])
    positional, keywords = [], []
    for o in taken:
        name = o["name"]
        if command in o["required"]:
            (keywords if keyword_only else positional).append(name)
        elif command in o["alternative"]:
            (keywords if keyword_only else positional).append(f"{name}=None")
        else:
            keywords.append(f"{name}={_python_default(o)!r}")
    if keyword_only:  # the required ones first
        keywords.sort(key=lambda p: "=" in p)
    return positional, keywords, [o["name"] for o in taken]


def _docstring(summary, command, names, columns, note):
    lines = [summary[0].upper() + summary[1:] + ".", ""]
    lines.append("Lengths are in the length unit of ``units`` (inches by default) and "
                 "frequencies in its frequency unit (MHz), unless given as a text with its own "
                 "unit.")
    lines.append("")
    by_name = {o["name"]: o for o in _OPTIONS}
    for name in names:
        lines.append(f"{name}: {by_name[name]['help'][command]}")
    lines.append("units: the call's units: a length unit (in, mil, mm, um), a frequency unit "
                 "(Hz, kHz, MHz, GHz) or one of each; default inches and MHz")
    if columns:
        lines += ["", "Columns: " + ", ".join(columns) + " (the length columns follow units)."]
    if note:
        lines += ["", note]
    return "\n".join(lines)


def _make(function, command, body, extra=(), excluded=(), also=(), note=None, columns=True):
    """Defines `function` in this module from `command`'s options.

    A default the caller left alone goes to the rows as an option not
    given, which the rows read as that default without reading its text
    again on every call.
    """
    positional, keywords, names = _parameters(command, _OPTIONS)
    keep = [n for n in names if n not in excluded] + list(also)
    positional = [p for p in positional if p.split("=")[0] in keep]
    keywords = [p for p in keywords if p.split("=")[0] in keep]
    for name in also:
        option = next(o for o in _OPTIONS if o["name"] == name)
        keywords.append(f"{name}={_python_default(option)!r}")
    defaults = {p.split("=")[0]: eval(p.split("=", 1)[1])  # pylint: disable=eval-used
                for p in keywords if "=" in p and p.split("=", 1)[1] != "None"}
    keywords += ["units=None"] + list(extra)
    signature = ", ".join(positional + (["*"] + keywords if keywords else []))
    values = [f"None if {n} is _DEFAULT_{n} else {n}" if n in defaults else n for n in keep]
    arguments = ", ".join(values) + ("," if len(values) == 1 else "")
    source = (f"def {function}({signature}):\n"
              f"    return {body.format(names=f'_NAMES_{function}', values=f'({arguments})')}\n")
    namespace = {"_table": _table, "_scattering": _scattering, "_network": _network,
                 f"_NAMES_{function}": tuple(keep)}
    namespace.update({f"_DEFAULT_{n}": v for n, v in defaults.items()})
    exec(source, namespace)  # pylint: disable=exec-used
    made = namespace[function]
    # The signature's defaults are the very objects the body compares with.
    made.__kwdefaults__ = {**(made.__kwdefaults__ or {}),
                           **{n: v for n, v in defaults.items() if n in made.__kwdefaults__}}
    made.__module__ = __name__
    info = _COMMANDS[command]
    made.__doc__ = _docstring(info["summary"], command, keep,
                              info["columns"] if columns else (),
                              _NOTES[command] if note is None else note)
    globals()[function] = made


for _name in ("analyse", "synthesise", "response", "sensitivity", "field"):
    _make(_name, _name, "_table(" + repr(_name) + ", {names}, {values}, units)")
_make("s_matrix", "response", "_scattering({names}, {values}, units)[0]",
      excluded=_TERMINATIONS, also=("ref",), note=_SCATTERING_NOTE, columns=False)
_make("network", "response", "_network({names}, {values}, units, name)",
      extra=("name='ketrovane coupler'",), excluded=_TERMINATIONS, also=("ref",),
      note=_SCATTERING_NOTE + "  f is one value or a one-dimensional array and the other "
      "arguments describe one coupler; returns a 4-port scikit-rf Network (Debian: "
      "python3-scikit-rf).", columns=False)
