// The cheapest chain of cells between two nodes, where crossing an edge
// costs the distance between the centroids of its two ends.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "core/error.hpp"
#include "geometry/vector.hpp"

namespace velmarin {

struct WeightedEdge {
    std::uint64_t a = 0;  // positions in the node list
    std::uint64_t b = 0;
    double weight = 0.0;
};

// √(dx² + dy² + dz²), the squares added in the order x, y, z.
inline double centroid_distance(const Vector3D& p, const Vector3D& q) {
    const double dx = p.x - q.x;
    const double dy = p.y - q.y;
    const double dz = p.z - q.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// ValueError "Start or End node index out of bounds." unless both ends are
// positions in a list of `node_count` nodes.
Result<void> check_path_ends(std::size_t node_count, std::uint64_t start, std::uint64_t end);

// Node positions from `start` to `end` inclusive; empty when `end` cannot be
// reached. Both ends and every edge end must lie below `node_count`.
//
// Nodes are settled in the order of a scan that always takes the unsettled
// node of least distance, the lowest position among equals, and a node's
// predecessor changes only on a strictly smaller distance; so among routes
// of equal cost the one found first is kept. Weights that are NaN or
// infinite never improve a distance and so carry no path.
std::vector<std::uint64_t> shortest_path(std::size_t node_count, std::span<const WeightedEdge> edges,
                                         std::uint64_t start, std::uint64_t end);

}  // namespace velmarin
