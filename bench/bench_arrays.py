"""From numpy arrays to a welded, sliced mesh and back to arrays: velmarin
against trimesh on the triangle soup of bench_mesh.py (1,000,000 triangles,
3,000,000 vertices), both pipelines timed in the same run.

Stages, each working on the result of the one before:

    in     Mesh.from_arrays(points, faces)      trimesh.Trimesh(points, faces, process=False)
    weld   mesh.clean(0.01)                     merge_vertices(digits_vertex=2), then the faces
                                                left without three distinct corners dropped
                                                (update_faces(nondegenerate_faces(height=None)))
    slice  slice_by_plane(normal, origin)       intersections.slice_faces_plane on the welded
           (both open halves in one call)       arrays with the normal, and again with it
                                                reversed (one open half a call; arrays out)
    out    to_arrays() of both halves           nothing: the slice gave arrays already
           (new arrays)

Both welds put a vertex in the cell of each coordinate's quotient by 0.01
rounded to the nearest integer (trimesh multiplies by 100 and rounds halves
to even, so a coordinate on a cell's very border may land differently);
velmarin keeps the first vertex of a cell, trimesh one of them. The counts of
both are printed side by side.

Last, the way not taken: without the buffer protocol (limited API before
3.11) the input arrays could also cross as bytes (`tobytes()`), a copy more
than reading them through the array interface; that copy is timed alone.
(Out, filling a `bytearray` for `numpy.frombuffer` costs what filling
`numpy.empty` does, and gives arrays that do not own their memory.)

Times are CPU seconds of this process, the best of three runs of each whole
pipeline, stage by stage and end to end (a first run also pays for the
fresh memory it takes from the system: from_arrays up to 0.1 s). trimesh's numpy may use BLAS for the
slice's distances: on machines that set OPENBLAS_CORETYPE to work around old
OpenBLAS builds, run this without it (and OPENBLAS_L2_SIZE) to give trimesh a
current kernel:

    env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE .venv/bin/python bench/bench_arrays.py
"""

import os
import time

os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")  # idle BLAS threads would spin on the baseline's clock

import trimesh  # noqa: E402
from trimesh.intersections import slice_faces_plane  # noqa: E402

from bench_mesh import soup  # noqa: E402
from velmarin import Mesh, Vector3D  # noqa: E402

TOLERANCE = 0.01
DIGITS = 2  # trimesh's cells of 10**-2
NORMAL, ORIGIN = (0.3, -0.2, 1.0), (350.0, 350.0, 0.5)
STAGES = ("in", "weld", "slice", "out")
RUNS = 3


def velmarin_pipeline(points, faces, clock):
    mesh = clock("in", Mesh.from_arrays, points, faces)
    welded = clock("weld", mesh.clean, TOLERANCE)
    halves = clock("slice", welded.slice_by_plane, Vector3D(*NORMAL), Vector3D(*ORIGIN))
    arrays = clock("out", lambda: [half.to_arrays() for half in halves])
    return len(welded.vertices), len(welded.faces), [len(faces) for _, faces in arrays]


def trimesh_weld(mesh):
    mesh.merge_vertices(digits_vertex=DIGITS)
    mesh.update_faces(mesh.nondegenerate_faces(height=None))
    return mesh


def trimesh_pipeline(points, faces, clock):
    mesh = clock("in", trimesh.Trimesh, vertices=points, faces=faces, process=False)
    welded = clock("weld", trimesh_weld, mesh)
    reverse = tuple(-c for c in NORMAL)
    arrays = clock(
        "slice", lambda: [slice_faces_plane(welded.vertices, welded.faces, n, ORIGIN)[:2] for n in (NORMAL, reverse)]
    )
    clock("out", lambda: None)
    return len(welded.vertices), len(welded.faces), [len(faces) for _, faces in arrays]


def best_times(pipeline, points, faces):
    """The pipeline's counts and the best CPU seconds of each stage and of a whole run."""
    best = dict.fromkeys(STAGES + ("total",), float("inf"))
    for _ in range(RUNS):
        seconds = {}

        def clock(stage, function, *args, **kwargs):
            start = time.process_time()
            result = function(*args, **kwargs)
            seconds[stage] = time.process_time() - start
            return result

        counts = pipeline(points, faces, clock)
        seconds["total"] = sum(seconds.values())
        best = {stage: min(best[stage], seconds[stage]) for stage in best}
    return counts, best


def best_of(function):
    """Best CPU seconds of a call, its result released outside the timing as in the pipelines."""
    best = float("inf")
    for _ in range(RUNS):
        start = time.process_time()
        result = function()
        best = min(best, time.process_time() - start)
        del result
    return best


def bytes_way(points, faces):
    """The copy that reading the inputs as bytes would add to the "in" stage."""
    to_bytes = best_of(lambda: (points.tobytes(), faces.tobytes()))
    print(f"bytes instead: tobytes() of the inputs alone takes {to_bytes:.3f}s")


def main():
    points, faces = soup()
    print(f"input: {len(faces):,} triangles, {len(points):,} vertices as numpy arrays (float64, int64)")
    print(
        f"load average {os.getloadavg()[0]:.2f}, OPENBLAS_CORETYPE={os.environ.get('OPENBLAS_CORETYPE', 'unset')}, trimesh {trimesh.__version__}"
    )
    ours, ours_seconds = best_times(velmarin_pipeline, points, faces)
    theirs, their_seconds = best_times(trimesh_pipeline, points, faces)
    print(
        f"welded: velmarin {ours[0]:,} vertices, {ours[1]:,} faces; trimesh {theirs[0]:,} vertices, {theirs[1]:,} faces"
    )
    print(
        f"halves: velmarin {ours[2][0]:,} and {ours[2][1]:,} triangles; trimesh {theirs[2][0]:,} and {theirs[2][1]:,}"
    )
    print(f"{'stage':<7}{'velmarin':>10}{'trimesh':>10}{'ratio':>8}")
    for stage in STAGES + ("total",):
        # trimesh's "in" keeps the arrays it is given and its "out" has nothing left to do
        ratio = f"{their_seconds[stage] / ours_seconds[stage]:.1f}x" if their_seconds[stage] >= 0.001 else "-"
        print(f"{stage:<7}{ours_seconds[stage]:>9.3f}s{their_seconds[stage]:>9.3f}s{ratio:>8}")
    bytes_way(points, faces)
    print(f"load average {os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    main()
