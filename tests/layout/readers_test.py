"""Every file of every artwork the layout tests draw, read back by KiCad's
pcbnew, gerbv, ezdxf and gnuplot.  Usage: readers_test.py WRITE_SAMPLES

Catches a writer whose files the tools refuse, or read with pads misnumbered
or misplaced, layers misnamed, y the wrong way up, coordinates in the wrong
unit or rounded coarsely, regions that gerbv fills wrongly, a picture script
gnuplot stops on."""

import glob
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import artwork_readers  # noqa: E402

# The Gerber file function of each layer the samples use.
FILE_FUNCTIONS = {"F.Cu": "Copper,L1,Top", "In1.Cu": "Copper,L2,Inr", "In2.Cu": "Copper,L3,Inr"}


def main():
    write_samples = sys.argv[1]
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([write_samples, folder], check=True)
        cases = sorted(glob.glob(os.path.join(folder, "*.json")))
        assert len(cases) >= 5, f"{len(cases)} cases written"
        for case in cases:
            base = case[: -len(".json")]
            with open(case, encoding="utf-8") as text:
                geometry = json.load(text)
            comments = geometry["comments"]
            artwork_readers.check_kicad_footprint(base + ".kicad_mod", geometry, comments)
            for layer, name in enumerate(geometry["layer_names"]):
                artwork_readers.check_gerber(f"{base}-{layer + 1}.gbr", geometry, layer, comments,
                                             FILE_FUNCTIONS[name])
            artwork_readers.check_dxf(base + ".dxf", geometry, comments)
            for kind in ("svg", "png"):
                artwork_readers.check_picture(f"{base}-{kind}.gp", f"{base}.{kind}")
            print(f"{os.path.basename(base)}: read back by pcbnew, gerbv, ezdxf and gnuplot")


if __name__ == "__main__":
    main()
