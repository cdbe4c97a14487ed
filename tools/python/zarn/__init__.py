"""Flight paths of a body in the vertical plane, as the zarn-batch runner computes them.

run() flies one case and gives its figures and table; sweep() flies many cases on all cores, or as
shards on the workers of a Dask cluster (client=); solve() finds a parameter's values for a target
figure, or its extreme; monte_carlo() draws cases and gives their statistics.

Parameters go by their names as keywords (TTO=30, dt0=1e-3) or in params={...}, the vehicle's files
by theirs with a path (Motor1="motor.eng", relative to the current folder); options are the
runner's, named without the dashes: dir= is --dir, save_params= is --save-params, for_= is --for.
Every failure is a zarn.Error with the runner's message, and also what Python would raise: a value
refused is a ValueError (zarn.BadValueError), a file to read that is not there a FileNotFoundError
(zarn.MissingFileError), an argument of the wrong kind or an unknown keyword a TypeError
(zarn.BadTypeError). Ctrl-C stops a long call with KeyboardInterrupt.
"""
import errno
import operator
import os
import re
import uuid
from collections.abc import Callable, Iterator, Mapping, Sequence
from typing import Any, Optional, Union

import numpy as np

from . import _core

__version__: str = _core.__version__

__all__ = ["Error", "BadValueError", "MissingFileError", "BadTypeError", "Run", "Sweep", "Stats",
           "run", "sweep", "solve", "monte_carlo", "PARAMETERS",
           "VEHICLE_FILES"]

Number = Union[int, float, str]
PathLike = Union[str, bytes, os.PathLike]
Range = Union[Sequence[Number], str]
Law = Union[str, Sequence[Any]]


class Error(Exception):
    """A refused option or parameter, or a failed run or file; the message is the runner's."""


class BadValueError(Error, ValueError):
    """A value, name or combination of options the runner refuses, or parameters a run refuses."""


class MissingFileError(Error, FileNotFoundError):
    """A file the call was to read is not there; .filename names it."""

    def __init__(self, message: str, filename: Optional[str] = None):
        super().__init__(errno.ENOENT, message, filename)

    def __str__(self) -> str:
        return self.strerror  # the runner's message, which names the file already


class BadTypeError(Error, TypeError):
    """An argument of a type the call does not take, or a keyword that is no parameter or option."""


# ---- Keywords as the runner's command line ----

PARAMETERS: tuple[str, ...] = tuple(_core.parameter_names())  #: every parameter's name, as the files write it
#: the vehicle's files, keywords that take a path (relative to the current folder; None: no file)
VEHICLE_FILES: tuple[str, ...] = tuple(_core.vehicle_file_names())
_PARAMETERS = frozenset(PARAMETERS)
_WHOLE_FIGURES = frozenset(_core.whole_figures())
_FIGURES: tuple[str, ...] = tuple(_core.figure_keys())


def _kind(value: Any) -> str:
    return f"{value!r} ({type(value).__name__})"


def _whole(name: str, value: Any) -> bytes:
    if isinstance(value, bool) or not hasattr(value, "__index__"):
        raise BadTypeError(f"{name}= takes a whole number, not {_kind(value)}")
    return str(operator.index(value)).encode()


def _number(name: str, value: Any) -> bytes:
    """A number as the runner reads it: the shortest text that reads back to the same double, or
    the caller's own text."""
    if isinstance(value, str):
        return _no_nul(name, value.encode(errors="surrogateescape"), value)
    if isinstance(value, bool):
        raise BadTypeError(f"{name} takes a number, not {_kind(value)}")
    if hasattr(value, "__index__"):
        return str(operator.index(value)).encode()
    try:
        return repr(float(value)).encode()
    except (TypeError, ValueError):
        raise BadTypeError(f"{name} takes a number, not {_kind(value)}") from None


def _no_nul(name: str, text: bytes, value: Any) -> bytes:
    # The runner's texts end at a NUL byte: 'a\x00b.zarn' would be the file 'a'.
    if b"\0" in text:
        raise BadValueError(f"{name}= holds a NUL byte: {value!r}")
    return text


