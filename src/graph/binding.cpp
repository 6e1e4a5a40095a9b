// GraphNode, GraphEdge, WireContact, SpatialGraph and TopologicalEntity.
#include "graph/binding.hpp"

#include <algorithm>
#include <optional>
#include <vector>

#include "binding/declare.hpp"
#include "geometry/binding.hpp"
#include "graph/columns_binding.hpp"
#include "graph/cypher.hpp"
#include "graph/cypher_batches.hpp"
#include "graph/shortest_path.hpp"

namespace velmarin::binding {

namespace {

// --- GraphNode ------------------------------------------------------------------

GraphNode make_node(std::uint64_t index, Vector3D centroid) { return {{index, centroid}, {}}; }
constexpr Params node_new{"GraphNode", "__new__", "index", "centroid"};
constexpr Params node_set_attribute{"GraphNode", "set_attribute", "key", "value"};
constexpr Params node_get_attribute{"GraphNode", "get_attribute", "key"};
constexpr Params node_get_all_attributes{"GraphNode", "get_all_attributes"};

std::uint64_t node_index(const GraphNode& node) { return node.record.index; }
Vector3D node_centroid(const GraphNode& node) { return node.record.centroid; }

// --- GraphEdge ------------------------------------------------------------------

GraphEdge make_edge(std::uint64_t node_a, std::uint64_t node_b, double shared_area, Vector3D contact_centroid,
                    std::string contact_type) {
    return {{node_a, node_b, shared_area, contact_centroid, std::move(contact_type)}, {}};
}
// clang-format off
constexpr Params edge_new{"GraphEdge", "__new__", "node_a", "node_b", "shared_area", "contact_centroid",
                          "contact_type"};
// clang-format on
constexpr Params edge_set_attribute{"GraphEdge", "set_attribute", "key", "value"};
constexpr Params edge_get_attribute{"GraphEdge", "get_attribute", "key"};
constexpr Params edge_get_all_attributes{"GraphEdge", "get_all_attributes"};

std::uint64_t edge_node_a(const GraphEdge& edge) { return edge.record.node_a; }
std::uint64_t edge_node_b(const GraphEdge& edge) { return edge.record.node_b; }
double edge_shared_area(const GraphEdge& edge) { return edge.record.shared_area; }
Vector3D edge_contact_centroid(const GraphEdge& edge) { return edge.record.contact_centroid; }
std::string edge_contact_type(const GraphEdge& edge) { return edge.record.contact_type; }

// --- SpatialGraph ---------------------------------------------------------------

SpatialGraph make_graph(std::vector<Ref<GraphNode>> nodes, std::vector<Ref<GraphEdge>> edges,
                        std::vector<WireContact> wire_contacts) {
    return {std::move(nodes), std::move(edges), std::move(wire_contacts)};
}
constexpr Params graph_new{"SpatialGraph", "__new__", "nodes", "edges", "wire_contacts"};

std::vector<Ref<GraphNode>> graph_nodes(const SpatialGraph& graph) { return graph.nodes; }
std::vector<Ref<GraphEdge>> graph_edges(const SpatialGraph& graph) { return graph.edges; }
std::vector<WireContact> graph_wire_contacts(const SpatialGraph& graph) { return graph.wire_contacts; }

// Hands the graph as it stands to `search`: every node's centroid, read in
// one pass in list order (memory order, as the objects were made), then
// every edge's ends, straight from the payloads. Nothing here runs Python
// code, so a glance at each object's borrow flag stands for a shared borrow
// held for the read. A node that a write holds (only possible while a
// finaliser runs inside that write) is a fault only once an edge needs its
// centroid.
template <class Index>
std::vector<std::uint64_t> route(PathSearch<Index>& search, const SpatialGraph& graph, std::uint64_t start,
                                 std::uint64_t end) {
    const std::size_t node_count = graph.nodes.size();
    std::span<Vector3D> centroids = search.begin(node_count, graph.edges.size());
    std::vector<std::uint64_t> refused;  // in rising order
    visit_in_order(graph.nodes, [&](std::size_t i, const Instance<GraphNode>& node) {
        if (node.borrow.shareable()) {
            centroids[i] = node.payload.record.centroid;
        } else {
            refused.push_back(i);
        }
    });
    const auto is_refused = [&](std::uint64_t position) {
        return std::binary_search(refused.begin(), refused.end(), position);
    };
    visit_in_order(graph.edges, [&](std::size_t, const Instance<GraphEdge>& edge) {
        if (!edge.borrow.shareable()) fault("Already mutably borrowed");
        const std::uint64_t a = edge.payload.record.node_a;
        const std::uint64_t b = edge.payload.record.node_b;
        if (!refused.empty() && a < node_count && b < node_count && (is_refused(a) || is_refused(b))) {
            fault("Already mutably borrowed");
        }
        search.add_edge(a, b);
    });
    return search.run(start, end);
}

Result<std::vector<std::uint64_t>> graph_shortest_path(const SpatialGraph& graph, std::uint64_t start,
                                                       std::uint64_t end) {
    const std::size_t node_count = graph.nodes.size();
    if (Result<void> ends = check_path_ends(node_count, start, end); !ends.ok()) return ends.error();
    if (PathSearch<std::uint32_t>::fits(node_count, graph.edges.size())) {
        return route(this_thread_path_search(), graph, start, end);
    }
    PathSearch<std::uint64_t> wide;
    return route(wide, graph, start, end);
}
constexpr Params graph_find_shortest_path{"SpatialGraph", "find_shortest_path", "start", "end"};

// Appends ", key: repr(value)" for every attribute; false with the error of
// a failing repr() set.
bool append_attributes(std::string& statement, const AttributeMap& attributes) {
    return attributes.for_each([&](std::string_view key, PyObject* value) {
        PyRef text = PyRef::steal(PyObject_Repr(value));
        PyRef bytes;
        const std::optional<std::string_view> utf8 = text ? utf8_view(text.get(), bytes) : std::nullopt;
        if (!utf8) return false;
        append_attribute(statement, key, *utf8);
        return true;
    });
}

// Builds one statement per item into `list` from `at` on: begin, the
// item's attributes (their repr() runs while the item is borrowed, so it
// cannot change the map being walked), end.
template <class P, class Record>
bool write_statements(PyObject* list, Py_ssize_t at, const std::vector<Ref<P>>& items, std::string& statement,
                      void (*begin)(std::string&, const Record&), void (*end)(std::string&)) {
    for (const Ref<P>& ref : items) {
        Instance<P>* item = ref.instance();
        auto borrow = SharedBorrow::hold(item->borrow);
        statement.clear();
        begin(statement, item->payload.record);
        if (!append_attributes(statement, item->payload.attributes)) return false;
        end(statement);
        PyRef text = text_object(statement);
        if (!text) return false;
        PyList_SetItem(list, at++, text.release());
    }
    return true;
}

Made graph_cypher_queries(const SpatialGraph& graph) {
    const auto node_count = static_cast<Py_ssize_t>(graph.nodes.size());
    PyRef list = PyRef::steal(PyList_New(node_count + static_cast<Py_ssize_t>(graph.edges.size())));
    if (!list) return {};
    std::string statement;
    statement.reserve(256);
    if (!write_statements(list.get(), 0, graph.nodes, statement, begin_node_statement, end_node_statement) ||
        !write_statements(list.get(), node_count, graph.edges, statement, begin_edge_statement, end_edge_statement)) {
        return {};
    }
    return {std::move(list)};
}
constexpr Params graph_to_cypher_queries{"SpatialGraph", "to_cypher_queries"};

// --- SpatialGraph.to_cypher_batches ------------------------------------------------

// An int as the integer it holds, or, beyond the signed 64-bit integers
// that a database holds (FalkorDB stores 2^63 as 2^63 - 1), as the text of
// its decimal digits. Neither reading calls the subclass's __int__,
// __index__ or __str__.
PyRef integer_value(PyObject* value) {
    int overflow = 0;
    const long long held = PyLong_AsLongLongAndOverflow(value, &overflow);
    if (overflow != 0) return PyRef::steal(PyNumber_ToBase(value, 10));
    if (held == -1 && PyErr_Occurred()) return {};
    if (PyLong_CheckExact(value)) return PyRef::borrow(value);
    return PyRef::steal(PyLong_FromLongLong(held));
}

bool is_scalar(PyObject* value) {
    return PyLong_Check(value) || PyFloat_Check(value) || PyUnicode_Check(value);  // bool is an int
}

PyRef scalar_value(PyObject* value) {
    if (PyBool_Check(value) || PyFloat_CheckExact(value) || PyUnicode_CheckExact(value)) {
        return PyRef::borrow(value);
    }
    if (PyLong_Check(value)) return integer_value(value);
    if (PyFloat_Check(value)) return PyRef::steal(PyFloat_FromDouble(PyFloat_AsDouble(value)));
    return PyRef::steal(PyUnicode_FromObject(value));
}

// The items of a list or tuple, held before any is converted: converting
// allocates, and a collection that starts then may run a finaliser that
// changes the list. None when an item is not a scalar.
std::optional<std::vector<PyRef>> scalar_items(PyObject* sequence) {
    const bool list = PyList_Check(sequence);
    const Py_ssize_t count = list ? PyList_Size(sequence) : PyTuple_Size(sequence);
    std::vector<PyRef> items;
    items.reserve(static_cast<std::size_t>(count));
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* item = list ? PyList_GetItem(sequence, i) : PyTuple_GetItem(sequence, i);
        if (!is_scalar(item)) return std::nullopt;
        items.push_back(PyRef::borrow(item));
    }
    return items;
}

PyRef array_value(const std::vector<PyRef>& items) {
    PyRef array = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
    if (!array) return {};
    for (std::size_t i = 0; i < items.size(); ++i) {
        PyRef value = scalar_value(items[i].get());
        if (!value) return {};
        PyList_SetItem(array.get(), static_cast<Py_ssize_t>(i), value.release());
    }
    return array;
}

// What a driver is given for an attribute value: None (no property), a
// bool, an int, a float or a str as a plain value of its own type, a list
// or tuple of those as a list of them (an array property), and anything
// else as the text of its repr(), as the statements write it. A subclass
// (an enum member, a NumPy float, a named tuple) goes as the plain value it
// holds, read without calling any of its methods, so no override can change
// or refuse the value on its way.
PyRef parameter_value(PyObject* value) {
    if (value == Py_None) return PyRef::borrow(value);
    if (is_scalar(value)) return scalar_value(value);
    if (PyList_Check(value) || PyTuple_Check(value)) {
        if (std::optional<std::vector<PyRef>> items = scalar_items(value)) return array_value(*items);
    }
    return PyRef::steal(PyObject_Repr(value));
}

// The keys of the rows as str objects, made once for a whole export.
struct RowKeys {
    PyRef rows = text_object(batch_keys::rows);
    PyRef end_a = text_object(batch_keys::end_a);
    PyRef end_b = text_object(batch_keys::end_b);
    PyRef properties = text_object(batch_keys::properties);
    PyRef index = text_object(record_keys::index);
    std::array<PyRef, 3> centroid = {text_object(record_keys::centroid[0]), text_object(record_keys::centroid[1]),
                                     text_object(record_keys::centroid[2])};
    PyRef area = text_object(record_keys::area);
    PyRef contact_type = text_object(record_keys::contact_type);

