"""The README's sweep on GNU parallel, run as written with this machine as its only host: the
shards it joins hold the rows of the same sweep run in one process, and of zarn.sweep."""
import os
import re
import subprocess

import zarn
from support import SOURCE_DIR, ZARN_BATCH, Scratch, batch, csv_rows, exact


def parallel_block():
    readme = (SOURCE_DIR / "README.md").read_text()
    blocks = re.findall(r"\n```sh\n(.*?)\n```\n", readme, re.S)
    found = [b for b in blocks if "\nparallel " in b]
    assert len(found) == 1, "the README's GNU parallel block is gone"
    return found[0]


class Cluster(Scratch):
    def lay_out_root(self):
        """The repository root as the build leaves it, as far as the examples use it."""
        (self.dir / "build/tools").mkdir(parents=True)
        os.symlink(ZARN_BATCH, self.dir / "build/tools/zarn-batch")

    def one_process_rows(self):
        status, out, err = batch("--preset", 0, "--sweep", "TTO=5:85:5")
        self.assertEqual(status, 0, err)
        whole = csv_rows(out)
        self.assertEqual(len(whole), 1 + 17)
        return whole

    def assert_joined(self, whole):
        joined = csv_rows((self.dir / "out/all.csv").read_text())
        self.assertEqual(joined[0], whole[0])  # shard 0's header, once
        self.assertEqual(sorted(joined[1:], key=lambda row: int(row[0])), whole[1:])

    def test_the_readmes_parallel_shards_join_to_the_one_process_sweep(self):
        block = parallel_block()
        self.assertIn("--shard {}/8", block)
        self.lay_out_root()
        done = subprocess.run(["/bin/bash", "-euo", "pipefail", "-c", block], cwd=self.dir,
                              capture_output=True, text=True, timeout=300)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(sorted(p.name for p in (self.dir / "out").glob("part-*.csv")),
                         [f"part-{k}.csv" for k in range(8)])

        whole = self.one_process_rows()
        self.assert_joined(whole)

        sweep = zarn.sweep(preset=0, sweep={"TTO": (5, 85, 5)})
        self.assertEqual([exact(v) for v in sweep["X_m"]], [exact(float(row[whole[0].index("X_m")])) for row in whole[1:]])

    def test_the_slurm_scripts_tasks_join_to_the_one_process_sweep(self):
        # Each task as Slurm starts it: the script from the repository root, with the array's index.
        self.lay_out_root()
        (self.dir / "out").mkdir()
        script = SOURCE_DIR / "examples/slurm-sweep.sh"
        self.assertIn("#SBATCH --array=0-7", script.read_text())
        for k in range(8):
            env = dict(os.environ, SLURM_ARRAY_TASK_ID=str(k), SLURM_CPUS_PER_TASK="1")
            done = subprocess.run(["/bin/bash", script], cwd=self.dir, env=env, capture_output=True, text=True)
            self.assertEqual(done.returncode, 0, done.stderr)
        with open(self.dir / "out/all.csv", "w") as joined:
            for k in range(8):
                joined.write((self.dir / f"out/part-{k}.csv").read_text())
        self.assert_joined(self.one_process_rows())
