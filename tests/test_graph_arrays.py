"""SpatialGraph.to_arrays and SpatialGraph.from_arrays, checked against the
graph's objects read one by one."""

import gc
import random
import struct
import sys

import pytest

from building_support import as_plain, random_building
from graph_support import mesh, run_while_written, set_every_kind, wire
from helpers import assert_noted
from support.building import generate_building
from velmarin import GraphEdge, GraphNode, SpatialGraph, SpatialRegistry, Vector3D

np = pytest.importorskip("numpy")


def bits(x):
    return struct.pack("<d", x)


def point(v):
    return bits(v.x) + bits(v.y) + bits(v.z)


def present(attributes):
    """The attributes a record holds, by the identity of their values (None reads as not set)."""
    return {key: id(value) for key, value in attributes.items() if value is not None}


def walked(graph):
    """What the graph holds, read object by object."""
    return (
        [(n.index, point(n.centroid), present(n.get_all_attributes())) for n in graph.nodes],
        [
            (
                e.node_a,
                e.node_b,
                bits(e.shared_area),
                point(e.contact_centroid),
                e.contact_type,
                present(e.get_all_attributes()),
            )
            for e in graph.edges
        ],
        [(w.wire_index, w.mesh_index) for w in graph.wire_contacts],
    )


def read(arrays):
    """The same from the arrays, with their layout checked."""
    nodes, edges, contacts = arrays["nodes"], arrays["edges"], arrays["wire_contacts"]
    n, m = len(nodes["index"]), len(edges["node_a"])
    assert nodes["centroid"].shape == (n, 3) and edges["contact_centroid"].shape == (m, 3)
    assert contacts.shape == (len(contacts), 2) and edges["contact_type"].dtype == object
    for side, count in ((nodes, n), (edges, m)):
        assert list(side["attributes"]) == sorted(side["attributes"])
        assert all(c.dtype == object and c.shape == (count,) for c in side["attributes"].values())

    def attributes(side, i):
        return present({key: column[i] for key, column in side["attributes"].items()})

    return (
        [(int(nodes["index"][i]), nodes["centroid"][i].tobytes(), attributes(nodes, i)) for i in range(n)],
        [
            (
                int(edges["node_a"][i]),
                int(edges["node_b"][i]),
                edges["shared_area"][i].tobytes(),
                edges["contact_centroid"][i].tobytes(),
                edges["contact_type"][i],
                attributes(edges, i),
            )
            for i in range(m)
        ],
        [tuple(map(int, row)) for row in contacts],
    )


def built_graphs():
    rng = random.Random(18)
    plain = generate_building(300, seed=1).registry().build_spatial_graph(0.01)
    walls = generate_building(300, seed=2, wall_thickness=0.2).registry().build_spatial_graph_with_walls(0.01, 0.25)
    meshes, wires, apertures = as_plain(random_building(rng, wall=0.25, shafts=2))
    shafts = SpatialRegistry(
        [mesh(*m) for m in meshes], [wire(*w) for w in wires], [mesh(*a) for a in apertures]
    ).build_spatial_graph_with_walls(0.01, 0.3)
    return [set_every_kind(g, rng) for g in (plain, walls, shafts)]


def hand_built():
    """Positions beyond int64 and beyond the nodes, one node twice, NaN
    payloads and -0.0, odd texts, and the wire contacts of a built graph."""
    nan = struct.unpack("<d", struct.pack("<Q", 0x7FF4000000000ABC))[0]
    a, b = GraphNode(2**64 - 1, Vector3D(nan, -0.0, 1e-310)), GraphNode(0, Vector3D(1, 2, 3))
    edges = [
        GraphEdge(0, 5, -0.0, Vector3D(0, 0, 0), ""),
        GraphEdge(2**63, 1, nan, Vector3D(nan, 0, 0), "a\x00b"),
        GraphEdge(1, 0, 1.0, Vector3D(0, 0, 0), "é"),
    ]
    a.set_attribute("k", None)  # a key whose only value is None
    contacts = generate_building(20, seed=3, column_ratio=1.0).registry().build_spatial_graph(0.01).wire_contacts
    return SpatialGraph([a, b, a], edges, contacts)


def arrays_bytes(arrays):
    return [
        (a.dtype.str, a.shape, a.tobytes())
        for a in (
            arrays["nodes"]["index"],
            arrays["nodes"]["centroid"],
            arrays["edges"]["node_a"],
            arrays["edges"]["node_b"],
            arrays["edges"]["shared_area"],
            arrays["edges"]["contact_centroid"],
            arrays["wire_contacts"],
        )
    ]


