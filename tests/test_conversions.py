"""Conversion of arguments by kind, with the texts and notes callers see."""

import math
import re

import pytest

from helpers import assert_noted
from velmarin import Mesh, TopologicalEntity, Vector3D, Wire


def exactly(text):
    return "^" + re.escape(text) + "(\\n|$)"


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class Floaty:
    def __float__(self):
        return 2.5


class Exploding:
    def __float__(self):
        raise ZeroDivisionError("no float here")


class TestFloat:
    def test_accepts_what_float_accepts(self):
        v = Vector3D(True, 2, Floaty())
        assert (v.x, v.y, v.z) == (1.0, 2.0, 2.5)
        assert Vector3D(Index(7), 0, 0).x == 7.0
        assert Vector3D(-1.0, -1, 0).x == -1.0

    def test_special_values_are_kept(self):
        v = Vector3D(float("nan"), float("inf"), -0.0)
        assert math.isnan(v.x) and v.y == math.inf
        assert math.copysign(1.0, v.z) == -1.0

    def test_refusal_carries_the_interpreters_error_and_a_note(self):
        with pytest.raises(TypeError) as caught:
            Vector3D("1", 2, 3)
        assert_noted(caught.value, "x")
        with pytest.raises(ZeroDivisionError, match="no float here") as caught:
            Vector3D(1, 2, Exploding())
        assert_noted(caught.value, "z")

    def test_a_failing_write_keeps_the_old_value(self):
        v = Vector3D(1, 2, 3)
        with pytest.raises(TypeError) as caught:
            v.y = "a"
        assert_noted(caught.value, "y")
        assert v.y == 2.0


class TestUnsigned:
    @pytest.mark.parametrize("value, expected", [(0, 0), (2**64 - 1, 2**64 - 1), (True, 1), (Index(9), 9)])
    def test_accepted(self, value, expected):
        assert TopologicalEntity(value, "x", None).id == expected

    @pytest.mark.parametrize(
        "value, error",
        [(-1, OverflowError), (2**64, OverflowError), (1.0, TypeError), ("1", TypeError), (Index(-3), OverflowError)],
    )
    def test_refused(self, value, error):
        with pytest.raises(error) as caught:
            TopologicalEntity(value, "x", None)
        assert_noted(caught.value, "id")

    def test_optional_takes_none(self):
        e = TopologicalEntity(1, "Room", None)
        assert e.parent_id is None
        e.parent_id = 7
        assert e.parent_id == 7
        with pytest.raises(OverflowError) as caught:
            e.parent_id = -7
        assert_noted(caught.value, "parent_id")
        assert e.parent_id == 7
        e.parent_id = None
        assert e.parent_id is None


class TestText:
    def test_only_str_and_subclasses(self):
        class Name(str):
            pass

        assert TopologicalEntity(1, Name("Storey"), None).entity_type == "Storey"
        with pytest.raises(TypeError, match=exactly("'int' object is not an instance of 'str'")) as caught:
            TopologicalEntity(1, 5, None)
        assert_noted(caught.value, "entity_type")
        with pytest.raises(TypeError, match=exactly("'None' is not an instance of 'str'")):
            TopologicalEntity(1, None, None)
        with pytest.raises(TypeError, match=exactly("'bytes' object is not an instance of 'str'")):
            TopologicalEntity(1, b"Room", None)

    def test_round_trips_any_unicode(self):
        text = "Raum \u00e4\u0308 \U0001f3e0 \x00 end"
        assert TopologicalEntity(1, text, None).entity_type == text

    def test_lone_surrogates_are_refused(self):
        with pytest.raises(UnicodeEncodeError) as caught:
            TopologicalEntity(1, "\udc80", None)
        assert_noted(caught.value, "entity_type")


