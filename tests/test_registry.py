"""SpatialRegistry: three lists owned by value, replaced whole."""

import pytest

from helpers import assert_noted
from velmarin import Mesh, SpatialRegistry, Vector3D, Wire


def triangle(dx=0.0):
    return Mesh([Vector3D(dx, 0, 0), Vector3D(dx + 1, 0, 0), Vector3D(dx, 1, 0)], [[0, 1, 2]])


def coords(v):
    return (v.x, v.y, v.z)


def test_empty_registry_reads_back_empty_lists():
    r = SpatialRegistry([], [], [])
    assert (r.meshes, r.wires, r.apertures) == ([], [], [])


def test_lists_are_copied_in_and_out():
    m = triangle()
    w = Wire(Vector3D(0, 0, 0), Vector3D(0, 0, 1))
    r = SpatialRegistry((m, m), [w], [triangle(5)])
    assert len(r.meshes) == 2
    assert r.meshes[0] is not r.meshes[0]
    assert r.meshes[0] is not m
    w.start = Vector3D(9, 9, 9)
    assert coords(r.wires[0].start) == (0, 0, 0)
    r.wires[0].end = Vector3D(7, 7, 7)
    assert coords(r.wires[0].end) == (0, 0, 1)
    assert [coords(v) for v in r.apertures[0].vertices] == [(5, 0, 0), (6, 0, 0), (5, 1, 0)]
    assert r.meshes[1].faces == [[0, 1, 2]]


def test_setters_replace_whole_lists():
    r = SpatialRegistry([triangle()], [], [])
    r.meshes = [triangle(1), triangle(2), triangle(3)]
    assert [m.vertices[0].x for m in r.meshes] == [1, 2, 3]
    r.wires = [Wire(Vector3D(0, 0, 0), Vector3D(1, 1, 1))]
    r.apertures = []
    assert len(r.wires) == 1 and r.apertures == []


@pytest.mark.parametrize(
    "args, name",
    [
        (("abc", [], []), "meshes"),
        (([triangle()], [triangle()], []), "wires"),
        (([], [], [None]), "apertures"),
        (([], {1}, []), "wires"),
    ],
)
def test_constructor_conversion_errors_name_the_list(args, name):
    with pytest.raises(TypeError) as info:
        SpatialRegistry(*args)
    assert_noted(info.value, name)


@pytest.mark.parametrize("name, bad", [("meshes", [triangle(), 3]), ("wires", "ab"), ("apertures", [None])])
def test_failed_write_leaves_registry_unchanged(name, bad):
    r = SpatialRegistry([triangle()], [Wire(Vector3D(0, 0, 0), Vector3D(1, 1, 1))], [triangle()])
    with pytest.raises(TypeError) as info:
        setattr(r, name, bad)
    assert_noted(info.value, name)
    assert len(getattr(r, name)) == 1


def test_properties_cannot_be_deleted():
    r = SpatialRegistry([], [], [])
    with pytest.raises(AttributeError, match="property has no deleter"):
        del r.meshes
