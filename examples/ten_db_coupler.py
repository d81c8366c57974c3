"""A 10 dB, 50-ohm coupler at 2 GHz on a 62-mil board, as a notebook would
go: synthesise its strips, look at its length and its band summary, then
plot its scattering parameters with scikit-rf, in GHz.

From the repository root, after building:
    PYTHONPATH=build/python /usr/bin/python3 examples/ten_db_coupler.py [PICTURE.png]
(or without PYTHONPATH once the package is installed).
"""

import sys
import warnings

import matplotlib

matplotlib.use("Agg")  # draw into a file, no display needed
import matplotlib.pyplot as plt
import numpy as np

import ketrovane

# The closed-form model's note (its error against the field solution here)
# is worth reading once; it is a warning, shown once per place.
warnings.simplefilter("once", ketrovane.ModelAccuracyWarning)

# %% The board: 62 mil of Er 3.66 with 1-oz copper; millimetres and GHz.
board = dict(b="62mil", t="1oz", er=3.66)
units = ("mm", "GHz")

# %% Strips for 10 dB at 50 ohm, and the length of a quarter wave at 2 GHz.
design = ketrovane.synthesise(**board, zo=50, coupling=10, f0=2, units=units)
print(f"W = {design.w_mm:.3f} mm, S = {design.s_mm:.3f} mm, "
      f"length = {design.length_mm:.2f} mm ({design.length_mm / 0.0254:.0f} mil), "
      f"{design.status}")

# %% Its response with copper and dielectric loss from 1 to 3 GHz.
f = np.linspace(1, 3, 401)
coupler = dict(board, w=design.w_mm, s=design.s_mm, f0=2)
r = ketrovane.response(**coupler, f=f, units=units)
s = r.summary
print(f"coupling at 2 GHz: {s['coupling_at_f0_db']:.2f} dB, within "
      f"{s['flatness_db']} dB from {s['band_low_mhz'] / 1e3:.3f} to "
      f"{s['band_high_mhz'] / 1e3:.3f} GHz")
print(f"over that band: directivity >= {s['worst_directivity_db']:.1f} dB, "
      f"return loss >= {s['worst_return_loss_db']:.1f} dB")

# %% The rows as a table, if pandas is there.
try:
    print(r.to_pandas()[["f_mhz", "s41_db", "directivity_db", "return_loss_db"]][::100])
except ImportError:
    pass

# %% The same coupler as a scikit-rf network, whose plots read in GHz.
net = ketrovane.network(**coupler, f=f, units=units, name="10 dB coupler")
fig, ax = plt.subplots(figsize=(8, 4.5))
net.plot_s_db(m=3, n=0, ax=ax, label="Coupled S41")
net.plot_s_db(m=1, n=0, ax=ax, label="Thru S21")
net.plot_s_db(m=2, n=0, ax=ax, label="Isolated S31")
# scikit-rf draws against hertz and labels the axis in the network's unit.
ax.axvspan(s["band_low_mhz"] * 1e6, s["band_high_mhz"] * 1e6, color="#dfe8f5", zorder=0,
           label="Band within 0.5 dB")
ax.set_title(f"10 dB coupler: W = {design.w_mm:.3f} mm, S = {design.s_mm:.3f} mm, "
             f"L = {design.length_mm:.2f} mm on 62 mil of Er 3.66")
ax.legend()
fig.tight_layout()
fig.savefig(sys.argv[1] if len(sys.argv) > 1 else "ten_db_coupler.png", dpi=100)
