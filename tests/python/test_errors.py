"""A value the command line refuses raises ValueError with the command
line's message, word for word but for the options it names, which are the
keywords (w='-0.1' for --w '-0.1'); in an array, with the element's index."""

import re
import unittest
import warnings

import numpy as np

import calc
import ketrovane

COUPLER = dict(b=0.25, t=0.0014, er=2.2, w=0.168, s=0.011)
LOSSLESS = dict(zo=50, coupling=10, er=2.2, f0=1000, f=900)
TARGET = dict(b=0.25, t=0.0014, er=2.2, zo=50)


def changed(options, **changes):
    """The options with some changed; None is an option not given."""
    return dict(options, **changes)


# (command, options): the options as the command line takes them, numbers
# written as their shortest decimal.
CASES = [
    ("analyse", changed(COUPLER, b=-1)),
    ("analyse", changed(COUPLER, b=0)),
    ("analyse", changed(COUPLER, b=-1, w=-1)),  # the first refused option
    ("analyse", changed(COUPLER, t=0.3)),
    ("analyse", changed(COUPLER, t=-0.5)),
    ("analyse", changed(COUPLER, er=0.5)),
    ("analyse", changed(COUPLER, w=float("nan"))),
    ("analyse", changed(COUPLER, s=float("inf"))),
    ("analyse", changed(COUPLER, s=1e-50)),
    ("analyse", changed(COUPLER, s=2000)),
    ("analyse", changed(COUPLER, rho="tin")),
    ("analyse", changed(COUPLER, rho=-1)),
    ("analyse", changed(COUPLER, rho="1.7ohm")),
    ("analyse", changed(COUPLER, roughness=0.01)),
    ("analyse", changed(COUPLER, roughness="5ft")),
    ("analyse", changed(COUPLER, tand=2)),
    ("analyse", changed(COUPLER, f=0)),
    ("analyse", changed(COUPLER, f="1THz")),
    ("analyse", changed(COUPLER, w="wide")),
    ("analyse", changed(COUPLER, w="0.1\n")),
    ("analyse", changed(COUPLER, w="")),
    ("analyse", changed(COUPLER, s=None)),
    ("sensitivity", changed(COUPLER, t=0.25)),
    ("sensitivity", changed(COUPLER, w=-0.5)),
    ("synthesise", TARGET),
    ("synthesise", changed(TARGET, coupling=10, zoe=70)),
    ("synthesise", changed(TARGET, coupling=0)),
    ("synthesise", changed(TARGET, coupling=-61)),
    ("synthesise", changed(TARGET, coupling="10dBm")),
    ("synthesise", changed(TARGET, zoe=40)),
    ("synthesise", changed(TARGET, zoe=50)),
    ("synthesise", changed(TARGET, zo=0, coupling=10)),
    ("response", changed(LOSSLESS, coupling=None)),
    ("response", changed(LOSSLESS, zo=None)),
    ("response", changed(LOSSLESS, b=0.25)),
    ("response", changed(LOSSLESS, rho="gold")),
    ("response", changed(LOSSLESS, f0=None)),
    ("response", changed(LOSSLESS, length=2)),
    ("response", changed(LOSSLESS, length=-2, f0=None)),
    ("response", changed(LOSSLESS, f=-900)),
    ("response", changed(LOSSLESS, rs=0)),
    ("response", changed(LOSSLESS, rl=20000)),
    ("response", changed(COUPLER, f0=1000, f=900, t=0.3)),
    ("response", changed(COUPLER, f0=1000, f=900, w=None)),
    ("response", changed(COUPLER, f0=1000, f=900, er=None)),
]

FUNCTIONS = {"analyse": ketrovane.analyse, "synthesise": ketrovane.synthesise,
             "response": ketrovane.response, "sensitivity": ketrovane.sensitivity}


def refusal(call):
    try:
        call()
    except ValueError as e:
        return str(e)
    return "accepted"


def as_keywords(message):
    """The command line's message as the package words it: an option the
    command names, --w, is the keyword w=, and its value follows it."""
    return re.sub(r"(^|[ (])--([a-z0-9]+)( ')?",
                  lambda m: f"{m[1]}{m[2]}={chr(39) if m[3] else ''}", message)


