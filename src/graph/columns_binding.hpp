// SpatialGraph.to_arrays and SpatialGraph.from_arrays: a whole graph as
// numpy columns, and a graph made from such columns.
//
//     {"nodes": {"index": (n,), "centroid": (n, 3), "attributes": {key: (n,) objects}},
//      "edges": {"node_a": (m,), "node_b": (m,), "shared_area": (m,), "contact_centroid": (m, 3),
//                "contact_type": (m,) str objects, "attributes": {key: (m,) objects}},
//      "wire_contacts": (k, 2)}
//
// Positions are int64 (uint64 for a column holding one beyond int64),
// coordinates and areas float64; an attribute column holds each item's
// value, None where the item lacks the key.
#pragma once

#include <string>
#include <vector>

#include "binding/declare.hpp"
#include "graph/binding.hpp"

namespace velmarin::binding {

inline constexpr Params graph_to_arrays_params{"SpatialGraph", "to_arrays"};
inline constexpr Params graph_from_arrays_params{"SpatialGraph", "from_arrays", "arrays"};

// The values one attribute key takes over the nodes (or edges): a list of
// their number that only the reader holds, None for "not set".
struct AttributeColumn {
    std::string key;
    PyRef values;
};

// The argument of from_arrays, read and checked whole before any object is
// made.
struct GraphArrays {
    GraphRecords records;
    std::vector<AttributeColumn> node_attributes;
    std::vector<AttributeColumn> edge_attributes;
};

template <>
struct Converter<GraphArrays> {
    static bool load(PyObject* object, GraphArrays& out);
};

// New arrays, never views: changing them leaves the graph as it is.
Made graph_to_arrays(const SpatialGraph& graph);

Made graph_from_arrays(GraphArrays arrays);

}  // namespace velmarin::binding
