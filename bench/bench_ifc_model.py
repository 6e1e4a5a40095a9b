"""Where the time goes when velmarin_ifc reads a building model, and how it compares with ifcopenshell's own geometry.

    .venv/bin/python bench/bench_ifc_model.py [--rooms 1000] [--repeat 3] [--against REVISION]

Five models: the example house (8 rooms, what a small model costs), a
building of ``--rooms`` rooms from tests/support/building.py (storeys of rows of rooms of
varied widths, a door in every inner wall that can hold one, windows in half
the outer walls, a column in a quarter of the rooms), both written as IFC4 by
examples/ifc_model.py with 0.2 m walls and 0.3 m slabs, and the three shared
models of ../shared/models. For each, ``read_building(path).graph()`` is timed
whole, and in its steps, one after the other:
- velmarin's read of the model's records ("records": the solids, the
  names, storeys and fillings, and whether the records tell the model
  alone); where they do, the meshes and the graph follow, and ifcopenshell
  has no part in the read;
- ifcopenshell, where they do not: parsing the file (and freeing what it
  parsed, once the building is made), and its geometry engine making the
  solids velmarin does not make itself, each in its element's own
  coordinates with its placement, as read_building runs it (its kernel,
  its threads);
- velmarin: the checks of what the engine may be given (velmarin_ifc's
  screening), "bodies", the solids of the spaces, doors, windows, openings,
  stairs, ramps and columns that velmarin makes itself from the model's
  text besides those of the records (IfcParser.element_solids), "meshes",
  the meshes and the registry (the
  engine's solids placed in world coordinates and turned into welded meshes
  of planar faces, the wires, the records, the registry), the graph
  (Building.graph(), the build across walls and the passages), and the rest
  of the whole that the steps leave out.
Beside it, the yardstick: ifcopenshell's geometry iterator alone over the
same elements, with its default settings, on every core; and ifcopenshell's
parse alone ("/parse": the whole against it). The last lines give
velmarin's own share of each whole (all but ifcopenshell's parsing and
geometry, and "beside", its steps but the bodies it makes) and the
wholes summed against the yardsticks summed (all models but the house), and
what a small model costs in a fresh process: importing velmarin_ifc, and its
first read (ifcopenshell imported by it where it is needed); and the house's geometry on one
thread (as read_building runs a model so small) and on every core.

With --against REVISION, each model is read by ``--repeat`` pairs of child
processes in turn, one with velmarin as it was at REVISION (its module built
by bench/baseline.py, its velmarin_ifc from that revision's tree) and one
with velmarin as it is here, two reads each (the first pays for imports);
both lines are given, each step the best of its side, the yardstick timed once.

Times are wall-clock seconds, the best of ``--repeat`` runs, all in one run;
other work on the machine moves them: read them with the load averages
printed beside them. velmarin's own share is given by processor time too
(this process's, the engine's thread included), which that work moves less.
"""

from __future__ import annotations

import argparse
import functools
import json
import math
import multiprocessing
import os
import sys
import tempfile
import time
from collections.abc import Sequence
from pathlib import Path
from typing import Any, Callable, NamedTuple

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests"))

import ifcopenshell  # noqa: E402
import ifcopenshell.geom  # noqa: E402
import ifcopenshell.util.unit  # noqa: E402

from baseline import module_at, run_with  # noqa: E402
from support.building import STOREY_HEIGHT, generate_building  # noqa: E402
from support.examples import example  # noqa: E402
from support.space_boundaries import MODELS, SHARED, unpacked  # noqa: E402
from velmarin_ifc import read_building  # noqa: E402
from velmarin_ifc._building import building_from  # noqa: E402

try:
    from velmarin_ifc._engine import element_shapes  # noqa: E402
except ImportError:  # velmarin_ifc before its engine gave shapes in their elements' own coordinates (--against)
    from velmarin_ifc._engine import element_solids as element_shapes  # type: ignore[attr-defined,no-redef]
from velmarin_ifc._model import Products, assemble, step_text  # noqa: E402

try:
    from velmarin_ifc._solids import solids_made_here  # noqa: E402
except ImportError:  # velmarin_ifc before it made the common bodies itself (--against)
    solids_made_here = None
from velmarin_ifc._screening import screened  # noqa: E402

try:
    from velmarin_ifc._records import records_read  # noqa: E402
except ImportError:  # velmarin_ifc before it read models from their records alone (--against)
    records_read = None

ifc_model = example("ifc_model")
Layout, LayoutOpening, LayoutRoom = ifc_model.Layout, ifc_model.LayoutOpening, ifc_model.LayoutRoom
house_layout, write_model = ifc_model.house_layout, ifc_model.write_model

