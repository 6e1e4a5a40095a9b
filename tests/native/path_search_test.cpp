// The path search and its parts against plain counterparts: the frontier
// against an ordered set, the adjacency against lists of lists, the search
// against Dijkstra written as a scan. The graphs have ties, edges of no
// length, self-loops, repeated edges, edges past the node list and centroids
// that are not finite; one object of each serves graph after graph, larger
// and smaller, as a thread's search does; both position widths.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "core/fault.hpp"
#include "graph/adjacency.hpp"
#include "graph/frontier.hpp"
#include "graph/shortest_path.hpp"

using namespace velmarin;

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

template <class Index>
class PathSearchParts : public testing::Test {};
using Widths = testing::Types<std::uint32_t, std::uint64_t>;
TYPED_TEST_SUITE(PathSearchParts, Widths);

// The frontier as plainly written: an ordered set of (distance, position).
template <class Index>
class PlainFrontier {
public:
    void reset(std::size_t node_count) {
        entries_.clear();
        distance_.assign(node_count, std::nan(""));
    }
    bool empty() const { return entries_.empty(); }
    Index top() const { return entries_.begin()->second; }
    void lower(Index node, double distance) {
        if (!std::isnan(distance_[node])) entries_.erase({distance_[node], node});
        entries_.insert({distance, node});
        distance_[node] = distance;
    }
    Index pop() {
        const Index node = entries_.begin()->second;
        entries_.erase(entries_.begin());
        distance_[node] = std::nan("");
        return node;
    }

private:
    std::set<std::pair<double, Index>> entries_;
    std::vector<double> distance_;  // NaN: not in
};

// Lowered and popped at random, over distances that tie often, from zero
// and the least subnormal to the largest double. Every other round stops
// with the frontier full and resets it.
TYPED_TEST(PathSearchParts, FrontierPopsAsAnOrderedSet) {
    using Index = TypeParam;
    const std::vector<double> distances = {
        0.0, 5e-324, 1e-300, 0.5, 1.0, std::nextafter(1.0, 2.0), 2.0, 1e300, std::numeric_limits<double>::max()};
    std::mt19937_64 random(40);
    Frontier<Index> frontier;
    PlainFrontier<Index> plain;
    for (int round = 0; round < 40; ++round) {
        const std::size_t node_count = 1 + random() % 300;
        frontier.reset(node_count);
        plain.reset(node_count);
        ASSERT_TRUE(frontier.empty());
        std::vector<std::size_t> level(node_count, distances.size());  // the node's distance; past the end: not in
        for (int step = 0; step < 3000; ++step) {
            if (!plain.empty() && random() % 3 == 0) {
                ASSERT_EQ(frontier.top(), plain.top());
                const Index node = plain.pop();
                ASSERT_EQ(frontier.pop(), node);
                level[node] = distances.size();
                continue;
            }
            const auto node = static_cast<Index>(random() % node_count);
            if (level[node] == 0) continue;  // at the least distance already
            level[node] = random() % level[node];
            frontier.lower(node, distances[level[node]]);
            plain.lower(node, distances[level[node]]);
        }
        if (round % 2) continue;
        while (!plain.empty()) ASSERT_EQ(frontier.pop(), plain.pop());
        ASSERT_TRUE(frontier.empty());
    }
}

struct Graph {
    std::vector<Vector3D> centroids;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> edges;
};

// Centroids on a small integer grid, so that routes tie and some edges have
// no length, a few of them NaN or infinite; edges between random nodes, a
// few of them self-loops, repeats or naming a node past the list.
Graph random_graph(std::mt19937_64& random, std::size_t node_count) {
    Graph graph;
    for (std::size_t i = 0; i < node_count; ++i) {
        auto grid = [&] { return static_cast<double>(random() % 4); };
        Vector3D c{grid(), grid(), grid()};
        if (random() % 40 == 0) c.y = std::nan("");
        if (random() % 40 == 0) c.z = random() % 2 ? infinity : -infinity;
        graph.centroids.push_back(c);
    }
    auto node = [&] { return random() % node_count; };
    for (std::size_t k = 0; k < 2 * node_count; ++k) {
        switch (random() % 20) {
            case 0: {
                const std::uint64_t u = node();
                graph.edges.push_back({u, u});
                break;
            }
            case 1:
                if (!graph.edges.empty()) graph.edges.push_back(graph.edges[random() % graph.edges.size()]);
                break;
            case 2:
                graph.edges.push_back({node(), random() % 2 ? node_count : std::numeric_limits<std::uint64_t>::max()});
                break;
            default: graph.edges.push_back({node(), node()});
        }
    }
    return graph;
}

// Sizes that rise and fall, so that storage kept from a larger graph meets
// a smaller one.
std::size_t next_size(std::mt19937_64& random, int round) { return 1 + random() % (round % 2 ? 20 : 150); }

