"""Result files cross between the module and the command line both ways, and the other
files the module writes are what the command line writes."""

import gzip
import json
import os

import numpy
import pytest

import tessmol
from conftest import cli_json, data, run_cli
from test_equality import NOT_IN_MODULE, STRUCTURE, same


def test_result_written_by_python_is_the_command_lines_file(workdir):
    s = tessmol.analyse(data("1U19.pdb"), spanner3d="segments", resolution=1)
    path = os.path.join(workdir, "from_python.tsm")
    s.write_result(path)
    run_cli(["analyse", "--spanner3d", "--method", "segments", "--resolution", "1", data("1U19.pdb")], workdir)
    assert open(path, "rb").read() == open(os.path.join(workdir, "1U19.tsm"), "rb").read()


def test_result_files_read_alike_by_python_and_the_command_line(workdir):
    # Written by the command line, read by both; then written again by Python and shown.
    run_cli(["analyse", "--spanner3d", "--resolution", "1", data("1U19.pdb")], workdir)
    stored_path = os.path.join(workdir, "1U19.tsm")
    stored = tessmol.read_result(stored_path)
    shown = cli_json(["show", stored_path], workdir)
    for key, value in shown.items():
        if key not in NOT_IN_MODULE:
            same(value, STRUCTURE[key](stored), key)
    _, text, _ = run_cli(["show", stored_path], workdir)
    assert text == stored.summary()
    again = os.path.join(workdir, "again.tsm")
    stored.write_result(again)
    assert cli_json(["show", again], workdir)["residues"] == shown["residues"]
    # What was stored is the analysis to the six digits the file keeps.
    fresh = tessmol.analyse(data("1U19.pdb"), spanner3d=True, resolution=1)
    assert stored.score_table == "Default.stb" and stored.expected_score == fresh.expected_score
    assert [d.first_number for d in stored.domains] == [d.first_number for d in fresh.domains]
    for a, b in zip(stored.residues, fresh.residues):
        assert (a.chain, a.number, a.name, a.category, a.transmembrane) == (b.chain, b.number, b.name, b.category, b.transmembrane)
        assert a.main_sasa == pytest.approx(b.main_sasa, rel=1e-5, abs=1e-4)


def test_tsv_and_bfactor_files_equal_the_command_lines(workdir):
    s = tessmol.analyse(data("1CRN.pdb"), resolution=0)
    s.write_tsv(os.path.join(workdir, "module.tsv"))
    _, table, _ = run_cli(["analyse", "--resolution", "0", "--residues", data("1CRN.pdb")], workdir)
    assert table.endswith(open(os.path.join(workdir, "module.tsv")).read())
    s.write_bfactor(os.path.join(workdir, "module.pdb"), value="kavelin", window=3)
    run_cli(["analyse", "--resolution", "0", "--bfactor-out", "cli.pdb", "--bfactor", "kavelin",
             "--bfactor-window", "3", data("1CRN.pdb")], workdir)
    assert open(os.path.join(workdir, "module.pdb")).read() == open(os.path.join(workdir, "cli.pdb")).read()
    # From a stored result: the same atoms and values (crambin has no heteroatoms to lose);
    # the source's lines keep their blank charge columns.
    s.write_result(os.path.join(workdir, "crambin.tsm"))
    tessmol.read_result(os.path.join(workdir, "crambin.tsm")).write_bfactor(os.path.join(workdir, "stored.pdb"), value="kavelin", window=3)
    atoms = lambda name: [line.rstrip() for line in open(os.path.join(workdir, name)) if line.startswith("ATOM")]
    assert atoms("stored.pdb") == atoms("module.pdb") and len(atoms("stored.pdb")) == 327


def test_settings_give_the_scan_parameters_as_set():
    # Held as 32-bit floats, given back as the numbers they were set to (0.35, not
    # 0.3499999940395355), so that a run's settings can be passed to the next run as they are.
    r = tessmol.analyse(data("1CRN.pdb"), resolution=0, spanner3d="window", scan={"kavelinMin": 0.35})
    scan = r.settings["scan"]
    assert scan["kavelinMin"] == 0.35 and scan["minDifference"] == 0.2 and scan["profilesMin"] == -0.6
    again = tessmol.analyse(data("1CRN.pdb"), resolution=0, spanner3d="window", scan=scan)
    assert again.settings["scan"] == scan and again.average_score == r.average_score
    # The record of the call is the result's own: what the caller does to a copy stays there.
    copy = r.settings
    copy["resolution"] = 99
    copy["scan"]["kavelinMin"] = 9.0
    assert r.settings["resolution"] == 0 and r.settings["scan"]["kavelinMin"] == 0.35


