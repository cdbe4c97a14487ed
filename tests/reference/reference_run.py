#!/usr/bin/env python3
"""A second, independent implementation of a run, in plain Python, compared with zarn-batch.

It is written from the program's rules, not from its C++ code: the table atmosphere, the V-2 drag
law, the Euler step with its three forms of wind, rocket staging with the vertical hold, sampling at
each crossing of the sample interval, the unit switches, and both result files formatted with
Python's own exact '%.*f'. Python floats are IEEE doubles and every expression keeps the program's
order of operations, so the files must agree byte for byte. A flight of fewer steps than rows must
also bring the program's note on stderr, and no other flight any.

Usage: reference_run.py ZARN_BATCH   (exit 0 when every case agrees; prints "N passed, N failed")
"""
import math
import os
import subprocess
import sys
import tempfile

# Height [m], T [K], Pbar [bar], Vsound [m/s], Roh [kg/m^3], Mu [poise].
ATMOSPHERE = [
    (-5000, 320.6, 1.33, 359, 1.93, 0.000194), (-1000, 294.65, 1.139, 344.11, 1.347, 0.000182),
    (0, 288.15, 1.013, 340.3, 1.225, 0.00017894), (500, 284.9, 0.954, 338.37, 1.1673, 0.00017737),
    (1000, 281.65, 0.8987, 336.43, 1.1116, 0.00017578), (1500, 278.4, 0.8455, 334.49, 1.0581, 0.00017419),
    (2000, 275.15, 0.7949, 332.53, 1.0065, 0.0001726), (2500, 271.9, 0.7468, 330.56, 0.9568, 0.00017099),
    (3000, 268.65, 0.701, 328.58, 0.90912, 0.00016937), (3500, 265.4, 0.657, 326.58, 0.8632, 0.00016775),
    (4000, 262.15, 0.6164, 324.58, 0.8191, 0.00016611), (4500, 258.9, 0.57728, 322.56, 0.7767, 0.00016447),
    (5000, 255.65, 0.54019, 320.53, 0.7361, 0.00016281), (6000, 249.15, 0.4718, 316.43, 0.6597, 0.00015947),
    (7000, 242.65, 0.4106, 312.27, 0.5895, 0.0001561), (8000, 236.15, 0.3559, 308.06, 0.5251, 0.00015268),
    (9000, 229.65, 0.3074, 303.79, 0.4663, 0.00014922), (10000, 223.15, 0.2643, 299.46, 0.4127, 0.00014571),
    (11000, 216.65, 0.2263, 295.07, 0.3639, 0.00014216), (12000, 216.65, 0.1933, 295.07, 0.3108, 0.00014216),
    (14000, 216.65, 0.141, 295.07, 0.2267, 0.00014216), (16000, 216.65, 0.1028, 295.07, 0.1654, 0.00014216),
    (18000, 216.65, 0.07504, 295.07, 0.12068, 0.00014216), (20000, 216.65, 0.05474, 295.07, 0.088, 0.00014216),
    (22000, 218.65, 0.03999, 296.43, 0.06372, 0.00014326), (25000, 221.65, 0.02511, 298.45, 0.03946, 0.0001449),
    (30000, 226.65, 0.01171, 301.8, 0.018012, 0.0001476), (40000, 251.05, 0.002775, 317.63, 0.003851, 0.00016045),
    (50000, 270.65, 0.0007594, 329.8, 0.0009775, 0.00017037),
    (60000, 245.45, 0.0002031, 314.07, 0.0002883, 0.00015756),
    (70000, 217.45, 0.00004634, 295.61, 0.00007424, 0.0001426),
    (80000, 196.65, 8.862e-6, 281.12, 1.57e-5, 0.00013095), (90000, 186.87, 1.835e-6, 274.71, 3.416e-6, 0.00012647),
    (100000, 195.08, 3.2011e-7, 274.71, 5.604e-7, 0.00012647), (120000, 360, 2.538e-8, 274.71, 2.222e-8, 0.00012647),
    (150000, 627.54, 4.742e-9, 274.71, 2.196e-9, 0.00012647),
    (200000, 854.56, 8.473e-10, 274.71, 2.541e-10, 0.00012647),
    (1000000, 1000.56, 7.51e-10, 274.71, 3.56e-14, 0.00012647),
]