@pytest.mark.parametrize("graph", built_graphs() + [hand_built(), SpatialGraph([], [], [])])
def test_arrays_hold_what_the_objects_hold_and_make_the_same_graph(graph):
    arrays = graph.to_arrays()
    assert read(arrays) == walked(graph)
    wide = {"index": graph.nodes, "node_a": graph.edges}
    for side, first in (("nodes", "index"), ("edges", "node_a")):
        large = any(getattr(item, first) >= 2**63 for item in wide[first])
        assert arrays[side][first].dtype == (np.uint64 if large else np.int64)
    for side, items in (("nodes", graph.nodes), ("edges", graph.edges)):
        assert set(arrays[side]["attributes"]) == {key for item in items for key in item.get_all_attributes()}
    again = SpatialGraph.from_arrays(arrays)
    assert walked(again) == walked(graph)
    assert arrays_bytes(again.to_arrays()) == arrays_bytes(arrays)
    assert not set(map(id, again.nodes + again.edges)) & set(map(id, graph.nodes + graph.edges))


def test_arrays_are_new_and_read_in_full():
    graph = built_graphs()[0]
    before = walked(graph)
    arrays = graph.to_arrays()
    made = SpatialGraph.from_arrays(arrays)
    made_before = walked(made)
    arrays["nodes"]["centroid"][:] = 7.0
    arrays["edges"]["node_a"][:] = 0
    arrays["edges"]["contact_type"][:] = "x"
    next(iter(arrays["nodes"]["attributes"].values()))[:] = "changed"
    assert walked(graph) == before and walked(made) == made_before


def test_other_layouts_give_the_same_graph():
    graph = built_graphs()[1]
    arrays = graph.to_arrays()
    nodes, edges = arrays["nodes"], arrays["edges"]
    other = {
        "nodes": {
            "index": nodes["index"].astype(np.uint32),
            "centroid": nodes["centroid"].tolist(),
            "attributes": {k: tuple(v) for k, v in nodes["attributes"].items()},
        },
        "edges": {
            "node_a": edges["node_a"].tolist(),
            "node_b": np.asfortranarray(edges["node_b"]),
            "shared_area": edges["shared_area"][::-1][::-1],
            "contact_centroid": edges["contact_centroid"].T.T,
            "contact_type": edges["contact_type"].astype(str),
            "attributes": {k: list(v) for k, v in edges["attributes"].items()},
        },
        "wire_contacts": arrays["wire_contacts"].tolist(),
    }
    assert walked(SpatialGraph.from_arrays(other)) == walked(graph)
    del other["nodes"]["attributes"], other["edges"]["attributes"]
    bare = SpatialGraph.from_arrays(other)
    assert all(not item.get_all_attributes() for item in bare.nodes + bare.edges)
    floats = SpatialGraph.from_arrays(
        {**other, "nodes": {**other["nodes"], "attributes": {"h": np.arange(len(graph.nodes)) * 0.5}}}
    )
    assert floats.nodes[3].get_attribute("h") == 1.5 and type(floats.nodes[3].get_attribute("h")) is float


class Twin(str):
    """A key that is its own only equal, so that a dict holds two of one text."""

    __eq__ = object.__eq__
    __hash__ = object.__hash__


def with_change(path, value):
    """A small graph's arrays with the entry at `path` replaced (deleted when value is DELETE)."""
    graph = SpatialGraph(
        [GraphNode(i, Vector3D(i, 0, 0)) for i in range(3)],
        [GraphEdge(0, 1, 1.0, Vector3D(0, 0, 0), "w"), GraphEdge(1, 2, 1.0, Vector3D(0, 0, 0), "w")],
        [],
    )
    graph.nodes[0].set_attribute("name", "hall")
    arrays = graph.to_arrays()
    if not path:
        return value
    holder = arrays
    for key in path[:-1]:
        holder = holder[key]
    if value is DELETE:
        del holder[path[-1]]
    else:
        holder[path[-1]] = value
    return arrays


