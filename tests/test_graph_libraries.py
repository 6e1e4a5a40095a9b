"""velmarin_graph: the graph in networkx, rustworkx and Parquet."""

import itertools
import math
import os
import random
import sys

import pytest

from graph_support import AGREEING, Level, Marker, exact, make_graph, random_case
from test_graph_arrays import arrays_bytes, built_graphs, hand_built
from velmarin import GraphNode, SpatialGraph, Vector3D

np = pytest.importorskip("numpy")
nx = pytest.importorskip("networkx")
rx = pytest.importorskip("rustworkx")
pq = pytest.importorskip("pyarrow.parquet")
from velmarin_graph import read_parquet, to_networkx, to_rustworkx, write_parquet  # noqa: E402

NODE_FIELDS = {"index", "centroid_x", "centroid_y", "centroid_z"}
EDGE_FIELDS = {"area", "centroid_x", "centroid_y", "centroid_z", "contact_type", "length"}


def distance(p, q):
    dx, dy, dz = p.x - q.x, p.y - q.y, p.z - q.z
    return math.sqrt(dx * dx + dy * dy + dz * dz)


def expected_data(graph):
    """The node and edge data that the libraries must hold, read object by object."""

    def attributes(item, fields):
        return {k: v for k, v in item.get_all_attributes().items() if v is not None and k not in fields}

    n = len(graph.nodes)
    nodes = [
        {
            "index": node.index,
            "centroid_x": node.centroid.x,
            "centroid_y": node.centroid.y,
            "centroid_z": node.centroid.z,
            **attributes(node, NODE_FIELDS),
        }
        for node in graph.nodes
    ]
    edges = {
        k: (
            e.node_a,
            e.node_b,
            {
                "area": e.shared_area,
                "centroid_x": e.contact_centroid.x,
                "centroid_y": e.contact_centroid.y,
                "centroid_z": e.contact_centroid.z,
                "contact_type": e.contact_type,
                "length": distance(graph.nodes[e.node_a].centroid, graph.nodes[e.node_b].centroid),
                **attributes(e, EDGE_FIELDS),
            },
        )
        for k, e in enumerate(graph.edges)
        if e.node_a < n and e.node_b < n
    }
    return nodes, edges


@pytest.mark.parametrize("graph", built_graphs() + [hand_built()])
def test_networkx_and_rustworkx_hold_what_the_graph_holds(graph):
    nodes, edges = expected_data(graph)
    multigraph = to_networkx(graph)
    assert isinstance(multigraph, nx.MultiGraph) and list(multigraph.nodes) == list(range(len(nodes)))
    assert exact([multigraph.nodes[i] for i in range(len(nodes))]) == exact(nodes)
    assert exact({k: (a, b, d) for a, b, k, d in multigraph.edges(keys=True, data=True)}) == exact(
        {k: (*sorted((a, b)), d) for k, (a, b, d) in edges.items()}
    )  # an undirected edge lists its ends either way
    pygraph = to_rustworkx(graph)
    assert pygraph.multigraph and exact(pygraph.nodes()) == exact(nodes)
    assert [tuple(pygraph.get_edge_endpoints_by_index(i)) for i in pygraph.edge_indices()] == [
        (a, b) for a, b, _ in edges.values()
    ]
    assert exact(pygraph.edges()) == exact([d for _, _, d in edges.values()])


def route_length(centroids, route):
    return sum(distance(Vector3D(*centroids[a]), Vector3D(*centroids[b])) for a, b in zip(route, route[1:]))


def test_networkx_routes_are_the_routes_of_find_shortest_path():
    """Random graphs (finite centroids; ties on grids, coincident nodes, self
    loops, parallel edges, edges beyond the nodes, several components): the
    route networkx finds by "length" is as long as find_shortest_path's, and
    the same one where it is the only shortest."""
    rng = random.Random(2018)
    compared = unique = 0
    while compared < 1500:
        centroids, ends = random_case(rng)
        if not all(math.isfinite(c) for p in centroids for c in p):
            continue
        graph = make_graph(centroids, ends)
        multigraph = to_networkx(graph)
        for _ in range(4):
            start, end = rng.randrange(len(centroids)), rng.randrange(len(centroids))
            route = graph.find_shortest_path(start, end)
            compared += 1
            if not route:
                assert not nx.has_path(multigraph, start, end)
                continue
            found = nx.shortest_path(multigraph, start, end, weight="length")
            assert math.isclose(route_length(centroids, found), route_length(centroids, route), rel_tol=1e-12)
            shortest = list(itertools.islice(nx.all_shortest_paths(multigraph, start, end, weight="length"), 2))
            if len(shortest) == 1:
                unique += 1
                assert found == route == shortest[0]
    assert unique > 250


def test_rustworkx_routes_are_as_long():
    rng = random.Random(5)
    compared = 0
    for _ in range(200):
        centroids, ends = random_case(rng)
        if not all(math.isfinite(c) for p in centroids for c in p):
            continue
        graph = make_graph(centroids, ends)
        lengths = rx.dijkstra_shortest_path_lengths(to_rustworkx(graph), 0, lambda data: data["length"])
        for end in range(1, len(centroids)):
            route = graph.find_shortest_path(0, end)
            assert (end in lengths) == bool(route)
            if route:
                assert math.isclose(lengths[end], route_length(centroids, route), rel_tol=1e-12)
                compared += 1
    assert compared > 400, "too few routes found to compare"


