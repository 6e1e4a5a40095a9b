// Face planes and the tests that decide whether two faces lie in one plane.
#pragma once

#include <cstddef>
#include <vector>

#include "geometry/face_normal.hpp"
#include "geometry/mesh.hpp"
#include "geometry/vector.hpp"

namespace velmarin {

struct FacePlane {
    bool valid = false;  // false: fewer than three indices, or a normal too short to trust
    Vector3D normal;     // unit Newell normal, oriented by the vertex order
    double offset = 0.0; // the plane is normal . p + offset = 0 through the first vertex
};

FacePlane face_plane(const Mesh& mesh, std::size_t face);

// The face planes of every mesh, by mesh and then by face.
std::vector<std::vector<FacePlane>> face_planes(const std::vector<Mesh>& meshes);

// The mean of a face's vertices, summed in face order (NaN components for a
// face without indices).
Vector3D face_centre(const Mesh& mesh, Face face);

// Two valid planes are one when their unit normals are parallel within the
// tolerance and their offsets, signed to match the normals' directions,
// differ by less than it. Both comparisons are strict, so a tolerance of
// zero or less, or NaN, joins nothing.
bool planes_coincide(const FacePlane& a, const FacePlane& b, double tolerance);

// The same angle test, and b's plane (its offset signed to match the
// normals' directions) between a's plane and the parallel plane `depth`
// in front of it along a's normal, within the tolerance beyond either. A
// depth of zero is `planes_coincide`.
bool plane_between(const FacePlane& a, const FacePlane& b, double tolerance, double depth);

// The 2D frame in which a face and its neighbours are compared: `u` is
// perpendicular to the normal, `v` = normal x u.
struct PlaneFrame {
    Vector3D origin;
    Vector3D u;
    Vector3D v;
};

PlaneFrame plane_frame(const Vector3D& normal, const Vector3D& origin);

enum class ContactType { VerticalWall, HorizontalSlab };

// Decided by the queried face's normal alone. The threshold is 0.707, not
// 1/sqrt(2): a face at exactly 45 degrees counts as a slab.
ContactType contact_type_of(const Vector3D& normal);

const char* contact_type_name(ContactType type);

}  // namespace velmarin
