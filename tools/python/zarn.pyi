"""Flight paths of a body in the vertical plane, as the zarn-batch runner computes them.

run() flies one case and gives its figures and table; sweep() flies many cases on all cores;
solve() finds the parameter's values for a target figure or its extreme; monte_carlo() draws cases.
Keyword options are the runner's, named without the dashes: dir= is --dir, save_params= is
--save-params. Errors raise zarn.Error with the runner's message; Ctrl-C stops a long call.
"""
import os
from typing import Mapping, Sequence, Union

import numpy as np
import numpy.typing as npt

__version__: str

_Path = Union[str, os.PathLike[str]]
_Number = Union[int, float, str]

class Error(Exception):
    """A refused option or parameter, or a failed run or file; the message is the runner's."""

class Run:
    """One finished run: its figures, table and parameters."""

    @property
    def figures(self) -> dict[str, Union[int, float, str, list[dict[str, Union[str, float]]]]]:
        """The key figures by the keys of zarn-batch --json (counts as int, the rest as float), under
        "maxima" "located" or "step ends", its events under "events"."""
    @property
    def table(self) -> dict[str, npt.NDArray[np.float64]]:
        """The stored rows as NumPy arrays by the CSV's column names (t_s, V_m_s, H_m, ...)."""
    @property
    def events(self) -> list[dict[str, Union[str, float]]]:
        """The run's events as dicts ({"event": "apex", "t_s": ..., ...}), in time order."""
    @property
    def params(self) -> dict[str, float]:
        """The parameters the run flew, by the parameter files' names."""
    def write_files(self, dir: _Path) -> None:
        """Writes the run's two result files into `dir`, byte for byte those of zarn-batch --dir."""

class Sweep:
    """The rows of a sweep in case order, as the runner's summary holds them."""

    @property
    def arrays(self) -> dict[str, npt.NDArray[np.float64]]:
        """The columns by the summary's names: case, the swept parameters and the figures (NaN where a
        case has none)."""
    @property
    def figures(self) -> list[dict[str, Union[int, float]]]:
        """Each case's figures as a dict (empty for a failed case), in case order."""
    @property
    def errors(self) -> list[str]:
        """Each case's error, "" where it ran through."""
    @property
    def stats(self) -> list[dict[str, Union[str, int, float, None]]]:
        """Of a Monte Carlo run (not of a shard): a dict per figure with the names of the runner's
        --stats CSV (figure, cases, failed, absent, mean, sd, min, p2.5, p50, p97.5, max, r2,
        share_NAME); None where there is none. Empty for a sweep."""
    def __getitem__(self, name: str) -> npt.NDArray[np.float64]: ...
    def keys(self) -> list[str]: ...
    def __len__(self) -> int: ...

def run(
    preset: int | None = None,
    params: Mapping[str, _Number] | None = None,
    file: _Path | None = None,
    *,
    dir: _Path | None = None,
    csv: _Path | None = None,
    png: _Path | None = None,
    graph: str | None = None,
    style: str | None = None,
    save_params: _Path | None = None,
    events: _Path | None = None,
    check_step: bool = False,
    compare: _Path | None = None,
    **options: object,
) -> Run:
    """Flies one case, as zarn-batch does.

    preset: 0 to 4, or file: a parameter file, gives the starting values; params: {name: value}
    then changes them (the parameter files' names, e.g. {"TTO": 30, "dt0": 1e-4}). dir= writes the
    two result files there (without it none are written). Raises zarn.Error with the runner's
    message, KeyboardInterrupt on Ctrl-C.
    """

def sweep(
    preset: int | None = None,
    params: Mapping[str, _Number] | None = None,
    file: _Path | None = None,
    *,
    sweep: Mapping[str, Union[tuple[_Number, _Number, _Number], str]] | None = None,
    cases: Sequence[Mapping[str, _Number]] | None = None,
    jobs: int | None = None,
    keep: _Path | None = None,
    csv: _Path | None = None,
    shard: Union[tuple[int, int], str, None] = None,
    summary: _Path | None = None,
    save_params: _Path | None = None,
    **options: object,
) -> Sweep:
    """Flies many cases on all cores, as zarn-batch --sweep or --case does.

    sweep={name: (from, to, step), ...} makes a grid whose last name varies fastest, TO included;
    cases=[{name: value, ...}, ...] a list. A failed case is a row with its error.
    """

def solve(
    preset: int | None = None,
    params: Mapping[str, _Number] | None = None,
    file: _Path | None = None,
    *,
    solve: Mapping[str, tuple[_Number, _Number]] | None = None,
    for_: Mapping[str, _Number] | None = None,
    maximize: str | None = None,
    minimize: str | None = None,
    over: Mapping[str, tuple[_Number, _Number]] | None = None,
    tol: _Number | None = None,
    xtol: _Number | None = None,
    keep: _Path | None = None,
    save_params: _Path | None = None,
    **options: object,
) -> list[dict[str, Union[int, float]]]:
    """Solves over one parameter, as zarn-batch --solve, --maximize or --minimize does.

    solve={name: (from, to)} with for_={figure: value} finds every value of the parameter whose
    run gives the figure that value; maximize="figure" or minimize="figure" with
    over={name: (from, to)} finds the extreme. A dict per solution: case, the parameter's value
    under its name, the figures and runs. Raises zarn.Error where no value reaches the target.
    """

def monte_carlo(
    preset: int | None = None,
    params: Mapping[str, _Number] | None = None,
    file: _Path | None = None,
    *,
    n: int,
    vary: Mapping[str, str] | None = None,
    seed: int | None = None,
    jobs: int | None = None,
    keep: _Path | None = None,
    csv: _Path | None = None,
    shard: Union[tuple[int, int], str, None] = None,
    summary: _Path | None = None,
    stats: _Path | None = None,
    plot: _Path | None = None,
    **options: object,
) -> Sweep:
    """Runs n Monte Carlo cases on all cores, as zarn-batch --monte-carlo n does.

    vary={name: "normal(mean,sd)" | "uniform(low,high)" | "triangular(low,mode,high)"}. The draws'
    rows in case order, with the statistics in .stats.
    """
