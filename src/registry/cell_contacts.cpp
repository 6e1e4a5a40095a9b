#include "registry/cell_contacts.hpp"

#include <cmath>
#include <optional>

#include "core/fault.hpp"
#include "registry/rectangle.hpp"

namespace velmarin {

namespace {

// Two projected faces whose boxes at most touch have no common area, even
// after the overlay has rounded both onto one integer grid: the rounding is
// monotone, so the line between them stays between them.
bool cannot_overlap(const Polygon2D& a, const Polygon2D& b) {
    const Rectangle2D ea = rectangle_of(a), eb = rectangle_of(b);
    if (!ea.finite || !eb.finite) return false;
    return ea.max_x <= eb.min_x || eb.max_x <= ea.min_x || ea.max_y <= eb.min_y || eb.max_y <= ea.min_y;
}

Vector3D in_space(const PlaneFrame& frame, const Point2D& p) {
    return {frame.origin.x + p.x * frame.u.x + p.y * frame.v.x, frame.origin.y + p.x * frame.u.y + p.y * frame.v.y,
            frame.origin.z + p.x * frame.u.z + p.y * frame.v.z};
}

Polygon2D project(const Mesh& mesh, const Face& face, const PlaneFrame& frame) {
    return project_face(mesh.vertices, face, frame.origin, frame.u, frame.v);
}

}  // namespace

std::vector<CellContact> find_cell_contacts(const ContactScene& scene, std::size_t i) {
    std::vector<CellContact> contacts;
    const Mesh& mesh = checked(scene.meshes, i);
    const std::vector<FacePlane>& planes = checked(scene.planes, i);
    std::vector<FaceRef> candidates;
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        const FacePlane& plane = checked(planes, f);
        if (!plane.valid) continue;
        const Bounds box = face_box(mesh, f, scene.tolerance);
        candidates.clear();
        // A mesh never meets itself, and a pair is examined from its lower position only.
        scene.faces.query_intersecting(box, [&](const FaceRef& hit) {
            if (hit.mesh > i) candidates.push_back(hit);
        });
        if (candidates.empty()) continue;

        const Face& face = mesh.faces[f];
        const PlaneFrame frame = plane_frame(plane.normal, checked(mesh.vertices, checked(face, 0)));
        std::optional<Polygon2D> own;
        for (const FaceRef& hit : candidates) {
            const Mesh& other = checked(scene.meshes, hit.mesh);
            const FacePlane& other_plane = checked(checked(scene.planes, hit.mesh), hit.face);
            if (!other_plane.valid || !planes_coincide(plane, other_plane, scene.tolerance)) continue;
            if (!own) own = project(mesh, face, frame);
            const Polygon2D theirs = project(other, checked(other.faces, hit.face), frame);
            if (scene.search == Search::Indexed && cannot_overlap(*own, theirs)) continue;

            MultiPolygon2D region = polygon_boolean(*own, theirs, BooleanOp::Intersection);
            scene.apertures.cut(region, {mesh, face, plane, frame, box});
            const double area = unsigned_area(region);
            if (!(area > scene.tolerance)) continue;
            contacts.push_back({contact_type_of(plane.normal), i, hit.mesh, area,
                                in_space(frame, area_centroid(region))});
        }
    }
    return contacts;
}

}  // namespace velmarin
