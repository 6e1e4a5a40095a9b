#include "geometry/edge_faces.hpp"

#include <algorithm>
#include <cstdint>
#include <tuple>

namespace velmarin {

namespace {

// One face corner's edge, its ends in ascending order.
struct CornerEdge {
    std::uint64_t low, high;
    std::size_t corner;  // position in the face list's index run
    std::size_t face;

    auto key() const { return std::tie(low, high, corner); }
};

}  // namespace

EdgeFaces::EdgeFaces(const FaceList& faces) {
    const std::span<const std::uint64_t> indices = faces.indices();
    std::vector<CornerEdge> edges;
    edges.reserve(indices.size());
    for (std::size_t f = 0; f < faces.size(); ++f) {
        const Face face = faces[f];
        const std::size_t first = faces.offsets()[f];
        for (std::size_t i = 0; i < face.size(); ++i) {
            const std::uint64_t a = face[i], b = face[i + 1 == face.size() ? 0 : i + 1];
            edges.push_back({std::min(a, b), std::max(a, b), first + i, f});
        }
    }
    // By edge, then in corner order, which is face order.
    std::sort(edges.begin(), edges.end(), [](const CornerEdge& p, const CornerEdge& q) { return p.key() < q.key(); });
    faces_.reserve(edges.size());
    starts_.reserve(edges.size() + 1);
    edge_of_corner_.resize(edges.size());
    for (std::size_t k = 0; k < edges.size(); ++k) {
        if (k == 0 || edges[k].low != edges[k - 1].low || edges[k].high != edges[k - 1].high) {
            starts_.push_back(k);
        }
        faces_.push_back(edges[k].face);
        edge_of_corner_[edges[k].corner] = starts_.size() - 1;
    }
    starts_.push_back(edges.size());
}

}  // namespace velmarin
