// Which cells face each other across a wall or slab, and how.
//
// A face B of another mesh faces the queried face A when their normals are
// opposite within the tolerance and B's vertex mean lies in front of A (along
// A's normal) by more than minus the tolerance and at most the wall
// thickness, or the slab thickness when A's normal makes the contact a slab
// (`contact_type_of`). Seen from A, the faces that face it are taken nearest first,
// and each keeps only the part of A that nearer ones left uncovered: a room
// is never linked through a shaft or another room between. The openings
// between the two planes are cut from what B keeps; what remains, what the
// openings took and which apertures took it make the contact.
#pragma once

#include <cstdint>
#include <vector>

#include "registry/cell_contacts.hpp"

namespace velmarin {

// The contact's area is what the openings left of it; its centroid lies
// halfway between the two planes.
struct WallContact {
    CellContact contact;
    double thickness = 0.0;     // how far B's vertex mean lies in front of A
    double opening_area = 0.0;  // what the openings took
    // The positions of the apertures that took more than the overlay's
    // rounding, ascending; none when the openings took no more than it
    // together (opening_area 0).
    std::vector<std::uint64_t> apertures;
};

// A unit normal that is exactly one of the six directions along the axes,
// or none of them. The dot product of two such normals is exactly -1, 0 or
// 1, so the facing test's outcome on them is known from the pair alone.
// Opposite directions differ in the lowest bit.
enum class AxisDirection : std::uint8_t { PlusX, MinusX, PlusY, MinusY, PlusZ, MinusZ, None };

AxisDirection axis_direction(const Vector3D& normal);

// What the facing test reads of a face the face index gives, kept in one
// record per face in the index's position order: the hits of a query land
// near each other there, where the planes and centres by mesh did not.
struct alignas(64) FacingFacts {
    Vector3D normal;
    double offset = 0.0;
    Vector3D centre;  // the face's vertex mean
    bool valid = false;  // whether the face has a plane
    AxisDirection axis = AxisDirection::None;  // the normal's
};

// The facts of every face of every mesh, in the face index's positions (for
// each mesh in order, each face in order), from the meshes' face planes.
std::vector<FacingFacts> facing_facts(const std::vector<Mesh>& meshes,
                                      const std::vector<std::vector<FacePlane>>& planes);

// The shared, read-only inputs of every `find_wall_contacts` call. The face
// index holds boxes grown by `reach`, and queries use the same growth.
struct WallScene : ContactScene {
    const std::vector<FacingFacts>& facts;  // by the face index's positions
    double wall_thickness;
    double slab_thickness;  // in place of the wall thickness for a slab
    double reach;  // max(wall_thickness, slab_thickness, tolerance)
};

// The contacts of mesh i with meshes at higher positions: by face of mesh i
// in face order, then nearest first (by thickness, then mesh position, then
// face position). Faces of meshes below i hide what lies behind them but
// give no contact: their pairs are found from the lower mesh.
std::vector<WallContact> find_wall_contacts(const WallScene& scene, std::size_t i);

}  // namespace velmarin
