"""velmarin_ifc on models that would take the geometry engine down: placements
and shapes that refer back to themselves or to entities of the wrong kind, and
numbers no building holds, are left out with the reason before the engine
runs (the shared models as they are lose nothing: test_ifc_building.py); a read with a timeout runs in a child process that is ended when the
time is up, and named by its signal when it dies. Every hostile model here is
read in a child, so that a check that misses one fails a test, not the run."""

import math
import os
import re
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest

ifcopenshell = pytest.importorskip("ifcopenshell")

from support.examples import example  # noqa: E402
from support.space_boundaries import SHARED, unpacked  # noqa: E402
from velmarin_ifc import read_building  # noqa: E402
from velmarin_ifc._model import building_of  # noqa: E402

ifc_model = example("ifc_model")


def house(schema="IFC4", millimetres=False):
    return ifc_model.ModelWriter(ifc_model.house_layout(), schema, millimetres).model


def written(model, folder, name="model.ifc"):
    model.write(str(folder / name))
    return folder / name


def shared(name, folder):
    """A shared model, opened from a copy unpacked into the folder."""
    if not (SHARED / name).exists():
        pytest.skip(f"{SHARED / name} is not there")
    return ifcopenshell.open(str(unpacked(name, folder)))


def left_out(building):
    return {(e.global_id, e.reason) for e in building.left_out}


def readers(parent=None):
    """The pids of the child processes reading models for a process (this one by default)."""
    found = []
    for entry in Path("/proc").glob("[0-9]*"):
        try:
            stat, command = (entry / "stat").read_text(), (entry / "cmdline").read_bytes()
        except OSError:
            continue
        if int(stat.rsplit(")", 1)[1].split()[1]) == (parent or os.getpid()) and b"velmarin_ifc._isolated" in command:
            found.append(int(entry.name))
    return found


def waited(condition, seconds=60):
    deadline = time.monotonic() + seconds
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.01)
    return condition()


def test_placements_and_shapes_that_refer_back_or_astray_are_left_out(tmp_path):
    model = house()
    spaces = {s.LongName: s for s in model.by_type("IfcSpace")}
    door, window, columns = model.by_type("IfcDoor")[0], model.by_type("IfcWindow")[0], model.by_type("IfcColumn")
    origin = model.createIfcCartesianPoint((0.0, 0.0, 0.0))
    for element in (spaces["study"], door, columns[0]):  # placed relative to itself
        element.ObjectPlacement.PlacementRelTo = element.ObjectPlacement
    ring = columns[1].ObjectPlacement  # two placements, each relative to the other
    ring.PlacementRelTo = model.createIfcLocalPlacement(ring, model.createIfcAxis2Placement3D(origin))
    for element in (columns[2], window):  # a shape that maps itself, and one that maps a point
        shape = element.Representation.Representations[0]
        source = (
            model.createIfcRepresentationMap(model.createIfcAxis2Placement3D(origin), shape)
            if element is columns[2]
            else origin
        )
        operator = model.createIfcCartesianTransformationOperator3D(None, None, origin, 1.0, None)
        shape.Items = [model.createIfcMappedItem(source, operator)]
    building = read_building(written(model, tmp_path), timeout=120)

    assert left_out(building) == {
        (spaces["study"].GlobalId, "reference cycle"),
        (door.GlobalId, "reference cycle"),
        (columns[0].GlobalId, "reference cycle"),
        (columns[1].GlobalId, "reference cycle"),
        (columns[2].GlobalId, "reference cycle"),
        (window.GlobalId, "wrong reference"),
        (spaces["store"].GlobalId, "no geometry"),
    }
    assert building.skipped == 7
    a, b = ring.id(), ring.PlacementRelTo.id()
    details = {e.global_id: e.detail for e in building.left_out}
    assert (
        details[columns[1].GlobalId]
        == f"its placement loops: #{a}=IfcLocalPlacement -> #{b}=IfcLocalPlacement -> #{a}=IfcLocalPlacement"
    )
    assert (len(building.spaces), len(building.apertures), len(building.columns)) == (7, 27, 1)


