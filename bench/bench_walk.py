"""The shared models walked: what velmarin_ifc finds in each, and the time it takes.

    .venv/bin/python bench/bench_walk.py [--repeat 5]

For each model in ../shared/models (those present): its rooms, the passages
of its graph by kind, its exits, the share of rooms in the largest group that
can walk to one another, the room farthest from an exit by distance walked,
and how its doors, exits and virtual boundaries agree with the model's own
space boundaries (tests/support/space_boundaries.py). Times are wall-clock seconds,
the best of ``--repeat`` runs: reading the model (read_building) and the
build across walls with the graph's defaults (the baseline); and as ratios to
that build, the steps velmarin_ifc adds: marking the passages, finding the
exits, and the search for every room's way out.
"""

from __future__ import annotations

import argparse
import collections
import math
import os
import sys
import tempfile
import time
from pathlib import Path
from typing import Any, Callable

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests"))

import ifcopenshell  # noqa: E402

from support.space_boundaries import MODELS, SHARED, agreement, unpacked  # noqa: E402
from velmarin_ifc import read_building  # noqa: E402
from velmarin_ifc._building import SLAB_THICKNESS, TOLERANCE, WALL_THICKNESS  # noqa: E402
from velmarin_ifc._passages import find_exits, mark_passages  # noqa: E402
from velmarin_ifc._walking import WayOut, passable  # noqa: E402


def best_of(repeat: int, action: Callable[[], Any]) -> tuple[float, Any]:
    best, result = math.inf, None
    for _ in range(repeat):
        start = time.perf_counter()
        result = action()
        best = min(best, time.perf_counter() - start)
    return best, result


def largest_group(rooms: int, pairs: list[tuple[int, int]]) -> int:
    group = list(range(rooms))

    def root(k: int) -> int:
        while group[k] != k:
            group[k] = group[group[k]]
            k = group[k]
        return k

    for a, b in pairs:
        group[root(a)] = root(b)
    return max(collections.Counter(root(k) for k in range(rooms)).values(), default=0)


def measure(path: Path, repeat: int) -> None:
    read, building = best_of(repeat, lambda: read_building(path))
    registry, apertures = building.registry, building.apertures
    core, graph = best_of(
        repeat, lambda: registry.build_spatial_graph_with_walls(TOLERANCE, WALL_THICKNESS, SLAB_THICKNESS)
    )
    marking, _ = best_of(repeat, lambda: mark_passages(graph, apertures, TOLERANCE))
    finding, exits = best_of(repeat, lambda: find_exits(graph, registry, apertures, TOLERANCE, WALL_THICKNESS))
    walkable = passable(graph)
    searching, way_out = best_of(repeat, lambda: WayOut(walkable, exits))
    egress = dict(zip((s.global_id for s in building.spaces), way_out.distance))
    passages = collections.Counter(e.get_attribute("passage") for e in graph.edges)
    rooms = len(building.spaces)
    reachable = {k: d for k, d in egress.items() if math.isfinite(d)}
    print(
        f"{path.name}: {rooms} rooms, {len(graph.edges)} edges: "
        + ", ".join(f"{passages[p]} {p}" for p in ("door", "opening", "stair", "open", "none"))
    )
    group = largest_group(rooms, [(e.node_a, e.node_b) for e in walkable.edges])
    print(
        f"  {len(exits)} exits; largest walkable group {group} of {rooms} rooms ({group / rooms:.0%}); "
        f"{len(reachable)} rooms reach an exit"
    )
    if reachable:
        far = max(reachable, key=lambda k: reachable[k])
        space = building.spaces[building.position(far)]
        print(
            f"  farthest from an exit: {space.name} {space.long_name} ({space.storey}), {reachable[far]:.1f} m"
            f" by {' -> '.join(building.route_out(far))}"
        )
    found = agreement(building, ifcopenshell.open(str(path)))
    print(
        f"  space boundaries: doors between two spaces {found.inner_found} of {found.inner_doors} found as "
        f"their passages; exterior doors {found.exits_found} of {found.outer_doors} found as exits "
        f"({len(found.other_exits)} exits more); virtual boundaries {found.virtual_walkable} of {found.virtual} "
        "walkable"
    )
    print(
        f"  read_building {read:.3f} s; the build across walls {core:.4f} s, and beside it: passages marked "
        f"{marking / core:.2f}x, exits found {finding / core:.2f}x, every room's way out {searching / core:.2f}x"
    )


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()
    print(f"{os.cpu_count()} cores; load average {' '.join(f'{x:.1f}' for x in os.getloadavg())}")
    with tempfile.TemporaryDirectory() as folder:
        for name in MODELS:
            if not (SHARED / name).exists():
                print(f"{name}: not in {SHARED}, skipped")
                continue
            measure(unpacked(name, folder), args.repeat)


if __name__ == "__main__":
    main()
