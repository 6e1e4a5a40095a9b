// Splitting a mesh by a plane into the part on the normal's side and the
// part on the other side. Both parts are triangles only; the cut is left
// open (no cap in the plane).
#pragma once

#include "core/error.hpp"
#include "geometry/mesh.hpp"

namespace velmarin {

struct SlicedMesh {
    Mesh above;  // signed distance >= 0: a vertex on the plane is above
    Mesh below;  // negative or NaN distance
};

// Fails when the normal is shorter than 1e-8.
Result<SlicedMesh> slice_by_plane(const Mesh& mesh, const Vector3D& normal, const Vector3D& origin);

}  // namespace velmarin
