"""The package's functions are made from the command line's option table:
their keywords, defaults and docstrings, and the command line's --help, all
say what the table says."""

import inspect
import subprocess
import unittest

import calc
import ketrovane
from ketrovane import _core

OPTIONS = {o["name"]: o for o in _core.option_table()}
FUNCTIONS = {"analyse": ketrovane.analyse, "synthesise": ketrovane.synthesise,
             "response": ketrovane.response, "sensitivity": ketrovane.sensitivity,
             "field": ketrovane.field}


def command_help(command):
    done = subprocess.run([calc.PROGRAM, command, "--help"], capture_output=True, text=True,
                          check=True)
    return " ".join(done.stdout.split())


class FromTheTable(unittest.TestCase):
    def test_every_keyword_is_an_option_of_the_command_with_its_help(self):
        for command, function in FUNCTIONS.items():
            parameters = inspect.signature(function).parameters
            taken = [name for name, o in OPTIONS.items()
                     if command in o["required"] + o["optional"] + o["alternative"]
                     and not o["touchstone"]]
            # "--min-gap" is the keyword min_gap.
            self.assertEqual(sorted(p for p in parameters if p not in ("units", "progress")),
                             sorted(name.replace("-", "_") for name in taken), command)
            usage = command_help(command)
            for name in taken:
                help_text = OPTIONS[name]["help"][command]
                self.assertIn(f"{name.replace('-', '_')}: {help_text}", function.__doc__,
                              (command, name))
                self.assertIn(" ".join(help_text.split()), usage, (command, name))

    def test_defaults_are_the_tables(self):
        analyse = inspect.signature(ketrovane.analyse).parameters
        self.assertEqual(analyse["rho"].default, OPTIONS["rho"]["default"])
        self.assertEqual(analyse["roughness"].default, OPTIONS["roughness"]["default"])
        self.assertEqual(analyse["tand"].default, float(OPTIONS["tand"]["default"]))
        self.assertEqual(analyse["f"].default, OPTIONS["f"]["default"] + "MHz")
        self.assertEqual(inspect.signature(ketrovane.field).parameters["tol"].default,
                         float(OPTIONS["tol"]["default"]))
        # A default is the default: the call without the keyword and with it
        # give the same row.
        with_default = ketrovane.field(0.25, 0.002, 2.2, 0.168, 0.012)
        given = ketrovane.field(0.25, 0.002, 2.2, 0.168, 0.012, tol=1e-4)
        self.assertEqual(with_default.zoe_ohm, given.zoe_ohm)

    def test_the_forms_of_a_response_take_keywords_only(self):
        for function in (ketrovane.response, ketrovane.s_matrix, ketrovane.network):
            kinds = {p.kind for p in inspect.signature(function).parameters.values()}
            self.assertEqual(kinds, {inspect.Parameter.KEYWORD_ONLY}, function.__name__)
        self.assertIn("ref", inspect.signature(ketrovane.s_matrix).parameters)
        self.assertNotIn("rs", inspect.signature(ketrovane.s_matrix).parameters)
        self.assertNotIn("ref", inspect.signature(ketrovane.response).parameters)


if __name__ == "__main__":
    unittest.main()
