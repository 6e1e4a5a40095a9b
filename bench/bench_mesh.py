"""Mesh.clean and Mesh.slice_by_plane on a mesh of 1,000,000 triangles,
against straightforward NumPy/pure-Python versions of the same algorithms
run in the same process (their results are checked to be identical). For
welding there are two: NumPy for the cell keys and the first vertex of each
cell (a sort, where the algorithm hashes) with a Python face pass, and the
literal pure-Python version the tests use (tests/support/reference_mesh.py). For
slicing, NumPy computes the distances and the tests' Python triangle pass
does the rest.

The input is a triangle soup, as surface exports write it: every triangle
has its own three vertices (3,000,000 in all) on a wavy 708 x 707 grid with
a little jitter, so welding brings it back to about 500,000 vertices. The
welded mesh is then cut by an oblique plane through its middle.

Converting Python objects is timed apart: building the input Mesh from
Vector3D objects and lists, and reading the results' vertices and faces.
Times are CPU seconds of this process (the machine may be busy with other
work; both sides run single-threaded), the best of three for native calls.

    PYTHONPATH=build/dev python3 bench/bench_mesh.py
    python3 bench/bench_mesh.py --against e65086f [--rounds 3]

With ``--against``, only the native calls are timed, in child processes
that alternate between the module built at that commit (bench/baseline.py)
and the current one, and the results of the two are checked to be the same.
"""

import argparse
import hashlib
import json
import math
import os
import struct
import sys
import time
from pathlib import Path

os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")  # idle BLAS threads would spin on the baseline's clock

import numpy as np  # noqa: E402

from velmarin import Mesh, Vector3D  # noqa: E402

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
from support.reference_mesh import reference_clean, rewrite_faces, split_triangles  # noqa: E402

TOLERANCE = 0.01
COARSE_TOLERANCE = 1.5
I64_MIN, I64_MAX = -(2**63), 2**63 - 1


def soup(seed=3):
    """1,000,000 triangles of a height field, three own vertices each."""
    rng = np.random.default_rng(seed)
    columns, rows = 708, 707  # 1,000,956 triangles, cut to 1,000,000
    x, y = np.meshgrid(np.arange(columns + 1, dtype=float), np.arange(rows + 1, dtype=float), indexing="ij")
    z = 3.0 * np.sin(x / 40.0) * np.cos(y / 55.0)
    grid = np.stack([x, y, z], axis=-1)
    a = grid[:-1, :-1].reshape(-1, 3)
    b = grid[1:, :-1].reshape(-1, 3)
    c = grid[1:, 1:].reshape(-1, 3)
    d = grid[:-1, 1:].reshape(-1, 3)
    corners = np.concatenate([np.stack([a, b, c], axis=1), np.stack([a, c, d], axis=1)])[:1_000_000]
    corners = corners + rng.uniform(-1e-3, 1e-3, corners.shape)  # within a cell of 0.01 almost always
    points = corners.reshape(-1, 3)
    faces = np.arange(len(points), dtype=np.int64).reshape(-1, 3)
    return points, faces


# --- baselines: the same algorithms in NumPy and plain Python -----------------


def numpy_weld(points, tolerance):
    q = points / tolerance
    r = np.trunc(q)
    r += np.sign(q) * (np.abs(q - r) >= 0.5)  # halves away from zero
    keys = np.where(np.isnan(r), 0.0, r)
    keys = np.where(
        keys >= 2.0**63,
        I64_MAX,
        np.where(keys <= -(2.0**63), I64_MIN, np.clip(keys, -(2.0**62), 2.0**62).astype(np.int64)),
    )
    _, first, inverse = np.unique(keys, axis=0, return_index=True, return_inverse=True)
    order = np.argsort(first)  # cells in order of their first vertex
    rank = np.empty_like(order)
    rank[order] = np.arange(len(order))
    return points[first[order]], rank[inverse.reshape(-1)].tolist()


def numpy_slice(points, faces, normal, origin):
    normal = np.asarray(normal, dtype=float)
    length = math.sqrt((normal[0] * normal[0] + normal[1] * normal[1]) + normal[2] * normal[2])
    n = normal / length
    rel = points - np.asarray(origin)
    d = ((rel[:, 0] * n[0] + rel[:, 1] * n[1]) + rel[:, 2] * n[2]).tolist()
    halves = split_triangles(points.tolist(), faces, d)
    return [(np.array(vertices).reshape(-1, 3), out) for vertices, out in halves]


# --- timing ---------------------------------------------------------------------


def timed(function, *args):
    start = time.process_time()
    result = function(*args)
    return time.process_time() - start, result


def best_of(repeats, function, *args):
    best, result = timed(function, *args)
    for _ in range(repeats - 1):
        del result
        seconds, result = timed(function, *args)
        best = min(best, seconds)
    return best, result


def as_array(mesh):
    return np.array([(v.x, v.y, v.z) for v in mesh.vertices]).reshape(-1, 3)


def same(mesh, points, faces):
    return np.array_equal(as_array(mesh), points) and mesh.faces == faces