# "records": velmarin's read of the model's records (IfcParser.model_products);
# "bodies": the solids velmarin makes itself besides; "geometry": the
# engine's; "meshes": the meshes and the registry.
STEPS = ("records", "parse", "checks", "bodies", "geometry", "meshes", "graph", "rest")
# The steps of a read through ifcopenshell, none where the records tell the model.
THROUGH_IFCOPENSHELL = ("parse", "checks", "bodies", "geometry")


def generated_layout(rooms: int, seed: int = 7) -> Layout:
    """building.py's box rooms, flat doors and windows and columns, read as a layout on wall axes."""
    generated = generate_building(rooms, seed, door_ratio=1.0, window_ratio=0.5, column_ratio=0.25)
    layout = Layout([], [], [], [])
    for k, (corners, _) in enumerate(generated.meshes):
        xs, ys, zs = zip(*corners)
        storey = round(min(zs) / STOREY_HEIGHT)
        layout.rooms.append(LayoutRoom(f"{storey}.{k:05d}", f"room {k}", storey, (min(xs), min(ys), max(xs), max(ys))))
    for corners, _ in generated.apertures:
        xs, ys, zs = zip(*corners)
        storey = int(min(zs) // STOREY_HEIGHT)
        sill = min(zs) - storey * STOREY_HEIGHT
        start, end = (min(xs), min(ys)), (max(xs), max(ys))
        layout.openings.append(
            LayoutOpening("door" if sill == 0 else "window", storey, start, end, sill, max(zs) - min(zs))
        )
    layout.columns = [(round(a[2] / STOREY_HEIGHT), a[0], a[1]) for a, _ in generated.wires]
    return layout


class Took(NamedTuple):
    wall: float
    processor: float  # this process's, its threads' included: other work on the machine moves it less

    def __add__(self, other: object) -> Took:
        assert isinstance(other, Took)
        return Took(self.wall + other.wall, self.processor + other.processor)


def timed(action: Callable[[], Any]) -> tuple[Took, Any]:
    start, used = time.perf_counter(), time.process_time()
    result = action()
    return Took(time.perf_counter() - start, time.process_time() - used), result


def least(a: Took, b: Took) -> Took:
    return Took(min(a.wall, b.wall), min(a.processor, b.processor))


def default_geometry(model: ifcopenshell.file, products: list[Any]) -> int:
    """ifcopenshell's geometry iterator over the products, as its defaults have it, on every core."""
    iterator = ifcopenshell.geom.iterator(
        ifcopenshell.geom.settings(), model, multiprocessing.cpu_count(), include=products
    )
    shapes = 0
    if iterator.initialize():
        while True:
            shapes += 1
            if not iterator.next():
                break
    return shapes


def measure(path: Path, repeat: int) -> dict[str, Any]:
    """The whole and its steps for one model, each the best of `repeat`
    rounds that take them in turn, so that all meet the same load."""
    best: dict[str, Took] = {}
    for _ in range(repeat):
        times: dict[str, Took] = {}
        times["whole"], graph = timed(lambda: read_building(path).graph())
        if records_read is None:
            times["records"], (parts, ahead) = Took(0.0, 0.0), (None, None)
        else:
            times["records"], (parts, ahead) = timed(lambda: records_read(str(path)))  # noqa: F821
        if parts is not None:
            times.update({step: Took(0.0, 0.0) for step in THROUGH_IFCOPENSHELL})
            times["meshes"], building = timed(lambda: building_from(parts))  # noqa: F821
        else:
            times.update(zip(THROUGH_IFCOPENSHELL[1:], [Took(0.0, 0.0)] * 3))
            times["meshes"], building = through_ifcopenshell(path, ahead, times)
        times["graph"], _ = timed(lambda: building.graph())
        best = {key: least(value, best.get(key, value)) for key, value in times.items()}
    return {
        "times": with_rest(best),
        "rooms": len(building.spaces),
        "apertures": len(building.apertures),
        "edges": len(graph.edges),
        "size": path.stat().st_size,
    }


def through_ifcopenshell(path: Path, ahead: Any, times: dict[str, Took]) -> tuple[Took, Any]:
    """The read through ifcopenshell's parse, its steps timed into `times`;
    with the solids velmarin made `ahead` of it, where it made any."""
    times["parse"], model = timed(lambda: ifcopenshell.open(str(path)))
    products = Products(model)
    metres = ifcopenshell.util.unit.calculate_unit_scale(model)
    with step_text(str(path), model) as text:
        times["checks"], faults = timed(lambda: screened(model, products.all(), text, metres))  # noqa: F821
        kept = [p for p in products.all() if p.id() not in faults]
        tried = ahead[1] if ahead is not None and ahead[0] == metres else {}
        made = {key: mesh for key, mesh in tried.items() if mesh is not None and key not in faults}
        if solids_made_here is not None:
            every = [(p.id(), f) for p, f in products.with_faces() if p.id() not in faults and p.id() not in tried]
            ids, faces = [key for key, _ in every], [f for _, f in every]
            times["bodies"], more = timed(lambda: solids_made_here(bytes(text), ids, metres, faces))  # noqa: F821
            made.update(more)
    left = [p for p in kept if p.id() not in made]
    times["geometry"], shapes = timed(lambda: element_shapes(model, left))  # noqa: F821
    extra = (made,) if solids_made_here is not None else ()
    took, building = timed(lambda: building_from(assemble(model, products, shapes, faults, *extra)))  # noqa: F821
    start, used = time.perf_counter(), time.process_time()
    del model, products, kept, left, made, shapes, faults  # the parsed model is freed: ifcopenshell's work too
    times["parse"] += Took(time.perf_counter() - start, time.process_time() - used)
    return took, building


def with_rest(best: dict[str, Took]) -> dict[str, Took]:
    """The times with "rest": what of the whole the steps leave out."""
    steps = [best[step] for step in STEPS[:-1]]
    return {
        **best,
        "rest": Took(
            max(0.0, best["whole"].wall - sum(t.wall for t in steps)),
            max(0.0, best["whole"].processor - sum(t.processor for t in steps)),
        ),
    }


def yardstick(path: Path, repeat: int) -> Took:
    """ifcopenshell's iterator over the model's elements, best of `repeat` runs
    (after velmarin's: the memory its kernel leaves behind slows what runs after it)."""
    model = ifcopenshell.open(str(path))
    products = Products(model)
    return Took(min(timed(lambda: default_geometry(model, products.all()))[0].wall for _ in range(repeat)), math.nan)


def parse_alone(path: Path, repeat: int) -> Took:
    """ifcopenshell's parse of the model alone, and freeing what it parsed, best of `repeat` runs."""

    def parsed_and_freed() -> None:
        ifcopenshell.open(str(path))

    return Took(min(timed(parsed_and_freed)[0].wall for _ in range(repeat)), math.nan)


def fresh_process(path: Path, folders: Sequence[Path] = ()) -> tuple[float, float]:
    """Seconds to import velmarin_ifc, then to read the model and make its graph, in a new interpreter
    (with `folders` first on its path)."""
    code = (
        "import sys, time\nstart = time.perf_counter()\nimport velmarin_ifc\nimported = time.perf_counter()\n"
        "velmarin_ifc.read_building(sys.argv[1]).graph()\n"
        "print(imported - start, time.perf_counter() - imported)\n"
    )
    imported, first = run_with(folders, ["-c", code, str(path)]).split()
    return float(imported), float(first)


# The reads of a child process: its first pays for imports and first calls.
CHILD_READS = 2


def measured_in_child(folders: Sequence[Path], path: Path) -> dict[str, Any]:
    """`measure` in a child process with `folders` first on its path."""
    row = json.loads(run_with(folders, [__file__, "--child", str(path), "--repeat", str(CHILD_READS)]))
    row["times"] = {key: Took(*value) for key, value in row["times"].items()}
    return row


def against(folders: Sequence[Path], path: Path, repeat: int) -> tuple[dict[str, Any], dict[str, Any]]:
    """The model measured by `repeat` child processes as of `folders` and as
    many of this tree, in turn, so that both meet the same load; each step the best."""
    runs: tuple[list[dict[str, Any]], list[dict[str, Any]]] = ([], [])
    for _ in range(repeat):
        for rows, child_folders in zip(runs, (folders, [])):
            rows.append(measured_in_child(child_folders, path))
    best = []
    for rows in runs:
        times = {key: functools.reduce(least, (row["times"][key] for row in rows)) for key in rows[0]["times"]}
        best.append({**rows[0], "times": with_rest(times)})
    return best[0], best[1]


def baseline_folders(revision: str) -> list[Path]:
    """The folders that make `import velmarin, velmarin_ifc` import them as they were at `revision`."""
    module = module_at(revision)
    return [module, module.parent / "source" / "python"]


def threads_against_one(path: Path, repeat: int) -> tuple[float, float]:
    """The engine's geometry of a model as read_building runs it on one thread, and on every core."""
    model = ifcopenshell.open(str(path))
    products = Products(model).all()
    return tuple(
        min(timed(lambda: element_shapes(model, products, threads=threads))[0].wall for _ in range(repeat))
        for threads in (1, multiprocessing.cpu_count())
    )  # type: ignore[return-value]


def load() -> str:
    return " ".join(f"{x:.1f}" for x in os.getloadavg())


HEADER = (
    f"{'model':<36} {'rooms':>5} {'apert.':>6}"
    + "".join(f" {step:>11}" for step in STEPS)
    + f" {'whole':>7} {'own':>5} {'(cpu)':>5} {'beside':>6} {'iterator':>8} {'ratio':>6} {'/parse':>6}"
)


def own_share(t: dict[str, Took], clock: str, bodies_too: bool = True) -> float:
    """velmarin's own share of the whole: all but ifcopenshell's parsing and
    geometry; without `bodies_too`, its steps beside making solids (the
    checks, meshes, graph and rest), which the bodies made during the parse
    do not hide."""
    whole = getattr(t["whole"], clock)
    if not bodies_too:
        return sum(getattr(t[key], clock) for key in ("checks", "meshes", "graph", "rest")) / whole
    return (whole - getattr(t["parse"], clock) - getattr(t["geometry"], clock)) / whole


def report(name: str, row: dict[str, Any]) -> None:
    """One line: the steps in seconds and as shares of the whole, velmarin's
    own share (by the clock, by processor time, and by the clock beside the
    bodies it makes), the whole against the yardstick, and against
    ifcopenshell's parse alone."""
    t = row["times"]
    whole = t["whole"].wall
    steps = "".join(f" {t[step].wall:6.3f} {t[step].wall / whole:4.0%}" for step in STEPS)
    print(
        f"{name:<36} {row['rooms']:>5} {row['apertures']:>6}{steps} {whole:7.3f} {own_share(t, 'wall'):5.0%} "
        f"{own_share(t, 'processor'):5.0%} {own_share(t, 'wall', False):6.0%} {t['yardstick'].wall:8.3f} "
        f"{whole / t['yardstick'].wall:6.3f} {whole / t['parse alone'].wall:6.2f}",
        flush=True,
    )


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rooms", type=int, default=1000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--against", metavar="REVISION", help="each model read by velmarin as it was at REVISION too")
    parser.add_argument("--child", metavar="PATH", type=Path, help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.child:
        row = measure(args.child, args.repeat)
        print(json.dumps({**row, "times": {key: tuple(value) for key, value in row["times"].items()}}))
        return
    before = baseline_folders(args.against) if args.against else None
    print(f"{os.cpu_count()} cores; load average {load()}")
    rows: dict[str, dict[str, Any]] = {}
    olds: dict[str, dict[str, Any]] = {}
    with tempfile.TemporaryDirectory() as folder:
        house = Path(folder) / "house.ifc"
        write_model(house, house_layout())
        generated = Path(folder) / "generated.ifc"
        write_model(generated, generated_layout(args.rooms))
        paths = {"the example house": house, f"generated, {args.rooms} rooms": generated}
        paths.update(
            {name.removesuffix(".ifc.gz"): unpacked(name, folder) for name in MODELS if (SHARED / name).exists()}
        )
        print(HEADER)
        for name, path in paths.items():
            if before is None:
                rows[name] = measure(path, args.repeat)
            else:
                olds[name], rows[name] = against(before, path, args.repeat)
            rows[name]["times"]["yardstick"] = yardstick(path, args.repeat)
            rows[name]["times"]["parse alone"] = parse_alone(path, args.repeat)
            if before is not None:
                for key in ("yardstick", "parse alone"):
                    olds[name]["times"][key] = rows[name]["times"][key]
                report(f"{name} ({args.against})", olds[name])
            report(name, rows[name])
        if before is not None:
            imported, first = fresh_process(house, before)
            print(
                f"the house in a fresh process at {args.against}: import velmarin_ifc {imported:.3f} s, "
                f"then its first read and graph {first:.3f} s"
            )
        imported, first = fresh_process(house)
        threads = threads_against_one(house, args.repeat)
    for label, measured in ([(args.against, olds)] if olds else []) + [("", rows)]:
        compared = [row for name, row in measured.items() if name != "the example house"]
        wholes = sum(r["times"]["whole"].wall for r in compared)
        yardsticks = sum(r["times"]["yardstick"].wall for r in compared)
        print(
            f"all but the house{f' at {label}' if label else ''}: read_building(path).graph() {wholes:.3f} s, "
            f"ifcopenshell's iterator with its defaults {yardsticks:.3f} s: {wholes / yardsticks:.3f}x"
        )
    print(
        f"the house in a fresh process: import velmarin_ifc {imported:.3f} s, then its first read and graph "
        f"{first:.3f} s; its geometry on one thread {threads[0]:.3f} s, on every core {threads[1]:.3f} s; "
        f"load average {load()}"
    )


if __name__ == "__main__":
    main()
