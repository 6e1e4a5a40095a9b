"""What the command line writes: files and folders written whole under a
temporary name and then renamed, so that a failure leaves nothing half
written, and graphs loaded into FalkorDB under a temporary name and then
renamed over the graph they replace."""

from __future__ import annotations

import csv
import io
import json
import math
import os
import shutil
import uuid
from collections.abc import Iterable, Mapping
from contextlib import suppress
from typing import Any, Callable

from velmarin import SpatialGraph

# Rows of rooms and of walls per batch into FalkorDB: one query per batch, so
# large enough that a building of 100,000 rooms loads in about a hundred.
BATCH_ROWS = 5000

# The suffixes --graph knows: files that networkx writes, and the rest a folder of Parquet tables.
GRAPH_FILES = (".graphml", ".json")


def temporary_beside(path: str) -> str:
    """A name in the same folder as `path` (so that renaming is atomic), hidden and unique."""
    folder, name = os.path.split(os.path.abspath(path))
    return os.path.join(folder, f".{name}.{uuid.uuid4().hex[:12]}.partial")


def write_whole(path: str, write: Callable[[str], None]) -> None:
    """Calls write(temporary) to write a file, then renames it to `path`; on a failure removes it."""
    temporary = temporary_beside(path)
    try:
        write(temporary)
        os.replace(temporary, path)
    finally:
        with suppress(FileNotFoundError):
            os.remove(temporary)


def write_bytes(path: str, data: bytes) -> None:
    def write(temporary: str) -> None:
        with open(temporary, "wb") as file:
            file.write(data)

    write_whole(path, write)


def write_text(path: str, text: str) -> None:
    write_bytes(path, text.encode())


def write_graph(graph: SpatialGraph, path: str) -> None:
    """Writes a graph as GraphML or networkx's node-link JSON by the name's
    suffix, or else as a folder of Parquet tables (``velmarin_graph``).

    GraphML holds scalars only: list attributes (an edge's "elements" and
    "apertures") are written as their JSON text."""
    suffix = os.path.splitext(path)[1].lower()
    if suffix not in GRAPH_FILES:
        from velmarin_graph import write_parquet

        write_parquet(graph, path)  # table by table under temporary names, renamed when all are written
        return
    import networkx as nx

    from velmarin_graph import to_networkx

    multigraph = to_networkx(graph)
    if suffix == ".json":
        text = json.dumps(nx.node_link_data(multigraph, edges="edges"))
        write_text(path, text)
        return
    for _, data in multigraph.nodes(data=True):
        data.update({key: graphml_value(value) for key, value in data.items()})
    for _, _, data in multigraph.edges(data=True):
        data.update({key: graphml_value(value) for key, value in data.items()})
    write_whole(path, lambda temporary: nx.write_graphml(multigraph, temporary))


def graphml_value(value: Any) -> Any:
    if isinstance(value, (bool, int, float, str)):
        return value
    if isinstance(value, (list, tuple)):
        return json.dumps(list(value))
    return repr(value)


def replace_folder(folder: str, fill: Callable[[str], None]) -> None:
    """Makes a folder by filling a temporary one and renaming it; an older
    folder of that name is replaced (moved aside first, then removed)."""
    temporary = temporary_beside(folder)
    os.mkdir(temporary)
    try:
        fill(temporary)
        if os.path.isdir(folder):
            older = temporary_beside(folder)
            os.rename(folder, older)
            os.rename(temporary, folder)
            shutil.rmtree(older, ignore_errors=True)
        else:
            os.replace(temporary, folder)
    finally:
        shutil.rmtree(temporary, ignore_errors=True)


def write_csv(path: str, columns: Iterable[str], rows: Iterable[Mapping[str, Any]]) -> None:
    text = io.StringIO()
    table = csv.DictWriter(text, fieldnames=list(columns), restval="", lineterminator="\n")
    table.writeheader()
    table.writerows(rows)
    write_text(path, text.getvalue())


def summary_json(summary: Mapping[str, Any]) -> str:
    """A summary's records as JSON (not its graph nor plan): infinite and NaN numbers as null."""
    kept = {key: value for key, value in summary.items() if key not in ("graph", "plan")}
    return json.dumps(finite(kept), indent=1, ensure_ascii=False) + "\n"


def finite(value: Any) -> Any:
    if isinstance(value, float):
        return value if math.isfinite(value) else None
    if isinstance(value, dict):
        return {key: finite(item) for key, item in value.items()}
    if isinstance(value, (list, tuple)):
        return [finite(item) for item in value]
    return value


def connected_falkordb(url: str) -> Any:
    """A FalkorDB client for a URL (falkor://, redis://, unix://), its server answering.

    Raises ImportError without the falkordb package, ValueError for a URL it
    cannot read, ConnectionError when the server does not answer."""
    from falkordb import FalkorDB

    try:
        database = FalkorDB.from_url(url)
        database.connection.ping()
    except ValueError as error:
        raise ValueError(f"{url!r} is no database URL ({error})") from None
    except Exception as error:  # the client's connection errors are redis' own
        raise ConnectionError(f"FalkorDB at {url!r} does not answer: {error}") from None
    return database


def load_falkordb(database: Any, name: str, graph: SpatialGraph) -> None:
    """Loads a graph into FalkorDB as the graph `name`, replacing one of that
    name: in batches into a graph of a temporary name, renamed when all are
    in (a failure removes it and leaves the graph `name` as it was)."""
    loading = f"{name}.{uuid.uuid4().hex[:12]}.partial"
    target = database.select_graph(loading)
    try:
        for query, parameters in graph.to_cypher_batches(BATCH_ROWS):
            target.query(query, parameters)
        database.connection.execute_command("RENAME", loading, name)
    except BaseException:
        with suppress(Exception):
            target.delete()
        raise
