// SpatialGraph.to_arrays and SpatialGraph.from_arrays.
#include "graph/columns_binding.hpp"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <numeric>
#include <span>
#include <string_view>
#include <utility>

#include "binding/arrays.hpp"
#include "binding/collector.hpp"
#include "core/text_ids.hpp"
#include "geometry/mesh_rows.hpp"
#include "graph/graph_columns.hpp"

namespace velmarin::binding {

namespace {

// --- to_arrays: the graph read in one pass -----------------------------------------

// One side's attributes as read from its items: for each key (by its id
// in `keys`), the positions of the items holding it, with their values.
struct AttributeSnapshot {
    TextIds keys;
    std::vector<std::vector<std::pair<std::size_t, PyRef>>> columns;

    // False with the error set when a value could not be made (a build's
    // list of ints is made when first read).
    bool add(std::size_t position, const AttributeMap& attributes) {
        return attributes.for_each([&](std::string_view key, PyObject* value) {
            const std::uint32_t id = keys.id(key);
            if (id == columns.size()) columns.emplace_back();
            columns[id].emplace_back(position, PyRef::borrow(value));
            return true;
        });
    }
};

struct GraphSnapshot {
    std::vector<std::uint64_t> index;
    std::vector<Vector3D> centroid;
    AttributeSnapshot node_attributes;
    std::vector<std::uint64_t> node_a;
    std::vector<std::uint64_t> node_b;
    std::vector<double> shared_area;
    std::vector<Vector3D> contact_centroid;
    TextIds contact_types;
    std::vector<std::uint32_t> contact_type;  // ids in contact_types
    AttributeSnapshot edge_attributes;
    std::vector<std::uint64_t> wire_contacts;  // rows of wire_index, mesh_index
};

// Everything to_arrays returns, copied out of the objects before any array
// is made. Each item is borrowed while it is read: making a list that a
// build left as positions may run Python code (a collection, finalisers),
// which must not change the map being walked.
bool read_graph(const SpatialGraph& graph, GraphSnapshot& s) {
    s.index.reserve(graph.nodes.size());
    s.centroid.reserve(graph.nodes.size());
    bool read = true;
    visit_in_order(graph.nodes, [&](std::size_t i, Instance<GraphNode>& item) {
        auto borrow = SharedBorrow::hold(item.borrow);
        const GraphNode& node = item.payload;
        s.index.push_back(node.record.index);
        s.centroid.push_back(node.record.centroid);
        read = read && s.node_attributes.add(i, node.attributes);
    });
    const std::size_t m = graph.edges.size();
    s.node_a.reserve(m);
    s.node_b.reserve(m);
    s.shared_area.reserve(m);
    s.contact_centroid.reserve(m);
    s.contact_type.reserve(m);
    visit_in_order(graph.edges, [&](std::size_t i, Instance<GraphEdge>& item) {
        auto borrow = SharedBorrow::hold(item.borrow);
        const GraphEdge& edge = item.payload;
        s.node_a.push_back(edge.record.node_a);
        s.node_b.push_back(edge.record.node_b);
        s.shared_area.push_back(edge.record.shared_area);
        s.contact_centroid.push_back(edge.record.contact_centroid);
        s.contact_type.push_back(s.contact_types.id(edge.record.contact_type));
        read = read && s.edge_attributes.add(i, edge.attributes);
    });
    s.wire_contacts.reserve(2 * graph.wire_contacts.size());
    for (const WireContact& contact : graph.wire_contacts) {
        s.wire_contacts.push_back(contact.wire_index);
        s.wire_contacts.push_back(contact.mesh_index);
    }
    return read;
}

// --- to_arrays: the arrays ------------------------------------------------------------

// A new array of T that `fill` fills through a span before anyone sees it.
template <class T, class Fill>
PyRef filled(PyObject* numpy, std::initializer_list<std::size_t> shape, Fill fill) {
    std::span<T> out;
    PyRef array = new_array(numpy, shape, out);
    if (array) fill(out);
    return array;
}

template <class T, class Source>
void copy_exactly(const Source& values, std::span<T> out) {
    check(values.size() == out.size(), "an array made for another number of values");
    std::copy(values.begin(), values.end(), out.begin());
}

// Positions as int64, or as uint64 when one of them lies beyond int64.
PyRef position_array(PyObject* numpy, const std::vector<std::uint64_t>& values,
                     std::initializer_list<std::size_t> shape) {
    if (fit_signed(values)) {
        return filled<std::int64_t>(numpy, shape, [&](std::span<std::int64_t> out) { copy_exactly(values, out); });
    }
    return filled<std::uint64_t>(numpy, shape, [&](std::span<std::uint64_t> out) { copy_exactly(values, out); });
}

PyRef point_array(PyObject* numpy, const std::vector<Vector3D>& points) {
    return filled<double>(numpy, {points.size(), 3}, [&](std::span<double> out) { copy_coordinates(points, out); });
}

PyRef real_array(PyObject* numpy, const std::vector<double>& values) {
    return filled<double>(numpy, {values.size()}, [&](std::span<double> out) { copy_exactly(values, out); });
}

// One str object per distinct type, shared by every edge of that type.
PyRef type_array(PyObject* numpy, const GraphSnapshot& s) {
    std::vector<PyRef> texts;
    for (std::uint32_t id = 0; id < s.contact_types.size(); ++id) {
        texts.push_back(text_object(s.contact_types.text(id)));
        if (!texts.back()) return {};
    }
    return filled<PyObject*>(numpy, {s.contact_type.size()}, [&](std::span<PyObject*> slots) {
        for (std::size_t i = 0; i < slots.size(); ++i) put_object(slots[i], checked(texts, s.contact_type[i]));
    });
}

// {key: object array of `count` values, None where an item lacks the key},
// the keys in the order of their UTF-8 bytes, which is the order of
// sorted() on them.
PyRef attribute_arrays(PyObject* numpy, std::size_t count, AttributeSnapshot& snapshot) {
    std::vector<std::uint32_t> order(snapshot.keys.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return snapshot.keys.text(a) < snapshot.keys.text(b); });
    PyRef dict = PyRef::steal(PyDict_New());
    if (!dict) return {};
    for (std::uint32_t id : order) {
        PyRef values = filled<PyObject*>(numpy, {count}, [&](std::span<PyObject*> slots) {
            for (auto& [position, value] : snapshot.columns[id]) put_object(checked(slots, position), std::move(value));
        });
        PyRef key = values ? text_object(snapshot.keys.text(id)) : PyRef();
        if (!key || PyDict_SetItem(dict.get(), key.get(), values.get()) != 0) return {};
    }
    return dict;
}

// A dict filled entry by entry; the first entry that fails to be made
// ends it, and done() then returns nothing (with the error set).
class DictBuilder {
public:
    template <class Make>
    DictBuilder& add(const char* key, Make make) {
        if (!dict_) return *this;
        PyRef value = make();
        if (!value || PyDict_SetItemString(dict_.get(), key, value.get()) != 0) dict_ = PyRef();
        return *this;
    }
    PyRef done() { return std::move(dict_); }

private:
    PyRef dict_ = PyRef::steal(PyDict_New());
};

// --- from_arrays --------------------------------------------------------------------

// Sets a `type` error with a text of any bytes.
void raise_text(PyObject* type, const std::string& text) {
    PyRef message = text_object(text);
    if (message) PyErr_SetObject(type, message.get());
}

std::string entry_path(const std::string& table, std::string_view key) {
    return table + "['" + std::string(key) + "']";
}

// The argument of from_arrays read part by part. Each method sets the
// error and returns false on failure; a part read is held by the reader,
// so that Python code run by a later conversion cannot change it.
class ArraysReader {
public:
    explicit ArraysReader(PyObject* numpy) : numpy_(numpy) {}