TYPED_TEST(PathSearchParts, AdjacencyListsAsListsOfLists) {
    using Index = TypeParam;
    std::mt19937_64 random(41);
    Adjacency<Index> adjacency;
    for (int round = 0; round < 40; ++round) {
        const Graph graph = random_graph(random, next_size(random, round));
        const std::size_t n = graph.centroids.size();
        // Each edge in the list of each end, in the order given.
        std::vector<std::vector<std::pair<std::uint64_t, double>>> lists(n);
        adjacency.reset(n, graph.edges.size());
        for (auto [a, b] : graph.edges) {
            adjacency.add_edge(a, b);
            if (a >= n || b >= n) continue;
            const double weight = centroid_distance(graph.centroids[a], graph.centroids[b]);
            lists[a].push_back({b, weight});
            lists[b].push_back({a, weight});
        }
        adjacency.finish(graph.centroids);
        ASSERT_EQ(adjacency.node_count(), n);
        for (std::size_t u = 0; u < n; ++u) {
            const auto node = static_cast<Index>(u);
            ASSERT_EQ(adjacency.end(node) - adjacency.begin(node), lists[u].size()) << "node " << u;
            for (std::size_t k = 0; k < lists[u].size(); ++k) {
                const Index at = adjacency.begin(node) + k;
                EXPECT_EQ(adjacency.targets()[at], lists[u][k].first);
                EXPECT_EQ(std::bit_cast<std::uint64_t>(adjacency.weights()[at]),
                          std::bit_cast<std::uint64_t>(lists[u][k].second));
            }
        }
    }
}

// Every position below the largest Index, which marks "none", and twice the
// edges in list entries.
TYPED_TEST(PathSearchParts, PositionsFitBelowTheNoneMarker) {
    using Index = TypeParam;
    constexpr std::size_t largest = std::numeric_limits<Index>::max();
    struct Size {
        std::size_t nodes, edges;
        bool fits;
    };
    for (const Size& size :
         {Size{largest - 1, largest / 2, true}, Size{largest, 0, false}, Size{0, largest / 2 + 1, false}}) {
        EXPECT_EQ(PathSearch<Index>::fits(size.nodes, size.edges), size.fits) << size.nodes << ", " << size.edges;
    }
    Adjacency<Index> adjacency;
    EXPECT_THROW(adjacency.reset(largest, 0), InternalFault);
    adjacency.reset(2, 1);
    adjacency.add_edge(0, 1);
    EXPECT_THROW(adjacency.add_edge(1, 0), InternalFault);
}

// Dijkstra as plainly written: settles the reached node of least distance
// (the lowest position among equals) found by a scan, relaxes its edges in
// the order given, and takes a predecessor only on a strictly smaller
// distance.
std::vector<std::uint64_t> plain_shortest_path(const Graph& graph, std::uint64_t start, std::uint64_t end) {
    const std::size_t n = graph.centroids.size();
    std::vector<double> distance(n, infinity);
    std::vector<std::uint64_t> predecessor(n, n);
    std::vector<bool> settled(n, false);
    distance[start] = 0.0;
    for (;;) {
        std::size_t u = n;
        for (std::size_t v = 0; v < n; ++v) {
            if (!settled[v] && distance[v] < infinity && (u == n || distance[v] < distance[u])) u = v;
        }
        if (u == n) break;
        settled[u] = true;
        for (auto [a, b] : graph.edges) {
            if (a >= n || b >= n) continue;
            const double weight = centroid_distance(graph.centroids[a], graph.centroids[b]);
            for (auto [from, to] : {std::pair(a, b), std::pair(b, a)}) {
                if (from != u || !(weight + distance[u] < distance[to])) continue;
                distance[to] = weight + distance[u];
                predecessor[to] = u;
            }
        }
    }
    if (distance[end] == infinity) return {};
    std::vector<std::uint64_t> path{end};
    while (path.front() != start) path.insert(path.begin(), predecessor[path.front()]);
    return path;
}

template <class Index>
std::vector<std::uint64_t> search(PathSearch<Index>& search, const Graph& graph, std::uint64_t start,
                                  std::uint64_t end) {
    const std::span<Vector3D> centroids = search.begin(graph.centroids.size(), graph.edges.size());
    std::copy(graph.centroids.begin(), graph.centroids.end(), centroids.begin());
    for (auto [a, b] : graph.edges) search.add_edge(a, b);
    return search.run(start, end);
}

TYPED_TEST(PathSearchParts, SearchFindsThePlainDijkstraPath) {
    using Index = TypeParam;
    std::mt19937_64 random(42);
    PathSearch<Index> path_search;
    std::size_t found = 0, runs = 0;
    for (int round = 0; round < 80; ++round) {
        const Graph graph = random_graph(random, next_size(random, round));
        const std::size_t n = graph.centroids.size();
        for (int pair = 0; pair < 4; ++pair) {
            const std::uint64_t start = random() % n;
            const std::uint64_t end = pair == 0 ? start : random() % n;
            const std::vector<std::uint64_t> expected = plain_shortest_path(graph, start, end);
            ASSERT_EQ(search(path_search, graph, start, end), expected)
                << "round " << round << ", " << start << " to " << end;
            found += expected.size() > 1;
            ++runs;
        }
    }
    // Most routes exist and have a length, some do not.
    EXPECT_GT(found, runs / 2);
    EXPECT_LT(found, runs);
    path_search.begin(1, 0);
    EXPECT_THROW(path_search.run(0, 1), InternalFault);
}

}  // namespace
