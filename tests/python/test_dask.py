"""Sweeps and Monte Carlo runs as shards on a Dask cluster of two local worker processes: the joined
rows and statistics are those of the runner in one process, and Ctrl-C stops the workers' tasks."""
import _thread
import os
import re
import signal
import subprocess
import sys
import threading
import time
import unittest

from distributed import Client, LocalCluster, get_task_stream

import zarn
from support import SOURCE_DIR, Scratch, batch, csv_rows, exact

VARY = {"TTO": ("normal", 45, 1), "V0": ("uniform", 95, 105), "Cx": ("triangular", 0.008, 0.01, 0.013)}
VARY_TEXTS = ["--vary", "TTO=normal(45,1)", "--vary", "V0=uniform(95,105)", "--vary", "Cx=triangular(0.008,0.01,0.013)"]
# Cases of about a billion steps a pass: a shard of them would hold its worker for many minutes.
ENDLESS = {"preset": 1, "dt0": 1e-7}


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    return True


def wait_until(condition, seconds=60):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


class OnTwoWorkers(Scratch):
    @classmethod
    def setUpClass(cls):
        cls.cluster = LocalCluster(processes=True, n_workers=2, threads_per_worker=1, dashboard_address=None)
        try:
            cls.client = Client(cls.cluster)
            cls.workers = sorted(cls.client.run(os.getpid).values())
        except BaseException:
            cls.cluster.close()
            raise

    @classmethod
    def tearDownClass(cls):
        try:
            cls.client.close(timeout=60)
        finally:
            cls.cluster.close(timeout=60)
        # Nothing left behind: both worker processes are gone.
        if not wait_until(lambda: not any(alive(pid) for pid in cls.workers)):
            for pid in filter(alive, cls.workers):
                os.kill(pid, signal.SIGKILL)
            raise AssertionError(f"worker processes {cls.workers} outlived the cluster")

    def test_monte_carlo_rows_and_statistics_equal_the_one_process_call_and_the_runners(self):
        self.assertEqual(len(self.workers), 2)
        summary = self.dir / "mc.csv"
        status, _, err = batch("--preset", 0, "--monte-carlo", 120, *VARY_TEXTS, "--seed", 11, "--summary", summary)
        self.assertEqual(status, 0, err)
        alone = zarn.monte_carlo(preset=0, n=120, vary=VARY, seed=11)
        with get_task_stream(self.client) as stream:
            shared = zarn.monte_carlo(preset=0, n=120, vary=VARY, seed=11, client=self.client)
        self.assertEqual(len({task["worker"] for task in stream.data}), 2)  # both workers ran shards

        self.assertEqual(exact(list(shared)), exact(list(alone)))
        self.assertEqual(exact(dict(shared.stats)), exact(dict(alone.stats)))
        header, *rows = csv_rows(summary.read_text())
        self.assertEqual(list(shared["case"]), [int(r[0]) for r in rows])
        for name in ["TTO", "V0", "Cx", "impact_X_m", "apex_H_m"]:
            self.assertEqual([exact(v) for v in shared[name]], [exact(float(r[header.index(name)])) for r in rows])
        self.assertEqual(shared.stats["impact_X_m"]["cases"], 120)

    def test_a_sweep_with_a_failing_case_joins_to_the_runners_rows(self):
        status, out, _ = batch("--preset", 3, "--sweep", "S0=-1:1:0.5", "--sweep", "V0=500:700:100")
        self.assertEqual(status, 1)
        header, *rows = csv_rows(out)
        for shards in [None, 4, 40]:  # more shards than cases: some have none
            with self.subTest(shards=shards):
                got = zarn.sweep(preset=3, sweep={"S0": (-1, 1, 0.5), "V0": (500, 700, 100)}, client=self.client,
                                 shards=shards)
                self.assertEqual([r[-1] for r in rows], got.errors)
                self.assertEqual(sum(1 for e in got.errors if e), 6)
                self.assertEqual([exact(v) for v in got["X_m"]],
                                 [exact(float(r[header.index("X_m")])) if r[header.index("X_m")] else exact(float("nan"))
                                  for r in rows])

    def test_ctrl_c_cancels_the_tasks_and_the_workers_go_on(self):
        timer = threading.Timer(1.0, _thread.interrupt_main)
        timer.start()
        try:
            with self.assertRaises(KeyboardInterrupt):
                zarn.monte_carlo(**ENDLESS, n=40, vary={"TTO": "normal(45,1)"}, client=self.client)
                time.sleep(600)  # the call ended before the Ctrl-C: wait for it here
        finally:
            timer.cancel()
        # The shards stop within a moment: the workers are free for the next call, which would
        # otherwise wait many minutes behind them.
        result = []
        after = threading.Thread(target=lambda: result.append(
            zarn.monte_carlo(preset=0, n=8, vary={"TTO": "normal(45,1)"}, client=self.client)))
        after.start()
        after.join(timeout=120)
        self.assertFalse(after.is_alive(), "the cancelled shards still hold the workers")
        self.assertEqual(len(result[0]), 8)

    def test_what_cannot_be_joined_is_refused_before_any_task(self):
        with self.assertRaisesRegex(zarn.BadValueError, r"^summary=, stats= cannot go with client="):
            zarn.monte_carlo(preset=0, n=8, vary=VARY, client=self.client, summary="s.csv", stats="t.csv")
        with self.assertRaisesRegex(zarn.BadValueError, r"^--vary TTO: 'normal\(45\)' does not read as normal\(MEAN,SD\)$"):
            zarn.monte_carlo(preset=0, n=8, vary={"TTO": ("normal", 45)}, client=self.client)
        with self.assertRaisesRegex(zarn.BadValueError, "^shards= splits the cases among a Dask client's workers"):
            zarn.sweep(preset=0, sweep={"TTO": (5, 85, 5)}, shards=3)


class Readme(Scratch):
    def test_the_readmes_dask_block_runs_as_written(self):
        readme = (SOURCE_DIR / "README.md").read_text()
        section = readme[readme.index("\n## On a cluster\n"):]
        section = section[:section.index("\n## ", 1)]
        blocks = re.findall(r"\n```python\n(.*?)\n```\n", section, re.S)
        self.assertEqual(len(blocks), 1, "the README's Dask block is gone")
        done = subprocess.run([sys.executable, "-c", blocks[0]], cwd=self.dir, capture_output=True, text=True,
                              timeout=300)
        self.assertEqual(done.returncode, 0, done.stderr)
        mean = zarn.monte_carlo(preset=0, n=2000, seed=7,
                                vary={"TTO": ("normal", 45, 1), "V0": ("uniform", 95, 105)}).stats["impact_X_m"]["mean"]
        self.assertEqual(done.stdout, f"2000 cases; impact range {mean} m on average\n")


if __name__ == "__main__":
    unittest.main()
