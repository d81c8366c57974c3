"""A 10 dB, 50-ohm coupler on a 0.25-inch board: synthesise its strips,
sweep its response with losses and plot coupling and isolation.

From the repository root, after building:
    PYTHONPATH=build/python /usr/bin/python3 examples/ten_db_coupler.py [PICTURE.png]
(or without PYTHONPATH once the package is installed).
"""

import sys

import matplotlib

matplotlib.use("Agg")  # draw into a file, no display needed
import matplotlib.pyplot as plt
import numpy as np

import ketrovane

# Strip width and spacing: copper strips 1.4 mil thick, Er 2.2.
board = dict(b=0.25, t=0.0014, er=2.2)
design = ketrovane.synthesise(**board, zo=50, coupling=10)
print(f"W = {design.w_in:.4f} in, S = {design.s_in:.4f} in ({design.status}): "
      f"Zoe = {design.zoe_ohm:.2f} ohm, Zoo = {design.zoo_ohm:.2f} ohm")

# A quarter wave long at 1 GHz, swept from 0.2 to 1.8 GHz with copper and
# dielectric losses.
f = np.linspace(200, 1800, 321)
r = ketrovane.response(**board, w=design.w_in, s=design.s_in, f0=1000, f=f)
mid = np.argmin(np.abs(r.f_mhz - 1000))
print(f"at {r.f_mhz[mid]:.0f} MHz: coupling {r.s41_db[mid]:.2f} dB, "
      f"isolation {r.s31_db[mid]:.2f} dB, directivity {r.s41_db[mid] - r.s31_db[mid]:.1f} dB")

fig, ax = plt.subplots(figsize=(8, 4.5))
ax.plot(r.f_mhz, r.s41_db, label="Coupling S41")
ax.plot(r.f_mhz, r.s31_db, label="Isolation S31")
ax.axvline(1000, color="grey", linewidth=0.8, linestyle=":")
ax.set_xlabel("Frequency (MHz)")
ax.set_ylabel("Amplitude (dB)")
ax.set_title(f"10 dB coupler: W = {design.w_in:.4f} in, S = {design.s_in:.4f} in, "
             "B = 0.25 in, T = 0.0014 in, Er = 2.2")
ax.grid(True, alpha=0.3)
ax.legend()
fig.tight_layout()
fig.savefig(sys.argv[1] if len(sys.argv) > 1 else "ten_db_coupler.png", dpi=100)
