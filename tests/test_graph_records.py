import sys
import weakref

import pytest

import velmarin
from building_support import box as plain_box
from helpers import assert_noted
from velmarin import GraphEdge, GraphNode, Mesh, SpatialGraph, SpatialRegistry, Vector3D, Wire, WireContact


def vec(x=0.0, y=0.0, z=0.0):
    return Vector3D(x, y, z)


def test_registered_in_order_after_vector():
    names = velmarin.__all__
    assert names[:5] == ["Vector3D", "GraphNode", "GraphEdge", "WireContact", "SpatialGraph"]


@pytest.mark.parametrize(
    "cls, signature, sentence",
    [
        (GraphNode, "(index, centroid)", "Represents a node inside the spatial network with flexible metadata."),
        (
            GraphEdge,
            "(node_a, node_b, shared_area, contact_centroid, contact_type)",
            "Represents an edge inside the spatial network with flexible metadata.",
        ),
        (
            WireContact,
            None,
            "Represents intersection contacts between 1D linear elements (wires/columns) and 3D cells (meshes).",
        ),
        (
            SpatialGraph,
            "(nodes, edges, wire_contacts)",
            "A high-performance spatial topological network mapping rooms, boundaries, and routing logic.",
        ),
    ],
)
def test_class_documentation(cls, signature, sentence):
    assert cls.__module__ == "builtins"
    assert cls.__doc__ == sentence
    if sys.version_info >= (3, 10):  # 3.9 strips signatures from heap types
        assert cls.__text_signature__ == signature


def test_node_fields_and_copies():
    v = vec(1.5, -2.0, 3.0)
    node = GraphNode(7, v)
    v.x = 100.0  # the node copied the vector
    assert node.index == 7
    c = node.centroid
    assert (c.x, c.y, c.z) == (1.5, -2.0, 3.0)
    c.x = 9.0  # and hands out copies
    assert node.centroid.x == 1.5
    assert node.centroid is not node.centroid


def test_node_index_conversion():
    class Index:
        def __index__(self):
            return 5

    assert GraphNode(Index(), vec()).index == 5
    assert GraphNode(True, vec()).index == 1
    assert GraphNode(2**64 - 1, vec()).index == 2**64 - 1
    for bad, error in [(-1, OverflowError), (2**64, OverflowError), (1.0, TypeError), ("1", TypeError)]:
        with pytest.raises(error) as info:
            GraphNode(bad, vec())
        assert_noted(info.value, "index")
    with pytest.raises(TypeError, match="^'None' is not an instance of 'Vector3D'") as info:
        GraphNode(0, None)
    assert_noted(info.value, "centroid")


def test_edge_fields_accept_anything_that_converts():
    edge = GraphEdge(3, 3, -0.0, vec(2.0, 0.0, 1.25), "")
    assert (edge.node_a, edge.node_b, edge.contact_type) == (3, 3, "")
    assert str(edge.shared_area) == "-0.0"
    assert edge.contact_centroid.z == 1.25
    odd = "it's \\ \u00e9\U0001f600\x00"
    assert GraphEdge(0, 1, float("nan"), vec(), odd).contact_type == odd
    edge = GraphEdge(node_a=1, node_b=2, shared_area=3, contact_centroid=vec(), contact_type="x")
    assert type(edge.shared_area) is float and edge.shared_area == 3.0
    with pytest.raises(TypeError, match="^'int' object is not an instance of 'str'") as info:
        GraphEdge(0, 1, 1.0, vec(), 5)
    assert_noted(info.value, "contact_type")
    with pytest.raises(TypeError, match=r"missing 1 required positional argument: 'contact_type'"):
        GraphEdge(0, 1, 1.0, vec())


def test_fields_are_read_only_and_classes_closed():
    node = GraphNode(0, vec())
    edge = GraphEdge(0, 1, 1.0, vec(), "x")
    graph = SpatialGraph([], [], [])
    for obj, name in [
        (node, "index"),
        (node, "centroid"),
        (edge, "node_a"),
        (edge, "contact_type"),
        (graph, "nodes"),
        (graph, "wire_contacts"),
    ]:
        with pytest.raises(AttributeError):
            setattr(obj, name, getattr(obj, name))
    with pytest.raises(AttributeError):
        node.extra = 1
    with pytest.raises(TypeError):
        weakref.ref(node)
    for cls in (GraphNode, GraphEdge, WireContact, SpatialGraph):
        with pytest.raises(TypeError):
            type("Derived", (cls,), {})


