#include "geometry/mesh.hpp"

#include "core/fault.hpp"

#include <algorithm>
#include <span>
#include <string>
#include <utility>

namespace velmarin {

FaceList::FaceList(std::vector<std::uint64_t, HugePageAllocator<std::uint64_t>> indices,
                   std::vector<std::size_t, HugePageAllocator<std::size_t>> offsets)
    : indices_(std::move(indices)), offsets_(std::move(offsets)) {
    check(!offsets_.empty() && offsets_.front() == 0 && offsets_.back() == indices_.size() &&
              std::is_sorted(offsets_.begin(), offsets_.end()),
          "face offsets run from 0 to the index count without decreasing");
}

namespace {

// The faces in order, each judged whole: the first broken rule decides the
// error.
Result<void> first_failing_face(const Mesh& mesh) {
    const std::uint64_t vertex_count = mesh.vertices.size();
    for (std::size_t i = 0; i < mesh.faces.size(); ++i) {
        const Face face = mesh.faces[i];
        if (face.size() < 3) {
            return value_error("Face " + std::to_string(i) + " has < 3 vertices.");
        }
        for (std::uint64_t k : face) {
            if (k >= vertex_count) {
                return index_error("Face " + std::to_string(i) + " references out-of-bounds index " +
                                   std::to_string(k) + ".");
            }
        }
    }
    return {};
}

}  // namespace

// Valid meshes are the rule: two straight passes over the runs settle that,
// and only a failure looks for the face to name.
Result<void> validate(const Mesh& mesh) {
    const std::span<const std::size_t> offsets = mesh.faces.offsets();
    const std::span<const std::uint64_t> indices = mesh.faces.indices();
    bool valid = true;
    for (std::size_t i = 1; i < offsets.size(); ++i) valid &= offsets[i] - offsets[i - 1] >= 3;
    const std::uint64_t vertex_count = mesh.vertices.size();
    for (std::uint64_t k : indices) valid &= k < vertex_count;
    if (valid) return {};
    return first_failing_face(mesh);
}

Result<Mesh> build_mesh(std::vector<Vector3D> vertices, FaceList faces) {
    Mesh mesh{std::move(vertices), std::move(faces)};
    if (auto status = validate(mesh); !status.ok()) return status.error();
    return mesh;
}

Result<Mesh> select_faces(const Mesh& mesh, std::span<const std::uint64_t> positions) {
    FaceList faces;
    faces.reserve(positions.size(), 3 * positions.size());
    for (const std::uint64_t f : positions) {
        if (f >= mesh.faces.size()) {
            return index_error("Face position " + std::to_string(f) + " is out of range for " +
                               std::to_string(mesh.faces.size()) + " faces.");
        }
        faces.push_back(mesh.faces[f]);
    }
    return build_mesh(mesh.vertices, std::move(faces));
}

Vector3D vertex_mean(const Mesh& mesh) {
    // -0.0 is the identity of addition (+0.0 is not: it would turn the mean
    // of a lone -0.0 into +0.0).
    Vector3D sum{-0.0, -0.0, -0.0};
    for (const Vector3D& v : mesh.vertices) {
        sum.x += v.x;
        sum.y += v.y;
        sum.z += v.z;
    }
    const double count = static_cast<double>(mesh.vertices.size());
    return {sum.x / count, sum.y / count, sum.z / count};
}

}  // namespace velmarin
