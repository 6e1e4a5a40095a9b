// The workspace a graph is compiled from: the cells of a building, its linear
// elements and its openings, each list owned by value. Positions are the
// identities the graph uses: mesh i becomes node i, wire k is wire index k.
#pragma once

#include <vector>

#include "geometry/mesh.hpp"
#include "geometry/vector.hpp"

namespace velmarin {

struct SpatialRegistry {
    std::vector<Mesh> meshes;
    std::vector<Wire> wires;
    std::vector<Mesh> apertures;  // only their faces count: areas cut out of contacts
};

}  // namespace velmarin
