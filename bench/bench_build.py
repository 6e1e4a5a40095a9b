"""Times the graph build on synthetic buildings of 1,000, 10,000 and 100,000 rooms.

    .venv/bin/python bench/bench_build.py [--sizes 1000,10000,100000]

For each size (rooms from building.py, a door in every inner wall that can
hold one, windows in half the outer walls, a column in a quarter of the rooms):
- making the velmarin objects from plain data, and ``SpatialRegistry(...)``
  from those objects (registry construction);
- ``build_spatial_graph(0.01)``, the whole build, and the same build without
  wires and without apertures, whose differences show what the wire stage and
  the aperture subtraction cost;
- the build with one worker and with two, each in a fresh interpreter whose
  CPU affinity is set to that many cores before velmarin is imported: the
  module has no setting for its worker count, and its pool (oneTBB's) sizes
  itself from the process's affinity mask; ``--rounds`` pairs of such
  processes, alternated, the best of each kind counting;
- on the first (by default the 1,000-room) building, the pure-Python reference build
  (reference_build.py), its time against the native build's and whether the
  two graphs agree;
- the build across walls: ``build_spatial_graph_with_walls(0.01, 0.25)`` on
  the same layout with 0.2 m walls and slabs (rooms shrunk by 0.1 m on every
  side, doors as solids spanning the walls) against ``build_spatial_graph(0.01)``
  on the building without gaps, alternated in the same process, at
  ``--walls-sizes`` rooms (10,000 and 100,000 by default): the ratio of the
  two is the figure.

With ``--against REV``, only the two builds are timed on 100,000 rooms (a
door in every inner wall that can hold one, a column in every room), in
child processes that alternate between the module built at REV
(bench/baseline.py) and the one this interpreter imports: the best of each
is compared, and the two graphs must be the same to the last bit. The build
across walls, which REV may not have, is compared against ``--walls-against``
(by default this branch's merge-base with main).

    .venv/bin/python bench/bench_build.py --against e65086f [--rounds 3]

Times are the best of ``--repeat`` runs (proportionally more below 10,000
rooms). On a machine that other work shares, the figures move by a factor of
two from run to run: read them with the load averages and the "cores busy"
column that the script prints, and repeat. Figures that compare are ratios
against baselines of the same run: growth against the first size's build
(1.00 = linear in rooms), the speed-up of two workers over one, the reference
against the native build.
"""

from __future__ import annotations

import argparse
import hashlib
import json
import math
import os
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests"))

from support.building import generate_building  # noqa: E402  (velmarin is imported later, see probe())

TOLERANCE = 0.01
SEED = 7
BUILDING_OPTIONS = dict(door_ratio=1.0, window_ratio=0.5, column_ratio=0.25)
WALLS = 0.2  # the walls and slabs of the walled building
WALLS_LOOKED_ACROSS = 0.25  # the build's wall_thickness: a margin over the walls