def test_residue_rows_are_values(workdir):
    # Each access makes a new row object: rows compare by their fields, so a row is found
    # among the residues and a second run's rows equal the first's.
    s = tessmol.analyse(data("1CRN.pdb"), resolution=0)
    rows = s.residues
    assert rows[5] == rows[5] and hash(rows[5]) == hash(rows[5])
    assert rows[5] in rows and rows[4] != rows[5]
    assert len(set(rows)) == len(rows)
    assert rows[5] != "THR" and (rows[5] == object()) is False
    assert list(tessmol.analyse(data("1CRN.pdb"), resolution=0).residues) == list(rows)
    assert list(tessmol.analyse(data("1CRN.pdb"), resolution=1).residues) != list(rows)


def test_score_table_object_scores_as_the_command_line(workdir):
    # A table with every Profiles-3D score doubled: the averages double, the expected scores stay.
    rows = open(os.path.join(tessmol.data_folder, "Tessmol_Files", "Default.stb")).read().splitlines()
    doubled = ["\t".join(["SCORES"] + [repr(2 * float(v)) for v in line.split()[1:]]) if line.startswith("SCORES") else line
               for line in rows]
    path = os.path.join(workdir, "doubled.stb")
    with open(path, "w") as out:
        out.write("\n".join(doubled) + "\n")
    table = tessmol.ScoreTable(path)
    s = tessmol.analyse(data("1CRN.pdb"), score_table=table, resolution=0)
    assert s.score_table == "doubled.stb" == table.name
    expected = cli_json(["analyse", "--resolution", "0", "--score-table", path, data("1CRN.pdb")], workdir)
    assert numpy.float32(expected["average_score"]) == numpy.float32(s.average_score)
    assert numpy.float32(expected["expected_score"]) == numpy.float32(s.expected_score)
    plain = tessmol.analyse(data("1CRN.pdb"), resolution=0)
    assert s.average_score == pytest.approx(2 * plain.average_score, rel=1e-5)
    assert s.parameters.score_table == s.settings["score_table"] == "doubled.stb"


def test_spanner2d_default_and_auto_segment_as_the_command_line_does(workdir):
    fasta = data("bacteriorhodopsin_4xxjA.fasta")
    segmented = [(d.first_number, d.last_number) for d in tessmol.spanner2d(fasta, method="segments")[0].domains]
    for name in ("default", "auto"):
        model = tessmol.spanner2d(fasta, method=name)[0]
        assert model.parameters.method == "segments", name
        assert [(d.first_number, d.last_number) for d in model.domains] == segmented, name
    with pytest.raises(ValueError, match="method must be"):
        tessmol.spanner2d(fasta, method="slab")


