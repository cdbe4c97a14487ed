"""The module as a script uses it, against the built runner run as a process."""
import _thread
import inspect
import math
import os
import pathlib
import pydoc
import subprocess
import sys
import threading
import time
import unittest

import numpy as np

import zarn
from support import SOURCE_DIR, ZARN_BATCH, Scratch, batch, batch_json, csv_rows, exact

POSITIONAL, KEYWORD, MORE = (inspect.Parameter.POSITIONAL_OR_KEYWORD, inspect.Parameter.KEYWORD_ONLY,
                              inspect.Parameter.VAR_KEYWORD)
EXAMPLES = sorted((SOURCE_DIR / "examples").glob("*.zarn"))
# Runs of ten million steps a pass (about half a second), and of a billion (minutes).
LONG_RUN = {"preset": 1, "params": {"dt0": 1e-5}}
ENDLESS_RUN = {"preset": 1, "params": {"dt0": 1e-7}}


class Figures(Scratch):
    def test_figures_equal_the_runners_json_bit_for_bit_on_every_preset_and_example(self):
        starts = [({"preset": n}, ["--preset", n]) for n in range(5)]
        starts += [({"file": path}, ["--params", path]) for path in EXAMPLES]
        self.assertGreaterEqual(len(EXAMPLES), 11)
        for kwargs, args in starts:
            with self.subTest(args=args):
                expected = batch_json(*args, "--dir", self.dir)
                got = zarn.run(**kwargs).figures
                self.assertEqual(exact(got), exact(expected))  # keys in order, numbers to the bit
                self.assertEqual(zarn.run(**kwargs).events, got["events"])

    def test_the_step_check_and_a_comparison_add_the_runners_keys(self):
        measured = self.dir / "measured.csv"
        measured.write_text("t_s,H_m,X_m\n1,60,70\n3,150,200\n6,240,460\n")
        expected = batch_json("--preset", 0, "--compare", measured, "--check-step", "--dir", self.dir)
        got = zarn.run(preset=0, compare=measured, check_step=True).figures
        self.assertEqual(exact(got), exact(expected))
        self.assertEqual(got["compared_H_m"], 3)
        self.assertEqual(got["check_step"]["finer"], 0.0025)  # half the step of 0.005 s

    def test_a_step_check_that_cannot_fly_its_finer_run_is_refused_at_once(self):
        # 6.7e8 steps a pass as given; its finer run would need 1.3e9, over the limit. It used to
        # fly the first run for seconds and write its files before failing.
        with self.assertRaisesRegex(zarn.Error, "finer run cannot be flown: Integration step dt0 = 7.5E-8"):
            zarn.run(preset=0, params={"dt0": 1.5e-7}, check_step=True, dir=self.dir)
        self.assertEqual(list(self.dir.iterdir()), [])

    def test_figures_of_the_first_preset(self):
        f = zarn.run(preset=0).figures
        self.assertEqual(f["steps_per_pass"], 2819)
        self.assertEqual(f["samples_stored"], 500)
        self.assertEqual(f["t_s"], 14.095000000000804)
        self.assertEqual(f["X_m"], 933.1418858283239)
        self.assertEqual([e["event"] for e in f["events"]], ["launch", "max_q", "apex", "impact"])
        self.assertEqual(f["events"][3]["t_s"], 14.092666406604891)
        self.assertEqual(f["events"][3]["t_s"], f["impact_t_s"])

    def test_params_and_options_mean_what_the_runners_do(self):
        saved = self.dir / "saved.zarn"
        got = zarn.run(preset=2, params={"TTO": 30, "Vwind": -2.5, "dt0": "0.002"}, save_params=saved)
        expected = batch_json("--preset", 2, "--set", "TTO=30", "--set", "Vwind=-2.5", "--set", "dt0=0.002",
                              "--dir", self.dir)
        self.assertEqual(exact(got.figures), exact(expected))
        self.assertEqual(got.params["TTO"], 30.0)
        self.assertEqual(exact(zarn.run(file=saved).figures), exact(expected))
        self.assertEqual(exact(zarn.run(file=str(saved)).figures), exact(expected))


