#include "ifc/loop_mesh.hpp"

#include "ifc/list_growth.hpp"

namespace velmarin::ifc {

void LoopMesh::expect_growth(double factor) {
    index_.expect_growth(factor);
    make_room(points_, factor);
    make_room(vertices_, factor);
    make_room(corners_, factor);
    make_room(face_offsets_, factor);
}

void LoopMesh::point(std::uint64_t entity, const Vector3D& position) {
    const auto [slot, is_new] = index_.insert(entity);
    if (is_new) {
        points_.push_back({position});
        defined_.push_back(true);
        return;
    }
    Point& point = checked(points_, slot);
    if (!defined_[slot]) {  // named by a loop above, which made its vertex
        defined_[slot] = true;
        --undefined_;
        checked(vertices_, point.vertex) = position;
    }
    point.position = position;
}

void LoopMesh::loop(std::span<const std::uint64_t> references) {
    const std::size_t start = corners_.size();
    for (const std::uint64_t reference : references) {
        const auto [slot, is_new] = index_.insert(reference);
        if (is_new) {
            points_.emplace_back();
            defined_.push_back(false);
            ++undefined_;
        }
        Point& point = checked(points_, slot);
        if (point.vertex == no_vertex) {
            point.vertex = vertices_.size();
            vertices_.push_back(point.position);
        }
        corners_.push_back(point.vertex);
    }
    if (corners_.size() - start >= 3) {
        face_offsets_.push_back(corners_.size());
    } else {
        corners_.resize(start);
    }
}

// Takes out the vertices of the points that no line defined, renumbering
// the others in order, and their corners; a face left with fewer than three
// corners goes too.
void LoopMesh::drop_undefined() {
    std::vector<std::uint64_t> renumbered(vertices_.size(), 0);
    for (std::size_t slot = 0; slot < points_.size(); ++slot) {
        if (!defined_[slot]) checked(renumbered, points_[slot].vertex) = no_vertex;
    }
    std::size_t kept = 0;
    for (std::size_t v = 0; v < vertices_.size(); ++v) {
        if (renumbered[v] == no_vertex) continue;
        renumbered[v] = kept;
        vertices_[kept++] = vertices_[v];
    }
    vertices_.resize(kept);
    // Both runs are rewritten in place, each write behind the reads.
    std::size_t written = 0;
    std::size_t faces = 0;
    std::size_t start = 0;
    for (std::size_t f = 1; f < face_offsets_.size(); ++f) {
        const std::size_t face_start = written;
        const std::size_t end = face_offsets_[f];
        for (std::size_t c = start; c < end; ++c) {
            const std::uint64_t vertex = checked(renumbered, checked(corners_, c));
            if (vertex != no_vertex) corners_[written++] = vertex;
        }
        start = end;
        if (written - face_start >= 3) {
            face_offsets_[++faces] = written;
        } else {
            written = face_start;
        }
    }
    corners_.resize(written);
    face_offsets_.resize(faces + 1);
}

Result<Mesh> LoopMesh::finish() && {
    if (undefined_ != 0) drop_undefined();
    return build_mesh(std::move(vertices_), FaceList(std::move(corners_), std::move(face_offsets_)));
}

}  // namespace velmarin::ifc
