"""Vector3D and Wire: plain value carriers."""

import math

import pytest

from velmarin import Vector3D, Wire


def test_vector_reads_and_writes_floats():
    v = Vector3D(1, 2, 3)
    assert (v.x, v.y, v.z) == (1.0, 2.0, 3.0)
    assert type(v.x) is float
    v.x, v.y, v.z = -0.0, float("inf"), 10**20
    assert math.copysign(1, v.x) == -1 and v.y == math.inf and v.z == 1e20


def test_wire_keeps_any_ends():
    p = Vector3D(float("nan"), 0, 0)
    w = Wire(p, p)
    assert math.isnan(w.start.x) and math.isnan(w.end.x)


def test_wire_end_writes_convert_first():
    w = Wire(Vector3D(0, 0, 0), Vector3D(1, 1, 1))
    with pytest.raises(TypeError):
        w.end = 5
    assert w.end.x == 1.0
    with pytest.raises(AttributeError, match="property has no deleter"):
        del w.start


def test_read_only_properties_and_unknown_attributes():
    w = Wire(Vector3D(0, 0, 0), Vector3D(1, 1, 1))
    with pytest.raises(AttributeError):
        w.middle = Vector3D(0, 0, 0)
