"""Running the graph build from plain tuples and reading its result back as
rows: (centroids, edges, wire contacts), edges as
(node_a, node_b, shared_area, (x, y, z), contact_type), followed for the
walls build (a `wall_thickness` given) by its attributes wall_thickness,
opening_area and apertures."""

import enum
import math
import os
import struct
import sys

import pytest

from velmarin import GraphEdge, GraphNode, Mesh, SpatialGraph, SpatialRegistry, Vector3D, Wire

if os.environ.get("VELMARIN_PROBE_DIR"):
    sys.path.insert(0, os.environ["VELMARIN_PROBE_DIR"])
try:
    import _velmarin_probe as probe
except ImportError:
    probe = None

needs_probe = pytest.mark.skipif(probe is None, reason="needs the test-support module (make test builds it)")


def mesh(points, faces):
    return Mesh([Vector3D(*p) for p in points], faces)


def wire(start, end):
    return Wire(Vector3D(*start), Vector3D(*end))


WALL_ATTRIBUTES = ("wall_thickness", "opening_area", "apertures")


def _probe_rows(search, meshes, wires, apertures, tolerance, wall_thickness, slab_thickness):
    literal = search == "literal"
    if wall_thickness is None:
        run = probe.graph_build_literal if literal else probe.graph_build_indexed
        extra = ()
    else:
        run = probe.graph_build_walls_literal if literal else probe.graph_build_walls_indexed
        extra = (wall_thickness, slab_thickness)
    centroids, edges, contacts = run(
        [[list(p) for p in m[0]] for m in meshes],
        [m[1] for m in meshes],
        [list(s) + list(e) for s, e in wires],
        [[list(p) for p in a[0]] for a in apertures],
        [a[1] for a in apertures],
        tolerance,
        *extra,
    )
    lists = (lambda positions: (positions,)) if extra else (lambda positions: ())
    rows = [
        (a, b, area, (x, y, z), kind, *numbers, *lists(positions))
        for a, b, area, x, y, z, kind, numbers, positions in edges
    ]
    return centroids, rows, contacts


def _public_rows(meshes, wires, apertures, tolerance, wall_thickness, slab_thickness):
    registry = SpatialRegistry([mesh(*m) for m in meshes], [wire(*w) for w in wires], [mesh(*a) for a in apertures])
    if wall_thickness is None:
        graph, numbers = registry.build_spatial_graph(tolerance), ()
    else:
        graph = registry.build_spatial_graph_with_walls(tolerance, wall_thickness, slab_thickness)
        numbers = WALL_ATTRIBUTES
    centroids = []
    for i, node in enumerate(graph.nodes):
        assert node.index == i
        c = node.centroid
        centroids.append((c.x, c.y, c.z))
    edges = []
    for e in graph.edges:
        c = e.contact_centroid
        assert sorted(e.get_all_attributes()) == sorted(numbers)
        edges.append(
            (e.node_a, e.node_b, e.shared_area, (c.x, c.y, c.z), e.contact_type, *(e.get_attribute(k) for k in numbers))
        )
    return centroids, edges, [(w.wire_index, w.mesh_index) for w in graph.wire_contacts]


def graph_rows(
    meshes, wires=(), apertures=(), tolerance=0.01, search="public", wall_thickness=None, slab_thickness=None
):
    """meshes and apertures as (points, faces), wires as (start, end); the
    walls build when `wall_thickness` is given."""
    if search == "public":
        return _public_rows(meshes, wires, apertures, tolerance, wall_thickness, slab_thickness)
    if probe is None:
        pytest.skip("needs the test-support module")
    return _probe_rows(search, meshes, wires, apertures, tolerance, wall_thickness, slab_thickness)


def same_edge(e, f, tol=1e-7):
    """Equal ends, kinds, number of fields and aperture lists; the numbers
    within `tol`."""
    close = [
        math.isclose(a, b, rel_tol=tol, abs_tol=tol) for a, b in zip((e[2], *e[3], *e[5:7]), (f[2], *f[3], *f[5:7]))
    ]
    return (e[0], e[1], e[4], len(e), e[7:]) == (f[0], f[1], f[4], len(f), f[7:]) and all(close)


def edge_key(e):
    return (e[0], e[1], e[4], round(e[2], 5)) + tuple(round(c, 5) for c in e[3])


def assert_same_edges(actual, expected, tol=1e-7):
    """Equal as multisets, within `tol`."""
    assert len(actual) == len(expected), (actual, expected)
    for e, f in zip(sorted(actual, key=edge_key), sorted(expected, key=edge_key)):
        assert same_edge(e, f, tol), (e, f)


def assert_searches_agree(indexed, literal, tolerance, tol=1e-6):
    """The rows of the indexed and the literal search give the same graph,
    the numbers within `tol` (the overlay's rounding), but for edges whose
    area before the openings lies within `tol` of the tolerance: the two
    searches round their regions by other steps, so either may find such an
    edge alone."""
    assert indexed[0] == literal[0] and indexed[2] == literal[2]

    def clear(edges):  # the area before the openings: what is left and, across walls, what they took
        return [e for e in edges if not math.isclose(e[2] + (e[6] if len(e) > 5 else 0.0), tolerance, abs_tol=tol)]

    indexed, literal = clear(indexed[1]), clear(literal[1])
    assert [e[:2] for e in indexed] == [e[:2] for e in literal]
    assert_same_edges(indexed, literal, tol)


