import gc
import sys
import threading

import pytest

from helpers import assert_noted
from velmarin import GraphEdge, GraphNode, Vector3D


def make_node():
    return GraphNode(0, Vector3D(0.0, 0.0, 0.0))


def make_edge():
    return GraphEdge(0, 1, 1.0, Vector3D(0.0, 0.0, 0.0), "VerticalWallContact")


holders = pytest.mark.parametrize("make", [make_node, make_edge], ids=["node", "edge"])


class Token:
    """A value whose identity and reference count the tests follow."""


@holders
def test_new_object_has_no_attributes(make):
    holder = make()
    assert holder.get_all_attributes() == {}
    assert holder.get_attribute("x") is None


@holders
def test_values_are_the_very_objects(make):
    holder = make()
    value = [1, 2]
    holder.set_attribute("name", value)
    assert holder.get_attribute("name") is value
    assert holder.get_all_attributes()["name"] is value
    value.append(3)  # a change through the value is seen by the holder
    assert holder.get_attribute("name") == [1, 2, 3]


@holders
def test_replacing_keeps_one_entry_and_releases_the_old_value(make):
    holder = make()
    first, second = Token(), Token()
    before = sys.getrefcount(first)
    holder.set_attribute("k", first)
    assert sys.getrefcount(first) == before + 1
    holder.set_attribute("k", second)
    assert sys.getrefcount(first) == before
    assert holder.get_all_attributes() == {"k": second}


@holders
def test_releasing_the_holder_releases_every_value(make):
    holder = make()
    values = [Token() for _ in range(50)]
    before = [sys.getrefcount(v) for v in values]
    for i, v in enumerate(values):
        holder.set_attribute(f"k{i}", v)
    del holder, v
    gc.collect()
    assert [sys.getrefcount(v) for v in values] == before


def test_a_long_chain_of_holders_is_released_without_deep_recursion():
    # Each holder keeps the next alive through an attribute; releasing the
    # head releases the whole chain, on a thread with a small stack.
    tail_value = Token()
    before = sys.getrefcount(tail_value)

    def build_and_release():
        head = make_edge()
        head.set_attribute("value", tail_value)
        for i in range(100_000):
            link = make_node() if i % 2 else make_edge()
            link.set_attribute("next", head)
            head = link
        del link
        head = None  # noqa: F841 - the release under test

    old_size = threading.stack_size(1 << 20)
    try:
        worker = threading.Thread(target=build_and_release)
        worker.start()
        worker.join()
    finally:
        threading.stack_size(old_size)
    assert sys.getrefcount(tail_value) == before


@holders
def test_none_is_stored_and_reads_as_missing(make):
    holder = make()
    holder.set_attribute("a", None)
    assert holder.get_attribute("a") is None
    assert holder.get_all_attributes() == {"a": None}


@holders
def test_keys_are_compared_by_their_bytes(make):
    holder = make()
    composed, decomposed = "\u00e9", "e\u0301"
    for key in ["a", "A", composed, decomposed, "", "a\x00b", "a\x00c"]:
        holder.set_attribute(key, key)
    assert holder.get_all_attributes() == {k: k for k in ["a", "A", composed, decomposed, "", "a\x00b", "a\x00c"]}
    assert holder.get_attribute("a\x00") is None


@holders
def test_many_keys_all_found(make):
    holder = make()
    keys = [f"key{i}" * (i % 7 + 1) for i in range(5000)]
    for i, key in enumerate(keys):
        holder.set_attribute(key, i)
    assert all(holder.get_attribute(k) == i for i, k in enumerate(keys))
    assert len(holder.get_all_attributes()) == len(set(keys))


@holders
def test_returned_dict_is_fresh(make):
    holder = make()
    holder.set_attribute("a", 1)
    d = holder.get_all_attributes()
    d["b"] = 2
    del d["a"]
    assert holder.get_all_attributes() == {"a": 1}
    assert holder.get_all_attributes() is not holder.get_all_attributes()


def test_enumeration_order_differs_between_maps():
    keys = [f"k{i}" for i in range(40)]
    orders = set()
    for _ in range(10):
        node = make_node()
        for k in keys:
            node.set_attribute(k, None)
        orders.add(tuple(node.get_all_attributes()))
    assert len(orders) > 1


@holders
def test_key_must_be_text(make):
    holder = make()
    name = type(holder).__name__
    with pytest.raises(TypeError, match=r"^'int' object is not an instance of 'str'") as info:
        holder.set_attribute(1, 2)
    assert_noted(info.value, "key")
    with pytest.raises(TypeError, match=r"^'None' is not an instance of 'str'"):
        holder.get_attribute(None)
    with pytest.raises(UnicodeEncodeError):
        holder.set_attribute("\ud800", 1)
    with pytest.raises(TypeError, match=rf"^{name}\.set_attribute\(\) missing 1 required positional argument: 'value'"):
        holder.set_attribute("k")
    assert holder.get_all_attributes() == {}

    class Text(str):
        pass

    holder.set_attribute(Text("sub"), 1)
    assert holder.get_attribute("sub") == 1


@holders
def test_an_object_may_hold_itself(make):
    holder = make()
    holder.set_attribute("self", holder)
    assert holder.get_attribute("self") is holder


class Reentrant:
    """On release, touches the attribute map of the holder being written."""

    def __init__(self, holder, action):
        self.holder = holder
        self.action = action

    def __del__(self):
        self.action(self.holder)


@holders
@pytest.mark.parametrize(
    "action, message",
    [
        (lambda h: h.get_attribute("k"), "Already mutably borrowed"),
        (lambda h: h.get_all_attributes(), "Already mutably borrowed"),
        (lambda h: h.set_attribute("other", 1), "Already borrowed"),
    ],
    ids=["get", "get_all", "set"],
)
def test_finaliser_of_a_replaced_value_cannot_touch_the_holder(make, action, message):
    holder = make()
    holder.set_attribute("k", Reentrant(holder, action))
    reported = []
    old_hook = sys.unraisablehook
    sys.unraisablehook = reported.append
    try:
        holder.set_attribute("k", "new")  # succeeds although the finaliser fails
    finally:
        sys.unraisablehook = old_hook
    assert holder.get_all_attributes() == {"k": "new"}
    assert len(reported) == 1
    assert type(reported[0].exc_value) is RuntimeError
    assert str(reported[0].exc_value) == message


def test_documentation():
    assert GraphNode.set_attribute.__doc__ is None
    assert GraphNode.set_attribute.__text_signature__ == "($self, key, value)"
    assert GraphNode.get_attribute.__doc__ == (
        "Safely fetches attribute or returns Python None, bypassing ambiguous conversion traits."
    )
    assert GraphNode.get_all_attributes.__doc__ == (
        "Packs all attributes into a standard Python dictionary in C++ memory."
    )
    for method in ("set_attribute", "get_attribute", "get_all_attributes"):
        assert getattr(GraphEdge, method).__doc__ is None
    assert GraphEdge.get_attribute.__text_signature__ == "($self, key)"
    assert GraphEdge.get_all_attributes.__text_signature__ == "($self)"
