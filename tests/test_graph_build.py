"""The graph build: nodes, wall and slab contacts, apertures, tolerances, and
random buildings whose graph is worked out independently."""

import math
import random
from fractions import Fraction

import pytest

from building_support import (
    BOX_FACES,
    Room,
    as_plain,
    awkward_apertures,
    expected_contacts,
    random_building,
    subdivided,
)
from graph_support import assert_same_edges, graph_rows, mesh, needs_probe, wire
from helpers import assert_noted, internal_fault
from velmarin import SpatialRegistry


def cube(x=0.0, y=0.0, z=0.0, size=1.0):
    return Room((x, y, z), (x + size, y + size, z + size)).points(), [list(f) for f in BOX_FACES]


def square_x(at, y0, z0, y1, z1):
    """An aperture of one face in the plane x = at."""
    return [(at, y0, z0), (at, y1, z0), (at, y1, z1), (at, y0, z1)], [[0, 1, 2, 3]]


def edges_of(meshes, apertures=(), tolerance=0.01, search="public"):
    return graph_rows(meshes, (), apertures, tolerance, search)[1]


WALL = "VerticalWallContact"
SLAB = "HorizontalSlabContact"


def test_two_cubes_side_by_side():
    centroids, edges, contacts = graph_rows([cube(), cube(x=1)])
    assert centroids == [(0.5, 0.5, 0.5), (1.5, 0.5, 0.5)]
    assert_same_edges(edges, [(0, 1, 1.0, (1.0, 0.5, 0.5), WALL)])
    assert contacts == []


def test_stacked_cubes_meet_in_a_slab():
    assert_same_edges(edges_of([cube(), cube(z=1)]), [(0, 1, 1.0, (0.5, 0.5, 1.0), SLAB)])


def test_swapping_meshes_swaps_node_indices():
    assert_same_edges(edges_of([cube(z=1), cube(x=5), cube()]), [(0, 2, 1.0, (0.5, 0.5, 1.0), SLAB)])


@pytest.mark.parametrize("tolerance", [0.0, -0.01, math.nan, math.inf])
def test_tolerances_that_join_nothing(tolerance):
    centroids, edges, _ = graph_rows([cube(), cube(x=1)], tolerance=tolerance)
    assert len(centroids) == 2 and edges == []


@pytest.mark.parametrize(
    "aperture, area, centroid",
    [
        (square_x(1, 0.25, 0.25, 0.75, 0.75), 0.75, (1, 0.5, 0.5)),
        (square_x(1, 0, 0, 0.5, 1), 0.5, (1, 0.75, 0.5)),
        (square_x(1.005, 0, 0, 0.5, 1), 0.5, (1, 0.75, 0.5)),  # half the tolerance off the plane: cut
        (square_x(1.02, 0, 0, 0.5, 1), 1.0, (1, 0.5, 0.5)),  # twice the tolerance off: ignored
        (square_x(1, 3, 3, 4, 4), 1.0, (1, 0.5, 0.5)),  # elsewhere in the plane
    ],
)
def test_apertures_are_cut_from_contacts(aperture, area, centroid):
    assert_same_edges(edges_of([cube(), cube(x=1)], [aperture]), [(0, 1, area, centroid, WALL)])


# An aperture so far out that its distance squared overflows hides none of the others.
@pytest.mark.parametrize("elsewhere", [[], [square_x(1e200, 0, 0, 1, 1)]])
def test_an_aperture_covering_the_wall_removes_the_contact(elsewhere):
    assert edges_of([cube(), cube(x=1)], [square_x(1, -1, -1, 2, 2)] + elsewhere) == []


def test_apertures_are_subtracted_one_after_another():
    halves = [square_x(1, 0, 0, 0.5, 1), square_x(1, 0.25, 0, 1, 0.5)]
    assert_same_edges(edges_of([cube(), cube(x=1)], halves), [(0, 1, 0.25, (1, 0.75, 0.75), WALL)])


@pytest.mark.parametrize("gap, touching", [(0.005, True), (0.015, False)])
def test_parallel_faces_within_the_tolerance_touch(gap, touching):
    edges = edges_of([cube(), cube(x=1 + gap)])
    assert len(edges) == (1 if touching else 0)


def test_cubes_touching_along_an_edge_or_at_a_corner_do_not_touch():
    assert edges_of([cube(), cube(x=1, y=1)]) == []
    assert edges_of([cube(), cube(x=1, y=1, z=1)]) == []


