"""The command line (velmarin-ifc) and read_portfolio: one model's report and
files, a portfolio on a local Dask cluster of two processes giving the
summaries of one, and models that fail, stall or crash their reader reported
while the others go on; bad input refused with nothing written."""

import csv
import gzip
import json
import logging
import os
import re
import signal
import subprocess
import sys
import threading

import pytest

ifcopenshell = pytest.importorskip("ifcopenshell")

from graph_support import exact  # noqa: E402
from helpers import module_env  # noqa: E402
from support.examples import example  # noqa: E402
from support.space_boundaries import MODELS, SHARED  # noqa: E402
from test_ifc_bounded import house, readers, slowed, waited, written  # noqa: E402
from velmarin_ifc import read_portfolio  # noqa: E402
from velmarin_ifc._command import main  # noqa: E402

TERRACE = SHARED / MODELS[0]


@pytest.fixture(scope="module")
def models(tmp_path_factory):
    """The generated house, plain and gzipped in a subfolder; a file that is
    no model; and the house made slow to read (minutes) with
    columns, windows and doors of four round bodies of 9 km radius each."""
    folder = tmp_path_factory.mktemp("models")
    plain = written(house(), folder, "house.ifc")
    (folder / "sub").mkdir()
    with open(plain, "rb") as source, gzip.open(folder / "sub" / "house.ifc.gz", "wb") as packed:
        packed.write(source.read())
    (folder / "broken.ifc").write_text("rooms: hall, kitchen\n")
    # Four bodies an element, so that the read takes several times the timeout of 4 s
    # below (with one body each it took 3.5 s on two busy cores, and sometimes passed it).
    slow = slowed(house(), ("IfcColumn", "IfcWindow", "IfcDoor"), bodies=4)
    written(slow, folder, "slow.ifc")
    return folder


@pytest.fixture(scope="module")
def cluster():
    """A client of a local cluster of two worker processes, which gives up on
    a model at the first worker it kills."""
    distributed = pytest.importorskip("distributed")
    import dask

    with (
        dask.config.set({"distributed.scheduler.allowed-failures": 0}),
        distributed.LocalCluster(
            n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0", silence_logs=logging.ERROR
        ) as local,
        distributed.Client(local) as client,
    ):
        yield client


def without_time(summary):
    return exact({key: value for key, value in summary.items() if key != "seconds"})


def listing(folder):
    return sorted(str(p.relative_to(folder)) for p in folder.rglob("*"))


