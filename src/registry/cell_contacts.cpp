#include "registry/cell_contacts.hpp"

#include <cmath>
#include <optional>

#include "core/fault.hpp"
#include "planar/rectangle.hpp"

namespace velmarin {

namespace {

// Where `project_face` would put the face, without building its polygon.
Rectangle2D projected_extent(const Mesh& mesh, const Face& face, const PlaneFrame& frame) {
    Rectangle2D r;
    for (std::uint64_t index : face) r.add(project_point(checked(mesh.vertices, index), frame.origin, frame.u, frame.v));
    return r;
}

Vector3D in_space(const PlaneFrame& frame, const Point2D& p) {
    return {frame.origin.x + p.x * frame.u.x + p.y * frame.v.x, frame.origin.y + p.x * frame.u.y + p.y * frame.v.y,
            frame.origin.z + p.x * frame.u.z + p.y * frame.v.z};
}

Polygon2D project(const Mesh& mesh, const Face& face, const PlaneFrame& frame) {
    return project_face(mesh.vertices, face, frame.origin, frame.u, frame.v);
}

// One face A of mesh i, with everything its candidates are compared in.
struct QueriedFace {
    const ContactScene& scene;
    std::size_t mesh_index;
    const Mesh& mesh;
    const Face& face;
    const FacePlane& plane;
    Bounds box;
    PlaneFrame frame;
    std::optional<Polygon2D> polygon;  // made when a candidate first passes the plane tests
    Rectangle2D extent;

    const Polygon2D& own_polygon() {
        if (!polygon) {
            polygon = project(mesh, face, frame);
            extent = rectangle_of(*polygon);
        }
        return *polygon;
    }

    // The contact with face `hit`, if their planes coincide and what they
    // share, less the apertures, has an area above the tolerance.
    std::optional<CellContact> contact_with(const FaceRef& hit) {
        const Mesh& other = checked(scene.meshes, hit.mesh);
        const FacePlane& other_plane = checked(checked(scene.planes, hit.mesh), hit.face);
        if (!other_plane.valid || !planes_coincide(plane, other_plane, scene.tolerance)) return std::nullopt;
        const Polygon2D& own = own_polygon();
        const Face& other_face = checked(other.faces, hit.face);
        // Faces whose extents at most touch share no area, even after the
        // overlay has rounded both onto one integer grid: the rounding is
        // monotone, so the line between them stays between them.
        if (scene.search == Search::Indexed && extent.apart_from(projected_extent(other, other_face, frame))) {
            return std::nullopt;
        }
        MultiPolygon2D region = polygon_boolean(own, project(other, other_face, frame), BooleanOp::Intersection);
        scene.apertures.cut(region, {mesh, face, plane, frame, box});
        const double area = unsigned_area(region);
        if (!(area > scene.tolerance)) return std::nullopt;
        return CellContact{contact_type_of(plane.normal), mesh_index, hit.mesh, area,
                           in_space(frame, area_centroid(region))};
    }
};

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
        QueriedFace queried{scene, i, mesh, face, plane, box,
                            plane_frame(plane.normal, checked(mesh.vertices, checked(face, 0))), {}, {}};
        for (const FaceRef& hit : candidates) {
            if (auto contact = queried.contact_with(hit)) contacts.push_back(*contact);
        }
    }
    return contacts;
}

}  // namespace velmarin
