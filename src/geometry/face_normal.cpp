#include "geometry/face_normal.hpp"

#include <cmath>
#include <limits>

#include "core/fault.hpp"
#include "geometry/vector_ops.hpp"

namespace velmarin {

Vector3D newell_normal(const Mesh& mesh, Face face) {
    Vector3D n;
    const std::size_t count = face.size();
    for (std::size_t k = 0; k < count; ++k) {
        const Vector3D& a = checked(mesh.vertices, face[k]);
        const Vector3D& b = checked(mesh.vertices, face[k + 1 == count ? 0 : k + 1]);
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    return n;
}

std::optional<Vector3D> unit_length(const Vector3D& normal) {
    const double size = length(normal);
    if (size == 0.0 || !std::isfinite(size)) return std::nullopt;
    return divided(normal, size);
}

std::vector<Vector3D> face_normals(const Mesh& mesh) {
    constexpr double none = std::numeric_limits<double>::quiet_NaN();
    std::vector<Vector3D> normals;
    normals.reserve(mesh.faces.size());
    for (const Face face : mesh.faces) normals.push_back(unit_normal(mesh, face).value_or(Vector3D{none, none, none}));
    return normals;
}

}  // namespace velmarin
