"""Failures reach Python as exceptions with the core's message, file, line and kind; bad
arguments as ValueError; none of them harms the interpreter."""

import os
import warnings
import pathlib
import shutil

import pytest

import tessmol
from conftest import data, run_cli


def stderr_line(args, cwd):
    status, _, err = run_cli(args, cwd, check=False)
    assert status != 0
    return err.strip().splitlines()[-1]


def test_missing_file_is_a_file_error_with_the_command_lines_message(workdir):
    path = os.path.join(workdir, "absent.pdb")
    with pytest.raises(tessmol.FileError) as raised:
        tessmol.analyse(path)
    error = raised.value
    assert isinstance(error, OSError) and isinstance(error, tessmol.Error)
    assert (error.path, error.kind, error.line) == (path, "missing", 0)
    assert str(error) == stderr_line(["analyse", path], workdir)


def test_coordinates_out_of_range_are_a_format_error_on_their_line(workdir):
    lines = open(data("1CRN.pdb")).read().splitlines()
    atoms = [k for k, line in enumerate(lines) if line.startswith("ATOM")]
    bad = atoms[10]
    # x in columns 31-38 beyond what any structure holds
    lines[bad] = lines[bad][:30] + "99999999" + lines[bad][38:]
    path = os.path.join(workdir, "damaged.pdb")
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")
    with pytest.raises(tessmol.FormatError) as raised:
        tessmol.analyse(path)
    error = raised.value
    assert (error.path, error.kind, error.line) == (path, "format", bad + 1)
    assert str(error) == stderr_line(["analyse", path], workdir)


def test_score_table_with_a_short_row_is_refused_with_its_line(workdir):
    table = os.path.join(workdir, "bad.stb")
    rows = open(os.path.join(tessmol.data_folder, "Tessmol_Files", "Default.stb")).read().splitlines()
    scores = [k for k, line in enumerate(rows) if line.startswith("SCORES")]
    rows[scores[3]] = "\t".join(rows[scores[3]].split()[:8])
    with open(table, "w") as out:
        out.write("\n".join(rows) + "\n")
    with pytest.raises(tessmol.FormatError) as raised:
        tessmol.ScoreTable(table)
    assert (raised.value.line, raised.value.kind) == (scores[3] + 1, "format")
    assert str(raised.value) == stderr_line(["analyse", "--score-table", table, data("1CRN.pdb")], workdir)
    with pytest.raises(tessmol.FormatError):
        tessmol.analyse(data("1CRN.pdb"), score_table=table)
    with pytest.raises(tessmol.FileError):
        tessmol.ScoreTable(os.path.join(workdir, "none.stb"))


