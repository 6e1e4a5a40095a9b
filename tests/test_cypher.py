import collections
import enum
import math
import random
import struct
import sys
from decimal import Decimal

import pytest

from helpers import assert_noted
from velmarin import GraphEdge, GraphNode, SpatialGraph, Vector3D


def vec(x=0.0, y=0.0, z=0.0):
    return Vector3D(x, y, z)


def edge(a=0, b=1, area=1.0, centroid=(0.0, 0.0, 0.0), kind="VerticalWallContact"):
    return GraphEdge(a, b, area, vec(*centroid), kind)


def positional(x):
    """The shortest round-trip digits (Python's repr has them) written out without an exponent."""
    if math.isnan(x):
        return "NaN"
    if math.isinf(x):
        return "inf" if x > 0 else "-inf"
    return format(Decimal(repr(x)).normalize(), "f")


def area_text(x):
    statement = SpatialGraph([], [edge(area=x)], []).to_cypher_queries()[0]
    return statement.split("{area: ", 1)[1].split(",", 1)[0]


def test_the_two_statement_forms():
    node = GraphNode(3, vec(1.5, 2.0, -0.25))
    node.set_attribute("name", "Kitchen")
    wall = edge(3, 4, 12.5, (2.0, 0.0, 1.25))
    assert SpatialGraph([node], [wall], []).to_cypher_queries() == [
        "CREATE (r3:Room {index: 3, centroid_x: 1.5, centroid_y: 2, centroid_z: -0.25, name: 'Kitchen'})",
        "MATCH (a:Room {index: 3}), (b:Room {index: 4}) CREATE (a)-[:SHARES_WALL {area: 12.5, centroid_x: 2, "
        "centroid_y: 0, centroid_z: 1.25, contact_type: 'VerticalWallContact'}]->(b)",
    ]


def test_statement_order_and_counts():
    assert SpatialGraph([], [], []).to_cypher_queries() == []
    nodes = [GraphNode(i, vec(i, 0, 0)) for i in (5, 2, 9)]
    slab = edge(2, 9, kind="HorizontalSlabContact")
    statements = SpatialGraph(nodes, [edge(9, 5), slab], []).to_cypher_queries()
    assert [s.split(":Room")[0] for s in statements[:3]] == ["CREATE (r5", "CREATE (r2", "CREATE (r9"]
    assert statements[0].endswith("centroid_z: 0})")
    assert statements[3].startswith("MATCH (a:Room {index: 9}), (b:Room {index: 5})")
    assert "[:SHARES_WALL {" in statements[4] and "contact_type: 'HorizontalSlabContact'}]->(b)" in statements[4]
    big = GraphNode(2**64 - 1, vec())
    assert (
        SpatialGraph([big], [], [])
        .to_cypher_queries()[0]
        .startswith("CREATE (r18446744073709551615:Room {index: 18446744073709551615, ")
    )


@pytest.mark.parametrize(
    "value, text",
    [
        (0.1, "0.1"),
        (100.0, "100"),
        (1e16, "1" + "0" * 16),
        (1e21, "1" + "0" * 21),
        (1e-7, "0.0000001"),
        (0.0, "0"),
        (-0.0, "-0"),
        (math.nan, "NaN"),
        (-math.nan, "NaN"),
        (math.inf, "inf"),
        (-math.inf, "-inf"),
        (1e23, "1" + "0" * 23),
        (-2.5e-5, "-0.000025"),
        (123456.789, "123456.789"),
        (5e-324, "0." + "0" * 323 + "5"),
        (sys.float_info.max, "17976931348623157" + "0" * 292),
    ],
)
def test_float_texts(value, text):
    assert area_text(value) == text


def test_floats_are_shortest_round_trip_digits_in_positional_form():
    rng = random.Random(5)
    values = [struct.unpack("<d", rng.getrandbits(64).to_bytes(8, "little"))[0] for _ in range(3000)]
    values += [rng.uniform(-1e6, 1e6) for _ in range(3000)] + [
        float(rng.randrange(-(10**9), 10**9)) for _ in range(500)
    ]
    graph = SpatialGraph([GraphNode(0, vec(x, -x, x / 3)) for x in values], [], [])
    statements = graph.to_cypher_queries()
    assert len(statements) == len(values)
    for x, statement in zip(values, statements):
        expected = f"centroid_x: {positional(x)}, centroid_y: {positional(-x)}, centroid_z: {positional(x / 3)}}})"
        assert statement.endswith(expected)


def test_attribute_pieces_are_reprs():
    node = GraphNode(0, vec())
    node.set_attribute("floors", 5)
    assert node_statement(node).endswith("centroid_z: 0, floors: 5})")
    node.set_attribute("floors", "5")
    assert node_statement(node).endswith(", floors: '5'})")
    node.set_attribute("floors", None)
    assert node_statement(node).endswith(", floors: None})")
    values = {"a": 1.5, "b": [1, "x"], "c": True, "d": "it's", "e": {"k": (1,)}}
    other = GraphNode(1, vec())
    for k, v in values.items():
        other.set_attribute(k, v)
    statement = node_statement(other)
    for k, v in values.items():
        assert statement.count(f", {k}: {v!r}") == 1


