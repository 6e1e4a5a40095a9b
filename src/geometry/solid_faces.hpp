// The faces of a closed solid as the graph builds take them.
#pragma once

#include "core/error.hpp"
#include "geometry/mesh.hpp"

namespace velmarin {

// A solid's faces, as an engine or a model gives them (triangles or
// polygons, each with its own copies of its corners, wound either way), as
// planar faces facing out: equal vertices made one, the faces wound
// outward, coplanar neighbours merged with the default tolerances, then
// vertices welded in cells of `weld`. Fails as validate() does.
Result<Mesh> welded_solid_faces(const Mesh& faces, double weld);

}  // namespace velmarin
