"""The examples run, print what they promise, and type-check against the stubs; the stubs match the module."""

import importlib.util
import pathlib
import subprocess
import sys
import sysconfig

import pytest

from helpers import module_env

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent / "examples"
STUBS = EXAMPLES.parent / "stubs"


def run_example(name, *args):
    done = subprocess.run(
        [sys.executable, str(EXAMPLES / name), *args],
        cwd=EXAMPLES,
        capture_output=True,
        text=True,
        timeout=120,
        env=module_env(),
    )
    assert done.returncode == 0, done.stderr
    return done.stdout


def test_quickstart():
    assert "room: 8 vertices, 6 faces, centre (2.0, 1.5, 1.35)" in run_example("quickstart.py")


def test_join_rooms():
    out = run_example("join_rooms.py")
    assert "3 disjoint cells:" in out
    assert "together 39 m2" in out


def test_ifc_to_mesh():
    out = run_example("ifc_to_mesh.py")
    # Loops written before their points still count: all six faces arrive.
    assert "read: 10 vertices, 6 faces" in out
    assert "welded at 1 mm: 8 vertices, 6 faces" in out
    assert "above the cut at z = 0.75" in out and "z from 0 to 0.75" in out


def test_house_graph():
    out = run_example("house_graph.py")
    assert "8 rooms, 10 shared walls, 5 shared slabs" in out
    # The hall's doors are cut out of its walls: 3 x 3 m less a 0.9 x 2.1 m door.
    assert "hall | living         wall   7.11 m2" in out
    assert "column 0 stands in the kitchen" in out
    assert "route from the hall to the bedroom: hall -> kitchen -> bedroom" in out
    assert "the hall's row: centroid_x: 1.5, centroid_y: 2.0, centroid_z: 1.5, index: 0, name: 'hall', storey: 0" in out


def test_graph_files_read_back(tmp_path):
    for library in ("networkx", "pyarrow"):
        pytest.importorskip(library)
    out = run_example("graph_files.py", str(tmp_path))
    assert "arrays: 8 nodes with name, storey, 15 edges, 4 wire contacts" in out
    assert "networkx: hall -> kitchen -> bedroom, as find_shortest_path: True" in out
    assert "read back 8 nodes and 15 edges, the hall named 'hall'" in out
    assert "GraphML and JSON: 15 and 15 edges, node 0 named 'hall' and 'hall'" in out
    assert {p.name for p in tmp_path.iterdir()} == {"house", "house.graphml", "house.json"}


@pytest.mark.external
def test_house_graph_reaches_the_database():
    pytest.importorskip("falkordb")
    out = run_example("house_graph.py")
    assert "database: 8 Room nodes, 15 SHARES_WALL relationships" in out
    assert "the hall's neighbours in the database: kitchen, landing, living" in out


def test_floor_plan_picture(tmp_path):
    pytest.importorskip("matplotlib")
    picture = tmp_path / "house.png"
    out = run_example("floor_plan.py", str(picture))
    assert "route hall -> kitchen -> bedroom" in out
    assert picture.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert picture.stat().st_size > 20_000


def test_ifc_building_reads_its_model_back(tmp_path):
    pytest.importorskip("ifcopenshell")
    pytest.importorskip("matplotlib")
    picture = tmp_path / "ifc_building.png"
    out = run_example("ifc_building.py", str(picture))
    assert "8 rooms, 6 doors, 8 windows, 15 openings, 4 columns; 1 element without geometry skipped" in out
    assert "0.01 hall | 0.02 kitchen        wall 0.20 m thick,  8.37 m2, 1.89 m2 open" in out
    assert "0.01 hall | 1.01 landing        slab 0.30 m thick,  8.14 m2, 2.50 m2 open" in out
    assert "0.02 kitchen | 0.03 living         wall 0.20 m thick,  4.86 m2\n" in out
    assert "7 connections through doors and voids:" in out
    assert (
        "route through doors from the study to the bedroom: 0.04 study -> 0.03 living -> 0.01 hall"
        " -> 1.01 landing -> 1.04 master bedroom -> 1.03 bedroom"
    ) in out
    assert picture.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    if importlib.util.find_spec("falkordb"):
        assert "from the hall through doors and voids: kitchen, landing, living" in out