class Table(Scratch):
    def test_table_equals_the_csv_export_column_for_column(self):
        # The first preset, and rockets whose table switched to km, t and kN.
        for kwargs, args in [({"preset": 0}, ["--preset", 0]),
                             ({"file": SOURCE_DIR / "examples/rocket-3-stage.zarn"},
                              ["--params", SOURCE_DIR / "examples/rocket-3-stage.zarn"]),
                             ({"preset": 0, "params": {"dt0": 0.1}}, ["--preset", 0, "--set", "dt0=0.1"])]:
            with self.subTest(args=args):
                status, out, err = batch(*args, "--dir", self.dir, "--csv", "-")
                self.assertEqual(status, 0, err)
                rows = csv_rows(out)
                table = zarn.run(**kwargs).table
                self.assertEqual(list(table), rows[0])
                for i, name in enumerate(rows[0]):
                    column = table[name]
                    self.assertIsInstance(column, np.ndarray)
                    self.assertEqual(column.dtype, np.float64)
                    self.assertEqual([exact(float(v)) for v in column], [exact(float(r[i])) for r in rows[1:]])

    def test_a_short_flight_stores_fewer_rows_and_warns(self):
        with self.assertWarnsRegex(UserWarning, "^8 of 500 samples: the flight took 8 steps"):
            run = zarn.run(preset=0, params={"dt0": 2})
        self.assertEqual(len(run.table["t_s"]), 8)


class ThirdDimension(Scratch):
    def test_a_flight_in_three_dimensions_has_its_place_where_the_runner_gives_it(self):
        place = ["Z_m", "Lat_deg", "Lon_deg"]
        impact = ["impact_Z_m", "impact_Lat_deg", "impact_Lon_deg"]
        for params, in_3d in [({}, False), ({"WindModel": 1, "Vwind": 3}, False),
                              ({"EarthModel": 2, "LaunchLat": 28.5, "LaunchLon": -80.5, "Azimuth": 90}, True),
                              ({"EarthModel": 3, "EarthRate": 7.3e-5, "EarthRadius": 6.4e6}, True),
                              ({"WindModel": 1, "VwindCross": 2}, True)]:
            with self.subTest(params=params):
                args = ["--preset", 0]
                for name, value in params.items():
                    args += ["--set", f"{name}={value}"]
                run = zarn.run(preset=0, **params)  # the new parameters as keywords
                self.assertEqual({k: run.params[k] for k in params}, params)
                figures = run.figures
                self.assertEqual(exact(figures), exact(batch_json(*args, "--dir", self.dir)))
                keys = list(figures)
                self.assertEqual([k for k in keys if k in place + impact], place + impact if in_3d else [])
                if in_3d:  # after the other figures, before the events
                    self.assertEqual(keys[keys.index("Z_m") - 1], "apex_X_m")
                    self.assertEqual(keys[keys.index("impact_Lon_deg") + 1], "maxima")
                self.assertEqual(all(set(place) <= set(e) for e in run.events), in_3d)
                self.assertTrue(in_3d or not any(set(place) & set(e) for e in run.events))
                status, out, err = batch(*args, "--dir", self.dir, "--csv", "-")
                self.assertEqual(status, 0, err)
                rows = csv_rows(out)
                self.assertEqual(list(run.table), rows[0])
                self.assertEqual(rows[0][-3:] == place, in_3d)
                for i, name in enumerate(rows[0]):
                    self.assertEqual([exact(float(v)) for v in run.table[name]], [exact(float(r[i])) for r in rows[1:]])


class Files(Scratch):
    def test_result_files_equal_the_runners_byte_for_byte(self):
        (self.dir / "runner").mkdir()
        (self.dir / "during").mkdir()
        (self.dir / "after").mkdir()
        self.assertEqual(batch("--preset", 4, "--dir", self.dir / "runner", "--quiet")[0], 0)
        run = zarn.run(preset=4, dir=self.dir / "during")
        run.write_files(self.dir / "after")
        for name in ["Zarn Daten.txt", "Zarn_500.txt"]:
            expected = (self.dir / "runner" / name).read_bytes()
            self.assertGreater(len(expected), 1000)
            self.assertEqual((self.dir / "during" / name).read_bytes(), expected, name)
            self.assertEqual((self.dir / "after" / name).read_bytes(), expected, name)

    def test_without_dir_no_file_is_written(self):
        cwd = os.getcwd()
        os.chdir(self.dir)
        try:
            zarn.run(preset=0)
        finally:
            os.chdir(cwd)
        self.assertEqual(list(self.dir.iterdir()), [])


