// Which cells touch, and how: coplanar faces of two meshes, intersected in
// their common plane, less the coplanar aperture faces, kept when the rest
// has an area above the tolerance.
#pragma once

#include <cstdint>
#include <vector>

#include "core/fault.hpp"
#include "geometry/mesh.hpp"
#include "planar/bounds.hpp"
#include "planar/overlay.hpp"
#include "registry/face_index.hpp"
#include "registry/face_plane.hpp"
#include "registry/search.hpp"

namespace velmarin {

struct CellContact {
    ContactType contact_type = ContactType::VerticalWall;
    std::uint64_t node_a = 0;  // the mesh whose face was queried
    std::uint64_t node_b = 0;  // always above node_a
    double shared_area = 0.0;
    Vector3D contact_centroid;
};

// The queried face of a contact, as the aperture step needs it.
struct ContactFace {
    const Mesh& mesh;
    Face face;
    const FacePlane& plane;
    const PlaneFrame& frame;
    const Bounds& box;  // the face's own grown box
    // How far in front of the face (along its normal) the other cell's face
    // lies: zero for faces that touch, the wall's thickness across a wall.
    double depth = 0.0;
};

// Cuts the aperture faces that lie between the contact face's plane and the
// plane `depth` in front of it (`plane_between`) out of a contact region, in
// the order of the registry's apertures and their faces.
class ApertureCut {
public:
    virtual ~ApertureCut() = default;
    virtual void cut(MultiPolygon2D& region, const ContactFace& face) const = 0;
};

// The shared, read-only inputs of every `find_cell_contacts` call.
struct ContactScene {
    const std::vector<Mesh>& meshes;
    const std::vector<std::vector<FacePlane>>& planes;  // by mesh, then by face
    const FaceIndex& faces;
    const ApertureCut& apertures;
    double tolerance;
    Search search;
};

// The contacts of mesh i with meshes at higher positions: by face of mesh i
// in face order, then in the order the face index yields the candidates.
std::vector<CellContact> find_cell_contacts(const ContactScene& scene, std::size_t i);

// Calls `visit(face position, plane, box)` for every face of mesh i that has
// a plane, in face order, with the face's box grown by `growth`: the box the
// face index is queried with.
template <class Visit>
void for_each_queried_face(const ContactScene& scene, std::size_t i, double growth, const Visit& visit) {
    const Mesh& mesh = checked(scene.meshes, i);
    const std::vector<FacePlane>& planes = checked(scene.planes, i);
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        const FacePlane& plane = checked(planes, f);
        if (plane.valid) visit(f, plane, face_box(mesh, f, growth));
    }
}

}  // namespace velmarin
