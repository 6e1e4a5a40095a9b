"""What reading a model safely costs: the checks before the engine runs, and the read in a child.

    .venv/bin/python bench/bench_ifc_read.py [--repeat 7] [MODEL.ifc[.gz] ...]

For each model (by default the shared ones in ../shared/models), times
read_building three ways, alternating so that the machine's load falls on
each alike, and reports the best of ``--repeat`` runs:
- as it reads, the checks included;
- without the checks (the same read with the screening replaced by one that
  finds nothing), the baseline;
- with a timeout, in a child process.
Wall-clock times, and for the first two the processor time too (the
engine's threads included), which other work on the machine moves less.
The ratios compare runs of the same invocation. Figures move with other
work on the machine: read them with the load averages printed beside them.
"""
from __future__ import annotations

import argparse
import gzip
import os
import resource
import tempfile
import time
from pathlib import Path
from typing import Any, Callable
from unittest import mock

from velmarin_ifc import read_building

SHARED = Path(__file__).resolve().parents[2] / "shared" / "models"


def unzipped(path: Path, folder: str) -> Path:
    if path.suffix != ".gz":
        return path
    target = Path(folder) / path.stem
    target.write_bytes(gzip.decompress(path.read_bytes()))
    return target


def measure(path: Path, repeat: int) -> None:
    ways: dict[str, Callable[[], Any]] = {
        "checked": lambda: read_building(path),
        "unchecked": lambda: unchecked(path),
        "in a child": lambda: read_building(path, timeout=600),
    }
    times: dict[str, list[float]] = {name: [] for name in ways}
    processor: dict[str, list[float]] = {name: [] for name in ways}
    for _ in range(repeat):
        for name, read in ways.items():
            start, used = time.perf_counter(), processor_time()
            read()
            times[name].append(time.perf_counter() - start)
            processor[name].append(processor_time() - used)
    checked, bare, child = (min(times[name]) for name in ways)
    checked_cpu, bare_cpu = min(processor["checked"]), min(processor["unchecked"])
    print(f"{path.name}: checked {checked:.3f} s, unchecked {bare:.3f} s ({checked / bare:.3f}x; "
          f"processor time {checked_cpu:.3f} s against {bare_cpu:.3f} s, {checked_cpu / bare_cpu:.3f}x); "
          f"in a child {child:.3f} s ({child / checked:.2f}x, +{child - checked:.3f} s)")


def processor_time() -> float:
    """The processor time of this process and of the children it waited for."""
    own, children = resource.getrusage(resource.RUSAGE_SELF), resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def unchecked(path: Path) -> Any:
    with mock.patch("velmarin_ifc._reading.screened", lambda *args: {}):
        return read_building(path)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("models", nargs="*", type=Path)
    parser.add_argument("--repeat", type=int, default=7)
    args = parser.parse_args()
    models = args.models or sorted(SHARED.glob("*.ifc.gz"))
    print(f"{os.cpu_count()} cores; load average {' '.join(f'{x:.1f}' for x in os.getloadavg())}")
    with tempfile.TemporaryDirectory() as folder:
        for model in models:
            measure(unzipped(model, folder), args.repeat)
    print(f"load average {' '.join(f'{x:.1f}' for x in os.getloadavg())}")


if __name__ == "__main__":
    main()
