// Two overlapping room cells cut into disjoint prisms: the part in both,
// the part only in the first, the part only in the second.
#pragma once

#include <vector>

#include "geometry/mesh.hpp"
#include "planar/overlay.hpp"

namespace velmarin {

// A prism over a closed ring from z_base to z_base + height: the ring's
// corners at the bottom, then the same corners at the top; the faces are the
// bottom cap (ring order reversed), the top cap (ring order) and one side
// quad per ring edge. Outward-facing for a counter-clockwise ring and a
// positive height. A ring of three points or fewer gives an empty mesh.
Mesh extrude_ring(const Ring& ring, double z_base, double height);

// Each mesh's footprint is its first face projected onto the x-y plane; a
// mesh without faces has an empty footprint. Returns the prisms of the
// pieces of A and B, then A without B, then B without A, keeping pieces of
// more than 1e-5 in area. A piece with a hole becomes a prism of its outer
// boundary.
std::vector<Mesh> boolean_join_extruded(const Mesh& a, const Mesh& b, double z_base, double height);

}  // namespace velmarin
