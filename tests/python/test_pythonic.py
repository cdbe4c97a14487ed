"""The package as a notebook user meets it: parameters as keywords, Python's own exceptions, rows by
number, laws as tuples, DataFrames; each against the runner run as a process."""
import json
import math
import os
import pathlib
import sys
import unittest

import numpy as np
import pandas as pd

import zarn
from support import Scratch, batch, batch_json, csv_rows, exact

VARY_TEXTS = ["--vary", "TTO=normal(45,1)", "--vary", "V0=uniform(95,105)", "--vary", "Cx=triangular(0.008,0.01,0.013)"]


class Keywords(Scratch):
    def test_parameters_as_keywords_fly_what_the_runners_set_flies(self):
        expected = batch_json("--preset", 2, "--set", "TTO=30", "--set", "Vwind=-2.5", "--set", "dt0=0.002",
                              "--dir", self.dir)
        for form in [dict(TTO=30, Vwind=-2.5, dt0=0.002),
                     dict(params={"TTO": 30}, Vwind=-2.5, dt0="0.002"),
                     dict(TTO=np.int64(30), Vwind=np.float32(-2.5), dt0=np.float64(0.002))]:
            with self.subTest(form=form):
                self.assertEqual(exact(zarn.run(preset=2, **form).figures), exact(expected))

    def test_sweep_solve_and_monte_carlo_take_parameters_as_keywords_too(self):
        status, out, err = batch("--preset", 0, "--set", "Cx=0.02", "--sweep", "TTO=20:60:20")
        self.assertEqual(status, 0, err)
        got = zarn.sweep(preset=0, Cx=0.02, sweep={"TTO": (20, 60, 20)})
        self.assertEqual([exact(v) for v in got["X_m"]], [exact(float(r[5])) for r in csv_rows(out)[1:]])
        self.assertEqual(csv_rows(out)[0][5], "X_m")

        expected = batch_json("--preset", 0, "--set", "Cx=0.02", "--maximize", "impact_X_m", "--over", "TTO=0:90")
        self.assertEqual(exact(zarn.solve(preset=0, Cx=0.02, maximize="impact_X_m", over={"TTO": (0, 90)})),
                         exact(expected))

        summary = self.dir / "mc.csv"
        status, _, err = batch("--preset", 0, "--set", "Cx=0.02", "--monte-carlo", 20, "--vary", "TTO=normal(45,1)",
                               "--summary", summary)
        self.assertEqual(status, 0, err)
        mc = zarn.monte_carlo(preset=0, Cx=0.02, n=20, vary={"TTO": ("normal", 45, 1)})
        self.assertEqual([exact(v) for v in mc["X_m"]], [exact(float(r[5])) for r in csv_rows(summary.read_text())[1:]])

    def test_an_unknown_keyword_is_a_type_error_naming_the_nearest_name(self):
        cases = [
            (zarn.run, {"TT0": 30}, "run() got an unexpected keyword argument 'TT0' (did you mean 'TTO'?)"),
            (zarn.run, {"dri": "out"}, "run() got an unexpected keyword argument 'dri' (did you mean 'dir'?)"),
            (zarn.run, {"Vwnd": 3}, "run() got an unexpected keyword argument 'Vwnd' (did you mean 'Vwind'?)"),
            (zarn.monte_carlo, {"n": 5, "vary": {"TTO": "normal(45,1)"}, "sed": 1},
             "monte_carlo() got an unexpected keyword argument 'sed' (did you mean 'seed'?)"),
            (zarn.solve, {"foo": 1}, "solve() got an unexpected keyword argument 'foo' (did you mean 'for_'?)"),
            (zarn.run, {"sweep": {"TTO": (5, 85, 5)}},
             "run() got an unexpected keyword argument 'sweep': it is an option of zarn.sweep"),
            (zarn.run, {"params": {"TTO": 30}, "TTO": 31}, "run() got TTO twice: in params= and as a keyword"),
        ]
        for call, kwargs, message in cases:
            with self.subTest(kwargs=kwargs):
                with self.assertRaises(TypeError) as caught:
                    call(preset=0, **kwargs)
                self.assertIsInstance(caught.exception, zarn.BadTypeError)
                self.assertIsInstance(caught.exception, zarn.Error)
                self.assertEqual(str(caught.exception), message)


