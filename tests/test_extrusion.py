"""The extruded boolean join: pieces, their order and the prisms built from them."""

import math
import random

import pytest

from helpers import assert_noted
from prisms import consistently_oriented, footprint_mesh, prism_ring, rect, ring_area, signed_volume
from velmarin import Mesh, Vector3D, boolean_join_extruded

EMPTY = Mesh([], [])


def join_rings(a, b, z_base=0.0, height=3.0):
    """The join of two footprint rings, as the rings of its checked prisms."""
    prisms = boolean_join_extruded(footprint_mesh(a), footprint_mesh(b), z_base, height)
    return [prism_ring(p, z_base, height) for p in prisms]


def corners(ring):
    return sorted(ring)


def test_half_overlapping_squares_give_three_boxes_in_run_order():
    prisms = boolean_join_extruded(footprint_mesh(rect(0, 0, 1, 1)), footprint_mesh(rect(0.5, 0, 1.5, 1)), 0.0, 3.0)
    assert [len(p.vertices) for p in prisms] == [8, 8, 8]
    assert [len(p.faces) for p in prisms] == [6, 6, 6]
    rings = [prism_ring(p, 0.0, 3.0) for p in prisms]
    assert [corners(r) for r in rings] == [
        corners(rect(0.5, 0, 1, 1)),
        corners(rect(0, 0, 0.5, 1)),
        corners(rect(1, 0, 1.5, 1)),
    ]


@pytest.mark.parametrize("height", [3.0, 0.5])
def test_prisms_face_outward_whatever_the_footprints_direction(height):
    clockwise = rect(0, 0, 2, 1)[::-1]
    prisms = boolean_join_extruded(footprint_mesh(clockwise), footprint_mesh(rect(1, 0, 3, 1)), 1.0, height)
    rings = [prism_ring(prism, 1.0, height) for prism in prisms]
    assert [corners(r) for r in rings] == [
        corners(rect(1, 0, 2, 1)),
        corners(rect(0, 0, 1, 1)),
        corners(rect(2, 0, 3, 1)),
    ]
    for prism, ring in zip(prisms, rings):
        assert ring_area(ring) > 0
        assert consistently_oriented(prism)
        assert signed_volume(prism) == pytest.approx(height)


def test_negative_height_builds_the_same_faces_below_the_base():
    (prism,) = boolean_join_extruded(footprint_mesh(rect(0, 0, 1, 1)), footprint_mesh(rect(0, 0, 1, 1)), 2.0, -2.0)
    prism_ring(prism, 2.0, -2.0)
    assert signed_volume(prism) == pytest.approx(-2.0)


@pytest.mark.parametrize(
    "a, b, expected",
    [
        # Disjoint: no common part; A's prism, then B's.
        (rect(0, 0, 1, 1), rect(3, 0, 4, 1), [rect(0, 0, 1, 1), rect(3, 0, 4, 1)]),
        # Identical: the common part only.
        (rect(0, 0, 2, 1), rect(0, 0, 2, 1)[::-1], [rect(0, 0, 2, 1)]),
        # Touching along an edge: no common part of any area.
        (rect(0, 0, 1, 1), rect(1, 0, 2, 1), [rect(0, 0, 1, 1), rect(1, 0, 2, 1)]),
        # A sliver of area 1e-6 in common is dropped.
        (rect(0, 0, 1, 1), rect(1 - 1e-6, 0, 2, 1), [rect(0, 0, 1 - 1e-6, 1), rect(1, 0, 2, 1)]),
    ],
)
def test_pieces_in_special_layouts(a, b, expected):
    rings = join_rings(a, b)
    assert len(rings) == len(expected)
    for ring, want in zip(rings, expected):
        assert len(ring) == len(want)
        for (x, y), (wx, wy) in zip(corners(ring), corners(want)):
            assert x == pytest.approx(wx, abs=1e-8) and y == pytest.approx(wy, abs=1e-8)


def test_contained_footprint_leaves_a_hole_that_is_not_cut_out():
    inner, outer = rect(1, 1, 2, 2), rect(0, 0, 4, 4)
    rings = join_rings(outer, inner)
    assert [corners(r) for r in rings] == [corners(inner), corners(outer)]
    # The other way round only the common part remains.
    assert [corners(r) for r in join_rings(inner, outer)] == [corners(inner), corners(outer)]


def test_only_the_first_face_in_plan_counts():
    # A cube whose first face is its top; its heights and other faces play no part.
    v = [Vector3D(x, y, z) for z in (5.0, 9.0) for x, y in rect(0, 0, 1, 1)]
    cube = Mesh(v, [[4, 5, 6, 7], [0, 3, 2, 1], [0, 1, 5, 4], [1, 2, 6, 5], [2, 3, 7, 6], [3, 0, 4, 7]])
    rings = [prism_ring(p, 0.0, 1.0) for p in boolean_join_extruded(cube, footprint_mesh(rect(3, 3, 4, 4)), 0.0, 1.0)]
    assert [corners(r) for r in rings] == [corners(rect(0, 0, 1, 1)), corners(rect(3, 3, 4, 4))]


def test_a_vertical_first_face_contributes_no_area():
    wall = Mesh([Vector3D(0, 0, 0), Vector3D(2, 0, 0), Vector3D(2, 0, 3), Vector3D(0, 0, 3)], [[0, 1, 2, 3]])
    rings = [prism_ring(p, 0.0, 1.0) for p in boolean_join_extruded(wall, footprint_mesh(rect(0, 0, 1, 1)), 0.0, 1.0)]
    assert [corners(r) for r in rings] == [corners(rect(0, 0, 1, 1))]


