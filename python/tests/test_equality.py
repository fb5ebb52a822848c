"""Every number the module gives equals what tessmol-cli prints for the same file and
settings, in its JSON and in its tab-separated residue table. The comparisons walk the
command line's keys and columns, so a field the program gains and the module lacks fails
here by name instead of going unchecked."""

import math

import numpy
import pytest

import tessmol
from conftest import cli_json, cli_residue_table, data, run_cli

# (file, module arguments, the same settings as tessmol-cli options)
CASES = [
    ("1CRN.pdb", {}, []),
    ("1U19.pdb", {"spanner3d": "segments", "resolution": 1}, ["--spanner3d", "--method", "segments", "--resolution", "1"]),
    ("4HHB.pdb", {"spanner3d": True, "ignore_het": True}, ["--spanner3d", "--ignore-het"]),
    ("mmcif/1A8O.cif", {"secondary_structure": "computed", "resolution": 0}, ["--secondary-structure", "computed", "--resolution", "0"]),
    ("1U19_tr.pdb", {"spanner3d": "slab", "resolution": 0}, ["--spanner3d", "--method", "slab", "--resolution", "0"]),
]
IDS = [case[0] for case in CASES]

# The structure's JSON keys and where the module holds each; records below them (chains,
# segments, residues) carry the JSON's own key names as attributes.
STRUCTURE = {
    "file": lambda s: s.file,
    "chain_count": lambda s: len(s.chains),
    "chains": lambda s: s.chains,
    "residue_count": lambda s: len(s.residues),
    "total_sasa": lambda s: s.total_area,
    "average_score": lambda s: s.average_score,
    "expected_score": lambda s: s.expected_score,
    "compatible_score": lambda s: s.compatible_score,
    "score_table": lambda s: s.score_table,
    "transmembrane_segments": lambda s: s.domains,
    "residues": lambda s: list(s.residues),
}
# Keys with nothing to compare: the module leaves no result file behind.
NOT_IN_MODULE = {"result_file"}

# The residue table's headings and the Residue attribute holding each column.
COLUMNS = {
    "Index": "index",
    "Residue": "name",
    "Chain": "chain",
    "No.": "number",
    "Area Buried": "area_buried",
    "Fraction Polar": "fraction_polar",
    "KAVELIN FP": "kavelin_fp",
    "Category": "category",
    "KAVELIN Cat": "kavelin_category",
    "Main SASA": "main_sasa",
    "Side SASA": "side_sasa",
    "SASA": "sasa",
    "Solvent Score": "solvent_score",
    "KAVELIN Score": "kavelin_score",
    "Overall Score": "overall_score",
    "is transmembrane": "transmembrane",
}


def same(expected, actual, where):
    """The JSON value `expected` against the module's value, recursively by the JSON's keys."""
    if isinstance(expected, dict):
        for key, value in expected.items():
            assert hasattr(actual, key), f"{where}: the module has no field for the JSON key '{key}'"
            same(value, getattr(actual, key), f"{where}.{key}")
    elif isinstance(expected, list):
        actual = list(actual)
        assert len(expected) == len(actual), f"{where}: {len(expected)} in the JSON, {len(actual)} in the module"
        for k, (e, a) in enumerate(zip(expected, actual)):
            same(e, a, f"{where}[{k}]")
    elif isinstance(expected, bool) or isinstance(expected, str):
        assert expected == actual, f"{where}: {expected!r} against {actual!r}"
    else:
        # JSON numbers carry the float exactly (shortest round-trip text of its double).
        assert expected == actual or (math.isnan(expected) and math.isnan(actual)), f"{where}: {expected} against {actual}"


def cell(value, text):
    """The module's value as the table writes it, with as many decimals as the cell has."""
    if isinstance(value, bool):
        return "1" if value else "0"
    if isinstance(value, float):
        decimals = len(text) - text.index(".") - 1 if "." in text else 0
        return f"{value:.{decimals}f}"
    return str(value)


@pytest.mark.parametrize("name,kwargs,options", CASES, ids=IDS)
def test_every_json_field_equals_the_module(name, kwargs, options, workdir):
    expected = cli_json(["analyse", *options, data(name)], workdir)
    assert {"residues", "total_sasa", "transmembrane_segments"} <= expected.keys()
    s = tessmol.analyse(data(name), **kwargs)
    for key, value in expected.items():
        if key in NOT_IN_MODULE:
            continue
        assert key in STRUCTURE, f"the JSON key '{key}' has no counterpart in the module"
        same(value, STRUCTURE[key](s), key)
    assert len(s.residues) > 0


@pytest.mark.parametrize("name,kwargs,options", CASES, ids=IDS)
def test_every_table_cell_and_the_summary_equal_the_module(name, kwargs, options, workdir):
    headings, rows = cli_residue_table(["analyse", *options, data(name)], workdir)
    s = tessmol.analyse(data(name), **kwargs)
    assert len(rows) == len(s.residues)
    for heading in headings:
        assert heading in COLUMNS, f"the table's column '{heading}' has no counterpart in the module"
    for row, residue in zip(rows, s.residues):
        for heading, text in zip(headings, row):
            assert cell(getattr(residue, COLUMNS[heading]), text) == text, (residue, heading)
    # The summary, domains and membrane lines as printed.
    _, out, _ = run_cli(["analyse", *options, data(name)], workdir)
    assert out.startswith(s.summary())


@pytest.mark.parametrize("name,kwargs,options", CASES[:2], ids=IDS[:2])
def test_dataframe_has_the_table_columns_and_values(name, kwargs, options, workdir):
    headings, rows = cli_residue_table(["analyse", *options, data(name)], workdir)
    frame = tessmol.analyse(data(name), **kwargs).to_pandas()
    assert list(frame.columns) == headings
    for k, heading in enumerate(headings):
        assert [cell(v.item() if hasattr(v, "item") else v, row[k]) for v, row in zip(frame[heading], rows)] == [
            row[k] for row in rows
        ], heading


def test_record_array_holds_the_records(workdir):
    s = tessmol.analyse(data("1U19.pdb"), spanner3d="segments", resolution=0)
    array = s.residues.to_numpy()
    assert len(array) == len(s.residues)
    for name in array.dtype.names:
        column = array[name]
        for k in (0, 1, len(array) // 2, len(array) - 1):
            value = getattr(s.residues[k], name)
            if value is None:
                assert math.isnan(column[k])
            else:
                assert column[k] == value, (name, k)
    # A field is a view into the one array, and the array is the same on every call.
    assert numpy.shares_memory(array["overall_score"], s.residues.to_numpy())
    assert not array.flags.writeable
    # The membrane flags as the summary's domains list them.
    flagged = sum(int(r.transmembrane) for r in s.residues)
    assert flagged == sum(1 + d.last_number - d.first_number for d in s.domains) > 0
