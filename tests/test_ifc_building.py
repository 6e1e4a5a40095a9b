"""velmarin_ifc on the generated house (examples/ifc_model.py), written as IFC4 in
metres and as IFC2X3 in millimetres: what the model holds is known by construction."""

import math
import os
import re
import subprocess
import sys

import pytest

ifcopenshell = pytest.importorskip("ifcopenshell")

from support.examples import example  # noqa: E402
from velmarin_ifc import read_building  # noqa: E402
from velmarin_ifc._model import building_of  # noqa: E402

ifc_model = example("ifc_model")

ROOMS = [  # number, long name, storey, elevation
    ("0.01", "hall", "Ground floor", 0.0),
    ("0.02", "kitchen", "Ground floor", 0.0),
    ("0.03", "living", "Ground floor", 0.0),
    ("0.04", "study", "Ground floor", 0.0),
    ("1.01", "landing", "Upper floor", 3.0),
    ("1.02", "bath", "Upper floor", 3.0),
    ("1.03", "bedroom", "Upper floor", 3.0),
    ("1.04", "master bedroom", "Upper floor", 3.0),
]
VARIANTS = [("IFC4", False), ("IFC2X3", True)]


@pytest.fixture(scope="module", params=VARIANTS, ids=["IFC4-metres", "IFC2X3-millimetres"])
def written(request, tmp_path_factory):
    schema, millimetres = request.param
    path = tmp_path_factory.mktemp("ifc") / f"house-{schema}.ifc"
    ifc_model.write_model(path, ifc_model.house_layout(), schema, millimetres)
    return path


@pytest.fixture(scope="module")
def building(written):
    return read_building(written)


def bounds(points):
    return [
        min(p.x for p in points),
        min(p.y for p in points),
        min(p.z for p in points),
        max(p.x for p in points),
        max(p.y for p in points),
        max(p.z for p in points),
    ]


def signed_volume(mesh):
    v, total = mesh.vertices, 0.0
    for face in mesh.faces:
        a = v[face[0]]
        for b, c in zip((v[i] for i in face[1:-1]), (v[i] for i in face[2:])):
            total += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x)
    return total / 6


def test_spaces_are_welded_boxes_in_world_coordinates_and_metres(building):
    layout = ifc_model.house_layout()
    assert [(s.name, s.long_name, s.storey, s.elevation) for s in building.spaces] == ROOMS
    assert len({s.global_id for s in building.spaces}) == 8
    for space, mesh in zip(building.spaces, building.registry.meshes):
        room = layout.room(space.long_name)
        x0, y0, x1, y1 = room.clear
        z0 = 3.0 * room.storey
        assert bounds(mesh.vertices) == pytest.approx([x0, y0, z0, x1, y1, z0 + 2.7], abs=1e-9)
        # The engine's planar faces, welded: six quads that share eight corners, facing out.
        assert (len(mesh.vertices), sorted(map(len, mesh.faces))) == (8, [4] * 6)
        assert signed_volume(mesh) == pytest.approx((x1 - x0) * (y1 - y0) * 2.7)


def test_doors_windows_openings_and_columns(building):
    classes = [a.ifc_class for a in building.apertures]
    assert (classes.count("IfcDoor"), classes.count("IfcWindow"), classes.count("IfcOpeningElement")) == (6, 8, 15)
    stair = [
        bounds(m.vertices) for a, m in zip(building.apertures, building.registry.apertures) if a.name == "Stair void"
    ]
    assert stair == [pytest.approx([0.4, 0.6, 2.7, 1.4, 3.1, 3.0], abs=1e-9)]
    # The hall's door to the kitchen: its leaf in the middle of the wall at x = 3, its opening through it.
    door = [
        bounds(m.vertices)
        for m in building.registry.apertures
        if bounds(m.vertices)[1] == pytest.approx(1.5) and bounds(m.vertices)[2] < 3
    ]
    assert sorted(door) == [
        pytest.approx([2.9, 1.5, 0, 3.1, 2.4, 2.1]),
        pytest.approx([2.975, 1.5, 0, 3.025, 2.4, 2.1]),
    ]
    wires = [(w.start.x, w.start.y, w.start.z, w.end.x, w.end.y, w.end.z) for w in building.registry.wires]
    assert wires == [
        pytest.approx(w)
        for w in [
            (4.2, 0.9, 0, 4.2, 0.9, 2.7),
            (4.2, 0.9, 3, 4.2, 0.9, 5.7),
            (3.8, 7.1, 0, 3.8, 7.1, 2.7),
            (3.8, 7.1, 3, 3.8, 7.1, 5.7),
        ]
    ]
    assert [c.ifc_class for c in building.columns] == ["IfcColumn"] * 4
    assert building.skipped == 1  # the space that was never placed


