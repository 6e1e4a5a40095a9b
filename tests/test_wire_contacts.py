"""Wire contacts: which cells hold each wire's midpoint, by ray parity."""

import math
import random

import pytest

from building_support import box, expected_wire_contacts, random_building
from graph_support import graph_rows, needs_probe


def contacts(meshes, wires, search="public"):
    return graph_rows(meshes, wires, (), 0.01, search)[2]


def column(x, y, z0, z1):
    return (x, y, z0), (x, y, z1)


UNIT = box((0, 0, 0), (1, 1, 1))


def test_a_column_through_a_cube():
    assert contacts([UNIT], [column(0.5, 0.5, 0, 1)]) == [(0, 0)]


def test_only_the_midpoint_counts():
    # passes through the cube, but its midpoint lies above it
    assert contacts([UNIT], [column(0.5, 0.5, 0.2, 3)]) == []


def test_overlapping_cells_both_hold_the_midpoint():
    big = box((-1, -1, -1), (2, 2, 2))
    assert contacts([UNIT, box((5, 5, 5), (6, 6, 6)), big], [column(0.3, 0.6, 0.25, 0.75)]) == [(0, 0), (0, 2)]


def test_a_midpoint_on_the_floor_between_two_cubes_belongs_to_the_upper_one():
    lower, upper = box((0, 0, 0), (1, 1, 1)), box((0, 0, 1), (1, 1, 2))
    assert contacts([lower, upper], [column(0.5, 0.5, 0.5, 1.5)]) == [(0, 1)]


def test_a_midpoint_on_a_wall_belongs_to_the_cell_the_ray_leans_into():
    west, east = box((0, 0, 0), (1, 1, 1)), box((1, 0, 0), (2, 1, 1))
    assert contacts([east, west], [column(1.0, 0.4, 0.5, 0.5)]) == [(0, 0)]


def test_contacts_come_by_wire_then_by_mesh():
    meshes = [box((0, 0, 0), (2, 2, 2)), UNIT, box((0, 0, 0), (4, 4, 4))]
    wires = [column(3, 3, 3, 3), column(0.5, 0.5, 0.5, 0.5), column(1.5, 1.5, 1.5, 1.5)]
    assert contacts(meshes, wires) == [(0, 2), (1, 0), (1, 1), (1, 2), (2, 0), (2, 2)]


def test_a_single_mesh_still_reports_its_wires():
    centroids, edges, found = graph_rows([UNIT], [column(0.5, 0.5, 0.5, 0.5)])
    assert len(centroids) == 1 and edges == [] and found == [(0, 0)]


def test_a_mesh_without_faces_holds_nothing():
    assert contacts([(UNIT[0], [])], [column(0.5, 0.5, 0.5, 0.5)]) == []


def test_an_open_mesh_counts_its_crossings_as_they_come():
    roof_only = (UNIT[0], [UNIT[1][1]])
    assert contacts([roof_only], [column(0.5, 0.5, -5, -3)]) == [(0, 0)]


@pytest.mark.parametrize("seed", range(10))
def test_random_buildings_give_the_expected_contacts(seed):
    rng = random.Random(seed)
    building = random_building(rng, columns=30)
    meshes = [(r.points(), r.faces()) for r in building.rooms]
    wires = [(c.start, c.end) for c in building.columns]
    assert contacts(meshes, wires) == expected_wire_contacts(building)


def awkward_midpoints(rng, building):
    """On walls, edges, corners and face diagonals, far above and below, and not
    finite."""
    out = []
    for room in rng.sample(building.rooms, min(6, len(building.rooms))):
        lo, hi = room.lo, room.hi
        mid = tuple((a + b) / 2 for a, b in zip(lo, hi))
        out += [
            lo,
            hi,
            mid,
            (lo[0], mid[1], mid[2]),
            (hi[0], hi[1], mid[2]),
            (mid[0], mid[1], lo[2]),
            (lo[0] + (hi[0] - lo[0]) / 3, lo[1] + (hi[1] - lo[1]) / 3, mid[2]),
            (mid[0], mid[1], hi[2] - 1e-12),
        ]
    out += [(2.5, 2.5, 1e9), (2.5, 2.5, -1e9), (1e300, 0, 0), (math.nan, 1, 1), (1, math.inf, 1), (-math.inf, 0, 0)]
    return [(p, p) for p in out]


@needs_probe
@pytest.mark.parametrize("seed", range(6))
def test_the_indexed_search_agrees_with_the_literal_one(seed):
    rng = random.Random(500 + seed)
    building = random_building(rng, columns=40)
    meshes = [(r.points(), r.faces()) for r in building.rooms]
    meshes.append(([(0, 0, 0), (math.inf, 0, 0), (0, 1, 5)], [[0, 1, 2]]))  # a cell beyond every box
    meshes.append(([(math.nan, 0, 0), (math.nan, 1, 0), (math.nan, 0, 1)], [[0, 1, 2]]))  # and one in none
    wires = [(c.start, c.end) for c in building.columns] + awkward_midpoints(rng, building)
    assert contacts(meshes, wires) == contacts(meshes, wires, search="literal")
