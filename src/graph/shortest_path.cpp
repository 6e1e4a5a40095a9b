#include "graph/shortest_path.hpp"

#include <algorithm>
#include <functional>
#include <limits>
#include <queue>
#include <utility>

namespace velmarin {

namespace {

// A node not yet reached. Kept finite so that no reached distance can equal
// it: a candidate must be strictly below it to be taken.
constexpr double unreached = std::numeric_limits<double>::max();
constexpr std::uint64_t no_predecessor = std::numeric_limits<std::uint64_t>::max();

struct Neighbour {
    std::uint64_t node;
    double weight;
};

// Every edge entered once in the list of each end, in edge order, so each
// list holds its neighbours in the order the edges name them. The lists
// lie end to end: those of node u are neighbours[first[u] .. first[u+1]).
struct Adjacency {
    std::vector<std::size_t> first;
    std::vector<Neighbour> neighbours;

    Adjacency(std::size_t node_count, std::span<const WeightedEdge> edges) : first(node_count + 1, 0) {
        for (const WeightedEdge& edge : edges) {
            check(edge.a < node_count && edge.b < node_count, "edge end outside the node list");
            ++first[edge.a + 1];
            ++first[edge.b + 1];
        }
        for (std::size_t u = 0; u < node_count; ++u) first[u + 1] += first[u];
        neighbours.resize(2 * edges.size());
        std::vector<std::size_t> next(first.begin(), first.end() - 1);
        for (const WeightedEdge& edge : edges) {
            neighbours[next[edge.a]++] = {edge.b, edge.weight};
            neighbours[next[edge.b]++] = {edge.a, edge.weight};
        }
    }

    std::span<const Neighbour> of(std::uint64_t u) const {
        return std::span(neighbours).subspan(first[u], first[u + 1] - first[u]);
    }
};

std::vector<std::uint64_t> walk_back(const std::vector<std::uint64_t>& predecessor, std::uint64_t end) {
    std::vector<std::uint64_t> path{end};
    for (std::uint64_t at = end; predecessor[at] != no_predecessor;) {
        at = predecessor[at];
        path.push_back(at);
    }
    std::reverse(path.begin(), path.end());
    return path;
}

}  // namespace

Result<void> check_path_ends(std::size_t node_count, std::uint64_t start, std::uint64_t end) {
    if (start >= node_count || end >= node_count) return value_error("Start or End node index out of bounds.");
    return {};
}

std::vector<std::uint64_t> shortest_path(std::size_t node_count, std::span<const WeightedEdge> edges,
                                         std::uint64_t start, std::uint64_t end) {
    check(start < node_count && end < node_count, "path ends outside the node list");
    const Adjacency adjacency(node_count, edges);
    std::vector<double> distance(node_count, unreached);
    std::vector<std::uint64_t> predecessor(node_count, no_predecessor);
    std::vector<std::uint8_t> settled(node_count, 0);

    // Ordered by (distance, position), the order in which a linear scan for
    // the least unsettled distance would meet the nodes. A node gets a new
    // entry at every improvement; the older, larger ones are skipped.
    using Entry = std::pair<double, std::uint64_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> frontier;
    distance[start] = 0.0;
    frontier.emplace(0.0, start);
    while (!frontier.empty()) {
        const auto [reached, u] = frontier.top();
        frontier.pop();
        if (settled[u] || reached != distance[u]) continue;
        if (u == end) break;
        settled[u] = 1;
        for (const Neighbour& next : adjacency.of(u)) {
            if (settled[next.node]) continue;
            const double candidate = next.weight + distance[u];
            if (candidate < distance[next.node]) {
                distance[next.node] = candidate;
                predecessor[next.node] = u;
                frontier.emplace(candidate, next.node);
            }
        }
    }
    if (distance[end] == unreached) return {};
    return walk_back(predecessor, end);
}

}  // namespace velmarin