class SameMessages(unittest.TestCase):
    def test_scalars_give_the_command_lines_message(self):
        for command, options in CASES:
            with self.subTest(command=command, **{k: repr(v) for k, v in options.items()}):
                expected = as_keywords(calc.message(command, options))
                self.assertEqual(refusal(lambda: FUNCTIONS[command](**options)), expected)

    def test_numbers_in_other_units_are_quoted_with_their_unit(self):
        options = changed(COUPLER, b="-6.35mm", t="0.035mm", w="4mm", s="0.3mm", f="2.5GHz")
        expected = as_keywords(calc.message("analyse", options))
        self.assertEqual(expected, "b='-6.35mm': expected a ground-plane spacing B above 0 in "
                                   "and at most 1000 in")
        self.assertEqual(refusal(lambda: ketrovane.analyse(-6.35, 0.035, 2.2, 4, 0.3, f=2.5,
                                                           units=("mm", "GHz"))), expected)
        expected = as_keywords(calc.message("analyse", changed(COUPLER, f="-2.5GHz")))
        self.assertEqual(refusal(lambda: ketrovane.analyse(**changed(COUPLER, f=-2.5),
                                                           units="GHz")), expected)

    def test_the_reference_of_the_scattering_matrix(self):
        for ref in (0, -50, 100000, -1e-5):
            expected = as_keywords(calc.message("response", changed(LOSSLESS, ref=ref),
                                                ["--touchstone", "/nonexistent/c.s4p"]))
            self.assertEqual(refusal(lambda: ketrovane.s_matrix(**changed(LOSSLESS, ref=ref))),
                             expected)

    def test_array_elements_are_named_by_their_index(self):
        self.assertEqual(
            refusal(lambda: ketrovane.analyse(**changed(COUPLER, w=[0.1, 0.2, -0.1]))),
            "w='-0.1': expected a strip width W above 0 in and at most 1000 in (at index 2)")
        expected = as_keywords(calc.message("analyse", changed(COUPLER, t=0.3)))
        self.assertEqual(
            refusal(lambda: ketrovane.analyse(**changed(COUPLER, t=[[0.001], [0.3]],
                                                        w=[0.1, 0.2]))),
            expected + " (at index (1, 0))")
        # A one-element array is an array.
        expected = as_keywords(calc.message("synthesise", changed(TARGET, zoe=40)))
        self.assertEqual(refusal(lambda: ketrovane.synthesise(**TARGET, zoe=np.array([40]))),
                         expected + " (at index 0)")


class KeywordsInMessages(unittest.TestCase):
    """Every form of the command line's messages, with the options as keywords."""

    def test_an_option_and_its_value(self):
        self.assertEqual(refusal(lambda: ketrovane.analyse(**changed(COUPLER, w=-0.1))),
                         "w='-0.1': expected a strip width W above 0 in and at most 1000 in")
        self.assertEqual(refusal(lambda: ketrovane.response(**changed(LOSSLESS, f0="1THz"))),
                         "f0='1THz': unknown frequency unit 'THz' (expected Hz, kHz, MHz or GHz)")

    def test_one_option_or_another(self):
        self.assertEqual(refusal(lambda: ketrovane.synthesise(**TARGET, coupling=10, zoe=70)),
                         "coupling= or zoe=: give only one of them")
        self.assertEqual(refusal(lambda: ketrovane.synthesise(**TARGET)),
                         "coupling= or zoe=: missing; give one of them")

    def test_an_option_alone(self):
        self.assertEqual(refusal(lambda: ketrovane.analyse(**changed(COUPLER, s=None))),
                         "s=: missing; expected a strip spacing S")
        self.assertTrue(refusal(lambda: ketrovane.analyse(**changed(COUPLER, w=""))).startswith(
            "w=: the value is missing; expected "))

    def test_options_named_inside_the_message(self):
        self.assertEqual(
            refusal(lambda: ketrovane.response(**LOSSLESS, solver="both")),
            "solver='both': expected model for a coupler given by Zo and coupling (field and "
            "both need its dimensions: b= t= w= s=)")
        self.assertEqual(refusal(lambda: ketrovane.response(**LOSSLESS, b=0.25)),
                         "b='0.25': a coupler given by zo= and coupling= has no dimensions or "
                         "losses")

    def test_the_values_given_are_quoted_as_given(self):
        self.assertEqual(refusal(lambda: ketrovane.analyse(**changed(COUPLER, w="--s"))),
                         "w='--s': expected a strip width W: a number with an optional unit "
                         "(in, mil, uin, mm or um; bare numbers are in)")
        self.assertEqual(refusal(lambda: ketrovane.analyse(**changed(COUPLER, w="' --s"))),
                         "w='\\' --s': expected a strip width W: a number with an optional unit "
                         "(in, mil, uin, mm or um; bare numbers are in)")
        self.assertEqual(refusal(lambda: ketrovane.analyse(**changed(COUPLER, w=["0.1", "(--s"]))),
                         "w='(--s': expected a strip width W: a number with an optional unit "
                         "(in, mil, uin, mm or um; bare numbers are in) (at index 1)")

    # The refusal is one value that each front end words with its own
    # spelling of the options: two options in one message, an option with
    # one of its choices and options inside what is expected are keywords
    # here where the command line writes --.
    def test_every_form_is_the_command_lines_with_keywords(self):
        flat = dict(zo=50, coupling=10, sections=3, er=3.66)
        for command, call, options, expected in (
                ("multisection", ketrovane.multisection, flat,
                 "band= or f0=: missing; give the band, or f0 with ripple= or "
                 "profile='maximally-flat'"),
                ("multisection", ketrovane.multisection, changed(flat, f0=1000),
                 "ripple= or profile='maximally-flat': missing; give one of them with f0="),
                ("multisection", ketrovane.multisection,
                 changed(flat, f0=1000, profile="maximally-flat", ripple=0.5),
                 "ripple='0.5': not with profile='maximally-flat'"),
                ("multisection", ketrovane.multisection, changed(flat, f0=1000, ripple=0.5, t=0.1),
                 "t='0.1': only with a board: b= and t="),
                ("analyse", ketrovane.analyse, changed(COUPLER, h=0.01),
                 "h='0.01': only for geometry='edge-offset' (the geometry is edge)"),
                ("analyse", ketrovane.analyse, changed(COUPLER, geometry="edge-offset", h=0.1),
                 "geometry='edge-offset': the closed-form model covers geometry='edge' only; add "
                 "solver='field'"),
                ("response", ketrovane.response, changed(LOSSLESS, solver="field"),
                 "solver='field': expected model for a coupler given by Zo and coupling (field "
                 "and both need its dimensions: b= t= w= s=)")):
            with self.subTest(expected=expected):
                self.assertEqual(refusal(lambda: call(**options)), expected)
                self.assertEqual(calc.message(command, options).count("--"),
                                 expected.count("="))