def _path(name: str, value: Any) -> bytes:
    """A path as the system names it: bytes, so that a name that is not UTF-8 gets through."""
    try:
        text = os.fsencode(value)
    except TypeError:
        raise BadTypeError(f"{name}= takes a path (str, bytes or os.PathLike), not {_kind(value)}") from None
    return _no_nul(name, text, value)


def _text(name: str, value: Any) -> bytes:
    if not isinstance(value, str):
        raise BadTypeError(f"{name}= takes a str, not {_kind(value)}")
    return _no_nul(name, value.encode(errors="surrogateescape"), value)


def _mapping(name: str, value: Any) -> Mapping[str, Any]:
    if not isinstance(value, Mapping):
        raise BadTypeError(f"{name}= takes a dict {{name: value}}, not {_kind(value)}")
    for key in value:
        if not isinstance(key, str):
            raise BadTypeError(f"{name}= takes names as str, not {_kind(key)}")
    return value


def _parts(name: str, key: str, value: Any) -> bytes:
    """(from, to[, step]) or "from:to[:step]"."""
    if isinstance(value, str):
        return _text(name, value)
    if not isinstance(value, Sequence):
        raise BadTypeError(f"{name}={{{key!r}: ...}} takes a tuple of numbers or a str, not {_kind(value)}")
    return b":".join(_number(f"{name}[{key!r}]", part) for part in value)


def _law(name: str, key: str, value: Any) -> bytes:
    """("normal", 45, 1) or "normal(45,1)"."""
    if isinstance(value, str):
        return _text(name, value)
    if not isinstance(value, Sequence) or not value or not isinstance(value[0], str):
        raise BadTypeError(f"{name}={{{key!r}: ...}} takes a law as a str, \"normal(45,1)\", or a tuple, "
                           f"(\"normal\", 45, 1), not {_kind(value)}")
    numbers = b",".join(_number(f"{name}[{key!r}]", part) for part in value[1:])
    return _text(name, value[0]) + b"(" + numbers + b")"


def _settings(name: str, value: Any, each: Callable[[str, str, Any], bytes]) -> list[bytes]:
    return [key.encode() + b"=" + each(name, key, v) for key, v in _mapping(name, value).items()]


def _shard(name: str, value: Any) -> bytes:
    if isinstance(value, str):
        return _text(name, value)
    if not isinstance(value, Sequence) or len(value) != 2:
        raise BadTypeError(f"{name}= takes (k, n) or \"k/n\", not {_kind(value)}")
    return _whole(name, value[0]) + b"/" + _whole(name, value[1])


def _cases(name: str, value: Any) -> list[bytes]:
    if isinstance(value, (str, bytes, Mapping)) or not isinstance(value, Sequence):
        raise BadTypeError(f"{name}= takes a list of dicts [{{name: value}}, ...], not {_kind(value)}")
    return [b",".join(key.encode() + b"=" + _number(key, v) for key, v in _mapping(name, case).items())
            for case in value]


# What each keyword takes, and how it becomes the runner's arguments: one value, a list (each its
# own option, in order) or a switch.
_ONE = {"dir": _path, "csv": _path, "png": _path, "events": _path, "compare": _path, "save_params": _path,
        "keep": _path, "summary": _path, "stats": _path, "plot": _path, "graph": _text, "style": _text,
        "maximize": _text, "minimize": _text, "jobs": _whole, "seed": _whole, "n": _whole, "shard": _shard,
        "tol": _number, "xtol": _number}
_MANY = {"sweep": lambda name, v: _settings(name, v, _parts),
         "solve": lambda name, v: _settings(name, v, _parts),
         "over": lambda name, v: _settings(name, v, _parts),
         "for_": lambda name, v: _settings(name, v, lambda n, k, x: _number(f"{n}[{k!r}]", x)),
         "vary": lambda name, v: _settings(name, v, _law),
         "cases": _cases}