def test_a_mesh_without_faces_is_an_empty_footprint():
    square = footprint_mesh(rect(0, 0, 1, 1))
    for a, b in [(EMPTY, square), (square, EMPTY)]:
        (prism,) = boolean_join_extruded(a, b, 0.0, 1.0)
        assert corners(prism_ring(prism, 0.0, 1.0)) == corners(rect(0, 0, 1, 1))
    # Vertices but no faces: still no footprint.
    loose = Mesh([Vector3D(0, 0, 0), Vector3D(5, 0, 0), Vector3D(5, 5, 0)], [])
    assert len(boolean_join_extruded(loose, square, 0.0, 1.0)) == 1
    assert boolean_join_extruded(EMPTY, EMPTY, 0.0, 1.0) == []


def test_the_function_documents_itself():
    import velmarin

    assert velmarin.__all__[-1] == "boolean_join_extruded"
    assert boolean_join_extruded.__text_signature__ == "(mesh_a, mesh_b, z_base, height)"
    assert boolean_join_extruded.__doc__ == (
        "Advanced non-manifold boolean decomposition for intersecting extruded meshes.\n"
        "Solves room-to-room physical clashes by slicing them into mutually disjoint cells."
    )


def test_arguments_are_converted_in_order_and_named():
    square = footprint_mesh(rect(0, 0, 1, 1))
    with pytest.raises(TypeError) as error:
        boolean_join_extruded(square, None, "x", 1.0)
    assert str(error.value) == "'None' is not an instance of 'Mesh'"
    assert_noted(error.value, "mesh_b")
    prisms = boolean_join_extruded(height=1.0, z_base=0.0, mesh_b=square, mesh_a=square)
    assert len(prisms) == 1


# --- random footprints on an integer grid --------------------------------------
#
# Every footprint rests on the line y = 0, so no footprint can lie inside the
# other's interior and no piece has a hole: each prism's outer ring is then the
# whole piece, and the unit cells of the grid give the exact areas.


def random_footprint(rng, size):
    x0 = rng.randrange(0, size - 1)
    x1 = rng.randrange(x0 + 1, size + 1)
    h1 = rng.randrange(1, size + 1)
    if rng.random() < 0.5 or x1 - x0 < 2:
        ring = rect(x0, 0, x1, h1)
    else:
        # An L: a full-width foot and a narrower, taller leg on one side.
        xm = rng.randrange(x0 + 1, x1)
        h2 = rng.randrange(h1 + 1, size + 2)
        ring = [(x0, 0), (x1, 0), (x1, h1), (xm, h1), (xm, h2), (x0, h2)]
        if rng.random() < 0.5:
            ring = [(x0 + x1 - x, y) for x, y in ring]
    start = rng.randrange(len(ring))
    ring = ring[start:] + ring[:start]
    return ring[::-1] if rng.random() < 0.5 else ring


def inside(ring, px, py):
    """Even-odd test; exact for the half-integer cell centres used here."""
    crossings = 0
    for (x0, y0), (x1, y1) in zip(ring, ring[1:] + ring[:1]):
        if (y0 > py) != (y1 > py) and px < x0 + (py - y0) * (x1 - x0) / (y1 - y0):
            crossings += 1
    return crossings % 2 == 1


def cells_of(ring, size):
    return {(i, j) for i in range(-1, size + 2) for j in range(-1, size + 2) if inside(ring, i + 0.5, j + 0.5)}


@pytest.mark.parametrize("seed", range(60))
def test_random_footprints_decompose_into_disjoint_prisms(seed):
    rng = random.Random(seed)
    size = 8
    a, b = random_footprint(rng, size), random_footprint(rng, size)
    z_base, height = rng.uniform(-5, 5), rng.uniform(0.5, 4)
    cells_a, cells_b = cells_of(a, size), cells_of(b, size)
    classes = [cells_a & cells_b, cells_a - cells_b, cells_b - cells_a]

    covered = [set(), set(), set()]
    last_class = 0
    for prism in boolean_join_extruded(footprint_mesh(a), footprint_mesh(b), z_base, height):
        ring = prism_ring(prism, z_base, height)
        assert consistently_oriented(prism) and signed_volume(prism) > 0
        cells = cells_of(ring, size)
        area = ring_area(ring)
        assert area == pytest.approx(len(cells), abs=1e-6)
        (kind,) = {k for k, c in enumerate(classes) for cell in cells if cell in c}
        assert cells <= classes[kind] and not cells & covered[kind]
        assert kind >= last_class, "pieces come back run by run"
        last_class = kind
        covered[kind] |= cells
    assert covered == classes
    common, only_a, only_b = (len(c) for c in covered)
    assert common + only_a == len(cells_a) == pytest.approx(abs(ring_area(a)))
    assert common + only_b == len(cells_b) == pytest.approx(abs(ring_area(b)))


def test_nan_coordinates_do_not_misbehave():
    nan = math.nan
    square = footprint_mesh(rect(0, 0, 1, 1))
    # One corner not a number: what is left of that footprint still meets the square.
    rings = [
        prism_ring(p, 0.0, 1.0)
        for p in boolean_join_extruded(footprint_mesh([(0, 0), (nan, 0), (1, 1), (0, 1)]), square, 0.0, 1.0)
    ]
    assert rings and all(math.isfinite(c) for ring in rings for corner in ring for c in corner)
    # No corner a number: no footprint, so the square comes back whole.
    (prism,) = boolean_join_extruded(footprint_mesh([(nan, nan)] * 4), square, 0.0, 1.0)
    assert corners(prism_ring(prism, 0.0, 1.0)) == corners(rect(0, 0, 1, 1))
