// Compiling a registry into the dual graph of the building, as plain values:
// one node per mesh, one contact per pair of coplanar faces of two meshes
// that share more than the tolerance of area after the apertures are cut
// away, one wire contact per wire and mesh that holds the wire's midpoint.
#pragma once

#include "graph/graph_records.hpp"
#include "registry/search.hpp"
#include "registry/spatial_registry.hpp"

namespace velmarin {

// Node i is mesh i; edges grouped by node_a ascending, then by the faces of
// mesh node_a; wire contacts by wire, then by mesh.
GraphRecords build_graph(const SpatialRegistry& registry, double tolerance, Search search = Search::Indexed);

}  // namespace velmarin