def test_a_faulty_fasta_record_is_a_format_error_on_its_line(workdir):
    path = os.path.join(workdir, "mixed.fasta")
    with open(path, "w") as out:
        out.write(">good\nMLLLLAVLLLALLVLAILLVGKK\n>bad\nMKV@LLL\n")
    with pytest.raises(tessmol.FormatError) as raised:
        tessmol.spanner2d(path)
    error = raised.value
    assert (error.path, error.kind, error.line) == (path, "format", 4)
    status, _, err = run_cli(["spanner2d", path], workdir, check=False)
    assert status == 1 and str(error) in err.splitlines()
    # errors='record' keeps every record in its place: the faulty ones as Failures with
    # the same words, the others as the Results a file without the faulty ones gives.
    with open(path, "a") as out:
        out.write(">empty\n>last\nMKKLLAVLLLALLVLAILLVGRR\n")
    kept = tessmol.spanner2d(path, errors="record")
    assert [type(x).__name__ for x in kept] == ["Result", "Failure", "Failure", "Result"]
    assert (kept[1].kind, kept[1].line, kept[1].message) == ("format", 4, str(error))
    assert (kept[2].kind, kept[2].line) == ("format", 5)
    assert kept[2].message in run_cli(["spanner2d", path], workdir, check=False)[2].splitlines()
    clean = tessmol.spanner2d([("good", "MLLLLAVLLLALLVLAILLVGKK"), ("last", "MKKLLAVLLLALLVLAILLVGRR")])
    for got, want in zip((kept[0], kept[3]), clean):
        assert (got.name, got.average_score, [d.first_number for d in got.domains]) == (
            want.name, want.average_score, [d.first_number for d in want.domains])
    with pytest.raises(ValueError, match="errors must be"):
        tessmol.spanner2d(path, errors="skip")
    # Pairs alike: one that is no sequence is a Failure in its place, the others are modelled.
    pairs = [("empty", ""), ("good", "MLLLLAVLLLALLVLAILLVGKK"), ("bad", "MKV#LLL"), ("last", "MKKLLAVLLLALLVLAILLVGRR")]
    kept = tessmol.spanner2d(pairs, errors="record")
    assert [type(x).__name__ for x in kept] == ["Failure", "Result", "Failure", "Result"]
    assert kept[0].message == "Error: the sequence of empty is empty"
    assert kept[2].message == "Error: the sequence of bad holds '#', not a residue letter"
    assert [(x.name, x.average_score) for x in (kept[1], kept[3])] == [(x.name, x.average_score) for x in clean]
    with pytest.raises(ValueError, match="holds '#'"):
        tessmol.spanner2d(pairs[1:])


def test_warnings_on_given_sequences_name_them_not_a_scratch_file():
    with pytest.warns(UserWarning) as caught:
        tessmol.spanner2d([("y", "MKTAYIAKQRXQISFVKSHFSRQ")])
    texts = [str(w.message) for w in caught]
    assert any(t.startswith("Warning: sequences (y, sequence 1) holds X") for t in texts), texts


def test_each_record_keeps_its_own_warnings(workdir):
    # A rare letter in the first record, a repeated name in the third: the second is clean,
    # from a file or as pairs (whose places are sequences, not a scratch file's lines).
    records = [("a", "MKVLLAAGLLLLVVAXIILLGGAKRK"), ("b", "MKVLLAAGLLLLVVAAIILLGGAKRK"),
               ("a", "MKWLLAAGLLLLVVAAIILLGGAKRK")]
    path = os.path.join(workdir, "three.fasta")
    with open(path, "w") as out:
        out.writelines(f">{name}\n{sequence}\n" for name, sequence in records)
    for source, place in ((path, "line"), (records, "sequence")):
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            models = tessmol.spanner2d(source)
        assert [len(m.messages) for m in models] == [1, 0, 1]
        assert "holds X" in models[0].messages[0]
        first = 1
        third = 5 if place == "line" else 3
        assert f"(a, {place} {third}) has the name of the record at {place} {first}" in models[2].messages[0]


def test_damaged_result_file_names_its_line(workdir):
    s = tessmol.analyse(data("1CRN.pdb"), resolution=0)
    path = os.path.join(workdir, "crambin.tsm")
    s.write_result(path)
    lines = open(path).read().splitlines()
    lines[5] = "NONSENSE"
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")
    with pytest.raises(tessmol.FormatError) as raised:
        tessmol.read_result(path)
    assert raised.value.line == 6
    assert str(raised.value).startswith("Error: Format error in .tsm file on line 6")
    # A result file is no structure.
    with pytest.raises(tessmol.Error):
        tessmol.analyse(path)


