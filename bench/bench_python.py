#!/usr/bin/env python3
"""The module zarn against the runner as a process, on the same work:

  sweep    a 1 000-case sweep (preset 0, TTO=0.09:90:0.09): the call zarn.sweep with its NumPy
           arrays against the whole zarn-batch process writing its summary;
  long run preset 1 with dt0 1e-4 and its result files (2 x 1 000 000 steps, 466 MB): the call
           zarn.run(dir=...) against the whole zarn-batch process;
  dask     a 10 000-case Monte Carlo run (preset 0, three laws) through Dask on a local cluster of
           two worker processes of one thread each (client=) against the same call in this
           process on all cores; the cluster is started once, before the rounds.

Rounds alternate the two of each, after one warm-up each; prints every time, the medians and their
ratio, and the load average before and after. From the repository root after the build:

    PYTHONPATH=build/python /usr/bin/python3 bench/bench_python.py [--rounds N] [--dir DIR]
        [--only sweep|long|dask]
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


def alternate(name, first, second, rounds, names=("zarn-batch process", "Python call")):
    """Times `first` and `second` in alternating rounds; the ratio of their medians, second/first."""
    load = os.getloadavg()
    timed(first)
    timed(second)
    times = ([], [])
    for _ in range(rounds):
        times[0].append(timed(first))
        times[1].append(timed(second))
    a, b = statistics.median(times[0]), statistics.median(times[1])
    print(f"{name}: {names[0]} median {a * 1000:.1f} ms (min {min(times[0]) * 1000:.1f}), "
          f"{names[1]} median {b * 1000:.1f} ms (min {min(times[1]) * 1000:.1f}), ratio {b / a:.3f}")
    for label, ts in zip(names, times):
        print(f"  {label} [ms]: {' '.join(f'{t * 1000:.1f}' for t in ts)}")
    print(f"  load average before {load[0]:.2f}, after {os.getloadavg()[0]:.2f} ({os.cpu_count()} cores)")
    return b / a


def compare(name, process_args, module_call, rounds):
    def process():
        subprocess.run([ZARN_BATCH, *process_args], check=True, stdout=subprocess.DEVNULL)

    return alternate(name, process, module_call, rounds)


def on_dask(rounds):
    from distributed import Client, LocalCluster

    vary = {"TTO": ("normal", 45, 1), "V0": ("uniform", 95, 105), "Cx": ("triangular", 0.008, 0.01, 0.013)}
    cluster = LocalCluster(processes=True, n_workers=2, threads_per_worker=1, dashboard_address=None)
    try:
        with Client(cluster) as client:
            return alternate("Monte Carlo of 10000 cases",
                             lambda: zarn.monte_carlo(preset=0, n=10000, vary=vary, seed=1).stats,
                             lambda: zarn.monte_carlo(preset=0, n=10000, vary=vary, seed=1, client=client).stats,
                             rounds, names=("one process", "Dask, 2 workers"))
    finally:
        cluster.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--dir", help="where the long runs write (default: a temporary folder)")
    parser.add_argument("--only", choices=["sweep", "long", "dask"], help="one comparison of the three")
    args = parser.parse_args()
    ratios = {}
    with tempfile.TemporaryDirectory(dir=args.dir) as scratch:
        folder = pathlib.Path(scratch)
        if args.only in (None, "sweep"):
            ratios["sweep"] = compare(
                "sweep of 1000 cases",
                ["--preset", "0", "--sweep", "TTO=0.09:90:0.09", "--summary", folder / "summary.csv"],
                lambda: zarn.sweep(preset=0, sweep={"TTO": (0.09, 90, 0.09)}).arrays,
                args.rounds)
        if args.only in (None, "long"):
            (folder / "runner").mkdir()
            (folder / "module").mkdir()
            ratios["long run"] = compare(
                "long run with files",
                ["--preset", "1", "--set", "dt0=1e-4", "--dir", folder / "runner", "--quiet"],
                lambda: zarn.run(preset=1, params={"dt0": 1e-4}, dir=folder / "module"),
                args.rounds)
    if args.only in (None, "dask"):
        ratios["dask"] = on_dask(args.rounds)
    targets = {"sweep": 1.1, "long run": 1.1, "dask": 1.3}
    print("targets: " + ", ".join(f"{name} {r:.3f} (at most {targets[name]})" for name, r in ratios.items()))

if __name__ == "__main__":
    main()