class TestVectorValue:
    def test_instances_only(self):
        v = Vector3D(0, 0, 0)
        with pytest.raises(TypeError, match=exactly("'tuple' object is not an instance of 'Vector3D'")) as caught:
            Wire(v, (1, 2, 3))
        assert_noted(caught.value, "end")
        with pytest.raises(TypeError, match=exactly("'None' is not an instance of 'Vector3D'")) as caught:
            Wire(None, v)
        assert_noted(caught.value, "start")

    def test_values_are_copied_in_and_out(self):
        v = Vector3D(0, 0, 0)
        w = Wire(v, v)
        v.x = 5
        assert w.start.x == 0.0 and w.end.x == 0.0
        w.start.x = 7
        assert w.start.x == 0.0
        w.start = Vector3D(7, 0, 0)
        assert w.start.x == 7.0
        assert w.start is not w.start


class TestLists:
    def setup_method(self):
        self.p, self.q, self.r = Vector3D(0, 0, 0), Vector3D(1, 0, 0), Vector3D(0, 1, 0)

    @pytest.mark.parametrize(
        "vertices, faces, text, parameter",
        [
            ("abc", [], "Can't extract `str` to `Vec`", "vertices"),
            (set(), [], "'set' object is not an instance of 'Sequence'", "vertices"),
            ({}.keys(), [], "'dict_keys' object is not an instance of 'Sequence'", "vertices"),
            ((x for x in []), [], "'generator' object is not an instance of 'Sequence'", "vertices"),
            ([5], [], "'int' object is not an instance of 'Vector3D'", "vertices"),
            ([None], [], "'None' is not an instance of 'Vector3D'", "vertices"),
            ([], ["012"], "Can't extract `str` to `Vec`", "faces"),
            ([], "012", "Can't extract `str` to `Vec`", "faces"),
            ([], [[0, 1.5, 2]], None, "faces"),
        ],
    )
    def test_refusals_name_the_list(self, vertices, faces, text, parameter):
        with pytest.raises(TypeError, match=exactly(text) if text else None) as caught:
            Mesh(vertices, faces)
        assert_noted(caught.value, parameter)

    def test_first_bad_item_ends_the_conversion(self):
        with pytest.raises(TypeError, match="'int' object"):
            Mesh([self.p, 5, None], [])

    def test_any_sequence_is_taken_in_iteration_order(self):
        m = Mesh((self.p, self.q, self.r), ((0, 1, 2), range(3), [2, 1, 0]))
        assert m.faces == [[0, 1, 2], [0, 1, 2], [2, 1, 0]]
        assert Mesh([self.p, self.q, self.r], [b"\x00\x01\x02"]).faces == [[0, 1, 2]]

    def test_sequences_registered_with_the_abc_are_accepted(self):
        import collections.abc

        class Points:
            def __init__(self, items):
                self.items = items

            def __iter__(self):
                return iter(self.items)

            def __len__(self):
                return len(self.items)

        collections.abc.Sequence.register(Points)
        assert len(Mesh(Points([self.p, self.q]), []).vertices) == 2

    def test_a_failing_length_is_ignored_and_iteration_errors_propagate(self):
        class NoLength(list):
            def __len__(self):
                raise RuntimeError("no length")

        assert len(Mesh(NoLength([self.p, self.q]), []).vertices) == 2

        # The length is a hint only: one that no reservation can honour is
        # no failure, at either level.
        for claimed in (2**62, 2**40):

            class OverReported(list):
                def __len__(self):
                    return claimed

            m = Mesh(OverReported([self.p, self.q, self.r]), OverReported([OverReported([0, 1, 2])]))
            assert (len(m.vertices), m.faces) == (3, [[0, 1, 2]])

        class BrokenIteration(list):
            def __iter__(self):
                yield self[0]
                raise KeyError("broken")

        with pytest.raises(KeyError) as caught:
            Mesh(BrokenIteration([self.p, self.q]), [])
        assert_noted(caught.value, "vertices")

    def test_results_are_fresh_lists_of_fresh_objects(self):
        m = Mesh([self.p, self.q, self.r], [[0, 1, 2]])
        faces = m.faces
        faces[0].append(9)
        faces.append([1, 1, 1])
        assert m.faces == [[0, 1, 2]]
        assert m.vertices[0] is not m.vertices[0]