def test_elements_without_usable_geometry_are_counted_not_fatal():
    writer = ifc_model.ModelWriter(ifc_model.house_layout(), "IFC4", False)
    model = writer.model
    model.by_type("IfcColumn")[0].Representation.Representations[0].Items[0].Depth = 0.0
    model.by_type("IfcWindow")[0].Representation = None
    # A faceted boundary written inside out still faces out once read.
    landing = next(s for s in model.by_type("IfcSpace") if s.LongName == "landing")
    for face in landing.Representation.Representations[0].Items[0].Outer.CfsFaces:
        loop = face.Bounds[0].Bound
        loop.Polygon = list(reversed(loop.Polygon))
    building = building_of(model)
    assert (len(building.spaces), len(building.apertures), len(building.columns), building.skipped) == (8, 28, 3, 3)
    assert signed_volume(building.registry.meshes[4]) == pytest.approx(2.8 * 3.8 * 2.7)


def test_a_space_outside_any_storey_has_no_storey():
    model = ifc_model.ModelWriter(ifc_model.house_layout(), "IFC4", False).model
    hall = next(s for s in model.by_type("IfcSpace") if s.LongName == "hall")
    model.remove(hall.Decomposes[0])
    space = building_of(model).spaces[0]
    assert (space.long_name, space.storey) == ("hall", "") and math.isnan(space.elevation)


def test_a_model_that_cannot_be_read_raises_a_clear_error(tmp_path):
    missing = tmp_path / "missing.ifc"
    with pytest.raises(FileNotFoundError, match="missing.ifc"):
        read_building(missing)
    with pytest.raises(IsADirectoryError):
        read_building(tmp_path)
    for name, text in [
        ("notes.ifc", "rooms: hall, kitchen\n"),
        ("empty.ifc", ""),
        ("part.ifc", "ISO-10303-21;\nHEADER;\nFILE_SCHEMA(('IFC4'));\n"),
    ]:
        (tmp_path / name).write_text(text)
        with pytest.raises(ValueError, match=f"'{tmp_path / name}' is not an IFC model"):
            read_building(str(tmp_path / name))


def test_without_ifcopenshell_the_import_says_how_to_install_it():
    code = "import sys; sys.modules['ifcopenshell'] = None; import velmarin_ifc"
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=60)
    assert done.returncode == 1
    assert "ImportError" in done.stderr and "pip install 'velmarin[ifc]'" in done.stderr


def test_the_engine_takes_a_core_for_every_500_elements_but_one_core_of_those_it_may_use(monkeypatch):
    from velmarin_ifc import _engine

    monkeypatch.setattr(os, "cpu_count", lambda: 64)  # the machine's; the process may use fewer
    monkeypatch.setattr(os, "sched_getaffinity", lambda pid: set(range(8)), raising=False)
    assert [_engine.engine_threads(n) for n in (0, 42, 999, 1000, 2600, 10**6)] == [1, 1, 1, 2, 5, 7]
    monkeypatch.setattr(os, "sched_getaffinity", lambda pid: {3}, raising=False)
    assert _engine.engine_threads(10**6) == 1
    monkeypatch.delattr(os, "sched_getaffinity", raising=False)  # where the system cannot say
    assert _engine.engine_threads(10**6) == 63
    # The command line's local cluster counts the same cores.
    from velmarin_ifc._command import parser

    assert "may use, 64)" in " ".join(parser().format_help().split())


