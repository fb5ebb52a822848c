"""What the module's tests share: the command-line program as the oracle, the test data,
and a run of the program in a folder of its own (it writes NAME.tsm where it runs)."""

import json
import os
import subprocess

import pytest

import tessmol

DATA = os.environ.get("TESSMOL_TEST_DATA") or os.path.join(os.path.dirname(__file__), "..", "..", "tests", "data")
CLI = os.environ.get("TESSMOL_CLI") or os.path.join(os.path.dirname(tessmol.__file__), "..", "bin", "tessmol-cli")


def data(name):
    return os.path.join(DATA, name)


def run_cli(args, cwd, check=True):
    """tessmol-cli with `args` in folder `cwd`: (exit status, stdout, stderr)."""
    done = subprocess.run([CLI, *args], cwd=cwd, capture_output=True, text=True, errors="replace")
    if check and done.returncode != 0:
        raise AssertionError(f"tessmol-cli {' '.join(args)} failed ({done.returncode}): {done.stderr}")
    return done.returncode, done.stdout, done.stderr


def cli_json(args, cwd):
    """The one structure of a --format json run."""
    _, out, _ = run_cli([*args, "--format", "json", "--residues"], cwd)
    document = json.loads(out)
    assert len(document["structures"]) == 1
    return document["structures"][0]


def cli_residue_table(args, cwd):
    """The residue table of a text run with --residues: (headings, rows of cells)."""
    _, out, _ = run_cli([*args, "--residues"], cwd)
    lines = out.splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith("Index\t"))
    headings = lines[start].split("\t")
    rows = [line.split("\t") for line in lines[start + 1 :] if line]
    return headings, rows


@pytest.fixture
def workdir(tmp_path):
    return str(tmp_path)
