"""velmarin_ifc on the generated house (examples/ifc_model.py), written as IFC4 in
metres and as IFC2X3 in millimetres: what the model holds is known by construction."""
import math
import re
import subprocess
import sys

import pytest

ifcopenshell = pytest.importorskip("ifcopenshell")

import ifc_model  # noqa: E402
from velmarin_ifc import read_building  # noqa: E402
from velmarin_ifc._reading import building_of  # noqa: E402

ROOMS = [  # number, long name, storey, elevation
    ("0.01", "hall", "Ground floor", 0.0), ("0.02", "kitchen", "Ground floor", 0.0),
    ("0.03", "living", "Ground floor", 0.0), ("0.04", "study", "Ground floor", 0.0),
    ("1.01", "landing", "Upper floor", 3.0), ("1.02", "bath", "Upper floor", 3.0),
    ("1.03", "bedroom", "Upper floor", 3.0), ("1.04", "master bedroom", "Upper floor", 3.0),
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
    return [min(p.x for p in points), min(p.y for p in points), min(p.z for p in points),
            max(p.x for p in points), max(p.y for p in points), max(p.z for p in points)]


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
    stair = [bounds(m.vertices) for a, m in zip(building.apertures, building.registry.apertures)
             if a.name == "Stair void"]
    assert stair == [pytest.approx([0.4, 0.6, 2.7, 1.4, 3.1, 3.0], abs=1e-9)]
    # The hall's door to the kitchen: its leaf in the middle of the wall at x = 3, its opening through it.
    door = [bounds(m.vertices) for m in building.registry.apertures
            if bounds(m.vertices)[1] == pytest.approx(1.5) and bounds(m.vertices)[2] < 3]
    assert sorted(door) == [pytest.approx([2.9, 1.5, 0, 3.1, 2.4, 2.1]), pytest.approx([2.975, 1.5, 0, 3.025, 2.4, 2.1])]
    wires = [(w.start.x, w.start.y, w.start.z, w.end.x, w.end.y, w.end.z) for w in building.registry.wires]
    assert wires == [pytest.approx(w) for w in [(4.2, 0.9, 0, 4.2, 0.9, 2.7), (4.2, 0.9, 3, 4.2, 0.9, 5.7),
                                                 (3.8, 7.1, 0, 3.8, 7.1, 2.7), (3.8, 7.1, 3, 3.8, 7.1, 5.7)]]
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
    for name, text in [("notes.ifc", "rooms: hall, kitchen\n"), ("empty.ifc", ""),
                       ("part.ifc", "ISO-10303-21;\nHEADER;\nFILE_SCHEMA(('IFC4'));\n")]:
        (tmp_path / name).write_text(text)
        with pytest.raises(ValueError, match=f"'{tmp_path / name}' is not an IFC model"):
            read_building(str(tmp_path / name))


def test_without_ifcopenshell_the_import_says_how_to_install_it():
    code = "import sys; sys.modules['ifcopenshell'] = None; import velmarin_ifc"
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=60)
    assert done.returncode == 1
    assert "ImportError" in done.stderr and "pip install 'velmarin[ifc]'" in done.stderr


# Each pair of rooms facing each other: across what, the area before the
# openings are cut, the openings' area. Doors are 0.9 m x 2.1 m, the stair
# void 1.0 m x 2.5 m; rooms are 2.7 m high.
PAIRS = {
    ("hall", "kitchen"): ("wall", 3.8 * 2.7, 1.89), ("hall", "living"): ("wall", 2.8 * 2.7, 1.89),
    ("kitchen", "living"): ("wall", 1.8 * 2.7, 0.0), ("kitchen", "study"): ("wall", 3.8 * 2.7, 0.0),
    ("living", "study"): ("wall", 3.8 * 2.7, 1.89), ("landing", "bath"): ("wall", 3.8 * 2.7, 1.89),
    ("landing", "master bedroom"): ("wall", 2.8 * 2.7, 1.89), ("bath", "bedroom"): ("wall", 3.8 * 2.7, 0.0),
    ("bath", "master bedroom"): ("wall", 2.8 * 2.7, 0.0), ("bedroom", "master bedroom"): ("wall", 2.8 * 2.7, 1.89),
    ("hall", "landing"): ("slab", 2.8 * 3.8, 2.5), ("kitchen", "bath"): ("slab", 2.8 * 3.8, 0.0),
    ("kitchen", "bedroom"): ("slab", 2.8 * 3.8, 0.0), ("living", "master bedroom"): ("slab", 4.8 * 3.8, 0.0),
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
    assert found == {pair: (kind, pytest.approx(area), pytest.approx(opening, abs=1e-6),
                            pytest.approx(0.2 if kind == "wall" else 0.3)) for pair, (kind, area, opening) in PAIRS.items()}
    node = graph.nodes[names.index("master bedroom")]
    assert node.get_all_attributes() == {"name": "1.04", "long_name": "master bedroom", "storey": "Upper floor",
                                         "global_id": building.spaces[7].global_id}


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
    with pytest.raises(ValueError, match=re.escape(f"4 rooms are named 'room'; give one of their global ids: {spaces[4].global_id}, ")):
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
