"""A value the command line refuses raises ValueError with the command
line's message, word for word; in an array, with the element's index."""

import unittest

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


class SameMessages(unittest.TestCase):
    def test_scalars_give_the_command_lines_message(self):
        for command, options in CASES:
            with self.subTest(command=command, **{k: repr(v) for k, v in options.items()}):
                expected = calc.message(command, options)
                self.assertEqual(refusal(lambda: FUNCTIONS[command](**options)), expected)

    def test_numbers_in_other_units_are_quoted_with_their_unit(self):
        options = changed(COUPLER, b="-6.35mm", t="0.035mm", w="4mm", s="0.3mm", f="2.5GHz")
        expected = calc.message("analyse", options)
        self.assertEqual(expected, "--b '-6.35mm': expected a ground-plane spacing B above 0 in "
                                   "and at most 1000 in")
        self.assertEqual(refusal(lambda: ketrovane.analyse(-6.35, 0.035, 2.2, 4, 0.3, f=2.5,
                                                           units=("mm", "GHz"))), expected)
        expected = calc.message("analyse", changed(COUPLER, f="-2.5GHz"))
        self.assertEqual(refusal(lambda: ketrovane.analyse(**changed(COUPLER, f=-2.5),
                                                           units="GHz")), expected)

    def test_the_reference_of_the_scattering_matrix(self):
        for ref in (0, -50, 100000, -1e-5):
            expected = calc.message("response", changed(LOSSLESS, ref=ref),
                                    ["--touchstone", "/nonexistent/c.s4p"])
            self.assertEqual(refusal(lambda: ketrovane.s_matrix(**changed(LOSSLESS, ref=ref))),
                             expected)

    def test_array_elements_are_named_by_their_index(self):
        expected = calc.message("analyse", changed(COUPLER, w=-0.1))
        self.assertEqual(
            refusal(lambda: ketrovane.analyse(**changed(COUPLER, w=[0.1, 0.2, -0.1]))),
            expected + " (at index 2)")
        expected = calc.message("analyse", changed(COUPLER, t=0.3))
        self.assertEqual(
            refusal(lambda: ketrovane.analyse(**changed(COUPLER, t=[[0.001], [0.3]],
                                                        w=[0.1, 0.2]))),
            expected + " (at index (1, 0))")
        # A one-element array is an array.
        expected = calc.message("synthesise", changed(TARGET, zoe=40))
        self.assertEqual(refusal(lambda: ketrovane.synthesise(**TARGET, zoe=np.array([40]))),
                         expected + " (at index 0)")


if __name__ == "__main__":
    unittest.main()