def test_shapes_that_loop_or_refer_astray_are_left_out(tmp_path):
    model = house()
    doors, windows = model.by_type("IfcDoor"), model.by_type("IfcWindow")
    solids = [e.Representation.Representations[0].Items[0] for e in (doors[1], doors[2], windows[1], windows[2])]
    derived = model.createIfcDerivedProfileDef(
        "AREA",
        None,
        solids[0].SweptArea,
        model.createIfcCartesianTransformationOperator2D(None, None, model.createIfcCartesianPoint((0.0, 0.0)), 1.0),
        None,
    )
    derived.ParentProfile = solids[0].SweptArea = derived  # a profile derived from itself
    boolean = model.createIfcBooleanResult("DIFFERENCE", solids[1], solids[1])
    boolean.FirstOperand = boolean  # a difference of itself and the door, worked on for ever
    doors[2].Representation.Representations[0].Items = [boolean]
    curve = model.createIfcCompositeCurve(
        [model.createIfcCompositeCurveSegment("CONTINUOUS", True, solids[2].SweptArea.OuterCurve)], False
    )
    curve.Segments[0].ParentCurve = solids[2].SweptArea.OuterCurve = curve  # a curve one of whose segments is itself
    revolved = model.createIfcRevolvedAreaSolid(
        solids[3].SweptArea, solids[3].Position, solids[3].Position.Location, 1.0
    )
    windows[2].Representation.Representations[0].Items = [revolved]  # about an axis that is a point
    building = read_building(written(model, tmp_path), timeout=120)

    assert {g: r for g, r in left_out(building)} == {
        doors[1].GlobalId: "reference cycle",
        doors[2].GlobalId: "reference cycle",
        windows[1].GlobalId: "reference cycle",
        windows[2].GlobalId: "wrong reference",
        model.by_type("IfcSpace")[-1].GlobalId: "no geometry",
    }
    details = {e.global_id: e.detail for e in building.left_out}
    assert (
        details[doors[2].GlobalId]
        == f"its shape loops: #{boolean.id()}=IfcBooleanResult -> #{boolean.id()}=IfcBooleanResult"
    )
    assert details[windows[2].GlobalId].startswith(f"#{revolved.id()}=IfcRevolvedAreaSolid has Axis ")


def test_lengths_no_building_holds_are_left_out_before_the_engine_sees_them(tmp_path):
    model = house("IFC2X3", millimetres=True)  # the bounds hold after the unit is applied
    columns, door = model.by_type("IfcColumn"), model.by_type("IfcDoor")[0]
    centre = model.createIfcAxis2Placement2D(model.createIfcCartesianPoint((0.0, 0.0)), None)
    for column, radius in ((columns[0], 1e12), (columns[1], 9e6)):  # 1,000,000 km and 9 km
        column.Representation.Representations[0].Items[0].SweptArea = model.createIfcCircleProfileDef(
            "AREA", None, centre, radius
        )
    leaf = door.Representation.Representations[0].Items[0]  # a point far out, swept along the profile's plane
    leaf.SweptArea.OuterCurve.Points[2].Coordinates = (0.0, 1.23e29)
    leaf.ExtrudedDirection = model.createIfcDirection((0.0, 1.23e29, 1.0))
    site = model.by_type("IfcSite")[0].ObjectPlacement.RelativePlacement
    site.Location = model.createIfcCartesianPoint((2.6e9, 1.2e9, 0.0))  # on a national grid: 2,600 km east
    building = read_building(written(model, tmp_path), timeout=120)

    assert {(g, r) for g, r in left_out(building) if r == "absurd number"} == {
        (columns[0].GlobalId, "absurd number"),
        (door.GlobalId, "absurd number"),
    }
    assert (len(building.spaces), len(building.apertures), len(building.columns)) == (8, 28, 3)
    assert min(v.x for v in building.registry.meshes[0].vertices) == pytest.approx(2.6e6 + 0.1)
    detail = next(e.detail for e in building.left_out if e.global_id == columns[0].GlobalId)
    assert re.fullmatch(
        r"#\d+=IfcCircleProfileDef has Radius 1e\+12 \(1e\+09 m\), beyond the 10000 m it may hold", detail
    )


def test_mutated_shared_models_lose_only_what_was_broken(tmp_path):
    model = shared("ExampleHOM.ifc.gz", tmp_path)
    spaces = {s.Name: s for s in model.by_type("IfcSpace")}
    faces = spaces["Kitchen5"].Representation.Representations[0].Items[0]
    faces.Coordinates = faces  # crashed the engine
    spaces["Living1"].ObjectPlacement.PlacementRelTo = spaces["Living1"].ObjectPlacement
    points = spaces["Bedroom6"].Representation.Representations[0].Items[0].Coordinates
    points.CoordList = [(1.23e29, 0.0, 0.0)] + list(points.CoordList[1:])
    door = model.by_type("IfcDoor")[0]
    item = next(i for r in door.Representation.Representations for i in r.Items if i.is_a("IfcMappedItem"))
    source = item.MappingSource  # mapped into the door's body, which then maps it: it crashed the engine
    source.MappedRepresentation = next(r for r in door.Representation.Representations if item in r.Items)
    mapping = {
        p.GlobalId
        for p in model.by_type("IfcDoor")
        for r in p.Representation.Representations
        for i in r.Items
        if i.is_a("IfcMappedItem") and i.MappingSource == source
    }
    building = read_building(written(model, tmp_path, "mutated.ifc"), timeout=120)

    assert left_out(building) == {
        (spaces["Kitchen5"].GlobalId, "wrong reference"),
        (spaces["Living1"].GlobalId, "reference cycle"),
        (spaces["Bedroom6"].GlobalId, "absurd number"),
    } | {(g, "reference cycle") for g in mapping}
    assert len(building.spaces) == 8 and door.GlobalId in mapping

    model = shared("KIT-EDC_with_SB.ifc.gz", tmp_path)
    window = model.by_type("IfcWindow")[0]
    item = next(i for r in window.Representation.Representations for i in r.Items if i.is_a("IfcMappedItem"))
    item.MappingSource = item  # crashed the engine
    building = read_building(written(model, tmp_path, "mutated.ifc"), timeout=120)
    assert left_out(building) == {(window.GlobalId, "wrong reference")}