_SWITCHES = {"check_step"}
_READS = {"file", "compare"}  # the files a call reads, for FileNotFoundError

# The keywords of each call beside the parameters, for the nearest name of an unknown one.
_OPTIONS = {
    "run": ("dir", "csv", "png", "graph", "style", "save_params", "events", "check_step", "compare"),
    "sweep": ("sweep", "cases", "jobs", "keep", "csv", "shard", "summary", "png", "graph", "plot", "save_params",
              "client", "shards"),
    "solve": ("solve", "for_", "maximize", "minimize", "over", "tol", "xtol", "keep", "save_params"),
    "monte_carlo": ("n", "vary", "seed", "jobs", "keep", "csv", "shard", "summary", "stats", "plot", "save_params",
                    "client", "shards"),
}


def _flag(name: str) -> bytes:
    if name in _FLAGS:
        return _FLAGS[name]
    return b"--" + name.rstrip("_").replace("_", "-").encode()


_FLAGS = {"cases": b"--case", "n": b"--monte-carlo"}  # each case its own --case


class _Call:
    """One call's arguments as the runner's command line, checked as Python checks a call."""

    def __init__(self, call: str, preset: Any, params: Any, file: Any, parameters: dict[str, Any]):
        self.call = call
        self.args: list[bytes] = []
        self.reads: list[bytes] = []
        if preset is not None:
            self.args += [b"--preset", _whole("preset", preset)]
        if file is not None:
            self.args += [b"--params", _path("file", file)]
            self.reads.append(self.args[-1])
        given = {}
        if params is not None:
            given = dict(_mapping("params", params))
        for name, value in parameters.items():
            if name not in _PARAMETERS and name not in VEHICLE_FILES:
                raise BadTypeError(self.unknown(name))
            if name in given:
                raise BadTypeError(f"{call}() got {name} twice: in params= and as a keyword")
            given[name] = value
        for name, value in given.items():
            if name in VEHICLE_FILES:
                # Read once by the runner before anything runs; a missing one is a FileNotFoundError.
                path = b"" if value is None else _path(name, value)
                self.args += [b"--set", name.encode() + b"=" + path]
                if path:
                    self.reads.append(path)
                continue
            self.args += [b"--set", _text("params", name) + b"=" + _number(name, value)]

    def unknown(self, name: str) -> str:
        message = f"{self.call}() got an unexpected keyword argument {name!r}"
        owners = [f"zarn.{call}" for call, names in _OPTIONS.items() if call != self.call and name in names]
        if owners:
            return f"{message}: it is an option of {' and '.join(owners)}"
        # for_ is the runner's --for: 'foo' is as near to it as to --for.
        plain = {c.rstrip("_"): c for c in [*_OPTIONS[self.call], *PARAMETERS, *VEHICLE_FILES]}
        hint = _core.did_you_mean(name.rstrip("_"), list(plain))
        return message + re.sub(r"'(.*)'", lambda m: repr(plain.get(m[1], m[1])), hint)

    def options(self, **options: Any) -> "_Call":
        for name, value in options.items():
            if value is None:
                continue
            if name in _SWITCHES:
                if not isinstance(value, bool):
                    raise BadTypeError(f"{name}= takes True or False, not {_kind(value)}")
                if value:
                    self.args.append(_flag(name))
            elif name in _MANY:
                for text in _MANY[name](name, value):
                    self.args += [_flag(name), text]
            else:
                self.args += [_flag(name), _ONE[name](name, value)]
                if name in _READS:
                    self.reads.append(self.args[-1])
        return self

    def __call__(self, function: Callable[..., Any], *more: Any) -> Any:
        return _core_call(self.reads, function, self.args, *more)


def _core_call(reads: Sequence[bytes], function: Callable[..., Any], *args: Any) -> Any:
    """function(*args) with the core's errors as the package's."""
    try:
        return function(*args)
    except _core.UsageError as e:
        message = str(e)
        for path in reads:
            shown = os.fsdecode(path).encode(errors="surrogateescape").decode(errors="backslashreplace")
            if not os.path.exists(path) and os.path.basename(shown) in message:
                raise MissingFileError(message, os.fsdecode(path)) from None
        raise BadValueError(message) from None
    except _core.RefusedError as e:
        raise BadValueError(str(e)) from None
    except _core.Error as e:
        raise Error(str(e)) from None


