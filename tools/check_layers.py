#!/usr/bin/env python3
"""Fails when a source file includes from a layer above its own.

The layers, bottom to top: records (shared records, constants, errors), models (physics), flight
(parameters, activation, the run and its figures), input (what is read: parameter files, measured
data, text files by line, and the text helpers for what users type), output (result files, CSV
and parameter files written), answers (solving and Monte Carlo over runs, their statistics) and
beside it plot (renderer over a canvas), then runner (the runner's options, runs, sweeps and
answers, which zarn-batch and the Python module share), then ui and tools, which sit side by side
and never include each other. The build holds the same order (each library's include root holds
only its own folder and those below it); this check also covers the tests' and benchmarks' view
of the folders. assets (the forms' pictures) stands beside models and is read only by ui. An
include whose first folder is not a layer (a folder of the file's own directory, a system header)
is not checked.
"""
import pathlib
import re
import sys

# What each folder may include from, itself included.
ALLOWED = {
    "records": {"records"},
    "models": {"records", "models"},
    "flight": {"records", "models", "flight"},
    "input": {"records", "models", "flight", "input"},
    "output": {"records", "models", "flight", "input", "output"},
    "plot": {"records", "models", "flight", "input", "output", "plot"},
    "answers": {"records", "models", "flight", "input", "output", "answers"},
    "assets": {"assets"},
    "ui": {"records", "models", "flight", "input", "output", "plot", "answers", "assets", "ui"},
    "runner": {"records", "models", "flight", "input", "output", "plot", "answers", "runner"},
    "tools": {"records", "models", "flight", "input", "output", "plot", "answers", "runner", "tools"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/')


def main(root: pathlib.Path) -> int:
    faults = []
    for layer, allowed in ALLOWED.items():
        for path in sorted((root / layer).rglob("*")):
            if path.suffix not in {".h", ".cpp"}:
                continue
            for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                match = INCLUDE.match(line)
                if match and match.group(1) in ALLOWED and match.group(1) not in allowed:
                    faults.append(f"{path.relative_to(root)}:{number}: {layer}/ must not include "
                                  f"from {match.group(1)}/: {line.strip()}")
    for fault in faults:
        print(fault)
    print(f"{len(faults)} include(s) against the layer order")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()))
