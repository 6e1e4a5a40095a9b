"""The graph as three Parquet tables in a folder, and back.

``nodes.parquet``: ``index``, ``centroid_x``, ``centroid_y``, ``centroid_z``
and, when any node has attributes, ``attributes``: a struct with one field
per key. ``edges.parquet``: ``node_a``, ``node_b``, ``shared_area``,
``centroid_x``, ``centroid_y``, ``centroid_z`` (the contact's centroid),
``contact_type`` and ``attributes`` alike. ``wire_contacts.parquet``:
``wire_index``, ``mesh_index``. Positions are int64 (uint64 where one lies
beyond it), numbers float64, texts UTF-8.

An attribute field is typed when the values its items hold agree: all
bool, all int (within int64), all float, all str, all bytes, or all lists
whose items are all one of those (None items allowed), with null where an
item lacks the key. Subclasses and numpy scalars count as the plain type
they hold and are read back as it (an IntEnum member as int, numpy.float32
as float). A field whose values do not agree (an int beside a float, a
tuple, a dict, a list of lists, an int beyond int64, an object of another
class) is kept as text: each value's repr(), marked so in the field's
metadata, and read back with ast.literal_eval where the text is a Python
literal (so those ints, tuples, dicts and nested lists come back exactly)
and as the text otherwise.
"""

from __future__ import annotations

import ast
import os
import uuid
from itertools import chain
from types import ModuleType
from typing import TYPE_CHECKING, Any, Callable, Union

from velmarin import SpatialGraph
from velmarin_graph._collector import collector_paused
from velmarin_graph._requirements import require

if TYPE_CHECKING:
    import numpy
    import pyarrow

# The metadata of an attribute field kept as text.
TEXT_FIELD = {b"velmarin": b"repr"}

NODE_COLUMNS = ("index", "centroid_x", "centroid_y", "centroid_z")
EDGE_COLUMNS = ("node_a", "node_b", "shared_area", "centroid_x", "centroid_y", "centroid_z", "contact_type")
WIRE_COLUMNS = ("wire_index", "mesh_index")

Path = Union[str, "os.PathLike[str]"]


def write_parquet(graph: SpatialGraph, directory: Path) -> None:
    """Writes the graph as ``nodes.parquet``, ``edges.parquet`` and
    ``wire_contacts.parquet`` into `directory`, made if missing; files of
    those names are replaced.

    Each table is written in full under a temporary name and renamed only
    when all three are: a failure (a value whose repr() raises, a full disk)
    leaves the folder as it was.

    Raises ImportError when pyarrow or numpy is missing, and OSError when
    the folder cannot be made or written.

    >>> write_parquet(graph, "building")
    >>> pandas.read_parquet("building/edges.parquet")  # or DuckDB, Polars, Spark
    """
    pa = require("pyarrow", "write_parquet()")
    pq = require("pyarrow.parquet", "write_parquet()")
    np = require("numpy", "write_parquet()")
    with collector_paused():
        arrays = graph.to_arrays()
    nodes, edges, contacts = arrays["nodes"], arrays["edges"], arrays["wire_contacts"]
    tables = {
        "nodes": table(pa, np, {"index": nodes["index"], **point_columns(np, nodes["centroid"])}, nodes["attributes"]),
        "edges": table(
            pa,
            np,
            {
                "node_a": edges["node_a"],
                "node_b": edges["node_b"],
                "shared_area": edges["shared_area"],
                **point_columns(np, edges["contact_centroid"]),
                "contact_type": edges["contact_type"],
            },
            edges["attributes"],
        ),
        "wire_contacts": table(pa, np, dict(zip(WIRE_COLUMNS, contacts.T)), {}),
    }
    write_tables(pq, tables, os.fspath(directory))


