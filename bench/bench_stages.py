"""The stages of the graph build, timed in C++ (bench/stages.cpp) on a
generated building: writes the building as text and runs the native driver,
which times each stage with one worker and with two. With ``--walls``, the
building has walls of that thickness and the stages are those of the build
across walls (looking 0.05 m further than the walls are thick).

    cmake -S . -B build/bench -G Ninja -DVELMARIN_BENCH=ON && cmake --build build/bench --target bench_stages
    python bench/bench_stages.py [rooms] [--walls 0.2] [--driver build/bench/bench/bench_stages]
"""

import argparse
import os
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
from support.building import generate_building  # noqa: E402


def write_meshes(out, meshes):
    out.write(f"{len(meshes)}\n")
    for vertices, faces in meshes:
        out.write(f"{len(vertices)} {len(faces)}\n")
        out.writelines(f"{x!r} {y!r} {z!r}\n" for x, y, z in vertices)
        out.writelines(" ".join(map(str, [len(f)] + list(f))) + "\n" for f in faces)


def write_building(path, building):
    with open(path, "w") as out:
        write_meshes(out, building.meshes)
        out.write(f"{len(building.wires)}\n")
        out.writelines(" ".join(repr(c) for c in a + b) + "\n" for a, b in building.wires)
        write_meshes(out, building.apertures)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("rooms", type=int, nargs="?", default=100_000)
    parser.add_argument("--driver", default="build/bench/bench/bench_stages")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--walls", type=float, default=0.0, help="wall thickness of the building")
    args = parser.parse_args()
    building = generate_building(args.rooms, 7, door_ratio=1.0, wall_thickness=args.walls)
    print(building.summary())
    walls = [repr(args.walls + 0.05)] if args.walls else []
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "building.txt")
        write_building(path, building)
        subprocess.run([args.driver, path, str(args.runs), *walls], check=True)


if __name__ == "__main__":
    main()