def _pandas() -> Any:
    try:
        import pandas
    except ImportError:
        raise ImportError("to_pandas() needs pandas, which is not installed (Debian: apt-get install "
                          "python3-pandas; elsewhere: pip install pandas)", name="pandas") from None
    return pandas


# ---- Results ----

class Run:
    """One finished run: its figures, table and parameters."""

    __slots__ = ("_flight",)

    def __init__(self, flight: Any):
        self._flight = flight

    @property
    def figures(self) -> dict[str, Any]:
        """The key figures by the keys of zarn-batch --json (counts as int, the rest as float), its
        events under "events"."""
        return self._flight.figures

    @property
    def table(self) -> dict[str, np.ndarray]:
        """The stored rows as NumPy arrays by the CSV's column names (t_s, V_m_s, H_m, ...), in the
        CSV's units."""
        return self._flight.table

    @property
    def events(self) -> list[dict[str, Any]]:
        """The run's events as dicts ({"event": "apex", "t_s": ..., ...}), in time order."""
        return self._flight.events

    @property
    def params(self) -> dict[str, float]:
        """The parameters the run flew, by the parameter files' names."""
        return self._flight.params

    def write_files(self, dir: PathLike) -> None:
        """Writes the run's two result files into `dir`, byte for byte those of zarn-batch --dir: the
        same run flown again, its steps into the files."""
        _core_call((), self._flight.write_files, _path("dir", dir))

    def to_pandas(self) -> Any:
        """The table as a pandas DataFrame, a row per stored row, the columns of the CSV."""
        return _pandas().DataFrame(self.table)

    def __repr__(self) -> str:
        return f"<zarn.Run {self._flight.json}>"


class Stats(dict):
    """The statistics of a Monte Carlo run by figure: stats["impact_X_m"]["mean"]. Each holds the
    columns of the runner's --stats CSV (cases, failed, absent, mean, sd, min, p2.5, p50, p97.5, max,
    r2, share_NAME), None where there is none."""

    def to_pandas(self) -> Any:
        """As a DataFrame, a row per figure (its index), the columns of the --stats CSV."""
        frame = _pandas().DataFrame.from_dict(self, orient="index")
        frame.index.name = "figure"
        return frame