def test_wire_contact_cannot_be_constructed():
    with pytest.raises(TypeError, match=r"^cannot create 'builtins\.WireContact' instances$"):
        WireContact()
    with pytest.raises(TypeError, match=r"^cannot create 'builtins\.WireContact' instances$"):
        WireContact(1, 2)


def test_empty_graph():
    graph = SpatialGraph([], [], [])
    assert (graph.nodes, graph.edges, graph.wire_contacts) == ([], [], [])
    assert SpatialGraph(nodes=(), edges=(), wire_contacts=()).nodes == []


def test_graph_shares_its_nodes_and_edges():
    a, b = GraphNode(0, vec()), GraphNode(1, vec(1.0))
    edge = GraphEdge(0, 1, 2.0, vec(), "VerticalWallContact")
    nodes = [a, b, a]  # the same object may stand at two positions
    graph = SpatialGraph(nodes, [edge], [])
    nodes.append(GraphNode(9, vec()))
    assert len(graph.nodes) == 3
    assert graph.nodes[0] is a and graph.nodes[2] is a and graph.edges[0] is edge
    listed = graph.nodes
    listed[0] = b
    assert graph.nodes[0] is a
    graph.nodes[0].set_attribute("name", "Kitchen")
    assert a.get_attribute("name") == "Kitchen"


def test_graph_keeps_items_alive_and_releases_them():
    node = GraphNode(0, vec())
    before = sys.getrefcount(node)
    graph = SpatialGraph([node, node], [], [])
    assert sys.getrefcount(node) == before + 2
    del graph
    assert sys.getrefcount(node) == before


def test_graph_arguments_are_checked():
    node = GraphNode(0, vec())
    with pytest.raises(TypeError, match=r"^Can't extract `str` to `Vec`") as info:
        SpatialGraph("abc", [], [])
    assert_noted(info.value, "nodes")
    with pytest.raises(TypeError, match=r"^'set' object is not an instance of 'Sequence'"):
        SpatialGraph([], {1}, [])
    with pytest.raises(TypeError, match=r"^'GraphNode' object is not an instance of 'GraphEdge'") as info:
        SpatialGraph([node], [node], [])
    assert_noted(info.value, "edges")
    with pytest.raises(TypeError, match=r"^'int' object is not an instance of 'WireContact'") as info:
        SpatialGraph([], [], [1])
    assert_noted(info.value, "wire_contacts")
    with pytest.raises(TypeError, match=r"^'None' is not an instance of 'GraphNode'"):
        SpatialGraph([None], [], [])


def test_edges_beyond_the_node_list_are_accepted():
    graph = SpatialGraph([GraphNode(0, vec())], [GraphEdge(0, 99, 1.0, vec(), "x")], [])
    assert graph.edges[0].node_b == 99


def box(x0, y0, z0, x1, y1, z1):
    points, faces = plain_box((x0, y0, z0), (x1, y1, z1))
    return Mesh([vec(*p) for p in points], faces)


def built_graph():
    """Two rooms side by side, a third above the first, a column through the first."""
    rooms = [box(0, 0, 0, 4, 4, 3), box(4, 0, 0, 8, 4, 3), box(0, 0, 3, 4, 4, 6)]
    column = Wire(vec(2, 2, 0.5), vec(2, 2, 2.5))
    outside = Wire(vec(20, 20, 0), vec(20, 20, 1))
    return SpatialRegistry(rooms, [outside, column], []).build_spatial_graph(0.01)


def test_wire_contacts_are_values():
    graph = built_graph()
    contacts = graph.wire_contacts
    assert [(c.wire_index, c.mesh_index) for c in contacts] == [(1, 0)]
    assert graph.wire_contacts[0] is not graph.wire_contacts[0]
    with pytest.raises(AttributeError):
        contacts[0].mesh_index = 2
    copy = SpatialGraph([], [], contacts + contacts)
    assert [(c.wire_index, c.mesh_index) for c in copy.wire_contacts] == [(1, 0), (1, 0)]


def test_a_built_graph_holds_ordinary_objects():
    graph = built_graph()
    assert [n.index for n in graph.nodes] == [0, 1, 2]
    assert all(n.get_all_attributes() == {} for n in graph.nodes)
    assert sorted((e.node_a, e.node_b, e.contact_type) for e in graph.edges) == [
        (0, 1, "VerticalWallContact"),
        (0, 2, "HorizontalSlabContact"),
    ]
    graph.nodes[2].set_attribute("name", "Office")
    assert graph.nodes[2].get_attribute("name") == "Office"
    assert graph.find_shortest_path(1, 2) == [1, 0, 2]
    assert graph.to_cypher_queries()[2].endswith(", name: 'Office'})")
