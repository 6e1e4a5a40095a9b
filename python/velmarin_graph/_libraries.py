"""The graph in networkx and rustworkx: a node per room, an edge per contact."""

from __future__ import annotations

from collections.abc import Mapping
from types import ModuleType
from typing import TYPE_CHECKING, Any

from velmarin import SpatialGraph
from velmarin_graph._collector import collector_paused
from velmarin_graph._requirements import require

if TYPE_CHECKING:
    import networkx
    import numpy
    import rustworkx

# What every node and edge carries from the graph's own records, named as the
# Cypher export names them. An attribute of one of these names gives way, so
# that no attribute can move a room or change what a route weighs.
NODE_FIELDS = ("index", "centroid_x", "centroid_y", "centroid_z")
EDGE_FIELDS = ("area", "centroid_x", "centroid_y", "centroid_z", "contact_type", "length")

Data = dict[str, Any]


def to_networkx(graph: SpatialGraph) -> networkx.MultiGraph:
    """The graph as a networkx MultiGraph.

    Node i is the node at position i of ``graph.nodes`` (its index, in a built
    graph), with the data ``index``, ``centroid_x``, ``centroid_y``,
    ``centroid_z`` and its attributes. Every contact is an edge keyed by its
    position in ``graph.edges``, with ``area``, ``centroid_x``,
    ``centroid_y``, ``centroid_z`` (the contact's centroid),
    ``contact_type``, ``length`` and its attributes. ``length`` is the
    distance between the centroids of the two rooms, computed as
    ``find_shortest_path`` weighs an edge, so that
    ``networkx.shortest_path(G, a, b, weight="length")`` finds a route of
    the same length (the same route where only one is shortest). An
    attribute named as one of those fields is left out. Edges whose ends lie
    beyond the nodes (only a graph built by hand has them) are left out, as
    ``find_shortest_path`` ignores them; so are the wire contacts, which
    ``to_arrays()`` and ``write_parquet`` keep.

    Raises ImportError when networkx or numpy is missing.

    >>> G = to_networkx(graph)
    >>> route = networkx.shortest_path(G, 0, 5, weight="length")  # graph.find_shortest_path(0, 5)
    >>> networkx.write_graphml(G, "building.graphml")  # scalar attributes only: see the README
    """
    nx = require("networkx", "to_networkx()")
    with collector_paused():
        arrays = graph.to_arrays()
        multigraph = nx.MultiGraph()
        multigraph.add_nodes_from(enumerate(node_data(arrays["nodes"])))
        positions, ends_a, ends_b, data = edge_data(arrays, "to_networkx()")
        multigraph.add_edges_from(zip(ends_a, ends_b, positions, data))
    return multigraph


def to_rustworkx(graph: SpatialGraph) -> rustworkx.PyGraph:
    """The graph as a rustworkx PyGraph (a multigraph), with the data of
    ``to_networkx`` as node and edge payloads (dicts).

    Node indices are node positions; edge indices are the edges' positions
    in ``graph.edges`` when every edge's ends lie among the nodes (always,
    in a built graph), since edges beyond them are left out.

    Raises ImportError when rustworkx or numpy is missing.

    >>> G = to_rustworkx(graph)
    >>> route = rustworkx.dijkstra_shortest_paths(G, 0, 5, weight_fn=lambda e: e["length"])[5]
    """
    rx = require("rustworkx", "to_rustworkx()")
    with collector_paused():
        arrays = graph.to_arrays()
        pygraph = rx.PyGraph(multigraph=True)
        pygraph.add_nodes_from(node_data(arrays["nodes"]))
        _, ends_a, ends_b, data = edge_data(arrays, "to_rustworkx()")
        pygraph.add_edges_from(list(zip(ends_a, ends_b, data)))
    made: rustworkx.PyGraph = pygraph
    return made


def node_data(nodes: Mapping[str, Any]) -> list[Data]:
    """One dict per node of ``to_arrays()["nodes"]``: its fields, then its attributes."""
    x, y, z = nodes["centroid"].T.tolist()
    data = [
        {"index": i, "centroid_x": cx, "centroid_y": cy, "centroid_z": cz}
        for i, cx, cy, cz in zip(nodes["index"].tolist(), x, y, z)
    ]
    add_attributes(data, nodes["attributes"], NODE_FIELDS)
    return data


def edge_data(arrays: Mapping[str, Any], caller: str) -> tuple[list[int], list[int], list[int], list[Data]]:
    """The edges of ``to_arrays()`` whose ends lie among the nodes: their
    positions, their two ends and one dict each."""
    np = require("numpy", caller)
    nodes, edges = arrays["nodes"], arrays["edges"]
    count = len(nodes["index"])
    kept = np.flatnonzero((edges["node_a"] < count) & (edges["node_b"] < count))
    ends_a, ends_b = edges["node_a"][kept], edges["node_b"][kept]
    x, y, z = edges["contact_centroid"][kept].T.tolist()
    rows = zip(
        edges["shared_area"][kept].tolist(),
        x,
        y,
        z,
        edges["contact_type"][kept].tolist(),
        centroid_distances(np, nodes["centroid"], ends_a, ends_b).tolist(),
    )
    data = [
        {"area": area, "centroid_x": cx, "centroid_y": cy, "centroid_z": cz, "contact_type": kind, "length": length}
        for area, cx, cy, cz, kind, length in rows
    ]
    add_attributes(data, edges["attributes"], EDGE_FIELDS, kept)
    return kept.tolist(), ends_a.tolist(), ends_b.tolist(), data


def centroid_distances(
    np: ModuleType, centroids: numpy.ndarray, ends_a: numpy.ndarray, ends_b: numpy.ndarray
) -> numpy.ndarray:
    """The distance between the centroids of each pair of ends, to the bit as
    the shortest-path search weighs an edge: the squares added in the order
    x, y, z, then the (correctly rounded) square root."""
    with np.errstate(all="ignore"):  # NaN and infinite centroids give NaN and infinite lengths, as they do there
        d = centroids[ends_a] - centroids[ends_b]
        lengths: numpy.ndarray = np.sqrt(d[:, 0] * d[:, 0] + d[:, 1] * d[:, 1] + d[:, 2] * d[:, 2])
    return lengths


def add_attributes(
    data: list[Data], attributes: Mapping[str, Any], fields: tuple[str, ...], rows: numpy.ndarray | None = None
) -> None:
    """Adds to each dict the attributes its item holds (not None), taking the
    items `rows` of each column (all when None)."""
    for key, values in attributes.items():
        if key in fields:
            continue
        column = values.tolist() if rows is None else values[rows].tolist()
        for item, value in zip(data, column):
            if value is not None:
                item[key] = value
