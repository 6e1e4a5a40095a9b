"""No reference leaks in conversions and property reads, on success and on failure."""
import gc
import sys

import pytest

from velmarin import Mesh, SpatialRegistry, TopologicalEntity, Vector3D, Wire

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
WALLS = SpatialRegistry([Mesh([P, Q, R], [[0, 1, 2]]),
                         Mesh([Vector3D(0, 0, 0.25), Vector3D(0, 1, 0.25), Vector3D(1, 0, 0.25)], [[0, 1, 2]])], [], [])


class Float:
    def __float__(self):
        return 1.0


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
    "walls build": lambda: WALLS.build_spatial_graph_with_walls(0.01, 0.25).edges[0].get_all_attributes(),
    "bad thickness": failing(lambda: WALLS.build_spatial_graph_with_walls(0.01, -1.0), ValueError),
}


@pytest.mark.parametrize("name", list(ACTIONS))
def test_no_growth(name):
    assert growth(ACTIONS[name]) < ROUNDS // 20


def test_inputs_keep_their_reference_counts():
    items = [P, Q, R]
    counts = [sys.getrefcount(x) for x in items]
    for _ in range(ROUNDS):
        Mesh(items, [[0, 1, 2]])
        Wire(P, Q)
        failing(lambda: Mesh(items + [None], []), TypeError)()
    assert [sys.getrefcount(x) for x in items] == counts
