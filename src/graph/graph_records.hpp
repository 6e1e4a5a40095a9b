// The plain fields of a spatial graph: what the graph build produces and
// what the path search and the Cypher export read. The Python classes wrap
// these with their attribute maps (graph/binding.hpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/vector.hpp"

namespace velmarin {

// One cell.
struct NodeRecord {
    std::uint64_t index = 0;
    Vector3D centroid;
};

// A measure a build attaches to an edge beyond its fields. The key is text
// with static storage.
struct EdgeNumber {
    std::string_view key;
    double value = 0.0;
};

// Positions a build attaches to an edge as one list of integers. The key is
// text with static storage; an empty key means no list.
struct EdgePositions {
    std::string_view key;
    std::vector<std::uint64_t> values;
};

// One contact between two cells. The ends are positions in the node list
// for the path search and `index` values for the Cypher export; a built
// graph keeps the two equal.
struct EdgeRecord {
    std::uint64_t node_a = 0;
    std::uint64_t node_b = 0;
    double shared_area = 0.0;
    Vector3D contact_centroid;
    std::string contact_type;
    // Handed to the edge's attribute map (as floats, and a list of ints)
    // when the edge object is made, and not kept in the record.
    std::vector<EdgeNumber> numbers = {};
    EdgePositions positions = {};
};

// A linear element (by its position in the registry's wires) passing
// through a cell (by its position in the registry's meshes).
struct WireContact {
    std::uint64_t wire_index = 0;
    std::uint64_t mesh_index = 0;
};

// A whole graph as plain values, in order.
struct GraphRecords {
    std::vector<NodeRecord> nodes;
    std::vector<EdgeRecord> edges;
    std::vector<WireContact> wire_contacts;
};

}  // namespace velmarin
