"""The graph build across walls and slabs: rooms facing each other over a
gap, nearest first, with the openings between them cut out."""

import math
import random
from fractions import Fraction

import pytest

from building_support import Opening, as_plain, awkward_apertures, box, random_building, subdivided
from graph_support import assert_same_edges, assert_searches_agree, graph_rows, mesh, needs_probe
from helpers import assert_noted, internal_fault
from support.building import generate_building
from velmarin import SpatialRegistry

WALL = "VerticalWallContact"
SLAB = "HorizontalSlabContact"


def door(at, y0, y1, height=2.0, depth=0.25):
    """A door solid through the wall x = at .. at + depth."""
    return box((at, y0, 0), (at + depth, y1, height))


def walled(meshes, apertures=(), thickness=0.25, tolerance=0.01, search="public", slab=None):
    return graph_rows(meshes, (), apertures, tolerance, search, wall_thickness=thickness, slab_thickness=slab)[1]


# Two rooms 3 m deep and high, a 0.25 m wall between them at x = 4 .. 4.25.
LEFT, RIGHT = box((0, 0, 0), (4, 3, 3)), box((4.25, 0, 0), (8, 3, 3))
SHAFT = box((4.0625, 1, 0), (4.1875, 2, 3))


@pytest.mark.parametrize("thickness, found", [(0.25, True), (0.3, True), (0.24, False), (0.0, False)])
def test_rooms_across_a_wall_up_to_the_thickness(thickness, found):
    edges = walled([LEFT, RIGHT], thickness=thickness)
    assert edges == ([(0, 1, 9.0, (4.125, 1.5, 1.5), WALL, 0.25, 0.0, [])] if found else [])


def test_a_shaft_in_the_wall_hides_what_lies_behind_it_whatever_the_positions():
    edges = walled([LEFT, RIGHT, SHAFT])
    # From the left room's face nearest first: the shaft, then the rest of the wall.
    assert [e[:2] for e in edges] == [(0, 2), (0, 1), (1, 2)]
    assert_same_edges(
        edges,
        [
            (0, 2, 3.0, (4.03125, 1.5, 1.5), WALL, 0.0625, 0.0, []),
            (0, 1, 6.0, (4.125, 1.5, 1.5), WALL, 0.25, 0.0, []),
            (1, 2, 3.0, (4.21875, 1.5, 1.5), WALL, 0.0625, 0.0, []),
        ],
    )
    # A shaft at a lower position than both rooms hides just the same.
    rows = walled([SHAFT, LEFT, RIGHT])
    assert_same_edges(
        rows,
        [
            (0, 1, 3.0, (4.03125, 1.5, 1.5), WALL, 0.0625, 0.0, []),
            (1, 2, 6.0, (4.125, 1.5, 1.5), WALL, 0.25, 0.0, []),
            (0, 2, 3.0, (4.21875, 1.5, 1.5), WALL, 0.0625, 0.0, []),
        ],
    )
    # A duct as wide as the wall leaves the rooms unlinked.
    duct = box((4.0625, -1, -1), (4.1875, 4, 4))
    assert {e[:2] for e in walled([LEFT, duct, RIGHT])} == {(0, 1), (1, 2)}


def flat(at, y0, y1, height=2.0):
    opening = Opening(0, at, (y0, 0), (y1, height))
    return opening.points(), opening.faces()


MIDDLE = (4.125, 1.5, 1.5)


@pytest.mark.parametrize(
    "opening, area, centroid, opening_area",
    [
        (door(4, 1, 2), 7.0, (4.125, 1.5, 11.5 / 7), 2.0),  # a solid through the wall
        (flat(4, 1, 2), 7.0, (4.125, 1.5, 11.5 / 7), 2.0),  # flat, on either surface
        (flat(4.25, 1, 2), 7.0, (4.125, 1.5, 11.5 / 7), 2.0),
        (flat(4.255, 1, 2), 7.0, (4.125, 1.5, 11.5 / 7), 2.0),  # within the tolerance beyond
        (flat(4.27, 1, 2), 9.0, MIDDLE, 0.0),  # twice the tolerance beyond either surface
        (flat(3.98, 1, 2), 9.0, MIDDLE, 0.0),
        (flat(4.125, 3, 4), 9.0, MIDDLE, 0.0),  # beside the wall
        (door(4, -1, 4, height=4), 0.0, MIDDLE, 9.0),  # all door: still linked, through the door
        (door(4, 0, 3, height=2.99), 0.03, (4.125, 1.5, 2.995), 8.97),  # the rest, above the tolerance
        (door(4, 0, 3, height=2.999), 0.003, MIDDLE, 8.997),  # too small to place the contact
    ],
)
def test_openings_between_the_two_surfaces_are_cut(opening, area, centroid, opening_area):
    edges = walled([LEFT, RIGHT], [opening])
    assert_same_edges(edges, [(0, 1, area, centroid, WALL, 0.25, opening_area, [0] if opening_area else [])])


