// The normal of a polygon face.
#pragma once

#include <optional>
#include <vector>

#include "geometry/mesh.hpp"
#include "geometry/vector.hpp"

namespace velmarin {

// Newell's normal, summed over the closed loop of the face's vertices: twice
// the face's vector area, towards the side from which its corners run
// counter-clockwise.
Vector3D newell_normal(const Mesh& mesh, Face face);

// A normal at unit length; none when its length is zero or not finite (a
// face without area, or with coordinates too large or not finite).
std::optional<Vector3D> unit_length(const Vector3D& normal);

// The face's Newell normal at unit length, or none.
inline std::optional<Vector3D> unit_normal(const Mesh& mesh, Face face) {
    return unit_length(newell_normal(mesh, face));
}

// unit_normal() of every face, in face order; NaN components where there is
// none. The faces must index the vertices (a valid mesh).
std::vector<Vector3D> face_normals(const Mesh& mesh);

}  // namespace velmarin