def test_bad_arguments_are_value_errors(workdir):
    crambin = data("1CRN.pdb")
    for kwargs in (
        {"resolution": 7},
        {"threads": -1},
        {"spanner3d": "sideways"},
        {"secondary_structure": "guessed"},
        {"scan": {"movingAverage": 0}},
        {"scan": {"noSuchParameter": 1}},
        {"max_unpacked_mib": 0},
    ):
        with pytest.raises(ValueError):
            tessmol.analyse(crambin, **kwargs)
    # The window scan's settings where no window scan runs, as the command line refuses them.
    for spanner3d in (None, True, "auto", "segments", "slab"):
        with pytest.raises(ValueError, match="only runs with spanner3d='window'"):
            tessmol.analyse(crambin, spanner3d=spanner3d, scan={"movingAverage": 5})
    with pytest.raises(ValueError, match="only runs with method='window'"):
        tessmol.spanner2d([("x", "MKV")], scan={"movingAverage": 5})
    with pytest.raises(ValueError):
        tessmol.analyse_many([crambin], jobs=-1)
    table = tessmol.ScoreTable(os.path.join(tessmol.data_folder, "Tessmol_Files", "Default.stb"))
    for count in (0, 10**12):  # no structure, and more residues than a structure holds
        with pytest.raises(ValueError, match="residue_count must be 1 to 2147483647"):
            table.expected_score(count)
    with pytest.raises(ValueError):
        tessmol.analyse_many([crambin], errors="ignore")
    # One path, as text or bytes, is not a list of its letters (a pathlib path is no list).
    for one in (crambin, crambin.encode()):
        with pytest.raises(TypeError, match="not one path"):
            tessmol.analyse_many(one)
    with pytest.raises(TypeError):
        tessmol.analyse_many(pathlib.Path(crambin))
    with pytest.raises(ValueError):
        tessmol.spanner2d([("a b", "MKV")])
    with pytest.raises(ValueError):
        tessmol.spanner2d([("x", "MK-V")])
    # A letter of another alphabet is named whole (its UTF-8 bytes would make no text).
    for letter in ("é", "Ｍ", "α"):
        with pytest.raises(ValueError, match=f"holds '{letter}', not a residue letter"):
            tessmol.spanner2d([("x", "MK" + letter + "V")])
    with pytest.raises(ValueError):
        tessmol.spanner2d([("x", "MKV")], method="slab")
    s = tessmol.analyse(crambin, resolution=0)
    with pytest.raises(ValueError):
        s.write_bfactor(os.path.join(workdir, "x.pdb"), value="charge")
    with pytest.raises(ValueError):
        s.write_bfactor(os.path.join(workdir, "x.pdb"), window=0)
    with pytest.raises(IndexError):
        s.residues[len(s.residues)]


def test_unwritable_outputs_are_file_errors(workdir):
    s = tessmol.analyse(data("1CRN.pdb"), resolution=0)
    folder = os.path.join(workdir, "no", "such", "folder")
    for write in (s.write_result, s.write_tsv, s.write_bfactor):
        with pytest.raises(tessmol.FileError) as raised:
            write(os.path.join(folder, "out"))
        assert raised.value.kind == "write failed"


def test_a_result_is_never_written_over_its_input(workdir):
    # A slip of a name must not destroy the structure, the stored result or the FASTA file
    # a result came from.
    structure = os.path.join(workdir, "crambin.pdb")
    shutil.copy(data("1CRN.pdb"), structure)
    stored_path = os.path.join(workdir, "crambin.tsm")
    fasta = os.path.join(workdir, "helix.fasta")
    with open(fasta, "w") as out:
        out.write(">helix\nMLLLLAVLLLALLVLAILLVGKK\n")
    analysed = tessmol.analyse(structure, resolution=0)
    analysed.write_result(stored_path)
    before = {path: open(path, "rb").read() for path in (structure, stored_path, fasta)}
    stored = tessmol.read_result(stored_path)
    model = tessmol.spanner2d(fasta)[0]
    for result, path in ((analysed, structure), (stored, stored_path), (model, fasta)):
        for write in (result.write_result, result.write_tsv, result.write_bfactor):
            with pytest.raises(tessmol.FileError) as raised:
                write(path)
            assert "never overwritten" in str(raised.value)
    # Nor the log, which is opened before anything is read: not an input, not the score
    # table read, not a result file's name.
    for call, path in ((tessmol.analyse, structure), (tessmol.spanner2d, fasta)):
        with pytest.raises(tessmol.FileError) as raised:
            call(path, log=os.path.join(workdir, ".", os.path.basename(path)))
        assert "never overwritten" in str(raised.value)
    table = os.path.join(workdir, "my.stb")
    shutil.copy(os.path.join(tessmol.data_folder, "Tessmol_Files", "Default.stb"), table)
    before[table] = open(table, "rb").read()
    for score_table in (table, tessmol.ScoreTable(table)):
        with pytest.raises(tessmol.FileError):
            tessmol.analyse(structure, log=table, score_table=score_table)
    with pytest.raises(tessmol.FileError):
        tessmol.analyse(structure, log=os.path.join(workdir, "x.TSM"))
    assert {path: open(path, "rb").read() for path in before} == before