class FieldFailures(unittest.TestCase):
    """A cross-section the field solver cannot solve, or strips too far apart
    for it to resolve their coupling, is a row whose status says so, at its
    element's index; the other elements are computed, and a
    FieldFailureWarning names the first such element and why."""

    NO_SOLUTION = ("1 row has no field solution, element 1, at W 0.168 in, S 0.0000001 in, "
                   "T 0.0014 in, B 0.25 in, Er 2.2: s/b = 4e-07 is below the solver's range")
    UNCOUPLED = ("1 row is uncoupled, element 1, at W 0.168 in, S 5 in, T 0.0014 in, B 0.25 in, "
                 "Er 2.2: the strips couple more weakly than -123 dB")

    def test_a_field_failure_is_a_status_with_a_warning_naming_its_element(self):
        edge = dict(COUPLER)
        del edge["s"]
        cases = (
            (ketrovane.analyse, dict(s=[[0.011, 1e-7]], solver="field"),
             [["ok", "no_field_solution"]], "zoe_ohm", self.NO_SOLUTION),
            (ketrovane.sensitivity, dict(s=[[0.011, 1e-7]], solver="field"),
             [["ok", "no_field_solution"]], "zoe_ohm", self.NO_SOLUTION),
            (ketrovane.response, dict(s=[0.011, 1e-7], f0=1000, f=1000, solver="field"),
             ["ok", "no_field_solution"], "s21_db", self.NO_SOLUTION),
            (ketrovane.field, dict(s=[0.011, 1e-7]),
             ["ok", "no_field_solution"], "zoe_ohm", self.NO_SOLUTION),
            (ketrovane.analyse, dict(s=[0.011, 5], solver="field"),
             ["ok", "uncoupled"], "coupling_db", self.UNCOUPLED),
            (ketrovane.field, dict(s=[0.011, 5]),
             ["ok", "uncoupled"], "coupling_db", self.UNCOUPLED),
            (ketrovane.analyse, dict(s=[0.011, 5], solver="both"),
             ["ok", "uncoupled"], "coupling_field_db", self.UNCOUPLED),
        )
        for function, options, statuses, column, note in cases:
            with self.subTest(function=function.__name__, options=options):
                with self.assertWarns(ketrovane.FieldFailureWarning) as caught:
                    r = function(**edge, **options)
                self.assertEqual(r.status.tolist(), statuses)
                numbers = np.ravel(getattr(r, column))
                self.assertFalse(np.isnan(numbers[0]))
                self.assertTrue(np.isnan(numbers[1]))
                self.assertIn("note: " + note, str(caught.warning))

    def test_rows_the_field_solves_warn_of_nothing(self):
        with warnings.catch_warnings():
            warnings.simplefilter("error", ketrovane.FieldFailureWarning)
            r = ketrovane.field(**COUPLER)
        self.assertEqual(r.status, "ok")


if __name__ == "__main__":
    unittest.main()