    bool graph(PyObject* arrays, GraphArrays& out) {
        std::vector<PyRef> parts;
        if (!table(arrays, "arrays", {"nodes", "edges", "wire_contacts"}, 3, parts)) return false;
        std::vector<std::uint64_t> contacts;
        if (!nodes(parts[0].get(), out) || !edges(parts[1].get(), out) ||
            !positions(parts[2].get(), {"arrays['wire_contacts']", "(k, 2)", 2}, contacts)) {
            return false;
        }
        for (std::size_t i = 0; i < contacts.size(); i += 2) {
            out.records.wire_contacts.push_back({contacts[i], contacts[i + 1]});
        }
        return true;
    }

private:
    bool nodes(PyObject* object, GraphArrays& out) {
        const std::string at = "arrays['nodes']";
        std::vector<PyRef> parts;
        std::vector<std::uint64_t> index;
        std::vector<Vector3D> centroid;
        const std::string index_path = entry_path(at, "index");
        const std::string centroid_path = entry_path(at, "centroid");
        if (!table(object, at, {"index", "centroid", "attributes"}, 2, parts) ||
            !positions(parts[0].get(), {index_path.c_str(), "(n,)", 1, true}, index) ||
            !points(parts[1].get(), {centroid_path.c_str(), "(n, 3)", 3}, centroid) ||
            !same_length(centroid.size(), centroid_path, index.size(), index_path) ||
            !attributes(parts[2].get(), entry_path(at, "attributes"), index.size(), index_path, out.node_attributes)) {
            return false;
        }
        out.records.nodes.reserve(index.size());
        for (std::size_t i = 0; i < index.size(); ++i) out.records.nodes.push_back({index[i], centroid[i]});
        return true;
    }