def read_parquet(directory: Path) -> SpatialGraph:
    """The graph that ``write_parquet`` wrote into `directory`.

    The nodes, edges and wire contacts come back in their order, with the
    same positions, coordinates, areas and contact types bit for bit; the
    attributes as the module's documentation of the tables says.

    Raises ImportError when pyarrow or numpy is missing, FileNotFoundError
    for a missing table, ValueError for a table without one of its columns,
    and what ``SpatialGraph.from_arrays`` raises for values it refuses.

    >>> graph = read_parquet("building")
    """
    pq = require("pyarrow.parquet", "read_parquet()")
    np = require("numpy", "read_parquet()")
    folder = os.fspath(directory)
    nodes = read_table(pq, folder, "nodes", NODE_COLUMNS)
    edges = read_table(pq, folder, "edges", EDGE_COLUMNS)
    contacts = read_table(pq, folder, "wire_contacts", WIRE_COLUMNS)
    with collector_paused():
        return SpatialGraph.from_arrays(
            {
                "nodes": {
                    "index": nodes["index"].to_numpy(),
                    "centroid": point_array(np, nodes),
                    "attributes": attribute_columns(nodes),
                },
                "edges": {
                    "node_a": edges["node_a"].to_numpy(),
                    "node_b": edges["node_b"].to_numpy(),
                    "shared_area": edges["shared_area"].to_numpy(),
                    "contact_centroid": point_array(np, edges),
                    "contact_type": texts(np, edges["contact_type"]),
                    "attributes": attribute_columns(edges),
                },
                "wire_contacts": np.column_stack([contacts[name].to_numpy() for name in WIRE_COLUMNS]),
            }
        )


# --- writing ---------------------------------------------------------------------------


def point_columns(np: ModuleType, points: numpy.ndarray) -> dict[str, numpy.ndarray]:
    return {f"centroid_{axis}": np.ascontiguousarray(points[:, k]) for k, axis in enumerate("xyz")}


def table(pa: ModuleType, np: ModuleType, columns: dict[str, Any], attributes: dict[str, Any]) -> pyarrow.Table:
    """The columns, and the attributes as one struct column when there are any."""
    names = list(columns)
    arrays = [
        pa.array(values, type=pa.string()) if values.dtype == object else pa.array(np.ascontiguousarray(values))
        for values in columns.values()
    ]
    if attributes:
        fields, children = zip(*(attribute_field(pa, np, key, values) for key, values in attributes.items()))
        names.append("attributes")
        arrays.append(pa.StructArray.from_arrays(list(children), fields=list(fields)))
    return pa.Table.from_arrays(arrays, names=names)


def attribute_field(
    pa: ModuleType, np: ModuleType, key: str, values: numpy.ndarray
) -> tuple[pyarrow.Field, pyarrow.Array]:
    """One attribute key's field: typed where the values agree, else text."""
    arrow_type = agreed_type(pa, np, values)
    if arrow_type is not None:
        try:
            return pa.field(key, arrow_type), pa.array(values, type=arrow_type, from_pandas=False)
        except (pa.ArrowException, OverflowError, ValueError, TypeError):
            pass  # a value the type cannot hold: an int beyond int64, a str without UTF-8
    texts = [None if value is None else literal_text(np, value) for value in values.tolist()]
    return pa.field(key, pa.string(), metadata=TEXT_FIELD), pa.array(texts, type=pa.string())


def plain_types(np: ModuleType) -> tuple[tuple[str, tuple[type, ...]], ...]:
    """The kinds of value a field can be typed by, and the types of each
    (bool first: it is an int too)."""
    return (
        ("bool", (bool, np.bool_)),
        ("int", (int, np.integer)),
        ("float", (float, np.float16, np.float32)),
        ("str", (str,)),
        ("bytes", (bytes,)),
        ("list", (list,)),
    )


def kind_of(np: ModuleType, value_type: type) -> str | None:
    for kind, types in plain_types(np):
        if issubclass(value_type, types):
            return kind
    return None


def agreed_type(pa: ModuleType, np: ModuleType, values: numpy.ndarray) -> pyarrow.DataType | None:
    """The Arrow type all values but None share; None when they do not agree."""
    present = [value for value in values.tolist() if value is not None]
    kinds = {kind_of(np, t) for t in set(map(type, present))}
    if not kinds:
        return pa.null()
    kind = kinds.pop()
    if kinds or kind is None:
        return None
    if kind != "list":
        return scalar_type(pa, kind)
    item_kinds = {kind_of(np, t) for t in set(map(type, chain.from_iterable(present))) if t is not type(None)}
    if not item_kinds:
        return pa.list_(pa.null())  # empty lists, or lists of None
    item_kind = item_kinds.pop()
    if item_kinds or item_kind is None or item_kind == "list":
        return None
    return pa.list_(scalar_type(pa, item_kind))


