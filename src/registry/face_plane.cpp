#include "registry/face_plane.hpp"

#include <cmath>

#include "core/fault.hpp"
#include "geometry/vector_ops.hpp"

namespace velmarin {

FacePlane face_plane(const Mesh& mesh, std::size_t face) {
    Face indices = checked(mesh.faces, face);
    if (indices.size() < 3) return {};
    const Vector3D n = newell_normal(mesh, indices);
    const double l = length(n);
    if (l < 1e-8) return {};
    const Vector3D unit = divided(n, l);
    return {true, unit, -dot(unit, checked(mesh.vertices, indices[0]))};
}

namespace {

// What `measure(mesh, face position)` gives for every face, by mesh and then by face.
template <class Measure>
auto per_face(const std::vector<Mesh>& meshes, const Measure& measure) {
    std::vector<std::vector<decltype(measure(meshes.front(), std::size_t{0}))>> table(meshes.size());
    for (std::size_t m = 0; m < meshes.size(); ++m) {
        table[m].reserve(meshes[m].faces.size());
        for (std::size_t f = 0; f < meshes[m].faces.size(); ++f) table[m].push_back(measure(meshes[m], f));
    }
    return table;
}

}  // namespace

std::vector<std::vector<FacePlane>> face_planes(const std::vector<Mesh>& meshes) {
    return per_face(meshes, [](const Mesh& mesh, std::size_t f) { return face_plane(mesh, f); });
}

Vector3D face_centre(const Mesh& mesh, Face face) {
    Vector3D sum{-0.0, -0.0, -0.0};  // -0.0 is the identity of addition, +0.0 is not
    for (std::uint64_t index : face) {
        const Vector3D& v = checked(mesh.vertices, index);
        sum.x += v.x;
        sum.y += v.y;
        sum.z += v.z;
    }
    return divided(sum, static_cast<double>(face.size()));
}

bool planes_coincide(const FacePlane& a, const FacePlane& b, double tolerance) {
    return plane_between(a, b, tolerance, 0.0);
}

bool plane_between(const FacePlane& a, const FacePlane& b, double tolerance, double depth) {
    const double c = dot(a.normal, b.normal);
    if (!(std::fabs(c) > 1.0 - tolerance)) return false;
    // How far b's plane lies in front of a's.
    const double gap = c > 0.0 ? a.offset - b.offset : a.offset + b.offset;
    const double near = depth < 0.0 ? depth : 0.0;
    const double far = depth > 0.0 ? depth : 0.0;
    return near - tolerance < gap && gap < far + tolerance;
}

PlaneFrame plane_frame(const Vector3D& normal, const Vector3D& origin) {
    const Vector3D helper = std::fabs(normal.x) < 0.9 ? Vector3D{1.0, 0.0, 0.0} : Vector3D{0.0, 1.0, 0.0};
    const Vector3D w = cross(normal, helper);
    const Vector3D u = divided(w, length(w));
    return {origin, u, cross(normal, u)};
}

ContactType contact_type_of(const Vector3D& normal) {
    return std::fabs(normal.z) > 0.707 ? ContactType::HorizontalSlab : ContactType::VerticalWall;
}

const char* contact_type_name(ContactType type) {
    return type == ContactType::HorizontalSlab ? "HorizontalSlabContact" : "VerticalWallContact";
}

}  // namespace velmarin