def test_slabs_between_storeys_and_rooms_facing_several():
    below = box((0, 0, 0), (4, 3, 3))
    above_left, above_right = box((0, 0, 3.25), (2, 3, 6)), box((2.25, 0, 3.25), (4, 3, 6))
    edges = walled([above_left, below, above_right])
    assert_same_edges(
        edges,
        [
            (0, 1, 6.0, (1, 1.5, 3.125), SLAB, 0.25, 0.0, []),
            (1, 2, 5.25, (3.125, 1.5, 3.125), SLAB, 0.25, 0.0, []),
            (0, 2, 8.25, (2.125, 1.5, 4.625), WALL, 0.25, 0.0, []),
        ],
    )
    assert [e[:2] for e in edges] == [(0, 1), (0, 2), (1, 2)]


# A room above a 1.8 m ceiling void and 0.25 m slab (its floor 2.05 m above the
# ceiling below), a plenum room filling the void's left half, and a room beside,
# 1 m away across the wall.
BELOW, ABOVE = box((0, 0, 0), (4, 3, 3)), box((0, 0, 5.05), (4, 3, 8))
PLENUM, BESIDE = box((0, 0, 3.25), (2, 3, 4.8)), box((5, 0, 0), (8, 3, 3))


@pytest.mark.parametrize("search", ["public", "literal", "indexed"])
def test_the_slab_limit_reaches_across_a_ceiling_void_to_what_nothing_hides(search):
    edges = walled([BELOW, ABOVE, PLENUM, BESIDE], thickness=0.25, slab=2.1, search=search)
    # Through the right half only: the plenum hides the left from the room below.
    assert_same_edges(
        edges,
        [
            (0, 2, 6.0, (1, 1.5, 3.125), SLAB, 0.25, 0.0, []),
            (0, 1, 6.0, (3, 1.5, 4.025), SLAB, 2.05, 0.0, []),
            (1, 2, 6.0, (1, 1.5, 4.925), SLAB, 0.25, 0.0, []),
        ],
    )
    # Without the plenum, the whole ceiling; not within a slab limit of 2.0.
    assert_same_edges(
        walled([BELOW, ABOVE], slab=2.1, search=search), [(0, 1, 12.0, (2, 1.5, 4.025), SLAB, 2.05, 0.0, [])]
    )
    assert walled([BELOW, ABOVE], slab=2.0, search=search) == []
    # The wall limit keeps to walls, the slab limit to slabs.
    assert [e[:2] for e in walled([BELOW, ABOVE, PLENUM, BESIDE], thickness=1.0, slab=0.25, search=search)] == [
        (0, 2),
        (0, 3),
        (1, 2),
    ]


@pytest.mark.parametrize("seed", range(3))
def test_a_slab_thickness_of_none_or_the_wall_thickness_gives_the_graph_without_it(seed):
    rng = random.Random(500 + seed)
    meshes, _, apertures = as_plain(random_building(rng, openings=12, wall=0.25, shafts=3, void=0.5))
    registry = SpatialRegistry([mesh(*m) for m in meshes], [], [mesh(*a) for a in apertures])

    def rows(*arguments, **keywords):
        graph = registry.build_spatial_graph_with_walls(*arguments, **keywords)
        return [
            (e.node_a, e.node_b, e.shared_area, e.contact_type, sorted(e.get_all_attributes().items()))
            for e in graph.edges
        ]

    today = rows(0.01, 0.25)
    assert any(e[4][0][1] for e in today)  # some edge lists an aperture
    assert rows(0.01, 0.25, None) == today
    assert rows(0.01, wall_thickness=0.25, slab_thickness=0.25) == today
    # The voids open with a slab limit that reaches across them.
    deeper = rows(0.01, 0.25, 0.75)
    assert {e[:2] for e in deeper} > {e[:2] for e in today}


