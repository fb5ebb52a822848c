"""A thousand analyses leave the process as large as a hundred did: results, arrays and
exceptions are all released."""

import gc
import os
import sys

import tessmol
from conftest import data


def resident_kib():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise AssertionError("no VmRSS")


def test_memory_stays_flat_over_a_thousand_analyses(tmp_path):
    crambin = data("1CRN.pdb")
    missing = str(tmp_path / "missing.pdb")

    def one():
        s = tessmol.analyse(crambin, resolution=0, threads=1)
        s.residues.to_numpy()
        assert len(s.residues) == 46
        try:
            tessmol.analyse(missing)
        except tessmol.FileError:
            pass

    for _ in range(100):
        one()
    gc.collect()
    before = resident_kib()
    objects = len(gc.get_objects())
    for _ in range(900):
        one()
    gc.collect()
    grown = resident_kib() - before
    # Nothing the module made stays referenced: results, arrays, exceptions and their tracebacks.
    assert len(gc.get_objects()) - objects < 100
    s = tessmol.analyse(crambin, resolution=0)
    array = s.residues.to_numpy()
    assert sys.getrefcount(s) == 2  # the name and the call's argument
    del s
    assert sys.getrefcount(array) == 2  # the array outlives its result on its own reference
    # A leak of one crambin's results per analysis would be tens of megabytes.
    assert grown < 8 * 1024, f"resident memory grew by {grown} KiB over 900 analyses"
    assert os.listdir(tmp_path) == []