def node_statement(node):
    return SpatialGraph([node], [], []).to_cypher_queries()[0]


def test_attributes_set_through_any_holder_are_exported():
    node, wall = GraphNode(0, vec()), edge()
    graph = SpatialGraph([node], [wall], [])
    graph.nodes[0].set_attribute("name", "Hall")
    wall.set_attribute("fire_rating", 60)
    first, second = graph.to_cypher_queries()
    assert first.endswith(", name: 'Hall'})")
    assert second.endswith(", fire_rating: 60}]->(b)")


class Unprintable:
    def __repr__(self):
        raise LookupError("no text for this")


EXPORTS = {"statements": SpatialGraph.to_cypher_queries, "batches": lambda graph: graph.to_cypher_batches(1)}


@pytest.mark.parametrize("export", EXPORTS.values(), ids=EXPORTS.keys())
def test_a_failing_repr_ends_the_call(export):
    wall = edge()
    wall.set_attribute("bad", Unprintable())
    graph = SpatialGraph([GraphNode(0, vec())], [wall], [])
    with pytest.raises(LookupError, match="no text for this"):
        export(graph)


@pytest.mark.parametrize("export", EXPORTS.values(), ids=EXPORTS.keys())
def test_a_repr_cannot_write_the_item_being_exported(export):
    node = GraphNode(0, vec())

    class Writer:
        def __repr__(self):
            node.set_attribute("other", 1)
            return "x"

    node.set_attribute("w", Writer())
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        export(SpatialGraph([node], [], []))
    assert node.get_attribute("other") is None


@pytest.mark.parametrize(
    "kind, written",
    [
        ("it's", r"'it\'s'"),
        ("back\\slash", r"'back\\slash'"),
        ("\\'", r"'\\\''"),
        ('Wall "A" \u00e9', "'Wall \"A\" \u00e9'"),
        ("", "''"),
    ],
)
def test_contact_type_is_escaped_inside_its_quotes(kind, written):
    statement = SpatialGraph([], [edge(kind=kind)], []).to_cypher_queries()[0]
    assert statement.endswith(f", contact_type: {written}}}]->(b)")


@pytest.mark.parametrize(
    "key, written",
    [
        ("name", "name"),
        ("_x9", "_x9"),
        ("Fire_Rating2", "Fire_Rating2"),
        ("fire rating", "`fire rating`"),
        ("9lives", "`9lives`"),
        ("", "``"),
        ("x}) DETACH DELETE (r", "`x}) DETACH DELETE (r`"),
        ("a`b", "`a``b`"),
        ("`", "````"),
        ("caf\u00e9", "`caf\u00e9`"),
        ("a-b", "`a-b`"),
    ],
)
def test_keys_that_are_not_identifiers_go_in_backticks(key, written):
    node = GraphNode(0, vec())
    node.set_attribute(key, 1)
    assert node_statement(node).endswith(f", {written}: 1}})")


def test_a_node_written_during_the_export_is_an_internal_fault(capfd):
    node = GraphNode(0, vec())
    graph = SpatialGraph([node], [], [])
    reported = []

    class Exporter:
        def __del__(self):
            graph.to_cypher_queries()

    node.set_attribute("k", Exporter())
    old_hook, sys.unraisablehook = sys.unraisablehook, reported.append
    try:
        node.set_attribute("k", None)
    finally:
        sys.unraisablehook = old_hook
    assert [type(r.exc_value).__name__ for r in reported] == ["PanicException"]
    capfd.readouterr()


def test_documentation():
    assert SpatialGraph.to_cypher_queries.__text_signature__ == "($self)"
    assert SpatialGraph.to_cypher_batches.__text_signature__ == "($self, batch_size)"
    assert SpatialGraph.to_cypher_queries.__doc__ == (
        "Generates high-performance database-ready Cypher Queries for direct importing into Neo4j GraphRAG."
    )


ROOMS_QUERY = "UNWIND $rows AS room CREATE (r:Room) SET r = room"
WALLS_QUERY = (
    "UNWIND $rows AS wall MATCH (a:Room {index: wall.a}), (b:Room {index: wall.b}) "
    "CREATE (a)-[w:SHARES_WALL]->(b) SET w = wall.properties"
)


def test_the_batch_forms_with_floats_as_floats():
    node = GraphNode(3, vec(1.5, 2.0, -0.25))
    node.set_attribute("name", "Kitchen")
    wall = edge(3, 4, 12.0, (2.0, 0.0, 1.25))
    index, rooms, walls = SpatialGraph([node], [wall], []).to_cypher_batches(1)
    assert index == ("CREATE INDEX FOR (r:Room) ON (r.index)", {})
    assert rooms == (
        ROOMS_QUERY,
        {"rows": [{"index": 3, "centroid_x": 1.5, "centroid_y": 2.0, "centroid_z": -0.25, "name": "Kitchen"}]},
    )
    properties = {
        "area": 12.0,
        "centroid_x": 2.0,
        "centroid_y": 0.0,
        "centroid_z": 1.25,
        "contact_type": "VerticalWallContact",
    }
    assert walls == (WALLS_QUERY, {"rows": [{"a": 3, "b": 4, "properties": properties}]})
    assert type(rooms[1]["rows"][0]["centroid_y"]) is type(walls[1]["rows"][0]["properties"]["area"]) is float