    bool edges(PyObject* object, GraphArrays& out) {
        const std::string at = "arrays['edges']";
        const std::string a_path = entry_path(at, "node_a"), b_path = entry_path(at, "node_b");
        const std::string area_path = entry_path(at, "shared_area");
        const std::string centroid_path = entry_path(at, "contact_centroid");
        const std::string type_path = entry_path(at, "contact_type");
        std::vector<PyRef> parts;
        std::vector<std::uint64_t> a, b;
        std::vector<double> area;
        std::vector<Vector3D> centroid;
        std::vector<std::string> type;
        if (!table(object, at, {"node_a", "node_b", "shared_area", "contact_centroid", "contact_type", "attributes"}, 5,
                   parts) ||
            !positions(parts[0].get(), {a_path.c_str(), "(m,)", 1, true}, a) ||
            !positions(parts[1].get(), {b_path.c_str(), "(m,)", 1, true}, b) ||
            !same_length(b.size(), b_path, a.size(), a_path) ||
            !reals(parts[2].get(), {area_path.c_str(), "(m,)", 1, true}, area) ||
            !same_length(area.size(), area_path, a.size(), a_path) ||
            !points(parts[3].get(), {centroid_path.c_str(), "(m, 3)", 3}, centroid) ||
            !same_length(centroid.size(), centroid_path, a.size(), a_path) || !texts(parts[4].get(), type_path, type) ||
            !same_length(type.size(), type_path, a.size(), a_path) ||
            !attributes(parts[5].get(), entry_path(at, "attributes"), a.size(), a_path, out.edge_attributes)) {
            return false;
        }
        out.records.edges.reserve(a.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            out.records.edges.push_back({a[i], b[i], area[i], centroid[i], std::move(type[i])});
        }
        return true;
    }

    // The entries `names` of the dict `object` (empty references for the
    // optional ones after the first `required`, when absent). A key that is
    // not one of `names` is refused: a misspelt one would lose its data.
    bool table(PyObject* object, const std::string& at, std::initializer_list<const char*> names, std::size_t required,
               std::vector<PyRef>& out) {
        if (!PyDict_Check(object)) {
            raise_text(PyExc_TypeError, at + " must be a dict; got " + type_name_of(object));
            return false;
        }
        Py_ssize_t position = 0;
        PyObject *key, *value;
        while (PyDict_Next(object, &position, &key, &value)) {
            const bool known = PyUnicode_Check(key) && std::any_of(names.begin(), names.end(), [&](const char* name) {
                                   return PyUnicode_CompareWithASCIIString(key, name) == 0;
                               });
            if (!known) {
                PyRef text = PyRef::steal(PyUnicode_FromFormat("%s has the unknown key %R", at.c_str(), key));
                if (text) PyErr_SetObject(PyExc_ValueError, text.get());
                return false;
            }
        }
        for (const char* name : names) {
            out.push_back(PyRef::borrow(PyDict_GetItemString(object, name)));
            if (!out.back() && out.size() <= required) {
                raise_text(PyExc_ValueError, at + " has no '" + name + "'");
                return false;
            }
        }
        return true;
    }

    bool same_length(std::size_t count, const std::string& at, std::size_t expected, const std::string& reference) {
        if (count == expected) return true;
        raise_text(PyExc_ValueError, at + " has length " + std::to_string(count) + "; " + reference + " has length " +
                                         std::to_string(expected));
        return false;
    }

