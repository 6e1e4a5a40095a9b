#include "geometry/mesh.hpp"

#include <string>


namespace velmarin {

Result<void> validate(const Mesh& mesh) {
    const std::uint64_t vertex_count = mesh.vertices.size();
    for (std::size_t i = 0; i < mesh.faces.size(); ++i) {
        const Face& face = mesh.faces[i];
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

Result<Mesh> build_mesh(std::vector<Vector3D> vertices, std::vector<Face> faces) {
    Mesh mesh{std::move(vertices), std::move(faces)};
    if (auto status = validate(mesh); !status.ok()) return status.error();
    return mesh;
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