def test_twin_cubes_touch_through_every_face():
    edges = edges_of([cube(), cube()])
    assert [e[:2] + (e[2],) for e in edges] == [(0, 1, 1.0)] * 6
    assert sorted(e[4] for e in edges) == [SLAB] * 2 + [WALL] * 4
    # grouped by the faces of mesh 0 in face order: bottom, top, then the walls
    assert [e[4] for e in edges[:2]] == [SLAB, SLAB]


def test_overlapping_floors_facing_the_same_way_touch():
    flat = [(0, 0, 0), (2, 0, 0), (2, 2, 0), (0, 2, 0)], [[0, 1, 2, 3]]
    shifted = [(1, 1, 0), (3, 1, 0), (3, 3, 0), (1, 3, 0)], [[0, 1, 2, 3]]
    assert_same_edges(edges_of([flat, shifted]), [(0, 1, 1.0, (1.5, 1.5, 0.0), SLAB)])


def test_a_wall_of_two_faces_gives_two_edges():
    points, faces = cube()
    points = points + [(1, 0.5, 0), (1, 0.5, 1)]  # 8, 9 split the face x = 1
    faces = [f for f in faces if f != [1, 2, 6, 5]] + [[1, 8, 9, 5], [8, 2, 6, 9]]
    assert_same_edges(
        edges_of([(points, faces), cube(x=1)]), [(0, 1, 0.5, (1, 0.25, 0.5), WALL), (0, 1, 0.5, (1, 0.75, 0.5), WALL)]
    )


def test_the_contact_type_follows_the_slope_of_the_face():
    # A cube cut along z = x into two wedges: their common face slopes at 45 degrees.
    low = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (1, 0, 1), (1, 1, 1)]
    low_faces = [[0, 3, 2, 1], [1, 2, 5, 4], [0, 1, 4], [3, 5, 2], [0, 4, 5, 3]]
    high = [(0, 0, 0), (0, 1, 0), (1, 0, 1), (1, 1, 1), (0, 0, 1), (0, 1, 1)]
    high_faces = [[0, 2, 3, 1], [4, 5, 3, 2], [0, 4, 2], [1, 3, 5], [0, 1, 5, 4]]
    edges = edges_of([(low, low_faces), (high, high_faces)])
    assert_same_edges(edges, [(0, 1, math.sqrt(2), (0.5, 0.5, 0.5), SLAB)])
    # Steeper (|n.z| = 1/sqrt(5)): a wall.
    low2 = [(x, y, 2 * z) for x, y, z in low]
    high2 = [(x, y, 2 * z) for x, y, z in high]
    assert [e[4] for e in edges_of([(low2, low_faces), (high2, high_faces)])] == [WALL]


def test_small_registries():
    assert graph_rows([]) == ([], [], [])
    centroids, edges, _ = graph_rows([cube()])
    assert centroids == [(0.5, 0.5, 0.5)] and edges == []
    centroids, _, _ = graph_rows([([], []), cube()])
    assert all(math.isnan(c) for c in centroids[0])


@pytest.mark.parametrize("search", ["public", "literal"])
@pytest.mark.parametrize("wall_thickness", [None, 0.0, 0.5])  # and the build across walls
def test_cells_with_coordinates_that_are_not_finite_touch_nothing(search, wall_thickness):
    points, faces = cube()
    nowhere = [(math.nan, math.nan, math.nan)] * 8
    everywhere = [tuple(math.copysign(math.inf, c - 0.5) for c in p) for p in points]
    half = [(math.nan if k == 0 else p[0], p[1], p[2]) for k, p in enumerate(cube(x=-1)[0])]
    meshes = [cube(), (nowhere, faces), (everywhere, faces), (half, faces), cube(x=1), cube(z=1)]
    centroids, edges, _ = graph_rows(meshes, tolerance=0.01, search=search, wall_thickness=wall_thickness)
    assert all(math.isnan(c) for c in centroids[1])
    # the half-broken cell still touches through its faces that keep a plane
    assert sorted((e[0], e[1], e[4]) for e in edges) == [(0, 3, WALL), (0, 4, WALL), (0, 5, SLAB)]


def test_every_vertex_counts_in_the_centroid():
    points, faces = cube()
    assert graph_rows([(points + [(14, 14, 14)], faces)])[0] == [(2.0, 2.0, 2.0)]


def test_each_build_makes_a_new_graph_that_keeps_no_link_to_the_registry():
    registry = SpatialRegistry([mesh(*cube()), mesh(*cube(x=1))], [wire((0.5, 0.5, 0), (0.5, 0.5, 1))], [])
    first, second = registry.build_spatial_graph(0.01), registry.build_spatial_graph(tolerance=0.01)
    assert first.nodes[0] is not second.nodes[0] and first.edges[0] is not second.edges[0]
    assert [n.index for n in first.nodes] == [n.index for n in second.nodes] == [0, 1]
    assert first.edges[0].get_all_attributes() == {}
    registry.wires = []
    registry.meshes = []
    assert [(c.wire_index, c.mesh_index) for c in first.wire_contacts] == [(0, 0)]
    assert len(first.nodes) == 1 + len(first.edges) == 2


