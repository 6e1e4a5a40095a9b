"""What reading a model safely costs: the checks before the engine runs, and the read in a child.

    .venv/bin/python bench/bench_ifc_read.py [--repeat 7] [MODEL.ifc[.gz] ...]

For each model (by default the shared ones in ../shared/models), times
read_building three ways, in turn and in alternating order so that the
machine's load falls on each alike, and reports the best of ``--repeat``
runs (and the ratio of the medians for the processor time):
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
import os
import resource
import statistics
import sys
import tempfile
import time
from pathlib import Path
from typing import Any, Callable
from unittest import mock

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))

from support.space_boundaries import MODELS, SHARED, unpacked  # noqa: E402
from velmarin_ifc import read_building  # noqa: E402


def measure(path: Path, repeat: int) -> None:
    ways: dict[str, Callable[[], Any]] = {
        "checked": lambda: read_building(path),
        "unchecked": lambda: unchecked(path),
        "in a child": lambda: read_building(path, timeout=600),
    }
    wall: dict[str, list[float]] = {name: [] for name in ways}
    processor: dict[str, list[float]] = {name: [] for name in ways}
    for round in range(repeat):
        for name, read in ways.items() if round % 2 == 0 else reversed(ways.items()):
            start, used = time.perf_counter(), processor_time()
            read()
            wall[name].append(time.perf_counter() - start)
            processor[name].append(processor_time() - used)
    checked, bare, child = (min(wall[name]) for name in ways)
    checked_cpu, bare_cpu = (min(processor[name]) for name in ("checked", "unchecked"))
    print(
        f"{path.name}: checked {checked:.3f} s, unchecked {bare:.3f} s ({checked / bare:.3f}x; processor time "
        f"{checked_cpu:.3f} s against {bare_cpu:.3f} s, {checked_cpu / bare_cpu:.3f}x, median "
        f"{statistics.median(processor['checked']) / statistics.median(processor['unchecked']):.3f}x); "
        f"in a child {child:.3f} s ({child / checked:.2f}x, +{child - checked:.3f} s)"
    )


def processor_time() -> float:
    """The processor time of this process and of the children it waited for."""
    own, children = resource.getrusage(resource.RUSAGE_SELF), resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def unchecked(path: Path) -> Any:
    with mock.patch("velmarin_ifc._model.screened", lambda *args: {}):
        return read_building(path)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("models", nargs="*", type=Path, help="plain IFC files (default: the shared models)")
    parser.add_argument("--repeat", type=int, default=7)
    args = parser.parse_args()
    print(f"{os.cpu_count()} cores; load average {' '.join(f'{x:.1f}' for x in os.getloadavg())}")
    with tempfile.TemporaryDirectory() as folder:
        models = args.models or [unpacked(name, folder) for name in MODELS if (SHARED / name).exists()]
        for model in models:
            measure(model, args.repeat)
    print(f"load average {' '.join(f'{x:.1f}' for x in os.getloadavg())}")


if __name__ == "__main__":
    main()
