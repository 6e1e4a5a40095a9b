"""Many models read at once, on a Dask cluster or one by one here: a summary
of plain data per model, made where the model is read, so that only numbers,
texts and arrays travel back."""

from __future__ import annotations

import dataclasses
import gzip
import math
import os
import shutil
import tempfile
import time
import zlib
from collections.abc import Iterable, Iterator
from contextlib import contextmanager
from typing import TYPE_CHECKING, Any, Union

from velmarin_ifc._reading import read_building

if TYPE_CHECKING:
    from velmarin_ifc._building import Building

Summary = dict[str, Any]
Outcome = Union[Summary, Exception]
ModelPath = Union[str, "os.PathLike[str]"]

# The first two bytes of a gzip stream (RFC 1952), which is how a packed model is told from a plain one.
GZIP_MAGIC = b"\x1f\x8b"

# The image formats a plan can be drawn in, by suffix.
PLAN_FORMATS = (".png", ".svg", ".pdf")


def read_portfolio(
    paths: Iterable[ModelPath], client: Any = None, timeout: float | None = None, plan: str | None = None
) -> Iterator[tuple[str, Outcome]]:
    """Reads many models and yields ``(path, summary)`` for each, in the order
    the models finish; for a model that fails, the exception in place of its
    summary, and the others go on.

    A summary is a dict of plain data, made where the model is read:
    - "graph": ``Building.graph().to_arrays()``, the graph with the defaults
      (``SpatialGraph.from_arrays`` makes it again, ``velmarin_graph`` writes it);
    - "spaces": a dict per room, in node order, of the fields of `Space`;
    - "exits": a dict per exit of the fields of `Exit` (room, global_id, centre);
    - "egress": ``Building.egress()``, metres walked to the nearest exit by
      room global id (math.inf where none can be reached);
    - "skipped": a dict per element left out, of the fields of `LeftOut`
      (global_id, ifc_class, reason, detail);
    - "seconds": the time the model took to read, build and walk;
    - "plan", when `plan` is given: the image of ``draw_plans`` with the way
      out of the room farthest from an exit, as bytes.

    A model may be gzipped (``.ifc.gz``): it is unpacked into a temporary
    folder first, where it is read.

    Parameters:
        paths: the models' files. With a client, the workers read them: give
            paths they can reach (made absolute here).
        client: a ``distributed.Client``: each model is read as a task of
            its cluster, one per worker process at a time when the workers
            have one thread each. None reads the models one by one here.
        timeout: None reads each model where its task runs. A number of
            seconds reads it in a child process of its own, ended when the
            time runs out (``read_building``'s timeout): a model that
            crashes or stalls the geometry engine then fails alone, as a
            RuntimeError or TimeoutError. Without it, a crash ends the
            worker process, and the cluster reports the model as
            ``distributed.KilledWorker`` once it has killed as many workers
            as the cluster allows (``distributed.scheduler.allowed-failures``).
        plan: a suffix, ".png", ".svg" or ".pdf", to draw each model's plans
            in (needs matplotlib on the workers).

    Returns:
        An iterator of ``(path, summary or exception)``, the path as given.
        Leaving the loop early cancels the models not yet read.

    Raises (before any model is read):
        ValueError, TypeError: a bad timeout or plan suffix.
        ImportError: a client without ``distributed``.

    Example:
        >>> from distributed import Client  # doctest: +SKIP
        >>> with Client(n_workers=2, threads_per_worker=1) as client:  # doctest: +SKIP
        ...     for path, summary in read_portfolio(["a.ifc", "b.ifc.gz"], client, timeout=600):
        ...         print(path, summary if isinstance(summary, Exception) else len(summary["spaces"]))
    """
    if timeout is not None:
        from velmarin_ifc._isolated import checked_timeout

        timeout = checked_timeout(timeout)
    if plan is not None and plan not in PLAN_FORMATS:
        raise ValueError(f"plan must be one of {', '.join(PLAN_FORMATS)}, not {plan!r}")
    named = [os.fspath(path) for path in paths]
    if client is None:
        for path in named:
            yield path, outcome_of(path, timeout, plan)
        return
    from distributed import as_completed

    # A model's own failure comes back as a value, not as a failed task, which the workers would log.
    futures = {client.submit(outcome_of, os.path.abspath(path), timeout, plan, pure=False): path for path in named}
    try:
        for future in as_completed(list(futures)):
            path = futures.pop(future)
            outcome: Outcome
            try:
                outcome = future.result()
            except Exception as error:  # the cluster's: a worker that died, a task cancelled
                outcome = error
            if isinstance(outcome, Exception):
                named_as(outcome, os.path.abspath(path), path)
            future.release()
            yield path, outcome
    finally:
        if futures:
            client.cancel(list(futures))


