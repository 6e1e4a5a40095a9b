// Coplanar faces that share edges merged back into the polygons they tile.
//
// A geometry engine gives a solid's planar faces as triangles. Kept as they
// are, a room's wall would meet the next room's wall in pieces, one per pair
// of triangles, the smallest of them slivers that fall under a contact
// tolerance; merged back into the polygon they tile, it meets it in one
// region.
#pragma once

#include "core/error.hpp"
#include "geometry/mesh.hpp"

namespace velmarin {

// Two faces lie in one plane when their unit normals n1 and n2 have
// n1 · n2 > 1 − `normal` and their planes' offsets from the origin (n · p,
// p the face's first corner) differ by less than `offset`. The defaults
// take the triangles that an engine cuts from one planar face, whose normals
// agree to about 1e-15 (1e-9 is 0.003 degrees; a degree is 1.5e-4), and
// nothing a builder would model as two faces (1e-6 is a thousandth of a
// millimetre in metres).
struct CoplanarTolerance {
    double normal = 1e-9;
    double offset = 1e-6;  // in the mesh's unit of length
};

// A face's plane: for a triangle, the cross product of its edges from its
// first corner; for a larger face, Newell's normal. A face without area
// (or with coordinates too large or not finite) has none and is in no plane.
//
// Faces in one plane that share an edge form a group (an edge along which
// three or more faces run joins the first of them to each of the others).
// A group whose faces' edges that no other of its faces runs back along
// form one simple loop becomes that loop: a polygon wound as its faces
// were, starting where the first such edge (in face and corner order)
// starts. Any other group (faces wound against each other, a face with a
// hole, faces touching at a corner only) stays as its faces. Groups come in
// the order of their lowest faces, the faces of a group that stays in
// their own order; vertices stay. Fails as validate() does on a face index
// past the vertex list.
Result<Mesh> merge_coplanar_faces(const Mesh& mesh, CoplanarTolerance tolerance = {});

}  // namespace velmarin