def attribute_values(graph):
    return [exact(item.get_all_attributes()) for item in graph.nodes + graph.edges]


@pytest.mark.parametrize("graph", built_graphs() + [hand_built(), SpatialGraph([], [], [])])
def test_parquet_gives_the_same_graph_back(graph, tmp_path):
    write_parquet(graph, tmp_path / "graph")
    again = read_parquet(tmp_path / "graph")
    assert arrays_bytes(again.to_arrays()) == arrays_bytes(graph.to_arrays())
    assert [e.contact_type for e in again.edges] == [e.contact_type for e in graph.edges]
    without_none = [
        {k: v for k, v in item.get_all_attributes().items() if v is not None} for item in graph.nodes + graph.edges
    ]
    assert attribute_values(again) == [exact(a) for a in without_none]
    assert sorted(os.listdir(tmp_path / "graph")) == ["edges.parquet", "nodes.parquet", "wire_contacts.parquet"]


def test_parquet_fields_are_typed_where_the_values_agree(tmp_path):
    graph = built_graphs()[1]
    write_parquet(graph, tmp_path)
    fields = {f.name: f for f in pq.read_schema(tmp_path / "nodes.parquet").field("attributes").type}
    assert {k: str(f.type) for k, f in fields.items() if k in AGREEING} == {
        "name": "string",
        "storey": "int64",
        "height": "double",
        "open": "bool",
        "blob": "binary",
        "tags": "list<element: int64>",
        "names": "list<element: string>",
        "spans": "list<element: double>",
    }
    assert all(fields[k].metadata == {b"velmarin": b"repr"} for k in ("mixed", "index", "length", "area"))
    assert all(fields[k].metadata is None for k in AGREEING)
    built = {f.name: str(f.type) for f in pq.read_schema(tmp_path / "edges.parquet").field("attributes").type}
    assert {k: built[k] for k in ("apertures", "wall_thickness", "opening_area")} == {
        "apertures": "list<element: int64>",
        "wall_thickness": "double",
        "opening_area": "double",
    }


def test_parquet_reads_subclasses_as_their_plain_values_and_others_as_text(tmp_path):
    graph = SpatialGraph([GraphNode(i, Vector3D(0, 0, 0)) for i in range(2)], [], [])
    values = {
        "level": (Level.FIRST, 0),
        "float32": (np.float32(0.5), 2.5),
        "int64": (np.int64(3), 4),
        "flag": (np.bool_(True), False),
        "marker": (Marker(), "text"),
        "mixed": (np.int64(3), "a"),
    }
    for key, pair in values.items():
        for node, value in zip(graph.nodes, pair):
            node.set_attribute(key, value)
    write_parquet(graph, tmp_path)
    read = [node.get_all_attributes() for node in read_parquet(tmp_path).nodes]
    assert exact(read) == exact(
        [
            {"level": 1, "float32": 0.5, "int64": 3, "flag": True, "marker": "Marker()", "mixed": 3},
            {"level": 0, "float32": 2.5, "int64": 4, "flag": False, "marker": "text", "mixed": "a"},
        ]
    )


class Unprintable:
    def __repr__(self):
        raise LookupError("no text")


def test_a_failed_write_leaves_the_folder_as_it_was(tmp_path):
    write_parquet(make_graph([(0, 0, 0)], []), tmp_path)
    before = {name: (tmp_path / name).read_bytes() for name in os.listdir(tmp_path)}
    graph = make_graph([(0, 0, 0), (1, 0, 0)], [(0, 1)])
    graph.edges[0].set_attribute("bad", Unprintable())
    graph.edges[0].set_attribute("other", 1.5)
    with pytest.raises(LookupError):
        write_parquet(graph, tmp_path)
    assert {name: (tmp_path / name).read_bytes() for name in os.listdir(tmp_path)} == before


def test_reading_a_folder_that_is_not_a_graph(tmp_path):
    with pytest.raises(FileNotFoundError):
        read_parquet(tmp_path)
    write_parquet(make_graph([(0, 0, 0)], []), tmp_path)
    pq.write_table(pq.read_table(tmp_path / "edges.parquet").drop_columns(["node_b"]), tmp_path / "edges.parquet")
    with pytest.raises(ValueError, match=r"edges\.parquet has no column 'node_b'$"):
        read_parquet(tmp_path)


@pytest.mark.parametrize(
    "module, call",
    [
        ("networkx", lambda g, d: to_networkx(g)),
        ("rustworkx", lambda g, d: to_rustworkx(g)),
        ("pyarrow", lambda g, d: write_parquet(g, d)),
        ("pyarrow", lambda g, d: read_parquet(d)),
    ],
)
def test_a_missing_library_is_named(module, call, monkeypatch, tmp_path):
    for name in [m for m in sys.modules if m == module or m.startswith(module + ".")]:
        monkeypatch.setitem(sys.modules, name, None)
    monkeypatch.setitem(sys.modules, module, None)
    with pytest.raises(
        ImportError,
        match=rf"needs {module}, which is not installed; install it with: pip install "
        rf"{module} \(or pip install 'velmarin\[graph\]'",
    ):
        call(make_graph([(0, 0, 0)], []), tmp_path)
