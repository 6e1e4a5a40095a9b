#include "registry/literal_apertures.hpp"

namespace velmarin {

std::optional<MultiPolygon2D> LiteralApertures::cut(const MultiPolygon2D& region, const ContactFace& face,
                                                    std::vector<ApertureTake>* takes) const {
    std::optional<MultiPolygon2D> left;
    TakeTally tally(takes);
    for (std::size_t a = 0; a < apertures_.size(); ++a) {
        const Mesh& aperture = apertures_[a];
        for (std::size_t g = 0; g < aperture.faces.size(); ++g) {
            const FacePlane plane = face_plane(aperture, g);
            if (!plane.valid || !plane_between(face.plane, plane, tolerance_, face.depth)) continue;
            // Subtracted whether or not it overlaps: elsewhere in the plane it leaves the region as it was.
            const Polygon2D hole =
                project_face(aperture.vertices, aperture.faces[g], face.frame.origin, face.frame.u, face.frame.v);
            tally.start(a, left ? *left : region);
            left = polygon_boolean(left ? *left : region, hole, BooleanOp::Difference);
        }
    }
    if (left) tally.finish(*left);
    return left;
}

}  // namespace velmarin
