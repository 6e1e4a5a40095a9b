"""Throughput of IfcParser.parse_ifc_points_and_faces on generated IFC text.

The full text holds 1,000,000 points and 1,000,000 loops of four references.
Texts of 10 MB and 100 MB with the same mix show that the cost is linear; a
literal pure-Python reader of the same rules (tests/support/reference_ifc.py), run on
the 10 MB text in the same process, is the baseline. All texts are ASCII, so
a MB is a million characters. Times are CPU seconds of this process (the
machine may be busy with other work; the reader is single-threaded), the
best of three.

    PYTHONPATH=build/dev python3 bench/bench_ifc.py

With --against REVISION, the 100 MB text instead, read in child processes
by this module and by the module as built at REVISION (bench/baseline.py),
alternated for --rounds rounds so that both meet the same load; the best of
each, their ratio, and whether both read the same mesh (every coordinate to
the bit, every face):

    PYTHONPATH=build/dev python3 bench/bench_ifc.py --against e65086f
"""

import argparse
import hashlib
import random
import struct
import sys
import tempfile
import time
from array import array
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
sys.path.insert(0, str(Path(__file__).resolve().parent))

import velmarin  # noqa: E402
from baseline import alternate, module_at  # noqa: E402
from support.reference_ifc import reference_read  # noqa: E402
from velmarin import IfcParser  # noqa: E402

POINTS = 1_000_000
LOOPS = 1_000_000


def point_line(number, rng):
    return f"#{number}=IFCCARTESIANPOINT(({rng.uniform(-5e4, 5e4):.4f},{rng.uniform(-5e4, 5e4):.4f},{rng.uniform(0, 9e3):.4f}));"


def loop_line(number, refs):
    return f"#{number}=IFCPOLYLOOP(({','.join(f'#{r}' for r in refs)}));"


def generate(points, loops, layout, seed=1):
    """IFC text with `points` points and `loops` loops of four references.

    "clustered": breps of 8 points followed by 8 loops over them, as
    exporters write faceted breps; "scattered": all points, then loops whose
    references are spread over the whole file (the cache's worst case).
    """
    rng = random.Random(seed)
    lines = ["ISO-10303-21;", "HEADER;", "FILE_SCHEMA(('IFC2X3'));", "ENDSEC;", "DATA;"]
    if layout == "clustered":
        number = 1
        for start in range(0, max(points, loops), 8):
            first = number
            for _ in range(min(8, points - start)):
                lines.append(point_line(number, rng))
                number += 1
            count = number - first
            for _ in range(min(8, loops - start)):
                lines.append(loop_line(number, [first + rng.randrange(max(count, 1)) for _ in range(4)]))
                number += 1
    else:
        lines += [point_line(i, rng) for i in range(1, points + 1)]
        for k in range(loops):
            base = rng.randint(1, max(1, points - 8))
            lines.append(loop_line(points + 1 + k, [base + rng.randint(0, 7) for _ in range(4)]))
    lines += ["ENDSEC;", "END-ISO-10303-21;"]
    return "\n".join(lines) + "\n"


def best_time(function, argument, repeats):
    best = float("inf")
    for _ in range(repeats):
        start = time.process_time()
        result = function(argument)
        best = min(best, time.process_time() - start)
        if _ + 1 < repeats:
            del result  # freeing the result is not part of the next read
    return best, result


def measure(name, text):
    seconds, mesh = best_time(IfcParser.parse_ifc_points_and_faces, text, 3)
    mb = len(text) / 1e6
    print(f"{name:<34}{mb:>9.1f}{seconds:>10.3f}{mb / seconds:>9.0f}{len(mesh.vertices):>10}{len(mesh.faces):>10}")
    return mb / seconds


def records_per_mb(full):
    return POINTS / (len(full) / 1e6)


def clustered(mb, per_mb):
    return generate(int(per_mb * mb), int(per_mb * mb), "clustered")


def main():
    full = generate(POINTS, LOOPS, "clustered")
    per_mb = records_per_mb(full)

    print(f"{'text':<34}{'size MB':>9}{'seconds':>10}{'MB/s':>9}{'vertices':>10}{'faces':>10}")
    rates = {}
    small = clustered(10, per_mb)
    rates[10] = measure("clustered, 10 MB", small)
    rates[100] = measure("clustered, 100 MB", clustered(100, per_mb))
    measure("clustered, 1M points + 1M loops", full)
    del full
    measure("scattered, 1M points + 1M loops", generate(POINTS, LOOPS, "scattered"))

    seconds, _ = best_time(reference_read, small, 1)
    python_rate = len(small) / 1e6 / seconds
    print(f"pure-Python reader of the same rules, clustered 10 MB: {seconds:.2f} s, {python_rate:.1f} MB/s")
    print(f"native / pure Python, 10 MB: {rates[10] / python_rate:.0f}x")
    print(f"MB/s at 100 MB / MB/s at 10 MB: {rates[100] / rates[10]:.2f} (1.00 = linear)")


def mesh_digest(mesh):
    """A hash of every coordinate's bits and every face, in order."""
    digest = hashlib.sha256()
    digest.update(array("d", [c for v in mesh.vertices for c in (v.x, v.y, v.z)]).tobytes())
    for face in mesh.faces:
        digest.update(struct.pack("<Q", len(face)))
        digest.update(array("Q", face).tobytes())
    return digest.hexdigest()


def child(path, repeats):
    """Reads the text at `path` `repeats` times; prints MB/s and the mesh's digest."""
    text = Path(path).read_text()
    seconds, mesh = best_time(IfcParser.parse_ifc_points_and_faces, text, repeats)
    print(len(text) / 1e6 / seconds, mesh_digest(mesh))


def against(revision, rounds, repeats):
    baseline = module_at(revision)
    text = clustered(100, records_per_mb(generate(POINTS, LOOPS, "clustered")))
    with tempfile.TemporaryDirectory() as folder:
        path = Path(folder) / "clustered.ifc"
        path.write_text(text)
        runs = {"this tree": Path(velmarin.__file__).resolve().parent, revision: baseline}
        printed = alternate(rounds, runs, [__file__, "--child", str(path), "--repeats", str(repeats)])
    best, digests = {}, set()
    for name, outputs in printed.items():
        rows = [line.split() for line in outputs]
        best[name] = max(float(rate) for rate, _ in rows)
        digests.update(digest for _, digest in rows)
    print(f"clustered, {len(text) / 1e6:.1f} MB, best of {rounds} processes x {repeats} reads each, alternated:")
    for name, rate in best.items():
        print(f"  {name:<12}{rate:>8.0f} MB/s")
    print(f"  this tree / {revision}: {best['this tree'] / best[revision]:.2f}x")
    print(f"  same mesh: {'yes' if len(digests) == 1 else 'NO'}")
    return 0 if len(digests) == 1 else 1


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--against", metavar="REVISION", help="time the 100 MB text against the module at REVISION")
    parser.add_argument("--rounds", type=int, default=5, help="child processes per module, alternated")
    parser.add_argument("--repeats", type=int, default=3, help="reads per child process, the best counting")
    parser.add_argument("--child", metavar="PATH", help=argparse.SUPPRESS)
    arguments = parser.parse_args()
    if arguments.child:
        child(arguments.child, arguments.repeats)
    elif arguments.against:
        sys.exit(against(arguments.against, arguments.rounds, arguments.repeats))
    else:
        main()
