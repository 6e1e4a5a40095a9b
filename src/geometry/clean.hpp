// Vertex welding: vertices that fall into the same cubic cell of side
// `tolerance` become one, and faces that collapse are dropped.
#pragma once

#include "core/error.hpp"
#include "geometry/mesh.hpp"

namespace velmarin {

// The first vertex of each cell survives with its exact coordinates; faces
// lose consecutive repeats and a closing repeat of their first corner, and
// those left with fewer than three corners are dropped. Fails only on a
// face index outside the vertex list.
Result<Mesh> clean_mesh(const Mesh& mesh, double tolerance);

}  // namespace velmarin
