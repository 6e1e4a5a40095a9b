"""TopologicalEntity: a record of the building's hierarchy."""

import pytest

from helpers import assert_noted
from velmarin import TopologicalEntity


def test_fields_round_trip():
    root = TopologicalEntity(1, "Building", None)
    storey = TopologicalEntity(id=2, entity_type="Storey", parent_id=1)
    assert (root.id, root.entity_type, root.parent_id) == (1, "Building", None)
    assert (storey.id, storey.entity_type, storey.parent_id) == (2, "Storey", 1)
    assert TopologicalEntity(5, "Space", 5).parent_id == 5
    assert TopologicalEntity(True, "x", None).id == 1


def test_writes_replace_and_failures_keep():
    e = TopologicalEntity(1, "Room", None)
    e.entity_type = ""
    assert e.entity_type == ""
    e.id = 2**64 - 1
    assert e.id == 2**64 - 1
    with pytest.raises(TypeError, match="'float' object is not an instance of 'str'") as caught:
        e.entity_type = 1.5
    assert_noted(caught.value, "entity_type")
    with pytest.raises(TypeError) as caught:
        e.id = 1.5
    assert_noted(caught.value, "id")
    assert (e.id, e.entity_type) == (2**64 - 1, "")


@pytest.mark.parametrize("name", ["id", "entity_type", "parent_id"])
def test_no_deleters(name):
    e = TopologicalEntity(1, "Room", 0)
    with pytest.raises(AttributeError, match="^property has no deleter$"):
        delattr(e, name)