def test_ifcopenshell_is_imported_only_by_a_read_that_needs_it(written, tmp_path):
    """A model whose records tell every product is read without it; one with
    a body only the engine makes (an ellipse) imports it, where it is read."""
    model = ifcopenshell.open(str(written))
    solid = model.by_type("IfcColumn")[0].Representation.Representations[0].Items[0]
    centre = model.createIfcAxis2Placement2D(model.createIfcCartesianPoint((0.0, 0.0)), None)
    solid.SweptArea = model.createIfcEllipseProfileDef("AREA", None, centre, 0.2, 0.1)
    model.write(str(tmp_path / "ellipse.ifc"))
    code = (
        "import sys, velmarin_ifc\nprint('ifcopenshell' in sys.modules, 'numpy' in sys.modules)\n"
        "velmarin_ifc.read_building(sys.argv[1])\nprint('ifcopenshell' in sys.modules)\n"
        "velmarin_ifc.read_building(sys.argv[2], timeout=60)\nprint('ifcopenshell' in sys.modules)\n"
        "velmarin_ifc.read_building(sys.argv[2])\nprint('ifcopenshell' in sys.modules)\n"
    )
    arguments = [str(written), str(tmp_path / "ellipse.ifc")]
    done = subprocess.run([sys.executable, "-c", code, *arguments], capture_output=True, text=True, timeout=120)
    assert done.stdout.split() == ["False", "False", "False", "False", "True"], done.stderr


# Each pair of rooms facing each other: across what, the area before the
# openings are cut, the openings' area. Doors are 0.9 m x 2.1 m, the stair
# void 1.0 m x 2.5 m; rooms are 2.7 m high.
PAIRS = {
    ("hall", "kitchen"): ("wall", 3.8 * 2.7, 1.89),
    ("hall", "living"): ("wall", 2.8 * 2.7, 1.89),
    ("kitchen", "living"): ("wall", 1.8 * 2.7, 0.0),
    ("kitchen", "study"): ("wall", 3.8 * 2.7, 0.0),
    ("living", "study"): ("wall", 3.8 * 2.7, 1.89),
    ("landing", "bath"): ("wall", 3.8 * 2.7, 1.89),
    ("landing", "master bedroom"): ("wall", 2.8 * 2.7, 1.89),
    ("bath", "bedroom"): ("wall", 3.8 * 2.7, 0.0),
    ("bath", "master bedroom"): ("wall", 2.8 * 2.7, 0.0),
    ("bedroom", "master bedroom"): ("wall", 2.8 * 2.7, 1.89),
    ("hall", "landing"): ("slab", 2.8 * 3.8, 2.5),
    ("kitchen", "bath"): ("slab", 2.8 * 3.8, 0.0),
    ("kitchen", "bedroom"): ("slab", 2.8 * 3.8, 0.0),
    ("living", "master bedroom"): ("slab", 4.8 * 3.8, 0.0),
    ("study", "master bedroom"): ("slab", 3.8 * 3.8, 0.0),
}


def test_the_graph_links_the_rooms_across_walls_and_slabs(building):
    graph = building.graph()
    names = [s.long_name for s in building.spaces]
    found = {}
    for edge in graph.edges:
        pair = (names[edge.node_a], names[edge.node_b])
        assert pair not in found  # each wall one polygon in each room: one region, one edge
        kind = "wall" if edge.contact_type == "VerticalWallContact" else "slab"
        opening = edge.get_attribute("opening_area")
        found[pair] = (kind, edge.shared_area + opening, opening, edge.get_attribute("wall_thickness"))
        # Halfway between the two rooms' faces: on a wall axis (whole metres here), in the slab's middle.
        c = edge.contact_centroid
        if kind == "wall":
            assert min(abs(c.x - round(c.x)), abs(c.y - round(c.y))) < 1e-9
        else:
            assert c.z == pytest.approx(2.85)
    assert found == {
        pair: (
            kind,
            pytest.approx(area),
            pytest.approx(opening, abs=1e-6),
            pytest.approx(0.2 if kind == "wall" else 0.3),
        )
        for pair, (kind, area, opening) in PAIRS.items()
    }
    node = graph.nodes[names.index("master bedroom")]
    assert node.get_all_attributes() == {
        "name": "1.04",
        "long_name": "master bedroom",
        "storey": "Upper floor",
        "global_id": building.spaces[7].global_id,
    }


def test_routes_pass_through_doors_and_the_stair_void(building):
    through = ["0.04", "0.03", "0.01", "1.01", "1.04", "1.03"]  # study, living, hall, landing, master bedroom, bedroom
    assert building.route("study", "bedroom") == through
    assert building.route(building.spaces[3].global_id, "1.03") == through
    assert building.route("kitchen", "kitchen") == ["0.02"]
    with pytest.raises(KeyError, match="'cellar'"):
        building.route("cellar", "hall")