def test_the_tolerance_argument():
    registry = SpatialRegistry([mesh(*cube()), mesh(*cube(x=1))], [], [])
    assert len(registry.build_spatial_graph(Fraction(1, 100)).edges) == 1
    with pytest.raises(TypeError) as info:
        registry.build_spatial_graph("0.01")
    assert_noted(info.value, "tolerance")


# --- random buildings ----------------------------------------------------------------


def assert_matches_expected(edges, expected):
    """Grouped by node_a ascending; within node_a by the faces of mesh node_a in
    face order, each face's contacts equal as a multiset."""
    position = 0
    for a, per_face in enumerate(expected):
        for found in per_face:
            block = edges[position : position + len(found)]
            assert all(e[0] == a for e in block), (a, block)
            assert_same_edges(block, [(a, b, area, c, kind) for b, area, c, kind in found], tol=1e-6)
            position += len(found)
    assert position == len(edges)


@pytest.mark.parametrize("seed", range(12))
def test_random_buildings_give_the_expected_graph(seed):
    rng = random.Random(seed)
    tolerance = rng.choice([0.01, 0.05])
    building = random_building(rng, tolerance=tolerance)
    meshes, wires, apertures = as_plain(building)
    centroids, edges, _ = graph_rows(meshes, wires, apertures, tolerance)
    assert len(centroids) == len(building.rooms)
    assert_matches_expected(edges, expected_contacts(building, tolerance))


@needs_probe
@pytest.mark.parametrize("seed", range(8))
def test_the_indexed_search_agrees_with_the_literal_one(seed):
    rng = random.Random(1000 + seed)
    tolerance = 0.05
    building = random_building(rng, width=7, depth=6, storeys=3, rooms_per_storey=7, openings=25, tolerance=tolerance)
    meshes, wires, apertures = as_plain(building)
    apertures += awkward_apertures(rng, tolerance)
    # Rooms of many faces ask the face index per face, boxes once per room.
    meshes[:4] = [subdivided(*room, 4) for room in meshes[:4]]
    literal = graph_rows(meshes, wires, apertures, tolerance, search="literal")
    public = graph_rows(meshes, wires, apertures, tolerance)
    assert public[0] == literal[0] and public[2] == literal[2]
    # the same edges in the same order, up to the overlay's rounding grid
    assert len(public[1]) == len(literal[1])
    for e, f in zip(public[1], literal[1]):
        assert e[:2] == f[:2]
    assert_same_edges(public[1], literal[1], tol=1e-6)


# --- broken meshes, which only the test-support module can make -------------------------


@needs_probe
@pytest.mark.parametrize("search", ["indexed", "literal"])
def test_a_fault_in_the_build_reaches_the_caller(search):
    # An aperture face refers to a vertex its mesh does not have. The literal
    # search meets it inside the parallel tasks (the one of each touching
    # pair), the indexed one while it indexes the apertures.
    meshes = [cube(x=k) for k in range(40)]
    broken = ([(1, 0, 0), (1, 1, 0), (1, 1, 1)], [[0, 1, 2], [0, 1, 7]])
    text = internal_fault(lambda: graph_rows(meshes, apertures=[broken], search=search))
    assert "out of range" in text
    # A tolerance that joins nothing skips the face stages altogether.
    assert graph_rows(meshes, apertures=[broken], tolerance=0.0, search=search)[1] == []


@needs_probe
@pytest.mark.parametrize("search", ["indexed", "literal"])
def test_a_face_without_vertices_stops_the_wire_stage(search):
    broken = (cube()[0], cube()[1] + [[]])
    text = internal_fault(lambda: graph_rows([broken], [((0.5, 0.5, 0), (0.5, 0.5, 1))], search=search))
    assert "without vertices" in text
    assert graph_rows([broken], search=search)[2] == []  # no wire, no wire test
    # The stages before the contacts run side by side; when two of them fail,
    # the caller hears of the one that comes first, the wire stage's.
    aperture = ([(1, 0, 0), (1, 1, 0), (1, 1, 1)], [[0, 1, 7]])
    column = [((0.5, 0.5, 0), (0.5, 0.5, 1))]
    for _ in range(5):
        text = internal_fault(lambda: graph_rows([broken, cube(x=1)], column, apertures=[aperture], search=search))
        assert "without vertices" in text
