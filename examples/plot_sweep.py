#!/usr/bin/env python3
"""The range and apex of the first preset over the launch angle, for three winds: a sweep of
the module zarn, plotted with Matplotlib. Run from the repository root after the build:

    PYTHONPATH=build/python python3 examples/plot_sweep.py docs/sweep-range.png
"""
import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt
import numpy as np

import zarn

out = sys.argv[1] if len(sys.argv) > 1 else "sweep-range.png"
winds = [-10, 0, 10]
# A grid whose last name varies fastest: 3 winds x 89 angles, on all cores.
sweep = zarn.sweep(preset=0, sweep={"Vwind": (winds[0], winds[-1], 10), "TTO": (1, 89, 1)})
angle, wind = sweep["TTO"], sweep["Vwind"]

fig, (range_axes, apex_axes) = plt.subplots(1, 2, figsize=(10, 4), constrained_layout=True)
for w in winds:
    case = wind == w
    best = np.argmax(np.where(case, sweep["impact_X_m"], -np.inf))
    label = f"wind {w:+d} m/s (best {angle[best]:.0f}°: {sweep['impact_X_m'][best]:.0f} m)"
    range_axes.plot(angle[case], sweep["impact_X_m"][case], label=label)
    apex_axes.plot(angle[case], sweep["apex_H_m"][case], label=f"wind {w:+d} m/s")
range_axes.set(xlabel="launch angle TTO [deg]", ylabel="range X [m]", title="Range")
apex_axes.set(xlabel="launch angle TTO [deg]", ylabel="apex height H [m]", title="Apex height")
for axes in (range_axes, apex_axes):
    axes.grid(True, alpha=0.3)
    axes.legend(fontsize=8)
fig.suptitle(f"Preset 0 over the launch angle: {len(sweep)} runs")
fig.savefig(out, dpi=80)
print(f"{out}: {len(sweep)} cases")
