"""The native graph builds against the pure-Python reference (support.reference_build) on
generated buildings: the same nodes and wire contacts, and the same edges
within each node_a up to the overlay's grid."""

import math
import random

import pytest

from building_support import as_plain, random_building
from support.building import DOOR_HEIGHT, DOOR_WIDTH, generate_building

pytestmark = pytest.mark.external  # numpy, shapely and rtree


@pytest.fixture(scope="module")
def reference():
    from support import reference_build

    return reference_build


def assert_same_graph(reference, meshes, wires, apertures, tolerance, wall_thickness=None, slab_thickness=None):
    """The build without walls, or across walls of `wall_thickness` (and
    slabs of `slab_thickness`)."""
    import velmarin

    def mesh(plain):
        return velmarin.Mesh([velmarin.Vector3D(*p) for p in plain[0]], plain[1])

    registry = velmarin.SpatialRegistry(
        [mesh(m) for m in meshes],
        [velmarin.Wire(velmarin.Vector3D(*a), velmarin.Vector3D(*b)) for a, b in wires],
        [mesh(a) for a in apertures],
    )
    if wall_thickness is None:
        native = registry.build_spatial_graph(tolerance)
        expected = reference.reference_build(meshes, wires, apertures, tolerance)
    else:
        native = registry.build_spatial_graph_with_walls(tolerance, wall_thickness, slab_thickness)
        expected = reference.reference_build_with_walls(
            meshes, wires, apertures, tolerance, wall_thickness, slab_thickness
        )
    assert reference.graph_differences(native, expected) == []
    return native


@pytest.mark.parametrize("seed", [1, 2, 3])
def test_generated_buildings_agree(reference, seed):
    building = generate_building(120, seed, door_ratio=0.8, window_ratio=1.0, column_ratio=0.5)
    graph = assert_same_graph(reference, building.meshes, building.wires, building.apertures, 0.01)
    kinds = {e.contact_type for e in graph.edges}
    assert kinds == {"VerticalWallContact", "HorizontalSlabContact"}
    assert len(graph.wire_contacts) == len(building.wires)
    # Every door lies inside exactly one wall contact and is cut out of it.
    bare = assert_same_graph(reference, building.meshes, [], [], 0.01)
    lost = sum(e.shared_area for e in bare.edges) - sum(e.shared_area for e in graph.edges)
    assert lost == pytest.approx(building.doors * DOOR_WIDTH * DOOR_HEIGHT)


def moved(mesh, offset):
    vertices, faces = mesh
    return [tuple(c + d for c, d in zip(p, offset)) for p in vertices], faces


def test_rooms_moved_off_the_grid_agree(reference):
    # Moves of 0.3 tolerance keep the contacts (with slightly changed areas),
    # moves of 3 tolerances break some; both stay clear of the thresholds.
    tolerance = 0.01
    rng = random.Random(11)
    building = generate_building(90, 4, door_ratio=1.0)
    meshes = [moved(m, [rng.choice((0.0, 0.3, -0.3, 3.0)) * tolerance for _ in range(3)]) for m in building.meshes]
    assert_same_graph(reference, meshes, building.wires, building.apertures, tolerance)


@pytest.mark.parametrize("tolerance", [0.0, -0.01, float("nan"), 0.26])
def test_tolerances_that_give_no_edge_or_large_margins_agree(reference, tolerance):
    building = generate_building(40, 5)
    graph = assert_same_graph(reference, building.meshes, building.wires, building.apertures, tolerance)
    assert (len(graph.edges) > 0) == (tolerance > 0)


def rotated(mesh, turn, tilt):
    """About z by `turn`, then about x by `tilt` (radians)."""
    cz, sz, cx, sx = math.cos(turn), math.sin(turn), math.cos(tilt), math.sin(tilt)
    vertices, faces = mesh
    out = []
    for x, y, z in vertices:
        x, y = cz * x - sz * y, sz * x + cz * y
        y, z = cx * y - sx * z, sx * y + cx * z
        out.append((x, y, z))
    return out, faces