def air(H):
    """(T, Pbar, Vsound, Roh, Mu) at H; bands open below, closed above; the last one unbounded."""
    for i in range(1, len(ATMOSPHERE)):
        lo, hi = ATMOSPHERE[i - 1], ATMOSPHERE[i]
        if lo[0] < H and (H <= hi[0] or i == len(ATMOSPHERE) - 1):
            f = (H - lo[0]) / (hi[0] - lo[0])
            T, P, V, R, M = (lo[k] + f * (hi[k] - lo[k]) for k in range(1, 6))
            return T, P, V, (1.225 if H <= 0 else R), M
    raise ValueError("no reference for heights at or below -5000 m")


def field(x, width, decimals):
    text = "%.*f" % (decimals, x)
    if x == 0 and text.startswith("-"):
        text = text[1:]  # negative zero is plain zero
    return text.rjust(width)


LONG_HEADER = ("    t,s      X,km     H,km   V,m/s  Q,grad,  roh,kg/m3     nx,g,    ny,g    m    Schub   cya     cx"
               "    Mach Volumen   Auftrieb     VT    Wiederstand   dVx   delta")
SHORT_HEADER = "    t,s      X,km     H,km  V,m/s  Q,grad, roh,kg/m3 nx,g, ny,g    m,kg     Schub"
SAMPLE_HEADER = ("    t,s      X,km     H,km  V,m/s  Q,grad, roh,kg/m3 nx,g, ny,g    Volumen,m3  Auftrieb,N,   VT"
                 "   Wiederstand  dVx  dh")
SAMPLE_FILE_HEADER = "    j      t,s    X,km    H,km    V,m/s    q,kPa   Q,grad    m,kg    P,kN    Iud,m/s"
ZERO_TAIL = [(0, 8, 2), (0, 8, 2), (0, 8, 5), (0, 12, 3), (0, 8, 2), (0, 12, 3), (0, 8, 5), (0, 8, 5)]


def frac(x):
    return x - math.trunc(x)


def fly(p, record, lines, table, flags):
    """One pass; returns the final time. record: the recording pass with its sample interval."""
    flags.update(h=0, t=0, x=0, p=0, m=0)
    rocket = p["TaskKind"] == 8
    stages = []
    if rocket:
        for s, (mt, iud, iudp, mdv, schub) in enumerate(p["Stages"]):
            if s > 0 and iud == 0:
                stages.append(dict(flow=0.0, burn=0.0, dry=0.0, isp0=0.0, ispv=0.0))
                continue
            flow = schub / iudp
            stages.append(dict(flow=flow, burn=mt / flow, dry=mdv, isp0=iud, ispv=iudp))
    end1 = stages[0]["burn"] if rocket else 0.0
    end2 = end1 + stages[1]["burn"] if rocket else 0.0
    total = end2 + stages[2]["burn"] if rocket else 0.0
    t, X, H, V = 0.0, 0.0, p["H0"], p["V0"]
    theta, m, A = p["TTO"] / 57.3, p["MassaStart"], p["S0"]
    cx, cy, wind, dt = p["Cx"], p["Cy"], p["Vwind"], p["dt0"]
    stage = 0.0
    row, prev = 1, -1  # whole part of t / interval at the step before; -1 makes the first step a row
    while True:
        T, Pbar, Vs, R, Mu = air(H)
        if H > 120000:
            Vs = 290.0
        mach = V / Vs
        thrust = isp = 0.0
        if rocket and t <= total:
            if t <= end1:
                s = 1
            elif t <= end2:
                if stage == 1:
                    m = m - stages[0]["dry"]
                s = 2
            else:
                if stage == 2:
                    m = m - stages[1]["dry"]
                s = 3
            st = stages[s - 1]
            isp = st["isp0"] + (1.013 - Pbar) / 1.013 * (st["ispv"] - st["isp0"])
            thrust = st["flow"] * isp
            m = m - st["flow"] * dt
            stage = float(s)
            if t < 50 and thrust / m < 25:
                theta, p["AngleHold"] = 90 / 57.3, 0.0
            elif p["AngleHold"] == 0:
                theta, p["AngleHold"] = p["TTO"] / 57.3, 1.0
        if round(p["AeroModel"]) != 0:
            if mach < 0.8:
                cx = 0.29
            if 0.8 <= mach < 1.068:
                cx = mach - 0.51
            if mach >= 1.068:
                cx = 0.5 / mach + 0.091
        # The Euler step.
        if V == 0:
            V = 0.0002
        q = R * V * V / 2
        sin, cos = math.sin(theta), math.cos(theta)
        if p["BuoyancyMode"] != 1:
            # Drag and lift as written: coefficient, density, the square of the air speed, area, / 2, / mass.
            air_speed = V + wind * cos
            p["dVdt"] = thrust / m - cx * R * (air_speed * air_speed) * A / 2 / m - 9.8 * sin
            X = X + air_speed * cos * dt
            H = H + V * sin * dt
            V = V + p["dVdt"] * dt
            turn_speed = V + wind * sin
            theta = theta + (cy * R * (turn_speed * turn_speed) * A / 2 / m / V - 9.8 * cos / V) * dt
            theta = max(theta, -90 / 57.3)
            theta = min(theta, 90 / 57.3)
        t = t + dt
        drag, lift = cx * q * A, cy * q * A
        nx, ny = (thrust - drag) / m / 9.8, lift / m / 9.8
        numbers = [(t, 6, 2), (X / 1000, 8, 3), (H / 1000, 6, 3), (V, 6, 3), (theta * 57.3, 6, 1), (R, 5, 4),
                   (nx, 5, 2), (ny, 5, 2), (m, 6, 1), (thrust, 7, 1), (cy, 6, 1), (cx, 7, 1), (mach, 7, 1)]
        lines.append("".join("  " + field(*n) for n in numbers) + field(0.0, 10, 4) +
                     "".join("  " + field(*n) for n in [(0.0, 11, 4), (p["dVdt"], 8, 4)] + ZERO_TAIL) + "  ")
        if frac(t / 10) < 0.01:
            lines += [" ", SHORT_HEADER, " "]
        if record:
            # A row at the first step and whenever t passed a multiple of the interval during the step.
            whole = math.trunc(t / record)
            if whole > prev:
                lines += ["(%d)" % row, SAMPLE_HEADER]
                table[row] = dict(t=t, V=V, q=q / 1000, H=H if H >= 0 else 0.0, Q=theta * 57.3, X=X,
                                  isp=isp, thrust=thrust, m=m)
                for key, value, limit, raised in (("t", t, 3600, 2), ("t", t, 36000, 3), ("h", H, 10000, 1),
                                                  ("x", X, 10000, 1), ("p", thrust, 10000, 1), ("m", m, 10000, 1)):
                    if value > limit:
                        flags[key] = raised
                row = min(row + 1, 500)
            prev = whole
        if not (H > p["Hk"] and t < p["Tk"]):
            return t


