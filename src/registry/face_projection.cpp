#include "registry/face_projection.hpp"

#include "core/fault.hpp"

namespace velmarin {

Polygon2D project(const Mesh& mesh, Face face, const PlaneFrame& frame) {
    return project_face(mesh.vertices, face, frame.origin, frame.u, frame.v);
}

Rectangle2D projected_extent(const Mesh& mesh, Face face, const PlaneFrame& frame) {
    Rectangle2D r;
    for (std::uint64_t index : face)
        r.add(project_point(checked(mesh.vertices, index), frame.origin, frame.u, frame.v));
    return r;
}

Vector3D in_space(const PlaneFrame& frame, const Point2D& p) {
    return {frame.origin.x + p.x * frame.u.x + p.y * frame.v.x, frame.origin.y + p.x * frame.u.y + p.y * frame.v.y,
            frame.origin.z + p.x * frame.u.z + p.y * frame.v.z};
}

}  // namespace velmarin
