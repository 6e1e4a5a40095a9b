#include "ifc/aperture_faces.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "geometry/face_normal.hpp"
#include "registry/face_plane.hpp"

namespace velmarin::ifc {

namespace {

// Whether the solid lies flat: lower than the smaller side of its plan.
bool lies_flat(const Mesh& solid) {
    if (solid.vertices.empty()) return false;
    Vector3D low = solid.vertices.front(), high = low;
    for (const Vector3D& p : solid.vertices) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    return high.z - low.z < std::min(high.x - low.x, high.y - low.y);
}

}  // namespace

Mesh kept_faces(const Mesh& solid, FacesKept kept) {
    if (kept == FacesKept::All) return solid;
    const bool flat = kept == FacesKept::Opening && lies_flat(solid);
    Mesh out{solid.vertices, {}};
    for (const Face face : solid.faces) {
        const std::optional<Vector3D> normal = unit_normal(solid, face);
        if (!normal) continue;
        const bool level = contact_type_of(*normal) == ContactType::HorizontalSlab;
        const bool keep = kept == FacesKept::Treads ? level && normal->z > 0 : level == flat;
        if (keep) out.faces.push_back(face);
    }
    return out;
}

}  // namespace velmarin::ifc