    bool made() const {
        return rows && end_a && end_b && properties && index && centroid[0] && centroid[1] && centroid[2] && area &&
               contact_type;
    }
};

// Stores `value` (a new reference, or empty with the error set) under `key`.
bool set_item(PyObject* dict, const PyRef& key, PyRef value) {
    return value && PyDict_SetItem(dict, key.get(), value.get()) == 0;
}

bool set_centroid(PyObject* properties, const RowKeys& keys, const Vector3D& centroid) {
    return set_item(properties, keys.centroid[0], PyRef::steal(PyFloat_FromDouble(centroid.x))) &&
           set_item(properties, keys.centroid[1], PyRef::steal(PyFloat_FromDouble(centroid.y))) &&
           set_item(properties, keys.centroid[2], PyRef::steal(PyFloat_FromDouble(centroid.z)));
}

// The attributes, then the record's own properties over them.
PyRef room_row(const GraphNode& node, const RowKeys& keys) {
    PyRef row = node.attributes.to_dict(parameter_value);
    const NodeRecord& room = node.record;
    if (!row || !set_item(row.get(), keys.index, PyRef::steal(PyLong_FromUnsignedLongLong(room.index))) ||
        !set_centroid(row.get(), keys, room.centroid)) {
        return {};
    }
    return row;
}

PyRef wall_row(const GraphEdge& edge, const RowKeys& keys) {
    PyRef properties = edge.attributes.to_dict(parameter_value);
    const EdgeRecord& wall = edge.record;
    if (!properties || !set_item(properties.get(), keys.area, PyRef::steal(PyFloat_FromDouble(wall.shared_area))) ||
        !set_centroid(properties.get(), keys, wall.contact_centroid) ||
        !set_item(properties.get(), keys.contact_type, text_object(wall.contact_type))) {
        return {};
    }
    PyRef row = PyRef::steal(PyDict_New());
    if (!row || !set_item(row.get(), keys.end_a, PyRef::steal(PyLong_FromUnsignedLongLong(wall.node_a))) ||
        !set_item(row.get(), keys.end_b, PyRef::steal(PyLong_FromUnsignedLongLong(wall.node_b))) ||
        !set_item(row.get(), keys.properties, std::move(properties))) {
        return {};
    }
    return row;
}

// (query, parameters) as a tuple, one reference to the query shared by all.
bool set_pair(PyObject* pairs, Py_ssize_t at, const PyRef& query, PyRef parameters) {
    PyObject* pair = parameters ? PyTuple_Pack(2, query.get(), parameters.get()) : nullptr;
    if (!pair) return false;
    PyList_SetItem(pairs, at, pair);
    return true;
}

// One pair per batch into `pairs` from `at` on; each item is read under a
// shared borrow, so the repr() of an attribute cannot change its map.
template <class P>
bool write_batches(PyObject* pairs, Py_ssize_t at, std::string_view query, const std::vector<Ref<P>>& items,
                   const std::vector<BatchSpan>& batches, const RowKeys& keys,
                   PyRef (*row_of)(const P&, const RowKeys&)) {
    PyRef query_text = text_object(query);
    if (!query_text) return false;
    for (const BatchSpan& batch : batches) {
        PyRef rows = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(batch.end - batch.begin)));
        if (!rows) return false;
        for (std::size_t i = batch.begin; i < batch.end; ++i) {
            Instance<P>* item = checked(items, i).instance();
            auto borrow = SharedBorrow::hold(item->borrow);
            PyRef row = row_of(item->payload, keys);
            if (!row) return false;
            PyList_SetItem(rows.get(), static_cast<Py_ssize_t>(i - batch.begin), row.release());
        }
        PyRef parameters = PyRef::steal(PyDict_New());
        if (!parameters || !set_item(parameters.get(), keys.rows, std::move(rows)) ||
            !set_pair(pairs, at++, query_text, std::move(parameters))) {
            return false;
        }
    }
    return true;
}

