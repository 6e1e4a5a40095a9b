"""Binding of positional and keyword arguments: the interpreter-style messages."""

import re

import pytest

from velmarin import Mesh, TopologicalEntity, Vector3D, Wire


def raises_type_error(text):
    return pytest.raises(TypeError, match="^" + re.escape(text) + "$")


@pytest.mark.parametrize(
    "call, text",
    [
        (lambda: Vector3D(1, 2), "Vector3D.__new__() missing 1 required positional argument: 'z'"),
        (lambda: Vector3D(1), "Vector3D.__new__() missing 2 required positional arguments: 'y' and 'z'"),
        (lambda: Vector3D(), "Vector3D.__new__() missing 3 required positional arguments: 'x', 'y', and 'z'"),
        (lambda: Vector3D(z=1), "Vector3D.__new__() missing 2 required positional arguments: 'x' and 'y'"),
        (lambda: Vector3D(1, 2, 3, 4), "Vector3D.__new__() takes 3 positional arguments but 4 were given"),
        (lambda: Vector3D(1, 2, 3, x=1), "Vector3D.__new__() got multiple values for argument 'x'"),
        (lambda: Vector3D(1, 2, w=3), "Vector3D.__new__() got an unexpected keyword argument 'w'"),
        (lambda: Wire(1, 2, 3), "Wire.__new__() takes 2 positional arguments but 3 were given"),
        (
            lambda: TopologicalEntity(1, "Building"),
            "TopologicalEntity.__new__() missing 1 required positional argument: 'parent_id'",
        ),
        (lambda: Mesh([], [], []), "Mesh.__new__() takes 2 positional arguments but 3 were given"),
    ],
)
def test_binding_messages(call, text):
    with raises_type_error(text):
        call()


def test_keywords_fill_any_parameter_in_any_order():
    v = Vector3D(z=3, x=1, y=2)
    assert (v.x, v.y, v.z) == (1.0, 2.0, 3.0)
    w = Wire(end=v, start=Vector3D(0, 0, 0))
    assert w.end.z == 3.0


def test_binding_fails_before_any_conversion():
    # The unknown keyword is reported even though 'x' cannot convert either.
    with raises_type_error("Vector3D.__new__() got an unexpected keyword argument 'w'"):
        Vector3D("bad", 2, 3, w=1)


def test_an_unexpected_keyword_is_reported_before_missing_ones():
    with raises_type_error("Vector3D.__new__() got an unexpected keyword argument 'q'"):
        Vector3D(q=1)


def test_methods_without_arguments_refuse_arguments():
    m = Mesh([], [])
    with pytest.raises(TypeError):
        m.validate(1)
    with pytest.raises(TypeError):
        m.compute_volume_centroid(x=1)


def test_non_ascii_keyword_is_reported_as_given():
    with raises_type_error("Vector3D.__new__() got an unexpected keyword argument 'ẋ'"):
        Vector3D(1, 2, 3, **{"ẋ": 1})