@pytest.mark.parametrize("size", [1, 2, 3, 7, 2**64 - 1])
def test_batches_cut_rooms_then_walls_in_order(size):
    nodes = [GraphNode(i * 10, vec(i, 0, 0)) for i in range(7)]
    walls = [edge(i, i + 1) for i in range(5)]
    index, *batches = SpatialGraph(nodes, walls, []).to_cypher_batches(size)
    queries = [query for query, _ in batches]
    assert queries == sorted(queries, key=lambda q: q == WALLS_QUERY) and set(queries) == {ROOMS_QUERY, WALLS_QUERY}
    assert all(0 < len(p["rows"]) <= size for _, p in batches)
    assert len(batches) == -(-7 // size) + -(-5 // size)
    rows = [row for _, p in batches for row in p["rows"]]
    assert [r["index"] for r in rows[:7]] == [n.index for n in nodes]
    assert [(r["a"], r["b"]) for r in rows[7:]] == [(i, i + 1) for i in range(5)]
    assert SpatialGraph([], [], []).to_cypher_batches(size) == [index]


def test_a_batch_size_below_one_is_refused():
    graph = SpatialGraph([GraphNode(0, vec())], [], [])
    with pytest.raises(ValueError, match=r"^batch_size must be at least 1\.$"):
        graph.to_cypher_batches(0)
    with pytest.raises(OverflowError) as raised:
        graph.to_cypher_batches(-1)
    assert_noted(raised.value, "batch_size")


class Storey(enum.IntEnum):
    GROUND = 0


Metres, Name = type("Metres", (float,), {}), type("Name", (str,), {})
Point = collections.namedtuple("Point", "x y")


class Lying(int):
    """Holds one integer and claims another through every conversion of its own."""

    def __int__(self):
        return 99

    __index__ = __int__

    def __str__(self):
        return "99"


class Refusing(int):
    def __int__(self):
        raise RuntimeError("never asked")

    __index__ = __str__ = __int__


# Attribute values, and what the batches send a driver for each.
SENT = {
    "int subclass": (Lying(5), 5),
    "refusing int subclass": (Refusing(7), 7),
    "2^63 - 1": (2**63 - 1, 2**63 - 1),
    "-2^63": (-(2**63), -(2**63)),
    "2^63": (2**63, "9223372036854775808"),
    "-2^63 - 1": (-(2**63) - 1, "-9223372036854775809"),
    "ints": ([0, -(2**63), 2**63 - 1], [0, -(2**63), 2**63 - 1]),
    "floats": ((0.5, -1.25e300), [0.5, -1.25e300]),
    "bools": ([True, False], [True, False]),
    "texts": (("it's", "two\nlines", ""), ["it's", "two\nlines", ""]),
    "mixed": ([1, "x", 2.5, True], [1, "x", 2.5, True]),
    "held items": ([Storey.GROUND, Metres(2.5), Name("x"), Lying(5), 2**64], [0, 2.5, "x", 5, "18446744073709551616"]),
    "empty list": ([], []),
    "empty tuple": ((), []),
    "named tuple": (Point(1, 2.5), [1, 2.5]),
    "None inside": ([1, None], "[1, None]"),
    "nested": ([[1]], "[[1]]"),
    "dict": ({"a": 1}, "{'a': 1}"),
}


def typed(value):
    """A value with its type and its items' types, so that True and 1, or 2 and 2.0, differ."""
    return type(value), [typed(v) for v in value] if isinstance(value, list) else value


def test_attribute_values_as_parameters():
    plain = {"s": "it's", "i": 2**63 - 1, "f": 2.0, "t": True, "n": None}
    others = {
        "e": (Storey.GROUND, 0),
        "m": (Metres(2.5), 2.5),
        "x": (Name("x"), "x"),
        "index": (99, 3),
        "centroid_x": ("left", 1.5),
        **SENT,
    }
    node, wall = GraphNode(3, vec(1.5, 0, 0)), edge(3, 4)
    for item in (node, wall):
        for key, value in plain.items():
            item.set_attribute(key, value)
        for key, (value, _) in others.items():
            item.set_attribute(key, value)
    _, (_, rooms), (_, walls) = SpatialGraph([node], [wall], []).to_cypher_batches(5)
    room, wall_row = rooms["rows"][0], walls["rows"][0]
    for key, value in plain.items():
        assert room[key] is value and wall_row["properties"][key] is value
    for key, (_, sent) in others.items():  # subclasses as plain values, the rest as repr(), the records' own win
        assert typed(room[key]) == typed(sent), key
    assert (wall_row["a"], wall_row["b"], wall_row["properties"]["centroid_x"]) == (3, 4, 0.0)
    assert wall_row["properties"]["index"] == 99