def slowed(model, types=("IfcColumn",), bodies=1):
    """The model with the elements of these types given `bodies` round bodies
    of 9 km radius each: within every bound, and long to read (two minutes
    for the house's three columns), as the engine cuts each round profile
    into segments of a bounded deviation. They are ellipses, which only the
    engine makes (velmarin makes circles itself, fast)."""
    centre = model.createIfcAxis2Placement2D(model.createIfcCartesianPoint((0.0, 0.0)), None)
    for element in (e for t in types for e in model.by_type(t)):
        body = element.Representation.Representations[0]
        solid = body.Items[0]
        solid.SweptArea = model.createIfcEllipseProfileDef("AREA", None, centre, 9000.0, 9000.0)
        body.Items = (
            solid,
            *(
                model.createIfcExtrudedAreaSolid(
                    solid.SweptArea, solid.Position, solid.ExtrudedDirection, solid.Depth * (1 + k / 10)
                )
                for k in range(1, bodies)
            ),
        )
    return model


@pytest.fixture(scope="module")
def slow(tmp_path_factory):
    """The house with round columns of 9 km."""
    return written(slowed(house()), tmp_path_factory.mktemp("slow"))


def test_a_read_that_takes_too_long_is_ended(slow):
    with pytest.raises(TimeoutError, match=re.escape(f"reading '{slow}' took longer than 0.5 s; the read was ended")):
        read_building(slow, timeout=0.5)
    assert readers() == []


def test_a_child_that_dies_is_named_by_its_signal(slow):
    failed = []

    def read():
        with pytest.raises(RuntimeError) as error:
            read_building(slow, timeout=120)
        failed.append(str(error.value))

    reading = threading.Thread(target=read)
    reading.start()
    assert waited(readers)
    for pid in readers():
        os.kill(pid, signal.SIGKILL)  # as the system ends a process that takes too much memory
    reading.join(120)
    assert failed == [f"reading '{slow}' failed: the child process reading it was killed by SIGKILL (Killed)"]
    assert readers() == []


def test_ctrl_c_ends_the_child_too(slow):
    script = (
        f"from velmarin_ifc import read_building\ntry:\n    read_building({str(slow)!r}, timeout=120)\n"
        "except KeyboardInterrupt:\n    print('interrupted')\n"
    )
    caller = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, text=True)
    assert waited(lambda: readers(caller.pid))
    child = readers(caller.pid)[0]
    caller.send_signal(signal.SIGINT)
    assert caller.communicate(timeout=60)[0] == "interrupted\n"
    assert not Path(f"/proc/{child}").exists()


def test_a_read_in_a_child_gives_what_a_read_here_gives(tmp_path):
    path = written(house(), tmp_path)
    here, there = read_building(path), read_building(path, timeout=120)
    for ours, theirs in (
        (here.registry.meshes, there.registry.meshes),
        (here.registry.apertures, there.registry.apertures),
    ):
        assert [(m.faces, [(v.x, v.y, v.z) for v in m.vertices]) for m in ours] == [
            (m.faces, [(v.x, v.y, v.z) for v in m.vertices]) for m in theirs
        ]
    assert [(w.start.z, w.end.x) for w in here.registry.wires] == [(w.start.z, w.end.x) for w in there.registry.wires]
    assert (here.spaces, here.apertures, here.columns, here.left_out) == (
        there.spaces,
        there.apertures,
        there.columns,
        there.left_out,
    )
    (tmp_path / "notes.ifc").write_text("rooms: hall, kitchen\n")
    with pytest.raises(ValueError, match="notes.ifc' is not an IFC model"):
        read_building(tmp_path / "notes.ifc", timeout=120)
    for bad, error in (
        (0, ValueError),
        (-1.0, ValueError),
        (math.nan, ValueError),
        ("1", TypeError),
        (True, TypeError),
    ):
        with pytest.raises(error, match="timeout must be a"):
            read_building(path, timeout=bad)
    assert readers() == []


def test_elements_left_out_in_memory_models_say_why():
    model = house()
    model.by_type("IfcColumn")[0].Representation.Representations[0].Items[0].Depth = 0.0
    model.by_type("IfcWindow")[0].Representation = None
    assert sorted((e.ifc_class, e.reason, e.detail) for e in building_of(model).left_out) == [
        ("IfcColumn", "engine failure", "the geometry engine made no solid of its shape representations"),
        ("IfcSpace", "no geometry", "it has no shape representation"),
        ("IfcWindow", "no geometry", "it has no shape representation"),
    ]
