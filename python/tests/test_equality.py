"""Every number the module gives equals what tessmol-cli prints for the same file and
settings, in its JSON and in its tab-separated residue table. The comparisons walk the
command line's keys and columns, so a field the program gains and the module lacks fails
here by name instead of going unchecked."""

import math
import os

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
    # An AlphaFold model: pLDDT per residue, the confident scores; the window test is on every case.
    ("predicted/AF-P76011-F1-model_v4.pdb.gz", {"confident_plddt": 80}, ["--confident-plddt", "80"]),
    ("predicted/AF-P76011-F1-model_v4.cif.gz", {"spanner3d": True, "resolution": 1}, ["--spanner3d", "--resolution", "1"]),
    # A model file without a header: its B-factors read as pLDDT when asked.
    ("predicted/P76011_no_header.pdb", {"confidence": "plddt", "resolution": 0}, ["--confidence", "plddt", "--resolution", "0"]),
]
IDS = [case[0] for case in CASES]

# The structure's JSON keys and where the module holds each; records below them (chains,
# segments, residues) carry the JSON's own key names as attributes.
STRUCTURE = {
    "file": lambda s: s.file,
    "record": lambda s: s.name,  # Spanner2D's: the FASTA record
    "chain_count": lambda s: len(s.chains),
    "chains": lambda s: s.chains,
    "residue_count": lambda s: len(s.residues),
    "total_sasa": lambda s: s.total_area,
    "average_score": lambda s: s.average_score,
    "expected_score": lambda s: s.expected_score,
    "compatible_score": lambda s: s.compatible_score,
    "score_table": lambda s: s.score_table,
    "transmembrane_segments": lambda s: s.domains,
    "signal_peptides": lambda s: s.signal_peptides,
    "membranes": lambda s: s.membranes,
    "assembly_missing_chains": lambda s: s.assembly_missing_chains,
    "residues": lambda s: list(s.residues),
    "parameters": lambda s: s.parameters,
    "window_pass_fraction": lambda s: s.window_pass_fraction,
    "window_test_passed": lambda s: s.window_test_passed,
    "below_window_test": lambda s: s.below_window_test,
    # A predicted model's; None in the module for an experimental structure, which lacks the keys.
    "model_source": lambda s: s.model_source,
    "mean_plddt": lambda s: s.mean_plddt,
    "low_confidence_count": lambda s: s.low_confidence_count,
    "confident_plddt": lambda s: s.confident_plddt,
    "confident_count": lambda s: s.confident_count,
    "left_out_count": lambda s: s.left_out_count,
    "confident_average_score": lambda s: s.confident_average_score,
    "confident_expected_score": lambda s: s.confident_expected_score,
    "confident_compatible_score": lambda s: s.confident_compatible_score,
}
MODEL_ONLY = {
    "model_source", "mean_plddt", "low_confidence_count", "confident_plddt", "confident_count", "left_out_count",
    "confident_average_score", "confident_expected_score", "confident_compatible_score",
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
    "pLDDT": "plddt",
}