DELETE = object()
N, E = "arrays['nodes']", "arrays['edges']"
BAD_INPUT = [
    ((), [], TypeError, "arrays must be a dict; got list"),
    (("nodes",), DELETE, ValueError, "arrays has no 'nodes'"),
    (("graph",), {}, ValueError, "arrays has the unknown key 'graph'"),
    ((7,), {}, ValueError, "arrays has the unknown key 7"),
    (("nodes",), [], TypeError, f"{N} must be a dict; got list"),
    (("nodes", "centroid"), DELETE, ValueError, f"{N} has no 'centroid'"),
    (("nodes", "atributes"), {}, ValueError, f"{N} has the unknown key 'atributes'"),
    (("nodes", "index"), np.zeros(3), TypeError, f"{N}['index'] must hold integers; numpy reads them as float64"),
    (
        ("nodes", "index"),
        np.zeros((3, 1), int),
        ValueError,
        f"{N}['index'] must have the shape (n,); numpy reads them as (3, 1)",
    ),
    (("nodes", "index"), [0, 1, -1], ValueError, f"{N}['index'] holds the negative value -1 in row 2"),
    (
        ("nodes", "centroid"),
        np.zeros((3, 2)),
        ValueError,
        f"{N}['centroid'] must have the shape (n, 3); numpy reads them as (3, 2)",
    ),
    (
        ("nodes", "centroid"),
        np.zeros((3, 3), complex),
        TypeError,
        f"{N}['centroid'] must hold real numbers; numpy reads them as complex128",
    ),
    (("nodes", "centroid"), np.zeros((2, 3)), ValueError, f"{N}['centroid'] has length 2; {N}['index'] has length 3"),
    (("edges", "node_b"), [1], ValueError, f"{E}['node_b'] has length 1; {E}['node_a'] has length 2"),
    (
        ("edges", "shared_area"),
        [True, False],
        TypeError,
        f"{E}['shared_area'] must hold real numbers; numpy reads them as bool",
    ),
    (("edges", "contact_type"), [1, 2], TypeError, f"{E}['contact_type'] must hold str; item 0 is int"),
    (("edges", "contact_type"), "ww", TypeError, f"{E}['contact_type'] must be a list, a tuple or an array; got str"),
    (
        ("edges", "contact_type"),
        np.array([["w"], ["w"]]),
        ValueError,
        f"{E}['contact_type'] must be one-dimensional; numpy reads them as (2, 1)",
    ),
    (("nodes", "attributes"), [], TypeError, f"{N}['attributes'] must be a dict; got list"),
    (
        ("nodes", "attributes", "name"),
        ["hall", None],
        ValueError,
        f"{N}['attributes']['name'] has length 2; {N}['index'] has length 3",
    ),
    (
        ("nodes", "attributes", "name"),
        {1, 2, 3},
        TypeError,
        f"{N}['attributes']['name'] must be a list, a tuple or an array; got set",
    ),
    (("edges", "attributes", 5), [1, 2], TypeError, f"{E}['attributes'] keys must be str; got int"),
    (
        ("edges", "attributes"),
        {Twin("k"): [1, 2], Twin("k"): [3, 4]},
        ValueError,
        f"{E}['attributes'] holds the key 'k' twice",
    ),
    (("edges", "attributes", "\ud800"), [1, 2], UnicodeEncodeError, None),
    (
        ("wire_contacts",),
        np.zeros((2, 3), int),
        ValueError,
        "arrays['wire_contacts'] must have the shape (k, 2); numpy reads them as (2, 3)",
    ),
    (("wire_contacts",), [[0, 1], [2, -4]], ValueError, "arrays['wire_contacts'] holds the negative value -4 in row 1"),
]


@pytest.mark.parametrize("path, value, error, text", BAD_INPUT)
def test_bad_input_is_refused_naming_what_is_wrong(path, value, error, text):
    with pytest.raises(error) as caught:
        SpatialGraph.from_arrays(with_change(path, value))
    assert text is None or str(caught.value) == text
    assert_noted(caught.value, "arrays")


def test_a_node_written_during_the_read_is_an_internal_fault(capfd):
    graph = SpatialGraph([GraphNode(0, Vector3D(0, 0, 0))], [GraphEdge(0, 1, 0.0, Vector3D(0, 0, 0), "")], [])
    for written in (graph.nodes[0], graph.edges[0]):
        reported = run_while_written(written, graph.to_arrays)
        assert [type(r.exc_value).__name__ for r in reported] == ["PanicException"]
        assert gc.isenabled()  # paused for the read, and running again after the fault
    capfd.readouterr()


def test_the_collector_is_left_as_it_was():
    graph = built_graphs()[1]
    gc.disable()
    try:
        graph.to_arrays()
        assert not gc.isenabled()
    finally:
        gc.enable()
    graph.to_arrays()
    assert gc.isenabled()


def test_numpy_is_named_when_missing(monkeypatch):
    arrays = SpatialGraph([], [], []).to_arrays()
    monkeypatch.setitem(sys.modules, "numpy", None)
    for call, name in (
        (lambda: SpatialGraph([], [], []).to_arrays(), "to_arrays"),
        (lambda: SpatialGraph.from_arrays(arrays), "from_arrays"),
    ):
        with pytest.raises(ImportError) as caught:
            call()
        assert caught.value.args == (f"SpatialGraph.{name}() needs numpy: install it with 'pip install numpy'",)


def test_signatures():
    assert SpatialGraph.to_arrays.__text_signature__ == "($self)"
    assert SpatialGraph.from_arrays.__text_signature__ == "(arrays)"