def compare_clean(name, mesh, points, faces, tolerance):
    native, welded = best_of(3, mesh.clean, tolerance)
    numpy_seconds, (welded_points, new_index) = timed(numpy_weld, points, tolerance)
    python_seconds, welded_faces = timed(rewrite_faces, faces, new_index)
    numpy_total = numpy_seconds + python_seconds
    assert same(welded, welded_points, welded_faces), "clean: native and NumPy baseline differ"
    literal, (literal_points, literal_faces) = timed(reference_clean, points.tolist(), faces, tolerance)
    assert np.array_equal(np.array(literal_points).reshape(-1, 3), welded_points) and literal_faces == welded_faces
    seconds_out, _ = timed(lambda: (welded.vertices, welded.faces))
    print(
        f"clean({tolerance}) of the {name} ({len(points):,} vertices, {len(faces):,} faces): {len(welded.vertices):,} vertices, {len(welded.faces):,} faces"
    )
    print(f"  native {native:.3f} s")
    print(
        f"  NumPy + Python faces {numpy_total:.2f} s (vertex pass {numpy_seconds:.2f} s, face pass {python_seconds:.2f} s): ratio {numpy_total / native:.0f}x"
    )
    print(f"  literal pure Python {literal:.2f} s: ratio {literal / native:.0f}x")
    print(f"  conversion out (reading vertices and faces): {seconds_out:.2f} s")
    return welded, welded_points, welded_faces


def digest(mesh):
    """A fingerprint of a mesh's exact values, to compare two builds' results."""
    h = hashlib.sha1()
    for v in mesh.vertices:
        h.update(struct.pack("<3d", v.x, v.y, v.z))
    for face in mesh.faces:
        h.update(struct.pack(f"<{len(face) + 1}Q", len(face), *face))
    return h.hexdigest()


def native_times():
    """The native calls alone, as one child of --against runs them."""
    points, face_array = soup()
    if hasattr(Mesh, "from_arrays"):
        mesh = Mesh.from_arrays(points, face_array)
    else:  # older builds read lists only
        mesh = Mesh([Vector3D(*p) for p in points.tolist()], face_array.tolist())
    clean_soup, welded = best_of(3, mesh.clean, TOLERANCE)
    clean_indexed, coarse = best_of(3, welded.clean, COARSE_TOLERANCE)
    slice_seconds, (above, below) = best_of(
        3, welded.slice_by_plane, Vector3D(0.3, -0.2, 1.0), Vector3D(350.0, 350.0, 0.5)
    )
    results = [digest(m) for m in (welded, coarse, above, below)]
    print(
        json.dumps(
            {"clean soup": clean_soup, "clean indexed": clean_indexed, "slice": slice_seconds, "results": results}
        )
    )


def against(revision, rounds):
    sys.path.insert(0, str(Path(__file__).resolve().parent))
    from baseline import alternate, module_at

    runs = {revision: module_at(revision), "now": None}
    printed = alternate(rounds, runs, [__file__, "--native-times"])
    measured = {name: [json.loads(text) for text in texts] for name, texts in printed.items()}
    assert len({json.dumps(m["results"]) for runs_of in measured.values() for m in runs_of}) == 1, "results differ"
    print(f"native calls, best of {rounds} alternated runs (each the best of 3), same results in all:")
    for step in ("clean soup", "clean indexed", "slice"):
        old, new = (min(m[step] for m in measured[name]) for name in runs)
        print(f"  {step:14} {revision} {old:.3f} s, now {new:.3f} s: {old / new:.2f}x")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--against", help="a commit to time the native calls against")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--native-times", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.native_times:
        return native_times()
    if args.against:
        return against(args.against, args.rounds)

    points, face_array = soup()
    faces = face_array.tolist()
    print(f"input: {len(faces):,} triangles, {len(points):,} vertices")

    seconds_objects, vectors = timed(lambda: [Vector3D(*p) for p in points.tolist()])
    seconds_in, mesh = timed(Mesh, vectors, faces)
    del vectors
    print(f"making 3,000,000 Vector3D objects in Python: {seconds_objects:.2f} s")
    print(f"conversion in (Mesh(vertices, faces) from those objects and the face lists): {seconds_in:.2f} s")

    welded, welded_points, welded_faces = compare_clean("triangle soup", mesh, points, faces, TOLERANCE)
    # The welded mesh is indexed (shared vertices): cleaning it again with a
    # coarser cell welds neighbours and drops the triangles that collapse.
    compare_clean("indexed mesh", welded, welded_points, welded_faces, COARSE_TOLERANCE)

    normal, origin = (0.3, -0.2, 1.0), (350.0, 350.0, 0.5)
    native_slice, (above, below) = best_of(3, welded.slice_by_plane, Vector3D(*normal), Vector3D(*origin))
    python_slice, ((above_points, above_faces), (below_points, below_faces)) = timed(
        numpy_slice, welded_points, welded_faces, normal, origin
    )
    seconds_out, _ = timed(lambda: (above.vertices, above.faces, below.vertices, below.faces))
    assert same(above, above_points, above_faces) and same(below, below_points, below_faces), (
        "slice: native and baseline differ"
    )
    print(f"slice_by_plane: above {len(above.faces):,} faces, below {len(below.faces):,} faces")
    print(
        f"  native {native_slice:.3f} s, NumPy distances + Python triangles {python_slice:.2f} s: ratio {python_slice / native_slice:.0f}x"
    )
    print(f"  conversion out (reading vertices and faces of both): {seconds_out:.2f} s")


if __name__ == "__main__":
    main()