def runs_for(rooms, repeat):
    """Small builds take milliseconds, where one burst of other work weighs
    most: they get proportionally more runs."""
    return repeat * max(1, 10_000 // max(rooms, 1))


def best_of(repeat, action):
    times = []
    result = None
    for _ in range(repeat):
        result = None  # the previous result is released before the clock starts, not inside the timing
        start = time.perf_counter()
        result = action()
        times.append(time.perf_counter() - start)
    return min(times), result


def without(registry_lists, wires=True, apertures=True):
    import velmarin

    meshes, all_wires, all_apertures = registry_lists
    return velmarin.SpatialRegistry(meshes, all_wires if wires else [], all_apertures if apertures else [])


def measure_in_process(rooms, repeat, stages):
    """Everything of one size that runs with the process's own affinity."""
    import velmarin

    row = {"rooms": rooms}
    start = time.perf_counter()
    building = generate_building(rooms, SEED, **BUILDING_OPTIONS)
    row["generate"] = time.perf_counter() - start
    row["doors"], row["windows"], row["columns"] = building.doors, building.windows, len(building.wires)
    start = time.perf_counter()
    lists = building.velmarin_lists()
    row["objects"] = time.perf_counter() - start
    row["registry"], registry = best_of(repeat, lambda: velmarin.SpatialRegistry(*lists))
    row["build"], graph = best_of(repeat, lambda: registry.build_spatial_graph(TOLERANCE))
    row["edges"] = len(graph.edges)
    if stages:
        bare = without(lists, wires=False, apertures=False)
        row["contacts only"], _ = best_of(repeat, lambda: bare.build_spatial_graph(TOLERANCE))
        no_wires = without(lists, wires=False)
        row["no wires"], _ = best_of(repeat, lambda: no_wires.build_spatial_graph(TOLERANCE))
    return row, building, graph


def child_argv(function, *args):
    """The interpreter's arguments that call `function(*args)` of this script
    in a child process (whose velmarin is the one its PYTHONPATH finds)."""
    call = f"bench_build.{function}({', '.join(map(repr, args))})"
    return ["-c", f"import sys; sys.path.insert(0, {HERE!r}); import bench_build; {call}"]


def probe(rooms, cpus, repeat):
    """Run in a fresh interpreter: restrict the affinity, then import velmarin."""
    available = sorted(os.sched_getaffinity(0))
    os.sched_setaffinity(0, available[:cpus])
    import velmarin

    building = generate_building(rooms, SEED, **BUILDING_OPTIONS)
    registry = velmarin.SpatialRegistry(*building.velmarin_lists())
    best = None
    for _ in range(repeat):
        cpu, wall = time.process_time(), time.perf_counter()
        graph = registry.build_spatial_graph(TOLERANCE)
        cpu, wall = time.process_time() - cpu, time.perf_counter() - wall
        del graph  # released outside the timing
        if best is None or wall < best[0]:
            best = (wall, cpu)
    print(json.dumps({"cpus": len(os.sched_getaffinity(0)), "build": best[0], "cpu": best[1]}))


def measure_with_cpus(rooms, cpus, repeat):
    from baseline import run_with

    report = json.loads(run_with(None, child_argv("probe", rooms, cpus, repeat)).strip().splitlines()[-1])
    if report["cpus"] != cpus:
        print(f"  (asked for {cpus} cores, the probe had {report['cpus']})")
    return report["build"], report["cpu"] / report["build"]


def measure_reference(building, graph, native_seconds):
    from support.reference_build import graph_differences, reference_build

    start = time.perf_counter()
    reference = reference_build(building.meshes, building.wires, building.apertures, TOLERANCE)
    seconds = time.perf_counter() - start
    line = f"reference build (Python, shapely, rtree) on {building.rooms} rooms: {seconds:.2f} s"
    differences = graph_differences(graph, reference)
    line += f" = {seconds / native_seconds:.0f} x the native build"
    line += "; graphs agree" if not differences else f"; {len(differences)} DIFFERENCES, first: {differences[0]}"
    print(line)


def measure_walls(rooms, repeat):
    """The build across walls on the walled building against the build on the
    same layout without gaps, runs alternated so that a burst of other work
    falls on both; the best of each counts."""
    plain = generate_building(rooms, SEED, **BUILDING_OPTIONS).registry()
    walled_building = generate_building(rooms, SEED, wall_thickness=WALLS, **BUILDING_OPTIONS)
    walled = walled_building.registry()
    best_plain = best_walls = math.inf
    for _ in range(repeat):
        seconds, graph = best_of(1, lambda: plain.build_spatial_graph(TOLERANCE))
        best_plain, plain_edges = min(best_plain, seconds), len(graph.edges)
        del graph
        seconds, graph = best_of(1, lambda: walled.build_spatial_graph_with_walls(TOLERANCE, WALLS_LOOKED_ACROSS))
        best_walls, edges = min(best_walls, seconds), graph.edges
        del graph
    doors = sum(1 for e in edges if e.get_attribute("opening_area") > 0)
    listed = listed_apertures(edges)
    print(
        f"{walled_building.summary()}: across walls {best_walls:.3f} s ({len(edges)} edges, {doors} through doors"
        f" listing {listed} apertures), "
        f"without gaps {best_plain:.3f} s ({plain_edges} edges): ratio {best_walls / best_plain:.2f}; load {load()}",
        flush=True,
    )


AGAINST_ROOMS = 100_000
AGAINST_OPTIONS = dict(door_ratio=1.0, window_ratio=0.5, column_ratio=1.0)


def graph_digest(graph):
    """A fingerprint of a graph's exact values: nodes, edges with their
    numbers, wire contacts. The edges' apertures lists, which earlier
    commits do not make, are counted apart (`listed_apertures`)."""
    h = hashlib.sha1()
    for node in graph.nodes:
        c = node.centroid
        h.update(struct.pack("<3d", c.x, c.y, c.z))
    for e in graph.edges:
        c = e.contact_centroid
        h.update(struct.pack("<2Q4d", e.node_a, e.node_b, e.shared_area, c.x, c.y, c.z))
        h.update(e.contact_type.encode())
        for key in ("wall_thickness", "opening_area"):
            h.update(struct.pack("<d", e.get_attribute(key) if e.get_attribute(key) is not None else math.nan))
    for w in graph.wire_contacts:
        h.update(struct.pack("<2Q", w.wire_index, w.mesh_index))
    return h.hexdigest()


def listed_apertures(edges):
    """How many apertures the edges list, or None without the lists."""
    lists = [e.get_attribute("apertures") for e in edges]
    return None if any(a is None for a in lists) else sum(len(a) for a in lists)


def build_times(kind, repeat):
    """One child of --against, run in the module at a commit or in this one:
    the build of `kind` ("plain" or "walls") on the 100,000-room building,
    best of `repeat`, and its graph's fingerprint, printed as JSON (null when
    the commit has no build across walls)."""
    import velmarin

    walls = kind == "walls"
    building = generate_building(AGAINST_ROOMS, SEED, wall_thickness=WALLS if walls else 0.0, **AGAINST_OPTIONS)
    registry = building.registry()
    if walls and not hasattr(velmarin.SpatialRegistry, "build_spatial_graph_with_walls"):
        print(json.dumps(None))
        return
    build = (
        (lambda: registry.build_spatial_graph_with_walls(TOLERANCE, WALLS_LOOKED_ACROSS))
        if walls
        else (lambda: registry.build_spatial_graph(TOLERANCE))
    )
    best, digest, listed = None, None, None
    for _ in range(repeat):
        cpu, wall = time.process_time(), time.perf_counter()
        graph = build()
        wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
        if best is None or wall < best[0]:
            best = (wall, cpu)
        if digest is None:
            digest, listed = graph_digest(graph), listed_apertures(graph.edges) if walls else None
        del graph  # released outside the timing
    print(
        json.dumps({"summary": building.summary(), "wall": best[0], "cpu": best[1], "digest": digest, "listed": listed})
    )


def against(revision, walls_revision, rounds, repeat):
    from baseline import alternate, module_at

    if walls_revision is None:
        walls_revision = subprocess.run(
            ["git", "merge-base", "HEAD", "main"], cwd=HERE, check=True, capture_output=True, text=True
        ).stdout.strip()[:7]
    print(f"load average at start {load()}; best of {rounds} alternated runs, each the best of {repeat}", flush=True)
    for kind, base, call in (
        ("plain", revision, f"build_spatial_graph({TOLERANCE})"),
        (
            "walls",
            walls_revision,
            f"build_spatial_graph_with_walls({TOLERANCE}, {WALLS_LOOKED_ACROSS}), {WALLS} m walls",
        ),
    ):
        runs = {base: module_at(base), "now": None}
        printed = alternate(rounds, runs, child_argv("build_times", kind, repeat))
        measured = {
            name: [json.loads(text.strip().splitlines()[-1]) for text in texts] for name, texts in printed.items()
        }
        if any(m is None for runs_of in measured.values() for m in runs_of):
            print(f"{call}: not in {base}")
            continue
        digests = {m["digest"] for runs_of in measured.values() for m in runs_of}
        old, new = (min(measured[name], key=lambda m: m["wall"]) for name in runs)
        print(
            f"{new['summary']}: {call}"
            + (f"; apertures listed now: {new['listed']}" if new.get("listed") is not None else "")
        )
        print(
            f"  {base} {old['wall']:.3f} s ({old['cpu']:.3f} s cpu), now {new['wall']:.3f} s ({new['cpu']:.3f} s cpu): "
            f"{old['wall'] / new['wall']:.2f}x wall, {old['cpu'] / new['cpu']:.2f}x cpu; "
            + ("the same graph in every run" if len(digests) == 1 else f"GRAPHS DIFFER ({len(digests)} fingerprints)"),
            flush=True,
        )
    print(f"load average at the end {load()}")


def load():
    return " ".join(f"{x:.1f}" for x in os.getloadavg())


def difference(row, later, earlier):
    return row[later] - row[earlier] if later in row and earlier in row else None


def cell(value, digits=3):
    return "-" if value is None else f"{value:.{digits}f}"


def print_table(rows):
    columns = [
        ("rooms", lambda r: str(r["rooms"])),
        ("doors", lambda r: str(r["doors"])),
        ("columns", lambda r: str(r["columns"])),
        ("generate s", lambda r: cell(r.get("generate"))),
        ("objects s", lambda r: cell(r.get("objects"))),
        ("registry s", lambda r: cell(r.get("registry"))),
        ("build s", lambda r: cell(r.get("build"))),
        ("growth", lambda r: cell(r.get("growth"), 2)),
        ("contacts s", lambda r: cell(r.get("contacts only"))),
        ("apertures s", lambda r: cell(difference(r, "no wires", "contacts only"))),
        ("wires s", lambda r: cell(difference(r, "build", "no wires"))),
        ("1 core s", lambda r: cell(r.get("1 cpu"))),
        ("2 cores s", lambda r: cell(r.get("2 cpus"))),
        ("speed-up", lambda r: cell(r.get("speed-up"), 2)),
        ("cores busy", lambda r: cell(r.get("2 cpus busy"), 2)),
    ]
    cells = [[title for title, _ in columns]] + [[show(r) for _, show in columns] for r in rows]
    widths = [max(len(row[k]) for row in cells) for k in range(len(columns))]
    for n, row in enumerate(cells):
        print("  ".join(text.rjust(width) for text, width in zip(row, widths)))
        if n == 0:
            print("  ".join("-" * width for width in widths))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", default="1000,10000,100000", help="room counts, comma-separated")
    parser.add_argument("--repeat", type=int, default=3, help="runs per timing; the best counts")
    parser.add_argument("--rounds", type=int, default=2, help="one-core and two-core processes, alternated")
    parser.add_argument("--no-reference", action="store_true", help="skip the pure-Python reference build")
    parser.add_argument("--no-stages", action="store_true", help="skip the builds without wires or apertures")
    parser.add_argument("--no-cores", action="store_true", help="skip the one- and two-core runs")
    parser.add_argument("--walls-sizes", default="10000,100000", help="room counts of the build across walls, or none")
    parser.add_argument("--against", help="a commit to time the two builds on 100,000 rooms against")
    parser.add_argument("--walls-against", help="the commit for the build across walls (default: merge-base with main)")
    args = parser.parse_args()
    if args.against:
        return against(args.against, args.walls_against, args.rounds, args.repeat)

    import velmarin

    sizes = [int(s) for s in args.sizes.split(",")]
    print(f"velmarin from {velmarin.__file__}; {len(os.sched_getaffinity(0))} cores in this process's affinity")
    print(
        f"tolerance {TOLERANCE}, seed {SEED}, best of {args.repeat} (more below 10,000 rooms); load average at start {load()}"
    )
    rows = []
    for rooms in sizes:
        repeat = runs_for(rooms, args.repeat)
        row, building, graph = measure_in_process(rooms, repeat, stages=not args.no_stages)
        if not args.no_cores:
            # Alternating the two keeps a passing burst of other work from
            # falling on one of them only.
            for _ in range(args.rounds):
                for cpus, key in ((1, "1 cpu"), (2, "2 cpus")):
                    seconds, busy = measure_with_cpus(rooms, cpus, repeat)
                    if seconds < row.get(key, math.inf):
                        row[key], row[key + " busy"] = seconds, busy
            row["speed-up"] = row["1 cpu"] / row["2 cpus"]
        rows.append(row)
        print(f"{building.summary()}: done", flush=True)
        if rooms == sizes[0] and not args.no_reference:
            measure_reference(building, graph, row.get("build"))
        del building, graph
    base = rows[0]
    for row in rows:
        row["growth"] = (row["build"] / base["build"]) / (row["rooms"] / base["rooms"])
    print(f"load average at the end {load()} (other processes on these cores slow every figure)")
    print()
    print_table(rows)
    print()
    print("growth: (build time / first build time) / (rooms / first rooms); 1.00 is linear.")
    print("speed-up: one-core build time / two-core build time, each in its own process.")
    print("cores busy: CPU time / wall time of that two-core build; near 1.00 the second core was")
    print("  taken by other work (or the build ran serially) and the speed-up says little.")
    print("contacts: the build without wires and apertures; apertures: the build without wires less that;")
    print("wires: the whole build less the one without wires (differences of best times, so rough).")
    if args.walls_sizes != "none":
        print()
        print(f"across walls ({WALLS} m, wall_thickness {WALLS_LOOKED_ACROSS}) against no gaps, best of {args.repeat}:")
        for rooms in [int(s) for s in args.walls_sizes.split(",")]:
            measure_walls(rooms, args.repeat)


if __name__ == "__main__":
    main()
