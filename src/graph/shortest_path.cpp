#include "graph/shortest_path.hpp"

#include <algorithm>
#include <limits>

namespace velmarin {

namespace {

// A node not yet reached. Kept finite so that no reached distance can equal
// it: a candidate must be strictly below it to be taken.
constexpr double unreached = std::numeric_limits<double>::max();

}  // namespace

Result<void> check_path_ends(std::size_t node_count, std::uint64_t start, std::uint64_t end) {
    if (start >= node_count || end >= node_count) return value_error("Start or End node index out of bounds.");
    return {};
}

template <class Index>
std::span<Vector3D> PathSearch<Index>::begin(std::size_t node_count, std::size_t edge_count) {
    adjacency_.reset(node_count, edge_count);
    centroids_.resize(node_count);
    return centroids_;
}

// A node leaves the frontier settled: every candidate that comes later is
// a distance at least as large plus a weight that is not negative (or NaN),
// so it cannot improve the node, and relaxing a settled neighbour fails by
// itself. Candidates that improve a distance are finite and not negative,
// as the frontier needs.
template <class Index>
std::vector<std::uint64_t> PathSearch<Index>::run(std::uint64_t start, std::uint64_t end) {
    const std::size_t node_count = adjacency_.node_count();
    check(start < node_count && end < node_count, "path ends outside the node list");
    adjacency_.finish(centroids_);
    distance_.assign(node_count, unreached);
    predecessor_.assign(node_count, std::numeric_limits<Index>::max());
    frontier_.reset(node_count);

    double* const distance = distance_.data();
    Index* const predecessor = predecessor_.data();
    const Index* const targets = adjacency_.targets();
    const double* const weights = adjacency_.weights();
    distance[start] = 0.0;
    frontier_.lower(static_cast<Index>(start), 0.0);
    while (!frontier_.empty()) {
        const Index u = frontier_.pop();
        if (u == end) break;
        // The node that comes out next is, most often, the frontier's top
        // now; where its list lies is fetched while u's is walked.
        if (!frontier_.empty()) adjacency_.prefetch(frontier_.top());
        const double here = distance[u];
        for (Index k = adjacency_.begin(u), last = adjacency_.end(u); k < last; ++k) {
            const Index v = targets[k];
            const double candidate = weights[k] + here;
            if (candidate < distance[v]) {
                distance[v] = candidate;
                predecessor[v] = u;
                frontier_.lower(v, candidate);
            }
        }
    }
    if (distance[end] == unreached) return {};
    return walk_back(static_cast<Index>(end));
}

template <class Index>
std::vector<std::uint64_t> PathSearch<Index>::walk_back(Index end) const {
    std::vector<std::uint64_t> path{end};
    for (Index at = end; predecessor_[at] != std::numeric_limits<Index>::max();) {
        at = predecessor_[at];
        path.push_back(at);
    }
    std::reverse(path.begin(), path.end());
    return path;
}

template class PathSearch<std::uint32_t>;
template class PathSearch<std::uint64_t>;

PathSearch<std::uint32_t>& this_thread_path_search() {
    thread_local PathSearch<std::uint32_t> search;
    return search;
}

}  // namespace velmarin