Result<Made> graph_cypher_batches(const SpatialGraph& graph, std::uint64_t batch_size) {
    if (Result<void> size = check_batch_size(batch_size); !size.ok()) return size.error();
    const std::vector<BatchSpan> room_batches = cut_into_batches(graph.nodes.size(), batch_size);
    const std::vector<BatchSpan> wall_batches = cut_into_batches(graph.edges.size(), batch_size);
    const auto walls_at = static_cast<Py_ssize_t>(1 + room_batches.size());
    const RowKeys keys;
    PyRef pairs = PyRef::steal(PyList_New(walls_at + static_cast<Py_ssize_t>(wall_batches.size())));
    PyRef index_query = text_object(room_index_query);
    if (!keys.made() || !pairs || !index_query || !set_pair(pairs.get(), 0, index_query, PyRef::steal(PyDict_New())) ||
        !write_batches(pairs.get(), 1, room_batch_query, graph.nodes, room_batches, keys, room_row) ||
        !write_batches(pairs.get(), walls_at, wall_batch_query, graph.edges, wall_batches, keys, wall_row)) {
        return Made{};
    }
    return Made{std::move(pairs)};
}
constexpr Params graph_to_cypher_batches{"SpatialGraph", "to_cypher_batches", "batch_size"};

// --- TopologicalEntity ----------------------------------------------------------