def test_the_apertures_that_take_area_are_listed_ascending():
    frame = box((4, 0.9, 0), (4.25, 2.1, 2.1))  # an opening, filled by the door inside it
    filling = box((4.05, 1, 0), (4.2, 2, 2))
    elsewhere = door(4, 1, 2)[0], door(4, 1, 2)[1]
    far = box((0, 5, 0), (0.25, 6, 2))  # in no wall between the rooms
    window = box((4, 2.5, 2.5), (4.25, 2.75, 2.75))
    rows = walled([LEFT, RIGHT], [far, frame, filling, window])
    # The opening is cut before the door it holds, which then takes nothing.
    assert rows[0][6:] == (pytest.approx(1.2 * 2.1 + 0.0625), [1, 3])
    # Cut first, the door takes its own area and the opening the frame around it.
    rows = walled([LEFT, RIGHT], [window, filling, far, frame])
    assert rows[0][6:] == (pytest.approx(1.2 * 2.1 + 0.0625), [0, 1, 3])
    # Two solids of one door: the second takes nothing from what the first left.
    assert walled([LEFT, RIGHT], [elsewhere, elsewhere])[0][6:] == (pytest.approx(2.0), [0])
    graph = SpatialRegistry(
        [mesh(*LEFT), mesh(*RIGHT), mesh(*box((4.25, 3.25, 0), (8, 6, 3)))], [], [mesh(*far)]
    ).build_spatial_graph_with_walls(0.01, 0.25)
    # One list per edge, made when first read and the very same after, which the caller may change.
    lists = [e.get_attribute("apertures") for e in graph.edges]
    assert lists == [[], []] and lists[0] is not lists[1]
    lists[0].append(7)
    assert (
        graph.edges[0].get_all_attributes()["apertures"] is lists[0] and graph.edges[1].get_attribute("apertures") == []
    )
    graph.edges[1].set_attribute("apertures", (3,))
    assert graph.edges[1].get_attribute("apertures") == (3,) and "apertures: [7]" in graph.to_cypher_queries()[-2]


@pytest.mark.parametrize("seed", range(6))
def test_thickness_zero_gives_the_build_without_walls(seed):
    rng = random.Random(seed)
    tolerance = rng.choice([0.01, 0.05])
    meshes, _, apertures = as_plain(random_building(rng, tolerance=tolerance, overlaps=False))
    plain = graph_rows(meshes, (), apertures, tolerance)[1]
    edges = walled(meshes, apertures, thickness=0.0, tolerance=tolerance)
    # Only contacts that openings take whole are edges of this build alone.
    assert_same_edges([e[:5] for e in edges if e[2] > tolerance], plain)
    assert all(e[5] == 0 for e in edges)


def test_thickness_zero_on_a_generated_building():
    building = generate_building(300, 4, door_ratio=1.0, window_ratio=1.0)
    plain = graph_rows(building.meshes, (), building.apertures)[1]
    edges = walled(building.meshes, building.apertures, thickness=0.0)
    assert_same_edges([e[:5] for e in edges], plain)
    assert sum(e[6] for e in edges) == pytest.approx(building.doors * 2.0)


@pytest.mark.parametrize(
    "thickness, text", [(-0.1, "-0.1"), (math.nan, "nan"), (math.inf, "inf"), (-math.inf, "-inf"), (-1e-300, "-1e-300")]
)
def test_bad_thickness_values(thickness, text):
    registry = SpatialRegistry([], [], [])
    with pytest.raises(ValueError) as info:
        registry.build_spatial_graph_with_walls(0.01, thickness)
    assert str(info.value) == f"wall_thickness must be a finite number of 0 or more, not {text}"
    with pytest.raises(ValueError) as info:
        registry.build_spatial_graph_with_walls(0.01, 0.25, thickness)
    assert str(info.value) == f"slab_thickness must be a finite number of 0 or more, not {text}"
    with pytest.raises(ValueError, match="^wall_thickness"):  # the wall thickness is checked first
        registry.build_spatial_graph_with_walls(0.01, thickness, thickness)


