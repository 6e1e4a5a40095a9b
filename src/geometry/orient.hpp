// Winding the faces of closed solids so that they face out.
//
// Faceted boundaries are often written inside out, or with some faces
// turned; the graph builds find walls between faces that face out.
#pragma once

#include "core/error.hpp"
#include "geometry/mesh.hpp"

namespace velmarin {

// The mesh with its faces wound alike across every edge that exactly two of
// them run along, and each shell (the faces so joined) turned whole when it
// then encloses a negative volume. A face is turned by reversing its
// corners. Vertices and the order of faces stay.
//
// Each shell starts at its lowest face, which keeps its winding while the
// shell is walked depth first from it; a face takes the winding of the face
// it is first reached from. The volume is summed, face by face in that
// order, over the triangles fanned out from each face's first corner,
// measured from the first corner of the shell's first face. A shell whose
// volume is zero or NaN (a flat one, or one with points not finite) is left
// as walked; on an open shell the sign says little. Fails as validate()
// does on a face index past the vertex list.
Result<Mesh> orient_outward(const Mesh& mesh);

}  // namespace velmarin