class Sweeps(Scratch):
    def assert_rows_equal(self, sweep, runner_text, header=None):
        rows = csv_rows(runner_text)
        if header is None:
            header, rows = rows[0], rows[1:]
        arrays = sweep.arrays
        self.assertEqual(len(sweep), len(rows))
        self.assertEqual([int(r[0]) for r in rows], list(arrays["case"]))
        self.assertEqual(sweep.errors, [r[-1] for r in rows])
        for i, name in enumerate(header[1:-1], 1):
            cells = [r[i] for r in rows]
            if all(c == "" for c in cells):
                self.assertNotIn(name, arrays)  # a task figure no case has
                continue
            got = [exact(float(v)) if not math.isnan(v) else "" for v in arrays[name]]
            self.assertEqual(got, [exact(float(c)) if c else "" for c in cells], name)
        for figures, row in zip(sweep.figures, rows):
            self.assertEqual({k: exact(v) for k, v in figures.items()},
                             {} if row[-1] else {k: exact(float(v)) for k, v in zip(header, row) if k in figures})

    def test_a_grid_equals_the_runners_rows(self):
        status, out, err = batch("--preset", 0, "--sweep", "TTO=5:85:5", "--sweep", "Cx=0.1:0.5:0.1")
        self.assertEqual(status, 0, err)
        sweep = zarn.sweep(preset=0, sweep={"TTO": (5, 85, 5), "Cx": (0.1, 0.5, 0.1)}, jobs=2)
        self.assertEqual(len(sweep), 85)
        self.assertEqual(list(sweep.arrays)[:3], ["case", "TTO", "Cx"])
        self.assertEqual(sweep["Cx"][:5].tolist(), [0.1, 0.2, 0.3, 0.4, 0.5])
        self.assert_rows_equal(sweep, out)
        self.assert_rows_equal(zarn.sweep(preset=0, sweep={"TTO": "5:85:5", "Cx": "0.1:0.5:0.1"}), out)

    def test_a_list_of_cases_with_a_failing_one_gives_its_error_in_its_row(self):
        status, out, err = batch("--preset", 3, "--case", "V0=500", "--case", "S0=-1,V0=600", "--case", "V0=700")
        self.assertEqual(status, 1)
        sweep = zarn.sweep(preset=3, cases=[{"V0": 500}, {"S0": -1, "V0": 600}, {"V0": 700}])
        self.assert_rows_equal(sweep, out)
        self.assertEqual(sweep.errors[0], "")
        self.assertNotEqual(sweep.errors[1], "")
        self.assertTrue(math.isnan(sweep["X_m"][1]))

    def test_a_shard_and_kept_files_as_the_runner_writes_them(self):
        status, out, err = batch("--preset", 0, "--sweep", "TTO=5:85:5", "--shard", "1/3",
                                 "--keep", self.dir / "runner", "--csv", "table.csv")
        self.assertEqual(status, 0, err)
        sweep = zarn.sweep(preset=0, sweep={"TTO": (5, 85, 5)}, shard=(1, 3), keep=self.dir / "py", csv="table.csv")
        self.assertEqual(list(sweep["case"]), [2, 5, 8, 11, 14, 17])
        header = csv_rows(batch("--preset", 0, "--sweep", "TTO=5:85:5", "--shard", "0/3")[1])[0]
        self.assert_rows_equal(sweep, out, header)
        for name in ["Zarn Daten.txt", "Zarn_500.txt", "table.csv"]:
            self.assertEqual((self.dir / "py/case-0017" / name).read_bytes(),
                             (self.dir / "runner/case-0017" / name).read_bytes())