def outcome_of(path: str, timeout: float | None, plan: str | None) -> Outcome:
    try:
        return read_summary(path, timeout, plan)
    except Exception as error:
        return error


def read_summary(path: str, timeout: float | None = None, plan: str | None = None) -> Summary:
    """The summary of one model (see `read_portfolio`), read here, or in a
    child process with a timeout."""
    start = time.perf_counter()
    with plain_model(path) as plain:
        building = read_building(plain, timeout=timeout)
    summary = summarized(building)
    summary["seconds"] = time.perf_counter() - start
    if plan is not None:
        summary["plan"] = drawn_plan(building, plan, summary["egress"])
    return summary


def summarized(building: Building) -> Summary:
    """A building's summary, but for the time: its graph as arrays and its records as dicts."""
    walk = building._walked()
    return {
        "graph": walk.graph.to_arrays(),
        "spaces": [dataclasses.asdict(space) for space in building.spaces],
        "exits": [dataclasses.asdict(way_out) for way_out in walk.exits],
        "egress": building.egress(),
        "skipped": [dataclasses.asdict(element) for element in building.left_out],
    }


def farthest_room(egress: dict[str, float]) -> str | None:
    """The global id of the room farthest from its nearest exit, of those that reach one."""
    reaching = {room: metres for room, metres in egress.items() if math.isfinite(metres)}
    return max(reaching, key=lambda room: reaching[room]) if reaching else None


def drawn_plan(building: Building, suffix: str, egress: dict[str, float]) -> bytes:
    """The plans, with the way out of the room farthest from an exit, as an image of the suffix's format."""
    from velmarin_ifc._plans import draw_plans

    farthest = farthest_room(egress)
    route = building.route_out(farthest) if farthest is not None else None
    with tempfile.TemporaryDirectory(prefix="velmarin-plan-") as folder:
        image = os.path.join(folder, "plan" + suffix)
        draw_plans(building, image, route=route)
        with open(image, "rb") as drawn:
            return drawn.read()


@contextmanager
def plain_model(path: str) -> Iterator[str]:
    """The model's file as the engine reads it: the file itself or, when it
    is gzipped, a copy unpacked into a temporary folder (removed afterwards).
    Errors that name the copy name the file given instead."""
    with open(path, "rb") as file:  # a file that cannot be opened fails here, as what it is
        packed = file.read(len(GZIP_MAGIC)) == GZIP_MAGIC
    if not packed:
        yield path
        return
    with tempfile.TemporaryDirectory(prefix="velmarin-model-") as folder:
        plain = os.path.join(folder, unpacked_name(path))
        try:
            with gzip.open(path, "rb") as source, open(plain, "wb") as target:
                shutil.copyfileobj(source, target)
        except (gzip.BadGzipFile, EOFError, zlib.error) as broken:
            raise ValueError(f"{path!r} is not an IFC model (a broken gzip stream: {broken})") from None
        try:
            yield plain
        except Exception as error:
            named_as(error, plain, path)
            raise


def unpacked_name(path: str) -> str:
    name = os.path.basename(path)
    return name[:-3] if name.lower().endswith(".gz") and len(name) > 3 else name + ".ifc"


def named_as(error: Exception, copy: str, original: str) -> None:
    """Puts the file's name as given in the error's text where it names the
    file by another name (a copy, or the absolute path the workers read)."""
    if error.args and isinstance(error.args[0], str):
        error.args = (error.args[0].replace(repr(copy), repr(original)), *error.args[1:])
