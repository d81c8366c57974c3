"""cmake --install puts the package where Debian's python3 looks for the
install prefix, and python3 imports it from there."""

import glob
import os
import subprocess
import sys
import sysconfig
import tempfile
import unittest

BUILD = os.environ["KETROVANE_BUILD"]
CMAKE = os.environ["KETROVANE_CMAKE"]
VERSION = f"{sys.version_info.major}.{sys.version_info.minor}"
PROBE = ("import ketrovane; print(ketrovane.__file__); "
         "print(ketrovane.analyse(0.25, 0.0014, 2.2, 0.168, 0.011).zoe_ohm)")


def without_the_build_tree(**changes):
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    env.update(changes)
    return env


def install(prefix, env):
    subprocess.run([CMAKE, "--install", BUILD, "--prefix", prefix], env=env, check=True,
                   stdout=subprocess.DEVNULL)


class Install(unittest.TestCase):
    def assertPackageIn(self, directory):
        self.assertTrue(os.path.isfile(os.path.join(directory, "ketrovane", "__init__.py")))
        suffix = sysconfig.get_config_var("EXT_SUFFIX")
        self.assertEqual(len(glob.glob(os.path.join(directory, "ketrovane", "_core" + suffix))),
                         1, os.listdir(os.path.join(directory, "ketrovane")))

    def assertImports(self, directory, env):
        out = subprocess.run([sys.executable, "-c", PROBE], env=env, cwd=env.get("HOME", "/"),
                             capture_output=True, text=True, check=True).stdout.split("\n")
        self.assertEqual(out[0], os.path.join(directory, "ketrovane", "__init__.py"))
        self.assertEqual(out[1], "69.29835510253906")  # float32's 69.298355, held in float64

    # The user's own prefix is the user site, which python3 searches by itself.
    def test_home_prefix(self):
        with tempfile.TemporaryDirectory() as home:
            env = without_the_build_tree(HOME=home)
            install(os.path.join(home, ".local"), env)
            directory = os.path.join(home, ".local", "lib", f"python{VERSION}", "site-packages")
            self.assertPackageIn(directory)
            self.assertImports(directory, env)

    # The system prefixes, staged under DESTDIR: their directories are those
    # on python3's own path.
    def test_system_prefixes(self):
        for prefix, below in (("/usr", "lib/python3/dist-packages"),
                              ("/usr/local", f"lib/python{VERSION}/dist-packages")):
            with self.subTest(prefix=prefix), tempfile.TemporaryDirectory() as stage:
                self.assertIn(os.path.join(prefix, below), sys.path)
                install(prefix, without_the_build_tree(DESTDIR=stage))
                directory = os.path.join(stage + prefix, below)
                self.assertPackageIn(directory)
                self.assertImports(directory, without_the_build_tree(PYTHONPATH=directory))


if __name__ == "__main__":
    unittest.main()
