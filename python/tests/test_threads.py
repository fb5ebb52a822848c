"""Analyses side by side give what they give one after the other: two Python threads at
once (the interpreter lock is released while the core works), and analyse_many's workers
(its results in the order of the paths)."""

import os
import threading

import tessmol
from conftest import data


def fingerprint(s):
    """Everything per residue, as bytes, with the summary."""
    return s.residues.to_numpy().tobytes(), s.summary(), s.total_area, s.average_score


def test_two_threads_at_once_equal_one_after_the_other():
    jobs = [(data("1U19.pdb"), {"spanner3d": True}), (data("4HHB.pdb"), {"threads": 2})]
    alone = [fingerprint(tessmol.analyse(path, **kwargs)) for path, kwargs in jobs]
    together = [None, None]
    started = threading.Barrier(2)

    def run(k):
        started.wait()
        path, kwargs = jobs[k]
        together[k] = fingerprint(tessmol.analyse(path, **kwargs))

    threads = [threading.Thread(target=run, args=(k,)) for k in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert together == alone


def test_threads_overlap_in_time():
    # While one thread analyses, another runs Python: the lock is not held by the core.
    ticks = []
    done = threading.Event()

    def count():
        while not done.is_set():
            ticks.append(1)
            done.wait(0.001)

    counter = threading.Thread(target=count)
    counter.start()
    try:
        tessmol.analyse(data("4HHB.pdb"), resolution=5, threads=1)
    finally:
        done.set()
        counter.join()
    assert len(ticks) > 5


def test_analyse_many_gives_results_in_order_and_failures_in_place(tmp_path):
    paths = [data("1CRN.pdb"), str(tmp_path / "missing.pdb"), data("5PTI.pdb"), data("1UBQ.pdb"), data("1AKI.pdb")]
    expected = {p: fingerprint(tessmol.analyse(p, threads=1)) for p in paths if os.path.exists(p)}
    recorded = list(tessmol.analyse_many(paths, jobs=2, errors="record"))
    assert len(recorded) == len(paths)
    for path, item in zip(paths, recorded):
        if path in expected:
            assert item.path == path and fingerprint(item) == expected[path]
        else:
            assert isinstance(item, tessmol.Failure)
            assert (item.path, item.kind) == (path, "missing")
    # Raised in place; the iteration goes on after it.
    run = tessmol.analyse_many(paths, jobs=3)
    assert len(run) == len(paths)
    assert next(run).path == paths[0]
    try:
        next(run)
        raise AssertionError("a missing file gave a result")
    except tessmol.FileError as error:
        assert error.path == paths[1]
    assert [s.path for s in run] == paths[2:]


def test_abandoned_run_stops_its_workers():
    run = tessmol.analyse_many([data("1CRN.pdb")] * 40, jobs=2, resolution=0)
    first = next(run)
    run.close()
    assert list(run) == [] and first.file == "1CRN.pdb"
    del run


def test_run_closed_while_another_thread_waits_on_it():
    run = tessmol.analyse_many([data("4HHB.pdb")] * 6, jobs=1, resolution=4)
    got = []
    waiter = threading.Thread(target=lambda: got.extend(run))
    waiter.start()
    run.close()
    waiter.join()
    # The waiting call finished with its structure; nothing came after the close.
    assert all(s.file == "4HHB.pdb" for s in got) and len(got) <= 6
    assert list(run) == []
