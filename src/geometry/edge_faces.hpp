// The faces along each edge of a mesh, the edge taken either way round.
//
// Winding a solid's faces alike and merging its coplanar faces both step
// from a face to the faces across its edges: an edge that exactly two faces
// run along joins them; one that a single face runs along is a border, one
// that three or more do is not a surface's edge.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "geometry/mesh.hpp"

namespace velmarin {

class EdgeFaces {
public:
    // Only the faces' indices are read: they need not name vertices.
    explicit EdgeFaces(const FaceList& faces);

    // The edges, each once, in no particular order.
    std::size_t edge_count() const { return starts_.size() - 1; }

    // The faces along edge `e`, ascending; a face that runs along it twice
    // appears twice.
    std::span<const std::size_t> faces_of_edge(std::size_t e) const {
        return {faces_.data() + starts_[e], starts_[e + 1] - starts_[e]};
    }

    // The edge from corner i of face f to the next corner (the last corner
    // to the first).
    std::size_t edge_of(const FaceList& faces, std::size_t f, std::size_t i) const {
        return edge_of_corner_[faces.offsets()[f] + i];
    }

private:
    std::vector<std::size_t> faces_;          // every edge's faces, edge after edge
    std::vector<std::size_t> starts_;         // where each edge's faces start in faces_, then the end
    std::vector<std::size_t> edge_of_corner_; // by position in faces.indices()
};

}  // namespace velmarin