class Answers(Scratch):
    VARY = {"TTO": "normal(45,1)", "V0": "uniform(95,105)", "Cx": "triangular(0.008,0.01,0.013)"}
    VARY_ARGS = ["--vary", "TTO=normal(45,1)", "--vary", "V0=uniform(95,105)",
                 "--vary", "Cx=triangular(0.008,0.01,0.013)"]

    def test_solutions_equal_the_runners_json_rows_bit_for_bit(self):
        for kwargs, args in [
                ({"solve": {"TTO": (0, 90)}, "for_": {"impact_X_m": 800}}, ["--solve", "TTO=0:90", "--for", "impact_X_m=800"]),
                ({"maximize": "impact_X_m", "over": {"TTO": (0, 90)}}, ["--maximize", "impact_X_m", "--over", "TTO=0:90"]),
                ({"minimize": "t_s", "over": {"V0": (50, 150)}, "xtol": 0.01},
                 ["--minimize", "t_s", "--over", "V0=50:150", "--xtol", "0.01"])]:
            with self.subTest(args=args):
                expected = batch_json("--preset", 0, *args)
                got = zarn.solve(preset=0, **kwargs)
                self.assertEqual(exact(got), exact(expected))
        low, high = zarn.solve(preset=0, solve={"TTO": (0, 90)}, for_={"impact_X_m": 800})
        self.assertAlmostEqual(low["impact_X_m"], 800, delta=0.001)  # within the 1 mm default
        self.assertLess(low["TTO"], 44.3)
        self.assertGreater(high["TTO"], 44.3)

    def test_a_target_out_of_reach_raises_the_runners_message(self):
        with self.assertRaises(zarn.Error) as caught:
            zarn.solve(preset=0, solve={"TTO": (0, 90)}, for_={"impact_X_m": 8000})
        self.assertEqual(str(caught.exception), "impact_X_m reaches at most 933.2661229 m over TTO 0..90, "
                                                "at TTO = 44.29353052")

    def test_monte_carlo_rows_and_statistics_equal_the_runners(self):
        summary, stats = self.dir / "mc.csv", self.dir / "stats.csv"
        status, _, err = batch("--preset", 0, "--monte-carlo", 60, *self.VARY_ARGS, "--seed", 7,
                               "--summary", summary, "--stats", stats)
        self.assertEqual(status, 0, err)
        mc = zarn.monte_carlo(preset=0, n=60, vary=self.VARY, seed=7, jobs=2)
        Sweeps.assert_rows_equal(self, mc, summary.read_text())
        self.assertEqual(list(mc.arrays)[:4], ["case", "TTO", "V0", "Cx"])
        rows = csv_rows(stats.read_text())
        self.assertEqual([["figure", *d] for d in mc.stats.values()], [rows[0]] * len(rows[1:]))
        self.assertEqual([[figure] + [str(v) if isinstance(v, int) else exact(v) if v is not None else "" for v in d.values()]
                          for figure, d in mc.stats.items()],
                         [[c if i < 4 else exact(float(c)) if c else "" for i, c in enumerate(r)] for r in rows[1:]])
        range_stats = mc.stats["impact_X_m"]
        self.assertEqual(range_stats["cases"], 60)
        self.assertGreater(range_stats["share_V0"], 0.9)  # the speed's spread rules the range

    def test_a_monte_carlo_shard_has_its_rows_and_no_statistics(self):
        mc = zarn.monte_carlo(preset=0, n=30, vary=self.VARY, seed=7, shard=(2, 3))
        whole = zarn.monte_carlo(preset=0, n=30, vary=self.VARY, seed=7)
        self.assertEqual(list(mc["case"]), [3, 6, 9, 12, 15, 18, 21, 24, 27, 30])
        self.assertEqual(mc["X_m"].tolist(), whole["X_m"][2::3].tolist())
        self.assertEqual(mc.stats, {})


class Errors(Scratch):
    def test_refusals_raise_zarn_error_with_the_runners_message(self):
        cases = [
            ({"preset": 0, "params": {"Vo": 3}}, ["--preset", 0, "--set", "Vo=3"]),
            ({"preset": 0, "params": {"V0": "fast"}}, ["--preset", 0, "--set", "V0=fast"]),
            ({"preset": 0, "params": {"V0": float("nan")}}, ["--preset", 0, "--set", "V0=nan"]),
            ({"preset": 7}, ["--preset", 7]),
            ({"preset": 0, "params": {"S0": -1}}, ["--preset", 0, "--set", "S0=-1", "--dir", "."]),
            ({"preset": 0, "params": {"dt0": 0}}, ["--preset", 0, "--set", "dt0=0", "--dir", "."]),
            ({"file": "/nonexistent/x.zarn"}, ["--params", "/nonexistent/x.zarn"]),
        ]
        for kwargs, args in cases:
            with self.subTest(args=args):
                status, _, err = batch(*args, cwd=self.dir)
                self.assertIn(status, (1, 2))
                message = err.splitlines()[0].removeprefix("zarn-batch: ")
                with self.assertRaises(zarn.Error) as caught:
                    zarn.run(**kwargs)
                self.assertEqual(str(caught.exception), message)

    def test_a_misspelt_parameter(self):
        with self.assertRaisesRegex(zarn.Error, r"^Unknown parameter 'Vo' \(did you mean 'V0'\?\)$"):
            zarn.run(preset=0, params={"Vo": 3})
        with self.assertRaisesRegex(zarn.Error, r"^Unknown parameter 'TT0' \(did you mean 'TTO'\?\)$"):
            zarn.sweep(preset=0, sweep={"TT0": (5, 85, 5)})

    def test_run_and_sweep_keep_to_their_own_kind(self):
        with self.assertRaisesRegex(zarn.Error, "zarn.sweep"):
            zarn.run(preset=0, sweep={"TTO": (5, 85, 5)})
        with self.assertRaisesRegex(zarn.Error, "zarn.run"):
            zarn.sweep(preset=0)
        with self.assertRaisesRegex(zarn.Error, "^in a sweep, --csv names a file in each case's folder of --keep DIR$"):
            zarn.sweep(preset=0, sweep={"TTO": (5, 85, 5)}, csv="table.csv")
        self.assertTrue(issubclass(zarn.Error, Exception))