def reference_files(p):
    lines, table, flags = [" ", LONG_HEADER, " "], {}, {}
    p = dict(p, AngleHold=0.0, dVdt=0.0)
    duration = fly(p, None, lines, table, flags)
    fly(p, duration / 500, lines, table, flags)
    step = "".join(line + "\r\n" for line in lines)
    time_div = {0: 1, 2: 60, 3: 3600}[flags["t"]]
    km = lambda flag: 1000 if flags[flag] else 1
    out = [" ", SAMPLE_FILE_HEADER, " "]
    for r in range(1, 501):
        s = table.get(r, dict(t=0.0, V=0.0, q=0.0, H=0.0, Q=0.0, X=0.0, isp=0.0, thrust=0.0, m=0.0))
        numbers = [(float(r), 6, 2), (s["t"] / time_div, 8, 2), (s["X"] / km("x"), 6, 2), (s["H"] / km("h"), 5, 1),
                   (s["V"], 5, 1), (s["q"], 5, 1), (s["Q"], 5, 1), (s["m"] / km("m"), 10, 1),
                   (s["thrust"] / km("p"), 12, 1), (s["isp"], 5, 1)]
        out.append("".join("  " + field(*n) for n in numbers) + "  ")
    return step, "".join(line + "\r\n" for line in out), len(table)


PRESETS = [
    dict(MassaStart=1, S0=0.02, Cx=0.01, Cy=0, H0=1, V0=100, TTO=45, Tk=100, dt0=0.005),
    dict(MassaStart=1, S0=0.02, Cx=0.45, Cy=0, H0=10000, V0=0, TTO=-88, Tk=100, dt0=0.01),
    dict(MassaStart=0.41, S0=0.038, Cx=0.47, Cy=0, H0=0.1, V0=40, TTO=45, Tk=100, dt0=0.001),
    dict(MassaStart=10000, S0=5, Cx=0.2, Cy=0, H0=0.1, V0=18000, TTO=89, Tk=5, dt0=0.001),
    dict(MassaStart=200, S0=0.034, Cx=0.1, Cy=0.05, H0=0.1, V0=14000, TTO=0, Tk=60, dt0=0.0015),
]
NO_STAGES = [(0, 0, 0, 0, 0)] * 3
STAGE_NAMES = [("Mt", "Iud", "IudP0", "Mdv", "Schub"), ("Mt2", "Iud2", "IudP2", "Mdv2", "Schu2"),
               ("Mt3", "Iud3", "IudP3", "Mdv3", "Schu3")]