class Exceptions(Scratch):
    def runner_message(self, *args):
        status, _, err = batch(*args, cwd=self.dir)
        self.assertIn(status, (1, 2))
        return err.splitlines()[0].removeprefix("zarn-batch: ")

    def test_each_failure_is_a_zarn_error_and_what_python_would_raise(self):
        missing = self.dir / "nowhere.zarn"
        measured = self.dir / "nowhere.csv"
        # (call's keywords, the runner's arguments, the class, Python's class)
        cases = [
            ({"params": {"V0": "fast"}}, ["--set", "V0=fast"], zarn.BadValueError, ValueError),
            ({"S0": -1}, ["--set", "S0=-1"], zarn.BadValueError, ValueError),
            ({"dt0": 0}, ["--set", "dt0=0"], zarn.BadValueError, ValueError),
            ({"Integrator": 7}, ["--set", "Integrator=7"], zarn.BadValueError, ValueError),
            ({"graph": "Button99", "png": "x.png"}, ["--graph", "Button99", "--png", "x.png"], zarn.BadValueError, ValueError),
            ({"compare": measured}, ["--compare", measured], zarn.MissingFileError, FileNotFoundError),
        ]
        for kwargs, args, kind, python_kind in cases:
            with self.subTest(args=args):
                message = self.runner_message("--preset", 0, *args)
                with self.assertRaises(python_kind) as caught:
                    zarn.run(preset=0, **kwargs)
                self.assertIs(type(caught.exception), kind)
                self.assertEqual(str(caught.exception), message)
        message = self.runner_message("--params", missing)
        with self.assertRaises(FileNotFoundError) as caught:
            zarn.run(file=missing)
        self.assertEqual((str(caught.exception), caught.exception.filename), (message, str(missing)))
        self.assertIsInstance(caught.exception, zarn.Error)

    def test_an_argument_of_the_wrong_type_is_a_type_error_naming_it(self):
        cases = [
            ({"preset": "0"}, "preset= takes a whole number, not '0' (str)"),
            ({"preset": 1.0}, "preset= takes a whole number, not 1.0 (float)"),
            ({"preset": 0, "TTO": [30]}, "TTO takes a number, not [30] (list)"),
            ({"preset": 0, "TTO": True}, "TTO takes a number, not True (bool)"),
            ({"preset": 0, "params": [("TTO", 30)]}, "params= takes a dict {name: value}, not [('TTO', 30)] (list)"),
            ({"preset": 0, "dir": 3}, "dir= takes a path (str, bytes or os.PathLike), not 3 (int)"),
            ({"preset": 0, "check_step": 1}, "check_step= takes True or False, not 1 (int)"),
        ]
        for kwargs, message in cases:
            with self.subTest(kwargs=kwargs):
                with self.assertRaises(TypeError) as caught:
                    zarn.run(**kwargs)
                self.assertIsInstance(caught.exception, zarn.BadTypeError)
                self.assertEqual(str(caught.exception), message)
        with self.assertRaisesRegex(zarn.BadTypeError, r"^seed= takes a whole number, not True \(bool\)$"):
            zarn.monte_carlo(preset=0, n=5, vary={"TTO": "normal(45,1)"}, seed=True)
        with self.assertRaisesRegex(zarn.BadTypeError, r"^sweep=\{'TTO': \.\.\.\} takes a tuple of numbers or a str"):
            zarn.sweep(preset=0, sweep={"TTO": 5})
        with self.assertRaisesRegex(zarn.BadTypeError, "^a sweep's rows go by number and its columns by name"):
            zarn.sweep(preset=0, sweep={"TTO": (5, 15, 5)})[1.0]

    def test_a_failed_run_is_a_zarn_error_only(self):
        blocker = self.dir / "file"
        blocker.write_text("")
        with self.assertRaises(zarn.Error) as caught:
            zarn.run(preset=0, dir=blocker / "out")
        self.assertIs(type(caught.exception), zarn.Error)
        self.assertEqual(str(caught.exception), self.runner_message("--preset", 0, "--dir", blocker / "out"))