class Threads(unittest.TestCase):
    def count_while(self, call):
        """How often another Python thread got to count while `call` ran, and how long it ran."""
        stop = threading.Event()
        counts = [0]

        def count():
            while not stop.is_set():
                counts[0] += 1
                time.sleep(0.001)

        counter = threading.Thread(target=count)
        counter.start()
        start = time.monotonic()
        try:
            call()
        finally:
            took = time.monotonic() - start
            stop.set()
            counter.join()
        return counts[0], took

    def test_other_python_threads_run_while_a_run_or_sweep_works(self):
        for name, call in [("run", lambda: zarn.run(**LONG_RUN)),
                           ("sweep", lambda: zarn.sweep(**LONG_RUN, sweep={"TTO": (1, 4, 1)}, jobs=1))]:
            with self.subTest(call=name):
                counts, took = self.count_while(call)
                self.assertGreater(took, 0.1)
                # With the lock held it would count once or twice, however long the call took; a busy
                # machine wakes the counter late, but not ten times late in a tenth of a second.
                self.assertGreater(counts, 10)

    def test_ctrl_c_stops_a_call_that_would_run_for_minutes(self):
        for name, call in [("run", lambda: zarn.run(**ENDLESS_RUN)),
                           ("sweep", lambda: zarn.sweep(**ENDLESS_RUN, sweep={"TTO": (1, 4, 1)})),
                           ("solve", lambda: zarn.solve(**ENDLESS_RUN, maximize="X_m", over={"TTO": (1, 89)})),
                           ("monte_carlo", lambda: zarn.monte_carlo(**ENDLESS_RUN, n=4, vary={"TTO": "normal(45,1)"}))]:
            with self.subTest(call=name):
                timer = threading.Timer(0.05, _thread.interrupt_main)
                start = time.monotonic()
                timer.start()
                with self.assertRaises(KeyboardInterrupt):
                    call()
                    time.sleep(30)  # the call ended before the Ctrl-C: wait for it here
                # The call left alone runs for minutes; stopped, it is gone within seconds even on a
                # busy machine.
                self.assertLess(time.monotonic() - start, 20)
                timer.join()
        self.assertEqual(zarn.run(preset=0).figures["steps_per_pass"], 2819)  # the module goes on working

    def test_runs_on_python_threads_side_by_side_give_what_each_gives_alone(self):
        alone = [zarn.run(preset=n).figures for n in range(5)]
        results = [None] * 5

        def fly(n):
            results[n] = zarn.run(preset=n).figures

        threads = [threading.Thread(target=fly, args=(n,)) for n in range(5)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(results, alone)


class Example(Scratch):
    def test_the_plotting_example_draws_its_picture(self):
        picture = self.dir / "sweep.png"
        done = subprocess.run([sys.executable, SOURCE_DIR / "examples/plot_sweep.py", picture],
                              capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout, f"{picture}: 267 cases\n")
        self.assertEqual(picture.read_bytes()[:8], b"\x89PNG\r\n\x1a\n")


class Signatures(unittest.TestCase):
    def test_help_shows_each_calls_own_keywords_and_the_parameters_as_keywords(self):
        expected = {
            "run": ["dir", "csv", "png", "graph", "style", "save_params", "events", "check_step", "compare"],
            "sweep": ["sweep", "cases", "jobs", "keep", "csv", "shard", "summary", "png", "graph", "plot",
                      "save_params", "client", "shards"],
            "solve": ["solve", "for_", "maximize", "minimize", "over", "tol", "xtol", "keep", "save_params"],
            "monte_carlo": ["n", "vary", "seed", "jobs", "keep", "csv", "shard", "summary", "stats", "plot",
                            "save_params", "client", "shards"],
        }
        for name, options in expected.items():
            with self.subTest(call=name):
                call = getattr(zarn, name)
                signature = inspect.signature(call)
                kinds = [(p.name, p.kind) for p in signature.parameters.values()]
                self.assertEqual(kinds, [("preset", POSITIONAL), ("params", POSITIONAL), ("file", POSITIONAL)]
                                 + [(o, KEYWORD) for o in options] + [("parameters", MORE)])
                text = pydoc.render_doc(call, renderer=pydoc.plaintext)
                self.assertIn(f"{name}(preset: Optional[int] = None", text)
                self.assertIn(name.replace("_", "-"), call.__doc__)


if __name__ == "__main__":
    unittest.main()
