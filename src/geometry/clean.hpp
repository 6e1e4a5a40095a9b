// Vertex welding: vertices that fall into the same cubic cell of side
// `tolerance` become one, and faces that collapse are dropped; or vertices
// at the same point become one, and faces only take their new numbers.
#pragma once

#include "core/error.hpp"
#include "geometry/mesh.hpp"

namespace velmarin {

// The first vertex of each cell survives with its exact coordinates; faces
// lose consecutive repeats and a closing repeat of their first corner, and
// those left with fewer than three corners are dropped. Fails only on a
// face index outside the vertex list.
Result<Mesh> clean_mesh(const Mesh& mesh, double tolerance);

// Vertices whose coordinates are equal (== on each: -0.0 is 0.0, and a NaN
// equals nothing) become the first of them, kept in their order; faces are
// renumbered onto them, none changed otherwise or dropped. A geometry engine
// may give a point once for every triangle it bounds: faces are wound and
// merged across the corners they share, so those must be one. Fails as
// validate() does on a face index past the vertex list.
Result<Mesh> merge_equal_vertices(const Mesh& mesh);

}  // namespace velmarin
