"""Where the time goes when velmarin_ifc reads a building model: ifcopenshell or velmarin.

    .venv/bin/python bench/bench_ifc_model.py [--rooms 1000] [--repeat 3]

Two models, each written once as IFC4 by examples/ifc_model.py: the example
house (8 rooms), and a building of ``--rooms`` rooms from building.py (storeys
of rows of rooms of varied widths, a door in every inner wall that can hold
one, windows in half the outer walls, a column in a quarter of the rooms),
given 0.2 m walls and 0.3 m slabs the same way. Reading one is timed in its
steps:
- ifcopenshell: parsing the file, and its geometry engine making the solids of
  the spaces, doors, windows, openings and columns, with as many threads as
  read_building gives it (all cores but one) and, for comparison, with one
  thread per core, and with the OpenCASCADE kernel alone in place of the
  simple CGAL kernel that falls back on it;
- velmarin: the solids turned into welded meshes and wires and the registry
  made (velmarin_ifc, in Python over the module), and the graph with walls.
Times are wall-clock seconds, the best of ``--repeat`` runs; the shares
compare steps of the same run. Other work on the machine moves the figures:
read them with the load averages printed beside them.
"""
from __future__ import annotations

import argparse
import os
import sys
import tempfile
import time
from pathlib import Path
from typing import Any, Callable

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent / "examples"))

import ifcopenshell  # noqa: E402

from building import STOREY_HEIGHT, generate_building  # noqa: E402
from ifc_model import Layout, LayoutOpening, LayoutRoom, house_layout, write_model  # noqa: E402
from velmarin_ifc._geometry import element_solids, engine_threads  # noqa: E402
from velmarin_ifc._reading import Products, assemble, building_from  # noqa: E402


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
        layout.openings.append(LayoutOpening("door" if sill == 0 else "window", storey, start, end,
                                             sill, max(zs) - min(zs)))
    layout.columns = [(round(a[2] / STOREY_HEIGHT), a[0], a[1]) for a, _ in generated.wires]
    return layout


def best_of(repeat: int, action: Callable[[], Any]) -> tuple[float, Any]:
    best, result = float("inf"), None
    for _ in range(repeat):
        result = None
        start = time.perf_counter()
        result = action()
        best = min(best, time.perf_counter() - start)
    return best, result


def measure(name: str, layout: Layout, repeat: int) -> None:
    with tempfile.TemporaryDirectory() as folder:
        path = Path(folder) / "model.ifc"
        write_model(path, layout)
        size = path.stat().st_size
        parse, model = best_of(repeat, lambda: ifcopenshell.open(str(path)))
    products = Products(model)
    geometry, solids = best_of(repeat, lambda: element_solids(model, products.all()))
    cores = os.cpu_count() or 1
    every_core, _ = best_of(repeat, lambda: element_solids(model, products.all(), threads=cores))
    cascade, _ = best_of(repeat, lambda: element_solids(model, products.all(), kernel="opencascade"))
    registry, building = best_of(repeat, lambda: building_from(assemble(model, products, solids)))
    graph_time, graph = best_of(repeat, lambda: building.graph())
    ours, theirs = registry + graph_time, parse + geometry
    total = ours + theirs
    print(f"{name}: {len(building.spaces)} rooms, {len(building.apertures)} apertures, "
          f"{len(building.columns)} columns, {len(graph.edges)} edges; {size / 1e6:.1f} MB")
    print(f"  ifcopenshell  parse {parse:7.3f} s   geometry {geometry:7.3f} s   "
          f"together {theirs:7.3f} s ({theirs / total:4.0%})")
    print(f"  (the geometry on {engine_threads()} thread(s) as read_building runs it, on {cores}: "
          f"{every_core:.3f} s, {every_core / geometry:.2f}x the time; with OpenCASCADE alone "
          f"{cascade:.3f} s, {cascade / geometry:.2f}x)")
    print(f"  velmarin      meshes and registry {registry:7.3f} s   graph {graph_time:7.3f} s   "
          f"together {ours:7.3f} s ({ours / total:4.0%})")
    print(f"  load average {' '.join(f'{x:.1f}' for x in os.getloadavg())}")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rooms", type=int, default=1000)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    print(f"{os.cpu_count()} cores; load average {' '.join(f'{x:.1f}' for x in os.getloadavg())}")
    measure("the example house", house_layout(), args.repeat)
    measure(f"a generated building of {args.rooms} rooms", generated_layout(args.rooms), args.repeat)


if __name__ == "__main__":
    main()
