#include "registry/cell_contacts.hpp"

#include <cmath>
#include <optional>

#include "core/fault.hpp"
#include "planar/rectangle.hpp"
#include "registry/face_projection.hpp"

namespace velmarin {

namespace {

// One face A of mesh i, with everything its candidates are compared in.
struct QueriedFace {
    const ContactScene& scene;
    std::size_t mesh_index;
    const Mesh& mesh;
    Face face;
    const FacePlane& plane;
    Bounds box;
    PlaneFrame frame;
    NearApertures& near;  // the mesh's
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
        Face other_face = checked(other.faces, hit.face);
        // Faces whose extents at most touch share no area, even after the
        // overlay has rounded both onto one integer grid: the rounding is
        // monotone, so the line between them stays between them.
        if (scene.search == Search::Indexed && extent.apart_from(projected_extent(other, other_face, frame))) {
            return std::nullopt;
        }
        MultiPolygon2D region = polygon_boolean(own, project(other, other_face, frame), BooleanOp::Intersection);
        if (auto cut = scene.apertures.cut(region, {mesh, face, plane, frame, box, 0.0, &near}, nullptr)) {
            region = std::move(*cut);
        }
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
    NearApertures near;
    // A mesh never meets itself, and a pair is examined from its lower position only.
    auto above = [i](const FaceRef& hit, const Bounds& grown, std::uint64_t) {
        return hit.mesh > i ? std::optional<FaceHit>({hit, grown}) : std::nullopt;
    };
    for_each_queried_face(scene, i, scene.tolerance, above,
                          [&](std::size_t f, const FacePlane& plane, const Bounds& box, const FaceHits<FaceHit>& hits) {
                              std::optional<QueriedFace> queried;  // made at the first hit
                              hits.for_each([&](const FaceHit& hit) {
                                  if (!queried) {
                                      Face face = mesh.faces[f];
                                      queried.emplace(
                                          scene, i, mesh, face, plane, box,
                                          plane_frame(plane.normal, checked(mesh.vertices, checked(face, 0))), near);
                                  }
                                  if (auto contact = queried->contact_with(hit.ref)) contacts.push_back(*contact);
                              });
                          });
    return contacts;
}

}  // namespace velmarin