    // Integers of any signed or unsigned dtype, none negative; an array
    // without elements of any dtype.
    bool positions(PyObject* object, const RowShape& shape, std::vector<std::uint64_t>& out) {
        PyRef array = as_array(numpy_, object);
        const char kind = array ? dtype_kind(array.get()) : 0;
        if (kind == 0) return false;
        if (kind == 'u') {
            ArrayRows<std::uint64_t> rows;
            if (!read_rows(numpy_, array.get(), shape, rows)) return false;
            out.assign(rows.values.begin(), rows.values.end());
            return true;
        }
        if (kind != 'i' && !is_empty(array.get())) {
            if (!PyErr_Occurred()) refuse_dtype(array.get(), shape.parameter, "integers");
            return false;
        }
        ArrayRows<std::int64_t> rows;
        if (!read_rows(numpy_, array.get(), shape, rows)) return false;
        Result<std::vector<std::uint64_t>> values = positions_from_signed(rows.values, rows.width, shape.parameter);
        if (!values.ok()) {
            raise_error(values.error());
            return false;
        }
        out = std::move(values).value();
        return true;
    }

    // Reals of any float or integer dtype; an array without elements of any dtype.
    bool reals(PyObject* object, const RowShape& shape, std::vector<double>& out) {
        PyRef array = as_array(numpy_, object);
        const char kind = array ? dtype_kind(array.get()) : 0;
        if (kind == 0) return false;
        if (kind != 'f' && kind != 'i' && kind != 'u' && !is_empty(array.get())) {
            if (!PyErr_Occurred()) refuse_dtype(array.get(), shape.parameter, "real numbers");
            return false;
        }
        ArrayRows<double> rows;
        if (!read_rows(numpy_, array.get(), shape, rows)) return false;
        out.assign(rows.values.begin(), rows.values.end());
        return true;
    }

    bool points(PyObject* object, const RowShape& shape, std::vector<Vector3D>& out) {
        std::vector<double> coordinates;
        if (!reals(object, shape, coordinates)) return false;
        out = vertices_from_rows(coordinates);
        return true;
    }

    // A sequence of str, each read as its UTF-8 (an item the same object as
    // the one before, as in the arrays to_arrays makes, once).
    bool texts(PyObject* object, const std::string& at, std::vector<std::string>& out) {
        PyRef items = item_list(numpy_, object, at.c_str());
        if (!items) return false;
        const Py_ssize_t count = PyList_Size(items.get());
        out.reserve(static_cast<std::size_t>(count));
        PyObject* last = nullptr;
        for (Py_ssize_t i = 0; i < count; ++i) {
            PyObject* item = PyList_GetItem(items.get(), i);
            if (!PyUnicode_Check(item)) {
                raise_text(PyExc_TypeError,
                           at + " must hold str; item " + std::to_string(i) + " is " + type_name_of(item));
                return false;
            }
            if (item == last) {
                out.push_back(out.back());
                continue;
            }
            PyRef bytes;
            const std::optional<std::string_view> utf8 = utf8_view(item, bytes);
            if (!utf8) return false;
            out.emplace_back(*utf8);
            last = item;
        }
        return true;
    }

    // {str: sequence of `count` values}; absent (nullptr), no attributes.
    bool attributes(PyObject* object, const std::string& at, std::size_t count, const std::string& reference,
                    std::vector<AttributeColumn>& out) {
        if (!object) return true;
        if (!PyDict_Check(object)) {
            raise_text(PyExc_TypeError, at + " must be a dict; got " + type_name_of(object));
            return false;
        }
        // Held before any is read: reading a column may run Python code
        // (an array's conversion), which may change the dict.
        std::vector<std::pair<PyRef, PyRef>> entries;
        Py_ssize_t position = 0;
        PyObject *key, *value;
        while (PyDict_Next(object, &position, &key, &value)) {
            entries.emplace_back(PyRef::borrow(key), PyRef::borrow(value));
        }
        TextIds seen;
        for (const auto& [key, column] : entries) {
            if (!PyUnicode_Check(key.get())) {
                raise_text(PyExc_TypeError, at + " keys must be str; got " + type_name_of(key.get()));
                return false;
            }
            PyRef bytes;
            const std::optional<std::string_view> utf8 = utf8_view(key.get(), bytes);
            PyRef plain = utf8 ? text_object(*utf8) : PyRef();  // a str subclass's repr() is its own
            PyRef shown = plain ? PyRef::steal(PyObject_Repr(plain.get())) : PyRef();
            PyRef shown_bytes;
            const std::optional<std::string_view> shown_utf8 =
                shown ? utf8_view(shown.get(), shown_bytes) : std::nullopt;
            if (!shown_utf8) return false;
            const std::string column_path = at + "[" + std::string(*shown_utf8) + "]";
            const std::size_t known = seen.size();
            if (seen.id(*utf8) < known) {
                raise_text(PyExc_ValueError, at + " holds the key " + std::string(*shown_utf8) + " twice");
                return false;
            }
            PyRef values = item_list(numpy_, column.get(), column_path.c_str());
            if (!values ||
                !same_length(static_cast<std::size_t>(PyList_Size(values.get())), column_path, count, reference)) {
                return false;
            }
            out.push_back({std::string(*utf8), std::move(values)});
        }
        return true;
    }

