#include "registry/literal_apertures.hpp"

namespace velmarin {

void LiteralApertures::cut(MultiPolygon2D& region, const ContactFace& face) const {
    for (const Mesh& aperture : apertures_) {
        for (std::size_t g = 0; g < aperture.faces.size(); ++g) {
            const FacePlane plane = face_plane(aperture, g);
            if (!plane.valid || !plane_between(face.plane, plane, tolerance_, face.depth)) continue;
            // Subtracted whether or not it overlaps: elsewhere in the plane it leaves the region as it was.
            const Polygon2D hole =
                project_face(aperture.vertices, aperture.faces[g], face.frame.origin, face.frame.u, face.frame.v);
            region = polygon_boolean(region, hole, BooleanOp::Difference);
        }
    }
}

}  // namespace velmarin
