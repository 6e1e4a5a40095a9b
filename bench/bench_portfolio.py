"""A portfolio of models read at once on a local Dask cluster: models per second on 1 and 2 worker processes.

    .venv/bin/python bench/bench_portfolio.py [--models 12] [--rooms 40-400] [--repeat 3]

The portfolio: ``--models`` buildings generated as in bench_ifc_model.py
(tests/support/building.py's storeys of box rooms with doors, windows and columns, written
as IFC4 by examples/ifc_model.py), of sizes spread evenly over ``--rooms``,
the example house, and the three shared models in ../shared/models (gzipped,
as they are). It is read with ``read_portfolio`` as the command line reads
it, each model in a child process with a timeout: on a local cluster of one
worker process and of two, each with one thread, and one by one in this
process; and, as the baseline, with ``read_building`` on each model in turn
in this process, without a child. The clusters are started, and their
workers have imported velmarin_ifc, before the clock starts. The four ways
run in turn, in alternating order, so that other work on the machine falls
on each alike. Times are wall-clock seconds, the best of ``--repeat`` runs;
the speed-up compares rates of the same run. Other work on the machine
moves the figures: read them with the load averages printed beside them.
"""

from __future__ import annotations

import argparse
import logging
import math
import os
import sys
import tempfile
import time
from collections.abc import Iterator
from contextlib import contextmanager
from pathlib import Path
from typing import Any, Callable

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests"))

from distributed import Client, LocalCluster  # noqa: E402

from bench_ifc_model import generated_layout  # noqa: E402
from support.examples import example  # noqa: E402
from support.space_boundaries import MODELS, SHARED  # noqa: E402
from velmarin_ifc import read_building, read_portfolio  # noqa: E402
from velmarin_ifc._portfolio import plain_model  # noqa: E402

ifc_model = example("ifc_model")
house_layout, write_model = ifc_model.house_layout, ifc_model.write_model

TIMEOUT = 600.0  # the command line's default


def portfolio(folder: Path, count: int, smallest: int, largest: int) -> list[str]:
    paths = []
    for k in range(count):
        rooms = smallest + (largest - smallest) * k // max(count - 1, 1)
        path = folder / f"generated-{k:02d}-{rooms}.ifc"
        write_model(path, generated_layout(rooms, seed=k + 1))
        paths.append(str(path))
    write_model(folder / "house.ifc", house_layout())
    paths.append(str(folder / "house.ifc"))
    return paths + [str(SHARED / name) for name in MODELS if (SHARED / name).exists()]


def read_all(paths: list[str], client: Any) -> None:
    failed = [
        (path, outcome)
        for path, outcome in read_portfolio(paths, client, timeout=TIMEOUT)
        if isinstance(outcome, Exception)
    ]
    if failed:
        raise RuntimeError(f"models failed: {failed}")


def one_by_one(paths: list[str]) -> None:
    for path in paths:
        with plain_model(path) as plain:
            building = read_building(plain)
        building.egress()


@contextmanager
def local_cluster(workers: int) -> Iterator[Any]:
    """A client of a local cluster whose workers have imported velmarin_ifc."""
    with (
        LocalCluster(
            n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=":0", silence_logs=logging.ERROR
        ) as cluster,
        Client(cluster) as client,
    ):
        client.run(lambda: __import__("velmarin_ifc"))
        yield client


def alternated(repeat: int, ways: dict[str, Callable[[], Any]]) -> dict[str, float]:
    """The best time of each way, the ways run in turn and in alternating
    order, so that the machine's other work falls on each alike."""
    best = dict.fromkeys(ways, math.inf)
    for round in range(repeat):
        for name, way in ways.items() if round % 2 == 0 else reversed(ways.items()):
            start = time.perf_counter()
            way()
            best[name] = min(best[name], time.perf_counter() - start)
    return best


def load() -> str:
    return " ".join(f"{x:.1f}" for x in os.getloadavg())


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--models", type=int, default=12)
    parser.add_argument("--rooms", default="40-400", help="the smallest and largest generated building")
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    smallest, largest = (int(n) for n in args.rooms.split("-"))
    print(f"{os.cpu_count()} cores; load average {load()}")
    with tempfile.TemporaryDirectory() as folder:
        paths = portfolio(Path(folder), args.models, smallest, largest)
        print(
            f"{len(paths)} models: {args.models} generated of {smallest} to {largest} rooms, the house, "
            f"{len(paths) - args.models - 1} shared"
        )
        with local_cluster(1) as one, local_cluster(2) as two:
            times = alternated(
                args.repeat,
                {
                    "one by one here, no child": lambda: one_by_one(paths),
                    "one by one here, in children": lambda: read_all(paths, None),
                    "1 worker process": lambda: read_all(paths, one),
                    "2 worker processes": lambda: read_all(paths, two),
                },
            )
    one_worker = len(paths) / times["1 worker process"]
    print(f"{'how':<30} {'seconds':>8} {'models/s':>9} {'speed-up':>9}")
    for how, seconds in times.items():
        rate = len(paths) / seconds
        print(f"{how:<30} {seconds:8.2f} {rate:9.2f} {rate / one_worker:8.2f}x")
    print(f"load average {load()}")


if __name__ == "__main__":
    main()