class Paths(Scratch):
    def test_a_nul_in_a_path_is_refused_and_runs_nothing(self):
        (self.dir / "a").write_text("TaskKind = 0\nV0 = 100\n")  # what the cut name would run
        for kwargs in [{"file": str(self.dir / "a\x00b.zarn")}, {"preset": 0, "dir": str(self.dir / "a\x00b")},
                       {"preset": 0, "params": {"TTO": "3\x000"}}]:
            with self.subTest(kwargs=kwargs):
                with self.assertRaisesRegex(zarn.BadValueError, "holds a NUL byte"):
                    zarn.run(**kwargs)
        self.assertEqual(sorted(p.name for p in self.dir.iterdir()), ["a"])

    def test_a_path_that_is_not_utf8_is_used_as_the_system_names_it(self):
        folder = os.fsencode(self.dir)
        saved = folder + b"/p\xff.zarn"
        self.assertEqual(batch("--preset", 2, "--save-params", os.fsdecode(saved), "--dir", self.dir, "--quiet")[0], 0)
        expected = batch_json("--params", os.fsdecode(saved), "--dir", self.dir)
        self.assertEqual(exact(zarn.run(file=saved).figures), exact(expected))
        self.assertEqual(exact(zarn.run(file=os.fsdecode(saved)).figures), exact(expected))

        out = folder + b"/out\xfe"
        os.mkdir(out)
        zarn.run(preset=0, dir=out)
        self.assertEqual(sorted(os.listdir(out)), [b"Zarn Daten.txt", b"Zarn_500.txt"])

        with self.assertRaises(zarn.MissingFileError) as caught:
            zarn.run(file=folder + b"/gone\xff.zarn")
        self.assertIn("gone\\xff.zarn", str(caught.exception))


class Results(Scratch):
    def test_a_sweeps_rows_by_number_in_order_and_of_a_length(self):
        status, out, err = batch("--preset", 3, "--case", "V0=500", "--case", "S0=-1,V0=600", "--case", "V0=700")
        self.assertEqual(status, 1)
        header, *rows = csv_rows(out)
        sweep = zarn.sweep(preset=3, cases=[{"V0": 500}, {"S0": -1, "V0": 600}, {"V0": 700}])

        def read(cells):  # a summary row as the package gives it: nothing where the cell is empty
            row = {name: c if name == "error" else int(c) if name == "case" else float(c)
                   for name, c in zip(header, cells) if c or name == "error"}
            return exact(row)

        self.assertEqual(len(sweep), 3)
        self.assertEqual([exact(r) for r in sweep], [read(r) for r in rows])
        self.assertEqual(sweep[-1], sweep[2])
        self.assertEqual(sweep[1], {"case": 2, "V0": 600.0, "S0": -1.0, "error": "S0 = -1 cannot be negative"})
        self.assertEqual(sweep[0:3:2], [sweep[0], sweep[2]])
        self.assertEqual(sweep[np.int64(2)]["case"], 3)
        with self.assertRaises(IndexError):
            sweep[3]

    def test_statistics_by_figure_and_as_a_dataframe_equal_the_runners_csv(self):
        stats = self.dir / "stats.csv"
        status, _, err = batch("--preset", 0, "--monte-carlo", 40, *VARY_TEXTS, "--seed", 3, "--stats", stats)
        self.assertEqual(status, 0, err)
        mc = zarn.monte_carlo(preset=0, n=40, vary={"TTO": ("normal", 45, 1), "V0": ("uniform", 95, 105),
                                                     "Cx": ["triangular", 0.008, 0.01, 0.013]}, seed=3)
        expected = pd.read_csv(stats, index_col="figure", float_precision="round_trip")
        self.assertEqual(mc.stats["impact_X_m"]["mean"], expected.loc["impact_X_m", "mean"])
        self.assertEqual(mc.stats["impact_X_m"]["p97.5"], expected.loc["impact_X_m", "p97.5"])
        pd.testing.assert_frame_equal(mc.stats.to_pandas().fillna(np.nan).astype(float), expected.astype(float),
                                      check_exact=True)
        self.assertEqual(len(mc), 40)

    def test_laws_as_tuples_draw_what_their_texts_draw(self):
        texts = zarn.monte_carlo(preset=0, n=30, vary={"TTO": "normal(45,1)", "Cx": "triangular(0.008,0.01,0.013)"})
        tuples = zarn.monte_carlo(preset=0, n=30, vary={"TTO": ("normal", 45, 1), "Cx": ("triangular", 0.008, 0.01, 0.013)})
        self.assertEqual(list(texts), list(tuples))
        self.assertEqual(texts.stats, tuples.stats)
        with self.assertRaisesRegex(zarn.BadValueError, "normal"):
            zarn.monte_carlo(preset=0, n=3, vary={"TTO": ("normal", 45)})

    def test_dataframes_equal_the_runners_csv_files(self):
        table = self.dir / "table.csv"
        self.assertEqual(batch("--preset", 4, "--csv", table, "--dir", self.dir, "--quiet")[0], 0)
        pd.testing.assert_frame_equal(zarn.run(preset=4).to_pandas(),
                                      pd.read_csv(table, dtype=float, float_precision="round_trip"), check_exact=True)

        summary = self.dir / "summary.csv"
        status, _, _ = batch("--preset", 3, "--case", "V0=500", "--case", "S0=-1,V0=600", "--summary", summary)
        self.assertEqual(status, 1)
        expected = pd.read_csv(summary, float_precision="round_trip")
        expected["error"] = expected["error"].fillna("")
        got = zarn.sweep(preset=3, cases=[{"V0": 500}, {"S0": -1, "V0": 600}]).to_pandas()
        pd.testing.assert_frame_equal(got, expected, check_dtype=False, check_exact=True)  # V0 500 reads as int

        summary = self.dir / "grid.csv"
        self.assertEqual(batch("--preset", 0, "--sweep", "TTO=10:80:35", "--summary", summary)[0], 0)
        expected = pd.read_csv(summary, float_precision="round_trip")
        expected["error"] = expected["error"].fillna("").astype(object)
        got = zarn.sweep(preset=0, sweep={"TTO": (10, 80, 35)}).to_pandas()
        pd.testing.assert_frame_equal(got, expected, check_dtype=False, check_exact=True)  # TTO 10 reads as int
        self.assertEqual(got["steps_per_pass"].dtype, np.int64)

    def test_without_pandas_to_pandas_says_what_it_needs(self):
        run = zarn.run(preset=0)
        saved = sys.modules.get("pandas")
        sys.modules["pandas"] = None  # import pandas now fails as where it is not installed
        try:
            with self.assertRaisesRegex(ImportError, r"^to_pandas\(\) needs pandas, which is not installed"):
                run.to_pandas()
        finally:
            sys.modules["pandas"] = saved
        self.assertTrue(math.isfinite(run.to_pandas()["X_m"].iloc[-1]))

    def test_the_version_is_the_runners(self):
        status, out, _ = batch("--version")
        self.assertEqual(status, 0)
        self.assertEqual(f"zarn-batch {zarn.__version__}", out.strip())