# The columns of the table --quiet --residues prints (and --residues-out writes): the
# residue's fields by the JSON's names, then how the structure was analysed.
TSV_RUN_COLUMNS = {
    "structure": lambda s: s.file,
    "tessmol_version": lambda s: s.parameters.version,
    "resolution": lambda s: s.parameters.resolution,
    "heteroatoms": lambda s: s.parameters.heteroatoms,
    "secondary_structure": lambda s: s.parameters.secondary_structure,
    "score_table": lambda s: s.parameters.score_table,
    "method": lambda s: s.parameters.method or "",
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
    elif expected is None:
        # JSON's null: nothing recorded, or a number that is not finite.
        assert actual is None or (isinstance(actual, float) and math.isnan(actual)), f"{where}: null against {actual!r}"
    elif isinstance(expected, (bool, str, int)):
        assert type(expected) is type(actual) and expected == actual, f"{where}: {expected!r} against {actual!r}"
    else:
        # The JSON writes a single-precision value as the shortest text that reads back to
        # it; the module gives that float32 as a Python float. Equal as float32, exactly.
        assert isinstance(actual, float), f"{where}: {expected} against {actual!r}"
        assert numpy.float32(expected) == numpy.float32(actual), f"{where}: {expected} against {actual}"
        assert float(numpy.float32(actual)) == actual, f"{where}: {actual} is not a float32 value"


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
    # What the JSON leaves out for an experimental structure the module gives as None.
    model = name.startswith("predicted/")
    assert s.is_model == model and (MODEL_ONLY <= expected.keys()) == model
    for key in MODEL_ONLY - expected.keys():
        assert STRUCTURE[key](s) is None, key
    assert all((r.plddt is None) != model for r in s.residues)


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


@pytest.mark.parametrize("name,kwargs,options", CASES, ids=IDS)
def test_every_tsv_cell_equals_the_module(name, kwargs, options, workdir):
    # The table for data-analysis programs: shortest round-trip numbers, and the run's parameters.
    _, out, _ = run_cli(["analyse", *options, "--quiet", "--residues", data(name)], workdir)
    lines = out.splitlines()
    headings = lines[0].split("\t")
    s = tessmol.analyse(data(name), **kwargs)
    assert len(lines) - 1 == len(s.residues)
    for heading in headings:
        assert heading in TSV_RUN_COLUMNS or hasattr(s.residues[0], heading), (
            f"the TSV column '{heading}' has no counterpart in the module")
    for line, residue in zip(lines[1:], s.residues):
        for heading, text in zip(headings, line.split("\t")):
            value = TSV_RUN_COLUMNS[heading](s) if heading in TSV_RUN_COLUMNS else getattr(residue, heading)
            if value is None:
                # Nothing to give (an experimental structure's pLDDT): an empty cell.
                assert text == "", (residue, heading, text)
            elif isinstance(value, bool):
                assert text == str(int(value)), (residue, heading)
            elif isinstance(value, float):
                assert numpy.float32(text) == numpy.float32(value), (residue, heading, text, value)
            else:
                assert text == str(value), (residue, heading, text, value)


@pytest.mark.parametrize("name,kwargs,options", [CASES[0], CASES[1], CASES[5]], ids=[IDS[0], IDS[1], IDS[5]])
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


def test_each_crystal_copy_of_1u19_gets_its_own_membrane(workdir):
    # 1U19 holds two rhodopsin molecules that lie apart in the crystal: the default method
    # places one membrane on each, as tessmol-cli membrane does.
    s = tessmol.analyse(data("1U19.pdb"), spanner3d=True)
    assert len(s.membranes) == 2 and all(m.placed for m in s.membranes)
    assert s.membrane.normal == s.membranes[0].normal and s.membrane.centre == s.membranes[0].centre
    # Each placement holds the helices of its own molecule: no chain in both.
    chains = [{seg.chain for seg in m.segments} for m in s.membranes]
    assert chains[0] and chains[1] and not chains[0] & chains[1]
    for m in s.membranes:
        assert math.isclose(sum(v * v for v in m.normal), 1.0, rel_tol=1e-5)
        # Rhodopsin's seven helices, each crossing the slab.
        assert len(m.segments) >= 7
    _, out, _ = run_cli(["membrane", data("1U19.pdb")], workdir)
    printed = [line.split(":", 1)[1].split() for line in out.splitlines() if line.startswith("Membrane normal:")]
    assert printed == [[f"{v:.4f}" for v in m.normal] for m in s.membranes]
    # None on a soluble protein.
    assert not any(m.placed for m in tessmol.analyse(data("1CRN.pdb"), spanner3d=True, resolution=0).membranes)



def test_a_spanner2d_summary_is_the_one_the_command_line_prints(workdir):
    # Summary, domains, parameters and the record's name, as tessmol-cli spanner2d prints them.
    fasta = data("bacteriorhodopsin_4xxjA.fasta")
    model = tessmol.spanner2d(fasta)[0]
    _, out, _ = run_cli(["spanner2d", fasta], workdir)
    assert model.summary().endswith("FASTA record: 4xxjA\n")
    assert out.startswith(model.summary())


def test_a_sequences_json_fields_equal_the_module_and_it_is_not_judged(workdir):
    # An ideal-helix model built from a sequence gets no 3D-1D window test: the JSON leaves
    # its keys out, and the module gives None (and no stretches) for them.
    fasta = data("bacteriorhodopsin_4xxjA.fasta")
    expected = cli_json(["spanner2d", fasta], workdir)
    model = tessmol.spanner2d(fasta)[0]
    for key, value in expected.items():
        if key in NOT_IN_MODULE or key in MODEL_ONLY:
            continue
        same(value, STRUCTURE[key](model), key)
    judged = {"window_pass_fraction", "window_test_passed", "below_window_test"}
    assert not judged & expected.keys()
    assert model.window_pass_fraction is None and model.window_test_passed is None
    assert model.below_window_test == []


def test_a_placement_on_part_of_the_assembly_says_how_many_chains_it_lacks(workdir):
    # KcsA 1K4C holds three chains of its twelve-chain assembly (four copies of A, B, C):
    # the JSON's count and the module's are one; a file holding its whole assembly has none.
    expected = cli_json(["analyse", "--spanner3d", "--method", "slab", data("1K4C.pdb")], workdir)
    s = tessmol.analyse(data("1K4C.pdb"), spanner3d="slab", resolution=0)
    assert expected["assembly_missing_chains"] == 9
    assert s.assembly_missing_chains == 9
    assert tessmol.analyse(data("1U19.pdb"), spanner3d="slab", resolution=0).assembly_missing_chains is None