TopologicalEntity make_entity(std::uint64_t id, std::string entity_type, std::optional<std::uint64_t> parent_id) {
    return {id, std::move(entity_type), parent_id};
}
constexpr Params entity_new{"TopologicalEntity", "__new__", "id", "entity_type", "parent_id"};

}  // namespace

PyRef make_graph_node(NodeRecord record) { return PyRef::steal(new_instance(GraphNode{record, {}})); }

PyRef make_graph_edge(EdgeRecord record) {
    // Moved out, leaving the record's lists empty.
    const std::vector<EdgeNumber> numbers = std::move(record.numbers);
    EdgePositions positions = std::move(record.positions);
    GraphEdge edge{std::move(record), {}};
    for (const EdgeNumber& number : numbers) {
        PyRef value = PyRef::steal(PyFloat_FromDouble(number.value));
        if (!value) return {};
        edge.attributes.set(std::string(number.key), std::move(value));
    }
    if (!positions.key.empty()) edge.attributes.set_positions(std::string(positions.key), std::move(positions.values));
    return PyRef::steal(new_instance(std::move(edge)));
}

PyRef make_spatial_graph(GraphRecords records) {
    SpatialGraph graph;
    graph.nodes.reserve(records.nodes.size());
    for (const NodeRecord& node : records.nodes) {
        PyRef object = make_graph_node(node);
        if (!object) return {};
        graph.nodes.emplace_back(std::move(object));
    }
    graph.edges.reserve(records.edges.size());
    for (EdgeRecord& edge : records.edges) {
        PyRef object = make_graph_edge(std::move(edge));
        if (!object) return {};
        graph.edges.emplace_back(std::move(object));
    }
    graph.wire_contacts = std::move(records.wire_contacts);
    return PyRef::steal(new_instance(std::move(graph)));
}

