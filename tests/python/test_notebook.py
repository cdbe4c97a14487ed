"""The example notebook run from top to bottom by a Jupyter kernel, as a user runs it, in a folder of
its own with the build's package on the path."""
import os
import shutil
import unittest

import nbformat
from nbclient import NotebookClient

from support import SOURCE_DIR, Scratch

NOTEBOOK = SOURCE_DIR / "examples/zarn-notebook.ipynb"


class Notebook(Scratch):
    def test_the_notebook_runs_through_and_draws_its_pictures(self):
        notebook = shutil.copy(NOTEBOOK, self.dir)
        nb = nbformat.read(notebook, as_version=4)
        # The kernel is this interpreter's (ipykernel's own "python3"), and sees the package through
        # the PYTHONPATH it inherits.
        os.environ.setdefault("PYDEVD_DISABLE_FILE_VALIDATION", "1")  # the kernel's debugger, quiet
        client = NotebookClient(nb, timeout=300, kernel_name="python3", resources={"metadata": {"path": str(self.dir)}})
        client.execute()  # CellExecutionError names the cell that failed

        outputs = [o for cell in nb.cells if cell.cell_type == "code" for o in cell.outputs]
        self.assertEqual([o for o in outputs if o.output_type == "error"], [])
        pictures = [o for o in outputs if "image/png" in o.get("data", {})]
        self.assertEqual(len(pictures), 3)  # the sweep, the Monte Carlo run, the measured data
        text = "".join(o.get("text", "") for o in outputs)
        self.assertIn("impact range: mean ", text)
        self.assertIn("Vwind = -3 m/s: rms of H ", text)
        self.assertTrue((self.dir / "measured.csv").exists())
        # Nothing of the run is left in the source folder.
        self.assertFalse((SOURCE_DIR / "examples/measured.csv").exists())


if __name__ == "__main__":
    unittest.main()
