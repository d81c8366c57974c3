"""ketrovane.layout(fullwave=DIR): the full-wave model as the command line's
--fullwave DIR writes it, and its refusals in Python's words."""

import os
import tempfile
import unittest

import calc
import ketrovane

COUPLER = dict(b="62mil", t="1.37mil", er=3.66, w="24.8mil", s="6.4mil", f0="2GHz", rl=75,
               bend="arc")


class Model(unittest.TestCase):
    # The fault: fullwave= ignored, or a model that is not the command
    # line's (another coupler, another unit, a directory not made).
    def test_the_model_is_the_command_lines(self):
        with tempfile.TemporaryDirectory() as folder:
            python_dir = os.path.join(folder, "python", "model")
            calc_dir = os.path.join(folder, "calc")
            # Every length in mil: the command line writes them so.
            r = ketrovane.layout(**COUPLER, units="mil", fullwave=python_dir)
            calc.run(calc.arguments("fullwave", COUPLER) + ["--fullwave", calc_dir])
            self.assertEqual(sorted(r.files), sorted(os.path.join(python_dir, name)
                                                     for name in ("coupler.py", "README.txt")))
            self.assertIn("the full-wave model of the coupler as laid out is in", r.note)
            for name in ("coupler.py", "README.txt"):
                with open(os.path.join(python_dir, name), encoding="utf-8") as p, \
                        open(os.path.join(calc_dir, name), encoding="utf-8") as c:
                    self.assertEqual(p.read(), c.read(), name)


class Refusals(unittest.TestCase):
    # The fault: a file taken for the model's directory (and written over),
    # or a value that is no name taken.
    def test_refusals(self):
        with tempfile.TemporaryDirectory() as folder:
            taken = os.path.join(folder, "taken")
            with open(taken, "w", encoding="utf-8") as f:
                f.write("kept\n")
            with self.assertRaisesRegex(ValueError, "fullwave=: .* is a file; give a directory"):
                ketrovane.layout(**COUPLER, fullwave=taken)
            with open(taken, encoding="utf-8") as f:
                self.assertEqual(f.read(), "kept\n")
            with self.assertRaisesRegex(TypeError, "fullwave=: expected a directory's name"):
                ketrovane.layout(**COUPLER, fullwave=3)


if __name__ == "__main__":
    unittest.main()
