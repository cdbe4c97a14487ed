#!/usr/bin/env python3
"""The module zarn against the runner as a process, on the same work:

  sweep    a 1 000-case sweep (preset 0, TTO=0.09:90:0.09): the call zarn.sweep with its NumPy
           arrays against the whole zarn-batch process writing its summary;
  long run preset 1 with dt0 1e-4 and its result files (2 x 1 000 000 steps, 466 MB): the call
           zarn.run(dir=...) against the whole zarn-batch process.

Rounds alternate the two, after one warm-up each; prints every time, the medians and their ratio.
From the repository root after the build:

    PYTHONPATH=build/python /usr/bin/python3 bench/bench_python.py [--rounds N] [--dir DIR]
"""
import argparse
import os
import pathlib
import statistics
import subprocess
import tempfile
import time

import zarn

BUILD = pathlib.Path(zarn.__file__).resolve().parents[2]  # build/python/zarn/__init__.py
ZARN_BATCH = os.environ.get("ZARN_BATCH", str(BUILD / "tools" / "zarn-batch"))


def timed(call):
    start = time.perf_counter()
    call()
    return time.perf_counter() - start


def compare(name, process_args, module_call, rounds):
    def process():
        subprocess.run([ZARN_BATCH, *process_args], check=True, stdout=subprocess.DEVNULL)

    timed(process)
    timed(module_call)
    runner, module = [], []
    for _ in range(rounds):
        runner.append(timed(process))
        module.append(timed(module_call))
    r, m = statistics.median(runner), statistics.median(module)
    print(f"{name}: zarn-batch process median {r * 1000:.1f} ms (min {min(runner) * 1000:.1f}), "
          f"Python call median {m * 1000:.1f} ms (min {min(module) * 1000:.1f}), ratio {m / r:.3f}")
    print(f"  runner  [ms]: {' '.join(f'{t * 1000:.1f}' for t in runner)}")
    print(f"  module  [ms]: {' '.join(f'{t * 1000:.1f}' for t in module)}")
    return m / r


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--dir", help="where the long runs write (default: a temporary folder)")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(dir=args.dir) as scratch:
        folder = pathlib.Path(scratch)
        sweep = compare(
            "sweep of 1000 cases",
            ["--preset", "0", "--sweep", "TTO=0.09:90:0.09", "--summary", folder / "summary.csv"],
            lambda: zarn.sweep(preset=0, sweep={"TTO": (0.09, 90, 0.09)}).arrays,
            args.rounds)
        (folder / "runner").mkdir()
        (folder / "module").mkdir()
        long_run = compare(
            "long run with files",
            ["--preset", "1", "--set", "dt0=1e-4", "--dir", folder / "runner", "--quiet"],
            lambda: zarn.run(preset=1, params={"dt0": 1e-4}, dir=folder / "module"),
            args.rounds)
    print(f"target: both ratios at most 1.1: sweep {sweep:.3f}, long run {long_run:.3f}")


if __name__ == "__main__":
    main()
