"""Running the graph build from plain tuples and reading its result back as
rows: (centroids, edges, wire contacts), edges as
(node_a, node_b, shared_area, (x, y, z), contact_type), followed for the
walls build (a `wall_thickness` given) by its attributes wall_thickness,
opening_area and apertures."""

import math
import os
import sys

import pytest

from velmarin import Mesh, SpatialRegistry, Vector3D, Wire

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
    centroids, edges, contacts = run([[list(p) for p in m[0]] for m in meshes], [m[1] for m in meshes],
                                     [list(s) + list(e) for s, e in wires],
                                     [[list(p) for p in a[0]] for a in apertures], [a[1] for a in apertures],
                                     tolerance, *extra)
    lists = (lambda positions: (positions,)) if extra else (lambda positions: ())
    rows = [(a, b, area, (x, y, z), kind, *numbers, *lists(positions))
            for a, b, area, x, y, z, kind, numbers, positions in edges]
    return centroids, rows, contacts


def _public_rows(meshes, wires, apertures, tolerance, wall_thickness, slab_thickness):
    registry = SpatialRegistry([mesh(*m) for m in meshes], [wire(*w) for w in wires],
                               [mesh(*a) for a in apertures])
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
        edges.append((e.node_a, e.node_b, e.shared_area, (c.x, c.y, c.z), e.contact_type,
                      *(e.get_attribute(k) for k in numbers)))
    return centroids, edges, [(w.wire_index, w.mesh_index) for w in graph.wire_contacts]


def graph_rows(meshes, wires=(), apertures=(), tolerance=0.01, search="public", wall_thickness=None,
               slab_thickness=None):
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
    close = [math.isclose(a, b, rel_tol=tol, abs_tol=tol) for a, b in zip((e[2], *e[3], *e[5:7]), (f[2], *f[3], *f[5:7]))]
    return (e[0], e[1], e[4], len(e), e[7:]) == (f[0], f[1], f[4], len(f), f[7:]) and all(close)


def edge_key(e):
    return (e[0], e[1], e[4], round(e[2], 5)) + tuple(round(c, 5) for c in e[3])


def assert_same_edges(actual, expected, tol=1e-7):
    """Equal as multisets, within `tol`."""
    assert len(actual) == len(expected), (actual, expected)
    for e, f in zip(sorted(actual, key=edge_key), sorted(expected, key=edge_key)):
        assert same_edge(e, f, tol), (e, f)


