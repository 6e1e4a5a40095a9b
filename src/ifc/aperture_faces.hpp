// The faces of an element's solid by which the graph build meets it: a
// door's, window's or opening's faces through which it opens, a stair's
// treads. The graph build tells a slab contact from a wall contact by the
// face's normal; these take the faces on either side of the same line.
#pragma once

#include <string_view>

#include "geometry/mesh.hpp"

namespace velmarin::ifc {

enum class FacesKept {
    All,
    // Standing in a wall (its height at least the smaller side of its
    // plan's bounds): the faces that are not level; lying in a slab, the
    // level ones. A door's head or threshold lies in the plane of the
    // ceiling or floor of a room beside its wall and would otherwise be cut
    // from the slab between that room and the next storey's.
    Opening,
    // The faces that face up (treads, landings, a ramp's surface): its
    // risers and sides may lie flush with a wall between two rooms, which
    // the stair does not pass.
    Treads,
};

// The kept faces of a welded solid, with all its vertices; a face without
// area is never kept. A mesh without faces when none is.
Mesh kept_faces(const Mesh& solid, FacesKept kept);

}  // namespace velmarin::ifc