def test_a_room_name_that_is_not_unique_asks_for_a_global_id(building):
    from dataclasses import replace

    from velmarin_ifc import Building

    spaces = [replace(s, long_name="room") if s.storey == "Upper floor" else s for s in building.spaces]
    twins = Building(building.registry, spaces, building.apertures, building.columns, 0)
    with pytest.raises(
        ValueError, match=re.escape(f"4 rooms are named 'room'; give one of their global ids: {spaces[4].global_id}, ")
    ):
        twins.route("hall", "room")
    assert twins.route("hall", spaces[4].global_id) == ["0.01", "1.01"]


def test_without_the_stair_void_no_route_leads_upstairs():
    model = ifc_model.ModelWriter(ifc_model.house_layout(), "IFC4", False).model
    void = next(o for o in model.by_type("IfcOpeningElement") if o.Name == "Stair void")
    model.remove(void.VoidsElements[0])
    model.remove(void)
    building = building_of(model)
    assert building.route("study", "bedroom") == []
    assert building.route("study", "kitchen") == ["0.04", "0.03", "0.01", "0.02"]


# A building to walk, on storeys 4.5 m apart (clear 4.2 m under 0.3 m slabs),
# plan in metres on the wall axes:
#
#   storey 0, every room 2.7 m high under a 1.8 m ceiling void:
#     y=6 +------------+------------------+--------+
#         | stair hall |  kitchen   window |        |
#     y=4 |  flight 1, |- - - - - - - - - door pantry |
#         |  slab void |  living          +--------+
#     y=3 +----door----+                  |
#         |   lobby   door                doorway
#     y=0 +--front door+------------------+
#         x=0         x=4                x=9     x=11
#   storey 1: the upper hall (0..4 x 3..6) with flight 2 and a door to the
#     office (4..9 x 0..6); storey 2: the studio above the upper hall.
#
# The kitchen is open to the living room (no wall), the pantry is reached only
# through the kitchen and the office only through the upper hall; flight 2
# passes a slab with no opening in it.
def walkable_layout():
    Layout, LayoutFlight, LayoutOpening, LayoutRoom = (
        ifc_model.Layout,
        ifc_model.LayoutFlight,
        ifc_model.LayoutOpening,
        ifc_model.LayoutRoom,
    )

    void = dict(height=2.7)
    rooms = [
        LayoutRoom("0.01", "lobby", 0, (0, 0, 4, 3), **void),
        LayoutRoom("0.02", "stair hall", 0, (0, 3, 4, 6), **void),
        LayoutRoom("0.03", "living", 0, (4, 0, 9, 4), open=("y1",), **void),
        LayoutRoom("0.04", "kitchen", 0, (4, 4, 9, 6), open=("y0",), **void),
        LayoutRoom("0.05", "pantry", 0, (9, 4, 11, 6), **void),
        LayoutRoom("1.01", "upper hall", 1, (0, 3, 4, 6)),
        LayoutRoom("1.02", "office", 1, (4, 0, 9, 6)),
        LayoutRoom("2.01", "studio", 2, (0, 3, 4, 6)),
    ]

    def door(storey, start, end, kind="door"):
        return LayoutOpening(kind, storey, start, end, 0.0, 2.1)

    openings = [
        door(0, (1.5, 0), (2.4, 0)),
        door(0, (1.5, 3), (2.4, 3)),
        door(0, (4, 1), (4, 1.9)),
        door(0, (9, 4.5), (9, 5.4)),
        door(0, (9, 1), (9, 2), "doorway"),
        LayoutOpening("window", 0, (5, 6), (6, 6), 0.9, 1.2),
        door(1, (4, 4.5), (4, 5.4)),
    ]
    flights = [LayoutFlight(0, (1.2, 3.3, 2.2, 5.8), "+y", 24), LayoutFlight(1, (2.6, 3.3, 3.6, 5.8), "+y", 24)]
    return Layout(rooms, openings, stairs=[(0, (1.2, 5.0, 2.2, 5.8))], columns=[], flights=flights, storey_height=4.5)


@pytest.fixture(scope="module", params=VARIANTS, ids=["IFC4-metres", "IFC2X3-millimetres"])
def walkable(request):
    return building_of(ifc_model.ModelWriter(walkable_layout(), *request.param).model)