class Sweep:
    """The rows of a sweep or a Monte Carlo run in case order, as the runner's summary holds them.

    sweep["X_m"] is a column (a NumPy array), sweep[0] a row (a dict: case, the swept values, the
    figures, error); len(sweep) counts the rows and iterating gives them in order."""

    def __init__(self, rows: dict[str, Any], stats: Optional[list[dict[str, Any]]] = None):
        self._inputs: list[str] = list(rows["inputs"])
        self._case = np.asarray(rows["case"], dtype=np.int64)
        self._input_values = np.asarray(rows["input_values"], dtype=np.float64).reshape(len(self._case), -1)
        self._values = np.asarray(rows["values"], dtype=np.float64).reshape(len(self._case), len(_FIGURES))
        self._errors: list[str] = list(rows["errors"])
        self._listed = frozenset(rows["listed"])
        self.stats = Stats((d.pop("figure"), d) for d in (dict(s) for s in stats or []))

    stats: Stats
    """Of a Monte Carlo run (not of a shard), by figure; empty for a sweep."""

    @property
    def arrays(self) -> dict[str, np.ndarray]:
        """The columns as NumPy arrays by the summary's names: case, the swept parameters and the
        figures (NaN where a case has none; a figure no case has is left out)."""
        arrays = {"case": self._case.copy()}
        for i, name in enumerate(self._inputs):
            arrays[name] = np.ascontiguousarray(self._input_values[:, i])
        for j, key in enumerate(_FIGURES):
            column = self._values[:, j]
            if not np.isnan(column).all():
                arrays[key] = np.ascontiguousarray(column)
        return arrays

    @property
    def figures(self) -> list[dict[str, Union[int, float]]]:
        """Each case's figures as a dict (empty for a failed case), in case order."""
        return [self._figures(r) for r in range(len(self))]

    @property
    def errors(self) -> list[str]:
        """Each case's error, "" where it ran through."""
        return list(self._errors)

    def _figures(self, r: int) -> dict[str, Union[int, float]]:
        if self._errors[r]:
            return {}
        return {key: int(v) if key in _WHOLE_FIGURES else float(v)
                for key, v in zip(_FIGURES, self._values[r].tolist()) if v == v}

    def _row(self, r: int) -> dict[str, Any]:
        row: dict[str, Any] = {"case": int(self._case[r])}
        row.update(zip(self._inputs, self._input_values[r].tolist()))
        row.update(self._figures(r))
        row["error"] = self._errors[r]
        return row

    def __getitem__(self, key: Union[str, int, slice]) -> Any:
        if isinstance(key, str):
            arrays = self.arrays
            if key not in arrays:
                raise KeyError(key)
            return arrays[key]
        if isinstance(key, slice):
            return [self._row(r) for r in range(len(self))[key]]
        if isinstance(key, bool) or not hasattr(key, "__index__"):
            raise BadTypeError(f"a sweep's rows go by number and its columns by name, not {_kind(key)}")
        return self._row(range(len(self))[operator.index(key)])  # IndexError beyond the rows

    def __len__(self) -> int:
        return len(self._case)

    def __iter__(self) -> Iterator[dict[str, Any]]:
        return (self._row(r) for r in range(len(self)))

    def keys(self) -> list[str]:
        """The columns' names, as .arrays has them."""
        return list(self.arrays)

    def to_pandas(self) -> Any:
        """The rows as a DataFrame with the summary CSV's columns: case, the swept values, every
        figure (NaN where a case has none) and error ("" where the case ran through); as
        pandas.read_csv reads the summary, counts are integers where every case has them."""
        pandas = _pandas()
        columns: dict[str, Any] = {"case": self._case.copy()}
        for i, name in enumerate(self._inputs):
            columns[name] = self._input_values[:, i].copy()
        for j, key in enumerate(_FIGURES):
            if key not in self._listed:
                continue  # a rail's or a parachute's figure, where no run has one
            column = self._values[:, j].copy()
            if key in _WHOLE_FIGURES and len(column) and not np.isnan(column).any():
                column = column.astype(np.int64)
            columns[key] = column
        columns["error"] = np.array(self._errors, dtype=object)
        return pandas.DataFrame(columns)

    def __repr__(self) -> str:
        failed = sum(1 for e in self._errors if e)
        return f"<zarn.Sweep {len(self)} rows ({failed} failed) of {', '.join(self._inputs) or 'no input'}>"


# ---- Shards on a Dask cluster ----

def _run_shard(args: list[bytes], kind: str, stop: Optional[str]) -> dict[str, Any]:
    """One shard's rows, run as a task on a worker; it ends early once the event `stop` is set."""
    is_set = None
    if stop is not None:
        from distributed import Event
        is_set = Event(stop).is_set
    return _core_call((), _core.sweep, args, kind, is_set)


def _join(parts: Sequence[dict[str, Any]]) -> dict[str, Any]:
    """The shards' rows in case order."""
    case = np.concatenate([p["case"] for p in parts])
    order = np.argsort(case, kind="stable")
    errors = [e for p in parts for e in p["errors"]]
    return {"inputs": parts[0]["inputs"],
            "case": case[order],
            "input_values": np.concatenate([p["input_values"] for p in parts])[order],
            "values": np.concatenate([p["values"] for p in parts])[order],
            "errors": [errors[i] for i in order],
            "listed": parts[0]["listed"]}


