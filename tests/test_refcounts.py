"""No reference leaks in conversions and property reads, on success and on failure."""

import gc
import sys

import pytest

from velmarin import GraphEdge, GraphNode, Mesh, SpatialGraph, SpatialRegistry, TopologicalEntity, Vector3D, Wire

try:
    import numpy as np
except ImportError:  # the other interpreters' test environments have only pytest
    np = None

ROUNDS = 3000


def growth(action):
    """Allocated interpreter blocks gained over ROUNDS calls of `action`."""
    for _ in range(200):
        action()
    gc.collect()
    before = sys.getallocatedblocks()
    for _ in range(ROUNDS):
        action()
    gc.collect()
    return sys.getallocatedblocks() - before


def failing(call, error):
    def action():
        try:
            call()
        except error:
            pass
        else:
            raise AssertionError("expected a failure")

    return action


P, Q, R = Vector3D(0, 0, 0), Vector3D(1, 0, 0), Vector3D(0, 1, 0)
MESH = Mesh([P, Q, R], [[0, 1, 2]])
WIRE = Wire(P, Q)
ENTITY = TopologicalEntity(1, "Room", 3)
# Two unit squares facing each other across 0.25, their edge with its two float attributes.
WALLS = SpatialRegistry(
    [
        Mesh([P, Q, R], [[0, 1, 2]]),
        Mesh([Vector3D(0, 0, 0.25), Vector3D(0, 1, 0.25), Vector3D(1, 0, 0.25)], [[0, 1, 2]]),
    ],
    [],
    [],
)


class Float:
    def __float__(self):
        return 1.0


class Metres(float):
    pass


class Count(int):
    pass


class Unprintable:
    def __repr__(self):
        raise LookupError


def graph_with(value):
    node, wall = GraphNode(0, P), GraphEdge(0, 1, 2.0, R, "VerticalWallContact")
    for item in (node, wall):
        for key, attribute in {
            "v": value,
            "m": Metres(1.5),
            "l": [1, Count(2), Metres(2.5), 2**64, "x"],
            "t": (),
            "nested": [[1]],
            "n": None,
            "index": 7,
            "c": Count(3),
            "big": -(2**64),
        }.items():
            item.set_attribute(key, attribute)
    return SpatialGraph([node], [wall], [])


GRAPH, UNPRINTABLE = graph_with("x"), graph_with(Unprintable())


ACTIONS = {
    "vector": lambda: Vector3D(1, Float(), 3),
    "wire": lambda: Wire(P, Q),
    "wire reads": lambda: (WIRE.start, WIRE.end),
    "mesh": lambda: Mesh([P, Q, R], [[0, 1, 2], (2, 1, 0)]),
    "mesh reads": lambda: (MESH.vertices, MESH.faces, MESH.compute_volume_centroid()),
    "entity": lambda: TopologicalEntity(2**63, "Space " * 10, None),
    "entity reads": lambda: (ENTITY.id, ENTITY.entity_type, ENTITY.parent_id),
    "keywords": lambda: Vector3D(z=1, y=2, x=3),
    "bad float": failing(lambda: Vector3D(1, 2, "3"), TypeError),
    "bad list item": failing(lambda: Mesh([P, Q, 5], []), TypeError),
    "bad face": failing(lambda: Mesh([P, Q, R], [[0, 1, 2], [0, 1, -1]]), OverflowError),
    "invalid mesh": failing(lambda: Mesh([P, Q, R], [[0, 1, 9]]), IndexError),
    "bad text": failing(lambda: TopologicalEntity(1, "\udc80", None), UnicodeEncodeError),
    "binding": failing(lambda: Vector3D(1, 2, 3, w=4), TypeError),
    "cypher batches": lambda: GRAPH.to_cypher_batches(1),
    "failing repr in batches": failing(lambda: UNPRINTABLE.to_cypher_batches(1), LookupError),
    "no batch size": failing(lambda: GRAPH.to_cypher_batches(0), ValueError),
    "walls build": lambda: WALLS.build_spatial_graph_with_walls(0.01, 0.25).edges[0].get_all_attributes(),
    "bad thickness": failing(lambda: WALLS.build_spatial_graph_with_walls(0.01, -1.0), ValueError),
}

if np is not None:
    POINTS, TRIANGLES = np.zeros((3, 3), dtype=np.float32), np.array([[0, 1, 2]], dtype=np.uint32)
    ACTIONS.update(
        {
            "mesh from arrays": lambda: Mesh.from_arrays(POINTS, TRIANGLES),
            "mesh from arrays and lists": lambda: Mesh.from_arrays(POINTS, [[0, 1, 2], [2, 1, 0, 1]]),
            "mesh to arrays": lambda: (MESH.to_arrays(), Mesh(MESH.vertices, [[0, 1, 2], [0, 1, 2, 0]]).to_arrays()),
            "bad array": failing(lambda: Mesh.from_arrays(POINTS[:, :2], TRIANGLES), ValueError),
            "negative index": failing(lambda: Mesh.from_arrays(POINTS, [[0, -1, 2]]), ValueError),
            "invalid array mesh": failing(lambda: Mesh.from_arrays(POINTS, TRIANGLES + 1), IndexError),
            "graph to arrays": lambda: GRAPH.to_arrays(),
            "graph from arrays": lambda: SpatialGraph.from_arrays(GRAPH_ARRAYS),
            "bad graph arrays": failing(
                lambda: SpatialGraph.from_arrays(
                    {**GRAPH_ARRAYS, "edges": {**GRAPH_ARRAYS["edges"], "attributes": {"v": [1, 2]}}}
                ),
                ValueError,
            ),
        }
    )
    GRAPH_ARRAYS = GRAPH.to_arrays()


@pytest.mark.parametrize("name", list(ACTIONS))
def test_no_growth(name):
    # A leak grows every time; a cache filling up (numpy's, the sanitizer
    # run's allocator) grows once. The better of two measures tells them apart.
    assert min(growth(ACTIONS[name]), growth(ACTIONS[name])) < ROUNDS // 20


def test_inputs_keep_their_reference_counts():
    items = [P, Q, R]
    counts = [sys.getrefcount(x) for x in items]
    for _ in range(ROUNDS):
        Mesh(items, [[0, 1, 2]])
        Wire(P, Q)
        failing(lambda: Mesh(items + [None], []), TypeError)()
    assert [sys.getrefcount(x) for x in items] == counts


@pytest.mark.skipif(np is None, reason="needs numpy")
def test_arrays_keep_their_reference_counts():
    arrays = [np.zeros((3, 3)), np.array([[0, 1, 2]]), np.array([[0, 1, 2]], dtype=object)]
    counts = [sys.getrefcount(x) for x in arrays]
    for _ in range(ROUNDS // 10):
        Mesh.from_arrays(arrays[0], arrays[1])
        Mesh.from_arrays(arrays[0], arrays[2])
        failing(lambda: Mesh.from_arrays(arrays[1].T, arrays[1]), ValueError)()
    assert [sys.getrefcount(x) for x in arrays] == counts
