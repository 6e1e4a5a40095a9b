// The cheapest chain of cells between two nodes, where crossing an edge
// costs the distance between the centroids of its two ends.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/error.hpp"
#include "geometry/vector.hpp"
#include "graph/adjacency.hpp"
#include "graph/frontier.hpp"

namespace velmarin {

// ValueError "Start or End node index out of bounds." unless both ends are
// positions in a list of `node_count` nodes.
Result<void> check_path_ends(std::size_t node_count, std::uint64_t start, std::uint64_t end);

// One search at a time over a graph that is handed in afresh for every
// search: the centroids, then the edges. The memory stays for the next
// search, so nothing may be kept in it across searches but capacity.
//
//     std::span<Vector3D> centroids = search.begin(node_count, edge_count);
//     ... fill centroids, then search.add_edge(a, b) for every edge ...
//     std::vector<std::uint64_t> path = search.run(start, end);
//
// Nodes are settled in the order of a scan that always takes the unsettled
// node of least distance, the lowest position among equals, and a node's
// predecessor changes only on a strictly smaller distance; so among routes
// of equal cost the one found first is kept. Weights that are NaN or
// infinite never improve a distance and so carry no path.
template <class Index>
class PathSearch {
public:
    // Whether a graph of this size can be searched with Index positions.
    static constexpr bool fits(std::size_t node_count, std::size_t edge_count) noexcept {
        return Adjacency<Index>::fits(node_count, edge_count);
    }

    // Starts a graph; the caller fills the returned centroids, one per node
    // in position order, before run().
    std::span<Vector3D> begin(std::size_t node_count, std::size_t edge_count);

    // See Adjacency::add_edge: edges beyond the node list are left out.
    void add_edge(std::uint64_t a, std::uint64_t b) { adjacency_.add_edge(a, b); }

    // Node positions from `start` to `end` inclusive; empty when `end`
    // cannot be reached. Both must lie below the node count.
    std::vector<std::uint64_t> run(std::uint64_t start, std::uint64_t end);

private:
    std::vector<std::uint64_t> walk_back(Index end) const;

    std::vector<Vector3D> centroids_;
    Adjacency<Index> adjacency_;
    std::vector<double> distance_;
    std::vector<Index> predecessor_;
    Frontier<Index> frontier_;
};

extern template class PathSearch<std::uint32_t>;
extern template class PathSearch<std::uint64_t>;

// This thread's search with 32-bit positions, whose memory a thread that
// routes repeatedly reuses. A caller feeds and runs it without running
// other code that could route on the same thread in between.
PathSearch<std::uint32_t>& this_thread_path_search();

}  // namespace velmarin
