"""The polygon overlay as Python reaches it: through the footprints of the join.

The adapter's own measures (areas, centroids, projection frames) are checked
natively in tests/native/overlay_test.cpp.
"""

import pytest

from prisms import footprint_mesh, prism_ring, rect, ring_area
from velmarin import boolean_join_extruded

GRID = 2.0**-29


def rings_of(a, b):
    return [prism_ring(p, 0.0, 1.0) for p in boolean_join_extruded(footprint_mesh(a), footprint_mesh(b), 0.0, 1.0)]


def bounds(ring):
    xs, ys = [x for x, _ in ring], [y for _, y in ring]
    return min(xs), min(ys), max(xs), max(ys)


@pytest.mark.parametrize("offset", [0.0, 1e6, -3.5e7])
def test_results_far_from_the_origin_keep_their_corners(offset):
    o = offset
    common = rings_of(rect(o, o, o + 3, o + 2), rect(o + 1, o + 1, o + 5, o + 7))[0]
    assert bounds(common) == pytest.approx((o + 1, o + 1, o + 3, o + 2), abs=1e-9 * max(1.0, abs(o)))
    assert ring_area(common) == pytest.approx(2.0, abs=1e-6)


@pytest.mark.parametrize("extent", [1.0, 1000.0, 0.01])
def test_corners_off_the_grid_move_by_less_than_one_grid_step(extent):
    # The common box's half-extent is `extent`, so one step is about 2^-29 of it.
    third = extent / 3.0
    common, only_a, _ = rings_of(rect(0, 0, extent, extent), rect(third, 0, 2 * extent, extent))
    x0, _, x1, _ = bounds(common)
    assert abs(x0 - third) <= GRID * extent and x1 == extent
    assert abs(bounds(only_a)[2] - third) <= GRID * extent


def test_a_self_crossing_footprint_encloses_its_even_odd_region():
    bow_tie = [(0, 0), (2, 2), (2, 0), (0, 2)]
    rings = rings_of(bow_tie, rect(5, 5, 6, 6))
    assert [len(r) for r in rings] == [3, 3, 4]
    assert [ring_area(r) for r in rings[:2]] == [pytest.approx(1.0), pytest.approx(1.0)]
    assert sorted(bounds(r)[0] for r in rings[:2]) == [0.0, 1.0]


def test_repeated_corners_and_clockwise_rings_come_back_clean_and_counter_clockwise():
    a = [(0, 0), (0, 1), (0, 1), (1, 1), (1, 0), (0, 0)]
    (ring,) = rings_of(a, rect(0, 0, 1, 1)[::-1])
    assert sorted(ring) == sorted(rect(0, 0, 1, 1)) and ring_area(ring) == 1.0


# At 1e-150 every piece's area is far below the 1e-5 a piece needs; at 1e300
# the two L-shaped pieces' areas come out NaN (inf - inf), so only the common
# square, of area inf, is kept.
@pytest.mark.parametrize("scale, pieces", [(1e-150, 0), (1e150, 3), (1e300, 1)])
def test_extreme_magnitudes_stay_well_defined(scale, pieces):
    s = scale
    rings = rings_of(rect(0, 0, 2 * s, 2 * s), rect(s, s, 3 * s, 3 * s))
    assert len(rings) == pieces
    for ring in rings:
        assert len(ring) >= 3
    if rings:
        # The common square first, its corners within a grid step (the union's half-extent is 1.5 s).
        assert bounds(rings[0]) == pytest.approx((s, s, 2 * s, 2 * s), abs=GRID * 1.5 * s)