def ids_by_name(building):
    """Global ids by the name the generator gives: front door, doors, doorway, window, void, flights."""
    names = {}
    for element in building.apertures:
        names.setdefault(element.name, []).append(element.global_id)
    return names


def test_apertures_say_what_they_are_and_stairs_are_their_treads(walkable):
    records = walkable.apertures
    assert [a.ifc_class for a in records] == ["IfcDoor"] * 5 + ["IfcWindow"] + ["IfcOpeningElement"] * 8 + [
        "IfcStairFlight"
    ] * 2
    fillings = [(a.name, a.filling and (a.filling.ifc_class, a.filling.global_id)) for a in records[6:14]]
    doors = [("Door opening", ("IfcDoor", a.global_id)) for a in records[:5]]
    assert sorted(fillings, key=str) == sorted(
        doors[:4]
        + [
            ("Window opening", ("IfcWindow", records[5].global_id)),
            ("Doorway opening", None),
            ("Stair void", None),
            doors[4],
        ],
        key=str,
    )
    assert [a.filling for a in records if a.ifc_class != "IfcOpeningElement"] == [None] * 8
    for mesh in walkable.registry.apertures[14:]:  # 24 treads each, up to the next floor, 4.5 m above
        tops = sorted(max(mesh.vertices[i].z for i in face) for face in mesh.faces)
        assert len(mesh.faces) == 24 and {len(f) for f in mesh.faces} == {4}
        assert tops[-1] - tops[0] == pytest.approx(4.5 * 23 / 24)
        assert all(len({round(mesh.vertices[i].z, 9) for i in face}) == 1 for face in mesh.faces)


def test_every_contact_says_how_to_pass_it(walkable):
    names = [s.long_name for s in walkable.spaces]
    ids = ids_by_name(walkable)
    front, hall, living, pantry, upstairs = ids["Door"][:5]
    passages = {
        (names[e.node_a], names[e.node_b]): (e.get_attribute("passage"), e.get_attribute("elements"))
        for e in walkable.graph().edges
    }
    assert passages == {
        ("lobby", "stair hall"): ("door", [hall]),
        ("lobby", "living"): ("door", [living]),
        ("stair hall", "living"): ("none", []),
        ("stair hall", "kitchen"): ("none", []),
        ("living", "kitchen"): ("open", []),
        ("kitchen", "pantry"): ("door", [pantry]),
        # Across the 1.8 m ceiling void: the slab void and the treads of flight 1 beyond it; the rooms
        # beside the hall see only a slab. (A door's leaf takes all its opening would: the door is listed.)
        ("stair hall", "upper hall"): ("opening", [ids["Stair void"][0], ids["Flight"][0]]),
        ("living", "office"): ("none", []),
        ("kitchen", "office"): ("none", []),
        ("upper hall", "office"): ("door", [upstairs]),
        ("upper hall", "studio"): ("stair", [ids["Flight"][1]]),
    }
    assert front not in {e for _, elements in passages.values() for e in elements}
    # Slabs as thick as walls: the ceiling void keeps the storeys apart.
    thin = walkable.graph(slab_thickness=None)
    assert {(names[e.node_a], names[e.node_b]) for e in thin.edges} == set(passages) - {
        ("stair hall", "upper hall"),
        ("living", "office"),
        ("kitchen", "office"),
    }
    for bad in (-0.1, math.nan, math.inf):
        with pytest.raises(ValueError, match="slab_thickness"):
            walkable.graph(slab_thickness=bad)


def box_centre(x0, y0, x1, y1, z0, z1):
    return ((x0 + x1) / 2, (y0 + y1) / 2, (z0 + z1) / 2)


def less(outer, hole):
    """The centroid of a rectangle (a0, b0, a1, b1) less a rectangle inside it."""

    def area(r):
        return (r[2] - r[0]) * (r[3] - r[1])

    def mid(r, k):
        return (r[k] + r[k + 2]) / 2

    rest = area(outer) - area(hole)
    return tuple((area(outer) * mid(outer, k) - area(hole) * mid(hole, k)) / rest for k in (0, 1))


