#include "graph/adjacency.hpp"

#include <numeric>

namespace velmarin {

template <class Index>
void Adjacency<Index>::reset(std::size_t node_count, std::size_t edge_count) {
    check(fits(node_count, edge_count), "graph too large for the adjacency's positions");
    node_count_ = node_count;
    first_.assign(node_count + 2, 0);
    // Only ever grown: the entries past kept_ are left as they are.
    if (ends_.size() < 2 * edge_count) ends_.resize(2 * edge_count);
    kept_ = 0;
}

template <class Index>
void Adjacency<Index>::finish(std::span<const Vector3D> centroids) {
    check(centroids.size() == node_count_, "one centroid per node");
    std::partial_sum(first_.begin() + 1, first_.end(), first_.begin() + 1);
    targets_.resize(kept_);
    weights_.resize(kept_);
    // first_[u + 1] now starts the list of u; filling it moves it on to the
    // list's end, which is where the list of u + 1 starts.
    for (std::size_t k = 0; k < kept_; k += 2) {
        const Index a = ends_[k];
        const Index b = ends_[k + 1];
        const double weight = centroid_distance(centroids[a], centroids[b]);
        const Index at_a = first_[a + 1]++;
        targets_[at_a] = b;
        weights_[at_a] = weight;
        const Index at_b = first_[b + 1]++;
        targets_[at_b] = a;
        weights_[at_b] = weight;
    }
}

template class Adjacency<std::uint32_t>;
template class Adjacency<std::uint64_t>;

}  // namespace velmarin