if __name__ == "__main__":
    unittest.main()


class VehicleFiles(Scratch):
    """The vehicle's files as keywords with a path, read as zarn-batch reads them."""

    def setUp(self):
        super().setUp()
        here = os.getcwd()
        os.chdir(self.dir)  # the keywords' paths are the current folder's, as --set's are
        self.addCleanup(os.chdir, here)
        (self.dir / "body.zarn").write_text("TaskKind = 1\nMassaStart = 1\nS0 = 0.01\nCx = 0.3\nV0 = 30\n"
                                            "TTO = 60\ndt0 = 0.01\nTk = 60\n")
        os.mkdir(self.dir / "tables")
        (self.dir / "tables" / "cd.csv").write_text("mach,cd\n0,0.3\n2,0.3\n")
        (self.dir / "tables" / "bad.csv").write_text("mach,cd\n0,0.3\n2,O.3\n")

    def test_a_file_goes_by_its_name_with_a_path_and_flies_as_the_runners(self):
        self.assertEqual(zarn.VEHICLE_FILES, ("Motor1", "Motor2", "Motor3", "CdTable", "CdTable2", "CdTable3",
                                              "WindTable", "PitchTable"))
        status, out, err = batch("--params", "body.zarn", "--set", "CdTable=tables/cd.csv", "--json", cwd=self.dir)
        self.assertEqual(status, 0, err)
        got = zarn.run(file="body.zarn", CdTable=pathlib.Path("tables/cd.csv"), save_params="saved.zarn")
        self.assertEqual(exact(got.figures), exact(json.loads(out, parse_int=float)))
        self.assertIn("\nCdTable = tables/cd.csv ", (self.dir / "saved.zarn").read_text())
        rows = zarn.sweep(file="body.zarn", CdTable="tables/cd.csv", sweep={"V0": (10, 30, 10)})
        self.assertEqual(rows.errors, ["", "", ""])

    def test_a_missing_or_malformed_file_is_refused_before_anything_is_written(self):
        with self.assertRaises(zarn.BadValueError) as caught:
            zarn.run(file="body.zarn", CdTable="tables/bad.csv", dir=".", save_params="saved.zarn")
        self.assertEqual(str(caught.exception),
                         "tables/bad.csv:3:3: 'O.3' is not a number (the decimal separator is '.')")
        with self.assertRaises(zarn.MissingFileError) as caught:
            zarn.run(file="body.zarn", Motor2="motors/none.eng", dir=".")
        self.assertEqual(caught.exception.filename, "motors/none.eng")
        self.assertEqual(sorted(os.listdir(self.dir)), ["body.zarn", "tables"])
        with self.assertRaises(zarn.BadTypeError):
            zarn.run(file="body.zarn", Motor1=12)