# --- hand-made graphs ----------------------------------------------------------------


def make_graph(centroids, ends):
    nodes = [GraphNode(i, Vector3D(*c)) for i, c in enumerate(centroids)]
    edges = [GraphEdge(a, b, 1.0, Vector3D(0.0, 0.0, 0.0), "VerticalWallContact") for a, b in ends]
    return SpatialGraph(nodes, edges, [])


def random_coordinate(rng, style):
    if style == "grid":  # many routes of equal cost
        return float(rng.randrange(4))
    if style == "coincident":
        return rng.choice([0.0, 1.0])
    if style == "odd":
        return rng.choice([0.0, 1.0, 2.5, math.nan, math.inf, -math.inf, 1e308, -1e308, 5e-324, -0.0])
    return rng.uniform(-10.0, 10.0)


def random_case(rng):
    n = rng.randint(1, 24)
    style = rng.choice(["grid", "grid", "coincident", "odd", "uniform"])
    centroids = [tuple(random_coordinate(rng, style) for _ in range(3)) for _ in range(n)]
    ends = []
    for _ in range(rng.randint(0, 3 * n)):
        kind = rng.random()
        if kind < 0.05:
            u = rng.randrange(n)
            ends.append((u, u))  # self loop
        elif kind < 0.15 and ends:
            ends.append(rng.choice(ends)[:: rng.choice([1, -1])])  # duplicate, either way round
        elif kind < 0.18:
            # Beyond the node list, also where cutting to 32 bits would land inside it.
            beyond = rng.choice([n + rng.randrange(3), 2**32 + rng.randrange(n), 2**64 - 1])
            ends.append((rng.randrange(n), beyond)[:: rng.choice([1, -1])])
        else:
            # Mostly within two halves, so that some graphs fall apart.
            half = rng.randrange(2)
            lo, hi = (0, max(1, n // 2)) if half == 0 or n < 2 else (n // 2, n)
            ends.append((rng.randrange(lo, hi), rng.randrange(lo, hi)))
    return centroids, ends


class ReleaseHook:
    """Runs `action` when released, collecting what goes to the unraisable hook."""

    def __init__(self, action):
        self.action = action

    def __del__(self):
        self.action()


def run_while_written(item, action):
    reported = []
    item.set_attribute("k", ReleaseHook(action))
    old_hook, sys.unraisablehook = sys.unraisablehook, reported.append
    try:
        item.set_attribute("k", None)  # the finaliser runs while `item` is exclusively borrowed
    finally:
        sys.unraisablehook = old_hook
    return reported


# --- attributes of every kind ---------------------------------------------------------


def float_of_bits(bits):
    return struct.unpack("<d", struct.pack("<Q", bits))[0]


def exact(value):
    """A form of `value` that compares equal only for equal types and, for
    floats, equal bits (NaN payloads and -0.0 included); numpy arrays by
    dtype, shape and items."""
    if isinstance(value, float):
        return type(value), struct.pack("<d", value)
    if hasattr(value, "dtype") and hasattr(value, "tolist"):  # a numpy array or scalar
        return type(value), value.dtype.str, getattr(value, "shape", ()), exact(value.tolist())
    if isinstance(value, (list, tuple)):
        return type(value), [exact(v) for v in value]
    if isinstance(value, dict):
        return type(value), sorted((exact(k), exact(v)) for k, v in value.items())
    return type(value), value


class Level(enum.IntEnum):
    GROUND = 0
    FIRST = 1


class Marker:
    """A value of a class the tables know nothing of."""

    def __repr__(self):
        return "Marker()"


# Values whose keys agree on one kind (each a typed column in Parquet), by key.
AGREEING = {
    "name": ["hall", "", "é\x00😀"],
    "storey": [0, -7, 2**63 - 1],
    "height": [2.5, -0.0, float_of_bits(0x7FF8000000000123), float_of_bits(0xFFF0000000000000)],
    "open": [True, False],
    "blob": [b"", b"\x00\xff"],
    "tags": [[1, 2], [], [3, None]],
    "names": [["a"], ["b", "c"]],
    "spans": [[1.5, float_of_bits(0x7FF8000000000001)], [None]],
}
# Values of another kind than their key's others, or of kinds no column has.
MIXED = [7, 2.5, "x", None, 2**63, -(2**70), (1, "a"), {"k": [1, 2]}, [[1], [2, 3]], [1, "a"], {1, 2}, "\ud800"]


def set_every_kind(graph, rng):
    """Sets attributes on about two thirds of the graph's nodes and edges:
    the keys of AGREEING with values of their kind, "mixed" with values of
    MIXED, and "index", "length" and "area", names of the exported fields.
    Returns the graph."""
    for item in graph.nodes + graph.edges:
        for key, values in AGREEING.items():
            if rng.random() < 0.6:
                item.set_attribute(key, rng.choice(values))
        for key in ("mixed", "index", "length", "area"):
            if rng.random() < 0.3:
                item.set_attribute(key, rng.choice(MIXED))
    return graph