def test_exits_routes_and_distances_walked(walkable):
    ids = ids_by_name(walkable)
    names = [s.long_name for s in walkable.spaces]
    assert [(names[e.room], e.global_id) for e in walkable.exits] == [
        ("lobby", ids["Door"][0]),
        ("living", ids["Doorway opening"][0]),
    ]
    assert walkable.exits[1].centre == pytest.approx((9.0, 1.5, 1.05))
    # Rooms at their box centres; each passage at the centroid of its contact less what was cut from it.
    lobby, living = box_centre(0.1, 0.1, 3.9, 2.9, 0, 2.7), box_centre(4.1, 0.1, 8.9, 4.0, 0, 2.7)
    kitchen, pantry = box_centre(4.1, 4.0, 8.9, 5.9, 0, 2.7), box_centre(9.1, 4.1, 10.9, 5.9, 0, 2.7)
    stair_hall, upper_hall = box_centre(0.1, 3.1, 3.9, 5.9, 0, 2.7), box_centre(0.1, 3.1, 3.9, 5.9, 4.5, 8.7)
    office = box_centre(4.1, 0.1, 8.9, 5.9, 4.5, 8.7)
    front, doorway = (1.95, 0.0, 1.05), (9.0, 1.5, 1.05)
    lobby_stairs = less((0.1, 0, 3.9, 2.7), (1.5, 0, 2.4, 2.1))
    lobby_stairs = (lobby_stairs[0], 3.0, lobby_stairs[1])
    open_side = (6.5, 4.0, 1.35)
    kitchen_pantry = (9.0, *less((4.1, 0, 5.9, 2.7), (4.5, 0, 5.4, 2.1)))
    # The void and flight 1's treads in the ceiling void, from its 15th step (2.8125 m) on.
    slab_void = (*less((0.1, 3.1, 3.9, 5.9), (1.2, 3.3 + 14 * 2.5 / 24, 2.2, 5.8)), 3.6)
    office_door = (4.0, *less((3.1, 4.5, 5.9, 8.7), (4.5, 4.5, 5.4, 6.6)))

    def walked(*points):
        return sum(math.dist(a, b) for a, b in zip(points, points[1:]))

    from_stairs = walked(stair_hall, lobby_stairs, lobby, front)
    expected = {
        "lobby": walked(lobby, front),
        "living": walked(living, doorway),
        "kitchen": walked(kitchen, open_side, living, doorway),
        "pantry": walked(pantry, kitchen_pantry, kitchen, open_side, living, doorway),
        "stair hall": from_stairs,
        "upper hall": walked(upper_hall, slab_void, stair_hall) + from_stairs,
        "office": walked(office, office_door, upper_hall, slab_void, stair_hall) + from_stairs,
    }
    egress = walkable.egress()
    assert set(egress) == {s.global_id for s in walkable.spaces}
    found = {name: egress[s.global_id] for name, s in zip(names, walkable.spaces)}
    assert found.pop("studio") > found["upper hall"]
    assert found == pytest.approx(expected, rel=1e-9)
    assert walkable.route_out("pantry") == ["0.05", "0.04", "0.03"]
    assert walkable.route_out("studio") == ["2.01", "1.01", "0.02", "0.01"]
    assert walkable.route_out("0.01") == ["0.01"]
    assert walkable.route("pantry", "studio") == ["0.05", "0.04", "0.03", "0.01", "0.02", "1.01", "2.01"]
    with pytest.raises(KeyError, match="'attic'"):
        walkable.route_out("attic")


def test_without_doors_there_is_no_way_out():
    layout = walkable_layout()
    layout.openings = [o for o in layout.openings if o.kind == "window"]
    building = building_of(ifc_model.ModelWriter(layout, "IFC4", False).model)
    assert building.exits == [] and building.route_out("office") == []
    assert set(building.egress().values()) == {math.inf}
    assert building.route("kitchen", "living") == ["0.04", "0.03"]  # open to each other all the same


def test_the_walked_graph_is_made_again_for_another_registry(walkable):
    from velmarin import Mesh, SpatialRegistry, Vector3D
    from velmarin_ifc import Building

    copy = Building(walkable.registry, walkable.spaces, walkable.apertures, walkable.columns, 0)
    assert len(copy.exits) == 2
    registry = copy.registry
    far = Mesh([Vector3D(500, 500, 0), Vector3D(501, 500, 0), Vector3D(500, 501, 0)], [[0, 1, 2]])
    copy.registry = SpatialRegistry(registry.meshes, registry.wires, [far] * len(registry.apertures))
    assert copy.exits == [] and copy.route("lobby", "studio") == []  # every door and stair far away


