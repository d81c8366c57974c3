"""The package's functions are written from the command line's option
table: their keywords, defaults and docstrings, and the command line's
--help, all say what the table says, the docstrings in Python's words."""

import ast
import inspect
import os
import re
import subprocess
import unittest

import calc
import ketrovane
from ketrovane import _core

OPTIONS = {o["name"]: o for o in _core.option_table()}
FUNCTIONS = {"analyse": ketrovane.analyse, "synthesise": ketrovane.synthesise,
             "response": ketrovane.response, "sensitivity": ketrovane.sensitivity,
             "field": ketrovane.field}
# Every function, its command, the options it leaves out and adds, and the
# parameters besides the options.
EVERY_FUNCTION = [(ketrovane.analyse, "analyse", (), ()),
                  (ketrovane.synthesise, "synthesise", (), ()),
                  (ketrovane.response, "response", (), ("fullwave",)),
                  (ketrovane.sensitivity, "sensitivity", (), ()),
                  (ketrovane.field, "field", (), ()),
                  (ketrovane.multisection, "multisection", ("f",), ()),
                  (ketrovane.tolerance, "tolerance", (), ()),
                  (ketrovane.s_matrix, "response", ("rs", "rl", "flatness"), ("ref",)),
                  (ketrovane.network, "response", ("rs", "rl", "flatness"), ("ref", "name")),
                  (ketrovane.layout, "layout", (), ("file", "fullwave"))]


def keyword_of(o, command):
    """Whether an option of the command is one of its function's keywords:
    the artwork's options are the layout function's, and the response's for
    its full-wave model."""
    return not o["touchstone"] and (not o["artwork"] or command in ("layout", "response"))


def taken_by(command):
    """The options of a command that are Python keywords, by name."""
    return [name for name, o in OPTIONS.items()
            if command in o["required"] + o["optional"] + o["alternative"]
            and keyword_of(o, command)]


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
                     and keyword_of(o, command)]
            # "--min-gap" is the keyword min_gap.
            # Besides the options: the directory of a response's full-wave model.
            extra = ("units", "progress", "fullwave")
            self.assertEqual(sorted(p for p in parameters if p not in extra),
                             sorted(name.replace("-", "_") for name in taken), command)
            usage = command_help(command)
            # Each keyword's line, its continuations joined to it.
            lines = inspect.getdoc(function).replace("\n    ", " ").split("\n")
            for name in taken:
                help_text = OPTIONS[name]["help"][command]
                self.assertIn(" ".join(help_text.split()), usage, (command, name))
                # Its line opens with the help's phrase up to the first
                # option it names, which the line names as a keyword.
                keyword = OPTIONS[name]["keyword"]
                phrase = re.split(r": |; |--", help_text)[0]
                self.assertTrue(any(line.startswith(f"{keyword}: {phrase}") for line in lines),
                                (command, name))

    def test_signatures_list_the_commands_keywords_and_docstrings_speak_python(self):
        # The fault: a function whose keywords or defaults are not its
        # command's, hidden from static readers, or a docstring written in
        # the command line's words (--w, start:stop:step).
        for function, command, left_out, added in EVERY_FUNCTION:
            parameters = inspect.signature(function).parameters
            keywords = {OPTIONS[n]["keyword"] for n in taken_by(command) if n not in left_out}
            self.assertEqual(set(parameters) - {"units", "progress"}, keywords | set(added),
                             function.__name__)
            for name in keywords:
                self.assertRegex(function.__doc__, rf"\n *{name}: ", (function.__name__, name))
            self.assertNotIn("--", function.__doc__, function.__name__)
            self.assertNotIn("start:stop:step", function.__doc__, function.__name__)
        source = os.path.join(os.path.dirname(ketrovane.__file__), "_functions.py")
        with open(source, encoding="utf-8") as f:
            tree = ast.parse(f.read())
        defined = {d.name: d for d in tree.body if isinstance(d, ast.FunctionDef)}
        for function, *_ in EVERY_FUNCTION:
            arguments = defined[function.__name__].args
            written = dict(zip([a.arg for a in arguments.args][::-1], arguments.defaults[::-1]))
            written.update({a.arg: d for a, d in zip(arguments.kwonlyargs, arguments.kw_defaults)
                            if d is not None})
            defaults = {n: p.default for n, p in inspect.signature(function).parameters.items()
                        if p.default is not inspect.Parameter.empty}
            self.assertEqual({n: ast.literal_eval(d) for n, d in written.items()}, defaults,
                             function.__name__)

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