def test_a_turned_and_tilted_building_agrees(reference):
    # Planes off the axes: other frames, offsets that are no longer exact.
    building = generate_building(80, 6, door_ratio=1.0, column_ratio=0.5)
    turn, tilt = 0.3, 0.5
    meshes = [rotated(m, turn, tilt) for m in building.meshes]
    apertures = [rotated(a, turn, tilt) for a in building.apertures]
    wires = [tuple(rotated(([a, b], []), turn, tilt)[0]) for a, b in building.wires]
    graph = assert_same_graph(reference, meshes, wires, apertures, 0.01)
    assert {e.contact_type for e in graph.edges} == {"VerticalWallContact", "HorizontalSlabContact"}
    assert len(graph.wire_contacts) == len(wires)


# --- across walls ---------------------------------------------------------------------


@pytest.mark.parametrize("seed", [1, 2])
def test_a_generated_building_with_walls_agrees(reference, seed):
    building = generate_building(100, seed, door_ratio=0.8, window_ratio=1.0, column_ratio=0.5, wall_thickness=0.2)
    graph = assert_same_graph(reference, building.meshes, building.wires, building.apertures, 0.01, 0.25)
    same_layout = generate_building(100, seed, door_ratio=0.8, window_ratio=1.0, column_ratio=0.5)
    plain = assert_same_graph(reference, same_layout.meshes, [], [], 0.01)
    # The walls hide no neighbour, and the doors spanning them join their rooms.
    assert {(e.node_a, e.node_b) for e in graph.edges} == {(e.node_a, e.node_b) for e in plain.edges}
    doors = [e.get_attribute("opening_area") for e in graph.edges if e.get_attribute("opening_area") > 0]
    assert doors == pytest.approx([DOOR_WIDTH * DOOR_HEIGHT] * building.doors)
    # Each door is listed by the one edge it passes.
    listed = sorted(k for e in graph.edges for k in e.get_attribute("apertures"))
    assert len(listed) == building.doors and len(set(listed)) == building.doors


@pytest.mark.parametrize("seed", range(4))
def test_random_buildings_with_walls_shafts_and_slabs_agree(reference, seed):
    rng = random.Random(300 + seed)
    tolerance, thickness, void = rng.choice([0.01, 0.05]), rng.choice([0.25, 0.5]), 0.5 * (seed % 2)
    building = random_building(rng, openings=12, tolerance=tolerance, wall=thickness, shafts=5, void=void)
    meshes, wires, apertures = as_plain(building)
    # Some walls thicker than the build looks across, some rooms nudged, some
    # slabs and voids within reach of the slab limit.
    meshes = [moved(m, [rng.choice((0.0, 0.0, 0.3, -0.3)) * tolerance for _ in range(3)]) for m in meshes]
    slab = (None, thickness + void, 2 * (thickness + void), thickness / 2)[seed]
    assert_same_graph(reference, meshes, wires, apertures, tolerance, rng.choice([thickness, thickness / 2]), slab)


@pytest.mark.parametrize("tolerance", [1.0, 1.5, float("nan")])
def test_tolerances_that_let_faces_along_other_axes_face_agree(reference, tolerance):
    # From a tolerance of 1 on, normals at right angles pass the normals' test.
    building = generate_building(30, 5, door_ratio=1.0, wall_thickness=0.2)
    meshes = building.meshes + [rotated(m, 0.4, 0.2) for m in building.meshes[:4]]
    assert_same_graph(reference, meshes, [], building.apertures, tolerance, 0.25)


def test_a_turned_and_tilted_building_with_walls_agrees(reference):
    building = generate_building(60, 8, door_ratio=1.0, column_ratio=0.5, wall_thickness=0.3)
    turn, tilt = 0.4, 0.2
    meshes = [rotated(m, turn, tilt) for m in building.meshes]
    apertures = [rotated(a, turn, tilt) for a in building.apertures]
    graph = assert_same_graph(reference, meshes, [], apertures, 0.01, 0.35)
    assert any(e.get_attribute("opening_area") > 0 for e in graph.edges)