def test_plans_are_drawn(walkable, tmp_path):
    pytest.importorskip("matplotlib")
    from velmarin_ifc import draw_plans

    picture = tmp_path / "plans.png"
    draw_plans(walkable, picture, route=walkable.route_out("studio"))
    assert picture.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    draw_plans(walkable, tmp_path / "plans.svg", walkable.graph(slab_thickness=None), route=[7, 5, "0.02"])
    assert "<svg" in (tmp_path / "plans.svg").read_text()
    with pytest.raises(KeyError):
        draw_plans(walkable, picture, route=["attic"])
    with pytest.raises(IndexError, match="no room at position 8"):
        draw_plans(walkable, picture, route=[7, 8])
    code = "import sys; sys.modules['matplotlib'] = None; import velmarin_ifc; velmarin_ifc.draw_plans(None, 'x.png')"
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=60)
    assert "pip install 'velmarin[plot]'" in done.stderr


# The shared models, each against its own space boundaries: the doors between
# two spaces found as the passage between them, the exterior doors as exits of
# their room, the virtual boundaries (the terrace's stair openings) as
# passable. The small house has one door the boundaries give only one space,
# internal: it leads to a room the model leaves out, and is an exit here.
SHARED_MODELS = {  # doors between two spaces, exterior doors, virtual boundaries, other exits; passages; rooms out
    "231110AC-11-Smiley-West-04-07-2007.ifc.gz": ((49, 35, 15, 0), {"door": 50, "opening": 15, "none": 122}, 70),
    "ExampleHOM.ifc.gz": ((9, 1, 0, 1), {"door": 9, "none": 15}, 5),  # no stair: the ground floor only
    # No door leads out. The rooms' walls are whole faces here (the engine gave
    # some in triangles a few hundredths of a millimetre out of plane, which
    # met their neighbours in pieces): one edge for every door.
    "KIT-EDC_with_SB.ifc.gz": ((95, 0, 0, 0), {"door": 95, "none": 411}, 0),
}


@pytest.mark.parametrize("name", list(SHARED_MODELS))
def test_the_shared_models_agree_with_their_space_boundaries(name, tmp_path):
    from collections import Counter

    from support.space_boundaries import SHARED, agreement, unpacked

    if not (SHARED / name).exists():
        pytest.skip(f"{SHARED / name} is not there")
    path = unpacked(name, tmp_path)
    building = read_building(path)
    assert (building.skipped, building.left_out) == (0, [])  # nothing the checks before the engine leave out
    found = agreement(building, ifcopenshell.open(str(path)))
    (inner, outer, virtual, others), passages, out = SHARED_MODELS[name]
    assert (found.inner_doors, found.outer_doors, found.virtual) == (inner, outer, virtual)
    assert (found.inner_found, found.exits_found, found.virtual_walkable, len(found.other_exits)) == (
        inner,
        outer,
        virtual,
        others,
    )
    assert Counter(e.get_attribute("passage") for e in building.graph().edges) == passages
    assert sum(map(math.isfinite, building.egress().values())) == out


def test_solids_made_ahead_serve_only_in_the_models_own_unit(written):
    """The solids made from the text before ifcopenshell parsed it stand in
    for nothing unless their length unit is ifcopenshell's; without them
    (another kind of file, a unit not told) the same building is read."""
    from velmarin import Mesh
    from velmarin_ifc._building import building_from
    from velmarin_ifc._model import parts_of, solids_ahead

    def contacts(ahead):
        graph = building_from(parts_of(model, written.read_bytes(), ahead)).graph()
        return sorted((e.node_a, e.node_b, e.contact_type, round(e.shared_area, 9)) for e in graph.edges)

    model = ifcopenshell.open(str(written))
    unit, ahead = solids_ahead(str(written))
    assert unit == (0.001 if "IFC2X3" in written.name else 1.0) and len(ahead) > 30
    expected = contacts((unit, ahead))
    faceless = {key: Mesh([], []) for key in ahead}  # a room of these would have no faces
    assert contacts((unit * 2, faceless)) == contacts(None) == contacts((unit, {})) == expected
