"""What the module's tests share: the built runner, run as a user runs it, and scratch folders."""
import csv
import io
import json
import os
import pathlib
import subprocess
import tempfile
import unittest

import zarn

SOURCE_DIR = pathlib.Path(os.environ.get("ZARN_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
# The runner built beside the package: build/python/zarn/ and build/tools/zarn-batch.
ZARN_BATCH = os.environ.get("ZARN_BATCH", str(pathlib.Path(zarn.__file__).parents[2] / "tools" / "zarn-batch"))


def batch(*args, cwd=None):
    """Runs zarn-batch with `args`; returns (exit status, stdout, stderr)."""
    done = subprocess.run([ZARN_BATCH, *map(str, args)], capture_output=True, text=True, cwd=cwd)
    return done.returncode, done.stdout, done.stderr


def batch_json(*args):
    """The figures zarn-batch --json prints for `args`, numbers read back to the same doubles."""
    status, out, err = batch(*args, "--json")
    assert status == 0, err
    return json.loads(out, parse_int=float)  # "-0" stays -0.0


def csv_rows(text):
    return list(csv.reader(io.StringIO(text)))


def exact(value):
    """A number's bits, so that 0.0 and -0.0 differ and equal numbers compare equal; the same
    through the lists and dicts of JSON, with their keys in order."""
    if isinstance(value, dict):
        return [(k, exact(v)) for k, v in value.items()]
    if isinstance(value, list):
        return [exact(v) for v in value]
    if isinstance(value, str) or value is None:
        return value
    return float(value).hex()


class Scratch(unittest.TestCase):
    """A test with a scratch folder of its own, self.dir."""

    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory(prefix="zarn-py-")
        self.dir = pathlib.Path(self._tmp.name)

    def tearDown(self):
        self._tmp.cleanup()