template <>
const ClassDef& class_def<GraphNode>() {
    static const ClassDef def = define_class<GraphNode>({
        .name = "GraphNode",
        .sentence = "Represents a node inside the spatial network with flexible metadata.",
        .constructor = constructor<make_node, node_new>(),
        .properties = {property<node_index>("index"), property<node_centroid>("centroid")},
        .methods =
            {
                method<set_attribute<GraphNode>, node_set_attribute>(),
                method<get_attribute<GraphNode>, node_get_attribute>(
                    "Safely fetches attribute or returns Python None, bypassing ambiguous conversion traits."),
                method<get_all_attributes<GraphNode>, node_get_all_attributes>(
                    "Packs all attributes into a standard Python dictionary in C++ memory."),
            },
    });
    return def;
}

template <>
const ClassDef& class_def<GraphEdge>() {
    static const ClassDef def = define_class<GraphEdge>({
        .name = "GraphEdge",
        .sentence = "Represents an edge inside the spatial network with flexible metadata.",
        .constructor = constructor<make_edge, edge_new>(),
        .properties =
            {
                property<edge_node_a>("node_a"),
                property<edge_node_b>("node_b"),
                property<edge_shared_area>("shared_area"),
                property<edge_contact_centroid>("contact_centroid"),
                property<edge_contact_type>("contact_type"),
            },
        .methods =
            {
                method<set_attribute<GraphEdge>, edge_set_attribute>(),
                method<get_attribute<GraphEdge>, edge_get_attribute>(),
                method<get_all_attributes<GraphEdge>, edge_get_all_attributes>(),
            },
    });
    return def;
}