@pytest.mark.parametrize("method", ["window", "segments"])
def test_spanner2d_equals_the_command_line(method, workdir):
    # Three records in one file: one model each, in the file's order; the last, the sodium
    # channel subunit beta-1, begins with a signal peptide.
    fasta = os.path.join(workdir, "three.fasta")
    with open(fasta, "w") as out:
        for name in ("bacteriorhodopsin_4xxjA.fasta", "rhodopsin_1gzmA.fasta"):
            out.write(open(data(name)).read().rstrip("\n") + "\n")
        lines = open(data("topology_examples.3line")).read().splitlines()
        at = lines.index(next(line for line in lines if line.startswith(">Q07699 ")))
        out.write(">Q07699\n" + lines[at + 1] + "\n")
    _, out, _ = run_cli(["spanner2d", "--method", method, "--format", "json", "--residues", fasta], workdir)
    structures = json.loads(out)["structures"]
    models = tessmol.spanner2d(fasta, method=method)
    assert len(models) == len(structures) == 3
    for expected, model in zip(structures, models):
        for key, value in expected.items():
            if key not in NOT_IN_MODULE:
                same(value, STRUCTURE[key](model), key)
    assert sum(len(m.domains) for m in models) > 0
    if method == "segments":
        assert "signal_peptides" in structures[2] and models[2].signal_peptides[0].kind == "signal-peptide"
    # The same sequences given as pairs give the same models, named by their records.
    records = [block.splitlines() for block in open(fasta).read().split(">")[1:]]
    # Pasted as a database entry shows it (numbered lines, blocks of ten), a pair reads as
    # its FASTA record does.
    pasted = lambda lines: " ".join(f"{k + 1} {line[:10]} {line[10:]}\n" for k, line in enumerate(lines))
    pairs = tessmol.spanner2d([(r[0].split()[0], pasted(r[1:])) for r in records], method=method)
    # A translation's final stop, which the FASTA reader passes over, is passed over here too.
    stops = tessmol.spanner2d([(r[0].split()[0], "".join(r[1:]) + "*") for r in records], method=method)
    for a, b, c in zip(pairs, models, stops):
        assert a.residues.to_numpy().tobytes() == b.residues.to_numpy().tobytes() == c.residues.to_numpy().tobytes()
        assert a.name == b.name == a.file
    # Stored, a model keeps its record: read again it is named by it, as show names it.
    stored_path = os.path.join(workdir, "model.tsm")
    models[1].write_result(stored_path)
    back = tessmol.read_result(stored_path)
    assert back.name == models[1].name != models[1].file
    _, text, _ = run_cli(["show", stored_path], workdir)
    assert text == back.summary() and text.endswith("FASTA record: " + models[1].name + "\n")


def test_model_confidence_is_the_files_and_survives_many_and_stored(workdir):
    # pLDDT is the B-factor of each residue's CA in AlphaFold's PDB files: read here on its own.
    pdb = data("predicted/AF-P76011-F1-model_v4.pdb.gz")
    with gzip.open(pdb, "rt") as f:
        plddt = [float(line[60:66]) for line in f if line.startswith("ATOM") and line[12:16] == " CA "]
    s = tessmol.analyse(pdb, resolution=0)
    assert [r.plddt for r in s.residues] == [float(numpy.float32(v)) for v in plddt]
    assert numpy.float32(s.mean_plddt) == pytest.approx(sum(plddt) / len(plddt), rel=1e-6)
    assert s.low_confidence_count == sum(v < 50 for v in plddt)
    assert s.confident_count == sum(v >= 70 for v in plddt) and s.confident_count + s.left_out_count == len(plddt)
    assert numpy.isnan(s.residues.to_numpy()["plddt"]).sum() == 0
    # No residue at pLDDT 100: the confident scores are None, not an average of nothing.
    none = tessmol.analyse(pdb, resolution=0, confident_plddt=100)
    assert none.confident_count == 0 and none.left_out_count == len(plddt)
    assert (none.confident_average_score, none.confident_expected_score, none.confident_compatible_score) == (
        None, None, None)
    # The table's pLDDT column is the residues' own.
    assert list(s.to_pandas()["pLDDT"]) == [numpy.float32(v) for v in plddt]
    # In a run over many files, beside an experimental structure, each result keeps its own.
    many = list(tessmol.analyse_many([data("1CRN.pdb"), pdb], jobs=2, resolution=0))
    assert not many[0].is_model and many[0].mean_plddt is None and many[0].residues[0].plddt is None
    assert many[1].is_model and [r.plddt for r in many[1].residues] == [r.plddt for r in s.residues]
    assert (many[1].confident_average_score, many[1].confident_expected_score) == (
        s.confident_average_score, s.confident_expected_score)
    # Asked to read B-factors as pLDDT, a crystal structure keeps none and says so, as a
    # Python warning in a run over many files as in analyse().
    with pytest.warns(UserWarning, match="names the experiment that measured it"):
        told = list(tessmol.analyse_many([data("1CRN.pdb"), pdb], resolution=0, confidence="plddt"))
    assert not told[0].is_model and told[1].is_model
    # A stored model keeps its pLDDT, to the file's two decimals, read alike by the command line.
    stored_path = os.path.join(workdir, "model.tsm")
    s.write_result(stored_path)
    stored = tessmol.read_result(stored_path)
    assert stored.is_model and stored.model_source == s.model_source
    assert [r.plddt for r in stored.residues] == pytest.approx(plddt, abs=0.005)
    shown = cli_json(["show", stored_path], workdir)
    for key, value in shown.items():
        if key not in NOT_IN_MODULE:
            same(value, STRUCTURE[key](stored), key)