# (name, preset, changes) where changes are zarn-batch --set pairs.
CASES = [("preset %d" % i, i, {}) for i in range(5)] + [
    ("preset 0, wind and drag law", 0, dict(Vwind=7.5, AeroModel=1)),
    ("preset 4, head wind and drag law", 4, dict(Vwind=-20, AeroModel=1)),
    ("two-stage rocket to 150 km", 0, dict(TaskKind=8, MassaStart=1200, S0=0.3, Cx=0.3, TTO=70, dt0=0.01, Tk=400,
                                           Hk=-1, Mt=600, Iud=2300, IudP0=2600, Mdv=150, Schub=26000,
                                           Mt2=200, Iud2=2800, IudP2=3000, Mdv2=40, Schu2=6000)),
    ("three-stage rocket with the vertical hold", 0, dict(TaskKind=8, MassaStart=3000, S0=0.5, Cx=0.2, TTO=60,
                                                          dt0=0.02, Tk=300, Hk=-1, Mt=1500, Iud=2000, IudP0=2400,
                                                          Mdv=300, Schub=50000, Mt2=400, Iud2=2500, IudP2=2900,
                                                          Mdv2=80, Schu2=12000, Mt3=100, Iud3=2700, IudP3=3000,
                                                          Mdv3=20, Schu3=3000)),
    ("buoyant body", 0, dict(TaskKind=4, Tk=30, dt0=0.01)),
    # Over 50000 steps: one row per crossing, not every step; under 500 steps: every step a row.
    ("fine step, 70500 steps", 0, dict(dt0=0.0002)),
    ("coarse step, 248 steps", 0, dict(TTO=3)),
]
# Runs without a meaning: refused before any file is written (negative drag would let the speed
# run away), with the message the program gives.
REFUSED = [
    ("negative drag", 2, dict(Cx=-1, dt0=0.0005, Tk=0.457), "zarn-batch: Cx = -1 cannot be negative\n"),
]


def parameters(preset, changes):
    p = dict(PRESETS[preset], Vwind=0.0, Hk=0.0, AeroModel=0, TaskKind=1, BuoyancyMode=0)
    p.update(changes)
    p["BuoyancyMode"] = 1 if p["TaskKind"] in (3, 4) else 0
    p["Stages"] = [tuple(p.get(n, 0.0) for n in names) for names in STAGE_NAMES] if p["TaskKind"] == 8 else NO_STAGES
    return p


def main():
    program = sys.argv[1]
    passed = failed = 0
    for name, preset, changes in CASES:
        with tempfile.TemporaryDirectory() as work:
            args = [program, "--preset", str(preset), "--dir", work, "--quiet"]
            for key, value in changes.items():
                args += ["--set", "%s=%r" % (key, float(value))]
            note = subprocess.run(args, check=True, stderr=subprocess.PIPE).stderr.decode("ascii")
            step, sample, rows = reference_files(parameters(preset, changes))
            # A flight of fewer steps than rows stores each step, and the program says so.
            want_note = "zarn-batch: %d of 500 samples: the flight took %d step" % (rows, rows) if rows < 500 else ""
            if not note.startswith(want_note) or bool(note) != bool(want_note):
                print("%s: %d rows, but the program's note is %r" % (name, rows, note))
                failed += 1
                continue
            got = [open(os.path.join(work, f), "rb").read().decode("ascii") for f in ("Zarn Daten.txt", "Zarn_500.txt")]
            for label, want, have in (("step file", step, got[0]), ("sample file", sample, got[1])):
                if want == have:
                    continue
                a, b = want.split("\r\n"), have.split("\r\n")
                at = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), min(len(a), len(b)))
                print("%s: %s differs at line %d (reference %d lines, program %d)\n  reference: %r\n  program:   %r"
                      % (name, label, at + 1, len(a), len(b), a[at] if at < len(a) else "", b[at] if at < len(b) else ""))
                break
            else:
                passed += 1
                print("%s: both files agree" % name)
                continue
            failed += 1
    for name, preset, changes, message in REFUSED:
        with tempfile.TemporaryDirectory() as work:
            args = [program, "--preset", str(preset), "--dir", work, "--quiet"]
            for key, value in changes.items():
                args += ["--set", "%s=%r" % (key, float(value))]
            run = subprocess.run(args, stderr=subprocess.PIPE)
            if run.returncode == 1 and run.stderr.decode("ascii") == message and not os.listdir(work):
                passed += 1
                print("%s: refused" % name)
            else:
                failed += 1
                print("%s: exit %d, %r, files %r" % (name, run.returncode, run.stderr, os.listdir(work)))
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