def test_the_arguments():
    registry = SpatialRegistry([mesh(*LEFT), mesh(*RIGHT)], [], [])
    assert len(registry.build_spatial_graph_with_walls(Fraction(1, 100), wall_thickness=0.25).edges) == 1
    assert registry.build_spatial_graph_with_walls(0.01, -0.0).edges == []
    for tolerance in (0.0, -0.01, math.nan, math.inf):
        assert registry.build_spatial_graph_with_walls(tolerance, 0.25).edges == []
    with pytest.raises(TypeError) as info:
        registry.build_spatial_graph_with_walls(0.01, "0.25")
    assert_noted(info.value, "wall_thickness")
    with pytest.raises(TypeError) as info:
        registry.build_spatial_graph_with_walls(0.01, 0.25, "2")
    assert_noted(info.value, "slab_thickness")
    with pytest.raises(
        TypeError,
        match=r"^SpatialRegistry.build_spatial_graph_with_walls\(\) takes from 2 to 3 "
        r"positional arguments but 4 were given$",
    ):
        registry.build_spatial_graph_with_walls(0.01, 0.25, 2.0, 1.0)
    with pytest.raises(TypeError, match="missing 1 required positional argument: 'wall_thickness'$"):
        registry.build_spatial_graph_with_walls(0.01, slab_thickness=2.0)
    method = SpatialRegistry.build_spatial_graph_with_walls
    assert method.__text_signature__ == "($self, tolerance, wall_thickness, slab_thickness=None)"
    assert method.__doc__.startswith("The dual graph of rooms that walls and slabs keep apart")


def test_the_numbers_are_attributes_the_export_writes():
    graph = SpatialRegistry([mesh(*LEFT), mesh(*RIGHT)], [], [mesh(*door(4, 1, 2))]).build_spatial_graph_with_walls(
        0.01, 0.25
    )
    edge = graph.edges[0]
    assert edge.get_all_attributes() == {"wall_thickness": 0.25, "opening_area": 2.0, "apertures": [0]}
    statement = graph.to_cypher_queries()[-1]
    assert "wall_thickness: 0.25" in statement and "opening_area: 2" in statement and "apertures: [0]" in statement


@needs_probe
@pytest.mark.parametrize("seed", range(6))
def test_the_indexed_search_agrees_with_the_literal_one(seed):
    rng = random.Random(2000 + seed)
    tolerance, thickness, void = 0.05, rng.choice([0.25, 0.5]), rng.choice([0.0, 0.5])
    slab = rng.choice([None, thickness + void, 2 * thickness + void])
    building = random_building(
        rng,
        width=7,
        depth=6,
        storeys=3,
        rooms_per_storey=7,
        openings=25,
        tolerance=tolerance,
        wall=thickness,
        shafts=6,
        void=void,
    )
    meshes, wires, apertures = as_plain(building)
    apertures += awkward_apertures(rng, tolerance)
    # Rooms of many faces take another path through the face index than boxes do.
    meshes[:4] = [subdivided(*room, 4) for room in meshes[:4]]
    literal = graph_rows(meshes, wires, apertures, tolerance, "literal", thickness, slab)
    indexed = graph_rows(meshes, wires, apertures, tolerance, "indexed", thickness, slab)
    assert_searches_agree(indexed, literal, tolerance)
    assert any(e[6] > 0 for e in indexed[1]) and any(0 < e[5] < thickness for e in indexed[1])
    assert any(len(e[7]) > 1 for e in indexed[1])


@needs_probe
def test_the_searches_may_differ_on_a_contact_whose_area_is_the_tolerance():
    # A room in the wall hides all of the first room's face but a strip whose
    # area is the tolerance: whether the room behind the wall meets the strip
    # is the overlay's rounding, which the literal search (taking the nearer
    # room away from the face, then meeting the room behind) and the indexed
    # one (meeting first) take by other steps.
    tolerance, height = 0.1, 1.21
    meshes = [
        box((0, 0, 0), (1.25, 1.25, height)),
        box((1.4, tolerance / height, 0), (2.25, 2.25, height)),
        box((1.5, -1, -0.5), (3.25, 2.25, height + 1)),
    ]
    indexed, literal = (graph_rows(meshes, (), (), tolerance, search, 0.5) for search in ("indexed", "literal"))
    assert_searches_agree(indexed, literal, tolerance)
    for rows in (indexed, literal):
        assert [e[:2] for e in rows[1]] in ([(0, 1)], [(0, 1), (0, 2)])


@needs_probe
@pytest.mark.parametrize("search", ["indexed", "literal"])
def test_a_fault_in_the_build_reaches_the_caller(search):
    meshes = [box((k * 1.25, 0, 0), (k * 1.25 + 1, 1, 1)) for k in range(40)]
    broken = ([(1, 0, 0), (1, 1, 0), (1, 1, 1)], [[0, 1, 2], [0, 1, 7]])
    text = internal_fault(lambda: graph_rows(meshes, apertures=[broken], search=search, wall_thickness=0.25))
    assert "out of range" in text