    PyObject* numpy_;
};

// Sets the attributes of item `i` that its columns hold (not None).
void set_attributes(AttributeMap& attributes, const std::vector<AttributeColumn>& columns, std::size_t i) {
    for (const AttributeColumn& column : columns) {
        PyObject* value = PyList_GetItem(column.values.get(), static_cast<Py_ssize_t>(i));
        check(value != nullptr, "an attribute column shorter than its items");
        if (value != Py_None) attributes.set(column.key, PyRef::borrow(value));
    }
}

}  // namespace

bool Converter<GraphArrays>::load(PyObject* object, GraphArrays& out) {
    PyRef numpy = import_numpy_for(graph_from_arrays_params);
    return numpy && ArraysReader(numpy.get()).graph(object, out);
}

Made graph_to_arrays(const SpatialGraph& graph) {
    PyRef numpy_module = import_numpy_for(graph_to_arrays_params);
    if (!numpy_module) return {};
    PyObject* numpy = numpy_module.get();
    GraphSnapshot s;
    {
        CollectorPause pause;
        if (!read_graph(graph, s)) return {};
    }
    const std::size_t n = s.index.size(), m = s.node_a.size();
    PyRef nodes = DictBuilder()
                      .add("index", [&] { return position_array(numpy, s.index, {n}); })
                      .add("centroid", [&] { return point_array(numpy, s.centroid); })
                      .add("attributes", [&] { return attribute_arrays(numpy, n, s.node_attributes); })
                      .done();
    if (!nodes) return {};
    PyRef edges = DictBuilder()
                      .add("node_a", [&] { return position_array(numpy, s.node_a, {m}); })
                      .add("node_b", [&] { return position_array(numpy, s.node_b, {m}); })
                      .add("shared_area", [&] { return real_array(numpy, s.shared_area); })
                      .add("contact_centroid", [&] { return point_array(numpy, s.contact_centroid); })
                      .add("contact_type", [&] { return type_array(numpy, s); })
                      .add("attributes", [&] { return attribute_arrays(numpy, m, s.edge_attributes); })
                      .done();
    if (!edges) return {};
    return {DictBuilder()
                .add("nodes", [&] { return nodes; })
                .add("edges", [&] { return edges; })
                .add("wire_contacts",
                     [&] {
                         return position_array(numpy, s.wire_contacts, {s.wire_contacts.size() / 2, 2});
                     })
                .done()};
}

Made graph_from_arrays(GraphArrays arrays) {
    GraphRecords& records = arrays.records;
    SpatialGraph graph;
    graph.nodes.reserve(records.nodes.size());
    for (std::size_t i = 0; i < records.nodes.size(); ++i) {
        GraphNode node{records.nodes[i], {}};
        set_attributes(node.attributes, arrays.node_attributes, i);
        PyRef object = PyRef::steal(new_instance(std::move(node)));
        if (!object) return {};
        graph.nodes.emplace_back(std::move(object));
    }
    graph.edges.reserve(records.edges.size());
    for (std::size_t i = 0; i < records.edges.size(); ++i) {
        GraphEdge edge{std::move(records.edges[i]), {}};
        set_attributes(edge.attributes, arrays.edge_attributes, i);
        PyRef object = PyRef::steal(new_instance(std::move(edge)));
        if (!object) return {};
        graph.edges.emplace_back(std::move(object));
    }
    graph.wire_contacts = std::move(records.wire_contacts);
    return {PyRef::steal(new_instance(std::move(graph)))};
}

}  // namespace velmarin::binding
