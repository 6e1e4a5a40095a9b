// The graph classes as the rest of the binding sees them.
//
// GraphNode and GraphEdge objects carry their plain record and an attribute
// map; a SpatialGraph holds its node and edge objects by reference (shared
// with every other holder) and its wire contacts by value.
//
// The graph build hands its result over as plain records:
//     Result<GraphRecords> build(...);      // returned from an implementation
// converts into a new SpatialGraph object with one new GraphNode per node
// record and one new GraphEdge per edge record, each with an empty
// attribute map (Converter<GraphRecords> below, or make_spatial_graph).
#pragma once

#include <vector>

#include "binding/attribute_map.hpp"
#include "binding/record.hpp"
#include "graph/graph_records.hpp"
#include "graph/topological_entity.hpp"

namespace velmarin::binding {

struct GraphNode {
    NodeRecord record;
    AttributeMap attributes;
};

struct GraphEdge {
    EdgeRecord record;
    AttributeMap attributes;
};

struct SpatialGraph {
    std::vector<Ref<GraphNode>> nodes;
    std::vector<Ref<GraphEdge>> edges;
    std::vector<WireContact> wire_contacts;
};

template <>
const ClassDef& class_def<GraphNode>();
template <>
const ClassDef& class_def<GraphEdge>();
template <>
const ClassDef& class_def<WireContact>();
template <>
const ClassDef& class_def<SpatialGraph>();
template <>
const ClassDef& class_def<TopologicalEntity>();

template <>
struct Converter<WireContact> : RecordConverter<WireContact> {};

// Visits every object of `items` in list order. The objects lie apart in
// memory, one cache line read from each: asking for a line some objects
// ahead hides most of the wait for it.
template <class P, class Visit>
void visit_in_order(const std::vector<Ref<P>>& items, Visit visit) {
    constexpr std::size_t ahead = 16;
    const std::size_t count = items.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (i + ahead < count) __builtin_prefetch(items[i + ahead].get());
        visit(i, *items[i].instance());
    }
}

// New objects from plain records; empty with the error set on failure.
PyRef make_graph_node(NodeRecord record);
PyRef make_graph_edge(EdgeRecord record);
PyRef make_spatial_graph(GraphRecords records);

template <>
struct Converter<GraphRecords> {
    static PyObject* cast(GraphRecords records) { return make_spatial_graph(std::move(records)).release(); }
};

}  // namespace velmarin::binding