def test_one_model_prints_what_is_in_it_and_writes_its_files(tmp_path):
    if not TERRACE.exists():
        pytest.skip(f"{TERRACE} is not there")
    done = subprocess.run(
        [sys.executable, "-m", "velmarin_ifc", str(TERRACE), "--plan", "terrace.png", "--graph", "terrace"],
        cwd=tmp_path,
        capture_output=True,
        text=True,
        timeout=300,
        env=module_env(),
    )
    assert done.returncode == 0, done.stderr
    report = re.sub(r"in [0-9.]+ s", "in ... s", done.stdout)
    assert report == (
        "231110AC-11-Smiley-West-04-07-2007: 70 rooms on 4 storeys\n"
        "  KG      -2.81 m  15 rooms\n  EG      -0.25 m  15 rooms\n"
        "  1.OG    +2.53 m  20 rooms\n  2.OG    +5.23 m  20 rooms\n"
        "187 contacts between rooms, by passage:\n"
        "      50  door\n      15  opening\n       0  stair\n       0  open (nothing between)\n"
        "     122  wall or slab\n"
        "35 exits (doors and doorways to the outside); 70 of 70 rooms reach one\n"
        "farthest from an exit: 5.3.3 BAD / WC-5-1 (2.OG), 9.9 m walked\n"
        "nothing left out\nread, built and walked in ... s\n"
        "plans drawn into terrace.png\ngraph written to terrace\n"
    )
    assert (tmp_path / "terrace.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    from velmarin_graph import read_parquet

    graph = read_parquet(tmp_path / "terrace")
    assert (len(graph.nodes), len(graph.edges)) == (70, 187)
    assert listing(tmp_path) == [
        "terrace",
        "terrace.png",
        "terrace/edges.parquet",
        "terrace/nodes.parquet",
        "terrace/wire_contacts.parquet",
    ]


def test_graph_files_by_name_and_the_help(models, tmp_path, capsys):
    nx = pytest.importorskip("networkx")
    assert main([str(models / "sub" / "house.ifc.gz"), "--graph", str(tmp_path / "house.graphml")]) == 0
    graphml = nx.read_graphml(tmp_path / "house.graphml")
    doors = [json.loads(e["elements"]) for *_, e in graphml.edges(data=True) if e["passage"] == "door"]
    assert len(graphml) == 8 and len(doors) == 6 and all(len(ids) == 1 for ids in doors)
    assert "house: 8 rooms on 2 storeys" in capsys.readouterr().out
    with pytest.raises(SystemExit) as done:
        main(["--help"])
    assert done.value.code == 0
    text = capsys.readouterr().out
    assert all(
        option in text
        for option in (
            "--plan",
            "--graph",
            "--falkordb",
            "--out",
            "--workers",
            "--scheduler",
            "--timeout",
            "examples:",
            "exit status:",
        )
    )


def test_without_dask_a_portfolio_is_read_one_by_one_here(models, monkeypatch, capsys):
    import velmarin_ifc._command as command

    find = command.importlib.util.find_spec
    monkeypatch.setattr(command.importlib.util, "find_spec", lambda name: None if name == "distributed" else find(name))
    assert main([str(models / "house.ifc"), str(models / "sub")]) == 0
    printed = capsys.readouterr()
    assert "reading the models one by one here" in printed.err
    assert [line.split(":")[0] for line in printed.out.splitlines()[1:3]] == ["house", "house-2"]
    assert main([str(models / "house.ifc"), "--workers", "2"]) == 2
    assert "distributed is not installed (--workers and --scheduler" in capsys.readouterr().err


def test_bad_input_is_refused_with_nothing_written(models, tmp_path, capsys):
    (tmp_path / "empty").mkdir()
    (tmp_path / "a file").write_text("")
    (tmp_path / "packed.ifc.gz").write_bytes(b"\x1f\x8b\x08\x00garbage")
    before = listing(tmp_path)
    house_model = str(models / "house.ifc")
    cases = [
        (["missing.ifc"], 2, "no such file or folder: missing.ifc"),
        ([str(tmp_path / "empty")], 2, "no models (*.ifc, *.ifc.gz) in the folder"),
        ([str(tmp_path / "nothing" / "*.ifc")], 2, "no model matches"),
        ([str(models / "broken.ifc")], 1, "broken.ifc' is not an IFC model (Unable to parse"),
        ([str(tmp_path / "packed.ifc.gz")], 1, "packed.ifc.gz' is not an IFC model (a broken gzip stream"),
        ([house_model, "--plan", str(tmp_path / "a file" / "plan.png")], 2, "a file is not a folder"),
        ([house_model, "--graph", str(tmp_path / "no folder" / "graph")], 2, "no folder does not exist"),
        ([house_model, "--out", str(tmp_path / "a file")], 2, "cannot make the folder"),
        ([house_model, "--plan", "plan.gif"], 2, "--plan draws .png, .svg, .pdf files, not 'plan.gif'"),
        ([house_model, "--graph", "graph.csv"], 2, "--graph writes .graphml or .json files, or a folder"),
        ([str(models), "--plan", "plan.png"], 2, "give --out DIR"),
        ([house_model, "--out", str(tmp_path / "out"), "--graph", "x/graph"], 2, "names the file in each"),
        ([str(models), "--falkordb", "redis://localhost:1", "--falkordb-graph", "campus"], 2, "needs {model}"),
        ([house_model, "--falkordb", "http://localhost"], 2, "'http://localhost' is no database URL"),
    ]
    for args, status, message in cases:
        assert main(args) == status, args
        error = capsys.readouterr().err
        assert error.startswith("velmarin-ifc: ") and message in error, (args, error)
    for args in (["--timeout", "0", house_model], ["--workers", "0", house_model], []):
        with pytest.raises(SystemExit) as refused:
            main(args)
        assert refused.value.code == 2
    assert listing(tmp_path) == before


def test_a_portfolio_on_two_processes_gives_the_summaries_of_one(models, cluster):
    paths = [str(SHARED / name) for name in MODELS if (SHARED / name).exists()] + [
        str(models / "house.ifc"),
        str(models / "broken.ifc"),
    ]
    here = dict(read_portfolio(paths))
    there = dict(read_portfolio(paths, cluster, timeout=120))
    assert set(here) == set(there) == set(paths)
    for path in paths[:-1]:
        assert without_time(there[path]) == without_time(here[path]), path
    assert type(here[paths[-1]]) is type(there[paths[-1]]) is ValueError
    assert str(here[paths[-1]]) == str(there[paths[-1]])
    summary = here[str(models / "house.ifc")]
    assert [space["long_name"] for space in summary["spaces"]][:2] == ["hall", "kitchen"]
    assert summary["skipped"] == [
        {
            "global_id": summary["skipped"][0]["global_id"],
            "ifc_class": "IfcSpace",
            "reason": "no geometry",
            "detail": "it has no shape representation",
        }
    ]


def test_a_portfolio_reports_what_fails_and_writes_the_rest(models, cluster, tmp_path, capsys):
    out = tmp_path / "out"
    status = main(
        [
            str(models),
            "--out",
            str(out),
            "--plan",
            "plan.svg",
            "--graph",
            "graph.json",
            "--scheduler",
            cluster.scheduler.address,
            "--timeout",
            "4",
        ]
    )
    printed = capsys.readouterr().out
    assert status == 1
    assert "broken: FAILED: ValueError:" in printed and "slow: FAILED: TimeoutError: reading" in printed
    assert printed.splitlines()[-1].startswith("2 of 4 models read in ")
    with open(out / "summary.csv", newline="") as table:
        rows = {row["model"]: row for row in csv.DictReader(table)}
    assert {name: row["status"] for name, row in rows.items()} == {
        "broken": "failed",
        "house": "ok",
        "house-2": "ok",
        "slow": "failed",
    }
    assert (
        rows["slow"]["error"]
        == f"TimeoutError: reading '{models / 'slow.ifc'}' took longer than 4 s; the read was ended"
    )
    assert (rows["house"]["rooms"], rows["house"]["door"], rows["house"]["skipped_why"]) == (
        "8",
        "6",
        "no geometry: 1 IfcSpace",
    )
    assert listing(out) == [
        "house",
        "house-2",
        "house-2/graph.json",
        "house-2/plan.svg",
        "house-2/summary.json",
        "house/graph.json",
        "house/plan.svg",
        "house/summary.json",
        "summary.csv",
    ]
    first, second = (json.loads((out / name / "summary.json").read_text()) for name in ("house", "house-2"))
    first.pop("seconds"), second.pop("seconds")
    assert first == second and first["egress"][first["spaces"][0]["global_id"]] is None  # no exit: infinite


def test_a_model_whose_reader_crashes_is_reported_and_the_others_go_on(models):
    def crash():
        if waited(readers):
            os.kill(readers()[0], signal.SIGSEGV)

    crashing = threading.Thread(target=crash)
    crashing.start()
    outcomes = list(read_portfolio([models / "slow.ifc", models / "house.ifc"], timeout=120))
    crashing.join()
    assert [path for path, _ in outcomes] == [str(models / "slow.ifc"), str(models / "house.ifc")]
    # AddressSanitizer, preloaded in the sanitizer run, takes the fault and aborts.
    assert re.fullmatch(
        re.escape(f"reading '{models / 'slow.ifc'}' failed: the child process reading it was killed by ")
        + r"(SIGSEGV \(Segmentation fault\)|SIGABRT \(Aborted\))",
        str(outcomes[0][1]),
    )
    assert len(outcomes[1][1]["spaces"]) == 8


def test_a_worker_that_dies_is_a_reported_failure(models, cluster):
    """Without a timeout the model is read in the worker itself: its death,
    as when the engine crashes, is the model's failure."""
    pids = cluster.run(os.getpid)
    outcomes = {}
    for path, outcome in read_portfolio([models / "slow.ifc", models / "house.ifc"], cluster):
        outcomes[path] = outcome
        if path.endswith("house.ifc"):
            for worker, tasks in cluster.processing().items():
                if tasks:
                    os.kill(pids[worker], signal.SIGKILL)
    assert type(outcomes[str(models / "slow.ifc")]).__name__ == "KilledWorker"
    assert len(outcomes[str(models / "house.ifc")]["spaces"]) == 8


@pytest.mark.external
def test_a_portfolio_into_falkordb_on_a_cluster_it_starts(models, tmp_path, capsys):
    if sys.version_info < (3, 10):
        pytest.skip("the packaged FalkorDB needs Python 3.10 or later")
    pytest.importorskip("distributed")
    embedded_falkordb = example("graph_database").embedded_falkordb

    with embedded_falkordb() as database:
        url = f"unix://{database.connection.connection_pool.connection_kwargs['path']}"
        args = [
            str(models / "house.ifc"),
            str(models / "sub"),
            "--falkordb",
            url,
            "--falkordb-graph",
            "campus-{model}",
            "--workers",
            "1",
        ]
        assert main(args) == 0 and main(args) == 0  # loaded again, the graphs are replaced
        assert sorted(database.list_graphs()) == ["campus-house", "campus-house-2"]
        for name in database.list_graphs():
            graph = database.select_graph(name)
            assert graph.query("MATCH (r:Room) RETURN count(r)").result_set == [[8]]
            assert graph.query("MATCH ()-[w {passage: 'door'}]->() RETURN count(w)").result_set == [[6]]
    assert "2 of 2 models read" in capsys.readouterr().out