def _rows(call: _Call, kind: str, client: Any, shards: Optional[int], jobs: Optional[int],
          local_only: Mapping[str, Any]) -> dict[str, Any]:
    if client is None:
        if shards is not None:
            raise BadValueError("shards= splits the cases among a Dask client's workers: give client= too")
        return call(_core.sweep, kind, None)
    given = [name for name, value in local_only.items() if value is not None]
    if given:
        raise BadValueError(f"{', '.join(n + '=' for n in given)} cannot go with client=: the shards' rows are "
                            f"joined here; write them with .to_pandas() (and .stats.to_pandas())")
    from distributed import Event

    if shards is None:
        shards = 2 * max(1, sum(client.nthreads().values()))
    count = int(_whole("shards", shards))
    if count < 1:
        raise BadValueError(f"shards= needs at least 1, not {count}")
    threads = b"1" if jobs is None else _whole("jobs", jobs)
    # Refused here, before any task: the command line as each shard's.
    _core_call(call.reads, _core.check, [*call.args, b"--shard", f"0/{count}".encode(), b"--jobs", threads], kind)
    stop = f"zarn-stop-{uuid.uuid4().hex}"
    stopping = Event(stop, client=client)
    futures = [client.submit(_run_shard, [*call.args, b"--shard", f"{k}/{count}".encode(), b"--jobs", threads],
                             kind, stop, key=f"zarn-shard-{k}-of-{count}-{stop}")
               for k in range(count)]
    try:
        parts = client.gather(futures)
    except BaseException:  # Ctrl-C or a failed shard: the others stop within a moment
        stopping.set()
        client.cancel(futures)
        raise
    return _join(parts)


# ---- The calls ----

def run(preset: Optional[int] = None, params: Optional[Mapping[str, Number]] = None,
        file: Optional[PathLike] = None, *, dir: Optional[PathLike] = None, csv: Optional[PathLike] = None,
        png: Optional[PathLike] = None, graph: Optional[str] = None, style: Optional[str] = None,
        save_params: Optional[PathLike] = None, events: Optional[PathLike] = None, check_step: bool = False,
        compare: Optional[PathLike] = None, **parameters: Number) -> Run:
    """Flies one case, as zarn-batch does.

    preset (0 to 4) or file (a parameter file) gives the starting values; params={name: value} and
    the parameters as keywords (TTO=30, dt0=1e-3) then change them, by the parameter files' names.
    dir= writes the two result files there (without it none are written); csv=, png=, graph=,
    style=, save_params=, events=, check_step=True and compare= as the runner's options.
    """
    call = _Call("run", preset, params, file, parameters).options(
        dir=dir, csv=csv, png=png, graph=graph, style=style, save_params=save_params, events=events,
        check_step=check_step, compare=compare)
    return Run(call(_core.run, dir is not None))


def sweep(preset: Optional[int] = None, params: Optional[Mapping[str, Number]] = None,
          file: Optional[PathLike] = None, *, sweep: Optional[Mapping[str, Range]] = None,
          cases: Optional[Sequence[Mapping[str, Number]]] = None, jobs: Optional[int] = None,
          keep: Optional[PathLike] = None, csv: Optional[PathLike] = None,
          shard: Union[tuple[int, int], str, None] = None, summary: Optional[PathLike] = None,
          png: Optional[PathLike] = None, graph: Optional[str] = None, plot: Optional[PathLike] = None,
          save_params: Optional[PathLike] = None, client: Any = None, shards: Optional[int] = None,
          **parameters: Number) -> Sweep:
    """Flies many cases, as zarn-batch --sweep or --case does.

    sweep={name: (from, to, step), ...} makes a grid whose last name varies fastest, TO included;
    cases=[{name: value, ...}, ...] a list. jobs=, keep=, csv=, shard=(k, n), summary=, png=,
    graph=, plot=, save_params= as the runner's options. client= (a dask.distributed.Client) runs
    the cases as shards= tasks (default: two per worker thread) of jobs= threads each (default 1)
    on its workers and joins their rows, the same rows as on one machine. A failed case is a row
    with its error.
    """
    call = _Call("sweep", preset, params, file, parameters).options(
        sweep=sweep, cases=cases, jobs=jobs if client is None else None, keep=keep, csv=csv, shard=shard,
        summary=summary, png=png, graph=graph, plot=plot, save_params=save_params)
    local = {"keep": keep, "csv": csv, "shard": shard, "summary": summary, "png": png, "plot": plot,
             "save_params": save_params}
    return Sweep(_rows(call, "sweep", client, shards, jobs, local))


