// The edges of a graph as lists of weighted neighbours, one list per node,
// laid end to end in two flat arrays. Positions are `Index` values (32 bits
// for any graph that fits them, which halves the memory a search walks);
// the storage is kept from one graph to the next, so a caller that routes
// repeatedly reuses warm pages instead of faulting fresh ones in.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "core/fault.hpp"
#include "geometry/vector.hpp"

namespace velmarin {

// √(dx² + dy² + dz²), the squares added in the order x, y, z.
inline double centroid_distance(const Vector3D& p, const Vector3D& q) {
    const double dx = p.x - q.x;
    const double dy = p.y - q.y;
    const double dz = p.z - q.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

template <class Index>
class Adjacency {
public:
    // Whether every position of `node_count` nodes, one past them (the
    // "none" marker of a search) and the 2 * `edge_count` list entries fit
    // in Index.
    static constexpr bool fits(std::size_t node_count, std::size_t edge_count) noexcept {
        constexpr std::size_t largest = std::numeric_limits<Index>::max();
        return node_count < largest && edge_count <= largest / 2;
    }

    // Starts a graph of `node_count` nodes and at most `edge_count` edges;
    // `fits` must hold for them.
    void reset(std::size_t node_count, std::size_t edge_count);

    // Counts one edge. An edge naming a node beyond the list (only a graph
    // built by hand has one) leads nowhere and is left out.
    void add_edge(std::uint64_t a, std::uint64_t b) {
        if (a >= node_count_ || b >= node_count_) return;
        check(kept_ < ends_.size(), "more edges than the adjacency was reset for");
        ends_[kept_++] = static_cast<Index>(a);
        ends_[kept_++] = static_cast<Index>(b);
        ++first_[a + 2];
        ++first_[b + 2];
    }

    // Enters every counted edge once in the list of each end, in the order
    // they were added, with the distance between the ends' centroids as its
    // weight; `centroids` holds one per node.
    void finish(std::span<const Vector3D> centroids);

    std::size_t node_count() const noexcept { return node_count_; }
    // The list of node u is [begin(u), end(u)) of targets() and weights().
    Index begin(Index u) const noexcept { return first_[u]; }
    Index end(Index u) const noexcept { return first_[u + 1]; }
    // Asks for the cache line that begin(u) and end(u) read, ahead of them.
    void prefetch(Index u) const noexcept { __builtin_prefetch(first_.data() + u); }
    const Index* targets() const noexcept { return targets_.data(); }
    const double* weights() const noexcept { return weights_.data(); }

private:
    std::size_t node_count_ = 0;
    // While edges are added, first_[u + 2] counts the entries of node u;
    // finish() turns the counts into the start of each list, first_[u].
    std::vector<Index> first_;
    std::vector<Index> ends_;  // a and b of every kept edge, in order, in [0, kept_)
    std::size_t kept_ = 0;
    std::vector<Index> targets_;
    std::vector<double> weights_;
};

extern template class Adjacency<std::uint32_t>;
extern template class Adjacency<std::uint64_t>;

}  // namespace velmarin