def scalar_type(pa: ModuleType, kind: str) -> pyarrow.DataType:
    return {"bool": pa.bool_(), "int": pa.int64(), "float": pa.float64(), "str": pa.string(), "bytes": pa.binary()}[
        kind
    ]


# repr() of the value a subclass holds, read without the subclass's own methods.
PLAIN_REPR: dict[str, Callable[[Any], str]] = {
    "int": int.__repr__,
    "float": float.__repr__,
    "str": str.__repr__,
    "bytes": bytes.__repr__,
}
# The plain value of a numpy scalar.
PLAIN_TYPE: dict[str, Callable[[Any], Any]] = {"bool": bool, "int": int, "float": float}


def literal_text(np: ModuleType, value: Any) -> str:
    """repr() of the plain value that a subclass or numpy scalar holds, of
    anything else its own; escaped to ASCII when it has no UTF-8 (a lone
    surrogate)."""
    kind = kind_of(np, type(value)) or ""
    if isinstance(value, (int, float, str, bytes)) and kind in PLAIN_REPR:
        text = PLAIN_REPR[kind](value)
    elif kind in PLAIN_TYPE:
        text = repr(PLAIN_TYPE[kind](value))  # a bool, or a numpy scalar
    else:
        text = repr(value)
    try:
        text.encode("utf-8")
    except UnicodeEncodeError:
        text = ascii(value)
    return text


def write_tables(pq: ModuleType, tables: dict[str, pyarrow.Table], folder: str) -> None:
    os.makedirs(folder, exist_ok=True)
    moves = []
    try:
        for name, contents in tables.items():
            final = os.path.join(folder, f"{name}.parquet")
            moves.append((os.path.join(folder, f".{name}.{uuid.uuid4().hex}.parquet"), final))
            pq.write_table(contents, moves[-1][0])
        for temporary, final in moves:
            os.replace(temporary, final)
    finally:
        for temporary, _ in moves:
            if os.path.exists(temporary):
                os.remove(temporary)


# --- reading ---------------------------------------------------------------------------


def read_table(pq: ModuleType, folder: str, name: str, columns: tuple[str, ...]) -> pyarrow.Table:
    path = os.path.join(folder, f"{name}.parquet")
    contents = pq.read_table(path, read_dictionary=["contact_type"] if name == "edges" else None)
    missing = [column for column in columns if column not in contents.column_names]
    if missing:
        raise ValueError(f"{path} has no column {missing[0]!r}")
    return contents


def point_array(np: ModuleType, contents: pyarrow.Table) -> numpy.ndarray:
    points: numpy.ndarray = np.column_stack([contents[f"centroid_{axis}"].to_numpy() for axis in "xyz"])
    return points


def texts(np: ModuleType, column: pyarrow.ChunkedArray) -> numpy.ndarray:
    """The texts of a column, one str object per distinct text of a
    dictionary-encoded chunk (to_arrays shares them so too)."""
    pieces = [object_array(np, [])]
    for chunk in column.chunks:
        if hasattr(chunk, "dictionary"):
            words = object_array(np, chunk.dictionary.to_pylist() + [None])  # the None for nulls
            pieces.append(words[chunk.indices.fill_null(len(chunk.dictionary)).to_numpy()])
        else:
            pieces.append(object_array(np, chunk.to_pylist()))
    joined: numpy.ndarray = np.concatenate(pieces)
    return joined


def object_array(np: ModuleType, texts: list[str | None]) -> numpy.ndarray:
    array: numpy.ndarray = np.empty(len(texts), dtype=object)
    array[:] = texts
    return array


def attribute_columns(contents: pyarrow.Table) -> dict[str, list[Any]]:
    if "attributes" not in contents.column_names:
        return {}
    column = contents["attributes"]
    fields = [column.type.field(k) for k in range(column.type.num_fields)]
    children = [
        list(chain.from_iterable(chunk.flatten()[k].to_pylist() for chunk in column.chunks)) for k in range(len(fields))
    ]
    return {
        field.name: [None if value is None else from_text(value) for value in values]
        if field.metadata == TEXT_FIELD
        else values
        for field, values in zip(fields, children)
    }


def from_text(text: str) -> Any:
    """The value a text field holds: the Python literal its text spells, or the text."""
    try:
        return ast.literal_eval(text)
    except (ValueError, TypeError, SyntaxError, MemoryError, RecursionError):
        return text