template <>
const ClassDef& class_def<WireContact>() {
    static const ClassDef def = define_class<WireContact>({
        .name = "WireContact",
        .sentence = "Represents intersection contacts between 1D linear elements (wires/columns) and 3D cells "
                    "(meshes).",
        .constructor = Constructor{},  // Python cannot construct it
        .properties =
            {
                property<&WireContact::wire_index>("wire_index"),
                property<&WireContact::mesh_index>("mesh_index"),
            },
    });
    return def;
}

template <>
const ClassDef& class_def<SpatialGraph>() {
    static const ClassDef def = define_class<SpatialGraph>({
        .name = "SpatialGraph",
        .sentence = "A high-performance spatial topological network mapping rooms, boundaries, and routing logic.",
        .constructor = constructor<make_graph, graph_new>(),
        .properties =
            {
                property<graph_nodes>("nodes"),
                property<graph_edges>("edges"),
                property<graph_wire_contacts>("wire_contacts"),
            },
        .methods =
            {
                method<graph_cypher_queries, graph_to_cypher_queries>(
                    "Generates high-performance database-ready Cypher Queries for direct importing into Neo4j "
                    "GraphRAG."),
                method<graph_shortest_path, graph_find_shortest_path>(
                    "Blazing-fast Dijkstra's shortest path solver executing natively on the compiled topological "
                    "graph."),
                method<graph_cypher_batches, graph_to_cypher_batches>(
                    "The graph as (query, parameters) pairs for a driver's run(query, parameters): the index on "
                    "Room.index, then UNWIND batches of at most batch_size rooms, then of their SHARES_WALL "
                    "relationships. Every value travels as a parameter: floats stay floats, keys and texts stay "
                    "data; attribute values that are None, bool, int, float or str go as plain values (a subclass "
                    "as the value it holds, an int beyond the signed 64-bit range as the text of its digits), a "
                    "list or tuple of bool, int, float and str as a list of them (an array property), others as "
                    "their repr() text, and a room's or wall's own property wins over an attribute of its name. "
                    "Skip the first pair for a database that already holds the index."),
                method<graph_to_arrays, graph_to_arrays_params>(
                    "The whole graph as new numpy arrays: {'nodes': {'index', 'centroid', 'attributes'}, 'edges': "
                    "{'node_a', 'node_b', 'shared_area', 'contact_centroid', 'contact_type', 'attributes'}, "
                    "'wire_contacts'}. Positions are int64 (uint64 where one lies beyond int64), coordinates and "
                    "areas float64 ((n, 3) for centroids), contact_type an object array of str, wire_contacts (k, 2) "
                    "rows of wire_index, mesh_index. Each 'attributes' maps every key that any node (edge) holds, in "
                    "sorted order, to an object array of the very values, None where an item lacks the key. Needs "
                    "numpy."),
                static_method<graph_from_arrays, graph_from_arrays_params>(
                    "A new graph from arrays as to_arrays() gives them (lists and other array-likes too; the "
                    "'attributes' optional): a new node and edge per row, the same values bit for bit, each "
                    "attribute set where its value is not None. Edges whose ends lie beyond the nodes are kept. "
                    "Wrong shapes, lengths, dtypes and keys raise TypeError or ValueError naming the array. Needs "
                    "numpy."),
            },
    });
    return def;
}

template <>
const ClassDef& class_def<TopologicalEntity>() {
    static const ClassDef def = define_class<TopologicalEntity>({
        .name = "TopologicalEntity",
        .sentence = "Represents any entity inside the topological hierarchy.",
        .constructor = constructor<make_entity, entity_new>(),
        .properties =
            {
                field<&TopologicalEntity::id>("id"),
                field<&TopologicalEntity::entity_type>("entity_type"),
                field<&TopologicalEntity::parent_id>("parent_id"),
            },
    });
    return def;
}

}  // namespace velmarin::binding