def solve(preset: Optional[int] = None, params: Optional[Mapping[str, Number]] = None,
          file: Optional[PathLike] = None, *, solve: Optional[Mapping[str, Range]] = None,
          for_: Optional[Mapping[str, Number]] = None, maximize: Optional[str] = None,
          minimize: Optional[str] = None, over: Optional[Mapping[str, Range]] = None,
          tol: Optional[Number] = None, xtol: Optional[Number] = None, keep: Optional[PathLike] = None,
          save_params: Optional[PathLike] = None, **parameters: Number) -> list[dict[str, Union[int, float]]]:
    """Solves over one parameter, as zarn-batch --solve, --maximize or --minimize does.

    solve={name: (from, to)} with for_={figure: value} finds every value of the parameter whose run
    gives the figure that value (both angles of a range); maximize="figure" or minimize="figure"
    with over={name: (from, to)} finds the extreme. tol=, xtol=, keep=, save_params= as there.
    Returns a list with a dict per solution, the keys of the runner's --json rows: case, the
    parameter's value under its name, the figures and runs (pandas.DataFrame(result) makes a
    table of it). Raises zarn.Error where no value reaches the target.
    """
    call = _Call("solve", preset, params, file, parameters).options(
        solve=solve, for_=for_, maximize=maximize, minimize=minimize, over=over, tol=tol, xtol=xtol, keep=keep,
        save_params=save_params)
    return call(_core.solve)


def monte_carlo(preset: Optional[int] = None, params: Optional[Mapping[str, Number]] = None,
                file: Optional[PathLike] = None, *, n: int, vary: Optional[Mapping[str, Law]] = None,
                seed: Optional[int] = None, jobs: Optional[int] = None, keep: Optional[PathLike] = None,
                csv: Optional[PathLike] = None, shard: Union[tuple[int, int], str, None] = None,
                summary: Optional[PathLike] = None, stats: Optional[PathLike] = None,
                plot: Optional[PathLike] = None, save_params: Optional[PathLike] = None, client: Any = None,
                shards: Optional[int] = None, **parameters: Number) -> Sweep:
    """Runs n Monte Carlo cases, as zarn-batch --monte-carlo n does.

    vary={name: law}, each law a tuple or its text: ("normal", mean, sd) or "normal(mean,sd)",
    ("uniform", low, high), ("triangular", low, mode, high). seed=, jobs=, keep=, csv=,
    shard=(k, n), summary=, stats=, plot=, save_params= as the runner's options. client= (a
    dask.distributed.Client) runs the cases as shards on its workers, as sweep() does. Returns a
    zarn.Sweep of the draws' rows in case order, with their statistics by figure in .stats.
    """
    if n is None:
        raise BadTypeError("monte_carlo() needs n=, the number of cases")
    call = _Call("monte_carlo", preset, params, file, parameters).options(
        n=n, vary=vary, seed=seed, jobs=jobs if client is None else None, keep=keep, csv=csv, shard=shard,
        summary=summary, stats=stats, plot=plot, save_params=save_params)
    local = {"keep": keep, "csv": csv, "shard": shard, "summary": summary, "stats": stats, "plot": plot,
             "save_params": save_params}
    rows = _rows(call, "monte_carlo", client, shards, jobs, local)
    whole = shard is None or _shard("shard", shard) == b"0/1"
    statistics = _core.statistics(rows["inputs"], rows["case"], rows["input_values"], rows["values"],
                                  rows["errors"]) if whole else []
    return Sweep(rows, statistics)