def test_ifc_plans_walks_the_terrace(tmp_path):
    pytest.importorskip("ifcopenshell")
    pytest.importorskip("matplotlib")
    terrace = EXAMPLES.parent.parent / "shared" / "models" / "231110AC-11-Smiley-West-04-07-2007.ifc.gz"
    if not terrace.exists():
        pytest.skip(f"{terrace} is not there")
    picture = tmp_path / "terrace.png"
    out = run_example("ifc_plans.py", str(terrace), str(picture), "3.0.1")
    assert "70 rooms; passages: 122 none, 50 door, 15 opening\n35 exits; 70 of 70 rooms reach one" in out
    assert "farthest from an exit: 5.3.3 BAD / WC-5-1 (2.OG), 9.9 m" in out
    assert "way out of 3.0.1 KELLERRAUM-3-1, 8.3 m: 3.0.1 -> 3.0.3 -> 3.1.3" in out
    assert picture.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


def installed_stubs():
    return pathlib.Path(sysconfig.get_paths()["purelib"], "velmarin-stubs", "__init__.pyi")


@pytest.mark.external
def test_examples_type_check_against_the_stubs(tmp_path):
    pytest.importorskip("mypy")
    env = module_env()
    if not installed_stubs().exists():  # a development build: use the source stubs
        env["MYPYPATH"] = str(STUBS)
    # The examples, and the companion packages from their source.
    files = sorted(str(p) for p in EXAMPLES.glob("*.py")) + [
        str(EXAMPLES.parent / "python" / package) for package in ("velmarin_ifc", "velmarin_graph")
    ]
    config = str(EXAMPLES.parent / "pyproject.toml")
    check = subprocess.run(
        [sys.executable, "-m", "mypy", "--config-file", config, "--no-incremental", *files],
        cwd=EXAMPLES,
        capture_output=True,
        text=True,
        env=env,
        timeout=300,
    )
    assert check.returncode == 0, check.stdout + check.stderr

    # The stubs are really consulted: a wrong call is caught.
    wrong = tmp_path / "wrong.py"
    wrong.write_text("from velmarin import Vector3D\nv = Vector3D(1, 2)\nv.x = 'a'\n")
    check = subprocess.run(
        [sys.executable, "-m", "mypy", "--config-file", config, "--no-incremental", str(wrong)],
        capture_output=True,
        text=True,
        env=env,
        timeout=300,
    )
    assert check.returncode == 1
    assert 'Missing positional argument "z"' in check.stdout
    assert "Incompatible types in assignment" in check.stdout


def stubtest(env, cwd):
    return subprocess.run(
        [sys.executable, "-m", "mypy.stubtest", "velmarin"],
        cwd=cwd,
        capture_output=True,
        text=True,
        env=env,
        timeout=300,
    )


@pytest.mark.external
def test_the_stub_matches_the_module(tmp_path):
    pytest.importorskip("mypy")
    env = module_env()
    if installed_stubs().exists():
        assert installed_stubs().read_text() == (STUBS / "velmarin.pyi").read_text(), "the installed stub is stale"
    else:  # a development build: check the source stub
        env["MYPYPATH"] = str(STUBS)
    check = stubtest(env, tmp_path)
    assert check.returncode == 0, check.stdout + check.stderr

    # Signatures are really compared: a parameter the module does not take is caught.
    wrong = tmp_path / "wrong"
    wrong.mkdir()
    stub = (STUBS / "velmarin.pyi").read_text()
    (wrong / "velmarin.pyi").write_text(stub.replace("def validate(self)", "def validate(self, strict: bool)"))
    check = stubtest(dict(env, MYPYPATH=str(wrong)), tmp_path)
    assert check.returncode == 1
    assert "velmarin.Mesh.validate" in check.stdout


def test_the_readme_example_prints_what_the_readme_shows():
    readme = (EXAMPLES.parent / "README.md").read_text()
    code = readme.split("```python\n", 1)[1].split("```", 1)[0]
    shown = readme.split("```python\n", 1)[1].split("```\n", 2)[2].split("```", 1)[0]
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=60, env=module_env())
    assert done.returncode == 0, done.stderr
    assert done.stdout == shown
