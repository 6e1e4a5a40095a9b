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
    // The mesh must be valid (validate()).
    explicit EdgeFaces(const Mesh& mesh);

    // The edges, each once, in no particular order.
    std::size_t edge_count() const { return starts_.size() - 1; }

    // A corner stands for the edge from it to the next corner of its face
    // (from the last corner to the first), and is numbered by its position
    // in the faces' index run. The corners along edge `e`, ascending, so
    // their faces ascend too.
    std::span<const std::size_t> corners_of_edge(std::size_t e) const {
        return {corners_.data() + starts_[e], starts_[e + 1] - starts_[e]};
    }

    std::size_t edge_of(std::size_t corner) const { return edge_of_corner_[corner]; }
    std::size_t face_of(std::size_t corner) const { return face_of_corner_[corner]; }

    // The corner after `corner` in its face, where its edge ends.
    std::size_t next_corner(const FaceList& faces, std::size_t corner) const {
        const std::size_t after = corner + 1;
        return after == faces.offsets()[face_of(corner) + 1] ? faces.offsets()[face_of(corner)] : after;
    }

private:
    std::vector<std::size_t> corners_;         // every edge's corners, edge after edge
    std::vector<std::size_t> starts_;          // where each edge's corners start, then the end
    std::vector<std::size_t> edge_of_corner_;  // by corner
    std::vector<std::size_t> face_of_corner_;  // by corner
};

}  // namespace velmarin