def test_a_file_without_protein_says_what_it_holds(workdir):
    # As the command line says it: a ligand file, or DNA (read as heteroatoms) alone.
    dna = os.path.join(workdir, "dna.pdb")
    with open(data("1LCD_model1.pdb")) as source, open(dna, "w") as out:
        out.writelines(l for l in source if l.startswith("ATOM") and l[17:19] == " D")
    with pytest.raises(tessmol.FormatError) as raised:
        tessmol.analyse(dna)
    _, _, err = run_cli(["analyse", dna], workdir, check=False)
    assert str(raised.value) == "Error: no atoms could be read from " + dna + ": it holds DNA or RNA and no protein"
    assert str(raised.value) in err.splitlines()


def test_a_result_is_never_written_over_other_data(workdir):
    # Another structure, or a write-protected result, from another result's hands (the
    # rename that replaces a file would take a write-protected one too).
    other = os.path.join(workdir, "other.pdb")
    shutil.copy(data("1UBQ.pdb"), other)
    kept = os.path.join(workdir, "kept.tsm")
    s = tessmol.analyse(data("1CRN.pdb"), resolution=0)
    s.write_result(kept)
    os.chmod(kept, 0o444)
    before = {path: open(path, "rb").read() for path in (other, kept)}
    for path, why in ((other, "it holds no result"), (kept, "it is write-protected")):
        with pytest.raises(tessmol.FileError, match=why) as raised:
            s.write_result(path)
        assert raised.value.kind == "write failed"
    assert {path: open(path, "rb").read() for path in before} == before
    assert sorted(os.listdir(workdir)) == ["kept.tsm", "other.pdb"]  # no temporary left


def test_a_result_file_given_as_a_structure_names_itself(workdir):
    stored = os.path.join(workdir, "crambin.tsm")
    tessmol.analyse(data("1CRN.pdb"), resolution=0).write_result(stored)
    with pytest.raises(tessmol.FormatError) as raised:
        tessmol.analyse(stored)
    assert raised.value.path == stored and "read_result" in str(raised.value)
    failure = list(tessmol.analyse_many([stored], errors="record"))[0]
    assert (failure.path, failure.kind) == (stored, "format")


def test_analyse_leaves_nothing_in_the_current_folder(workdir, monkeypatch):
    monkeypatch.chdir(workdir)
    tessmol.analyse(data("1U19.pdb"), spanner3d=True, resolution=0)
    tessmol.spanner2d([("helix", "MLLLLAVLLLALLVLAILLVGKK")])
    assert os.listdir(workdir) == []


def test_missing_data_folder_is_an_error_not_a_crash(workdir):
    # A module copied away from its data: the analysis says what is missing.
    import subprocess
    import sys

    code = "import tessmol\ntry:\n    tessmol.analyse(%r)\nexcept tessmol.Error as e:\n    print('raised', e.kind)\n" % data(
        "1CRN.pdb"
    )
    env = dict(os.environ, TESSMOL_DATA=os.path.join(workdir, "nothing"))
    done = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.startswith("raised")
